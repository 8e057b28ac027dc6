#include "codecs/gif_delta.h"

#include "codecs/codec_io.h"
#include "codecs/gif_codec.h"

#include <algorithm>
#include <array>

namespace codecs {

namespace {
constexpr int DoNotDispose = 1;

inline int Distance2(const std::uint8_t* a, const std::uint8_t* b) {
    const int dr = int(a[0]) - b[0], dg = int(a[1]) - b[1], db = int(a[2]) - b[2];
    return dr * dr + dg * dg + db * db;
}

inline void Put(std::uint8_t* shown, QRgb c) {
    shown[0] = std::uint8_t(qRed(c));
    shown[1] = std::uint8_t(qGreen(c));
    shown[2] = std::uint8_t(qBlue(c));
}
} // namespace

void TGifCanvas::Apply(const QImage& source, TGifFrame& frame, bool grey) {
    const int w = frame.Pixels.Width, h = frame.Pixels.Height;
    frame.Disposal = DoNotDispose;
    frame.Left = 0;
    frame.Top = 0;
    if (FShown.empty() || w != FWidth || h != FHeight) {
        FWidth = w;
        FHeight = h;
        FShown.resize(std::size_t(w) * std::size_t(h) * 3);
        std::uint8_t* shown = FShown.data();
        for (const std::uint8_t index : frame.Pixels.Pixels) {
            Put(shown, frame.Palette[index]);
            shown += 3;
        }
        frame.HasTransparent = false;
        frame.TransparentIndex = 0;
        return;
    }
    // Which pixels change (1) and which stay as they are shown (0). A pixel whose shown
    // colour is no further from the source than its own colour stays for free; of the others
    // the cheapest stay, as long as the frame's error grows by at most KeptErrorShare of its
    // own.
    thread_local std::vector<std::uint8_t> change;
    thread_local std::vector<std::int32_t> extra; // squared distance shown minus own
    change.resize(std::size_t(w) * std::size_t(h));
    extra.resize(change.size());
    std::array<std::uint8_t, 256 * 3> colours{};
    for (std::size_t i = 0; i < frame.Palette.size() && i < 256; ++i)
        Put(&colours[i * 3], frame.Palette[i]);
    std::int64_t ownError = 0, freeGain = 0;
    std::array<std::int64_t, MaxKeptExtra + 1> costing{};
    TRgbRows rows(source);
    for (int y = 0; y < h; ++y) {
        const std::uint8_t* s = rows.Row(y);
        const std::size_t row = std::size_t(y) * std::size_t(w);
        const std::uint8_t* shown = FShown.data() + row * 3;
        const std::uint8_t* index = frame.Pixels.Pixels.data() + row;
        std::int32_t* e = extra.data() + row;
        for (int x = 0; x < w; ++x, s += 3, shown += 3) {
            // Grey frames show grey levels: the source is compared by its level.
            std::uint8_t level[3];
            const std::uint8_t* src = s;
            if (grey) {
                level[0] = level[1] = level[2] = GreyLevel(s[0], s[1], s[2]);
                src = level;
            }
            const int own = Distance2(src, &colours[index[x] * 3u]);
            e[x] = Distance2(src, shown) - own;
            ownError += own;
            if (e[x] <= 0)
                freeGain -= e[x];
            else if (e[x] <= MaxKeptExtra)
                ++costing[std::size_t(e[x])];
        }
    }
    std::int64_t budget = std::int64_t(KeptErrorShare * double(ownError)) + freeGain;
    int limit = 0;
    while (limit < MaxKeptExtra && costing[std::size_t(limit + 1)] * (limit + 1) <= budget) {
        ++limit;
        budget -= costing[std::size_t(limit)] * limit;
    }
    std::int64_t kept = 0;
    for (std::size_t i = 0; i < change.size(); ++i) {
        const bool keep = extra[i] <= limit;
        change[i] = std::uint8_t(!keep);
        kept += keep;
    }
    if (kept < std::int64_t(MinKeptShare * double(change.size())))
        std::fill(change.begin(), change.end(), std::uint8_t(1));
    // The rectangle of the pixels that change.
    int left = w, top = h, right = -1, bottom = -1;
    bool anyKept = false;
    for (int y = 0; y < h; ++y) {
        const std::uint8_t* c = change.data() + std::size_t(y) * std::size_t(w);
        const std::uint8_t* first = std::find(c, c + w, std::uint8_t(1));
        if (first == c + w) {
            anyKept = true;
            continue;
        }
        const int last = int(w - 1 -
                             (std::find(std::make_reverse_iterator(c + w),
                                        std::make_reverse_iterator(c), std::uint8_t(1)) -
                              std::make_reverse_iterator(c + w)));
        anyKept = anyKept || std::find(c, c + w, std::uint8_t(0)) != c + w;
        left = std::min(left, int(first - c));
        right = std::max(right, last);
        top = std::min(top, y);
        bottom = y;
    }
    if (right < 0) {
        // Nothing changed: one transparent pixel keeps the frame's delay in the file.
        frame.Palette.assign(1, qRgb(0, 0, 0));
        frame.Pixels.Width = frame.Pixels.Height = 1;
        frame.Pixels.Pixels.assign(1, 0);
        frame.HasTransparent = true;
        frame.TransparentIndex = 0;
        return;
    }
    const int cw = right - left + 1, ch = bottom - top + 1;
    bool keptInRect = false;
    if (anyKept) {
        for (int y = top; y <= bottom && !keptInRect; ++y) {
            const std::uint8_t* c = change.data() + std::size_t(y) * std::size_t(w);
            keptInRect = std::find(c + left, c + right + 1, std::uint8_t(0)) != c + right + 1;
        }
    }
    // The transparent entry: a spare place after the colours, or in grey mode the level the
    // fewest changed pixels use, whose pixels move to the next level.
    int transparent = int(frame.Palette.size());
    int moveTo = -1;
    if (keptInRect && (grey || transparent > 255)) {
        std::array<int, 256> used{};
        for (int y = top; y <= bottom; ++y) {
            const std::size_t row = std::size_t(y) * std::size_t(w);
            for (int x = left; x <= right; ++x)
                if (change[row + std::size_t(x)])
                    ++used[frame.Pixels.Pixels[row + std::size_t(x)]];
        }
        const int limit = std::min<int>(256, int(frame.Palette.size()));
        transparent = int(std::min_element(used.begin(), used.begin() + limit) - used.begin());
        if (used[std::size_t(transparent)] > 0)
            moveTo = transparent == limit - 1 ? transparent - 1 : transparent + 1;
    }
    TIndexedPicture cut;
    cut.Width = cw;
    cut.Height = ch;
    cut.Pixels.resize(std::size_t(cw) * std::size_t(ch));
    std::uint8_t* dst = cut.Pixels.data();
    for (int y = top; y <= bottom; ++y) {
        const std::size_t row = std::size_t(y) * std::size_t(w);
        for (int x = left; x <= right; ++x) {
            const std::size_t at = row + std::size_t(x);
            if (!change[at]) {
                *dst++ = std::uint8_t(transparent);
                continue;
            }
            int index = frame.Pixels.Pixels[at];
            if (index == transparent)
                index = moveTo;
            *dst++ = std::uint8_t(index);
            Put(FShown.data() + at * 3, frame.Palette[std::size_t(index)]);
        }
    }
    frame.Pixels = std::move(cut);
    frame.Left = left;
    frame.Top = top;
    frame.HasTransparent = keptInRect;
    frame.TransparentIndex = keptInRect ? transparent : 0;
    if (keptInRect && transparent == int(frame.Palette.size()))
        frame.Palette.push_back(qRgb(0, 0, 0));
}

} // namespace codecs
