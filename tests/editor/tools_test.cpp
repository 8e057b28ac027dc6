#include "common/kw_memory.h"
#include "controls/kw_img_btn.h"
#include "controls/kw_img_panel.h"
#include "editor/resize_tool.h"
#include "editor/watermark_panels.h"
#include "graphics/rubberband_layer.h"
#include "skin/te_trackbar.h"
#include "tests/editor/editor_fixture.h"

#include <QComboBox>
#include <QLabel>
#include <QMenu>

namespace {

class ToolsTest : public TEditorFixture {
protected:
    QPointF BandCentre(const TRubberbandLayer* band) const {
        const TFloatRect& r = band->Location();
        return {(r.Left + r.Right) / 2, (r.Top + r.Bottom) / 2};
    }
    QString Xml() const { return Editor->Script().Xml(); }
    TPanelTextWM* Text() const { return Editor->PanelTextWM; }
    TPanelImgWM* Img() const { return Editor->PanelImgWM; }
    void SlideTextPanelIn() {
        while (Editor->TimerShowPanelTextWM.isActive())
            Editor->TimerShowPanelTextWMTimer();
    }
    // A setting changed as the user changes it, then the preview it draws.
    void Slide(TTeTrackBar* bar, int position) {
        bar->SetPosition(position);
        emit bar->OnChange();
    }
};

} // namespace

TEST_F(ToolsTest, CropShowsHalfThePictureCentredInAnyViewAndEnterKeepsIt) {
    Fill(1);
    // The view's width decides the picture's offset; the band lands on the picture's middle
    // whatever it is, also in an odd-sized view narrower than the picture.
    for (QSize window : {QSize(900, 580), QSize(821, 481), QSize(820, 480)}) {
        TFormEditORB& e = Open(0);
        e.setFixedSize(window);
        QApplication::processEvents();
        if (window.width() == 821) { // odd, and narrower than the picture
            EXPECT_EQ(e.Image1->width() % 2 + (e.Image1->width() < 640), 2) << e.Image1->width();
        }
        e.BtnCrop->click();
        EXPECT_EQ(Readout(), QStringLiteral("X: 160, Y: 120   Size: 320 X 240"))
            << e.Image1->width();
        EXPECT_FALSE(e.BtnCrop->isVisible());
        EXPECT_TRUE(e.ImageCrop->isVisible());
        EXPECT_EQ(e.LabelBottom3->text(),
                  QStringLiteral("Right click on image to execute crop or cancel"));
    }
    // A move against the left edge slides along it with its size; the readout follows.
    TRubberbandLayer* band = Editor->CropBand();
    Drag(BandCentre(band), BandCentre(band) + QPointF(-200, 30));
    EXPECT_EQ(Readout(), QStringLiteral("X: 0, Y: 150   Size: 320 X 240"));
    QTest::keyClick(Editor->Image1, Qt::Key_Return);
    EXPECT_FALSE(band->Visible());
    EXPECT_TRUE(Editor->BtnCrop->isVisible());
    EXPECT_TRUE(Readout().isEmpty());
    EXPECT_EQ(Rgb(Shown().Image()), Rgb(PatternFrame(0).copy(0, 150, 320, 240)));
    EXPECT_EQ(Editor->LabelBottom1->text(), QStringLiteral("Index: 0  Size: 320 X 240"));
    EXPECT_TRUE(Editor->BtnUndo->isEnabled());
    EXPECT_TRUE(Xml().contains(
        QStringLiteral("<Crop Active=\"yes\" X=\"0\" Y=\"150\" Width=\"320\" Height=\"240\"/>")));

    // The pressed picture cancels: no edit, the button back.
    Editor->BtnCrop->click();
    emit Editor->ImageCrop->Clicked();
    EXPECT_FALSE(band->Visible());
    EXPECT_TRUE(Editor->BtnCrop->isVisible());
    EXPECT_EQ(Editor->History().Count(), 2);
}

