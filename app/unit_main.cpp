// The main window: opening a video, playing and seeking it, grabbing frames one at a time or
// continuously, and starting the editor and the output windows. Its controls are laid out in
// unit_main_layout.cpp, its part in the desktop in unit_main_desktop.cpp.

#include "app/unit_main.h"

#include "app/form_about.h"
#include "app/form_capture_range.h"
#include "app/form_options.h"
#include "codecs/bmp_codec.h"
#include "common/kw_common.h"
#include "common/kw_memory.h"
#include "common/orb_common.h"
#include "controls/kw_dock.h"
#include "controls/kw_img_btn.h"
#include "controls/kw_img_panel.h"
#include "controls/kw_line_panel.h"
#include "editor/form_edit_orb.h"
#include "frames/frame_store.h"
#include "frames/thumbnails.h"
#include "output/form_export_frames.h"
#include "output/save_gif.h"
#include "output/save_thumb.h"
#include "skin/aqua.h"
#include "skin/artwork.h"
#include "skin/te_controls.h"
#include "video/filter_graph.h"
#include "video/media_player.h"
#include "video/media_source.h"
#include "video/te_ds_trackbar.h"
#include "video/video_window.h"

#include <QCloseEvent>
#include <QFileInfo>
#include <QLabel>
#include <QWheelEvent>

#include <algorithm>

namespace {

const QString CaptureHint = QStringLiteral("Grabbing ... , click SNAPSHOT button again to stop");

} // namespace

const char* const OpenVideoFilter =
    "All Support Video Format|*.avi;*.av;*.asf;*.mov;*.rm;*.rmvb;*.wmv;*.mkv;*.ogg;*.vob;*.mpg;"
    "*.mpeg;*.flv;*.mp4;*.m4v;*.webm;*.3gp;*.ts;*.mts;*.m2ts;*.ogv;*.mxf;*.divx;|AVI  (*.avi, "
    "*.av)|*.avi;*.av|ASF  (*.asf)|*.asf|MOV  (*.mov)|*.mov|RM   "
    "(*.rm)|*.rm|RMVB (*.rmvb)|*.rmvb|WMV  (*.wmv)|*.wmv|MKV  (*.mkv)|*.mkv|OGG  (*.ogg)|*.ogg|VOB "
    " (*.vob)|*.vob|MPG  (*.mpg, *.mpeg)|*.mpg;*.mpeg|FLV (*.flv)|*.flv|any files (*.*)|*.*";

TFormMain::TFormMain(QWidget* parent) : QWidget(parent) {
    setObjectName(QStringLiteral("FormMain"));
    setWindowTitle(QStringLiteral("Framecatch"));
    setFont(kw::Tahoma(8));
    // The client area the layout is drawn for; the window cannot be made smaller.
    resize(789, 578);
    setMinimumSize(789, 578);

    CreateComponents();
    TeForm1Create();
    ConnectHints();
    // Every wheel event that reaches the window, whichever control is under the pointer.
    qApp->installEventFilter(this);
}

TFormMain::~TFormMain() {
    qApp->removeEventFilter(this);
    CaptureTimer.stop();
    // The seek bar and the preview let go of the graph before it goes.
    if (TeDSTrackBar)
        TeDSTrackBar->SetFilterGraph(nullptr);
    // The graph itself goes with the window's children; its playback thread ends here.
    if (FilterGraph1) {
        FilterGraph1->ResetGraph();
        FilterGraph1->SetActive(false);
    }
}

void TFormMain::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    FLayoutReady = true;
}

void TFormMain::HintOnEnter(TKWImgBtn* button, const QString& text) {
    connect(button, &TKWImgBtn::OnMouseEnter, this, kw::Guard([this, text] { ShowStatus(text); }));
}

QString TFormMain::SnapHint() const {
    if (BtnSnap->Down())
        return CaptureHint;
    return QStringLiteral("Grab one frame every %1 milliseconds, you can change this interval at "
                          "OPTIONS window")
        .arg(GlbCfg ? GlbCfg->CaptureInterval : 200);
}

