#pragma once
// Palettes chosen by libimagequant, for the GIF's best-quality colour mode.

#include <QImage>
#include <QRgb>

#include <vector>

namespace codecs {

// Up to maxColors (2 to 256) opaque colours for the picture. With skipKey, the pixels exactly
// of the colour key (alpha ignored) take no part in the choice. Deterministic: the same
// picture gives the same palette on any thread. Throws std::bad_alloc when the library runs
// out of memory and kw::EFcError for any other failure.
std::vector<QRgb> BestPalette(const QImage& image, int maxColors, bool skipKey = false,
                              QRgb key = 0);
// Up to maxColors (2 to 256) opaque colours for the picture, chosen from every second pixel
// of every second row: on camera pictures as good as from all of them, in little more than
// half the time. Deterministic as BestPalette.
std::vector<QRgb> BestSampledPalette(const QImage& image, int maxColors);

} // namespace codecs
