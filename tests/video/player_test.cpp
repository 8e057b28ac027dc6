// The player on FFmpeg: states, volume, notifications, grabs, seeking and bad input, with test
// videos whose pictures carry their frame numbers.

#include "tests/support/fake_desktop.h"
#include "tests/video/test_videos.h"
#include "video/dib_header.h"
#include "video/filter_graph.h"
#include "video/media_player.h"
#include "video/video_window.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QImage>
#include <QTemporaryDir>
#include <QThread>

#include <gtest/gtest.h>

#include <functional>
#include <random>

namespace {

// Runs the event loop until cond holds or the time is up.
bool WaitFor(const std::function<bool()>& cond, int ms = 10000) {
    QDeadlineTimer deadline(ms);
    while (!cond()) {
        if (deadline.hasExpired())
            return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        QThread::msleep(2);
    }
    return true;
}

QImage Decode(const kw::TMemoryStream& s) {
    return QImage::fromData(s.Data(), int(s.Size()), "BMP");
}

// Test videos made once per test program.
class TVideos {
public:
    static TVideos& Get() {
        static TVideos v;
        return v;
    }
    QString Make(const QString& name, fctest::TTestVideoSpec spec) {
        const QString path = FDir.filePath(name);
        if (!QFile::exists(path)) {
            spec.Path = path;
            QString error;
            if (!fctest::MakeTestVideo(spec, &error)) {
                ADD_FAILURE() << "cannot make " << name.toStdString() << ": "
                              << error.toStdString();
                return {};
            }
        }
        return path;
    }
    // 2 s of MPEG-4 in AVI at 25 fps, key frame every 12.
    QString Avi() {
        fctest::TTestVideoSpec s;
        s.VideoCodec = QStringLiteral("mpeg4");
        return Make(QStringLiteral("clip.avi"), s);
    }
    QString Dir() const { return FDir.path(); }

private:
    QTemporaryDir FDir;
};

struct TRecorder : TGraphEventSink {
    QList<QPair<int, int>> Controls;
    QList<int> Codes;
    void GraphNotify(int code, std::intptr_t, std::intptr_t) override { Codes << code; }
    void ControlNotify(int event, int param) override { Controls << qMakePair(event, param); }
};

class PlayerTest : public ::testing::Test {
protected:
    void Open(const QString& path) {
        Graph.SetActive(true);
        Graph.RenderMediaFile(path);
    }
    int ShownFrame() {
        Stream.Clear();
        if (!Graph.GrabCurrentImage(Stream))
            return -2;
        return fctest::FrameNumberOf(Decode(Stream));
    }
    TFilterGraph Graph;
    kw::TMemoryStream Stream;
};

TEST_F(PlayerTest, OpensAndShowsTheFirstPicture) {
    Open(TVideos::Get().Avi());
    EXPECT_EQ(Graph.GetState(), 1);
    EXPECT_EQ(ShownFrame(), 0);
}

} // namespace
