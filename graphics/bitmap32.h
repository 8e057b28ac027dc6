#pragma once
// TBitmap32: the 32-bit ARGB picture the editor works on, a thin value type over a
// Format_ARGB32 QImage. Copies share pixels until one of them is written (QImage's
// copy-on-write), so every copy behaves as a full, independent copy.

#include <QImage>
#include <QRect>
#include <QRgb>

class TBitmap32 {
public:
    TBitmap32() = default;
    // width x height opaque black; empty for a side below 1. Throws std::bad_alloc when the
    // pixels cannot be allocated.
    TBitmap32(int width, int height);
    // A copy of a frame's picture of any layout; a picture without alpha (a 24-bit frame) gets
    // opacity 255 in every pixel.
    static TBitmap32 FromFrame(const QImage& picture);

    // Becomes a copy of the picture (as FromFrame) or of another 32-bit picture.
    void Assign(const QImage& picture);
    void Assign(const TBitmap32& other) { *this = other; }
    // The picture as a frame stores it: 24-bit RGB, the alpha dropped.
    QImage ToFrame() const;

    bool Empty() const { return FImage.isNull(); }
    void SetEmpty() { FImage = QImage(); }
    // New size, every pixel opaque black (the old content is not kept); empty for a side below 1.
    void SetSize(int width, int height);
    int Width() const { return FImage.width(); }
    int Height() const { return FImage.height(); }
    QRect BoundsRect() const { return FImage.rect(); }

    QRgb Pixel(int x, int y) const {
        return reinterpret_cast<const QRgb*>(FImage.constScanLine(y))[x];
    }
    void SetPixel(int x, int y, QRgb argb) {
        reinterpret_cast<QRgb*>(FImage.scanLine(y))[x] = argb;
    }
    // Rows of ARGB words; the writable form detaches shared pixels first.
    QRgb* ScanLine(int y) { return reinterpret_cast<QRgb*>(FImage.scanLine(y)); }
    const QRgb* ScanLine(int y) const {
        return reinterpret_cast<const QRgb*>(FImage.constScanLine(y));
    }

    // The pixels as a Format_ARGB32 image. Writing through Image() detaches shared pixels.
    const QImage& Image() const { return FImage; }
    QImage& Image() { return FImage; }

    // True when both hold the same size and the same pixels.
    bool operator==(const TBitmap32& other) const { return FImage == other.FImage; }

private:
    QImage FImage; // Format_ARGB32 or null
};
