// Measurements of the player: real-time playback, grabs, first picture, frame-accurate seeks.
// Each runs the real player and preview window on the offscreen platform.

#include "bench/bench_registry.h"

#include "common/kw_stream.h"
#include "video/filter_graph.h"
#include "video/media_player.h"
#include "video/video_window.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QImage>
#include <QThread>

#include <sys/resource.h>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <memory>
#include <vector>

namespace {

double CpuSeconds() {
    rusage u{};
    getrusage(RUSAGE_SELF, &u);
    return double(u.ru_utime.tv_sec + u.ru_stime.tv_sec) +
           double(u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6;
}

bool Spin(const std::function<bool()>& done, int timeoutMs) {
    QElapsedTimer t;
    t.start();
    while (!done()) {
        if (t.elapsed() > timeoutMs)
            return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 1);
        QThread::usleep(200);
    }
    return true;
}

// The graph and the preview as the main window has them.
struct TRig {
    TFilterGraph Graph;
    TVideoWindow Window;
    TRig() {
        Window.resize(300, 225);
        Window.SetFilterGraph(&Graph);
        Window.show();
        Graph.SetVolume(3000);
        QCoreApplication::processEvents();
    }
    bool Open(const QString& path) {
        Graph.ResetGraph();
        Graph.SetActive(false);
        Graph.SetActive(true);
        try {
            Graph.RenderMediaFile(path);
        } catch (const std::exception& e) {
            std::fprintf(stderr, "%s\n", e.what());
            return false;
        }
        return true;
    }
    fcvideo::TMediaPlayer& Player() { return *Graph.Player(); }
    // Waits until a picture beyond `shownBefore` pictures is on display and painted.
    bool WaitShown(std::int64_t shownBefore) {
        const bool ok = Spin([&] { return Player().FramesShown() > shownBefore; }, 5000);
        QCoreApplication::processEvents();
        return ok;
    }
};

int RunPlay(const QStringList& args) {
    const QStringList files = bench::Positional(args, {QStringLiteral("--seconds")});
    if (files.isEmpty())
        return 2;
    const double seconds =
        bench::Option(args, QStringLiteral("--seconds"), QStringLiteral("30")).toDouble();
    TRig rig;
    if (!rig.Open(files[0]))
        return 1;
    const std::int64_t shown0 = rig.Player().FramesShown();
    const double cpu0 = CpuSeconds();
    QElapsedTimer wall;
    wall.start();
    rig.Graph.Play();
    bool ended = false;
    QObject::connect(&rig.Graph, &TFilterGraph::OnDSEvent,
                     [&](QObject*, int code, std::intptr_t, std::intptr_t) { ended |= code == 1; });
    Spin([&] { return ended || wall.elapsed() >= seconds * 1000; }, int(seconds * 1000) + 1000);
    const double elapsed = wall.elapsed() / 1000.0;
    const double cpu = CpuSeconds() - cpu0;
    const std::int64_t shown = rig.Player().FramesShown() - shown0;
    const std::int64_t expected =
        std::int64_t(elapsed * 1e6 / double(rig.Player().FrameDurationUs()));
    const std::int64_t dropped = rig.Player().FramesDropped();
    std::printf("expected_frames=%lld sound_device=%d\n", (long long)expected,
                int(rig.Player().SoundOutputActive()));
    rig.Graph.ResetGraph();
    std::printf("seconds=%.1f frames_shown=%lld frames_dropped=%lld cpu_percent=%.1f\n", elapsed,
                (long long)shown, (long long)dropped, 100.0 * cpu / elapsed);
    return 0;
}

int RunGrab(const QStringList& args) {
    const QStringList files = bench::Positional(args, {QStringLiteral("--count")});
    if (files.isEmpty())
        return 2;
    const int count = bench::Option(args, QStringLiteral("--count"), QStringLiteral("30")).toInt();
    TRig rig;
    if (!rig.Open(files[0]))
        return 1;
    rig.Graph.Pause();
    std::int64_t duration = 0;
    rig.Graph.GetDuration(duration);
    kw::TMemoryStream stream;
    std::vector<double> times;
    QSize size;
    for (int i = 0; i < count; ++i) {
        const std::int64_t shown = rig.Player().FramesShown();
        rig.Graph.SetPositions(duration * i / std::max(count, 1), AM_SEEKING_AbsolutePositioning, 0,
                               AM_SEEKING_NoPositioning);
        rig.WaitShown(shown);
        QElapsedTimer t;
        t.start();
        stream.Clear();
        if (!rig.Graph.GrabCurrentImage(stream))
            return 1;
        const QImage img = QImage::fromData(stream.Data(), int(stream.Size()), "BMP");
        times.push_back(t.nsecsElapsed() / 1e6);
        if (img.isNull())
            return 1;
        size = img.size();
    }
    std::printf("grabs=%d median_ms=%.2f max_ms=%.2f width=%d height=%d\n", count,
                bench::MedianMs(times), *std::max_element(times.begin(), times.end()), size.width(),
                size.height());
    return 0;
}

int RunOpen(const QStringList& args) {
    const QStringList files = bench::Positional(args, {});
    if (files.isEmpty())
        return 2;
    TRig rig;
    std::vector<double> times;
    for (int i = 0; i < 5; ++i) {
        rig.Graph.ResetGraph();
        rig.Graph.SetActive(false);
        rig.Graph.SetActive(true);
        QElapsedTimer t;
        t.start();
        try {
            rig.Graph.RenderMediaFile(files[0]);
        } catch (const std::exception& e) {
            std::fprintf(stderr, "%s\n", e.what());
            return 1;
        }
        rig.Graph.Play();
        Spin([&] { return !rig.Graph.DisplayPicture().isNull(); }, 5000);
        rig.Window.repaint(); // painted on the preview
        times.push_back(t.nsecsElapsed() / 1e6);
    }
    std::printf("first_picture_ms=%.1f\n", bench::MedianMs(times));
    return 0;
}

int RunSeek(const QStringList& args) {
    const QStringList files = bench::Positional(args, {QStringLiteral("--count")});
    if (files.isEmpty())
        return 2;
    const int count = bench::Option(args, QStringLiteral("--count"), QStringLiteral("20")).toInt();
    const bool verbose = bench::Flag(args, QStringLiteral("--verbose"));
    TRig rig;
    if (!rig.Open(files[0]))
        return 1;
    rig.Graph.Pause();
    std::int64_t duration = 0;
    rig.Graph.GetDuration(duration);
    const std::int64_t frame = rig.Player().FrameDurationUs() * 10;
    std::vector<double> times;
    int exact = 0;
    // The first few seeks go to the first pictures (where files whose clock starts late go
    // wrong), the others spread over the file; all to the middle of a frame.
    const int early = std::min(5, count / 4);
    for (int i = 0; i < count; ++i) {
        const std::int64_t target =
            i < early
                ? i * frame + frame / 2
                : (duration - 20 * frame) * (2 * i + 1) / (2 * count) / frame * frame + frame / 2;
        const std::int64_t shown = rig.Player().FramesShown();
        QElapsedTimer t;
        t.start();
        rig.Graph.SetPositions(target, AM_SEEKING_AbsolutePositioning, 0, AM_SEEKING_NoPositioning);
        rig.WaitShown(shown);
        times.push_back(t.nsecsElapsed() / 1e6);
        const std::int64_t at = rig.Player().ShownTimeUs() * 10;
        const bool hit = at <= target && target < at + frame;
        exact += hit;
        if (!hit && verbose)
            std::fprintf(stderr, "asked %.3f s, shows %.3f s\n", target / 1e7, at / 1e7);
    }
    std::printf("seeks=%d median_ms=%.1f max_ms=%.1f exact=%d\n", count, bench::MedianMs(times),
                *std::max_element(times.begin(), times.end()), exact);
    return 0;
}

// One-frame steps while paused, as Left and Right do them: from 40 % into the file, count steps
// forward, then count back; then from 60 % four times count steps back, which run past the
// trail of decoded pictures (far_back: median and worst step). A step is exact when the picture it
// brings starts one frame duration after (or before) the one shown before it, within half a frame.
int RunStep(const QStringList& args) {
    const QStringList files = bench::Positional(args, {QStringLiteral("--count")});
    if (files.isEmpty())
        return 2;
    const int count = bench::Option(args, QStringLiteral("--count"), QStringLiteral("20")).toInt();
    TRig rig;
    if (!rig.Open(files[0]))
        return 1;
    rig.Graph.Pause();
    std::int64_t duration = 0;
    rig.Graph.GetDuration(duration);
    const std::int64_t frameUs = rig.Player().FrameDurationUs();
    std::int64_t shown = rig.Player().FramesShown();
    rig.Graph.SetPositions(duration * 2 / 5, AM_SEEKING_AbsolutePositioning, 0,
                           AM_SEEKING_NoPositioning);
    rig.WaitShown(shown);
    int exact = 0;
    double worst = 0;
    const auto steps = [&](int direction, int n) {
        std::vector<double> times;
        worst = 0;
        for (int i = 0; i < n; ++i) {
            const std::int64_t before = rig.Player().ShownTimeUs();
            shown = rig.Player().FramesShown();
            QElapsedTimer t;
            t.start();
            if (!rig.Graph.StepFrame(direction) || !rig.WaitShown(shown))
                break;
            times.push_back(t.nsecsElapsed() / 1e6);
            worst = std::max(worst, times.back());
            const std::int64_t moved = (rig.Player().ShownTimeUs() - before) * direction;
            exact += moved > frameUs / 2 && moved < frameUs * 3 / 2;
        }
        return times.empty() ? -1.0 : bench::MedianMs(times);
    };
    const double forward = steps(1, count);
    const double back = steps(-1, count);
    // Back steps from a new place, far more than the trail of decoded pictures holds: every
    // few steps one is an exact seek from the key picture before it.
    shown = rig.Player().FramesShown();
    rig.Graph.SetPositions(duration * 3 / 5, AM_SEEKING_AbsolutePositioning, 0,
                           AM_SEEKING_NoPositioning);
    rig.WaitShown(shown);
    const int nearExact = exact;
    exact = 0;
    const double far = steps(-1, 4 * count);
    std::printf("forward_ms=%.1f back_ms=%.1f exact=%d of %d far_back_ms=%.1f far_back_max_ms=%.1f "
                "far_exact=%d of %d\n",
                forward, back, nearExact, 2 * count, far, worst, exact, 4 * count);
    return 0;
}

} // namespace

FC_BENCH_COMMAND(step, "step FILE [--count N]", RunStep);
FC_BENCH_COMMAND(play, "play FILE [--seconds S]", RunPlay);
FC_BENCH_COMMAND(grab, "grab FILE [--count N]", RunGrab);
FC_BENCH_COMMAND(open, "open FILE", RunOpen);
FC_BENCH_COMMAND(seek, "seek FILE [--count N] [--verbose]", RunSeek);
