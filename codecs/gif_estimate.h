#pragma once
// The expected size of an animated GIF, from encoding a few of its frames: quick enough to
// run in the background of the GIF window after every change of its settings.

#include "codecs/gif_codec.h"

#include <QImage>

#include <atomic>
#include <cstdint>
#include <vector>

namespace codecs {

// The positions (0 .. n - 1) of the frames that EstimateGifSize encodes, at most 8: spread
// evenly, or for a smaller file one run of neighbours in the middle (a cut frame depends on
// the ones before it). All of them when there are at most 8 frames.
std::vector<int> GifEstimateSample(int n, bool smaller);

// The expected file size of the n frames, given the pictures at the positions of
// GifEstimateSample in that order: exact when they are all the frames; otherwise the file's
// fixed bytes plus the mean frame (for a smaller file: one whole first frame and n - 1 times
// the mean of the later cut frames of the run). -1 when cancel was set meanwhile. Throws as
// TAnimatedGif does. threads as for TAnimatedGif (0: all cores).
std::int64_t EstimateGifSize(int n, const std::vector<QImage>& sample, const TGifSettings& settings,
                             const std::atomic<bool>* cancel = nullptr, int threads = 0);

} // namespace codecs
