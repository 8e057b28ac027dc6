// The button artwork: each strip is four states of the documented size, and the states can
// be told apart where it matters (hover lighter, pressed darker, disabled grey).

#include "skin/artwork.h"

#include <QColor>

#include <gtest/gtest.h>

namespace {

struct TStripCase {
    const char* Name;
    QImage (*Make)();
    QSize State;
};

QImage Snapshot() {
    return ArtBigButton(QStringLiteral("SNAPSHOT"), GlyphCamera);
}

const TStripCase Strips[] = {
    {"open", ArtOpenButton, {40, 41}},        {"play", ArtPlayButton, {38, 41}},
    {"pause", ArtPauseButton, {38, 41}},      {"snapshot", Snapshot, {299, 41}},
    {"save gif", ArtSaveGifButton, {39, 39}}, {"save thumb", ArtSaveThumbButton, {39, 39}},
};

QImage State(const QImage& strip, int h, int state) {
    return strip.copy(0, state * h, strip.width(), h);
}

// Mean lightness of the opaque pixels of the state's middle row band.
double Lightness(const QImage& state) {
    double sum = 0;
    int n = 0;
    for (int y = state.height() / 4; y < state.height() * 3 / 4; ++y)
        for (int x = 0; x < state.width(); ++x) {
            const QColor c = QColor::fromRgba(state.pixel(x, y));
            if (c.alpha() == 255) {
                sum += c.lightnessF();
                ++n;
            }
        }
    return n ? sum / n : 0;
}

// Saturation of the body left of any glyph.
double Saturation(const QImage& state) {
    const QColor c = QColor::fromRgba(state.pixel(4, state.height() / 2));
    return c.hsvSaturationF();
}

TEST(Artwork, StripsHaveFourStatesOfTheButtonSize) {
    for (const TStripCase& s : Strips) {
        const QImage strip = s.Make();
        EXPECT_EQ(strip.size(), QSize(s.State.width(), 4 * s.State.height())) << s.Name;
        const int h = s.State.height();
        for (int a = 0; a < 4; ++a)
            for (int b = a + 1; b < 4; ++b)
                EXPECT_NE(State(strip, h, a), State(strip, h, b)) << s.Name << a << b;
        const QImage normal = State(strip, h, ArtNormal);
        EXPECT_GT(Lightness(State(strip, h, ArtOver)), Lightness(normal)) << s.Name;
        EXPECT_LT(Lightness(State(strip, h, ArtPressed)), Lightness(normal)) << s.Name;
        EXPECT_LT(Saturation(State(strip, h, ArtDisabled)), 0.15) << s.Name;
        EXPECT_GT(Saturation(normal), 0.4) << s.Name;
        // Rounded: the corner shows what lies behind the button.
        EXPECT_EQ(qAlpha(normal.pixel(0, 0)), 0) << s.Name;
        EXPECT_EQ(qAlpha(normal.pixel(normal.width() / 2, normal.height() / 2)), 255) << s.Name;
    }
}

TEST(Artwork, BigButtonsCarryTheirLabelAndGlyph) {
    const QImage a = ArtBigButton(QStringLiteral("HELP"), GlyphHelp);
    const QImage b = ArtBigButton(QStringLiteral("ABOUT"), GlyphHelp);
    const QImage c = ArtBigButton(QStringLiteral("HELP"), GlyphAbout);
    EXPECT_NE(a, b);
    EXPECT_NE(a, c);
    // The label is light text on the blue body: compared with no label, many more light
    // pixels right of the badge.
    auto light = [](const QImage& strip) {
        const QImage normal = State(strip, 41, ArtNormal);
        int n = 0;
        for (int y = 8; y < 33; ++y)
            for (int x = 50; x < 290; ++x)
                if (QColor(normal.pixel(x, y)).lightnessF() > 0.85)
                    ++n;
        return n;
    };
    EXPECT_GT(light(a), light(ArtBigButton(QString(), GlyphHelp)) + 40);
}

TEST(Artwork, WindowPicturesAndIcon) {
    EXPECT_EQ(ArtVideoControlPanel().size(), QSize(292, 45));
    EXPECT_EQ(ArtAboutPicture().size(), QSize(394, 160));
    EXPECT_EQ(ArtOptionsPicture().size(), QSize(120, 224));
    for (int size : {16, 32, 48, 256})
        EXPECT_EQ(ArtAppIcon(size).size(), QSize(size, size));
    // The control panel is shown transparent, keyed by its bottom-left pixel: that pixel is
    // fully transparent and no visible part of the panel has its colour.
    const QImage panel = ArtVideoControlPanel();
    const QRgb key = panel.pixel(0, panel.height() - 1);
    EXPECT_EQ(qAlpha(key), 0);
    int keyed = 0;
    for (int y = 0; y < panel.height(); ++y)
        for (int x = 0; x < panel.width(); ++x)
            if (qAlpha(panel.pixel(x, y)) == 255 &&
                (panel.pixel(x, y) & RGB_MASK) == (key & RGB_MASK))
                ++keyed;
    EXPECT_EQ(keyed, 0);
}

} // namespace
