#include "output/output_window.h"

#include "common/kw_dialogs.h"
#include "common/kw_fonts.h"
#include "common/kw_guard.h"
#include "controls/kw_dock.h"
#include "controls/kw_line_panel.h"
#include "skin/aqua.h"
#include "skin/te_controls.h"

#include <QApplication>
#include <QFileInfo>
#include <QKeyEvent>
#include <QLabel>
#include <QShowEvent>

namespace output {

namespace {
const QColor ColorPanel(aqua::PanelDark);
} // namespace

TOutputDialog::TOutputDialog(QWidget* owner, const QString& caption, int width, int height)
    : QDialog(owner) {
    setWindowTitle(caption);
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                   Qt::WindowCloseButtonHint);
    setFixedSize(width, height);
    setFont(kw::Tahoma(8));
    setAutoFillBackground(true);
    QPalette pal = palette();
    pal.setColor(QPalette::Window, ColorPanel);
    setPalette(pal);
}

void TOutputDialog::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    if (!event->spontaneous())
        kw::Guarded([this] { FormShow(); });
}

void TOutputDialog::keyPressEvent(QKeyEvent* event) {
    if (!kw::SwallowEnterAndEscape(event))
        QDialog::keyPressEvent(event);
}

TKWLinePanel* MakeOutputPanel(QWidget* parent, const char* name) {
    auto* panel = new TKWLinePanel(parent);
    panel->setObjectName(QString::fromLatin1(name));
    panel->SetColor(ColorPanel);
    panel->SetBorderWidth(1);
    panel->SetBorderColor1(QColor(aqua::BorderLight));
    panel->SetBorderColor2(Qt::black);
    panel->SetBorderColor3(Qt::black);
    return panel;
}

QLabel* MakeOutputLabel(QWidget* parent, const QString& text, int left, int top, bool bold) {
    auto* label = new QLabel(text, parent);
    // Colour and weight both in the label's own style sheet.
    label->setStyleSheet(bold ? QStringLiteral("color: #FFFFFF; background: transparent; "
                                               "font-weight: bold;")
                              : QStringLiteral("color: #FFFFFF; background: transparent;"));
    label->adjustSize();
    label->move(left, top);
    return label;
}

TTeButton* MakeOutputButton(QWidget* parent, const char* name, const QString& text, QRect rect) {
    auto* button = new TTeButton(text, parent);
    button->setObjectName(QString::fromLatin1(name));
    button->setGeometry(rect);
    button->setAutoDefault(false); // Enter in a field presses no button
    return button;
}

TTeEdit* MakeOutputEdit(QWidget* parent, const char* name, QRect rect, const QString& text) {
    auto* edit = new TTeEdit(parent);
    edit->setObjectName(QString::fromLatin1(name));
    edit->setGeometry(rect);
    edit->setText(text);
    return edit;
}

TTeRadioButton* MakeOutputRadio(QWidget* parent, const char* name, const QString& text, QPoint at) {
    auto* radio = new TTeRadioButton(text, parent);
    radio->setObjectName(QString::fromLatin1(name));
    radio->setStyleSheet(QStringLiteral("color: #FFFFFF;"));
    radio->adjustSize();
    radio->move(at);
    return radio;
}

TKWLinePanel* MakeSourcePanel(QWidget* window, int height, TTeRadioButton*& all,
                              TTeRadioButton*& selected) {
    TKWLinePanel* panel = MakeOutputPanel(window, "panel_source_frame");
    panel->resize(window->width() - 6, height);
    TDockLayout::Of(window)->AddWidget(panel, TAlign::Top, QMargins(3, 3, 3, 3));
    MakeOutputLabel(panel, QStringLiteral("Source Frames:"), 12, 7, true);
    all = MakeOutputRadio(panel, "Rb_allframes", QStringLiteral("All frames"), QPoint(22, 29));
    all->setChecked(true);
    selected =
        MakeOutputRadio(panel, "Rb_selected", QStringLiteral("Selected frames"), QPoint(139, 29));
    return panel;
}

TTeUpDown* MakeOutputUpDown(QLineEdit* field, const char* name, int min, int max, int increment) {
    auto* arrows = new TTeUpDown(field->parentWidget());
    arrows->setObjectName(QString::fromLatin1(name));
    arrows->SetMin(min);
    arrows->SetMax(max);
    arrows->SetIncrement(increment);
    bool ok = false;
    const int value = field->text().toInt(&ok);
    const QRect rect = field->geometry();
    arrows->SetAssociate(field);
    if (ok)
        arrows->SetPosition(value);
    field->setGeometry(rect);
    return arrows;
}

void PlaceUpDown(TTeUpDown* arrows, QLineEdit* field, QRect fieldRect, int offset) {
    field->setGeometry(fieldRect);
    field->setTextMargins(0, 0, fieldRect.width() - offset, 0);
    arrows->setGeometry(fieldRect.left() + offset, fieldRect.top() + 2, 14, fieldRect.height() - 4);
    arrows->raise();
}

QString EnsureExtension(const QString& path, const QString& ext) {
    const QString suffix = QFileInfo(path).suffix();
    if (!suffix.isEmpty() && QLatin1Char('.') + suffix.toLower() == ext)
        return path;
    return path + ext;
}

} // namespace output
