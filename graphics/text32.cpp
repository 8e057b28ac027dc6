#include "graphics/text32.h"

#include "common/kw_fonts.h"
#include "graphics/stretch.h"

#include <QFontMetrics>
#include <QHash>
#include <QPainter>
#include <QPainterPath>

#include <algorithm>
#include <cmath>
#include <mutex>

namespace graphics {

namespace {

int FloorEven(int v) {
    return v >= 0 ? v & ~1 : -((-v + 1) & ~1);
}

// How bold text of a family is drawn where its installed bold face is bold in name only:
// Wine's Tahoma Bold, for one, has the regular outlines at the bold face's wider advances, and
// a family without a bold face gets its regular one. Such text is drawn with its outlines
// thickened by Stroke (in ems, half on each side), and letters that do not already stand that
// much wider apart are spaced by the difference (Spacing, in ems).
struct TBoldSynthesis {
    bool Needed = false;
    qreal Stroke = 0;
    qreal Spacing = 0;
};

// Thicker strokes by a fourteenth of an em: about as much as a bold face adds to a sans.
constexpr qreal SyntheticStroke = 1.0 / 14;
// A face drawing less than this much more ink than the regular one is no real bold.
constexpr double RealBoldInk = 1.15;

qint64 InkOf(const QFont& font, const QString& sample) {
    const QFontMetrics fm(font);
    QImage ink(fm.horizontalAdvance(sample) + fm.height(), 2 * fm.height(),
               QImage::Format_Grayscale8);
    ink.fill(0);
    {
        QPainter painter(&ink);
        painter.setFont(font);
        painter.setPen(Qt::white);
        painter.drawText(QPoint(fm.height() / 2, fm.ascent() + fm.height() / 2), sample);
    }
    qint64 count = 0;
    for (int y = 0; y < ink.height(); ++y) {
        const uchar* line = ink.constScanLine(y);
        count += std::count_if(line, line + ink.width(), [](uchar c) { return c != 0; });
    }
    return count;
}

TBoldSynthesis MeasureBold(const QString& family, bool italic) {
    constexpr int Pixels = 48;
    const QString sample = QStringLiteral("HIlmo");
    QFont regular(family);
    regular.setStyleHint(QFont::SansSerif);
    regular.setPixelSize(Pixels);
    regular.setItalic(italic);
    regular.setKerning(false);
    regular.setStyleStrategy(QFont::NoAntialias);
    QFont bold = regular;
    bold.setBold(true);
    const qint64 regularInk = InkOf(regular, sample);
    TBoldSynthesis synthesis;
    if (regularInk == 0 || double(InkOf(bold, sample)) >= RealBoldInk * double(regularInk))
        return synthesis;
    synthesis.Needed = true;
    synthesis.Stroke = SyntheticStroke;
    const qreal wider = qreal(QFontMetrics(bold).horizontalAdvance(sample) -
                              QFontMetrics(regular).horizontalAdvance(sample)) /
                        (qreal(sample.size()) * Pixels);
    synthesis.Spacing = std::max<qreal>(0, SyntheticStroke - wider);
    return synthesis;
}

// Measured once per family and slant; the text is prepared on several threads at once.
TBoldSynthesis BoldSynthesisFor(const TFont32& f) {
    if (!f.Bold)
        return {};
    static std::mutex mutex;
    static QHash<QString, TBoldSynthesis> known;
    const QString key = f.Name + (f.Italic ? QStringLiteral("/i") : QStringLiteral("/r"));
    std::lock_guard lock(mutex);
    const auto it = known.constFind(key);
    if (it != known.cend())
        return *it;
    return *known.insert(key, MeasureBold(f.Name, f.Italic));
}

} // namespace

QFont QtFont(const TFont32& f, int scale) {
    QFont font(f.Name);
    font.setStyleHint(QFont::SansSerif);
    font.setPixelSize(std::max(1, scale * kw::PointsToPixels(f.Size)));
    font.setBold(f.Bold);
    font.setItalic(f.Italic);
    font.setUnderline(f.Underline);
    font.setStrikeOut(f.StrikeOut);
    font.setKerning(false);
    if (const TBoldSynthesis bold = BoldSynthesisFor(f); bold.Spacing > 0)
        font.setLetterSpacing(QFont::AbsoluteSpacing, bold.Spacing * font.pixelSize());
    return font;
}

int TextWidth(const TFont32& f, const QString& text) {
    return text.isEmpty() ? 0 : QFontMetrics(QtFont(f)).horizontalAdvance(text);
}

int TextHeight(const TFont32& f, const QString&) {
    return QFontMetrics(QtFont(f)).height();
}

TTextMask PrepareText(const QString& text, const TFont32& f) {
    TTextMask mask;
    if (text.isEmpty())
        return mask;
    QFont font = QtFont(f, 2);
    font.setStyleStrategy(QFont::NoAntialias);
    const QFontMetrics fm(font);
    const int ascent = fm.ascent();
    const TBoldSynthesis bold = BoldSynthesisFor(f);
    const qreal stroke = bold.Needed ? bold.Stroke * font.pixelSize() : 0;
    const int reach = int(std::ceil(stroke / 2)) + (bold.Needed ? 1 : 0);
    // The inked area (italics and some glyphs reach past the advance, a thickened outline
    // half its stroke further) and the line box, in doubled pixels from the text's top-left
    // corner, widened to whole 2 x 2 blocks.
    const QRect box = fm.boundingRect(text)
                          .adjusted(-reach, -reach, reach, reach)
                          .united(QRect(0, -ascent, fm.horizontalAdvance(text), fm.height()))
                          .translated(0, ascent);
    const int bx = FloorEven(box.left());
    const int by = FloorEven(box.top());
    const int bw = (box.right() + 1 - bx + 1) & ~1;
    const int bh = (box.bottom() + 1 - by + 1) & ~1;

    QImage ink(bw, bh, QImage::Format_Grayscale8);
    ink.fill(0);
    {
        QPainter painter(&ink);
        painter.setRenderHint(QPainter::TextAntialiasing, false);
        painter.setRenderHint(QPainter::Antialiasing, false);
        painter.setFont(font);
        painter.setPen(Qt::white);
        if (bold.Needed) {
            // The letters are thickened; underline and strike-out keep the line the font gives.
            const QPointF origin(-bx, ascent - by);
            QPainterPath whole, letters;
            whole.addText(origin, font, text);
            QFont plain = font;
            plain.setUnderline(false);
            plain.setStrikeOut(false);
            letters.addText(origin, plain, text);
            painter.fillPath(whole, Qt::white);
            painter.strokePath(letters,
                               QPen(Qt::white, stroke, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
        } else {
            painter.drawText(QPoint(-bx, ascent - by), text);
        }
    }
    mask.Coverage = QImage(bw / 2, bh / 2, QImage::Format_Grayscale8);
    mask.Origin = QPoint(bx / 2, by / 2);
    for (int y = 0; y < bh / 2; ++y) {
        const uchar* r0 = ink.constScanLine(2 * y);
        const uchar* r1 = r0 + ink.bytesPerLine();
        uchar* c = mask.Coverage.scanLine(y);
        for (int x = 0; x < bw / 2; ++x)
            c[x] = uchar((r0[2 * x] + r0[2 * x + 1] + r1[2 * x] + r1[2 * x + 1]) >> 2);
    }
    return mask;
}

namespace {

// Blends through the mask's visible part; Bpp 3 is R, G, B bytes, 4 a 32-bit word whose top
// byte is kept.
template <int Bpp>
void StampMask(QImage& dst, const QRect& blocks, QPoint origin, const QImage& coverage, QRgb argb) {
    const int alpha = qAlpha(argb);
    const int red = qRed(argb), green = qGreen(argb), blue = qBlue(argb);
    // The opacity for each coverage value, worked out once per stamp.
    int opacity[256];
    for (int c = 0; c < 256; ++c)
        opacity[c] = Div255(c * alpha);
    uchar* bits = dst.bits();
    const qsizetype stride = dst.bytesPerLine();
    for (int py = blocks.top(); py <= blocks.bottom(); ++py) {
        const uchar* cov = coverage.constScanLine(py - origin.y());
        uchar* line = bits + py * stride;
        for (int px = blocks.left(); px <= blocks.right(); ++px) {
            const int a = opacity[cov[px - origin.x()]];
            if (a == 0)
                continue;
            const int inv = 255 - a;
            if constexpr (Bpp == 3) {
                uchar* d = line + 3 * px;
                d[0] = uchar(Div255(red * a + d[0] * inv));
                d[1] = uchar(Div255(green * a + d[1] * inv));
                d[2] = uchar(Div255(blue * a + d[2] * inv));
            } else {
                QRgb& d = reinterpret_cast<QRgb*>(line)[px];
                const QRgb t = d;
                d = (t & 0xFF000000u) | (QRgb(Div255(red * a + qRed(t) * inv)) << 16) |
                    (QRgb(Div255(green * a + qGreen(t) * inv)) << 8) |
                    QRgb(Div255(blue * a + qBlue(t) * inv));
            }
        }
    }
}

} // namespace

void DrawTextMask(QImage& dst, int x, int y, const TTextMask& mask, QRgb argb) {
    if (mask.Empty() || dst.isNull() || qAlpha(argb) == 0)
        return;
    const QPoint origin(x + mask.Origin.x(), y + mask.Origin.y());
    const QRect blocks = QRect(origin, mask.Coverage.size()).intersected(dst.rect());
    if (blocks.isEmpty())
        return;
    switch (dst.format()) {
    case QImage::Format_RGB888:
        StampMask<3>(dst, blocks, origin, mask.Coverage, argb);
        break;
    case QImage::Format_RGB32:
    case QImage::Format_ARGB32:
        StampMask<4>(dst, blocks, origin, mask.Coverage, argb);
        break;
    default:
        break;
    }
}

void RenderText(TBitmap32& dst, int x, int y, const QString& text, const TFont32& f, QRgb argb) {
    if (text.isEmpty() || dst.Empty() || qAlpha(argb) == 0)
        return;
    DrawTextMask(dst.Image(), x, y, PrepareText(text, f), argb);
}

} // namespace graphics
