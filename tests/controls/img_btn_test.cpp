// The image button: which strip row it shows, press and release, toggling, the disabled
// state. Mouse input comes through QTest so that Qt's own mouse grab is in play.

#include "controls/kw_img_btn.h"

#include <QSignalSpy>
#include <QTest>

#include <gtest/gtest.h>

namespace {

const QRgb RowColour[] = {qRgb(90, 90, 90), qRgb(0, 0, 200), qRgb(0, 200, 0), qRgb(200, 0, 0)};
enum { Disabled, Normal, Over, Pressed };

// 80 x 100: four 25-pixel rows in four colours.
QImage Strip() {
    QImage strip(80, 100, QImage::Format_RGB32);
    for (int row = 0; row < 4; ++row)
        for (int y = row * 25; y < row * 25 + 25; ++y)
            for (int x = 0; x < 80; ++x)
                strip.setPixel(x, y, RowColour[row]);
    return strip;
}

QRgb Shown(TKWImgBtn& b) {
    const QImage img = b.grab().toImage();
    // Every pixel is of one row: check two corners.
    EXPECT_EQ(img.pixel(0, 0) | 0xff000000u, img.pixel(79, 24) | 0xff000000u);
    return img.pixel(40, 12) | 0xff000000u;
}

struct TButtonFixture : ::testing::Test {
    QWidget Window;
    TKWImgBtn* Btn = new TKWImgBtn(&Window);
    QSignalSpy Clicks{Btn, &TKWImgBtn::OnClick};
    QSignalSpy Enters{Btn, &TKWImgBtn::OnMouseEnter};
    QSignalSpy Downs{Btn, &TKWImgBtn::OnMouseDown};
    QSignalSpy Ups{Btn, &TKWImgBtn::OnMouseUp};

    void SetUp() override {
        Window.resize(300, 200);
        Btn->move(50, 50);
        Btn->SetPic(Strip());
        Window.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&Window));
    }
    void Enter() {
        QEnterEvent e(QPointF(5, 5), QPointF(55, 55), QPointF(55, 55));
        QApplication::sendEvent(Btn, &e);
    }
    void Leave() {
        QEvent e(QEvent::Leave);
        QApplication::sendEvent(Btn, &e);
    }
};

TEST_F(TButtonFixture, StartsAt80By25AndShowsTheRowOfEachState) {
    TKWImgBtn fresh;
    EXPECT_EQ(fresh.geometry(), QRect(0, 0, 80, 25));

    EXPECT_EQ(Shown(*Btn), RowColour[Normal]);
    Enter();
    EXPECT_TRUE(Btn->MouseIn());
    EXPECT_EQ(Enters.count(), 1);
    EXPECT_EQ(Shown(*Btn), RowColour[Over]);
    QTest::mousePress(Btn, Qt::LeftButton, {}, QPoint(5, 5));
    EXPECT_TRUE(Btn->Down());
    EXPECT_EQ(Shown(*Btn), RowColour[Pressed]);
    QTest::mouseRelease(Btn, Qt::LeftButton, {}, QPoint(5, 5));
    EXPECT_FALSE(Btn->Down());
    EXPECT_EQ(Shown(*Btn), RowColour[Over]);
    Leave();
    EXPECT_EQ(Shown(*Btn), RowColour[Normal]);
    Btn->setEnabled(false);
    EXPECT_EQ(Shown(*Btn), RowColour[Disabled]);
    EXPECT_EQ(Clicks.count(), 1);
}

TEST_F(TButtonFixture, SinglePicturesServeWhenThereIsNoStrip) {
    TKWImgBtn b;
    QImage normal(10, 10, QImage::Format_RGB32), over(10, 10, QImage::Format_RGB32);
    normal.fill(RowColour[Normal]);
    over.fill(RowColour[Over]);
    b.SetPicNormal(normal);
    b.SetPicMouseOver(over);
    EXPECT_EQ(b.grab().toImage().pixel(3, 3) | 0xff000000u, RowColour[Normal]);
    b.SetPic(Strip());
    EXPECT_EQ(b.grab().toImage().pixel(3, 3) | 0xff000000u, RowColour[Normal]);
    EXPECT_EQ(b.grab().toImage().pixel(3, 20) | 0xff000000u, RowColour[Normal]); // from the strip
}

TEST_F(TButtonFixture, ClickAfterDraggingAwayAndEventOrder) {
    QStringList order;
    QObject::connect(Btn, &TKWImgBtn::OnClick, [&] { order << "click"; });
    QObject::connect(Btn, &TKWImgBtn::OnMouseUp,
                     [&](Qt::MouseButton, Qt::KeyboardModifiers, QPoint) { order << "up"; });
    QTest::mousePress(Btn, Qt::LeftButton, {}, QPoint(10, 10));
    QTest::mouseMove(&Window, QPoint(250, 180));
    QTest::mouseRelease(Btn, Qt::LeftButton, {}, QPoint(200, 130));
    EXPECT_EQ(Clicks.count(), 1);
    EXPECT_FALSE(Btn->Down());
    EXPECT_EQ(order, QStringList({"click", "up"}));
    // A release with no press before it is not a click.
    QTest::mouseRelease(Btn, Qt::LeftButton, {}, QPoint(10, 10));
    EXPECT_EQ(Clicks.count(), 1);
}

