#include "codecs/codec_io.h"

#include "common/kw_guard.h"

#include <QSaveFile>

namespace codecs {

void WriteWholeFile(const QString& path, const char* data, std::int64_t size) {
    WriteWholeFile(path, std::vector<QByteArrayView>{QByteArrayView(data, qsizetype(size))});
}

void WriteWholeFile(const QString& path, const std::vector<QByteArrayView>& pieces) {
    QSaveFile file(path);
    file.setDirectWriteFallback(true);
    if (!file.open(QIODevice::WriteOnly))
        throw kw::EFcError(
            QStringLiteral("Cannot create file \"%1\". %2").arg(path, file.errorString()));
    for (const QByteArrayView piece : pieces)
        if (file.write(piece.data(), piece.size()) != piece.size())
            throw kw::EFcError(
                QStringLiteral("Cannot write file \"%1\". %2").arg(path, file.errorString()));
    if (!file.commit())
        throw kw::EFcError(
            QStringLiteral("Cannot write file \"%1\". %2").arg(path, file.errorString()));
}

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
