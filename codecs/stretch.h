#pragma once
// The plain stretch of the outputs: pixels are dropped or repeated, never blended.

#include <QImage>
#include <QRect>

namespace codecs {

// Destination column x takes source column ((2x + 1) * srcWidth) div (2 * dstWidth), the
// source pixel under the centre of the destination pixel; rows likewise.

// src stretched to width x height, ignoring proportions, as a Format_RGB888 picture (the
// working bitmap of the animated GIF). A null picture for a width or height below 1.
QImage StretchNearest(const QImage& src, int width, int height);

// Stretches all of src into rect of dst (Format_RGB888, Format_RGB32 or Format_ARGB32; a
// 32-bit target gets opaque pixels). Parts of rect outside dst are clipped away.
void StretchNearestInto(const QImage& src, QImage& dst, const QRect& rect);

} // namespace codecs