TEST_F(TButtonFixture, RightAndMiddleButtonsRaiseOnlyTheirMouseEvents) {
    for (Qt::MouseButton button : {Qt::RightButton, Qt::MiddleButton}) {
        QTest::mousePress(Btn, button, Qt::ShiftModifier, QPoint(7, 8));
        EXPECT_FALSE(Btn->Down());
        EXPECT_EQ(Shown(*Btn), RowColour[Normal]);
        QTest::mouseRelease(Btn, button, {}, QPoint(7, 8));
    }
    EXPECT_EQ(Clicks.count(), 0);
    ASSERT_EQ(Downs.count(), 2);
    EXPECT_EQ(Ups.count(), 2);
    EXPECT_EQ(Downs[0][0].value<Qt::MouseButton>(), Qt::RightButton);
    EXPECT_EQ(Downs[0][1].value<Qt::KeyboardModifiers>(), Qt::ShiftModifier);
    EXPECT_EQ(Downs[0][2].toPoint(), QPoint(7, 8));
    EXPECT_EQ(Downs[1][0].value<Qt::MouseButton>(), Qt::MiddleButton);
}

TEST_F(TButtonFixture, DownIsIgnoredWithoutHoldDown) {
    Btn->SetDown(true);
    EXPECT_FALSE(Btn->Down());
    EXPECT_FALSE(Btn->Latched());
    EXPECT_EQ(Shown(*Btn), RowColour[Normal]);
}

TEST_F(TButtonFixture, HoldDownTogglesAndOnClickSeesTheNewState) {
    Btn->SetHoldDown(true);
    QList<bool> downInClick;
    QObject::connect(Btn, &TKWImgBtn::OnClick, [&] { downInClick << Btn->Down(); });
    QTest::mouseClick(Btn, Qt::LeftButton, {}, QPoint(5, 5));
    EXPECT_TRUE(Btn->Down());
    EXPECT_TRUE(Btn->Latched());
    EXPECT_EQ(Shown(*Btn), RowColour[Pressed]);
    QTest::mousePress(Btn, Qt::LeftButton, {}, QPoint(5, 5));
    EXPECT_TRUE(Btn->Down()); // pressed image while held, also on the releasing click
    QTest::mouseRelease(Btn, Qt::LeftButton, {}, QPoint(5, 5));
    EXPECT_FALSE(Btn->Down());
    EXPECT_EQ(Shown(*Btn), RowColour[Normal]);
    EXPECT_EQ(downInClick, QList<bool>({true, false}));

    // Set from the program (the end of the video releases the continuous snapshot button).
    Btn->SetDown(true);
    EXPECT_TRUE(Btn->Latched());
    EXPECT_EQ(Shown(*Btn), RowColour[Pressed]);
    Btn->SetDown(false);
    EXPECT_FALSE(Btn->Latched());
    EXPECT_EQ(Shown(*Btn), RowColour[Normal]);
    EXPECT_EQ(Clicks.count(), 2);
}

TEST_F(TButtonFixture, DoubleClickTogglesTwice) {
    Btn->SetHoldDown(true);
    // What the window system sends for a double click: press, release, double click, release.
    QTest::mouseClick(Btn, Qt::LeftButton, {}, QPoint(5, 5));
    QMouseEvent dbl(QEvent::MouseButtonDblClick, QPointF(5, 5), QPointF(55, 55), Qt::LeftButton,
                    Qt::LeftButton, {});
    QApplication::sendEvent(Btn, &dbl);
    EXPECT_FALSE(Btn->Latched());
    QTest::mouseRelease(Btn, Qt::LeftButton, {}, QPoint(5, 5));
    EXPECT_FALSE(Btn->Down());
    EXPECT_EQ(Clicks.count(), 2);
}

TEST_F(TButtonFixture, DisabledButtonReactsToNothing) {
    Btn->setEnabled(false);
    Enter();
    QTest::mouseClick(Btn, Qt::LeftButton, {}, QPoint(5, 5));
    EXPECT_EQ(Enters.count(), 0);
    EXPECT_EQ(Clicks.count(), 0);
    EXPECT_FALSE(Btn->MouseIn());
    EXPECT_FALSE(Btn->Down());
    EXPECT_EQ(Shown(*Btn), RowColour[Disabled]);
}

TEST_F(TButtonFixture, DisablingDuringAPressDoesNotLeaveItPressed) {
    QTest::mousePress(Btn, Qt::LeftButton, {}, QPoint(5, 5));
    Btn->setEnabled(false);
    QTest::mouseRelease(Btn, Qt::LeftButton, {}, QPoint(5, 5));
    Btn->setEnabled(true);
    EXPECT_FALSE(Btn->Down());
    EXPECT_EQ(Clicks.count(), 0);
    EXPECT_EQ(Shown(*Btn), RowColour[Normal]);
}

TEST_F(TButtonFixture, NoKeyboardActivation) {
    Btn->setFocus();
    QTest::keyClick(Btn, Qt::Key_Space);
    QTest::keyClick(Btn, Qt::Key_Return);
    EXPECT_EQ(Clicks.count(), 0);
    EXPECT_FALSE(Btn->Down());
}

} // namespace
