#include "skin/artwork.h"

#include "common/kw_fonts.h"

#include <QPainter>
#include <QPainterPath>
#include <QtMath>

#include <functional>

namespace {

// Colours of one button state: the gloss gradient (light top, a step at the middle, a
// brighter bottom edge), the outline and the colour of glyphs and labels.
struct TStateLook {
    QColor Top, MidHigh, MidLow, Bottom, Border, Ink, InkShadow;
    bool Pressed = false;
};

TStateLook LookOf(int state) {
    switch (state) {
    case ArtDisabled:
        // Grey, with the glyph and label pressed into the surface.
        return {QColor(0xD2D1CC), QColor(0xB9B8B3), QColor(0xAAA9A4), QColor(0xBEBDB8),
                QColor(0x6E6D68), QColor(0x8C8B86), QColor(0xE6E5E0)};
    case ArtOver:
        return {QColor(0xCDEBFF), QColor(0x62BCF7),  QColor(0x2592E6), QColor(0x6CC4FC),
                QColor(0x0B5A9E), QColor(Qt::white), QColor(0x06396A)};
    case ArtPressed:
        return {QColor(0x0A4F8E), QColor(0x106BB6), QColor(0x1376C6), QColor(0x3B9BE6),
                QColor(0x05305A), QColor(0xE4F3FF), QColor(0x05305A), true};
    default:
        return {QColor(0x9AD5FF), QColor(0x3AA3EE),  QColor(0x1681D8), QColor(0x4EB0F6),
                QColor(0x0B4F8A), QColor(Qt::white), QColor(0x0A4A82)};
    }
}

QFont ArtFont(int pixels, bool bold) {
    kw::RegisterTahoma();
    QFont f(QStringLiteral("Tahoma"));
    f.setStyleHint(QFont::SansSerif);
    f.setPixelSize(pixels);
    f.setBold(bold);
    return f;
}

// A strip of four states of w x h; draw(painter, state) paints one state at the origin.
QImage MakeStrip(int w, int h, const std::function<void(QPainter&, int)>& draw) {
    QImage strip(w, h * ArtStates, QImage::Format_ARGB32);
    strip.fill(Qt::transparent);
    QPainter p(&strip);
    p.setRenderHint(QPainter::Antialiasing);
    p.setRenderHint(QPainter::TextAntialiasing);
    for (int state = 0; state < ArtStates; ++state) {
        p.save();
        p.setClipRect(0, state * h, w, h);
        p.translate(0, state * h);
        draw(p, state);
        p.restore();
    }
    return strip;
}

// The glossy body of a button inside r: a soft drop shadow, the gradient, a highlight over
// the upper half (none when pressed, which looks sunk instead), the outline.
void DrawGlossyBody(QPainter& p, QRectF r, qreal radius, const TStateLook& look) {
    if (!look.Pressed) {
        p.setPen(Qt::NoPen);
        p.setBrush(QColor(20, 20, 18, 70));
        p.drawRoundedRect(r.translated(0, 1), radius, radius);
    }
    QLinearGradient fill(r.topLeft(), r.bottomLeft());
    fill.setColorAt(0, look.Top);
    fill.setColorAt(0.48, look.MidHigh);
    fill.setColorAt(0.52, look.MidLow);
    fill.setColorAt(1, look.Bottom);
    p.setPen(QPen(look.Border, 1));
    p.setBrush(fill);
    p.drawRoundedRect(r, radius, radius);

    if (look.Pressed) {
        // An inner shadow along the top edge.
        QLinearGradient shade(r.topLeft(), r.topLeft() + QPointF(0, 6));
        shade.setColorAt(0, QColor(0, 0, 0, 90));
        shade.setColorAt(1, QColor(0, 0, 0, 0));
        p.setPen(Qt::NoPen);
        p.setBrush(shade);
        p.drawRoundedRect(r.adjusted(1, 1, -1, -1), radius - 1, radius - 1);
        return;
    }
    const QRectF gloss(r.left() + 2, r.top() + 1.5, r.width() - 4, r.height() * 0.46);
    QLinearGradient shine(gloss.topLeft(), gloss.bottomLeft());
    shine.setColorAt(0, QColor(255, 255, 255, 150));
    shine.setColorAt(1, QColor(255, 255, 255, 25));
    p.setPen(Qt::NoPen);
    p.setBrush(shine);
    p.drawRoundedRect(gloss, radius - 2, radius - 2);
}

// Glyphs are drawn into a box; ink is the state's glyph colour.
void FillPath(QPainter& p, const QPainterPath& path, const TStateLook& look,
              QPointF shadowOffset = QPointF(0, 1)) {
    p.setPen(Qt::NoPen);
    if (look.InkShadow.alpha() > 0) {
        QColor shadow = look.InkShadow;
        shadow.setAlpha(150);
        p.setBrush(shadow);
        p.drawPath(path.translated(shadowOffset));
    }
    p.setBrush(look.Ink);
    p.drawPath(path);
}

QPainterPath CameraPath(QRectF box) {
    const qreal w = box.width(), h = box.height();
    QPainterPath body;
    body.addRoundedRect(QRectF(box.left(), box.top() + h * 0.22, w, h * 0.70), w * 0.12, w * 0.12);
    QPainterPath bump;
    bump.addRoundedRect(QRectF(box.left() + w * 0.30, box.top() + h * 0.06, w * 0.40, h * 0.26),
                        w * 0.06, w * 0.06);
    QPainterPath lens;
    const QPointF c(box.center().x(), box.top() + h * 0.58);
    lens.addEllipse(c, w * 0.24, w * 0.24);
    QPainterPath glass;
    glass.addEllipse(c, w * 0.14, w * 0.14);
    return (body.united(bump)).subtracted(lens).united(glass);
}

QPainterPath GearPath(QPointF c, qreal outer, qreal inner, qreal hole, int teeth) {
    QPainterPath gear;
    const int steps = teeth * 4;
    for (int i = 0; i <= steps; ++i) {
        const qreal a = 2 * M_PI * i / steps - M_PI / 2;
        const qreal r = (i % 4 == 1 || i % 4 == 2) ? outer : inner;
        const QPointF pt(c.x() + r * qCos(a), c.y() + r * qSin(a));
        if (i == 0)
            gear.moveTo(pt);
        else
            gear.lineTo(pt);
    }
    gear.closeSubpath();
    QPainterPath h;
    h.addEllipse(c, hole, hole);
    return gear.subtracted(h);
}

QPainterPath TextPath(const QString& text, const QFont& font, QPointF centre) {
    QPainterPath path;
    path.addText(0, 0, font, text);
    const QRectF b = path.boundingRect();
    return path.translated(centre - b.center());
}

void DrawBigGlyph(QPainter& p, int glyph, QPointF c, const TStateLook& look) {
    QPainterPath path;
    switch (glyph) {
    case GlyphCamera:
        path = CameraPath(QRectF(c.x() - 9, c.y() - 8, 18, 16));
        break;
    case GlyphContinuous: {
        // A camera with two frames fanned out behind it.
        path = CameraPath(QRectF(c.x() - 7, c.y() - 5, 15, 13));
        for (int i = 1; i <= 2; ++i) {
            QPainterPath frame;
            const QRectF f(c.x() - 7 - 3 * i, c.y() - 5 - 3 * i + 2, 15, 11);
            frame.addRoundedRect(f, 2, 2);
            QPainterPath inner;
            inner.addRoundedRect(f.adjusted(1.4, 1.4, -1.4, -1.4), 1, 1);
            QPainterPath edge = frame.subtracted(inner);
            QPainterPath cover;
            cover.addRoundedRect(
                QRectF(c.x() - 7 - 3 * (i - 1) - 1.5, c.y() - 5 - 3 * (i - 1) + 0.5, 18, 16), 2, 2);
            path = path.united(edge.subtracted(cover));
        }
        break;
    }
    case GlyphOptions:
        path = GearPath(c, 9, 6.6, 3, 8);
        break;
    case GlyphHelp:
        path = TextPath(QStringLiteral("?"), ArtFont(19, true), c);
        break;
    case GlyphAbout: {
        QPainterPath dot;
        dot.addEllipse(QPointF(c.x(), c.y() - 6.5), 2.3, 2.3);
        QPainterPath stem;
        stem.addRoundedRect(QRectF(c.x() - 2.1, c.y() - 2.5, 4.2, 11), 1.2, 1.2);
        path = dot.united(stem);
        break;
    }
    default:
        return;
    }
    FillPath(p, path, look);
}

// A round badge in a deeper blue that holds the glyph of a big button.
void DrawBadge(QPainter& p, QPointF c, qreal radius, const TStateLook& look, int state) {
    QRadialGradient g(c + QPointF(0, -radius * 0.4), radius * 1.3);
    if (state == ArtDisabled) {
        g.setColorAt(0, QColor(0xBEBDB8));
        g.setColorAt(1, QColor(0x9C9B96));
    } else if (state == ArtPressed) {
        g.setColorAt(0, QColor(0x0E5FA6));
        g.setColorAt(1, QColor(0x07396A));
    } else {
        g.setColorAt(0, QColor(state == ArtOver ? 0x3AA8F4 : 0x238FE0));
        g.setColorAt(1, QColor(state == ArtOver ? 0x0F5FA6 : 0x0A4C8C));
    }
    p.setPen(QPen(QColor(255, 255, 255, state == ArtDisabled ? 110 : 150), 1));
    p.setBrush(g);
    p.drawEllipse(c, radius, radius);
    (void)look;
}

// The body and glyph of one small square-ish button of w x h.
void DrawSmallButton(QPainter& p, int w, int h, int state,
                     const std::function<void(QPainter&, QRectF, const TStateLook&)>& glyph) {
    const TStateLook look = LookOf(state);
    const QRectF body(0.5, 0.5, w - 1, h - 2);
    DrawGlossyBody(p, body, 8, look);
    p.save();
    if (look.Pressed)
        p.translate(0, 1);
    glyph(p, body, look);
    p.restore();
}

} // namespace

