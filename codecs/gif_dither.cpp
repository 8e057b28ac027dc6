#include "codecs/gif_dither.h"

#include "codecs/codec_io.h"

#include <algorithm>

namespace codecs {

namespace {

inline int Clamp255(int v) {
    return v < 0 ? 0 : (v > 255 ? 255 : v);
}

// The share of the error (in sixteenths) a pixel passes on, by how many of its four
// neighbours have its nearest colour: an area of one colour, where a band would show, is
// dithered fully; where the nearest colours vary the picture dithers itself.
constexpr int FlatWeight[5] = {0, 0, 6, 11, 16};

QImage Rgb888(const QImage& image) {
    return image.format() == QImage::Format_RGB888 ? image
                                                   : image.convertToFormat(QImage::Format_RGB888);
}

void Shape(TIndexedPicture& out, const QImage& image) {
    out.Width = image.width();
    out.Height = image.height();
    out.Pixels.resize(std::size_t(out.Width) * std::size_t(out.Height));
}

struct TRowContext {
    const std::uint8_t* Src;      // RGB of the row
    std::uint8_t* Dst;            // the nearest indexes on entry, the chosen ones on return
    const std::uint8_t* Up;       // nearest indexes of the rows above and below, or null
    const std::uint8_t* Down;     //
    const std::uint8_t* Nearest0; // a copy of this row's nearest indexes
    int* Cur;                     // carried errors of this row and the next, 1/256, 3 a pixel,
    int* Next;                    // with one spare pixel on each side
    int Width;
};

template <int Step>
void DiffuseRow(const TRowContext& c, TNearestColor& nearest, const std::uint32_t* colours,
                bool adaptive) {
    const int w = c.Width;
    int x = Step > 0 ? 0 : w - 1;
    for (int i = 0; i < w; ++i, x += Step) {
        const std::uint8_t* s = c.Src + 3 * x;
        int* ec = c.Cur + 3 * x;
        int* en = c.Next + 3 * x;
        const int r = Clamp255(int(s[0]) + ((ec[0] + 128) >> 8));
        const int g = Clamp255(int(s[1]) + ((ec[1] + 128) >> 8));
        const int b = Clamp255(int(s[2]) + ((ec[2] + 128) >> 8));
        int index = c.Nearest0[x];
        if (r != s[0] || g != s[1] || b != s[2])
            index = nearest.Nearest(r, g, b);
        const std::uint32_t q = colours[index];
        const int qr = int(q >> 16), qg = int((q >> 8) & 0xFF), qb = int(q & 0xFF);
        c.Dst[x] = std::uint8_t(index);
        int weight = 16;
        if (adaptive) {
            const int own = c.Nearest0[x];
            const int left = x > 0 ? c.Nearest0[x - 1] : own;
            const int right = x + 1 < w ? c.Nearest0[x + 1] : own;
            const int up = c.Up ? c.Up[x] : own;
            const int down = c.Down ? c.Down[x] : own;
            weight = FlatWeight[(left == own) + (right == own) + (up == own) + (down == own)];
            if (weight == 0)
                continue;
        }
        const int er = (r - qr) * weight, eg = (g - qg) * weight, eb = (b - qb) * weight;
        ec[3 * Step + 0] += er * 7;
        ec[3 * Step + 1] += eg * 7;
        ec[3 * Step + 2] += eb * 7;
        en[-3 * Step + 0] += er * 3;
        en[-3 * Step + 1] += eg * 3;
        en[-3 * Step + 2] += eb * 3;
        en[0] += er * 5;
        en[1] += eg * 5;
        en[2] += eb * 5;
        en[3 * Step + 0] += er;
        en[3 * Step + 1] += eg;
        en[3 * Step + 2] += eb;
    }
}

} // namespace

double MapNearestMeasured(const QImage& image, const std::vector<QRgb>& palette,
                          TIndexedPicture& out) {
    Shape(out, image);
    if (out.Pixels.empty())
        return 0;
    TNearestColor nearest(palette);
    std::uint32_t colours[256];
    for (int i = 0; i < 256; ++i)
        colours[i] = palette.empty()
                         ? 0u
                         : palette[std::min<std::size_t>(std::size_t(i), palette.size() - 1)];
    const QImage rgb = Rgb888(image);
    std::int64_t sum = 0;
    std::uint8_t* dst = out.Pixels.data();
    for (int y = 0; y < out.Height; ++y) {
        const std::uint8_t* s = rgb.constScanLine(y);
        for (int x = 0; x < out.Width; ++x, s += 3) {
            const int index = nearest.Nearest(s[0], s[1], s[2]);
            *dst++ = std::uint8_t(index);
            const std::uint32_t q = colours[index];
            const int dr = s[0] - int((q >> 16) & 0xFF), dg = s[1] - int((q >> 8) & 0xFF),
                      db = s[2] - int(q & 0xFF);
            sum += dr * dr + dg * dg + db * db;
        }
    }
    return double(sum) / double(out.Pixels.size());
}

void DiffuseFromNearest(const QImage& image, const std::vector<QRgb>& palette, bool adaptive,
                        TIndexedPicture& out) {
    const int w = out.Width, h = out.Height;
    if (w < 1 || h < 1)
        return;
    TNearestColor nearest(palette);
    std::uint32_t colours[256];
    for (int i = 0; i < 256; ++i)
        colours[i] =
            palette.empty()
                ? 0u
                : palette[std::min<std::size_t>(std::size_t(i), palette.size() - 1)] & 0xFFFFFFu;
    const QImage rgb = Rgb888(image);
    std::vector<int> errA(std::size_t(w + 2) * 3, 0), errB(std::size_t(w + 2) * 3, 0);
    std::vector<std::uint8_t> above(static_cast<std::size_t>(w)), own(static_cast<std::size_t>(w));
    TRowContext c;
    c.Cur = errA.data() + 3;
    c.Next = errB.data() + 3;
    c.Width = w;
    for (int y = 0; y < h; ++y) {
        std::uint8_t* dst = out.Pixels.data() + std::size_t(y) * std::size_t(w);
        std::copy(dst, dst + w, own.begin());
        c.Src = rgb.constScanLine(y);
        c.Dst = dst;
        c.Up = y > 0 ? above.data() : nullptr;
        c.Down = y + 1 < h ? dst + w : nullptr;
        c.Nearest0 = own.data();
        if (y % 2 == 0)
            DiffuseRow<1>(c, nearest, colours, adaptive);
        else
            DiffuseRow<-1>(c, nearest, colours, adaptive);
        std::swap(above, own);
        std::swap(c.Cur, c.Next);
        std::fill(c.Next - 3, c.Next + 3 * (w + 1), 0);
    }
}

void RefineToMeans(const QImage& image, std::vector<QRgb>& palette, const TIndexedPicture& map) {
    std::vector<std::int64_t> sums(palette.size() * 4, 0);
    const QImage rgb = Rgb888(image);
    const std::uint8_t* index = map.Pixels.data();
    for (int y = 0; y < map.Height; ++y) {
        const std::uint8_t* s = rgb.constScanLine(y);
        for (int x = 0; x < map.Width; ++x, s += 3, ++index) {
            if (*index >= palette.size())
                continue;
            std::int64_t* t = &sums[std::size_t(*index) * 4];
            t[0] += s[0];
            t[1] += s[1];
            t[2] += s[2];
            ++t[3];
        }
    }
    for (std::size_t i = 0; i < palette.size(); ++i) {
        const std::int64_t* t = &sums[i * 4];
        if (t[3] > 0)
            palette[i] = qRgb(int((t[0] + t[3] / 2) / t[3]), int((t[1] + t[3] / 2) / t[3]),
                              int((t[2] + t[3] / 2) / t[3]));
    }
}

} // namespace codecs
