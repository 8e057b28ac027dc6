#pragma once
// Nearest-neighbour stretching, the program's one picture scaler: pixels are dropped or
// repeated, never averaged. The outputs use the opaque forms; the editor's picture layers also
// draw blended at a master opacity.

#include <QImage>
#include <QRect>

namespace graphics {

// Destination column x takes source column ((2x + 1) * srcWidth) div (2 * dstWidth), the
// source pixel under the centre of the destination pixel; rows likewise.

// src stretched to width x height, ignoring proportions, as a Format_RGB888 picture (the
// working bitmap of the animated GIF). A null picture for a width or height below 1.
QImage StretchNearest(const QImage& src, int width, int height);

// Stretches all of src into rect of dst (Format_RGB888, Format_RGB32 or Format_ARGB32; a
// 32-bit target gets opaque pixels). Only the part of rect inside dst, and inside clip when
// clip is not null, is written.
void StretchNearestInto(const QImage& src, QImage& dst, const QRect& rect,
                        const QRect& clip = QRect());

// The same stretch blended over a 32-bit dst (Format_RGB32 or Format_ARGB32): with
// a = source alpha x masterAlpha / 255 (rounded), each of red, green and blue becomes
// (src x a + dst x (255 - a)) / 255 rounded to nearest, i.e. dst + (src - dst) x a / 255.
// dst keeps its alpha byte. masterAlpha is held to 0..255.
void StretchNearestBlend(const QImage& src, QImage& dst, const QRect& rect, int masterAlpha,
                         const QRect& clip = QRect());

// (x + 127) / 255 for x in 0..255 * 255: a product of two 0..255 values scaled back, rounded.
inline int Div255(int x) {
    return (x + 127) / 255;
}

} // namespace graphics
