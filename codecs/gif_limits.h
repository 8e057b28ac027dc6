#pragma once
// What an animated GIF can be, checked before any frame is made: each side 1 to 65535 pixels
// (the file's 16-bit fields), at most 2147483647 pixels a frame (giflib takes a frame's pixels
// with an int length), and the working memory of its workers, all asked of the one memory
// budget at once, so that a size typed into the GIF window is refused with a message instead
// of taking the memory until the system kills the program.

#include "codecs/gif_codec.h"

#include <QtGlobal>

namespace codecs {

constexpr int GifMaxSide = 65535;

// The bytes the encoder takes at once for frames of the settings' size: each worker's
// stretched picture, its colour indices and its compressed frame (twice: the worker's buffer
// and the frame kept for the file), for the best colour choice also its RGBA copy, and for a
// smaller file the buffers of the cut and the one shared canvas of what the viewer shows.
qint64 GifWorkingBytes(const TGifSettings& settings, int workers);

// Throws kw::EFcError naming the size for a side outside 1..65535 or a frame of more pixels
// than giflib can write, and kw::EMemoryRefused when the workers' memory would not leave the
// budget's margin free.
void CheckGifLimits(const TGifSettings& settings, int workers);

// True when the sides and the pixels of a frame are within the file's and giflib's limits.
bool GifSizeWritable(const TGifSettings& settings);

// The most workers, up to `workers`, whose memory the budget allows now together with
// `besides` bytes more; 0 when not even one fits.
int GifWorkersThatFit(const TGifSettings& settings, int workers, qint64 besides = 0);

} // namespace codecs
