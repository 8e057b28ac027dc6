#pragma once
// GIF files: the single-picture GIF of the frame export and the animated GIF.

#include "codecs/gif_palette_chain.h"
#include "codecs/ordered_pool.h"
#include "codecs/palette_map.h"
#include "common/kw_stream.h"

#include <QByteArray>
#include <QImage>
#include <QRgb>
#include <QString>

#include <deque>
#include <functional>
#include <memory>
#include <vector>

namespace codecs {

class TGifCanvas;

// --- Single GIF ---------------------------------------------------------------------------

// The 256-entry palette of a single GIF: the 20 fixed colours, then the up to 236 colours of
// the octree quantiser (M = 236) in the order of its walk; places left over hold black, which
// entry 0 already is, so they never change the mapping.
std::vector<QRgb> SingleGifPalette(const QImage& image);
// The picture reduced to that palette (nearest entry, no dithering) as a GIF file with one
// global colour table, no transparency and no extensions.
QByteArray EncodeSingleGif(const QImage& image);
void SaveSingleGif(const QImage& image, const QString& path);

// --- Animated GIF -------------------------------------------------------------------------

// How the colours of a frame are chosen: the octree (exact and fast) dithered by
// Floyd-Steinberg, or libimagequant's palette (nearer colours, slower), shared by the alike
// frames of a shot and dithered only where the picture is smooth (see gif_dither.h).
enum class TGifQuality { Standard, Best };

struct TGifSettings {
    int Width = 1; // logical screen and every frame, 1 to 65535
    int Height = 1;
    int DelayMs = 150; // stored as DelayMs div 10, low 16 bits
    int Loops = 0;     // 0 endless, 1 no looping extension, n: stored as n - 1 (low 16 bits)
    bool Gray = false; // 256 grey levels without dithering instead of octree + dithering
    bool Transparent = false;
    QRgb TransparentColor = 0xFFC0C0C0;
    TGifQuality Quality = TGifQuality::Standard;
    // Pixels that did not change become transparent and each frame is cut to the rectangle
    // of what changed (see TGifCanvas); not with Transparent, which needs the transparent
    // entry for the page behind the picture.
    bool Smaller = false;
};

// The colours and pixels of one frame as they go into the file.
struct TGifFrame {
    std::vector<QRgb> Palette; // the real entries (before padding to a power of two)
    TIndexedPicture Pixels;    // settings.Width x settings.Height, or the cut of a smaller file
    int Left = 0, Top = 0;     // where the pixels go on the logical screen
    // 0 not specified, 1 do not dispose (smaller files), 2 restore to the background (frames
    // with transparent pixels, which then show the page behind them, not the frame before).
    int Disposal = 0;
    // The transparent flag: transparency is on and the frame has pixels of the colour.
    bool HasTransparent = false;
    // With the flag, the entry that only those pixels use; without it, the lowest entry equal
    // to the colour, else 0 (ignored by readers, kept so that files stay as they always were).
    int TransparentIndex = 0;
};

// Stretches the picture to Width x Height when it has another size (plain dropping and
// repeating of pixels), then applies the colour mode: grey levels, or the frame's own palette
// (octree with M = 256, or libimagequant's for TGifQuality::Best; 255 colours for a smaller
// file, which needs a spare entry) with Floyd-Steinberg error diffusion. The frame is whole
// and alone: TAnimatedGif shares best-quality palettes between frames and cuts the frames of
// a smaller file afterwards, in order. A null picture throws kw::EFcError.
// With transparency on, the pixels exactly of the transparent colour are set apart so that
// they, and only they, turn transparent: in colour mode the octree gets 255 places from the
// other pixels, the colour takes the entry after them, and the error diffusion leaves those
// pixels out; in grey mode they take their grey level's entry and the other pixels of that
// level the next level up (down from 255). A frame without such pixels is made exactly as
// without transparency.
TGifFrame PrepareGifFrame(const QImage& picture, const TGifSettings& settings);
// The same into a frame whose buffers are reused.
void PrepareGifFrame(const QImage& picture, const TGifSettings& settings, TGifFrame& into);

// An animated GIF built frame by frame:
//   GIF89a, a logical screen of Width x Height without a global colour table; per frame, in
//   the order added: on frame 0 only and only when Loops != 1 the NETSCAPE2.0 application
//   extension with the loop count, a graphic control extension (disposal 0, 1 for a smaller
//   file, 2 for a frame with transparent pixels; no user input; the transparent flag; the
//   delay; the transparent index),
//   the image descriptor (at (0, 0) and Width x Height, or the cut of a smaller file) with a
//   local colour table, the LZW data; then the trailer.
// Frames are quantised, dithered and compressed on worker threads and joined in order; the
// file does not depend on the number of threads. Two cheap steps run frame after frame (a
// worker whose frame reaches one waits until the frame before has passed it): the choice of
// the best-quality palette to share (TPaletteChain), and for a smaller file the cut between
// the dithering and the compression. A frame that fails passes both steps on its way out.
//
// Use from a long work's thread:
//   codecs::TAnimatedGif gif(settings);
//   gif.OnFrameDone = [&](int i) { job.Progress(i); job.CheckCancel(); };
//   for (const QImage& f : frames) gif.AddFrame(f);
//   gif.Finish();
//   gif.SaveToFile(path);
class TAnimatedGif {
public:
    // Throws as CheckGifLimits (gif_limits.h) does for the size and the workers' memory, and
    // kw::EFcError for Smaller together with Transparent. threads: 0 = all cores.
    explicit TAnimatedGif(const TGifSettings& settings, int threads = 0);
    ~TAnimatedGif();
    TAnimatedGif(const TAnimatedGif&) = delete;
    TAnimatedGif& operator=(const TAnimatedGif&) = delete;

    // Runs on the calling thread with the index of every finished frame, in order, from
    // inside AddFrame() and Finish().
    std::function<void(int index)> OnFrameDone;

    // Queues a frame (any size, any format; the picture is shared, not copied, so it must not
    // change until Finish()). May wait while enough frames are in work.
    void AddFrame(const QImage& picture);
    // Waits for every frame. An error of a frame (out of memory, ...) is thrown here or from
    // AddFrame().
    void Finish();

    int FrameCount() const { return int(FChunks.size()); }
    // The bytes of frame i in the file (with the looping extension on frame 0); after Finish().
    std::int64_t FrameSize(int i) const { return FChunks[std::size_t(i)].size(); }
    // The whole file; call after Finish().
    std::int64_t Size() const;
    QByteArray Bytes() const;
    void SaveToStream(kw::TMemoryStream& stream) const;
    void SaveToFile(const QString& path) const;

private:
    TGifSettings FSettings;
    QByteArray FHeader;             // signature and logical screen descriptor
    std::deque<QByteArray> FChunks; // per frame: extensions, descriptor, table, data
    std::unique_ptr<TOrderedPool> FPool;
    // Best quality: which key frame's palette each frame uses, decided frame after frame.
    void ChainedBestPalette(TFrameTurns::TTurn& turn, const QImage& image, int colours,
                            TGifFrame& frame);
    TFrameTurns FPaletteTurns;
    TPaletteChain FChain;
    // Smaller files: what the viewer shows; frames are cut into it in their order.
    std::unique_ptr<TGifCanvas> FCanvas;
    TFrameTurns FCutTurns;
};

// The stored values: loop count of the NETSCAPE2.0 block and delay of the control extension.
std::uint16_t GifLoopCount(int loops);
std::uint16_t GifDelay(int delayMs);

} // namespace codecs
