// The busy scope: an application-wide event filter that keeps the user's input away from one
// window while its work runs, and the state it puts back.

#include "common/busy_scope.h"

#include <QApplication>
#include <QEvent>
#include <QProgressBar>
#include <QWidget>

#include <algorithm>

namespace kw {

namespace {
constexpr const char* BusyProperty = "kwBusy";
}

TBusyScope::TBusyScope(const TBusySpec& busy)
    : FWindow(busy.Window), FCancel(busy.Cancel), FBar(busy.Bar) {
    for (QWidget* b : busy.Disable) {
        if (!b || b == busy.Cancel)
            continue;
        FButtons.emplace_back(b, b->isEnabled());
        b->setEnabled(false);
    }
    if (FCancel) {
        FCancelWasEnabled = FCancel->isEnabled();
        FCancel->setEnabled(true);
    }
    if (FBar && busy.Count >= 0)
        FBar->setRange(0, std::max(0, busy.Count - 1));
    if (FWindow)
        FWindow->setProperty(BusyProperty, true);
    QApplication::setOverrideCursor(Qt::WaitCursor);
    qApp->installEventFilter(this);
}

TBusyScope::~TBusyScope() {
    qApp->removeEventFilter(this);
    QApplication::restoreOverrideCursor();
    for (auto& [button, enabled] : FButtons)
        if (button)
            button->setEnabled(enabled);
    if (FCancel)
        FCancel->setEnabled(FCancelWasEnabled);
    if (FBar)
        FBar->setValue(FBar->minimum());
    if (FWindow)
        FWindow->setProperty(BusyProperty, false);
}

bool TBusyScope::IsBusy(const QWidget* window) {
    return window && window->property(BusyProperty).toBool();
}

bool TBusyScope::eventFilter(QObject* watched, QEvent* event) {
    bool pointer = false;
    switch (event->type()) {
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonRelease:
    case QEvent::MouseButtonDblClick:
        pointer = true;
        break;
    case QEvent::KeyPress:
    case QEvent::KeyRelease:
    case QEvent::ShortcutOverride:
    case QEvent::Wheel:
    case QEvent::ContextMenu:
    case QEvent::Close:
        break;
    default:
        return false;
    }
    auto* widget = qobject_cast<QWidget*>(watched);
    if (!FWindow || !widget || widget->window() != FWindow)
        return false;
    // The Cancel button takes its clicks; nothing else of the window does.
    if (pointer && FCancel && (widget == FCancel || FCancel->isAncestorOf(widget)))
        return false;
    // A close request left accepted would still close the window; an accepted shortcut
    // override keeps the key from working as a shortcut, and the key press itself is swallowed.
    event->setAccepted(event->type() == QEvent::ShortcutOverride);
    return true;
}

} // namespace kw
