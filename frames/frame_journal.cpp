#include "frames/frame_journal.h"

#include <QDataStream>
#include <QFile>
#include <QIODevice>

#include <chrono>
#include <condition_variable>
#include <cstring>
#include <deque>
#include <mutex>
#include <thread>
#include <utility>

#include <fcntl.h>
#include <sys/resource.h>
#include <unistd.h>
#include <zlib.h>

namespace {

constexpr char Magic[] = "FCJRNL01"; // 8 bytes, no terminator written
constexpr qint64 HeaderBytes = 8;
// A record larger than this is damage, not a record (a colour table is at most 1 KiB).
constexpr quint32 MaxPayload = 1 << 20;

quint32 Crc(const char* data, qint64 bytes) {
    uLong crc = ::crc32(0L, Z_NULL, 0);
    while (bytes > 0) {
        const uInt n = uInt(std::min<qint64>(bytes, 1 << 30));
        crc = ::crc32(crc, reinterpret_cast<const Bytef*>(data), n);
        data += n;
        bytes -= n;
    }
    return quint32(crc);
}

void PutU32(QByteArray& out, quint32 v) {
    for (int i = 0; i < 4; ++i)
        out.append(char((v >> (8 * i)) & 0xFF));
}

quint32 GetU32(const char* p) {
    quint32 v = 0;
    for (int i = 0; i < 4; ++i)
        v |= quint32(uchar(p[i])) << (8 * i);
    return v;
}

QDataStream& operator<<(QDataStream& s, const TSlotLayout& l) {
    return s << qint64(l.Offset) << qint64(l.Length) << l.Size << qint32(l.Format)
             << qint64(l.BytesPerLine) << qint32(l.DotsPerMeterX) << qint32(l.DotsPerMeterY)
             << l.ColorTable;
}

QDataStream& operator>>(QDataStream& s, TSlotLayout& l) {
    qint64 offset = 0, length = 0, line = 0;
    qint32 format = 0, dx = 0, dy = 0;
    s >> offset >> length >> l.Size >> format >> line >> dx >> dy >> l.ColorTable;
    l.Offset = offset;
    l.Length = length;
    l.Format = QImage::Format(format);
    l.BytesPerLine = qsizetype(line);
    l.DotsPerMeterX = dx;
    l.DotsPerMeterY = dy;
    return s;
}

int WriteAllTo(int fd, const char* data, qint64 bytes) {
    while (bytes > 0) {
        const ssize_t n = ::write(fd, data, size_t(bytes));
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return errno;
        }
        data += n;
        bytes -= n;
    }
    return 0;
}

} // namespace

QString JournalPathFor(const QString& cachePath) {
    QString path = cachePath;
    if (path.endsWith(QStringLiteral(".cache")))
        path.chop(6);
    return path + QStringLiteral(".journal");
}

QByteArray JournalHeader() {
    return QByteArray(Magic, HeaderBytes);
}

QByteArray EncodeJournalRecord(const TJournalRecord& r) {
    QByteArray payload;
    {
        QDataStream s(&payload, QIODevice::WriteOnly);
        s.setVersion(QDataStream::Qt_6_0);
        s << quint8(r.Kind) << quint64(r.Id);
        switch (r.Kind) {
        case TJournalRecord::Add:
            s << qint32(r.Position) << r.Slot << r.PixelSum << r.Source.File
              << qint64(r.Source.TimeMs);
            break;
        case TJournalRecord::Replace:
            s << r.Slot << r.PixelSum;
            break;
        case TJournalRecord::Remove:
            s << r.Removed;
            break;
        case TJournalRecord::Move:
            s << qint32(r.Position);
            break;
        }
    }
    QByteArray out;
    out.reserve(payload.size() + 8);
    PutU32(out, quint32(payload.size()));
    PutU32(out, Crc(payload.constData(), payload.size()));
    out.append(payload);
    return out;
}

std::vector<TJournalRecord> DecodeJournal(const QByteArray& bytes, qint64* whole) {
    std::vector<TJournalRecord> records;
    qint64 ignored = 0;
    qint64& at = whole ? *whole : ignored;
    at = 0;
    if (bytes.size() < HeaderBytes || std::memcmp(bytes.constData(), Magic, HeaderBytes) != 0)
        return records;
    at = HeaderBytes;
    while (at + 8 <= bytes.size()) {
        const quint32 size = GetU32(bytes.constData() + at);
        const quint32 sum = GetU32(bytes.constData() + at + 4);
        if (size == 0 || size > MaxPayload || at + 8 + size > bytes.size())
            return records;
        const char* payload = bytes.constData() + at + 8;
        if (Crc(payload, size) != sum)
            return records;
        QDataStream s(QByteArray::fromRawData(payload, size));
        s.setVersion(QDataStream::Qt_6_0);
        TJournalRecord r;
        quint8 kind = 0;
        quint64 id = 0;
        s >> kind >> id;
        r.Kind = TJournalRecord::TKind(kind);
        r.Id = id;
        qint32 position = 0;
        qint64 time = -1;
        switch (kind) {
        case TJournalRecord::Add:
            s >> position >> r.Slot >> r.PixelSum >> r.Source.File >> time;
            r.Source.TimeMs = time;
            break;
        case TJournalRecord::Replace:
            s >> r.Slot >> r.PixelSum;
            break;
        case TJournalRecord::Remove:
            s >> r.Removed;
            break;
        case TJournalRecord::Move:
            s >> position;
            break;
        default:
            return records; // a kind this program does not know: nothing after it is sure
        }
        if (s.status() != QDataStream::Ok)
            return records;
        r.Position = position;
        records.push_back(std::move(r));
        at += 8 + size;
    }
    return records;
}

