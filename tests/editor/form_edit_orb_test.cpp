#include "controls/kw_img_panel.h"
#include "controls/kw_line_panel.h"
#include "editor/editor_tool.h"
#include "editor/form_edit_orb.h"
#include "editor/watermark_panels.h"
#include "frames/thumbnails.h"
#include "graphics/image32.h"
#include "graphics/rubberband_layer.h"
#include "skin/te_controls.h"
#include "tests/support/fake_desktop.h"

#include <QApplication>
#include <QComboBox>
#include <QEnterEvent>
#include <QLabel>
#include <QMenu>
#include <QTest>

#include <gtest/gtest.h>

#include <memory>

namespace {

QRgb FrameColor(int n) {
    return qRgb(20 * n + 10, 200 - 30 * n, 90);
}

QImage Frame(int n, QSize size = QSize(640, 480)) {
    QImage frame(size, QImage::Format_RGB888);
    frame.fill(FrameColor(n));
    return frame;
}

// Records what the window asks of a tool; under way until it is asked to end.
struct TProbeTool : TEditorTool {
    bool Active = false;
    int Enters = 0, Escapes = 0, Cancels = 0;
    bool UnderWay() const override { return Active; }
    void KeyEnter() override { ++Enters, Active = false; }
    void KeyEscape() override { ++Escapes, Active = false; }
    void Cancel() override {
        Cancels += Active;
        Active = false;
    }
};

class EditorTest : public ::testing::Test {
protected:
    TFakeDesktop Desktop;
    TThumbnails List;
    std::unique_ptr<TFormEditORB> Editor;

    void Fill(int count, QSize size = QSize(640, 480)) {
        List.SetFrameSize(size.width(), size.height());
        for (int n = 0; n < count; ++n)
            ASSERT_TRUE(List.AddFrame(Frame(n, size)));
    }
    TFormEditORB& Open(int index, bool show = true) {
        Editor = std::make_unique<TFormEditORB>(nullptr);
        Editor->ShowFrame(List.FramePicture(index), index, &List);
        if (show) {
            Editor->show();
            EXPECT_TRUE(QTest::qWaitForWindowExposed(Editor.get()));
        }
        return *Editor;
    }
    QRgb Shown() const { return Editor->Image1->Bitmap().Pixel(0, 0); }
    QString FrameLine() const { return Editor->LabelBottom1->text(); }
    void RightClick(QPoint pos) {
        QTest::mouseClick(Editor->windowHandle(), Qt::RightButton, {},
                          Editor->Image1->mapTo(Editor.get(), pos));
    }
};

} // namespace

