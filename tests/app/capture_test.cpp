// The main window with the real player: opening, play and pause, grabbing single and
// continuous frames, the end of the stream, a full frame store and the output buttons.

#include "app/unit_main.h"
#include "common/orb_common.h"
#include "controls/kw_img_btn.h"
#include "controls/kw_line_panel.h"
#include "frames/frame_store.h"
#include "frames/thumbnails.h"
#include "tests/support/fake_desktop.h"
#include "tests/video/test_videos.h"
#include "video/filter_graph.h"
#include "video/video_window.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QScrollBar>
#include <QTemporaryDir>
#include <QTest>
#include <QWheelEvent>

#include <gtest/gtest.h>

#include <memory>

namespace {

const QString Grabbing = QStringLiteral("Grabbing ... , click SNAPSHOT button again to stop");

class CaptureTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        Dir = new QTemporaryDir();
        fctest::TTestVideoSpec recipe;
        recipe.Path = Dir->path() + QStringLiteral("/clip one.avi");
        recipe.VideoCodec = QStringLiteral("mpeg4");
        recipe.Width = 320;
        recipe.Height = 240;
        recipe.Fps = 25;
        recipe.Frames = 50;
        recipe.Gop = 12;
        QString error;
        ASSERT_TRUE(fctest::MakeTestVideo(recipe, &error)) << error.toStdString();
        Video = recipe.Path;
        recipe.Path = Dir->path() + QStringLiteral("/short.mp4");
        recipe.Frames = 8;
        recipe.Width = 160;
        recipe.Height = 90;
        ASSERT_TRUE(fctest::MakeTestVideo(recipe, &error)) << error.toStdString();
        ShortVideo = recipe.Path;
    }
    static void TearDownTestSuite() {
        delete Dir;
        Dir = nullptr;
    }

    void SetUp() override {
        FForm = std::make_unique<TFormMain>();
        FForm->show();
    }
    void TearDown() override {
        FForm->close();
        FForm.reset();
    }

    void Open(const QString& path) {
        FDesktop.OpenFileAnswers.push_back(path);
        FForm->BtnOpenClick();
    }
    // Handles the grab requests waiting in the queue, as the event loop would.
    void HandleGrabs() { QCoreApplication::sendPostedEvents(FForm.get(), WM_GRABFRAME); }
    // Clicks BtnSnap as the mouse would: the button toggles, then the handler runs.
    void ClickSnap() { QTest::mouseClick(FForm->BtnSnap, Qt::LeftButton, {}, QPoint(10, 10)); }
    void SeekToFrame(int frame) {
        const std::int64_t t = std::int64_t(frame) * 10'000'000 / 25 + 200'000; // inside the frame
        FForm->FilterGraph1->SetPositions(t, AM_SEEKING_AbsolutePositioning, 0,
                                          AM_SEEKING_NoPositioning);
    }
    int FrameNumber(int index) {
        return fctest::FrameNumberOf(FForm->Thumbnails->FramePicture(index));
    }

    static QTemporaryDir* Dir;
    static QString Video;
    static QString ShortVideo;
    TFakeDesktop FDesktop;
    TOrbCommonUnit FUnit;
    std::unique_ptr<TFormMain> FForm;
};

QTemporaryDir* CaptureTest::Dir = nullptr;
QString CaptureTest::Video;
QString CaptureTest::ShortVideo;

