#include "output/thumb_sheet.h"

#include "codecs/bmp_codec.h"
#include "common/kw_guard.h"
#include "tests/support/fake_desktop.h"

#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace output;

namespace {

QImage Flat(int w, int h, QRgb c, QImage::Format f = QImage::Format_RGB888) {
    QImage image(w, h, f);
    image.fill(c);
    return image;
}

QString ErrorOf(const std::function<void()>& f) {
    try {
        f();
    } catch (const kw::EFcError& e) {
        return e.Message();
    }
    return QString();
}

} // namespace

TEST(ThumbSheet, GeometryOfTheWorkedExample) {
    const TSheetGeometry g = ThumbSheetGeometry(600, 4, 4, 640, 480);
    EXPECT_EQ(g.CellWidth, 143);
    EXPECT_EQ(g.CellHeight, 107);
    EXPECT_EQ(g.Width, 600);
    EXPECT_EQ(g.Height, 453);
    EXPECT_EQ(g.Capacity(), 16);
    EXPECT_EQ(g.Cell(9), QRect(QPoint(153, 229), QPoint(295, 335)));
    EXPECT_EQ(g.Cell(0), QRect(5, 5, 143, 107));
    // The right margin takes what the division leaves: 5 + 3.
    EXPECT_EQ(600 - 1 - g.Cell(3).right(), 8);
    // Rows 0: a strip of 5 pixels.
    EXPECT_EQ(ThumbSheetGeometry(600, 0, 4, 640, 480).Height, 5);
}

TEST(ThumbSheet, RefusesColumnsZeroAndCellsBelowOnePixel) {
    EXPECT_EQ(ErrorOf([] { ThumbSheetGeometry(600, 4, 0, 640, 480); }),
              QStringLiteral("Division by zero"));
    EXPECT_EQ(ErrorOf([] { ThumbSheetGeometry(600, 4, 4, 0, 480); }),
              QStringLiteral("Division by zero"));
    // (4 + 1) * 5 = 25: a width of 28 leaves (28 - 25) div 4 = 0 pixels a cell.
    EXPECT_TRUE(ErrorOf([] {
                    ThumbSheetGeometry(28, 4, 4, 640, 480);
                }).contains(QStringLiteral("too small")));
    EXPECT_FALSE(ErrorOf([] { ThumbSheetGeometry(29, 4, 4, 640, 480); }).isEmpty())
        << "1 x 0 cells";
    EXPECT_TRUE(ErrorOf([] { ThumbSheetGeometry(600, 4, 4, 640, 480); }).isEmpty());
    EXPECT_FALSE(ErrorOf([] { ThumbSheetGeometry(600, 4, 4, 100000, 10); }).isEmpty());
    EXPECT_FALSE(ErrorOf([] { ThumbSheetGeometry(600, -1, 4, 640, 480); }).isEmpty());
    EXPECT_FALSE(ErrorOf([] { ThumbSheetGeometry(600, 2147483647, 4, 640, 480); }).isEmpty());
    EXPECT_FALSE(ErrorOf([] { ThumbSheetGeometry(-600, 4, 4, 640, 480); }).isEmpty());
}

