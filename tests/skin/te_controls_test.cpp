// The skinned pieces with behaviour of their own: the splitter's live resize and minimum, the
// spin arrows, the scroll box, and the skin applied to the application.

#include "controls/kw_line_panel.h"
#include "skin/aqua.h"
#include "skin/te_controls.h"

#include <QPushButton>
#include <QSignalSpy>
#include <QTest>

#include <gtest/gtest.h>

namespace {

// The main window's arrangement: a left panel, the splitter right after it, the main area.
struct TSplitForm {
    TKWLinePanel Window;
    TKWLinePanel* Left = new TKWLinePanel;
    TTeSplitter* Splitter = new TTeSplitter;
    TKWLinePanel* Main = new TKWLinePanel;
    TSplitForm() {
        Window.resize(789, 578);
        Left->resize(304, 10);
        TDockLayout* dock = Window.Dock();
        dock->AddWidget(Left, TAlign::Left, QMargins(4, 0, 0, 0));
        dock->AddWidget(Splitter, TAlign::Left);
        dock->AddWidget(Main, TAlign::Client, QMargins(0, 0, 4, 0));
        Splitter->SetMinSize(304);
        Window.show();
        EXPECT_TRUE(QTest::qWaitForWindowExposed(&Window));
    }
};

TEST(Splitter, FindsItsPanelAndResizesItLiveNeverBelowTheMinimum) {
    TSplitForm f;
    ASSERT_EQ(f.Splitter->geometry(), QRect(308, 0, 6, 578));
    EXPECT_EQ(f.Splitter->Control(), f.Left);
    QSignalSpy moved(f.Splitter, &TTeSplitter::Moved);

    QTest::mousePress(f.Splitter, Qt::LeftButton, {}, QPoint(3, 100));
    QTest::mouseMove(f.Splitter, QPoint(53, 100));
    // Already during the drag: the panel is 50 wider and the rest of the window followed.
    EXPECT_EQ(f.Left->width(), 354);
    EXPECT_EQ(f.Splitter->x(), 358);
    EXPECT_EQ(f.Main->geometry(), QRect(364, 0, 789 - 4 - 364, 578));
    // The splitter has moved under the pointer: positions are taken in the window.
    QTest::mouseMove(f.Splitter, QPoint(3 + 50, 100));
    EXPECT_EQ(f.Left->width(), 404);
    QTest::mouseMove(f.Splitter, QPoint(-300, 100));
    EXPECT_EQ(f.Left->width(), 304);
    EXPECT_EQ(f.Main->x(), 314);
    QTest::mouseRelease(f.Splitter, Qt::LeftButton, {}, QPoint(-300, 100));
    EXPECT_GE(moved.count(), 3);

    // Moving after the release does nothing.
    QTest::mouseMove(f.Splitter, QPoint(100, 100));
    EXPECT_EQ(f.Left->width(), 304);
}

TEST(Splitter, LeavesTheMinimumToTheRightToo) {
    TSplitForm f;
    QTest::mousePress(f.Splitter, Qt::LeftButton, {}, QPoint(3, 100));
    QTest::mouseMove(f.Splitter, QPoint(1000, 100));
    // 789 wide: 4 + panel + 6 + at least 304 on the right.
    EXPECT_EQ(f.Left->width(), 789 - 4 - 6 - 304);
    QTest::mouseRelease(f.Splitter, Qt::LeftButton, {}, QPoint(1000, 100));
}

TEST(UpDown, StepsTheAssociatedEditWithinItsRange) {
    QWidget form;
    auto* edit = new TTeEdit(&form);
    edit->setGeometry(94, 37, 65, 22);
    edit->setText(QStringLiteral("995"));
    auto* arrows = new TTeUpDown(&form);
    arrows->SetMin(1);
    arrows->SetMax(1003);
    arrows->SetIncrement(5);
    arrows->SetAssociate(edit);
    // The arrows sit inside the edit's old width, at its right end.
    EXPECT_EQ(edit->geometry(), QRect(94, 37, 65 - 17, 22));
    EXPECT_EQ(arrows->geometry(), QRect(94 + 65 - 17, 37, 17, 22));

    arrows->Step(true);
    EXPECT_EQ(edit->text(), QStringLiteral("1000")); // no thousands separator
    arrows->Step(true);
    EXPECT_EQ(edit->text(), QStringLiteral("1003"));
    edit->setText(QStringLiteral("3"));
    arrows->Step(false);
    EXPECT_EQ(edit->text(), QStringLiteral("1"));
    // A text that is no number steps from the last position.
    edit->setText(QString());
    arrows->Step(true);
    EXPECT_EQ(edit->text(), QStringLiteral("6"));
    edit->setText(QStringLiteral("99999999999"));
    arrows->Step(false);
    EXPECT_EQ(edit->text(), QStringLiteral("1"));

    // Clicks on the upper and lower halves.
    form.show();
    QSignalSpy changed(arrows, &TTeUpDown::Changed);
    QTest::mouseClick(arrows, Qt::LeftButton, {}, QPoint(8, 3));
    EXPECT_EQ(edit->text(), QStringLiteral("6"));
    QTest::mouseClick(arrows, Qt::LeftButton, {}, QPoint(8, 19));
    EXPECT_EQ(edit->text(), QStringLiteral("1"));
    EXPECT_EQ(changed.count(), 2);
}

TEST(ScrollBox, ContentIsAsWideAsTheViewAndScrollsVertically) {
    TTeScrollBox box;
    box.resize(300, 200);
    box.show();
    box.SetContentHeight(1000);
    QCoreApplication::processEvents(); // the scroll area lays out its bars on a posted event
    EXPECT_EQ(box.Content()->height(), 1000);
    EXPECT_EQ(box.Content()->width(), box.viewport()->width());
    EXPECT_LT(box.viewport()->width(), 300); // the vertical bar takes its room
    box.SetScrollPos(5000);
    EXPECT_EQ(box.ScrollPos(), 1000 - box.viewport()->height());
    box.SetContentHeight(50);
    QCoreApplication::processEvents();
    EXPECT_EQ(box.Content()->height(), box.viewport()->height());
    EXPECT_EQ(box.ScrollPos(), 0);
}

TEST(ProgressBar, PositionIsClampedIntoTheRange) {
    TTeProgressBar bar;
    bar.SetMin(0);
    bar.SetMax(9);
    bar.SetPosition(4);
    EXPECT_EQ(bar.Position(), 4);
    bar.SetPosition(12);
    EXPECT_EQ(bar.Position(), 9);
    EXPECT_FALSE(bar.isTextVisible());
}

TEST(AquaSkin, AppliesStylePaletteFontAndSheet) {
    auto* app = qobject_cast<QApplication*>(QCoreApplication::instance());
    ASSERT_NE(app, nullptr);
    ApplyAquaSkin(*app);
    EXPECT_EQ(app->styleSheet(), AquaStyleSheet());
    EXPECT_EQ(QApplication::palette().color(QPalette::Window), QColor(aqua::PanelLight));
    EXPECT_EQ(QApplication::palette().color(QPalette::Text), QColor(Qt::black));
    EXPECT_EQ(QApplication::font().pixelSize(), 11);
    // A push button really gets the sheet's blue gloss rather than a default grey.
    TTeButton button(QStringLiteral("OK"));
    button.resize(75, 25);
    const QColor middle = button.grab().toImage().pixelColor(37, 20);
    EXPECT_GT(middle.blue(), middle.red() + 60);
    // A checked check box shows the aqua mark.
    TTeCheckBox check(QStringLiteral("x"));
    check.setChecked(true);
    check.resize(60, 20);
    const QImage img = check.grab().toImage();
    int blue = 0;
    for (int y = 0; y < img.height(); ++y)
        for (int x = 0; x < 16; ++x)
            if (img.pixelColor(x, y).blue() > img.pixelColor(x, y).red() + 80)
                ++blue;
    EXPECT_GT(blue, 10);
}

} // namespace