bool SumFileRange(int fd, qint64 offset, qint64 length, quint32& sum) {
    constexpr qint64 Chunk = qint64(1) << 20;
    std::vector<char> buffer(size_t(std::min(Chunk, std::max<qint64>(length, 1))));
    uLong crc = ::crc32(0L, Z_NULL, 0);
    while (length > 0) {
        const ssize_t n =
            ::pread(fd, buffer.data(), size_t(std::min<qint64>(length, Chunk)), off_t(offset));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        crc = ::crc32(crc, reinterpret_cast<const Bytef*>(buffer.data()), uInt(n));
        offset += n;
        length -= n;
    }
    sum = quint32(crc);
    return true;
}

// ---------------------------------------------------------------------------------------------
// The journal's thread and what it shares with the GUI thread, under Mutex.

struct TJournalQueue {
    struct TPending {
        TJournalRecord Record;
        TStoredFrame Frame; // keeps the slot (and its pixels) until the record is appended
    };

    std::mutex Mutex;
    std::condition_variable Wake; // to the thread: records, a sync asked for, stop
    std::condition_variable Done; // from the thread: a round ended
    std::deque<TPending> Pending;
    bool SyncAsked = false;
    bool Stop = false;
    quint64 Queued = 0;  // records queued so far
    quint64 Settled = 0; // records appended and synced
    qint64 Appended = 0; // Add records appended
    qint64 Synced = 0;   // Add records synced
    int CacheFd = -1;    // opened by the GUI thread with the first record, then the thread's
    int JournalFd = -1;
    QString JournalPath;
    std::function<void(const TJournalRecord&, bool)> Hook;
    std::thread Worker;

    ~TJournalQueue() {
        if (CacheFd >= 0)
            ::close(CacheFd);
        if (JournalFd >= 0)
            ::close(JournalFd);
    }

    void Append(const TJournalRecord& record,
                const std::function<void(const TJournalRecord&, bool)>& hook) {
        const QByteArray bytes = EncodeJournalRecord(record);
        if (hook) {
            hook(record, false);
            const qint64 half = bytes.size() / 2;
            WriteAllTo(JournalFd, bytes.constData(), half);
            hook(record, true);
            WriteAllTo(JournalFd, bytes.constData() + half, bytes.size() - half);
        } else {
            // A failed append (a full disk) leaves the journal shorter: the frames stay in the
            // running program, and a restore after a crash finds the frames up to there.
            WriteAllTo(JournalFd, bytes.constData(), bytes.size());
        }
    }

    void Run() {
        // Background work: the sums and syncs give way to the GUI thread's grabs.
        ::setpriority(PRIO_PROCESS, id_t(::gettid()), 10);
        using Clock = std::chrono::steady_clock;
        Clock::time_point lastSync = Clock::now() - std::chrono::milliseconds(SyncEvery);
        bool dirty = false;
        qint64 appended = 0;
        std::unique_lock lock(Mutex);
        for (;;) {
            // Records and sync requests wake the thread; unsynced records wait for the second.
            const auto due = lastSync + std::chrono::milliseconds(SyncEvery);
            Wake.wait_until(lock, dirty ? due : Clock::now() + std::chrono::hours(1),
                            [&] { return Stop || !Pending.empty() || SyncAsked; });
            if (Stop)
                return;
            std::deque<TPending> batch;
            batch.swap(Pending);
            const quint64 ticket = Queued;
            const bool asked = std::exchange(SyncAsked, false);
            const auto hook = Hook;
            lock.unlock();
            for (TPending& p : batch) {
                TJournalRecord& r = p.Record;
                if (r.Kind == TJournalRecord::Add || r.Kind == TJournalRecord::Replace) {
                    // The pixels as the file holds them: a sum that fails at restore then
                    // means the bytes changed after the record, never that they were unsure.
                    const qint64 bytes = qint64(r.Slot.BytesPerLine) * r.Slot.Size.height();
                    if (!SumFileRange(CacheFd, r.Slot.Offset, bytes, r.PixelSum))
                        r.PixelSum = 0; // unreadable now: a restore cannot read it either
                }
                Append(r, hook);
                p.Frame = TStoredFrame(); // the slot may go now
                dirty = true;
                if (r.Kind == TJournalRecord::Add)
                    ++appended;
            }
            const bool syncNow = dirty && (asked || Clock::now() >= due);
            if (syncNow) {
                // The pixels first, then the records that name them.
                ::fdatasync(CacheFd);
                ::fdatasync(JournalFd);
                lastSync = Clock::now();
                dirty = false;
            }
            lock.lock();
            Appended = appended;
            if (syncNow || !dirty) {
                Synced = appended;
                Settled = ticket;
            }
            Done.notify_all();
        }
    }