TEST_F(ToolsTest, ResizePreviewsOnTheLayerAndEscapeOrPercentBringThePictureBack) {
    Fill(1);
    TFormEditORB& e = Open(0);
    const TBitmap32 opened = Shown();
    e.BtnResize->click();
    EXPECT_TRUE(Shown().Empty()); // only the layer shows the picture now
    EXPECT_TRUE(e.ResizeLayer()->Visible());
    EXPECT_EQ(Readout(), QStringLiteral("Size: 640 X 480"));
    // The bottom-right handle dragged 100 left and 80 up, with Shift: the height leads.
    const TFloatRect& r = e.ResizeBand()->Location();
    Drag(QPointF(r.Right - 1, r.Bottom - 1), QPointF(r.Right - 101, r.Bottom - 81),
         Qt::ShiftModifier);
    EXPECT_EQ(Readout(), QStringLiteral("Size: 533 X 400"));
    QTest::keyClick(e.Image1, Qt::Key_Escape);
    EXPECT_EQ(Shown(), opened);
    EXPECT_FALSE(e.ResizeBand()->Visible());
    EXPECT_EQ(e.Script().CountActiveActions(), 0);

    // "%" while a resize is under way restores the picture first, then the menu opens.
    e.BtnResize->click();
    e.BtnResize_1->click();
    EXPECT_EQ(Shown(), opened);
    EXPECT_FALSE(e.ResizeLayer()->Visible());
    EXPECT_TRUE(e.PopupMenuResize_1->isVisible());
    EXPECT_EQ(e.PopupMenuResize_1->pos(),
              e.BtnResize_1->mapToGlobal(QPoint(e.BtnResize_1->width() + 5, 5)));
    e.PopupMenuResize_1->close();

    // Enter carries a resize out, nearest neighbour from the picture as it was.
    e.BtnResize->click();
    const TFloatRect start = e.ResizeBand()->Location();
    e.ResizeBand()->SetLocation(
        FloatRect(start.Left, start.Top, start.Left + 320, start.Top + 120));
    QTest::keyClick(&e, Qt::Key_Enter);
    EXPECT_EQ(Rgb(Shown().Image()), Rgb(TResizeAction{320, 120}.Apply(opened).Image()));
    EXPECT_TRUE(
        Xml().contains(QStringLiteral("<Resize Active=\"yes\" Width=\"320\" Height=\"120\"/>")));
}

// An edit whose result the memory cannot hold is refused with its size before it is made: the
// picture, the history and the script stay as they were, and a resize band stays up so that
// the user can make it smaller or cancel. (Repeated 200 % resizes once grew the picture until
// the system killed the program.)
TEST_F(ToolsTest, AnEditTheMemoryCannotHoldIsRefusedWithItsSize) {
    Fill(1);
    TFormEditORB& e = Open(0);
    const TBitmap32 opened = Shown();
    Desktop.AvailableMemory = kw::MemoryMargin(kw::SystemTotalMemory()) + (qint64(8) << 20);
    e.PopupMenuResize_1->actions()[5]->trigger(); // 200 %: 1280 x 960, twice 4.7 MB
    ASSERT_EQ(Desktop.Messages.size(), 1);
    EXPECT_TRUE(Desktop.Messages[0].Text.startsWith(
        QStringLiteral("Not enough memory for a picture of 1280 x 960 pixels: it needs ")))
        << Desktop.Messages[0].Text.toStdString();
    EXPECT_EQ(Shown(), opened);
    EXPECT_EQ(e.Script().CountActiveActions(), 0);
    EXPECT_EQ(e.History().Count(), 1);

    e.BtnResize->click();
    const TFloatRect start = e.ResizeBand()->Location();
    e.ResizeBand()->SetLocation(
        FloatRect(start.Left, start.Top, start.Left + 2000, start.Top + 1500));
    QTest::keyClick(&e, Qt::Key_Enter);
    EXPECT_EQ(Desktop.Messages.size(), 2);
    EXPECT_TRUE(e.ResizeBand()->Visible());
    QTest::keyClick(&e, Qt::Key_Escape);
    EXPECT_EQ(Shown(), opened);
    // What fits is done as ever.
    e.PopupMenuResize_1->actions()[1]->trigger();
    EXPECT_EQ(Shown().Width(), 320);
    EXPECT_EQ(Desktop.Messages.size(), 2);
}

