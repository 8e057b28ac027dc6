#include "graphics/bitmap32.h"

#include "graphics/picture_memory.h"

#include <cstring>
#include <new>

namespace {

QImage NewImage(int width, int height, QImage::Format format) {
    QImage image = graphics::NewPicture(QSize(width, height), format);
    if (image.isNull())
        throw std::bad_alloc();
    return image;
}

} // namespace

TBitmap32::TBitmap32(int width, int height) {
    SetSize(width, height);
}

TBitmap32 TBitmap32::FromFrame(const QImage& picture) {
    TBitmap32 bitmap;
    bitmap.Assign(picture);
    return bitmap;
}

// The frames' own layouts are converted here row by row into fresh, already mapped memory;
// anything else goes through Qt's conversion first.
void TBitmap32::Assign(const QImage& picture) {
    if (picture.isNull()) {
        FImage = QImage();
        return;
    }
    const QImage::Format format = picture.format();
    if (format == QImage::Format_ARGB32) {
        FImage = picture;
        return;
    }
    const QImage source = format == QImage::Format_RGB888 || format == QImage::Format_RGB32
                              ? picture
                              : picture.convertToFormat(QImage::Format_ARGB32);
    if (source.isNull())
        throw std::bad_alloc();
    QImage image = NewImage(source.width(), source.height(), QImage::Format_ARGB32);
    const int w = source.width();
    for (int y = 0; y < source.height(); ++y) {
        const uchar* s = source.constScanLine(y);
        QRgb* d = reinterpret_cast<QRgb*>(image.scanLine(y));
        if (source.format() == QImage::Format_RGB888) {
            for (int x = 0; x < w; ++x, s += 3)
                d[x] = 0xFF000000u | (QRgb(s[0]) << 16) | (QRgb(s[1]) << 8) | s[2];
        } else if (source.format() == QImage::Format_RGB32) {
            const QRgb* p = reinterpret_cast<const QRgb*>(s);
            for (int x = 0; x < w; ++x)
                d[x] = p[x] | 0xFF000000u;
        } else {
            std::memcpy(d, s, size_t(w) * 4);
        }
    }
    FImage = std::move(image);
}

QImage TBitmap32::ToFrame() const {
    if (FImage.isNull())
        return QImage();
    QImage frame = NewImage(Width(), Height(), QImage::Format_RGB888);
    for (int y = 0; y < Height(); ++y) {
        const QRgb* s = ScanLine(y);
        uchar* d = frame.scanLine(y);
        for (int x = 0; x < Width(); ++x, d += 3) {
            d[0] = uchar(qRed(s[x]));
            d[1] = uchar(qGreen(s[x]));
            d[2] = uchar(qBlue(s[x]));
        }
    }
    return frame;
}

void TBitmap32::SetSize(int width, int height) {
    if (width < 1 || height < 1) {
        FImage = QImage();
        return;
    }
    QImage image = NewImage(width, height, QImage::Format_ARGB32);
    image.fill(0xFF000000u);
    FImage = std::move(image);
}
