#include "codecs/stretch.h"

#include <gtest/gtest.h>

using namespace codecs;

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