TEST_F(ToolsTest, PercentResizesByTheMenuAndRefusesAStepThatLeavesNoPixels) {
    List.SetFrameSize(333, 201);
    ASSERT_TRUE(List.AddFrame(PatternFrame(0, QSize(333, 201))));
    ASSERT_TRUE(List.AddFrame(PatternFrame(1, QSize(3, 8))));
    TFormEditORB& e = Open(0);
    const QList<QAction*> items = e.PopupMenuResize_1->actions();
    items[2]->trigger(); // " 75%"
    EXPECT_EQ(e.LabelBottom1->text(), QStringLiteral("Index: 0  Size: 249 X 150"));
    items[5]->trigger(); // "200%"
    EXPECT_EQ(QSize(Shown().Width(), Shown().Height()), QSize(498, 300));
    EXPECT_EQ(e.Script().CountActiveActions(), 2);
    EXPECT_EQ(TResizeTool::Percentage(QStringLiteral("1x0%")), 100);

    // 25 % of a picture 3 pixels wide would leave none: refused, nothing recorded. (The step
    // leaves frame 0 without saving it.)
    Desktop.OnModal = [](QDialog& dialog) {
        auto& prompt = dynamic_cast<TFormChanged&>(dialog);
        prompt.RBNotSave->setChecked(true);
        prompt.BtnOK->click();
        return prompt.result();
    };
    e.BtnNextClick();
    Desktop.OnModal = nullptr;
    items[0]->trigger();
    EXPECT_EQ(Desktop.Texts(), QStringList{"The picture is too small to be resized to 25%."});
    EXPECT_EQ(Shown().Width(), 3);
    EXPECT_EQ(e.Script().CountActiveActions(), 0);
    EXPECT_EQ(e.History().Count(), 1);
}

TEST_F(ToolsTest, TextPanelPreviewsFromTheBackupAndCancelRestoresThePictureExactly) {
    Fill(1);
    TFormEditORB& e = Open(0);
    const TBitmap32 opened = Shown();
    e.BtnAddTextWM->click();
    SlideTextPanelIn();
    EXPECT_EQ(Text()->EditText->text(), QStringLiteral("Sample Text"));
    EXPECT_EQ(Text()->ComboBoxFontSize->count(), 29);
    EXPECT_EQ(Text()->ComboBoxFontSize->currentText(), QStringLiteral("16"));
    EXPECT_EQ(Text()->ColorBox->currentText(), QStringLiteral("Red"));
    EXPECT_EQ(Text()->LabelTrans->text(), QStringLiteral("180"));
    // Red "Sample Text" at 16 pt and opacity 180, centred: what the same action draws.
    TTextWMAction centred = Text()->Settings();
    EXPECT_EQ(centred.FontColor, 0xB4FF0000u);
    EXPECT_EQ(centred.Pos, (std::array<bool, 9>{false, false, false, false, true}));
    EXPECT_EQ(Shown(), centred.Apply(opened));
    EXPECT_NE(Shown(), opened);

    // Tile sets every anchor up; an anchor pressed afterwards keeps the tiling.
    Text()->Anchors[PosTL]->SetDown(true);
    Text()->CheckBoxTile->click();
    for (TKWImgBtn* anchor : Text()->Anchors)
        EXPECT_FALSE(anchor->Down());
    QTest::mouseClick(Text()->Anchors[PosBR], Qt::LeftButton);
    EXPECT_TRUE(Text()->Anchors[PosBR]->Down());
    EXPECT_TRUE(Text()->CheckBoxTile->isChecked());
    TTextWMAction tiled = Text()->Settings();
    EXPECT_TRUE(tiled.Tile);
    EXPECT_EQ(Shown(), tiled.Apply(opened));

    // Any other colour through the desktop's chooser; cancelling it keeps the one shown.
    Desktop.ColorAnswers = {0x123456, -1};
    Text()->ColorBox->ItemChosen(Text()->ColorBox->OtherIndex());
    Slide(Text()->TrackBarTrans, 255);
    EXPECT_EQ(Text()->LabelTrans->text(), QStringLiteral("255"));
    EXPECT_EQ(Text()->Settings().FontColor, 0xFF123456u);
    Text()->ColorBox->ItemChosen(Text()->ColorBox->OtherIndex());
    EXPECT_EQ(Desktop.ColorRequests, (QList<QRgb>{0xFF0000, 0x123456}));
    EXPECT_EQ(Text()->ColorBox->Selected(), 0x123456u);
    EXPECT_EQ(Shown(), Text()->Settings().Apply(opened));

    Text()->BtnTextWMCancel->click();
    EXPECT_EQ(Shown(), opened);
    EXPECT_EQ(e.Script().CountActiveActions(), 0);
    EXPECT_EQ(e.History().Count(), 1);
    EXPECT_TRUE(e.TimerHidePanelTextWM.isActive());
}

