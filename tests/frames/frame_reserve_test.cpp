#include "frames/frame_reserve.h"

#include <QColorSpace>
#include <QPainter>

#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <vector>

namespace {

// Every byte of every line depends on the frame number, the line and the column.
QImage Pattern(QSize size, int n, QImage::Format format = QImage::Format_RGB888) {
    QImage image(size, format);
    const int bytes = int(image.bytesPerLine());
    for (int y = 0; y < image.height(); ++y) {
        uchar* line = image.scanLine(y);
        for (int x = 0; x < bytes; ++x)
            line[x] = uchar(x * 7 + y * 13 + n * 31);
    }
    return image;
}

// The pixels of both pictures agree on every line (the padding at a line's end aside).
bool SamePixels(const QImage& a, const QImage& b) {
    if (a.size() != b.size() || a.format() != b.format())
        return false;
    const size_t used = size_t((qint64(a.width()) * a.depth() + 7) / 8);
    for (int y = 0; y < a.height(); ++y)
        if (std::memcmp(a.constScanLine(y), b.constScanLine(y), used) != 0)
            return false;
    return true;
}

} // namespace

TEST(FrameReserve, CopiesKeepPixelsFormatAndMetadata) {
    TFrameReserve reserve;
    EXPECT_TRUE(reserve.Copy(QImage()).isNull());

    // An odd width gives padded lines; the source's lines are longer still.
    QImage wide = Pattern(QSize(333, 41), 1);
    QImage source = wide.copy(0, 0, 331, 41);
    source.setDotsPerMeterX(2835);
    source.setDotsPerMeterY(1417);
    source.setText(QStringLiteral("Comment"), QStringLiteral("frame"));
    source.setColorSpace(QColorSpace::SRgb);
    for (int round = 0; round < 3; ++round) { // from the allocation, then from the reserve
        const QImage copy = reserve.Copy(source);
        EXPECT_TRUE(SamePixels(copy, source)) << round;
        EXPECT_EQ(copy.format(), QImage::Format_RGB888);
        EXPECT_EQ(copy.dotsPerMeterX(), 2835);
        EXPECT_EQ(copy.dotsPerMeterY(), 1417);
        EXPECT_EQ(copy.text(QStringLiteral("Comment")), QStringLiteral("frame"));
        EXPECT_EQ(copy.colorSpace(), QColorSpace(QColorSpace::SRgb));
        EXPECT_NE(copy.constBits(), source.constBits());
        reserve.WaitUntilIdle();
    }
    EXPECT_EQ(reserve.Hits(), 2);

    // Other layouts, with a colour table.
    QImage indexed = Pattern(QSize(37, 9), 2, QImage::Format_Indexed8);
    QList<QRgb> table;
    for (int i = 0; i < 256; ++i)
        table.append(qRgb(i, 255 - i, i / 2));
    indexed.setColorTable(table);
    const QImage indexedCopy = reserve.Copy(indexed);
    EXPECT_TRUE(SamePixels(indexedCopy, indexed));
    EXPECT_EQ(indexedCopy.colorTable(), table);
    const QImage argb = Pattern(QSize(21, 8), 3, QImage::Format_ARGB32);
    EXPECT_TRUE(SamePixels(reserve.Copy(argb), argb));
}

TEST(FrameReserve, KeepsBuffersOfTheLastShapeReady) {
    TFrameReserve reserve(2);
    const QImage first = Pattern(QSize(1920, 1080), 0);
    const QImage a = reserve.Copy(first);
    reserve.WaitUntilIdle();
    EXPECT_EQ(reserve.Ready(), 2);
    EXPECT_EQ(reserve.Hits(), 0);

    // A buffer from the reserve is an ordinary picture: writable, independent, paintable.
    const QImage b = reserve.Copy(Pattern(QSize(1920, 1080), 1));
    EXPECT_EQ(reserve.Hits(), 1);
    QImage c = reserve.Copy(Pattern(QSize(1920, 1080), 2));
    EXPECT_EQ(reserve.Hits(), 2);
    QImage shared = c;
    {
        QPainter painter(&c);
        painter.fillRect(0, 0, 10, 10, Qt::red);
    }
    EXPECT_EQ(c.pixelColor(5, 5), QColor(Qt::red));
    EXPECT_TRUE(SamePixels(shared, Pattern(QSize(1920, 1080), 2)));
    EXPECT_TRUE(SamePixels(a, first));
    EXPECT_TRUE(SamePixels(b, Pattern(QSize(1920, 1080), 1)));
    c = QImage(); // hands the buffer back while copies made from it live on
    EXPECT_TRUE(SamePixels(shared, Pattern(QSize(1920, 1080), 2)));
}

TEST(FrameReserve, ASizeChangeDropsTheOldBuffers) {
    TFrameReserve reserve(2);
    const QImage big = reserve.Copy(Pattern(QSize(1280, 720), 0));
    reserve.WaitUntilIdle();
    ASSERT_EQ(reserve.Ready(), 2);

    const QImage small = reserve.Copy(Pattern(QSize(640, 480), 1));
    EXPECT_EQ(reserve.Hits(), 0); // no 720p buffer serves a 480p frame
    EXPECT_TRUE(SamePixels(small, Pattern(QSize(640, 480), 1)));
    reserve.WaitUntilIdle();
    EXPECT_EQ(reserve.Ready(), 2);
    const QImage next = reserve.Copy(Pattern(QSize(640, 480), 2));
    EXPECT_EQ(reserve.Hits(), 1);
    EXPECT_EQ(next.size(), QSize(640, 480));
    EXPECT_TRUE(SamePixels(next, Pattern(QSize(640, 480), 2)));

    // The same size in another layout is another shape too.
    const QImage rgb32 = reserve.Copy(Pattern(QSize(640, 480), 3, QImage::Format_RGB32));
    EXPECT_EQ(reserve.Hits(), 1);
    EXPECT_TRUE(SamePixels(rgb32, Pattern(QSize(640, 480), 3, QImage::Format_RGB32)));
    EXPECT_TRUE(SamePixels(big, Pattern(QSize(1280, 720), 0)));
}

TEST(FrameReserve, FramesFasterThanTheWorkerAreAllCopied) {
    TFrameReserve reserve(2);
    const QSize size(800, 600);
    std::vector<QImage> copies;
    // Alternating sizes every few frames, so the worker is also caught mid-preparation.
    for (int n = 0; n < 60; ++n)
        copies.push_back(reserve.Copy(Pattern(n % 20 < 15 ? size : QSize(320, 200), n)));
    for (int n = 0; n < 60; ++n)
        EXPECT_TRUE(SamePixels(copies[size_t(n)], Pattern(n % 20 < 15 ? size : QSize(320, 200), n)))
            << n;
    reserve.WaitUntilIdle();
    EXPECT_EQ(reserve.Ready(), 2);
}

TEST(FrameReserve, DestructionWhileABufferIsPreparedKeepsTheCopies) {
    std::vector<QImage> copies;
    for (int round = 0; round < 5; ++round) {
        auto reserve = std::make_unique<TFrameReserve>(2);
        copies.push_back(reserve->Copy(Pattern(QSize(1920, 1080), round)));
        reserve.reset(); // the worker has just been asked for two buffers
    }
    {
        TFrameReserve unused; // never asked: no worker to stop
        EXPECT_EQ(unused.Ready(), 0);
        unused.WaitUntilIdle();
    }
    for (int round = 0; round < 5; ++round)
        EXPECT_TRUE(SamePixels(copies[size_t(round)], Pattern(QSize(1920, 1080), round))) << round;
}
