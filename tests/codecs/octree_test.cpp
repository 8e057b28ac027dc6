#include "codecs/octree.h"

#include <gtest/gtest.h>

#include <random>

using codecs::TOctreeQuantizer;

namespace {

std::vector<QRgb> Feed(int maxColors, std::initializer_list<QRgb> pixels, int* leaves = nullptr) {
    TOctreeQuantizer q(maxColors);
    for (QRgb c : pixels)
        q.AddPixel(std::uint8_t(qRed(c)), std::uint8_t(qGreen(c)), std::uint8_t(qBlue(c)));
    if (leaves)
        *leaves = q.LeafCount();
    return q.Palette();
}

} // namespace

TEST(Octree, ColoursComeDepthFirstInChildOrderWithIntegerAverages) {
    int leaves = 0;
    // white is child 7 at every level, red child 4, black child 0; (0,0,0) and (0,0,3) differ
    // only below the six bits the levels use, so they share a leaf: blue (0 + 3) div 2 = 1.
    const auto palette =
        Feed(236, {qRgb(255, 255, 255), qRgb(255, 0, 0), qRgb(0, 0, 0), qRgb(0, 0, 3)}, &leaves);
    EXPECT_EQ(leaves, 3);
    EXPECT_EQ(palette, (std::vector<QRgb>{qRgb(0, 0, 1), qRgb(255, 0, 0), qRgb(255, 255, 255)}));
}

TEST(Octree, TheInnerNodeCreatedLastIsReducedFirst) {
    // Groups A = {(0,0,0), (0,0,4)} and B = {(0,0,128), (0,0,132)} each share a level-5 node.
    // With M = 3 the fourth leaf forces one reduction: B's node, the newer one, is merged, so
    // A keeps its two colours. Reducing the older node would give (0,0,2), (0,0,128), (0,0,132).
    int leaves = 0;
    const auto palette =
        Feed(3, {qRgb(0, 0, 0), qRgb(0, 0, 4), qRgb(0, 0, 128), qRgb(0, 0, 132)}, &leaves);
    EXPECT_EQ(leaves, 3);
    EXPECT_EQ(palette, (std::vector<QRgb>{qRgb(0, 0, 0), qRgb(0, 0, 4), qRgb(0, 0, 130)}));
}

TEST(Octree, ReductionWalksDownTheLevelsToTheRoot) {
    // With M = 1 every node with one child merges without lowering the count, level by level,
    // until the root takes everything; the last pixel then lands in the root leaf.
    int leaves = 0;
    const auto palette =
        Feed(1, {qRgb(0, 0, 0), qRgb(0, 0, 4), qRgb(0, 0, 128), qRgb(0, 0, 132)}, &leaves);
    EXPECT_EQ(leaves, 1);
    EXPECT_EQ(palette, (std::vector<QRgb>{qRgb(0, 0, (0 + 4 + 128 + 132) / 4)}));
}

TEST(Octree, ReducedLeavesKeepCollectingPixels) {
    // After (0,0,0), (0,0,4) merged into their level-5 node, (0,0,8) follows the same path
    // (bit 3 is level 4's bit: same child) and ends in the reduced node, not a new leaf.
    int leaves = 0;
    const auto palette = Feed(1, {qRgb(0, 0, 0), qRgb(0, 0, 4), qRgb(0, 0, 2)}, &leaves);
    EXPECT_EQ(leaves, 1);
    EXPECT_EQ(palette, (std::vector<QRgb>{qRgb(0, 0, 2)}));
}