TEST_F(ToolsTest, TextOkRecordsWhatThePictureShowsEvenWithoutAnyCopy) {
    Fill(1);
    TFormEditORB& e = Open(0);
    e.BtnAddTextWM->click();
    Text()->CheckBoxBold->click();
    const TBitmap32 preview = Shown();
    Text()->BtnTextWMOK->click();
    EXPECT_EQ(Shown(), preview);
    EXPECT_EQ(e.History().Count(), 2);
    EXPECT_TRUE(Xml().contains(QStringLiteral("Bold=\"true\"")));
    EXPECT_TRUE(Xml().contains(QStringLiteral("FontColor=\"3036610560\"")));

    // No anchor down: still recorded, the picture unchanged.
    while (e.TimerHidePanelTextWM.isActive())
        e.TimerHidePanelTextWMTimer();
    e.BtnAddTextWM->click();
    Text()->Anchors[PosMM]->SetDown(false);
    Text()->CheckBoxBold->click();
    Text()->BtnTextWMOK->click();
    EXPECT_EQ(Shown(), preview);
    EXPECT_EQ(e.Script().CountActiveActions(), 2);
}

TEST_F(ToolsTest, ImageWatermarkMergesWhereItWasDraggedAndRecordsThatRectangle) {
    Fill(1);
    TFormEditORB& e = Open(0);
    QImage mark(60, 40, QImage::Format_ARGB32);
    mark.fill(qRgba(0, 0, 255, 255));
    const QString path = WritePicture(QStringLiteral("mark.png"), mark);
    e.BtnAddImgWM->click();
    Desktop.OpenFileAnswers = {path};
    Img()->BtnOpenImgFile->click();
    EXPECT_EQ(Img()->EditImgFile->text(), path);
    TRubberbandLayer* band = e.WatermarkBand();
    ASSERT_TRUE(e.WatermarkLayer()->Visible());
    EXPECT_EQ(e.WatermarkLayer()->MasterAlpha(), 80);
    const QPoint view((e.Image1->width() - 60) / 2, (e.Image1->height() - 40) / 2);
    EXPECT_EQ(band->Location(), FloatRect(QRect(view, QSize(60, 40))));

    // Dragged half off the left edge and stretched to 80 x 40.
    const QPoint off = e.Image1->Offset();
    band->SetLocation(FloatRect(off.x() - 40, off.y() + 100, off.x() + 40, off.y() + 140));
    Slide(Img()->TrackBarImgWmTrans, 200);
    EXPECT_EQ(e.WatermarkLayer()->MasterAlpha(), 200);
    const TBitmap32 before = Shown();
    e.ItemMergeWM->trigger();
    EXPECT_FALSE(e.WatermarkLayer()->Visible());
    EXPECT_TRUE(
        Xml().contains(QStringLiteral("<ImgWM Active=\"yes\" X=\"-40\" Y=\"100\" Width=\"80\" "
                                      "Height=\"40\" Alpha=\"200\" ImgWM=\"%1\"/>")
                           .arg(path)));
    for (int y = 90; y < 150; ++y)
        for (int x = 0; x < 60; ++x) {
            const QRgb b = before.Pixel(x, y);
            const bool under = x < 40 && y >= 100 && y < 140;
            const QRgb want = under ? qRgb(55 * qRed(b) / 256, 55 * qGreen(b) / 256,
                                           (200 * 255 + 55 * qBlue(b)) / 256)
                                    : b;
            ASSERT_EQ(Shown().Pixel(x, y), want) << x << "," << y;
        }

    // A file that cannot be read: the error box, and the field back on the picture shown
    // (none now, so empty) rather than on a path that was never merged.
    const QString broken = Dir.filePath(QStringLiteral("broken.png"));
    QFile(broken).open(QIODevice::WriteOnly);
    Desktop.OpenFileAnswers = {path, broken};
    Img()->BtnOpenImgFile->click();
    Img()->BtnOpenImgFile->click();
    EXPECT_EQ(Desktop.Messages.size(), 1);
    EXPECT_EQ(Img()->EditImgFile->text(), path);
    e.ItemDeleteWM->trigger();
    Desktop.OpenFileAnswers = {broken};
    Img()->BtnOpenImgFile->click();
    EXPECT_TRUE(Img()->EditImgFile->text().isEmpty());
    // OK without a picture shown records nothing more and closes the panel.
    Img()->BtnImgWMOK->click();
    EXPECT_EQ(e.Script().CountActiveActions(), 1);
    EXPECT_TRUE(e.TimerHidePanelImgWM.isActive());
}

