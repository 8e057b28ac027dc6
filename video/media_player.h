#pragma once
// TMediaPlayer: the playback engine under TFilterGraph. It plays one file: TMediaSource
// demuxes and decodes it, TShownPicture keeps the picture on display (scaled for the preview,
// at full size for grabs), TSoundOutput plays its sound, and a TMediaClock paces the pictures
// (the system's clock, led by the sound while a sound device plays it).
//
// How the threads meet:
// - The GUI thread calls every method here. Play, Pause, Stop and Seek are commands: they
//   change the state under the engine's lock, count its serial number up and wake the
//   player thread. A wait of the player thread (for the clock, for room in the sound ring)
//   notes the serial number when it begins and gives up when it has changed, so that no
//   command waits behind it. A seek on its way is cut short by the next seek, which the
//   player thread looks for between packets.
// - The player thread (started by Open, ended by the destructor) owns the source: it
//   decodes, waits for each picture's time on the clock, shows pictures and carries out
//   seeks. It reports to the GUI thread only through the callbacks below, which
//   TFilterGraph turns into posted events.
// - The clock lives under the engine's lock; the sound device's callback (GUI thread) leads
//   it while sound plays.
// - The picture on display has its own lock: the player thread puts pictures in, the GUI
//   thread paints and grabs them. A grab first waits until every seek asked for has shown
//   its picture (two counters under the engine's lock), so that it takes the new place; a
//   step counts as a seek there.
// - The sound ring has its own lock: the player thread fills it, the device drains it.

#include "common/kw_stream.h"

#include <QImage>
#include <QSize>
#include <QString>

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>

namespace fcvideo {

struct TVideoFacts;

// The place of a picture of aspect ratio `aspect` (width / height) letter-boxed in `area`.
QRect LetterboxRect(const QRect& area, double aspect);

class TMediaPlayer {
public:
    enum TState { Stopped = 1, Paused = 2, Playing = 3 };

    struct TCallbacks {
        std::function<void()> PictureShown; // player thread: a new picture is on display
        std::function<void()> EndOfStream;  // player thread: once each time the end is reached
    };

    explicit TMediaPlayer(TCallbacks callbacks);
    ~TMediaPlayer();
    TMediaPlayer(const TMediaPlayer&) = delete;
    TMediaPlayer& operator=(const TMediaPlayer&) = delete;

    // Opens the file and starts the thread in the stopped state, which shows the first
    // picture. Returns 0 or a negative FFmpeg error code (nothing is kept then).
    int Open(const QString& path);

    void Play();
    void Pause();
    void Stop();
    TState State() const;

    bool HasVideo() const;
    // The video stream's size, codec and frame rate (set by Open; empty before).
    TVideoFacts VideoFacts() const;
    std::int64_t DurationUs() const;
    std::int64_t PositionUs() const;
    // Shows the picture whose time span contains the position, in every state.
    void Seek(std::int64_t positionUs);
    // While paused: asks for the next (direction > 0) or previous picture, whatever its
    // distance in time. Steps are taken in turn after a seek on its way, each from the picture
    // the one before brought: forward by decoding on from the picture on display (the next
    // one is decoded ahead while paused), back from the trail of pictures decoded on the way
    // or else by an exact seek to just before it. False when not paused, without video or
    // before the first picture; at either end of the file the step does nothing.
    bool StepFrame(int direction);
    // Whether `bytes` more of decoded pictures may be kept for stepping back (the program's
    // memory budget; asked on the player thread). Set before Open.
    void SetRoomCheck(std::function<bool(std::int64_t bytes)> room);

    // Linear amplitude 0..1 of the sound output.
    void SetVolume(double amplitude);

    // The preview's size in device pixels; the shown picture is scaled anew to its letter-box.
    void SetDisplayArea(QSize size);
    // Width / height of the picture as shown (sample aspect ratio applied); 0 without video.
    double DisplayAspect() const;
    // The shown picture scaled to the letter-box of the display area (null before the first).
    QImage DisplayPicture() const;

    // Writes the picture on display as a BMP file (24-bit DIB) into the stream at its
    // position; false before the first picture or without video, with the cause in reason
    // when given.
    bool GrabCurrentImage(kw::TMemoryStream& stream, QString* reason = nullptr);

    // Media time of the picture on display (-1 before the first) and the frame duration.
    std::int64_t ShownTimeUs() const;
    std::int64_t FrameDurationUs() const;

    // Counters for measurements.
    std::int64_t FramesShown() const;
    std::int64_t FramesDropped() const;
    // Whether a sound device plays the sound (false: the system clock runs alone).
    bool SoundOutputActive() const;

private:
    struct TImpl;
    std::unique_ptr<TImpl> F;
};

} // namespace fcvideo