TEST_F(EditorTest, OpensSizedToTheFrameWithinTheScreenAndTheMinimum) {
    Fill(1);
    TFormEditORB& e = Open(0);
    EXPECT_EQ(e.windowTitle(), QStringLiteral("Frame Edit"));
    EXPECT_EQ(e.size(), QSize(900, 580));
    EXPECT_EQ(e.pos(), QPoint((1024 - 900) / 2, (768 - 580) / 2));
    EXPECT_EQ(FrameLine(), QStringLiteral("Index: 0  Size: 640 X 480"));
    EXPECT_EQ(Shown(), FrameColor(0) | 0xFF000000u);
    EXPECT_EQ(e.History().Count(), 1);
    EXPECT_FALSE(e.BtnUndo->isEnabled());
    EXPECT_FALSE(e.BtnRedo->isEnabled());
    // The layout: the button column, the image area and the status bar's three fields.
    EXPECT_EQ(e.PanelBtn->geometry(), QRect(3, 3, 200, 548));
    EXPECT_EQ(e.PanelMain->geometry(), QRect(209, 3, 688, 548));
    EXPECT_EQ(e.PanelBottom->geometry(), QRect(3, 557, 894, 20));
    EXPECT_EQ(e.LabelBottom1->parentWidget()->width(), 142);
    EXPECT_EQ(e.LabelBottom2->parentWidget()->width(), 200);
    EXPECT_EQ(e.BtnResize_1->geometry(), QRect(155, 122, 15, 40));
    EXPECT_EQ(e.BtnRedo->geometry(), QRect(105, 294, 65, 25));
    EXPECT_EQ(e.ImageCrop->geometry(), e.BtnCrop->geometry());
    EXPECT_EQ(e.ImageResize->geometry(), e.BtnResize->geometry());
    EXPECT_FALSE(e.ImageCrop->isVisible());
    EXPECT_FALSE(e.PanelTextWM->isVisible());
    EXPECT_EQ(e.Image1->Offset(), QPoint((684 - 640) / 2, (544 - 480) / 2));
    EXPECT_EQ(e.PanelTextWM->ComboBoxFonts->currentText(), QStringLiteral("Tahoma"));

    // The smallest window, and a frame larger than a 1024 x 768 screen allows.
    for (auto [frame, window] : {std::pair{QSize(320, 240), QSize(820, 480)},
                                 std::pair{QSize(1280, 720), QSize(1014, 728)}}) {
        Editor = std::make_unique<TFormEditORB>(nullptr);
        Editor->ShowFrame(Frame(0, frame), 0, &List);
        EXPECT_EQ(Editor->size(), window) << frame.width();
        EXPECT_EQ(FrameLine(),
                  QStringLiteral("Index: 0  Size: %1 X %2").arg(frame.width()).arg(frame.height()));
    }
    // Only a family named exactly "Tahoma" is chosen; without one nothing is selected.
    Desktop.Fonts = {QStringLiteral("tahoma"), QStringLiteral("DejaVu Sans")};
    Open(0, false);
    EXPECT_EQ(Editor->PanelTextWM->ComboBoxFonts->count(), 2);
    EXPECT_EQ(Editor->PanelTextWM->ComboBoxFonts->currentIndex(), -1);
}

TEST_F(EditorTest, StepsThroughTheFramesEachWithAHistoryOfItsOwn) {
    Fill(5);
    TFormEditORB& e = Open(4);
    EXPECT_TRUE(e.BtnPrevious->isEnabled());
    EXPECT_FALSE(e.BtnNext->isEnabled());
    Open(0);
    EXPECT_FALSE(Editor->BtnPrevious->isEnabled());
    EXPECT_TRUE(Editor->BtnNext->isEnabled());

    // A picture change that recorded no edit (so the step asks nothing), then a step: the next
    // frame shows as stored and the change is not kept.
    TBitmap32 edited = Editor->Image1->Bitmap();
    edited.SetSize(100, 50);
    Editor->EditDone(edited);
    EXPECT_EQ(FrameLine(), QStringLiteral("Index: 0  Size: 100 X 50"));
    for (int n = 1; n <= 4; ++n) {
        Editor->BtnNext->click();
        EXPECT_EQ(Shown(), FrameColor(n) | 0xFF000000u);
        EXPECT_EQ(FrameLine(), QStringLiteral("Index: %1  Size: 640 X 480").arg(n));
    }
    EXPECT_FALSE(Editor->BtnNext->isEnabled());
    Editor->BtnNextClick(); // past the end: nothing
    EXPECT_EQ(Editor->FrameIndex(), 4);
    for (int n = 3; n >= 0; --n)
        Editor->BtnPrevious->click();
    EXPECT_EQ(Shown(), FrameColor(0) | 0xFF000000u);
    EXPECT_EQ(Editor->Image1->Bitmap().Width(), 640);
    EXPECT_EQ(List.FramePicture(0).size(), QSize(640, 480));
    // Each frame stepped to starts its own history, so Undo cannot reach the picture of another
    // frame. (The history once went on across steps: Undo on one frame showed the edit of the
    // frame before, which "Yes, save it" then wrote into the wrong frame.)
    EXPECT_FALSE(Editor->BtnUndo->isEnabled());
    EXPECT_EQ(Editor->History().Count(), 1);

    // The two buttons' hints.
    QEnterEvent enter(QPointF(1, 1), QPointF(1, 1), QPointF(1, 1));
    QApplication::sendEvent(Editor->BtnPrevious, &enter);
    EXPECT_EQ(Editor->LabelBottom3->text(), QStringLiteral("Show previous frame"));
    QEvent leave(QEvent::Leave);
    QApplication::sendEvent(Editor->BtnPrevious, &leave);
    EXPECT_TRUE(Editor->LabelBottom3->text().isEmpty());
    QApplication::sendEvent(Editor->BtnNext, &enter);
    EXPECT_EQ(Editor->LabelBottom3->text(), QStringLiteral("Show next frame"));
}