QImage ArtBigButton(const QString& label, int glyph) {
    const int w = 299, h = 41;
    return MakeStrip(w, h, [&](QPainter& p, int state) {
        const TStateLook look = LookOf(state);
        DrawGlossyBody(p, QRectF(0.5, 0.5, w - 1, h - 2), 9, look);
        p.save();
        if (look.Pressed)
            p.translate(0, 1);
        const bool hasGlyph = glyph >= GlyphCamera && glyph <= GlyphAbout;
        const QPointF badge(22, 19.5);
        if (hasGlyph) {
            DrawBadge(p, badge, 15, look, state);
            DrawBigGlyph(p, glyph, badge, look);
        }
        // The label, centred on the button, moved right of the badge when it would touch it.
        QFont font = ArtFont(14, true);
        font.setLetterSpacing(QFont::AbsoluteSpacing, 0.6);
        QPainterPath text;
        text.addText(0, 0, font, label);
        QRectF b = text.boundingRect();
        qreal x = (w - b.width()) / 2;
        if (hasGlyph)
            x = std::max(x, 46.0);
        const QFontMetricsF fm(font);
        const qreal baseline = 19.5 + (fm.ascent() - fm.descent()) / 2;
        FillPath(p, text.translated(x - b.left(), baseline), look);
        p.restore();
    });
}

