#pragma once
// Small helpers the tests of several folders share: a file's bytes, and a picture of noise
// that no encoder can shrink and every reader must give back pixel for pixel.

#include <QByteArray>
#include <QFile>
#include <QImage>
#include <QString>

#include <random>

namespace fctest {

// The whole file, or nothing when it cannot be read.
inline QByteArray ReadAll(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

// w x h pixels of random colour, the same for the same seed.
inline QImage Noise(int w, int h, unsigned seed, QImage::Format format = QImage::Format_RGB888) {
    std::mt19937 rng(seed);
    QImage image(w, h, format);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            image.setPixel(x, y, qRgb(int(rng() % 256), int(rng() % 256), int(rng() % 256)));
    return image;
}

} // namespace fctest
