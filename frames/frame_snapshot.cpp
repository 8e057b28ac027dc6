#include "frames/frame_snapshot.h"

#include <algorithm>

TFrameSnapshot::TFrameSnapshot(const QList<QImage>& pictures) {
    FEntries.reserve(pictures.size());
    for (const QImage& picture : pictures)
        FEntries.append({TFrameId(), TStoredFrame(), picture});
}

QSize TFrameSnapshot::Size(int i) const {
    const TEntry& entry = FEntries.at(i);
    return entry.Stored.IsNull() ? entry.Held.size() : entry.Stored.Size();
}

QImage::Format TFrameSnapshot::Format(int i) const {
    const TEntry& entry = FEntries.at(i);
    return entry.Stored.IsNull() ? entry.Held.format() : entry.Stored.Format();
}

QImage TFrameSnapshot::Picture(int i) const {
    const TEntry& entry = FEntries.at(i);
    return entry.Stored.IsNull() ? entry.Held : entry.Stored.Picture();
}

void TFrameSnapshot::PictureInto(int i, QImage& picture) const {
    const TEntry& entry = FEntries.at(i);
    if (entry.Stored.IsNull())
        picture = entry.Held;
    else
        entry.Stored.PictureInto(picture);
}

void TFrameSnapshot::ReadAhead(int i) const {
    if (i >= 0 && i < FEntries.size())
        FEntries.at(i).Stored.ReadAhead();
}

TFrameSnapshot TFrameSnapshot::First(int count) const {
    TFrameSnapshot first;
    first.FEntries = FEntries.mid(0, std::max(0, count));
    return first;
}