QImage ArtBigButtonEnd() {
    const int w = 30, h = 41;
    return MakeStrip(w, h, [&](QPainter& p, int state) {
        const TStateLook look = LookOf(state);
        // The right end of a big button's body, cut off at a divider on the left.
        p.save();
        p.setClipRect(QRectF(0, 0, w, h));
        DrawGlossyBody(p, QRectF(-20.5, 0.5, w + 20, h - 2), 9, look);
        p.restore();
        p.setPen(QPen(look.Border, 1));
        p.drawLine(QPointF(0.5, 4), QPointF(0.5, h - 5));
        p.save();
        if (look.Pressed)
            p.translate(0, 1);
        // A small arrow pointing down, as beside a button that offers more.
        QPainterPath arrow;
        const QPointF c(w / 2.0 + 0.5, 20);
        arrow.moveTo(c.x() - 6, c.y() - 3);
        arrow.lineTo(c.x() + 6, c.y() - 3);
        arrow.lineTo(c.x(), c.y() + 4);
        arrow.closeSubpath();
        FillPath(p, arrow, look);
        p.restore();
    });
}

QImage ArtOpenButton() {
    return MakeStrip(40, 41, [](QPainter& p, int state) {
        DrawSmallButton(p, 40, 41, state, [](QPainter& q, QRectF r, const TStateLook& look) {
            const QPointF c = r.center();
            QPainterPath eject;
            eject.moveTo(c.x(), c.y() - 9);
            eject.lineTo(c.x() + 9, c.y() + 1);
            eject.lineTo(c.x() - 9, c.y() + 1);
            eject.closeSubpath();
            eject.addRoundedRect(QRectF(c.x() - 9, c.y() + 4, 18, 4), 1, 1);
            FillPath(q, eject, look);
        });
    });
}

