// The frame store. What lives where:
//
// - On disk: one cache file, <cache>/Corvane/orb/frames-XXXXXX.cache (the folder 0700 and
//   checked to be this user's own, the file 0600), locked with flock by the program that owns
//   it for as long as it is open, so that a later start can tell a dead program's file (nobody
//   holds its lock) from a live one's. Each frame has a slot: a page-aligned range of the file
//   whose blocks are reserved (fallocate) before the frame is written, so that a full disk
//   refuses the frame at once instead of failing later in the middle of a write. A freed
//   slot's range goes to the next frame that fits at once; its blocks go back to the file
//   system shortly after (a punched hole, or a shorter file where the freed ranges end the
//   file).
// - In memory: a slot record per frame (about a hundred bytes); the frame list adds each
//   tile's small painting copy. A frame's pixels are in memory only while a picture read from
//   it lives: TStoredFrame::Picture reads the slot with pread into a picture of its own.
//   Frames are never read through a memory mapping: a mapped page that the disk cannot
//   deliver (an I/O error, a cache file cut short behind the store's back) would kill the
//   program with SIGBUS, while pread reports it as an error that leaves every other frame as
//   it is.
// - In the page cache: a frame is written with pwrite, the one copy that costs the caller
//   time. The write-back thread starts writing it out at once and, a few frames later, waits
//   until it is on disk, so that dirty pages never pile up beyond a few frames' worth of the
//   disk's own speed. The written pages then stay in the page cache as clean pages: the system
//   takes them back whenever it needs the memory (and counts them as available meanwhile), and
//   until then the work that reads the frames next (the replay's next action, an output right
//   after a capture) reads them at memory speed instead of the disk's. Only beyond half of the
//   memory's worth of recent writes are the oldest ranges dropped, so that one long capture
//   does not claim the whole cache. ReadAhead asks for a frame's pages ahead of its reading.
//
// Threads. Put runs on any thread (the GUI thread for grabs, the workers of the replay for
// its results), also on several at once: the cache file is made once under the core's mutex,
// a slot is reserved under the file's mutex, and the pixels are written into the slot's own
// range without a lock. Picture and ReadAhead may run on any thread (an output's worker). The
// write-back thread writes out, waits for and drops ranges of the file (sync_file_range,
// posix_fadvise), for which a range freed and reused meanwhile is harmless, and gives the
// blocks of freed slots back (punches holes, cuts the file) under the file's mutex, where the
// range is still free. The last handle of a slot may go on any thread: it frees the slot. The
// file's mutex guards the free ranges and the file's length, and is held while the file's
// length or blocks change (reserve, punch, truncate). The store, every TFrameSink and the
// write-back share one core; the cache file is removed when the last of them goes.

#include "frames/frame_store.h"

#include "frames/frame_journal.h"
#include "frames/frame_write_back.h"

#include "codecs/bmp_codec.h"
#include "common/kw_dialogs.h"
#include "common/kw_guard.h"
#include "common/kw_memory.h"
#include "common/kw_paths.h"
#include "graphics/picture_memory.h"

#include <QDir>
#include <QFile>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstring>
#include <map>
#include <mutex>
#include <utility>
#include <vector>

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

constexpr qint64 GiB = qint64(1) << 30;
constexpr qint64 Page = 4096; // slots start on page boundaries of every page size in use

qint64 RoundUp(qint64 bytes, qint64 unit) {
    return (bytes + unit - 1) / unit * unit;
}

QString SystemError(int error) {
    return QString::fromLocal8Bit(std::strerror(error));
}

// The errors that mean the disk (or the user's share of it) is full.
bool IsFullError(int error) {
    return error == ENOSPC || error == EDQUOT || error == EFBIG;
}

// Reserves the blocks of a range, extending the file when it lies beyond the end; 0 or errno.
int Allocate(int fd, qint64 offset, qint64 length) {
    int result;
    do
        result = ::fallocate(fd, 0, off_t(offset), off_t(length));
    while (result != 0 && errno == EINTR);
    if (result == 0)
        return 0;
    if (errno != EOPNOTSUPP)
        return errno;
    // A file system without fallocate: the C library writes the blocks instead.
    return ::posix_fallocate(fd, off_t(offset), off_t(length));
}