    static constexpr int SyncEvery = TFrameJournal::SyncEveryMs;
};

TFrameJournal::TFrameJournal(const TFrameStore& store)
    : FStore(store), FQueue(std::make_shared<TJournalQueue>()) {}

TFrameJournal::~TFrameJournal() {
    {
        std::lock_guard lock(FQueue->Mutex);
        FQueue->Stop = true;
        FQueue->Pending.clear();
    }
    FQueue->Wake.notify_all();
    if (FQueue->Worker.joinable())
        FQueue->Worker.join();
    if (!FQueue->JournalPath.isEmpty())
        ::unlink(QFile::encodeName(FQueue->JournalPath).constData());
}

void TFrameJournal::Queue(TJournalRecord record, const TStoredFrame& frame) {
    TJournalQueue& q = *FQueue;
    std::unique_lock lock(q.Mutex); // frames may be stored from workers too
    if (q.JournalFd < 0) {
        // The first record comes after the first frame, so the cache file exists.
        const QString cache = FStore.FilePath();
        if (cache.isEmpty())
            return; // only empty frames so far: nothing to restore
        const QString path = JournalPathFor(cache);
        const int fd =
            ::open(QFile::encodeName(path).constData(),
                   O_WRONLY | O_CREAT | O_EXCL | O_APPEND | O_NOFOLLOW | O_CLOEXEC, 0600);
        const int cacheFd =
            ::open(QFile::encodeName(cache).constData(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC);
        if (fd < 0 || cacheFd < 0) {
            // No journal: the frames live on in this run, a crash then loses them as before.
            if (fd >= 0)
                ::close(fd);
            if (cacheFd >= 0)
                ::close(cacheFd);
            return;
        }
        const QByteArray header = JournalHeader();
        WriteAllTo(fd, header.constData(), header.size());
        q.JournalFd = fd;
        q.CacheFd = cacheFd;
        q.JournalPath = path;
        q.Worker = std::thread([queue = FQueue.get()] { queue->Run(); });
    }
    q.Pending.push_back({std::move(record), frame});
    ++q.Queued;
    lock.unlock();
    q.Wake.notify_one();
}

void TFrameJournal::Added(TFrameId id, int position, const TStoredFrame& frame,
                          const TFrameSource& source) {
    if (frame.IsNull())
        return; // an empty frame has nothing to restore
    TJournalRecord r;
    r.Kind = TJournalRecord::Add;
    r.Id = id.Value();
    r.Position = position;
    r.Slot = frame.Layout();
    r.Source = source;
    Queue(std::move(r), frame);
}

void TFrameJournal::Replaced(TFrameId id, const TStoredFrame& frame) {
    TJournalRecord r;
    r.Kind = TJournalRecord::Replace;
    r.Id = id.Value();
    r.Slot = frame.Layout();
    Queue(std::move(r), frame);
}

void TFrameJournal::Removed(const QList<TFrameId>& ids) {
    if (ids.isEmpty())
        return;
    TJournalRecord r;
    r.Kind = TJournalRecord::Remove;
    for (const TFrameId id : ids)
        r.Removed.append(id.Value());
    Queue(std::move(r), TStoredFrame());
}

void TFrameJournal::Moved(TFrameId id, int position) {
    TJournalRecord r;
    r.Kind = TJournalRecord::Move;
    r.Id = id.Value();
    r.Position = position;
    Queue(std::move(r), TStoredFrame());
}

void TFrameJournal::SyncSoon() {
    {
        std::lock_guard lock(FQueue->Mutex);
        if (FQueue->JournalFd < 0)
            return;
        FQueue->SyncAsked = true;
    }
    FQueue->Wake.notify_one();
}

void TFrameJournal::Flush() {
    TJournalQueue& q = *FQueue;
    std::unique_lock lock(q.Mutex);
    if (q.JournalFd < 0)
        return;
    const quint64 ticket = q.Queued;
    q.SyncAsked = true;
    q.Wake.notify_one();
    q.Done.wait(lock, [&] { return q.Settled >= ticket || q.Stop; });
}

QString TFrameJournal::FilePath() const {
    std::lock_guard lock(FQueue->Mutex);
    return FQueue->JournalPath;
}

qint64 TFrameJournal::AppendedAdds() const {
    std::lock_guard lock(FQueue->Mutex);
    return FQueue->Appended;
}

qint64 TFrameJournal::SyncedAdds() const {
    std::lock_guard lock(FQueue->Mutex);
    return FQueue->Synced;
}

void TFrameJournal::SetAppendHook(std::function<void(const TJournalRecord&, bool)> hook) {
    std::lock_guard lock(FQueue->Mutex);
    FQueue->Hook = std::move(hook);
}