QImage ArtPlayButton() {
    return MakeStrip(38, 41, [](QPainter& p, int state) {
        DrawSmallButton(p, 38, 41, state, [](QPainter& q, QRectF r, const TStateLook& look) {
            const QPointF c = r.center() + QPointF(1.5, 0);
            QPainterPath play;
            play.moveTo(c.x() - 6, c.y() - 9);
            play.lineTo(c.x() + 8, c.y());
            play.lineTo(c.x() - 6, c.y() + 9);
            play.closeSubpath();
            FillPath(q, play, look);
        });
    });
}

QImage ArtPauseButton() {
    return MakeStrip(38, 41, [](QPainter& p, int state) {
        DrawSmallButton(p, 38, 41, state, [](QPainter& q, QRectF r, const TStateLook& look) {
            const QPointF c = r.center();
            QPainterPath pause;
            pause.addRoundedRect(QRectF(c.x() - 7, c.y() - 8.5, 5, 17), 1, 1);
            pause.addRoundedRect(QRectF(c.x() + 2, c.y() - 8.5, 5, 17), 1, 1);
            FillPath(q, pause, look);
        });
    });
}

QImage ArtSaveGifButton() {
    return MakeStrip(39, 39, [](QPainter& p, int state) {
        DrawSmallButton(p, 39, 39, state, [](QPainter& q, QRectF r, const TStateLook& look) {
            // "GIF" between two perforated film edges.
            const QPointF c = r.center();
            QPainterPath film;
            for (const qreal top : {c.y() - 12, c.y() + 7.5}) {
                const QRectF band(c.x() - 12, top, 24, 4.5);
                QPainterPath edge;
                edge.addRoundedRect(band, 1.2, 1.2);
                QPainterPath holes;
                for (int i = 0; i < 5; ++i)
                    holes.addRect(QRectF(band.left() + 2 + i * 4.4, band.top() + 1.2, 2.2, 2.1));
                film.addPath(edge.subtracted(holes));
            }
            film.addPath(TextPath(QStringLiteral("GIF"), ArtFont(12, true), c));
            FillPath(q, film, look);
        });
    });
}

QImage ArtSaveThumbButton() {
    return MakeStrip(39, 39, [](QPainter& p, int state) {
        DrawSmallButton(p, 39, 39, state, [](QPainter& q, QRectF r, const TStateLook& look) {
            // A sheet of three by three thumbnails.
            const QPointF c = r.center();
            QPainterPath grid;
            for (int row = 0; row < 3; ++row)
                for (int col = 0; col < 3; ++col)
                    grid.addRoundedRect(
                        QRectF(c.x() - 11 + col * 8, c.y() - 10 + row * 7, 6.5, 5.5), 1, 1);
            FillPath(q, grid, look);
        });
    });
}

QImage ArtVideoControlPanel() {
    const int w = 292, h = 45;
    QImage img(w, h, QImage::Format_ARGB32);
    // The corners are fully transparent: a transparent panel keys out the colour of the
    // bottom-left pixel, and nothing else in the picture has that colour (no pure black).
    img.fill(Qt::transparent);
    QPainter p(&img);
    p.setRenderHint(QPainter::Antialiasing);
    const QRectF body(0.5, 0.5, w - 1, h - 1);
    QLinearGradient fill(body.topLeft(), body.bottomLeft());
    fill.setColorAt(0, QColor(0x5C5B56));
    fill.setColorAt(0.5, QColor(0x44433F));
    fill.setColorAt(0.51, QColor(0x3A3935));
    fill.setColorAt(1, QColor(0x2F2E2A));
    p.setPen(QPen(QColor(0x1E1D1A), 1));
    p.setBrush(fill);
    p.drawRoundedRect(body, 7, 7);
    p.setPen(QPen(QColor(255, 255, 255, 45), 1));
    p.setBrush(Qt::NoBrush);
    p.drawRoundedRect(body.adjusted(1, 1, -1, -1), 6, 6);

    // The seek bar's track: a recess from x 94 to 286.
    const QRectF well(93.5, 9.5, 194, 26);
    QLinearGradient recess(well.topLeft(), well.bottomLeft());
    recess.setColorAt(0, QColor(0x1B1A17));
    recess.setColorAt(1, QColor(0x2A2925));
    p.setPen(QPen(QColor(0x151412), 1));
    p.setBrush(recess);
    p.drawRoundedRect(well, 5, 5);
    p.setPen(QPen(QColor(255, 255, 255, 40), 1));
    p.drawLine(QPointF(well.left() + 4, well.bottom() + 1),
               QPointF(well.right() - 4, well.bottom() + 1));
    // A thin divider between the buttons and the track.
    p.setPen(QPen(QColor(0x24231F), 1));
    p.drawLine(QPointF(88.5, 8), QPointF(88.5, 37));
    p.setPen(QPen(QColor(255, 255, 255, 35), 1));
    p.drawLine(QPointF(89.5, 8), QPointF(89.5, 37));
    return img;
}

