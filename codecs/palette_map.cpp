#include "codecs/palette_map.h"

#include "codecs/codec_io.h"

#include <algorithm>

namespace codecs {

const std::array<QRgb, 20>& FixedPalette20() {
    static const std::array<QRgb, 20> colours = {
        0xFF000000, 0xFF800000, 0xFF008000, 0xFF808000, 0xFF000080, 0xFF800080, 0xFF008080,
        0xFFC0C0C0, 0xFFC0DCC0, 0xFFA6CAF0, 0xFFFFFBF0, 0xFFA0A0A4, 0xFF808080, 0xFFFF0000,
        0xFF00FF00, 0xFFFFFF00, 0xFF0000FF, 0xFFFF00FF, 0xFF00FFFF, 0xFFFFFFFF};
    return colours;
}

const std::vector<QRgb>& GreyPalette() {
    static const std::vector<QRgb> grey = [] {
        std::vector<QRgb> v(256);
        for (int k = 0; k < 256; ++k)
            v[std::size_t(k)] = qRgb(k, k, k);
        return v;
    }();
    return grey;
}

TNearestColor::TNearestColor(const std::vector<QRgb>& palette)
    : FColors(palette.empty() ? std::vector<QRgb>{qRgb(0, 0, 0)} : palette),
      FCache(std::size_t(1) << CacheBits) {
    // Empty slots hold colour 0, which hashes to slot 0 only; slot 0 holds colour 1, which
    // hashes elsewhere. So no lookup matches an empty slot.
    const std::uint32_t k0 = 0, k1 = 1;
    std::fill(FCache.begin(), FCache.end(), k0 << 8);
    FCache[Slot(k0)] = k1 << 8;
    if (FColors.size() > 256)
        FColors.resize(256);
    // The axis along which the entries spread most (the sum's variance counts a third, as its
    // bound does), so that the search stops soonest.
    const int axes[4][3] = {{1, 0, 0}, {0, 1, 0}, {0, 0, 1}, {1, 1, 1}};
    double bestSpread = -1;
    for (const auto& a : axes) {
        double sum = 0, sq = 0;
        for (const QRgb c : FColors) {
            const double k = a[0] * qRed(c) + a[1] * qGreen(c) + a[2] * qBlue(c);
            sum += k;
            sq += k * k;
        }
        const double n = double(FColors.size());
        const int factor = a[0] + a[1] + a[2];
        const double spread = (sq / n - (sum / n) * (sum / n)) / factor;
        if (spread > bestSpread) {
            bestSpread = spread;
            FWr = a[0];
            FWg = a[1];
            FWb = a[2];
            FAxisFactor = factor;
        }
    }
    FSorted.reserve(FColors.size());
    for (std::size_t i = 0; i < FColors.size(); ++i) {
        const QRgb c = FColors[i];
        FSorted.push_back(
            {AxisKey(qRed(c), qGreen(c), qBlue(c)), qRed(c), qGreen(c), qBlue(c), int(i)});
    }
    std::sort(FSorted.begin(), FSorted.end(), [](const TEntry& a, const TEntry& b) {
        return a.Key != b.Key ? a.Key < b.Key : a.Index < b.Index;
    });
}

int TNearestColor::NearestBruteForce(int r, int g, int b) const {
    int best = 0, bestDist = 1 << 30;
    for (std::size_t i = 0; i < FColors.size(); ++i) {
        const int dr = qRed(FColors[i]) - r, dg = qGreen(FColors[i]) - g,
                  db = qBlue(FColors[i]) - b;
        const int d = dr * dr + dg * dg + db * db;
        if (d < bestDist) {
            bestDist = d;
            best = int(i);
        }
    }
    return best;
}

int TNearestColor::Search(int r, int g, int b) const {
    // keyDiff^2 / factor is a lower bound of the squared distance, so a direction is done once
    // keyDiff^2 > factor * best (equality could still be a tie with a lower index).
    const int key = AxisKey(r, g, b);
    const int factor = FAxisFactor;
    const int n = int(FSorted.size());
    int hi = int(std::lower_bound(FSorted.begin(), FSorted.end(), key,
                                  [](const TEntry& e, int k) { return e.Key < k; }) -
                 FSorted.begin());
    int lo = hi - 1;
    int bestDist = 1 << 20, best = 0; // above any distance: 3 * 255^2 < 2^18
    auto consider = [&](const TEntry& e) {
        const int dr = e.R - r, dg = e.G - g, db = e.B - b;
        const int d = dr * dr + dg * dg + db * db;
        if (d < bestDist || (d == bestDist && e.Index < best)) {
            bestDist = d;
            best = e.Index;
        }
    };
    bool upDone = hi >= n, downDone = lo < 0;
    while (!upDone || !downDone) {
        if (!upDone) {
            const TEntry& e = FSorted[std::size_t(hi)];
            const int ds = e.Key - key;
            if (ds * ds > factor * bestDist) {
                upDone = true;
            } else {
                consider(e);
                upDone = ++hi >= n;
            }
        }
        if (!downDone) {
            const TEntry& e = FSorted[std::size_t(lo)];
            const int ds = key - e.Key;
            if (ds * ds > factor * bestDist) {
                downDone = true;
            } else {
                consider(e);
                downDone = --lo < 0;
            }
        }
    }
    return best;
}

namespace {
void Shape(TIndexedPicture& out, const QImage& image) {
    out.Width = image.width();
    out.Height = image.height();
    out.Pixels.resize(std::size_t(out.Width) * std::size_t(out.Height));
}
} // namespace

TIndexedPicture MapNearest(const QImage& image, const std::vector<QRgb>& palette) {
    TIndexedPicture out;
    MapNearest(image, palette, out);
    return out;
}

void MapNearest(const QImage& image, const std::vector<QRgb>& palette, TIndexedPicture& out) {
    Shape(out, image);
    TNearestColor nearest(palette);
    TRgbRows rows(image);
    std::uint8_t* dst = out.Pixels.data();
    for (int y = 0; y < out.Height; ++y) {
        const std::uint8_t* s = rows.Row(y);
        for (int x = 0; x < out.Width; ++x, s += 3)
            *dst++ = std::uint8_t(nearest.Nearest(s[0], s[1], s[2]));
    }
}

TIndexedPicture MapGrey(const QImage& image) {
    TIndexedPicture out;
    MapGrey(image, out);
    return out;
}

void MapGrey(const QImage& image, TIndexedPicture& out) {
    Shape(out, image);
    TRgbRows rows(image);
    std::uint8_t* dst = out.Pixels.data();
    for (int y = 0; y < out.Height; ++y) {
        const std::uint8_t* s = rows.Row(y);
        for (int x = 0; x < out.Width; ++x, s += 3)
            *dst++ = GreyLevel(s[0], s[1], s[2]);
    }
}

namespace {

inline int Clamp255(int v) {
    return v < 0 ? 0 : (v > 255 ? 255 : v);
}

// One row of the error diffusion in the direction Step (+1 or -1). cur and next point at
// pixel 0 of the error rows (three ints a pixel, sixteenths), which have one spare pixel on
// each side.
// Keyed: pixels exactly of the colour key (0xRRGGBB) take keyIndex and carry no error: what
// their neighbours pushed onto them is dropped, and they push nothing on.
template <int Step, bool Keyed>
void DitherRow(const std::uint8_t* src, std::uint8_t* dst, int w, int* cur, int* next,
               TNearestColor& nearest, const std::uint32_t* colours, std::uint32_t key = 0,
               int keyIndex = 0) {
    int x = Step > 0 ? 0 : w - 1;
    const std::uint8_t* s = src + 3 * x;
    int* ec = cur + 3 * x;
    int* en = next + 3 * x;
    for (int i = 0; i < w; ++i, x += Step, s += 3 * Step, ec += 3 * Step, en += 3 * Step) {
        if constexpr (Keyed) {
            if (((std::uint32_t(s[0]) << 16) | (std::uint32_t(s[1]) << 8) | s[2]) == key) {
                dst[x] = std::uint8_t(keyIndex);
                continue;
            }
        }
        const int r = Clamp255(int(s[0]) + ((ec[0] + 8) >> 4));
        const int g = Clamp255(int(s[1]) + ((ec[1] + 8) >> 4));
        const int b = Clamp255(int(s[2]) + ((ec[2] + 8) >> 4));
        const int index = nearest.Nearest(r, g, b);
        dst[x] = std::uint8_t(index);
        const std::uint32_t q = colours[index];
        const int er = r - int(q >> 16), eg = g - int((q >> 8) & 0xFF), eb = b - int(q & 0xFF);
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

TIndexedPicture DitherFloydSteinberg(const QImage& image, const std::vector<QRgb>& palette) {
    TIndexedPicture out;
    DitherFloydSteinberg(image, palette, out);
    return out;
}

namespace {

template <bool Keyed>
void Dither(const QImage& image, const std::vector<QRgb>& palette, TIndexedPicture& out,
            std::uint32_t key, int keyIndex) {
    const int w = image.width(), h = image.height();
    Shape(out, image);
    if (w < 1 || h < 1)
        return;
    TNearestColor nearest(palette);
    std::uint32_t colours[256];
    for (int i = 0; i < 256; ++i)
        colours[i] =
            palette.empty()
                ? 0u
                : palette[std::min<std::size_t>(std::size_t(i), palette.size() - 1)] & 0xFFFFFFu;
    // Errors of this row and the next, in sixteenths, three channels, one spare pixel on
    // each side so that the borders need no tests.
    std::vector<int> errA(std::size_t(w + 2) * 3, 0), errB(std::size_t(w + 2) * 3, 0);
    int* cur = errA.data() + 3;
    int* next = errB.data() + 3;
    TRgbRows rows(image);
    for (int y = 0; y < h; ++y) {
        std::uint8_t* dst = out.Pixels.data() + std::size_t(y) * std::size_t(w);
        if (y % 2 == 0) // the first row, and every second one, left to right
            DitherRow<1, Keyed>(rows.Row(y), dst, w, cur, next, nearest, colours, key, keyIndex);
        else
            DitherRow<-1, Keyed>(rows.Row(y), dst, w, cur, next, nearest, colours, key, keyIndex);
        std::swap(cur, next);
        std::fill(next - 3, next + 3 * (w + 1), 0);
    }
}

} // namespace

void DitherFloydSteinberg(const QImage& image, const std::vector<QRgb>& palette,
                          TIndexedPicture& out) {
    Dither<false>(image, palette, out, 0, 0);
}

void DitherFloydSteinbergExcept(const QImage& image, const std::vector<QRgb>& palette, QRgb except,
                                int exceptIndex, TIndexedPicture& out) {
    Dither<true>(image, palette, out, except & 0xFFFFFFu, exceptIndex);
}

bool ContainsColor(const QImage& image, QRgb colour) {
    const std::uint8_t r = std::uint8_t(qRed(colour)), g = std::uint8_t(qGreen(colour)),
                       b = std::uint8_t(qBlue(colour));
    TRgbRows rows(image);
    for (int y = 0; y < rows.Height(); ++y) {
        const std::uint8_t* s = rows.Row(y);
        for (int x = 0, w = rows.Width(); x < w; ++x, s += 3)
            if (s[0] == r && s[1] == g && s[2] == b)
                return true;
    }
    return false;
}

} // namespace codecs
