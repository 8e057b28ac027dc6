// Animated WebP through libwebp's animation encoder: every frame is a whole canvas, and the
// encoder itself keeps of each frame the rectangle that changed, chooses key frames and
// blending, and assembles the file with the loop count. Lossy at the settings' quality; the
// alpha of a transparent colour is kept losslessly.

#include "codecs/anim_encoders.h"

#include "common/kw_guard.h"

#include <webp/encode.h>
#include <webp/mux.h>

#include <algorithm>
#include <cstdint>

namespace codecs {

namespace {

// libwebp's longest frame duration (24 bits of milliseconds).
constexpr int MaxWebpDuration = 0xFFFFFF;

QString WebpError(const char* what, const WebPAnimEncoder* encoder) {
    const char* reason =
        encoder ? WebPAnimEncoderGetError(const_cast<WebPAnimEncoder*>(encoder)) : nullptr;
    return QStringLiteral("The WebP encoder could not %1%2")
        .arg(QString::fromLatin1(what),
             reason && *reason ? QStringLiteral(": ") + QString::fromUtf8(reason) : QString());
}

class TWebpEncoder : public TAnimEncoder {
public:
    TWebpEncoder(const TAnimSettings& settings, TAnimSink& sink)
        : FSink(sink), FDelay(std::clamp(settings.DelayMs, 1, MaxWebpDuration)),
          FAlpha(AnimHasAlpha(settings)) {
        WebPAnimEncoderOptions options;
        if (!WebPAnimEncoderOptionsInit(&options) || !WebPConfigInit(&FConfig))
            throw kw::EFcError(QStringLiteral("The WebP library does not match its headers"));
        options.anim_params.loop_count = std::clamp(settings.Loops, 0, 0xFFFF);
        options.anim_params.bgcolor = 0x00000000; // transparent: the page shows behind it
        options.allow_mixed = 0;
        FConfig.lossless = 0;
        FConfig.quality = float(AnimQuality(settings));
        FConfig.method = 4;
        FConfig.alpha_quality = 100;
        FConfig.thread_level = 1; // the alpha plane and the filtering on a second thread
        const QSize size = AnimFrameSize(settings);
        FEncoder = WebPAnimEncoderNew(size.width(), size.height(), &options);
        if (!FEncoder)
            throw kw::EFcError(WebpError("start", nullptr));
    }
    ~TWebpEncoder() override { WebPAnimEncoderDelete(FEncoder); }

    void Add(const QImage& fitted) override {
        WebPPicture picture;
        WebPPictureInit(&picture);
        picture.use_argb = 1;
        picture.width = fitted.width();
        picture.height = fitted.height();
        // Format_(A)RGB32 lies in memory as B, G, R, A on this little-endian machine.
        const auto* pixels = fitted.constBits();
        const int ok = FAlpha ? WebPPictureImportBGRA(&picture, pixels, int(fitted.bytesPerLine()))
                              : WebPPictureImportBGRX(&picture, pixels, int(fitted.bytesPerLine()));
        if (!ok) {
            WebPPictureFree(&picture);
            throw kw::EFcError(QStringLiteral("Not enough memory for a WebP frame"));
        }
        const int added = WebPAnimEncoderAdd(FEncoder, &picture, FTimestamp, &FConfig);
        WebPPictureFree(&picture);
        if (!added)
            throw kw::EFcError(WebpError("add a frame", FEncoder));
        FTimestamp += FDelay;
    }

    void Finish() override {
        if (!WebPAnimEncoderAdd(FEncoder, nullptr, FTimestamp, nullptr))
            throw kw::EFcError(WebpError("end the animation", FEncoder));
        WebPData data;
        WebPDataInit(&data);
        if (!WebPAnimEncoderAssemble(FEncoder, &data))
            throw kw::EFcError(WebpError("assemble the file", FEncoder));
        try {
            FSink.Write(reinterpret_cast<const char*>(data.bytes), std::int64_t(data.size));
        } catch (...) {
            WebPDataClear(&data);
            throw;
        }
        WebPDataClear(&data);
    }

private:
    TAnimSink& FSink;
    WebPConfig FConfig;
    WebPAnimEncoder* FEncoder = nullptr;
    int FDelay;
    bool FAlpha;
    int FTimestamp = 0;
};

} // namespace

std::unique_ptr<TAnimEncoder> MakeWebpEncoder(const TAnimSettings& settings, TAnimSink& sink) {
    return std::make_unique<TWebpEncoder>(settings, sink);
}

} // namespace codecs
