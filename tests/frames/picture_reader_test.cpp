// Pictures of every format that Debian's libraries can write are made here with Magick++
// (or by hand for read-only formats) and read back through ReadPicture.

#include "codecs/picture_reader.h"
#include "common/kw_guard.h"
#include "common/kw_memory.h"
#include "tests/support/fake_desktop.h"

#include <Magick++.h>

#include <QBuffer>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <utility>
#include <vector>

namespace {

// 40 x 30: the left half red, the right half blue; with alpha the left half is transparent.
QImage Pattern(bool transparentLeft = false) {
    QImage image(40, 30, QImage::Format_ARGB32);
    for (int y = 0; y < 30; ++y)
        for (int x = 0; x < 40; ++x)
            image.setPixelColor(
                x, y, x < 20 ? QColor(255, 0, 0, transparentLeft ? 0 : 255) : QColor(0, 0, 255));
    return image;
}

bool Near(QColor a, QColor b, int tolerance) {
    return std::abs(a.red() - b.red()) <= tolerance &&
           std::abs(a.green() - b.green()) <= tolerance &&
           std::abs(a.blue() - b.blue()) <= tolerance;
}

class PictureReader : public ::testing::Test {
protected:
    QTemporaryDir Dir;

    static void SetUpTestSuite() { Magick::InitializeMagick(nullptr); }

    // Writes the pattern with ImageMagick's coder under the given file name.
    QString Write(const QString& name, const std::string& coder, bool alpha = false,
                  bool rle = false) {
        QImage pattern = Pattern(alpha);
        Magick::Image image(40, 30, "BGRA", Magick::CharPixel, pattern.constBits());
        if (!alpha)
            image.matte(false);
        if (rle) {
            image.type(Magick::PaletteType);
            image.compressType(Magick::RLECompression);
        }
        image.magick(coder);
        const QString path = Dir.filePath(name);
        image.write(path.toStdString());
        return path;
    }

    QString WriteBytes(const QString& name, const QByteArray& bytes) {
        const QString path = Dir.filePath(name);
        QFile file(path);
        EXPECT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(bytes);
        return path;
    }

    static void ExpectPattern(const QImage& image, int tolerance, const char* what) {
        ASSERT_FALSE(image.isNull()) << what;
        EXPECT_EQ(image.size(), QSize(40, 30)) << what;
        EXPECT_EQ(image.format(), QImage::Format_RGB32) << what;
        EXPECT_TRUE(Near(image.pixelColor(5, 15), QColor(255, 0, 0), tolerance))
            << what << " " << std::hex << image.pixel(5, 15);
        EXPECT_TRUE(Near(image.pixelColor(34, 15), QColor(0, 0, 255), tolerance)) << what;
    }
};

} // namespace

TEST_F(PictureReader, ReadsTheLosslessFormatsExactly) {
    const struct {
        const char* Name;
        const char* Coder;
    } files[] = {
        {"a.bmp", "BMP"}, {"a.dib", "BMP3"}, {"a.ico", "ICO"},   {"a.png", "PNG"},
        {"a.gif", "GIF"}, {"a.tif", "TIFF"}, {"a.tiff", "TIFF"}, {"a.tga", "TGA"},
        {"a.win", "TGA"}, {"a.vst", "VST"},  {"a.vda", "VDA"},   {"a.icb", "ICB"},
        {"a.pcx", "PCX"}, {"a.pcc", "PCX"},  {"a.scr", "PCX"},   {"a.sgi", "SGI"},
        {"a.rgb", "SGI"}, {"a.rgba", "SGI"}, {"a.psd", "PSD"},   {"a.pdd", "PSD"},
        {"a.ppm", "PPM"},
    };
    for (const auto& f : files)
        ExpectPattern(ReadPicture(Write(f.Name, f.Coder)), 0, f.Name);
    ExpectPattern(ReadPicture(Write("a.rle", "BMP3", false, true)), 0, "a.rle");
}

