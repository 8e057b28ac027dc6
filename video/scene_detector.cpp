#include "video/scene_detector.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>

namespace fcvideo {

double TSceneDetector::ThresholdFor(int sensitivity) {
    // 1 -> 30 %, 50 -> 10.2 %, 100 -> 2 %: the middle is about what a cut between two
    // views of an edited video scores, while motion inside a shot stays well below it.
    const double s = std::clamp(sensitivity, 1, 100);
    return 30.0 * std::pow(2.0 / 30.0, (s - 1) / 99.0);
}

void TSceneDetector::Reset() {
    FHaveLast = false;
    FLastChange = 0;
}

double TSceneDetector::Score(const AVFrame& picture) {
    SwsContext* c = sws_getCachedContext(FSws.release(), picture.width, picture.height,
                                         AVPixelFormat(picture.format), Width, Height,
                                         AV_PIX_FMT_GRAY8, SWS_AREA, nullptr, nullptr, nullptr);
    FSws.reset(c);
    if (!c)
        return 0;
    // Rows of 64 bytes: the converter's own alignment, with room after the last one.
    FNow.resize(size_t(Width) * Height + 64);
    std::uint8_t* dst[4] = {FNow.data(), nullptr, nullptr, nullptr};
    int stride[4] = {Width, 0, 0, 0};
    sws_scale(c, picture.data, picture.linesize, 0, picture.height, dst, stride);
    double score = 0;
    if (FHaveLast) {
        std::int64_t sum = 0;
        for (int i = 0; i < Width * Height; ++i)
            sum += std::abs(int(FNow[size_t(i)]) - int(FLast[size_t(i)]));
        const double change = 100.0 * double(sum) / (255.0 * Width * Height);
        score = std::min(change, std::max(0.0, change - FLastChange));
        FLastChange = change;
    }
    std::swap(FLast, FNow);
    FHaveLast = true;
    return score;
}

} // namespace fcvideo
