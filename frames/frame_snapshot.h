#pragma once
// The frames an output works through, as they were when it started: for each chosen frame its
// identity and its stored pixels (a handle, read only when asked), in the order the output
// reads them. Taking a snapshot costs no frame's memory; reading costs one frame at a time.
// The frames stay readable even when they are replaced or deleted in the list meanwhile, and
// when the output ends the list marks as written exactly the frames whose pixels it wrote
// (TThumbnails::MarkWritten), wherever they are by then.
//
// Tests and benchmarks make snapshots of pictures in memory, which have no identity.

#include "frames/frame_id.h"
#include "frames/frame_store.h"

#include <QImage>
#include <QList>
#include <QSize>

class TFrameSnapshot {
public:
    TFrameSnapshot() = default;
    // Pictures held in memory, without identities.
    explicit TFrameSnapshot(const QList<QImage>& pictures);

    int Count() const { return int(FEntries.size()); }
    bool IsEmpty() const { return FEntries.isEmpty(); }
    // The frame's size, pixel layout and identity, without reading it.
    QSize Size(int i) const;
    QImage::Format Format(int i) const;
    TFrameId Id(int i) const { return FEntries.at(i).Id; }
    // The picture of entry i: read from the frame store (see TStoredFrame::Picture for what it
    // costs and how it fails), or the picture held in memory. Safe on any thread.
    QImage Picture(int i) const;
    // The same into a working picture whose memory is reused (TStoredFrame::PictureInto); a
    // picture held in memory is shared, not copied.
    void PictureInto(int i, QImage& picture) const;
    // Entry i's stored frame; empty for a picture held in memory.
    const TStoredFrame& Stored(int i) const { return FEntries.at(i).Stored; }
    // Asks for entry i's pixels ahead of its reading (TStoredFrame::ReadAhead); nothing for a
    // picture held in memory or a position past the end. Safe on any thread.
    void ReadAhead(int i) const;
    // The first count entries (all when count is larger).
    TFrameSnapshot First(int count) const;

private:
    friend class TThumbnails;
    struct TEntry {
        TFrameId Id;
        TStoredFrame Stored;
        QImage Held; // a picture in memory, when the entry has no stored frame
    };
    QList<TEntry> FEntries;
};
