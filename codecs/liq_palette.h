#pragma once
// Palettes chosen by libimagequant, for the GIF's best-quality colour mode: the library picks
// the colours, the codec's own Floyd-Steinberg ditherer places the pixels.

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

} // namespace codecs
