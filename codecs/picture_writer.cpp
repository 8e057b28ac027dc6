#include "codecs/picture_writer.h"

#include "codecs/bmp_codec.h"
#include "codecs/gif_codec.h"
#include "codecs/jpeg_codec.h"
#include "codecs/png_codec.h"
#include "common/kw_memory.h"

namespace codecs {

QString PictureExtension(TPictureFormat format) {
    switch (format) {
    case TPictureFormat::Jpg:
        return QStringLiteral(".jpg");
    case TPictureFormat::Bmp:
        return QStringLiteral(".bmp");
    case TPictureFormat::Gif:
        return QStringLiteral(".gif");
    case TPictureFormat::Png:
        break;
    }
    return QStringLiteral(".png");
}

bool PictureFormatFromName(const QString& name, TPictureFormat& format) {
    static const struct {
        const char* Name;
        TPictureFormat Format;
    } names[] = {{"JPG", TPictureFormat::Jpg},
                 {"BMP", TPictureFormat::Bmp},
                 {"GIF", TPictureFormat::Gif},
                 {"PNG", TPictureFormat::Png}};
    for (const auto& n : names)
        if (name == QLatin1String(n.Name)) {
            format = n.Format;
            return true;
        }
    return false;
}

QByteArray EncodePicture(const QImage& image, TPictureFormat format, int jpegQuality) {
    switch (format) {
    case TPictureFormat::Jpg:
        return EncodeJpeg(image, jpegQuality);
    case TPictureFormat::Bmp:
        return EncodeBmp(image);
    case TPictureFormat::Gif:
        return EncodeSingleGif(image);
    case TPictureFormat::Png:
        break;
    }
    return EncodePng(image);
}

qint64 EncodeWorkingBytes(TPictureFormat format, QSize size) {
    const qint64 pixels = size.isEmpty() ? 0 : qint64(size.width()) * size.height();
    switch (format) {
    case TPictureFormat::Jpg:
        return 4 * pixels; // RGB output at the highest quality, its copy, a 24-bit conversion
    case TPictureFormat::Bmp:
        return 4 * pixels; // the file itself
    case TPictureFormat::Gif:
        return 3 * pixels; // the indices, the compressed data and its copy
    case TPictureFormat::Png:
        break;
    }
    return 5 * pixels; // the deflated rows (at worst a little more than the raw ones), a copy
}

void AskEncoderMemory(TPictureFormat format, QSize size) {
    static const char* const names[] = {"a JPEG picture", "a BMP picture", "a GIF picture",
                                        "a PNG picture"};
    kw::NeedMemory(EncodeWorkingBytes(format, size), QString::fromLatin1(names[int(format)]), size);
}

} // namespace codecs
