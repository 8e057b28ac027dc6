#pragma once
// The animated formats beside GIF: animated WebP, APNG, MP4 (H.264) and WebM (VP9). What each
// format offers (a quality, transparency, a loop count), the settings the window passes, how a
// frame is fitted to them (as the GIF fits it: a plain stretch to the size, grey levels, the
// transparent colour) and what a file of that size may be.

#include <QImage>
#include <QRgb>
#include <QSize>
#include <QString>

#include <optional>

namespace codecs {

enum class TAnimFormat { Gif, WebP, Apng, Mp4, WebM };

struct TAnimFormatInfo {
    TAnimFormat Format;
    QString Name;              // on the command line: gif, webp, apng, mp4, webm
    QString Label;             // the save dialog's entry: "Animated WebP (*.webp)"
    QString Extension;         // ".webp"
    QString MimeType;          // for the preview page: image/webp, video/mp4
    bool Video = false;        // shown in <video>: no loop count, no transparency
    bool Transparency = false; // the transparent colour gives real transparency
    bool Loops = false;        // the file stores a loop count
    // A quality to choose: WebP's lossy quality (higher is better), or the video's constant
    // rate factor (lower is better). Default is the measured choice (see the README).
    bool HasQuality = false;
    bool LowerIsBetter = false;
    int QualityMin = 0, QualityMax = 0, QualityDefault = 0;
    int MaxSide = 0; // the largest width or height the encoder takes
};

const TAnimFormatInfo& AnimFormatInfo(TAnimFormat format);
// By command-line name or extension (without the dot), letters in any case.
std::optional<TAnimFormat> AnimFormatFromName(const QString& name);
// Gif first, in the order of the save dialog's entries.
inline constexpr TAnimFormat AnimFormats[] = {
    TAnimFormat::Gif, TAnimFormat::WebP, TAnimFormat::Apng, TAnimFormat::Mp4, TAnimFormat::WebM};

// The settings of a WebP, APNG, MP4 or WebM file (a GIF has its TGifSettings).
struct TAnimSettings {
    TAnimFormat Format = TAnimFormat::WebP;
    int Width = 1;
    int Height = 1;
    int DelayMs = 150; // every frame shows this long
    int Loops = 0;     // as for the GIF: 0 endless, n plays n times; only where Loops is offered
    bool Gray = false; // 256 grey levels (the GIF's grey formula)
    // Pixels exactly of the colour become fully transparent; only where Transparency is
    // offered, ignored for video.
    bool Transparent = false;
    QRgb TransparentColor = 0xFFC0C0C0;
    int Quality = -1; // -1: the format's default; else within QualityMin..QualityMax
};

// The quality the encoder gets: the setting held to the format's range, or its default.
int AnimQuality(const TAnimSettings& settings);
// Whether the frames carry an alpha channel: transparency on where the format offers it.
bool AnimHasAlpha(const TAnimSettings& settings);
// The size of the frames in the file: the settings' size, except that H.264 in 4:2:0 takes
// even sides only, so an MP4 of an odd side is one pixel larger there (the last column or
// row repeated).
QSize AnimFrameSize(const TAnimSettings& settings);

// A frame as it goes to the encoder: stretched to the settings' size where it has another
// (plain dropping and repeating of pixels, proportions ignored, as for the GIF), grey levels
// when Gray, and with AnimHasAlpha the pixels exactly of the transparent colour (judged on
// the picture's own colours) fully transparent with their colour cleared; then widened to
// AnimFrameSize. Format_ARGB32 with alpha, else Format_RGB32. A null picture throws
// kw::EFcError.
QImage FitAnimFrame(const QImage& picture, const TAnimSettings& settings);

// The bytes the encoder holds at once for frames of this size (its look-ahead and reference
// pictures, the fitted frame), for the memory budget.
qint64 AnimWorkingBytes(const TAnimSettings& settings);
// Throws kw::EFcError naming the size for a side outside 1..MaxSide, and kw::EMemoryRefused
// when the encoder's memory would not leave the budget's margin free.
void CheckAnimLimits(const TAnimSettings& settings);
// True when the sides are within the format's limits.
bool AnimSizeWritable(const TAnimSettings& settings);

} // namespace codecs
