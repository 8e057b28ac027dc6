#pragma once
// TBitmap32History: the editor's undo and redo. It keeps whole pictures, one per state: the
// frame as opened and the picture after each finished edit, at most 10 of them, so at most 9
// edits can be undone. A new state after some undos first drops the states that could have
// been redone; an 11th state drops the oldest.

#include "graphics/bitmap32.h"

#include <vector>

class TBitmap32History {
public:
    static constexpr int MaxStates = 10;

    // Stores a copy of the picture as the newest state, which becomes the shown one.
    void Add(const TBitmap32& picture);
    bool CanUndo() const;
    bool CanRedo() const;
    // Step back or forward one state and return it, or nullptr when there is none. The state
    // stays the history's: the caller copies it.
    const TBitmap32* Undo();
    const TBitmap32* Redo();
    // Frees every state.
    void Clear();

    int Count() const { return int(FItems.size()); }
    // Position of the shown state; -1 while empty.
    int Index() const { return FIndex; }
    const TBitmap32& Item(int index) const { return FItems.at(std::size_t(index)); }

private:
    // Frees the states after position p (nothing when p is outside the list).
    void DeleteAfter(int p);
    // Frees the oldest state; the others move one place toward the front.
    void DropOldest();

    std::vector<TBitmap32> FItems;
    int FIndex = -1;
};
