#pragma once
// Capture of a range at decode speed: the frames of a part of a video (every N ms, N frames
// evenly spaced, or the first picture of every shot), decoded as fast as FFmpeg's frame
// threads go, without pacing and without sound, in one pass forward through the times. Each
// frame is exactly the picture that a seek of the player to its time shows: the same source,
// the same rule for which picture a time falls on (TMediaSource::Seek and Advance) and the
// same conversion to a full-size 24-bit picture as a grab (TFullPicture).
//
// CaptureRange is a computing core: it takes a file and settings and hands out pictures in
// time order through a callback on the thread that runs it (a worker), checking a cancel
// flag between packets, so that it stops within a packet's decoding.

#include <QImage>
#include <QString>

#include <cstdint>
#include <functional>
#include <vector>

namespace fcvideo {

enum class TRangeMode { Every, Count, Scenes };

struct TRangeSettings {
    TRangeMode Mode = TRangeMode::Every;
    std::int64_t FromMs = 0;
    std::int64_t ToMs = -1; // -1: to the end of the video; beyond the end counts as the end
    int EveryMs = 200;      // Every: the distance of two frames
    int Count = 16;         // Count: the first at From, the last at To
    int Sensitivity = 50;   // Scenes: 1..100, higher finds smaller changes
    int MinGapMs = 500;     // Scenes: no new shot closer than this to the last frame
};

struct TRangeFrame {
    QImage Picture;        // full size, QImage::Format_RGB888
    std::int64_t TimeUs;   // the picture's own time in the video (media time)
    std::int64_t TargetUs; // the time asked for (Scenes: the picture's own)
};

struct TRangeCallbacks {
    // Each frame in time order; false stops the capture (the frame store refused it).
    std::function<bool(TRangeFrame&& frame)> Frame;
    // done of total: frames of the times asked for, or thousandths of the range (Scenes).
    std::function<void(int done, int total)> Progress;
    // Asked between packets; true stops the capture.
    std::function<bool()> Cancelled;
    // The memory budget, asked before each full-size picture is made; false stops the
    // capture. Unset: no budget.
    std::function<bool(std::int64_t bytes)> Room;
};

struct TRangeResult {
    int Frames = 0;         // handed out
    bool Cancelled = false; // stopped by Cancelled
    bool Refused = false;   // stopped by Frame's answer
    bool NoMemory = false;  // stopped by Room's answer
};

// The times asked for by the Every and Count modes in a video whose pictures end at
// durationUs (0: not known), in microseconds and increasing: From and To are clamped into
// the video, and a range reaching its end ends at its last picture. Empty when the range
// holds nothing (From after To, or after the end).
std::vector<std::int64_t> RangeTargets(const TRangeSettings& settings, std::int64_t durationUs);

// Runs the capture. A file that cannot be opened or decoded throws EDirectShowException
// (FFmpeg's text and code); a picture that cannot be converted throws kw::EFcError with its
// cause in the details.
TRangeResult CaptureRange(const QString& path, const TRangeSettings& settings,
                          const TRangeCallbacks& callbacks);

} // namespace fcvideo
