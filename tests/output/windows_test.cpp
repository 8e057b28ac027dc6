// The three output windows on a real frame list, with the desktop faked: what they propose,
// what they write, and how they behave while an output runs and when it fails.

#include "codecs/picture_writer.h"
#include "common/kw_filesize.h"
#include "common/kw_paths.h"
#include "common/orb_common.h"
#include "controls/kw_line_panel.h"
#include "output/form_export_frames.h"
#include "output/frame_pick_view.h"
#include "output/preview_page.h"
#include "output/save_gif.h"
#include "output/save_thumb.h"
#include "skin/te_controls.h"
#include "skin/te_trackbar.h"
#include "tests/codecs/anim_reader.h"
#include "tests/codecs/gif_reader.h"
#include "tests/frames/frames_fixture.h"
#include "tests/support/test_data.h"

#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QTemporaryDir>

#include <optional>

namespace {

class OutputWindowsTest : public TFramesTest {
protected:
    TOrbCommonUnit FUnit;
    QTemporaryDir Dir;
    QString Path(const QString& name) const { return Dir.filePath(name); }

    // Each test gets a temporary folder of its own, so that tests running side by side never
    // see each other's files there.
    void SetUp() override {
        FSavedTmp =
            qEnvironmentVariableIsSet("TMPDIR") ? std::optional(qgetenv("TMPDIR")) : std::nullopt;
        qputenv("TMPDIR", Dir.path().toLocal8Bit());
        TFramesTest::SetUp();
    }
    void TearDown() override {
        if (FSavedTmp)
            qputenv("TMPDIR", *FSavedTmp);
        else
            qunsetenv("TMPDIR");
    }
    std::optional<QByteArray> FSavedTmp;

    // Shown and active, so that typing reaches the fields.
    void Show(QDialog& dialog) {
        dialog.show();
        dialog.activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(&dialog));
    }
};

// --- Export ------------------------------------------------------------------------------

// A fresh account may have no desktop folder (nor a pictures folder): the export proposes the
// desktop where it exists, else the pictures folder, else the home folder, so that the first
// OK works. (The desktop's path was proposed whether or not it existed, and the first OK
// failed with "No such file or directory".)
TEST_F(OutputWindowsTest, ExportProposesAFolderThatExists) {
    Fill(1);
    const QString home = QDir::homePath();
    ASSERT_FALSE(QFileInfo::exists(home + QStringLiteral("/Desktop")));
    auto proposed = [&] {
        TFormExportFrames form(&List, nullptr);
        form.show();
        return form.EditOutputFolder->text();
    };
    EXPECT_EQ(proposed(), home);
    {
        TFormExportFrames form(&List, nullptr);
        form.show();
        Desktop.FolderAnswers.clear();
        form.BtnOKClick();
        EXPECT_TRUE(form.Export().WaitForEnd());
        EXPECT_EQ(Desktop.Texts(), QStringList{QStringLiteral("Task completed !")});
        EXPECT_TRUE(QFileInfo::exists(home + QStringLiteral("/1.jpg")));
    }
    ASSERT_TRUE(QDir(home).mkdir(QStringLiteral("Pictures")));
    EXPECT_EQ(proposed(), home + QStringLiteral("/Pictures"));
    ASSERT_TRUE(QDir(home).mkdir(QStringLiteral("Desktop")));
    EXPECT_EQ(proposed(), home + QStringLiteral("/Desktop"));
    for (const char* folder : {"Desktop", "Pictures"})
        QDir(home + QLatin1Char('/') + QLatin1String(folder)).removeRecursively();
    QFile::remove(home + QStringLiteral("/1.jpg"));
}

TEST_F(OutputWindowsTest, ExportProposesTheVideosNameAndWritesNumberedFilesAtTheChosenQuality) {
    Fill(3);
    for (const auto& [video, base] :
         {std::pair{"beach.avi", "beach-"}, std::pair{"clip.part1.avi", "clip.part1-"},
          std::pair{"", ""}}) {
        List.VideoFileName = QString::fromLatin1(video);
        TFormExportFrames form(&List, nullptr);
        form.show();
        EXPECT_EQ(form.EditFileName->text(), QString::fromLatin1(base));
        EXPECT_EQ(form.EditOutputFolder->text(), kw::DefaultPicturesDir());
    }
    List.VideoFileName = QStringLiteral("beach.avi");
    TFormExportFrames form(&List, nullptr);
    Show(form);
    EXPECT_EQ(form.windowTitle(), QStringLiteral("Export captured frames"));
    EXPECT_EQ(form.EditFileCount->text(), QStringLiteral("1"));
    EXPECT_EQ(form.CBFileFormat->currentText(), QStringLiteral("JPG"));
    EXPECT_EQ(form.LabelQuality->text(), QStringLiteral("9"));
    Desktop.FolderAnswers = {QString(), Dir.path()}; // cancelled first: nothing changes
    form.BtnOutFolderClick();
    EXPECT_EQ(form.EditOutputFolder->text(), kw::DefaultPicturesDir());
    form.BtnOutFolderClick();
    EXPECT_EQ(form.EditOutputFolder->text(), Dir.path());

    form.BtnOK->click();
    EXPECT_TRUE(form.Export().WaitForEnd());
    EXPECT_EQ(Desktop.Texts(), QStringList{QStringLiteral("Task completed !")});
    EXPECT_EQ(Desktop.Messages[0].Caption, QStringLiteral("Done"));
    for (int n = 0; n < 3; ++n)
        EXPECT_EQ(fctest::ReadAll(Path(QStringLiteral("beach-%1.jpg").arg(n + 1))),
                  codecs::EncodePicture(MakeFrame(n), codecs::TPictureFormat::Jpg, 90));
    for (const int position : {5, 10}) {
        form.TrackBarQuality->SetPosition(position);
        EXPECT_EQ(form.LabelQuality->text(), QString::number(position));
        form.BtnOK->click();
        EXPECT_TRUE(form.Export().WaitForEnd());
        EXPECT_EQ(fctest::ReadAll(Path(QStringLiteral("beach-1.jpg"))),
                  codecs::EncodePicture(MakeFrame(0), codecs::TPictureFormat::Jpg, 10 * position))
            << "overwritten silently at quality " << 10 * position;
    }
    for (int i = 1; i <= 3; ++i) {
        form.CBFileFormat->setCurrentIndex(i);
        EXPECT_FALSE(form.PanelJPGQuality->isVisible()) << i;
    }
    form.CBFileFormat->setCurrentIndex(0);
    EXPECT_TRUE(form.PanelJPGQuality->isVisible());

    form.EditFileCount->setFocus();
    QTest::keyClicks(form.EditFileCount, QStringLiteral("2x"));
    EXPECT_EQ(form.EditFileCount->text(), QStringLiteral("12"));
    EXPECT_EQ(Desktop.Beeps, 1);
    EXPECT_EQ(Desktop.Texts().last(), QStringLiteral("Error input, only accept integer!"));
}

