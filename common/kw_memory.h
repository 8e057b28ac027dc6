#pragma once
// The memory guard for working pictures: the frames themselves live in the frame store on
// disk (frame_store.h), but an output, the editor or an insertion works on full-size pictures
// in memory, and a large one could otherwise fill the memory until the system kills the
// program. Before such a picture is allocated the caller asks RoomForFrame; when it says no,
// the caller stops what it was doing and shows ShowMemoryFullWarning once.

#include <QImage>
#include <QSize>
#include <QString>

class QWidget;

// What must stay free after an allocation: 512 MiB or 5 % of the total memory, whichever
// is larger. An unknown total (negative) gives the 512 MiB.
qint64 MemoryMargin(qint64 totalBytes);

// True when allocating `bytes` leaves at least the margin of `availableBytes`. An unknown
// available figure (negative) does not refuse: the allocation itself is then the only test.
bool MemoryAllows(qint64 bytes, qint64 availableBytes, qint64 totalBytes);

// MemTotal of /proc/meminfo in bytes, -1 when it cannot be read.
qint64 SystemTotalMemory();

// MemoryAllows with the desktop's available-memory figure and the system's total.
bool RoomForFrame(qint64 bytes);

// Bytes of a picture of that size and pixel layout.
qint64 FrameBytes(QSize size, QImage::Format format = QImage::Format_RGB888);

// The text and the box shown when RoomForFrame refused or an allocation failed.
QString MemoryFullText();
void ShowMemoryFullWarning(QWidget* owner);
