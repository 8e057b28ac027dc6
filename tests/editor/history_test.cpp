#include "editor/bitmap32_history.h"

#include <gtest/gtest.h>

namespace {

// State n is a one-pixel picture of red n.
TBitmap32 State(int n) {
    TBitmap32 b(1, 1);
    b.SetPixel(0, 0, qRgb(n, 0, 0));
    return b;
}
int Number(const TBitmap32* b) {
    return b ? qRed(b->Pixel(0, 0)) : -1;
}

} // namespace

TEST(History, HoldsTheOpenedStateAndNineEditsThenDropsTheOldest) {
    TBitmap32History h;
    EXPECT_EQ(Number(h.Undo()), -1);
    h.Add(State(0)); // the frame as opened
    EXPECT_EQ(h.Count(), 1);
    EXPECT_EQ(h.Index(), 0);
    EXPECT_FALSE(h.CanUndo());
    EXPECT_FALSE(h.CanRedo());

    for (int n = 1; n <= 9; ++n)
        h.Add(State(n));
    EXPECT_EQ(h.Count(), 10);
    for (int n = 8; n >= 0; --n)
        EXPECT_EQ(Number(h.Undo()), n);
    EXPECT_FALSE(h.CanUndo());
    EXPECT_EQ(Number(h.Undo()), -1); // nothing left: the index stays
    EXPECT_EQ(h.Index(), 0);
    for (int n = 1; n <= 9; ++n)
        EXPECT_EQ(Number(h.Redo()), n);
    EXPECT_EQ(Number(h.Redo()), -1);

    // A tenth edit drops the opened state: undoing now stops at the first edit.
    h.Add(State(10));
    EXPECT_EQ(h.Count(), 10);
    EXPECT_EQ(h.Index(), 9);
    EXPECT_EQ(Number(&h.Item(0)), 1);
    int last = -1;
    while (const TBitmap32* s = h.Undo())
        last = Number(s);
    EXPECT_EQ(last, 1);
}

TEST(History, ANewEditAfterUndoingForgetsTheUndoneStates) {
    TBitmap32History h;
    for (int n = 0; n <= 3; ++n) // opened, then three edits
        h.Add(State(n));
    EXPECT_EQ(Number(h.Undo()), 2);
    EXPECT_EQ(Number(h.Undo()), 1);
    EXPECT_TRUE(h.CanRedo());
    TBitmap32 edit = State(7);
    h.Add(edit);
    EXPECT_EQ(h.Count(), 3);
    EXPECT_EQ(h.Index(), 2);
    EXPECT_FALSE(h.CanRedo());
    EXPECT_EQ(Number(&h.Item(0)), 0);
    EXPECT_EQ(Number(&h.Item(1)), 1);
    EXPECT_EQ(Number(&h.Item(2)), 7);
    // The stored state is a copy: drawing on the caller's picture afterwards leaves it alone.
    edit.SetPixel(0, 0, qRgb(99, 0, 0));
    EXPECT_EQ(Number(&h.Item(2)), 7);
}
