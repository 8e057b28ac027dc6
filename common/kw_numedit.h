#pragma once
// Number fields: only the keys "0" to "9" and Backspace reach the field. Any other typed
// character (control characters included) is discarded with the system beep, and the optional
// callback runs after the beep (the export dialog shows a warning there).

#include <QString>

#include <functional>

class QLineEdit;

namespace kw {

void InstallDigitFilter(QLineEdit* edit, std::function<void()> onRejected = {});

// The filter's decision for one typed character (as QKeyEvent::text() gives it).
bool IsDigitKey(const QString& typed);

} // namespace kw
