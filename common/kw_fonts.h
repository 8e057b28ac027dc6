#pragma once
// Fonts. The windows ask for "Tahoma" at point sizes meant for 96 dots per inch; Wine's
// Tahoma is registered at start-up when it is installed, and text is sized in pixels from
// 96 dpi so that a point size gives the same pixels on every screen.

#include <QFont>
#include <QString>

namespace kw {

// Registers Wine's Tahoma (regular and bold) with Qt when the files exist; returns whether
// a font family "Tahoma" is available afterwards. Safe to call more than once.
bool RegisterTahoma();

// Pixels of a point size at 96 dpi, rounded as the original platform does (8 pt -> 11 px).
int PointsToPixels(int points);

// A font of the family at the point size, sized in pixels at 96 dpi; falls back to the
// closest sans font when the family is missing.
QFont FontAt96Dpi(const QString& family, int points, bool bold = false);
inline QFont Tahoma(int points, bool bold = false) {
    return FontAt96Dpi(QStringLiteral("Tahoma"), points, bold);
}

} // namespace kw