TEST_F(CaptureTest, OpeningPlaysAndProbesTheFrameSize) {
    GlbCfg->LastVideoDir = QStringLiteral("/nowhere/videos");
    Open(Video);
    ASSERT_EQ(FDesktop.FileRequests.size(), 1);
    const kw::TFileDialogRequest& r = FDesktop.FileRequests[0];
    EXPECT_EQ(r.InitialDir, QStringLiteral("/nowhere/videos"));
    EXPECT_EQ(r.Filter, QString::fromLatin1(OpenVideoFilter));
    EXPECT_TRUE(r.Filter.startsWith(QStringLiteral("All Support Video Format|*.avi;*.av;*.asf;")));
    EXPECT_TRUE(r.Filter.endsWith(QStringLiteral("|FLV (*.flv)|*.flv|any files (*.*)|*.*")));
    EXPECT_EQ(GlbCfg->LastVideoDir, Dir->path());
    EXPECT_EQ(FForm->Thumbnails->VideoFileName, QStringLiteral("clip one.avi"));
    EXPECT_TRUE(FForm->VideoWindow->isVisible());
    EXPECT_EQ(FForm->FilterGraph1->GetState(), 3);
    EXPECT_TRUE(FForm->BtnPause->isVisible());
    EXPECT_FALSE(FForm->BtnPlay->isVisible());
    EXPECT_EQ(FForm->Thumbnails->FrameWidth(), 320);
    EXPECT_EQ(FForm->Thumbnails->FrameHeight(), 240);
    EXPECT_TRUE(FDesktop.Messages.isEmpty());

    FForm->BtnPauseClick();
    EXPECT_EQ(FForm->FilterGraph1->GetState(), 2);
    EXPECT_TRUE(FForm->BtnPlay->isVisible());
    FForm->BtnPlayClick();
    EXPECT_TRUE(FForm->BtnPause->isVisible());
}

TEST_F(CaptureTest, CancellingTheDialogChangesNothing) {
    GlbCfg->LastVideoDir = QStringLiteral("/kept");
    FForm->BtnOpenClick(); // no answer queued: the dialog is cancelled
    EXPECT_EQ(GlbCfg->LastVideoDir, QStringLiteral("/kept"));
    EXPECT_FALSE(FForm->FilterGraph1->Active());
    EXPECT_FALSE(FForm->VideoWindow->isVisible());
}

// The box names the file and says what is wrong with it; FFmpeg's own text goes under its
// details. The folders are updated all the same, and the window stays usable.
TEST_F(CaptureTest, AFileThatCannotBeOpenedIsNamedWithWhatIsWrongAndFFmpegsTextInTheDetails) {
    const QString empty = Dir->path() + QStringLiteral("/empty.avi");
    QFile(empty).open(QIODevice::WriteOnly);
    const QString subtitles = Dir->path() + QStringLiteral("/notes.mkv");
    QFile srt(subtitles);
    ASSERT_TRUE(srt.open(QIODevice::WriteOnly));
    srt.write("1\n00:00:00,000 --> 00:00:01,000\nOnly words, no pictures\n");
    srt.close();
    for (const auto& [path, text] :
         {std::pair{empty, "The file \"empty.avi\" is damaged or not a video file."},
          std::pair{subtitles, "The file \"notes.mkv\" holds no video stream."}}) {
        FDesktop.Messages.clear();
        FDesktop.OpenFileAnswers.push_back(path);
        kw::Guarded([&] { FForm->BtnOpenClick(); }); // as the button's guarded handler runs it
        ASSERT_EQ(FDesktop.Messages.size(), 1);
        const kw::TMessage& m = FDesktop.Messages[0];
        EXPECT_EQ(m.Caption, QStringLiteral("Framecatch"));
        EXPECT_EQ(m.Text, QString::fromUtf8(text)) << m.Text.toStdString();
        EXPECT_TRUE(m.Details.startsWith(path + QStringLiteral(": "))) << m.Details.toStdString();
        EXPECT_TRUE(m.Details.endsWith(QStringLiteral(").")) && m.Details.contains(" ($"))
            << "FFmpeg's text and code: " << m.Details.toStdString();
        EXPECT_EQ(GlbCfg->LastVideoDir, Dir->path());
        EXPECT_EQ(FForm->Thumbnails->VideoFileName, QFileInfo(path).fileName());
        EXPECT_FALSE(FForm->VideoWindow->isVisible());
        EXPECT_TRUE(FForm->BtnPlay->isVisible());
        EXPECT_EQ(FForm->windowTitle(), QStringLiteral("Framecatch"));
    }
    Open(Video);
    EXPECT_EQ(FForm->FilterGraph1->GetState(), 3);
    EXPECT_EQ(FForm->windowTitle(), QStringLiteral("clip one.avi - Framecatch"));
    // A file that fails after a good one takes the video's name off the title.
    FDesktop.OpenFileAnswers.push_back(empty);
    kw::Guarded([&] { FForm->BtnOpenClick(); });
    EXPECT_EQ(FForm->windowTitle(), QStringLiteral("Framecatch"));
}

