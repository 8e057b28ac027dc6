#include "frames/paint_copies.h"

#include "common/kw_guard.h"
#include "common/kw_memory.h"

#include <QMetaObject>

#include <condition_variable>
#include <deque>
#include <exception>
#include <mutex>
#include <thread>
#include <utility>

QImage StretchForTile(const QImage& picture, QSize size) {
    if (picture.isNull() || size.isEmpty())
        return QImage();
    QImage source = picture;
    const QImage::Format f = source.format();
    if (f != QImage::Format_RGB888 && f != QImage::Format_RGB32 && f != QImage::Format_ARGB32 &&
        f != QImage::Format_ARGB32_Premultiplied)
        source = source.convertToFormat(QImage::Format_RGB32);
    const bool packed = source.format() == QImage::Format_RGB888;
    const int sw = source.width(), sh = source.height();
    const int dw = size.width(), dh = size.height();
    const int nx = std::clamp(sw / dw, 1, 4), ny = std::clamp(sh / dh, 1, 4);
    QImage out(size, QImage::Format_RGB32);
    if (out.isNull())
        return out;
    auto positions = [](int dst, int src, int n) {
        std::vector<int> at(size_t(dst) * n);
        for (int i = 0; i < dst * n; ++i)
            at[size_t(i)] =
                std::min(src - 1, int((qint64(2 * i + 1) * src) / (qint64(2) * dst * n)));
        return at;
    };
    const std::vector<int> xs = positions(dw, sw, nx), ys = positions(dh, sh, ny);
    const int count = nx * ny;
    for (int y = 0; y < dh; ++y) {
        QRgb* line = reinterpret_cast<QRgb*>(out.scanLine(y));
        for (int x = 0; x < dw; ++x) {
            int r = 0, g = 0, b = 0;
            for (int j = 0; j < ny; ++j) {
                const uchar* row = source.constScanLine(ys[size_t(y * ny + j)]);
                for (int i = 0; i < nx; ++i) {
                    const int sx = xs[size_t(x * nx + i)];
                    if (packed) {
                        const uchar* p = row + sx * 3;
                        r += p[0];
                        g += p[1];
                        b += p[2];
                    } else {
                        const QRgb p = reinterpret_cast<const QRgb*>(row)[sx];
                        r += qRed(p);
                        g += qGreen(p);
                        b += qBlue(p);
                    }
                }
            }
            const int half = count / 2;
            line[x] = qRgb((r + half) / count, (g + half) / count, (b + half) / count);
        }
    }
    return out;
}

QRect FitInto(QSize picture, const QRect& area) {
    if (picture.isEmpty() || area.isEmpty())
        return QRect();
    const QSize fitted = picture.scaled(area.size(), Qt::KeepAspectRatio);
    const QSize size(std::max(1, fitted.width()), std::max(1, fitted.height()));
    return QRect(area.x() + (area.width() - size.width()) / 2,
                 area.y() + (area.height() - size.height()) / 2, size.width(), size.height());
}

// ---------------------------------------------------------------------------------------------
// The worker and what it shares with the GUI thread, all under Mutex.

struct TCopyQueue {
    struct TMade {
        quint64 Serial;
        QSize Size; // as asked
        QImage Copy;
        bool Failed;
        bool Refused;  // no memory to read the frame in now: asked again later
        QString Error; // why the frame could not be read
    };

    std::mutex Mutex;
    std::condition_variable Wake;
    std::deque<TCopyRequest> Requests; // front first
    quint64 Making = 0;                // the request the worker has in hand, 0 for none
    QSize MakingSize;
    std::vector<TMade> Made;  // made, not yet taken by the GUI thread
    bool CallPending = false; // a TakeDelivered call is queued on the GUI thread
    bool Stop = false;
    TPaintCopies* Owner = nullptr; // alive until the worker is joined
    std::thread Worker;

    void Run() {
        std::unique_lock lock(Mutex);
        for (;;) {
            Wake.wait(lock, [this] { return Stop || !Requests.empty(); });
            if (Stop)
                return;
            TCopyRequest request = std::move(Requests.front());
            Requests.pop_front();
            Making = request.Serial;
            MakingSize = request.Size;
            lock.unlock();
            // The frame read (from the page cache or the disk) and reduced, without the lock.
            QImage copy;
            bool failed = false, refused = false;
            QString error;
            try {
                copy = StretchForTile(request.Frame.Picture(), request.Size);
                failed = copy.isNull() && !request.Frame.IsNull();
            } catch (const kw::EMemoryRefused&) {
                refused = true; // the memory is short now, the frame is sound
            } catch (const std::exception& e) {
                // The cell paints as an empty frame; whoever uses the frame is told why.
                failed = true;
                error = kw::MessageOf(e);
            }
            request.Frame = TStoredFrame(); // the slot goes here, not on the GUI thread
            lock.lock();
            Making = 0;
            Made.push_back({request.Serial, request.Size, std::move(copy), failed, refused, error});
            if (!CallPending) {
                CallPending = true;
                TPaintCopies* owner = Owner;
                QMetaObject::invokeMethod(
                    owner, [owner] { owner->TakeDelivered(); }, Qt::QueuedConnection);
            }
        }
    }
};

