#pragma once
// The playback engine under TFilterGraph: one file, demuxed and decoded by FFmpeg on a thread
// of its own, timed by a media clock (the system clock, slaved to the sound output when a
// sound device plays the file's sound).
//
// The picture now on display exists twice: as the decoded frame at full size (kept by
// reference, converted only when grabbed) and as a picture already scaled to the preview's
// letter-box, so that painting the preview never scales a full-size frame.
//
// All methods except the callbacks are called from the GUI thread.

#include "common/kw_stream.h"

#include <QImage>
#include <QSize>
#include <QString>

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>

namespace fcvideo {

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
    std::int64_t DurationUs() const;
    std::int64_t PositionUs() const;
    // Shows the picture whose time span contains the position, in every state.
    void Seek(std::int64_t positionUs);

    // Linear amplitude 0..1 of the sound output.
    void SetVolume(double amplitude);

    // The preview's size in device pixels; the shown picture is scaled anew to its letter-box.
    void SetDisplayArea(QSize size);
    // Width / height of the picture as shown (sample aspect ratio applied); 0 without video.
    double DisplayAspect() const;
    // The shown picture scaled to the letter-box of the display area (null before the first).
    QImage DisplayPicture() const;

    // Writes the picture on display as a BMP file (24-bit DIB) into the stream at its
    // position; false before the first picture or without video.
    bool GrabCurrentImage(kw::TMemoryStream& stream);

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
