#include "codecs/gif_estimate.h"

#include "codecs/codec_io.h"

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
// A pixel changed from one frame to the next: about ten levels a channel, above the noise of
// a camera's compressed video.
constexpr int ChangedDistance2 = 300;
// How many frames of the rest of the clip are compared with the frame before them.
constexpr int ComparedFrames = 96;

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
// The share of the pixels (of a grid of about 16,000) that differ between two frames by more
// than their noise: near 0 on a still picture, near 1 when the picture moved.
double ChangeShare(const QImage& a, const QImage& b) {
    if (a.isNull() || b.isNull() || a.size() != b.size())
        return 1.0;
    TRgbRows ra(a), rb(b);
    const int w = a.width(), h = a.height();
    const int step = std::max(1, int(std::sqrt(double(w) * h / 16384.0)));
    std::int64_t changed = 0, all = 0;
    for (int y = 0; y < h; y += step) {
        const std::uint8_t* p = ra.Row(y);
        const std::uint8_t* q = rb.Row(y);
        for (int x = 0; x < w; x += step) {
            const int dr = int(p[3 * x]) - q[3 * x], dg = int(p[3 * x + 1]) - q[3 * x + 1],
                      db = int(p[3 * x + 2]) - q[3 * x + 2];
            changed += dr * dr + dg * dg + db * db > ChangedDistance2;
            ++all;
        }
    }
    return double(changed) / double(std::max<std::int64_t>(1, all));
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
    // A cut frame's bytes follow how much of the picture changed since the frame before:
    // whole when a shaking hand moved it all, a few rows when little moved. The sample gives
    // the bytes for a change (a line through its runs' frames), and the change of frames
    // spread over the whole clip, cheap to measure, how often each comes.
    const bool regress = settings.Smaller && int(positions.size()) < n && !l.Starts.empty();
    std::vector<double> change(positions.size(), 0.0);
    TAnimatedGif gif(settings, threads);
    QImage previous;
    for (std::size_t i = 0; i < positions.size(); ++i) {
        if (cancel && cancel->load())
            return -1;
        QImage picture = frame(positions[i]);
        if (regress && i > 0 && positions[i] == positions[i - 1] + 1)
            change[i] = ChangeShare(previous, picture);
        gif.AddFrame(picture);
        previous = std::move(picture);
    }
    gif.Finish();
    if (int(positions.size()) >= n)
        return gif.Size();
    std::int64_t opening = 0, later = 0;
    for (int i = 0; i < l.Opening; ++i)
        opening += gif.FrameSize(i);
    int laterCount = 0;
    double sm = 0, ss = 0, smm = 0, sms = 0, lo = 1e18, hi = 0;
    for (std::size_t k = 0; k < l.Starts.size(); ++k)
        for (int j = 1; j < l.Run; ++j) {
            const int i = l.Opening + int(k) * l.Run + j;
            const double size = double(gif.FrameSize(i)), m = change[std::size_t(i)];
            later += gif.FrameSize(i);
            ++laterCount;
            sm += m;
            ss += size;
            smm += m * m;
            sms += m * size;
            lo = std::min(lo, size);
            hi = std::max(hi, size);
        }
    if (laterCount == 0) {
        for (int i = 1; i < l.Opening; ++i)
            later += gif.FrameSize(i);
        laterCount = l.Opening - 1;
        if (laterCount == 0)
            return FixedBytes + opening * n;
        return FixedBytes + gif.FrameSize(0) + later * (n - 1) / laterCount;
    }
    const double c = double(laterCount);
    const double varM = smm / c - (sm / c) * (sm / c);
    if (!regress || varM < 1e-4)
        return FixedBytes + opening + later * (n - l.Opening) / laterCount;
    const double b = (sms / c - (sm / c) * (ss / c)) / varM, a = ss / c - b * sm / c;
    const int rest = n - l.Opening;
    const int pairs = std::min(rest, ComparedFrames);
    double predicted = 0;
    int last = -2;
    for (int i = 0; i < pairs; ++i) {
        if (cancel && cancel->load())
            return -1;
        const int k = l.Opening + int((2 * std::int64_t(i) + 1) * rest / (2 * pairs));
        if (k != last + 1)
            previous = frame(k - 1);
        QImage picture = frame(k);
        predicted += std::clamp(a + b * ChangeShare(previous, picture), lo, hi);
        previous = std::move(picture);
        last = k;
    }
    return FixedBytes + opening + std::int64_t(predicted * rest / pairs + 0.5);
}

} // namespace codecs