TEST_F(PictureReader, ReadsLossyGreyAndBilevelFormats) {
    for (const char* name : {"a.jpg", "a.jpeg", "a.jpe", "a.jfif"})
        ExpectPattern(ReadPicture(Write(name, "JPEG")), 40, name);
    // Grey and black-and-white files: red and blue come back as two different greys.
    for (auto [name, coder] : {std::pair{"a.pgm", "PGM"}, {"a.bw", "SGI"}}) {
        const QString path = Write(name, coder);
        if (QString(name).endsWith(".bw")) {
            Magick::Image grey(path.toStdString());
            grey.type(Magick::GrayscaleType);
            grey.magick("SGI");
            grey.write(path.toStdString());
        }
        const QImage image = ReadPicture(path);
        ASSERT_EQ(image.size(), QSize(40, 30)) << name;
        const QColor left = image.pixelColor(5, 15), right = image.pixelColor(34, 15);
        EXPECT_EQ(left.red(), left.blue()) << name;
        EXPECT_NE(left.red(), right.red()) << name;
    }
    const QImage pbm = ReadPicture(Write("a.pbm", "PBM"));
    EXPECT_EQ(pbm.size(), QSize(40, 30));
    // Raw Group 3 fax has no header at all: only the extension tells what it is.
    const QImage fax = ReadPicture(Write("a.fax", "FAX"));
    EXPECT_FALSE(fax.isNull());
    EXPECT_GT(fax.width(), 0);
}

TEST_F(PictureReader, ReadsPhotoCDAtItsBaseResolution) {
    // Photo CD keeps fixed image sizes; ImageMagick's own writer does not keep the colours of
    // so small a picture, so only the size is checked.
    const QImage pcd = ReadPicture(Write("a.pcd", "PCD"));
    EXPECT_EQ(pcd.size(), QSize(768, 512));
}

TEST_F(PictureReader, ReadsAHandMadeDrHaloCut) {
    // 4 x 2, each line one run of grey 200 (no palette file beside it: grey levels).
    QByteArray cut;
    auto word = [&](int v) { cut.append(char(v & 0xFF)).append(char(v >> 8)); };
    word(4);
    word(2);
    word(0);
    for (int line = 0; line < 2; ++line) {
        word(3);
        cut.append(char(0x84)).append(char(200)).append(char(0));
    }
    const QImage image = ReadPicture(WriteBytes("a.cut", cut));
    ASSERT_EQ(image.size(), QSize(4, 2));
    EXPECT_EQ(image.pixelColor(3, 1).red(), image.pixelColor(0, 0).red());
}

TEST_F(PictureReader, FlattensTransparencyOntoWhite) {
    for (auto [name, coder] : {std::pair{"t.png", "PNG"},
                               {"t.tga", "TGA"},
                               {"t.psd", "PSD"},
                               {"t.gif", "GIF"},
                               {"t.tif", "TIFF"}}) {
        const QImage image = ReadPicture(Write(name, coder, true));
        ASSERT_FALSE(image.isNull()) << name;
        EXPECT_FALSE(image.hasAlphaChannel()) << name;
        EXPECT_EQ(image.pixelColor(5, 15), QColor(Qt::white)) << name;
        EXPECT_TRUE(Near(image.pixelColor(34, 15), QColor(0, 0, 255), 0)) << name;
    }
}

