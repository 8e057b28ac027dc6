#pragma once
// TTimeline: turns the timestamps of one stream of a file into a media time that runs on
// through restarts and wild values, so that playback keeps its pace and reaches its end
// whatever the file's timestamps say.
//
// A timestamp that does not follow the last good one (it goes back, or jumps forward by more
// than a real gap could) is placed one step after the previous item and held as a suspect.
// If the next timestamp follows the suspect, the file's clock really restarted there and the
// offset between file time and media time changes; if it follows the last good one instead,
// the suspect was a lone damaged value and is forgotten. Forward gaps up to MaxGapUs are kept
// as they are: a file may really show one picture for a few seconds.
//
// Used by the player thread only; times in microseconds.

#include <cstdint>
#include <limits>

namespace fcvideo {

class TTimeline {
public:
    static constexpr std::int64_t NoTime = std::numeric_limits<std::int64_t>::min();
    static constexpr std::int64_t MaxGapUs = 10000000;

    struct TPlace {
        std::int64_t Time; // media time
        bool Jumped;       // the file's timestamps broke just before this item
    };

    // After a seek: media time is file time again; an item without a timestamp before the
    // first one that has one is placed at `origin`.
    void Reset(std::int64_t origin = 0);
    // The media time of an item at file time `fileTime` (NoTime when it has none), expected
    // `step` after the previous item.
    TPlace Place(std::int64_t fileTime, std::int64_t step);

private:
    static bool Follows(std::int64_t previous, std::int64_t next) {
        return next > previous && next - previous <= MaxGapUs;
    }

    std::int64_t FOrigin = 0;
    std::int64_t FOffset = 0;           // media time - file time
    std::int64_t FLastFile = NoTime;    // file time of the last item that followed
    std::int64_t FLastTime = NoTime;    // media time of the last item placed
    std::int64_t FSuspectFile = NoTime; // file time of an item that broke the sequence
    std::int64_t FSuspectOffset = 0;    // the offset that item would start
};

} // namespace fcvideo
