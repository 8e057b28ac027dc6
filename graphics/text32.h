#pragma once
// Text on 32-bit pictures: a font given by name, point size and the four styles, measured and
// drawn at 96 dots per inch whatever the screen says, and the anti-aliased drawing of the
// watermarks.
//
// Anti-aliasing: the text is drawn without smoothing, white on black, at twice the pixel size
// it is measured at (a 16 pt font measures at 21 px and is drawn at 42 px); each 2 x 2 block
// of that drawing, averaged, is the coverage (0, 63, 127, 191 or 255) of one pixel. The colour
// is blended onto the picture at opacity coverage x alpha / 255. Doubling the pixel size
// rather than the point size keeps the drawn text exactly as wide and high as TextWidth and
// TextHeight say, give or take the hinting of single glyphs.
//
// Bold: where the face installed as a family's bold draws no heavier than its regular one
// (Wine's Tahoma Bold has the regular outlines; a family may have no bold face at all), bold
// text is synthesised: its outlines are thickened, and its letters spaced to make room.

#include "graphics/bitmap32.h"

#include <QFont>
#include <QImage>
#include <QPoint>
#include <QRgb>
#include <QString>

struct TFont32 {
    QString Name = QStringLiteral("Tahoma");
    int Size = 8; // points
    bool Bold = false;
    bool Italic = false;
    bool Underline = false;
    bool StrikeOut = false;

    bool operator==(const TFont32&) const = default;
};

namespace graphics {

// The Qt font of f at scale times its pixel size at 96 dpi. A name that is not installed (or
// empty) falls back to the closest sans font.
QFont QtFont(const TFont32& f, int scale = 1);

// Width in pixels of the text in the font: the advance of the whole string, 0 for "".
int TextWidth(const TFont32& f, const QString& text);
// Height in pixels of a line of text in the font (ascent plus descent), whatever the text.
int TextHeight(const TFont32& f, const QString& text);

// The anti-aliased coverage of a text, drawn once and stamped as often as needed (a tiled
// watermark puts hundreds of copies on a frame).
struct TTextMask {
    QImage Coverage; // Format_Grayscale8, one byte per picture pixel: 0 (none) to 255
    QPoint Origin;   // where Coverage's first pixel lies from the text's top-left corner
    bool Empty() const { return Coverage.isNull(); }
};

// The coverage of the text in the font, as RenderText blends it; empty for "".
TTextMask PrepareText(const QString& text, const TFont32& f);

// Blends the colour argb (the top byte is the opacity) through the mask, the text's top-left
// corner at (x, y): each covered pixel's red, green and blue go towards the colour's at
// opacity coverage x alpha / 255. Parts outside the picture are clipped; a 32-bit picture's
// alpha bytes are kept. The picture may be Format_RGB888, Format_RGB32 or Format_ARGB32;
// others are left alone. Several threads may stamp one mask at once.
void DrawTextMask(QImage& dst, int x, int y, const TTextMask& mask, QRgb argb);

// Draws the text with its top-left corner at (x, y) in the 32-bit ARGB colour argb,
// anti-aliased as above: PrepareText then DrawTextMask.
void RenderText(TBitmap32& dst, int x, int y, const QString& text, const TFont32& f, QRgb argb);

} // namespace graphics