TEST_F(OutputWindowsTest, ExportNumbersFromTheStartFieldInSelectionOrderWithTheProgressBar) {
    Fill(6);
    Select({4, 1, 3});
    TFormExportFrames form(&List, nullptr);
    form.show();
    form.EditOutputFolder->setText(Dir.path());
    form.EditFileName->setText(QStringLiteral("f"));
    form.CBFileFormat->setCurrentText(QStringLiteral("PNG"));
    form.RBSelect->setChecked(true);
    QList<int> shown;
    QObject::connect(form.TeProgressBar, &QProgressBar::valueChanged, [&](int v) { shown << v; });
    for (const auto& [typed, first] :
         {std::pair{"007", 7}, std::pair{"", 0}, std::pair{"2147483648", 0}}) {
        QDir(Dir.path()).removeRecursively();
        QDir().mkpath(Dir.path());
        shown.clear();
        form.EditFileCount->setText(QString::fromLatin1(typed));
        form.BtnOK->click();
        EXPECT_TRUE(form.Export().WaitForEnd());
        EXPECT_EQ(QDir(Dir.path()).entryList(QDir::Files).size(), 3) << typed;
        const int order[] = {4, 1, 3};
        for (int i = 0; i < 3; ++i) {
            const QImage written(Path(QStringLiteral("f%1.png").arg(first + i)));
            ASSERT_FALSE(written.isNull()) << typed << " " << i;
            EXPECT_EQ(written.pixel(5, 5), FrameColor(order[i]).rgb()) << typed << " " << i;
        }
        EXPECT_EQ(form.TeProgressBar->maximum(), 2);
        ASSERT_FALSE(shown.isEmpty());
        EXPECT_EQ(shown.takeLast(), 0) << "back to 0 at the end";
        EXPECT_EQ(shown.last(), 2) << "the last frame was shown";
    }
}

TEST_F(OutputWindowsTest, ExportStopsAtAFileThatCannotBeWrittenAndWritesNothingAfterIt) {
    Fill(3);
    ASSERT_TRUE(QDir(Dir.path()).mkdir(QStringLiteral("x-2.bmp"))); // a folder in the way
    TFormExportFrames form(&List, nullptr);
    form.show();
    form.EditOutputFolder->setText(Dir.path());
    form.EditFileName->setText(QStringLiteral("x-"));
    form.CBFileFormat->setCurrentText(QStringLiteral("BMP"));
    form.BtnOK->click();
    EXPECT_TRUE(form.Export().WaitForEnd());
    ASSERT_EQ(Desktop.Messages.size(), 1) << "no \"Task completed !\"";
    EXPECT_EQ(Desktop.Messages[0].Caption, QStringLiteral("Framecatch"));
    EXPECT_TRUE(Desktop.Messages[0].Text.contains(Path(QStringLiteral("x-2.bmp"))));
    EXPECT_TRUE(QFile::exists(Path(QStringLiteral("x-1.bmp"))));
    EXPECT_FALSE(QFile::exists(Path(QStringLiteral("x-3.bmp"))));
    EXPECT_TRUE(form.BtnOK->isEnabled());
    EXPECT_TRUE(form.BtnCancel->isEnabled());
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);
}

// Cancel while the export runs: it stops after the file being written, every file written
// so far is whole and marked, none after it is begun, and the window is as before.
TEST_F(OutputWindowsTest, CancelStopsTheExportLeavingOnlyWholeFilesMarkedWritten) {
    Fill(80);
    TFormExportFrames form(&List, nullptr);
    form.show();
    form.EditOutputFolder->setText(Dir.path());
    form.EditFileName->setText(QStringLiteral("c-"));
    form.CBFileFormat->setCurrentText(QStringLiteral("PNG"));
    bool cancelWorked = false;
    QObject::connect(form.TeProgressBar, &QProgressBar::valueChanged, [&](int v) {
        if (v > 0 && form.Export().Running() && !form.Export().CancelRequested()) {
            cancelWorked = !form.BtnOK->isEnabled() && form.BtnCancel->isEnabled();
            form.BtnCancel->click();
        }
    });
    form.BtnOK->click();
    EXPECT_TRUE(form.Export().WaitForEnd());
    EXPECT_TRUE(cancelWorked);
    EXPECT_TRUE(form.isVisible()) << "Cancel during the export does not close the window";
    EXPECT_TRUE(Desktop.Messages.isEmpty()) << "no \"Task completed !\"";
    const QStringList files = QDir(Dir.path()).entryList(QDir::Files | QDir::Hidden);
    const int k = int(files.size());
    EXPECT_GT(k, 0);
    EXPECT_LT(k, 80);
    for (int i = 0; i < 80; ++i) {
        const QString name = QStringLiteral("c-%1.png").arg(i + 1);
        EXPECT_EQ(files.contains(name), i < k) << name.toStdString();
        if (i < k) {
            EXPECT_EQ(QImage(Path(name)).pixel(5, 5), FrameColor(i).rgb()) << i;
        }
        EXPECT_EQ(List.GetItem(i)->Written(), i < k) << i;
    }
    EXPECT_EQ(form.TeProgressBar->Position(), 0);
    EXPECT_TRUE(form.BtnOK->isEnabled());
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);
    form.BtnCancel->click();
    EXPECT_FALSE(form.isVisible()) << "Cancel with no export running closes the window";
}

