#include "codecs/jpeg_codec.h"
#include "codecs/picture_writer.h"
#include "codecs/png_codec.h"

#include <QBuffer>
#include <QImageReader>

#include <gtest/gtest.h>

#include <cmath>
#include <random>

using namespace codecs;

namespace {

QImage Photo(int w, int h, QImage::Format format = QImage::Format_RGB888) {
    std::mt19937 rng(3);
    QImage image(w, h, format);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            image.setPixel(x, y,
                           qRgb((x * 2 + int(rng() % 24)) % 256, (y * 3) % 256, (x + y) % 256));
    return image;
}

double MeanError(const QImage& a, const QImage& b) {
    double sum = 0;
    for (int y = 0; y < a.height(); ++y)
        for (int x = 0; x < a.width(); ++x) {
            const QRgb p = a.pixel(x, y), q = b.pixel(x, y);
            sum += std::abs(qRed(p) - qRed(q)) + std::abs(qGreen(p) - qGreen(q)) +
                   std::abs(qBlue(p) - qBlue(q));
        }
    return sum / (3.0 * a.width() * a.height());
}

} // namespace

TEST(Jpeg, QualityTakesEffectAndFilesAreBaselineColour) {
    const QImage image = Photo(96, 64);
    const QByteArray q10 = EncodeJpeg(image, 10), q50 = EncodeJpeg(image, 50),
                     q90 = EncodeJpeg(image, 90), q100 = EncodeJpeg(image, 100);
    EXPECT_LT(q10.size(), q50.size());
    EXPECT_LT(q50.size(), q90.size());
    EXPECT_LT(q90.size(), q100.size());
    const QImage back10 = QImage::fromData(q10, "JPEG"), back90 = QImage::fromData(q90, "JPEG");
    ASSERT_EQ(back90.size(), image.size());
    EXPECT_FALSE(back90.isGrayscale());
    EXPECT_LT(MeanError(image, back90), MeanError(image, back10));
    EXPECT_LT(MeanError(image, back90), 6.0);
    // Baseline: a SOF0 marker and no progressive SOF2.
    EXPECT_TRUE(q90.contains(QByteArray("\xFF\xC0", 2)));
    EXPECT_FALSE(q90.contains(QByteArray("\xFF\xC2", 2)));
    // Channels keep their places: a flat orange comes back orange.
    QImage orange(16, 16, QImage::Format_RGB888);
    orange.fill(qRgb(250, 128, 10));
    const QRgb c = QImage::fromData(EncodeJpeg(orange, 90), "JPEG").pixel(8, 8);
    EXPECT_NEAR(qRed(c), 250, 3);
    EXPECT_NEAR(qGreen(c), 128, 3);
    EXPECT_NEAR(qBlue(c), 10, 3);
    // Quality outside 1..100 is held to it.
    EXPECT_EQ(EncodeJpeg(image, 0), EncodeJpeg(image, 1));
    EXPECT_EQ(EncodeJpeg(image, 150), q100);
}

TEST(Jpeg, ThirtyTwoBitPicturesEncodeLikeTheir24BitForm) {
    const QImage rgb = Photo(40, 24);
    EXPECT_EQ(EncodeJpeg(rgb.convertToFormat(QImage::Format_RGB32), 90), EncodeJpeg(rgb, 90));
    EXPECT_EQ(EncodeJpeg(rgb.convertToFormat(QImage::Format_ARGB32), 90), EncodeJpeg(rgb, 90));
}

TEST(Png, TrueColourWithoutAlphaAndLossless) {
    for (QImage::Format f : {QImage::Format_RGB888, QImage::Format_RGB32, QImage::Format_ARGB32}) {
        const QImage image = Photo(33, 17, f);
        const QByteArray bytes = EncodePng(image);
        ASSERT_TRUE(bytes.startsWith("\x89PNG\r\n\x1a\n"));
        EXPECT_EQ(std::uint8_t(bytes[24]), 8) << "bit depth";
        EXPECT_EQ(std::uint8_t(bytes[25]), 2) << "colour type RGB";
        const QImage back = QImage::fromData(bytes, "PNG");
        EXPECT_FALSE(back.hasAlphaChannel());
        EXPECT_EQ(back.convertToFormat(QImage::Format_RGB888),
                  image.convertToFormat(QImage::Format_RGB888));
    }
}

TEST(PictureWriter, FormatsExtensionsAndNames) {
    TPictureFormat f;
    ASSERT_TRUE(PictureFormatFromName(QStringLiteral("GIF"), f));
    EXPECT_EQ(f, TPictureFormat::Gif);
    EXPECT_FALSE(PictureFormatFromName(QStringLiteral("TIFF"), f));
    EXPECT_EQ(PictureExtension(TPictureFormat::Jpg), QStringLiteral(".jpg"));
    EXPECT_EQ(PictureExtension(TPictureFormat::Png), QStringLiteral(".png"));
    const QImage image = Photo(8, 8);
    EXPECT_TRUE(EncodePicture(image, TPictureFormat::Bmp, 90).startsWith("BM"));
    EXPECT_TRUE(EncodePicture(image, TPictureFormat::Gif, 90).startsWith("GIF8"));
    EXPECT_TRUE(EncodePicture(image, TPictureFormat::Png, 90).startsWith("\x89PNG"));
    EXPECT_TRUE(EncodePicture(image, TPictureFormat::Jpg, 90).startsWith("\xFF\xD8"));
}
