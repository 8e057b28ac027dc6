#include "common/kw_meminfo.h"

#include <QByteArray>
#include <QFile>
#include <QList>

namespace kw {

qint64 MemInfoBytes(const char* field) {
    QFile meminfo(QStringLiteral("/proc/meminfo"));
    if (!meminfo.open(QIODevice::ReadOnly))
        return -1;
    // A /proc file has no size, so atEnd() is true at once: read it whole instead.
    const QList<QByteArray> lines = meminfo.readAll().split('\n');
    const QByteArray key = QByteArray(field) + ':';
    for (const QByteArray& line : lines) {
        if (line.startsWith(key)) {
            // "MemAvailable:   12345678 kB"
            bool ok = false;
            const qint64 kib = line.simplified().split(' ').value(1).toLongLong(&ok);
            return ok ? kib * 1024 : -1;
        }
    }
    return -1;
}

} // namespace kw
