// The player on FFmpeg: states, volume, notifications, grabs, seeking and bad input, with test
// videos whose pictures carry their frame numbers.

#include "tests/support/fake_desktop.h"
#include "tests/video/player_fixture.h"
#include "video/dib_header.h"
#include "video/filter_graph.h"
#include "video/media_player.h"
#include "video/media_source.h"
#include "video/video_window.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QImage>
#include <QTemporaryDir>
#include <QThread>

extern "C" {
#include <libavutil/error.h>
}

#include <gtest/gtest.h>

#include <functional>
#include <random>

namespace {

using namespace fctest;

struct TRecorder : TGraphEventSink {
    QList<QPair<int, int>> Controls;
    QList<int> Codes;
    void GraphNotify(int code, std::intptr_t, std::intptr_t) override { Codes << code; }
    void ControlNotify(int event, int param) override { Controls << qMakePair(event, param); }
};

TEST_F(PlayerTest, StateFollowsActivationPlayPauseStopAndReset) {
    EXPECT_EQ(Graph.GetState(), 0);
    EXPECT_FALSE(Graph.Play());
    EXPECT_FALSE(Graph.Pause());
    EXPECT_EQ(Graph.RenderMediaFile(TVideos::Get().Avi()), FC_S_FALSE); // not active: nothing
    EXPECT_EQ(Graph.GetState(), 0);
    Graph.SetActive(true);
    EXPECT_EQ(Graph.GetState(), 1);
    EXPECT_FALSE(Graph.Play()) << "nothing to play before a file is rendered";
    EXPECT_EQ(Graph.GetState(), 1);
    EXPECT_EQ(Graph.RenderMediaFile(TVideos::Get().Avi()), FC_S_OK);
    EXPECT_EQ(Graph.GetState(), 1);
    EXPECT_TRUE(Graph.Play());
    EXPECT_EQ(Graph.GetState(), 3);
    EXPECT_TRUE(Graph.Pause());
    EXPECT_EQ(Graph.GetState(), 2);
    EXPECT_TRUE(Graph.Stop());
    EXPECT_EQ(Graph.GetState(), 1);
    EXPECT_TRUE(Graph.Play());
    Graph.ResetGraph();
    EXPECT_EQ(Graph.GetState(), 1) << "active, file removed";
    EXPECT_EQ(ShownFrame(), -2);
    Graph.SetActive(false);
    EXPECT_EQ(Graph.GetState(), 0);
}

TEST_F(PlayerTest, ControlEventsReachTheSinksInOrder) {
    TRecorder sink;
    Graph.InsertEventNotifier(&sink);
    Graph.InsertEventNotifier(&sink); // once only
    Graph.SetActive(true);
    Graph.RenderMediaFile(TVideos::Get().Avi());
    Graph.Play();
    Graph.Pause();
    Graph.ResetGraph();
    Graph.SetActive(false);
    const QList<QPair<int, int>> expected{{ceActive, 1}, {ceFileRendering, 0}, {ceFileRendered, 0},
                                          {cePlay, 0},   {cePause, 0},         {ceStop, 0},
                                          {ceActive, 0}};
    EXPECT_EQ(sink.Controls, expected);
    Graph.RemoveEventNotifier(&sink);
    Graph.SetActive(true);
    EXPECT_EQ(sink.Controls.size(), expected.size());
}

TEST(VolumeTest, LinearMappingAndClamping) {
    EXPECT_EQ(TFilterGraph::VolumeToLevel(0, true), -10000);
    EXPECT_EQ(TFilterGraph::VolumeToLevel(3000, true), -1307);
    EXPECT_EQ(TFilterGraph::VolumeToLevel(10000, true), 0);
    EXPECT_EQ(TFilterGraph::VolumeToLevel(20000, true), 0);
    EXPECT_EQ(TFilterGraph::VolumeToLevel(-5, true), -10000);
    EXPECT_EQ(TFilterGraph::VolumeToLevel(3000, false), -7000);
    EXPECT_DOUBLE_EQ(TFilterGraph::LevelToAmplitude(-10000), 0.0);
    EXPECT_DOUBLE_EQ(TFilterGraph::LevelToAmplitude(0), 1.0);
    EXPECT_NEAR(TFilterGraph::LevelToAmplitude(-2000), 0.1, 1e-12);
    TFilterGraph graph;
    graph.SetVolume(3000); // before any graph: kept for the first file
    EXPECT_EQ(graph.Volume(), 3000);
    graph.SetVolume(12000);
    EXPECT_EQ(graph.Volume(), 10000);
}

TEST_F(PlayerTest, EndOfStreamArrivesOnceAfterTheSinksAndKeepsTheLastPicture) {
    fctest::TTestVideoSpec recipe;
    recipe.VideoCodec = QStringLiteral("mpeg4");
    recipe.Frames = 10;
    const QString path = TVideos::Get().Make(QStringLiteral("short.avi"), recipe);
    QStringList order;
    struct TSink : TGraphEventSink {
        QStringList* Order;
        void GraphNotify(int code, std::intptr_t, std::intptr_t) override {
            *Order << QStringLiteral("sink %1").arg(code);
        }
        void ControlNotify(int, int) override {}
    } sink;
    sink.Order = &order;
    Graph.InsertEventNotifier(&sink);
    QThread* gui = QThread::currentThread();
    bool onGui = true;
    QObject::connect(&Graph, &TFilterGraph::OnDSEvent,
                     [&](QObject* sender, int code, std::intptr_t, std::intptr_t) {
                         onGui = onGui && QThread::currentThread() == gui && sender == &Graph;
                         order << QStringLiteral("event %1").arg(code);
                     });
    Open(path);
    Graph.Play();
    ASSERT_TRUE(WaitFor([&] { return !order.isEmpty(); }));
    WaitFor([] { return false; }, 300); // nothing more may come
    EXPECT_EQ(order, (QStringList{QStringLiteral("sink 1"), QStringLiteral("event 1")}));
    EXPECT_TRUE(onGui);
    EXPECT_NE(Graph.GetState(), 3);
    EXPECT_EQ(ShownFrame(), 9);
    std::int64_t pos = 0, dur = 0;
    Graph.GetCurrentPosition(pos);
    Graph.GetDuration(dur);
    EXPECT_EQ(dur, FrameTime(10));
    EXPECT_GE(pos, FrameTime(9));

    // Play after the end plays the video again from the start, and ends once more.
    order.clear();
    EXPECT_TRUE(Graph.Play());
    EXPECT_EQ(Graph.GetState(), 3);
    ASSERT_TRUE(WaitFor([&] { return !order.isEmpty(); }));
    EXPECT_EQ(order.size(), 2);
    EXPECT_EQ(ShownFrame(), 9);
}

TEST_F(PlayerTest, GrabWhilePausedReturnsThePausedPictureAndSeeksShowTheNewPlace) {
    Open(TVideos::Get().Avi());
    Graph.Play();
    WaitFor([] { return false; }, 300);
    Graph.Pause();
    WaitFor([] { return false; }, 100);
    const int paused = ShownFrame();
    EXPECT_GT(paused, 0);
    WaitFor([] { return false; }, 200);
    EXPECT_EQ(ShownFrame(), paused) << "the picture stays while paused";
    EXPECT_EQ(Graph.GetState(), 2);

    // Seeks while paused, forwards and backwards, to frames between key frames.
    for (int frame : {37, 5, 30, 49, 0}) {
        ASSERT_EQ(Graph.SetPositions(FrameTime(frame) + 100000, AM_SEEKING_AbsolutePositioning, 0,
                                     AM_SEEKING_NoPositioning),
                  FC_S_OK);
        EXPECT_TRUE(WaitFor([&] { return ShownFrame() == frame; }, 3000)) << frame;
        EXPECT_EQ(Graph.GetState(), 2);
        std::int64_t pos = 0;
        Graph.GetCurrentPosition(pos);
        EXPECT_EQ(pos, FrameTime(frame) + 100000);
    }
    // Playing on from a seek continues from there.
    Graph.SetPositions(FrameTime(20), AM_SEEKING_AbsolutePositioning, 0, AM_SEEKING_NoPositioning);
    ASSERT_TRUE(WaitFor([&] { return ShownFrame() == 20; }, 3000));
    Graph.Play();
    ASSERT_TRUE(WaitFor([&] { return ShownFrame() > 22; }, 3000));
    EXPECT_LT(ShownFrame(), 40);
}

TEST_F(PlayerTest, SeekIsFrameAccurateInH264WithBFrames) {
    Open(TVideos::Get().Mp4());
    ASSERT_EQ(ShownFrame(), 0);
    // Frame 37 lies between the key frames 25 and 50; ask for its first and last instants.
    for (std::int64_t t : {FrameTime(37), FrameTime(38) - 1, FrameTime(13) + 200000}) {
        Graph.SetPositions(t, AM_SEEKING_AbsolutePositioning, 0, AM_SEEKING_NoPositioning);
        const int expected = int(t / 400000);
        EXPECT_TRUE(WaitFor([&] { return ShownFrame() == expected; }, 3000))
            << "asked " << t << " shows " << ShownFrame();
    }
    // Beyond the end: the last picture.
    Graph.SetPositions(FrameTime(500), AM_SEEKING_AbsolutePositioning, 0, AM_SEEKING_NoPositioning);
    EXPECT_TRUE(WaitFor([&] { return ShownFrame() == 49; }, 3000));
}

TEST_F(PlayerTest, GrabWritesABottomUp24BitBmpOfTheFullPicture) {
    // An odd row length (330 x 3 bytes = 990) needs two padding bytes per row.
    fctest::TTestVideoSpec recipe;
    recipe.VideoCodec = QStringLiteral("ffv1");
    recipe.Width = 330;
    recipe.Height = 200;
    recipe.Frames = 5;
    const QString path = TVideos::Get().Make(QStringLiteral("odd.mkv"), recipe);
    Open(path);
    Stream.Write("xyz", 3); // the grab goes at the position, which then returns to 0
    ASSERT_TRUE(Graph.GrabCurrentImage(Stream));
    EXPECT_EQ(Stream.Position(), 0);
    const std::uint8_t* d = Stream.Data() + 3;
    auto u32 = [&](int at) {
        return d[at] | d[at + 1] << 8 | d[at + 2] << 16 | uint32_t(d[at + 3]) << 24;
    };
    EXPECT_EQ(d[0], 'B');
    EXPECT_EQ(d[1], 'M');
    const uint32_t stride = 992;
    EXPECT_EQ(u32(2), 14 + 40 + stride * 200);
    EXPECT_EQ(u32(10), 54u);
    EXPECT_EQ(u32(14), 40u);
    EXPECT_EQ(u32(18), 330u);
    EXPECT_EQ(u32(22), 200u) << "positive height: bottom-up";
    EXPECT_EQ(d[28], 24);
    EXPECT_EQ(u32(30), 0u) << "BI_RGB";
    EXPECT_EQ(u32(34), stride * 200);
    EXPECT_EQ(Stream.Size(), 3 + 54 + stride * 200);
    // The first stored row is the bottom of the picture (grey pattern), the last the top
    // (code blocks; frame 0: all black); padding bytes are zero.
    const std::uint8_t* pixels = d + 54;
    EXPECT_GT(pixels[0], 40);
    EXPECT_LT(pixels[std::ptrdiff_t(199) * stride + 10], 40);
    EXPECT_EQ(pixels[990], 0);
    EXPECT_EQ(pixels[991], 0);
    QImage img = QImage::fromData(d, int(Stream.Size() - 3), "BMP");
    ASSERT_FALSE(img.isNull());
    EXPECT_EQ(img.size(), QSize(330, 200));
    EXPECT_EQ(fctest::FrameNumberOf(img), 0);
}

TEST(DibHeaderTest, FileHeaderFieldsFor24And32BitPictures) {
    fcvideo::TBitmapInfoHeader info;
    info.Width = 1921;
    info.Height = 1080;
    info.BitCount = 24;
    info.SizeImage = 0; // computed from the rows
    EXPECT_EQ(fcvideo::DibStride(1921, 24), 5764u);
    fcvideo::TBitmapFileHeader h = fcvideo::BmpFileHeaderFor(info);
    EXPECT_EQ(h.Type, 0x4D42);
    EXPECT_EQ(h.FileSize, 14u + 40u + 5764u * 1080u);
    EXPECT_EQ(h.OffBits, 54u);
    EXPECT_EQ(h.Reserved1 | h.Reserved2, 0);

    info.BitCount = 32;
    info.Width = 640;
    info.Height = 480;
    info.SizeImage = 640 * 480 * 4;
    info.ClrUsed = 3; // e.g. three masks counted as colours
    h = fcvideo::BmpFileHeaderFor(info);
    EXPECT_EQ(h.FileSize, 14u + 40u + 640u * 480u * 4u + 12u);
    EXPECT_EQ(h.OffBits, 14u + 40u + 12u);
    info.ClrUsed = 0;
    EXPECT_EQ(fcvideo::BmpFileHeaderFor(info).OffBits, 54u);

    // Up to 8 bits without a count: the full table is skipped by the offset.
    info.BitCount = 8;
    info.SizeImage = 100;
    EXPECT_EQ(fcvideo::DibColorTableSize(info), 1024u);
    EXPECT_EQ(fcvideo::BmpFileHeaderFor(info).OffBits, 14u + 40u + 1024u);

    std::uint8_t bytes[14];
    fcvideo::StoreFileHeader(h, bytes);
    EXPECT_EQ(bytes[0], 'B');
    EXPECT_EQ(bytes[1], 'M');
    EXPECT_EQ(bytes[2] | bytes[3] << 8 | bytes[4] << 16 | bytes[5] << 24, int(h.FileSize));
}

// Every container of the open dialog that this system's FFmpeg writes: opens, shows frame 0,
// seeks exactly, plays to the end.
struct TFormat {
    const char* File;
    const char* Video;
    const char* Audio;
};

class FormatTest : public PlayerTest, public ::testing::WithParamInterface<TFormat> {};

TEST_P(FormatTest, OpensSeeksAndPlaysToTheEnd) {
    const TFormat f = GetParam();
    if (!fctest::HasEncoder(QString::fromLatin1(f.Video)) ||
        (*f.Audio && !fctest::HasEncoder(QString::fromLatin1(f.Audio))))
        GTEST_SKIP() << "no encoder " << f.Video;
    fctest::TTestVideoSpec recipe;
    recipe.VideoCodec = QString::fromLatin1(f.Video);
    recipe.AudioCodec = QString::fromLatin1(f.Audio);
    recipe.Frames = 25;
    recipe.Gop = 10;
    const QString path = TVideos::Get().Make(QString::fromLatin1(f.File), recipe);
    ASSERT_FALSE(path.isEmpty());
    Open(path);
    EXPECT_EQ(ShownFrame(), 0);
    Graph.SetPositions(FrameTime(17) + 10000, AM_SEEKING_AbsolutePositioning, 0,
                       AM_SEEKING_NoPositioning);
    EXPECT_TRUE(WaitFor([&] { return ShownFrame() == 17; }, 3000)) << ShownFrame();
    int ends = 0;
    QObject::connect(&Graph, &TFilterGraph::OnDSEvent,
                     [&](QObject*, int code, std::intptr_t, std::intptr_t) { ends += code == 1; });
    Graph.Play();
    EXPECT_TRUE(WaitFor([&] { return ends == 1; }, 5000));
    EXPECT_EQ(ShownFrame(), 24);
}

INSTANTIATE_TEST_SUITE_P(
    Containers, FormatTest,
    ::testing::Values(TFormat{"f.avi", "mpeg4", "mp2"}, TFormat{"f.mp4", "libx264", "aac"},
                      TFormat{"f.mov", "mpeg4", ""}, TFormat{"f.mkv", "ffv1", "libvorbis"},
                      TFormat{"f.webm", "libvpx", "libopus"},
                      TFormat{"f.ogv", "libtheora", "libvorbis"},
                      TFormat{"f.flv", "flv", "libmp3lame"}, TFormat{"f.mpg", "mpeg2video", "mp2"},
                      TFormat{"f.vob", "mpeg2video", "mp2"}, TFormat{"f.wmv", "wmv2", "wmav2"},
                      TFormat{"f.asf", "msmpeg4", ""}),
    [](const auto& info) {
        return QString::fromLatin1(info.param.File).replace('.', '_').toStdString();
    });

TEST_F(PlayerTest, SoundOnlyFilePlaysToTheEndAndGrabsNothing) {
    fctest::TTestVideoSpec recipe;
    recipe.AudioCodec = QStringLiteral("mp2");
    recipe.AudioSeconds = 0.5;
    const QString path = TVideos::Get().Make(QStringLiteral("sound.mpg"), recipe);
    Open(path);
    EXPECT_FALSE(Graph.GrabCurrentImage(Stream));
    EXPECT_EQ(Stream.Size(), 0);
    int ends = 0;
    QObject::connect(&Graph, &TFilterGraph::OnDSEvent,
                     [&](QObject*, int code, std::intptr_t, std::intptr_t) { ends += code == 1; });
    EXPECT_TRUE(Graph.Play());
    EXPECT_EQ(Graph.GetState(), 3);
    EXPECT_TRUE(WaitFor([&] { return ends == 1; }, 5000));
    EXPECT_FALSE(Graph.GrabCurrentImage(Stream));
}

TEST_F(PlayerTest, PreviewIsLetterboxedWithTheSampleAspectRatio) {
    // 320 x 240 pixels twice as wide as high: shown as 640 x 240 (8:3).
    fctest::TTestVideoSpec recipe;
    recipe.VideoCodec = QStringLiteral("mpeg4");
    recipe.Frames = 5;
    recipe.SampleAspectNum = 2;
    recipe.SampleAspectDen = 1;
    const QString path = TVideos::Get().Make(QStringLiteral("wide.avi"), recipe);
    TVideoWindow window;
    window.SetFilterGraph(&Graph);
    window.resize(300, 225);
    window.show();
    Open(path);
    EXPECT_NEAR(Graph.DisplayAspect(), 8.0 / 3.0, 1e-9);
    // The stream's own facts, for a sheet's header: its coded size, codec and rate.
    const fcvideo::TVideoFacts facts = Graph.Player()->VideoFacts();
    EXPECT_EQ(QSize(facts.Width, facts.Height), QSize(320, 240));
    EXPECT_EQ(facts.Codec, QStringLiteral("mpeg4"));
    EXPECT_DOUBLE_EQ(facts.FrameRate, 25.0);
    const QRect box = fcvideo::LetterboxRect(window.rect(), Graph.DisplayAspect());
    EXPECT_EQ(box, QRect(0, 56, 300, 113));
    EXPECT_EQ(Graph.DisplayPicture().size(), QSize(300, 113)) << "scaled once, to the box";
    QImage shot = window.grab().toImage();
    EXPECT_EQ(shot.pixelColor(150, 20), QColor(Qt::black));
    EXPECT_EQ(shot.pixelColor(150, 210), QColor(Qt::black));
    EXPECT_GT(qGray(shot.pixel(150, 150)), 40) << "the picture's grey pattern";
    EXPECT_EQ(fctest::FrameNumberOf(shot.copy(box)), 0);

    // Following the window's size: a tall window puts the bars left and right.
    window.resize(200, 400);
    QCoreApplication::processEvents();
    EXPECT_EQ(Graph.DisplayPicture().size(), QSize(200, 75));
    window.resize(400, 100);
    QCoreApplication::processEvents();
    EXPECT_EQ(Graph.DisplayPicture().size(), QSize(267, 100));
    shot = window.grab().toImage();
    EXPECT_EQ(shot.pixelColor(30, 50), QColor(Qt::black));
    EXPECT_EQ(shot.pixelColor(370, 50), QColor(Qt::black));
    if (qEnvironmentVariableIsSet("FC_SAVE_PREVIEW"))
        shot.save(qEnvironmentVariable("FC_SAVE_PREVIEW"));
}

TEST(LetterboxTest, FitsTheAspectRatioCentred) {
    EXPECT_EQ(fcvideo::LetterboxRect(QRect(0, 0, 300, 225), 4.0 / 3.0), QRect(0, 0, 300, 225));
    EXPECT_EQ(fcvideo::LetterboxRect(QRect(0, 0, 300, 225), 16.0 / 9.0), QRect(0, 28, 300, 169));
    EXPECT_EQ(fcvideo::LetterboxRect(QRect(0, 0, 300, 100), 4.0 / 3.0), QRect(83, 0, 133, 100));
    EXPECT_TRUE(fcvideo::LetterboxRect(QRect(0, 0, 0, 100), 1.0).isEmpty());
    EXPECT_TRUE(fcvideo::LetterboxRect(QRect(0, 0, 100, 100), 0).isEmpty());
}

// Bad input: every case raises the player's error with FFmpeg's text and the code, leaves
// the graph usable, and crashes nothing.
class BadInputTest : public PlayerTest {
protected:
    void ExpectFails(const QString& path) {
        Graph.SetActive(true);
        try {
            Graph.RenderMediaFile(path);
            ADD_FAILURE() << "no error for " << path.toStdString();
        } catch (const EDirectShowException& e) {
            const QString expected = EDirectShowException::MessageFor(e.ErrorCode());
            EXPECT_EQ(e.Message(), expected);
            EXPECT_TRUE(e.Message().endsWith(
                QString::asprintf(" ($%x).", unsigned(std::uint32_t(e.ErrorCode())))));
            EXPECT_LT(e.ErrorCode(), 0);
        }
        EXPECT_EQ(Graph.GetState(), 1);
        EXPECT_FALSE(Graph.Play());
        EXPECT_FALSE(Graph.GrabCurrentImage(Stream));
        // Still usable: a good file opens next.
        Graph.ResetGraph();
        Graph.SetActive(false);
        Open(TVideos::Get().Avi());
        EXPECT_EQ(ShownFrame(), 0);
        Graph.SetActive(false);
    }
    QString Write(const QString& name, const QByteArray& bytes) {
        const QString path = TVideos::Get().Dir() + QStringLiteral("/") + name;
        QFile f(path);
        EXPECT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(bytes);
        return path;
    }
    static QByteArray Read(const QString& path) {
        QFile f(path);
        f.open(QIODevice::ReadOnly);
        return f.readAll();
    }
};

TEST(ErrorTextTest, FfmpegTextAndTheCodeInHex) {
    EXPECT_EQ(EDirectShowException(AVERROR(ENOENT)).Message(),
              QStringLiteral("No such file or directory ($fffffffe)."));
    EDirectShowException e(AVERROR_INVALIDDATA);
    EXPECT_EQ(e.Message(), QStringLiteral("Invalid data found when processing input ($bebbb1b7)."));
}

TEST_F(BadInputTest, EmptyFile) {
    ExpectFails(Write(QStringLiteral("empty.avi"), {}));
}

TEST_F(BadInputTest, TruncatedFiles) {
    const QByteArray mp4 = Read(TVideos::Get().Mp4());
    ASSERT_GT(mp4.size(), 1000);
    ExpectFails(Write(QStringLiteral("cut.mp4"), mp4.left(mp4.size() / 3)));
    const QByteArray avi = Read(TVideos::Get().Avi());
    ExpectFails(Write(QStringLiteral("cut.avi"), avi.left(600)));
}

TEST_F(BadInputTest, RandomBytes) {
    std::mt19937 gen(12345);
    for (const char* name : {"noise.avi", "noise.mkv", "noise.mpg", "noise.wmv"}) {
        QByteArray bytes(200000, 0);
        for (char& c : bytes)
            c = char(gen());
        ExpectFails(Write(QString::fromLatin1(name), bytes));
    }
}

TEST_F(BadInputTest, PictureRenamedAvi) {
    QImage img(64, 48, QImage::Format_RGB32);
    img.fill(Qt::red);
    for (const char* fmt : {"PNG", "JPG", "BMP"}) {
        const QString path = TVideos::Get().Dir() + QStringLiteral("/pic_%1.avi").arg(fmt);
        ASSERT_TRUE(img.save(path, fmt));
        ExpectFails(path);
    }
}

TEST_F(BadInputTest, DirectoryAndDeletedFile) {
    QDir(TVideos::Get().Dir()).mkpath(QStringLiteral("folder.avi"));
    ExpectFails(TVideos::Get().Dir() + QStringLiteral("/folder.avi"));
    const QString gone = Write(QStringLiteral("gone.avi"), Read(TVideos::Get().Avi()));
    QFile::remove(gone); // deleted between the dialog and rendering
    ExpectFails(gone);
}

TEST_F(BadInputTest, FileWithoutReadPermission) {
    const QString locked = Write(QStringLiteral("locked.avi"), Read(TVideos::Get().Avi()));
    QFile::setPermissions(locked, QFileDevice::Permissions());
    QFile probe(locked);
    if (probe.open(QIODevice::ReadOnly))
        GTEST_SKIP() << "running with the right to read any file";
    ExpectFails(locked);
}

TEST_F(BadInputTest, CodecWithoutDecoder) {
    // An AVI whose video stream claims a four-character code no decoder knows.
    QByteArray avi = Read(TVideos::Get().Avi());
    ASSERT_TRUE(avi.contains("FMP4"));
    avi.replace("FMP4", "QZ9X");
    ExpectFails(Write(QStringLiteral("nocodec.avi"), avi));
}

// Life-cycle changes while a file plays release everything (checked by the sanitizers).
TEST_F(PlayerTest, ResetOpenAndDestroyDuringPlayback) {
    Open(TVideos::Get().Mp4());
    Graph.Play();
    WaitFor([] { return false; }, 100);
    Graph.ResetGraph();
    Graph.SetActive(false);
    Open(TVideos::Get().Avi());
    Graph.Play();
    WaitFor([] { return false; }, 100);
    Graph.RenderMediaFile(TVideos::Get().Mp4()); // opened while another plays
    EXPECT_EQ(Graph.GetState(), 1);
    EXPECT_EQ(ShownFrame(), 0);
    Graph.Play();
    WaitFor([] { return false; }, 100);
    auto other = std::make_unique<TFilterGraph>();
    auto window = std::make_unique<TVideoWindow>();
    window->SetFilterGraph(other.get());
    other->SetActive(true);
    other->RenderMediaFile(TVideos::Get().Avi());
    other->Play();
    WaitFor([] { return false; }, 100);
    other.reset(); // the graph goes first, the window forgets it
    EXPECT_EQ(window->FilterGraph(), nullptr);
    window->grab();
}

} // namespace
