#pragma once
// The smaller-file form of the animated GIF: the picture a viewer shows after each frame, and
// the step that keeps of a new frame only what differs from it. A pixel stays as it is shown
// when that is as near to the source frame as the frame's own dithered colour, or a little
// further within a budget of the frame's own error; the frame is cut to the rectangle of the
// pixels that change. Every frame is judged against its own source, never against the frame
// before, so small differences never add up.

#include <QImage>

#include <cstdint>
#include <vector>

namespace codecs {

struct TGifFrame;

// How much more error against its source than its own colours a frame may show for the
// pixels it keeps: a twentieth (0.2 dB), each pixel at most MaxKeptExtra (in squared RGB
// distance, about four levels a channel) further from the source than its own colour.
constexpr double KeptErrorShare = 0.05;
constexpr int MaxKeptExtra = 48;
// A frame that would keep fewer of its pixels goes in whole: transparent pixels scattered
// among changing ones cost more bytes than they save.
constexpr double MinKeptShare = 0.4;

class TGifCanvas {
public:
    // Turns the full prepared frame (palette of at most 255 entries in colour mode, the grey
    // levels in grey mode; pixels the size of the source) into the part that goes into the
    // file, and updates what is shown. The first frame is kept whole and opaque. Every frame
    // gets disposal 1 (do not dispose). Frames must come in order.
    void Apply(const QImage& source, TGifFrame& frame, bool grey);

private:
    int FWidth = 0, FHeight = 0;
    std::vector<std::uint8_t> FShown; // R, G, B a pixel
};

} // namespace codecs