void Truncate(int fd, qint64 length) {
    // A failure only leaves the file longer than it needs to be.
    if (::ftruncate(fd, off_t(length)) != 0)
        return;
}

void PunchHole(int fd, qint64 offset, qint64 length) {
    // Not every file system can: the blocks then stay until the range is reused.
    ::fallocate(fd, FALLOC_FL_PUNCH_HOLE | FALLOC_FL_KEEP_SIZE, off_t(offset), off_t(length));
}

// Writes all bytes at the offset; 0 or errno.
int WriteAll(int fd, const uchar* data, qint64 bytes, qint64 offset) {
    while (bytes > 0) {
        const ssize_t n = ::pwrite(fd, data, size_t(bytes), off_t(offset));
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return errno;
        }
        if (n == 0)
            return EIO;
        data += n;
        bytes -= n;
        offset += n;
    }
    return 0;
}

// The picture's lines at the given pitch from the offset on; 0 or errno.
int WritePixels(int fd, const QImage& picture, qint64 line, qint64 offset) {
    if (picture.bytesPerLine() == line)
        return WriteAll(fd, picture.constBits(), line * picture.height(), offset);
    // Lines of another pitch (a picture over someone else's buffer): line by line, the bytes
    // in use only; the padding reads as the zeros of the fresh range.
    const qint64 used = (qint64(picture.width()) * picture.depth() + 7) / 8;
    for (int y = 0; y < picture.height(); ++y)
        if (const int error = WriteAll(fd, picture.constScanLine(y), used, offset + y * line))
            return error;
    return 0;
}

} // namespace

// ---------------------------------------------------------------------------------------------
// The cache file, shared by the store, its slots and the pictures out.

struct TStoreFile {
    int Fd = -1;
    QString Path;

    std::mutex Mutex;
    std::map<qint64, qint64> Free; // offset -> length of the unused ranges below End
    qint64 End = 0;                // the end of the last slot in use
    qint64 FileSize = 0;           // the file's length: End, or more until it is cut
    // Freed ranges whose blocks are still to go back to the file system.
    std::vector<std::pair<qint64, qint64>> Freed;

    ~TStoreFile() {
        if (Fd >= 0)
            ::close(Fd);
    }

    // Finds a range for a slot (the smallest free one that fits, else the end of the file)
    // and reserves its blocks; 0 or errno.
    int Reserve(qint64 length, qint64& offset) {
        std::lock_guard lock(Mutex);
        auto best = Free.end();
        for (auto it = Free.begin(); it != Free.end(); ++it)
            if (it->second >= length && (best == Free.end() || it->second < best->second))
                best = it;
        const bool atEnd = best == Free.end();
        offset = atEnd ? End : best->first;
        if (const int error = Allocate(Fd, offset, length)) {
            // Blocks reserved before the failure go back: beyond the file's length at once,
            // inside it with the other freed ranges.
            if (atEnd)
                Truncate(Fd, FileSize);
            Freed.emplace_back(offset, length);
            return error;
        }
        if (atEnd) {
            End += length;
            FileSize = std::max(FileSize, End);
        } else {
            const qint64 rest = best->second - length;
            Free.erase(best);
            if (rest > 0)
                Free.emplace(offset + length, rest);
        }
        return 0;
    }

    // Gives a slot's range back to the free ranges (joined with its neighbours); a free tail
    // ends the slots in use before it. No blocks are given back here (GiveBack does that):
    // freeing the blocks of a large file takes the file system a while (up to a second per
    // gigabyte where it discards them), far too long for deleting thousands of frames at once.
    void Release(qint64 offset, qint64 length) {
        std::lock_guard lock(Mutex);
        Freed.emplace_back(offset, length);
        auto it = Free.emplace(offset, length).first;
        if (const auto next = std::next(it);
            next != Free.end() && it->first + it->second == next->first) {
            it->second += next->second;
            Free.erase(next);
        }
        if (it != Free.begin()) {
            const auto previous = std::prev(it);
            if (previous->first + previous->second == it->first) {
                previous->second += it->second;
                Free.erase(it);
                it = previous;
            }
        }
        if (it->first + it->second == End) {
            End = it->first;
            Free.erase(it);
        }
    }

