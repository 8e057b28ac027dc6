// The skin slider's rules and the seek bar: follow ticks, tracking, release-to-seek, the
// clock-change rule and the short-video Max rule. Ticks are driven directly.

#include "tests/video/test_videos.h"
#include "video/te_ds_trackbar.h"

#include <QTemporaryDir>
#include <QTest>

#include <gtest/gtest.h>

namespace {

TEST(TeTrackBarTest, MinMaxAndPositionRules) {
    TTeTrackBar bar;
    EXPECT_EQ(bar.Min(), 0);
    EXPECT_EQ(bar.Max(), 10);
    EXPECT_EQ(bar.Position(), 3);
    bar.SetMax(0); // not above Min: ignored
    EXPECT_EQ(bar.Max(), 10);
    bar.SetMin(10); // not below Max: ignored
    EXPECT_EQ(bar.Min(), 0);
    bar.SetPosition(25);
    EXPECT_EQ(bar.Position(), 10);
    bar.SetPosition(-4);
    EXPECT_EQ(bar.Position(), 0);
    bar.SetPosition(8);
    bar.SetMax(5); // Position follows into the new range
    EXPECT_EQ(bar.Position(), 5);
    bar.SetMin(-3);
    EXPECT_EQ(bar.Min(), -3);
}

TEST(TeTrackBarTest, ClicksKeysAndDragging) {
    TTeTrackBar bar;
    bar.resize(192, 40);
    bar.SetMax(100);
    bar.SetPosition(0);
    // Without JumpByClick a click steps by the page size towards it.
    QTest::mouseClick(&bar, Qt::LeftButton, {}, QPoint(150, 20));
    EXPECT_EQ(bar.Position(), 2);
    bar.SetJumpByClick(true);
    QTest::mousePress(&bar, Qt::LeftButton, {}, QPoint(bar.width() / 2, 20));
    EXPECT_NEAR(bar.Position(), 50, 1);
    QMouseEvent move(QEvent::MouseMove, QPointF(bar.width() - 5, 20), QPointF(), Qt::NoButton,
                     Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(&bar, &move);
    EXPECT_EQ(bar.Position(), 100);
    QTest::mouseRelease(&bar, Qt::LeftButton, {}, QPoint(bar.width() - 5, 20));
    EXPECT_FALSE(bar.Dragging());
    bar.SetPosition(50);
    QTest::keyClick(&bar, Qt::Key_PageUp);
    EXPECT_EQ(bar.Position(), 48);
    QTest::keyClick(&bar, Qt::Key_Right);
    EXPECT_EQ(bar.Position(), 49);
    QTest::keyClick(&bar, Qt::Key_End);
    EXPECT_EQ(bar.Position(), 100);
    QTest::keyClick(&bar, Qt::Key_Home);
    EXPECT_EQ(bar.Position(), 0);
    if (qEnvironmentVariableIsSet("FC_SAVE_TRACKBAR")) {
        bar.SetPosition(40);
        QImage img(bar.size(), QImage::Format_RGB32);
        img.fill(QColor(0x84, 0x81, 0x7C));
        bar.render(&img, QPoint(), QRegion(), QWidget::DrawChildren);
        img.scaled(img.size() * 3).save(qEnvironmentVariable("FC_SAVE_TRACKBAR"));
    }
}

// A seeking interface that records what the bar asks of it.
struct TFakeSeeking : TMediaSeeking {
    std::int64_t Duration = 0, Current = 0, Stop = 0;
    bool Fail = false;
    QList<std::int64_t> Sets;
    QList<std::uint32_t> Flags;
    std::int32_t GetDuration(std::int64_t& d) override {
        d = Duration;
        return Fail ? FC_E_FAIL : FC_S_OK;
    }
    std::int32_t GetCurrentPosition(std::int64_t& c) override {
        c = Current;
        return Fail ? FC_E_FAIL : FC_S_OK;
    }
    std::int32_t GetStopPosition(std::int64_t& s) override {
        s = Stop;
        return FC_S_OK;
    }
    std::int32_t SetPositions(std::int64_t c, std::uint32_t cf, std::int64_t s,
                              std::uint32_t sf) override {
        Sets << c << s;
        Flags << cf << sf;
        return FC_S_OK;
    }
};

class SeekBarTest : public ::testing::Test {
protected:
    SeekBarTest() {
        Bar.resize(192, 40);
        Bar.SetJumpByClick(true);
        Bar.SetShowTicks(false);
        Bar.SetPosition(0);
        Bar.SetFilterGraph(&Graph);
    }
    TFilterGraph Graph;
    TTeDSTrackBar Bar;
};

TEST_F(SeekBarTest, ControlEventsDriveTheFollowTimerAndTheSeekingInterface) {
    EXPECT_FALSE(Bar.HasSeeking());
    Graph.SetActive(true);
    EXPECT_TRUE(Bar.HasSeeking());
    Bar.ControlNotify(cePlay, 0);
    EXPECT_TRUE(Bar.TimerRunning());
    EXPECT_TRUE(Bar.Timer().isActive());
    EXPECT_EQ(Bar.Timer().interval(), 1000);
    Bar.ControlNotify(cePause, 0);
    EXPECT_FALSE(Bar.Timer().isActive());
    Bar.ControlNotify(cePlay, 0);
    Bar.SetTimerInterval(0); // never a timer that fires all the time
    EXPECT_FALSE(Bar.Timer().isActive());
    Bar.SetTimerInterval(500);
    EXPECT_EQ(Bar.Timer().interval(), 500);
    Bar.ControlNotify(ceStop, 0);
    EXPECT_FALSE(Bar.Timer().isActive());
    Bar.setEnabled(false);
    Bar.ControlNotify(cePlay, 0);
    EXPECT_FALSE(Bar.TimerRunning()) << "a disabled bar does not follow";
    Graph.SetActive(false);
    EXPECT_FALSE(Bar.HasSeeking());
}

TEST_F(SeekBarTest, NinetySecondVideoGivesMaxNinetyAndStepsOncePerSecond) {
    fctest::TTestVideoSpec recipe;
    QTemporaryDir dir;
    recipe.Path = dir.filePath(QStringLiteral("long.avi"));
    recipe.VideoCodec = QStringLiteral("mpeg4");
    recipe.Width = 160;
    recipe.Height = 120;
    recipe.Fps = 2;
    recipe.Frames = 180;
    recipe.Gop = 20;
    ASSERT_TRUE(fctest::MakeTestVideo(recipe));
    Graph.SetActive(true);
    Graph.RenderMediaFile(recipe.Path);
    std::int32_t seenCms = -1, seenDms = -1;
    Bar.SetOnTimer([&](QObject* sender, std::int32_t cms, std::int32_t dms) {
        EXPECT_EQ(sender, &Bar);
        seenCms = cms;
        seenDms = dms;
    });
    Bar.TimerTick();
    EXPECT_EQ(Bar.Max(), 90);
    EXPECT_EQ(Bar.Position(), 0);
    EXPECT_EQ(seenDms, 90000);
    Graph.SetPositions(std::int64_t(12500) * 10000, AM_SEEKING_AbsolutePositioning, 0,
                       AM_SEEKING_NoPositioning);
    Bar.TimerTick();
    EXPECT_EQ(seenCms, 12500);
    EXPECT_EQ(Bar.Position(), 12);

    // Release on the track seeks proportionally onto the stop position.
    QTest::mousePress(&Bar, Qt::LeftButton, {}, QPoint(Bar.width() / 2, 20));
    EXPECT_TRUE(Bar.Tracking());
    const int pos = Bar.Position();
    Bar.TimerTick(); // frozen while the button is held
    EXPECT_EQ(Bar.Position(), pos);
    QTest::mouseRelease(&Bar, Qt::LeftButton, {}, QPoint(Bar.width() / 2, 20));
    EXPECT_FALSE(Bar.Tracking());
    std::int64_t current = 0;
    Graph.GetCurrentPosition(current);
    EXPECT_EQ(current, std::int64_t(900000000) * pos / 90);
}

TEST_F(SeekBarTest, TicksDoNothingWhileTheGraphHasNoFile) {
    Graph.SetActive(true);
    ASSERT_TRUE(Bar.HasSeeking());
    Bar.SetMax(40);
    Bar.SetPosition(7);
    Bar.TimerTick(); // the queries fail: the tick is skipped
    EXPECT_EQ(Bar.Max(), 40);
    EXPECT_EQ(Bar.Position(), 7);
}

// A graph that hands out a recording seeking interface.
class TFakeGraph : public TFilterGraph {
public:
    TFakeSeeking Fake;
    TMediaSeeking* Seeking() override { return Active() ? &Fake : nullptr; }
};

class SeekRulesTest : public ::testing::Test {
protected:
    SeekRulesTest() {
        Bar.resize(192, 40);
        Bar.SetJumpByClick(true);
        Bar.SetPosition(0);
        Bar.SetFilterGraph(&Graph);
        Graph.SetActive(true);
    }
    TFakeGraph Graph;
    TTeDSTrackBar Bar;
};

TEST_F(SeekRulesTest, ReleaseSeeksToStopTimesPositionOverMax) {
    Graph.Fake.Duration = 600000000; // 60 s
    Graph.Fake.Stop = 500000000;     // 50 s: the mapping uses the stop position
    Bar.TimerTick();
    ASSERT_EQ(Bar.Max(), 60);
    QTest::mousePress(&Bar, Qt::LeftButton, {}, QPoint(Bar.width() / 4, 20));
    const int pos = Bar.Position();
    ASSERT_GT(pos, 0);
    QTest::mouseRelease(&Bar, Qt::LeftButton, {}, QPoint(Bar.width() / 4, 20));
    ASSERT_EQ(Graph.Fake.Sets.size(), 2);
    EXPECT_EQ(Graph.Fake.Sets[0], std::int64_t(500000000) * pos / 60);
    EXPECT_EQ(Graph.Fake.Sets[1], 500000000);
    EXPECT_EQ(Graph.Fake.Flags, (QList<std::uint32_t>{1, 0}));

    // Right clicks and keys never seek.
    QTest::mouseClick(&Bar, Qt::RightButton, {}, QPoint(Bar.width() - 10, 20));
    QTest::keyClick(&Bar, Qt::Key_PageDown);
    EXPECT_EQ(Graph.Fake.Sets.size(), 2);
    EXPECT_FALSE(Bar.Tracking());
}

TEST_F(SeekRulesTest, ShortVideoKeepsTheOldMaxAndFailingQueriesSkipTheTick) {
    Graph.Fake.Duration = 9000000; // 0.9 s: 900 / 1000 = 0, ignored
    Graph.Fake.Current = 4000000;
    Bar.TimerTick();
    EXPECT_EQ(Bar.Max(), 10);
    EXPECT_EQ(Bar.Position(), 0);
    Graph.Fake.Fail = true;
    Graph.Fake.Duration = 300000000;
    Bar.TimerTick();
    EXPECT_EQ(Bar.Max(), 10);
    Graph.Fake.Fail = false;
    Bar.SetTimerInterval(250);      // quarter-second steps
    Graph.Fake.Current = 100000000; // 10 s
    Bar.TimerTick();
    EXPECT_EQ(Bar.Max(), 120);
    EXPECT_EQ(Bar.Position(), 40);
}

TEST_F(SeekRulesTest, ClockChangeRestartsFromTheBeginning) {
    Graph.Fake.Duration = 123456789;
    Bar.GraphNotify(2, 0, 0); // other codes are ignored
    EXPECT_TRUE(Graph.Fake.Sets.isEmpty());
    Bar.GraphNotify(EC_CLOCK_CHANGED, 0, 0);
    EXPECT_EQ(Graph.Fake.Sets, (QList<std::int64_t>{0, 123456789}));
    EXPECT_EQ(Graph.Fake.Flags, (QList<std::uint32_t>{1, 0}));
    Graph.SetActive(false);
    Bar.GraphNotify(EC_CLOCK_CHANGED, 0, 0);
    EXPECT_EQ(Graph.Fake.Sets.size(), 2) << "no interface once inactive";
}

TEST(SeekBarLifeTest, GraphDestroyedFirstIsForgotten) {
    TTeDSTrackBar bar;
    {
        TFilterGraph graph;
        bar.SetFilterGraph(&graph);
        graph.SetActive(true);
        EXPECT_TRUE(bar.HasSeeking());
    }
    EXPECT_EQ(bar.FilterGraph(), nullptr);
    EXPECT_FALSE(bar.HasSeeking());
    bar.TimerTick();
}

} // namespace
