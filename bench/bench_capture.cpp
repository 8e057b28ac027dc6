// Continuous capture from a playing file through the real main window, offscreen: how many
// frames arrive and how many of them repeat the frame before.

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
    if (form->FilterGraph1->GetState() != 3) {
        std::fprintf(stderr, "capture: the video does not play\n");
        return 1;
    }
    // Switch continuous capture on as a click on the button does.
    form->BtnSnap->SetDown(true);
    form->BtnSnapClick();

    QEventLoop loop;
    QTimer::singleShot(int(seconds * 1000), &loop, &QEventLoop::quit);
    QElapsedTimer clock;
    clock.start();
    loop.exec();
    form->BtnSnap->SetDown(false);
    form->BtnSnapClick();
    const double ran = clock.elapsed() / 1000.0;

    TThumbnails* list = form->Thumbnails;
    int duplicates = 0;
    for (int i = 1; i < list->Count(); ++i)
        if (SamePixels(list->FramePicture(i), list->FramePicture(i - 1)))
            ++duplicates;
    std::printf("ran %.2f s at an interval of %d ms\n", ran, interval);
    std::printf("frames=%d duplicates=%d\n", list->Count(), duplicates);
    form->close();
    return 0;
}

} // namespace

FC_BENCH_COMMAND(capture, "capture FILE [--seconds 10] [--interval 200]", RunCapture);
