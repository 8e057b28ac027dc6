#include "frames/frame_source.h"

#include <algorithm>

QString MediaTimeText(std::int64_t ms, std::int64_t durationMs) {
    ms = std::max<std::int64_t>(0, ms);
    const std::int64_t h = ms / 3'600'000, m = ms / 60'000 % 60, s = ms / 1000 % 60,
                       milli = ms % 1000;
    if (durationMs >= 3'600'000)
        return QStringLiteral("%1:%2:%3.%4")
            .arg(h)
            .arg(m, 2, 10, QLatin1Char('0'))
            .arg(s, 2, 10, QLatin1Char('0'))
            .arg(milli, 3, 10, QLatin1Char('0'));
    return QStringLiteral("%1:%2.%3")
        .arg(ms / 60'000)
        .arg(s, 2, 10, QLatin1Char('0'))
        .arg(milli, 3, 10, QLatin1Char('0'));
}

QString TFrameSource::Text() const {
    if (File.isEmpty() || !FromVideo())
        return File;
    return QStringLiteral("%1 at %2").arg(File, MediaTimeText(TimeMs, TimeMs));
}
