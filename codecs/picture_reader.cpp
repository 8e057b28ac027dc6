#include "codecs/picture_reader.h"

#include "common/kw_guard.h"

#include <Magick++.h>

#include <QBuffer>
#include <QFile>
#include <QFileInfo>
#include <QImageReader>
#include <QPainter>

#include <mutex>
#include <string>

namespace {

struct TPictureFormat {
    const char* Label;
    QStringList Extensions;
};

// The formats of the open dialog, in its order.
const QList<TPictureFormat>& PictureFormats() {
    static const QList<TPictureFormat> formats = {
        {"Bitmaps", {"bmp", "rle", "dib"}},
        {"Icons", {"ico"}},
        {"Metafiles", {"wmf", "emf"}},
        {"JPEG images", {"jpg", "jpeg", "jpe", "jfif"}},
        {"Portable network graphics", {"png"}},
        {"CompuServe GIF images", {"gif"}},
        {"TIFF images", {"tif", "tiff", "fax"}},
        {"Targa images", {"tga", "win", "vst", "vda", "icb"}},
        {"ZSoft Paintbrush images", {"pcx", "pcc", "scr"}},
        {"Encapsulated PostScript", {"eps"}},
        {"Alias/Wavefront images", {"rla", "rpf"}},
        {"SGI images", {"sgi", "rgb", "rgba", "bw"}},
        {"Photoshop images", {"psd", "pdd"}},
        {"Portable pixmaps", {"ppm", "pgm", "pbm"}},
        {"Autodesk images", {"cel", "pic"}},
        {"Kodak Photo CD images", {"pcd"}},
        {"Dr. Halo images", {"cut"}},
        {"Paint Shop Pro images", {"psp"}},
    };
    return formats;
}

// The ImageMagick coder that the extension names, for files whose content does not tell
// their format. Empty when ImageMagick has no coder for it.
std::string MagickFormatOf(const QString& ext) {
    static const QHash<QString, const char*> coders = {
        {"bmp", "BMP"}, {"rle", "BMP"},  {"dib", "BMP"},   {"ico", "ICO"},   {"wmf", "WMF"},
        {"emf", "EMF"}, {"jpg", "JPEG"}, {"jpeg", "JPEG"}, {"jpe", "JPEG"},  {"jfif", "JPEG"},
        {"png", "PNG"}, {"gif", "GIF"},  {"tif", "TIFF"},  {"tiff", "TIFF"}, {"fax", "FAX"},
        {"tga", "TGA"}, {"win", "TGA"},  {"vst", "TGA"},   {"vda", "TGA"},   {"icb", "TGA"},
        {"pcx", "PCX"}, {"pcc", "PCX"},  {"scr", "PCX"},   {"eps", "EPS"},   {"rla", "RLA"},
        {"rpf", "RLA"}, {"sgi", "SGI"},  {"rgb", "SGI"},   {"rgba", "SGI"},  {"bw", "SGI"},
        {"psd", "PSD"}, {"pdd", "PSD"},  {"ppm", "PNM"},   {"pgm", "PNM"},   {"pbm", "PNM"},
        {"pcd", "PCD"}, {"cut", "CUT"},
    };
    const auto it = coders.constFind(ext);
    return it == coders.constEnd() ? std::string() : std::string(it.value());
}

// The Qt reader that the extension names, for Targa files (no signature) and the like.
QByteArray QtFormatOf(const QString& ext) {
    static const QHash<QString, QByteArray> formats = {
        {"rle", "bmp"}, {"dib", "bmp"}, {"jpe", "jpeg"}, {"jfif", "jpeg"}, {"fax", "tiff"},
        {"tga", "tga"}, {"win", "tga"}, {"vst", "tga"},  {"vda", "tga"},   {"icb", "tga"},
        {"ppm", "ppm"}, {"pgm", "pgm"}, {"pbm", "pbm"},
    };
    return formats.value(ext);
}

QImage Opaque(QImage image) {
    if (image.isNull())
        return image;
    if (!image.hasAlphaChannel())
        return image.convertToFormat(QImage::Format_RGB32);
    QImage flat(image.size(), QImage::Format_RGB32);
    if (flat.isNull())
        return flat;
    flat.fill(Qt::white);
    QPainter painter(&flat);
    painter.drawImage(0, 0, image);
    return flat;
}

QImage ReadWithQt(const QByteArray& bytes, const QByteArray& format) {
    QByteArray data = bytes; // QBuffer wants a non-const array; this shares, it does not copy
    QBuffer buffer(&data);
    buffer.open(QIODevice::ReadOnly);
    QImageReader reader(&buffer, format);
    // With a format given, only that reader is asked; without one, the content decides.
    reader.setAutoDetectImageFormat(format.isEmpty());
    QImage image;
    if (!reader.read(&image))
        return QImage();
    return image;
}

void InitMagick() {
    static std::once_flag once;
    std::call_once(once, [] { Magick::InitializeMagick(nullptr); });
}

QImage ReadWithMagick(const QByteArray& bytes, const std::string& format) {
    InitMagick();
    try {
        Magick::Blob blob(bytes.constData(), size_t(bytes.size()));
        Magick::Image image;
        image.quiet(true); // warnings about odd but readable files are no failure
        // Of a file with several pictures the first is kept. (No scene range is asked for: in
        // Photo CD files the scenes are the resolutions, and the default is the base one.)
        if (!format.empty())
            image.magick(format); // the coder is then taken as given, not guessed
        image.read(blob);
        const size_t w = image.columns();
        const size_t h = image.rows();
        if (w == 0 || h == 0 || w > 65535 || h > 65535)
            return QImage();
        const MagickCore::ColorspaceType space = image.colorSpace();
        if (space != MagickCore::sRGBColorspace && space != MagickCore::RGBColorspace &&
            space != MagickCore::GRAYColorspace && space != MagickCore::TransparentColorspace)
            image.colorSpace(MagickCore::sRGBColorspace);
        if (image.matte()) {
            QImage out(int(w), int(h), QImage::Format_ARGB32);
            if (out.isNull())
                throw std::bad_alloc();
            // Format_ARGB32 is B, G, R, A in memory on little-endian machines, without padding.
            static_assert(Q_BYTE_ORDER == Q_LITTLE_ENDIAN);
            image.write(0, 0, w, h, "BGRA", Magick::CharPixel, out.bits());
            return out;
        }
        // Without an alpha channel the opacity of the pixels is undefined: only the colours
        // are taken, row by row since the rows of Format_RGB888 may be padded.
        QImage out(int(w), int(h), QImage::Format_RGB888);
        if (out.isNull())
            throw std::bad_alloc();
        for (size_t y = 0; y < h; ++y)
            image.write(0, ssize_t(y), w, 1, "RGB", Magick::CharPixel, out.scanLine(int(y)));
        return out;
    } catch (const Magick::Exception&) {
        return QImage();
    }
}

} // namespace

