#pragma once
// The smaller-file form of the animated GIF: the picture a viewer shows after each frame, and
// the step that keeps of a new frame only what differs from it. A pixel whose colour is
// within a small tolerance of what the viewer shows (or nearer to it than the frame's own
// dithered colour) becomes transparent, so the viewer keeps what it has; the frame is cut to
// the rectangle of the pixels that stay. The comparison is always against what is shown,
// not against the previous source frame, so small differences never add up.

#include <QImage>

#include <cstdint>
#include <vector>

namespace codecs {

struct TGifFrame;

// The largest squared RGB distance between a source pixel and what the viewer shows at
// which the pixel is left as it is (about 4 levels a channel).
constexpr int UnchangedTolerance2 = 48;

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
