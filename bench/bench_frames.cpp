// framecatch-bench frames: fills a real frame list on the offscreen platform and measures
// adding a frame (early and late in the list, which must cost the same), scrolling one line,
// re-arranging after a width change, how long the worker takes to fill the cells of a view
// never seen before, the memory and disk the frames take, and reading every frame once in
// order as an output does, against `cat` of the cache file right after it. The cache file is where
// the program puts it (XDG_CACHE_HOME): point that at a file system with room for --count frames.

#include "bench/bench_registry.h"
#include "common/kw_dialogs.h"
#include "frames/thumbnails.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QScrollBar>

#include <cstdio>
#include <cstring>
#include <sys/stat.h>
#include <unistd.h>

namespace {

qint64 ResidentBytes() {
    QFile statm(QStringLiteral("/proc/self/statm"));
    if (!statm.open(QIODevice::ReadOnly))
        return 0;
    const QList<QByteArray> fields = statm.readAll().simplified().split(' ');
    return fields.value(1).toLongLong() * sysconf(_SC_PAGESIZE);
}

// The peak of the resident set so far, from /proc/self/status.
qint64 PeakResidentBytes() {
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return 0;
    const QList<QByteArray> lines = status.readAll().split('\n');
    for (const QByteArray& line : lines)
        if (line.startsWith("VmHWM:"))
            return line.simplified().split(' ').value(1).toLongLong() * 1024;
    return 0;
}

qint64 DiskBytes(const QString& path) {
    struct stat st = {};
    return ::stat(QFile::encodeName(path).constData(), &st) == 0 ? qint64(st.st_blocks) * 512 : 0;
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
    if (count < 1 || count > 1000000 || width < 1 || height < 1) {
        std::fprintf(stderr, "frames: --count 1..1000000, --width and --height positive\n");
        return 2;
    }
    // Tiles as on a 1080-pixel-high screen (192 x 108 for a 16:9 video).
    kw::TDesktop desktop = kw::RealDesktop();
    desktop.ScreenSize = [] { return QSize(1920, 1080); };
    kw::TDesktopOverride screen(desktop);

    QElapsedTimer run;
    run.start();
    TThumbnails list;
    list.resize(1000, 700);
    list.show();
    list.SetFrameSize(width, height);
    QApplication::processEvents();

    QImage frame(width, height, QImage::Format_RGB888);
    const qint64 before = ResidentBytes();
    std::vector<double> addMs, earlyAddMs;
    int added = 0;
    QElapsedTimer timer;
    for (int n = 0; n < count; ++n) {
        Paint(frame, n);
        timer.start();
        const bool ok = list.AddFrame(frame);
        const double ms = Ms(timer);
        if (!ok) {
            std::printf("the frame store refused frame %d\n", n);
            break;
        }
        ++added;
        if (n >= count - 100)
            addMs.push_back(ms);
        else if (n >= 100 && n < 200)
            earlyAddMs.push_back(ms);
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
    // A jump to the middle of the list, where no cell was painted since its frame was added:
    // the time until the worker has made every copy in view.
    list.verticalScrollBar()->setValue(list.verticalScrollBar()->maximum() / 2);
    timer.start();
    list.viewport()->repaint();
    while (list.RequestPaintCopies() > 0 && timer.elapsed() < 10000)
        QApplication::processEvents(QEventLoop::WaitForMoreEvents, 5);
    const double fillMs = Ms(timer);
    // A scroll on from there, into rows painted for the first time.
    for (int i = 0; i < 20; ++i) {
        timer.start();
        list.ScrollLineDown();
        list.viewport()->repaint();
        scrollMs.push_back(Ms(timer));
    }

    // The window made narrower and wider again: every cell changes its place.
    std::vector<double> arrangeMs;
    for (int i = 0; i < 10; ++i) {
        timer.start();
        list.resize(i % 2 ? 1000 : 760, 700);
        list.viewport()->repaint();
        arrangeMs.push_back(Ms(timer));
    }

    // Every frame read once in order, as an output does: the snapshot of all frames is taken
    // first and held until the end, each picture read whole. The frames were written out and
    // dropped from the page cache, as after a long capture.
    // The grid at rest first, as when an output starts from its window: the painting
    // copies asked for by the scrolls above are made. (Reads of other frames at the same
    // time, through the same cache file, cost the ordered read its read-ahead: a quarter of
    // a second of them made it four times slower.)
    while (!list.PaintCopies().Idle())
        QApplication::processEvents(QEventLoop::WaitForMoreEvents, 5);
    TFrameStore& store = list.Store();
    store.WaitForWriteBack();
    QImage copy(width, height, QImage::Format_RGB888);
    quint64 fold = 0;
    timer.start();
    {
        const TFrameSnapshot pictures = list.Snapshot(TFrameChoice::All);
        for (int i = 0; i < pictures.Count(); ++i) {
            const QImage picture = pictures.Picture(i);
            std::memcpy(copy.bits(), picture.constBits(),
                        size_t(std::min(copy.sizeInBytes(), picture.sizeInBytes())));
            fold += copy.constBits()[copy.sizeInBytes() / 2];
        }
    }
    const double readAll = double(timer.nsecsElapsed()) / 1e9;
    // The same bytes through the system's own reader, right after.
    QProcess cat;
    cat.setStandardOutputFile(QProcess::nullDevice());
    timer.start();
    cat.start(QStringLiteral("cat"), {store.FilePath()});
    cat.waitForFinished(-1);
    const double catSeconds = double(timer.nsecsElapsed()) / 1e9;
    const double rssMb = double(ResidentBytes()) / (1 << 20);
    const double copiesMb = double(list.PaintCopies().Bytes()) / (1 << 20);
    const QString cachePath = store.FilePath();
    const qint64 cacheBytes = store.FileBytes(), diskBytes = DiskBytes(cachePath);

    // Every frame deleted at once, as after a range selection of all of them.
    list.SelectAll();
    timer.start();
    list.DeleteSelected();
    const double deleteSeconds = double(timer.nsecsElapsed()) / 1e9;

    const double frameBytes = double(frame.sizeInBytes());
    const double perFrame = added ? double(after - before) / added : 0;
    constexpr double MiB = 1 << 20;
    std::printf("tile %dx%d, frame %.0f bytes, %d frames in %.1f s, cache %s on disk %.0f MB "
                "(check %llu)\n",
                list.ThumbWidth(), list.ThumbHeight(), frameBytes, added,
                double(run.elapsed()) / 1000, qPrintable(cachePath), double(diskBytes) / MiB,
                static_cast<unsigned long long>(fold));
    std::printf("frames=%d add_ms=%.3f add_early_ms=%.3f scroll_ms=%.3f arrange_ms=%.3f "
                "fill_ms=%.1f bytes_per_frame=%.0f rss_mb=%.0f copies_mb=%.0f peak_rss_mb=%.0f "
                "cache_mb=%.0f read_all_s=%.2f cat_s=%.2f read_vs_cat=%.2f delete_all_s=%.2f\n",
                added, bench::MedianMs(addMs), bench::MedianMs(earlyAddMs),
                bench::MedianMs(scrollMs), bench::MedianMs(arrangeMs), fillMs, perFrame, rssMb,
                copiesMb, double(PeakResidentBytes()) / MiB, double(cacheBytes) / MiB, readAll,
                catSeconds, catSeconds > 0 ? readAll / catSeconds : 0.0, deleteSeconds);
    return 0;
}

} // namespace

FC_BENCH_COMMAND(frames, "frames [--count 2000 (up to 1000000)] [--width 1920 --height 1080]",
                 RunFrames);
