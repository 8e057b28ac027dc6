#include "editor/bitmap32_history.h"

void TBitmap32History::Add(const TBitmap32& picture) {
    if (FIndex != Count() - 1)
        DeleteAfter(FIndex);
    if (Count() >= MaxStates)
        DropOldest();
    FItems.push_back(picture);
    FIndex = Count() - 1;
}

bool TBitmap32History::CanUndo() const {
    return Count() >= 2 && FIndex >= 1;
}

bool TBitmap32History::CanRedo() const {
    return Count() >= 2 && FIndex < Count() - 1;
}

const TBitmap32* TBitmap32History::Undo() {
    if (!CanUndo())
        return nullptr;
    --FIndex;
    return &FItems[std::size_t(FIndex)];
}

const TBitmap32* TBitmap32History::Redo() {
    if (!CanRedo())
        return nullptr;
    ++FIndex;
    return &FItems[std::size_t(FIndex)];
}

void TBitmap32History::Clear() {
    FItems.clear();
    FIndex = -1;
}

void TBitmap32History::DeleteAfter(int p) {
    if (p < 0 || p >= Count())
        return;
    FItems.erase(FItems.begin() + p + 1, FItems.end());
}

void TBitmap32History::DropOldest() {
    if (FItems.empty())
        return;
    FItems.erase(FItems.begin());
    if (FIndex > 0)
        --FIndex;
}
