// The "Capture Frames ..." window on the real main window: its defaults (the in and out marks,
// the capture interval), each mode's frames in the grid in time order, Cancel and a full
// frame store in the middle of a capture, and the ways to open it.

#include "app/form_capture_range.h"
#include "app/unit_main.h"
#include "common/orb_common.h"
#include "controls/kw_img_btn.h"
#include "frames/frame_store.h"
#include "frames/thumbnails.h"
#include "skin/te_controls.h"
#include "tests/support/fake_desktop.h"
#include "tests/video/test_videos.h"
#include "video/filter_graph.h"

#include <QTemporaryDir>
#include <QTest>

#include <gtest/gtest.h>

#include <memory>
#include <vector>

namespace {

class CaptureRangeTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        Dir = new QTemporaryDir();
        fctest::TTestVideoSpec recipe;
        recipe.VideoCodec = QStringLiteral("mpeg4");
        recipe.Frames = 100; // 4 s at 25 fps
        recipe.Path = Dir->filePath(QStringLiteral("numbers.avi"));
        ASSERT_TRUE(fctest::MakeTestVideo(recipe));
        recipe.Fps = 30; // pictures that start between two milliseconds
        recipe.Frames = 30;
        recipe.Path = Dir->filePath(QStringLiteral("thirty.avi"));
        ASSERT_TRUE(fctest::MakeTestVideo(recipe));
        recipe.Fps = 25;
        recipe.Frames = 75;
        recipe.ShotFrames = 15;
        recipe.Path = Dir->filePath(QStringLiteral("shots.avi"));
        ASSERT_TRUE(fctest::MakeTestVideo(recipe));
    }
    static void TearDownTestSuite() {
        delete Dir;
        Dir = nullptr;
    }
    void SetUp() override {
        GlbCfg->CaptureInterval = 400;
        FForm = std::make_unique<TFormMain>();
        FForm->show();
    }
    void TearDown() override {
        FForm->CloseWithoutAsking();
        FForm.reset();
    }

    void Open(const QString& name) {
        FForm->OpenVideoFile(Dir->filePath(name));
        FForm->BtnPauseClick();
    }
    void SeekToFrame(int n) {
        FForm->FilterGraph1->SetPositions(std::int64_t(n) * 400'000 + 100'000,
                                          AM_SEEKING_AbsolutePositioning, 0,
                                          AM_SEEKING_NoPositioning);
        kw::TMemoryStream wait; // a grab waits for the seek's picture
        FForm->FilterGraph1->GrabCurrentImage(wait);
    }
    // Opens the window with Ctrl+R; `drive` works it while it is "on screen".
    void WithWindow(const std::function<void(TFormCaptureRange&)>& drive) {
        FDesktop.OnModal = [&](QDialog& dialog) {
            auto* window = dynamic_cast<TFormCaptureRange*>(&dialog);
            EXPECT_NE(window, nullptr);
            if (window)
                drive(*window);
            return dialog.result();
        };
        QTest::keyClick(FForm.get(), Qt::Key_R, Qt::ControlModifier);
        FDesktop.OnModal = nullptr;
    }
    // Clicks OK and waits for the capture's end.
    static void Run(TFormCaptureRange& w) {
        w.btn_ok->click();
        ASSERT_TRUE(w.Work().WaitForEnd());
    }
    std::vector<int> GridNumbers() const {
        std::vector<int> numbers;
        for (int i = 0; i < FForm->Thumbnails->Count(); ++i)
            numbers.push_back(fctest::FrameNumberOf(FForm->Thumbnails->FramePicture(i)));
        return numbers;
    }

    static QTemporaryDir* Dir;
    TFakeDesktop FDesktop;
    TOrbCommonUnit FUnit;
    std::unique_ptr<TFormMain> FForm;
};

QTemporaryDir* CaptureRangeTest::Dir = nullptr;

using Numbers = std::vector<int>;

