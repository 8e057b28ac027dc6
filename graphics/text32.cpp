#include "graphics/text32.h"

#include "common/kw_fonts.h"
#include "graphics/stretch.h"

#include <QFontMetrics>
#include <QPainter>

#include <algorithm>

namespace graphics {

namespace {

int FloorEven(int v) {
    return v >= 0 ? v & ~1 : -((-v + 1) & ~1);
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
    return font;
}

int TextWidth(const TFont32& f, const QString& text) {
    return text.isEmpty() ? 0 : QFontMetrics(QtFont(f)).horizontalAdvance(text);
}

int TextHeight(const TFont32& f, const QString&) {
    return QFontMetrics(QtFont(f)).height();
}

void RenderText(TBitmap32& dst, int x, int y, const QString& text, const TFont32& f, QRgb argb) {
    const int alpha = qAlpha(argb);
    if (text.isEmpty() || dst.Empty() || alpha == 0)
        return;
    QFont font = QtFont(f, 2);
    font.setStyleStrategy(QFont::NoAntialias);
    const QFontMetrics fm(font);
    const int ascent = fm.ascent();
    // The inked area (italics and some glyphs reach past the advance) and the line box, in
    // doubled pixels from the text's top-left corner, widened to whole 2 x 2 blocks.
    const QRect box = fm.boundingRect(text)
                          .united(QRect(0, -ascent, fm.horizontalAdvance(text), fm.height()))
                          .translated(0, ascent);
    const int bx = FloorEven(box.left());
    const int by = FloorEven(box.top());
    const int bw = (box.right() + 1 - bx + 1) & ~1;
    const int bh = (box.bottom() + 1 - by + 1) & ~1;
    // Blocks that land on the picture; nothing to draw when none does.
    const int ox = x + bx / 2, oy = y + by / 2; // picture position of the first block
    const QRect blocks = QRect(ox, oy, bw / 2, bh / 2).intersected(dst.BoundsRect());
    if (blocks.isEmpty())
        return;

    QImage ink(bw, bh, QImage::Format_Grayscale8);
    ink.fill(0);
    {
        QPainter painter(&ink);
        painter.setRenderHint(QPainter::TextAntialiasing, false);
        painter.setRenderHint(QPainter::Antialiasing, false);
        painter.setFont(font);
        painter.setPen(Qt::white);
        painter.drawText(QPoint(-bx, ascent - by), text);
    }

    const int red = qRed(argb), green = qGreen(argb), blue = qBlue(argb);
    for (int py = blocks.top(); py <= blocks.bottom(); ++py) {
        const uchar* r0 = ink.constScanLine(2 * (py - oy));
        const uchar* r1 = r0 + ink.bytesPerLine();
        QRgb* d = dst.ScanLine(py);
        for (int px = blocks.left(); px <= blocks.right(); ++px) {
            const int i = 2 * (px - ox);
            const int coverage = (r0[i] + r0[i + 1] + r1[i] + r1[i + 1]) >> 2;
            if (coverage == 0)
                continue;
            const int a = Div255(coverage * alpha);
            const int inv = 255 - a;
            const QRgb t = d[px];
            d[px] = (t & 0xFF000000u) | (QRgb(Div255(red * a + qRed(t) * inv)) << 16) |
                    (QRgb(Div255(green * a + qGreen(t) * inv)) << 8) |
                    QRgb(Div255(blue * a + qBlue(t) * inv));
        }
    }
}

} // namespace graphics
