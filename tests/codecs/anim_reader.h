#pragma once
// Reading animated WebP, APNG, MP4 and WebM files back in tests: libwebp's demuxer for WebP
// (this FFmpeg cannot decode animated WebP), FFmpeg's demuxers and decoders for the others.

#include <QImage>
#include <QString>

#include <vector>

struct TAnimFrameRead {
    QImage Picture; // Format_ARGB32, the whole canvas as shown
    int StartMs = 0;
};

struct TAnimRead {
    bool Ok = false;
    QString Error;
    int Width = 0, Height = 0;
    int Loops = -1;       // the stored loop count (0 endless); -1 where the file has none
    int LastDelayMs = -1; // how long the last frame shows, where the file says it
    std::vector<TAnimFrameRead> Frames;
};

TAnimRead ReadAnimation(const QString& path);

// The mean PSNR in dB over red, green and blue (100 for identical pictures) of two pictures
// of one size.
double Psnr(const QImage& a, const QImage& b);
