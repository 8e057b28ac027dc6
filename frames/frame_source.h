#pragma once
// Where a frame came from: the video file and the time of the picture in it, or the picture
// file it was inserted from. The frame list keeps one per frame (TThumbnails::FrameSource),
// the journal makes it durable with the frame, and the tile's tooltip shows it.

#include <QString>
#include <QtGlobal>

#include <cstdint>

// A media time as the status line shows it: "0:12.345" (minutes without a leading zero), or
// "1:02:03.456" when the duration reaches an hour. Negative times show as 0.
QString MediaTimeText(std::int64_t ms, std::int64_t durationMs);

struct TFrameSource {
    QString File;       // the file's name without its folder; empty when unknown
    qint64 TimeMs = -1; // the picture's time in the video; -1 for a picture file

    bool FromVideo() const { return TimeMs >= 0; }
    // "phone.mp4 at 0:12.345" for a video's frame, the file's name for a picture file, empty
    // when the frame's origin is unknown.
    QString Text() const;
    friend bool operator==(const TFrameSource&, const TFrameSource&) = default;
};