TEST_F(CaptureRangeTest, EachModeFillsTheGridInTimeOrderFromTheMarkedRange) {
    Open(QStringLiteral("numbers.avi"));
    SeekToFrame(10);
    QTest::keyClick(FForm.get(), Qt::Key_I);
    SeekToFrame(30);
    QTest::keyClick(FForm.get(), Qt::Key_O);
    WithWindow([&](TFormCaptureRange& w) {
        EXPECT_EQ(w.edit_from->text(), QStringLiteral("0:00.400"));
        EXPECT_EQ(w.edit_to->text(), QStringLiteral("0:01.200"));
        EXPECT_EQ(w.edit_every->text(), QStringLiteral("400")) << "the capture interval";
        EXPECT_EQ(w.edit_count->text(), QStringLiteral("16"));
        EXPECT_TRUE(w.Rb_every->isChecked());
        Run(w);
        EXPECT_EQ(w.result(), QDialog::Accepted) << "the window closes once all are in";
    });
    EXPECT_EQ(GridNumbers(), (Numbers{10, 20, 30}));
    EXPECT_EQ(FForm->Thumbnails->FrameSource(2),
              (TFrameSource{QStringLiteral("numbers.avi"), 1200}))
        << "each frame records the picture's own time";

    // Evenly spaced over the whole video: the marks cleared by opening it again.
    Open(QStringLiteral("numbers.avi"));
    WithWindow([&](TFormCaptureRange& w) {
        EXPECT_EQ(w.edit_to->text(), QStringLiteral("0:04.000"));
        QTest::keyClicks(w.edit_count, QStringLiteral("\b\b5"));
        EXPECT_TRUE(w.Rb_count->isChecked()) << "typing a mode's number chooses it";
        Run(w);
    });
    EXPECT_EQ(GridNumbers(), (Numbers{10, 20, 30, 0, 24, 49, 74, 99}));

    Open(QStringLiteral("shots.avi"));
    WithWindow([&](TFormCaptureRange& w) {
        EXPECT_TRUE(w.Rb_count->isChecked()) << "the last mode chosen";
        w.Rb_scenes->setChecked(true);
        Run(w);
    });
    EXPECT_EQ(GridNumbers(), (Numbers{10, 20, 30, 0, 24, 49, 74, 99, 0, 15, 30, 45, 60}));
    EXPECT_TRUE(FDesktop.Messages.isEmpty());
}

// At 30 fps picture 10 starts at 333.3 ms: marks on pictures 10 and 20 make a range that
// begins and ends with those very pictures, not with the ones before them.
TEST_F(CaptureRangeTest, MarksBetweenTwoMillisecondsTakeTheMarkedPictures) {
    Open(QStringLiteral("thirty.avi"));
    const auto seekTo = [&](int n) {
        FForm->FilterGraph1->SetPositions(std::int64_t(n) * 10'000'000 / 30 + 50'000,
                                          AM_SEEKING_AbsolutePositioning, 0,
                                          AM_SEEKING_NoPositioning);
        kw::TMemoryStream wait;
        FForm->FilterGraph1->GrabCurrentImage(wait);
    };
    seekTo(10);
    QTest::keyClick(FForm.get(), Qt::Key_I);
    seekTo(20);
    QTest::keyClick(FForm.get(), Qt::Key_O);
    WithWindow([&](TFormCaptureRange& w) {
        w.Rb_count->setChecked(true);
        w.edit_count->setText(QStringLiteral("3"));
        Run(w);
    });
    EXPECT_EQ(GridNumbers(), (Numbers{10, 15, 20}));
}

