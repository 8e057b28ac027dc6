#include "codecs/picture_reader.h"

#include "codecs/bmp_codec.h"
#include "common/kw_guard.h"

#include <Magick++.h>
#include <gif_lib.h>
#include <jpeglib.h>

#include <jerror.h> // needs jpeglib.h before it

#include <QBuffer>
#include <QFile>
#include <QFileInfo>
#include <QImageReader>
#include <QPainter>

#include <algorithm>
#include <cctype>
#include <csetjmp>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <string>
#include <vector>

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

// ---- damage that Qt's readers let through ----
// Qt's GIF, JPEG, BMP, icon and PNM readers return a picture even where the file ends early or
// its data is corrupt, filling what is missing with black, grey or whatever the memory held.
// These checks look at the file's data as its own decoder does and report such damage.

std::uint32_t Le32(const std::uint8_t* p) {
    return p[0] | p[1] << 8 | p[2] << 16 | std::uint32_t(p[3]) << 24;
}
std::uint16_t Le16(const std::uint8_t* p) {
    return std::uint16_t(p[0] | p[1] << 8);
}

// The first picture of a GIF file decodes completely (what follows it does not matter).
bool GifIntact(const QByteArray& bytes) {
    struct TSource {
        const QByteArray* Bytes;
        qsizetype At = 0;
    } source{&bytes};
    const InputFunc read = [](GifFileType* gif, GifByteType* into, int n) {
        TSource* s = static_cast<TSource*>(gif->UserData);
        const int count = int(std::min<qsizetype>(n, s->Bytes->size() - s->At));
        std::memcpy(into, s->Bytes->constData() + s->At, size_t(std::max(count, 0)));
        s->At += std::max(count, 0);
        return count;
    };
    int error = 0;
    GifFileType* gif = DGifOpen(&source, read, &error);
    if (!gif)
        return false;
    bool intact = false;
    for (bool done = false; !done;) {
        GifRecordType record;
        if (DGifGetRecordType(gif, &record) == GIF_ERROR)
            break;
        if (record == IMAGE_DESC_RECORD_TYPE) {
            if (DGifGetImageDesc(gif) == GIF_ERROR)
                break;
            const int w = gif->Image.Width, h = gif->Image.Height;
            std::vector<GifPixelType> line(size_t(std::max(w, 1)));
            int y = 0;
            while (y < h && DGifGetLine(gif, line.data(), w) == GIF_OK)
                ++y;
            intact = w > 0 && y == h;
            done = true;
        } else if (record == EXTENSION_RECORD_TYPE) {
            int code = 0;
            GifByteType* block = nullptr;
            if (DGifGetExtension(gif, &code, &block) == GIF_ERROR)
                break;
            while (block && DGifGetExtensionNext(gif, &block) == GIF_OK) {
            }
            if (block)
                break; // the loop above ended on an error
        } else {
            done = true; // the end without a picture
        }
    }
    DGifCloseFile(gif, &error);
    return intact;
}

// The picture data of a JPEG file decodes without running out or hitting corrupt entropy
// coding (libjpeg then fills the rest with grey). Decoded at an eighth of the size, which
// reads every coefficient but spares the transforms.
struct TJpegCheck {
    jpeg_error_mgr Manager;
    std::jmp_buf Jump;
    bool Damaged = false;
};

bool JpegIntact(const QByteArray& bytes) {
    jpeg_decompress_struct info{};
    TJpegCheck check{};
    info.err = jpeg_std_error(&check.Manager);
    check.Manager.error_exit = [](j_common_ptr c) {
        std::longjmp(reinterpret_cast<TJpegCheck*>(c->err)->Jump, 1);
    };
    check.Manager.emit_message = [](j_common_ptr c, int level) {
        const int code = c->err->msg_code;
        // Running out of data is reported as hitting a marker once bits that the picture
        // needs are missing; the end of the data alone (a lost end marker) is no damage.
        if (level < 0 && (code == JWRN_HIT_MARKER || code == JWRN_HUFF_BAD_CODE ||
                          code == JWRN_ARITH_BAD_CODE || code == JWRN_MUST_RESYNC))
            reinterpret_cast<TJpegCheck*>(c->err)->Damaged = true;
    };
    volatile bool intact = false;
    if (setjmp(check.Jump) == 0) {
        jpeg_create_decompress(&info);
        jpeg_mem_src(&info, reinterpret_cast<const unsigned char*>(bytes.constData()),
                     static_cast<unsigned long>(bytes.size()));
        jpeg_read_header(&info, TRUE);
        info.scale_num = 1;
        info.scale_denom = 8;
        info.dct_method = JDCT_IFAST;
        info.do_fancy_upsampling = FALSE;
        jpeg_start_decompress(&info);
        // The row belongs to libjpeg, so that an error jumping out of here leaks nothing.
        JSAMPARRAY rows =
            (*info.mem->alloc_sarray)(reinterpret_cast<j_common_ptr>(&info), JPOOL_IMAGE,
                                      info.output_width * JDIMENSION(info.output_components), 1);
        while (info.output_scanline < info.output_height)
            jpeg_read_scanlines(&info, rows, 1);
        intact = !check.Damaged;
    }
    jpeg_destroy_decompress(&info);
    return intact;
}

