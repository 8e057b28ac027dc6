// Capture of a range at decode speed, as the "Capture Frames ..." window runs it: the frames
// of a range every N ms, N frames evenly spaced, or one per shot, timed from opening the file
// to the last frame handed out (the frames themselves are only counted). With --verify a
// second, untimed pass compares every frame with what the real player shows after an exact
// seek to its time, pixel for pixel. With --cancel MS the capture runs on a worker and is
// cancelled after MS milliseconds: cancel_ms is the time it then takes to stop. --times
// writes each frame's time in the video to the standard error stream.

#include "bench/bench_registry.h"

#include "codecs/bmp_codec.h"
#include "common/kw_stream.h"
#include "video/filter_graph.h"
#include "video/range_capture.h"

#include <QElapsedTimer>
#include <QFileInfo>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <exception>
#include <thread>

namespace {

bool SameRgb(const QImage& a, const QImage& b) {
    if (a.size() != b.size() || a.format() != b.format())
        return false;
    const size_t rowBytes = size_t(a.width()) * 3;
    for (int y = 0; y < a.height(); ++y)
        if (std::memcmp(a.constScanLine(y), b.constScanLine(y), rowBytes) != 0)
            return false;
    return true;
}

int RunRange(const QStringList& args) {
    const QStringList values = {"--every",       "--count", "--from",  "--to",
                                "--sensitivity", "--gap",   "--cancel"};
    const QStringList files = bench::Positional(args, values);
    if (files.isEmpty() || !QFileInfo(files.front()).isFile()) {
        std::fprintf(stderr, "range: a video file is needed\n");
        return 2;
    }
    fcvideo::TRangeSettings s;
    if (bench::Flag(args, "--scenes")) {
        s.Mode = fcvideo::TRangeMode::Scenes;
    } else if (!bench::Option(args, "--count").isEmpty()) {
        s.Mode = fcvideo::TRangeMode::Count;
        s.Count = bench::Option(args, "--count").toInt();
    } else if (!bench::Option(args, "--every").isEmpty()) {
        s.EveryMs = bench::Option(args, "--every").toInt();
    } else {
        std::fprintf(stderr, "range: --every MS, --count N or --scenes\n");
        return 2;
    }
    s.FromMs = bench::Option(args, "--from", "0").toLongLong();
    s.ToMs = bench::Option(args, "--to", "-1").toLongLong();
    s.Sensitivity = bench::Option(args, "--sensitivity", "50").toInt();
    s.MinGapMs = bench::Option(args, "--gap", "500").toInt();
    const QString path = files.front();

    try {
        int frames = 0;
        const bool times = bench::Flag(args, "--times");
        fcvideo::TRangeCallbacks count;
        count.Frame = [&](fcvideo::TRangeFrame&& frame) {
            ++frames;
            if (times)
                std::fprintf(stderr, "%.3f\n", frame.TimeUs / 1e6);
            return true;
        };
        const QString cancelAfter = bench::Option(args, "--cancel");
        if (!cancelAfter.isEmpty()) {
            // Cancel after that many milliseconds: how long the capture takes to stop.
            std::atomic<bool> cancel{false};
            count.Cancelled = [&] { return cancel.load(); };
            QElapsedTimer stopping;
            std::thread worker([&] { fcvideo::CaptureRange(path, s, count); });
            std::this_thread::sleep_for(std::chrono::milliseconds(cancelAfter.toInt()));
            stopping.start();
            cancel = true;
            worker.join();
            std::printf("frames=%d cancel_ms=%.1f\n", frames, stopping.nsecsElapsed() / 1e6);
            return 0;
        }
        QElapsedTimer timer;
        timer.start();
        fcvideo::CaptureRange(path, s, count);
        const double seconds = timer.nsecsElapsed() / 1e9;

        if (!bench::Flag(args, "--verify")) {
            std::printf("frames=%d seconds=%.3f\n", frames, seconds);
            return 0;
        }
        TFilterGraph graph;
        graph.SetActive(true);
        graph.RenderMediaFile(path);
        graph.Pause();
        kw::TMemoryStream stream;
        QImage shown;
        int exact = 0, checked = 0;
        fcvideo::TRangeCallbacks verify;
        verify.Frame = [&](fcvideo::TRangeFrame&& frame) {
            ++checked;
            graph.SetPositions(frame.TargetUs * 10, AM_SEEKING_AbsolutePositioning, 0,
                               AM_SEEKING_NoPositioning);
            stream.Clear();
            const bool same = graph.GrabCurrentImage(stream) &&
                              codecs::ReadBmp(stream.Data(), stream.Size(), shown) &&
                              graph.ShownTime() == frame.TimeUs * 10 &&
                              SameRgb(shown, frame.Picture);
            exact += same;
            if (!same)
                std::fprintf(stderr, "frame at %.3f s (asked %.3f s) differs from the player's\n",
                             frame.TimeUs / 1e6, frame.TargetUs / 1e6);
            return true;
        };
        fcvideo::CaptureRange(path, s, verify);
        std::printf("frames=%d seconds=%.3f exact=%d of %d\n", frames, seconds, exact, checked);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "range: %s\n", e.what());
        return 1;
    }
    return 0;
}

} // namespace

FC_BENCH_COMMAND(range,
                 "range FILE (--every MS | --count N | --scenes) [--from MS] [--to MS] [--verify] "
                 "[--sensitivity 1..100] [--gap MS] [--cancel MS] [--times]",
                 RunRange);
