#pragma once
// TPictureTrail: the last pictures taken from the decoder, in order and without a gap, and which
// of them is on display. A step back while paused shows the one before from here instead of
// decoding again from the key picture; a step forward replays the ones after it before the
// decoder is asked for more.
//
// The trail holds references to the decoder's frames, so its pictures cost no copy, but each
// keeps its buffers from going back to the decoder: it is bounded by a count, by bytes and by
// the program's memory budget (asked only when the trail would grow).
//
// Used by the thread that owns the decoder (the player thread) alone.

#include "codecs/ffmpeg_handles.h"

#include <cstdint>
#include <deque>
#include <functional>

namespace fcvideo {

class TPictureTrail {
public:
    static constexpr int MaxPictures = 48;
    static constexpr std::int64_t MaxBytes = std::int64_t(192) << 20;

    // Whether `bytes` more may be held; unset: only the bounds above.
    void SetRoomCheck(std::function<bool(std::int64_t bytes)> room) { FRoom = std::move(room); }

    void Clear();
    // A picture taken from the decoder right after the last one (the caller keeps the trail
    // free of gaps and clears it when decoding jumps). It becomes the one on display; the
    // oldest pictures go when a bound is reached.
    void Append(const AVFrame& picture);

    bool Empty() const { return FPictures.empty(); }
    int Size() const { return int(FPictures.size()); }
    // The picture on display and its neighbours in the trail (nullptr when there is none).
    const AVFrame* Shown() const;
    const AVFrame* Previous() const;
    const AVFrame* Next() const;
    // Whether the picture on display is the last one taken from the decoder.
    bool AtEnd() const { return FShown + 1 >= int(FPictures.size()); }
    // Moves the display one picture back or forward within the trail; false at its ends.
    bool Back();
    bool Forward();
    std::int64_t Bytes() const { return FBytes; }

    // What a decoded picture holds in memory.
    static std::int64_t BytesOf(const AVFrame& picture);

private:
    void DropOldest();

    std::deque<TFramePtr> FPictures;
    int FShown = -1;
    std::int64_t FBytes = 0;
    std::function<bool(std::int64_t)> FRoom;
};

} // namespace fcvideo
