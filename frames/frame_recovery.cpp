#include "frames/frame_recovery.h"

#include "common/kw_memory.h"
#include "graphics/picture_memory.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <algorithm>
#include <cstring>

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>
#include <zlib.h>

namespace {

// Reads bytes at the offset; false when the file cannot deliver them all.
bool ReadRange(int fd, char* into, qint64 bytes, qint64 offset) {
    while (bytes > 0) {
        const ssize_t n = ::pread(fd, into, size_t(bytes), off_t(offset));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        into += n;
        bytes -= n;
        offset += n;
    }
    return true;
}

} // namespace

std::vector<TFrameRecovery::TFrame>
TFrameRecovery::Replay(const std::vector<TJournalRecord>& records) {
    std::vector<TFrame> order;
    auto find = [&](quint64 id) {
        return std::find_if(order.begin(), order.end(),
                            [id](const TFrame& f) { return f.Id == id; });
    };
    for (const TJournalRecord& r : records) {
        switch (r.Kind) {
        case TJournalRecord::Add: {
            const int at = std::clamp(r.Position, 0, int(order.size()));
            order.insert(order.begin() + at, TFrame{r.Id, r.Slot, r.PixelSum, r.Source});
            break;
        }
        case TJournalRecord::Replace:
            if (const auto it = find(r.Id); it != order.end()) {
                it->Slot = r.Slot;
                it->PixelSum = r.PixelSum;
            }
            break;
        case TJournalRecord::Remove:
            std::erase_if(order, [&](const TFrame& f) { return r.Removed.contains(f.Id); });
            break;
        case TJournalRecord::Move:
            if (const auto it = find(r.Id); it != order.end()) {
                const TFrame moved = *it;
                order.erase(it);
                const int at = std::clamp(r.Position, 0, int(order.size()));
                order.insert(order.begin() + at, moved);
            }
            break;
        }
    }
    return order;
}

TFrameRecovery::TFrameRecovery(const QString& folder) {
    QFileInfoList caches = QDir(folder).entryInfoList({QStringLiteral("frames-*.cache")},
                                                      QDir::Files | QDir::Hidden, QDir::Time);
    std::reverse(caches.begin(), caches.end()); // the oldest program's frames first
    for (const QFileInfo& info : caches) {
        const QString path = info.filePath();
        QFile journal(JournalPathFor(path));
        if (!journal.exists())
            continue; // a cache without a journal holds nothing that can be restored
        const int fd = ::open(QFile::encodeName(path).constData(),
                              O_RDWR | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK);
        if (fd < 0)
            continue;
        if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
            ::close(fd); // its program is running: its files are its own
            continue;
        }
        // Read after the lock: the program that wrote it is gone for certain.
        qint64 whole = 0;
        const std::vector<TFrame> frames = journal.open(QIODevice::ReadOnly)
                                               ? Replay(DecodeJournal(journal.readAll(), &whole))
                                               : std::vector<TFrame>();
        FCaches.push_back({path, fd, -1, whole});
        for (const TFrame& frame : frames)
            FFrames.push_back({int(FCaches.size()) - 1, frame});
    }
}

TFrameRecovery::~TFrameRecovery() {
    for (const TCache& cache : FCaches) {
        if (cache.JournalFd >= 0) {
            ::fdatasync(cache.JournalFd);
            ::close(cache.JournalFd);
        }
        if (cache.Fd >= 0)
            ::close(cache.Fd);
    }
}

QImage TFrameRecovery::Read(const TFound& found) const {
    const TSlotLayout& slot = found.Frame.Slot;
    const qint64 bytes = qint64(slot.BytesPerLine) * slot.Size.height();
    if (slot.Offset < 0 || slot.Size.isEmpty() || slot.BytesPerLine <= 0 || bytes > slot.Length ||
        slot.Format == QImage::Format_Invalid || slot.Format >= QImage::NImageFormats)
        return QImage();
    kw::NeedMemory(kw::FrameBytes(slot.Size, slot.Format), QStringLiteral("a frame"), slot.Size);
    QImage picture = graphics::NewPicture(slot.Size, slot.Format);
    if (picture.isNull())
        throw kw::EMemoryRefused(kw::MemoryFullText());
    const qint64 used = (qint64(slot.Size.width()) * picture.depth() + 7) / 8;
    if (used > slot.BytesPerLine)
        return QImage(); // a layout that does not fit its own lines: damage
    std::vector<char> line(size_t(slot.BytesPerLine));
    const int fd = FCaches[size_t(found.Cache)].Fd;
    uLong crc = ::crc32(0L, Z_NULL, 0);
    for (int y = 0; y < slot.Size.height(); ++y) {
        if (!ReadRange(fd, line.data(), slot.BytesPerLine, slot.Offset + y * slot.BytesPerLine))
            return QImage();
        crc = ::crc32(crc, reinterpret_cast<const Bytef*>(line.data()), uInt(line.size()));
        std::memcpy(picture.scanLine(y), line.data(), size_t(used));
    }
    if (quint32(crc) != found.Frame.PixelSum)
        return QImage();
    picture.setDotsPerMeterX(slot.DotsPerMeterX);
    picture.setDotsPerMeterY(slot.DotsPerMeterY);
    if (!slot.ColorTable.isEmpty())
        picture.setColorTable(slot.ColorTable);
    return picture;
}

