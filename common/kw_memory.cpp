#include "common/kw_memory.h"

#include "common/kw_dialogs.h"
#include "common/kw_filesize.h"
#include "common/kw_meminfo.h"

#include <algorithm>

namespace kw {

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
    return MemInfoBytes("MemTotal");
}

namespace {
qint64 Total() {
    static const qint64 total = SystemTotalMemory(); // does not change while the program runs
    return total;
}
} // namespace

qint64 SpareMemory() {
    const qint64 available = Desktop().AvailableMemory();
    if (available < 0)
        return -1;
    return std::max<qint64>(0, available - MemoryMargin(Total()));
}

bool RoomForFrame(qint64 bytes) {
    return MemoryAllows(bytes, Desktop().AvailableMemory(), Total());
}

qint64 FrameBytes(QSize size, QImage::Format format) {
    if (size.isEmpty())
        return 0;
    const qint64 depth = QImage::toPixelFormat(format).bitsPerPixel();
    const qint64 line = (qint64(size.width()) * depth + 31) / 32 * 4;
    return line * size.height();
}

QString MemoryFullText() {
    return QStringLiteral("Memory is full. Please export or delete some frames first.");
}

void ShowMemoryFullWarning(QWidget* owner) {
    WarningBox(owner, QStringLiteral("Warning"), MemoryFullText());
}

QString MemoryRefusedText(const QString& what, QSize size, qint64 bytes) {
    return QStringLiteral("Not enough memory for %1 of %2 x %3 pixels: it needs %4, %5 can be "
                          "spared")
        .arg(what)
        .arg(size.width())
        .arg(size.height())
        .arg(FileSizeText(bytes), FileSizeText(std::max<qint64>(SpareMemory(), 0)));
}

void NeedMemory(qint64 bytes, const QString& what, QSize size) {
    if (!RoomForFrame(bytes))
        throw EMemoryRefused(MemoryRefusedText(what, size, bytes));
}

} // namespace kw
