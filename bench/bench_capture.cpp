// Continuous capture from a playing file through the real main window, offscreen: how many
// frames arrive, how many ticks of the capture timer gave no frame, and how many frames
// repeat the frame before. The frames go to the program's frame store (XDG_CACHE_HOME).

#include "bench/bench_registry.h"

#include "app/unit_main.h"
#include "common/kw_dialogs.h"
#include "common/orb_common.h"
#include "controls/kw_img_btn.h"
#include "frames/thumbnails.h"
#include "video/filter_graph.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTimer>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <memory>

namespace {

bool SamePixels(const QImage& a, const QImage& b) {
    if (a.size() != b.size() || a.format() != b.format())
        return false;
    const qsizetype rowBytes = qsizetype(a.width()) * a.depth() / 8;
    for (int y = 0; y < a.height(); ++y)
        if (std::memcmp(a.constScanLine(y), b.constScanLine(y), size_t(rowBytes)) != 0)
            return false;
    return true;
}

int RunCapture(const QStringList& args) {
    const QStringList files = bench::Positional(args, {"--seconds", "--interval"});
    if (files.isEmpty() || !QFileInfo(files.front()).isFile()) {
        std::fprintf(stderr, "capture: a video file is needed\n");
        return 2;
    }
    const double seconds = bench::Option(args, "--seconds", "10").toDouble();
    const int interval = bench::Option(args, "--interval", "200").toInt();

    // A private configuration folder, so the run leaves the user's settings alone.
    QTemporaryDir config;
    qputenv("XDG_CONFIG_HOME", config.path().toUtf8());
    kw::TDesktop desktop = kw::RealDesktop();
    const QString path = QFileInfo(files.front()).absoluteFilePath();
    desktop.OpenFileName = [path](const kw::TFileDialogRequest&) { return path; };
    desktop.ShowMessage = [](const kw::TMessage& m) {
        std::fprintf(stderr, "message: %s: %s\n", qPrintable(m.Caption), qPrintable(m.Text));
        return kw::TMsgResult::Ok;
    };
    kw::TDesktopOverride use(desktop);

    TOrbCommonUnit unit;
    GlbCfg->CaptureInterval = interval;
    auto form = std::make_unique<TFormMain>();
    form->show();
    form->BtnOpenClick();
    if (form->FilterGraph1->GetState() != gsPlaying) {
        std::fprintf(stderr, "capture: the video does not play\n");
        return 1;
    }
    // Switch continuous capture on as a click on the button does.
    form->BtnSnap->SetDown(true);
    form->BtnSnapClick();

    // Half an interval more, so that the tick due at the end is not lost to the stop.
    QEventLoop loop;
    QTimer::singleShot(int(seconds * 1000) + interval / 2, &loop, &QEventLoop::quit);
    QElapsedTimer clock;
    clock.start();
    loop.exec();
    form->BtnSnap->SetDown(false);
    form->BtnSnapClick();
    const qint64 ranMs = clock.elapsed();
    const bool stoppedEarly = form->FilterGraph1->GetState() != gsPlaying;

    TThumbnails* list = form->Thumbnails;
    const int ticks = interval > 0 ? int(ranMs / interval) : 0;
    int duplicates = 0;
    QImage previous = list->Count() > 0 ? list->FramePicture(0) : QImage();
    for (int i = 1; i < list->Count(); ++i) {
        QImage picture = list->FramePicture(i);
        if (SamePixels(picture, previous))
            ++duplicates;
        previous = std::move(picture);
    }
    std::printf("ran %.2f s at an interval of %d ms%s; frame store %s\n", ranMs / 1000.0, interval,
                stoppedEarly ? " (the video ended or stopped first)" : "",
                qPrintable(list->Store().FilePath()));
    std::printf("frames=%d missed=%d duplicates=%d\n", list->Count(),
                std::max(0, ticks - list->Count()), duplicates);
    form->close();
    return 0;
}

} // namespace

FC_BENCH_COMMAND(capture, "capture FILE [--seconds 10] [--interval 200]", RunCapture);
