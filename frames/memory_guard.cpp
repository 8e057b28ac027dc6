#include "frames/memory_guard.h"

#include "common/kw_dialogs.h"

#include <QFile>

#include <algorithm>

qint64 MemoryMargin(qint64 totalBytes) {
    const qint64 floor = qint64(512) << 20;
    return totalBytes > 0 ? std::max(floor, totalBytes / 20) : floor;
}

bool MemoryAllows(qint64 bytes, qint64 availableBytes, qint64 totalBytes) {
    if (availableBytes < 0)
        return true;
    return availableBytes - std::max<qint64>(bytes, 0) >= MemoryMargin(totalBytes);
}

qint64 SystemTotalMemory() {
    QFile meminfo(QStringLiteral("/proc/meminfo"));
    if (!meminfo.open(QIODevice::ReadOnly))
        return -1;
    // A /proc file has no size, so atEnd() is true at once: read it whole instead.
    const QList<QByteArray> lines = meminfo.readAll().split('\n');
    for (const QByteArray& line : lines) {
        if (line.startsWith("MemTotal:")) {
            bool ok = false;
            const qint64 kib = line.simplified().split(' ').value(1).toLongLong(&ok);
            return ok ? kib * 1024 : -1;
        }
    }
    return -1;
}

bool RoomForFrame(qint64 bytes) {
    static const qint64 total = SystemTotalMemory(); // does not change while the program runs
    return MemoryAllows(bytes, kw::Desktop().AvailableMemory(), total);
}

qint64 FrameBytes(QSize size, QImage::Format format) {
    if (size.isEmpty())
        return 0;
    const int depth = QImage::toPixelFormat(format).bitsPerPixel();
    const qint64 stride = ((qint64(size.width()) * depth + 31) / 32) * 4;
    return stride * size.height();
}

QString MemoryFullText() {
    return QStringLiteral("Memory is full. Please export or delete some frames first.");
}

void ShowMemoryFullWarning(QWidget* owner) {
    kw::WarningBox(owner, QStringLiteral("Warning"), MemoryFullText());
}
