#include "app/unit_main.h"
#include "common/orb_common.h"
#include "controls/kw_img_btn.h"
#include "controls/kw_img_panel.h"
#include "controls/kw_line_panel.h"
#include "frames/thumbnails.h"
#include "tests/support/fake_desktop.h"
#include "tests/support/frame_grid.h"
#include "video/video_window.h"

#include <QApplication>
#include <QDialog>
#include <QEnterEvent>
#include <QLabel>
#include <QPointer>
#include <QTest>

#include <gtest/gtest.h>

#include <memory>

namespace {

class MainWindowTest : public ::testing::Test {
protected:
    void SetUp() override {
        FForm = std::make_unique<TFormMain>();
        FForm->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(FForm.get()));
    }

    void Enter(QWidget* w) {
        QEnterEvent enter(QPointF(1, 1), QPointF(1, 1), w->mapToGlobal(QPointF(1, 1)));
        QApplication::sendEvent(w, &enter);
    }
    void Leave(QWidget* w) {
        QEvent leave(QEvent::Leave);
        QApplication::sendEvent(w, &leave);
    }

    TFakeDesktop FDesktop;
    TOrbCommonUnit FUnit;
    std::unique_ptr<TFormMain> FForm;
};

TEST_F(MainWindowTest, StartsWithTheLayoutSizes) {
    TFormMain& f = *FForm;
    EXPECT_EQ(f.windowTitle(), QStringLiteral("Framecatch"));
    EXPECT_EQ(f.size(), QSize(789, 578));
    EXPECT_EQ(f.minimumSize(), QSize(789, 578));
    EXPECT_EQ(f.PanelStatusbar->geometry(), QRect(0, 558, 789, 20));
    EXPECT_EQ(f.PanelLeft->geometry(), QRect(4, 0, 304, 558));
    EXPECT_EQ(f.PanelVideo->geometry(), QRect(0, 0, 304, 229));
    EXPECT_EQ(f.VideoWindow->geometry(), QRect(2, 2, 300, 225));
    EXPECT_FALSE(f.VideoWindow->isVisible());
    EXPECT_EQ(f.PanelBtn->geometry(), QRect(0, 235, 304, 323));
    EXPECT_EQ(f.PanelVideoControl->geometry(), QRect(5, 12, 292, 45));
    EXPECT_EQ(f.BtnOpen->geometry(), QRect(3, 2, 40, 41));
    EXPECT_EQ(f.BtnSnapO->geometry(), QRect(2, 67, 299, 41));
    EXPECT_EQ(f.BtnAbout->geometry(), QRect(2, 267, 299, 41));
    EXPECT_EQ(f.PanelMain->geometry(), QRect(314, 0, 471, 558));
    EXPECT_EQ(f.panel_action->geometry(), QRect(0, 509, 471, 49));
    EXPECT_EQ(f.panel_thumbs->geometry(), QRect(0, 0, 471, 503));
    EXPECT_EQ(f.panel_thumbs->contentsRect().width(), 467);
    EXPECT_EQ(f.BtnSaveThumb->geometry(), QRect(96, 5, 39, 39));
    EXPECT_TRUE(f.BtnPlay->isVisible());
    EXPECT_FALSE(f.BtnPause->isVisible());
    EXPECT_TRUE(f.BtnSnap->HoldDown());
    EXPECT_FALSE(f.BtnSnap->Down());
    EXPECT_TRUE(f.StatusText().isEmpty());
}

TEST_F(MainWindowTest, HintsFollowThePointerWhileCaptureIsOff) {
    TFormMain& f = *FForm;
    Enter(f.BtnOpen);
    EXPECT_EQ(f.StatusText(), QStringLiteral("Click to open a video file"));
    Leave(f.BtnOpen);
    EXPECT_TRUE(f.StatusText().isEmpty());
    Enter(f.BtnSnapO);
    EXPECT_EQ(f.StatusText(),
              QStringLiteral("Grab only one frame every time you click this button"));
    GlbCfg->CaptureInterval = 350;
    Enter(f.BtnSnap);
    EXPECT_EQ(f.StatusText(), QStringLiteral("Grab one frame every 350 milliseconds, you can "
                                             "change this interval at OPTIONS window"));
    Enter(f.BtnSaveGIF);
    EXPECT_EQ(f.StatusText(), QStringLiteral("Save the captured frames as animated GIF images"));
    Enter(f.BtnSaveThumb);
    EXPECT_EQ(f.StatusText(), QStringLiteral("Save the captured frames as thumbnails"));
    Enter(f.BtnHelp);
    EXPECT_EQ(f.StatusText(), QStringLiteral("Visit online help documents"));
    // Options and About have no hint of their own: the last text stays until the pointer leaves.
    Enter(f.BtnAbout);
    EXPECT_EQ(f.StatusText(), QStringLiteral("Visit online help documents"));
    Leave(f.BtnAbout);
    EXPECT_TRUE(f.StatusText().isEmpty());
}

