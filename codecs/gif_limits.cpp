#include "codecs/gif_limits.h"

#include "common/kw_guard.h"
#include "common/kw_memory.h"

#include <climits>

namespace codecs {

namespace {

qint64 Pixels(const TGifSettings& s) {
    return qint64(std::max(s.Width, 0)) * qint64(std::max(s.Height, 0));
}

} // namespace

qint64 GifWorkingBytes(const TGifSettings& s, int workers) {
    // Per pixel and worker: 3 (the stretched RGB picture) + 1 (the indices) + 2 x 1.5 (the
    // compressed frame, whose codes may take half as much again as the indices); the best
    // colour choice adds its RGBA copy, a smaller file the cut's change map, its error terms and
    // the cut itself (1 + 4 + 1), and one shared RGB canvas of what the viewer shows.
    qint64 perPixel = 7;
    if (s.Quality == TGifQuality::Best && !s.Gray)
        perPixel += 4;
    if (s.Smaller)
        perPixel += 6;
    return qint64(std::max(workers, 1)) * Pixels(s) * perPixel + (s.Smaller ? 3 * Pixels(s) : 0);
}

bool GifSizeWritable(const TGifSettings& s) {
    return s.Width >= 1 && s.Height >= 1 && s.Width <= GifMaxSide && s.Height <= GifMaxSide &&
           Pixels(s) <= INT_MAX;
}

void CheckGifLimits(const TGifSettings& s, int workers) {
    if (s.Width < 1 || s.Height < 1 || s.Width > GifMaxSide || s.Height > GifMaxSide)
        throw kw::EFcError(QStringLiteral("The GIF width and height must be 1 to 65535 pixels"));
    if (Pixels(s) > INT_MAX)
        throw kw::EFcError(QStringLiteral("A GIF frame of %1 x %2 pixels is too large: a frame "
                                          "can hold at most %3 pixels")
                               .arg(s.Width)
                               .arg(s.Height)
                               .arg(INT_MAX));
    kw::NeedMemory(GifWorkingBytes(s, workers), QStringLiteral("an animated GIF"),
                   QSize(s.Width, s.Height));
}

int GifWorkersThatFit(const TGifSettings& s, int workers, qint64 besides) {
    for (int n = std::max(workers, 1); n >= 1; --n)
        if (kw::RoomForFrame(GifWorkingBytes(s, n) + besides))
            return n;
    return 0;
}

} // namespace codecs
