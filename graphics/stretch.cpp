#include "graphics/stretch.h"

#include <algorithm>
#include <cstdint>
#include <new>
#include <vector>

namespace graphics {

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

bool Is32(const QImage& image) {
    return image.format() == QImage::Format_RGB32 || image.format() == QImage::Format_ARGB32;
}

// What one stretch writes: the rectangle's visible part and, per visible column and row, the
// source column and row under it.
struct TStretchPlan {
    QRect Visible;
    std::vector<int> Xs; // source column of each visible column
    std::vector<int> Ys; // source row of each visible row
};

bool Plan(const QImage& src, const QImage& dst, const QRect& rect, const QRect& clip,
          TStretchPlan& plan) {
    if (src.isNull() || dst.isNull() || rect.isEmpty())
        return false;
    plan.Visible = rect.intersected(dst.rect());
    if (!clip.isNull())
        plan.Visible = plan.Visible.intersected(clip);
    if (plan.Visible.isEmpty())
        return false;
    const std::vector<int> xs = NearestMap(rect.width(), src.width());
    const std::vector<int> ys = NearestMap(rect.height(), src.height());
    const int x0 = plan.Visible.left() - rect.left();
    const int y0 = plan.Visible.top() - rect.top();
    plan.Xs.assign(xs.begin() + x0, xs.begin() + x0 + plan.Visible.width());
    plan.Ys.assign(ys.begin() + y0, ys.begin() + y0 + plan.Visible.height());
    return true;
}

template <class F> void ForEachRow(const QImage& src, QImage& dst, const TStretchPlan& plan, F f) {
    uchar* dstBits = dst.bits(); // first: detaching dst must not move what src reads
    const qsizetype dstStride = dst.bytesPerLine();
    const int left = plan.Visible.left();
    for (int row = 0; row < plan.Visible.height(); ++row) {
        const uchar* s = src.constScanLine(plan.Ys[std::size_t(row)]);
        uchar* d = dstBits + (plan.Visible.top() + row) * dstStride;
        f(s, d, left);
    }
}

} // namespace

void StretchNearestInto(const QImage& srcImage, QImage& dst, const QRect& rect, const QRect& clip) {
    if (!dst.isNull() && dst.format() != QImage::Format_RGB888 && !Is32(dst))
        dst.convertTo(QImage::Format_RGB32);
    TStretchPlan plan;
    if (!Plan(srcImage, dst, rect, clip, plan))
        return;
    const QImage src = DirectSource(srcImage);
    const std::vector<int>& xs = plan.Xs;
    const int n = int(xs.size());
    const bool src24 = src.format() == QImage::Format_RGB888;
    const bool dst24 = dst.format() == QImage::Format_RGB888;
    if (src24 && dst24) {
        ForEachRow(src, dst, plan, [&](const uchar* s, uchar* d, int left) {
            uchar* q = d + 3 * left;
            for (int i = 0; i < n; ++i, q += 3) {
                const uchar* p = s + 3 * xs[std::size_t(i)];
                q[0] = p[0];
                q[1] = p[1];
                q[2] = p[2];
            }
        });
    } else if (src24) {
        ForEachRow(src, dst, plan, [&](const uchar* s, uchar* d, int left) {
            QRgb* q = reinterpret_cast<QRgb*>(d) + left;
            for (int i = 0; i < n; ++i) {
                const uchar* p = s + 3 * xs[std::size_t(i)];
                q[i] = qRgb(p[0], p[1], p[2]);
            }
        });
    } else if (dst24) {
        ForEachRow(src, dst, plan, [&](const uchar* s, uchar* d, int left) {
            const QRgb* p = reinterpret_cast<const QRgb*>(s);
            uchar* q = d + 3 * left;
            for (int i = 0; i < n; ++i, q += 3) {
                const QRgb c = p[xs[std::size_t(i)]];
                q[0] = uchar(qRed(c));
                q[1] = uchar(qGreen(c));
                q[2] = uchar(qBlue(c));
            }
        });
    } else {
        ForEachRow(src, dst, plan, [&](const uchar* s, uchar* d, int left) {
            const QRgb* p = reinterpret_cast<const QRgb*>(s);
            QRgb* q = reinterpret_cast<QRgb*>(d) + left;
            for (int i = 0; i < n; ++i)
                q[i] = p[xs[std::size_t(i)]] | 0xFF000000u;
        });
    }
}

void StretchNearestBlend(const QImage& srcImage, QImage& dst, const QRect& rect, int masterAlpha,
                         const QRect& clip) {
    if (dst.isNull() || !Is32(dst))
        return;
    TStretchPlan plan;
    if (!Plan(srcImage, dst, rect, clip, plan))
        return;
    const int master = std::clamp(masterAlpha, 0, 255);
    if (master == 0)
        return;
    // A 24-bit or alpha-less source is opaque: every pixel blends at the master opacity.
    const QImage src = srcImage.format() == QImage::Format_ARGB32
                           ? srcImage
                           : srcImage.convertToFormat(QImage::Format_RGB32);
    const bool srcAlpha = src.format() == QImage::Format_ARGB32;
    const std::vector<int>& xs = plan.Xs;
    const int n = int(xs.size());
    ForEachRow(src, dst, plan, [&](const uchar* s, uchar* d, int left) {
        const QRgb* p = reinterpret_cast<const QRgb*>(s);
        QRgb* q = reinterpret_cast<QRgb*>(d) + left;
        for (int i = 0; i < n; ++i) {
            const QRgb c = p[xs[std::size_t(i)]];
            const int a = srcAlpha ? Div255(qAlpha(c) * master) : master;
            const int inv = 255 - a;
            const QRgb t = q[i];
            q[i] = (t & 0xFF000000u) | (std::uint32_t(Div255(qRed(c) * a + qRed(t) * inv)) << 16) |
                   (std::uint32_t(Div255(qGreen(c) * a + qGreen(t) * inv)) << 8) |
                   std::uint32_t(Div255(qBlue(c) * a + qBlue(t) * inv));
        }
    });
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

} // namespace graphics
