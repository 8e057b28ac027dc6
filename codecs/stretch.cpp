#include "codecs/stretch.h"

#include <algorithm>
#include <cstdint>
#include <new>
#include <vector>

namespace codecs {

namespace {

// Source index for each of n destination indexes over a source of srcN.
std::vector<int> NearestMap(int n, int srcN) {
    std::vector<int> map(std::size_t(std::max(n, 0)));
    for (int i = 0; i < n; ++i)
        map[std::size_t(i)] = int(((2 * std::int64_t(i) + 1) * srcN) / (2 * std::int64_t(n)));
    return map;
}

QImage DirectSource(const QImage& src) {
    switch (src.format()) {
    case QImage::Format_RGB888:
    case QImage::Format_RGB32:
    case QImage::Format_ARGB32:
        return src;
    default:
        return src.convertToFormat(QImage::Format_RGB32);
    }
}

} // namespace

void StretchNearestInto(const QImage& srcImage, QImage& dst, const QRect& rect) {
    if (srcImage.isNull() || dst.isNull() || rect.isEmpty())
        return;
    const QImage src = DirectSource(srcImage);
    const QRect visible = rect.intersected(dst.rect());
    if (visible.isEmpty())
        return;
    const std::vector<int> xs = NearestMap(rect.width(), src.width());
    const std::vector<int> ys = NearestMap(rect.height(), src.height());
    const bool src24 = src.format() == QImage::Format_RGB888;
    const bool dst24 = dst.format() == QImage::Format_RGB888;
    if (!dst24 && dst.format() != QImage::Format_RGB32 && dst.format() != QImage::Format_ARGB32)
        dst.convertTo(QImage::Format_RGB32);
    uchar* dstBits = dst.bits();
    const qsizetype dstStride = dst.bytesPerLine();
    for (int y = visible.top(); y <= visible.bottom(); ++y) {
        const uchar* s = src.constScanLine(ys[std::size_t(y - rect.top())]);
        uchar* d = dstBits + y * dstStride;
        for (int x = visible.left(); x <= visible.right(); ++x) {
            const int sx = xs[std::size_t(x - rect.left())];
            if (src24 && dst24) {
                const uchar* p = s + 3 * sx;
                uchar* q = d + 3 * x;
                q[0] = p[0];
                q[1] = p[1];
                q[2] = p[2];
            } else if (src24) {
                const uchar* p = s + 3 * sx;
                reinterpret_cast<QRgb*>(d)[x] = qRgb(p[0], p[1], p[2]);
            } else if (dst24) {
                const QRgb c = reinterpret_cast<const QRgb*>(s)[sx];
                uchar* q = d + 3 * x;
                q[0] = uchar(qRed(c));
                q[1] = uchar(qGreen(c));
                q[2] = uchar(qBlue(c));
            } else {
                reinterpret_cast<QRgb*>(d)[x] = reinterpret_cast<const QRgb*>(s)[sx] | 0xFF000000u;
            }
        }
    }
}

QImage StretchNearest(const QImage& src, int width, int height) {
    if (width < 1 || height < 1)
        return {};
    QImage out(width, height, QImage::Format_RGB888);
    if (out.isNull())
        throw std::bad_alloc();
    StretchNearestInto(src, out, out.rect());
    return out;
}

} // namespace codecs
