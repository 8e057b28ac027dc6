// The main window's part in the desktop around it: the question before frames are lost on
// quitting, files dropped on the window, the keys, the time readout beside the status line and
// the smallest size the panels allow.

#include "app/unit_main.h"

#include "codecs/picture_reader.h"
#include "common/kw_common.h"
#include "controls/kw_img_btn.h"
#include "controls/kw_line_panel.h"
#include "frames/frame_recovery.h"
#include "frames/thumbnails.h"
#include "skin/te_controls.h"
#include "video/filter_graph.h"
#include "video/te_ds_trackbar.h"

#include <QApplication>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFileInfo>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMimeData>
#include <QPlainTextEdit>
#include <QScrollBar>
#include <QStyle>
#include <QTextEdit>

#include <algorithm>

namespace {

// The extensions of "All Support Video Format", lower case without the dot.
QStringList VideoExtensions() {
    QStringList exts;
    const QString patterns = QString::fromLatin1(OpenVideoFilter).section(QLatin1Char('|'), 1, 1);
    for (const QString& p : patterns.split(QLatin1Char(';'), Qt::SkipEmptyParts))
        exts << p.mid(2).toLower();
    return exts;
}

QStringList LocalFiles(const QMimeData* mime) {
    QStringList paths;
    if (!mime || !mime->hasUrls())
        return paths;
    for (const QUrl& url : mime->urls()) {
        if (!url.isLocalFile())
            return {};
        paths << url.toLocalFile();
    }
    return paths;
}

bool TextFieldHasFocus() {
    const QWidget* w = QApplication::focusWidget();
    return qobject_cast<const QLineEdit*>(w) || qobject_cast<const QTextEdit*>(w) ||
           qobject_cast<const QPlainTextEdit*>(w);
}

} // namespace

TDropKind DropKindOf(const QStringList& paths) {
    if (paths.isEmpty())
        return TDropKind::None;
    static const QStringList videos = VideoExtensions();
    static const QStringList pictures = PictureFileExtensions();
    const auto ext = [](const QString& p) { return QFileInfo(p).suffix().toLower(); };
    if (paths.size() == 1 && videos.contains(ext(paths[0])) && QFileInfo(paths[0]).isFile())
        return TDropKind::Video;
    for (const QString& p : paths)
        if (!pictures.contains(ext(p)) || !QFileInfo(p).isFile())
            return TDropKind::None;
    return TDropKind::Pictures;
}

// --- Quitting ---------------------------------------------------------------------------------

bool TFormMain::FormCanClose() {
    const int unwritten = Thumbnails->UnwrittenCount();
    if (unwritten == 0)
        return true;
    const QString question =
        unwritten == 1
            ? QStringLiteral("Quit Framecatch and discard the 1 captured frame?")
            : QStringLiteral("Quit Framecatch and discard the %1 captured frames?").arg(unwritten);
    return kw::YesNoBox(this, QStringLiteral("Framecatch"), question);
}

void TFormMain::OfferRestore(TFrameRecovery& recovery) {
    if (recovery.Count() > 0 && recovery.Check() > 0 &&
        kw::YesNoBox(this, QStringLiteral("Framecatch"), recovery.QuestionText())) {
        bool refused = false;
        recovery.Restore([&](const QImage& picture, const TFrameSource& source) {
            refused = !Thumbnails->AddFrame(picture, source);
            return !refused;
        });
        Thumbnails->SyncJournal();
        if (refused) {
            // The frames before it are in; the rest stay for the next start.
            ShowStoreFullWarning(this);
            return;
        }
    }
    recovery.Discard();
}

void TFormMain::CloseWithoutAsking() {
    FCloseWithoutAsking = true;
    if (!close())
        FCloseWithoutAsking = false;
}

// --- Dropped files ----------------------------------------------------------------------------

bool TFormMain::AcceptsDrop(const QStringList& paths, QPoint at) const {
    switch (DropKindOf(paths)) {
    case TDropKind::Video:
        return true; // anywhere on the window
    case TDropKind::Pictures:
        return Thumbnails->rect().contains(Thumbnails->mapFrom(this, at));
    case TDropKind::None:
        break;
    }
    return false;
}

void TFormMain::dragEnterEvent(QDragEnterEvent* event) {
    // Entering the window anywhere is allowed while the files can go somewhere; the move
    // events then say where.
    if (DropKindOf(LocalFiles(event->mimeData())) != TDropKind::None)
        event->acceptProposedAction();
    else
        event->ignore();
}

void TFormMain::dragMoveEvent(QDragMoveEvent* event) {
    if (AcceptsDrop(LocalFiles(event->mimeData()), event->position().toPoint()))
        event->acceptProposedAction();
    else
        event->ignore();
}

