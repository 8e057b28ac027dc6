#include "tests/video/test_videos.h"

#include "codecs/ffmpeg_handles.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/channel_layout.h>
#include <libavutil/opt.h>
#include <libavutil/pixdesc.h>
}

#include <cmath>
#include <memory>

namespace fctest {

namespace {

constexpr int CodeBits = 16;

using fcvideo::TCodecPtr;
using fcvideo::TFramePtr;
using fcvideo::TOutputPtr;
using fcvideo::TPacketPtr;

QString ErrText(int code) {
    char buf[256] = {};
    av_strerror(code, buf, sizeof buf);
    return QString::fromUtf8(buf);
}

// Fills a YUV 4:2:0 (or other planar 8-bit) picture: the code band on top, a moving pattern
// below it.
void PaintFrame(AVFrame* f, int number, int shotFrames) {
    const int w = f->width, h = f->height;
    const int band = h / 4;
    const int shot = shotFrames > 0 ? number / shotFrames : -1;
    for (int y = 0; y < h; ++y) {
        uint8_t* row = f->data[0] + std::ptrdiff_t(y) * f->linesize[0];
        for (int x = 0; x < w; ++x) {
            if (y < band) {
                const int bit = x * CodeBits / w;
                row[x] = ((number >> (CodeBits - 1 - bit)) & 1) ? 235 : 16;
            } else if (shot < 0) {
                row[x] = uint8_t(64 + ((x + y + number * 4) & 127));
            } else {
                // Dark and bright shots in turn, each with stripes of its own slope.
                const int base = shot % 2 ? 170 : 24;
                row[x] = uint8_t(base + ((x * (shot + 1) + y + number * 2) & 31));
            }
        }
    }
    const AVPixFmtDescriptor* d = av_pix_fmt_desc_get(AVPixelFormat(f->format));
    const int cw = AV_CEIL_RSHIFT(w, d->log2_chroma_w), ch = AV_CEIL_RSHIFT(h, d->log2_chroma_h);
    for (int p = 1; p <= 2; ++p)
        for (int y = 0; y < ch; ++y)
            std::memset(f->data[p] + std::ptrdiff_t(y) * f->linesize[p], 128, size_t(cw));
}

class TWriter {
public:
    bool Run(const TTestVideoSpec& s, QString* error) {
        FError = error;
        FTimes = s.Times;
        FShotFrames = s.ShotFrames;
        const QByteArray path = s.Path.toUtf8();
        AVFormatContext* raw = nullptr;
        int rc = avformat_alloc_output_context2(&raw, nullptr, nullptr, path.constData());
        if (rc < 0 || !raw)
            return Fail(QStringLiteral("no container for ") + s.Path, rc);
        FFormat.reset(raw);
        if (!s.VideoCodec.isEmpty() && !OpenVideo(s))
            return false;
        if (!s.AudioCodec.isEmpty() && !OpenAudio(s))
            return false;
        if (!(FFormat->oformat->flags & AVFMT_NOFILE)) {
            rc = avio_open(&FFormat->pb, path.constData(), AVIO_FLAG_WRITE);
            if (rc < 0)
                return Fail(QStringLiteral("cannot write ") + s.Path, rc);
        }
        AVDictionary* options = nullptr;
        av_dict_parse_string(&options, s.MuxerOptions.toUtf8().constData(), "=", ":", 0);
        rc = avformat_write_header(FFormat.get(), &options);
        av_dict_free(&options);
        if (rc < 0)
            return Fail(QStringLiteral("header"), rc);
        FPacket.reset(av_packet_alloc());

        const double videoSeconds = FVideo ? double(s.Frames) / s.Fps : 0;
        const double audioSeconds = s.AudioSeconds > 0 ? s.AudioSeconds : videoSeconds;
        const int64_t audioSamples = FAudio ? int64_t(audioSeconds * FAudio->sample_rate) : 0;
        int frame = 0;
        int64_t sample = 0;
        // Interleave by time: whichever stream is behind writes next.
        while ((FVideo && frame < s.Frames) || (FAudio && sample < audioSamples)) {
            const bool videoNext = FVideo && frame < s.Frames &&
                                   (!FAudio || sample >= audioSamples ||
                                    double(frame) / s.Fps <= double(sample) / FAudio->sample_rate);
            if (videoNext) {
                if (!WriteVideoFrame(frame++))
                    return false;
            } else {
                if (!WriteAudioFrame(sample, audioSamples))
                    return false;
            }
        }
        if ((FVideo && !Encode(FVideo.get(), FVideoStream, nullptr)) ||
            (FAudio && !Encode(FAudio.get(), FAudioStream, nullptr)))
            return false;
        rc = av_write_trailer(FFormat.get());
        if (rc < 0)
            return Fail(QStringLiteral("trailer"), rc);
        return true;
    }

private:
    bool Fail(const QString& what, int rc = 0) {
        if (FError)
            *FError = rc ? what + QStringLiteral(": ") + ErrText(rc) : what;
        return false;
    }

