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

#include "graphics/bitmap32.h"

#include <QFont>
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

// Draws the text with its top-left corner at (x, y) in the 32-bit ARGB colour argb (the top
// byte is the opacity), anti-aliased as above. Parts outside the picture are clipped; the
// picture's alpha bytes are kept.
void RenderText(TBitmap32& dst, int x, int y, const QString& text, const TFont32& f, QRgb argb);

} // namespace graphics
