// One-picture steps while paused and the seek bar's reach: steps land on the very neighbour
// whatever its distance in time, from the trail of decoded pictures or by seeking when the
// trail cannot help; the seek bar reaches every picture of a short clip.

#include "tests/video/player_fixture.h"
#include "video/media_player.h"
#include "video/te_ds_trackbar.h"

#include <QTest>

namespace {

using fctest::PlayerTest;

class StepTest : public PlayerTest, public ::testing::WithParamInterface<bool> {
protected:
    void OpenPaused(const QString& path) {
        // Without room for decoded pictures every step back has to seek.
        if (!GetParam())
            Graph.SetRoomCheck([](std::int64_t) { return false; });
        Open(path);
        Graph.Pause();
    }
    void SeekTo(std::int64_t t) {
        Graph.SetPositions(t, AM_SEEKING_AbsolutePositioning, 0, AM_SEEKING_NoPositioning);
    }
    // Steps and says which picture is on display afterwards.
    int Step(int direction) {
        EXPECT_TRUE(Graph.StepFrame(direction));
        return ShownFrame();
    }
};

TEST_P(StepTest, StepsLandOnTheNeighboursAcrossGapsKeyPicturesAndTheTrail) {
    const QString path = fctest::TVideos::Get().Gapped();
    ASSERT_FALSE(path.isEmpty());
    OpenPaused(path);
    ASSERT_EQ(ShownFrame(), 0);
    ASSERT_TRUE(Graph.StepFrame(1));
    EXPECT_EQ(ShownFrame(), 1) << "the next picture, 200 ms after the first";
    EXPECT_EQ(Step(1), 2);
    EXPECT_EQ(Step(-1), 1);
    EXPECT_EQ(Step(-1), 0);
    EXPECT_EQ(Step(-1), 0) << "nothing before the first picture";
    EXPECT_EQ(Graph.ShownTime(), 0);

    // After a seek: back across the gap and two key pictures, then forward again.
    SeekTo(std::int64_t(49) * 400'000); // picture 42 starts at 49 frame durations
    ASSERT_EQ(ShownFrame(), 42);
    for (int expected = 41; expected >= 20; --expected)
        ASSERT_EQ(Step(-1), expected);
    for (int expected = 21; expected <= 44; ++expected)
        ASSERT_EQ(Step(1), expected);
    // The clock stands at the picture each step brought.
    std::int64_t position = 0;
    Graph.GetCurrentPosition(position);
    EXPECT_EQ(position, Graph.ShownTime());

    // Steps asked for in a row before any is shown count one picture each.
    for (int i = 0; i < 5; ++i)
        ASSERT_TRUE(Graph.StepFrame(-1));
    EXPECT_EQ(ShownFrame(), 39);
    // At the end a step forward does nothing.
    SeekTo(std::int64_t(86) * 400'000);
    ASSERT_EQ(ShownFrame(), 79);
    EXPECT_EQ(Step(1), 79);
    EXPECT_EQ(Step(-1), 78);
}

TEST_P(StepTest, PlayAfterStepsGoesOnFromThePictureOnDisplay) {
    OpenPaused(fctest::TVideos::Get().Mp4()); // with sound
    SeekTo(fctest::FrameTime(30) + 200'000);
    ASSERT_EQ(ShownFrame(), 30);
    for (int i = 0; i < 6; ++i)
        ASSERT_TRUE(Graph.StepFrame(-1));
    ASSERT_EQ(ShownFrame(), 24);
    EXPECT_FALSE(Graph.Player()->State() == fcvideo::TMediaPlayer::Playing);
    Graph.Play();
    ASSERT_TRUE(fctest::WaitFor([&] { return Graph.ShownTime() > fctest::FrameTime(24); }));
    Graph.Pause();
    const int shown = ShownFrame();
    EXPECT_GE(shown, 25);
    EXPECT_LT(shown, 45) << "playback went on from picture 24, not from where decoding was";
    EXPECT_FALSE(Graph.StepFrame(0));
}

INSTANTIATE_TEST_SUITE_P(Trail, StepTest, ::testing::Values(true, false),
                         [](const auto& info) { return info.param ? "Kept" : "NoRoom"; });

TEST_F(PlayerTest, StepsNeedAPausedPicture) {
    EXPECT_FALSE(Graph.StepFrame(1)) << "no file";
    Open(fctest::TVideos::Get().Avi());
    Graph.Play();
    EXPECT_FALSE(Graph.StepFrame(1)) << "playing";
    Graph.Pause();
    EXPECT_TRUE(Graph.StepFrame(1));
}

// A 1.5-second clip: every one of its 37 pictures can be reached by pressing on the seek bar
// and by dragging its thumb there.
TEST_F(PlayerTest, TheSeekBarReachesEveryPictureOfAShortClip) {
    fctest::TTestVideoSpec s;
    s.VideoCodec = QStringLiteral("mpeg4");
    s.Frames = 37;
    const QString path = fctest::TVideos::Get().Make(QStringLiteral("clip-1480ms.avi"), s);
    TTeDSTrackBar bar;
    bar.resize(192, 40);
    bar.SetJumpByClick(true);
    bar.SetResolution(1);
    bar.SetFilterGraph(&Graph);
    Open(path);
    Graph.Pause();
    bar.TimerTick();
    ASSERT_EQ(bar.Max(), 1480);
    // The press point of each picture: the first pixel whose place falls in its span.
    std::vector<int> pressAt(37, -1);
    for (int x = 0; x < bar.width(); ++x) {
        const int frame = bar.PositionAt(x) * 37 / 1480;
        if (frame < 37 && pressAt[size_t(frame)] < 0)
            pressAt[size_t(frame)] = x;
    }
    for (int n = 0; n < 37; ++n) {
        ASSERT_GE(pressAt[size_t(n)], 0) << "no place on the bar for picture " << n;
        const QPoint at(pressAt[size_t(n)], 20);
        if (n % 2 && !bar.ThumbRect().contains(at)) {
            QTest::mouseClick(&bar, Qt::LeftButton, {}, at);
        } else {
            // Pressed far away and dragged to the place.
            const int far = at.x() < bar.width() / 2 ? bar.width() - 2 : 2;
            QTest::mousePress(&bar, Qt::LeftButton, {}, QPoint(far, 20));
            QMouseEvent move(QEvent::MouseMove, QPointF(at), bar.mapToGlobal(QPointF(at)),
                             Qt::NoButton, Qt::LeftButton, Qt::NoModifier);
            QCoreApplication::sendEvent(&bar, &move);
            QTest::mouseRelease(&bar, Qt::LeftButton, {}, at);
        }
        ASSERT_EQ(ShownFrame(), n);
    }
}

} // namespace
