#pragma once
// Test videos that tell which frame is on display.
//
// MakeTestVideo() encodes a short video with FFmpeg's encoders. Every picture carries its
// 0-based frame number as a row of 16 big black or white blocks across the top quarter of the
// picture (most significant bit first), large enough to survive lossy coding and scaling.
// The rest of the picture is a moving grey pattern, so the encoder has real work to do.
// FrameNumberOf() reads the number back from a decoded picture of any size.

#include <QImage>
#include <QList>
#include <QString>

namespace fctest {

struct TTestVideoSpec {
    QString Path;       // the container follows the extension (.avi, .mp4, .mkv, ...)
    QString VideoCodec; // encoder name ("mpeg4", "libx264", "ffv1", ...); empty: no video
    int Width = 320;
    int Height = 240;
    int Fps = 25;
    int Frames = 50;         // number of video frames
    int Gop = 12;            // distance of key frames
    int MaxBFrames = 0;      // B-frames allowed to the encoder
    QString AudioCodec;      // encoder name ("aac", "mp2", "libvorbis", ...); empty: no sound
    double AudioSeconds = 0; // length of the sound; 0: as long as the video
    int SampleAspectNum = 1; // sample (pixel) aspect ratio written into the stream
    int SampleAspectDen = 1;
    QString MuxerOptions; // "key=value:key=value" for the container ("movflags=+faststart")
    // The time of each picture in frame durations (1 / Fps); empty: 0, 1, 2, ... A list with
    // gaps makes a video of variable frame rate (MP4 or MKV).
    QList<int> Times;
    // Pictures per shot: each shot has a look of its own below the number band (alternately
    // dark and bright, with its own pattern), as the cuts of an edited video; 0: one shot.
    int ShotFrames = 0;
};

// Encodes the video; false with a reason in *error when an encoder or the container is
// missing or writing fails.
bool MakeTestVideo(const TTestVideoSpec& recipe, QString* error = nullptr);

// True when libavcodec of this system has an encoder of that name.
bool HasEncoder(const QString& name);

// The frame number that a picture shows, or -1 when the code blocks cannot be read.
int FrameNumberOf(const QImage& picture);

} // namespace fctest
