// Pictures of every format that Debian's libraries can write are made here with Magick++
// (or by hand for read-only formats) and read back through ReadPicture.

#include "codecs/picture_reader.h"
#include "common/kw_guard.h"

#include <Magick++.h>

#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <cstdlib>

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

TEST_F(PictureReader, TheContentWinsOverAWrongExtension) {
    const QString png = Write("a.png", "PNG");
    const QString misnamed = Dir.filePath("really-a-png.tga");
    ASSERT_TRUE(QFile::copy(png, misnamed));
    ExpectPattern(ReadPicture(misnamed), 0, "png named .tga");
    const QString pcx = Write("b.pcx", "PCX");
    const QString misnamedPcx = Dir.filePath("really-a-pcx.jpg");
    ASSERT_TRUE(QFile::copy(pcx, misnamedPcx));
    ExpectPattern(ReadPicture(misnamedPcx), 0, "pcx named .jpg");
    // .scr names PCX, but screen grabs of other programs hold other formats.
    ExpectPattern(ReadPicture(Write("gif.scr", "GIF")), 0, "gif named .scr");
    ExpectPattern(ReadPicture(Write("bmp.scr", "BMP")), 0, "bmp named .scr");
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
