#include "editor/watermark_panels.h"

#include "skin/aqua.h"
#include "skin/te_controls.h"

#include <QComboBox>
#include <QLabel>

namespace {

void StyleSidePanel(TKWLinePanel* panel) {
    panel->SetColor(QColor(aqua::PanelLight));
    panel->SetBorderWidth(2);
    panel->SetBorderColor1(QColor(aqua::BorderLight));
    panel->SetBorderColor2(Qt::black);
    panel->SetBorderColor3(Qt::black);
    panel->resize(0, panel->height());
    panel->hide();
}

QLabel* MakeLabel(QWidget* parent, const QString& text, int left, int top) {
    auto* label = new QLabel(text, parent);
    label->setStyleSheet(
        QStringLiteral("color: #FFFFFF; font-weight: bold; background: transparent;"));
    label->adjustSize();
    label->move(left, top);
    return label;
}

TTeButton* MakeButton(QWidget* parent, const char* name, const QString& caption, int left,
                      int top) {
    auto* button = new TTeButton(caption, parent);
    button->setObjectName(QLatin1String(name));
    button->setGeometry(left, top, 65, 25);
    button->setAutoDefault(false);
    return button;
}

// The OK and Cancel row at the bottom of both panels.
constexpr int ButtonsTop = 405;

} // namespace

TPanelTextWM::TPanelTextWM(QWidget* parent) : TKWLinePanel(parent) {
    setObjectName(QStringLiteral("PanelTextWM"));
    StyleSidePanel(this);
    LabelFontName = MakeLabel(this, QStringLiteral("Font Name : "), 15, 60);
    ComboBoxFonts = new QComboBox(this);
    ComboBoxFonts->setObjectName(QStringLiteral("ComboBoxFonts"));
    ComboBoxFonts->setGeometry(15, 76, 170, 21);
    BtnTextWMOK = MakeButton(this, "BtnTextWMOK", QStringLiteral("OK"), 30, ButtonsTop);
    BtnTextWMCancel =
        MakeButton(this, "BtnTextWMCancel", QStringLiteral("Cancel"), 105, ButtonsTop);
}

void TPanelTextWM::FillFonts(const QStringList& families) {
    ComboBoxFonts->clear();
    ComboBoxFonts->addItems(families);
    ComboBoxFonts->setCurrentIndex(int(families.indexOf(QStringLiteral("Tahoma"))));
}

TPanelImgWM::TPanelImgWM(QWidget* parent) : TKWLinePanel(parent) {
    setObjectName(QStringLiteral("PanelImgWM"));
    StyleSidePanel(this);
    BtnImgWMOK = MakeButton(this, "BtnImgWMOK", QStringLiteral("OK"), 30, ButtonsTop);
    BtnImgWMCancel = MakeButton(this, "BtnImgWMCancel", QStringLiteral("Cancel"), 105, ButtonsTop);
}
