#include "graphics/bitmap32.h"
#include "graphics/stretch.h"

#include <gtest/gtest.h>

using namespace graphics;

TEST(Stretch, DropsAndRepeatsPixelsWithoutBlending) {
    QImage src(4, 1, QImage::Format_RGB32);
    for (int x = 0; x < 4; ++x)
        src.setPixel(x, 0, qRgb(x * 60, 0, 0));
    const QImage up = StretchNearest(src, 8, 2);
    ASSERT_EQ(up.format(), QImage::Format_RGB888);
    for (int y = 0; y < 2; ++y)
        for (int x = 0; x < 8; ++x)
            EXPECT_EQ(up.pixel(x, y), qRgb((x / 2) * 60, 0, 0));
    // Halving keeps every second column (the one under each target pixel's centre).
    const QImage down = StretchNearest(src, 2, 1);
    EXPECT_EQ(down.pixel(0, 0), qRgb(60, 0, 0));
    EXPECT_EQ(down.pixel(1, 0), qRgb(180, 0, 0));
    EXPECT_TRUE(StretchNearest(src, 0, 5).isNull());
}

TEST(Stretch, IntoARectangleIsClippedAndLeavesTheRestAlone) {
    QImage dst(6, 6, QImage::Format_RGB888);
    dst.fill(Qt::white);
    QImage src(2, 2, QImage::Format_RGB888);
    src.fill(qRgb(1, 2, 3));
    src.setPixel(1, 1, qRgb(9, 9, 9));
    StretchNearestInto(src, dst, QRect(4, 4, 4, 4)); // half outside
    EXPECT_EQ(dst.pixel(4, 4), qRgb(1, 2, 3));
    EXPECT_EQ(dst.pixel(5, 5), qRgb(1, 2, 3)); // (1,1) of the 4x4 stretch is source (0,0)
    EXPECT_EQ(dst.pixel(3, 3), qRgb(255, 255, 255));
    StretchNearestInto(src, dst, QRect(-2, -2, 4, 4));
    EXPECT_EQ(dst.pixel(0, 0), qRgb(9, 9, 9)); // (2,2) of the stretch: source (1,1)
    EXPECT_EQ(dst.pixel(2, 2), qRgb(255, 255, 255));
}

TEST(Stretch, BlendsAtTheMasterOpacityTimesTheSourceOpacity) {
    QImage dst(4, 1, QImage::Format_ARGB32);
    dst.fill(qRgb(0, 0, 255));
    QImage src(4, 1, QImage::Format_ARGB32);
    src.setPixel(0, 0, qRgba(255, 0, 0, 255));
    src.setPixel(1, 0, qRgba(255, 0, 0, 128));
    src.setPixel(2, 0, qRgba(255, 0, 0, 0));
    src.setPixel(3, 0, qRgba(255, 255, 255, 255));
    StretchNearestBlend(src, dst, dst.rect(), 128, QRect(0, 0, 3, 1)); // the last pixel clipped
    // dst + (src - dst) * a / 255, rounded: a = 128 for the opaque pixel, 64 for the half one.
    EXPECT_EQ(dst.pixel(0, 0), qRgb(128, 0, 127));
    EXPECT_EQ(dst.pixel(1, 0), qRgb(64, 0, 191));
    EXPECT_EQ(dst.pixel(2, 0), qRgb(0, 0, 255));
    EXPECT_EQ(dst.pixel(3, 0), qRgb(0, 0, 255));
    // Master opacity 255 over an opaque source is a plain copy; the target keeps its alpha.
    QImage half(1, 1, QImage::Format_ARGB32);
    half.fill(qRgba(10, 20, 30, 77));
    StretchNearestBlend(src.copy(0, 0, 1, 1), half, half.rect(), 255);
    EXPECT_EQ(half.pixel(0, 0), qRgba(255, 0, 0, 77));
}

TEST(Bitmap32, FramesGainFullOpacityAndComeBackAs24Bit) {
    QImage frame(3, 2, QImage::Format_RGB888);
    frame.fill(qRgb(12, 34, 56));
    const TBitmap32 bitmap = TBitmap32::FromFrame(frame);
    EXPECT_EQ(bitmap.Image().format(), QImage::Format_ARGB32);
    EXPECT_EQ(bitmap.Pixel(2, 1), qRgba(12, 34, 56, 255));
    const QImage back = bitmap.ToFrame();
    EXPECT_EQ(back.format(), QImage::Format_RGB888);
    EXPECT_EQ(back, frame);
    // A copy is independent of the original once either is written.
    TBitmap32 copy = bitmap;
    copy.SetPixel(0, 0, qRgba(1, 2, 3, 255));
    EXPECT_EQ(bitmap.Pixel(0, 0), qRgba(12, 34, 56, 255));
    copy.SetSize(0, 5);
    EXPECT_TRUE(copy.Empty());
}
