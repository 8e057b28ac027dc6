#pragma once
// Number fields. A typed character that is not "0" to "9" never reaches the field: it is
// discarded with the system beep, and the optional callback runs after the beep (the export
// dialog shows a warning there). Everything else a text field does works as usual: Backspace,
// Delete, the arrows, Home and End, and the shortcuts (Ctrl+A selects all, Ctrl+C, Ctrl+X,
// Ctrl+V, Ctrl+Z, ...); pasted text is not filtered. A field entered with the mouse, Tab or a
// shortcut selects its whole text, so that what the user types replaces the number.

#include <QString>
#include <Qt>

#include <functional>

class QLineEdit;

namespace kw {

void InstallDigitFilter(QLineEdit* edit, std::function<void()> onRejected = {});

// The filter's decision for one key press: the character it types (as QKeyEvent::text()
// gives it) and the modifiers held. True when the key reaches the field.
bool DigitFieldTakesKey(const QString& typed, Qt::KeyboardModifiers modifiers);

} // namespace kw
