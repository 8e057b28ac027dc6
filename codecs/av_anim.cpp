// APNG, MP4 (H.264) and WebM (VP9) through FFmpeg's encoders and muxers. The muxer writes
// through an I/O context of our own into the sink (a new file under a fresh name, or memory),
// never to a path of its own, so the file goes into place only through kw::TSaveFile. Frames
// get their time from the delay (a millisecond time base); APNG takes the loop count and the
// last frame's delay from the muxer's options, video has no loop count.

#include "codecs/anim_encoders.h"
#include "codecs/ffmpeg_handles.h"

#include "common/kw_guard.h"

extern "C" {
#include <libavutil/opt.h>
}

#include <algorithm>

namespace codecs {

namespace {

using namespace fcvideo;

QString AvErrorText(int code) {
    char text[AV_ERROR_MAX_STRING_SIZE] = {};
    av_strerror(code, text, sizeof text);
    return QString::fromUtf8(text);
}

// The sink as FFmpeg's I/O: read, write and seek callbacks on the TAnimSink. An error thrown
// by the sink cannot cross FFmpeg's C frames: it is kept and rethrown after the call.
struct TSinkIo {
    TAnimSink* Sink = nullptr;
    std::exception_ptr Error;

    static int Write(void* opaque, std::uint8_t* data, int size) {
        auto* io = static_cast<TSinkIo*>(opaque);
        try {
            io->Sink->Write(reinterpret_cast<const char*>(data), size);
            return size;
        } catch (...) {
            io->Error = std::current_exception();
            return AVERROR(EIO);
        }
    }
    static int Read(void* opaque, std::uint8_t* data, int size) {
        const std::int64_t n =
            static_cast<TSinkIo*>(opaque)->Sink->Read(reinterpret_cast<char*>(data), size);
        return n > 0 ? int(n) : n == 0 ? AVERROR_EOF : AVERROR(EIO);
    }
    static std::int64_t Seek(void* opaque, std::int64_t offset, int whence) {
        TAnimSink* sink = static_cast<TSinkIo*>(opaque)->Sink;
        if (whence == AVSEEK_SIZE)
            return sink->Size();
        return sink->Seek(offset, whence & ~AVSEEK_FORCE);
    }
};

// The muxer's context with our I/O context, which FFmpeg must not close as a file of its own.
struct TMuxerCloser {
    void operator()(AVFormatContext* c) const {
        if (c->pb) {
            av_freep(&c->pb->buffer);
            avio_context_free(&c->pb);
        }
        avformat_free_context(c);
    }
};

struct TFormatNames {
    const char* Muxer;
    const char* Encoder;
    const char* Label;
};

TFormatNames Names(TAnimFormat format) {
    switch (format) {
    case TAnimFormat::Apng:
        return {"apng", "apng", "APNG"};
    case TAnimFormat::Mp4:
        return {"mp4", "libx264", "MP4"};
    default:
        return {"webm", "libvpx-vp9", "WebM"};
    }
}

class TAvEncoder : public TAnimEncoder {
public:
    TAvEncoder(const TAnimSettings& settings, TAnimSink& sink)
        : FFormat(settings.Format), FNames(Names(settings.Format)),
          FDelay(std::max(1, settings.DelayMs)) {
        FIo.Sink = &sink;
        const QSize size = AnimFrameSize(settings);
        AVFormatContext* raw = nullptr;
        Check(avformat_alloc_output_context2(&raw, nullptr, FNames.Muxer, nullptr), "start");
        FMuxer.reset(raw);
        const AVCodec* codec = avcodec_find_encoder_by_name(FNames.Encoder);
        if (!codec)
            throw kw::EFcError(QStringLiteral("This FFmpeg has no %1 encoder")
                                   .arg(QString::fromLatin1(FNames.Encoder)));
        FCodec.reset(avcodec_alloc_context3(codec));
        if (!FCodec)
            throw kw::EFcError(QStringLiteral("Not enough memory for the %1 encoder")
                                   .arg(QString::fromLatin1(FNames.Label)));
        AVCodecContext* c = FCodec.get();
        c->width = size.width();
        c->height = size.height();
        c->time_base = AVRational{1, 1000};
        av_reduce(&c->framerate.num, &c->framerate.den, 1000, FDelay, 1 << 30);
        c->sample_aspect_ratio = AVRational{1, 1};
        const bool alpha = AnimHasAlpha(settings);
        if (FFormat == TAnimFormat::Apng) {
            c->pix_fmt = settings.Gray ? (alpha ? AV_PIX_FMT_YA8 : AV_PIX_FMT_GRAY8)
                                       : (alpha ? AV_PIX_FMT_RGBA : AV_PIX_FMT_RGB24);
        } else {
            c->pix_fmt = AV_PIX_FMT_YUV420P;
            c->color_range = AVCOL_RANGE_MPEG;
            c->colorspace = AVCOL_SPC_SMPTE170M;
            c->color_primaries = AVCOL_PRI_SMPTE170M;
            c->color_trc = AVCOL_TRC_SMPTE170M;
            c->thread_count = 0;
            const QByteArray crf = QByteArray::number(AnimQuality(settings));
            av_opt_set(c->priv_data, "crf", crf.constData(), 0);
            if (FFormat == TAnimFormat::Mp4) {
                av_opt_set(c->priv_data, "preset", "medium", 0);
            } else {
                c->bit_rate = 0; // constant quality
                av_opt_set(c->priv_data, "deadline", "good", 0);
                av_opt_set(c->priv_data, "cpu-used", "4", 0);
                av_opt_set(c->priv_data, "row-mt", "1", 0);
            }
        }
        if (FMuxer->oformat->flags & AVFMT_GLOBALHEADER)
            c->flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
        Check(avcodec_open2(c, codec, nullptr), "start");

        FStream = avformat_new_stream(FMuxer.get(), nullptr);
        if (!FStream)
            throw kw::EFcError(QStringLiteral("Not enough memory for the %1 file")
                                   .arg(QString::fromLatin1(FNames.Label)));
        Check(avcodec_parameters_from_context(FStream->codecpar, c), "start");
        FStream->time_base = c->time_base;
        FStream->avg_frame_rate = c->framerate;

        constexpr int BufferSize = 1 << 16;
        auto* buffer = static_cast<unsigned char*>(av_malloc(BufferSize));
        FMuxer->pb = buffer ? avio_alloc_context(buffer, BufferSize, 1, &FIo, &TSinkIo::Read,
                                                 &TSinkIo::Write, &TSinkIo::Seek)
                            : nullptr;
        if (!FMuxer->pb) {
            av_free(buffer);
            throw kw::EFcError(QStringLiteral("Not enough memory for the %1 file")
                                   .arg(QString::fromLatin1(FNames.Label)));
        }
        AVDictionary* options = nullptr;
        if (FFormat == TAnimFormat::Apng) {
            av_dict_set_int(&options, "plays", std::clamp(settings.Loops, 0, 0xFFFF), 0);
            const QByteArray last = QByteArray::number(FDelay) + "/1000";
            av_dict_set(&options, "final_delay", last.constData(), 0);
        } else if (FFormat == TAnimFormat::Mp4 && sink.Fd() >= 0) {
            // The index goes to the front, so that a browser plays while it loads. The muxer
            // reads the file back for it by name: the new file's own descriptor.
            FMuxer->url =
                av_strdup(QByteArray("/proc/self/fd/" + QByteArray::number(sink.Fd())).constData());
            av_dict_set(&options, "movflags", "+faststart", 0);
        }
        const int header = avformat_write_header(FMuxer.get(), &options);
        av_dict_free(&options);
        Check(header, "write the file's header");

        FFrame.reset(av_frame_alloc());
        FPacket.reset(av_packet_alloc());
        if (!FFrame || !FPacket)
            throw kw::EFcError(QStringLiteral("Not enough memory for the %1 encoder")
                                   .arg(QString::fromLatin1(FNames.Label)));
        FFrame->format = c->pix_fmt;
        FFrame->width = c->width;
        FFrame->height = c->height;
        Check(av_frame_get_buffer(FFrame.get(), 0), "make a frame");
        if (FFormat != TAnimFormat::Apng) {
            FScale.reset(sws_getContext(c->width, c->height, AV_PIX_FMT_BGRA, c->width, c->height,
                                        c->pix_fmt, SWS_BICUBIC | SWS_ACCURATE_RND, nullptr,
                                        nullptr, nullptr));
            if (!FScale)
                throw kw::EFcError(QStringLiteral("Not enough memory for the %1 encoder")
                                       .arg(QString::fromLatin1(FNames.Label)));
        }
    }

