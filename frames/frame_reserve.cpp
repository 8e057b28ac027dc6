#include "frames/frame_reserve.h"

#include <QColorSpace>

#include <algorithm>
#include <cstring>
#include <limits>
#include <new>
#include <sys/mman.h>
#include <system_error>
#include <utility>

namespace {

constexpr size_t SmallPage = 4096;
constexpr size_t HugePage = size_t(2) << 20;

struct TMapping {
    void* Base;
    size_t Length;
};

void Unmap(void* info) {
    auto* mapping = static_cast<TMapping*>(info);
    munmap(mapping->Base, mapping->Length);
    delete mapping;
}

// Maps a buffer for a frame of that shape on its own, starting on a huge-page boundary and
// asking for huge pages, and writes every page once so that the kernel backs it all now.
// With huge pages a 1080p frame takes three faults instead of some 1,500. The mapping ends
// with the frame's last small page, so the tail beyond the last whole huge page uses small
// pages and costs no more than an ordinary allocation. Null when the memory is not there.
QImage MapFrame(QSize size, QImage::Format format) {
    const int depth = QImage::toPixelFormat(format).bitsPerPixel();
    const qint64 line = ((qint64(size.width()) * depth + 31) / 32) * 4;
    const qint64 bytes = line * size.height();
    if (size.isEmpty() || depth <= 0 || line > std::numeric_limits<int>::max())
        return QImage();
    size_t length = (size_t(bytes) + SmallPage - 1) & ~(SmallPage - 1);
    // Rounded up to whole huge pages when that wastes at most 2 % (1080p: 1.1 %): the tail
    // then costs one fault instead of hundreds.
    const size_t whole = (size_t(bytes) + HugePage - 1) & ~(HugePage - 1);
    if (whole - size_t(bytes) <= size_t(bytes) / 50)
        length = whole;
    void* raw = mmap(nullptr, length + HugePage, PROT_READ | PROT_WRITE,
                     MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (raw == MAP_FAILED)
        return QImage();
    const auto rawAt = reinterpret_cast<quintptr>(raw);
    const quintptr at = (rawAt + HugePage - 1) & ~quintptr(HugePage - 1);
    if (at > rawAt)
        munmap(raw, at - rawAt);
    if (rawAt + HugePage > at)
        munmap(reinterpret_cast<void*>(at + length), rawAt + HugePage - at);
    auto* bits = reinterpret_cast<uchar*>(at);
    madvise(bits, length, MADV_HUGEPAGE);
#ifdef MADV_POPULATE_WRITE
    // One call maps the small pages far more cheaply than a fault each.
    madvise(bits, length, MADV_POPULATE_WRITE);
#endif
    // Written from this thread as well: the first write to a page can cost a trap of its own
    // even when the page is already mapped (as under some hypervisors).
    for (size_t offset = 0; offset < length; offset += SmallPage)
        bits[offset] = 0;
    TMapping* mapping = nullptr;
    try {
        mapping = new TMapping{bits, length};
        QImage image(bits, size.width(), size.height(), qsizetype(line), format, Unmap, mapping);
        if (!image.isNull())
            return image;
    } catch (const std::bad_alloc&) {
    }
    delete mapping;
    munmap(bits, length);
    return QImage();
}

// What QImage::copy() carries over besides the pixels.
void CopyMetadata(const QImage& from, QImage& to) {
    to.setDotsPerMeterX(from.dotsPerMeterX());
    to.setDotsPerMeterY(from.dotsPerMeterY());
    to.setOffset(from.offset());
    to.setDevicePixelRatio(from.devicePixelRatio());
    if (from.colorSpace().isValid())
        to.setColorSpace(from.colorSpace());
    if (from.colorCount() > 0)
        to.setColorTable(from.colorTable());
    const QStringList keys = from.textKeys();
    for (const QString& key : keys)
        to.setText(key, from.text(key));
}

void CopyPixels(const QImage& from, QImage& to) {
    const qsizetype fromLine = from.bytesPerLine(), toLine = to.bytesPerLine();
    if (fromLine == toLine) {
        std::memcpy(to.bits(), from.constBits(), size_t(to.sizeInBytes()));
        return;
    }
    const size_t row = size_t(std::min(fromLine, toLine));
    for (int y = 0; y < from.height(); ++y)
        std::memcpy(to.scanLine(y), from.constScanLine(y), row);
}

} // namespace

TFrameReserve::TFrameReserve(int depth) : FDepth(std::max(1, depth)) {}

TFrameReserve::~TFrameReserve() {
    {
        std::lock_guard lock(FMutex);
        FStop = true;
    }
    FWake.notify_all();
    if (FThread.joinable())
        FThread.join();
}

QImage TFrameReserve::Copy(const QImage& frame) {
    if (frame.isNull())
        return QImage();
    QImage target;
    std::deque<QImage> dropped; // freed outside the lock
    {
        std::lock_guard lock(FMutex);
        if (frame.size() != FSize || frame.format() != FFormat) {
            FSize = frame.size();
            FFormat = frame.format();
            dropped.swap(FReady);
        } else if (!FReady.empty()) {
            target = std::move(FReady.front());
            FReady.pop_front();
            ++FHits;
        }
        FFailed = false;
        if (!FThread.joinable()) {
            try {
                FThread = std::thread([this] { Run(); });
            } catch (const std::system_error&) {
                // Without a worker every copy is simply allocated here.
            }
        }
    }
    FWake.notify_one();
    if (target.isNull()) {
        target = QImage(frame.size(), frame.format());
        if (target.isNull())
            return target;
    }
    CopyPixels(frame, target);
    CopyMetadata(frame, target);
    return target;
}

int TFrameReserve::Ready() const {
    std::lock_guard lock(FMutex);
    return int(FReady.size());
}

int TFrameReserve::Hits() const {
    std::lock_guard lock(FMutex);
    return FHits;
}

void TFrameReserve::WaitUntilIdle() {
    std::unique_lock lock(FMutex);
    if (!FThread.joinable())
        return;
    FIdle.wait(lock, [this] { return FStop || (!FBusy && !Wanted()); });
}

bool TFrameReserve::Wanted() const {
    return !FFailed && !FSize.isEmpty() && int(FReady.size()) < FDepth;
}

void TFrameReserve::Run() {
    std::unique_lock lock(FMutex);
    for (;;) {
        FIdle.notify_all();
        FWake.wait(lock, [this] { return FStop || Wanted(); });
        if (FStop)
            break;
        const QSize size = FSize;
        const QImage::Format format = FFormat;
        FBusy = true;
        lock.unlock();
        QImage buffer = MapFrame(size, format);
        lock.lock();
        FBusy = false;
        if (buffer.isNull()) {
            FFailed = true;
        } else if (size == FSize && format == FFormat && int(FReady.size()) < FDepth) {
            FReady.push_back(std::move(buffer));
        } else {
            // The shape changed meanwhile: free it without holding the lock.
            lock.unlock();
            buffer = QImage();
            lock.lock();
        }
    }
    FIdle.notify_all();
}
