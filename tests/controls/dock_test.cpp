// The docking layout on a small form like the main window's: a status bar at the bottom, a
// left column with a top and a client panel, a main area, all inside a bordered panel.

#include "controls/kw_dock.h"
#include "controls/kw_line_panel.h"

#include <QApplication>

#include <gtest/gtest.h>

namespace {

struct TForm {
    TKWLinePanel Root;
    QWidget* Status = new QWidget(&Root);
    QWidget* Left = new QWidget(&Root);
    QWidget* Right = new QWidget(&Root);
    QWidget* Main = new QWidget(&Root);
    QWidget* Free = new QWidget(&Root);
    TKWLinePanel* Column = new TKWLinePanel;
    QWidget* Video = new QWidget;
    QWidget* Buttons = new QWidget;

    TForm() {
        Root.SetBorderWidth(2);
        Root.resize(400, 300);
        Status->resize(10, 20);
        Left->resize(100, 10);
        Right->resize(30, 10);
        Free->setGeometry(7, 8, 9, 10);
        TDockLayout* dock = Root.Dock();
        // Added in an order different from the docking order: the kind decides, not the order.
        dock->AddWidget(Main, TAlign::Client, QMargins(0, 0, 4, 0));
        dock->AddWidget(Left, TAlign::Left, QMargins(4, 0, 0, 0));
        dock->AddWidget(Status, TAlign::Bottom);
        dock->AddWidget(Right, TAlign::Right, QMargins(1, 2, 3, 4));
        dock->AddWidget(Column, TAlign::Left);
        Column->resize(50, 10);
        Column->SetBorderWidth(1);
        Video->resize(10, 60);
        Column->Dock()->AddWidget(Video, TAlign::Top, QMargins(0, 0, 0, 3));
        Column->Dock()->AddWidget(Buttons, TAlign::Client, QMargins(0, 3, 0, 0));
        // Nothing is shown yet, so Qt reports no resize of the column: lay out by hand.
        dock->Relayout();
    }
};

TEST(DockLayout, DocksEachKindInsideTheBorderWithMargins) {
    TForm f;
    // Inside the border: x 2..397, y 2..297. Bottom first takes 20, then the left ones.
    EXPECT_EQ(f.Status->geometry(), QRect(2, 278, 396, 20));
    EXPECT_EQ(f.Left->geometry(), QRect(6, 2, 100, 276));
    EXPECT_EQ(f.Column->geometry(), QRect(106, 2, 50, 276));
    EXPECT_EQ(f.Right->geometry(), QRect(398 - 3 - 30, 4, 30, 276 - 6));
    EXPECT_EQ(f.Main->geometry(), QRect(156, 2, 364 - 156 - 4, 276));
    // A top child keeps its height, the client below it keeps both gaps of 3.
    EXPECT_EQ(f.Video->geometry(), QRect(1, 1, 48, 60));
    EXPECT_EQ(f.Buttons->geometry(), QRect(1, 61 + 3 + 3, 48, 276 - 1 - 67));
    EXPECT_EQ(f.Free->geometry(), QRect(7, 8, 9, 10));
}

TEST(DockLayout, FollowsParentAndChildResizes) {
    TForm f;
    f.Root.show();
    f.Root.resize(500, 200);
    EXPECT_EQ(f.Status->geometry(), QRect(2, 178, 496, 20));
    EXPECT_EQ(f.Main->width(), 498 - 3 - 30 - 1 - 156 - 4);
    // The program widens a left child: the others move at once, without an event loop.
    f.Left->resize(150, 1);
    EXPECT_EQ(f.Left->geometry(), QRect(6, 2, 150, 176));
    EXPECT_EQ(f.Column->x(), 156);
    EXPECT_EQ(f.Main->x(), 206);
    // Hiding a docked child gives its room to the others.
    f.Status->hide();
    EXPECT_EQ(f.Left->height(), 196);
    f.Status->show();
    EXPECT_EQ(f.Left->height(), 176);
}

TEST(DockLayout, ChildResizedWhileHiddenIsPlacedWhenShown) {
    TForm f;
    f.Left->resize(120, 1);
    f.Root.show();
    EXPECT_EQ(f.Left->geometry(), QRect(6, 2, 120, 276));
    EXPECT_EQ(f.Column->x(), 126);
}

TEST(DockLayout, ResizeHandlerRunningInsideAPassIsHonoured) {
    // Like the preview panel that keeps a 4:3 shape: its resize handler sets its height from
    // its width while the layout is placing it; the client below must follow.
    TKWLinePanel root;
    root.resize(200, 400);
    auto* top = new TKWLinePanel;
    auto* rest = new QWidget;
    root.Dock()->AddWidget(top, TAlign::Top);
    root.Dock()->AddWidget(rest, TAlign::Client);
    QObject::connect(top, &TKWLinePanel::Resized,
                     [top] { top->resize(top->width(), top->width() * 3 / 4); });
    root.show();
    root.resize(300, 400);
    EXPECT_EQ(top->geometry(), QRect(0, 0, 300, 225));
    EXPECT_EQ(rest->geometry(), QRect(0, 225, 300, 175));
}

TEST(DockLayout, SetAlignNoneLeavesTheGeometryAlone) {
    TForm f;
    f.Root.Dock()->SetAlign(f.Left, TAlign::None);
    f.Left->setGeometry(300, 100, 5, 5);
    f.Root.Dock()->Relayout();
    EXPECT_EQ(f.Left->geometry(), QRect(300, 100, 5, 5));
    EXPECT_EQ(f.Column->x(), 2);
    EXPECT_EQ(f.Root.Dock()->AlignOf(f.Left), TAlign::None);
    EXPECT_EQ(f.Root.Dock()->AlignOf(f.Column), TAlign::Left);
}

TEST(DockLayout, OverfullAreaGivesEmptyNotNegativeSizes) {
    TKWLinePanel root;
    root.resize(50, 50);
    auto* a = new QWidget;
    auto* b = new QWidget;
    auto* c = new QWidget;
    a->resize(40, 1);
    b->resize(40, 1);
    root.Dock()->AddWidget(a, TAlign::Left);
    root.Dock()->AddWidget(b, TAlign::Left);
    root.Dock()->AddWidget(c, TAlign::Client);
    EXPECT_EQ(b->x(), 40);
    EXPECT_EQ(c->width(), 0);
    EXPECT_GE(c->height(), 0);
}

TEST(DockLayout, DeletedChildLeavesTheLayout) {
    TForm f;
    delete f.Left;
    f.Root.Dock()->Relayout();
    EXPECT_EQ(f.Column->x(), 2);
    EXPECT_EQ(f.Root.Dock()->count(), 4);
}

} // namespace