// --- Thumbnail sheet ---------------------------------------------------------------------

TEST_F(OutputWindowsTest, SheetChecksBeforeItsFileDialogAndAppendsTheChosenEntrysExtension) {
    Fill(6);
    TFormSaveThumb form(&List, nullptr);
    form.show();
    form.Rb_selected->setChecked(true);
    form.btn_save->click();
    EXPECT_TRUE(form.Sheet().WaitForEnd());
    EXPECT_EQ(Desktop.Texts(), QStringList{QStringLiteral("No images found.")});
    form.TeEdit_columns->clear();
    form.btn_save->click();
    EXPECT_TRUE(form.Sheet().WaitForEnd());
    EXPECT_EQ(Desktop.Texts().last(), QStringLiteral("'' is not a valid integer value."));
    EXPECT_TRUE(Desktop.FileRequests.isEmpty()) << "both before the file dialog";

    Select({4, 1, 3});
    form.TeEdit_columns->setText(QStringLiteral("4"));
    Desktop.SaveFileAnswers = {{Path(QStringLiteral("sheet.JPG")), 1},
                               {Path(QStringLiteral("sheet.png")), 1},
                               {Path(QStringLiteral("sheet")), 2}};
    for (int i = 0; i < 3; ++i) {
        form.btn_save->click();
        EXPECT_TRUE(form.Sheet().WaitForEnd());
    }
    EXPECT_EQ(Desktop.FileRequests[0].Filter,
              QStringLiteral("JPEG Image File (*.jpg)|*.jpg|Bitmaps (*.bmp)|*.bmp"));
    EXPECT_TRUE(Desktop.FileRequests[0].InitialDir.isEmpty());
    EXPECT_EQ(Desktop.Opened,
              (QStringList{Path(QStringLiteral("sheet.JPG")), Path(QStringLiteral("sheet.png.jpg")),
                           Path(QStringLiteral("sheet.bmp"))}));
    const QImage bmp(Path(QStringLiteral("sheet.bmp")));
    ASSERT_EQ(bmp.size(), QSize(600, 453));
    EXPECT_EQ(bmp.pixel(10, 10), FrameColor(4).rgb()) << "cells in selection order";
    EXPECT_EQ(bmp.pixel(160, 10), FrameColor(1).rgb());
    EXPECT_EQ(bmp.pixel(310, 10), FrameColor(3).rgb());
    EXPECT_EQ(bmp.pixel(460, 10), qRgb(255, 255, 255));
    EXPECT_EQ(form.ProgressBar1->value(), 0);

    form.TeEdit_columns->setText(QStringLiteral("0"));
    Desktop.SaveFileAnswers = {{Path(QStringLiteral("zero.jpg")), 1}};
    form.btn_save->click();
    EXPECT_TRUE(form.Sheet().WaitForEnd());
    EXPECT_EQ(Desktop.Texts().last(), QStringLiteral("Division by zero."));
    EXPECT_FALSE(QFile::exists(Path(QStringLiteral("zero.jpg"))));
    EXPECT_TRUE(form.btn_save->isEnabled());
}

// "Show times" and "Header" start off ("Header" only to be had with a video open); checked,
// the sheet of two video frames and one picture file keeps its width and cells and grows by
// the header, with times over the video frames only.
TEST_F(OutputWindowsTest, SheetWritesTimesAndAHeaderWhenAskedTo) {
    List.SetFrameSize(640, 480);
    ASSERT_TRUE(List.AddFrame(MakeFrame(0), TFrameSource{QStringLiteral("clip.mp4"), 1500}));
    ASSERT_TRUE(List.AddFrame(MakeFrame(1), TFrameSource{QStringLiteral("photo.png"), -1}));
    ASSERT_TRUE(List.AddFrame(MakeFrame(2), TFrameSource{QStringLiteral("clip.mp4"), 65432}));
    TFormSaveThumb form(&List, nullptr);
    form.show();
    EXPECT_FALSE(form.CheckBoxTimes->isChecked());
    EXPECT_FALSE(form.CheckBoxHeader->isChecked());
    EXPECT_FALSE(form.CheckBoxHeader->isEnabled());
    form.TeEdit_rows->setText(QStringLiteral("1"));
    form.TeEdit_columns->setText(QStringLiteral("3"));
    Desktop.SaveFileAnswers = {{Path(QStringLiteral("plain.bmp")), 2}};
    form.btn_save->click();
    ASSERT_TRUE(form.Sheet().WaitForEnd());
    const QImage plain(Path(QStringLiteral("plain.bmp")));

    output::TSheetVideo video;
    video.FileName = QStringLiteral("clip.mp4");
    video.Size = QSize(640, 480);
    form.SetVideo(video);
    ASSERT_TRUE(form.CheckBoxHeader->isEnabled());
    form.CheckBoxTimes->setChecked(true);
    form.CheckBoxHeader->setChecked(true);
    Desktop.SaveFileAnswers = {{Path(QStringLiteral("told.bmp")), 2}};
    form.btn_save->click();
    ASSERT_TRUE(form.Sheet().WaitForEnd());
    EXPECT_TRUE(Desktop.Messages.isEmpty()) << Desktop.Texts().join('|').toStdString();
    const QImage told(Path(QStringLiteral("told.bmp")));
    const output::TSheetGeometry g = output::ThumbSheetGeometry(600, 1, 3, 640, 480, 5, true);
    ASSERT_EQ(told.size(), QSize(600, plain.height() + g.Header));
    const auto cellOf = [&](const QImage& sheet, int i, int shift) {
        return sheet.copy(g.Cell(i).translated(0, shift));
    };
    EXPECT_EQ(cellOf(told, 1, 0), cellOf(plain, 1, -g.Header)) << "no time on a picture file";
    for (int i : {0, 2})
        EXPECT_NE(cellOf(told, i, 0), cellOf(plain, i, -g.Header)) << i;
    bool dark = false;
    for (int x = 5; x < 300 && !dark; ++x)
        dark = qGray(told.pixel(x, 5 + g.HeaderLine() / 2)) < 100;
    EXPECT_TRUE(dark) << "the file name on the first line";
}