// An uncompressed BMP file holds every row its header promises (the padding of the last row
// may be missing).
bool BmpIntact(const QByteArray& bytes) {
    const auto* d = reinterpret_cast<const std::uint8_t*>(bytes.constData());
    if (bytes.size() < 14 + 16)
        return false;
    const std::uint32_t header = Le32(d + 14);
    std::int64_t width, height;
    int bits;
    std::uint32_t compression = 0;
    if (header == 12) {
        width = Le16(d + 18);
        height = Le16(d + 20);
        bits = Le16(d + 24);
    } else if (header >= 40 && bytes.size() >= 14 + 40) {
        width = std::int32_t(Le32(d + 18));
        height = std::abs(std::int64_t(std::int32_t(Le32(d + 22))));
        bits = Le16(d + 28);
        compression = Le32(d + 30);
    } else {
        return false;
    }
    if (compression != 0 && compression != 3) // run-length coded: left to the reader
        return true;
    const std::int64_t stride = codecs::BmpRowStride(width, bits);
    const std::int64_t need = Le32(d + 10) + stride * (height - 1) + (width * bits + 7) / 8;
    return width > 0 && height > 0 && bytes.size() >= need;
}

// Every picture an icon file lists lies inside the file.
bool IcoIntact(const QByteArray& bytes) {
    const auto* d = reinterpret_cast<const std::uint8_t*>(bytes.constData());
    if (bytes.size() < 6)
        return false;
    const int count = Le16(d + 4);
    if (bytes.size() < 6 + 16 * qsizetype(count))
        return false;
    for (int i = 0; i < count; ++i) {
        const std::uint8_t* entry = d + 6 + 16 * i;
        if (std::int64_t(Le32(entry + 12)) + Le32(entry + 8) > bytes.size())
            return false;
    }
    return true;
}

// A PNM file (P1 to P6) holds as many samples as its header promises, none above its
// maximum value.
bool PnmIntact(const QByteArray& bytes) {
    qsizetype at = 2;
    auto skipSpace = [&] {
        while (at < bytes.size()) {
            if (bytes[at] == '#')
                while (at < bytes.size() && bytes[at] != '\n')
                    ++at;
            else if (std::isspace(static_cast<unsigned char>(bytes[at])))
                ++at;
            else
                break;
        }
    };
    auto number = [&](std::int64_t& value) {
        skipSpace();
        const qsizetype start = at;
        value = 0;
        while (at < bytes.size() && std::isdigit(static_cast<unsigned char>(bytes[at])) &&
               value < (std::int64_t(1) << 40))
            value = value * 10 + (bytes[at++] - '0');
        return at > start;
    };
    if (bytes.size() < 3 || bytes[0] != 'P' || bytes[1] < '1' || bytes[1] > '6')
        return false;
    const int kind = bytes[1] - '0';
    std::int64_t width = 0, height = 0, max = 1;
    if (!number(width) || !number(height) || width < 1 || height < 1 ||
        (kind != 1 && kind != 4 && (!number(max) || max < 1 || max > 65535)))
        return false;
    const int channels = kind == 3 || kind == 6 ? 3 : 1;
    if (kind <= 3) {
        const std::int64_t samples = width * height * channels;
        for (std::int64_t i = 0; i < samples; ++i) {
            std::int64_t v = 0;
            if (kind == 1) { // bits may stand without spaces between them
                skipSpace();
                if (at >= bytes.size() || (bytes[at] != '0' && bytes[at] != '1'))
                    return false;
                ++at;
            } else if (!number(v) || v > max) {
                return false;
            }
        }
        return true;
    }
    ++at; // the one whitespace byte before the samples
    const int sampleBytes = max > 255 ? 2 : 1;
    const std::int64_t need =
        kind == 4 ? (width + 7) / 8 * height : width * height * channels * sampleBytes;
    if (bytes.size() - at < need)
        return false;
    if (kind == 4 || max == 255 || max == 65535)
        return true;
    const auto* d = reinterpret_cast<const std::uint8_t*>(bytes.constData()) + at;
    for (std::int64_t i = 0; i < need; i += sampleBytes)
        if ((sampleBytes == 2 ? (d[i] << 8 | d[i + 1]) : d[i]) > max)
            return false;
    return true;
}

