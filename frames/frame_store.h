#pragma once
// The frame store: every frame's full-size pixels live in one cache file under the user's
// cache folder (~/.cache/Corvane/orb/), so that the number of frames is bounded by the disk
// rather than by memory. The frame list keeps one TStoredFrame per tile; everything else
// sees frames only as the QImages that TStoredFrame::Picture reads.
//
// The storage check: a frame is refused when storing it would leave the cache's file system
// with less than 1 GiB or 5 % of its size free, or when the file system refuses to reserve
// its space. Frames already stored are never touched by a refusal.
//
// How the store works, and which thread touches what, is told at the top of frame_store.cpp.

#include <QImage>
#include <QList>
#include <QSize>
#include <QString>

#include <memory>
#include <optional>

class QWidget;
struct TFrameSlot;
struct TStoreCore;

// What must stay free on the cache's file system: 1 GiB or 5 % of its size, whichever is
// larger. An unknown size (negative) gives the 1 GiB.
qint64 StoreMargin(qint64 totalBytes);
// True when `bytes` more leave at least the margin of `freeBytes` free. An unknown free figure
// (negative) does not refuse: the reservation itself is then the only test.
bool StoreAllows(qint64 bytes, qint64 freeBytes, qint64 totalBytes);
// The text and the box shown when the store refused a frame.
QString StoreFullText();
void ShowStoreFullWarning(QWidget* owner);

// Where and how a stored frame's pixels lie in the cache file: what the journal records so
// that a later start can read them back without this program (frame_journal.h).
struct TSlotLayout {
    qint64 Offset = -1;
    qint64 Length = 0; // of the slot, page-rounded; the pixels are BytesPerLine x height
    QSize Size;
    QImage::Format Format = QImage::Format_Invalid;
    qsizetype BytesPerLine = 0;
    int DotsPerMeterX = 0;
    int DotsPerMeterY = 0;
    QList<QRgb> ColorTable;
};

// One stored frame: a handle that keeps the frame's pixels in the cache file for as long as
// it (or a copy of it) lives, also when the frame is replaced or deleted in the list and even
// after the store is gone. Copies share the frame. A default-made handle is an empty picture.
class TStoredFrame {
public:
    TStoredFrame() = default;

    // The frame read from the cache file into a picture of its own, in the size and pixel
    // layout in which it was stored: costs the frame's bytes of memory (asked of the memory
    // budget first) and one read at disk speed, or page-cache speed right after it was
    // written. Throws kw::EMemoryRefused when the budget refuses, and kw::EFcError with the
    // system's reason when the file cannot deliver the frame (an I/O error, a file cut short
    // behind the store's back); the store and every other frame stay as they are. Safe on any
    // thread.
    QImage Picture() const;
    // The same, read into `picture`: when it already has the frame's size and layout and
    // shares its pixels with no other picture, its memory is reused (no new pages, no ask of
    // the budget), else it is replaced by a new picture as Picture makes it. For a reader that
    // goes through many frames of one size with one working picture. After a failure the
    // picture is empty.
    void PictureInto(QImage& picture) const;

    bool IsNull() const { return !FSlot; }
    // Asks the system to read the frame's pixels into the page cache in the background, so
    // that a Picture() a moment later copies them from memory instead of waiting for the disk.
    // Costs nothing on the calling thread; safe on any thread.
    void ReadAhead() const;

    QSize Size() const;
    QImage::Format Format() const;
    // Where the pixels are in the cache file; -1 for an empty picture.
    qint64 Offset() const;
    // The slot as a whole; Offset -1 for an empty picture.
    TSlotLayout Layout() const;
    // The same stored pixels: a copy of this handle (not a frame stored again).
    friend bool operator==(const TStoredFrame& a, const TStoredFrame& b) {
        return a.FSlot == b.FSlot;
    }

private:
    friend struct TStoreCore;
    std::shared_ptr<const TFrameSlot> FSlot;
};

// A store's hand for workers: stores frames into the same cache file from any thread, and keeps
// the file and its write-back going for as long as it lives, also when the store itself is gone
// meanwhile (a worker that finishes while the program closes). A default-made sink stores
// nothing: Put throws.
class TFrameSink {
public:
    TFrameSink() = default;
    // As TFrameStore::Put.
    std::optional<TStoredFrame> Put(const QImage& picture) const;

private:
    friend class TFrameStore;
    std::shared_ptr<TStoreCore> FCore;
};

class TFrameStore {
public:
    // <cache>/Corvane/orb/ from the desktop's cache location (XDG_CACHE_HOME).
    static QString CacheFolder();
    // Removes the cache files in the folder that no running program holds (left by a program
    // that died), each with its journal; returns how many were removed. A dead program's
    // cache that is being restored is held (locked) by the restore and stays.
    static int RemoveStaleCaches(const QString& folder);

    // Removes stale caches in the folder at once; the cache file itself is made with the
    // first frame.
    explicit TFrameStore(const QString& folder = CacheFolder());
    // Removes the cache file. Pictures still out keep their pixels until they go.
    ~TFrameStore();
    TFrameStore(const TFrameStore&) = delete;
    TFrameStore& operator=(const TFrameStore&) = delete;

    // Stores a copy of the picture, in its own size and pixel layout; an empty picture gives
    // an empty frame. std::nullopt, with nothing stored, when the storage check or the file
    // system refused (the caller shows ShowStoreFullWarning). Throws kw::EFcError with the
    // system's reason when the cache file cannot be made or written for another reason.
    // Costs one copy of the pixels into the page cache on the calling thread. Safe on any
    // thread, also on several at once.
    std::optional<TStoredFrame> Put(const QImage& picture);
    // The hand a worker stores its results with.
    TFrameSink Sink() const;

    QString Folder() const;
    // The cache file; empty until the first frame.
    QString FilePath() const;
    // The length of the cache file up to the end of the last slot in use, holes of freed
    // slots included (the file itself is cut to it shortly after).
    qint64 FileBytes() const;
    // Blocks until every frame written so far is on disk (its pages clean, left in the page
    // cache), and the blocks of the slots freed so far are given back.
    void WaitForWriteBack();
    // Drops every frame written so far from the page cache, once it is on disk, as the
    // system does under memory pressure: for benchmarks and tests of reads from the disk.
    void DropFromPageCache();

private:
    std::shared_ptr<TStoreCore> FCore;
};
