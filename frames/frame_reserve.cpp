#include "frames/frame_reserve.h"

#include "graphics/picture_memory.h"

#include <QColorSpace>

#include <algorithm>
#include <cstring>
#include <new>
#include <system_error>
#include <utility>

namespace {

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
        QImage buffer = graphics::MapPicture(size, format);
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