int TFrameRecovery::Check() {
    const auto failed = std::remove_if(FFrames.begin(), FFrames.end(), [&](const TFound& f) {
        const TSlotLayout& slot = f.Frame.Slot;
        const qint64 bytes = qint64(slot.BytesPerLine) * slot.Size.height();
        quint32 sum = 0;
        return slot.Offset < 0 || bytes <= 0 || bytes > slot.Length ||
               !SumFileRange(FCaches[size_t(f.Cache)].Fd, slot.Offset, bytes, sum) ||
               sum != f.Frame.PixelSum;
    });
    FDamaged += int(std::distance(failed, FFrames.end()));
    FFrames.erase(failed, FFrames.end());
    return Count();
}

QString TFrameRecovery::QuestionText() const {
    QString text = Count() == 1 ? QStringLiteral("Framecatch closed unexpectedly. Restore the 1 "
                                                 "frame captured before it closed?")
                                : QStringLiteral("Framecatch closed unexpectedly. Restore the %1 "
                                                 "frames captured before it closed?")
                                      .arg(Count());
    if (FDamaged == 1)
        text += QStringLiteral("\n\n1 frame was damaged and cannot be restored.");
    else if (FDamaged > 1)
        text += QStringLiteral("\n\n%1 frames were damaged and cannot be restored.").arg(FDamaged);
    return text;
}

int TFrameRecovery::Restore(const std::function<bool(const QImage&, const TFrameSource&)>& add) {
    int restored = 0;
    for (const TFound& found : FFrames) {
        const QImage picture = Read(found);
        if (picture.isNull()) {
            ++FDamaged; // changed since Check: it cannot be restored either
            continue;
        }
        if (!add(picture, found.Frame.Source))
            break;
        ++restored;
        // The frame lives in the new store now: the dead program's copy goes.
        TCache& cache = FCaches[size_t(found.Cache)];
        if (cache.JournalFd < 0) {
            cache.JournalFd = ::open(QFile::encodeName(JournalPathFor(cache.Path)).constData(),
                                     O_WRONLY | O_APPEND | O_CLOEXEC | O_NOFOLLOW);
            // A torn record at the end would hide every record appended after it.
            if (cache.JournalFd >= 0 &&
                (cache.Whole <= 0 || ::ftruncate(cache.JournalFd, cache.Whole) != 0)) {
                ::close(cache.JournalFd);
                cache.JournalFd = -1;
            }
        }
        if (cache.JournalFd >= 0) {
            TJournalRecord removal;
            removal.Kind = TJournalRecord::Remove;
            removal.Removed = {found.Frame.Id};
            const QByteArray bytes = EncodeJournalRecord(removal);
            if (::write(cache.JournalFd, bytes.constData(), size_t(bytes.size())) == bytes.size())
                ::fallocate(cache.Fd, FALLOC_FL_PUNCH_HOLE | FALLOC_FL_KEEP_SIZE,
                            off_t(found.Frame.Slot.Offset), off_t(found.Frame.Slot.Length));
        }
    }
    return restored;
}

void TFrameRecovery::Discard() {
    for (TCache& cache : FCaches) {
        if (cache.JournalFd >= 0)
            ::close(cache.JournalFd);
        cache.JournalFd = -1;
        ::unlink(QFile::encodeName(JournalPathFor(cache.Path)).constData());
        ::unlink(QFile::encodeName(cache.Path).constData());
        if (cache.Fd >= 0)
            ::close(cache.Fd);
        cache.Fd = -1;
    }
    FFrames.clear();
}
