#pragma once
// The mapping of the best-quality GIF colours: nearest colours, then an error diffusion that
// dithers only where the picture is smooth.

#include "codecs/palette_map.h"

#include <QImage>
#include <QRgb>

#include <cstdint>
#include <vector>

namespace codecs {

// The nearest palette entry of every pixel (as MapNearest), and their mean squared RGB error,
// which tells how well the palette fits the picture.
double MapNearestMeasured(const QImage& image, const std::vector<QRgb>& palette,
                          TIndexedPicture& out);

// Moves every entry to the mean of the pixels mapped to it (one step of k-means), which fits
// the palette to the whole picture after it was chosen from a sample.
void RefineToMeans(const QImage& image, std::vector<QRgb>& palette, const TIndexedPicture& map);

// Floyd-Steinberg over pixels already mapped to their nearest entries (by MapNearestMeasured,
// in out): rows alternately left to right (the first) and right to left, sixteenths of the
// error 7, 3, 5, 1. With adaptive, the error a pixel passes on is scaled by how flat its
// neighbourhood is in the nearest mapping: full inside an area of one colour, where a band
// would show, nothing where the nearest colours already vary (edges, texture, noise), which
// dither by themselves.
void DiffuseFromNearest(const QImage& image, const std::vector<QRgb>& palette, bool adaptive,
                        TIndexedPicture& out);

} // namespace codecs
