#include "app/unit_main.h"

#include "app/form_about.h"
#include "app/form_options.h"
#include "common/kw_common.h"
#include "common/orb_common.h"
#include "controls/kw_dock.h"
#include "controls/kw_img_btn.h"
#include "controls/kw_img_panel.h"
#include "controls/kw_line_panel.h"
#include "skin/artwork.h"
#include "skin/te_controls.h"

#include <QLabel>

namespace {

const QColor ColorForm(0x84, 0x81, 0x7C);
const QColor ColorPanel(0x5F, 0x5E, 0x59);
const QColor ColorInner(0x69, 0x66, 0x61);
const QColor ColorLight(0x98, 0x97, 0x92);
const QColor ColorStatusText(0xA4, 0xA3, 0x9E);

const QString CaptureHint =
    QStringLiteral("Grabbing ... , click SNAPSHOT button again to stop");

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
    ConnectHints();
}

TFormMain::~TFormMain() = default;

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
        QStringLiteral("color: #A4A39E; background: transparent;"));
    PanelStatusbar->Dock()->AddWidget(LabelStatusbar, TAlign::Client, QMargins(8, 0, 0, 0));

    PanelLeft = MakePanel(this, ColorPanel, 0);
    PanelLeft->setObjectName(QStringLiteral("PanelLeft"));
    PanelLeft->resize(304, 558);
    dock->AddWidget(PanelLeft, TAlign::Left, QMargins(4, 0, 0, 0));

    PanelVideo = MakePanel(PanelLeft, ColorInner, 2, ColorLight, ColorLight, QColor(0x28, 0x28, 0x28));
    PanelVideo->setObjectName(QStringLiteral("PanelVideo"));
    PanelVideo->resize(304, 229);
    PanelLeft->Dock()->AddWidget(PanelVideo, TAlign::Top, QMargins(0, 0, 0, 3));

    // The preview placeholder; the player's own widget takes this place once it exists.
    VideoWindow = new QWidget(PanelVideo);
    VideoWindow->setObjectName(QStringLiteral("VideoWindow"));
    VideoWindow->setAutoFillBackground(true);
    QPalette black = VideoWindow->palette();
    black.setColor(QPalette::Window, Qt::black);
    VideoWindow->setPalette(black);
    PanelVideo->Dock()->AddWidget(VideoWindow, TAlign::Client);
    VideoWindow->hide();

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

    BtnSnapO = MakeButton(PanelBtn, ArtBigButton(QStringLiteral("SNAPSHOT"), GlyphCamera), 2, 67, 299, 41);
    BtnSnapO->setObjectName(QStringLiteral("BtnSnapO"));
    BtnSnap = MakeButton(PanelBtn, ArtBigButton(QStringLiteral("CONTINUOUS SNAPSHOT"), GlyphContinuous), 2, 117, 299, 41);
    BtnSnap->setObjectName(QStringLiteral("BtnSnap"));
    BtnSnap->SetHoldDown(true);
    BtnOptions = MakeButton(PanelBtn, ArtBigButton(QStringLiteral("OPTIONS"), GlyphOptions), 2, 167, 299, 41);
    BtnOptions->setObjectName(QStringLiteral("BtnOptions"));
    BtnHelp = MakeButton(PanelBtn, ArtBigButton(QStringLiteral("HELP"), GlyphHelp), 2, 217, 299, 41);
    BtnHelp->setObjectName(QStringLiteral("BtnHelp"));
    BtnAbout = MakeButton(PanelBtn, ArtBigButton(QStringLiteral("ABOUT"), GlyphAbout), 2, 267, 299, 41);
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
                if (FLayoutReady)
                    PanelLeftResize();
            }));
    connect(PanelVideo, &TKWLinePanel::Resized, this, kw::Guard([this] {
                if (FLayoutReady)
                    PanelVideoResize();
            }));
    connect(BtnHelp, &TKWImgBtn::OnClick, this, kw::Guard([this] { BtnHelpClick(); }));
    connect(BtnAbout, &TKWImgBtn::OnClick, this, kw::Guard([this] { BtnAboutClick(); }));
    connect(BtnOptions, &TKWImgBtn::OnClick, this, kw::Guard([this] { BtnOptionsClick(); }));
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
    return QStringLiteral(
               "Grab one frame every %1 milliseconds, you can change this interval at OPTIONS window")
        .arg(GlbCfg ? GlbCfg->CaptureInterval : 200);
}

void TFormMain::ConnectHints() {
    HintOnEnter(BtnOpen, QStringLiteral("Click to open a video file"));
    HintOnEnter(BtnPlay, QStringLiteral("Click to play"));
    HintOnEnter(BtnPause, QStringLiteral("Click to pause"));
    HintOnEnter(BtnSnapO, QStringLiteral("Grab only one frame every time you click this button"));
    connect(BtnSnap, &TKWImgBtn::OnMouseEnter, this, kw::Guard([this] { ShowStatus(SnapHint()); }));
    HintOnEnter(BtnHelp, QStringLiteral("Visit online help documents"));
    HintOnEnter(BtnSaveGIF, QStringLiteral("Save the captured frames as animated GIF images"));
    HintOnEnter(BtnSaveThumb, QStringLiteral("Save the captured frames as thumbnails"));
    for (TKWImgBtn* b : {BtnOpen, BtnPlay, BtnPause, BtnSnapO, BtnSnap, BtnOptions, BtnHelp,
                         BtnAbout, BtnSaveGIF, BtnSaveThumb})
        connect(b, &TKWImgBtn::OnMouseLeave, this, kw::Guard([this] { BtnOpenMouseLeave(); }));
}

void TFormMain::ShowStatus(const QString& text) {
    LabelStatusbar->setText(BtnSnap->Down() ? CaptureHint : text);
}

void TFormMain::ClearStatus() {
    if (!BtnSnap->Down())
        LabelStatusbar->clear();
}

QString TFormMain::StatusText() const { return LabelStatusbar->text(); }

void TFormMain::BtnOpenMouseLeave() { ClearStatus(); }

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

void TFormMain::BtnHelpClick() { kw::OpenWithShell(this, GlbCfg->HelpURL); }

void TFormMain::BtnAboutClick() {
    TFormAbout about(this);
    kw::ShowModal(about);
}

void TFormMain::BtnOptionsClick() {
    TFormOptions options(this);
    kw::ShowModal(options);
}