QImage ArtAppIcon(int size) {
    size = std::max(1, size);
    QImage img(size, size, QImage::Format_ARGB32);
    img.fill(Qt::transparent);
    QPainter p(&img);
    p.setRenderHint(QPainter::Antialiasing);
    p.scale(size / 64.0, size / 64.0);
    // The film frame.
    const QRectF film(3, 8, 58, 48);
    QLinearGradient body(film.topLeft(), film.bottomLeft());
    body.setColorAt(0, QColor(0x4A4945));
    body.setColorAt(1, QColor(0x23221F));
    p.setPen(QPen(QColor(0x161513), 1.2));
    p.setBrush(body);
    p.drawRoundedRect(film, 6, 6);
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(0xD9D8D3));
    for (int i = 0; i < 7; ++i) {
        p.drawRoundedRect(QRectF(8 + i * 7.5, 11, 4, 4), 1, 1);
        p.drawRoundedRect(QRectF(8 + i * 7.5, 49, 4, 4), 1, 1);
    }
    // The picture in the frame: an aqua sky over a hill.
    const QRectF screen(7, 18, 50, 28);
    QLinearGradient sky(screen.topLeft(), screen.bottomLeft());
    sky.setColorAt(0, QColor(0x9AD5FF));
    sky.setColorAt(0.55, QColor(0x2E9BEA));
    sky.setColorAt(1, QColor(0x0B5A9E));
    p.setBrush(sky);
    p.drawRoundedRect(screen, 2, 2);
    QPainterPath hill;
    hill.moveTo(screen.left(), screen.bottom());
    hill.cubicTo(screen.left() + 14, screen.top() + 10, screen.left() + 26, screen.top() + 26,
                 screen.right(), screen.top() + 14);
    hill.lineTo(screen.right(), screen.bottom());
    hill.closeSubpath();
    p.setBrush(QColor(0x0A4A82));
    p.save();
    QPainterPath clip;
    clip.addRoundedRect(screen, 2, 2);
    p.setClipPath(clip);
    p.drawPath(hill);
    p.setBrush(QColor(255, 255, 255, 70));
    p.drawEllipse(QRectF(screen.left() - 10, screen.top() - 22, screen.width() + 20, 32));
    p.restore();
    // The capture mark: orange corner brackets and a dot.
    const QColor mark(0xF3AF00);
    p.setPen(QPen(mark, 3, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    p.setBrush(Qt::NoBrush);
    const QRectF m(18, 22, 28, 20);
    const qreal k = 7;
    for (int sx : {0, 1})
        for (int sy : {0, 1}) {
            const QPointF corner(sx ? m.right() : m.left(), sy ? m.bottom() : m.top());
            const qreal dx = sx ? -k : k, dy = sy ? -k : k;
            QPainterPath l;
            l.moveTo(corner + QPointF(dx, 0));
            l.lineTo(corner);
            l.lineTo(corner + QPointF(0, dy));
            p.drawPath(l);
        }
    p.setPen(Qt::NoPen);
    p.setBrush(mark);
    p.drawEllipse(m.center(), 3, 3);
    return img;
}

QImage ArtConstrainProportions() {
    QImage image(24, 25, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    // The bracket from the upper field's middle to the lower one's.
    p.setPen(QPen(QColor(0xE8E7E3), 1.2));
    p.drawPolyline(
        QPolygonF({QPointF(1, 2.5), QPointF(8.5, 2.5), QPointF(8.5, 22.5), QPointF(1, 22.5)}));
    // The chain link across it: two rounded links, one above the other.
    p.setPen(QPen(QColor(0x1E8FE6), 2));
    p.setBrush(Qt::NoBrush);
    p.drawRoundedRect(QRectF(5.5, 6, 6, 7), 3, 3);
    p.drawRoundedRect(QRectF(5.5, 12, 6, 7), 3, 3);
    return image;
}

namespace {

// The deep aqua background of the window pictures, with a soft gloss and a band of film
// frames fading across it.
void DrawPictureBackground(QPainter& p, QRectF r, bool vertical) {
    QLinearGradient g(r.topLeft(), vertical ? r.bottomLeft() : r.bottomRight());
    g.setColorAt(0, QColor(0x0A4C8C));
    g.setColorAt(0.6, QColor(0x1681D8));
    g.setColorAt(1, QColor(0x3AA3EE));
    p.fillRect(r, g);
    p.setPen(Qt::NoPen);
    QRadialGradient shine(QPointF(r.width() * 0.3, -r.height() * 0.2), r.width() * 0.9);
    shine.setColorAt(0, QColor(255, 255, 255, 90));
    shine.setColorAt(1, QColor(255, 255, 255, 0));
    p.setBrush(shine);
    p.drawRect(r);
}

void DrawFilmBand(QPainter& p, QRectF band) {
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(10, 30, 60, 70));
    p.drawRect(band);
    p.setBrush(QColor(255, 255, 255, 40));
    for (qreal x = band.left() + 4; x < band.right(); x += 12) {
        p.drawRoundedRect(QRectF(x, band.top() + 2, 6, 4), 1, 1);
        p.drawRoundedRect(QRectF(x, band.bottom() - 6, 6, 4), 1, 1);
    }
    for (qreal x = band.left() + 2; x < band.right(); x += 48)
        p.drawRoundedRect(QRectF(x, band.top() + 8, 44, band.height() - 16), 2, 2);
}

} // namespace

QImage ArtAboutPicture() {
    const int w = 394, h = 160;
    QImage img(w, h, QImage::Format_RGB32);
    QPainter p(&img);
    p.setRenderHint(QPainter::Antialiasing);
    p.setRenderHint(QPainter::TextAntialiasing);
    DrawPictureBackground(p, QRectF(0, 0, w, h), false);
    DrawFilmBand(p, QRectF(0, 124, w, 36));
    p.drawImage(QPointF(22, 20), ArtAppIcon(96));
    const QFont title = ArtFont(34, true);
    QPainterPath name;
    name.addText(134, 72, title, QStringLiteral("Framecatch"));
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(4, 40, 80, 110));
    p.drawPath(name.translated(1, 2));
    p.setBrush(Qt::white);
    p.drawPath(name);
    p.setFont(ArtFont(13, false));
    p.setPen(QColor(0xDDEFFC));
    p.drawText(QPointF(136, 96), QStringLiteral("Grab the frames you want from any video"));
    return img;
}

QImage ArtOptionsPicture() {
    const int w = 120, h = 224;
    QImage img(w, h, QImage::Format_RGB32);
    QPainter p(&img);
    p.setRenderHint(QPainter::Antialiasing);
    p.setRenderHint(QPainter::TextAntialiasing);
    DrawPictureBackground(p, QRectF(0, 0, w, h), true);
    // A large faint gear in the lower part.
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(255, 255, 255, 38));
    p.drawPath(GearPath(QPointF(84, 182), 58, 44, 20, 10));
    p.drawImage(QPointF(28, 22), ArtAppIcon(64));
    p.setPen(Qt::white);
    p.setFont(ArtFont(16, true));
    p.drawText(QRectF(0, 96, w, 22), Qt::AlignHCenter | Qt::AlignVCenter,
               QStringLiteral("Options"));
    p.setPen(QColor(0xDDEFFC));
    p.setFont(ArtFont(11, false));
    p.drawText(QRectF(0, 118, w, 18), Qt::AlignHCenter | Qt::AlignVCenter,
               QStringLiteral("Framecatch"));
    return img;
}
