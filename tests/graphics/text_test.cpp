#include "common/kw_fonts.h"
#include "graphics/text32.h"

#include <QFontDatabase>
#include <QFontMetrics>
#include <QPainter>

#include <gtest/gtest.h>

#include <algorithm>
#include <set>

using namespace graphics;

namespace {

TFont32 Tahoma(int size) {
    kw::RegisterTahoma();
    TFont32 font;
    font.Name = QStringLiteral("Tahoma");
    font.Size = size;
    return font;
}

} // namespace

TEST(Text, IsDrawnAtTwiceTheMeasuredPixelSizeAndAveragedIn2x2Blocks) {
    const TFont32 font = Tahoma(8);
    // 8 pt measures at 11 px (96 dpi) and is drawn at 22 px, not at 16 pt (21 px).
    EXPECT_EQ(QtFont(font).pixelSize(), 11);
    EXPECT_EQ(QtFont(font, 2).pixelSize(), 22);

    const QString text = QStringLiteral("Hl/o");
    TBitmap32 picture(60, 30); // opaque black
    RenderText(picture, 10, 5, text, font, 0xFFFFFFFFu);

    // The same text drawn without smoothing at 22 px, at twice the position, then averaged:
    // white over black at full opacity leaves exactly the coverage in every pixel.
    QFont big = QtFont(font, 2);
    big.setStyleStrategy(QFont::NoAntialias);
    QImage ink(120, 60, QImage::Format_Grayscale8);
    ink.fill(0);
    {
        QPainter p(&ink);
        p.setFont(big);
        p.setPen(Qt::white);
        p.drawText(QPoint(20, 10 + QFontMetrics(big).ascent()), text);
    }
    std::set<int> levels;
    int inkLeft = 60, inkRight = -1, inkTop = 30, inkBottom = -1;
    for (int y = 0; y < 30; ++y)
        for (int x = 0; x < 60; ++x) {
            const uchar* r0 = ink.constScanLine(2 * y) + 2 * x;
            const uchar* r1 = ink.constScanLine(2 * y + 1) + 2 * x;
            const int coverage = (r0[0] + r0[1] + r1[0] + r1[1]) / 4;
            const QRgb pixel = picture.Pixel(x, y);
            ASSERT_EQ(pixel, qRgb(coverage, coverage, coverage)) << x << "," << y;
            levels.insert(coverage);
            if (coverage) {
                inkLeft = std::min(inkLeft, x), inkRight = std::max(inkRight, x);
                inkTop = std::min(inkTop, y), inkBottom = std::max(inkBottom, y);
            }
        }
    // Five levels only, and the edges are smoothed: some pixel is partly covered.
    EXPECT_TRUE(levels.count(255));
    EXPECT_GT(levels.size(), 2u);
    for (int level : levels)
        EXPECT_TRUE(level == 0 || level == 63 || level == 127 || level == 191 || level == 255)
            << level;
    // The drawn text stays inside the box TextWidth and TextHeight give at (10, 5).
    EXPECT_GE(inkLeft, 10);
    EXPECT_LE(inkRight, 10 + TextWidth(font, text));
    EXPECT_GE(inkTop, 5);
    EXPECT_LT(inkBottom, 5 + TextHeight(font, text));
}

TEST(Text, BlendsTheColourAtCoverageTimesOpacityAndClipsAtTheEdges) {
    const TFont32 font = Tahoma(20);
    TBitmap32 picture(200, 60);
    picture.Image().fill(qRgb(255, 255, 255));
    // Red at opacity 180: a fully covered pixel becomes (255, 75, 75); the picture stays opaque.
    RenderText(picture, 5, 5, QStringLiteral("I"), font, 0xB4FF0000u);
    std::set<QRgb> seen;
    for (int y = 0; y < 60; ++y)
        for (int x = 0; x < 200; ++x)
            seen.insert(picture.Pixel(x, y));
    EXPECT_TRUE(seen.count(qRgb(255, 75, 75)));
    for (QRgb c : seen) {
        EXPECT_EQ(qAlpha(c), 255);
        EXPECT_EQ(qRed(c), 255);
        EXPECT_GE(qGreen(c), 75);
    }
    // Text half off every edge is clipped, not written outside the picture.
    TBitmap32 small(12, 10);
    RenderText(small, -8, -6, QStringLiteral("WWW"), font, 0xFFFFFFFFu);
    RenderText(small, 6, 4, QStringLiteral("WWW"), font, 0xFFFFFFFFu);
    int inked = 0;
    for (int y = 0; y < 10; ++y)
        for (int x = 0; x < 12; ++x)
            inked += small.Pixel(x, y) != qRgb(0, 0, 0);
    EXPECT_GT(inked, 0);
    EXPECT_EQ(TextWidth(font, QString()), 0);
    EXPECT_GT(TextHeight(font, QString()), 0);
}

// Bold is a heavier stroke whether the family's bold face is a real one (DejaVu Sans) or one
// with the regular outlines (Wine's Tahoma Bold), which is then thickened: never the regular
// stroke, never a real bold thickened once more.
TEST(Text, BoldStemsAreAboutHalfAgainAsWideInEveryFamily) {
    kw::RegisterTahoma();
    for (const QString& family : {QStringLiteral("Tahoma"), QStringLiteral("DejaVu Sans")}) {
        if (!QFontDatabase::families().contains(family))
            continue;
        TFont32 font = Tahoma(100);
        font.Name = family;
        const auto stem = [&](bool bold) {
            font.Bold = bold;
            const TTextMask mask = PrepareText(QStringLiteral("l"), font);
            const uchar* row = mask.Coverage.constScanLine(mask.Coverage.height() / 2);
            return int(
                std::count_if(row, row + mask.Coverage.width(), [](uchar c) { return c >= 128; }));
        };
        const int regular = stem(false), bold = stem(true);
        EXPECT_GT(regular, 5) << family.toStdString();
        EXPECT_GE(bold * 10, regular * 14)
            << family.toStdString() << ": " << bold << " against " << regular;
        EXPECT_LE(bold * 10, regular * 25)
            << family.toStdString() << ": " << bold << " against " << regular;
    }
}
