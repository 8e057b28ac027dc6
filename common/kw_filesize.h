#pragma once
// The size of a written file as the program shows it: "146 KB", "1.50 MB".

#include <QLocale>
#include <QString>

#include <cstdint>

namespace kw {

// k = bytes div 1024; below 1024 KB the text is k followed by " KB", otherwise bytes / 1048576
// with exactly two decimals, grouped thousands and the locale's separators, then " MB".
QString FileSizeText(std::int64_t bytes, const QLocale& locale);
// The same with the system's locale.
QString FileSizeText(std::int64_t bytes);

} // namespace kw
