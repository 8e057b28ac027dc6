#include "codecs/gif_estimate.h"

#include <algorithm>

namespace codecs {

namespace {
constexpr int SampleFrames = 8;
constexpr int RunLength = 8;
constexpr int LastingFrames = 2;   // the end of a run, measured on camera clips
constexpr int FixedBytes = 13 + 1; // header and logical screen, trailer
} // namespace

std::vector<int> GifEstimateSample(int n, bool smaller) {
    std::vector<int> positions;
    if (n <= SampleFrames) {
        for (int i = 0; i < n; ++i)
            positions.push_back(i);
    } else if (smaller) {
        // One run of neighbours in the middle.
        for (int k = 0; k < RunLength; ++k)
            positions.push_back(n / 2 - RunLength / 2 + k);
    } else {
        for (int k = 0; k < SampleFrames; ++k)
            positions.push_back(int((2 * std::int64_t(k) + 1) * n / (2 * SampleFrames)));
    }
    return positions;
}

std::int64_t EstimateGifSize(int n, const std::vector<QImage>& sample, const TGifSettings& settings,
                             const std::atomic<bool>* cancel, int threads) {
    if (n <= 0 || sample.empty())
        return 0;
    const bool exact = int(sample.size()) == n;
    const bool runs = settings.Smaller && !exact;
    const std::size_t runLength = runs ? RunLength : sample.size();
    std::int64_t firsts = 0, others = 0;
    int firstCount = 0, otherCount = 0;
    for (std::size_t start = 0; start < sample.size(); start += runLength) {
        TAnimatedGif gif(settings, threads);
        const std::size_t end = std::min(sample.size(), start + runLength);
        for (std::size_t i = start; i < end; ++i) {
            if (cancel && cancel->load())
                return -1;
            gif.AddFrame(sample[i]);
        }
        gif.Finish();
        if (exact)
            return gif.Size();
        for (int i = 0; i < gif.FrameCount(); ++i) {
            if (runs && i == 0) {
                firsts += gif.FrameSize(i);
                ++firstCount;
            } else if (!runs || i >= gif.FrameCount() - LastingFrames) {
                // A cut frame shrinks over the first few frames while more and more pixels
                // that stay close are shown: the end of the run is the lasting size. It is
                // never taken above the whole first frame, as the file cuts no frame that
                // would keep too little.
                others += runs ? std::min(gif.FrameSize(i), gif.FrameSize(0)) : gif.FrameSize(i);
                ++otherCount;
            }
        }
    }
    if (!runs)
        return FixedBytes + others * n / std::max(1, otherCount);
    return FixedBytes + firsts / std::max(1, firstCount) +
           others * (n - 1) / std::max(1, otherCount);
}

} // namespace codecs