// Cancel while the sheet is drawn: no file is written, one already at the path stays as it
// was, nothing is opened or marked written, and the window is as before.
TEST_F(OutputWindowsTest, CancelWhileTheSheetIsDrawnLeavesAnExistingFileUntouched) {
    Fill(150);
    const QString path = Path(QStringLiteral("keep.jpg"));
    const QByteArray before("an older sheet");
    {
        QFile old(path);
        ASSERT_TRUE(old.open(QIODevice::WriteOnly));
        old.write(before);
    }
    TFormSaveThumb form(&List, nullptr);
    form.show();
    form.TeEdit_imgw->setText(QStringLiteral("6000"));
    form.TeEdit_rows->setText(QStringLiteral("15"));
    form.TeEdit_columns->setText(QStringLiteral("10"));
    Desktop.SaveFileAnswers = {{path, 1}};
    form.btn_save->click();
    EXPECT_FALSE(form.btn_save->isEnabled());
    EXPECT_TRUE(form.btn_cancel->isEnabled());
    form.btn_cancel->click();
    EXPECT_TRUE(form.Sheet().WaitForEnd());
    EXPECT_TRUE(form.isVisible());
    EXPECT_EQ(fctest::ReadAll(path), before);
    EXPECT_EQ(QDir(Dir.path()).entryList(QDir::Files | QDir::Hidden), QStringList{"keep.jpg"});
    EXPECT_TRUE(Desktop.Opened.isEmpty());
    EXPECT_TRUE(Desktop.Messages.isEmpty());
    EXPECT_EQ(List.UnwrittenCount(), 150);
    EXPECT_EQ(form.ProgressBar1->value(), 0);
    EXPECT_TRUE(form.btn_save->isEnabled());
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);
}

TEST_F(OutputWindowsTest, EveryOutputCountsTheFramesItWroteAsWritten) {
    Fill(5);
    EXPECT_EQ(List.UnwrittenCount(), 5);
    ASSERT_TRUE(QDir(Dir.path()).mkdir(QStringLiteral("x-2.bmp"))); // the second file fails
    TFormExportFrames form(&List, nullptr);
    form.show();
    form.EditOutputFolder->setText(Dir.path());
    form.EditFileName->setText(QStringLiteral("x-"));
    form.CBFileFormat->setCurrentText(QStringLiteral("BMP"));
    form.BtnOK->click();
    EXPECT_TRUE(form.Export().WaitForEnd());
    EXPECT_EQ(List.UnwrittenCount(), 4) << "a failed export writes off its whole files only";
    EXPECT_TRUE(List.GetItem(0)->Written());
    Select({3, 1});
    form.RBSelect->setChecked(true);
    form.EditFileName->setText(QStringLiteral("y-"));
    form.BtnOK->click();
    EXPECT_TRUE(form.Export().WaitForEnd());
    EXPECT_EQ(List.UnwrittenCount(), 2);

    // A sheet of one row of two holds the first two frames only.
    TFormSaveThumb sheet(&List, nullptr);
    sheet.show();
    sheet.TeEdit_rows->setText(QStringLiteral("1"));
    sheet.TeEdit_columns->setText(QStringLiteral("2"));
    Desktop.SaveFileAnswers = {{Path(QStringLiteral("sheet.jpg")), 1}};
    sheet.btn_save->click();
    EXPECT_TRUE(sheet.Sheet().WaitForEnd());
    ASSERT_TRUE(QFile::exists(Path(QStringLiteral("sheet.jpg"))));
    EXPECT_EQ(List.UnwrittenCount(), 2); // frames 2 and 4

    // An animated GIF of the selected frames 4 and 2.
    Select({4, 2});
    codecs::TGifSettings gif;
    gif.Width = gif.Height = 16;
    output::SaveAsGIF(List, Path(QStringLiteral("two.gif")), false, gif, nullptr);
    ASSERT_TRUE(QFile::exists(Path(QStringLiteral("two.gif"))));
    EXPECT_EQ(List.UnwrittenCount(), 0);
    ASSERT_TRUE(List.ReplaceFramePicture(0, MakeFrame(9)));
    EXPECT_EQ(List.UnwrittenCount(), 1) << "a changed frame is unwritten again";
}