void TFormMain::dropEvent(QDropEvent* event) {
    const QStringList paths = LocalFiles(event->mimeData());
    if (!AcceptsDrop(paths, event->position().toPoint())) {
        event->ignore();
        return;
    }
    event->acceptProposedAction();
    // The drag source waits for the drop to end: the files are opened once it has.
    const auto open = [this, paths] {
        kw::Guarded([&] {
            if (DropKindOf(paths) == TDropKind::Video)
                OpenVideoFile(paths[0]);
            else
                Thumbnails->InsertPictureFiles(paths, true);
        });
    };
    QMetaObject::invokeMethod(this, open, Qt::QueuedConnection);
}

// --- Keys -------------------------------------------------------------------------------------

bool TFormMain::FormKeyDown(int key, Qt::KeyboardModifiers modifiers) {
    if (TextFieldHasFocus())
        return false;
    const Qt::KeyboardModifiers mods =
        modifiers & (Qt::ShiftModifier | Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier);
    if (key == Qt::Key_O && mods == Qt::ControlModifier) {
        BtnOpenClick();
        return true;
    }
    if (key == Qt::Key_R && mods == Qt::ControlModifier) {
        BtnCaptureRangeClick();
        return true;
    }
    if (mods != Qt::NoModifier)
        return false;
    switch (key) {
    case Qt::Key_Space:
        if (BtnPause->isVisible())
            BtnPauseClick();
        else
            BtnPlayClick();
        return true;
    case Qt::Key_Left:
    case Qt::Key_Right:
    case Qt::Key_Comma:
    case Qt::Key_Period:
        // The picture it brings updates the readout when it is shown.
        if (FilterGraph1->GetState() == gsPaused)
            FilterGraph1->StepFrame(key == Qt::Key_Right || key == Qt::Key_Period ? 1 : -1);
        return true;
    case Qt::Key_I:
    case Qt::Key_O: {
        const std::int64_t shown = FilterGraph1->ShownTime();
        if (shown < 0)
            return true;
        // The first whole millisecond of the picture's span: a picture of a 30 fps video
        // starts between two milliseconds, and the one before it would fall on the picture
        // before, which a range from this mark would then take first.
        const std::int64_t ms = (shown + 9999) / 10000;
        if (key == Qt::Key_I)
            SetMarks(ms, FOutMs >= 0 && FOutMs < ms ? -1 : FOutMs);
        else
            SetMarks(FInMs >= 0 && FInMs > ms ? -1 : FInMs, ms);
        return true;
    }
    case Qt::Key_F1:
        BtnHelpClick();
        return true;
    default:
        return false;
    }
}

void TFormMain::keyPressEvent(QKeyEvent* event) {
    bool handled = false;
    kw::Guarded([&] { handled = FormKeyDown(event->key(), event->modifiers()); });
    if (handled)
        event->accept();
    else
        QWidget::keyPressEvent(event);
}

void TFormMain::SetMarks(std::int64_t inMs, std::int64_t outMs) {
    FInMs = inMs;
    FOutMs = outMs;
    TeDSTrackBar->SetMarks(inMs, outMs);
}

// --- Time readout -----------------------------------------------------------------------------

void TFormMain::UpdateTimeText() {
    TMediaSeeking* seeking = FilterGraph1->Seeking();
    std::int64_t duration = 0, current = 0;
    if (!seeking || !FilterGraph1->HasVideo() || seeking->GetDuration(duration) < 0 ||
        seeking->GetCurrentPosition(current) < 0) {
        LabelTime->clear();
        return;
    }
    std::int64_t ms = current / 10000;
    const std::int64_t durationMs = duration / 10000;
    if (TeDSTrackBar->Tracking() || TeDSTrackBar->Dragging()) {
        // The place the bar would seek to when let go.
        ms = TeDSTrackBar->PositionMs(durationMs);
    } else {
        // Still: the time of the picture on display, which a grab takes.
        if (FilterGraph1->GetState() != gsPlaying)
            if (const std::int64_t shown = FilterGraph1->ShownTime(); shown >= 0)
                ms = shown / 10000;
        // The thumb shows the same time as the readout.
        TeDSTrackBar->ShowTime(ms, durationMs);
    }
    LabelTime->setText(MediaTimeText(ms, durationMs) + QStringLiteral(" / ") +
                       MediaTimeText(durationMs, durationMs));
}

// --- Minimum size -----------------------------------------------------------------------------

void TFormMain::UpdateMinimumSize() {
    // Left: margin 4, the left panel, the splitter; right: the grid's panel with its borders
    // and a scroll bar, one column of cells (cell + 15 on each side), margin 4.
    const int scrollBar = Thumbnails->style()->pixelMetric(QStyle::PM_ScrollBarExtent);
    const int border = panel_thumbs->width() - panel_thumbs->contentsRect().width();
    const int mainWidth = Thumbnails->CellSize().width() + 30 + border + scrollBar;
    const int width = 4 + PanelLeft->width() + TeSplitter->width() + mainWidth + 4;
    // The buttons' panel needs the last button's bottom edge and its border below the preview.
    const int buttons = BtnAbout->geometry().bottom() + 1 + 2;
    const int height = PanelBtn->y() + buttons + PanelStatusbar->height();
    const QSize least(std::max(789, width), std::max(578, height));
    if (minimumSize() != least)
        setMinimumSize(least);
}