void TFormMain::ConnectHints() {
    HintOnEnter(BtnOpen, QStringLiteral("Click to open a video file"));
    HintOnEnter(BtnPlay, QStringLiteral("Click to play"));
    HintOnEnter(BtnPause, QStringLiteral("Click to pause"));
    HintOnEnter(BtnSnapO, QStringLiteral("Grab only one frame every time you click this button"));
    connect(BtnSnap, &TKWImgBtn::OnMouseEnter, this, kw::Guard([this] { ShowStatus(SnapHint()); }));
    HintOnEnter(BtnCaptureRange,
                QStringLiteral("Capture Frames ... of a range at once: every few milliseconds, "
                               "evenly spaced or at scene changes (Ctrl+R)"));
    HintOnEnter(BtnHelp, QStringLiteral("Visit online help documents"));
    HintOnEnter(BtnSaveGIF, QStringLiteral("Save the captured frames as animated GIF images"));
    HintOnEnter(BtnSaveThumb, QStringLiteral("Save the captured frames as thumbnails"));
    for (TKWImgBtn* b : {BtnOpen, BtnPlay, BtnPause, BtnSnapO, BtnSnap, BtnCaptureRange, BtnOptions,
                         BtnHelp, BtnAbout, BtnSaveGIF, BtnSaveThumb})
        connect(b, &TKWImgBtn::OnMouseLeave, this, kw::Guard([this] { BtnOpenMouseLeave(); }));
    // The buttons that show only a picture also say what they do beside the pointer.
    BtnOpen->setToolTip(QStringLiteral("Open a video file (Ctrl+O)"));
    BtnPlay->setToolTip(QStringLiteral("Play (Space)"));
    BtnPause->setToolTip(QStringLiteral("Pause (Space)"));
    BtnSaveGIF->setToolTip(QStringLiteral("Save as an animated GIF"));
    BtnSaveThumb->setToolTip(QStringLiteral("Save as a thumbnail sheet"));
}

void TFormMain::ShowStatus(const QString& text) {
    LabelStatusbar->setText(BtnSnap->Down() ? CaptureHint : text);
}

void TFormMain::ClearStatus() {
    if (!BtnSnap->Down())
        LabelStatusbar->clear();
}

QString TFormMain::StatusText() const {
    return LabelStatusbar->text();
}

void TFormMain::BtnOpenMouseLeave() {
    ClearStatus();
}

void TFormMain::ShowPauseButton() {
    BtnPlay->hide();
    BtnPause->show();
}

void TFormMain::ShowPlayButton() {
    BtnPlay->show();
    BtnPause->hide();
}

void TFormMain::PanelLeftResize() {
    const int offset = (PanelBtn->width() - BtnSnapO->width()) / 2;
    for (TKWImgBtn* b : {BtnSnapO, BtnSnap, BtnOptions, BtnHelp, BtnAbout})
        b->move(offset, b->y());
    PanelVideoControl->move(offset + 3, PanelVideoControl->y());
}

void TFormMain::PanelVideoResize() {
    const int h = PanelVideo->width() * 3 / 4;
    if (PanelLeft->height() >= h + 310 && PanelVideo->height() != h) {
        PanelVideo->resize(PanelVideo->width(), h);
        PanelLeft->Dock()->invalidate();
        PanelLeft->Dock()->activate();
    }
}

void TFormMain::BtnHelpClick() {
    kw::OpenWithShell(this, GlbCfg->HelpURL);
}

void TFormMain::BtnAboutClick() {
    TFormAbout about(this);
    kw::ShowModal(about);
}

void TFormMain::BtnOptionsClick() {
    TFormOptions options(this);
    kw::ShowModal(options);
}

void TFormMain::UpdatePlayButtons() {
    if (FilterGraph1->GetState() == gsPlaying)
        ShowPauseButton();
    else
        ShowPlayButton();
}

