#include "graphics/rubberband_layer.h"

#include <QPoint>

#include <array>
#include <cmath>

namespace {

constexpr int Half = TRubberbandLayer::HandleSize / 2;

// The eight handles' centre pixels of an outline whose pixels are r.
struct THandle {
    TDragState State;
    QPoint Centre;
};

std::array<THandle, 8> Handles(const QRect& r) {
    const int l = r.left(), t = r.top(), rr = r.right(), b = r.bottom();
    const int mx = l + (r.width() - 1) / 2, my = t + (r.height() - 1) / 2;
    // Corners first: where handles overlap on a small band, the corner wins.
    return {{{TDragState::TopLeft, {l, t}},
             {TDragState::TopRight, {rr, t}},
             {TDragState::BottomLeft, {l, b}},
             {TDragState::BottomRight, {rr, b}},
             {TDragState::Left, {l, my}},
             {TDragState::Top, {mx, t}},
             {TDragState::Right, {rr, my}},
             {TDragState::Bottom, {mx, b}}}};
}

QRect HandleRect(QPoint centre) {
    return QRect(centre.x() - Half, centre.y() - Half, TRubberbandLayer::HandleSize,
                 TRubberbandLayer::HandleSize);
}

bool MovesLeft(TDragState s) {
    return s == TDragState::Left || s == TDragState::TopLeft || s == TDragState::BottomLeft;
}
bool MovesRight(TDragState s) {
    return s == TDragState::Right || s == TDragState::TopRight || s == TDragState::BottomRight;
}
bool MovesTop(TDragState s) {
    return s == TDragState::Top || s == TDragState::TopLeft || s == TDragState::TopRight;
}
bool MovesBottom(TDragState s) {
    return s == TDragState::Bottom || s == TDragState::BottomLeft || s == TDragState::BottomRight;
}

} // namespace

TRubberbandLayer::TRubberbandLayer(TImage32* view) : TPositionedLayer(view) {}

void TRubberbandLayer::SetChildLayer(TPositionedLayer* child) {
    FChild = child;
    if (FChild)
        FChild->SetLocation(FLocation);
}

void TRubberbandLayer::SetLocation(const TFloatRect& location) {
    if (FChild)
        FChild->SetLocation(location);
    TPositionedLayer::SetLocation(location);
}

TDragState TRubberbandLayer::StateAt(QPointF p) const {
    const QRect r = FLocation.Pixels();
    if (r.isEmpty())
        return TDragState::None;
    const QPoint pixel(int(std::floor(p.x())), int(std::floor(p.y())));
    for (const THandle& h : Handles(r))
        if (HandleRect(h.Centre).contains(pixel))
            return h.State;
    return r.contains(pixel) ? TDragState::Move : TDragState::None;
}

QRegion TRubberbandLayer::PaintRegion() const {
    const QRect r = FLocation.Pixels();
    if (r.isEmpty())
        return {};
    // The outline's pixels with the handles over them: four strips one handle thick.
    const int w = r.width() + 2 * Half, h = r.height() + 2 * Half;
    QRegion region(r.left() - Half, r.top() - Half, w, HandleSize);
    region += QRect(r.left() - Half, r.bottom() - Half, w, HandleSize);
    region += QRect(r.left() - Half, r.top() - Half, HandleSize, h);
    region += QRect(r.right() - Half, r.top() - Half, HandleSize, h);
    return region;
}

void TRubberbandLayer::Paint(QImage& buffer, const QRect& clip) {
    const QRect r = FLocation.Pixels();
    const QRect area = clip.intersected(buffer.rect());
    if (r.isEmpty() || area.isEmpty())
        return;
    // The dash runs along x + y, so it marches the same way on every edge.
    static constexpr QRgb Dash[4] = {0xFFFFFFFFu, 0xFFFFFFFFu, 0xFF000000u, 0xFF000000u};
    auto plot = [&](int x, int y, QRgb c) {
        if (area.contains(x, y))
            reinterpret_cast<QRgb*>(buffer.scanLine(y))[x] = c;
    };
    for (int x = std::max(r.left(), area.left()); x <= std::min(r.right(), area.right()); ++x) {
        plot(x, r.top(), Dash[(x + r.top()) & 3]);
        plot(x, r.bottom(), Dash[(x + r.bottom()) & 3]);
    }
    for (int y = std::max(r.top(), area.top()); y <= std::min(r.bottom(), area.bottom()); ++y) {
        plot(r.left(), y, Dash[(r.left() + y) & 3]);
        plot(r.right(), y, Dash[(r.right() + y) & 3]);
    }
    for (const THandle& h : Handles(r)) {
        const QRect hr = HandleRect(h.Centre);
        const QRect part = hr.intersected(area);
        for (int y = part.top(); y <= part.bottom(); ++y) {
            QRgb* line = reinterpret_cast<QRgb*>(buffer.scanLine(y));
            for (int x = part.left(); x <= part.right(); ++x) {
                const bool edge =
                    x == hr.left() || x == hr.right() || y == hr.top() || y == hr.bottom();
                line[x] = edge ? 0xFF000000u : 0xFFFFFFFFu;
            }
        }
    }
}

void TRubberbandLayer::MouseDown(QPointF p, Qt::KeyboardModifiers) {
    FDragState = StateAt(p);
    FDragStart = FLocation;
    FDragOrigin = p;
}

void TRubberbandLayer::MouseMove(QPointF p, Qt::KeyboardModifiers keys) {
    if (FDragState == TDragState::None)
        return;
    const float dx = float(p.x() - FDragOrigin.x());
    const float dy = float(p.y() - FDragOrigin.y());
    const TFloatRect& s = FDragStart;
    TFloatRect n = s;
    if (FDragState == TDragState::Move) {
        n = FloatRect(s.Left + dx, s.Top + dy, s.Right + dx, s.Bottom + dy);
    } else {
        if (MovesLeft(FDragState))
            n.Left = std::min(s.Left + dx, s.Right - MinSize);
        if (MovesRight(FDragState))
            n.Right = std::max(s.Right + dx, s.Left + MinSize);
        if (MovesTop(FDragState))
            n.Top = std::min(s.Top + dy, s.Bottom - MinSize);
        if (MovesBottom(FDragState))
            n.Bottom = std::max(s.Bottom + dy, s.Top + MinSize);
    }
    if (OnResizing)
        OnResizing(s, n, FDragState, keys);
    SetLocation(n);
    if (OnDragged)
        OnDragged();
}

void TRubberbandLayer::MouseUp(QPointF, Qt::KeyboardModifiers) {
    FDragState = TDragState::None;
}

Qt::CursorShape TRubberbandLayer::CursorAt(QPointF p) const {
    switch (StateAt(p)) {
    case TDragState::TopLeft:
    case TDragState::BottomRight:
        return Qt::SizeFDiagCursor;
    case TDragState::TopRight:
    case TDragState::BottomLeft:
        return Qt::SizeBDiagCursor;
    case TDragState::Left:
    case TDragState::Right:
        return Qt::SizeHorCursor;
    case TDragState::Top:
    case TDragState::Bottom:
        return Qt::SizeVerCursor;
    case TDragState::Move:
        return Qt::SizeAllCursor;
    case TDragState::None:
        break;
    }
    return Qt::ArrowCursor;
}