// Whether the data of a file whose content is of that format (as Qt's readers name it) is
// whole; formats without a check here pass.
bool IntactFor(const QByteArray& qtFormat, const QByteArray& bytes) {
    if (qtFormat == "gif")
        return GifIntact(bytes);
    if (qtFormat == "jpeg" || qtFormat == "jpg")
        return JpegIntact(bytes);
    if (qtFormat == "bmp")
        return BmpIntact(bytes);
    if (qtFormat == "ico" || qtFormat == "cur")
        return IcoIntact(bytes);
    if (qtFormat == "ppm" || qtFormat == "pgm" || qtFormat == "pbm")
        return PnmIntact(bytes);
    return true;
}

// The format Qt's readers see in the content (lower case), or empty.
QByteArray ContentFormat(const QByteArray& bytes) {
    QByteArray data = bytes; // shared, not copied
    QBuffer buffer(&data);
    buffer.open(QIODevice::ReadOnly);
    return QImageReader(&buffer).format().toLower();
}

// The readers below return a null picture when they fail and add the decoder's own message to
// causes, which travels up with the error for a developer to read.
QImage ReadWithQt(const QByteArray& bytes, const QByteArray& format, QStringList& causes) {
    QByteArray data = bytes; // QBuffer wants a non-const array; this shares, it does not copy
    QBuffer buffer(&data);
    buffer.open(QIODevice::ReadOnly);
    QImageReader reader(&buffer, format);
    // With a format given, only that reader is asked; without one, the content decides.
    reader.setAutoDetectImageFormat(format.isEmpty());
    QImage image;
    if (!reader.read(&image)) {
        if (!format.isEmpty() || reader.error() != QImageReader::UnsupportedFormatError)
            causes << QStringLiteral("Qt: ") + reader.errorString();
        return QImage();
    }
    return image;
}

void InitMagick() {
    static std::once_flag once;
    std::call_once(once, [] { Magick::InitializeMagick(nullptr); });
}

QImage ReadWithMagick(const QByteArray& bytes, const std::string& format, QStringList& causes) {
    InitMagick();
    try {
        Magick::Blob blob(bytes.constData(), size_t(bytes.size()));
        Magick::Image image;
        image.quiet(false); // warnings are thrown once the picture has been read
        // Of a file with several pictures the first is kept. (No scene range is asked for: in
        // Photo CD files the scenes are the resolutions, and the default is the base one.)
        if (!format.empty())
            image.magick(format); // the coder is then taken as given, not guessed
        try {
            image.read(blob);
        } catch (const Magick::WarningCorruptImage& e) {
            // data missing or wrong: the picture would show the damage
            causes << QStringLiteral("ImageMagick: ") + QString::fromUtf8(e.what());
            return QImage();
        } catch (const Magick::Warning&) {
            // odd but readable (an unknown tag, a profile it does not use): no failure
        }
        const size_t w = image.columns();
        const size_t h = image.rows();
        if (w == 0 || h == 0 || w > 65535 || h > 65535) {
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
        throw kw::EFcError(QStringLiteral("Cannot open the picture file \"%1\"").arg(path),
                           file.errorString());
    const QByteArray bytes = file.readAll();
    file.close();
    const QString ext = QFileInfo(path).suffix().toLower();

    // A damaged file of a format whose readers make a picture of the damage is refused
    // before any reader sees it. Then the content decides, through Qt and then ImageMagick;
    // the extension only when neither recognises it.
    QImage image;
    QStringList causes;
    if (IntactFor(ContentFormat(bytes), bytes)) {
        image = ReadWithQt(bytes, QByteArray(), causes);
        if (image.isNull())
            image = ReadWithMagick(bytes, std::string(), causes);
        if (image.isNull() && !QtFormatOf(ext).isEmpty())
            image = ReadWithQt(bytes, QtFormatOf(ext), causes);
        if (image.isNull() && !MagickFormatOf(ext).empty())
            image = ReadWithMagick(bytes, MagickFormatOf(ext), causes);
        image = Opaque(std::move(image));
    } else {
        causes << QStringLiteral("the file is cut short or its structure is damaged");
    }
    if (image.isNull())
        throw kw::EFcError(QStringLiteral("Cannot read the picture file \"%1\": its format is "
                                          "not supported or the file is damaged")
                               .arg(path),
                           causes.join(QStringLiteral("\n")));
    return image;
}
