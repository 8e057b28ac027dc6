// Line panel borders and the image panel's drawing, transparency and auto size, read back
// from rendered pixels.

#include "controls/kw_img_panel.h"
#include "controls/kw_line_panel.h"

#include <QApplication>
#include <QMouseEvent>
#include <QPainter>
#include <QSignalSpy>

#include <gtest/gtest.h>

namespace {

QImage Render(QWidget& w) {
    return w.grab().toImage().convertToFormat(QImage::Format_RGB32);
}

QRgb At(const QImage& img, int x, int y) {
    return img.pixel(x, y) | 0xff000000u;
}

const QRgb Red = qRgb(255, 0, 0), Green = qRgb(0, 255, 0), Blue = qRgb(0, 0, 255);
const QRgb Grey = qRgb(0x69, 0x66, 0x61);

class LinePanelBorders : public ::testing::TestWithParam<int> {};

TEST_P(LinePanelBorders, DrawsAtMostThreeLinesAndKeepsTheRestInPanelColour) {
    const int width = GetParam();
    TKWLinePanel panel;
    panel.resize(40, 30);
    panel.SetColor(QColor(Grey));
    panel.SetBorderColor1(QColor(Red));
    panel.SetBorderColor2(QColor(Green));
    panel.SetBorderColor3(QColor(Blue));
    panel.SetBorderWidth(width);
    EXPECT_EQ(panel.contentsRect(), QRect(width, width, 40 - 2 * width, 30 - 2 * width));
    const QImage img = Render(panel);
    const QRgb lines[] = {Red, Green, Blue};
    for (int i = 0; i < 6; ++i) {
        const QRgb expected = i < std::min(width, 3) ? lines[i] : Grey;
        // Every side of ring i: left, top, right, bottom.
        EXPECT_EQ(At(img, i, 15), expected) << "ring " << i;
        EXPECT_EQ(At(img, 20, i), expected) << "ring " << i;
        EXPECT_EQ(At(img, 39 - i, 15), expected) << "ring " << i;
        EXPECT_EQ(At(img, 20, 29 - i), expected) << "ring " << i;
        EXPECT_EQ(At(img, 39 - i, 29 - i), expected) << "corner of ring " << i;
    }
}

INSTANTIATE_TEST_SUITE_P(Widths0To5, LinePanelBorders, ::testing::Range(0, 6));

TEST(LinePanel, NewPanelHasBlackColoursAndNoBorder) {
    TKWLinePanel panel;
    EXPECT_EQ(panel.BorderWidth(), 0);
    EXPECT_EQ(panel.BorderColor1(), QColor(Qt::black));
    EXPECT_EQ(panel.BorderColor3(), QColor(Qt::black));
    panel.SetBorderWidth(-3);
    EXPECT_EQ(panel.BorderWidth(), 0);
}

TEST(LinePanel, ResizeSignalAndClick) {
    TKWLinePanel panel;
    QSignalSpy resized(&panel, &TKWLinePanel::Resized);
    QSignalSpy clicked(&panel, &TKWLinePanel::Clicked);
    panel.show();
    panel.resize(120, 80);
    EXPECT_GE(resized.count(), 1);
    QMouseEvent press(QEvent::MouseButtonPress, QPointF(5, 5), QPointF(5, 5), Qt::LeftButton,
                      Qt::LeftButton, {});
    QMouseEvent release(QEvent::MouseButtonRelease, QPointF(5, 5), QPointF(5, 5), Qt::LeftButton,
                        {}, {});
    QApplication::sendEvent(&panel, &press);
    QApplication::sendEvent(&panel, &release);
    EXPECT_EQ(clicked.count(), 1);
}

// A 4 x 4 picture: the bottom-left pixel (and one more) blue, the rest red.
QImage KeyedPicture() {
    QImage pic(4, 4, QImage::Format_RGB888);
    pic.fill(QColor(Red));
    pic.setPixelColor(0, 3, QColor(Blue));
    pic.setPixelColor(2, 1, QColor(Blue));
    return pic;
}

struct TParentWithPanel {
    TKWLinePanel Parent;
    TKWImgPanel* Panel = new TKWImgPanel(&Parent);
    TParentWithPanel() {
        Parent.resize(30, 30);
        Parent.SetColor(QColor(Green));
        Panel->setGeometry(10, 10, 12, 12);
        Panel->SetColor(QColor(Grey));
    }
};

TEST(ImgPanel, TransparentPanelShowsParentWhereThePictureHasItsKeyColour) {
    TParentWithPanel f;
    f.Panel->SetPicture(KeyedPicture());
    f.Panel->SetTransparent(true);
    const QImage img = Render(f.Parent);
    EXPECT_EQ(At(img, 10 + 1, 10 + 1), Red);
    EXPECT_EQ(At(img, 10 + 0, 10 + 3), Green); // the key pixel itself
    EXPECT_EQ(At(img, 10 + 2, 10 + 1), Green); // another pixel of the key colour
    EXPECT_EQ(At(img, 10 + 8, 10 + 8), Green); // outside the picture
    // Switched off, the picture is whole and the panel colour fills the rest.
    f.Panel->SetTransparent(false);
    const QImage opaque = Render(f.Parent);
    EXPECT_EQ(At(opaque, 10 + 0, 10 + 3), Blue);
    EXPECT_EQ(At(opaque, 10 + 8, 10 + 8), Grey);
}

TEST(ImgPanel, TransparentPanelWithoutPictureShowsOnlyTheParent) {
    TParentWithPanel f;
    f.Panel->SetTransparent(true);
    const QImage img = Render(f.Parent);
    for (int y = 10; y < 22; y += 3)
        for (int x = 10; x < 22; x += 3)
            EXPECT_EQ(At(img, x, y), Green);
    f.Panel->SetTransparent(false);
    EXPECT_EQ(At(Render(f.Parent), 15, 15), Grey);
}

TEST(ImgPanel, DrawStyles) {
    TKWImgPanel panel;
    panel.resize(10, 9);
    panel.SetColor(QColor(Grey));
    QImage pic(4, 3, QImage::Format_RGB32);
    pic.fill(QColor(Red));
    pic.setPixelColor(0, 0, QColor(Blue));
    panel.SetPicture(pic);
    QImage img = Render(panel);
    EXPECT_EQ(At(img, 0, 0), Blue);
    EXPECT_EQ(At(img, 3, 2), Red);
    EXPECT_EQ(At(img, 4, 0), Grey);
    EXPECT_EQ(At(img, 9, 8), Grey);

    panel.SetDrawStyle(TKWDrawStyle::suiTile);
    img = Render(panel);
    EXPECT_EQ(At(img, 4, 3), Blue);
    EXPECT_EQ(At(img, 8, 6), Blue);
    EXPECT_EQ(At(img, 9, 8), Red);

    panel.SetDrawStyle(TKWDrawStyle::suiStretch);
    img = Render(panel);
    EXPECT_EQ(At(img, 1, 2), Blue); // the corner pixel grows to 2.5 x 3 pixels
    EXPECT_EQ(At(img, 9, 8), Red);
    EXPECT_EQ(At(img, 5, 0), Red);
}

TEST(ImgPanel, TilingAnEmptyPictureDrawsNothing) {
    TKWImgPanel panel;
    panel.resize(10, 10);
    panel.SetColor(QColor(Grey));
    panel.SetDrawStyle(TKWDrawStyle::suiTile);
    panel.SetPicture(QImage(0, 5, QImage::Format_RGB32));
    EXPECT_EQ(At(Render(panel), 5, 5), Grey);
}

TEST(ImgPanel, AutoSizeObeysTheAlignment) {
    TKWLinePanel parent;
    parent.resize(200, 100);
    parent.Dock();
    auto* top = new TKWImgPanel(&parent);
    top->SetAlign(TAlign::Top);
    QImage pic(60, 30, QImage::Format_RGB32);
    pic.fill(Qt::red);
    top->SetAutoSize(true);
    top->SetPicture(pic);
    EXPECT_EQ(top->Align(), TAlign::Top);
    EXPECT_EQ(top->geometry(), QRect(0, 0, 200, 30));

    auto* left = new TKWImgPanel(&parent);
    left->SetAlign(TAlign::Left);
    left->SetPicture(pic);
    left->SetAutoSize(true); // switching on sizes it too
    EXPECT_EQ(left->geometry(), QRect(0, 30, 60, 70));

    TKWImgPanel free;
    free.resize(5, 5);
    free.SetAutoSize(true);
    free.SetPicture(pic);
    EXPECT_EQ(free.size(), QSize(60, 30));
    free.SetAutoSize(false);
    free.SetPicture(QImage(10, 10, QImage::Format_RGB32));
    EXPECT_EQ(free.size(), QSize(60, 30));
}

TEST(ImgPanel, CaptionFollowsAlignment) {
    TKWImgPanel panel;
    panel.resize(200, 30);
    panel.SetColor(Qt::black);
    QPalette pal = panel.palette();
    pal.setColor(QPalette::WindowText, Qt::white);
    panel.setPalette(pal);
    auto litColumns = [&] {
        const QImage img = Render(panel);
        int first = -1, last = -1;
        for (int x = 0; x < img.width(); ++x)
            for (int y = 0; y < img.height(); ++y)
                if (qRed(img.pixel(x, y)) > 128) {
                    if (first < 0)
                        first = x;
                    last = x;
                }
        return std::pair(first, last);
    };
    panel.SetCaption(QStringLiteral("   "));
    EXPECT_EQ(litColumns().first, -1);
    panel.SetCaption(QStringLiteral("Caption"));
    panel.SetAlignment(Qt::AlignLeft);
    EXPECT_LT(litColumns().first, 10);
    panel.SetAlignment(Qt::AlignRight);
    EXPECT_GT(litColumns().second, 190);
    panel.SetAlignment(Qt::AlignHCenter);
    const auto [first, last] = litColumns();
    EXPECT_NEAR((first + last) / 2, 100, 3);
}

} // namespace
