#include "codecs/bmp_codec.h"
#include "tests/support/test_data.h"

#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <random>

using namespace codecs;

namespace {

bool Read(const QByteArray& bytes, QImage& into) {
    return ReadBmp(reinterpret_cast<const std::uint8_t*>(bytes.constData()), bytes.size(), into);
}

void Put32(QByteArray& b, int at, std::uint32_t v) {
    for (int i = 0; i < 4; ++i)
        b[at + i] = char(v >> (8 * i));
}

// A BMP built by hand: header of 40 bytes, optional palette, raw rows.
QByteArray HandBmp(int w, int h, int bits, const QByteArray& palette, const QByteArray& rows,
                   std::uint32_t compression = 0) {
    QByteArray b(54, '\0');
    b[0] = 'B';
    b[1] = 'M';
    Put32(b, 10, std::uint32_t(54 + palette.size()));
    Put32(b, 14, 40);
    Put32(b, 18, std::uint32_t(w));
    Put32(b, 22, std::uint32_t(h));
    b[26] = 1;
    b[28] = char(bits);
    Put32(b, 30, compression);
    b += palette;
    b += rows;
    Put32(b, 2, std::uint32_t(b.size()));
    return b;
}

} // namespace

TEST(Bmp, WrittenFilesReadBackPixelExactInTheirOwnFormat) {
    for (int w : {1, 2, 3, 4, 5, 17}) {
        const QImage rgb = fctest::Noise(w, 7, unsigned(w), QImage::Format_RGB888);
        const QByteArray bytes24 = EncodeBmp(rgb);
        EXPECT_EQ(std::uint8_t(bytes24[28]), 24);
        EXPECT_EQ(bytes24.size(), 54 + ((w * 3 + 3) / 4 * 4) * 7);
        QImage back;
        ASSERT_TRUE(Read(bytes24, back));
        EXPECT_EQ(back.format(), QImage::Format_RGB888);
        EXPECT_EQ(back, rgb) << w;

        const QImage rgb32 = fctest::Noise(w, 5, unsigned(w + 100), QImage::Format_RGB32);
        const QByteArray bytes32 = EncodeBmp(rgb32);
        EXPECT_EQ(std::uint8_t(bytes32[28]), 32);
        ASSERT_TRUE(Read(bytes32, back));
        EXPECT_EQ(back.format(), QImage::Format_RGB32);
        EXPECT_EQ(back, rgb32) << w;
    }
    // Qt's own reader agrees with the 24-bit layout (bottom-up rows, B G R order).
    const QImage rgb = fctest::Noise(9, 4, 1, QImage::Format_RGB888);
    EXPECT_EQ(QImage::fromData(EncodeBmp(rgb), "BMP").convertToFormat(QImage::Format_RGB888), rgb);
}

TEST(Bmp, ReadingReusesTheTargetBufferWhenSizeAndFormatMatch) {
    const QImage a = fctest::Noise(16, 8, 1, QImage::Format_RGB888),
                 b = fctest::Noise(16, 8, 2, QImage::Format_RGB888);
    QImage into;
    ASSERT_TRUE(Read(EncodeBmp(a), into));
    const uchar* buffer = into.constBits();
    ASSERT_TRUE(Read(EncodeBmp(b), into));
    EXPECT_EQ(into.constBits(), buffer);
    EXPECT_EQ(into, b);
    // A copy held elsewhere is not overwritten.
    const QImage held = into;
    ASSERT_TRUE(Read(EncodeBmp(a), into));
    EXPECT_EQ(held, b);
    EXPECT_EQ(into, a);
}