TEST_F(CaptureTest, PlayBeforeAnyVideoDoesNothingVisible) {
    FForm->BtnPlayClick();
    EXPECT_TRUE(FForm->BtnPlay->isVisible());
    EXPECT_EQ(FForm->FilterGraph1->GetState(), 0);
}

TEST_F(CaptureTest, SnapshotWithoutVideoWarnsAndAddsNothing) {
    FForm->BtnSnapOClick();
    HandleGrabs();
    ASSERT_EQ(FDesktop.Messages.size(), 1);
    EXPECT_EQ(FDesktop.Messages[0].Caption, QStringLiteral("Warning"));
    EXPECT_EQ(FDesktop.Messages[0].Text,
              QStringLiteral("No Video found, please open a video file first!"));
    EXPECT_EQ(FDesktop.Messages[0].Icon, kw::TMsgIcon::Warning);
    EXPECT_EQ(FForm->Thumbnails->Count(), 0);
}

TEST_F(CaptureTest, SingleGrabsTakeThePausedPictureAndThePictureAfterASeek) {
    Open(Video);
    FForm->BtnPauseClick();
    SeekToFrame(17);
    FForm->BtnSnapOClick();
    EXPECT_EQ(FForm->Thumbnails->Count(), 0) << "the grab waits in the queue";
    HandleGrabs();
    ASSERT_EQ(FForm->Thumbnails->Count(), 1);
    EXPECT_EQ(FrameNumber(0), 17);
    const QImage frame = FForm->Thumbnails->FramePicture(0);
    EXPECT_EQ(frame.size(), QSize(320, 240));
    EXPECT_EQ(frame.format(), QImage::Format_RGB888);
    SeekToFrame(41);
    FForm->BtnSnapOClick();
    FForm->BtnSnapOClick();
    HandleGrabs();
    ASSERT_EQ(FForm->Thumbnails->Count(), 3);
    EXPECT_EQ(FrameNumber(1), 41);
    EXPECT_EQ(FrameNumber(2), 41);
}

TEST_F(CaptureTest, ContinuousCaptureGrabsOnlyWhilePlaying) {
    GlbCfg->CaptureInterval = 40;
    ClickSnap();
    EXPECT_TRUE(FForm->BtnSnap->Down());
    EXPECT_TRUE(FForm->CaptureTimer.isActive());
    EXPECT_EQ(FForm->CaptureTimer.interval(), 40);
    EXPECT_EQ(FForm->StatusText(), Grabbing);
    // Switched on before any video: ticks do nothing and say nothing.
    FForm->CaptureTimerTimer();
    HandleGrabs();
    EXPECT_EQ(FForm->Thumbnails->Count(), 0);
    EXPECT_TRUE(FDesktop.Messages.isEmpty());

    Open(Video);
    FForm->CaptureTimerTimer();
    HandleGrabs();
    EXPECT_EQ(FForm->Thumbnails->Count(), 1);
    FForm->BtnPauseClick();
    FForm->CaptureTimerTimer();
    FForm->CaptureTimerTimer();
    HandleGrabs();
    EXPECT_EQ(FForm->Thumbnails->Count(), 1) << "no frames during the pause";
    FForm->BtnPlayClick();
    FForm->CaptureTimerTimer();
    HandleGrabs();
    EXPECT_EQ(FForm->Thumbnails->Count(), 2) << "capture resumes without another click";

    ClickSnap();
    EXPECT_FALSE(FForm->BtnSnap->Down());
    EXPECT_FALSE(FForm->CaptureTimer.isActive());
    EXPECT_EQ(FForm->StatusText(), QStringLiteral("Grab one frame every 40 milliseconds, you can "
                                                  "change this interval at OPTIONS window"));
}