// Only the decoders of a file's extension read it, each told its format: content that claims
// another format is refused like a damaged file. (A misnamed file was once read by whatever
// its content claimed, which let SVG text in a .jpg be drawn as SVG, and any script that
// ImageMagick understands run through a .pcx.)
TEST_F(PictureReader, ContentOfAnotherFormatThanTheExtensionIsRefused) {
    const QByteArray svg = "<?xml version=\"1.0\"?>\n<svg xmlns=\"http://www.w3.org/2000/svg\" "
                           "width=\"40\" height=\"30\"><rect width=\"40\" height=\"30\" "
                           "fill=\"red\"/></svg>\n";
    const QString png = Write("a.png", "PNG");
    const QString pngAsTga = Dir.filePath("really-a-png.tga");
    ASSERT_TRUE(QFile::copy(png, pngAsTga));
    const QString pcx = Write("b.pcx", "PCX");
    const QString pcxAsJpg = Dir.filePath("really-a-pcx.jpg");
    ASSERT_TRUE(QFile::copy(pcx, pcxAsJpg));
    const QStringList misnamed = {WriteBytes("svg.jpg", svg),
                                  WriteBytes("svg.pcx", svg),
                                  WriteBytes("svg.png", svg),
                                  pngAsTga,
                                  pcxAsJpg,
                                  Write("gif.scr", "GIF")};
    for (const QString& path : misnamed) {
        try {
            ReadPicture(path);
            ADD_FAILURE() << "read " << path.toStdString();
        } catch (const kw::EFcError& e) {
            EXPECT_TRUE(e.Message().startsWith(
                QStringLiteral("Cannot read the picture file \"%1\"").arg(path)))
                << e.Message().toStdString();
        }
    }
    ExpectPattern(ReadPicture(png), 0, "the same PNG named .png");
}

TEST_F(PictureReader, FailsWithAClearErrorNamingTheFile) {
    const QString eps = WriteBytes("a.eps", "%!PS-Adobe-3.0 EPSF-3.0\n%%BoundingBox: 0 0 10 10\n"
                                            "0 0 1 setrgbcolor 0 0 10 10 rectfill\nshowpage\n");
    QByteArray noise(512, '\0');
    for (int i = 0; i < noise.size(); ++i)
        noise[i] = char((i * 7919 + 13) % 251);
    const QStringList undecodable = {eps,
                                     WriteBytes("a.psp", noise),
                                     WriteBytes("a.pic", noise),
                                     WriteBytes("a.cel", noise),
                                     WriteBytes("a.emf", noise),
                                     WriteBytes("empty.png", QByteArray())};
    for (const QString& path : undecodable) {
        try {
            ReadPicture(path);
            ADD_FAILURE() << "decoded " << path.toStdString();
        } catch (const kw::EFcError& e) {
            EXPECT_EQ(e.Message(), QStringLiteral("Cannot read the picture file \"%1\": its format "
                                                  "is not supported or the file is damaged")
                                       .arg(path));
            EXPECT_FALSE(e.Details().isEmpty())
                << "the decoder's own reason: " << path.toStdString();
        }
    }
    const QString missing = Dir.filePath("missing.png");
    try {
        ReadPicture(missing);
        ADD_FAILURE() << "read a missing file";
    } catch (const kw::EFcError& e) {
        EXPECT_EQ(e.Message(), QStringLiteral("Cannot open the picture file \"%1\"").arg(missing));
        EXPECT_TRUE(e.Details().contains(QStringLiteral("No such file")))
            << e.Details().toStdString();
    }
}

