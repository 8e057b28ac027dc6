// The frame list's data interface: frames read and replaced by position, their identities,
// the snapshots the outputs work through, and which frames the outputs wrote.

#include "frames/thumbnails.h"

#include "common/kw_guard.h"

#include <algorithm>

int TThumbnails::UnwrittenCount() const {
    return int(std::count_if(FItems.cbegin(), FItems.cend(),
                             [](const TThumbItem* tile) { return !tile->FWritten; }));
}

void TThumbnails::MarkWritten(const TFrameSnapshot& written) {
    for (const TFrameSnapshot::TEntry& entry : written.FEntries) {
        TThumbItem* tile = FById.value(entry.Id.Value());
        if (tile && tile->FFrame == entry.Stored)
            tile->FWritten = true;
    }
    // An output ended: what it worked on is on disk now, the journal too.
    FJournal.SyncSoon();
}

TFrameId TThumbnails::FrameId(int index) const {
    return GetItem(index)->FId;
}

TFrameSource TThumbnails::FrameSource(int index) const {
    return GetItem(index)->FSource;
}

TFrameSource TThumbnails::FrameSource(TFrameId id) const {
    const TThumbItem* tile = FById.value(id.Value());
    return tile ? tile->FSource : TFrameSource();
}

int TThumbnails::IndexOf(TFrameId id) const {
    const TThumbItem* tile = FById.value(id.Value());
    return tile ? tile->Index() : -1;
}

QList<int> TThumbnails::FrameIndexes(TFrameChoice choice) const {
    QList<int> indexes;
    if (choice == TFrameChoice::All) {
        indexes.reserve(FItems.size());
        for (int i = 0; i < Count(); ++i)
            indexes.append(i);
    } else {
        indexes.reserve(FSelectedItems.size());
        for (const TThumbItem* tile : FSelectedItems)
            indexes.append(tile->Index());
    }
    return indexes;
}

QImage TThumbnails::FramePicture(int index) const {
    return GetItem(index)->Bitmap();
}

QSize TThumbnails::FrameSizeAt(int index) const {
    return GetItem(index)->FFrameSize;
}

TFrameSnapshot TThumbnails::Snapshot(TFrameChoice choice) const {
    const QList<TThumbItem*>& tiles = choice == TFrameChoice::All ? FItems : FSelectedItems;
    TFrameSnapshot snapshot;
    snapshot.FEntries.reserve(tiles.size());
    for (const TThumbItem* tile : tiles)
        snapshot.FEntries.append({tile->FId, tile->FFrame, QImage()});
    return snapshot;
}

TFrameSnapshot TThumbnails::Snapshot(int index) const {
    const TThumbItem* tile = GetItem(index);
    TFrameSnapshot snapshot;
    snapshot.FEntries.append({tile->FId, tile->FFrame, QImage()});
    return snapshot;
}

bool TThumbnails::ReplaceFramePicture(int index, const QImage& picture) {
    // The new picture gets a slot of its own (of its own size); the old slot is freed once
    // no picture taken from it is held any more.
    return GetItem(index)->SetFrame(picture);
}

int TThumbnails::ReplaceStoredFrames(const TFrameSnapshot& frames,
                                     const std::vector<TStoredFrame>& stored) {
    int replaced = 0;
    const int n = std::min(frames.Count(), int(stored.size()));
    for (int i = 0; i < n; ++i) {
        TThumbItem* tile = FById.value(frames.Id(i).Value());
        if (!tile)
            continue;
        const TStoredFrame& frame = stored[std::size_t(i)];
        tile->FFrame = frame;
        tile->FFrameSize = frame.Size();
        tile->FWritten = false;
        FJournal.Replaced(tile->FId, frame); // a replayed edit survives a crash like any other
        // As SetFrame: the old painting copy goes, the worker makes the new one in view.
        FCopies.Drop(tile->FSerial);
        tile->FSerial = ++FLastSerial;
        UpdateItem(tile);
        ++replaced;
    }
    return replaced;
}
