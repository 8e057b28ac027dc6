#include "graphics/bitmap32.h"

#include <new>

TBitmap32::TBitmap32(int width, int height) {
    SetSize(width, height);
}

TBitmap32 TBitmap32::FromFrame(const QImage& picture) {
    TBitmap32 bitmap;
    bitmap.Assign(picture);
    return bitmap;
}

void TBitmap32::Assign(const QImage& picture) {
    if (picture.isNull()) {
        FImage = QImage();
        return;
    }
    // RGB32 and RGB888 carry no alpha: Qt's conversion gives 0xFF in every alpha byte.
    QImage converted = picture.format() == QImage::Format_ARGB32
                           ? picture
                           : picture.convertToFormat(QImage::Format_ARGB32);
    if (converted.isNull())
        throw std::bad_alloc();
    FImage = std::move(converted);
}

QImage TBitmap32::ToFrame() const {
    if (FImage.isNull())
        return QImage();
    QImage frame = FImage.convertToFormat(QImage::Format_RGB888);
    if (frame.isNull())
        throw std::bad_alloc();
    return frame;
}

void TBitmap32::SetSize(int width, int height) {
    if (width < 1 || height < 1) {
        FImage = QImage();
        return;
    }
    QImage image(width, height, QImage::Format_ARGB32);
    if (image.isNull())
        throw std::bad_alloc();
    image.fill(0xFF000000u);
    FImage = std::move(image);
}
