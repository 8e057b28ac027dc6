// framecatch-bench recover: a child process captures frames into a real frame list (its store
// and journal) at 5 frames a second and is killed with SIGKILL at a random moment; this
// process then restores the dead child's frames as the program does at start and compares
// them with what the child wrote. Prints written (frames the child stored), synced (frames
// whose records the journal had synced when the child last said so), restored, and exact
// (restored frames that are bit-identical to frame i at position i).
//
// recover_child is the child's half, not meant to be run by hand.

#include "bench/bench_registry.h"
#include "frames/frame_recovery.h"
#include "frames/thumbnails.h"

#include <QApplication>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QProcess>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QThread>

#include <csignal>
#include <cstdio>

namespace {

constexpr int IntervalMs = 200; // 5 frames a second

// Frame n: every pixel depends on n.
QImage Frame(int n, int width, int height) {
    QImage frame(width, height, QImage::Format_RGB888);
    for (int y = 0; y < height; ++y) {
        uchar* line = frame.scanLine(y);
        for (int x = 0; x < width; ++x) {
            line[3 * x] = uchar(x + n);
            line[3 * x + 1] = uchar(y + 3 * n);
            line[3 * x + 2] = uchar((x ^ y) + 11 * n);
        }
    }
    return frame;
}

int RunChild(const QStringList& args) {
    const int count = bench::Option(args, "--count", "300").toInt();
    const int width = bench::Option(args, "--width", "1280").toInt();
    const int height = bench::Option(args, "--height", "720").toInt();
    TThumbnails list;
    list.SetFrameSize(width, height);
    std::printf("folder %s\n", qPrintable(list.Store().Folder()));
    std::fflush(stdout);
    QElapsedTimer clock;
    clock.start();
    qint64 synced = 0;
    for (int n = 0; n < count; ++n) {
        // Grabs on a clock, as the capture timer does.
        while (clock.elapsed() < qint64(n) * IntervalMs) {
            QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
            if (const qint64 s = list.Journal().SyncedAdds(); s != synced) {
                synced = s;
                std::printf("synced %lld\n", static_cast<long long>(s));
                std::fflush(stdout);
            }
            QThread::msleep(2);
        }
        if (!list.AddFrame(Frame(n, width, height),
                           TFrameSource{QStringLiteral("bench.mp4"), qint64(n) * IntervalMs}))
            return 3;
        std::printf("written %d\n", n + 1);
        std::fflush(stdout);
    }
    std::raise(SIGSTOP); // waits for the kill, never ends cleanly
    return 0;
}

int RunRecover(const QStringList& args) {
    const int count = bench::Option(args, "--count", "300").toInt();
    const int width = bench::Option(args, "--width", "1280").toInt();
    const int height = bench::Option(args, "--height", "720").toInt();
    if (count < 1 || width < 1 || height < 1) {
        std::fprintf(stderr, "recover: --count, --width and --height positive\n");
        return 2;
    }
    QTemporaryDir home;
    QProcess child;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("XDG_CACHE_HOME"), home.path());
    child.setProcessEnvironment(env);
    child.start(QCoreApplication::applicationFilePath(),
                {QStringLiteral("recover_child"), QStringLiteral("--count"), QString::number(count),
                 QStringLiteral("--width"), QString::number(width), QStringLiteral("--height"),
                 QString::number(height)});
    if (!child.waitForStarted())
        return 1;
    // Killed somewhere between the first frame and the last.
    const qint64 killAt =
        IntervalMs + QRandomGenerator::global()->bounded(qint64(count) * IntervalMs);
    QString folder;
    int written = 0;
    qint64 synced = 0;
    QElapsedTimer clock;
    clock.start();
    auto readLines = [&] {
        while (child.canReadLine()) {
            const QByteArray line = child.readLine().trimmed();
            if (line.startsWith("folder "))
                folder = QString::fromLocal8Bit(line.mid(7));
            else if (line.startsWith("written "))
                written = line.mid(8).toInt();
            else if (line.startsWith("synced "))
                synced = line.mid(7).toLongLong();
        }
    };
    while (clock.elapsed() < killAt && child.state() == QProcess::Running) {
        child.waitForReadyRead(20);
        readLines();
    }
    ::kill(pid_t(child.processId()), SIGKILL);
    child.waitForFinished(-1);
    readLines();
    std::printf("child killed after %.2f s\n", double(clock.elapsed()) / 1000);

    QElapsedTimer timer;
    timer.start();
    TFrameRecovery recovery(folder);
    const int found = recovery.Count();
    recovery.Check();
    int restored = 0, exact = 0;
    recovery.Restore([&](const QImage& picture, const TFrameSource& source) {
        const int n = restored++;
        if (source.TimeMs == qint64(n) * IntervalMs && picture == Frame(n, width, height))
            ++exact;
        return true;
    });
    const double restoreS = double(timer.nsecsElapsed()) / 1e9;
    recovery.Discard();
    std::printf("written=%d synced=%lld found=%d damaged=%d restored=%d exact=%d restore_s=%.2f\n",
                written, static_cast<long long>(synced), found, recovery.Damaged(), restored, exact,
                restoreS);
    return 0;
}

} // namespace

FC_BENCH_COMMAND(recover, "recover [--count 300] [--width 1280 --height 720]", RunRecover);
FC_BENCH_COMMAND(recover_child, "recover-child (the child of recover)", RunChild);
