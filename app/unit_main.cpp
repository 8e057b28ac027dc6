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

// The skin's colours under the names the window's layout uses.
const QColor ColorForm(aqua::PanelLight);
const QColor ColorPanel(aqua::PanelDark);
const QColor ColorInner(aqua::PanelMid);
const QColor ColorLight(aqua::BorderLight);

const QString CaptureHint = QStringLiteral("Grabbing ... , click SNAPSHOT button again to stop");

TKWLinePanel* MakePanel(QWidget* parent, const QColor& color, int borderWidth,
                        const QColor& c1 = Qt::black, const QColor& c2 = Qt::black,
                        const QColor& c3 = Qt::black) {
    auto* panel = new TKWLinePanel(parent);
    panel->SetColor(color);
    panel->SetBorderWidth(borderWidth);
    panel->SetBorderColor1(c1);
    panel->SetBorderColor2(c2);
    panel->SetBorderColor3(c3);
    return panel;
}

TKWImgBtn* MakeButton(QWidget* parent, const QImage& strip, int left, int top, int width,
                      int height) {
    auto* button = new TKWImgBtn(parent);
    button->setGeometry(left, top, width, height);
    button->SetPic(strip);
    return button;
}

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
    setAutoFillBackground(true);
    QPalette pal = palette();
    pal.setColor(QPalette::Window, ColorForm);
    setPalette(pal);
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

