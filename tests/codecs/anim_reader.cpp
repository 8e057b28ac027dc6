#include "tests/codecs/anim_reader.h"

#include "codecs/ffmpeg_handles.h"

#include <QFile>

#include <webp/demux.h>

#include <cmath>

using namespace fcvideo;

namespace {

TAnimRead ReadWebp(const QByteArray& bytes) {
    TAnimRead out;
    WebPAnimDecoderOptions options;
    WebPAnimDecoderOptionsInit(&options);
    options.color_mode = MODE_BGRA; // Format_ARGB32 in memory on this machine
    const WebPData data{reinterpret_cast<const uint8_t*>(bytes.constData()), size_t(bytes.size())};
    WebPAnimDecoder* decoder = WebPAnimDecoderNew(&data, &options);
    if (!decoder) {
        out.Error = QStringLiteral("not an animated WebP");
        return out;
    }
    WebPAnimInfo info;
    WebPAnimDecoderGetInfo(decoder, &info);
    out.Width = int(info.canvas_width);
    out.Height = int(info.canvas_height);
    out.Loops = int(info.loop_count);
    int previous = 0;
    while (WebPAnimDecoderHasMoreFrames(decoder)) {
        uint8_t* pixels = nullptr;
        int timestamp = 0; // when the frame ends
        if (!WebPAnimDecoderGetNext(decoder, &pixels, &timestamp))
            break;
        QImage canvas(pixels, out.Width, out.Height, out.Width * 4, QImage::Format_ARGB32);
        out.Frames.push_back({canvas.copy(), previous});
        out.LastDelayMs = timestamp - previous;
        previous = timestamp;
    }
    WebPAnimDecoderDelete(decoder);
    out.Ok = int(out.Frames.size()) == int(info.frame_count);
    return out;
}

// num_plays of the APNG's animation control chunk.
int ApngPlays(const QByteArray& bytes) {
    const qsizetype at = bytes.indexOf("acTL");
    if (at < 0 || at + 12 > bytes.size())
        return -1;
    const auto* p = reinterpret_cast<const unsigned char*>(bytes.constData() + at + 8);
    return int((unsigned(p[0]) << 24) | (unsigned(p[1]) << 16) | (unsigned(p[2]) << 8) | p[3]);
}

// How long the last frame of an APNG shows: the delay of its last frame control chunk.
int ApngLastDelay(const QByteArray& bytes) {
    const qsizetype at = bytes.lastIndexOf("fcTL");
    if (at < 0 || at + 28 > bytes.size())
        return -1;
    const auto* p = reinterpret_cast<const unsigned char*>(bytes.constData() + at + 24);
    const int num = (p[0] << 8) | p[1], den = (p[2] << 8) | p[3];
    return den == 0 ? num * 10 : num * 1000 / den;
}

TAnimRead ReadAv(const QString& path) {
    TAnimRead out;
    AVFormatContext* raw = nullptr;
    if (avformat_open_input(&raw, QFile::encodeName(path).constData(), nullptr, nullptr) < 0) {
        out.Error = QStringLiteral("FFmpeg cannot open it");
        return out;
    }
    TInputPtr input(raw);
    if (avformat_find_stream_info(input.get(), nullptr) < 0)
        return out;
    const int index = av_find_best_stream(input.get(), AVMEDIA_TYPE_VIDEO, -1, -1, nullptr, 0);
    if (index < 0)
        return out;
    AVStream* stream = input->streams[index];
    const AVCodec* codec = avcodec_find_decoder(stream->codecpar->codec_id);
    TCodecPtr decoder(avcodec_alloc_context3(codec));
    avcodec_parameters_to_context(decoder.get(), stream->codecpar);
    if (avcodec_open2(decoder.get(), codec, nullptr) < 0)
        return out;
    out.Width = stream->codecpar->width;
    out.Height = stream->codecpar->height;
    TPacketPtr packet(av_packet_alloc());
    TFramePtr frame(av_frame_alloc());
    TSwsPtr scale;
    const auto receive = [&] {
        while (avcodec_receive_frame(decoder.get(), frame.get()) >= 0) {
            QImage picture(frame->width, frame->height, QImage::Format_ARGB32);
            scale.reset(sws_getCachedContext(scale.release(), frame->width, frame->height,
                                             AVPixelFormat(frame->format), frame->width,
                                             frame->height, AV_PIX_FMT_BGRA, SWS_BICUBIC, nullptr,
                                             nullptr, nullptr));
            uint8_t* to[1] = {picture.bits()};
            const int stride[1] = {int(picture.bytesPerLine())};
            sws_scale(scale.get(), frame->data, frame->linesize, 0, frame->height, to, stride);
            const int64_t pts = frame->best_effort_timestamp;
            const int ms =
                int(av_rescale_q(pts == AV_NOPTS_VALUE ? 0 : pts, stream->time_base, {1, 1000}));
            out.Frames.push_back({picture, ms});
        }
    };
    while (av_read_frame(input.get(), packet.get()) >= 0) {
        if (packet->stream_index == index)
            avcodec_send_packet(decoder.get(), packet.get());
        av_packet_unref(packet.get());
        receive();
    }
    avcodec_send_packet(decoder.get(), nullptr);
    receive();
    out.Ok = !out.Frames.empty();
    // The last frame lasts until the end of the stream (or of the file, where the stream
    // does not say).
    const std::int64_t total = stream->duration != AV_NOPTS_VALUE
                                   ? av_rescale_q(stream->duration, stream->time_base, {1, 1000})
                               : input->duration != AV_NOPTS_VALUE
                                   ? av_rescale_q(input->duration, AV_TIME_BASE_Q, {1, 1000})
                                   : -1;
    if (out.Ok && total > 0)
        out.LastDelayMs = int(total) - out.Frames.back().StartMs;
    return out;
}

} // namespace

TAnimRead ReadAnimation(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    const QByteArray bytes = file.readAll();
    if (bytes.startsWith("RIFF"))
        return ReadWebp(bytes);
    TAnimRead out = ReadAv(path);
    if (bytes.startsWith("\x89PNG")) {
        out.Loops = ApngPlays(bytes);
        out.LastDelayMs = ApngLastDelay(bytes);
    }
    return out;
}

double Psnr(const QImage& a, const QImage& b) {
    const QImage x = a.convertToFormat(QImage::Format_RGB32);
    const QImage y = b.convertToFormat(QImage::Format_RGB32);
    if (x.size() != y.size() || x.isNull())
        return 0;
    double squares = 0;
    for (int row = 0; row < x.height(); ++row) {
        const auto* p = reinterpret_cast<const QRgb*>(x.constScanLine(row));
        const auto* q = reinterpret_cast<const QRgb*>(y.constScanLine(row));
        for (int col = 0; col < x.width(); ++col) {
            const int dr = qRed(p[col]) - qRed(q[col]), dg = qGreen(p[col]) - qGreen(q[col]),
                      db = qBlue(p[col]) - qBlue(q[col]);
            squares += dr * dr + dg * dg + db * db;
        }
    }
    const double mse = squares / (3.0 * x.width() * x.height());
    return mse > 0 ? 10 * std::log10(255.0 * 255.0 / mse) : 100;
}
