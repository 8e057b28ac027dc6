#include "codecs/picture_writer.h"

#include "codecs/bmp_codec.h"
#include "codecs/gif_codec.h"
#include "codecs/jpeg_codec.h"
#include "codecs/png_codec.h"

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

} // namespace codecs
