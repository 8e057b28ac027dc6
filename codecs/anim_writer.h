#pragma once
// Animated WebP, APNG, MP4 and WebM files written from frames: each frame fitted to the
// settings (FitAnimFrame) and handed to its encoder, animated WebP through libwebp's animation
// encoder, the others through FFmpeg's encoders and muxers (apng, libx264 in MP4, libvpx-vp9
// in WebM). A file is written under a new name beside its path and renamed into place when it
// is complete (kw::TSaveFile), so a failed or cancelled save leaves the old file as it was and
// nothing is ever written through a link.
//
// Use from a worker:
//   codecs::TAnimWriter writer(settings, path, &cancel);
//   for (const QImage& f : frames) writer.AddFrame(f);
//   writer.Finish();

#include "codecs/anim_settings.h"

#include <QByteArray>
#include <QImage>
#include <QString>

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

namespace codecs {

class TAnimEncoder;
class TAnimSink;

class TAnimWriter {
public:
    // Into the file at path. Throws as CheckAnimLimits does, before anything is made, and the
    // errors of kw::TSaveFile. cancel, when given, is checked before every frame.
    TAnimWriter(const TAnimSettings& settings, const QString& path,
                const std::atomic<bool>* cancel = nullptr);
    // Into memory (the size estimate).
    explicit TAnimWriter(const TAnimSettings& settings, const std::atomic<bool>* cancel = nullptr);
    ~TAnimWriter();
    TAnimWriter(const TAnimWriter&) = delete;
    TAnimWriter& operator=(const TAnimWriter&) = delete;

    // Fits and encodes one frame (any size, any format). Throws kw::ECancelled once the flag
    // is set, and kw::EFcError with the encoder's reason.
    void AddFrame(const QImage& picture);
    // Ends the stream, writes the rest and puts the file in place. The file holds at least
    // one frame: Finish() without one throws.
    void Finish();

    int FrameCount() const { return FFrames; }
    // The bytes written so far; the file's size after Finish().
    std::int64_t Size() const;
    // The file's bytes, for a writer into memory.
    QByteArray Bytes() const;

private:
    void Start(const TAnimSettings& settings);

    TAnimSettings FSettings;
    const std::atomic<bool>* FCancel;
    std::unique_ptr<TAnimSink> FSink;
    std::unique_ptr<TAnimEncoder> FEncoder;
    int FFrames = 0;
    bool FFinished = false;
};

// Writes the frames into the file: the whole save of a WebP, APNG, MP4 or WebM. done(i) runs
// on the calling thread after frame i. Returns the file's size.
std::int64_t SaveAnimation(const std::vector<QImage>& frames, const TAnimSettings& settings,
                           const QString& path, const std::atomic<bool>* cancel = nullptr,
                           const std::function<void(int)>& done = {});

// Where the size estimate encodes: a run of up to 12 neighbouring frames from the middle,
// since these encoders spend their bytes on what changes from frame to frame.
std::vector<int> AnimEstimateSample(int frameCount);
// The expected size of a file of frameCount frames from the run of AnimEstimateSample: the
// run is encoded whole and in its first half, which tells the cost of the first frame and of
// each further one. -1 when cancelled.
std::int64_t EstimateAnimSize(int frameCount, const std::vector<QImage>& run,
                              const TAnimSettings& settings,
                              const std::atomic<bool>* cancel = nullptr);

} // namespace codecs
