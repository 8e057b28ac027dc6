// Reading picture files. Each extension the open dialog offers names the decoders that may
// read it (Qt's readers by their format name, ImageMagick's coders, our own Targa decoder),
// and only those are asked, each told its format: a file whose content claims another format
// (SVG text in a .jpg, a script for ImageMagick in a .pcx) is refused like a damaged one, and
// no decoder outside the list ever sees it. Before any decoder makes pixels, the size the file
// declares is asked of the memory budget; ImageMagick also runs under resource limits set
// here, whatever the system's policy file allows.

#include "codecs/picture_reader.h"

#include "codecs/picture_checks.h"
#include "codecs/tga_reader.h"
#include "common/kw_guard.h"
#include "common/kw_memory.h"

#include <Magick++.h>

#include <QBuffer>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QImageReader>
#include <QPainter>

#include <climits>
#include <cstring>
#include <mutex>
#include <string>
#include <vector>

namespace {

constexpr int MaxSide = 65535;

// The decoders of one extension, asked in this order: Qt's readers, our Targa decoder, then
// ImageMagick's coders.
struct TDecoders {
    QList<QByteArray> Qt;
    bool Tga = false;
    std::vector<std::string> Magick;
};

struct TPictureFormat {
    const char* Label;
    QStringList Extensions;
    TDecoders Decoders;
};

// The formats of the open dialog, in its order, with the decoders of their extensions.
// Paint Shop Pro and Autodesk files are offered but have no decoder here: they are refused.
const QList<TPictureFormat>& PictureFormats() {
    static const QList<TPictureFormat> formats = {
        {"Bitmaps", {"bmp", "rle", "dib"}, {{"bmp"}, false, {"BMP"}}},
        {"Icons", {"ico"}, {{"ico"}, false, {"ICO"}}},
        {"Metafiles", {"wmf", "emf"}, {{}, false, {"WMF", "EMF"}}},
        {"JPEG images", {"jpg", "jpeg", "jpe", "jfif"}, {{"jpeg"}, false, {"JPEG"}}},
        {"Portable network graphics", {"png"}, {{"png"}, false, {"PNG"}}},
        {"CompuServe GIF images", {"gif"}, {{"gif"}, false, {"GIF"}}},
        {"TIFF images", {"tif", "tiff"}, {{"tiff"}, false, {"TIFF"}}},
        {"TIFF images", {"fax"}, {{"tiff"}, false, {"TIFF", "FAX"}}},
        {"Targa images", {"tga", "win", "vst", "vda", "icb"}, {{}, true, {}}},
        {"ZSoft Paintbrush images", {"pcx", "pcc", "scr"}, {{}, false, {"PCX"}}},
        {"Encapsulated PostScript", {"eps"}, {{}, false, {"EPS", "EPT"}}},
        {"Alias/Wavefront images", {"rla", "rpf"}, {{}, false, {"RLA"}}},
        {"SGI images", {"sgi", "rgb", "rgba", "bw"}, {{}, false, {"SGI"}}},
        {"Photoshop images", {"psd", "pdd"}, {{}, false, {"PSD"}}},
        {"Portable pixmaps", {"ppm", "pgm", "pbm"}, {{"ppm"}, false, {"PNM"}}},
        {"Autodesk images", {"cel", "pic"}, {}},
        {"Kodak Photo CD images", {"pcd"}, {{}, false, {"PCD"}}},
        {"Dr. Halo images", {"cut"}, {{}, false, {"CUT"}}},
        {"Paint Shop Pro images", {"psp"}, {}},
    };
    return formats;
}

const TDecoders* DecodersOf(const QString& ext) {
    for (const TPictureFormat& f : PictureFormats())
        if (f.Extensions.contains(ext))
            return &f.Decoders;
    return nullptr;
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

// The format Qt's readers see in the content (lower case), or empty; only for the checks of
// damage, never to choose a decoder.
QByteArray ContentFormat(const QByteArray& bytes) {
    QByteArray data = bytes; // shared, not copied
    QBuffer buffer(&data);
    buffer.open(QIODevice::ReadOnly);
    return QImageReader(&buffer).format().toLower();
}

// What reading a picture of that size takes at most: the decoded pixels (ImageMagick keeps 16
// bits a channel), the 32-bit picture made of them and its flattened copy.
qint64 ReadingBytes(QSize size) {
    return 4 * kw::FrameBytes(size, QImage::Format_ARGB32);
}

// Asks the budget for a picture of the size a file declares, before it is decoded.
void NeedPictureMemory(const QString& path, QSize size) {
    if (size.width() > MaxSide || size.height() > MaxSide)
        throw kw::EFcError(QStringLiteral("The picture file \"%1\" holds a picture of %2 x %3 "
                                          "pixels, larger than %4 pixels a side")
                               .arg(path)
                               .arg(size.width())
                               .arg(size.height())
                               .arg(MaxSide));
    kw::NeedMemory(ReadingBytes(size), QStringLiteral("the picture \"%1\"").arg(path), size);
}

void InitMagick() {
    static std::once_flag once;
    std::call_once(once, [] {
        Magick::InitializeMagick(nullptr);
        // Limits of our own, whatever the system's policy file says (it may only lower them):
        // no picture larger than the program takes, pixel caches in memory and mapped memory
        // only (never on disk), and no decoder running for more than a minute.
        using namespace MagickCore;
        SetMagickResourceLimit(WidthResource, MaxSide);
        SetMagickResourceLimit(HeightResource, MaxSide);
        SetMagickResourceLimit(AreaResource, MagickSizeType(256) << 20);
        SetMagickResourceLimit(MemoryResource, MagickSizeType(2) << 30);
        SetMagickResourceLimit(MapResource, MagickSizeType(4) << 30);
        SetMagickResourceLimit(DiskResource, 0);
        SetMagickResourceLimit(TimeResource, 60);
    });
}

// Whether two of ImageMagick's format names belong to the same coder ("ICO" and "ICON", "PNM"
// and "PPM", "BMP" and "BMP3").
bool SameCoder(const std::string& a, const std::string& b) {
    if (a == b)
        return true;
    MagickCore::ExceptionInfo* exception = MagickCore::AcquireExceptionInfo();
    const MagickCore::MagickInfo* x = MagickCore::GetMagickInfo(a.c_str(), exception);
    const MagickCore::MagickInfo* y = MagickCore::GetMagickInfo(b.c_str(), exception);
    MagickCore::DestroyExceptionInfo(exception);
    return x && y && x->magick_module && y->magick_module &&
           std::strcmp(x->magick_module, y->magick_module) == 0;
}

// The readers below return a null picture when they fail and add the decoder's own message to
// causes, which travels up with the error for a developer to read. Each asks the memory budget
// for the size the file declares first: a refusal is thrown, not added to the causes.

QImage ReadWithQt(const QString& path, const QByteArray& bytes, const QByteArray& format,
                  QStringList& causes) {
    QByteArray data = bytes; // QBuffer wants a non-const array; this shares, it does not copy
    QBuffer buffer(&data);
    buffer.open(QIODevice::ReadOnly);
    QImageReader reader(&buffer, format);
    reader.setAutoDetectImageFormat(false); // only this format's reader is asked
    if (!reader.canRead()) {
        causes << QStringLiteral("Qt: not a %1 file").arg(QString::fromLatin1(format));
        return QImage();
    }
    if (format == "ico") {
        // An icon holds pictures of several sizes and depths: the largest and deepest.
        const int best = codecs::BestIcoEntry(bytes);
        if (best > 0)
            reader.jumpToImage(best);
    }
    const QSize size = reader.size();
    if (size.isValid()) {
        NeedPictureMemory(path, size);
        // The budget has agreed: Qt's own cap on a picture's memory would refuse it anyway.
        reader.setAllocationLimit(int(std::min<qint64>(ReadingBytes(size) >> 20, 1 << 30)) + 1);
    }
    QImage image;
    if (!reader.read(&image)) {
        causes << QStringLiteral("Qt: ") + reader.errorString();
        return QImage();
    }
    return image;
}

QImage ReadWithTga(const QString& path, const QByteArray& bytes, QStringList& causes) {
    QSize size;
    if (codecs::TgaDeclaredSize(bytes, size))
        NeedPictureMemory(path, size);
    QString error;
    const QImage image = codecs::ReadTga(bytes, error);
    if (image.isNull())
        causes << error;
    return image;
}

QImage ReadWithMagick(const QString& path, const QByteArray& bytes, const std::string& format,
                      QStringList& causes) {
    InitMagick();
    try {
        Magick::Blob blob(bytes.constData(), size_t(bytes.size()));
        Magick::Image image;
        image.quiet(false);   // warnings are thrown once the picture has been read
        image.magick(format); // the coder is taken as given, not guessed from the content
        // The header first: the size it declares, and the coder that really reads the data.
        Magick::Image header;
        header.magick(format);
        header.ping(blob);
        const auto otherCoder = [&](const Magick::Image& read) {
            if (SameCoder(read.magick(), format))
                return false;
            causes << QStringLiteral("ImageMagick: %1 data found where %2 was expected")
                          .arg(QString::fromStdString(read.magick()),
                               QString::fromStdString(format));
            return true;
        };
        if (otherCoder(header))
            return QImage();
        NeedPictureMemory(path, QSize(int(std::min<size_t>(header.columns(), INT_MAX)),
                                      int(std::min<size_t>(header.rows(), INT_MAX))));
        // Of a file with several pictures the first is kept. (No scene range is asked for: in
        // Photo CD files the scenes are the resolutions, and the default is the base one.)
        try {
            image.read(blob);
        } catch (const Magick::WarningCorruptImage& e) {
            // data missing or wrong: the picture would show the damage
            causes << QStringLiteral("ImageMagick: ") + QString::fromUtf8(e.what());
            return QImage();
        } catch (const Magick::Warning&) {
            // odd but readable (an unknown tag, a profile it does not use): no failure
        }
        if (otherCoder(image))
            return QImage();
        const size_t w = image.columns();
        const size_t h = image.rows();
        if (w == 0 || h == 0 || w > MaxSide || h > MaxSide) {
            causes << QStringLiteral("ImageMagick: a picture of %1 x %2 pixels").arg(w).arg(h);
            return QImage();
        }
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
    } catch (const Magick::Exception& e) {
        causes << QStringLiteral("ImageMagick: ") + QString::fromUtf8(e.what());
        return QImage();
    }
}

} // namespace

QStringList PictureFileExtensions() {
    QStringList all;
    for (const TPictureFormat& f : PictureFormats())
        for (const QString& e : f.Extensions)
            if (!all.contains(e))
                all << e;
    return all;
}

QString PictureFileFilter() {
    auto patterns = [](const QStringList& exts) {
        QStringList p;
        for (const QString& e : exts)
            p << QStringLiteral("*.") + e;
        return p.join(';');
    };
    // Formats of one label (TIFF and raw fax) make one entry of the dialog.
    QStringList labels;
    QHash<QString, QStringList> extensions;
    for (const TPictureFormat& f : PictureFormats()) {
        const QString label = QString::fromLatin1(f.Label);
        if (!labels.contains(label))
            labels << label;
        extensions[label] << f.Extensions;
    }
    QStringList parts{QStringLiteral("All pictures"), patterns(PictureFileExtensions())};
    for (const QString& label : labels)
        parts << label << patterns(extensions[label]);
    return parts.join('|');
}

QImage ReadPicture(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        throw kw::EFcError(QStringLiteral("Cannot open the picture file \"%1\"").arg(path),
                           file.errorString());
    if (!kw::RoomForFrame(file.size()))
        throw kw::EMemoryRefused(
            QStringLiteral("Not enough memory to read the picture file \"%1\"").arg(path));
    const QByteArray bytes = file.readAll();
    file.close();
    const QString ext = QFileInfo(path).suffix().toLower();

    // A damaged file of a format whose readers make a picture of the damage is refused
    // before any reader sees it. Then the extension's own decoders, in turn.
    QImage image;
    QStringList causes;
    const TDecoders* decoders = DecodersOf(ext);
    if (!decoders) {
        causes << QStringLiteral("no decoder reads files named .%1").arg(ext);
    } else if (!codecs::IntactFor(ContentFormat(bytes), bytes)) {
        causes << QStringLiteral("the file is cut short or its structure is damaged");
    } else {
        for (const QByteArray& format : decoders->Qt)
            if (image.isNull())
                image = ReadWithQt(path, bytes, format, causes);
        if (image.isNull() && decoders->Tga)
            image = ReadWithTga(path, bytes, causes);
        for (const std::string& coder : decoders->Magick)
            if (image.isNull())
                image = ReadWithMagick(path, bytes, coder, causes);
        if (image.isNull() && causes.isEmpty())
            causes << QStringLiteral("no decoder reads files named .%1").arg(ext);
        image = Opaque(std::move(image));
    }
    if (image.isNull())
        throw kw::EFcError(QStringLiteral("Cannot read the picture file \"%1\": its format is "
                                          "not supported or the file is damaged")
                               .arg(path),
                           causes.join(QStringLiteral("\n")));
    return image;
}
