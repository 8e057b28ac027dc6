#include "common/kw_numedit.h"

#include "common/kw_dialogs.h"
#include "common/kw_guard.h"

#include <QEvent>
#include <QFocusEvent>
#include <QKeyEvent>
#include <QLineEdit>

#include <algorithm>

namespace kw {

namespace {

class TDigitFilter : public QObject {
public:
    TDigitFilter(QLineEdit* edit, std::function<void()> onRejected)
        : QObject(edit), FEdit(edit), FOnRejected(std::move(onRejected)) {}

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        switch (event->type()) {
        case QEvent::KeyPress:
            return KeyPress(static_cast<QKeyEvent*>(event));
        case QEvent::FocusIn:
            FocusIn(static_cast<QFocusEvent*>(event)->reason());
            break;
        case QEvent::MouseButtonRelease:
            // The press that gave the focus has put the cursor where it landed; unless the
            // user dragged a selection, the whole number is selected once the button is up.
            if (FSelectOnRelease && !FEdit->hasSelectedText())
                FEdit->selectAll();
            FSelectOnRelease = false;
            break;
        case QEvent::FocusOut:
            FSelectOnRelease = false;
            break;
        default:
            break;
        }
        return QObject::eventFilter(watched, event);
    }

private:
    bool KeyPress(QKeyEvent* key) {
        if (DigitFieldTakesKey(key->text(), key->modifiers()))
            return false;
        Guarded([&] {
            Desktop().Beep();
            if (FOnRejected)
                FOnRejected();
        });
        return true;
    }

    void FocusIn(Qt::FocusReason reason) {
        switch (reason) {
        case Qt::MouseFocusReason:
            FSelectOnRelease = true;
            break;
        case Qt::TabFocusReason:
        case Qt::BacktabFocusReason:
        case Qt::ShortcutFocusReason:
            FEdit->selectAll();
            break;
        default:
            // Focus set by the program, or coming back with the window or from a menu,
            // leaves the cursor and selection as they were.
            break;
        }
    }

    QLineEdit* FEdit;
    std::function<void()> FOnRejected;
    bool FSelectOnRelease = false;
};

bool IsControlCharacter(QChar c) {
    return c.category() == QChar::Other_Control;
}

} // namespace

bool DigitFieldTakesKey(const QString& typed, Qt::KeyboardModifiers modifiers) {
    // Keys that type nothing: arrows, Home, End, Insert, function keys.
    if (typed.isEmpty())
        return true;
    // Shortcuts: Ctrl (or Meta) with a key, whatever character the platform attaches to it.
    // Ctrl together with Alt is AltGr on some keyboards, which types characters.
    if ((modifiers & (Qt::ControlModifier | Qt::MetaModifier)) && !(modifiers & Qt::AltModifier))
        return true;
    // Editing and dialog keys type a control character: Backspace, Delete, Tab, Enter, Escape.
    if (std::all_of(typed.begin(), typed.end(), IsControlCharacter))
        return true;
    return typed.size() == 1 && typed[0] >= QLatin1Char('0') && typed[0] <= QLatin1Char('9');
}

void InstallDigitFilter(QLineEdit* edit, std::function<void()> onRejected) {
    edit->installEventFilter(new TDigitFilter(edit, std::move(onRejected)));
}

} // namespace kw
