#include "codecs/octree.h"

#include "codecs/codec_io.h"

#include <algorithm>
#include <cstring>
#include <iterator>

namespace codecs {

namespace {
constexpr int CacheBits = 12;
std::uint32_t CacheSlot(std::uint32_t rgb) {
    return (rgb * 0x9E3779B1u) >> (32 - CacheBits);
}
} // namespace

TOctreeQuantizer::TOctreeQuantizer(int maxColors)
    : FMaxColors(maxColors < 1 ? 1 : maxColors), FCache(std::size_t(1) << CacheBits) {
    FNodes.reserve(4096);
    FNodes.push_back(TNode{});
}

void TOctreeQuantizer::Reset(int maxColors) {
    FMaxColors = maxColors < 1 ? 1 : maxColors;
    FLeafCount = 0;
    FNodes.resize(1);
    FFree.clear();
    FRoot = 0;
    std::fill(std::begin(FReducible), std::end(FReducible), 0);
    if (++FGeneration == 0) { // after 2^32 reductions: make sure no old entry matches
        std::fill(FCache.begin(), FCache.end(), TCacheEntry{});
        FGeneration = 1;
    }
}

std::int32_t TOctreeQuantizer::NewNode(int level) {
    std::int32_t index;
    if (!FFree.empty()) {
        index = FFree.back();
        FFree.pop_back();
    } else {
        index = std::int32_t(FNodes.size());
        FNodes.push_back(TNode{});
    }
    TNode& n = FNodes[std::size_t(index)];
    std::memset(&n, 0, sizeof n);
    n.Level = std::uint8_t(level);
    if (level == 6) {
        n.Leaf = true;
        ++FLeafCount;
    } else {
        n.Next = FReducible[level];
        FReducible[level] = index;
    }
    return index;
}

void TOctreeQuantizer::AddPixel(std::uint8_t r, std::uint8_t g, std::uint8_t b) {
    const std::uint32_t key = (std::uint32_t(r) << 16) | (std::uint32_t(g) << 8) | b | 0x1000000u;
    TCacheEntry& slot = FCache[CacheSlot(key)];
    std::int32_t node;
    if (slot.Key == key && slot.Generation == FGeneration) {
        node = slot.Leaf; // the same walk ends at the same leaf until the next reduction
    } else {
        if (!FRoot)
            FRoot = NewNode(0);
        node = FRoot;
        for (int d = 0; !FNodes[std::size_t(node)].Leaf; ++d) {
            const int shift = 7 - d;
            const int index =
                (((r >> shift) & 1) << 2) | (((g >> shift) & 1) << 1) | ((b >> shift) & 1);
            std::int32_t child = FNodes[std::size_t(node)].Child[index];
            if (!child) {
                child = NewNode(d + 1); // may move FNodes: index again below
                FNodes[std::size_t(node)].Child[index] = child;
            }
            node = child;
        }
        slot.Key = key;
        slot.Leaf = node;
        slot.Generation = FGeneration;
    }
    TNode& leaf = FNodes[std::size_t(node)];
    ++leaf.Count;
    leaf.R += r;
    leaf.G += g;
    leaf.B += b;
    while (FLeafCount > FMaxColors)
        Reduce();
}

void TOctreeQuantizer::Reduce() {
    int level = 5;
    while (level > 0 && !FReducible[level])
        --level;
    const std::int32_t index = FReducible[level];
    if (!index) { // nothing left to reduce (cannot happen with M >= 1)
        FLeafCount = 0;
        return;
    }
    TNode& n = FNodes[std::size_t(index)];
    FReducible[level] = n.Next;
    n.Next = 0;
    int children = 0;
    for (std::int32_t& c : n.Child) {
        if (!c)
            continue;
        const TNode& child = FNodes[std::size_t(c)];
        n.R += child.R;
        n.G += child.G;
        n.B += child.B;
        n.Count += child.Count;
        ++children;
        FFree.push_back(c);
        c = 0;
    }
    n.Leaf = true;
    FLeafCount += 1 - children;
    ++FGeneration;
}

void TOctreeQuantizer::AddRgbRow(const std::uint8_t* rgb, int count) {
    for (int x = 0; x < count; ++x, rgb += 3)
        AddPixel(rgb[0], rgb[1], rgb[2]);
}

void TOctreeQuantizer::AddImage(const QImage& image) {
    TRgbRows rows(image);
    for (int y = 0; y < rows.Height(); ++y)
        AddRgbRow(rows.Row(y), rows.Width());
}

void TOctreeQuantizer::AddImageExcept(const QImage& image, QRgb except) {
    const std::uint8_t r = std::uint8_t(qRed(except)), g = std::uint8_t(qGreen(except)),
                       b = std::uint8_t(qBlue(except));
    TRgbRows rows(image);
    for (int y = 0; y < rows.Height(); ++y) {
        const std::uint8_t* s = rows.Row(y);
        for (int x = 0, w = rows.Width(); x < w; ++x, s += 3)
            if (s[0] != r || s[1] != g || s[2] != b)
                AddPixel(s[0], s[1], s[2]);
    }
}

void TOctreeQuantizer::Walk(std::int32_t node, std::vector<QRgb>& out) const {
    const TNode& n = FNodes[std::size_t(node)];
    if (n.Leaf) {
        if (n.Count == 0)
            out.push_back(qRgb(0, 0, 0));
        else
            out.push_back(qRgb(int(n.R / n.Count), int(n.G / n.Count), int(n.B / n.Count)));
        return;
    }
    for (const std::int32_t c : n.Child)
        if (c)
            Walk(c, out);
}

std::vector<QRgb> TOctreeQuantizer::Palette() const {
    std::vector<QRgb> out;
    out.reserve(std::size_t(FLeafCount));
    if (FRoot)
        Walk(FRoot, out);
    return out;
}

} // namespace codecs
