// The player on imperfect files: containers whose clock does not start at 0, timestamps that
// restart or jump, files cut short and headers destroyed. Each file is made here, small, with
// pictures that carry their frame number, and damaged by a few byte edits.

#include "tests/support/test_data.h"
#include "tests/video/player_fixture.h"
#include "video/media_player.h"
#include "video/media_timeline.h"

#include <QElapsedTimer>

#include <gtest/gtest.h>

namespace {

using namespace fctest;

QString WriteAll(const QString& name, const QByteArray& bytes) {
    const QString path = TVideos::Get().Dir() + QLatin1Char('/') + name;
    QFile f(path);
    EXPECT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(bytes);
    return path;
}

// Where each Matroska cluster keeps its timestamp (a big-endian count of milliseconds).
struct TField {
    int Offset;
    int Size;
};

// An EBML number at `at`: its length from the leading zero bits; sizes lose the marker bit.
std::uint64_t ReadVint(const QByteArray& b, int& at, bool keepMarker) {
    const auto first = std::uint8_t(b[at]);
    int length = 1;
    while (length <= 8 && !(first & (0x80 >> (length - 1))))
        ++length;
    std::uint64_t v = keepMarker ? first : first & (0xFF >> length);
    for (int i = 1; i < length; ++i)
        v = v << 8 | std::uint8_t(b[at + i]);
    at += length;
    return v;
}

QList<TField> ClusterTimestamps(const QByteArray& mkv) {
    constexpr std::uint64_t Segment = 0x18538067, Cluster = 0x1F43B675, Timestamp = 0xE7;
    QList<TField> fields;
    int at = 0;
    while (at < mkv.size()) {
        const std::uint64_t id = ReadVint(mkv, at, true);
        const std::uint64_t size = ReadVint(mkv, at, false);
        if (id == Timestamp)
            fields.append({at, int(size)});
        if (id != Segment && id != Cluster) // into those, over everything else
            at += int(size);
    }
    return fields;
}

std::int64_t ReadBigEndian(const QByteArray& b, TField f) {
    std::int64_t v = 0;
    for (int i = 0; i < f.Size; ++i)
        v = v << 8 | std::uint8_t(b[f.Offset + i]);
    return v;
}

void WriteBigEndian(QByteArray& b, TField f, std::int64_t v) {
    for (int i = f.Size - 1; i >= 0; --i, v >>= 8)
        b[f.Offset + i] = char(v & 0xFF);
}

// FLV tags: 1 byte type (8 sound, 9 picture), 3 bytes size, 3 bytes milliseconds and one byte
// above them, 3 bytes stream id, the data, then 4 bytes of the tag's length.
struct TFlvTag {
    int Offset;
    int Type;
};

QList<TFlvTag> FlvTags(const QByteArray& flv) {
    QList<TFlvTag> tags;
    for (int at = 9 + 4; at + 11 <= flv.size();) {
        const int size = std::uint8_t(flv[at + 1]) << 16 | std::uint8_t(flv[at + 2]) << 8 |
                         std::uint8_t(flv[at + 3]);
        tags.append({at, int(flv[at])});
        at += 11 + size + 4;
    }
    return tags;
}

// What a playback from the current place to the end of the stream did.
struct TPlayback {
    int Pictures = 0; // shown or dropped as late
    double Seconds = 0;
    int Ends = 0; // end-of-stream notifications
    double PicturesPerSecond() const { return Seconds > 0 ? Pictures / Seconds : 0; }
};

class ImperfectFileTest : public PlayerTest {
protected:
    void SeekTo(std::int64_t t) {
        ASSERT_EQ(
            Graph.SetPositions(t, AM_SEEKING_AbsolutePositioning, 0, AM_SEEKING_NoPositioning),
            FC_S_OK);
    }
    std::int64_t Position() {
        std::int64_t pos = -1;
        Graph.GetCurrentPosition(pos);
        return pos;
    }
    // Plays until the end of the stream is notified, counting with the player's own
    // counters; then waits a little for a second notification that must not come.
    TPlayback PlayToTheEnd() {
        TPlayback run;
        const auto c = QObject::connect(&Graph, &TFilterGraph::OnDSEvent,
                                        [&](QObject*, int code, std::intptr_t, std::intptr_t) {
                                            run.Ends += code == EC_COMPLETE;
                                        });
        const fcvideo::TMediaPlayer& player = *Graph.Player();
        const std::int64_t before = player.FramesShown() + player.FramesDropped();
        QElapsedTimer clock;
        clock.start();
        Graph.Play();
        EXPECT_TRUE(WaitFor([&] { return run.Ends > 0; }, 15000)) << "no end of the stream";
        run.Seconds = clock.nsecsElapsed() / 1e9;
        run.Pictures = int(player.FramesShown() + player.FramesDropped() - before);
        WaitFor([] { return false; }, 300);
        QObject::disconnect(c);
        return run;
    }
};

// 50 pictures at 25 fps, a key picture every 12.
TTestVideoSpec TwoSeconds(const char* video, const char* sound) {
    TTestVideoSpec recipe;
    recipe.VideoCodec = QString::fromLatin1(video);
    recipe.AudioCodec = QString::fromLatin1(sound);
    recipe.Frames = 50;
    recipe.Gop = 12;
    return recipe;
}

struct TProgramStream {
    const char* File;
    const char* Video;
    int BFrames;
};

void PrintTo(const TProgramStream& p, std::ostream* out) {
    *out << p.File;
}

class ProgramStreamTest : public ImperfectFileTest,
                          public ::testing::WithParamInterface<TProgramStream> {};

// The pack clock of an MPEG program stream starts at about half a second; positions count from
// the first picture, so the first pictures can be reached like any other.
TEST_P(ProgramStreamTest, SeeksReachEachOfTheFirstPictures) {
    TTestVideoSpec recipe;
    recipe.VideoCodec = QString::fromLatin1(GetParam().Video);
    recipe.AudioCodec = QStringLiteral("mp2");
    recipe.MaxBFrames = GetParam().BFrames;
    recipe.Gop = 12;
    recipe.Frames = 40;
    Open(TVideos::Get().Make(QString::fromLatin1(GetParam().File), recipe));
    ASSERT_EQ(ShownFrame(), 0);
    std::int64_t duration = 0;
    Graph.GetDuration(duration);
    EXPECT_NEAR(double(duration), double(FrameTime(40)), double(FrameTime(1)));

    for (int frame : {5, 0, 1, 2, 3, 4, 20, 0}) {
        for (std::int64_t t : {FrameTime(frame), FrameTime(frame + 1) - 1}) {
            SeekTo(t);
            EXPECT_EQ(ShownFrame(), frame) << "asked " << t;
        }
    }
}

INSTANTIATE_TEST_SUITE_P(
    Files, ProgramStreamTest,
    ::testing::Values(TProgramStream{"dvd.vob", "mpeg2video", 2},
                      TProgramStream{"mpeg1.mpg", "mpeg1video", 0}),
    [](const auto& info) {
        return QString::fromLatin1(info.param.File).replace('.', '_').toStdString();
    });

// A Matroska file whose clock starts again from 0 part way (its index still counts on): a
// seek past the restart shows a new picture, and the seek bar goes to it; the
// file plays at its frame rate to the end, once; then a seek to 0 still finds the first
// picture, although the index read meanwhile holds the times around 0 twice.
TEST_F(ImperfectFileTest, ClockRestartingPartWay) {
    QByteArray mkv = fctest::ReadAll(
        TVideos::Get().Make(QStringLiteral("restart-src.mkv"), TwoSeconds("mpeg4", "libvorbis")));
    std::int64_t restartMs = -1;
    for (const TField& field : ClusterTimestamps(mkv)) {
        const std::int64_t ms = ReadBigEndian(mkv, field);
        if (restartMs < 0 && ms >= 1000)
            restartMs = ms;
        if (restartMs >= 0)
            WriteBigEndian(mkv, field, ms - restartMs);
    }
    ASSERT_GT(restartMs, 0) << "no cluster after 1 s";
    const int restart = int(restartMs / 40); // the first picture after the restart
    Open(WriteAll(QStringLiteral("restart.mkv"), mkv));

    SeekTo(FrameTime(10));
    ASSERT_EQ(ShownFrame(), 10);
    // The index leads into the part after the restart, whose timestamps are those of the
    // first part: the picture before the restart, or one after it.
    SeekTo(FrameTime(restart + 5) + 200000);
    EXPECT_GE(ShownFrame(), restart - 1) << "a picture near the target, not the old one";
    EXPECT_EQ(Position(), Graph.Player()->ShownTimeUs() * 10) << "the seek bar shows where";

    SeekTo(0);
    ASSERT_EQ(ShownFrame(), 0);
    const TPlayback run = PlayToTheEnd();
    EXPECT_EQ(run.Ends, 1);
    EXPECT_EQ(run.Pictures, 49) << "all but the first, which was on display";
    EXPECT_NEAR(run.PicturesPerSecond(), 25, 2.5);
    EXPECT_EQ(ShownFrame(), 49);
    std::int64_t duration = 0;
    Graph.GetDuration(duration);
    EXPECT_NEAR(double(duration), double(FrameTime(50)), double(FrameTime(1)))
        << "as long as it played";

    SeekTo(0);
    EXPECT_EQ(ShownFrame(), 0);
}

// An FLV file where one sound timestamp and one picture timestamp each had a byte flipped,
// putting them 3,238,002 s ahead: playback keeps its pace and ends once.
TEST_F(ImperfectFileTest, WildTimestamps) {
    QByteArray flv = fctest::ReadAll(
        TVideos::Get().Make(QStringLiteral("wild-src.flv"), TwoSeconds("flv", "aac")));
    int sounds = 0, pictures = 0;
    for (const TFlvTag& tag : FlvTags(flv)) {
        if ((tag.Type == 8 && ++sounds == 30) || (tag.Type == 9 && ++pictures == 20))
            flv[tag.Offset + 7] = char(0xC1); // the byte above the 24-bit milliseconds
    }
    ASSERT_EQ(pictures, 50);
    Open(WriteAll(QStringLiteral("wild.flv"), flv));
    std::int64_t duration = 0;
    Graph.GetDuration(duration);
    EXPECT_NEAR(double(duration), double(FrameTime(50)), double(FrameTime(1)));

    const TPlayback run = PlayToTheEnd();
    EXPECT_EQ(run.Ends, 1);
    EXPECT_EQ(run.Pictures, 49) << "all but the first, which was on display";
    EXPECT_NEAR(run.PicturesPerSecond(), 25, 2.5);
    EXPECT_EQ(ShownFrame(), 49);
}

// An MP4 file with its index in front, cut in half: a seek past the cut shows the last
// picture the file holds and the seek bar goes there; playback ends at the cut.
TEST_F(ImperfectFileTest, FileCutShort) {
    TTestVideoSpec recipe = TwoSeconds("mpeg4", "aac");
    recipe.MuxerOptions = QStringLiteral("movflags=+faststart");
    const QByteArray mp4 =
        fctest::ReadAll(TVideos::Get().Make(QStringLiteral("whole.mp4"), recipe));
    Open(WriteAll(QStringLiteral("cut.mp4"), mp4.left(mp4.size() / 2)));
    std::int64_t duration = 0;
    Graph.GetDuration(duration);
    EXPECT_NEAR(double(duration), double(FrameTime(50)), double(FrameTime(1)))
        << "as the index says";

    SeekTo(FrameTime(45));
    const int last = ShownFrame();
    EXPECT_GT(last, 10);
    EXPECT_LT(last, 40);
    EXPECT_EQ(Position(), FrameTime(last));

    SeekTo(FrameTime(5));
    ASSERT_EQ(ShownFrame(), 5);
    const TPlayback run = PlayToTheEnd();
    EXPECT_EQ(run.Ends, 1);
    EXPECT_EQ(ShownFrame(), last);
    EXPECT_EQ(run.Pictures, last - 5);
}

// An AVI file whose header was zeroed is read as a bare MPEG-4 stream, without timestamps or
// a length: it plays what it holds, with a length found from its packets and exact seeks.
TEST_F(ImperfectFileTest, HeaderZeroed) {
    QByteArray avi = fctest::ReadAll(
        TVideos::Get().Make(QStringLiteral("header-src.avi"), TwoSeconds("mpeg4", "")));
    avi.replace(0, 64, QByteArray(64, '\0'));
    Open(WriteAll(QStringLiteral("header.avi"), avi));
    EXPECT_EQ(ShownFrame(), 0);
    std::int64_t duration = 0;
    Graph.GetDuration(duration);
    EXPECT_NEAR(double(duration), double(FrameTime(50)), double(FrameTime(1)));
    SeekTo(FrameTime(30) + 100000);
    EXPECT_EQ(ShownFrame(), 30);
    EXPECT_EQ(Position(), FrameTime(30) + 100000);
    const TPlayback run = PlayToTheEnd();
    EXPECT_EQ(run.Ends, 1);
    EXPECT_EQ(ShownFrame(), 49);
}

// The media time of a stream whose timestamps misbehave, item by item at 40 ms steps.
TEST(TimelineTest, RunsOnThroughRestartsAndWildValuesAndKeepsRealGaps) {
    using fcvideo::TTimeline;
    constexpr std::int64_t No = TTimeline::NoTime, S = 40000;
    const struct {
        const char* What;
        std::vector<std::int64_t> File;
        std::vector<std::int64_t> Media;
        int JumpAt; // the item placed after a break, -1: none
    } cases[] = {
        {"restart", {5 * S, 6 * S, 0, S, 2 * S}, {5 * S, 6 * S, 7 * S, 8 * S, 9 * S}, 2},
        {"lone wild value", {0, S, 3238002000000, 3 * S, 4 * S}, {0, S, 2 * S, 3 * S, 4 * S}, 2},
        {"wild jump back",
         {10 * S, 11 * S, -900000000, 13 * S},
         {10 * S, 11 * S, 12 * S, 13 * S},
         2},
        {"no timestamps", {No, No, 2 * S, No}, {100, 100 + S, 2 * S, 2 * S + S}, -1},
        {"real gap of 5 s", {0, 5000000, 5000000 + S}, {0, 5000000, 5000000 + S}, -1},
        {"same timestamp twice", {S, S, 3 * S, 4 * S}, {S, 2 * S, 3 * S, 4 * S}, 1},
    };
    for (const auto& c : cases) {
        TTimeline line;
        line.Reset(100);
        for (size_t i = 0; i < c.File.size(); ++i) {
            const TTimeline::TPlace place = line.Place(c.File[i], S);
            EXPECT_EQ(place.Time, c.Media[i]) << c.What << " item " << i;
            EXPECT_EQ(place.Jumped, int(i) == c.JumpAt) << c.What << " item " << i;
        }
    }
}

} // namespace