// Outputs mark the frames they wrote by identity: a frame moved while the output ran counts as
// written wherever it went, one replaced meanwhile does not (its new pixels were not written),
// and one deleted meanwhile takes nothing with it.
TEST_F(OutputWindowsTest, OutputsMarkTheFramesTheyWroteByIdentity) {
    Fill(5);
    TTeProgressBar bar;
    bool changed = false;
    QObject::connect(&bar, &QProgressBar::valueChanged, [&](int value) {
        if (changed || value < 1)
            return;
        changed = true; // while the GIF is being written, the user works on in the list
        List.MoveItemToFirst(T[4]->Index());
        List.ClearSelection();
        T[3]->SetSelected(true);
        List.DeleteSelected();
        ASSERT_TRUE(List.ReplaceFramePicture(T[1]->Index(), MakeFrame(9)));
    });
    codecs::TGifSettings gif;
    gif.Width = gif.Height = 16;
    output::SaveAsGIF(List, Path(QStringLiteral("all.gif")), true, gif, &bar);
    ASSERT_TRUE(changed);
    EXPECT_EQ(DecodeGif(fctest::ReadAll(Path(QStringLiteral("all.gif")))).size(), 5u);
    EXPECT_EQ(Order(), (std::vector<int>{4, 0, 1, 2}));
    EXPECT_TRUE(T[4]->Written()) << "moved: written wherever it is";
    EXPECT_TRUE(T[0]->Written());
    EXPECT_FALSE(T[1]->Written()) << "replaced after the output took it";
    EXPECT_EQ(List.UnwrittenCount(), 1);
    EXPECT_EQ(List.IndexOf(List.FrameId(0)), 0);
    EXPECT_EQ(List.FrameId(0), T[4]->Id());
    EXPECT_NE(T[0]->Id(), T[4]->Id());
}

// --- Animated GIF ------------------------------------------------------------------------

TEST_F(OutputWindowsTest, GifSizeFieldsKeepTheVideosProportionsOnlyWhereTheUserTypes) {
    Fill(2);
    TFormSaveGIF form(&List, nullptr);
    Show(form);
    EXPECT_EQ(form.Edit_width->text(), QStringLiteral("640"));
    EXPECT_EQ(form.Edit_Height->text(), QStringLiteral("480"));
    auto type = [&](QLineEdit* field, const char* text) {
        field->setFocus();
        field->selectAll();
        QTest::keyClicks(field, QString::fromLatin1(text));
    };
    type(form.Edit_width, "320");
    EXPECT_EQ(form.Edit_Height->text(), QStringLiteral("240"));
    // The video's proportions, not the first frame's: halves go to the even neighbour.
    List.SetFrameSize(640, 360);
    type(form.Edit_width, "8");
    EXPECT_EQ(form.Edit_Height->text(), QStringLiteral("4"));
    type(form.Edit_width, "24");
    EXPECT_EQ(form.Edit_Height->text(), QStringLiteral("14"));
    type(form.Edit_Height, "90");
    EXPECT_EQ(form.Edit_width->text(), QStringLiteral("160"));
    form.CheckBoxCP->setChecked(false);
    EXPECT_FALSE(form.ImageCP->isVisible());
    type(form.Edit_width, "100");
    EXPECT_EQ(form.Edit_Height->text(), QStringLiteral("90"));
    form.CheckBoxCP->setChecked(true);
    EXPECT_TRUE(form.ImageCP->isVisible());
    List.SetFrameSize(0, 0);
    type(form.Edit_width, "5");
    EXPECT_TRUE(form.Edit_width->text().isEmpty()) << "no proportions to keep";
}

TEST_F(OutputWindowsTest, GifColourPickerFollowsHoldsAndLetsGo) {
    Fill(1);
    TFormSaveGIF form(&List, nullptr);
    Show(form);
    QRgb screen = qRgb(10, 20, 30);
    Desktop.ScreenPixel = [&](QPoint) { return screen; };
    auto colour = [&] { return form.PanelTransColor->Color().rgb(); };
    form.TimerColorPickerTimer();
    EXPECT_EQ(colour(), TFormSaveGIF::Silver) << "off: the timer changes nothing";

    form.CheckBoxTransColor->setChecked(true); // following
    EXPECT_TRUE(form.TimerColorPicker.isActive());
    form.TimerColorPickerTimer();
    EXPECT_EQ(colour(), screen);
    EXPECT_EQ(form.LastMousePos(), QCursor::pos());

    QTest::keyClick(form.Edit_width, Qt::Key_F12); // held
    EXPECT_FALSE(form.TimerColorPicker.isActive());
    EXPECT_TRUE(form.isVisible());

    screen = qRgb(200, 100, 0);
    QTest::mouseClick(form.PanelTransColor, Qt::LeftButton); // following again
    EXPECT_TRUE(form.TimerColorPicker.isActive());
    form.TimerColorPickerTimer();
    EXPECT_EQ(colour(), screen);

    form.CheckBoxTransColor->setChecked(false); // off
    EXPECT_EQ(colour(), TFormSaveGIF::Silver);
    form.TimerColorPickerTimer();
    EXPECT_EQ(colour(), TFormSaveGIF::Silver);
    QTest::mouseClick(form.PanelTransColor, Qt::LeftButton);
    QTest::keyClick(form.Edit_width, Qt::Key_F12);
    EXPECT_EQ(colour(), TFormSaveGIF::Silver);
}

