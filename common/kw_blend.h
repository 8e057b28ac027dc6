#pragma once
// BlendBitmap: the pixel-by-pixel blend with which an image watermark is stamped on frames.

#include <QImage>

#include <cstdint>

namespace kw {

// Blends src onto dst, src's top-left corner at (x, y), changing dst in place. For every
// source column i (outer loop) and row j (inner loop): a source pixel whose RGB equals key is
// skipped, unless key is 0 (black means "no key colour", so black pixels blend like all
// others); a pixel that falls outside dst is not written; otherwise each of red, green and
// blue becomes (alpha * src + (255 - alpha) * dst) div 256. The division by 256 is intended:
// alpha 255 puts white over black as 254.
//
// key is 0xRRGGBB; its top byte is ignored. alpha is held to 0..255. Both pictures may be
// 24-bit (Format_RGB888) or 32-bit (Format_RGB32, Format_ARGB32); the alpha byte of a 32-bit
// target is kept. A source of another format is read through a 32-bit copy; a target of
// another format is first converted in place to Format_ARGB32 or Format_RGB32.
void BlendBitmap(const QImage& src, QImage& dst, int x, int y, int alpha, std::uint32_t key);

} // namespace kw
