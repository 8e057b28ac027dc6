#pragma once
// The painting copies of the frame list: small copies of the frames at the size their cells
// show them, made by a worker thread from the frame store and kept in a cache bounded in
// memory. The list paints only the cells in view, each from its copy when the cache has it;
// a cell whose copy is missing asks for it and paints without it until it arrives.
//
// Threads. The cache and everything the list calls live on the GUI thread. One worker thread
// makes the copies: the GUI thread hands it the whole queue of what is wanted next (Want,
// newest queue replacing the older one), the worker takes requests from its front one at a
// time, reads the frame from the store (a TStoredFrame copy travels with the request, so the
// frame's pixels stay readable even when the list replaces or deletes the frame meanwhile)
// and reduces it; the copies it made wait in a list under the same mutex, and one queued call
// on this object (never more than one pending) hands them to the GUI thread, where they enter
// the cache and Delivered names them. The GUI thread never waits for a copy; the destructor
// alone waits, for the one copy the worker may be making (a frame read and reduced).

#include "frames/frame_store.h"

#include <QHash>
#include <QImage>
#include <QList>
#include <QObject>
#include <QRect>
#include <QSize>
#include <QTimer>

#include <algorithm>
#include <list>
#include <memory>
#include <vector>

// The picture reduced (or enlarged) to the size, as RGB32: each target pixel averages up to
// 4 x 4 source pixels spread evenly over the area it covers, a cheap box filter that reads
// only a few pixels of a full-size frame.
QImage StretchForTile(const QImage& picture, QSize size);

// A picture of the given size fitted into the area with its proportions kept, centred; at
// least one pixel each way. Empty for an empty picture or area.
QRect FitInto(QSize picture, const QRect& area);

// What the list wants made: the copy of one stored picture at one size.
struct TCopyRequest {
    quint64 Serial = 0; // names the stored picture; a replaced frame's picture gets a new one
    TStoredFrame Frame;
    QSize Size;
};

struct TCopyQueue;

class TPaintCopies : public QObject {
    Q_OBJECT
public:
    // The cache's size in memory: 64 MiB. A copy is what its cell shows, a tenth of the
    // screen high: 192 x 108 x 4 bytes = 81 KiB for a 16:9 frame on a 1080-line screen, and a
    // list filling such a screen shows about 100 cells, so 64 MiB keep about eight screens of
    // them: paging back and forth over a capture repaints from memory, while the memory no
    // longer grows with the number of frames. SetFloor raises it to three views of the list
    // where the cells are larger (a very large screen), so that what is in view and a page on
    // either side always fit.
    static constexpr qint64 DefaultBudget = qint64(64) << 20;

    explicit TPaintCopies(QObject* parent = nullptr);
    // Stops the worker; waits for the copy it may be making.
    ~TPaintCopies() override;
    TPaintCopies(const TPaintCopies&) = delete;
    TPaintCopies& operator=(const TPaintCopies&) = delete;

    // The copy of the picture, or nullptr when the cache has none; a copy found counts as
    // used last. Its size may be an older cell's: the caller compares it with what it wants.
    // A picture the store could not read has a null copy (Failed).
    const QImage* Find(quint64 serial);
    // True when the worker could not read the picture; it is not asked again.
    bool Failed(quint64 serial) const;
    // The worker's queue becomes these requests, in this order: what was asked before and
    // is not among them is dropped (a cell scrolled out of view). Requests whose copy is in
    // the cache at the size asked, or is being made, are left out.
    void Want(const std::vector<TCopyRequest>& requests);
    // The picture is gone (its frame was replaced or deleted): its copy leaves the cache and
    // a copy of it still on its way is thrown away.
    void Drop(quint64 serial);

    // Bytes of the copies in the cache, and the most it keeps.
    qint64 Bytes() const { return FBytes; }
    qint64 Budget() const { return std::max(FBudget, FFloor); }
    void SetBudget(qint64 bytes) { FBudget = bytes; }
    void SetFloor(qint64 bytes) { FFloor = bytes; }
    int Count() const { return int(FEntries.size()); }
    // Nothing is asked that the worker has not delivered yet.
    bool Idle() const;

    // A copy the worker could not make for want of memory is asked again this long after,
    // by repainting its cell: memory freed meanwhile shows the frame without a scroll.
    static constexpr int RetryDelayMs = 500;

signals:
    // Repaint the cells that show these pictures: their copies entered the cache (or
    // failed), or, refused for want of memory a moment ago, the paint may ask for them anew.
    void Delivered(const QList<quint64>& serials);

private:
    struct TEntry {
        QImage Copy;
        bool Failed = false;
        std::list<quint64>::iterator Use; // place in FUse
    };
    friend struct TCopyQueue;
    // Takes what the worker made, on the GUI thread.
    void TakeDelivered();
    void Insert(quint64 serial, QImage copy, bool failed);
    // The copy leaves the cache (what is asked of the worker stays).
    void Remove(quint64 serial);
    void Evict();

    std::shared_ptr<TCopyQueue> FQueue;
    QHash<quint64, TEntry> FEntries;
    std::list<quint64> FUse; // most recently used first
    // What the worker was handed and has not delivered yet: the picture and the size asked.
    QHash<quint64, QSize> FAsked;
    qint64 FBytes = 0;
    qint64 FBudget = DefaultBudget;
    qint64 FFloor = 0;
    // Pictures refused for want of memory, repainted when FRetry fires.
    QList<quint64> FRefused;
    QTimer FRetry;
};
