#pragma once
// What the player tests share: waiting on the event loop, the test videos made once per test
// program, and a graph fixture that reads the frame number of the picture on display.

#include "common/kw_stream.h"
#include "tests/video/test_videos.h"
#include "video/filter_graph.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QFile>
#include <QImage>
#include <QTemporaryDir>
#include <QThread>

#include <gtest/gtest.h>

#include <functional>

namespace fctest {

// Runs the event loop until cond holds or the time is up.
inline bool WaitFor(const std::function<bool()>& cond, int ms = 10000) {
    QDeadlineTimer deadline(ms);
    while (!cond()) {
        if (deadline.hasExpired())
            return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        QThread::msleep(2);
    }
    return true;
}

inline QImage Decode(const kw::TMemoryStream& s) {
    return QImage::fromData(s.Data(), int(s.Size()), "BMP");
}

// Test videos made once per test program.
class TVideos {
public:
    static TVideos& Get() {
        static TVideos v;
        return v;
    }
    QString Make(const QString& name, fctest::TTestVideoSpec recipe) {
        const QString path = FDir.filePath(name);
        if (!QFile::exists(path)) {
            recipe.Path = path;
            QString error;
            if (!fctest::MakeTestVideo(recipe, &error)) {
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
    // 2 s of H.264 in MP4 (or MPEG-4 without libx264) with B-frames, key frame every 25.
    QString Mp4() {
        fctest::TTestVideoSpec s;
        s.VideoCodec = fctest::HasEncoder(QStringLiteral("libx264")) ? QStringLiteral("libx264")
                                                                     : QStringLiteral("mpeg4");
        s.Gop = 25;
        s.MaxBFrames = 2;
        s.AudioCodec = QStringLiteral("aac");
        return Make(QStringLiteral("clip.mp4"), s);
    }
    // H.264 with B-frames (MPEG-4 without libx264), key pictures every 12, 80 pictures whose
    // times leave gaps: picture 1 comes five frame durations after picture 0 (as a phone's
    // second picture may), picture 41 four after picture 40.
    QString Gapped() {
        fctest::TTestVideoSpec s;
        s.VideoCodec = fctest::HasEncoder(QStringLiteral("libx264")) ? QStringLiteral("libx264")
                                                                     : QStringLiteral("mpeg4");
        s.Frames = 80;
        s.Gop = 12;
        s.MaxBFrames = 2;
        for (int i = 0; i < s.Frames; ++i)
            s.Times << (i == 0 ? 0 : i + 4 + (i > 40 ? 3 : 0));
        return Make(QStringLiteral("gapped.mp4"), s);
    }
    QString Dir() const { return FDir.path(); }

private:
    QTemporaryDir FDir;
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

// Frame n of a 25 fps clip spans [n * 40 ms, (n + 1) * 40 ms); in 100 ns units.
constexpr std::int64_t FrameTime(int n) {
    return std::int64_t(n) * 400000;
}

} // namespace fctest