TEST_F(OutputWindowsTest, GifWritesTheFileAndItsPageWhileTheWindowIsBusyThenOffersThePage) {
    Fill(3);
    TFormSaveGIF form(&List, nullptr);
    form.show();
    GlbCfg->LastGIFDir = QStringLiteral("/earlier/folder");
    form.Rb_selected->setChecked(true);
    Desktop.SaveFileAnswers = {{Path(QStringLiteral("anim.jpg")), 1}};
    form.Btn_Save->click();
    EXPECT_TRUE(form.Gif().WaitForEnd());
    EXPECT_EQ(Desktop.FileRequests[0].InitialDir, QStringLiteral("/earlier/folder"));
    EXPECT_TRUE(
        Desktop.FileRequests[0].Filter.startsWith(QStringLiteral("GIF Image (*.gif)|*.gif|")));
    EXPECT_EQ(Desktop.FileRequests[0].FilterIndex, 1) << "GIF unless another type is chosen";
    EXPECT_EQ(Desktop.Texts(), QStringList{QStringLiteral("No images found.")});
    EXPECT_EQ(GlbCfg->LastGIFDir, Dir.path()) << "stored before the frames were looked at";
    EXPECT_TRUE(QDir(Dir.path()).isEmpty());

    form.Rb_allframes->setChecked(true);
    form.Edit_width->setText(QStringLiteral("64"));
    form.Edit_Height->setText(QStringLiteral("48"));
    form.edit_loops->setText(QStringLiteral("3"));
    bool busyDuringQuestion = false;
    Desktop.OnMessage = [&](const kw::TMessage& m) {
        if (m.Caption != QStringLiteral("Complete"))
            return;
        busyDuringQuestion = !form.Btn_Save->isEnabled() && !form.Btn_Cancel->isEnabled() &&
                             QApplication::overrideCursor() && !form.close() && form.isVisible();
    };
    Desktop.Messages.clear();
    Desktop.SaveFileAnswers = {{Path(QStringLiteral("anim.jpg")), 1},
                               {Path(QStringLiteral("second.GIF")), 1}};
    form.Btn_Save->click();
    EXPECT_TRUE(form.Gif().WaitForEnd());
    ASSERT_EQ(Desktop.Texts(),
              QStringList{QStringLiteral(
                  "Task completed! Click [OK] to check it or click [Cancel] to return.")});
    EXPECT_EQ(Desktop.Messages[0].Buttons, kw::TMsgButtons::OkCancel);
    EXPECT_TRUE(busyDuringQuestion);
    EXPECT_TRUE(form.Btn_Save->isEnabled());
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);
    EXPECT_EQ(form.ProgressBar1->value(), 0);
    EXPECT_EQ(Desktop.Opened, QStringList{output::GifPreviewPagePath()});
    const QByteArray gif = fctest::ReadAll(Path(QStringLiteral("anim.jpg.gif")));
    const auto frames = DecodeGif(gif);
    ASSERT_EQ(frames.size(), 3u);
    EXPECT_EQ(frames[0].Width, 64);
    const QStringList page = QString::fromUtf8(fctest::ReadAll(output::GifPreviewPagePath()))
                                 .split(QStringLiteral("\r\n"));
    EXPECT_TRUE(page.value(20).contains(Path(QStringLiteral("anim.jpg.gif"))));
    EXPECT_TRUE(page.value(24).contains(kw::FileSizeText(gif.size())));
    EXPECT_TRUE(page.value(36).contains(QStringLiteral(">3 times"))) << "loops as entered";
    EXPECT_TRUE(page.value(40).contains(QStringLiteral(">3<")));

    Desktop.Answer = kw::TMsgResult::Cancel;
    form.Btn_Save->click();
    EXPECT_TRUE(form.Gif().WaitForEnd());
    EXPECT_TRUE(QFile::exists(Path(QStringLiteral("second.GIF"))));
    EXPECT_EQ(Desktop.Opened.size(), 1) << "Cancel opens nothing";
}

TEST_F(OutputWindowsTest, GifThatCannotBeWrittenReportsTheErrorAndMakesNoPage) {
    Fill(2);
    QFile::remove(output::GifPreviewPagePath());
    TFormSaveGIF form(&List, nullptr);
    form.show();
    form.Edit_width->setText(QStringLiteral("32"));
    form.Edit_Height->setText(QStringLiteral("24"));
    Desktop.SaveFileAnswers = {{Path(QStringLiteral("no/such/folder/a.gif")), 1}};
    form.Btn_Save->click();
    EXPECT_TRUE(form.Gif().WaitForEnd());
    ASSERT_EQ(Desktop.Messages.size(), 1);
    EXPECT_EQ(Desktop.Messages[0].Caption, QStringLiteral("Framecatch"));
    EXPECT_TRUE(Desktop.Messages[0].Text.contains(QStringLiteral("a.gif")));
    EXPECT_FALSE(QFile::exists(output::GifPreviewPagePath()));
    EXPECT_TRUE(form.Btn_Save->isEnabled());
    EXPECT_TRUE(form.Btn_Cancel->isEnabled());
    EXPECT_TRUE(Desktop.Opened.isEmpty());
}

} // namespace

TEST_F(OutputWindowsTest, GifColourChoiceSmallerFileAndSizeEstimate) {
    Fill(4);
    {
        TFormSaveGIF form(&List, nullptr);
        form.show();
        EXPECT_EQ(form.ComboBoxQuality->currentText(), QStringLiteral("Standard"));
        EXPECT_FALSE(form.CheckBoxSmaller->isChecked());
        EXPECT_EQ(form.CheckBoxGray->geometry(), QRect(12, 156, 210, 20)) << "nothing moved";
        EXPECT_EQ(form.CheckBoxTransColor->geometry(), QRect(12, 184, 141, 20));
        form.ComboBoxQuality->setCurrentIndex(1);
        form.CheckBoxSmaller->setChecked(true);
        form.CheckBoxTransColor->setChecked(true);
        EXPECT_FALSE(form.CheckBoxSmaller->isChecked());
        EXPECT_FALSE(form.CheckBoxSmaller->isEnabled()) << "the two need the same entry";
        form.CheckBoxTransColor->setChecked(false);
        form.CheckBoxSmaller->setChecked(true);
        form.Edit_width->setText(QStringLiteral("64"));
        form.Edit_Height->setText(QStringLiteral("48"));

        // The estimate runs on a worker; its result arrives through the event loop.
        form.EstimateTimerTimer();
        form.WaitForEstimate();
        QCoreApplication::processEvents();
        const QString text = form.LabelEstimate->text();
        ASSERT_TRUE(text.startsWith(QStringLiteral("Estimated size: "))) << text.toStdString();

        // Four frames are all encoded, so the estimate is the file's size.
        const codecs::TGifSettings settings = form.Settings();
        EXPECT_TRUE(settings.Smaller);
        EXPECT_EQ(settings.Quality, codecs::TGifQuality::Best);
        codecs::TAnimatedGif gif(settings);
        const TFrameSnapshot frames = List.Snapshot(TFrameChoice::All);
        for (int i = 0; i < frames.Count(); ++i)
            gif.AddFrame(frames.Picture(i));
        gif.Finish();
        EXPECT_EQ(text, QStringLiteral("Estimated size: ") + kw::FileSizeText(gif.Size()));
        form.EstimateTimerTimer(); // a window closed while estimating cancels its worker
    }
    TFormSaveGIF again(&List, nullptr);
    EXPECT_EQ(again.ComboBoxQuality->currentText(), QStringLiteral("Best quality"))
        << "kept while the program runs";
    again.ComboBoxQuality->setCurrentIndex(0);
}

