// Capture of a range at decode speed: which pictures each mode takes (read from the numbers
// the test videos carry), that every frame is the very picture the player shows after a seek
// to its time, shots found at their first pictures, and how Cancel and a refusing frame
// store end it.

#include "codecs/bmp_codec.h"
#include "tests/video/player_fixture.h"
#include "video/range_capture.h"

#include <vector>

namespace {

using fcvideo::TRangeMode;
using fcvideo::TRangeSettings;

struct TTaken {
    std::vector<int> Numbers;   // the frame numbers in the pictures, in the order handed out
    std::vector<QImage> Frames; // kept only when asked for
    std::vector<std::int64_t> Targets;
    fcvideo::TRangeResult Result;
};

TTaken Capture(const QString& path, const TRangeSettings& s, bool keep = false) {
    TTaken taken;
    fcvideo::TRangeCallbacks callbacks;
    std::int64_t lastTime = -1;
    callbacks.Frame = [&](fcvideo::TRangeFrame&& f) {
        EXPECT_EQ(f.Picture.format(), QImage::Format_RGB888);
        EXPECT_GE(f.TimeUs, lastTime) << "in time order";
        lastTime = f.TimeUs;
        taken.Numbers.push_back(fctest::FrameNumberOf(f.Picture));
        taken.Targets.push_back(f.TargetUs);
        if (keep)
            taken.Frames.push_back(f.Picture);
        return true;
    };
    taken.Result = fcvideo::CaptureRange(path, s, callbacks);
    return taken;
}

TRangeSettings Every(int ms, std::int64_t from = 0, std::int64_t to = -1) {
    TRangeSettings s;
    s.EveryMs = ms;
    s.FromMs = from;
    s.ToMs = to;
    return s;
}

TRangeSettings Count(int n, std::int64_t from = 0, std::int64_t to = -1) {
    TRangeSettings s = Every(0, from, to);
    s.Mode = TRangeMode::Count;
    s.Count = n;
    return s;
}

using Numbers = std::vector<int>;

// The 2-second clip at 25 fps: picture n spans [40 n, 40 n + 40) ms; H.264 with B-frames,
// key pictures every 25.
TEST(RangeCaptureTest, EachModeTakesThePicturesItsTimesFallOn) {
    const QString mp4 = fctest::TVideos::Get().Mp4();
    // The whole video every 200 ms; a range whose ends are taken; the end of the video.
    EXPECT_EQ(Capture(mp4, Every(200)).Numbers, (Numbers{0, 5, 10, 15, 20, 25, 30, 35, 40, 45}));
    EXPECT_EQ(Capture(mp4, Every(300, 130, 1030)).Numbers, (Numbers{3, 10, 18, 25}));
    EXPECT_EQ(Capture(mp4, Every(250, 1500, 5000)).Numbers, (Numbers{37, 43}))
        << "a range past the end ends with the video";
    // Evenly spaced: the first and the last at the ends, also of a range past the end.
    EXPECT_EQ(Capture(mp4, Count(5)).Numbers, (Numbers{0, 12, 24, 37, 49}));
    EXPECT_EQ(Capture(mp4, Count(3, 1000, 9000)).Numbers, (Numbers{25, 37, 49}));
    EXPECT_EQ(Capture(mp4, Count(1, 700)).Numbers, (Numbers{17}));
    // A range inside one group of pictures.
    EXPECT_EQ(Capture(mp4, Count(4, 520, 900)).Numbers, (Numbers{13, 16, 19, 22}));
    // Nothing in the range.
    EXPECT_TRUE(Capture(mp4, Every(100, 900, 800)).Numbers.empty());
    EXPECT_TRUE(Capture(mp4, Count(4, 2500, 3000)).Numbers.empty());
}

TEST(RangeCaptureTest, TargetsClampTheRangeIntoTheVideo) {
    const std::int64_t second = 1'000'000;
    using Times = std::vector<std::int64_t>;
    EXPECT_EQ(fcvideo::RangeTargets(Count(3), 2 * second), (Times{0, 999'999, 1'999'999}));
    EXPECT_EQ(fcvideo::RangeTargets(Every(500, 0, 1000), 2 * second),
              (Times{0, 500'000, 1'000'000}));
    EXPECT_EQ(fcvideo::RangeTargets(Every(800, -300), 2 * second), (Times{0, 800'000, 1'600'000}));
    EXPECT_TRUE(fcvideo::RangeTargets(Count(0), 2 * second).empty());
    // A video that does not tell its length: every N ms goes on until the pictures end,
    // evenly spaced frames need an end.
    EXPECT_EQ(fcvideo::RangeTargets(Every(400, 0, 1000), 0), (Times{0, 400'000, 800'000}));
    EXPECT_TRUE(fcvideo::RangeTargets(Count(4), 0).empty());
}

// Every frame has the pixels and the time of the player's picture after an exact seek to the
// time it was taken for, across gaps between pictures and key pictures.
TEST(RangeCaptureTest, EveryFrameIsThePictureASeekToItsTimeShows) {
    const QString gapped = fctest::TVideos::Get().Gapped();
    const TTaken taken = Capture(gapped, Every(70), true);
    ASSERT_GT(taken.Frames.size(), 40u);
    TFilterGraph graph;
    graph.SetActive(true);
    graph.RenderMediaFile(gapped);
    graph.Pause();
    kw::TMemoryStream stream;
    for (size_t i = 0; i < taken.Frames.size(); ++i) {
        graph.SetPositions(taken.Targets[i] * 10, AM_SEEKING_AbsolutePositioning, 0,
                           AM_SEEKING_NoPositioning);
        stream.Clear();
        ASSERT_TRUE(graph.GrabCurrentImage(stream));
        QImage shown;
        ASSERT_TRUE(codecs::ReadBmp(stream.Data(), stream.Size(), shown));
        ASSERT_EQ(shown.size(), taken.Frames[i].size());
        for (int y = 0; y < shown.height(); ++y)
            ASSERT_EQ(std::memcmp(shown.constScanLine(y), taken.Frames[i].constScanLine(y),
                                  size_t(shown.width()) * 3),
                      0)
                << "frame " << i << " row " << y;
    }
    // In the gap after the first picture the first one is taken again.
    EXPECT_EQ(std::vector<int>(taken.Numbers.begin(), taken.Numbers.begin() + 4),
              (Numbers{0, 0, 0, 1}));
}

// Five shots of 15 pictures (600 ms), dark and bright in turn: the default sensitivity and
// gap take each shot's first picture; a longer gap leaves out the shots that follow too soon.
TEST(RangeCaptureTest, ScenesTakeTheFirstPictureOfEveryShot) {
    fctest::TTestVideoSpec shape;
    shape.VideoCodec = fctest::HasEncoder(QStringLiteral("libx264")) ? QStringLiteral("libx264")
                                                                     : QStringLiteral("mpeg4");
    shape.Frames = 75;
    shape.Gop = 25;
    shape.MaxBFrames = 2;
    shape.ShotFrames = 15;
    const QString shots = fctest::TVideos::Get().Make(QStringLiteral("shots.mp4"), shape);
    TRangeSettings s;
    s.Mode = TRangeMode::Scenes;
    EXPECT_EQ(Capture(shots, s).Numbers, (Numbers{0, 15, 30, 45, 60}));
    s.FromMs = 700; // inside the second shot: its picture at From comes first
    EXPECT_EQ(Capture(shots, s).Numbers, (Numbers{17, 30, 45, 60}));
    s.FromMs = 0;
    s.ToMs = 1300;
    EXPECT_EQ(Capture(shots, s).Numbers, (Numbers{0, 15, 30}));
    s.ToMs = -1;
    s.MinGapMs = 1000;
    EXPECT_EQ(Capture(shots, s).Numbers, (Numbers{0, 30, 60}));
    s.MinGapMs = 500;
    s.Sensitivity = 1; // even the least sensitive setting sees these cuts
    EXPECT_EQ(Capture(shots, s).Numbers, (Numbers{0, 15, 30, 45, 60}));
}

// Cancel ends the capture with the frames handed out so far; a frame store that refuses a
// frame, or a memory budget that refuses a picture, ends it there without asking for more; a
// file that cannot be opened says why.
TEST(RangeCaptureTest, CancelAndARefusedFrameEndTheCaptureWithWhatWasTaken) {
    const QString mp4 = fctest::TVideos::Get().Mp4();
    int handed = 0, lastDone = 0, total = 0;
    fcvideo::TRangeCallbacks callbacks;
    callbacks.Frame = [&](fcvideo::TRangeFrame&&) { return ++handed < 1000; };
    callbacks.Progress = [&](int done, int of) {
        EXPECT_GT(done, lastDone);
        lastDone = done;
        total = of;
    };
    callbacks.Cancelled = [&] { return handed >= 3; };
    fcvideo::TRangeResult result = fcvideo::CaptureRange(mp4, Every(100), callbacks);
    EXPECT_TRUE(result.Cancelled);
    EXPECT_EQ(result.Frames, 3);
    EXPECT_EQ(handed, 3);
    EXPECT_EQ(lastDone, 3);
    EXPECT_EQ(total, 20);

    handed = 0;
    lastDone = 0;
    callbacks.Cancelled = nullptr;
    callbacks.Frame = [&](fcvideo::TRangeFrame&&) { return ++handed < 2; };
    result = fcvideo::CaptureRange(mp4, Every(100), callbacks);
    EXPECT_TRUE(result.Refused);
    EXPECT_FALSE(result.Cancelled);
    EXPECT_EQ(result.Frames, 1);
    EXPECT_EQ(handed, 2) << "nothing is asked of the store after it refused";

    // No memory for the third picture.
    handed = 0;
    lastDone = 0;
    int asked = 0;
    callbacks.Frame = [&](fcvideo::TRangeFrame&&) { return ++handed > 0; };
    callbacks.Room = [&](std::int64_t bytes) {
        EXPECT_EQ(bytes, 320 * 240 * 3);
        return ++asked < 3;
    };
    result = fcvideo::CaptureRange(mp4, Count(5), callbacks);
    EXPECT_TRUE(result.NoMemory);
    EXPECT_EQ(result.Frames, 2);
    callbacks.Room = nullptr;

    // Cancelled while decoding toward the first shot change.
    TRangeSettings scenes;
    scenes.Mode = TRangeMode::Scenes;
    handed = 0;
    lastDone = 0;
    asked = 0;
    callbacks.Cancelled = [&] { return ++asked > 20; };
    result = fcvideo::CaptureRange(mp4, scenes, callbacks);
    EXPECT_TRUE(result.Cancelled);
    EXPECT_EQ(result.Frames, 1);

    EXPECT_THROW(fcvideo::CaptureRange(fctest::TVideos::Get().Dir() + "/none.mp4", Count(2), {}),
                 EDirectShowException);
}

} // namespace