// Files whose decoder runs out of data or meets corrupt data are refused like unreadable ones,
// although some readers would make a picture of them (black, grey or left-over memory where
// data is missing); a file that lost only what follows its picture is read.
TEST_F(PictureReader, RefusesDamagedFilesAndReadsOnesThatLostOnlyTheirEnd) {
    auto bytesOf = [&](const char* name, const char* coder, bool alpha = false) {
        QFile file(Write(name, coder, alpha));
        EXPECT_TRUE(file.open(QIODevice::ReadOnly));
        return file.readAll();
    };
    const QByteArray gif = bytesOf("a.gif", "GIF"), jpg = bytesOf("a.jpg", "JPEG"),
                     bmp = bytesOf("a.bmp", "BMP"), ico = bytesOf("a.ico", "ICO", true);
    QByteArray lzw = gif;
    for (int i = gif.size() / 2; i < gif.size() / 2 + 16; ++i)
        lzw[i] = char(~lzw[i]);
    const QStringList damaged = {
        WriteBytes("cut.gif", gif.left(gif.size() - 12)),
        WriteBytes("lzw.gif", lzw),
        WriteBytes("cut.jpg", jpg.left(jpg.size() * 3 / 4)),
        WriteBytes("cut.bmp", bmp.left(bmp.size() - 200)),
        WriteBytes("cut.ico", ico.left(ico.size() - 1)),
        WriteBytes("over.ppm", "P3\n2 1\n15\n15 0 0  0 0 255\n"), // 255 > the maximum 15
        WriteBytes("short.pgm", "P5\n4 4\n255\n0123456789"),      // 10 of 16 samples
    };
    for (const QString& path : damaged) {
        try {
            const QImage image = ReadPicture(path);
            ADD_FAILURE() << "read " << path.toStdString();
        } catch (const kw::EFcError& e) {
            EXPECT_EQ(e.Message(), QStringLiteral("Cannot read the picture file \"%1\": its format "
                                                  "is not supported or the file is damaged")
                                       .arg(path));
        }
    }
    // Without the GIF's closing byte or the last byte of the JPEG's end marker.
    ExpectPattern(ReadPicture(WriteBytes("end.gif", gif.left(gif.size() - 1))), 0, "end.gif");
    ExpectPattern(ReadPicture(WriteBytes("end.jpg", jpg.left(jpg.size() - 1))), 40, "end.jpg");
    const QImage plain = ReadPicture(WriteBytes("plain.ppm", "P3\n2 1\n15\n15 0 0  0 0 15\n"));
    EXPECT_EQ(plain.pixel(0, 0), qRgb(255, 0, 0));
    EXPECT_EQ(plain.pixel(1, 0), qRgb(0, 0, 255));
}

namespace {

std::uint32_t Crc32(const QByteArray& bytes) {
    std::uint32_t crc = 0xFFFFFFFFu;
    for (const char c : bytes) {
        crc ^= std::uint8_t(c);
        for (int k = 0; k < 8; ++k)
            crc = crc & 1 ? (crc >> 1) ^ 0xEDB88320u : crc >> 1;
    }
    return ~crc;
}

QByteArray Be32(std::uint32_t v) {
    const char bytes[4] = {char(v >> 24), char(v >> 16), char(v >> 8), char(v)};
    return QByteArray(bytes, 4);
}

QByteArray PngChunk(const char* type, const QByteArray& data) {
    const QByteArray body = QByteArray(type) + data;
    return Be32(std::uint32_t(data.size())) + body + Be32(Crc32(body));
}

// A Targa header (18 bytes) of a true-colour or run-length coded picture.
QByteArray TgaHeader(int type, int width, int height, int bits, int descriptor) {
    QByteArray h(18, '\0');
    h[2] = char(type);
    h[12] = char(width & 0xFF);
    h[13] = char(width >> 8);
    h[14] = char(height & 0xFF);
    h[15] = char(height >> 8);
    h[16] = char(bits);
    h[17] = char(descriptor);
    return h;
}

} // namespace

