#include "codecs/gif_codec.h"

#include "codecs/codec_io.h"
#include "codecs/gif_delta.h"
#include "codecs/gif_dither.h"
#include "codecs/gif_limits.h"
#include "codecs/liq_palette.h"
#include "codecs/octree.h"
#include "codecs/picture_writer.h"
#include "common/kw_guard.h"
#include "graphics/stretch.h"

#include <gif_lib.h>

#include <algorithm>
#include <climits>
#include <cstring>
#include <exception>
#include <new>

namespace codecs {

namespace {

int AppendToBuffer(GifFileType* gif, const GifByteType* data, int length) {
    static_cast<QByteArray*>(gif->UserData)->append(reinterpret_cast<const char*>(data), length);
    return length;
}

[[noreturn]] void GifFailed(int error) {
    if (error == E_GIF_ERR_NOT_ENOUGH_MEM)
        throw std::bad_alloc();
    const char* text = GifErrorString(error);
    throw kw::EFcError(QStringLiteral("GIF encoding failed: %1")
                           .arg(QString::fromUtf8(text ? text : "unknown error")));
}

// A giflib encoder writing into a byte array; closed (and the trailer written) by Close().
class TGifWriter {
public:
    explicit TGifWriter(QByteArray& out) {
        int error = 0;
        FGif = EGifOpen(&out, AppendToBuffer, &error);
        if (!FGif)
            GifFailed(error);
    }
    ~TGifWriter() {
        if (FGif)
            EGifCloseFile(FGif, nullptr);
    }
    GifFileType* operator->() const { return FGif; }
    GifFileType* Get() const { return FGif; }
    void Check(int result) const {
        if (result == GIF_ERROR)
            GifFailed(FGif->Error);
    }
    void Close() {
        int error = 0;
        GifFileType* gif = FGif;
        FGif = nullptr;
        if (EGifCloseFile(gif, &error) == GIF_ERROR)
            GifFailed(error);
    }

private:
    GifFileType* FGif = nullptr;
};

// A giflib colour map of the palette padded to a power of two (at least 2) with copies of its
// last entry, so that no new colour enters the table.
struct TColorMap {
    explicit TColorMap(const std::vector<QRgb>& palette) {
        int size = 2;
        while (size < int(palette.size()) && size < 256)
            size *= 2;
        std::vector<GifColorType> colours(static_cast<std::size_t>(size));
        for (int i = 0; i < size; ++i) {
            const QRgb c = palette.empty()
                               ? qRgb(0, 0, 0)
                               : palette[std::min<std::size_t>(std::size_t(i), palette.size() - 1)];
            colours[std::size_t(i)] = {GifByteType(qRed(c)), GifByteType(qGreen(c)),
                                       GifByteType(qBlue(c))};
        }
        Map = GifMakeMapObject(size, colours.data());
        if (!Map)
            throw std::bad_alloc();
    }
    ~TColorMap() { GifFreeMapObject(Map); }
    TColorMap(const TColorMap&) = delete;
    TColorMap& operator=(const TColorMap&) = delete;
    ColorMapObject* Map = nullptr;
};

constexpr int ScreenHeaderSize = 13; // "GIF89a" and the logical screen descriptor

void PutPixels(TGifWriter& gif, TIndexedPicture& pixels) {
    if (!pixels.Pixels.empty())
        gif.Check(EGifPutLine(gif.Get(), pixels.Pixels.data(), int(pixels.Pixels.size())));
}

} // namespace

// --- Single GIF ---------------------------------------------------------------------------

std::vector<QRgb> SingleGifPalette(const QImage& image) {
    TOctreeQuantizer octree(236);
    octree.AddImage(image);
    const std::vector<QRgb> leaves = octree.Palette();
    std::vector<QRgb> palette(FixedPalette20().begin(), FixedPalette20().end());
    palette.insert(palette.end(), leaves.begin(), leaves.end());
    palette.resize(256, qRgb(0, 0, 0));
    return palette;
}

QByteArray EncodeSingleGif(const QImage& image) {
    if (image.width() < 1 || image.height() < 1 || image.width() > 65535 || image.height() > 65535)
        throw kw::EFcError(QStringLiteral("A GIF picture must be 1 to 65535 pixels wide and high"));
    if (qint64(image.width()) * image.height() > INT_MAX) // giflib's int line length
        throw kw::EFcError(QStringLiteral("A GIF picture of %1 x %2 pixels is too large")
                               .arg(image.width())
                               .arg(image.height()));
    AskEncoderMemory(TPictureFormat::Gif, image.size());
    const std::vector<QRgb> palette = SingleGifPalette(image);
    TIndexedPicture pixels = MapNearest(image, palette);
    QByteArray out;
    out.reserve(qsizetype(image.width()) * image.height() / 2 + 1024);
    TGifWriter gif(out);
    TColorMap map(palette);
    gif.Check(EGifPutScreenDesc(gif.Get(), image.width(), image.height(), 8, 0, map.Map));
    gif.Check(EGifPutImageDesc(gif.Get(), 0, 0, image.width(), image.height(), false, nullptr));
    PutPixels(gif, pixels);
    gif.Close();
    return out;
}

void SaveSingleGif(const QImage& image, const QString& path) {
    WriteWholeFile(path, EncodeSingleGif(image));
}

// --- Animated GIF -------------------------------------------------------------------------

std::uint16_t GifLoopCount(int loops) {
    return std::uint16_t(loops == 0 ? 0 : loops - 1);
}
std::uint16_t GifDelay(int delayMs) {
    return std::uint16_t(delayMs / 10);
}

namespace {

// Grey mode: the key's pixels keep their level's entry to themselves; other pixels of that
// level move one level up (down from 255), the nearer neighbour of a truncated level.
int SetGreyKeyApart(const QImage& image, QRgb key, TIndexedPicture& pixels) {
    const std::uint8_t level = GreyLevel(qRed(key), qGreen(key), qBlue(key));
    const std::uint8_t moved = level == 255 ? 254 : std::uint8_t(level + 1);
    const std::uint8_t r = std::uint8_t(qRed(key)), g = std::uint8_t(qGreen(key)),
                       b = std::uint8_t(qBlue(key));
    TRgbRows rows(image);
    for (int y = 0; y < rows.Height(); ++y) {
        const std::uint8_t* s = rows.Row(y);
        std::uint8_t* dst = pixels.Pixels.data() + std::size_t(y) * std::size_t(pixels.Width);
        for (int x = 0; x < rows.Width(); ++x, s += 3)
            if (dst[x] == level && (s[0] != r || s[1] != g || s[2] != b))
                dst[x] = moved;
    }
    return level;
}

} // namespace

TGifFrame PrepareGifFrame(const QImage& picture, const TGifSettings& settings) {
    TGifFrame frame;
    PrepareGifFrame(picture, settings, frame);
    return frame;
}

namespace {

constexpr int RestoreToBackground = 2;

QImage FitToGif(const QImage& picture, const TGifSettings& settings) {
    if (picture.isNull())
        throw kw::EFcError(QStringLiteral("A GIF frame has no picture"));
    return picture.width() == settings.Width && picture.height() == settings.Height
               ? picture
               : graphics::StretchNearest(picture, settings.Width, settings.Height);
}

// The best-quality palette of a frame alone, fitted to the whole picture, with the pixels
// mapped to their nearest entries; gives their mean squared error.
double ChooseBestPalette(const QImage& image, int colours, TGifFrame& frame) {
    frame.Palette = BestSampledPalette(image, colours);
    MapNearestMeasured(image, frame.Palette, frame.Pixels);
    RefineToMeans(image, frame.Palette, frame.Pixels);
    return MapNearestMeasured(image, frame.Palette, frame.Pixels);
}

// How the best-quality palette and the nearest mapping of a frame are made.
using TBestPalette = std::function<void(const QImage& image, int colours, TGifFrame& frame)>;

// What is left of a frame after PrepareUntilDiffusion.
enum class TLeft { Nothing, AdaptiveDiffusion };

// A frame (already of the GIF's size) up to the error diffusion of its best-quality colours
// (the palette of best and the nearest colours); every other mode is done here.
TLeft PrepareUntilDiffusion(const QImage& image, const TGifSettings& settings, TGifFrame& frame,
                            const TBestPalette& best) {
    frame.Left = frame.Top = 0;
    const QRgb key = settings.TransparentColor | 0xFF000000u;
    frame.HasTransparent = settings.Transparent && ContainsColor(image, key);
    // A frame with transparent pixels lets the page behind it show there, not the frame
    // before it.
    frame.Disposal = frame.HasTransparent ? RestoreToBackground : 0;
    TLeft left = TLeft::Nothing;
    if (settings.Gray) {
        frame.Palette = GreyPalette();
        MapGrey(image, frame.Pixels);
        if (frame.HasTransparent)
            frame.TransparentIndex = SetGreyKeyApart(image, key, frame.Pixels);
    } else if (frame.HasTransparent) {
        // The transparent colour's pixels stay out of the choice and keep an entry to
        // themselves, so there the codec's own ditherer, which can leave them out, maps.
        if (settings.Quality == TGifQuality::Best) {
            frame.Palette = BestPalette(image, 255, true, key);
        } else {
            thread_local TOctreeQuantizer octree(256);
            octree.Reset(255);
            octree.AddImageExcept(image, key);
            frame.Palette = octree.Palette();
        }
        frame.TransparentIndex = int(frame.Palette.size());
        DitherFloydSteinbergExcept(image, frame.Palette, key, frame.TransparentIndex, frame.Pixels);
        frame.Palette.push_back(key);
    } else if (settings.Quality == TGifQuality::Best) {
        // A smaller file keeps one entry free for the pixels that stay as they are.
        best(image, settings.Smaller ? 255 : 256, frame);
        left = TLeft::AdaptiveDiffusion;
    } else {
        thread_local TOctreeQuantizer octree(256);
        octree.Reset(settings.Smaller ? 255 : 256);
        octree.AddImage(image);
        frame.Palette = octree.Palette();
        DitherFloydSteinberg(image, frame.Palette, frame.Pixels);
    }
    if (!frame.HasTransparent) {
        const auto it = std::find(frame.Palette.begin(), frame.Palette.end(), key);
        frame.TransparentIndex = it == frame.Palette.end() ? 0 : int(it - frame.Palette.begin());
    }
    return left;
}

} // namespace

void PrepareGifFrame(const QImage& picture, const TGifSettings& settings, TGifFrame& frame) {
    const QImage image = FitToGif(picture, settings);
    const TLeft left = PrepareUntilDiffusion(
        image, settings, frame,
        [](const QImage& i, int colours, TGifFrame& f) { ChooseBestPalette(i, colours, f); });
    if (left != TLeft::Nothing)
        DiffuseFromNearest(image, frame.Palette, true, frame.Pixels);
}

namespace {

// The bytes of frame `index` between the logical screen descriptor and the trailer.
QByteArray EncodeFrameChunk(int index, TGifFrame& frame, const TGifSettings& s) {
    thread_local QByteArray out; // reused: resizing to 0 keeps the capacity
    out.resize(0);
    TGifWriter gif(out);
    EGifSetGifVersion(gif.Get(), true);
    gif.Check(EGifPutScreenDesc(gif.Get(), s.Width, s.Height, 8, 0, nullptr));
    if (index == 0 && s.Loops != 1) {
        const std::uint16_t count = GifLoopCount(s.Loops);
        const GifByteType loop[3] = {1, GifByteType(count & 0xFF), GifByteType(count >> 8)};
        gif.Check(EGifPutExtensionLeader(gif.Get(), APPLICATION_EXT_FUNC_CODE));
        gif.Check(EGifPutExtensionBlock(gif.Get(), 11, "NETSCAPE2.0"));
        gif.Check(EGifPutExtensionBlock(gif.Get(), 3, loop));
        gif.Check(EGifPutExtensionTrailer(gif.Get()));
    }
    const std::uint16_t delay = GifDelay(s.DelayMs);
    const GifByteType control[4] = {
        GifByteType((frame.Disposal << 2) | (frame.HasTransparent ? 1 : 0)),
        GifByteType(delay & 0xFF), GifByteType(delay >> 8), GifByteType(frame.TransparentIndex)};
    gif.Check(EGifPutExtension(gif.Get(), GRAPHICS_EXT_FUNC_CODE, 4, control));
    TColorMap map(frame.Palette);
    gif.Check(EGifPutImageDesc(gif.Get(), frame.Left, frame.Top, frame.Pixels.Width,
                               frame.Pixels.Height, false, map.Map));
    PutPixels(gif, frame.Pixels);
    gif.Close();
    // Drop the screen header and the trailer that every giflib stream has.
    return QByteArray(out.constData() + ScreenHeaderSize, out.size() - ScreenHeaderSize - 1);
}

} // namespace

TAnimatedGif::TAnimatedGif(const TGifSettings& settings, int threads) : FSettings(settings) {
    CheckGifLimits(settings, WorkerCount(threads));
    if (settings.Smaller && settings.Transparent)
        throw kw::EFcError(QStringLiteral(
            "A smaller file cannot have a transparent color: its transparent entry keeps the "
            "pixels that did not change"));
    if (settings.Smaller)
        FCanvas = std::make_unique<TGifCanvas>();
    QByteArray header;
    {
        TGifWriter gif(header);
        EGifSetGifVersion(gif.Get(), true);
        gif.Check(EGifPutScreenDesc(gif.Get(), settings.Width, settings.Height, 8, 0, nullptr));
        gif.Close();
    }
    FHeader = header.left(ScreenHeaderSize);
    FPool = std::make_unique<TOrderedPool>(threads, [this](int i) {
        if (OnFrameDone)
            OnFrameDone(i);
    });
}

TAnimatedGif::~TAnimatedGif() {
    // The workers go first: a running one may still use the canvas and its lock.
    FPool.reset();
}

void TAnimatedGif::ChainedBestPalette(TFrameTurns::TTurn& turn, const QImage& image, int colours,
                                      TGifFrame& frame) {
    const TColourSignature signature = ColourSignatureOf(image);
    turn.Enter();
    const TPaletteChain::TChoice choice = FChain.Decide(signature);
    turn.Leave();
    if (choice.Key) {
        struct TAbandonUnlessPublished {
            TSharedPalette& Palette;
            bool Published = false;
            ~TAbandonUnlessPublished() {
                if (!Published)
                    Palette.Abandon();
            }
        } guard{*choice.Palette};
        const double error = ChooseBestPalette(image, colours, frame);
        choice.Palette->Publish(frame.Palette, error);
        guard.Published = true;
        return;
    }
    double keyError = 0;
    choice.Palette->Wait(frame.Palette, keyError);
    const double error = MapNearestMeasured(image, frame.Palette, frame.Pixels);
    if (error > keyError * SameErrorFactor + SameErrorSlack)
        ChooseBestPalette(image, colours, frame);
}

void TAnimatedGif::AddFrame(const QImage& picture) {
    const int index = int(FChunks.size());
    FChunks.emplace_back(); // a deque: the slots of earlier frames stay where they are
    QByteArray* slot = &FChunks.back();
    const TGifSettings settings = FSettings;
    FPool->Submit([this, picture, settings, index, slot] {
        thread_local TGifFrame frame; // each worker reuses its buffers from frame to frame
        // Every frame passes both ordered steps, also when it fails (the turns pass on as
        // they go), so that no later frame waits for ever. The palette turn goes first.
        TFrameTurns::TTurn cutTurn(FCutTurns, index);
        TFrameTurns::TTurn paletteTurn(FPaletteTurns, index);
        const QImage image = FitToGif(picture, settings);
        // Only best-quality colour frames without a transparent colour share palettes; the
        // others go through the palette turn at once.
        if (settings.Gray || settings.Quality != TGifQuality::Best ||
            (settings.Transparent && ContainsColor(image, settings.TransparentColor)))
            paletteTurn.Leave();
        const TLeft left = PrepareUntilDiffusion(image, settings, frame,
                                                 [&](const QImage& i, int colours, TGifFrame& f) {
                                                     ChainedBestPalette(paletteTurn, i, colours, f);
                                                 });
        paletteTurn.Leave();
        if (left != TLeft::Nothing)
            DiffuseFromNearest(image, frame.Palette, left == TLeft::AdaptiveDiffusion,
                               frame.Pixels);
        if (FCanvas) {
            // Frame i is cut after frame i - 1 and before frame i + 1.
            cutTurn.Enter();
            FCanvas->Apply(image, frame, settings.Gray);
            cutTurn.Leave();
        }
        *slot = EncodeFrameChunk(index, frame, settings);
    });
}

void TAnimatedGif::Finish() {
    FPool->Wait();
}

std::int64_t TAnimatedGif::Size() const {
    std::int64_t size = FHeader.size() + 1;
    for (const QByteArray& c : FChunks)
        size += c.size();
    return size;
}

QByteArray TAnimatedGif::Bytes() const {
    QByteArray out;
    out.reserve(qsizetype(Size()));
    out += FHeader;
    for (const QByteArray& c : FChunks)
        out += c;
    out += char(0x3B);
    return out;
}

void TAnimatedGif::SaveToStream(kw::TMemoryStream& stream) const {
    stream.Write(FHeader.constData(), FHeader.size());
    for (const QByteArray& c : FChunks)
        stream.Write(c.constData(), c.size());
    const char trailer = 0x3B;
    stream.Write(&trailer, 1);
}

void TAnimatedGif::SaveToFile(const QString& path) const {
    static const char trailer = 0x3B;
    std::vector<QByteArrayView> pieces;
    pieces.reserve(FChunks.size() + 2);
    pieces.emplace_back(FHeader);
    for (const QByteArray& c : FChunks)
        pieces.emplace_back(c);
    pieces.emplace_back(&trailer, 1);
    WriteWholeFile(path, pieces);
}

} // namespace codecs
