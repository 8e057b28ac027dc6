#pragma once
// The expected size of an animated GIF, from encoding a few of its frames: quick enough to
// run in the background of the GIF window after every change of its settings.

#include "codecs/gif_codec.h"

#include <QImage>

#include <atomic>
#include <cstdint>
#include <functional>
#include <vector>

namespace codecs {

// The positions (0 .. n - 1) of the frames that EstimateGifSize encodes, in order: as many
// as make about twelve million pixels at the GIF's size, 16 to 48 (most, when above 0,
// instead), all of them when there are no more. Else the first 4 frames of the clip, then
// runs of 4 neighbours, one in each equal part of the rest, placed in its part by the golden
// ratio so that the runs do not all fall on one beat of something that repeats (a shaking
// hand). A frame of a smaller file depends on the frames before it: it keeps what they show.
std::vector<int> GifEstimateSample(int n, const TGifSettings& settings, int most = 0);

// The picture of frame position (0 .. n - 1), read when the estimate needs it.
using TGifFrameReader = std::function<QImage(int position)>;

// The expected file size of the n frames, from one GIF of the frames at positions (those of
// GifEstimateSample, read one after another): exact when they are all the frames; otherwise
// the file's fixed bytes, the opening frames as they are, and the rest of the clip as the
// mean of the runs' frames after their first (which follows a frame far before it). The same
// frames in every mode, so that a change of the settings moves the estimate as it moves the
// file. For a smaller file the runs' frames give the bytes for how much of the picture
// changed since the frame before, and up to 96 frames spread over the rest of the clip
// (read with the frame before them) how often each change comes. -1 when cancel was set
// meanwhile. Throws as TAnimatedGif does. threads as for
// TAnimatedGif (0: all cores).
std::int64_t EstimateGifSize(int n, const std::vector<int>& positions, const TGifFrameReader& frame,
                             const TGifSettings& settings,
                             const std::atomic<bool>* cancel = nullptr, int threads = 0);

} // namespace codecs