void TFormMain::BtnOpenClick() {
    CustomItemOpenFileClick();
}

void TFormMain::CustomItemOpenFileClick() {
    kw::TFileDialogRequest request;
    request.Owner = this;
    request.Title = QStringLiteral("Open");
    request.Filter = QString::fromLatin1(OpenVideoFilter);
    if (!GlbCfg->LastVideoDir.isEmpty())
        request.InitialDir = GlbCfg->LastVideoDir;
    const QString path = kw::Desktop().OpenFileName(request);
    if (path.isEmpty())
        return;
    OpenVideoFile(path);
}

void TFormMain::OpenVideoFile(const QString& path) {
    const QFileInfo file(path);
    GlbCfg->LastVideoDir = file.absolutePath();
    Thumbnails->VideoFileName = file.fileName();
    FVideoPath = file.absoluteFilePath();
    // The title names the video only once it is open.
    setWindowTitle(QStringLiteral("Framecatch"));

    FilterGraph1->ResetGraph();
    FilterGraph1->SetActive(false);
    FilterGraph1->SetActive(true);
    // Until the new file plays, nothing of the old one shows: black preview, seek bar at 0,
    // the play button.
    ShowPlayButton();
    TeDSTrackBar->SetPosition(0);
    SetMarks(-1, -1);
    VideoWindow->update();
    UpdateTimeText();
    // A file that cannot be rendered ends the action here with an error that names the file
    // and says what is wrong with it; the player's own message goes under the box's details.
    try {
        FilterGraph1->RenderMediaFile(path);
    } catch (const EDirectShowException& e) {
        throw kw::EFcError(
            QStringLiteral("The file \"%1\" %2")
                .arg(file.fileName(), EDirectShowException::FileProblem(e.ErrorCode())),
            file.absoluteFilePath() + QStringLiteral(": ") + e.Message());
    }
    if (!FilterGraph1->HasVideo()) {
        // Sound alone would play behind a black preview and fail every grab: refuse it.
        FilterGraph1->ResetGraph();
        FilterGraph1->SetActive(false);
        UpdateTimeText();
        kw::WarningBox(
            this, QStringLiteral("Warning"),
            QStringLiteral("This file has no video picture: frames cannot be grabbed from it."));
        return;
    }
    setWindowTitle(file.fileName() + QStringLiteral(" - Framecatch"));
    VideoWindow->show();
    try {
        if (FilterGraph1->Play()) {
            ShowPauseButton();
            ProbeFrameSize();
            UpdateMinimumSize();
        }
    } catch (const std::exception& e) {
        // The player's own message (FFmpeg's text and code) goes under the box's details.
        kw::ShowMessage({this, QStringLiteral("Warning"),
                         QStringLiteral("Error when decoding video."), kw::TMsgIcon::Error,
                         kw::TMsgButtons::Ok, kw::MessageOf(e)});
    }
}

void TFormMain::BtnPlayClick() {
    FilterGraph1->Play();
    UpdatePlayButtons();
}

void TFormMain::BtnPauseClick() {
    FilterGraph1->Pause();
    UpdatePlayButtons();
}

void TFormMain::BtnSnapOClick() {
    if (!FilterGraph1->Active()) {
        kw::WarningBox(this, QStringLiteral("Warning"),
                       QStringLiteral("No Video found, please open a video file first!"));
        return;
    }
    // The first video gives the frame size, also over one taken from pictures inserted before.
    if (!Thumbnails->FrameSizeFromVideo())
        ProbeFrameSize();
    QCoreApplication::postEvent(this, new QEvent(WM_GRABFRAME));
}

void TFormMain::BtnSnapClick() {
    if (BtnSnap->Down()) {
        const int interval = GlbCfg->CaptureInterval;
        CaptureTimer.setInterval(interval);
        // A timer of interval 0 would fire all the time: 0 (or less) means it never fires.
        if (interval > 0)
            CaptureTimer.start();
        ShowStatus(CaptureHint);
    } else {
        CaptureTimer.stop();
        Thumbnails->SyncJournal();
        ShowStatus(SnapHint());
    }
}