    void Add(const QImage& fitted) override {
        // The encoder may still hold the frame's buffers from the frame before.
        Check(av_frame_make_writable(FFrame.get()), "make a frame");
        if (FScale) {
            const std::uint8_t* from[1] = {fitted.constBits()};
            const int stride[1] = {int(fitted.bytesPerLine())};
            sws_scale(FScale.get(), from, stride, 0, fitted.height(), FFrame->data,
                      FFrame->linesize);
        } else {
            FillPngFrame(fitted);
        }
        FFrame->pts = std::int64_t(FCount) * FDelay;
        ++FCount;
        Check(avcodec_send_frame(FCodec.get(), FFrame.get()), "encode a frame");
        Drain();
    }

    void Finish() override {
        Check(avcodec_send_frame(FCodec.get(), nullptr), "end the stream");
        Drain();
        Check(av_write_trailer(FMuxer.get()), "finish the file");
        avio_flush(FMuxer->pb);
        Rethrow();
    }

private:
    void Check(int code, const char* what) {
        Rethrow(); // the sink's own error says more than FFmpeg's I/O error
        if (code < 0)
            throw kw::EFcError(QStringLiteral("The %1 encoder could not %2: %3")
                                   .arg(QString::fromLatin1(FNames.Label),
                                        QString::fromLatin1(what), AvErrorText(code)));
    }
    void Rethrow() {
        if (FIo.Error) {
            std::exception_ptr error = FIo.Error;
            FIo.Error = nullptr;
            std::rethrow_exception(error);
        }
    }

