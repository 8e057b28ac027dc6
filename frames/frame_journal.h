#pragma once
// The journal beside the frame store's cache file: frames-XXXXXX.journal next to
// frames-XXXXXX.cache. It makes the frame list's records durable, so that a start after a
// crash, a kill or a power cut finds the frames again (frame_recovery.h).
//
// The file: an 8-byte header, then records, each [payload size: u32][CRC-32 of the payload:
// u32][payload], appended and never rewritten. A record tells one change of the list: a frame
// added at a position (its identity, its slot's layout, the CRC-32 of its pixels and where it
// came from), a frame's pixels replaced (an edit), frames removed, a frame moved to a
// position. A reader takes the records up to the first one whose size or sum does not match
// (the append a crash cut short) and checks each frame's pixels against their sum, so that
// neither a torn record nor pixels that never reached the disk are taken for a frame.
//
// Order and syncs. A frame's pixels are in the cache file (written by the store) before its
// record is appended; the record's pixel sum is computed from the file. The journal syncs
// the cache file and then itself at most once a second while records arrive, and soon after
// SyncSoon (a continuous capture stopped, an output ended, the editor saved): a power cut
// loses at most the last second, and what was synced stays whole.
//
// Threads. The list calls Added, Replaced, Removed and Moved on the GUI thread; each only
// queues the record (with a handle that keeps the frame's slot alive) under the mutex and
// costs no I/O. The journal's thread reads the pixels back for their sum (from the page
// cache, right after the store wrote them), appends and syncs, without the mutex, at a
// lower priority than the rest of the program.

#include "frames/frame_id.h"
#include "frames/frame_source.h"
#include "frames/frame_store.h"

#include <QByteArray>
#include <QList>
#include <QString>

#include <functional>
#include <memory>
#include <vector>

// frames-XXXXXX.cache -> frames-XXXXXX.journal
QString JournalPathFor(const QString& cachePath);

// One change of the frame list, as the journal keeps it.
struct TJournalRecord {
    enum TKind : quint8 { Add = 1, Replace = 2, Remove = 3, Move = 4 };
    TKind Kind = Add;
    quint64 Id = 0;
    int Position = 0;       // Add, Move: the frame's position afterwards
    TSlotLayout Slot;       // Add, Replace
    quint32 PixelSum = 0;   // Add, Replace: CRC-32 of the pixels (BytesPerLine x height)
    TFrameSource Source;    // Add
    QList<quint64> Removed; // Remove
};

// The journal's header, and one record as it is appended (size, sum, payload).
QByteArray JournalHeader();
QByteArray EncodeJournalRecord(const TJournalRecord& record);
// The records of a journal file's bytes, up to the first torn or damaged one (or the end);
// nothing when the header is wrong. `whole` (when given) is the length of the bytes read:
// the header and the whole records (0 for a wrong header).
std::vector<TJournalRecord> DecodeJournal(const QByteArray& bytes, qint64* whole = nullptr);
// CRC-32 of the bytes of the range of the file; false when the file cannot deliver them.
bool SumFileRange(int fd, qint64 offset, qint64 length, quint32& sum);

struct TJournalQueue;

class TFrameJournal {
public:
    // Syncs at most this often while records arrive.
    static constexpr int SyncEveryMs = 1000;

    // The journal of the store's cache file, made with the first record.
    explicit TFrameJournal(const TFrameStore& store);
    // A clean end: the thread stops (what it has not appended is not needed any more) and
    // the journal file goes, before the store removes the cache file.
    ~TFrameJournal();
    TFrameJournal(const TFrameJournal&) = delete;
    TFrameJournal& operator=(const TFrameJournal&) = delete;

    void Added(TFrameId id, int position, const TStoredFrame& frame, const TFrameSource& source);
    void Replaced(TFrameId id, const TStoredFrame& frame);
    void Removed(const QList<TFrameId>& ids);
    void Moved(TFrameId id, int position);
    // Syncs as soon as the records queued so far are appended, without waiting for the
    // second to pass. Does not block.
    void SyncSoon();
    // Blocks until every record queued so far is appended and synced.
    void Flush();

    // The journal file; empty until the first record.
    QString FilePath() const;
    // Frames whose Add record is appended, and those whose Add record was synced.
    qint64 AppendedAdds() const;
    qint64 SyncedAdds() const;

    // For tests of a crash: called on the journal's thread when a record is about to be
    // appended (half: false) and when half of its bytes are (half: true).
    void SetAppendHook(std::function<void(const TJournalRecord&, bool half)> hook);

private:
    void Queue(TJournalRecord record, const TStoredFrame& frame);

    const TFrameStore& FStore;
    std::shared_ptr<TJournalQueue> FQueue;
};
