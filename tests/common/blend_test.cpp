#include "common/kw_blend.h"

#include <gtest/gtest.h>

using kw::BlendBitmap;

namespace {
QImage Flat(int w, int h, QRgb c, QImage::Format f) {
    QImage image(w, h, f);
    image.fill(c);
    return image;
}
} // namespace

TEST(BlendBitmap, DividesBy256InEveryFormatPair) {
    const QImage::Format formats[] = {QImage::Format_RGB888, QImage::Format_RGB32,
                                      QImage::Format_ARGB32};
    for (QImage::Format sf : formats)
        for (QImage::Format df : formats) {
            QImage dst = Flat(2, 2, qRgb(0, 0, 255), df);
            BlendBitmap(Flat(2, 2, qRgb(255, 0, 0), sf), dst, 0, 0, 128, 0);
            EXPECT_EQ(dst.pixel(1, 1) & 0xFFFFFF, qRgb(127, 0, 126) & 0xFFFFFF) << sf << " " << df;
            EXPECT_EQ(dst.format(), df);
        }
    // The two 254 cases: alpha 255 puts white over black as 254, alpha 0 leaves white at 254.
    QImage black = Flat(1, 1, qRgb(0, 0, 0), QImage::Format_RGB888);
    BlendBitmap(Flat(1, 1, qRgb(255, 255, 255), QImage::Format_RGB888), black, 0, 0, 255, 0);
    EXPECT_EQ(black.pixel(0, 0), qRgb(254, 254, 254));
    QImage white = Flat(1, 1, qRgb(255, 255, 255), QImage::Format_RGB32);
    BlendBitmap(Flat(1, 1, qRgb(0, 0, 0), QImage::Format_RGB32), white, 0, 0, 0, 0);
    EXPECT_EQ(white.pixel(0, 0), qRgb(254, 254, 254));
}

TEST(BlendBitmap, KeyColourIsSkippedButKeyZeroBlendsBlack) {
    QImage src = Flat(2, 1, qRgb(10, 20, 30), QImage::Format_RGB888);
    src.setPixel(1, 0, qRgb(0, 0, 0));
    QImage dst = Flat(2, 1, qRgb(200, 200, 200), QImage::Format_RGB888);
    BlendBitmap(src, dst, 0, 0, 255, 0x0A141E); // (10, 20, 30) is the key
    EXPECT_EQ(dst.pixel(0, 0), qRgb(200, 200, 200));
    EXPECT_EQ(dst.pixel(1, 0), qRgb(0, 0, 0)); // (255*0 + 0*200) div 256
    dst.fill(qRgb(200, 200, 200));
    BlendBitmap(src, dst, 0, 0, 128, 0);          // no key: black blends too
    EXPECT_EQ(dst.pixel(1, 0), qRgb(99, 99, 99)); // (127 * 200) div 256
    EXPECT_EQ(dst.pixel(0, 0), qRgb((128 * 10 + 127 * 200) / 256, (128 * 20 + 127 * 200) / 256,
                                    (128 * 30 + 127 * 200) / 256));
    // The key's top byte is ignored: an opaque QRgb works as a key as well.
    dst.fill(qRgb(200, 200, 200));
    BlendBitmap(src, dst, 0, 0, 255, qRgb(10, 20, 30));
    EXPECT_EQ(dst.pixel(0, 0), qRgb(200, 200, 200));
}

TEST(BlendBitmap, ClipsAtEveryEdgeAndKeepsTargetAlpha) {
    QImage dst = Flat(4, 4, qRgba(0, 0, 0, 77), QImage::Format_ARGB32);
    const QImage src = Flat(3, 3, qRgb(255, 255, 255), QImage::Format_RGB888);
    BlendBitmap(src, dst, -2, 3, 255, 0); // only (0, 3) lies inside
    int changed = 0;
    for (int y = 0; y < 4; ++y)
        for (int x = 0; x < 4; ++x)
            changed += (dst.pixel(x, y) & 0xFFFFFF) != 0;
    EXPECT_EQ(changed, 1);
    EXPECT_EQ(dst.pixel(0, 3), qRgba(254, 254, 254, 77));
    BlendBitmap(src, dst, 4, 0, 255, 0);   // wholly outside
    BlendBitmap(src, dst, -3, -3, 255, 0); // wholly outside
    EXPECT_EQ(dst.pixel(3, 0), qRgba(0, 0, 0, 77));
}

TEST(BlendBitmap, ColumnsOuterRowsInnerWhenSourceAndTargetAreOnePicture) {
    // Blending a picture onto itself one pixel right and one up: pixel (i + 1, j - 1) is
    // written while column i is done and read as a source in column i + 1, so columns-outer
    // sees the blended value where rows-outer would read the original. Compare with the loop
    // done by hand in that order.
    QImage picture(3, 3, QImage::Format_RGB888);
    for (int y = 0; y < 3; ++y)
        for (int x = 0; x < 3; ++x)
            picture.setPixel(x, y, qRgb(x * 100, y * 100, 50));
    QImage expected = picture.copy();
    for (int i = 0; i < 3; ++i)
        for (int j = 0; j < 3; ++j) {
            if (i + 1 >= 3 || j - 1 < 0)
                continue;
            const QRgb s = expected.pixel(i, j), d = expected.pixel(i + 1, j - 1);
            expected.setPixel(i + 1, j - 1,
                              qRgb((200 * qRed(s) + 55 * qRed(d)) / 256,
                                   (200 * qGreen(s) + 55 * qGreen(d)) / 256,
                                   (200 * qBlue(s) + 55 * qBlue(d)) / 256));
        }
    QImage rowsOuter = picture.copy();
    for (int j = 0; j < 3; ++j)
        for (int i = 0; i < 3; ++i) {
            if (i + 1 >= 3 || j - 1 < 0)
                continue;
            const QRgb s = rowsOuter.pixel(i, j), d = rowsOuter.pixel(i + 1, j - 1);
            rowsOuter.setPixel(i + 1, j - 1,
                               qRgb((200 * qRed(s) + 55 * qRed(d)) / 256,
                                    (200 * qGreen(s) + 55 * qGreen(d)) / 256,
                                    (200 * qBlue(s) + 55 * qBlue(d)) / 256));
        }
    ASSERT_NE(rowsOuter, expected) << "the case must tell the two orders apart";
    BlendBitmap(picture, picture, 1, -1, 200, 0);
    EXPECT_EQ(picture, expected);
    // Alpha is held to 0..255.
    QImage a = Flat(1, 1, qRgb(0, 0, 0), QImage::Format_RGB888), b = a.copy();
    BlendBitmap(Flat(1, 1, qRgb(255, 255, 255), QImage::Format_RGB888), a, 0, 0, 999, 0);
    BlendBitmap(Flat(1, 1, qRgb(255, 255, 255), QImage::Format_RGB888), b, 0, 0, 255, 0);
    EXPECT_EQ(a, b);
}