TPaintCopies::TPaintCopies(QObject* parent)
    : QObject(parent), FQueue(std::make_shared<TCopyQueue>()) {
    FQueue->Owner = this;
    FRetry.setSingleShot(true);
    FRetry.setInterval(RetryDelayMs);
    connect(&FRetry, &QTimer::timeout, this, [this] {
        const QList<quint64> refused = std::exchange(FRefused, {});
        emit Delivered(refused);
    });
    FQueue->Worker = std::thread([queue = FQueue.get()] { queue->Run(); });
}

TPaintCopies::~TPaintCopies() {
    {
        std::lock_guard lock(FQueue->Mutex);
        FQueue->Stop = true;
        FQueue->Requests.clear();
    }
    FQueue->Wake.notify_one();
    FQueue->Worker.join();
    // A TakeDelivered still queued goes with this object.
}

const QImage* TPaintCopies::Find(quint64 serial) {
    const auto it = FEntries.find(serial);
    if (it == FEntries.end())
        return nullptr;
    FUse.splice(FUse.begin(), FUse, it->Use);
    return &it->Copy;
}

bool TPaintCopies::Failed(quint64 serial) const {
    const auto it = FEntries.constFind(serial);
    return it != FEntries.cend() && it->Failed;
}

void TPaintCopies::Want(const std::vector<TCopyRequest>& requests) {
    QHash<quint64, QSize> asked;
    std::deque<TCopyRequest> queue;
    {
        std::lock_guard lock(FQueue->Mutex);
        if (FQueue->Making)
            asked.insert(FQueue->Making, FQueue->MakingSize);
        for (const TCopyQueue::TMade& made : FQueue->Made)
            asked.insert(made.Serial, made.Size);
        for (const TCopyRequest& request : requests) {
            const auto entry = FEntries.constFind(request.Serial);
            if (entry != FEntries.cend() && (entry->Failed || entry->Copy.size() == request.Size))
                continue;
            const auto known = asked.constFind(request.Serial);
            if (known != asked.cend() && *known == request.Size)
                continue; // on its way already
            asked.insert(request.Serial, request.Size);
            queue.push_back(request);
        }
        FQueue->Requests = std::move(queue);
    }
    FAsked = std::move(asked);
    FQueue->Wake.notify_one();
}

void TPaintCopies::Drop(quint64 serial) {
    FAsked.remove(serial);
    Remove(serial);
}

void TPaintCopies::Remove(quint64 serial) {
    const auto it = FEntries.find(serial);
    if (it == FEntries.end())
        return;
    FBytes -= it->Copy.sizeInBytes();
    FUse.erase(it->Use);
    FEntries.erase(it);
}

bool TPaintCopies::Idle() const {
    return FAsked.isEmpty();
}

void TPaintCopies::TakeDelivered() {
    std::vector<TCopyQueue::TMade> made;
    {
        std::lock_guard lock(FQueue->Mutex);
        made.swap(FQueue->Made);
        FQueue->CallPending = false;
    }
    QList<quint64> delivered;
    for (TCopyQueue::TMade& m : made) {
        // Only what is still asked for at that size: not a picture dropped meanwhile, nor a
        // copy at a cell size that changed since.
        const auto asked = FAsked.constFind(m.Serial);
        if (asked == FAsked.cend() || *asked != m.Size)
            continue;
        FAsked.erase(asked);
        // Refused for want of memory: the cell keeps what it shows (an older copy or its
        // number) and is repainted a moment later, which asks for the copy again; a frame
        // that is sound never turns black for a passing shortage.
        if (m.Refused) {
            FRefused.append(m.Serial);
            if (!FRetry.isActive())
                FRetry.start();
            continue;
        }
        if (m.Failed && !m.Error.isEmpty())
            kw::ReportCause(QStringLiteral("A tile's frame cannot be read"), m.Error);
        Insert(m.Serial, std::move(m.Copy), m.Failed);
        delivered.append(m.Serial);
    }
    Evict();
    if (!delivered.isEmpty())
        emit Delivered(delivered);
}

void TPaintCopies::Insert(quint64 serial, QImage copy, bool failed) {
    Remove(serial);
    FUse.push_front(serial);
    FBytes += copy.sizeInBytes();
    FEntries.insert(serial, TEntry{std::move(copy), failed, FUse.begin()});
}

void TPaintCopies::Evict() {
    // The least recently used go first: the copies painted last (the cells in view) and
    // those just made stay.
    while (FBytes > Budget() && FUse.size() > 1) {
        Remove(FUse.back()); // a newer copy of it may still be asked for
    }
}
