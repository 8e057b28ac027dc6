#pragma once
// The one memory budget for working pictures. The frames themselves live in the frame store on
// disk, but an output, the editor, a decoder or an encoder works on full-size pictures in
// memory, and a large one could otherwise fill the memory until the system kills the program
// with every frame in it. Before such a picture (or the buffers of several workers at once) is
// allocated, the caller asks here: RoomForFrame says yes or no, NeedMemory throws a refusal
// that names the size. A refusal changes nothing; the caller stops what it was doing.

#include "common/kw_guard.h"

#include <QImage>
#include <QSize>
#include <QString>

class QWidget;

namespace kw {

// What must stay free after an allocation: 512 MiB or 5 % of the total memory, whichever
// is larger. An unknown total (negative) gives the 512 MiB.
qint64 MemoryMargin(qint64 totalBytes);

// True when allocating `bytes` leaves at least the margin of `availableBytes`. An unknown
// available figure (negative) does not refuse: the allocation itself is then the only test.
bool MemoryAllows(qint64 bytes, qint64 availableBytes, qint64 totalBytes);

// MemTotal of /proc/meminfo in bytes, -1 when it cannot be read.
qint64 SystemTotalMemory();

// What may be allocated now and still leave the margin free (0 when nothing may); -1 when
// the desktop does not know what is available.
qint64 SpareMemory();

// MemoryAllows with the desktop's available-memory figure and the system's total.
bool RoomForFrame(qint64 bytes);

// Bytes of a picture of that size and pixel layout (rows padded to 4 bytes); 0 for an empty
// size. Exact in 64 bits for any int size.
qint64 FrameBytes(QSize size, QImage::Format format = QImage::Format_RGB888);

// The text and the box shown when RoomForFrame refused or an allocation failed.
QString MemoryFullText();
void ShowMemoryFullWarning(QWidget* owner);

// A refusal of the budget: the message names what was refused, its size and the memory.
class EMemoryRefused : public EFcError {
public:
    using EFcError::EFcError;
};

// "Not enough memory for <what> of <w> x <h> pixels: it needs <bytes>, <spare> can be
// spared." with the sizes as FileSizeText gives them.
QString MemoryRefusedText(const QString& what, QSize size, qint64 bytes);

// Asks the budget for `bytes` of working memory for `what` of that size (all its workers'
// buffers together) and throws EMemoryRefused when it would not leave the margin free.
void NeedMemory(qint64 bytes, const QString& what, QSize size);

} // namespace kw