    // The pixels of an APNG frame in its own layout, from Format_(A)RGB32 (B, G, R, A).
    void FillPngFrame(const QImage& fitted) {
        const int channels = FFrame->format == AV_PIX_FMT_RGBA    ? 4
                             : FFrame->format == AV_PIX_FMT_RGB24 ? 3
                             : FFrame->format == AV_PIX_FMT_YA8   ? 2
                                                                  : 1;
        for (int y = 0; y < fitted.height(); ++y) {
            const auto* from = reinterpret_cast<const QRgb*>(fitted.constScanLine(y));
            std::uint8_t* to = FFrame->data[0] + std::ptrdiff_t(y) * FFrame->linesize[0];
            for (int x = 0; x < fitted.width(); ++x, to += channels) {
                const QRgb p = from[x];
                if (channels >= 3) {
                    to[0] = std::uint8_t(qRed(p));
                    to[1] = std::uint8_t(qGreen(p));
                    to[2] = std::uint8_t(qBlue(p));
                    if (channels == 4)
                        to[3] = std::uint8_t(qAlpha(p));
                } else {
                    to[0] = std::uint8_t(qRed(p)); // a grey frame: red is its level
                    if (channels == 2)
                        to[1] = std::uint8_t(qAlpha(p));
                }
            }
        }
    }

    void Drain() {
        for (;;) {
            const int got = avcodec_receive_packet(FCodec.get(), FPacket.get());
            if (got == AVERROR(EAGAIN) || got == AVERROR_EOF)
                return;
            Check(got, "encode a frame");
            FPacket->duration = FDelay;
            av_packet_rescale_ts(FPacket.get(), FCodec->time_base, FStream->time_base);
            FPacket->stream_index = FStream->index;
            Check(av_interleaved_write_frame(FMuxer.get(), FPacket.get()), "write a frame");
        }
    }

    TAnimFormat FFormat;
    TFormatNames FNames;
    int FDelay;
    int FCount = 0;
    TSinkIo FIo;
    std::unique_ptr<AVFormatContext, TMuxerCloser> FMuxer;
    TCodecPtr FCodec;
    AVStream* FStream = nullptr; // the muxer's
    TFramePtr FFrame;
    TPacketPtr FPacket;
    TSwsPtr FScale;
};

} // namespace

std::unique_ptr<TAnimEncoder> MakeAvEncoder(const TAnimSettings& settings, TAnimSink& sink) {
    return std::make_unique<TAvEncoder>(settings, sink);
}

} // namespace codecs