QStringList PictureFileExtensions() {
    QStringList all;
    for (const TPictureFormat& f : PictureFormats())
        all << f.Extensions;
    return all;
}

QString PictureFileFilter() {
    auto patterns = [](const QStringList& exts) {
        QStringList p;
        for (const QString& e : exts)
            p << QStringLiteral("*.") + e;
        return p.join(';');
    };
    QStringList parts{QStringLiteral("All pictures"), patterns(PictureFileExtensions())};
    for (const TPictureFormat& f : PictureFormats())
        parts << QString::fromLatin1(f.Label) << patterns(f.Extensions);
    return parts.join('|');
}

QImage ReadPicture(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        throw kw::EFcError(QStringLiteral("Cannot open the picture file \"%1\"").arg(path));
    const QByteArray bytes = file.readAll();
    file.close();
    const QString ext = QFileInfo(path).suffix().toLower();

    // The content first, through Qt and then ImageMagick; the extension only when neither
    // recognises it.
    QImage image = ReadWithQt(bytes, QByteArray());
    if (image.isNull())
        image = ReadWithMagick(bytes, std::string());
    if (image.isNull() && !QtFormatOf(ext).isEmpty())
        image = ReadWithQt(bytes, QtFormatOf(ext));
    if (image.isNull() && !MagickFormatOf(ext).empty())
        image = ReadWithMagick(bytes, MagickFormatOf(ext));
    image = Opaque(std::move(image));
    if (image.isNull())
        throw kw::EFcError(QStringLiteral("Cannot read the picture file \"%1\": its format is "
                                          "not supported or the file is damaged")
                               .arg(path));
    return image;
}
