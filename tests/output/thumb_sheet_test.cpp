#include "output/thumb_sheet.h"

#include "output/save_thumb.h"

#include "codecs/bmp_codec.h"
#include "common/kw_filesize.h"
#include "common/kw_guard.h"
#include "common/long_work.h"
#include "tests/support/fake_desktop.h"

#include <QDir>
#include <QFile>
#include <QPainter>
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

// A Cancel that comes once every frame is drawn, while the text or the last frame was being
// put on the sheet, still stops it before the file is written: the old file stays as it was
// and no temporary file is left behind.
TEST(ThumbSheet, CancelAfterTheLastFrameIsDrawnWritesNoFile) {
    TFakeDesktop desktop;
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("keep.jpg"));
    {
        QFile old(path);
        ASSERT_TRUE(old.open(QIODevice::WriteOnly));
        old.write("an older sheet");
    }
    TSheetJob job;
    job.Frames = TFrameSnapshot({Flat(64, 48, qRgb(200, 0, 0)), Flat(64, 48, qRgb(0, 0, 200))});
    job.Geometry = ThumbSheetGeometry(200, 2, 2, 64, 48);
    job.Path = path;
    std::vector<int> asked;
    EXPECT_THROW(WriteThumbSheet(job,
                                 [&](int i) {
                                     asked.push_back(i);
                                     if (i >= job.Frames.Count())
                                         throw kw::ECancelled();
                                 }),
                 kw::ECancelled);
    EXPECT_EQ(asked, (std::vector<int>{0, 1, 2}));
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_EQ(file.readAll(), QByteArray("an older sheet"));
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden), QStringList{"keep.jpg"});
}

namespace {

// Whether any pixel of the rectangle is dark (text in black, or a time's band).
bool HasDark(const QImage& image, const QRect& area) {
    for (int y = area.top(); y <= area.bottom(); ++y)
        for (int x = area.left(); x <= area.right(); ++x)
            if (qGray(image.pixel(x, y)) < 100)
                return true;
    return false;
}

} // namespace

// The header band sits above an unchanged grid: width, cells and their contents are those of
// the plain sheet, moved down by the band, which holds the lines (the too long one cut short
// inside the margins).
TEST(ThumbSheet, AHeaderMovesTheGridDownAndOnlyGrowsTheHeight) {
    TFakeDesktop desktop;
    const TSheetGeometry plain = ThumbSheetGeometry(600, 2, 3, 640, 360);
    const TSheetGeometry g = ThumbSheetGeometry(600, 2, 3, 640, 360, 5, true);
    EXPECT_EQ(plain.Header, 0);
    EXPECT_EQ(g.Header, 5 + 3 * g.HeaderLine());
    EXPECT_GE(g.HeaderPixels(), 12) << "legible";
    EXPECT_EQ(g.Width, 600);
    EXPECT_EQ(g.Height, plain.Height + g.Header);
    EXPECT_EQ(g.Cell(4), plain.Cell(4).translated(0, g.Header));
    // 19173961 rows of 107 + 5 pixels come 10 pixels short of the largest sheet.
    EXPECT_TRUE(ErrorOf([] { ThumbSheetGeometry(600, 19173961, 4, 640, 480); }).isEmpty());
    EXPECT_FALSE(ErrorOf([] { ThumbSheetGeometry(600, 19173961, 4, 640, 480, 5, true); }).isEmpty())
        << "the header counts towards the largest sheet";

    QList<QImage> pictures;
    for (int i = 0; i < 5; ++i)
        pictures << Flat(640, 360, qRgb(40 * i, 200, 90));
    const TFrameSnapshot frames(pictures);
    TSheetText text;
    text.HeaderLines = {QStringLiteral("clip.mp4"), QStringLiteral("File size: 1.50 MB"),
                        QString(200, QLatin1Char('W'))};
    const QImage sheet = DrawThumbSheet(g, frames, {}, text);
    ASSERT_EQ(sheet.size(), QSize(g.Width, g.Height));
    EXPECT_EQ(sheet.copy(0, g.Header, g.Width, plain.Height), DrawThumbSheet(plain, frames));
    for (int line = 0; line < 3; ++line)
        EXPECT_TRUE(HasDark(sheet, QRect(5, 5 + line * g.HeaderLine(), 590, g.HeaderLine())))
            << line;
    EXPECT_FALSE(HasDark(sheet, QRect(595, 0, 5, g.Header))) << "the long line is cut short";
    EXPECT_EQ(DrawThumbSheet(plain, frames, {}, text), DrawThumbSheet(plain, frames))
        << "no band, no header";
}

