#include "video/shown_picture.h"

#include "video/dib_header.h"
#include "video/media_player.h"

#include <QRect>

#include <algorithm>
#include <cmath>
#include <cstring>

namespace fcvideo {

QRect LetterboxRect(const QRect& area, double aspect) {
    if (area.isEmpty() || !(aspect > 0))
        return {};
    int w = area.width();
    int h = int(std::lround(w / aspect));
    if (h > area.height()) {
        h = area.height();
        w = std::max(1, int(std::lround(h * aspect)));
    }
    h = std::max(1, h);
    return QRect(area.x() + (area.width() - w) / 2, area.y() + (area.height() - h) / 2, w, h);
}

QSize TShownPicture::ScaledSize(QSize area) const {
    return LetterboxRect(QRect(QPoint(0, 0), area), FAspect).size();
}

QImage TShownPicture::Scale(TSwsPtr& sws, const AVFrame* f, QSize size) {
    if (size.isEmpty() || !f || !f->data[0])
        return {};
    SwsContext* c = sws_getCachedContext(sws.release(), f->width, f->height,
                                         AVPixelFormat(f->format), size.width(), size.height(),
                                         AV_PIX_FMT_RGB32, SWS_BILINEAR, nullptr, nullptr, nullptr);
    sws.reset(c);
    if (!c)
        return {};
    QImage img(size, QImage::Format_RGB32);
    std::uint8_t* dst[4] = {img.bits(), nullptr, nullptr, nullptr};
    int dstStride[4] = {int(img.bytesPerLine()), 0, 0, 0};
    sws_scale(c, f->data, f->linesize, 0, f->height, dst, dstStride);
    return img;
}

void TShownPicture::Show(TFramePtr frame) {
    QSize area;
    {
        std::lock_guard lock(FMutex);
        area = FArea;
    }
    QImage picture = Scale(FShowSws, frame.get(), ScaledSize(area));
    std::lock_guard lock(FMutex);
    if (FArea != area) // resized meanwhile
        picture = Scale(FShowSws, frame.get(), ScaledSize(FArea));
    FFrame = std::move(frame);
    FPicture = std::move(picture);
}

void TShownPicture::SetArea(QSize size) {
    std::lock_guard lock(FMutex);
    if (FArea == size)
        return;
    FArea = size;
    if (FFrame)
        FPicture = Scale(FResizeSws, FFrame.get(), ScaledSize(size));
}

QImage TShownPicture::Picture() const {
    std::lock_guard lock(FMutex);
    return FPicture;
}

std::int64_t TShownPicture::TimeUs() const {
    std::lock_guard lock(FMutex);
    return FFrame ? FFrame->pts : -1;
}

bool TShownPicture::Grab(kw::TMemoryStream& stream, QString* reason) {
    const auto fail = [reason](const QString& cause) {
        if (reason)
            *reason = cause;
        return false;
    };
    TFramePtr frame(av_frame_alloc());
    {
        std::lock_guard lock(FMutex);
        if (!FFrame)
            return fail(QStringLiteral("no picture is on display yet"));
        if (!frame || av_frame_ref(frame.get(), FFrame.get()) < 0)
            return fail(QStringLiteral("the picture on display cannot be referenced"));
    }
    QString cause;
    const QImage picture = FGrabConverter.Convert(*frame, &cause);
    if (picture.isNull())
        return fail(cause);
    const int w = picture.width(), h = picture.height();

    TBitmapInfoHeader info;
    info.Width = w;
    info.Height = h;
    info.BitCount = 24;
    const std::uint32_t stride = DibStride(w, 24);
    info.SizeImage = stride * std::uint32_t(h);
    const TBitmapFileHeader file = BmpFileHeaderFor(info);

    std::uint8_t* out = stream.Extend(14 + std::int64_t(DibSize(info)));
    StoreFileHeader(file, out);
    StoreInfoHeader(info, out + 14);
    std::uint8_t* pixels = out + 14 + info.Size;
    // A DIB keeps its rows bottom-up and its pixels in blue, green, red order.
    const size_t rowBytes = size_t(w) * 3;
    for (int y = 0; y < h; ++y) {
        const std::uint8_t* from = picture.constScanLine(y);
        std::uint8_t* row = pixels + std::ptrdiff_t(h - 1 - y) * stride;
        for (size_t x = 0; x < rowBytes; x += 3) {
            row[x] = from[x + 2];
            row[x + 1] = from[x + 1];
            row[x + 2] = from[x];
        }
        if (stride != rowBytes)
            std::memset(row + rowBytes, 0, stride - rowBytes);
    }
    stream.SetPosition(0);
    return true;
}

} // namespace fcvideo