    bool OpenVideo(const TTestVideoSpec& s) {
        const AVCodec* codec = avcodec_find_encoder_by_name(s.VideoCodec.toUtf8().constData());
        if (!codec)
            return Fail(QStringLiteral("no encoder ") + s.VideoCodec);
        FVideo.reset(avcodec_alloc_context3(codec));
        FVideo->width = s.Width;
        FVideo->height = s.Height;
        FVideo->time_base = AVRational{1, s.Fps};
        FVideo->framerate = AVRational{s.Fps, 1};
        FVideo->gop_size = s.Gop;
        FVideo->max_b_frames = s.MaxBFrames;
        FVideo->sample_aspect_ratio = AVRational{s.SampleAspectNum, s.SampleAspectDen};
        FVideo->pix_fmt = AV_PIX_FMT_YUV420P;
        if (codec->pix_fmts) {
            bool has420 = false;
            for (const AVPixelFormat* p = codec->pix_fmts; *p != AV_PIX_FMT_NONE; ++p)
                has420 = has420 || *p == AV_PIX_FMT_YUV420P;
            if (!has420)
                FVideo->pix_fmt = codec->pix_fmts[0];
        }
        if (codec->id == AV_CODEC_ID_MPEG4 || codec->id == AV_CODEC_ID_MSMPEG4V3 ||
            codec->id == AV_CODEC_ID_WMV2 || codec->id == AV_CODEC_ID_FLV1 ||
            codec->id == AV_CODEC_ID_MPEG2VIDEO || codec->id == AV_CODEC_ID_MPEG1VIDEO)
            FVideo->bit_rate = int64_t(s.Width) * s.Height * s.Fps / 4;
        if (s.VideoCodec == QLatin1String("libx264")) {
            av_opt_set(FVideo->priv_data, "preset", "ultrafast", 0);
            av_opt_set(FVideo->priv_data, "crf", "23", 0);
        }
        if (s.VideoCodec == QLatin1String("libvpx") ||
            s.VideoCodec == QLatin1String("libvpx-vp9")) {
            av_opt_set(FVideo->priv_data, "deadline", "realtime", 0);
            av_opt_set(FVideo->priv_data, "cpu-used", "8", 0);
            FVideo->bit_rate = int64_t(s.Width) * s.Height * s.Fps / 4;
        }
        if (FFormat->oformat->flags & AVFMT_GLOBALHEADER)
            FVideo->flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
        int rc = avcodec_open2(FVideo.get(), codec, nullptr);
        if (rc < 0)
            return Fail(QStringLiteral("open ") + s.VideoCodec, rc);
        FVideoStream = avformat_new_stream(FFormat.get(), nullptr);
        avcodec_parameters_from_context(FVideoStream->codecpar, FVideo.get());
        FVideoStream->time_base = FVideo->time_base;
        FVideoStream->sample_aspect_ratio = FVideo->sample_aspect_ratio;
        FVideoStream->avg_frame_rate = FVideo->framerate;
        FVideoFrame.reset(av_frame_alloc());
        FVideoFrame->format = FVideo->pix_fmt;
        FVideoFrame->width = s.Width;
        FVideoFrame->height = s.Height;
        rc = av_frame_get_buffer(FVideoFrame.get(), 0);
        return rc < 0 ? Fail(QStringLiteral("frame"), rc) : true;
    }

    bool OpenAudio(const TTestVideoSpec& s) {
        const AVCodec* codec = avcodec_find_encoder_by_name(s.AudioCodec.toUtf8().constData());
        if (!codec)
            return Fail(QStringLiteral("no encoder ") + s.AudioCodec);
        FAudio.reset(avcodec_alloc_context3(codec));
        FAudio->sample_fmt = codec->sample_fmts ? codec->sample_fmts[0] : AV_SAMPLE_FMT_S16;
        FAudio->sample_rate = 44100;
        if (codec->supported_samplerates) {
            FAudio->sample_rate = codec->supported_samplerates[0];
            for (const int* r = codec->supported_samplerates; *r; ++r)
                if (*r == 44100 || *r == 48000)
                    FAudio->sample_rate = *r;
        }
        av_channel_layout_default(&FAudio->ch_layout, 2);
        FAudio->bit_rate = 128000;
        FAudio->time_base = AVRational{1, FAudio->sample_rate};
        if (FFormat->oformat->flags & AVFMT_GLOBALHEADER)
            FAudio->flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
        int rc = avcodec_open2(FAudio.get(), codec, nullptr);
        if (rc < 0)
            return Fail(QStringLiteral("open ") + s.AudioCodec, rc);
        FAudioStream = avformat_new_stream(FFormat.get(), nullptr);
        avcodec_parameters_from_context(FAudioStream->codecpar, FAudio.get());
        FAudioStream->time_base = FAudio->time_base;
        FAudioFrame.reset(av_frame_alloc());
        FAudioFrame->format = FAudio->sample_fmt;
        FAudioFrame->sample_rate = FAudio->sample_rate;
        av_channel_layout_copy(&FAudioFrame->ch_layout, &FAudio->ch_layout);
        FAudioFrame->nb_samples = FAudio->frame_size > 0 ? FAudio->frame_size : 1024;
        rc = av_frame_get_buffer(FAudioFrame.get(), 0);
        return rc < 0 ? Fail(QStringLiteral("audio frame"), rc) : true;
    }