TEST_F(EditorTest, ASingleFrameCannotBeSteppedFrom) {
    Fill(1);
    TFormEditORB& e = Open(0, false);
    EXPECT_FALSE(e.BtnPrevious->isEnabled());
    EXPECT_FALSE(e.BtnNext->isEnabled());
    e.BtnPreviousClick();
    e.BtnNextClick();
    EXPECT_EQ(e.FrameIndex(), 0);
}

TEST_F(EditorTest, UndoAndRedoFollowTheHistoryAndTheFrameLineFollowsTheSize) {
    Fill(1);
    TFormEditORB& e = Open(0, false);
    TBitmap32 cropped(320, 240);
    e.EditDone(cropped);
    EXPECT_TRUE(e.BtnUndo->isEnabled());
    EXPECT_FALSE(e.BtnRedo->isEnabled());
    e.BtnUndo->click();
    EXPECT_EQ(FrameLine(), QStringLiteral("Index: 0  Size: 640 X 480"));
    EXPECT_EQ(Shown(), FrameColor(0) | 0xFF000000u);
    EXPECT_FALSE(e.BtnUndo->isEnabled());
    EXPECT_TRUE(e.BtnRedo->isEnabled());
    e.BtnRedo->click();
    EXPECT_EQ(FrameLine(), QStringLiteral("Index: 0  Size: 320 X 240"));
    EXPECT_EQ(e.History().Index(), 1);
    // Used while disabled they change nothing.
    e.BtnRedoClick();
    EXPECT_EQ(e.History().Index(), 1);
    EXPECT_EQ(e.Image1->Bitmap().Width(), 320);
}

TEST_F(EditorTest, EnterAndEscapeAreAlwaysConsumedAndReachOnlyTheToolUnderWay) {
    Fill(3);
    TFormEditORB& e = Open(1);
    e.BtnNext->setFocus();
    for (int key : {Qt::Key_Return, Qt::Key_Enter, Qt::Key_Escape}) {
        QTest::keyClick(e.BtnNext, Qt::Key(key));
        QTest::keyClick(&e, Qt::Key(key));
    }
    EXPECT_TRUE(e.isVisible());
    EXPECT_EQ(e.FrameIndex(), 1);
    EXPECT_EQ(e.History().Count(), 1);

    auto crop = std::make_unique<TProbeTool>();
    auto resize = std::make_unique<TProbeTool>();
    TProbeTool& c = *crop;
    TProbeTool& r = *resize;
    e.AddTool(std::move(crop));
    e.AddTool(std::move(resize));
    r.Active = true;
    QTest::keyClick(e.BtnNext, Qt::Key_Return);
    EXPECT_EQ(r.Enters, 1);
    EXPECT_EQ(c.Enters, 0);
    c.Active = true;
    QTest::keyClick(e.Image1, Qt::Key_Escape);
    EXPECT_EQ(c.Escapes, 1);
    EXPECT_EQ(r.Escapes, 0);
    EXPECT_TRUE(e.isVisible());
    // Stepping and Undo end a tool under way before they change the picture.
    c.Active = true;
    e.BtnNext->click();
    EXPECT_EQ(c.Cancels, 1);
    r.Active = true;
    e.BtnUndoClick();
    EXPECT_EQ(r.Cancels, 1);
}

