#pragma once
// TSceneDetector: finds the cuts of an edited video in its decoded pictures, one picture at a
// time in order. Each picture is shrunk to a small grey picture; its change from the one
// before is the mean difference of their pixels (in percent of full white). A cut is a change
// that stands out from the change of the picture before, so that steady motion (a pan, a
// zoom) does not count while a jump to another view does: the score is the smaller of the
// change and its growth over the change before, as a scene filter commonly measures it.
//
// One object per pass; not shared between threads.

#include "codecs/ffmpeg_handles.h"

#include <cstdint>
#include <vector>

namespace fcvideo {

class TSceneDetector {
public:
    // The score (percent) at and above which a picture starts a new shot, for a sensitivity
    // of 1 (only hard cuts between very different views) to 100 (small changes too).
    static double ThresholdFor(int sensitivity);

    // The score of the picture against the one before (0 for the first); 0..100.
    double Score(const AVFrame& picture);
    void Reset();

private:
    static constexpr int Width = 64, Height = 36;
    TSwsPtr FSws;
    std::vector<std::uint8_t> FLast, FNow;
    bool FHaveLast = false;
    double FLastChange = 0;
};

} // namespace fcvideo
