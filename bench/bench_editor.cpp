// framecatch-bench editor: the frame editor on a real frame list, offscreen. Measures opening
// the window on a frame until its picture is painted, one step to the next frame, one undo, the
// repaint for one mouse move of a rubber band dragged over the picture, and drawing
// "Sample Text" at 100 pt with the 2 x 2 anti-aliasing.

#include "bench/bench_registry.h"
#include "common/kw_dialogs.h"
#include "common/kw_fonts.h"
#include "editor/form_edit_orb.h"
#include "frames/thumbnails.h"
#include "graphics/image32.h"
#include "graphics/rubberband_layer.h"
#include "graphics/text32.h"
#include "skin/aqua.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QMouseEvent>

#include <cstdio>
#include <memory>
#include <vector>

namespace {

double Ms(const QElapsedTimer& timer) {
    return double(timer.nsecsElapsed()) / 1e6;
}

// A frame whose content differs from frame to frame.
QImage MakeFrame(int width, int height, int n) {
    QImage frame(width, height, QImage::Format_RGB888);
    for (int y = 0; y < height; ++y) {
        uchar* line = frame.scanLine(y);
        for (int x = 0; x < width; ++x) {
            line[3 * x] = uchar(x + 3 * n);
            line[3 * x + 1] = uchar(y + 5 * n);
            line[3 * x + 2] = uchar((x ^ y) + n);
        }
    }
    return frame;
}

// Counts the paint events of a widget.
struct TPaintCounter : QObject {
    int Paints = 0;
    bool eventFilter(QObject*, QEvent* event) override {
        Paints += event->type() == QEvent::Paint;
        return false;
    }
};

// Shows the window and runs the event loop until the view has been painted once.
bool ShowAndPaint(TFormEditORB& editor) {
    TPaintCounter counter;
    editor.Image1->installEventFilter(&counter);
    editor.show();
    QElapsedTimer limit;
    limit.start();
    while (counter.Paints == 0 && limit.elapsed() < 5000)
        QApplication::processEvents(QEventLoop::AllEvents, 5);
    editor.Image1->removeEventFilter(&counter);
    return counter.Paints > 0;
}

void MouseTo(TImage32* view, QEvent::Type type, QPointF pos, Qt::MouseButtons buttons) {
    QMouseEvent event(type, pos, view->mapToGlobal(pos), Qt::LeftButton, buttons, {});
    QApplication::sendEvent(view, &event);
}

// Drags a band from the middle of its rectangle to and fro; the time of each move with the
// repaint it causes.
std::vector<double> Drag(TImage32* view, const TFloatRect& start, int moves) {
    const QPointF from((start.Left + start.Right) / 2, (start.Top + start.Bottom) / 2);
    MouseTo(view, QEvent::MouseButtonPress, from, Qt::LeftButton);
    QApplication::processEvents();
    std::vector<double> ms;
    QElapsedTimer timer;
    for (int i = 1; i <= moves; ++i) {
        const QPointF to = from + QPointF(3 * (i % 40), 2 * (i % 40));
        timer.start();
        MouseTo(view, QEvent::MouseMove, to, Qt::LeftButton);
        QApplication::processEvents(); // paints what the move invalidated
        ms.push_back(Ms(timer));
    }
    MouseTo(view, QEvent::MouseButtonRelease, from, Qt::NoButton);
    return ms;
}

int RunEditor(const QStringList& args) {
    const int width = bench::Option(args, "--width", "1920").toInt();
    const int height = bench::Option(args, "--height", "1080").toInt();
    if (width < 1 || height < 1) {
        std::fprintf(stderr, "editor: --width and --height must be positive\n");
        return 2;
    }
    kw::RegisterTahoma();
    QApplication::setFont(kw::Tahoma(8));
    ApplyAquaSkin(*qApp);
    // A screen large enough to show the whole frame, as on the desktop it was made for.
    kw::TDesktop desktop = kw::RealDesktop();
    desktop.ScreenSize = [=] { return QSize(width + 640, height + 360); };
    kw::TDesktopOverride screen(desktop);

    TThumbnails list;
    list.SetFrameSize(width, height);
    for (int n = 0; n < 5; ++n)
        if (!list.AddFrame(MakeFrame(width, height, n))) {
            std::fprintf(stderr, "editor: no memory for the frames\n");
            return 1;
        }

    // Opening: a new window, ShowFrame, shown and painted.
    std::vector<double> openMs;
    QElapsedTimer timer;
    for (int i = 0; i < 12; ++i) {
        timer.start();
        auto editor = std::make_unique<TFormEditORB>(nullptr);
        editor->ShowFrame(list.FramePicture(i % 5), i % 5, &list);
        if (!ShowAndPaint(*editor)) {
            std::fprintf(stderr, "editor: the window was never painted\n");
            return 1;
        }
        openMs.push_back(Ms(timer));
        editor->close();
        QApplication::processEvents();
    }

    TFormEditORB editor(nullptr);
    editor.ShowFrame(list.FramePicture(0), 0, &list);
    ShowAndPaint(editor);
    TImage32* view = editor.Image1;
    // Every step below paints: count them to be sure.
    TPaintCounter painted;
    view->installEventFilter(&painted);

    std::vector<double> stepMs;
    for (int i = 0; i < 40; ++i) {
        timer.start();
        if ((i / 4) % 2 == 0)
            editor.BtnNextClick();
        else
            editor.BtnPreviousClick();
        view->repaint();
        stepMs.push_back(Ms(timer));
    }

    // Undo after edits that changed the picture; Redo between them to undo again.
    TBitmap32 edited = view->Bitmap();
    edited.Image().fill(qRgb(40, 80, 120));
    editor.EditDone(edited);
    std::vector<double> undoMs;
    for (int i = 0; i < 30; ++i) {
        timer.start();
        editor.BtnUndoClick();
        view->repaint();
        undoMs.push_back(Ms(timer));
        editor.BtnRedoClick();
        view->repaint();
    }

    // The crop band (outline and handles only) dragged over the picture.
    const QPoint off = view->Offset();
    const TFloatRect half =
        FloatRect(float(off.x() + width / 4), float(off.y() + height / 4),
                  float(off.x() + width * 3 / 4), float(off.y() + height * 3 / 4));
    TRubberbandLayer* crop = editor.CropBand();
    crop->SetLocation(half);
    crop->SetVisible(true);
    crop->SetMouseEvents(true);
    QApplication::processEvents();
    const std::vector<double> dragMs = Drag(view, half, 200);
    crop->SetVisible(false);
    crop->SetMouseEvents(false);

    // For comparison: the resize band, whose child layer stretches the whole picture anew.
    editor.ResizeLayer()->SetBitmap(view->Bitmap());
    editor.ResizeLayer()->SetVisible(true);
    editor.ResizeBand()->SetLocation(FloatRect(view->PictureRect()));
    editor.ResizeBand()->SetVisible(true);
    editor.ResizeBand()->SetMouseEvents(true);
    QApplication::processEvents();
    const std::vector<double> resizeDragMs = Drag(view, FloatRect(view->PictureRect()), 60);

    TFont32 font;
    font.Name = QStringLiteral("Tahoma");
    font.Size = 100;
    const QString sample = QStringLiteral("Sample Text");
    TBitmap32 picture = TBitmap32::FromFrame(list.FramePicture(0));
    const int tw = graphics::TextWidth(font, sample), th = graphics::TextHeight(font, sample);
    std::vector<double> textMs;
    for (int i = 0; i < 40; ++i) {
        timer.start();
        graphics::RenderText(picture, (width - tw) / 2, (height - th) / 2, sample, font,
                             0xB4FF0000u);
        textMs.push_back(Ms(timer));
    }

    if (painted.Paints < int(stepMs.size() + undoMs.size() + dragMs.size())) {
        std::fprintf(stderr, "editor: only %d paints\n", painted.Paints);
        return 1;
    }
    std::printf("frame %dx%d, window %dx%d, view %dx%d, text %dx%d, resize band drag %.3f ms\n",
                width, height, editor.width(), editor.height(), view->width(), view->height(), tw,
                th, bench::MedianMs(resizeDragMs));
    std::printf("open_ms=%.3f step_ms=%.3f undo_ms=%.3f drag_ms=%.3f text_ms=%.3f\n",
                bench::MedianMs(openMs), bench::MedianMs(stepMs), bench::MedianMs(undoMs),
                bench::MedianMs(dragMs), bench::MedianMs(textMs));
    return 0;
}

} // namespace

FC_BENCH_COMMAND(editor, "editor [--width 1920 --height 1080]", RunEditor);
