// framecatch-bench replay: the edit script repeated on every frame through the real editor
// and its save prompt, offscreen. A real frame list is filled with generated frames; the
// editor records a crop to 1280 x 720, a resize to 50 %, a tiled 16 pt text watermark and a
// 400 x 300 image watermark at opacity 80 on the first frame; closing it answers the prompt
// with "Repeat the same editing actions for each captured frames". Each action's frames per
// second run from the end of the action before it (or the click on OK) to its last frame.
// Also: one redraw of the tiled text preview on a 1920 x 1080 frame, the longest time the
// event loop went without running (a 10 ms timer's largest gap) during the replay, and, from a
// replay cancelled a quarter of the way through its first action before the measured one, the
// time from the click on Cancel to the prompt idle again with every frame as it was.
//
// The frames live in the frame store's cache file on disk (in the bench's own folder unless
// XDG_CACHE_HOME says otherwise), so the replay reads every frame from it and writes every
// result into it. The frames are made in a few seconds, far faster than any capture, so the
// replay starts once the store has written them out, as a user's frames were long before. For
// comparison the same actions also run on frames held in memory, through the same steps on the same
// pool, without the list (the "core" line).

#include "bench/bench_registry.h"
#include "codecs/ordered_pool.h"
#include "common/kw_dialogs.h"
#include "common/kw_fonts.h"
#include "editor/form_edit_orb.h"
#include "editor/form_edit_orb_changed.h"
#include "editor/replay.h"
#include "editor/watermark_panels.h"
#include "frames/thumbnails.h"
#include "graphics/image32.h"
#include "graphics/rubberband_layer.h"
#include "skin/aqua.h"
#include "skin/te_controls.h"
#include "skin/te_trackbar.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QTemporaryDir>
#include <QTimer>

#include <algorithm>
#include <cstdio>
#include <vector>

