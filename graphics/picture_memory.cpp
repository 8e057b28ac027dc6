#include "graphics/picture_memory.h"

#include <limits>
#include <new>
#include <sys/mman.h>

namespace graphics {

namespace {

constexpr size_t SmallPage = 4096;
constexpr size_t HugePage = size_t(2) << 20;

struct TMapping {
    void* Base;
    size_t Length;
};

void Unmap(void* info) {
    auto* mapping = static_cast<TMapping*>(info);
    munmap(mapping->Base, mapping->Length);
    delete mapping;
}

} // namespace

// The mapping starts on a huge-page boundary and asks for huge pages; every page is written
// once so that the kernel backs it all now. With huge pages a 1080p frame takes three faults
// instead of some 1,500. The mapping ends with the picture's last small page, so the tail
// beyond the last whole huge page uses small pages and costs no more than an ordinary
// allocation.
QImage MapPicture(QSize size, QImage::Format format) {
    const int depth = QImage::toPixelFormat(format).bitsPerPixel();
    const qint64 line = ((qint64(size.width()) * depth + 31) / 32) * 4;
    const qint64 bytes = line * size.height();
    if (size.isEmpty() || depth <= 0 || line > std::numeric_limits<int>::max())
        return QImage();
    size_t length = (size_t(bytes) + SmallPage - 1) & ~(SmallPage - 1);
    // Rounded up to whole huge pages when that wastes at most 2 % (1080p: 1.1 %): the tail
    // then costs one fault instead of hundreds.
    const size_t whole = (size_t(bytes) + HugePage - 1) & ~(HugePage - 1);
    if (whole - size_t(bytes) <= size_t(bytes) / 50)
        length = whole;
    void* raw = mmap(nullptr, length + HugePage, PROT_READ | PROT_WRITE,
                     MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (raw == MAP_FAILED)
        return QImage();
    const auto rawAt = reinterpret_cast<quintptr>(raw);
    const quintptr at = (rawAt + HugePage - 1) & ~quintptr(HugePage - 1);
    if (at > rawAt)
        munmap(raw, at - rawAt);
    if (rawAt + HugePage > at)
        munmap(reinterpret_cast<void*>(at + length), rawAt + HugePage - at);
    auto* bits = reinterpret_cast<uchar*>(at);
    madvise(bits, length, MADV_HUGEPAGE);
#ifdef MADV_POPULATE_WRITE
    // One call maps the small pages far more cheaply than a fault each.
    madvise(bits, length, MADV_POPULATE_WRITE);
#endif
    // Written from this thread as well: the first write to a page can cost a trap of its own
    // even when the page is already mapped (as under some hypervisors).
    for (size_t offset = 0; offset < length; offset += SmallPage)
        bits[offset] = 0;
    TMapping* mapping = nullptr;
    try {
        mapping = new TMapping{bits, length};
        QImage image(bits, size.width(), size.height(), qsizetype(line), format, Unmap, mapping);
        if (!image.isNull())
            return image;
    } catch (const std::bad_alloc&) {
    }
    delete mapping;
    munmap(bits, length);
    return QImage();
}

QImage NewPicture(QSize size, QImage::Format format) {
    const int depth = QImage::toPixelFormat(format).bitsPerPixel();
    if (qint64(size.width()) * size.height() * depth / 8 >= (qint64(1) << 20)) {
        QImage mapped = MapPicture(size, format);
        if (!mapped.isNull())
            return mapped;
    }
    return QImage(size, format);
}

} // namespace graphics