    // Gives the blocks of freed slots back to the file system: cuts the file down to the end of
    // the slots in use and punches holes into the freed ranges that are still free (parts
    // reused meanwhile are left alone). The work goes in steps, each under the mutex, so that
    // no slot is reserved in a range while it is given back, and storing a frame meanwhile
    // waits for one step at most.
    void GiveBack() {
        constexpr qint64 Step = qint64(128) << 20;
        for (;;) {
            std::lock_guard lock(Mutex);
            if (FileSize <= End)
                break;
            FileSize = std::max(End, FileSize - Step);
            Truncate(Fd, FileSize);
        }
        std::vector<std::pair<qint64, qint64>> freed;
        {
            std::lock_guard lock(Mutex);
            freed.swap(Freed);
        }
        for (const auto& [offset, length] : freed) {
            for (qint64 at = offset; at < offset + length; at += Step) {
                const qint64 stop = std::min(offset + length, at + Step);
                std::lock_guard lock(Mutex);
                auto it = Free.upper_bound(at);
                if (it != Free.begin())
                    --it;
                for (; it != Free.end() && it->first < stop; ++it) {
                    const qint64 from = std::max(at, it->first);
                    const qint64 to = std::min(stop, it->first + it->second);
                    if (from < to)
                        PunchHole(Fd, from, to - from);
                }
            }
        }
    }

    qint64 Length() {
        std::lock_guard lock(Mutex);
        return End;
    }
};

// ---------------------------------------------------------------------------------------------
// A frame's slot: where its pixels are and their shape.

struct TFrameSlot {
    std::shared_ptr<TStoreFile> File;
    qint64 Offset = 0;
    qint64 Length = 0; // 0 until the range is reserved
    QSize Size;
    QImage::Format Format = QImage::Format_Invalid;
    qsizetype BytesPerLine = 0;
    int DotsPerMeterX = 0;
    int DotsPerMeterY = 0;
    QList<QRgb> ColorTable;

    ~TFrameSlot() {
        if (Length > 0)
            File->Release(Offset, Length);
    }
};

namespace {

// Reads bytes at the offset into the buffer; 0, errno, or -1 when the file ends first.
int ReadAll(int fd, uchar* into, qint64 bytes, qint64 offset) {
    while (bytes > 0) {
        const ssize_t n = ::pread(fd, into, size_t(bytes), off_t(offset));
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return errno;
        }
        if (n == 0)
            return -1; // the end of the file
        into += n;
        bytes -= n;
        offset += n;
    }
    return 0;
}

} // namespace

QImage TStoredFrame::Picture() const {
    QImage picture;
    PictureInto(picture);
    return picture;
}

void TStoredFrame::PictureInto(QImage& picture) const {
    if (!FSlot) {
        picture = QImage();
        return;
    }
    const TFrameSlot& slot = *FSlot;
    // A picture of the frame's shape that shares its pixels with nobody is read into as it
    // is: no fresh pages, no new ask of the memory budget.
    if (picture.size() != slot.Size || picture.format() != slot.Format || !picture.isDetached()) {
        picture = QImage();
        kw::NeedMemory(kw::FrameBytes(slot.Size, slot.Format), QStringLiteral("a frame"),
                       slot.Size);
        picture = graphics::NewPicture(slot.Size, slot.Format);
        if (picture.isNull())
            throw kw::EMemoryRefused(kw::MemoryFullText());
    }
    int error = 0;
    const qint64 used = (qint64(slot.Size.width()) * picture.depth() + 7) / 8;
    if (picture.bytesPerLine() == slot.BytesPerLine) {
        error = ReadAll(slot.File->Fd, picture.bits(),
                        qint64(slot.BytesPerLine) * slot.Size.height(), slot.Offset);
    } else {
        for (int y = 0; y < slot.Size.height() && error == 0; ++y)
            error = ReadAll(slot.File->Fd, picture.scanLine(y), used,
                            slot.Offset + qint64(y) * slot.BytesPerLine);
    }
    if (error != 0) {
        picture = QImage();
        throw kw::EFcError(
            QStringLiteral("Cannot read a frame from the frame store's cache file %1: %2")
                .arg(slot.File->Path, error < 0 ? QStringLiteral("the file ends before the frame")
                                                : SystemError(error)));
    }
    picture.setDotsPerMeterX(slot.DotsPerMeterX);
    picture.setDotsPerMeterY(slot.DotsPerMeterY);
    if (!slot.ColorTable.isEmpty() || !picture.colorTable().isEmpty())
        picture.setColorTable(slot.ColorTable);
}

