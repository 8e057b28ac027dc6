#include "codecs/liq_palette.h"

#include "common/kw_guard.h"

#include <libimagequant.h>
#include <omp.h>

#include <algorithm>
#include <cstdint>
#include <new>

namespace codecs {

namespace {

[[noreturn]] void LiqFailed(liq_error error) {
    if (error == LIQ_OUT_OF_MEMORY)
        throw std::bad_alloc();
    throw kw::EFcError(QStringLiteral("The colour quantiser failed (error %1)").arg(int(error)));
}

// Owners of the library's objects.
struct TLiqAttr {
    liq_attr* P = liq_attr_create();
    ~TLiqAttr() {
        if (P)
            liq_attr_destroy(P);
    }
};
struct TLiqImage {
    liq_image* P = nullptr;
    ~TLiqImage() {
        if (P)
            liq_image_destroy(P);
    }
};
struct TLiqResult {
    liq_result* P = nullptr;
    ~TLiqResult() {
        if (P)
            liq_result_destroy(P);
    }
};

} // namespace

std::vector<QRgb> BestPalette(const QImage& image, int maxColors, bool skipKey, QRgb key) {
    maxColors = std::clamp(maxColors, 2, 256);
    if (image.width() < 1 || image.height() < 1)
        return {qRgb(0, 0, 0)};
    // The library's k-means sums over OpenMP threads; on one thread the order of the sums,
    // and so the palette, never depends on how many cores there are. Frames are spread over
    // the cores by the caller instead. The setting belongs to the calling thread alone.
    omp_set_num_threads(1);
    QImage rgba = image.convertToFormat(QImage::Format_RGBA8888);
    if (skipKey) {
        // The key's pixels become fully transparent: the library gives them one entry of
        // their own, which is dropped below, so they pull no opaque colour towards them.
        const std::uint32_t k = key & 0xFFFFFFu;
        for (int y = 0; y < rgba.height(); ++y) {
            std::uint8_t* p = rgba.scanLine(y);
            for (int x = 0; x < rgba.width(); ++x, p += 4)
                if (((std::uint32_t(p[0]) << 16) | (std::uint32_t(p[1]) << 8) | p[2]) == k)
                    p[3] = 0;
        }
    }
    TLiqAttr attr;
    if (!attr.P)
        throw std::bad_alloc();
    liq_set_max_colors(attr.P, skipKey ? std::min(maxColors + 1, 256) : maxColors);
    liq_set_speed(attr.P, 4);
    TLiqImage img;
    img.P = liq_image_create_rgba(attr.P, rgba.constBits(), rgba.width(), rgba.height(), 0);
    if (!img.P)
        throw std::bad_alloc();
    TLiqResult result;
    if (const liq_error e = liq_image_quantize(img.P, attr.P, &result.P); e != LIQ_OK)
        LiqFailed(e);
    const liq_palette* palette = liq_get_palette(result.P);
    std::vector<QRgb> out;
    out.reserve(palette->count);
    for (unsigned i = 0; i < palette->count; ++i) {
        const liq_color c = palette->entries[i];
        if (c.a == 255 || !skipKey)
            out.push_back(qRgb(c.r, c.g, c.b));
    }
    if (int(out.size()) > maxColors)
        out.resize(std::size_t(maxColors));
    if (out.empty())
        out.push_back(qRgb(0, 0, 0));
    return out;
}

} // namespace codecs