// Cancel in the middle keeps the frames that came, in order, and leaves the window open and
// ready; a frame store that fills up in the middle stops the capture with its warning and
// keeps what it stored.
TEST_F(CaptureRangeTest, CancelAndAFullStoreKeepWhatWasCaptured) {
    Open(QStringLiteral("numbers.avi"));
    const auto checkGrid = [&] {
        // Every 10 ms: frame i shows picture i / 4.
        const Numbers numbers = GridNumbers();
        for (size_t i = 0; i < numbers.size(); ++i)
            EXPECT_EQ(numbers[i], int(i) / 4) << "frame " << i;
        return int(numbers.size());
    };
    const auto everyTenMs = [](TFormCaptureRange& w) {
        w.Rb_every->setChecked(true);
        w.edit_every->setText(QStringLiteral("10"));
        w.btn_ok->click();
    };
    WithWindow([&](TFormCaptureRange& w) {
        everyTenMs(w);
        ASSERT_TRUE(w.Work().Running());
        EXPECT_FALSE(w.btn_ok->isEnabled());
        EXPECT_TRUE(w.btn_cancel->isEnabled());
        ASSERT_TRUE(QTest::qWaitFor([&] { return FForm->Thumbnails->Count() >= 5; }));
        w.btn_cancel->click();
        ASSERT_TRUE(w.Work().WaitForEnd());
        EXPECT_EQ(w.result(), 0) << "still open";
        EXPECT_TRUE(w.btn_ok->isEnabled());
        EXPECT_EQ(w.ProgressBar->value(), 0);
    });
    const int kept = checkGrid();
    EXPECT_GE(kept, 5);
    EXPECT_LT(kept, 400);
    EXPECT_TRUE(FDesktop.Messages.isEmpty());

    FForm->Thumbnails->SelectAll();
    FForm->Thumbnails->DeleteSelected();
    WithWindow([&](TFormCaptureRange& w) {
        everyTenMs(w);
        ASSERT_TRUE(QTest::qWaitFor([&] {
            if (FForm->Thumbnails->Count() >= 3) // the disk at its safety margin
                FDesktop.DiskSpace = {qint64(1) << 30, qint64(10) << 30};
            return !w.Work().Running();
        }));
        EXPECT_EQ(w.result(), 0);
    });
    const int stored = checkGrid();
    EXPECT_GE(stored, 3);
    EXPECT_LT(stored, 400);
    ASSERT_EQ(FDesktop.Messages.size(), 1);
    EXPECT_EQ(FDesktop.Messages[0].Text, StoreFullText());
}

TEST_F(CaptureRangeTest, TheArrowAndCtrlROpenItForAVideoOnly) {
    QTest::keyClick(FForm.get(), Qt::Key_R, Qt::ControlModifier);
    ASSERT_EQ(FDesktop.Texts(),
              QStringList{QStringLiteral("No Video found, please open a video file first!")});
    EXPECT_TRUE(FDesktop.ModalTitles.isEmpty());
    FForm->OpenVideoFile(Dir->filePath(QStringLiteral("numbers.avi")));
    ASSERT_EQ(FForm->FilterGraph1->GetState(), 3);
    QTest::mouseClick(FForm->BtnCaptureRange, Qt::LeftButton);
    EXPECT_EQ(FDesktop.ModalTitles, QList<QString>{QStringLiteral("Capture Frames")});
    EXPECT_EQ(FForm->FilterGraph1->GetState(), 2) << "playback pauses";
    EXPECT_FALSE(FForm->BtnSnap->Down()) << "the arrow is not a click on its button";

    // A range that cannot be read is refused before anything runs.
    WithWindow([&](TFormCaptureRange& w) {
        w.edit_from->setText(QStringLiteral("0:03"));
        w.edit_to->setText(QStringLiteral("0:01.5"));
        w.btn_ok->click();
        w.edit_to->setText(QStringLiteral("1:75"));
        w.btn_ok->click();
        EXPECT_FALSE(w.Work().Running());
    });
    EXPECT_EQ(FDesktop.Texts().mid(1),
              (QStringList{QStringLiteral("From must not come after To."),
                           QStringLiteral("\"1:75\" is not a time: write minutes, seconds and "
                                          "milliseconds, as in 1:05.250.")}));
}

TEST(MediaTimeTest, ReadsTheTimesTheReadoutWritesAndShortForms) {
    const std::vector<std::pair<QString, std::int64_t>> good = {
        {"0:00.000", 0},     {"1:05.250", 65'250}, {"12:34.5", 754'500}, {"1:02:03.004", 3'723'004},
        {" 90.25 ", 90'250}, {"3", 3'000},         {"0:07", 7'000}};
    for (const auto& [text, expected] : good) {
        std::int64_t ms = -1;
        EXPECT_TRUE(ParseMediaTime(text, ms)) << text.toStdString();
        EXPECT_EQ(ms, expected) << text.toStdString();
        EXPECT_TRUE(ParseMediaTime(MediaTimeText(expected, 4'000'000), ms));
        EXPECT_EQ(ms, expected);
    }
    std::int64_t ms = 0;
    for (const char* bad :
         {"", "1:60", "1:60:00", "a:00", "1:00.1234", "1.2.3", "1::2", "-5", "1:2:3:4", "0:05."})
        EXPECT_FALSE(ParseMediaTime(QString::fromLatin1(bad), ms)) << bad;
}

} // namespace
