#include "codecs/gif_estimate.h"

#include <algorithm>
#include <cmath>

namespace codecs {

namespace {
constexpr int FixedBytes = 13 + 1; // header and logical screen, trailer
// The sample: as many frames as make SamplePixels, within MinSample .. MaxSample; the first
// OpeningFrames of the clip, then runs of RunLength neighbours.
constexpr std::int64_t SamplePixels = 12'000'000;
constexpr int MinSample = 16;
constexpr int MaxSample = 48;
constexpr int OpeningFrames = 4;
constexpr int RunLength = 4;

// The sample of count frames out of n.
struct TLayout {
    int Opening = 0;         // frames 0 .. Opening - 1
    int Run = 0;             // the length of every later run
    std::vector<int> Starts; // where the later runs start
};

TLayout Layout(int n, int count) {
    TLayout l;
    if (n <= count) {
        l.Opening = n;
        return l;
    }
    l.Opening = std::max(1, std::min(count, OpeningFrames));
    l.Run = std::min(RunLength, count - l.Opening);
    if (l.Run < 2) {
        l.Opening = count;
        l.Run = 0;
        return l;
    }
    const int runs = (count - l.Opening) / l.Run;
    l.Opening = count - runs * l.Run;
    const int rest = n - l.Opening;
    for (int k = 0; k < runs; ++k) {
        const int from = int(std::int64_t(k) * rest / runs);
        const int length = int(std::int64_t(k + 1) * rest / runs) - from;
        const double phase = std::fmod(0.5 + 0.6180339887 * k, 1.0);
        l.Starts.push_back(l.Opening + from + int(phase * (length - l.Run)));
    }
    return l;
}
} // namespace

std::vector<int> GifEstimateSample(int n, const TGifSettings& settings, int most) {
    if (most <= 0)
        most = int(std::clamp<std::int64_t>(
            SamplePixels /
                std::max<std::int64_t>(1, std::int64_t(settings.Width) * settings.Height),
            MinSample, MaxSample));
    const TLayout l = Layout(n, most);
    std::vector<int> positions;
    for (int i = 0; i < l.Opening; ++i)
        positions.push_back(i);
    for (const int start : l.Starts)
        for (int k = 0; k < l.Run; ++k)
            positions.push_back(start + k);
    return positions;
}

std::int64_t EstimateGifSize(int n, const std::vector<int>& positions, const TGifFrameReader& frame,
                             const TGifSettings& settings, const std::atomic<bool>* cancel,
                             int threads) {
    if (n <= 0 || positions.empty())
        return 0;
    const TLayout l = Layout(n, int(positions.size()));
    TAnimatedGif gif(settings, threads);
    for (const int p : positions) {
        if (cancel && cancel->load())
            return -1;
        gif.AddFrame(frame(p));
    }
    gif.Finish();
    if (int(positions.size()) >= n)
        return gif.Size();
    std::int64_t opening = 0, later = 0;
    for (int i = 0; i < l.Opening; ++i)
        opening += gif.FrameSize(i);
    int laterCount = 0;
    for (std::size_t k = 0; k < l.Starts.size(); ++k)
        for (int j = 1; j < l.Run; ++j) {
            later += gif.FrameSize(l.Opening + int(k) * l.Run + j);
            ++laterCount;
        }
    if (laterCount == 0) {
        for (int i = 1; i < l.Opening; ++i)
            later += gif.FrameSize(i);
        laterCount = l.Opening - 1;
        if (laterCount == 0)
            return FixedBytes + opening * n;
        return FixedBytes + gif.FrameSize(0) + later * (n - 1) / laterCount;
    }
    return FixedBytes + opening + later * (n - l.Opening) / laterCount;
}

} // namespace codecs
