#pragma once
// The octree colour quantiser of the GIF outputs: at most M colours from one picture.

#include <QImage>
#include <QRgb>

#include <cstdint>
#include <vector>

namespace codecs {

// Levels 0 (the root) to 6; a node at level 6 is a leaf, the others are inner nodes with up
// to eight children, child index (bit 7 - d of r) * 4 + (bit 7 - d of g) * 2 + (bit 7 - d of
// b) at level d. A new inner node goes to the head of its level's list of reducible nodes.
// After each pixel, while there are more than M leaves, the head of the deepest non-empty
// list (from level 5 down) is reduced: its children's counts and sums are merged into it and
// it becomes a leaf. The palette is read depth-first, children in index order, each leaf
// giving its sums divided by its pixel count (black for a leaf without pixels).
class TOctreeQuantizer {
public:
    explicit TOctreeQuantizer(int maxColors);
    // Empties the tree for a new picture, keeping the memory.
    void Reset(int maxColors);

    void AddPixel(std::uint8_t r, std::uint8_t g, std::uint8_t b);
    // count pixels of 3 bytes R, G, B.
    void AddRgbRow(const std::uint8_t* rgb, int count);
    // Every pixel of the picture, rows from the top, each from left to right.
    void AddImage(const QImage& image);
    // The same, leaving out the pixels exactly of one colour (alpha ignored).
    void AddImageExcept(const QImage& image, QRgb except);

    int LeafCount() const { return FLeafCount; }
    // The leaf colours in the order of the walk (opaque QRgb values).
    std::vector<QRgb> Palette() const;

private:
    struct TNode {
        std::int32_t Child[8];
        std::uint64_t R, G, B;
        std::uint32_t Count;
        std::int32_t Next; // next node of the same level's reducible list
        std::uint8_t Level;
        bool Leaf;
    };
    std::int32_t NewNode(int level);
    void Reduce();
    void Walk(std::int32_t node, std::vector<QRgb>& out) const;

    int FMaxColors;
    int FLeafCount = 0;
    std::vector<TNode> FNodes;       // index 0 is unused: 0 means "no node"
    std::vector<std::int32_t> FFree; // deleted nodes, reused
    std::int32_t FRoot = 0;
    std::int32_t FReducible[6] = {}; // head of each level's list
    // Leaf of a recently fed colour; a reduction invalidates every entry (generation).
    struct TCacheEntry {
        std::uint32_t Key = 0;
        std::int32_t Leaf = 0;
        std::uint32_t Generation = 0;
    };
    std::vector<TCacheEntry> FCache;
    std::uint32_t FGeneration = 1;
};

} // namespace codecs
