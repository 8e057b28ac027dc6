#include "app/form_options.h"

#include "common/kw_common.h"
#include "common/orb_common.h"
#include "controls/kw_dock.h"
#include "controls/kw_img_panel.h"
#include "controls/kw_line_panel.h"
#include "skin/artwork.h"
#include "skin/settings_panel.h"
#include "skin/te_controls.h"

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

TFormOptions::TFormOptions(QWidget* owner)
    : skin::TSettingsDialog(owner, QStringLiteral("Options"), QSize(414, 271)) {
    setObjectName(QStringLiteral("FormOptions"));

    auto* dock = new TDockLayout(this);
    panel_bottom = skin::MakeSettingsPanel(this, "panel_bottom");
    panel_bottom->resize(414, 41);
    dock->AddWidget(panel_bottom, TAlign::Bottom, QMargins(3, 0, 3, 3));
    panel_left = skin::MakeSettingsPanel(this, "panel_left");
    panel_left->resize(120, 224);
    dock->AddWidget(panel_left, TAlign::Left, QMargins(3, 3, 0, 3));
    panel_content = skin::MakeSettingsPanel(this, "panel_content");
    dock->AddWidget(panel_content, TAlign::Client, QMargins(3, 3, 3, 3));

    ImageLeft = new TKWImgPanel(panel_left);
    ImageLeft->setObjectName(QStringLiteral("ImageLeft"));
    ImageLeft->SetPicture(ArtOptionsPicture());
    ImageLeft->SetDrawStyle(TKWDrawStyle::suiStretch);
    panel_left->Dock()->AddWidget(ImageLeft, TAlign::Client);

    Label1 =
        skin::MakeSettingsLabel(panel_content, QStringLiteral("Capture one frame every "), 15, 19);
    edit_msel = new QLineEdit(panel_content);
    edit_msel->setObjectName(QStringLiteral("edit_msel"));
    edit_msel->setGeometry(144, 17, 46, 21);
    edit_msel->setStyleSheet(QStringLiteral("color: #080000;"));
    kw::InstallDigitFilter(edit_msel);
    LabelMillisec = skin::MakeSettingsLabel(panel_content, QStringLiteral("milliseconds"), 197, 19);
    Label_comment = skin::MakeSettingsLabel(
        panel_content, QStringLiteral("1 second = 1000 millisenconds"), 138, 43);

    btn_ok = skin::MakeSettingsButton(panel_bottom, "btn_ok", QStringLiteral("OK"),
                                      QRect(239, 10, 75, 25));
    btn_cancel = skin::MakeSettingsButton(panel_bottom, "btn_cancel", QStringLiteral("Cancel"),
                                          QRect(323, 10, 75, 25));
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
