// The main window among the desktop's habits: the question before unwritten frames are lost,
// dropped files, the command line, the keys, the time readout, a file without a picture and
// the smallest window.

#include "app/command_line.h"
#include "app/unit_main.h"
#include "common/orb_common.h"
#include "controls/kw_img_btn.h"
#include "controls/kw_line_panel.h"
#include "frames/frame_recovery.h"
#include "frames/thumbnails.h"
#include "skin/te_controls.h"
#include "tests/support/fake_desktop.h"
#include "tests/support/frame_grid.h"
#include "tests/support/journal_child_run.h"
#include "tests/support/main_window_fixture.h"
#include "tests/video/test_videos.h"
#include "video/filter_graph.h"
#include "video/te_ds_trackbar.h"
#include "video/video_window.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QMimeData>
#include <QTemporaryDir>
#include <QTest>
#include <QUrl>

#include <gtest/gtest.h>

#include <memory>

namespace {

class DesktopTest : public fctest::TMainWindowTest {
protected:
    static void SetUpTestSuite() {
        Dir = new QTemporaryDir();
        fctest::TTestVideoSpec recipe;
        recipe.Path = Dir->path() + QStringLiteral("/numbers.mp4");
        recipe.VideoCodec = QStringLiteral("mpeg4");
        recipe.Frames = 50;
        recipe.Gop = 25;
        QString error;
        ASSERT_TRUE(fctest::MakeTestVideo(recipe, &error)) << error.toStdString();
        Video = recipe.Path;
    }
    static void TearDownTestSuite() {
        delete Dir;
        Dir = nullptr;
    }

    // A key as the user presses it: to the widget with the focus.
    void PressWhereTheFocusIs(Qt::Key key) {
        QWidget* focus = QApplication::focusWidget();
        QTest::keyClick(focus ? focus : FForm.get(), key);
    }

    // The number the picture a grab takes shows.
    int GrabbedNumber() {
        FForm->BtnSnapOClick();
        QCoreApplication::sendPostedEvents(FForm.get(), WM_GRABFRAME);
        const TThumbnails& list = *FForm->Thumbnails;
        return list.Count() ? fctest::FrameNumberOf(list.FramePicture(list.Count() - 1)) : -1;
    }

