#pragma once
// Rectangles of the image view's layers: left, top, right and bottom as single-precision
// numbers in view coordinates, and the one rounding the editor uses to turn them into pixels.

#include <QRect>

#include <cmath>

// The integer nearest to v, a value exactly halfway between two integers going to the even
// one (2.5 -> 2, 3.5 -> 4, -0.5 -> 0).
inline int Nearest(double v) {
    const double r = std::nearbyint(v); // the default rounding mode rounds halves to even
    return int(r);
}

struct TFloatRect {
    float Left = 0;
    float Top = 0;
    float Right = 0;
    float Bottom = 0;

    float Width() const { return Right - Left; }
    float Height() const { return Bottom - Top; }
    // The pixels the rectangle covers: each edge taken to the nearest integer, right and
    // bottom exclusive.
    QRect Pixels() const {
        const int l = Nearest(Left), t = Nearest(Top);
        return QRect(l, t, Nearest(Right) - l, Nearest(Bottom) - t);
    }
    bool operator==(const TFloatRect&) const = default;
};

inline TFloatRect FloatRect(float left, float top, float right, float bottom) {
    return TFloatRect{left, top, right, bottom};
}
inline TFloatRect FloatRect(const QRect& r) {
    return TFloatRect{float(r.left()), float(r.top()), float(r.left() + r.width()),
                      float(r.top() + r.height())};
}
