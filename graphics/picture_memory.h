#pragma once
// Memory for large pictures. A full-size frame is several megabytes, and on a fresh allocation
// nearly all of the time goes to the kernel mapping one page after the other as the pixels are
// first written, not to writing them. MapPicture maps the pixels on their own in huge pages
// where the system allows, with every page written once, so that a 1080p picture costs a few
// faults instead of some two thousand. The result is an ordinary QImage that owns its memory.

#include <QImage>
#include <QSize>

namespace graphics {

// A picture of that size and layout in freshly mapped, already backed memory; its pixels are
// zero. Null when the size is empty or the memory is not there.
QImage MapPicture(QSize size, QImage::Format format);

// A picture of that size and layout, mapped as above when it is large (a megabyte or more),
// allocated as usual otherwise; its pixels are not set. Null when the memory is not there.
QImage NewPicture(QSize size, QImage::Format format);

} // namespace graphics