TEST(Bmp, TopDownPaletteSixteenBitAndBitfieldPictures) {
    // 2 x 2, 8-bit palette, top-down (negative height).
    QByteArray palette;
    palette.append("\x00\x00\xFF\x00", 4); // entry 0: red (B, G, R, 0)
    palette.append("\xFF\x00\x00\x00", 4); // entry 1: blue
    QByteArray rows("\x00\x01\x00\x00\x01\x00\x00\x00", 8);
    QByteArray bmp = HandBmp(2, -2, 8, palette, rows);
    Put32(bmp, 46, 2); // two palette entries
    QImage image;
    ASSERT_TRUE(Read(bmp, image));
    EXPECT_EQ(image.format(), QImage::Format_RGB888);
    EXPECT_EQ(image.pixel(0, 0), qRgb(255, 0, 0));
    EXPECT_EQ(image.pixel(1, 0), qRgb(0, 0, 255));
    EXPECT_EQ(image.pixel(0, 1), qRgb(0, 0, 255));
    EXPECT_EQ(image.pixel(1, 1), qRgb(255, 0, 0));
    // 16-bit 5-5-5, one pixel: white, padded row.
    ASSERT_TRUE(Read(HandBmp(1, 1, 16, {}, QByteArray("\xFF\x7F\x00\x00", 4)), image));
    EXPECT_EQ(image.pixel(0, 0), qRgb(255, 255, 255));
    // 32-bit with masks R, G, B swapped round: 0x000000FF is red.
    QByteArray masks;
    masks.append("\xFF\x00\x00\x00\x00\xFF\x00\x00\x00\x00\xFF\x00", 12);
    QByteArray bf = HandBmp(1, 1, 32, masks, QByteArray("\xFF\x00\x00\x00", 4), 3);
    ASSERT_TRUE(Read(bf, image));
    EXPECT_EQ(image.format(), QImage::Format_RGB32);
    EXPECT_EQ(image.pixel(0, 0), qRgb(255, 0, 0));
}

TEST(Bmp, MalformedAndTruncatedInputIsRefusedWithoutReadingOutside) {
    const QByteArray good = EncodeBmp(fctest::Noise(13, 11, 1, QImage::Format_RGB888));
    QImage image;
    // Every truncation fails; the reader gets an exact-size heap copy so that a sanitiser
    // build catches any read past the end.
    for (qsizetype n = 0; n < good.size(); ++n) {
        std::vector<std::uint8_t> copy(good.begin(), good.begin() + n);
        ASSERT_FALSE(ReadBmp(copy.data(), std::int64_t(copy.size()), image)) << n;
    }
    EXPECT_TRUE(image.isNull()) << "a failed read leaves the target alone";
    std::mt19937 rng(5);
    int accepted = 0;
    for (int round = 0; round < 3000; ++round) {
        std::vector<std::uint8_t> bytes(good.begin(), good.end());
        const int flips = 1 + int(rng() % 6);
        for (int f = 0; f < flips; ++f) // damage the headers mostly
            bytes[rng() % (round % 2 ? 60 : bytes.size())] = std::uint8_t(rng());
        if (round % 7 == 0)
            bytes.resize(rng() % bytes.size());
        QImage out;
        if (ReadBmp(bytes.data(), std::int64_t(bytes.size()), out)) {
            ++accepted;
            EXPECT_FALSE(out.isNull());
        }
    }
    EXPECT_GT(accepted, 0); // pixel damage alone still decodes
    const std::uint8_t notBmp[] = "PNG not a bitmap at all, but long enough for a header.....";
    EXPECT_FALSE(ReadBmp(notBmp, sizeof notBmp, image));
    EXPECT_FALSE(ReadBmp(nullptr, 100, image));
}

TEST(Bmp, WritesToStreamsAndFiles) {
    const QImage image = fctest::Noise(6, 3, 1, QImage::Format_ARGB32);
    kw::TMemoryStream stream;
    stream.Write("xy", 2);
    WriteBmp(image, stream);
    const QByteArray expected = EncodeBmp(image);
    ASSERT_EQ(stream.Size(), 2 + expected.size());
    EXPECT_EQ(
        QByteArray(reinterpret_cast<const char*>(stream.Data()) + 2, qsizetype(stream.Size() - 2)),
        expected);
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("f.bmp"));
    SaveBmp(image, path);
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_EQ(file.readAll(), expected);
}
