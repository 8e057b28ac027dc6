// The main window's controls as they are laid out when it is made: the panels, the buttons,
// the video, the seek bar, the volume and the frame list, in the skin's colours.

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

void TFormMain::CreateComponents() {
    setAutoFillBackground(true);
    QPalette pal = palette();
    pal.setColor(QPalette::Window, ColorForm);
    setPalette(pal);
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