TEST_F(CaptureTest, IntervalZeroNeverStartsTheTimer) {
    GlbCfg->CaptureInterval = 0;
    Open(Video);
    ClickSnap();
    EXPECT_TRUE(FForm->BtnSnap->Down());
    EXPECT_FALSE(FForm->CaptureTimer.isActive());
    EXPECT_EQ(FForm->StatusText(), Grabbing);
    QTest::qWait(50);
    HandleGrabs();
    EXPECT_EQ(FForm->Thumbnails->Count(), 0);
}

TEST_F(CaptureTest, TheEndOfTheStreamReleasesContinuousCapture) {
    GlbCfg->CaptureInterval = 30;
    Open(ShortVideo);
    ClickSnap();
    ASSERT_TRUE(FForm->BtnSnap->Down());
    bool ended = false;
    QObject::connect(FForm->FilterGraph1, &TFilterGraph::OnDSEvent, FForm.get(),
                     [&](QObject*, int code, std::intptr_t, std::intptr_t) { ended |= code == 1; });
    ASSERT_TRUE(QTest::qWaitFor([&] { return ended; }, 10000));
    EXPECT_FALSE(FForm->BtnSnap->Down());
    EXPECT_FALSE(FForm->CaptureTimer.isActive());
    EXPECT_TRUE(FForm->BtnPlay->isVisible());
    EXPECT_FALSE(FForm->BtnPause->isVisible());
    // The next click switches capture on again.
    ClickSnap();
    EXPECT_TRUE(FForm->BtnSnap->Down());
    EXPECT_TRUE(FForm->CaptureTimer.isActive());
    // A single grab after the end takes the last picture.
    FForm->BtnSnapOClick();
    HandleGrabs();
    ASSERT_GE(FForm->Thumbnails->Count(), 1);
    EXPECT_EQ(FrameNumber(FForm->Thumbnails->Count() - 1), 7);
}

TEST_F(CaptureTest, TheEndOfTheStreamWithoutCaptureOnlyShowsPlay) {
    FForm->ShowPauseButton();
    FForm->FilterGraph1DSEvent(nullptr, 2, 0, 0); // other codes are ignored
    EXPECT_TRUE(FForm->BtnPause->isVisible());
    FForm->FilterGraph1DSEvent(nullptr, 1, 0, 0);
    EXPECT_TRUE(FForm->BtnPlay->isVisible());
    EXPECT_FALSE(FForm->BtnSnap->Down());
}

TEST_F(CaptureTest, OnlyOneCaptureFailureBoxAtATime) {
    // The graph is active but has no picture: every grab fails.
    FForm->FilterGraph1->SetActive(true);
    int nested = 0;
    FDesktop.OnMessage = [&](const kw::TMessage&) {
        // While the box is open its own event loop handles the grabs that arrive meanwhile.
        ++nested;
        if (nested == 1)
            HandleGrabs();
    };
    for (int i = 0; i < 3; ++i)
        FForm->BtnSnapOClick();
    HandleGrabs();
    ASSERT_EQ(FDesktop.Messages.size(), 1);
    EXPECT_EQ(FDesktop.Messages[0].Caption, QStringLiteral("Error"));
    EXPECT_EQ(FDesktop.Messages[0].Text, QStringLiteral("Capture Failure!"));
    EXPECT_EQ(FDesktop.Messages[0].Details, QStringLiteral("no file is open")) << "the cause";
    EXPECT_EQ(FDesktop.Messages[0].Icon, kw::TMsgIcon::Error);
    EXPECT_FALSE(FForm->CaptureFailureShown);
    // Once the box is closed, the next failure shows a new one.
    FForm->BtnSnapOClick();
    HandleGrabs();
    EXPECT_EQ(FDesktop.Messages.size(), 2);
}