// A setting changed while an estimate runs starts the next one at once: the older is
// cancelled, and only the newest estimate's result reaches the label.
TEST_F(OutputWindowsTest, ANewerGifEstimateReplacesTheOneRunning) {
    Fill(4);
    TFormSaveGIF form(&List, nullptr);
    form.show();
    form.CheckBoxCP->setChecked(false);
    form.ComboBoxQuality->setCurrentIndex(1);
    form.EstimateTimerTimer(); // 640 x 480 at best quality: still running below
    form.Edit_width->setText(QStringLiteral("64"));
    form.Edit_Height->setText(QStringLiteral("48"));
    form.EstimateTimerTimer();
    form.WaitForEstimate();
    QTest::qWait(50); // a result of the older estimate, were it not dropped, would come now
    codecs::TAnimatedGif gif(form.Settings());
    for (int i = 0; i < 4; ++i)
        gif.AddFrame(List.FramePicture(i));
    gif.Finish();
    EXPECT_EQ(form.LabelEstimate->text(),
              QStringLiteral("Estimated size: ") + kw::FileSizeText(gif.Size()));
    form.ComboBoxQuality->setCurrentIndex(0);
}

// Cancel while the GIF is built: no file is written, one already at the path stays as it
// was, nothing is marked written or offered, and the window is as before.
TEST_F(OutputWindowsTest, CancelWhileTheGifIsBuiltLeavesAnExistingFileUntouched) {
    Fill(120);
    const QString path = Path(QStringLiteral("keep.gif"));
    const QByteArray before("an older animation");
    {
        QFile old(path);
        ASSERT_TRUE(old.open(QIODevice::WriteOnly));
        old.write(before);
    }
    TFormSaveGIF form(&List, nullptr);
    form.show();
    Desktop.SaveFileAnswers = {{path, 1}};
    form.Btn_Save->click();
    EXPECT_FALSE(form.Btn_Save->isEnabled());
    EXPECT_TRUE(form.Btn_Cancel->isEnabled());
    QTest::keyClick(&form, Qt::Key_Escape);
    form.close();
    EXPECT_TRUE(form.isVisible()) << "no close while the GIF is built";
    form.Btn_Cancel->click();
    EXPECT_TRUE(form.Gif().WaitForEnd());
    EXPECT_TRUE(form.isVisible());
    EXPECT_EQ(fctest::ReadAll(path), before);
    EXPECT_EQ(QDir(Dir.path()).entryList(QDir::Files | QDir::Hidden), QStringList{"keep.gif"});
    EXPECT_TRUE(Desktop.Messages.isEmpty());
    EXPECT_EQ(List.UnwrittenCount(), 120);
    EXPECT_EQ(form.ProgressBar1->value(), 0);
    EXPECT_TRUE(form.Btn_Save->isEnabled());
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);
}

