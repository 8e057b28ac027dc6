#include "editor/band_rules.h"

namespace {

bool Is(TDragState s, std::initializer_list<TDragState> states) {
    for (TDragState t : states)
        if (s == t)
            return true;
    return false;
}

using enum TDragState;

} // namespace

void BandResizing(const TFloatRect& s, TFloatRect& n, TDragState state, Qt::KeyboardModifiers keys,
                  const QRect* keepOn) {
    const float sw = s.Right - s.Left, sh = s.Bottom - s.Top;
    if (keys & Qt::ControlModifier) {
        const float cx = (s.Left + s.Right) / 2, cy = (s.Top + s.Bottom) / 2;
        float a = sw / 2, b = sh / 2;
        if (Is(state, {Left, TopLeft, BottomLeft}))
            a = cx - n.Left;
        if (Is(state, {Right, TopRight, BottomRight}))
            a = n.Right - cx;
        if (Is(state, {Top, TopLeft, TopRight}))
            b = cy - n.Top;
        if (Is(state, {Bottom, BottomLeft, BottomRight}))
            b = n.Bottom - cy;
        a = a < 2 ? 2 : a;
        b = b < 2 ? 2 : b;
        n = FloatRect(cx - a, cy - b, cx + a, cy + b);
    }
    if ((keys & Qt::ShiftModifier) && sw > 0 && sh > 0) {
        const float w = n.Right - n.Left, h = n.Bottom - n.Top;
        if (Is(state, {Left, Right}))
            n.Bottom = n.Top + sh * w / sw;
        else if (Is(state, {Top, Bottom}))
            n.Right = n.Left + sw * h / sh;
        else if (Is(state, {TopLeft, BottomLeft}))
            n.Left = n.Right - sw * h / sh;
        else if (Is(state, {TopRight, BottomRight}))
            n.Right = n.Left + sw * h / sh;
    }
    if (keepOn) {
        const float left = float(keepOn->left()), top = float(keepOn->top());
        const float right = left + float(keepOn->width());
        const float bottom = top + float(keepOn->height());
        const bool move = state == Move;
        if (n.Left <= left) {
            n.Left = left;
            if (move)
                n.Right = n.Left + sw;
        }
        if (n.Right >= right) {
            n.Right = right;
            if (move)
                n.Left = n.Right - sw;
        }
        if (n.Top <= top) {
            n.Top = top;
            if (move)
                n.Bottom = n.Top + sh;
        }
        if (n.Bottom >= bottom) {
            n.Bottom = bottom;
            if (move)
                n.Top = n.Bottom - sh;
        }
    }
}