TEST_F(CaptureTest, AFullFrameStoreStopsCaptureAndKeepsTheFrames) {
    GlbCfg->CaptureInterval = 40;
    Open(Video);
    FForm->BtnSnapOClick();
    HandleGrabs();
    ASSERT_EQ(FForm->Thumbnails->Count(), 1);
    ClickSnap();
    FDesktop.DiskSpace = {qint64(1) << 30, qint64(10) << 30}; // at the safety margin
    FForm->CaptureTimerTimer();
    FForm->CaptureTimerTimer();
    HandleGrabs();
    EXPECT_EQ(FForm->Thumbnails->Count(), 1);
    EXPECT_FALSE(FForm->BtnSnap->Down());
    EXPECT_FALSE(FForm->CaptureTimer.isActive());
    ASSERT_EQ(FDesktop.Messages.size(), 1) << "the second grab was already stopped";
    EXPECT_EQ(FDesktop.Messages[0].Caption, QStringLiteral("Warning"));
    EXPECT_EQ(FDesktop.Messages[0].Text, StoreFullText());
}

TEST_F(CaptureTest, OutputButtonsNeedFramesAndPauseThePlayback) {
    FForm->BtnSaveGIFClick();
    FForm->BtnSaveThumbClick();
    EXPECT_EQ(FDesktop.Texts(), (QStringList{QStringLiteral("No images found."),
                                             QStringLiteral("No images found.")}));
    EXPECT_EQ(FDesktop.Messages[0].Caption, QStringLiteral("Warning"));
    Open(Video);
    FForm->BtnSnapOClick();
    HandleGrabs();
    ASSERT_EQ(FForm->FilterGraph1->GetState(), 3);
    FForm->BtnSaveGIFClick();
    EXPECT_EQ(FForm->FilterGraph1->GetState(), 2);
    EXPECT_TRUE(FForm->BtnPlay->isVisible());
    EXPECT_EQ(FDesktop.Messages.size(), 2);
    FForm->BtnSaveThumbClick();
    FForm->Thumbnails->PopMenu()->ItemExport->trigger();
    EXPECT_EQ(FDesktop.ModalTitles, (QList<QString>{QStringLiteral("Save As GIF Image"),
                                                    QStringLiteral("Save As Thumbnails"),
                                                    QStringLiteral("Export captured frames")}));
}

TEST_F(CaptureTest, TheWheelScrollsTheFrameListOneLineWhereverItTurns) {
    TThumbnails* list = FForm->Thumbnails;
    list->SetFrameSize(320, 240);
    QImage frame(320, 240, QImage::Format_RGB888);
    frame.fill(Qt::darkGreen);
    for (int i = 0; i < 40; ++i)
        list->AddFrame(frame);
    list->ScrollToTop();
    QScrollBar* bar = list->verticalScrollBar();
    ASSERT_GT(bar->maximum(), 200);
    auto turn = [&](QWidget* target, int delta) {
        QWheelEvent wheel(QPointF(5, 5), target->mapToGlobal(QPointF(5, 5)), QPoint(),
                          QPoint(0, delta), Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase, false);
        QApplication::sendEvent(target, &wheel);
    };
    EXPECT_EQ(bar->value(), 0);
    turn(FForm->BtnOpen, -120);
    EXPECT_EQ(bar->value(), 64);
    turn(list->viewport(), -360); // the size of the turn does not matter
    EXPECT_EQ(bar->value(), 128);
    turn(FForm->PanelStatusbar, 120);
    EXPECT_EQ(bar->value(), 64);
}

} // namespace
