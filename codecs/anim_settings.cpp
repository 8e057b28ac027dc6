#include "codecs/anim_settings.h"

#include "codecs/gif_limits.h"
#include "codecs/palette_map.h"
#include "common/kw_guard.h"
#include "common/kw_memory.h"
#include "graphics/stretch.h"

#include <algorithm>

namespace codecs {

namespace {

TAnimFormatInfo MakeInfo(TAnimFormat format, const char* name, const char* label,
                         const char* mime) {
    TAnimFormatInfo info{};
    info.Format = format;
    info.Name = QString::fromLatin1(name);
    info.Label = QString::fromLatin1(label);
    info.Extension = QLatin1Char('.') + info.Name;
    info.MimeType = QString::fromLatin1(mime);
    return info;
}

const TAnimFormatInfo* Infos() {
    static const TAnimFormatInfo infos[] = {
        [] {
            TAnimFormatInfo i = MakeInfo(TAnimFormat::Gif, "gif", "GIF Image (*.gif)", "image/gif");
            i.Transparency = i.Loops = true;
            i.MaxSide = GifMaxSide;
            return i;
        }(),
        [] {
            TAnimFormatInfo i =
                MakeInfo(TAnimFormat::WebP, "webp", "Animated WebP (*.webp)", "image/webp");
            i.Transparency = i.Loops = i.HasQuality = true;
            // Lossy quality 77 keeps the picture of the best-quality GIF (PSNR no lower) at a
            // seventh of its bytes on hand-held camera footage (bench/anim_compare.sh).
            i.QualityMin = 0;
            i.QualityMax = 100;
            i.QualityDefault = 77;
            i.MaxSide = 16383; // the format's 14-bit sides
            return i;
        }(),
        [] {
            TAnimFormatInfo i =
                MakeInfo(TAnimFormat::Apng, "apng", "Animated PNG (*.apng)", "image/apng");
            i.Transparency = i.Loops = true; // lossless: no quality to choose
            i.MaxSide = 65535;
            return i;
        }(),
        [] {
            TAnimFormatInfo i =
                MakeInfo(TAnimFormat::Mp4, "mp4", "MP4 Video, H.264 (*.mp4)", "video/mp4");
            i.Video = i.HasQuality = i.LowerIsBetter = true;
            // The constant rate factor: 20 gives hand-held camera footage some 3 dB above the
            // best-quality GIF at an eighth of its bytes (bench/anim_compare.sh).
            i.QualityMin = 0;
            i.QualityMax = 51;
            i.QualityDefault = 20;
            i.MaxSide = 16384;
            return i;
        }(),
        [] {
            TAnimFormatInfo i =
                MakeInfo(TAnimFormat::WebM, "webm", "WebM Video, VP9 (*.webm)", "video/webm");
            i.Video = i.HasQuality = i.LowerIsBetter = true;
            i.QualityMin = 0;
            i.QualityMax = 63;
            // 28: the best-quality GIF's PSNR at a twelfth of its bytes on camera footage.
            i.QualityDefault = 28;
            i.MaxSide = 16384;
            return i;
        }(),
    };
    return infos;
}

} // namespace

const TAnimFormatInfo& AnimFormatInfo(TAnimFormat format) {
    return Infos()[int(format)];
}

std::optional<TAnimFormat> AnimFormatFromName(const QString& name) {
    for (const TAnimFormat f : AnimFormats)
        if (AnimFormatInfo(f).Name.compare(name, Qt::CaseInsensitive) == 0)
            return f;
    return std::nullopt;
}

int AnimQuality(const TAnimSettings& s) {
    const TAnimFormatInfo& info = AnimFormatInfo(s.Format);
    if (s.Quality < 0)
        return info.QualityDefault;
    return std::clamp(s.Quality, info.QualityMin, info.QualityMax);
}

bool AnimHasAlpha(const TAnimSettings& s) {
    return s.Transparent && AnimFormatInfo(s.Format).Transparency;
}

QSize AnimFrameSize(const TAnimSettings& s) {
    if (s.Format == TAnimFormat::Mp4)
        return QSize(s.Width + (s.Width & 1), s.Height + (s.Height & 1));
    return QSize(s.Width, s.Height);
}

QImage FitAnimFrame(const QImage& picture, const TAnimSettings& s) {
    if (picture.isNull())
        throw kw::EFcError(QStringLiteral("An animation frame has no picture"));
    const bool alpha = AnimHasAlpha(s);
    QImage fitted = picture.width() == s.Width && picture.height() == s.Height
                        ? picture
                        : graphics::StretchNearest(picture, s.Width, s.Height);
    fitted = fitted.convertToFormat(alpha ? QImage::Format_ARGB32 : QImage::Format_RGB32);
    if (fitted.isNull())
        throw kw::EFcError(QStringLiteral("Not enough memory for an animation frame"));
    const QRgb key = s.TransparentColor & 0xFFFFFF;
    if (s.Gray || alpha) {
        for (int y = 0; y < fitted.height(); ++y) {
            auto* line = reinterpret_cast<QRgb*>(fitted.scanLine(y));
            for (int x = 0; x < fitted.width(); ++x) {
                const QRgb p = line[x];
                if (alpha && (p & 0xFFFFFF) == key) {
                    line[x] = 0;
                    continue;
                }
                if (s.Gray) {
                    const int g = GreyLevel(qRed(p), qGreen(p), qBlue(p));
                    line[x] = qRgb(g, g, g);
                } else {
                    line[x] = p | 0xFF000000;
                }
            }
        }
    }
    const QSize size = AnimFrameSize(s);
    if (size == fitted.size())
        return fitted;
    // The repeated last column and row of an odd-sided MP4.
    QImage wide(size, fitted.format());
    if (wide.isNull())
        throw kw::EFcError(QStringLiteral("Not enough memory for an animation frame"));
    for (int y = 0; y < size.height(); ++y) {
        const auto* from =
            reinterpret_cast<const QRgb*>(fitted.constScanLine(std::min(y, fitted.height() - 1)));
        auto* to = reinterpret_cast<QRgb*>(wide.scanLine(y));
        std::copy(from, from + fitted.width(), to);
        for (int x = fitted.width(); x < size.width(); ++x)
            to[x] = from[fitted.width() - 1];
    }
    return wide;
}

qint64 AnimWorkingBytes(const TAnimSettings& s) {
    const QSize size = AnimFrameSize(s);
    const qint64 argb = kw::FrameBytes(size, QImage::Format_ARGB32);
    const qint64 yuv = qint64(size.width()) * size.height() * 3 / 2;
    switch (s.Format) {
    case TAnimFormat::WebP:
        // The encoder keeps the previous canvas, the candidate sub-frames of a key and a
        // non-key frame and their encodings beside the fitted frame.
        return 8 * argb;
    case TAnimFormat::Apng:
        // The previous frame, the blended candidates and the compressed rows.
        return 6 * argb;
    case TAnimFormat::Mp4:
        // The look-ahead of 40 frames, the reference pictures and the half-pel planes.
        return 60 * yuv + 2 * argb;
    case TAnimFormat::WebM:
        // The look-ahead of 25 frames and the reference pictures.
        return 40 * yuv + 2 * argb;
    case TAnimFormat::Gif:
        break;
    }
    return 2 * argb;
}

bool AnimSizeWritable(const TAnimSettings& s) {
    const int max = AnimFormatInfo(s.Format).MaxSide;
    return s.Width >= 1 && s.Height >= 1 && s.Width <= max && s.Height <= max;
}

void CheckAnimLimits(const TAnimSettings& s) {
    const TAnimFormatInfo& info = AnimFormatInfo(s.Format);
    if (!AnimSizeWritable(s))
        throw kw::EFcError(
            QStringLiteral("An animation of %1 x %2 pixels cannot be written as %3: each side "
                           "must be 1 to %4 pixels")
                .arg(s.Width)
                .arg(s.Height)
                .arg(info.Name.toUpper())
                .arg(info.MaxSide));
    kw::NeedMemory(AnimWorkingBytes(s), QStringLiteral("an animation"), QSize(s.Width, s.Height));
}

} // namespace codecs
