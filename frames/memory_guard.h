#pragma once
// The memory guard. Every frame is kept at full size, so a long capture would otherwise fill
// the memory until the system kills the program and every frame is lost. Before a frame is
// allocated (a grab, an inserted picture) the caller asks RoomForFrame; when it says no, the
// caller stops what it was doing (continuous capture, the insertion) and shows
// ShowMemoryFullWarning once. Frames already in the list stay.

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

// Bytes of a frame of that size and pixel layout.
qint64 FrameBytes(QSize size, QImage::Format format = QImage::Format_RGB888);

// The text and the box shown when RoomForFrame refused or an allocation failed.
QString MemoryFullText();
void ShowMemoryFullWarning(QWidget* owner);