namespace {

double Ms(qint64 ns) {
    return double(ns) / 1e6;
}

// A grabbed frame's layout, with content that differs from frame to frame.
QImage MakeFrame(int width, int height, int n) {
    QImage frame(width, height, QImage::Format_RGB32);
    for (int y = 0; y < height; ++y) {
        QRgb* line = reinterpret_cast<QRgb*>(frame.scanLine(y));
        for (int x = 0; x < width; ++x)
            line[x] = qRgb(x + 3 * n, y + 5 * n, (x ^ y) + n);
    }
    return frame;
}

void ShowAndSettle(TFormEditORB& editor) {
    editor.show();
    QElapsedTimer limit;
    limit.start();
    while (limit.elapsed() < 200)
        QApplication::processEvents(QEventLoop::AllEvents, 5);
}

// Slides a side panel all the way in or out at once.
void Finish(QTimer& timer, TFormEditORB& editor, void (TFormEditORB::*tick)()) {
    while (timer.isActive())
        (editor.*tick)();
}

// The median time of one preview redraw with the view repainted, as the opacity slider moves.
double PreviewMs(TThumbnails& list, int index) {
    TFormEditORB editor(nullptr);
    editor.ShowFrame(list.FramePicture(index), index, &list);
    ShowAndSettle(editor);
    editor.BtnAddTextWM->click();
    Finish(editor.TimerShowPanelTextWM, editor, &TFormEditORB::TimerShowPanelTextWMTimer);
    editor.PanelTextWM->CheckBoxTile->click();
    std::vector<double> ms;
    QElapsedTimer timer;
    for (int i = 0; i < 40; ++i) {
        timer.start();
        editor.PanelTextWM->TrackBarTrans->SetPosition(100 + i);
        emit editor.PanelTextWM->TrackBarTrans->OnChange();
        editor.Image1->repaint();
        ms.push_back(Ms(timer.nsecsElapsed()));
    }
    editor.PanelTextWM->BtnTextWMCancel->click();
    return bench::MedianMs(ms);
}

// Frames per second of each action on frames in memory: the steps alone, on every core, each
// result written into one of a few reused pictures as the replay does. The frames each action
// starts from are made beforehand, untimed.
std::vector<double> CoreFps(std::vector<QImage> frames, const std::vector<TEditAction>& actions) {
    std::vector<double> fps;
    for (const TEditAction& action : actions) {
        const TReplayStep step(action);
        std::vector<QImage> scratch(8);
        QElapsedTimer timer;
        timer.start();
        {
            codecs::TOrderedPool pool(0);
            for (std::size_t i = 0; i < frames.size(); ++i)
                pool.Submit([&, i] { step.Apply(frames[i], scratch[i % scratch.size()]); });
            pool.Wait();
        }
        fps.push_back(double(frames.size()) / (double(timer.nsecsElapsed()) / 1e9));
        for (QImage& frame : frames) {
            QImage next;
            step.Apply(frame, next);
            frame = next;
        }
    }
    return fps;
}

int RunReplay(const QStringList& args) {
    const int count = bench::Option(args, "--count", "1000").toInt();
    const int width = bench::Option(args, "--width", "1920").toInt();
    const int height = bench::Option(args, "--height", "1080").toInt();
    if (count < 2 || width < 1280 || height < 720) {
        std::fprintf(stderr, "replay: --count must be 2 or more, the frames 1280 x 720 or more\n");
        return 2;
    }
    kw::RegisterTahoma();
    QApplication::setFont(kw::Tahoma(8));
    ApplyAquaSkin(*qApp);

    QTemporaryDir dir(QDir::tempPath() + QStringLiteral("/framecatch-bench-XXXXXX"));
    if (qEnvironmentVariableIsEmpty("XDG_CACHE_HOME"))
        qputenv("XDG_CACHE_HOME", dir.filePath(QStringLiteral("cache")).toUtf8());
    const QString markPath = dir.filePath(QStringLiteral("mark.png"));
    if (!MakeFrame(400, 300, 7).save(markPath)) {
        std::fprintf(stderr, "replay: cannot write the watermark's picture\n");
        return 1;
    }

    // The prompt's answers and the replay's clock.
    std::vector<qint64> lastFrameNs; // when each action's last frame was stored
    qint64 okNs = 0;
    qint64 maxGapNs = 0;
    QElapsedTimer clock;
    clock.start();
    kw::TDesktop desktop = kw::RealDesktop();
    desktop.ScreenSize = [=] { return QSize(width + 640, height + 360); };
    desktop.OpenFileName = [&](const kw::TFileDialogRequest&) { return markPath; };
    double cancelMs = -1;
    bool cancelRestored = false;
    TThumbnails list;
    desktop.ShowModal = [&](QDialog& dialog) {
        auto* prompt = dynamic_cast<TFormChanged*>(&dialog);
        if (!prompt)
            return int(QDialog::Rejected);
        prompt->show(); // as the program shows it: the prompt repaints while the replay runs
        prompt->RBSaveAll->setChecked(true);
        // A replay cancelled a quarter of the way through its first action.
        qint64 cancelNs = -1;
        auto watch =
            QObject::connect(prompt->TeProgressBar1, &QProgressBar::valueChanged, [&](int v) {
                if (cancelNs < 0 && v >= count / 4) {
                    cancelNs = clock.nsecsElapsed();
                    prompt->BtnCancel->click();
                }
            });
        QObject::connect(&prompt->Replay(), &kw::TLongWork::Ended, prompt, [&] {
            if (cancelNs >= 0 && cancelMs < 0)
                cancelMs = Ms(clock.nsecsElapsed() - cancelNs);
        });
        prompt->BtnOK->click();
        prompt->Replay().WaitForEnd(600000);
        QObject::disconnect(watch);
        cancelRestored = prompt->TeProgressBar1->Position() == 0 && prompt->BtnOK->isEnabled() &&
                         !prompt->Busy() && list.FrameSizeAt(count - 1) == QSize(width, height);
        // What the cancelled replay wrote is given back and written out before the clock runs.
        list.Store().WaitForWriteBack();

        QObject::connect(prompt, &TFormChanged::ActionReplayed,
                         [&](int) { lastFrameNs.push_back(clock.nsecsElapsed()); });
        QTimer ticker;
        qint64 lastTick = 0;
        QObject::connect(&ticker, &QTimer::timeout, [&] {
            const qint64 now = clock.nsecsElapsed();
            maxGapNs = std::max(maxGapNs, now - lastTick);
            lastTick = now;
        });
        ticker.start(10);
        okNs = lastTick = clock.nsecsElapsed();
        prompt->BtnOK->click();
        prompt->Replay().WaitForEnd(600000);
        return prompt->result();
    };
    kw::TDesktopOverride seam(desktop);

    list.SetFrameSize(width, height);
    std::vector<QImage> kinds;
    for (int n = 0; n < 8; ++n)
        kinds.push_back(MakeFrame(width, height, n));
    for (int n = 0; n < count; ++n)
        if (!list.AddFrame(kinds[std::size_t(n % 8)])) {
            std::fprintf(stderr, "replay: no room for %d frames\n", count);
            return 1;
        }
    list.Store().WaitForWriteBack();
    QImage previewFrame = list.FramePicture(0);
    if (width != 1920 || height != 1080)
        previewFrame = MakeFrame(1920, 1080, 0);
    TThumbnails previewList;
    previewList.AddFrame(previewFrame);
    const double previewMs = PreviewMs(previewList, 0);

    {
        TFormEditORB editor(nullptr);
        editor.ShowFrame(list.FramePicture(0), 0, &list);
        ShowAndSettle(editor);
        editor.BtnCrop->click();
        const QPoint off = editor.Image1->Offset();
        const int left = off.x() + (width - 1280) / 2, top = off.y() + (height - 720) / 2;
        editor.CropBand()->SetLocation(FloatRect(QRect(left, top, 1280, 720)));
        editor.FormShortCut(Qt::Key_Return);
        editor.PopupMenuResize_1->actions()[1]->trigger(); // " 50%"
        editor.BtnAddTextWM->click();
        Finish(editor.TimerShowPanelTextWM, editor, &TFormEditORB::TimerShowPanelTextWMTimer);
        editor.PanelTextWM->CheckBoxTile->click();
        editor.PanelTextWM->BtnTextWMOK->click();
        Finish(editor.TimerHidePanelTextWM, editor, &TFormEditORB::TimerHidePanelTextWMTimer);
        editor.BtnAddImgWM->click();
        Finish(editor.TimerShowPanelImgWM, editor, &TFormEditORB::TimerShowPanelImgWMTimer);
        editor.PanelImgWM->BtnOpenImgFile->click();
        editor.PanelImgWM->BtnImgWMOK->click();
        if (editor.Script().CountActiveActions() != 4) {
            std::fprintf(stderr, "replay: the editor recorded %d actions, not 4\n",
                         editor.Script().CountActiveActions());
            return 1;
        }
        std::printf("%s\n", qPrintable(editor.Script().Xml()));
        // The same script on frames in memory (at most 200 of them, all different copies).
        std::vector<QImage> inMemory;
        for (int n = 0; n < std::min(count, 200); ++n)
            inMemory.push_back(kinds[std::size_t(n % 8)].copy());
        const std::vector<double> core = CoreFps(inMemory, editor.Script().ActiveActions());
        std::printf("core (%d frames in memory): crop_fps=%.0f resize_fps=%.0f text_fps=%.0f "
                    "imgwm_fps=%.0f\n",
                    int(inMemory.size()), core[0], core[1], core[2], core[3]);
        inMemory.clear();
        editor.close();
    }

    const QImage last = list.FramePicture(count - 1);
    if (lastFrameNs.size() != 4 || last.size() != QSize(640, 360) || !cancelRestored) {
        std::fprintf(stderr, "replay: the replay did not run through (%d actions, %dx%d)\n",
                     int(lastFrameNs.size()), last.width(), last.height());
        return 1;
    }
    double fps[4];
    qint64 start = okNs;
    for (int k = 0; k < 4; ++k) {
        fps[k] = count / (double(lastFrameNs[std::size_t(k)] - start) / 1e9);
        start = lastFrameNs[std::size_t(k)];
    }
    std::printf("%d frames %dx%d, whole replay %.0f ms\n", count, width, height,
                Ms(lastFrameNs.back() - okNs));
    std::printf("crop_fps=%.0f resize_fps=%.0f text_fps=%.0f imgwm_fps=%.0f preview_ms=%.2f "
                "max_gap_ms=%.1f cancel_ms=%.1f\n",
                fps[0], fps[1], fps[2], fps[3], previewMs, Ms(maxGapNs), cancelMs);
    return 0;
}

} // namespace

FC_BENCH_COMMAND(replay, "replay [--count 1000] [--width 1920 --height 1080]", RunReplay);