// A file that declares a picture larger than the memory can spare is refused before any
// decoder makes its pixels, with a message naming its size; so is a header that is no number.
TEST_F(PictureReader, APictureDeclaringMoreThanTheMemoryCanSpareIsRefusedBeforeDecoding) {
    TFakeDesktop desktop; // 16 GB available
    QByteArray ihdr = Be32(60000) + Be32(60000);
    ihdr += QByteArray("\x08\x02\x00\x00\x00", 5);
    const QByteArray png = QByteArray("\x89PNG\r\n\x1A\n", 8) + PngChunk("IHDR", ihdr) +
                           PngChunk("IDAT", QByteArray("\x78\x9C\x03\x00\x00\x00\x00\x01", 8)) +
                           PngChunk("IEND", {});
    const QString bigPng = WriteBytes("big.png", png);
    const QString bigTga = WriteBytes("big.tga", TgaHeader(2, 60000, 60000, 24, 0x20));
    for (const QString& path : {bigPng, bigTga}) {
        try {
            ReadPicture(path);
            ADD_FAILURE() << "read " << path.toStdString();
        } catch (const kw::EMemoryRefused& e) {
            EXPECT_TRUE(e.Message().contains(QStringLiteral("60000 x 60000")))
                << e.Message().toStdString();
            EXPECT_TRUE(e.Message().contains(path)) << e.Message().toStdString();
        }
    }
    // With the memory for it, the same header is only a damaged file.
    desktop.AvailableMemory = qint64(1) << 50;
    EXPECT_THROW(ReadPicture(bigTga), kw::EFcError);
    // A PNM header with numbers no picture has: damaged, without arithmetic that overflows.
    for (const char* header : {"P6\n99999999999999999999 99999999999999999999\n255\n",
                               "P3\n4294967296 4294967296\n255\n0 0 0\n", "P5\n70000 1\n255\n"})
        EXPECT_THROW(ReadPicture(WriteBytes(QStringLiteral("big.ppm"), header)), kw::EFcError)
            << header;
}

// Targa files start at any of the four corners, as bits 4 and 5 of their descriptor say; each
// comes out the right way up, run-length coded and with alpha too.
TEST_F(PictureReader, ReadsEveryTargaOrientationTheRightWayUp) {
    const int w = 3, h = 2;
    auto colour = [](int x, int y) { return qRgb(x * 80, y * 120, 50); };
    for (const int descriptor : {0x00, 0x10, 0x20, 0x30}) {
        QByteArray tga = TgaHeader(2, w, h, 24, descriptor);
        QByteArray rle = TgaHeader(10, w, h, 32, descriptor | 8);
        for (int line = 0; line < h; ++line) {
            const int y = descriptor & 0x20 ? line : h - 1 - line;
            rle.append(char(0x80 | (w - 1))); // one run per line, then fixed below
            QByteArray raw;
            for (int column = 0; column < w; ++column) {
                const int x = descriptor & 0x10 ? w - 1 - column : column;
                const QRgb c = colour(x, y);
                tga.append(char(qBlue(c))).append(char(qGreen(c))).append(char(qRed(c)));
                raw.append(char(qBlue(c))).append(char(qGreen(c))).append(char(qRed(c)));
                raw.append(char(255));
            }
            rle[rle.size() - 1] = char(w - 1); // a raw packet of w pixels
            rle.append(raw);
        }
        for (const auto& [name, bytes] :
             {std::pair{QStringLiteral("o%1.tga").arg(descriptor), tga},
              std::pair{QStringLiteral("r%1.icb").arg(descriptor), rle}}) {
            const QImage image = ReadPicture(WriteBytes(name, bytes));
            ASSERT_EQ(image.size(), QSize(w, h)) << name.toStdString();
            for (int y = 0; y < h; ++y)
                for (int x = 0; x < w; ++x)
                    EXPECT_EQ(image.pixel(x, y), colour(x, y))
                        << name.toStdString() << " at " << x << "," << y;
        }
    }
    // A run that repeats one pixel, and data cut short.
    QByteArray run = TgaHeader(10, 4, 1, 24, 0x20);
    run.append(char(0x83)).append("\x10\x20\x30", 3);
    EXPECT_EQ(ReadPicture(WriteBytes("run.tga", run)).pixel(3, 0), qRgb(0x30, 0x20, 0x10));
    EXPECT_THROW(ReadPicture(WriteBytes("cut.tga", TgaHeader(2, 4, 4, 24, 0) + "abc")),
                 kw::EFcError);
}