void TFormMain::CaptureTimerTimer() {
    if (FilterGraph1->GetState() == gsPlaying)
        QCoreApplication::postEvent(this, new QEvent(WM_GRABFRAME));
}

void TFormMain::StopContinuousCapture() {
    if (BtnSnap->Down()) {
        BtnSnap->SetDown(false);
        BtnSnap->repaint();
        Thumbnails->SyncJournal(); // the capture's frames are on disk before anything else
    }
    CaptureTimer.stop();
}

bool TFormMain::GrabToScratch(QString* reason) {
    ScratchStream->Clear();
    if (!FilterGraph1->GrabCurrentImage(*ScratchStream, reason))
        return false;
    if (!codecs::ReadBmp(ScratchStream->Data(), ScratchStream->Size(), *ScratchBitmap))
        throw kw::EFcError(QStringLiteral("Bitmap image is not valid"));
    return true;
}

void TFormMain::WMGrabFrame() {
    QString reason;
    if (GrabToScratch(&reason)) {
        // The frame store checks the disk before it takes the frame. When it refuses (or the
        // cache file fails), continuous capture stops first so that no further grabs pile up;
        // grabs already waiting in the queue would only fail the same way.
        const auto stop = [this] {
            StopContinuousCapture();
            QCoreApplication::removePostedEvents(this, WM_GRABFRAME);
        };
        try {
            if (Thumbnails->AddFrame(*ScratchBitmap, GrabbedFrom()))
                return;
        } catch (...) {
            stop();
            throw;
        }
        stop();
        ShowStoreFullWarning(this);
        return;
    }
    if (CaptureFailureShown)
        return; // a box is already on screen; further failures are dropped
    CaptureFailureShown = true;
    struct TReset {
        bool& Flag;
        ~TReset() { Flag = false; }
    } reset{CaptureFailureShown};
    kw::ErrorBox(this, QStringLiteral("Error"), QStringLiteral("Capture Failure!"), reason);
}

TFrameSource TFormMain::GrabbedFrom() const {
    // The time of the picture grabbed (the one on display), not the clock's position,
    // which runs on between pictures and after a seek names the place asked for.
    const fcvideo::TMediaPlayer* player = FilterGraph1->Player();
    const std::int64_t us = player ? player->ShownTimeUs() : -1;
    return TFrameSource{Thumbnails->VideoFileName, us < 0 ? -1 : us / 1000};
}

void TFormMain::ProbeFrameSize() {
    if (GrabToScratch())
        Thumbnails->SetFrameSize(ScratchBitmap->width(), ScratchBitmap->height());
}

void TFormMain::BtnCaptureRangeClick() {
    if (!FilterGraph1->HasVideo()) {
        kw::WarningBox(this, QStringLiteral("Warning"),
                       QStringLiteral("No Video found, please open a video file first!"));
        return;
    }
    if (BtnPause->isVisible())
        BtnPauseClick();
    std::int64_t duration = 0;
    FilterGraph1->GetDuration(duration);
    const TCaptureSource source{FVideoPath, duration / 10000, FInMs, FOutMs,
                                GlbCfg->CaptureInterval};
    TFormCaptureRange window(Thumbnails, source, this);
    kw::ShowModal(window);
}

bool TFormMain::BeforeOutputDialog() {
    if (Thumbnails->Count() == 0) {
        kw::WarningBox(this, QStringLiteral("Warning"), QStringLiteral("No images found."));
        return false;
    }
    if (BtnPause->isVisible())
        BtnPauseClick();
    return true;
}

// Each output window is made for one use and goes when it closes.
void TFormMain::BtnSaveGIFClick() {
    if (!BeforeOutputDialog())
        return;
    TFormSaveGIF dialog(Thumbnails, this);
    kw::ShowModal(dialog);
}