namespace {

// The quantiser written as plainly as it is described, without the leaf cache or the node
// pool, to check the fast one against.
struct TReferenceOctree {
    struct TNode {
        TNode* Child[8] = {};
        std::uint64_t R = 0, G = 0, B = 0, Count = 0;
        bool Leaf = false;
        ~TNode() {
            for (TNode* c : Child)
                delete c;
        }
    };
    explicit TReferenceOctree(int m) : M(m) {}
    ~TReferenceOctree() { delete Root; }
    int M, Leaves = 0;
    TNode* Root = nullptr;
    std::vector<TNode*> Lists[6]; // back = head
    TNode* Make(int level) {
        TNode* n = new TNode;
        if (level == 6) {
            n->Leaf = true;
            ++Leaves;
        } else {
            Lists[level].push_back(n);
        }
        return n;
    }
    void Add(int r, int g, int b) {
        if (!Root)
            Root = Make(0);
        TNode* n = Root;
        for (int d = 0; !n->Leaf; ++d) {
            const int i =
                ((r >> (7 - d)) & 1) * 4 + ((g >> (7 - d)) & 1) * 2 + ((b >> (7 - d)) & 1);
            if (!n->Child[i])
                n->Child[i] = Make(d + 1);
            n = n->Child[i];
        }
        ++n->Count;
        n->R += std::uint64_t(r);
        n->G += std::uint64_t(g);
        n->B += std::uint64_t(b);
        while (Leaves > M) {
            int level = 5;
            while (level > 0 && Lists[level].empty())
                --level;
            TNode* h = Lists[level].back();
            Lists[level].pop_back();
            int children = 0;
            for (TNode*& c : h->Child)
                if (c) {
                    h->R += c->R;
                    h->G += c->G;
                    h->B += c->B;
                    h->Count += c->Count;
                    delete c;
                    c = nullptr;
                    ++children;
                }
            h->Leaf = true;
            Leaves += 1 - children;
        }
    }
    void Walk(const TNode* n, std::vector<QRgb>& out) const {
        if (n->Leaf) {
            out.push_back(
                n->Count ? qRgb(int(n->R / n->Count), int(n->G / n->Count), int(n->B / n->Count))
                         : qRgb(0, 0, 0));
            return;
        }
        for (const TNode* c : n->Child)
            if (c)
                Walk(c, out);
    }
};

} // namespace

TEST(Octree, MatchesAPlainImplementationOnVariedPictures) {
    std::mt19937 rng(7);
    for (int kind = 0; kind < 4; ++kind) {
        QImage image(97, 61, QImage::Format_RGB888);
        for (int y = 0; y < image.height(); ++y)
            for (int x = 0; x < image.width(); ++x) {
                QRgb c;
                if (kind == 0) // noise
                    c = qRgb(int(rng() % 256), int(rng() % 256), int(rng() % 256));
                else if (kind == 1) // smooth gradients
                    c = qRgb(x * 255 / 96, y * 255 / 60, (x + y) % 256);
                else if (kind == 2) // flat areas with a little noise, like video
                    c = qRgb((x / 20) * 50 + int(rng() % 5), (y / 15) * 60 + int(rng() % 5), 128);
                else // few colours repeated, so the leaf cache is hit across reductions
                    c = qRgb(int(rng() % 4) * 85, int(rng() % 3) * 120, int(rng() % 6) * 51);
                image.setPixel(x, y, c);
            }
        for (int m : {1, 2, 7, 64, 236, 256}) {
            TOctreeQuantizer fast(m);
            fast.AddImage(image);
            TReferenceOctree plain(m);
            for (int y = 0; y < image.height(); ++y)
                for (int x = 0; x < image.width(); ++x) {
                    const QRgb c = image.pixel(x, y);
                    plain.Add(qRed(c), qGreen(c), qBlue(c));
                }
            std::vector<QRgb> expected;
            plain.Walk(plain.Root, expected);
            EXPECT_EQ(fast.LeafCount(), plain.Leaves) << kind << " " << m;
            EXPECT_LE(fast.LeafCount(), m);
            EXPECT_EQ(fast.Palette(), expected) << kind << " " << m;
        }
    }
    // A quantiser reset for a new picture gives what a fresh one gives.
    QImage other(40, 30, QImage::Format_RGB888);
    for (int y = 0; y < 30; ++y)
        for (int x = 0; x < 40; ++x)
            other.setPixel(x, y, qRgb(int(rng() % 256), x * 6, y * 8));
    TOctreeQuantizer reused(7);
    reused.AddImage(other);
    reused.Reset(236);
    reused.AddImage(other);
    TOctreeQuantizer fresh(236);
    fresh.AddImage(other);
    EXPECT_EQ(reused.Palette(), fresh.Palette());
    EXPECT_EQ(reused.LeafCount(), fresh.LeafCount());
    // A 32-bit picture is read as its RGB.
    QImage rgb(5, 3, QImage::Format_RGB888);
    rgb.fill(qRgb(10, 200, 30));
    rgb.setPixel(2, 1, qRgb(250, 1, 99));
    TOctreeQuantizer a(236), b(236);
    a.AddImage(rgb);
    b.AddImage(rgb.convertToFormat(QImage::Format_ARGB32));
    EXPECT_EQ(a.Palette(), b.Palette());
    EXPECT_EQ(a.Palette().size(), 2u);
}