TEST_F(EditorTest, RightClickOpensTheMenuOfTheLayerShownAndNoneWithoutOne) {
    Fill(1);
    TFormEditORB& e = Open(0);
    const QPoint centre = e.Image1->rect().center();
    RightClick(centre);
    EXPECT_EQ(QApplication::activePopupWidget(), nullptr);

    const std::pair<TCustomLayer*, QMenu*> cases[] = {{e.CropBand(), e.PopupMenuCrop},
                                                      {e.ResizeLayer(), e.PopupMenuResize},
                                                      {e.WatermarkLayer(), e.PopupMenuImgWM}};
    for (const auto& [layer, menu] : cases) {
        layer->SetVisible(true);
        RightClick(centre);
        EXPECT_EQ(QApplication::activePopupWidget(), menu);
        menu->close();
        // A left press chooses nothing.
        e.Image1MouseDown(Qt::LeftButton);
        EXPECT_EQ(e.Image1->PopupMenu(), menu);
        layer->SetVisible(false);
    }
    // The crop band comes first when several layers show.
    e.ResizeLayer()->SetVisible(true);
    e.CropBand()->SetVisible(true);
    e.Image1MouseDown(Qt::RightButton);
    EXPECT_EQ(e.Image1->PopupMenu(), e.PopupMenuCrop);
}

TEST_F(EditorTest, SidePanelsSlideInFourTicksWhileTheImageStaysPut) {
    Fill(1);
    TFormEditORB& e = Open(0);
    const QRect image = QRect(e.Image1->mapTo(&e, QPoint()), e.Image1->size());
    const QRect mainAtRest = e.PanelMain->geometry();
    e.SlideInTextPanel();
    EXPECT_TRUE(e.TimerShowPanelTextWM.isActive());
    for (int tick = 1; tick <= 4; ++tick) {
        EXPECT_TRUE(e.TimerShowPanelTextWM.isActive()) << tick;
        e.TimerShowPanelTextWMTimer();
        EXPECT_EQ(QRect(e.Image1->mapTo(&e, QPoint()), e.Image1->size()), image) << tick;
        EXPECT_EQ(e.PanelTextWM->width(), 50 * tick);
    }
    EXPECT_FALSE(e.TimerShowPanelTextWM.isActive());
    EXPECT_FALSE(e.PanelBtn->isVisible());
    EXPECT_EQ(e.PanelBtn->width(), 0);
    EXPECT_EQ(e.focusWidget(), e.PanelTextWM->BtnTextWMOK);
    EXPECT_EQ(e.PanelMain->geometry(), mainAtRest);

    e.SlideOutTextPanel();
    int ticks = 0;
    while (e.TimerHidePanelTextWM.isActive() && ticks < 10) {
        e.TimerHidePanelTextWMTimer();
        ++ticks;
        EXPECT_EQ(QRect(e.Image1->mapTo(&e, QPoint()), e.Image1->size()), image) << ticks;
    }
    EXPECT_EQ(ticks, 4);
    EXPECT_FALSE(e.PanelTextWM->isVisible());
    EXPECT_EQ(e.PanelTextWM->width(), 0);
    EXPECT_EQ(e.PanelBtn->geometry(), QRect(3, 3, 200, 548));
    EXPECT_EQ(e.PanelMain->geometry(), mainAtRest);

    // The image panel slides the same way and gives its OK the focus.
    e.SlideInImgPanel();
    while (e.TimerShowPanelImgWM.isActive())
        e.TimerShowPanelImgWMTimer();
    EXPECT_EQ(e.focusWidget(), e.PanelImgWM->BtnImgWMOK);
    EXPECT_EQ(e.PanelImgWM->width(), 200);
}