// Times go over the bottom right of the cells of video frames, white on a dark band inside
// the cell; a picture inserted from a file (-1) and the frames beyond the sheet get none.
TEST(ThumbSheet, TimesAreWrittenOverVideoFramesOnly) {
    TFakeDesktop desktop;
    const TSheetGeometry g = ThumbSheetGeometry(400, 1, 3, 640, 360);
    const QRgb green = qRgb(60, 200, 90);
    const TFrameSnapshot frames(QList<QImage>(4, Flat(640, 360, green)));
    TSheetText text;
    text.TimesMs = {12345, -1, 61000, 5000};
    const QImage plain = DrawThumbSheet(g, frames);
    const QImage sheet = DrawThumbSheet(g, frames, {}, text);
    ASSERT_EQ(sheet.size(), plain.size());
    EXPECT_GE(g.TimePixels(), 10) << "legible";
    for (int i : {0, 2}) {
        const QRect cell = g.Cell(i);
        const QRect corner(cell.center().x(), cell.bottom() - 2 * g.TimePixels(), cell.width() / 2,
                           2 * g.TimePixels());
        EXPECT_TRUE(HasDark(sheet, corner)) << i;
        bool white = false;
        for (int y = corner.top(); y <= corner.bottom(); ++y)
            for (int x = corner.left(); x <= corner.right(); ++x)
                white = white || qGray(sheet.pixel(x, y)) > 230;
        EXPECT_TRUE(white) << "the time's text, " << i;
        EXPECT_EQ(sheet.copy(cell.left(), cell.top(), cell.width(), cell.height() / 2),
                  plain.copy(cell.left(), cell.top(), cell.width(), cell.height() / 2))
            << "the upper half of the picture stays free, " << i;
    }
    const QRect file = g.Cell(1);
    EXPECT_EQ(sheet.copy(file), plain.copy(file)) << "no time for a picture file";
    // Nothing outside the cells changes: the margins are white on both.
    QImage outside = sheet, plainOutside = plain;
    for (int i = 0; i < 3; ++i) {
        QPainter(&outside).fillRect(g.Cell(i), Qt::red);
        QPainter(&plainOutside).fillRect(g.Cell(i), Qt::red);
    }
    EXPECT_EQ(outside, plainOutside);
}

TEST(ThumbSheet, HeaderLinesSayWhatTheVideoIs) {
    TSheetVideo video;
    video.FileName = QStringLiteral("clip.mp4");
    video.FileBytes = 1572864;
    video.DurationMs = 62500;
    video.Size = QSize(640, 360);
    video.Codec = QStringLiteral("h264");
    video.FrameRate = 30000.0 / 1001;
    EXPECT_EQ(SheetHeaderLines(video),
              (QStringList{QStringLiteral("clip.mp4"),
                           QStringLiteral("File size: ") + kw::FileSizeText(1572864) +
                               QStringLiteral("    Duration: 1:02.500"),
                           QStringLiteral("Resolution: 640 x 360    Codec: h264    Frame rate: "
                                          "29.97 fps")}));
    video.FrameRate = 25;
    video.DurationMs = 3'723'000;
    EXPECT_TRUE(SheetHeaderLines(video)[2].endsWith(QStringLiteral(": 25 fps")));
    EXPECT_TRUE(SheetHeaderLines(video)[1].endsWith(QStringLiteral("1:02:03.000")));
    EXPECT_EQ(SheetHeaderLines(TSheetVideo{}),
              (QStringList{QStringLiteral("-"), QStringLiteral("File size: -    Duration: -"),
                           QStringLiteral("Resolution: -    Codec: -    Frame rate: -")}));
}