void TStoredFrame::ReadAhead() const {
    if (FSlot)
        ::posix_fadvise(FSlot->File->Fd, off_t(FSlot->Offset), off_t(FSlot->Length),
                        POSIX_FADV_WILLNEED);
}

QSize TStoredFrame::Size() const {
    return FSlot ? FSlot->Size : QSize();
}

QImage::Format TStoredFrame::Format() const {
    return FSlot ? FSlot->Format : QImage::Format_Invalid;
}

qint64 TStoredFrame::Offset() const {
    return FSlot ? FSlot->Offset : -1;
}

TSlotLayout TStoredFrame::Layout() const {
    if (!FSlot)
        return TSlotLayout();
    const TFrameSlot& s = *FSlot;
    return {s.Offset,       s.Length,        s.Size,          s.Format,
            s.BytesPerLine, s.DotsPerMeterX, s.DotsPerMeterY, s.ColorTable};
}

// ---------------------------------------------------------------------------------------------
// The store.

qint64 StoreMargin(qint64 totalBytes) {
    return totalBytes > 0 ? std::max(GiB, totalBytes / 20) : GiB;
}

bool StoreAllows(qint64 bytes, qint64 freeBytes, qint64 totalBytes) {
    if (freeBytes < 0)
        return true;
    return freeBytes - std::max<qint64>(bytes, 0) >= StoreMargin(totalBytes);
}

QString StoreFullText() {
    return QStringLiteral("The frame store is full. Please export or delete some frames first.");
}

void ShowStoreFullWarning(QWidget* owner) {
    kw::WarningBox(owner, QStringLiteral("Warning"), StoreFullText());
}

// What the store and its sinks share: the folder, and the cache file with its write-back once
// the first frame made them.
struct TStoreCore {
    QString Folder;
    std::mutex Mutex; // guards File and WriteBack while they are made
    std::shared_ptr<TStoreFile> File;
    std::unique_ptr<TWriteBack> WriteBack;

    ~TStoreCore() {
        WriteBack.reset();
        if (File)
            ::unlink(QFile::encodeName(File->Path).constData());
    }

    // The cache file, made with the first frame; a made file never changes.
    std::pair<std::shared_ptr<TStoreFile>, TWriteBack*> Opened() {
        std::lock_guard lock(Mutex);
        if (!File)
            Open();
        return {File, WriteBack.get()};
    }

    std::pair<std::shared_ptr<TStoreFile>, TWriteBack*> Current() {
        std::lock_guard lock(Mutex);
        return {File, WriteBack.get()};
    }

    void Open();
    std::optional<TStoredFrame> Put(const QImage& picture);
};

QString TFrameStore::CacheFolder() {
    return kw::PrivateCacheDir();
}

