#include "app/form_options.h"

#include "common/kw_common.h"
#include "common/orb_common.h"
#include "controls/kw_dock.h"
#include "controls/kw_img_panel.h"
#include "controls/kw_line_panel.h"
#include "skin/aqua.h"
#include "skin/artwork.h"
#include "skin/te_controls.h"

#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

namespace {

const QColor ColorPanel(aqua::PanelDark);

TKWLinePanel* MakeOptionsPanel(QWidget* parent) {
    auto* panel = new TKWLinePanel(parent);
    panel->SetColor(ColorPanel);
    panel->SetBorderWidth(1);
    panel->SetBorderColor1(QColor(aqua::BorderLight));
    panel->SetBorderColor2(Qt::black);
    panel->SetBorderColor3(Qt::black);
    return panel;
}

QLabel* MakeLabel(QWidget* parent, const QString& text, int left, int top) {
    auto* label = new QLabel(text, parent);
    label->setStyleSheet(QStringLiteral("color: #FFFFFF; background: transparent;"));
    label->adjustSize();
    label->move(left, top);
    return label;
}

} // namespace

TFormOptions::TFormOptions(QWidget* owner) : QDialog(owner) {
    setObjectName(QStringLiteral("FormOptions"));
    setWindowTitle(QStringLiteral("Options"));
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                   Qt::WindowCloseButtonHint);
    setFixedSize(414, 271);
    setFont(kw::Tahoma(8));
    setAutoFillBackground(true);
    QPalette pal = palette();
    pal.setColor(QPalette::Window, ColorPanel);
    setPalette(pal);

    auto* dock = new TDockLayout(this);
    panel_bottom = MakeOptionsPanel(this);
    panel_bottom->setObjectName(QStringLiteral("panel_bottom"));
    panel_bottom->resize(414, 41);
    dock->AddWidget(panel_bottom, TAlign::Bottom, QMargins(3, 0, 3, 3));
    panel_left = MakeOptionsPanel(this);
    panel_left->setObjectName(QStringLiteral("panel_left"));
    panel_left->resize(120, 224);
    dock->AddWidget(panel_left, TAlign::Left, QMargins(3, 3, 0, 3));
    panel_content = MakeOptionsPanel(this);
    panel_content->setObjectName(QStringLiteral("panel_content"));
    dock->AddWidget(panel_content, TAlign::Client, QMargins(3, 3, 3, 3));

    ImageLeft = new TKWImgPanel(panel_left);
    ImageLeft->setObjectName(QStringLiteral("ImageLeft"));
    ImageLeft->SetPicture(ArtOptionsPicture());
    ImageLeft->SetDrawStyle(TKWDrawStyle::suiStretch);
    panel_left->Dock()->AddWidget(ImageLeft, TAlign::Client);

    Label1 = MakeLabel(panel_content, QStringLiteral("Capture one frame every "), 15, 19);
    edit_msel = new QLineEdit(panel_content);
    edit_msel->setObjectName(QStringLiteral("edit_msel"));
    edit_msel->setGeometry(144, 17, 46, 21);
    edit_msel->setStyleSheet(QStringLiteral("color: #080000;"));
    kw::InstallDigitFilter(edit_msel);
    LabelMillisec = MakeLabel(panel_content, QStringLiteral("milliseconds"), 197, 19);
    Label_comment =
        MakeLabel(panel_content, QStringLiteral("1 second = 1000 millisenconds"), 138, 43);

    btn_ok = new TTeButton(QStringLiteral("OK"), panel_bottom);
    btn_ok->setObjectName(QStringLiteral("btn_ok"));
    btn_ok->setGeometry(239, 10, 75, 25);
    btn_cancel = new TTeButton(QStringLiteral("Cancel"), panel_bottom);
    btn_cancel->setObjectName(QStringLiteral("btn_cancel"));
    btn_cancel->setGeometry(323, 10, 75, 25);
    // Neither button is the default or the cancel button: Enter and Escape press neither.
    for (QPushButton* b : {btn_ok, btn_cancel}) {
        b->setAutoDefault(false);
        b->setDefault(false);
    }
    setTabOrder(edit_msel, btn_cancel);
    setTabOrder(btn_cancel, btn_ok);

    connect(btn_ok, &QPushButton::clicked, this, kw::Guard([this] { btn_okClick(); }));
    connect(btn_cancel, &QPushButton::clicked, this, kw::Guard([this] { btn_cancelClick(); }));
    FormCreate();
    edit_msel->setFocus();
}

void TFormOptions::FormCreate() {
    edit_msel->setText(QString::number(GlbCfg->CaptureInterval));
}

void TFormOptions::btn_okClick() {
    // A text that does not convert raises the conversion error; the dialog stays open. So does
    // an interval under 1 ms, which would make continuous capture grab nothing: the old value
    // stays.
    const int value = kw::StrToInt(edit_msel->text());
    if (value < 1)
        throw kw::EConvertError(
            QStringLiteral("'%1' is not a valid integer value").arg(edit_msel->text()));
    GlbCfg->CaptureInterval = value;
    GlbCfg->SaveToFile();
    accept();
}

void TFormOptions::btn_cancelClick() {
    reject();
}

void TFormOptions::keyPressEvent(QKeyEvent* event) {
    if (!kw::SwallowEnterAndEscape(event))
        QDialog::keyPressEvent(event);
}