    bool WriteVideoFrame(int number) {
        int rc = av_frame_make_writable(FVideoFrame.get());
        if (rc < 0)
            return Fail(QStringLiteral("writable"), rc);
        PaintFrame(FVideoFrame.get(), number, FShotFrames);
        FVideoFrame->pts = number < FTimes.size() ? FTimes[number] : number;
        return Encode(FVideo.get(), FVideoStream, FVideoFrame.get());
    }

    bool WriteAudioFrame(int64_t& sample, int64_t total) {
        AVFrame* f = FAudioFrame.get();
        int rc = av_frame_make_writable(f);
        if (rc < 0)
            return Fail(QStringLiteral("writable"), rc);
        const int n = int(std::min<int64_t>(f->nb_samples, total - sample));
        const int channels = f->ch_layout.nb_channels;
        const bool planar = av_sample_fmt_is_planar(AVSampleFormat(f->format));
        for (int i = 0; i < f->nb_samples; ++i) {
            const double v =
                i < n ? 0.2 * std::sin(2 * M_PI * 440.0 * double(sample + i) / f->sample_rate)
                      : 0.0;
            for (int c = 0; c < channels; ++c) {
                const int at = planar ? i : i * channels + c;
                uint8_t* plane = f->data[planar ? c : 0];
                switch (f->format) {
                case AV_SAMPLE_FMT_FLTP:
                case AV_SAMPLE_FMT_FLT:
                    reinterpret_cast<float*>(plane)[at] = float(v);
                    break;
                case AV_SAMPLE_FMT_S32:
                case AV_SAMPLE_FMT_S32P:
                    reinterpret_cast<int32_t*>(plane)[at] = int32_t(v * 2147483647.0);
                    break;
                default:
                    reinterpret_cast<int16_t*>(plane)[at] = int16_t(v * 32767.0);
                    break;
                }
            }
        }
        f->pts = sample;
        sample += f->nb_samples;
        return Encode(FAudio.get(), FAudioStream, f);
    }

    bool Encode(AVCodecContext* codec, AVStream* stream, AVFrame* frame) {
        int rc = avcodec_send_frame(codec, frame);
        if (rc < 0 && rc != AVERROR_EOF)
            return Fail(QStringLiteral("encode"), rc);
        for (;;) {
            rc = avcodec_receive_packet(codec, FPacket.get());
            if (rc == AVERROR(EAGAIN) || rc == AVERROR_EOF)
                return true;
            if (rc < 0)
                return Fail(QStringLiteral("encode"), rc);
            av_packet_rescale_ts(FPacket.get(), codec->time_base, stream->time_base);
            FPacket->stream_index = stream->index;
            rc = av_interleaved_write_frame(FFormat.get(), FPacket.get());
            if (rc < 0)
                return Fail(QStringLiteral("write"), rc);
        }
    }

    QString* FError = nullptr;
    QList<int> FTimes;
    int FShotFrames = 0;
    TOutputPtr FFormat;
    TCodecPtr FVideo, FAudio;
    TFramePtr FVideoFrame, FAudioFrame;
    TPacketPtr FPacket;
    AVStream* FVideoStream = nullptr;
    AVStream* FAudioStream = nullptr;
};

} // namespace

bool MakeTestVideo(const TTestVideoSpec& recipe, QString* error) {
    // The encoders' statistics would bury the test output.
    const int level = av_log_get_level();
    av_log_set_level(AV_LOG_ERROR);
    bool ok = false;
    {
        TWriter writer; // its encoders also log when they close
        ok = writer.Run(recipe, error);
    }
    av_log_set_level(level);
    return ok;
}

bool HasEncoder(const QString& name) {
    return avcodec_find_encoder_by_name(name.toUtf8().constData()) != nullptr;
}

int FrameNumberOf(const QImage& picture) {
    if (picture.isNull() || picture.width() < CodeBits * 2 || picture.height() < 8)
        return -1;
    const QImage img = picture.convertToFormat(QImage::Format_RGB32);
    const int w = img.width();
    const int band = img.height() / 4;
    int number = 0;
    for (int bit = 0; bit < CodeBits; ++bit) {
        // Average a patch in the middle of the block, away from its edges.
        const int x0 = (2 * bit + 1) * w / (2 * CodeBits);
        const int half = std::max(1, w / (CodeBits * 6));
        const int y0 = band / 2;
        const int hy = std::max(1, band / 6);
        int sum = 0, count = 0;
        for (int y = y0 - hy; y <= y0 + hy; ++y)
            for (int x = x0 - half; x <= x0 + half; ++x) {
                sum += qGray(img.pixel(x, y));
                ++count;
            }
        const int grey = sum / count;
        if (grey > 80 && grey < 175)
            return -1;
        number = number * 2 + (grey >= 175 ? 1 : 0);
    }
    return number;
}

} // namespace fctest