int TFrameStore::RemoveStaleCaches(const QString& folder) {
    const QStringList names =
        QDir(folder).entryList({QStringLiteral("frames-*.cache")}, QDir::Files | QDir::Hidden);
    int removed = 0;
    for (const QString& name : names) {
        const QByteArray path = QFile::encodeName(folder + QLatin1Char('/') + name);
        const int fd = ::open(path.constData(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK);
        if (fd < 0)
            continue;
        // A running program holds the lock on its own file for as long as it lives.
        if (::flock(fd, LOCK_EX | LOCK_NB) == 0 && ::unlink(path.constData()) == 0) {
            ++removed;
            ::unlink(QFile::encodeName(JournalPathFor(QFile::decodeName(path))).constData());
        }
        ::close(fd);
    }
    return removed;
}

TFrameStore::TFrameStore(const QString& folder) : FCore(std::make_shared<TStoreCore>()) {
    FCore->Folder = folder;
    RemoveStaleCaches(folder);
}

TFrameStore::~TFrameStore() = default;

void TStoreCore::Open() {
    kw::ForcePrivateDir(Folder);
    int fd = -1;
    QByteArray path;
    for (;;) {
        path = QFile::encodeName(Folder + QStringLiteral("/frames-XXXXXX.cache"));
        fd = ::mkostemps(path.data(), 6, O_CLOEXEC); // made 0600
        if (fd < 0)
            throw kw::EFcError(QStringLiteral("Cannot create the frame store's cache file in "
                                              "%1: %2")
                                   .arg(Folder, SystemError(errno)));
        // Another program starting just now may have taken the new, still unlocked file for a
        // dead program's and removed it: once locked, it must still be the file of that name.
        while (::flock(fd, LOCK_EX) != 0 && errno == EINTR) {
        }
        struct stat opened = {}, named = {};
        if (::fstat(fd, &opened) == 0 && ::stat(path.constData(), &named) == 0 &&
            opened.st_ino == named.st_ino && opened.st_dev == named.st_dev)
            break;
        ::close(fd);
    }
    auto file = std::make_shared<TStoreFile>();
    file->Fd = fd;
    file->Path = QFile::decodeName(path);
    WriteBack = std::make_unique<TWriteBack>(fd, [file] { file->GiveBack(); });
    File = std::move(file);
}

std::optional<TStoredFrame> TStoreCore::Put(const QImage& picture) {
    if (picture.isNull())
        return TStoredFrame();
    const auto [file, writeBack] = Opened();
    const qint64 line = codecs::BmpRowStride(picture.width(), picture.depth());
    const qint64 length = RoundUp(line * picture.height(), Page);
    // Every slot needs fresh blocks: a reused range was given back to the file system.
    const kw::TDiskSpace space = kw::Desktop().DiskSpace(Folder);
    if (!StoreAllows(length, space.Free, space.Total))
        return std::nullopt;

    auto slot = std::make_shared<TFrameSlot>();
    slot->File = file;
    slot->Size = picture.size();
    slot->Format = picture.format();
    slot->BytesPerLine = qsizetype(line);
    slot->DotsPerMeterX = picture.dotsPerMeterX();
    slot->DotsPerMeterY = picture.dotsPerMeterY();
    slot->ColorTable = picture.colorTable();
    qint64 offset = 0;
    int error = file->Reserve(length, offset);
    if (error == 0) {
        slot->Offset = offset;
        slot->Length = length; // from here on the slot gives its range back when it goes
        error = WritePixels(file->Fd, picture, line, offset);
    }
    if (error != 0) {
        slot.reset();
        if (IsFullError(error))
            return std::nullopt;
        throw kw::EFcError(QStringLiteral("Cannot write to the frame store's cache file %1: %2")
                               .arg(file->Path, SystemError(error)));
    }
    writeBack->Written(offset, length);
    TStoredFrame frame;
    frame.FSlot = std::move(slot);
    return frame;
}

std::optional<TStoredFrame> TFrameStore::Put(const QImage& picture) {
    return FCore->Put(picture);
}

TFrameSink TFrameStore::Sink() const {
    TFrameSink sink;
    sink.FCore = FCore;
    return sink;
}

std::optional<TStoredFrame> TFrameSink::Put(const QImage& picture) const {
    if (!FCore)
        throw kw::EFcError(QStringLiteral("No frame store to store the frame in"));
    return FCore->Put(picture);
}

QString TFrameStore::Folder() const {
    return FCore->Folder;
}

QString TFrameStore::FilePath() const {
    const auto file = FCore->Current().first;
    return file ? file->Path : QString();
}

qint64 TFrameStore::FileBytes() const {
    const auto file = FCore->Current().first;
    return file ? file->Length() : 0;
}

void TFrameStore::WaitForWriteBack() {
    if (TWriteBack* writeBack = FCore->Current().second)
        writeBack->WaitUntilIdle();
}

void TFrameStore::DropFromPageCache() {
    if (TWriteBack* writeBack = FCore->Current().second)
        writeBack->WaitUntilIdle(true);
}
