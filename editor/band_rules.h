#pragma once
// How the crop and resize bands follow a drag: the modifier keys and, for the crop, the
// picture's edges. The bands call BandResizing before every change with the rectangle at the
// start of the drag and the one the drag proposes, which it adjusts in place.

#include "graphics/float_rect.h"
#include "graphics/rubberband_layer.h"

#include <QRect>

// The three steps, in this order, each on what the one before left:
// 1. Ctrl: the rectangle keeps the centre of start; the dragged handles set the half-width and
//    half-height (at least 2); a move changes nothing.
// 2. Shift: the rectangle keeps the proportions of start; an edge drag sets the other side,
//    at a corner the height leads; a move is not changed.
// 3. keepOn (the picture's area, for the crop band; null for the resize band): each edge that
//    reaches past the area's edge is set onto it, and a moved rectangle keeps its size, so
//    that it slides along the edge.
void BandResizing(const TFloatRect& start, TFloatRect& proposed, TDragState state,
                  Qt::KeyboardModifiers keys, const QRect* keepOn);