namespace {

// An icon directory entry and the picture it points to: a BMP-coded one of 4 or 32 bits
// filled with one colour, or a PNG.
struct TIcon {
    int Size;
    int Bits; // 4, 32, or 0 for a PNG of 32 bits
    QRgb Colour;
};

QByteArray IcoPicture(const TIcon& icon) {
    if (icon.Bits == 0) {
        QImage png(icon.Size, icon.Size, QImage::Format_ARGB32);
        png.fill(icon.Colour);
        QByteArray bytes;
        QBuffer buffer(&bytes);
        buffer.open(QIODevice::WriteOnly);
        png.save(&buffer, "PNG");
        return bytes;
    }
    auto le = [](QByteArray& b, std::uint32_t v, int n) {
        for (int i = 0; i < n; ++i)
            b.append(char((v >> (8 * i)) & 0xFF));
    };
    QByteArray b;
    le(b, 40, 4);
    le(b, std::uint32_t(icon.Size), 4);
    le(b, std::uint32_t(2 * icon.Size), 4); // the picture and its mask
    le(b, 1, 2);
    le(b, std::uint32_t(icon.Bits), 2);
    for (int i = 0; i < 6; ++i)
        le(b, 0, 4);
    const int line = (icon.Size * icon.Bits + 31) / 32 * 4;
    QByteArray pixels;
    if (icon.Bits == 4) {
        le(b, 0, 4); // entry 0 black, entry 1 the colour, 14 more black
        le(b, icon.Colour & 0xFFFFFF, 4);
        for (int i = 2; i < 16; ++i)
            le(b, 0, 4);
        pixels = QByteArray(line * icon.Size, char(0x11));
    } else {
        for (int i = 0; i < icon.Size * icon.Size; ++i)
            le(pixels, icon.Colour | 0xFF000000u, 4);
    }
    b += pixels;
    b += QByteArray((icon.Size + 31) / 32 * 4 * icon.Size, '\0'); // mask: all shown
    return b;
}

QByteArray Ico(const std::vector<TIcon>& icons) {
    QByteArray head, data;
    auto le = [](QByteArray& b, std::uint32_t v, int n) {
        for (int i = 0; i < n; ++i)
            b.append(char((v >> (8 * i)) & 0xFF));
    };
    le(head, 0, 2);
    le(head, 1, 2);
    le(head, std::uint32_t(icons.size()), 2);
    std::uint32_t offset = 6 + 16 * std::uint32_t(icons.size());
    for (const TIcon& icon : icons) {
        const QByteArray picture = IcoPicture(icon);
        head.append(char(icon.Size & 0xFF)).append(char(icon.Size & 0xFF));
        head.append(char(icon.Bits == 4 ? 16 : 0)).append(char(0));
        le(head, 1, 2);
        le(head, std::uint32_t(icon.Bits == 0 ? 32 : icon.Bits), 2);
        le(head, std::uint32_t(picture.size()), 4);
        le(head, offset, 4);
        offset += std::uint32_t(picture.size());
        data += picture;
    }
    return head + data;
}

} // namespace

// An icon file gives its largest picture, and of pictures of one size the deepest, wherever
// they stand in its directory.
TEST_F(PictureReader, AnIconGivesItsLargestAndDeepestPicture) {
    const QImage large = ReadPicture(WriteBytes(
        "large.ico", Ico({{48, 4, qRgb(255, 0, 0)}, {256, 0, qRgb(0, 0, 255)}, {32, 32, 0}})));
    EXPECT_EQ(large.size(), QSize(256, 256));
    EXPECT_EQ(large.pixel(100, 100), qRgb(0, 0, 255));
    const QImage deep = ReadPicture(
        WriteBytes("deep.ico", Ico({{16, 4, qRgb(255, 0, 0)}, {16, 32, qRgb(0, 255, 0)}})));
    EXPECT_EQ(deep.size(), QSize(16, 16));
    EXPECT_EQ(deep.pixel(8, 8), qRgb(0, 255, 0));
}
