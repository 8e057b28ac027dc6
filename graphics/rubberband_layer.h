#pragma once
// The rubber band: a rectangle the user drags over the image view. It is drawn as a dashed
// outline (white, white, black, black along the edge) with eight 7 x 7 handles (white, black
// edge) at the corners and edge midpoints. Dragging inside moves it; dragging a handle moves
// that handle's edges, never closer than 10 pixels to the opposite edge. Before each change a
// resizing callback sees the rectangle at the start of the drag and the proposed one, which it
// may change; after each step a plain notification follows. A child layer, when set, is kept
// on the band's rectangle.

#include "graphics/layers.h"

#include <functional>

enum class TDragState {
    None,
    Move,
    Left,
    Top,
    Right,
    Bottom,
    TopLeft,
    TopRight,
    BottomLeft,
    BottomRight
};

class TRubberbandLayer : public TPositionedLayer {
public:
    static constexpr int HandleSize = 7;
    static constexpr float MinSize = 10;

    // start: the rectangle when the drag began; proposed: the rectangle the drag asks for
    // (already kept to the 10-pixel minimum), changed in place by the callback.
    using TResizingEvent = std::function<void(const TFloatRect& start, TFloatRect& proposed,
                                              TDragState state, Qt::KeyboardModifiers keys)>;

    explicit TRubberbandLayer(TImage32* view);

    TResizingEvent OnResizing;
    std::function<void()> OnDragged;

    TPositionedLayer* ChildLayer() const { return FChild; }
    // The child takes the band's rectangle now and on every change.
    void SetChildLayer(TPositionedLayer* child);
    void SetLocation(const TFloatRect& location) override;

    // The part of the band under a point: a handle, inside (Move) or None.
    TDragState StateAt(QPointF p) const;
    // The drag under way (None between drags).
    TDragState DragState() const { return FDragState; }

    QRegion PaintRegion() const override;
    void Paint(QImage& buffer, const QRect& clip) override;
    bool HitTest(QPointF p) const override { return StateAt(p) != TDragState::None; }
    void MouseDown(QPointF p, Qt::KeyboardModifiers keys) override;
    void MouseMove(QPointF p, Qt::KeyboardModifiers keys) override;
    void MouseUp(QPointF p, Qt::KeyboardModifiers keys) override;
    Qt::CursorShape CursorAt(QPointF p) const override;

private:
    TPositionedLayer* FChild = nullptr;
    TDragState FDragState = TDragState::None;
    TFloatRect FDragStart;
    QPointF FDragOrigin;
};
