#pragma once
// Mapping pixels onto a palette: the exact nearest entry, Floyd-Steinberg error diffusion,
// grey levels, and the fixed palettes of the GIF outputs.

#include <QImage>
#include <QRgb>

#include <array>
#include <cstdint>
#include <vector>

namespace codecs {

// The 20 colours of the default system palette, entries 0 to 19 of a single GIF's palette.
const std::array<QRgb, 20>& FixedPalette20();
// The 256 grey levels (k, k, k).
const std::vector<QRgb>& GreyPalette();
// The grey level of a pixel: (77 R + 150 G + 29 B) div 256.
inline std::uint8_t GreyLevel(int r, int g, int b) {
    return std::uint8_t((77 * r + 150 * g + 29 * b) >> 8);
}

// Exact nearest palette entry: the smallest squared RGB distance, the lowest index among
// equals. Misses of a colour cache are answered by a search over the entries sorted along
// one axis (red, green, blue or r + g + b, whichever spreads this palette most) that stops
// once no entry further along can be nearer.
class TNearestColor {
public:
    // 1 to 256 entries (an empty palette is treated as one black entry).
    explicit TNearestColor(const std::vector<QRgb>& palette);
    int Nearest(int r, int g, int b) {
        const std::uint32_t key =
            (std::uint32_t(r) << 16) | (std::uint32_t(g) << 8) | std::uint32_t(b);
        std::uint32_t& slot = FCache[Slot(key)];
        if ((slot >> 8) == key)
            return int(slot & 0xFF);
        const int index = Search(r, g, b);
        slot = (key << 8) | std::uint32_t(index);
        return index;
    }
    // The same answer by trying every entry; for tests.
    int NearestBruteForce(int r, int g, int b) const;
    int Size() const { return int(FColors.size()); }

private:
    // 8192 slots of colour << 8 | index: 32 KB, small enough to stay in the first-level cache
    // on the dithering path, where each pixel waits for the one before.
    static constexpr int CacheBits = 13;
    static std::uint32_t Slot(std::uint32_t key) { return (key * 0x9E3779B1u) >> (32 - CacheBits); }
    struct TEntry {
        int Key, R, G, B, Index;
    };
    int Search(int r, int g, int b) const;

    std::vector<QRgb> FColors;
    int AxisKey(int r, int g, int b) const { return FWr * r + FWg * g + FWb * b; }
    int FWr = 1, FWg = 1, FWb = 1; // the axis: one channel, or all three
    int FAxisFactor = 3;           // key difference^2 / factor is a lower bound of distance
    std::vector<TEntry> FSorted;   // by Key, then Index
    std::vector<std::uint32_t> FCache;
};

// Palette indexes of a picture, one byte a pixel, rows top to bottom.
struct TIndexedPicture {
    int Width = 0;
    int Height = 0;
    std::vector<std::uint8_t> Pixels;
};

// Every pixel takes its nearest palette entry, without dithering.
TIndexedPicture MapNearest(const QImage& image, const std::vector<QRgb>& palette);
// The forms with an out argument reuse its pixel buffer (no allocation for a same-size frame).
void MapNearest(const QImage& image, const std::vector<QRgb>& palette, TIndexedPicture& out);
// Floyd-Steinberg error diffusion (7/16, 3/16, 5/16, 1/16) onto the palette, rows alternately
// left to right (the first row) and right to left; errors are carried in sixteenths and
// rounded to the nearest level when applied, values held to 0..255.
TIndexedPicture DitherFloydSteinberg(const QImage& image, const std::vector<QRgb>& palette);
void DitherFloydSteinberg(const QImage& image, const std::vector<QRgb>& palette,
                          TIndexedPicture& out);
// Every pixel becomes its grey level, an index into GreyPalette().
// The same with the pixels exactly of one colour set apart: they all take exceptIndex, no
// error is carried into or out of them, and every other pixel is mapped onto the palette
// (which should not hold that entry), so no other pixel takes exceptIndex.
void DitherFloydSteinbergExcept(const QImage& image, const std::vector<QRgb>& palette, QRgb except,
                                int exceptIndex, TIndexedPicture& out);
// True when some pixel has exactly the colour (alpha ignored).
bool ContainsColor(const QImage& image, QRgb colour);
TIndexedPicture MapGrey(const QImage& image);
void MapGrey(const QImage& image, TIndexedPicture& out);

} // namespace codecs