TEST_F(ToolsTest, TheScriptFollowsUndoAndRedoAndDecidesWhetherThePromptShows) {
    Fill(1);
    TFormEditORB& e = Open(0);
    // Crop, resize, undo, image watermark: the undone resize is gone, Redo disabled.
    e.BtnCrop->click();
    QTest::keyClick(&e, Qt::Key_Return);
    e.PopupMenuResize_1->actions()[1]->trigger();
    e.BtnUndo->click();
    EXPECT_TRUE(Xml().contains(QStringLiteral("<Resize Active=\"no\"")));
    e.BtnAddImgWM->click();
    QImage mark(10, 10, QImage::Format_RGB32);
    mark.fill(Qt::white);
    Desktop.OpenFileAnswers = {WritePicture(QStringLiteral("m.png"), mark)};
    Img()->BtnOpenImgFile->click();
    Img()->BtnImgWMOK->click();
    EXPECT_FALSE(Xml().contains(QStringLiteral("Resize")));
    EXPECT_EQ(e.Script().CountActiveActions(), 2);
    EXPECT_FALSE(e.BtnRedo->isEnabled());

    // Two undos: nothing active, closing asks nothing.
    e.BtnUndo->click();
    e.BtnUndo->click();
    EXPECT_EQ(e.Script().CountActiveActions(), 0);
    EXPECT_FALSE(CloseChoosing(&TFormChanged::RBSave));
    EXPECT_TRUE(Desktop.ModalTitles.isEmpty());
}

