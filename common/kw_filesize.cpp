#include "common/kw_filesize.h"

namespace kw {

QString FileSizeText(std::int64_t bytes, const QLocale& locale) {
    const std::int64_t k = bytes / 1024;
    if (k < 1024)
        return QString::number(k) + QStringLiteral(" KB");
    QLocale grouped = locale;
    grouped.setNumberOptions(grouped.numberOptions() & ~QLocale::OmitGroupSeparator);
    return grouped.toString(double(bytes) / 1048576.0, 'f', 2) + QStringLiteral(" MB");
}

QString FileSizeText(std::int64_t bytes) {
    return FileSizeText(bytes, QLocale::system());
}

} // namespace kw