void TFormMain::CreateComponents() {
    auto* dock = new TDockLayout(this);

    PanelStatusbar = MakePanel(this, ColorPanel, 0);
    PanelStatusbar->setObjectName(QStringLiteral("PanelStatusbar"));
    PanelStatusbar->resize(789, 20);
    dock->AddWidget(PanelStatusbar, TAlign::Bottom);
    LabelStatusbar = new QLabel(PanelStatusbar);
    LabelStatusbar->setObjectName(QStringLiteral("LabelStatusbar"));
    LabelStatusbar->setFont(kw::Tahoma(8));
    LabelStatusbar->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    LabelStatusbar->setStyleSheet(
        QStringLiteral("color: %1; background: transparent;").arg(QColor(aqua::StatusText).name()));
    PanelStatusbar->Dock()->AddWidget(LabelStatusbar, TAlign::Client, QMargins(8, 0, 0, 0));

    PanelLeft = MakePanel(this, ColorPanel, 0);
    PanelLeft->setObjectName(QStringLiteral("PanelLeft"));
    PanelLeft->resize(304, 558);
    dock->AddWidget(PanelLeft, TAlign::Left, QMargins(4, 0, 0, 0));

    PanelVideo =
        MakePanel(PanelLeft, ColorInner, 2, ColorLight, ColorLight, QColor(0x28, 0x28, 0x28));
    PanelVideo->setObjectName(QStringLiteral("PanelVideo"));
    PanelVideo->resize(304, 229);
    PanelLeft->Dock()->AddWidget(PanelVideo, TAlign::Top, QMargins(0, 0, 0, 3));

    FilterGraph1 = new TFilterGraph(this);
    FilterGraph1->setObjectName(QStringLiteral("FilterGraph1"));
    FilterGraph1->SetLinearVolume(true);
    VideoWindow = new TVideoWindow(PanelVideo);
    VideoWindow->setObjectName(QStringLiteral("VideoWindow"));
    VideoWindow->SetFilterGraph(FilterGraph1);
    PanelVideo->Dock()->AddWidget(VideoWindow, TAlign::Client);

    PanelBtn = MakePanel(PanelLeft, ColorForm, 2, ColorLight, ColorLight, Qt::black);
    PanelBtn->setObjectName(QStringLiteral("PanelBtn"));
    PanelLeft->Dock()->AddWidget(PanelBtn, TAlign::Client, QMargins(0, 3, 0, 0));

    PanelVideoControl = new TKWImgPanel(PanelBtn);
    PanelVideoControl->setObjectName(QStringLiteral("PanelVideoControl"));
    PanelVideoControl->setGeometry(5, 12, 292, 45);
    PanelVideoControl->SetPicture(ArtVideoControlPanel());
    PanelVideoControl->SetTransparent(true);

    BtnOpen = MakeButton(PanelVideoControl, ArtOpenButton(), 3, 2, 40, 41);
    BtnOpen->setObjectName(QStringLiteral("BtnOpen"));
    BtnPlay = MakeButton(PanelVideoControl, ArtPlayButton(), 45, 2, 38, 41);
    BtnPlay->setObjectName(QStringLiteral("BtnPlay"));
    BtnPause = MakeButton(PanelVideoControl, ArtPauseButton(), 45, 2, 38, 41);
    BtnPause->setObjectName(QStringLiteral("BtnPause"));
    BtnPause->hide();

    BtnSnapO =
        MakeButton(PanelBtn, ArtBigButton(QStringLiteral("SNAPSHOT"), GlyphCamera), 2, 67, 299, 41);
    BtnSnapO->setObjectName(QStringLiteral("BtnSnapO"));
    BtnSnap =
        MakeButton(PanelBtn, ArtBigButton(QStringLiteral("CONTINUOUS SNAPSHOT"), GlyphContinuous),
                   2, 117, 299, 41);
    BtnSnap->setObjectName(QStringLiteral("BtnSnap"));
    BtnSnap->SetHoldDown(true);
    BtnCaptureRange = MakeButton(BtnSnap, ArtBigButtonEnd(), 299 - 30, 0, 30, 41);
    BtnCaptureRange->setObjectName(QStringLiteral("BtnCaptureRange"));
    BtnOptions = MakeButton(PanelBtn, ArtBigButton(QStringLiteral("OPTIONS"), GlyphOptions), 2, 167,
                            299, 41);
    BtnOptions->setObjectName(QStringLiteral("BtnOptions"));
    BtnHelp =
        MakeButton(PanelBtn, ArtBigButton(QStringLiteral("HELP"), GlyphHelp), 2, 217, 299, 41);
    BtnHelp->setObjectName(QStringLiteral("BtnHelp"));
    BtnAbout =
        MakeButton(PanelBtn, ArtBigButton(QStringLiteral("ABOUT"), GlyphAbout), 2, 267, 299, 41);
    BtnAbout->setObjectName(QStringLiteral("BtnAbout"));

    TeSplitter = new TTeSplitter(this);
    TeSplitter->setObjectName(QStringLiteral("TeSplitter"));
    TeSplitter->resize(6, 558);
    TeSplitter->SetMinSize(304);
    dock->AddWidget(TeSplitter, TAlign::Left);

    PanelMain = MakePanel(this, ColorPanel, 0);
    PanelMain->setObjectName(QStringLiteral("PanelMain"));
    dock->AddWidget(PanelMain, TAlign::Client, QMargins(0, 0, 4, 0));

    panel_action = MakePanel(PanelMain, ColorInner, 2, ColorLight, ColorLight, Qt::black);
    panel_action->setObjectName(QStringLiteral("panel_action"));
    panel_action->resize(471, 49);
    PanelMain->Dock()->AddWidget(panel_action, TAlign::Bottom, QMargins(0, 3, 0, 0));
    panel_thumbs = MakePanel(PanelMain, ColorInner, 2, ColorLight, ColorLight, Qt::black);
    panel_thumbs->setObjectName(QStringLiteral("panel_thumbs"));
    PanelMain->Dock()->AddWidget(panel_thumbs, TAlign::Client, QMargins(0, 0, 0, 3));

    BtnSaveGIF = MakeButton(panel_action, ArtSaveGifButton(), 32, 5, 39, 39);
    BtnSaveGIF->setObjectName(QStringLiteral("BtnSaveGIF"));
    BtnSaveThumb = MakeButton(panel_action, ArtSaveThumbButton(), 96, 5, 39, 39);
    BtnSaveThumb->setObjectName(QStringLiteral("BtnSaveThumb"));

    connect(PanelLeft, &TKWLinePanel::Resized, this, kw::Guard([this] {
                if (FLayoutReady) {
                    PanelLeftResize();
                    UpdateMinimumSize();
                }
            }));
    connect(PanelVideo, &TKWLinePanel::Resized, this, kw::Guard([this] {
                if (FLayoutReady) {
                    PanelVideoResize();
                    UpdateMinimumSize();
                }
            }));
    connect(BtnOpen, &TKWImgBtn::OnClick, this, kw::Guard([this] { BtnOpenClick(); }));
    connect(BtnPlay, &TKWImgBtn::OnClick, this, kw::Guard([this] { BtnPlayClick(); }));
    connect(BtnPause, &TKWImgBtn::OnClick, this, kw::Guard([this] { BtnPauseClick(); }));
    connect(BtnSnapO, &TKWImgBtn::OnClick, this, kw::Guard([this] { BtnSnapOClick(); }));
    connect(BtnSnap, &TKWImgBtn::OnClick, this, kw::Guard([this] { BtnSnapClick(); }));
    connect(BtnCaptureRange, &TKWImgBtn::OnClick, this,
            kw::Guard([this] { BtnCaptureRangeClick(); }));
    connect(BtnSaveGIF, &TKWImgBtn::OnClick, this, kw::Guard([this] { BtnSaveGIFClick(); }));
    connect(BtnSaveThumb, &TKWImgBtn::OnClick, this, kw::Guard([this] { BtnSaveThumbClick(); }));
    connect(BtnHelp, &TKWImgBtn::OnClick, this, kw::Guard([this] { BtnHelpClick(); }));
    connect(BtnAbout, &TKWImgBtn::OnClick, this, kw::Guard([this] { BtnAboutClick(); }));
    connect(BtnOptions, &TKWImgBtn::OnClick, this, kw::Guard([this] { BtnOptionsClick(); }));
}