void TFormMain::BtnSaveThumbClick() {
    if (!BeforeOutputDialog())
        return;
    TFormSaveThumb dialog(Thumbnails, this);
    dialog.SetVideo(SheetVideo());
    connect(&dialog, &TFormSaveThumb::SheetWritten, this,
            kw::Guard([this](int leftOut, int rows, int columns) {
                SheetWritten(leftOut, rows, columns);
            }));
    kw::ShowModal(dialog);
}

std::optional<output::TSheetVideo> TFormMain::SheetVideo() const {
    const fcvideo::TMediaPlayer* player = FilterGraph1->Player();
    if (!FilterGraph1->HasVideo() || !player || FVideoPath.isEmpty())
        return std::nullopt;
    const QFileInfo file(FVideoPath);
    const fcvideo::TVideoFacts facts = player->VideoFacts();
    output::TSheetVideo video;
    video.FileName = file.fileName();
    video.FileBytes = file.exists() ? file.size() : -1;
    video.DurationMs = player->DurationUs() / 1000;
    video.Size = QSize(facts.Width, facts.Height);
    video.Codec = facts.Codec;
    video.FrameRate = facts.FrameRate;
    return video;
}

void TFormMain::SheetWritten(int leftOut, int rows, int columns) {
    if (leftOut <= 0) {
        ClearStatus();
        return;
    }
    const QString room = QStringLiteral("the sheet has room for %1 (%2 x %3)")
                             .arg(std::max<qint64>(0, qint64(rows) * columns))
                             .arg(rows)
                             .arg(columns);
    ShowStatus(leftOut == 1 ? QStringLiteral("1 frame was left out: %1").arg(room)
                            : QStringLiteral("%1 frames were left out: %2").arg(leftOut).arg(room));
}

void TFormMain::ThumbnailsExportRequested() {
    TFormExportFrames dialog(Thumbnails, this);
    kw::ShowModal(dialog);
}

void TFormMain::FilterGraph1DSEvent(QObject*, int code, std::intptr_t, std::intptr_t) {
    if (code != EC_COMPLETE)
        return;
    StopContinuousCapture();
    ShowPlayButton();
}

void TFormMain::FormMouseWheel(int delta) {
    if (delta < 0)
        Thumbnails->ScrollLineDown();
    else
        Thumbnails->ScrollLineUp();
}

void TFormMain::FormCloseQuery() {
    CaptureTimer.stop();
    FilterGraph1->ResetGraph();
    FilterGraph1->SetActive(false);
}

void TFormMain::closeEvent(QCloseEvent* event) {
    bool close = true;
    kw::Guarded([&] { close = FCloseWithoutAsking || FormCanClose(); });
    if (!close) {
        event->ignore();
        return;
    }
    kw::Guarded([this] { FormCloseQuery(); });
    event->accept();
}

bool TFormMain::event(QEvent* event) {
    if (event->type() == WM_GRABFRAME) {
        kw::Guarded([this] { WMGrabFrame(); });
        return true;
    }
    return QWidget::event(event);
}

bool TFormMain::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::Wheel && watched->isWidgetType()) {
        auto* widget = static_cast<QWidget*>(watched);
        const auto* wheel = static_cast<QWheelEvent*>(event);
        // An ignored wheel event is offered to each parent in turn: count it once.
        const bool seen =
            wheel == FLastWheel && FLastWheelTarget && widget->isAncestorOf(FLastWheelTarget);
        if (widget->window() == this && !seen) {
            FLastWheel = wheel;
            FLastWheelTarget = widget;
            kw::Guarded([&] { FormMouseWheel(wheel->angleDelta().y()); });
            // The list scrolls by the line above only; anywhere else the event goes on.
            if (Thumbnails && (widget == Thumbnails || Thumbnails->isAncestorOf(widget)))
                return true;
        }
    }
    return QWidget::eventFilter(watched, event);
}
