// The main window's small comforts: tooltips on the buttons that show only a picture, and the
// status line after a thumbnail sheet that could not hold every frame.

#include "app/unit_main.h"
#include "common/orb_common.h"
#include "controls/kw_img_btn.h"
#include "frames/thumbnails.h"
#include "output/save_thumb.h"
#include "skin/te_controls.h"
#include "tests/support/fake_desktop.h"
#include "tests/support/main_window_fixture.h"

#include <QHelpEvent>
#include <QTemporaryDir>
#include <QTest>
#include <QToolTip>

#include <gtest/gtest.h>

#include <memory>

namespace {

class ComfortsTest : public fctest::TMainWindowTest {
protected:
    void AddFrames(int count) {
        QImage frame(64, 48, QImage::Format_RGB888);
        frame.fill(Qt::darkCyan);
        FForm->Thumbnails->SetFrameSize(64, 48); // as a video's first picture would set it
        for (int i = 0; i < count; ++i)
            ASSERT_TRUE(FForm->Thumbnails->AddFrame(frame));
    }

    QTemporaryDir FDir;
};

// The pointer resting on a button asks for its tooltip as the platform does.
QString ToolTipShownFor(QWidget* button) {
    const QPoint at(button->width() / 2, button->height() / 2);
    QHelpEvent help(QEvent::ToolTip, at, button->mapToGlobal(at));
    QApplication::sendEvent(button, &help);
    const QString text = QToolTip::isVisible() ? QToolTip::text() : QString();
    QToolTip::hideText();
    return text;
}

TEST_F(ComfortsTest, ButtonsWithOnlyAPictureSayWhatTheyDoBesideThePointer) {
    const std::pair<TKWImgBtn*, const char*> buttons[] = {
        {FForm->BtnOpen, "Open a video file (Ctrl+O)"},
        {FForm->BtnPlay, "Play (Space)"},
        {FForm->BtnSaveGIF, "Save as an animated GIF"},
        {FForm->BtnSaveThumb, "Save as a thumbnail sheet"},
    };
    for (const auto& [button, text] : buttons)
        EXPECT_EQ(ToolTipShownFor(button), QString::fromLatin1(text))
            << button->objectName().toStdString();
    FForm->ShowPauseButton();
    EXPECT_EQ(ToolTipShownFor(FForm->BtnPause), QStringLiteral("Pause (Space)"));
}

// Through the sheet window: 6 frames on a 2 x 2 sheet leave 2 out, and the status line says
// so; a sheet that holds them all clears it; one left out is said in the singular.
TEST_F(ComfortsTest, TheStatusLineSaysHowManyFramesASheetLeftOut) {
    AddFrames(6);
    int saves = 0;
    FDesktop.OnModal = [&](QDialog& dialog) {
        auto* sheet = dynamic_cast<TFormSaveThumb*>(&dialog);
        if (!sheet)
            return int(QDialog::Rejected);
        for (const auto& [rows, columns, status] :
             {std::tuple{"2", "2", "2 frames were left out: the sheet has room for 4 (2 x 2)"},
              std::tuple{"2", "3", ""},
              std::tuple{"1", "5", "1 frame was left out: the sheet has room for 5 (1 x 5)"}}) {
            sheet->TeEdit_rows->setText(QString::fromLatin1(rows));
            sheet->TeEdit_columns->setText(QString::fromLatin1(columns));
            FDesktop.SaveFileAnswers.push_back({FDir.filePath(QStringLiteral("sheet.jpg")), 1});
            sheet->btn_save->click();
            EXPECT_TRUE(sheet->Sheet().WaitForEnd());
            ++saves;
            EXPECT_EQ(FForm->StatusText(), QString::fromLatin1(status)) << rows << " x " << columns;
        }
        return int(QDialog::Rejected);
    };
    FForm->BtnSaveThumbClick();
    EXPECT_EQ(saves, 3);
    EXPECT_EQ(FDesktop.Opened.size(), 3) << "each sheet was written and opened";
    EXPECT_TRUE(FDesktop.Messages.isEmpty()) << FDesktop.Texts().join('|').toStdString();
}

} // namespace