TEST(ThumbSheet, DrawsEachFrameIntoItsCellOnWhiteAndLeavesOutTheRest) {
    TFakeDesktop desktop;
    const TSheetGeometry g = ThumbSheetGeometry(600, 4, 4, 640, 480);
    QList<QImage> frames;
    for (int i = 0; i < 20; ++i) // different formats and shapes: each is stretched to its cell
        frames << Flat(i % 2 ? 640 : 300, i % 3 ? 480 : 100, qRgb(i * 10, 255 - i * 10, 7),
                       i % 2 ? QImage::Format_RGB32 : QImage::Format_RGB888);
    QList<int> progress;
    const QImage sheet = DrawThumbSheet(g, TFrameSnapshot(frames), [&](int i) { progress << i; });
    ASSERT_EQ(sheet.size(), QSize(600, 453));
    EXPECT_EQ(sheet.format(), QImage::Format_RGB888);
    EXPECT_EQ(progress.size(), 20);
    EXPECT_EQ(progress.last(), 19);
    for (int i = 0; i < 16; ++i) {
        const QRect c = g.Cell(i);
        for (QPoint p : {c.topLeft(), c.bottomRight(), c.center()})
            ASSERT_EQ(sheet.pixel(p), qRgb(i * 10, 255 - i * 10, 7)) << i;
        ASSERT_EQ(sheet.pixel(c.left() - 1, c.top()), qRgb(255, 255, 255)) << i;
        ASSERT_EQ(sheet.pixel(c.left(), c.top() - 1), qRgb(255, 255, 255)) << i;
    }
    EXPECT_EQ(sheet.pixel(599, 200), qRgb(255, 255, 255));
    EXPECT_EQ(sheet.pixel(300, 452), qRgb(255, 255, 255));
    // Count the colours: frames 16 to 19 do not appear.
    for (int y = 0; y < sheet.height(); y += 3)
        for (int x = 0; x < sheet.width(); x += 3)
            ASSERT_LT(qRed(sheet.pixel(x, y)) == 255 ? 0 : qRed(sheet.pixel(x, y)), 160);
}

TEST(ThumbSheet, FewerFramesLeaveWhiteCellsAndAFrameIsStretchedPlainly) {
    TFakeDesktop desktop;
    const TSheetGeometry g = ThumbSheetGeometry(600, 4, 4, 640, 480);
    QImage split(2, 1, QImage::Format_RGB888);
    split.setPixel(0, 0, qRgb(255, 0, 0));
    split.setPixel(1, 0, qRgb(0, 0, 255));
    const QImage sheet = DrawThumbSheet(g, TFrameSnapshot({split}));
    const QRect c = g.Cell(0);
    EXPECT_EQ(sheet.pixel(c.left() + 70, c.top()),
              qRgb(255, 0, 0)); // centres of 0..70 fall on the left pixel
    EXPECT_EQ(sheet.pixel(c.left() + 71, c.bottom()), qRgb(0, 0, 255));
    EXPECT_EQ(sheet.pixel(g.Cell(5).center()), qRgb(255, 255, 255));
    EXPECT_EQ(sheet.pixel(g.Cell(15).center()), qRgb(255, 255, 255));
}

TEST(ThumbSheet, RefusesASheetLargerThanTheFreeMemory) {
    TFakeDesktop desktop;
    desktop.AvailableMemory = 1000;
    const TSheetGeometry g = ThumbSheetGeometry(600, 4, 4, 640, 480);
    EXPECT_TRUE(ErrorOf([&] { DrawThumbSheet(g, {}); }).contains(QStringLiteral("memory")));
}

TEST(ThumbSheet, SavesJpegQuality90Or24BitBmp) {
    TFakeDesktop desktop;
    QTemporaryDir dir;
    const TSheetGeometry g = ThumbSheetGeometry(200, 2, 2, 640, 480);
    const QImage sheet = DrawThumbSheet(g, TFrameSnapshot({Flat(64, 48, qRgb(10, 120, 200))}));
    const QString bmp = dir.filePath(QStringLiteral("sheet.bmp"));
    SaveThumbSheet(sheet, bmp, TSheetFormat::Bmp);
    QFile file(bmp);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QByteArray bytes = file.readAll();
    EXPECT_EQ(std::uint8_t(bytes[28]), 24);
    QImage back;
    ASSERT_TRUE(codecs::ReadBmp(reinterpret_cast<const std::uint8_t*>(bytes.constData()),
                                bytes.size(), back));
    EXPECT_EQ(back, sheet);
    const QString jpg = dir.filePath(QStringLiteral("sheet.jpg"));
    SaveThumbSheet(sheet, jpg, TSheetFormat::Jpeg);
    const QImage decoded(jpg);
    EXPECT_EQ(decoded.size(), sheet.size());
    EXPECT_TRUE(ErrorOf([&] {
                    SaveThumbSheet(sheet, dir.filePath(QStringLiteral("no/such/dir.jpg")),
                                   TSheetFormat::Jpeg);
                }).contains(QStringLiteral("no/such/dir.jpg")));
}
