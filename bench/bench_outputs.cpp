// framecatch-bench outputs: the three outputs through their real windows. A real frame list is
// filled with frames (generated, or PNG files cycled from --frames DIR), the desktop is faked so
// that file dialogs answer at once, and the export (PNG and JPG), the sheet and the GIF (colour
// and grey) each run from their window's button. A 10 ms timer measures how long the event
// loop went without running meanwhile. The same work is then timed through the cores alone, on
// the same frames, for comparison, and each kind of output is cancelled once from its window.

#include "bench/bench_registry.h"
#include "codecs/gif_codec.h"
#include "common/kw_dialogs.h"
#include "common/orb_common.h"
#include "frames/thumbnails.h"
#include "output/export_core.h"
#include "output/form_export_frames.h"
#include "output/save_gif.h"
#include "output/save_thumb.h"
#include "output/thumb_sheet.h"
#include "skin/te_controls.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QElapsedTimer>
#include <QPainter>
#include <QTemporaryDir>
#include <QTimer>

#include <algorithm>
#include <cstdio>
#include <deque>

namespace {

// A frame with smooth gradients, flat areas, edges and text that move from frame to frame, as
// a video's do.
QImage MakeFrame(int n, int width, int height) {
    QImage frame(width, height, QImage::Format_RGB888);
    QPainter p(&frame);
    QLinearGradient sky(0, 0, width, height);
    sky.setColorAt(0, QColor::fromHsv((n * 3) % 360, 160, 230));
    sky.setColorAt(1, QColor::fromHsv((n * 3 + 140) % 360, 200, 90));
    p.fillRect(frame.rect(), sky);
    for (int k = 0; k < 6; ++k) {
        const int x = (n * (7 + k * 3) + k * 211) % width, y = (k * 131 + n * 2) % height;
        p.setBrush(QColor::fromHsv((k * 60 + n) % 360, 220, 200));
        p.setPen(Qt::NoPen);
        p.drawEllipse(QPoint(x, y), width / 12, height / 10);
    }
    p.setPen(Qt::white);
    p.setFont(QFont(QStringLiteral("DejaVu Sans"), height / 12));
    p.drawText(frame.rect(), Qt::AlignCenter, QStringLiteral("Frame %1").arg(n));
    return frame;
}

// Runs one output from its window and measures it: the time, and the longest gap between two
// ticks of a 10 ms timer (counted from the start and up to the end).
struct TGapMeter {
    QTimer Timer;
    QElapsedTimer Clock;
    qint64 LastNs = 0;
    double LastGapMs = 0; // of the last run
    TGapMeter() {
        Timer.setTimerType(Qt::PreciseTimer);
        Timer.setInterval(10);
        QObject::connect(&Timer, &QTimer::timeout, [this] { Tick(); });
        Clock.start();
    }
    void Tick() {
        const qint64 now = Clock.nsecsElapsed();
        LastGapMs = std::max(LastGapMs, double(now - LastNs) / 1e6);
        LastNs = now;
    }
    double Run(const std::function<void()>& output) {
        // Whatever the window still has to paint is painted before the clock starts.
        QElapsedTimer settle;
        settle.start();
        while (settle.elapsed() < 30)
            QApplication::processEvents();
        LastGapMs = 0;
        LastNs = Clock.nsecsElapsed();
        Timer.start();
        const qint64 start = LastNs;
        output();
        const qint64 end = Clock.nsecsElapsed();
        Tick();
        Timer.stop();
        return double(end - start) / 1e9;
    }
};

double Seconds(const std::function<void()>& work) {
    QElapsedTimer timer;
    timer.start();
    work();
    return double(timer.nsecsElapsed()) / 1e9;
}

int RunOutputs(const QStringList& args) {
    const int count = bench::Option(args, "--count", "300").toInt();
    int width = bench::Option(args, "--width", "1280").toInt();
    int height = bench::Option(args, "--height", "720").toInt();
    const QString framesDir = bench::Option(args, "--frames");
    const int repeats = std::max(1, bench::Option(args, "--repeat", "1").toInt());
    if (count < 1 || width < 1 || height < 1) {
        std::fprintf(stderr, "outputs: --count, --width and --height must be positive\n");
        return 2;
    }
    QTemporaryDir work;
    qputenv("XDG_CONFIG_HOME", work.filePath(QStringLiteral("config")).toUtf8());
    // The frame store's cache file too, unless the caller chose a place for it.
    if (qEnvironmentVariableIsEmpty("XDG_CACHE_HOME"))
        qputenv("XDG_CACHE_HOME", work.filePath(QStringLiteral("cache")).toUtf8());
    TOrbCommonUnit unit;
    const QString outDir = bench::Option(args, "--out", work.filePath(QStringLiteral("out")));
    QDir().mkpath(outDir);

    // The desktop: save dialogs answer from a queue, boxes are counted and answered Cancel (so
    // the preview page is not opened), nothing is opened.
    std::deque<QString> saveAnswers;
    QStringList messages;
    kw::TDesktop desktop = kw::RealDesktop();
    desktop.ShowMessage = [&](const kw::TMessage& m) {
        messages << m.Text;
        return kw::TMsgResult::Cancel;
    };
    desktop.SaveFileName = [&](kw::TFileDialogRequest&) {
        QString a = saveAnswers.empty() ? QString() : saveAnswers.front();
        if (!saveAnswers.empty())
            saveAnswers.pop_front();
        return a;
    };
    desktop.BrowseForFolder = [&](QWidget*, const QString&) { return outDir; };
    desktop.ShellOpen = [](const QString&, std::function<void()>) { return true; };
    desktop.StartProgram = [](const QString&, const QStringList&, std::function<void()>) {
        return false;
    };
    kw::TDesktopOverride fake(desktop);

    QList<QImage> source;
    if (!framesDir.isEmpty()) {
        for (const QString& name :
             QDir(framesDir).entryList({QStringLiteral("*.png")}, QDir::Files, QDir::Name))
            source << QImage(framesDir + QLatin1Char('/') + name)
                          .convertToFormat(QImage::Format_RGB888);
        if (source.isEmpty() || source[0].isNull()) {
            std::fprintf(stderr, "no readable PNG frames in %s\n", qPrintable(framesDir));
            return 1;
        }
        width = source[0].width();
        height = source[0].height();
    }
    TThumbnails list;
    list.resize(800, 500);
    list.show();
    list.SetFrameSize(width, height);
    for (int n = 0; n < count; ++n) {
        const QImage frame =
            source.isEmpty() ? MakeFrame(n, width, height) : source[n % source.size()];
        if (!list.AddFrame(frame)) {
            std::fprintf(stderr, "the frame list refused frame %d (memory)\n", n);
            return 1;
        }
    }
    QApplication::processEvents();

    // The windows, each made once and used for every run, as a user may save again and again.
    TFormExportFrames exportForm(&list, nullptr);
    TFormSaveThumb sheetForm(&list, nullptr);
    TFormSaveGIF gifForm(&list, nullptr);
    for (QDialog* form : std::initializer_list<QDialog*>{&exportForm, &sheetForm, &gifForm})
        form->show();
    exportForm.BtnOutFolderClick();
    const TFrameSnapshot frames = list.Snapshot(TFrameChoice::All);

    struct TOutput {
        const char* Name;
        std::function<void()> Window; // from the window's button
        std::function<void()> Core;   // the same work through the core alone
        int Boxes;                    // the boxes a finished output shows ("Task completed")
        std::vector<double> WindowSeconds{}, CoreSeconds{};
        double MaxGapMs = 0;
    };
    auto exportThroughWindow = [&](const char* format) {
        exportForm.EditFileName->setText(QStringLiteral("window-"));
        exportForm.CBFileFormat->setCurrentText(QString::fromLatin1(format));
        exportForm.BtnOK->click();
        exportForm.Export().WaitForEnd(600000);
    };
    auto exportThroughCore = [&](codecs::TPictureFormat format) {
        output::TExportSettings s;
        s.Folder = outDir;
        s.BaseName = QStringLiteral("core-");
        s.Format = format;
        output::ExportFrames(frames, s);
    };
    auto gifThroughWindow = [&](bool gray) {
        gifForm.CheckBoxGray->setChecked(gray);
        saveAnswers.push_back(outDir + QStringLiteral("/window.gif"));
        gifForm.Btn_Save->click();
        gifForm.Gif().WaitForEnd(600000);
    };
    auto gifThroughCore = [&](bool gray) {
        codecs::TGifSettings g;
        g.Width = width;
        g.Height = height;
        g.Gray = gray;
        codecs::TAnimatedGif animation(g);
        for (int i = 0; i < frames.Count(); ++i)
            animation.AddFrame(frames.Picture(i));
        animation.Finish();
        animation.SaveToFile(outDir + QStringLiteral("/core.gif"));
    };
    std::vector<TOutput> outputs;
    outputs.push_back({"export_png", [&] { exportThroughWindow("PNG"); },
                       [&] { exportThroughCore(codecs::TPictureFormat::Png); }, 1});
    outputs.push_back({"export_jpg", [&] { exportThroughWindow("JPG"); },
                       [&] { exportThroughCore(codecs::TPictureFormat::Jpg); }, 1});
    outputs.push_back({"sheet",
                       [&] {
                           saveAnswers.push_back(outDir + QStringLiteral("/window.jpg"));
                           sheetForm.btn_save->click();
                           sheetForm.Sheet().WaitForEnd(600000);
                       },
                       [&] {
                           const auto g = output::ThumbSheetGeometry(600, 4, 4, width, height);
                           output::SaveThumbSheet(output::DrawThumbSheet(g, frames),
                                                  outDir + QStringLiteral("/core.jpg"),
                                                  output::TSheetFormat::Jpeg);
                       },
                       0});
    outputs.push_back({"gif", [&] { gifThroughWindow(false); }, [&] { gifThroughCore(false); }, 1});
    outputs.push_back(
        {"gif_gray", [&] { gifThroughWindow(true); }, [&] { gifThroughCore(true); }, 1});

    const QString only = bench::Option(args, "--only");
    if (!only.isEmpty())
        std::erase_if(outputs, [&](const TOutput& o) { return only != QLatin1String(o.Name); });
    if (outputs.empty()) {
        std::fprintf(stderr,
                     "outputs: --only takes export_png, export_jpg, sheet, gif or gif_gray\n");
        return 2;
    }
    // Window and core take turns, each going first every other time, so that what the machine
    // does meanwhile (and which of them finds the frames in the caches) hits both alike.
    TGapMeter gaps;
    for (int r = 0; r < repeats; ++r)
        for (TOutput& o : outputs) {
            auto window = [&] {
                messages.clear();
                o.WindowSeconds.push_back(gaps.Run(o.Window));
                o.MaxGapMs = std::max(o.MaxGapMs, gaps.LastGapMs);
                return messages.size() == o.Boxes && saveAnswers.empty() &&
                       (!o.Boxes || messages[0].startsWith(QStringLiteral("Task completed")));
            };
            if (r % 2)
                o.CoreSeconds.push_back(Seconds(o.Core));
            if (!window()) {
                std::fprintf(stderr, "%s did not complete: %s\n", o.Name,
                             qPrintable(messages.join(QStringLiteral(" | "))));
                return 1;
            }
            if (r % 2 == 0)
                o.CoreSeconds.push_back(Seconds(o.Core));
        }
    // Cancel: each kind of output cancelled a quarter of the way through (the export and the
    // GIF a quarter of the frames, the sheet a quarter of its cells), from the click on Cancel
    // to the window idle again (its end delivered as cancelled, its button enabled, the bar at
    // 0). cancel_ms is the worst of them.
    auto cancelMs = [&](QDialog& form, kw::TLongWork& work, QPushButton* start, QPushButton* cancel,
                        TTeProgressBar* bar, int at) -> double {
        QElapsedTimer clock;
        clock.start();
        qint64 cancelNs = -1;
        auto watch = QObject::connect(bar, &QProgressBar::valueChanged, [&](int v) {
            if (cancelNs < 0 && v >= at) {
                cancelNs = clock.nsecsElapsed();
                cancel->click();
            }
        });
        bool cancelled = false;
        auto ended = QObject::connect(&work, &kw::TLongWork::Ended, [&](kw::TWorkOutcome o) {
            cancelled = o == kw::TWorkOutcome::Cancelled;
        });
        start->click();
        work.WaitForEnd(600000);
        const qint64 endNs = clock.nsecsElapsed();
        QObject::disconnect(watch);
        QObject::disconnect(ended);
        if (cancelNs < 0 || !cancelled || !start->isEnabled() || bar->Position() != 0 ||
            !form.isVisible())
            return -1;
        return double(endNs - cancelNs) / 1e6;
    };
    exportForm.EditFileName->setText(QStringLiteral("cancel-"));
    exportForm.CBFileFormat->setCurrentText(QStringLiteral("PNG"));
    const double exportCancelMs =
        cancelMs(exportForm, exportForm.Export(), exportForm.BtnOK, exportForm.BtnCancel,
                 exportForm.TeProgressBar, count / 4);
    saveAnswers.push_back(outDir + QStringLiteral("/cancel.jpg"));
    const int cells =
        std::min(count, output::ThumbSheetGeometry(600, 4, 4, width, height).Capacity());
    const double sheetCancelMs =
        cancelMs(sheetForm, sheetForm.Sheet(), sheetForm.btn_save, sheetForm.btn_cancel,
                 sheetForm.ProgressBar1, std::max(1, cells / 4));
    gifForm.CheckBoxGray->setChecked(false);
    saveAnswers.push_back(outDir + QStringLiteral("/cancel.gif"));
    const double gifCancelMs = cancelMs(gifForm, gifForm.Gif(), gifForm.Btn_Save,
                                        gifForm.Btn_Cancel, gifForm.ProgressBar1, count / 4);
    for (const auto& [name, ms] :
         {std::pair{"export", exportCancelMs}, {"sheet", sheetCancelMs}, {"gif", gifCancelMs}})
        if (ms < 0) {
            std::fprintf(stderr, "outputs: the cancelled %s did not end as cancelled\n", name);
            return 1;
        }
    auto figure = [&](const TOutput& o, bool window) {
        const double seconds = bench::MedianMs(window ? o.WindowSeconds : o.CoreSeconds);
        return std::string(o.Name) == "sheet" ? seconds * 1000 : count / seconds;
    };
    std::printf("frames=%d size=%dx%d source=%s runs=%d (medians)\nmax_gap_ms", count, width,
                height, framesDir.isEmpty() ? "generated" : qPrintable(framesDir), repeats);
    for (const TOutput& o : outputs)
        std::printf(" %s=%.1f", o.Name, o.MaxGapMs);
    std::printf("\n");
    for (const bool window : {false, true}) {
        std::printf("%s", window ? "" : "core ");
        for (const TOutput& o : outputs)
            std::printf("%s_%s=%.1f ", o.Name, std::string(o.Name) == "sheet" ? "ms" : "fps",
                        figure(o, window));
        if (window) {
            double gap = 0;
            for (const TOutput& o : outputs)
                gap = std::max(gap, o.MaxGapMs);
            std::printf("max_gap_ms=%.1f export_cancel_ms=%.1f sheet_cancel_ms=%.1f "
                        "gif_cancel_ms=%.1f cancel_ms=%.1f",
                        gap, exportCancelMs, sheetCancelMs, gifCancelMs,
                        std::max({exportCancelMs, sheetCancelMs, gifCancelMs}));
        }
        std::printf("\n");
    }
    return 0;
}

} // namespace

FC_BENCH_COMMAND(outputs,
                 "outputs [--count 300] [--width 1280 --height 720] [--frames DIR] [--out DIR] "
                 "[--repeat 1] [--only export_png|export_jpg|sheet|gif|gif_gray]",
                 RunOutputs);