// Stepping away from a changed frame settles it first with the prompt of the editor's
// closing: its close box cancels the step and keeps the edits; "Yes, save it" writes them into
// the frame left, "Don't save" drops them, "Repeat ..." repeats that frame's own edits on every
// frame. The frame stepped to starts its own history and edit script. (Stepping once dropped
// the edits without a word, kept the history, and let "Yes, save it" or "Repeat" write one
// frame's edits into another: this test pinned that, and now pins the prompt instead.)
TEST_F(ToolsTest, SteppingAwayFromAChangedFrameAsksFirstAndTheNextFrameStartsAfresh) {
    Fill(3);
    TFormEditORB& e = Open(0);
    TTeRadioButton* TFormChanged::*choice = nullptr; // nullptr: the prompt's close box
    int prompts = 0;
    Desktop.OnModal = [&](QDialog& dialog) {
        auto& prompt = dynamic_cast<TFormChanged&>(dialog);
        ++prompts;
        if (!choice)
            return int(QDialog::Rejected);
        (prompt.*choice)->setChecked(true);
        return PressOK(prompt);
    };
    e.PopupMenuResize_1->actions()[1]->trigger(); // 50 % of frame 0
    e.BtnNextClick();                             // closed: the step is cancelled
    EXPECT_EQ(prompts, 1);
    EXPECT_EQ(e.FrameIndex(), 0);
    EXPECT_EQ(Shown().Width(), 320);
    EXPECT_TRUE(e.BtnUndo->isEnabled());

    choice = &TFormChanged::RBSave;
    e.BtnNextClick();
    EXPECT_EQ(e.FrameIndex(), 1);
    EXPECT_EQ(List.FramePicture(0).size(), QSize(320, 240));
    EXPECT_EQ(Rgb(Shown().Image()), Rgb(PatternFrame(1)));
    EXPECT_FALSE(e.BtnUndo->isEnabled()) << "frame 0's states are not frame 1's";
    EXPECT_EQ(e.Script().CountActiveActions(), 0);

    // A crop of frame 1 undone and redone stays frame 1's own; "Don't save" drops it.
    e.BtnCrop->click();
    QTest::keyClick(&e, Qt::Key_Return);
    e.BtnUndo->click();
    EXPECT_EQ(Rgb(Shown().Image()), Rgb(PatternFrame(1)));
    EXPECT_FALSE(e.BtnUndo->isEnabled());
    e.BtnRedo->click();
    EXPECT_EQ(Shown().Width(), 320);
    choice = &TFormChanged::RBNotSave;
    e.BtnPreviousClick();
    EXPECT_EQ(e.FrameIndex(), 0);
    EXPECT_EQ(Rgb(List.FramePicture(1)), Rgb(PatternFrame(1)));

    // Repeat replays the edits of the frame on display only: its resize to 75 % (240 x 180,
    // recorded as that size), not frame 1's crop, which would have cut the frames first.
    e.PopupMenuResize_1->actions()[2]->trigger();
    choice = &TFormChanged::RBSaveAll;
    e.BtnNextClick();
    for (int n = 0; n < 3; ++n)
        EXPECT_EQ(Rgb(List.FramePicture(n)),
                  Rgb(TResizeAction{240, 180}
                          .Apply(TBitmap32::FromFrame(
                              n == 0 ? TResizeAction{320, 240}
                                           .Apply(TBitmap32::FromFrame(PatternFrame(0)))
                                           .Image()
                                     : PatternFrame(n)))
                          .Image()))
            << n;
    EXPECT_EQ(Shown().Width(), 240) << "frame 1 as the repeat left it";

    // A frame without active edits steps without asking; closing asks as before.
    const int asked = prompts;
    e.BtnNextClick();
    EXPECT_EQ(prompts, asked);
    Desktop.OnModal = nullptr;
    e.PopupMenuResize_1->actions()[0]->trigger(); // 25 % of frame 2
    ASSERT_TRUE(CloseChoosing(&TFormChanged::RBSave));
    EXPECT_EQ(List.FramePicture(2).size(), QSize(60, 45));
}
