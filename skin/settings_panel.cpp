#include "skin/settings_panel.h"

#include "common/kw_dialogs.h"
#include "common/kw_fonts.h"
#include "controls/kw_line_panel.h"
#include "skin/te_controls.h"

#include <QKeyEvent>
#include <QLabel>
#include <QPalette>

namespace skin {

void DressSettingsWindow(QDialog* window, const QString& caption, QSize size, QRgb background) {
    window->setWindowTitle(caption);
    window->setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                           Qt::WindowCloseButtonHint);
    window->setFixedSize(size);
    window->setFont(kw::Tahoma(8));
    window->setAutoFillBackground(true);
    QPalette pal = window->palette();
    pal.setColor(QPalette::Window, QColor(background));
    window->setPalette(pal);
}

TSettingsDialog::TSettingsDialog(QWidget* owner, const QString& caption, QSize size)
    : QDialog(owner) {
    DressSettingsWindow(this, caption, size);
}

void TSettingsDialog::keyPressEvent(QKeyEvent* event) {
    if (!kw::SwallowEnterAndEscape(event))
        QDialog::keyPressEvent(event);
}

TKWLinePanel* MakeSettingsPanel(QWidget* parent, const char* name, QRgb colour, int borderWidth) {
    auto* panel = new TKWLinePanel(parent);
    panel->setObjectName(QString::fromLatin1(name));
    panel->SetColor(QColor(colour));
    panel->SetBorderWidth(borderWidth);
    panel->SetBorderColor1(QColor(aqua::BorderLight));
    panel->SetBorderColor2(Qt::black);
    panel->SetBorderColor3(Qt::black);
    return panel;
}

QLabel* MakeSettingsLabel(QWidget* parent, const QString& text, int left, int top, bool bold) {
    auto* label = new QLabel(text, parent);
    // Colour and weight both in the label's own style sheet.
    label->setStyleSheet(bold ? QStringLiteral("color: #FFFFFF; background: transparent; "
                                               "font-weight: bold;")
                              : QStringLiteral("color: #FFFFFF; background: transparent;"));
    label->adjustSize();
    label->move(left, top);
    return label;
}

void SetWhiteCaption(QWidget* widget) {
    widget->setStyleSheet(QStringLiteral("color: #FFFFFF; background: transparent;"));
}

TTeRadioButton* MakeSettingsRadio(QWidget* parent, const char* name, const QString& text,
                                  QPoint at) {
    auto* radio = new TTeRadioButton(text, parent);
    radio->setObjectName(QString::fromLatin1(name));
    SetWhiteCaption(radio);
    radio->adjustSize();
    radio->move(at);
    return radio;
}

TTeButton* MakeSettingsButton(QWidget* parent, const char* name, const QString& text, QRect rect) {
    auto* button = new TTeButton(text, parent);
    button->setObjectName(QString::fromLatin1(name));
    button->setGeometry(rect);
    button->setAutoDefault(false);
    return button;
}

} // namespace skin
