#include "output/output_window.h"

#include "common/kw_guard.h"
#include "controls/kw_dock.h"
#include "controls/kw_line_panel.h"
#include "skin/te_controls.h"

#include <QFileInfo>
#include <QProgressBar>
#include <QShowEvent>

#include <utility>

namespace output {

TOutputDialog::TOutputDialog(QWidget* owner, const QString& caption, int width, int height)
    : skin::TSettingsDialog(owner, caption, QSize(width, height)) {}

void TOutputDialog::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    if (!event->spontaneous())
        kw::Guarded([this] { FormShow(); });
}

void TOutputDialog::SetBusyParts(std::vector<QWidget*> disable, QWidget* cancel,
                                 QProgressBar* bar) {
    FBusyParts.Window = this;
    FBusyParts.Disable = std::move(disable);
    FBusyParts.Cancel = cancel;
    FBusyParts.Bar = bar;
}

kw::TBusySpec TOutputDialog::OutputBusy(int count) const {
    kw::TBusySpec busy = FBusyParts;
    busy.Count = count;
    return busy;
}

TTeEdit* MakeOutputEdit(QWidget* parent, const char* name, QRect rect, const QString& text) {
    auto* edit = new TTeEdit(parent);
    edit->setObjectName(QString::fromLatin1(name));
    edit->setGeometry(rect);
    edit->setText(text);
    return edit;
}

TKWLinePanel* MakeSourcePanel(QWidget* window, int height, TTeRadioButton*& all,
                              TTeRadioButton*& selected) {
    TKWLinePanel* panel = skin::MakeSettingsPanel(window, "panel_source_frame");
    panel->resize(window->width() - 6, height);
    TDockLayout::Of(window)->AddWidget(panel, TAlign::Top, QMargins(3, 3, 3, 3));
    skin::MakeSettingsLabel(panel, QStringLiteral("Source Frames:"), 12, 7, true);
    all = skin::MakeSettingsRadio(panel, "Rb_allframes", QStringLiteral("All frames"),
                                  QPoint(22, 29));
    all->setChecked(true);
    selected = skin::MakeSettingsRadio(panel, "Rb_selected", QStringLiteral("Selected frames"),
                                       QPoint(139, 29));
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
