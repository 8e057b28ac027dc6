#pragma once
// The program's one skin, "Aqua": dark grey panels with glossy aqua-blue accents. It is the
// Fusion style with the Aqua palette, the program's font (Tahoma 8 pt at 96 dpi), check box
// and radio button marks drawn by code, and one application style sheet for the rest.

#include <QApplication>
#include <QPalette>
#include <QProxyStyle>
#include <QString>

// The colours the windows are built from.
namespace aqua {
inline constexpr QRgb PanelDark = 0x5F5E59;   // status line, outer panels
inline constexpr QRgb PanelMid = 0x696661;    // preview, frame list, action bar
inline constexpr QRgb PanelLight = 0x84817C;  // window background, button column
inline constexpr QRgb BorderLight = 0x989792; // the light border lines of inner panels
inline constexpr QRgb Accent = 0x1E8FE6;      // the aqua blue
inline constexpr QRgb AccentLight = 0x7CC8FF;
inline constexpr QRgb AccentDark = 0x0B5A9E;
inline constexpr QRgb Text = 0xF4F3EF;       // light text on the grey panels
inline constexpr QRgb StatusText = 0xA4A39E; // the status line's text
} // namespace aqua

// Fusion with the Aqua check box and radio button marks.
class TAquaStyle : public QProxyStyle {
    Q_OBJECT
public:
    TAquaStyle();
    void drawPrimitive(PrimitiveElement element, const QStyleOption* option, QPainter* painter,
                       const QWidget* widget = nullptr) const override;
    int pixelMetric(PixelMetric metric, const QStyleOption* option = nullptr,
                    const QWidget* widget = nullptr) const override;
};

QPalette AquaPalette();
QString AquaStyleSheet();
// Style, palette, font and style sheet for the whole program.
void ApplyAquaSkin(QApplication& app);