// Runs once while the window is created: the seek bar, the volume and the frame list.
void TFormMain::TeForm1Create() {
    VideoWindow->hide();

    TeDSTrackBar = new TTeDSTrackBar(PanelVideoControl);
    TeDSTrackBar->setObjectName(QStringLiteral("TeDSTrackBar"));
    // 94 = the control panel's own left (5) + 89, relative to the control panel's parent area.
    TeDSTrackBar->setGeometry(PanelVideoControl->x() + 89, 6, 192, 40);
    TeDSTrackBar->SetJumpByClick(true);
    TeDSTrackBar->SetShowTicks(false);
    TeDSTrackBar->SetPosition(0);
    TeDSTrackBar->SetFilterGraph(FilterGraph1);
    // Left and Right step the video one frame; the bar is worked with the mouse.
    TeDSTrackBar->setFocusPolicy(Qt::NoFocus);
    // Millisecond steps, so that every picture of a short clip has its place; the thumb
    // follows playback 20 times a second, and the time readout follows the thumb.
    TeDSTrackBar->SetResolution(1);
    TeDSTrackBar->SetTimerInterval(50);
    TeDSTrackBar->SetOnTimer([this](QObject*, std::int32_t, std::int32_t) { UpdateTimeText(); });
    FilterGraph1->SetRoomCheck(kw::RoomForFrame);
    connect(FilterGraph1, &TFilterGraph::OnPictureShown, this, kw::Guard([this] {
                if (FilterGraph1->GetState() != gsPlaying)
                    UpdateTimeText();
            }));

    FilterGraph1->SetVolume(3000);
    connect(FilterGraph1, &TFilterGraph::OnDSEvent, this,
            [this](QObject* sender, int code, std::intptr_t p1, std::intptr_t p2) {
                FilterGraph1DSEvent(sender, code, p1, p2);
            });

    SelFrameColor = QColor(0xF3, 0xAF, 0x00);
    Thumbnails = new TThumbnails(panel_thumbs);
    Thumbnails->setObjectName(QStringLiteral("Thumbnails"));
    Thumbnails->setFrameShape(QFrame::NoFrame);
    Thumbnails->SetBackgroundColor(ColorInner);
    panel_thumbs->Dock()->AddWidget(Thumbnails, TAlign::Client);
    // A double-click on a tile and the list's "Edit" open the frame editor on that frame.
    connect(Thumbnails, &TThumbnails::EditRequested, this, kw::Guard([this](TThumbItem* item) {
                TFormEditORB::EditFrame(this, Thumbnails, item->Index());
            }));
    // "Export ..." in the list's menu opens the export window.
    connect(Thumbnails, &TThumbnails::ExportRequested, this,
            kw::Guard([this] { ThumbnailsExportRequested(); }));

    // The time readout sits over the right end of the status line, where the hints never
    // reach; it moves nothing the layout places.
    LabelTime = new QLabel(PanelStatusbar);
    LabelTime->setObjectName(QStringLiteral("LabelTime"));
    LabelTime->setFont(kw::Tahoma(8));
    LabelTime->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    LabelTime->setStyleSheet(QStringLiteral("color: #E8E7E2; background: transparent;"));
    LabelTime->setAttribute(Qt::WA_TransparentForMouseEvents);
    const auto placeTime = [this] {
        LabelTime->setGeometry(PanelStatusbar->width() - 8 - 180, 0, 180, PanelStatusbar->height());
    };
    placeTime();
    connect(PanelStatusbar, &TKWLinePanel::Resized, this, placeTime);
    FTimeTimer.setInterval(100);
    connect(&FTimeTimer, &QTimer::timeout, this, kw::Guard([this] { UpdateTimeText(); }));
    FTimeTimer.start();
    connect(TeDSTrackBar, &TTeTrackBar::OnChange, this, kw::Guard([this] { UpdateTimeText(); }));
    setAcceptDrops(true);

    CaptureTimer.setTimerType(Qt::PreciseTimer);
    connect(&CaptureTimer, &QTimer::timeout, this, kw::Guard([this] { CaptureTimerTimer(); }));
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