    // Offers the files at a point of the window as a file manager does; true when taken.
    bool Drop(const QStringList& paths, QWidget* over) {
        QMimeData mime;
        QList<QUrl> urls;
        for (const QString& p : paths)
            urls << QUrl::fromLocalFile(p);
        mime.setUrls(urls);
        const QPoint at = over->mapTo(FForm.get(), over->rect().center());
        QDragEnterEvent enter(at, Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(FForm.get(), &enter);
        QDragMoveEvent move(at, Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(FForm.get(), &move);
        if (!enter.isAccepted() || !move.isAccepted())
            return false;
        QDropEvent drop(QPointF(at), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(FForm.get(), &drop);
        QCoreApplication::processEvents();
        return drop.isAccepted();
    }

    QString Picture(const QString& name, QColor color) {
        QImage picture(80, 60, QImage::Format_RGB32);
        picture.fill(color);
        const QString path = Dir->filePath(name);
        EXPECT_TRUE(picture.save(path));
        return path;
    }

    static QTemporaryDir* Dir;
    static QString Video;
};

QTemporaryDir* DesktopTest::Dir = nullptr;
QString DesktopTest::Video;

TEST_F(DesktopTest, QuittingAsksOnlyWhileFramesAreUnwritten) {
    TThumbnails& list = *FForm->Thumbnails;
    QImage frame(64, 48, QImage::Format_RGB888);
    frame.fill(Qt::red);
    ASSERT_TRUE(list.AddFrame(frame));
    ASSERT_TRUE(list.AddFrame(frame));
    FDesktop.Answer = kw::TMsgResult::Cancel; // No
    EXPECT_FALSE(FForm->close());
    EXPECT_TRUE(FForm->isVisible());
    ASSERT_EQ(FDesktop.Messages.size(), 1);
    EXPECT_EQ(FDesktop.Messages[0].Text,
              QStringLiteral("Quit Framecatch and discard the 2 captured frames?"));
    EXPECT_EQ(FDesktop.Messages[0].Buttons, kw::TMsgButtons::YesNo);

    // Written by an output, then one of them changed again: only that one counts.
    list.MarkWritten(list.Snapshot(TFrameChoice::All));
    ASSERT_TRUE(list.ReplaceFramePicture(1, frame));
    EXPECT_FALSE(FForm->close());
    EXPECT_EQ(FDesktop.Messages.last().Text,
              QStringLiteral("Quit Framecatch and discard the 1 captured frame?"));
    FDesktop.Answer = kw::TMsgResult::Ok; // Yes
    EXPECT_TRUE(FForm->close());
    EXPECT_EQ(FForm->FilterGraph1->Active(), false);
}

TEST_F(DesktopTest, QuittingWithEveryFrameWrittenAsksNothing) {
    EXPECT_TRUE(FForm->close()) << "no frames";
    FForm->show();
    QImage frame(64, 48, QImage::Format_RGB888);
    frame.fill(Qt::blue);
    ASSERT_TRUE(FForm->Thumbnails->AddFrame(frame));
    FForm->Thumbnails->MarkWritten(FForm->Thumbnails->Snapshot(TFrameChoice::All));
    EXPECT_TRUE(FForm->close());
    EXPECT_TRUE(FDesktop.Messages.isEmpty());
}

TEST_F(DesktopTest, TheOpenDialogOffersTheCommonContainersInItsFirstEntry) {
    FForm->BtnOpenClick(); // cancelled
    ASSERT_EQ(FDesktop.FileRequests.size(), 1);
    const QStringList entries =
        kw::QtFilterFromPairs(FDesktop.FileRequests[0].Filter).split(QStringLiteral(";;"));
    ASSERT_EQ(entries.size(), 13);
    EXPECT_TRUE(entries[0].startsWith(QStringLiteral("All Support Video Format (*.avi *.av ")));
    for (const char* ext :
         {"avi", "av",  "asf", "mov",  "rm",  "rmvb", "wmv", "mkv",  "ogg", "vob", "mpg", "mpeg",
          "flv", "mp4", "m4v", "webm", "3gp", "ts",   "mts", "m2ts", "ogv", "mxf", "divx"})
        EXPECT_TRUE(entries[0].contains(QStringLiteral("*.%1 ").arg(QLatin1String(ext))) ||
                    entries[0].contains(QStringLiteral("*.%1)").arg(QLatin1String(ext))))
            << ext;
    EXPECT_TRUE(entries[12].startsWith(QStringLiteral("any files (*.*)")));
    EXPECT_EQ(DropKindOf({QStringLiteral("/x/a.M2TS")}), TDropKind::None) << "not a file";
}

TEST_F(DesktopTest, ADroppedVideoOpensAndDroppedPicturesGoIntoTheList) {
    TThumbnails& list = *FForm->Thumbnails;
    GlbCfg->LastVideoDir = QStringLiteral("/elsewhere");
    ASSERT_TRUE(Drop({Video}, FForm->BtnAbout));
    EXPECT_EQ(GlbCfg->LastVideoDir, Dir->path());
    EXPECT_EQ(list.VideoFileName, QStringLiteral("numbers.mp4"));
    EXPECT_EQ(FForm->FilterGraph1->GetState(), 3);
    EXPECT_EQ(list.FrameWidth(), 320);
    FForm->BtnPauseClick();

    // Pictures go only onto the list: at its end with nothing selected, in file order, one
    // unreadable file named in its error while the others still go in.
    const QString a = Picture(QStringLiteral("a.png"), Qt::red);
    const QString b = Picture(QStringLiteral("b.bmp"), Qt::green);
    const QString bad = Dir->filePath(QStringLiteral("bad.jpg"));
    QFile file(bad);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write("no picture here");
    file.close();
    EXPECT_FALSE(Drop({a, b}, FForm->BtnAbout));
    EXPECT_EQ(list.Count(), 0);
    ASSERT_TRUE(Drop({a, bad, b}, &list));
    ASSERT_EQ(list.Count(), 2);
    EXPECT_EQ(list.FramePicture(0).size(), QSize(320, 240)) << "stretched to the frame size";
    EXPECT_EQ(list.FramePicture(0).pixelColor(5, 5), QColor(Qt::red));
    EXPECT_EQ(list.FramePicture(1).pixelColor(5, 5), QColor(Qt::green));
    ASSERT_EQ(FDesktop.Messages.size(), 1);
    EXPECT_TRUE(FDesktop.Messages[0].Text.contains(bad)) << FDesktop.Messages[0].Text.toStdString();

    // With a selection they go before the frame selected first.
    list.GetItem(1)->SetSelected(true);
    ASSERT_TRUE(Drop({a}, &list));
    EXPECT_EQ(list.FramePicture(1).pixelColor(5, 5), QColor(Qt::red));
    EXPECT_EQ(list.FramePicture(2).pixelColor(5, 5), QColor(Qt::green));
    // Neither a video nor pictures only: refused anywhere.
    EXPECT_FALSE(Drop({Video, a}, &list));
    EXPECT_FALSE(Drop({Dir->filePath(QStringLiteral("notes.txt"))}, &list));
}

TEST(CommandLine, OneFileHelpAndVersionAndNothingElse) {
    EXPECT_EQ(ParseCommandLine({}).Action, TCommandLine::Run);
    EXPECT_TRUE(ParseCommandLine({}).File.isEmpty());
    const TCommandLine file = ParseCommandLine({QStringLiteral("/v/holiday.mkv")});
    EXPECT_EQ(file.Action, TCommandLine::Run);
    EXPECT_EQ(file.File, QStringLiteral("/v/holiday.mkv"));
    EXPECT_EQ(ParseCommandLine({QStringLiteral("a.avi"), QStringLiteral("--help")}).Action,
              TCommandLine::Help);
    EXPECT_EQ(ParseCommandLine({QStringLiteral("--version")}).Action, TCommandLine::Version);
    EXPECT_EQ(VersionText(), QStringLiteral("Framecatch 2.0\n"));
    EXPECT_TRUE(UsageText().startsWith(QStringLiteral("Usage: framecatch [FILE]\n")));
    for (const QStringList& bad : {QStringList{QStringLiteral("--fullscreen")},
                                   QStringList{QStringLiteral("a.avi"), QStringLiteral("b.avi")}})
        EXPECT_EQ(ParseCommandLine(bad).Action, TCommandLine::Error) << bad.join(' ').toStdString();
    const TCommandLine dashed = ParseCommandLine({QStringLiteral("--"), QStringLiteral("-x.avi")});
    EXPECT_EQ(dashed.Action, TCommandLine::Run);
    EXPECT_EQ(dashed.File, QStringLiteral("-x.avi"));
}

TEST_F(DesktopTest, SpacePlaysAndPausesAndArrowsStepToTheNeighbouringFrames) {
    FDesktop.OpenFileAnswers.push_back(Video);
    QTest::keyClick(FForm.get(), Qt::Key_O, Qt::ControlModifier);
    ASSERT_EQ(FForm->FilterGraph1->GetState(), 3);
    QTest::keyClick(FForm.get(), Qt::Key_Space);
    EXPECT_EQ(FForm->FilterGraph1->GetState(), 2);
    EXPECT_TRUE(FForm->BtnPlay->isVisible());
    // To frame 30 (the second group of pictures), then steps both ways across the key frame
    // at 25, each landing on the very next or previous picture.
    FForm->FilterGraph1->SetPositions(30 * 400'000 + 200'000, AM_SEEKING_AbsolutePositioning, 0,
                                      AM_SEEKING_NoPositioning);
    ASSERT_EQ(GrabbedNumber(), 30);
    for (int expected : {29, 28, 27, 26, 25, 24, 23}) {
        QTest::keyClick(FForm.get(), Qt::Key_Left);
        EXPECT_EQ(GrabbedNumber(), expected);
    }
    for (int expected : {24, 25, 26}) {
        QTest::keyClick(FForm.get(), Qt::Key_Right);
        EXPECT_EQ(GrabbedNumber(), expected);
    }
    // Several presses before anything is drawn still count one picture each.
    for (int i = 0; i < 4; ++i)
        QTest::keyClick(FForm.get(), Qt::Key_Right);
    EXPECT_EQ(GrabbedNumber(), 30);

    // A click on the seek bar seeks and leaves the arrows to the video.
    TTeDSTrackBar* bar = FForm->TeDSTrackBar;
    QTest::mouseClick(bar, Qt::LeftButton, {}, QPoint(bar->PositionX(bar->Max() / 5), 20));
    const int clicked = GrabbedNumber();
    ASSERT_GE(clicked, 5);
    ASSERT_LE(clicked, 15);
    PressWhereTheFocusIs(Qt::Key_Left);
    EXPECT_EQ(GrabbedNumber(), clicked - 1);
    PressWhereTheFocusIs(Qt::Key_Period);
    PressWhereTheFocusIs(Qt::Key_Period);
    EXPECT_EQ(GrabbedNumber(), clicked + 1);
    // A click on a frame gives the arrows to the grid; "," and "." still step the video.
    TThumbnails& list = *FForm->Thumbnails;
    fctest::ClickCell(list, 0);
    ASSERT_TRUE(list.GetItem(0)->HasFocus());
    PressWhereTheFocusIs(Qt::Key_Right);
    EXPECT_EQ(list.FocusedItem(), list.GetItem(1)) << "Right moves in the grid";
    PressWhereTheFocusIs(Qt::Key_Comma);
    PressWhereTheFocusIs(Qt::Key_Comma);
    EXPECT_EQ(GrabbedNumber(), clicked - 1);
    QTest::keyClick(FForm.get(), Qt::Key_Space);
    EXPECT_EQ(FForm->FilterGraph1->GetState(), 3);
    EXPECT_TRUE(FForm->BtnPause->isVisible());
    QTest::keyClick(FForm.get(), Qt::Key_F1);
    ASSERT_EQ(FDesktop.Opened.size(), 1);
    EXPECT_TRUE(FDesktop.Opened[0].endsWith(QStringLiteral("index.html")));
}

TEST(TimeText, MinutesAlwaysAndHoursOnlyForLongVideos) {
    EXPECT_EQ(MediaTimeText(0, 2000), QStringLiteral("0:00.000"));
    EXPECT_EQ(MediaTimeText(61'007, 90'000), QStringLiteral("1:01.007"));
    EXPECT_EQ(MediaTimeText(754'321, 3'599'999), QStringLiteral("12:34.321"));
    EXPECT_EQ(MediaTimeText(754'321, 3'600'000), QStringLiteral("0:12:34.321"));
    EXPECT_EQ(MediaTimeText(3'723'004, 7'200'000), QStringLiteral("1:02:03.004"));
}

TEST_F(DesktopTest, TheTimeReadoutFollowsThePictureAndADragOfTheSeekBar) {
    EXPECT_TRUE(FForm->LabelTime->text().isEmpty());
    FDesktop.OpenFileAnswers.push_back(Video);
    FForm->BtnOpenClick();
    FForm->BtnPauseClick();
    FForm->FilterGraph1->SetPositions(12 * 400'000 + 100'000, AM_SEEKING_AbsolutePositioning, 0,
                                      AM_SEEKING_NoPositioning);
    ASSERT_EQ(GrabbedNumber(), 12);
    std::int64_t duration = 0;
    ASSERT_GE(FForm->FilterGraph1->GetDuration(duration), 0);
    const QString total = MediaTimeText(duration / 10000, duration / 10000);
    FForm->UpdateTimeText();
    EXPECT_EQ(FForm->LabelTime->text(), QStringLiteral("0:00.480 / ") + total);
    // Dragging the bar's thumb shows where it would seek to.
    TTeDSTrackBar* bar = FForm->TeDSTrackBar;
    bar->TimerTick();
    ASSERT_GT(bar->Max(), 0);
    const QPoint from = bar->ThumbRect().center();
    QTest::mousePress(bar, Qt::LeftButton, {}, from);
    QMouseEvent drag(QEvent::MouseMove, QPointF(bar->width() - 1, from.y()),
                     bar->mapToGlobal(QPointF(bar->width() - 1, from.y())), Qt::NoButton,
                     Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(bar, &drag);
    EXPECT_EQ(FForm->LabelTime->text(), total + QStringLiteral(" / ") + total);
    // The readout lies over the status line's right end; the layout's panels stay put.
    EXPECT_EQ(FForm->LabelTime->parentWidget(), FForm->PanelStatusbar);
    EXPECT_EQ(FForm->PanelStatusbar->geometry(), QRect(0, 558, 789, 20));
    QTest::mouseRelease(bar, Qt::LeftButton, {}, QPoint(bar->width() - 1, from.y()));
}

// The thumb follows playback at least ten times a second and shows the time of the readout,
// also for a video under a second opened after a longer one; I and O mark the picture on
// display, and a new video clears the marks.
TEST_F(DesktopTest, TheThumbAgreesWithTheReadoutAndIAndOMarkThePicture) {
    TTeDSTrackBar* bar = FForm->TeDSTrackBar;
    const auto readout = [&] { return FForm->LabelTime->text().section(QLatin1Char(' '), 0, 0); };
    const auto thumb = [&](std::int64_t durationMs) {
        return MediaTimeText(bar->PositionMs(durationMs), durationMs);
    };
    FForm->OpenVideoFile(Video);
    EXPECT_LE(bar->Timer().interval(), 100);
    ASSERT_TRUE(QTest::qWaitFor([&] { return bar->Position() > 300; }, 5000));
    EXPECT_EQ(readout(), thumb(2000)) << "while playing";
    FForm->BtnPauseClick();
    FForm->FilterGraph1->SetPositions(33 * 400'000 + 100'000, AM_SEEKING_AbsolutePositioning, 0,
                                      AM_SEEKING_NoPositioning);
    ASSERT_EQ(GrabbedNumber(), 33);
    QTest::keyClick(FForm.get(), Qt::Key_O);
    FForm->FilterGraph1->SetPositions(12 * 400'000, AM_SEEKING_AbsolutePositioning, 0,
                                      AM_SEEKING_NoPositioning);
    ASSERT_EQ(GrabbedNumber(), 12);
    QTest::keyClick(FForm.get(), Qt::Key_I);
    EXPECT_EQ(FForm->InMark(), 480);
    EXPECT_EQ(FForm->OutMark(), 1320);
    EXPECT_EQ(bar->InMark(), 480);
    EXPECT_EQ(bar->OutMark(), 1320);
    // An out mark before the in mark replaces the in mark.
    FForm->FilterGraph1->SetPositions(5 * 400'000, AM_SEEKING_AbsolutePositioning, 0,
                                      AM_SEEKING_NoPositioning);
    ASSERT_EQ(GrabbedNumber(), 5);
    QTest::keyClick(FForm.get(), Qt::Key_O);
    EXPECT_EQ(FForm->InMark(), -1);
    EXPECT_EQ(FForm->OutMark(), 200);

    fctest::TTestVideoSpec recipe;
    recipe.Path = Dir->filePath(QStringLiteral("blink.avi"));
    recipe.VideoCodec = QStringLiteral("mpeg4");
    recipe.Frames = 15; // 0.6 s
    ASSERT_TRUE(fctest::MakeTestVideo(recipe));
    FForm->OpenVideoFile(recipe.Path);
    EXPECT_EQ(FForm->OutMark(), -1);
    EXPECT_EQ(bar->OutMark(), -1);
    FForm->BtnPauseClick();
    FForm->FilterGraph1->SetPositions(10 * 400'000 + 100'000, AM_SEEKING_AbsolutePositioning, 0,
                                      AM_SEEKING_NoPositioning);
    ASSERT_EQ(GrabbedNumber(), 10);
    FForm->UpdateTimeText();
    EXPECT_EQ(FForm->LabelTime->text(), QStringLiteral("0:00.400 / 0:00.600"));
    EXPECT_EQ(bar->Max(), 600);
    EXPECT_EQ(thumb(600), QStringLiteral("0:00.400"));
}

TEST_F(DesktopTest, AFileWithSoundButNoPictureIsRefusedWithAWarning) {
    fctest::TTestVideoSpec recipe;
    recipe.Path = Dir->filePath(QStringLiteral("talk.mpg"));
    recipe.AudioCodec = QStringLiteral("mp2");
    recipe.AudioSeconds = 1;
    QString error;
    ASSERT_TRUE(fctest::MakeTestVideo(recipe, &error)) << error.toStdString();
    FDesktop.OpenFileAnswers.push_back(Video);
    FForm->BtnOpenClick();
    FDesktop.OpenFileAnswers.push_back(recipe.Path);
    FForm->BtnOpenClick();
    ASSERT_EQ(FDesktop.Messages.size(), 1);
    EXPECT_EQ(FDesktop.Messages[0].Text,
              QStringLiteral("This file has no video picture: frames cannot be grabbed from it."));
    EXPECT_EQ(FDesktop.Messages[0].Icon, kw::TMsgIcon::Warning);
    EXPECT_EQ(FForm->FilterGraph1->GetState(), 0) << "nothing plays";
    EXPECT_TRUE(FForm->BtnPlay->isVisible());
    EXPECT_EQ(FForm->TeDSTrackBar->Position(), 0);
    EXPECT_TRUE(FForm->LabelTime->text().isEmpty());
    FForm->BtnSnapOClick();
    EXPECT_EQ(FDesktop.Messages.last().Text,
              QStringLiteral("No Video found, please open a video file first!"));
}

TEST_F(DesktopTest, TheSmallestWindowKeepsTheButtonsAndOneColumnAfterThePreviewWidens) {
    FDesktop.OpenFileAnswers.push_back(Video); // 320 x 240: cells of 101 x 76
    FForm->BtnOpenClick();
    FForm->resize(1300, 1000); // room for a 4:3 preview of the wider panel
    QApplication::processEvents();
    // Drag the splitter 500 pixels to the right.
    TTeSplitter* splitter = FForm->TeSplitter;
    QTest::mousePress(splitter, Qt::LeftButton, {}, QPoint(3, 100));
    QMouseEvent move(QEvent::MouseMove, QPointF(503, 100), splitter->mapToGlobal(QPointF(503, 100)),
                     Qt::NoButton, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(splitter, &move);
    QTest::mouseRelease(splitter, Qt::LeftButton, {}, QPoint(503, 100));
    QApplication::processEvents();
    ASSERT_EQ(FForm->PanelLeft->width(), 804);
    ASSERT_EQ(FForm->PanelVideo->height(), 804 * 3 / 4); // grew into the room below
    FForm->resize(1, 1);                                 // as small as it goes
    QApplication::processEvents();
    const QSize least = FForm->minimumSize();
    EXPECT_EQ(FForm->size(), least);
    EXPECT_GT(least.width(), 804 + 101 + 30);
    EXPECT_GT(least.height(), 603 + 310);
    // Every large button whole inside its panel, below the preview.
    for (QWidget* b : {FForm->BtnSnapO, FForm->BtnAbout})
        EXPECT_TRUE(FForm->PanelBtn->rect().contains(b->geometry()))
            << b->objectName().toStdString();
    // One whole column of tiles in the list.
    QImage frame(320, 240, QImage::Format_RGB888);
    frame.fill(Qt::gray);
    ASSERT_TRUE(FForm->Thumbnails->AddFrame(frame));
    ASSERT_TRUE(FForm->Thumbnails->AddFrame(frame));
    const QRect tile = FForm->Thumbnails->CellRect(1);
    EXPECT_GE(tile.left(), 0);
    EXPECT_LE(tile.right(), FForm->Thumbnails->ClientWidth() - 1);
}

} // namespace

TEST_F(DesktopTest, AGrabRecordsTheVideoAndThePicturesTimeAndTheTileShowsThem) {
    FDesktop.OpenFileAnswers.push_back(Video);
    QTest::keyClick(FForm.get(), Qt::Key_O, Qt::ControlModifier);
    QTest::keyClick(FForm.get(), Qt::Key_Space);
    // Into frame 30 (shown from 1.200 s to 1.240 s): the record names the picture's time.
    FForm->FilterGraph1->SetPositions(30 * 400'000 + 200'000, AM_SEEKING_AbsolutePositioning, 0,
                                      AM_SEEKING_NoPositioning);
    ASSERT_EQ(GrabbedNumber(), 30);
    const TThumbnails& list = *FForm->Thumbnails;
    EXPECT_EQ(list.FrameSource(0), (TFrameSource{QStringLiteral("numbers.mp4"), 1200}));
    EXPECT_EQ(list.GetItem(0)->ToolTipText(), QStringLiteral("numbers.mp4 at 0:01.200"));
}

TEST_F(DesktopTest, AfterACrashTheStartAsksAndYesPutsTheFramesBackInOrderAsUnwritten) {
    for (const bool yes : {false, true}) {
        SCOPED_TRACE(yes ? "Yes" : "No");
        QTemporaryDir home;
        const fctest::TJournalChild child =
            fctest::RunJournalChild(home, QStringLiteral("edit-delete-move"));
        TFrameRecovery recovery(child.Folder);
        FDesktop.Answer = yes ? kw::TMsgResult::Ok : kw::TMsgResult::Cancel;
        FForm->OfferRestore(recovery);
        ASSERT_FALSE(FDesktop.Messages.isEmpty());
        EXPECT_EQ(FDesktop.Messages.last().Text,
                  QStringLiteral("Framecatch closed unexpectedly. Restore the 5 frames captured "
                                 "before it closed?"));
        EXPECT_EQ(FDesktop.Messages.last().Buttons, kw::TMsgButtons::YesNo);
        EXPECT_TRUE(QDir(child.Folder).entryList(QDir::Files).isEmpty()) << "removed either way";
        const TThumbnails& list = *FForm->Thumbnails;
        if (!yes) {
            EXPECT_EQ(list.Count(), 0);
            continue;
        }
        ASSERT_EQ(list.Count(), 5);
        for (int i = 0; i < 5; ++i)
            EXPECT_EQ(list.FrameSource(i).TimeMs, child.Order[i]);
        EXPECT_EQ(list.UnwrittenCount(), 5);
        EXPECT_EQ(list.GetItem(0)->ToolTipText(), QStringLiteral("phone.mp4 at 0:00.200"));
    }
}
