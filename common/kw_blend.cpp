#include "common/kw_blend.h"

#include <algorithm>

namespace kw {

namespace {

bool IsDirectFormat(QImage::Format f) {
    return f == QImage::Format_RGB888 || f == QImage::Format_RGB32 || f == QImage::Format_ARGB32;
}

// Pixel access for the two byte layouts: 3 bytes R, G, B or 4 bytes B, G, R, A (the 32-bit
// formats on a little-endian machine are read through qRed()/... of the stored word).
template <int Bpp> struct TPixel;
template <> struct TPixel<3> {
    static std::uint32_t Get(const uchar* p) {
        return (std::uint32_t(p[0]) << 16) | (std::uint32_t(p[1]) << 8) | p[2];
    }
    static void Set(uchar* p, std::uint32_t rgb) {
        p[0] = uchar(rgb >> 16);
        p[1] = uchar(rgb >> 8);
        p[2] = uchar(rgb);
    }
};
template <> struct TPixel<4> {
    static std::uint32_t Get(const uchar* p) {
        return *reinterpret_cast<const QRgb*>(p) & 0xFFFFFFu;
    }
    static void Set(uchar* p, std::uint32_t rgb) {
        QRgb& word = *reinterpret_cast<QRgb*>(p);
        word = (word & 0xFF000000u) | rgb;
    }
};

template <int SrcBpp, int DstBpp>
void BlendLoop(const QImage& src, QImage& dst, int x, int y, int alpha, std::uint32_t key) {
    uchar* dstBits = dst.bits(); // first: detaching dst must not move what src reads
    const uchar* srcBits = src.constBits();
    const qsizetype srcStride = src.bytesPerLine();
    const qsizetype dstStride = dst.bytesPerLine();
    // Only the columns and rows that land inside dst can write; walking just those keeps the
    // column-outer, row-inner order of the writes.
    const int i0 = std::max(0, -x);
    const int i1 = std::min(src.width(), dst.width() - x);
    const int j0 = std::max(0, -y);
    const int j1 = std::min(src.height(), dst.height() - y);
    const int inv = 255 - alpha;
    for (int i = i0; i < i1; ++i) {
        for (int j = j0; j < j1; ++j) {
            const std::uint32_t s = TPixel<SrcBpp>::Get(srcBits + j * srcStride + i * SrcBpp);
            if (key != 0 && s == key)
                continue;
            uchar* d = dstBits + (y + j) * dstStride + (x + i) * DstBpp;
            const std::uint32_t t = TPixel<DstBpp>::Get(d);
            const std::uint32_t r = (alpha * int(s >> 16) + inv * int(t >> 16)) >> 8;
            const std::uint32_t g =
                (alpha * int((s >> 8) & 0xFF) + inv * int((t >> 8) & 0xFF)) >> 8;
            const std::uint32_t b = (alpha * int(s & 0xFF) + inv * int(t & 0xFF)) >> 8;
            TPixel<DstBpp>::Set(d, (r << 16) | (g << 8) | b);
        }
    }
}

} // namespace

void BlendBitmap(const QImage& src, QImage& dst, int x, int y, int alpha, std::uint32_t key) {
    if (src.isNull() || dst.isNull())
        return;
    alpha = std::clamp(alpha, 0, 255);
    key &= 0xFFFFFFu;
    if (!IsDirectFormat(dst.format()))
        dst.convertTo(dst.hasAlphaChannel() ? QImage::Format_ARGB32 : QImage::Format_RGB32);
    // No copy of a direct-format source: with src and dst the same picture the blend reads
    // what it has already written, exactly as the pixel-by-pixel loop does.
    QImage converted;
    if (!IsDirectFormat(src.format()))
        converted = src.convertToFormat(QImage::Format_RGB32);
    const QImage& source = converted.isNull() ? src : converted;
    const bool src24 = source.format() == QImage::Format_RGB888;
    const bool dst24 = dst.format() == QImage::Format_RGB888;
    if (src24 && dst24)
        BlendLoop<3, 3>(source, dst, x, y, alpha, key);
    else if (src24)
        BlendLoop<3, 4>(source, dst, x, y, alpha, key);
    else if (dst24)
        BlendLoop<4, 3>(source, dst, x, y, alpha, key);
    else
        BlendLoop<4, 4>(source, dst, x, y, alpha, key);
}

} // namespace kw
