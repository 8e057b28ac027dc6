#include "common/kw_numedit.h"

#include "common/kw_dialogs.h"
#include "common/kw_guard.h"

#include <QEvent>
#include <QKeyEvent>
#include <QLineEdit>

namespace kw {

namespace {

class TDigitFilter : public QObject {
public:
    TDigitFilter(QLineEdit* edit, std::function<void()> onRejected)
        : QObject(edit), FOnRejected(std::move(onRejected)) {}

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() != QEvent::KeyPress)
            return QObject::eventFilter(watched, event);
        auto* key = static_cast<QKeyEvent*>(event);
        // Keys that type no character (arrows, Home, Delete, ...) and focus movement with Tab
        // are not filtered.
        if (key->key() == Qt::Key_Tab || key->key() == Qt::Key_Backtab)
            return false;
        if (key->text().isEmpty() || IsDigitKey(key->text()))
            return false;
        Guarded([&] {
            Desktop().Beep();
            if (FOnRejected)
                FOnRejected();
        });
        return true;
    }

private:
    std::function<void()> FOnRejected;
};

} // namespace

bool IsDigitKey(const QString& typed) {
    if (typed.size() != 1)
        return false;
    const QChar c = typed[0];
    return (c >= '0' && c <= '9') || c == QChar(8);
}

void InstallDigitFilter(QLineEdit* edit, std::function<void()> onRejected) {
    edit->installEventFilter(new TDigitFilter(edit, std::move(onRejected)));
}

} // namespace kw
