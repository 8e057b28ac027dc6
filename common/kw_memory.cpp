#include "frames/memory_guard.h"

#include "codecs/bmp_codec.h"
#include "common/kw_dialogs.h"
#include "common/kw_meminfo.h"

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
    return kw::MemInfoBytes("MemTotal");
}

bool RoomForFrame(qint64 bytes) {
    static const qint64 total = SystemTotalMemory(); // does not change while the program runs
    return MemoryAllows(bytes, kw::Desktop().AvailableMemory(), total);
}

qint64 FrameBytes(QSize size, QImage::Format format) {
    if (size.isEmpty())
        return 0;
    const int depth = QImage::toPixelFormat(format).bitsPerPixel();
    return codecs::BmpRowStride(size.width(), depth) * size.height();
}

QString MemoryFullText() {
    return QStringLiteral("Memory is full. Please export or delete some frames first.");
}

void ShowMemoryFullWarning(QWidget* owner) {
    kw::WarningBox(owner, QStringLiteral("Warning"), MemoryFullText());
}
