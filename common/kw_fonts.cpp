#include "common/kw_fonts.h"

#include <QFileInfo>
#include <QFontDatabase>

namespace kw {

bool RegisterTahoma() {
    static bool done = false;
    static bool available = false;
    if (done)
        return available;
    done = true;
    const QString dirs[] = {QStringLiteral("/usr/share/wine/fonts/"),
                            QStringLiteral("/usr/share/fonts/truetype/wine/")};
    for (const QString& dir : dirs)
        for (const char* file : {"tahoma.ttf", "tahomabd.ttf"})
            if (QFileInfo::exists(dir + QLatin1String(file)))
                QFontDatabase::addApplicationFont(dir + QLatin1String(file));
    available = QFontDatabase::families().contains(QStringLiteral("Tahoma"), Qt::CaseInsensitive);
    return available;
}

int PointsToPixels(int points) {
    // MulDiv(points, 96, 72): rounded to nearest.
    return (points * 96 + 36) / 72;
}

QFont FontAt96Dpi(const QString& family, int points, bool bold) {
    QFont font(family);
    font.setStyleHint(QFont::SansSerif);
    font.setPixelSize(PointsToPixels(points));
    font.setBold(bold);
    return font;
}

} // namespace kw
