#include "codecs/codec_io.h"

namespace codecs {

TRgbRows::TRgbRows(const QImage& image) {
    switch (image.format()) {
    case QImage::Format_RGB888:
        FImage = image;
        FDirect = true;
        break;
    case QImage::Format_RGB32:
    case QImage::Format_ARGB32:
        FImage = image;
        FRow.resize(std::size_t(image.width()) * 3);
        break;
    default:
        FImage = image.convertToFormat(QImage::Format_RGB888);
        FDirect = true;
        break;
    }
}

const std::uint8_t* TRgbRows::Row(int y) {
    const uchar* line = FImage.constScanLine(y);
    if (FDirect)
        return line;
    const QRgb* px = reinterpret_cast<const QRgb*>(line);
    std::uint8_t* out = FRow.data();
    for (int x = 0, w = FImage.width(); x < w; ++x, out += 3) {
        out[0] = std::uint8_t(px[x] >> 16);
        out[1] = std::uint8_t(px[x] >> 8);
        out[2] = std::uint8_t(px[x]);
    }
    return FRow.data();
}

} // namespace codecs