// The other file types: chosen in the save dialog (the window's type follows), written from the
// frames with the window's size, delay, loops and quality, the page showing each in its
// element, and an estimate for each.
TEST_F(OutputWindowsTest, GifWindowWritesTheTypeChosenInTheSaveDialog) {
    Fill(4);
    TFormSaveGIF form(&List, nullptr);
    form.show();
    form.Edit_width->setText(QStringLiteral("64"));
    form.Edit_Height->setText(QStringLiteral("48"));
    form.edit_delay->setText(QStringLiteral("200"));
    form.edit_loops->setText(QStringLiteral("2"));
    EXPECT_EQ(form.Format(), codecs::TAnimFormat::Gif);
    EXPECT_FALSE(form.EditAnimQuality->isEnabled());

    const QString webp = Path(QStringLiteral("clip"));
    Desktop.SaveFileAnswers = {{webp, 2}};
    form.Btn_Save->click();
    ASSERT_TRUE(form.Gif().WaitForEnd());
    EXPECT_EQ(form.ComboBoxFormat->currentText(), QStringLiteral("Animated WebP"));
    EXPECT_EQ(form.EditAnimQuality->text(), QStringLiteral("77")) << "the measured default";
    EXPECT_FALSE(form.ComboBoxQuality->isEnabled()) << "the GIF's colours are the GIF's";
    TAnimRead read = ReadAnimation(webp + QStringLiteral(".webp"));
    ASSERT_TRUE(read.Ok);
    EXPECT_EQ(read.Frames.size(), 4u);
    EXPECT_EQ(QSize(read.Width, read.Height), QSize(64, 48));
    EXPECT_EQ(read.Frames[1].StartMs, 200);
    EXPECT_EQ(read.Loops, 2);
    QStringList page = QString::fromUtf8(fctest::ReadAll(output::GifPreviewPagePath()))
                           .split(QStringLiteral("\r\n"));
    EXPECT_TRUE(page.value(15).contains(QStringLiteral("<img src=\"file:///")))
        << page.value(15).toStdString();
    EXPECT_TRUE(page.value(15).contains(QStringLiteral("clip.webp")));

    // Video: no loops and no transparent colour, its own quality; the page plays a <video>.
    form.ComboBoxFormat->setCurrentIndex(3);
    EXPECT_FALSE(form.edit_loops->isEnabled());
    EXPECT_FALSE(form.CheckBoxTransColor->isEnabled());
    EXPECT_EQ(form.EditAnimQuality->text(), QStringLiteral("20"));
    form.EditAnimQuality->setText(QStringLiteral("30"));
    emit form.EditAnimQuality->textEdited(form.EditAnimQuality->text());
    form.EstimateTimerTimer();
    form.WaitForEstimate();
    QCoreApplication::processEvents();
    EXPECT_TRUE(form.LabelEstimate->text().startsWith(QStringLiteral("Estimated size: ")))
        << form.LabelEstimate->text().toStdString();
    const QString mp4 = Path(QStringLiteral("clip.MP4"));
    Desktop.SaveFileAnswers = {{mp4, 4}};
    form.Btn_Save->click();
    ASSERT_TRUE(form.Gif().WaitForEnd());
    read = ReadAnimation(mp4);
    ASSERT_TRUE(read.Ok);
    EXPECT_EQ(read.Frames.size(), 4u);
    EXPECT_EQ(read.Frames[3].StartMs, 600);
    page = QString::fromUtf8(fctest::ReadAll(output::GifPreviewPagePath()))
               .split(QStringLiteral("\r\n"));
    EXPECT_TRUE(page.value(15).contains(QStringLiteral("<video src=\"file:///")));
    EXPECT_TRUE(page.value(15).contains(QStringLiteral("clip.MP4\" autoplay loop muted controls")));
    EXPECT_TRUE(page.value(36).contains(QStringLiteral(">0 times"))) << "a video has no count";
    EXPECT_EQ(form.AnimSettings().Quality, 30);

    // The quality typed is kept for the next window; GIF is its type again.
    TFormSaveGIF again(&List, nullptr);
    EXPECT_EQ(again.Format(), codecs::TAnimFormat::Gif);
    again.ComboBoxFormat->setCurrentIndex(3);
    EXPECT_EQ(again.EditAnimQuality->text(), QStringLiteral("30"));
    again.EditAnimQuality->setText(QStringLiteral("20"));
    emit again.EditAnimQuality->textEdited(again.EditAnimQuality->text());
}

// The desktop's picker where there is one; a screen that cannot be read never gives black.
TEST_F(OutputWindowsTest, GifColourPickerAsksTheDesktopAndNeverShowsAnUnreadScreenAsBlack) {
    Fill(1);
    TFormSaveGIF form(&List, nullptr);
    Show(form);
    auto colour = [&] { return form.PanelTransColor->Color().rgb(); };
    std::function<void(int, QRgb)> answer;
    Desktop.PickScreenColor = [&](std::function<void(int, QRgb)> done) { answer = done; };
    form.CheckBoxTransColor->setChecked(true);
    ASSERT_TRUE(answer);
    EXPECT_FALSE(form.TimerColorPicker.isActive()) << "the desktop picks, not the pointer";
    answer(0, qRgb(1, 2, 3));
    EXPECT_EQ(colour(), qRgb(1, 2, 3));
    QTest::mouseClick(form.PanelTransColor, Qt::LeftButton); // again, then cancelled
    answer(1, 0);
    EXPECT_EQ(colour(), qRgb(1, 2, 3));
    EXPECT_FALSE(form.TimerColorPicker.isActive());

    // No desktop picker, and the screen cannot be read: the colour stays and the window says so.
    Desktop.PickScreenColor = [](std::function<void(int, QRgb)> done) { done(2, 0); };
    Desktop.ScreenPixel = [](QPoint) { return std::optional<QRgb>(); };
    QTest::mouseClick(form.PanelTransColor, Qt::LeftButton);
    EXPECT_TRUE(form.TimerColorPicker.isActive());
    form.TimerColorPickerTimer();
    EXPECT_EQ(colour(), qRgb(1, 2, 3));
    EXPECT_FALSE(form.TimerColorPicker.isActive());
    EXPECT_EQ(Desktop.Texts(),
              QStringList{QStringLiteral("The screen could not be read, so no color was picked "
                                         "from it.")});
    form.CheckBoxTransColor->setChecked(false);
    answer(0, qRgb(9, 9, 9)); // a late answer after unchecking changes nothing
    EXPECT_EQ(colour(), TFormSaveGIF::Silver);

    // In every session: a click on the first frame picks the frame's own pixel there.
    const QImage first = List.Snapshot(TFrameChoice::All).Picture(0);
    const QRect shown = form.FirstFramePick->Shown();
    ASSERT_FALSE(shown.isEmpty());
    const QPoint click = shown.topLeft() + QPoint(shown.width() * 3 / 4, shown.height() / 3);
    const auto pixel = output::PickedPixel(first.size(), shown, click);
    ASSERT_TRUE(pixel);
    // Within one shown pixel of the same place in the frame.
    EXPECT_NEAR(pixel->x(), first.width() * 3 / 4, first.width() / shown.width() + 1);
    EXPECT_NEAR(pixel->y(), first.height() / 3, first.height() / shown.height() + 1);
    QTest::mouseClick(form.FirstFramePick, Qt::LeftButton, {}, click);
    EXPECT_TRUE(form.CheckBoxTransColor->isChecked());
    EXPECT_EQ(colour(), first.pixel(*pixel));
    EXPECT_FALSE(form.TimerColorPicker.isActive());
    EXPECT_FALSE(output::PickedPixel(first.size(), shown, shown.topLeft() - QPoint(1, 0)));
}
