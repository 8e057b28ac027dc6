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
    if (FColors.size() > 256)
        FColors.resize(256);
    FSorted.reserve(FColors.size());
    for (std::size_t i = 0; i < FColors.size(); ++i) {
        const QRgb c = FColors[i];
        FSorted.push_back({qRed(c) + qGreen(c) + qBlue(c), qRed(c), qGreen(c), qBlue(c), int(i)});
    }
    std::sort(FSorted.begin(), FSorted.end(), [](const TEntry& a, const TEntry& b) {
        return a.Sum != b.Sum ? a.Sum < b.Sum : a.Index < b.Index;
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
    // |sum difference|^2 / 3 is a lower bound of the squared distance, so a direction is done
    // once sumDiff^2 > 3 * best (equality could still be a tie with a lower index).
    const int sum = r + g + b;
    const int n = int(FSorted.size());
    int hi = int(std::lower_bound(FSorted.begin(), FSorted.end(), sum,
                                  [](const TEntry& e, int s) { return e.Sum < s; }) -
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
            const int ds = e.Sum - sum;
            if (ds * ds > 3 * bestDist) {
                upDone = true;
            } else {
                consider(e);
                upDone = ++hi >= n;
            }
        }
        if (!downDone) {
            const TEntry& e = FSorted[std::size_t(lo)];
            const int ds = sum - e.Sum;
            if (ds * ds > 3 * bestDist) {
                downDone = true;
            } else {
                consider(e);
                downDone = --lo < 0;
            }
        }
    }
    return best;
}

TIndexedPicture MapNearest(const QImage& image, const std::vector<QRgb>& palette) {
    TIndexedPicture out{image.width(), image.height(), {}};
    out.Pixels.resize(std::size_t(out.Width) * std::size_t(out.Height));
    TNearestColor nearest(palette);
    TRgbRows rows(image);
    std::uint8_t* dst = out.Pixels.data();
    for (int y = 0; y < out.Height; ++y) {
        const std::uint8_t* s = rows.Row(y);
        for (int x = 0; x < out.Width; ++x, s += 3)
            *dst++ = std::uint8_t(nearest.Nearest(s[0], s[1], s[2]));
    }
    return out;
}

TIndexedPicture MapGrey(const QImage& image) {
    TIndexedPicture out{image.width(), image.height(), {}};
    out.Pixels.resize(std::size_t(out.Width) * std::size_t(out.Height));
    TRgbRows rows(image);
    std::uint8_t* dst = out.Pixels.data();
    for (int y = 0; y < out.Height; ++y) {
        const std::uint8_t* s = rows.Row(y);
        for (int x = 0; x < out.Width; ++x, s += 3)
            *dst++ = GreyLevel(s[0], s[1], s[2]);
    }
    return out;
}

TIndexedPicture DitherFloydSteinberg(const QImage& image, const std::vector<QRgb>& palette) {
    const int w = image.width(), h = image.height();
    TIndexedPicture out{w, h, {}};
    out.Pixels.resize(std::size_t(w) * std::size_t(h));
    if (w < 1 || h < 1)
        return out;
    TNearestColor nearest(palette);
    std::vector<QRgb> colours = palette.empty() ? std::vector<QRgb>{qRgb(0, 0, 0)} : palette;
    // Errors of this row and the next, in sixteenths, three channels, one spare pixel on
    // each side so that the borders need no tests.
    std::vector<int> errA(std::size_t(w + 2) * 3, 0), errB(std::size_t(w + 2) * 3, 0);
    int* cur = errA.data() + 3;
    int* next = errB.data() + 3;
    TRgbRows rows(image);
    for (int y = 0; y < h; ++y) {
        const std::uint8_t* src = rows.Row(y);
        std::uint8_t* dst = out.Pixels.data() + std::size_t(y) * std::size_t(w);
        const bool leftToRight = (y % 2) == 0;
        const int step = leftToRight ? 1 : -1;
        int x = leftToRight ? 0 : w - 1;
        for (int i = 0; i < w; ++i, x += step) {
            int v[3];
            for (int c = 0; c < 3; ++c)
                v[c] = std::clamp(int(src[3 * x + c]) + ((cur[3 * x + c] + 8) >> 4), 0, 255);
            const int index = nearest.Nearest(v[0], v[1], v[2]);
            dst[x] = std::uint8_t(index);
            const QRgb q = colours[std::size_t(index)];
            const int e[3] = {v[0] - qRed(q), v[1] - qGreen(q), v[2] - qBlue(q)};
            for (int c = 0; c < 3; ++c) {
                cur[3 * (x + step) + c] += e[c] * 7;
                next[3 * (x - step) + c] += e[c] * 3;
                next[3 * x + c] += e[c] * 5;
                next[3 * (x + step) + c] += e[c];
            }
        }
        std::swap(cur, next);
        std::fill(next - 3, next + 3 * (w + 1), 0);
    }
    return out;
}

} // namespace codecs
