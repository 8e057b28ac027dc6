// framecatch-bench frames: fills a real frame list on the offscreen platform and measures
// adding a frame, scrolling one line, re-arranging after a width change, and the memory
// each frame costs.

#include "bench/bench_registry.h"
#include "common/kw_dialogs.h"
#include "frames/thumbnails.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QScrollBar>

#include <cstdio>
#include <unistd.h>

namespace {

qint64 ResidentBytes() {
    QFile statm(QStringLiteral("/proc/self/statm"));
    if (!statm.open(QIODevice::ReadOnly))
        return 0;
    const QList<QByteArray> fields = statm.readAll().simplified().split(' ');
    return fields.value(1).toLongLong() * sysconf(_SC_PAGESIZE);
}

double Ms(QElapsedTimer& timer) {
    return double(timer.nsecsElapsed()) / 1e6;
}

// A frame whose content differs from frame to frame (as a video's does).
void Paint(QImage& frame, int n) {
    const int w = frame.width(), h = frame.height();
    for (int y = 0; y < h; ++y) {
        uchar* line = frame.scanLine(y);
        for (int x = 0; x < w; ++x) {
            line[3 * x] = uchar(x + n);
            line[3 * x + 1] = uchar(y + 2 * n);
            line[3 * x + 2] = uchar(n * 7);
        }
    }
}

int RunFrames(const QStringList& args) {
    const int count = bench::Option(args, "--count", "2000").toInt();
    const int width = bench::Option(args, "--width", "1920").toInt();
    const int height = bench::Option(args, "--height", "1080").toInt();
    if (count < 1 || width < 1 || height < 1) {
        std::fprintf(stderr, "frames: --count, --width and --height must be positive\n");
        return 2;
    }
    // Tiles as on a 1080-pixel-high screen (192 x 108 for a 16:9 video).
    kw::TDesktop desktop = kw::RealDesktop();
    desktop.ScreenSize = [] { return QSize(1920, 1080); };
    kw::TDesktopOverride screen(desktop);

    TThumbnails list;
    list.resize(1000, 700);
    list.show();
    list.SetFrameSize(width, height);
    QApplication::processEvents();

    QImage frame(width, height, QImage::Format_RGB888);
    const qint64 before = ResidentBytes();
    std::vector<double> addMs;
    int added = 0;
    QElapsedTimer timer;
    for (int n = 0; n < count; ++n) {
        Paint(frame, n);
        timer.start();
        const bool ok = list.AddFrame(frame);
        const double ms = Ms(timer);
        if (!ok) {
            std::printf("memory guard refused frame %d\n", n);
            break;
        }
        ++added;
        if (n >= count - 100)
            addMs.push_back(ms);
        QApplication::processEvents(); // paints the new tile as a capture would
    }
    const qint64 after = ResidentBytes();

    // One line up from the bottom and down again, each time painted at once.
    std::vector<double> scrollMs;
    for (int i = 0; i < 40; ++i) {
        timer.start();
        if (i % 2)
            list.ScrollLineDown();
        else
            list.ScrollLineUp();
        list.viewport()->repaint();
        scrollMs.push_back(Ms(timer));
    }
    // A scroll through the middle of the list, where the rows come into view the first time
    // since they were added.
    list.verticalScrollBar()->setValue(list.verticalScrollBar()->maximum() / 2);
    QApplication::processEvents();
    for (int i = 0; i < 20; ++i) {
        timer.start();
        list.ScrollLineDown();
        list.viewport()->repaint();
        scrollMs.push_back(Ms(timer));
    }

    // The window made narrower and wider again: every tile changes its place.
    std::vector<double> arrangeMs;
    for (int i = 0; i < 10; ++i) {
        timer.start();
        list.resize(i % 2 ? 1000 : 760, 700);
        list.viewport()->repaint();
        arrangeMs.push_back(Ms(timer));
    }

    const double frameBytes = double(frame.sizeInBytes());
    const double perFrame = added ? double(after - before) / added : 0;
    std::printf("tile %dx%d, frame %.0f bytes, memory ratio %.4f\n", list.ThumbWidth(),
                list.ThumbHeight(), frameBytes, perFrame / frameBytes);
    std::printf("frames=%d add_ms=%.3f scroll_ms=%.3f arrange_ms=%.3f bytes_per_frame=%.0f\n",
                added, bench::MedianMs(addMs), bench::MedianMs(scrollMs),
                bench::MedianMs(arrangeMs), perFrame);
    return 0;
}

} // namespace

FC_BENCH_COMMAND(frames, "frames [--count 2000] [--width 1920 --height 1080]", RunFrames);
