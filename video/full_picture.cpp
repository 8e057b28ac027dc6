#include "video/full_picture.h"

extern "C" {
#include <libavutil/pixdesc.h>
}

#include <cstdlib>

namespace fcvideo {

QImage TFullPicture::Convert(const AVFrame& frame, QString* reason) {
    const auto fail = [reason](const QString& cause) {
        if (reason)
            *reason = cause;
        return QImage();
    };
    const int w = frame.width, h = frame.height;
    if (w <= 0 || h <= 0 || !frame.data[0])
        return fail(QStringLiteral("the picture is %1 x %2 pixels").arg(w).arg(h));
    SwsContext* c = sws_getCachedContext(FSws.release(), w, h, AVPixelFormat(frame.format), w, h,
                                         AV_PIX_FMT_RGB24, SWS_POINT, nullptr, nullptr, nullptr);
    FSws.reset(c);
    if (!c) {
        const char* name = av_get_pix_fmt_name(AVPixelFormat(frame.format));
        return fail(QStringLiteral("no converter from the pixel format %1 to 24-bit RGB")
                        .arg(QString::fromUtf8(name ? name : "?")));
    }
    int space = SWS_CS_DEFAULT;
    if (frame.colorspace == AVCOL_SPC_BT709 ||
        (frame.colorspace == AVCOL_SPC_UNSPECIFIED && h >= 720))
        space = SWS_CS_ITU709;
    const bool fullRange = frame.color_range == AVCOL_RANGE_JPEG;
    sws_setColorspaceDetails(c, sws_getCoefficients(space), fullRange,
                             sws_getCoefficients(SWS_CS_DEFAULT), 1, 0, 1 << 16, 1 << 16);

    // Rows aligned to 64 bytes and room after the last one for what the converter writes past
    // a row's end; the picture owns the buffer.
    const qsizetype stride = (qsizetype(w) * 3 + 63) / 64 * 64;
    auto* pixels = static_cast<uchar*>(std::malloc(size_t(stride) * size_t(h) + 64));
    if (!pixels)
        return fail(QStringLiteral("no memory for a picture of %1 x %2 pixels").arg(w).arg(h));
    QImage picture(
        pixels, w, h, stride, QImage::Format_RGB888, [](void* p) { std::free(p); }, pixels);
    std::uint8_t* dst[4] = {pixels, nullptr, nullptr, nullptr};
    int dstStride[4] = {int(stride), 0, 0, 0};
    sws_scale(c, frame.data, frame.linesize, 0, h, dst, dstStride);
    return picture;
}

} // namespace fcvideo