TEST_F(MainWindowTest, HintsKeepTheCaptureTextWhileCaptureIsOn) {
    TFormMain& f = *FForm;
    const QString grabbing = QStringLiteral("Grabbing ... , click SNAPSHOT button again to stop");
    f.BtnSnap->SetDown(true);
    Enter(f.BtnSnap);
    EXPECT_EQ(f.StatusText(), grabbing);
    Enter(f.BtnOpen);
    EXPECT_EQ(f.StatusText(), grabbing);
    Leave(f.BtnOpen);
    EXPECT_EQ(f.StatusText(), grabbing);
    f.ShowStatus(QStringLiteral("anything"));
    EXPECT_EQ(f.StatusText(), grabbing);
    f.BtnSnap->SetDown(false);
    Leave(f.BtnOpen);
    EXPECT_TRUE(f.StatusText().isEmpty());
}

TEST_F(MainWindowTest, DoubleClickAndEditOpenTheEditorOnThatFrame) {
    TFormMain& f = *FForm;
    f.Thumbnails->SetFrameSize(320, 240);
    for (int n = 0; n < 3; ++n) {
        QImage frame(320, 240, QImage::Format_RGB888);
        frame.fill(qRgb(60 * n, 0, 0));
        ASSERT_TRUE(f.Thumbnails->AddFrame(frame));
    }
    QApplication::processEvents();
    QStringList opened;
    QPointer<QDialog> editor;
    FDesktop.OnModal = [&](QDialog& d) {
        editor = &d;
        opened << d.windowTitle() + ": " + d.findChild<QLabel*>("LabelBottom1")->text();
        return int(QDialog::Rejected);
    };
    fctest::DoubleClickCell(*f.Thumbnails, 2);
    // The "Edit" command opens it on the first selected frame.
    f.Thumbnails->ClearSelection();
    f.Thumbnails->GetItem(1)->SetSelected(true);
    f.Thumbnails->EditClick();
    EXPECT_EQ(opened, QStringList({QStringLiteral("Frame Edit: Index: 2  Size: 320 X 240"),
                                   QStringLiteral("Frame Edit: Index: 1  Size: 320 X 240")}));
    EXPECT_TRUE(editor.isNull()); // each window is gone once it has closed
}

TEST_F(MainWindowTest, WiderLeftPanelKeepsTheButtonColumnCentred) {
    TFormMain& f = *FForm;
    f.resize(1000, 700);
    f.PanelLeft->resize(404, f.PanelLeft->height());
    QApplication::processEvents();
    ASSERT_EQ(f.PanelBtn->width(), 404);
    for (TKWImgBtn* b : {f.BtnSnapO, f.BtnSnap, f.BtnOptions, f.BtnHelp, f.BtnAbout})
        EXPECT_EQ(b->x(), 52) << b->objectName().toStdString();
    EXPECT_EQ(f.PanelVideoControl->x(), 55);
}

TEST_F(MainWindowTest, PreviewTakesFourToThreeOnlyWithRoomForTheButtons) {
    TFormMain& f = *FForm;
    // 400 wide asks for 300 high, which needs a left panel of at least 610.
    f.resize(1000, 609 + 20);
    QApplication::processEvents();
    ASSERT_EQ(f.PanelLeft->height(), 609);
    f.PanelLeft->resize(400, 609);
    QApplication::processEvents();
    EXPECT_EQ(f.PanelVideo->width(), 400);
    EXPECT_NE(f.PanelVideo->height(), 300);
    f.resize(1000, 610 + 20);
    QApplication::processEvents();
    ASSERT_EQ(f.PanelLeft->height(), 610);
    f.PanelVideoResize();
    EXPECT_EQ(f.PanelVideo->height(), 300);
}

TEST_F(MainWindowTest, HelpOpensTheShippedPageThroughTheShell) {
    FForm->BtnHelpClick();
    ASSERT_EQ(FDesktop.Opened.size(), 1);
    EXPECT_EQ(FDesktop.Opened[0], GlbCfg->HelpURL);
    EXPECT_TRUE(GlbCfg->HelpURL.startsWith(QStringLiteral("file://")));
    EXPECT_TRUE(GlbCfg->HelpURL.endsWith(QStringLiteral("help/index.html")));
}

TEST_F(MainWindowTest, AboutAndOptionsOpenModally) {
    FForm->BtnAboutClick();
    FForm->BtnOptionsClick();
    EXPECT_EQ(FDesktop.ModalTitles,
              (QList<QString>{QStringLiteral("About Framecatch"), QStringLiteral("Options")}));
}

} // namespace
