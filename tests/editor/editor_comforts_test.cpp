// The editor as users of desktop programs expect it: Ctrl+Z, Ctrl+Y and Ctrl+Shift+Z for Undo
// and Redo, and a bold text watermark that is bold with the default font.

#include "common/kw_fonts.h"
#include "editor/watermark_panels.h"
#include "tests/editor/editor_fixture.h"

#include <QComboBox>

#include <vector>

namespace {

class EditorComfortsTest : public TEditorFixture {
protected:
    TFormEditORB& OpenActive(int index) {
        TFormEditORB& e = Open(index);
        e.activateWindow();
        EXPECT_TRUE(QTest::qWaitForWindowActive(&e));
        return e;
    }
    void Press(QWidget* target, Qt::Key key, Qt::KeyboardModifiers mods) {
        QTest::keyClick(target, key, mods);
    }
    QSize ShownSize() const { return {Shown().Width(), Shown().Height()}; }
};

TEST_F(EditorComfortsTest, CtrlZUndoesAndCtrlYOrCtrlShiftZRedoesWhereTheButtonsCouldBeClicked) {
    Fill(1);
    TFormEditORB& e = OpenActive(0);
    Press(e.Image1, Qt::Key_Z, Qt::ControlModifier); // nothing to undo yet
    EXPECT_EQ(e.History().Index(), 0);
    e.BtnCrop->click();
    QTest::keyClick(e.Image1, Qt::Key_Return);
    const QSize cropped = ShownSize();
    ASSERT_NE(cropped, QSize(640, 480));

    Press(e.Image1, Qt::Key_Z, Qt::ControlModifier);
    EXPECT_EQ(ShownSize(), QSize(640, 480));
    EXPECT_FALSE(e.BtnUndo->isEnabled());
    Press(e.Image1, Qt::Key_Y, Qt::ControlModifier);
    EXPECT_EQ(ShownSize(), cropped);
    Press(e.Image1, Qt::Key_Z, Qt::ControlModifier);
    Press(e.Image1, Qt::Key_Z, Qt::ControlModifier | Qt::ShiftModifier);
    EXPECT_EQ(ShownSize(), cropped);
    EXPECT_EQ(e.History().Index(), 1);

    // With the text watermark panel over the buttons the keys belong to its text field, which
    // undoes its own typing; the picture's history stays.
    e.BtnAddTextWM->click();
    while (e.TimerShowPanelTextWM.isActive())
        e.TimerShowPanelTextWMTimer();
    TTeEdit* text = e.PanelTextWM->EditText;
    text->setFocus();
    const QString before = text->text();
    QTest::keyClicks(text, QStringLiteral("!"));
    Press(text, Qt::Key_Z, Qt::ControlModifier);
    EXPECT_EQ(text->text(), before);
    Press(e.PanelTextWM->BtnTextWMOK, Qt::Key_Z, Qt::ControlModifier);
    EXPECT_EQ(e.History().Index(), 1);
    EXPECT_TRUE(e.PanelTextWM->isVisible());
}

// The widths of the runs of ink (coverage of at least half) along one row of the picture.
std::vector<std::pair<int, int>> InkRuns(const TBitmap32& picture, int y) {
    std::vector<std::pair<int, int>> runs; // start, length
    for (int x = 0; x < picture.Width(); ++x) {
        if (qRed(picture.Pixel(x, y)) < 128)
            continue;
        if (!runs.empty() && runs.back().first + runs.back().second == x)
            ++runs.back().second;
        else
            runs.push_back({x, 1});
    }
    return runs;
}

// "Bold" with the default font draws thicker strokes, not the regular ones spread apart: the
// two stems of "ll" in the live preview grow by about half, their gap does not.
TEST_F(EditorComfortsTest, BoldWithTheDefaultTahomaDrawsThickerStrokesNotWiderGaps) {
    kw::RegisterTahoma();
    QImage black(640, 480, QImage::Format_RGB32);
    black.fill(Qt::black);
    List.SetFrameSize(640, 480);
    ASSERT_TRUE(List.AddFrame(black));
    TFormEditORB& e = OpenActive(0);
    TPanelTextWM& panel = *e.PanelTextWM;
    panel.EditText->setText(QStringLiteral("ll"));
    panel.ComboBoxFontSize->setCurrentText(QStringLiteral("100"));
    panel.ColorBox->SetSelected(0xFFFFFF);
    e.BtnAddTextWM->click();
    ASSERT_EQ(panel.ComboBoxFonts->currentText(), QStringLiteral("Tahoma"));

    const auto stems = [&] {
        const auto runs = InkRuns(Shown(), Shown().Height() / 2);
        EXPECT_EQ(runs.size(), 2u);
        return runs;
    };
    const auto regular = stems();
    panel.CheckBoxBold->click();
    const auto bold = stems();
    ASSERT_EQ(regular.size(), 2u);
    ASSERT_EQ(bold.size(), 2u);
    for (int i = 0; i < 2; ++i) {
        EXPECT_GE(bold[i].second * 10, regular[i].second * 14)
            << "stem " << i << ": " << bold[i].second << " against " << regular[i].second;
        EXPECT_LE(bold[i].second * 10, regular[i].second * 25) << i;
    }
    const int regularGap = regular[1].first - (regular[0].first + regular[0].second);
    const int boldGap = bold[1].first - (bold[0].first + bold[0].second);
    EXPECT_LE(boldGap, regularGap + 2) << "bold letters stand no further apart";
}

} // namespace
