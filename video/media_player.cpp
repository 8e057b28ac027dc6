#include "video/media_player.h"

#include "video/dib_header.h"
#include "video/media_timeline.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/imgutils.h>
#include <libswresample/swresample.h>
#include <libswscale/swscale.h>
}

#include <QAudioDevice>
#include <QAudioFormat>
#include <QAudioSink>
#include <QIODevice>
#include <QMediaDevices>
#include <QRect>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <condition_variable>
#include <cstring>
#include <deque>
#include <mutex>
#include <thread>
#include <vector>

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

namespace {

using TClockType = std::chrono::steady_clock;

struct TFormatCloser {
    void operator()(AVFormatContext* c) const { avformat_close_input(&c); }
};
struct TCodecCloser {
    void operator()(AVCodecContext* c) const { avcodec_free_context(&c); }
};
struct TPacketCloser {
    void operator()(AVPacket* p) const { av_packet_free(&p); }
};
struct TFrameCloser {
    void operator()(AVFrame* f) const { av_frame_free(&f); }
};
struct TSwsCloser {
    void operator()(SwsContext* c) const { sws_freeContext(c); }
};
struct TSwrCloser {
    void operator()(SwrContext* c) const { swr_free(&c); }
};
using TFramePtr = std::unique_ptr<AVFrame, TFrameCloser>;
using TFormatPtr = std::unique_ptr<AVFormatContext, TFormatCloser>;

// The media clock in microseconds: runs from a base on the system's steady clock, or stands.
struct TMediaClock {
    std::int64_t Base = 0;
    TClockType::time_point Wall = TClockType::now();
    bool Running = false;

    std::int64_t Now() const {
        if (!Running)
            return Base;
        return Base +
               std::chrono::duration_cast<std::chrono::microseconds>(TClockType::now() - Wall)
                   .count();
    }
    void Set(std::int64_t t) {
        Base = t;
        Wall = TClockType::now();
    }
    void Run() {
        if (!Running) {
            Wall = TClockType::now();
            Running = true;
        }
    }
    void Freeze() {
        if (Running) {
            Base = Now();
            Running = false;
        }
    }
};

// The sound on its way to the sound device: a ring of 16-bit stereo samples that the sink
// pulls. Underruns are filled with silence so that the device keeps running.
class TAudioFeed : public QIODevice {
public:
    TAudioFeed(int bytesPerSecond, std::function<void(std::int64_t)> played)
        : FRing(size_t(bytesPerSecond) * 2), FBytesPerSecond(bytesPerSecond),
          FPlayed(std::move(played)) {
        open(QIODevice::ReadOnly);
    }
    bool isSequential() const override { return true; }
    qint64 bytesAvailable() const override { return 1 << 16; }

    size_t Free() {
        std::lock_guard lock(FMutex);
        return FRing.size() - FFill;
    }
    // Appends when there is room; the data ends at media time endUs.
    bool Push(const std::uint8_t* data, size_t n, std::int64_t endUs) {
        std::lock_guard lock(FMutex);
        if (FRing.size() - FFill < n)
            return false;
        for (size_t i = 0; i < n; ++i)
            FRing[(FHead + FFill + i) % FRing.size()] = data[i];
        FFill += n;
        FEndUs = endUs;
        return true;
    }
    void Clear() {
        std::lock_guard lock(FMutex);
        FFill = 0;
    }
    bool Empty() {
        std::lock_guard lock(FMutex);
        return FFill == 0;
    }

protected:
    qint64 readData(char* data, qint64 maxSize) override {
        size_t n = 0;
        std::int64_t playedUs = 0;
        {
            std::lock_guard lock(FMutex);
            n = std::min(size_t(maxSize), FFill);
            for (size_t i = 0; i < n; ++i)
                data[i] = char(FRing[(FHead + i) % FRing.size()]);
            FHead = (FHead + n) % FRing.size();
            FFill -= n;
            playedUs = FEndUs - std::int64_t(FFill) * 1000000 / FBytesPerSecond;
        }
        if (std::int64_t(n) < maxSize)
            std::memset(data + n, 0, size_t(maxSize) - n);
        if (n > 0 && FPlayed)
            FPlayed(playedUs);
        return maxSize;
    }
    qint64 writeData(const char*, qint64) override { return -1; }

private:
    std::mutex FMutex;
    std::vector<std::uint8_t> FRing;
    size_t FHead = 0;
    size_t FFill = 0;
    std::int64_t FEndUs = 0;
    int FBytesPerSecond;
    std::function<void(std::int64_t)> FPlayed;
};

bool IsStillPictureFormat(const AVInputFormat* f) {
    const QByteArray name(f->name);
    return name.endsWith("_pipe") || name == "image2" || name == "gif" || name == "apng" ||
           name == "webp_pipe";
}

} // namespace

struct TMediaPlayer::TImpl {
    TCallbacks Callbacks;

    // FFmpeg, owned here; after Open() touched only by the player thread, except the grab
    // and rescale contexts, which belong to the GUI thread.
    TFormatPtr Format;
    std::unique_ptr<AVCodecContext, TCodecCloser> Video, Audio;
    std::unique_ptr<AVPacket, TPacketCloser> Packet;
    std::unique_ptr<SwsContext, TSwsCloser> DisplaySws, RescaleSws, GrabSws;
    std::unique_ptr<SwrContext, TSwrCloser> Resampler;
    int VideoIndex = -1;
    int AudioIndex = -1;
    AVRational VideoTb{1, 1}, AudioTb{1, 1};
    QString Path;
    // Media time 0: the first picture (the first sound of a file without pictures), in the
    // file's own microseconds.
    std::int64_t StartUs = 0;
    // As the container says, or longer once pictures beyond it have been shown (a file whose
    // clock restarted plays longer than its timestamps reach).
    std::atomic<std::int64_t> Duration{0};
    // Where the first picture's packet lies in the file, and where the first picture packet
    // read since the last seek lay (-1: not known): a seek to the start has landed there only
    // if it did not land after it.
    std::int64_t FirstVideoPos = -1;
    std::int64_t LandedPos = -1;
    bool Landed = false;
    std::int64_t FrameDurUs = 40000;
    double Aspect = 0;
    bool SkipWhileSeeking = false;

    // Player thread only. Decoded pictures carry their media time in pts.
    struct TDecoded {
        TFramePtr Frame;
        bool Jumped; // the file's timestamps broke just before it
    };
    std::deque<TDecoded> Pending;
    TTimeline VideoLine, AudioLine;
    std::int64_t AudioStepUs = 0; // length of the last sound packet
    bool InputEnded = false;
    bool VideoDrained = false;
    bool Seeking = false;
    std::int64_t SeekTargetUs = 0;
    // Ends of what has been decoded, in media time.
    std::int64_t VideoEndUs = 0;
    std::int64_t AudioEndUs = 0;
    std::vector<std::uint8_t> AudioScratch;

    // Commands and the clock, under Mutex.
    mutable std::mutex Mutex;
    std::condition_variable Wake;
    TState State = Stopped;
    std::uint64_t Serial = 0;
    bool Quit = false;
    bool SeekPending = false;
    std::int64_t SeekRequestUs = 0;
    // Seeks asked for and seeks whose picture is on display: a grab waits for the two to meet,
    // so that a grab right after a seek takes the picture at the new place.
    std::uint64_t SeekRequests = 0;
    std::uint64_t SeeksDone = 0;
    std::condition_variable SeekFinished;
    bool Ended = false;
    TMediaClock Clock;

    // The picture on display, under FrameMutex.
    mutable std::mutex FrameMutex;
    TFramePtr Shown;
    QImage ShownPicture;
    QSize Area;

    std::atomic<std::int64_t> Shows{0}, Drops{0};

    // Sound output (GUI thread), when a device exists.
    std::unique_ptr<TAudioFeed> Feed;
    std::unique_ptr<QAudioSink> Sink;
    std::vector<std::uint8_t> GrabScratch; // GUI thread
    bool SinkStarted = false;
    int OutRate = 48000;
    std::atomic<std::int64_t> LatencyUs{0};
    double Volume = 1.0;

    std::thread Thread;

    std::int64_t ToUs(std::int64_t ts, AVRational tb) const {
        return av_rescale_q(ts, tb, AV_TIME_BASE_Q) - StartUs;
    }
    // The file's time of a decoded picture in microseconds, or none.
    std::int64_t FileTime(const AVFrame* f) const {
        const std::int64_t ts =
            f->best_effort_timestamp != AV_NOPTS_VALUE ? f->best_effort_timestamp : f->pts;
        return ts == AV_NOPTS_VALUE ? TTimeline::NoTime : av_rescale_q(ts, VideoTb, AV_TIME_BASE_Q);
    }

    // ---- opening ----

    int Open(const QString& path) {
        AVFormatContext* raw = nullptr;
        const QByteArray file = path.toUtf8();
        int rc = avformat_open_input(&raw, file.constData(), nullptr, nullptr);
        if (rc < 0)
            return rc;
        Format.reset(raw);
        Path = path;
        if (IsStillPictureFormat(Format->iformat))
            return AVERROR_INVALIDDATA;
        rc = avformat_find_stream_info(Format.get(), nullptr);
        if (rc < 0)
            return rc;

        const AVCodec* vdec = nullptr;
        rc = av_find_best_stream(Format.get(), AVMEDIA_TYPE_VIDEO, -1, -1, &vdec, 0);
        if (rc == AVERROR_DECODER_NOT_FOUND)
            return rc;
        if (rc >= 0 && !(Format->streams[rc]->disposition & AV_DISPOSITION_ATTACHED_PIC))
            VideoIndex = rc;
        const AVCodec* adec = nullptr;
        rc = av_find_best_stream(Format.get(), AVMEDIA_TYPE_AUDIO, -1, VideoIndex, &adec, 0);
        if (rc >= 0)
            AudioIndex = rc;
        if (VideoIndex < 0 && AudioIndex < 0)
            return rc == AVERROR_DECODER_NOT_FOUND ? rc : AVERROR_STREAM_NOT_FOUND;

        Packet.reset(av_packet_alloc());

        if (VideoIndex >= 0) {
            AVStream* st = Format->streams[VideoIndex];
            VideoTb = st->time_base;
            Video.reset(avcodec_alloc_context3(vdec));
            if (!Video)
                return AVERROR(ENOMEM);
            rc = avcodec_parameters_to_context(Video.get(), st->codecpar);
            if (rc < 0)
                return rc;
            Video->pkt_timebase = st->time_base;
            Video->thread_count = 0; // one per core
            Video->thread_type = FF_THREAD_FRAME | FF_THREAD_SLICE;
            rc = avcodec_open2(Video.get(), vdec, nullptr);
            if (rc < 0)
                return rc;
            if (st->codecpar->width <= 0 || st->codecpar->height <= 0)
                return AVERROR_INVALIDDATA;
            const AVRational sar = av_guess_sample_aspect_ratio(Format.get(), st, nullptr);
            const double pixel = sar.num > 0 && sar.den > 0 ? av_q2d(sar) : 1.0;
            Aspect = pixel * st->codecpar->width / st->codecpar->height;
            const AVRational rate = av_guess_frame_rate(Format.get(), st, nullptr);
            if (rate.num > 0 && rate.den > 0)
                FrameDurUs = std::clamp<std::int64_t>(av_rescale(1000000, rate.den, rate.num), 1000,
                                                      1000000);
            const QByteArray demuxer(Format->iformat->name);
            SkipWhileSeeking = (vdec->id == AV_CODEC_ID_H264 || vdec->id == AV_CODEC_ID_HEVC) &&
                               !demuxer.contains("avi");
        }
        if (AudioIndex >= 0) {
            AVStream* st = Format->streams[AudioIndex];
            AudioTb = st->time_base;
            const bool device = !QMediaDevices::defaultAudioOutput().isNull();
            // Without a device the sound is only checked once for a sound-only file.
            if (adec && (device || VideoIndex < 0)) {
                Audio.reset(avcodec_alloc_context3(adec));
                if (Audio && avcodec_parameters_to_context(Audio.get(), st->codecpar) >= 0) {
                    Audio->pkt_timebase = st->time_base;
                    if (avcodec_open2(Audio.get(), adec, nullptr) < 0)
                        Audio.reset();
                } else {
                    Audio.reset();
                }
            }
            if (VideoIndex < 0 && !Audio)
                return AVERROR_DECODER_NOT_FOUND;
        }

        const bool device = !QMediaDevices::defaultAudioOutput().isNull();
        if (Audio && device && !OpenSoundOutput() && VideoIndex >= 0)
            Audio.reset();

        // The first picture (or the first sound) is decoded here, so that a file that
        // cannot be decoded fails now and the preview has a picture at once. Its time is
        // media time 0: positions count from the first picture, whatever the container's
        // clock or the sound do before it.
        if (VideoIndex >= 0) {
            VideoLine.Reset();
            AudioLine.Reset();
            while (Pending.empty() && !VideoDrained)
                FeedOnePacket();
            if (Pending.empty())
                return AVERROR_INVALIDDATA;
            const std::int64_t first = Pending.front().Frame->pts;
            FirstVideoPos = LandedPos;
            StartUs += first;
            for (TDecoded& d : Pending)
                d.Frame->pts -= first;
            VideoEndUs -= first;
            AudioEndUs -= first;
            TFramePtr picture = std::move(Pending.front().Frame);
            Pending.pop_front();
            Present(std::move(picture));
        } else {
            StartUs = Format->start_time != AV_NOPTS_VALUE ? Format->start_time : 0;
            rc = CheckSoundDecodes();
            if (rc < 0)
                return rc;
        }
        Duration = std::max<std::int64_t>(0, FileEndUs() - StartUs);
        Thread = std::thread([this] { Run(); });
        return 0;
    }

    // Opens the file into `format` (kept as it was on failure); 0 or FFmpeg's error code.
    static int OpenInput(const QString& path, TFormatPtr& format) {
        AVFormatContext* raw = nullptr;
        int rc = avformat_open_input(&raw, path.toUtf8().constData(), nullptr, nullptr);
        if (rc < 0)
            return rc;
        TFormatPtr opened(raw);
        rc = avformat_find_stream_info(opened.get(), nullptr);
        if (rc < 0)
            return rc;
        if (format && opened->nb_streams != format->nb_streams)
            return AVERROR_INVALIDDATA;
        format = std::move(opened);
        return 0;
    }

    // Where the file ends in its own microseconds: as the container says, or else as far as
    // its packets go.
    std::int64_t FileEndUs() const {
        if (Format->duration > 0)
            return (Format->start_time != AV_NOPTS_VALUE ? Format->start_time : 0) +
                   Format->duration;
        std::int64_t end = AV_NOPTS_VALUE;
        for (const int index : {VideoIndex, AudioIndex}) {
            if (index < 0)
                continue;
            const AVStream* st = Format->streams[index];
            if (st->duration > 0)
                end = std::max(
                    end, av_rescale_q((st->start_time != AV_NOPTS_VALUE ? st->start_time : 0) +
                                          st->duration,
                                      st->time_base, AV_TIME_BASE_Q));
        }
        return end != AV_NOPTS_VALUE ? end : ScanForEndUs();
    }

    // A file that does not tell its length (a bare video stream, say): its packets are read
    // through a second reader, all of them in a small file, else the first few megabytes,
    // and the length is taken in proportion to the file's size.
    std::int64_t ScanForEndUs() const {
        constexpr std::int64_t ScanBytes = 16 << 20;
        TFormatPtr scan;
        const int index = VideoIndex >= 0 ? VideoIndex : AudioIndex;
        if (OpenInput(Path, scan) < 0 || index >= int(scan->nb_streams))
            return StartUs;
        const AVRational tb = scan->streams[index]->time_base;
        std::unique_ptr<AVPacket, TPacketCloser> pkt(av_packet_alloc());
        std::int64_t first = AV_NOPTS_VALUE, end = AV_NOPTS_VALUE, pos = 0;
        bool complete = false;
        for (;;) {
            if (av_read_frame(scan.get(), pkt.get()) < 0) {
                complete = true;
                break;
            }
            if (pkt->stream_index == index && pkt->pts != AV_NOPTS_VALUE) {
                const std::int64_t t = av_rescale_q(pkt->pts, tb, AV_TIME_BASE_Q);
                const std::int64_t length = av_rescale_q(pkt->duration, tb, AV_TIME_BASE_Q);
                if (first == AV_NOPTS_VALUE)
                    first = t;
                end = std::max(end, t + (length > 0 ? length : FrameDurUs));
            }
            if (pkt->pos > 0)
                pos = pkt->pos;
            av_packet_unref(pkt.get());
            if (pos > ScanBytes)
                break;
        }
        if (end == AV_NOPTS_VALUE)
            return StartUs;
        const std::int64_t size = scan->pb ? avio_size(scan->pb) : -1;
        if (!complete && size > pos && pos > 0)
            end = first + av_rescale(end - first, size, pos);
        return end;
    }

    // Decodes the first sound frame of a sound-only file, then starts again at the
    // beginning.
    int CheckSoundDecodes() {
        TFramePtr frame(av_frame_alloc());
        for (int packets = 0; packets < 500; ++packets) {
            int rc = av_read_frame(Format.get(), Packet.get());
            if (rc < 0)
                return AVERROR_INVALIDDATA;
            if (Packet->stream_index == AudioIndex) {
                rc = avcodec_send_packet(Audio.get(), Packet.get());
                av_packet_unref(Packet.get());
                if (rc >= 0 && avcodec_receive_frame(Audio.get(), frame.get()) >= 0) {
                    avcodec_flush_buffers(Audio.get());
                    av_seek_frame(Format.get(), -1,
                                  Format->start_time != AV_NOPTS_VALUE ? Format->start_time : 0,
                                  AVSEEK_FLAG_BACKWARD);
                    return 0;
                }
            } else {
                av_packet_unref(Packet.get());
            }
        }
        return AVERROR_INVALIDDATA;
    }

    bool OpenSoundOutput() {
        const QAudioDevice device = QMediaDevices::defaultAudioOutput();
        if (device.isNull())
            return false;
        QAudioFormat format;
        format.setSampleRate(Audio->sample_rate > 0 ? Audio->sample_rate : 48000);
        format.setChannelCount(2);
        format.setSampleFormat(QAudioFormat::Int16);
        if (!device.isFormatSupported(format))
            format.setSampleRate(48000);
        if (!device.isFormatSupported(format))
            return false;
        OutRate = format.sampleRate();
        AVChannelLayout stereo = AV_CHANNEL_LAYOUT_STEREO;
        SwrContext* swr = nullptr;
        if (swr_alloc_set_opts2(&swr, &stereo, AV_SAMPLE_FMT_S16, OutRate, &Audio->ch_layout,
                                Audio->sample_fmt, Audio->sample_rate, 0, nullptr) < 0 ||
            swr_init(swr) < 0) {
            swr_free(&swr);
            return false;
        }
        Resampler.reset(swr);
        Feed =
            std::make_unique<TAudioFeed>(OutRate * 4, [this](std::int64_t us) { SoundPlayed(us); });
        Sink = std::make_unique<QAudioSink>(device, format);
        Sink->setVolume(Volume);
        return true;
    }

    // GUI thread, while the sink pulls: the sound is the master clock.
    void SoundPlayed(std::int64_t playedUs) {
        const std::int64_t heard = playedUs - LatencyUs.load();
        std::lock_guard lock(Mutex);
        if (State == Playing && Clock.Running && std::llabs(Clock.Now() - heard) > 30000)
            Clock.Set(heard);
    }

    // ---- decoding (player thread, and Open before the thread starts) ----

    void FeedOnePacket() {
        AVPacket* pkt = Packet.get();
        const int rc = av_read_frame(Format.get(), pkt);
        if (rc < 0) {
            if (Video) {
                avcodec_send_packet(Video.get(), nullptr);
                ReceiveVideo();
            }
            if (Audio && Feed) {
                avcodec_send_packet(Audio.get(), nullptr);
                ReceiveAudio();
            }
            VideoDrained = true;
            InputEnded = true;
            return;
        }
        if (pkt->stream_index == VideoIndex && Video) {
            if (!Landed) {
                Landed = true;
                LandedPos = pkt->pos;
            }
            if (SkipWhileSeeking) {
                const bool early = Seeking && pkt->pts != AV_NOPTS_VALUE &&
                                   ToUs(pkt->pts, VideoTb) < SeekTargetUs - 3 * FrameDurUs;
                Video->skip_frame = early ? AVDISCARD_NONREF : AVDISCARD_DEFAULT;
            }
            if (avcodec_send_packet(Video.get(), pkt) >= 0)
                ReceiveVideo();
        } else if (pkt->stream_index == AudioIndex) {
            PlaceSoundPacket(pkt);
            if (Audio && Feed && avcodec_send_packet(Audio.get(), pkt) >= 0)
                ReceiveAudio();
        }
        av_packet_unref(pkt);
    }

    // Sound packets get their media time before decoding, so that the decoded sound and
    // the sound clock run on through restarts and wild values of the file's timestamps.
    void PlaceSoundPacket(AVPacket* pkt) {
        if (pkt->pts == AV_NOPTS_VALUE)
            return;
        const std::int64_t file = av_rescale_q(pkt->pts, AudioTb, AV_TIME_BASE_Q);
        const TTimeline::TPlace place = AudioLine.Place(file, AudioStepUs);
        if (place.Time != file) {
            const std::int64_t shift = av_rescale_q(place.Time - file, AV_TIME_BASE_Q, AudioTb);
            pkt->pts += shift;
            if (pkt->dts != AV_NOPTS_VALUE)
                pkt->dts += shift;
        }
        AudioStepUs =
            std::max<std::int64_t>(0, av_rescale_q(pkt->duration, AudioTb, AV_TIME_BASE_Q));
        AudioEndUs = std::max(AudioEndUs, place.Time - StartUs + AudioStepUs);
    }

    void ReceiveVideo() {
        for (;;) {
            TFramePtr f(av_frame_alloc());
            const int rc = avcodec_receive_frame(Video.get(), f.get());
            if (rc == AVERROR_EOF) {
                VideoDrained = true;
                return;
            }
            if (rc < 0)
                return;
            const TTimeline::TPlace place = VideoLine.Place(FileTime(f.get()), FrameDurUs);
            f->pts = place.Time - StartUs; // from here on: media time in microseconds
            VideoEndUs = std::max(VideoEndUs, f->pts + FrameDurUs);
            Pending.push_back({std::move(f), place.Jumped});
        }
    }

    void ReceiveAudio() {
        TFramePtr f(av_frame_alloc());
        while (avcodec_receive_frame(Audio.get(), f.get()) >= 0) {
            std::int64_t t = f->best_effort_timestamp != AV_NOPTS_VALUE
                                 ? ToUs(f->best_effort_timestamp, AudioTb)
                                 : AudioEndUs;
            const std::int64_t len =
                f->sample_rate > 0 ? std::int64_t(f->nb_samples) * 1000000 / f->sample_rate : 0;
            AudioEndUs = std::max(AudioEndUs, t + len);
            if (Seeking && t + len < SeekTargetUs) {
                av_frame_unref(f.get());
                continue;
            }
            const int outMax = swr_get_out_samples(Resampler.get(), f->nb_samples);
            AudioScratch.resize(size_t(std::max(outMax, 0)) * 4);
            std::uint8_t* out = AudioScratch.data();
            const int got =
                swr_convert(Resampler.get(), &out, outMax,
                            const_cast<const std::uint8_t**>(f->extended_data), f->nb_samples);
            av_frame_unref(f.get());
            if (got > 0)
                PushSound(out, size_t(got) * 4, t + len);
        }
    }

    // Waits for room in the sound ring; gives up (dropping the sound) on any command.
    void PushSound(const std::uint8_t* data, size_t n, std::int64_t endUs) {
        std::unique_lock lock(Mutex);
        const std::uint64_t serial = Serial;
        for (;;) {
            lock.unlock();
            if (Feed->Push(data, n, endUs))
                return;
            lock.lock();
            if (Quit || Serial != serial)
                return;
            Wake.wait_for(lock, std::chrono::milliseconds(10));
        }
    }

    // ---- showing ----

    QSize DisplaySizeFor(QSize area) const {
        return LetterboxRect(QRect(QPoint(0, 0), area), Aspect).size();
    }

    static QImage Scale(std::unique_ptr<SwsContext, TSwsCloser>& sws, const AVFrame* f,
                        QSize size) {
        if (size.isEmpty() || !f || !f->data[0])
            return {};
        SwsContext* c = sws_getCachedContext(
            sws.release(), f->width, f->height, AVPixelFormat(f->format), size.width(),
            size.height(), AV_PIX_FMT_RGB32, SWS_BILINEAR, nullptr, nullptr, nullptr);
        sws.reset(c);
        if (!c)
            return {};
        QImage img(size, QImage::Format_RGB32);
        std::uint8_t* dst[4] = {img.bits(), nullptr, nullptr, nullptr};
        int dstStride[4] = {int(img.bytesPerLine()), 0, 0, 0};
        sws_scale(c, f->data, f->linesize, 0, f->height, dst, dstStride);
        return img;
    }

    void Present(TFramePtr f) {
        const std::int64_t end = f->pts + FrameDurUs;
        QSize area;
        {
            std::lock_guard lock(FrameMutex);
            area = Area;
        }
        QImage picture = Scale(DisplaySws, f.get(), DisplaySizeFor(area));
        {
            std::lock_guard lock(FrameMutex);
            if (Area != area) // resized meanwhile
                picture = Scale(DisplaySws, f.get(), DisplaySizeFor(Area));
            Shown = std::move(f);
            ShownPicture = std::move(picture);
        }
        ++Shows;
        if (end > Duration)
            Duration = end;
        if (Callbacks.PictureShown)
            Callbacks.PictureShown();
    }

    // ---- the player thread ----

    // Waits until the clock reaches t while playing; false when a command came first.
    bool WaitForClock(std::int64_t t) {
        std::unique_lock lock(Mutex);
        const std::uint64_t serial = Serial;
        for (;;) {
            if (Quit || Serial != serial || State != Playing)
                return false;
            const std::int64_t now = Clock.Now();
            if (now >= t)
                return true;
            Wake.wait_for(lock, std::chrono::microseconds(std::min<std::int64_t>(t - now, 20000)));
        }
    }

    bool SeekInterrupted() {
        std::lock_guard lock(Mutex);
        return Quit || SeekPending;
    }

    void Run() {
        for (;;) {
            std::unique_lock lock(Mutex);
            if (Quit)
                return;
            if (SeekPending) {
                SeekPending = false;
                const std::int64_t t = SeekRequestUs;
                const std::uint64_t ticket = SeekRequests;
                lock.unlock();
                DoSeek(t);
                {
                    std::lock_guard done(Mutex);
                    SeeksDone = std::max(SeeksDone, ticket);
                }
                SeekFinished.notify_all();
                continue;
            }
            if (State != Playing || Ended) {
                Wake.wait(lock);
                continue;
            }
            lock.unlock();

            if (!Pending.empty()) {
                const std::int64_t t = Pending.front().Frame->pts;
                if (!WaitForClock(t))
                    continue;
                TFramePtr f = std::move(Pending.front().Frame);
                Pending.pop_front();
                std::int64_t late;
                {
                    std::lock_guard l(Mutex);
                    late = Clock.Now() - t;
                }
                if (late > std::max<std::int64_t>(3 * FrameDurUs, 150000) && !Pending.empty()) {
                    ++Drops;
                    continue;
                }
                Present(std::move(f));
                continue;
            }
            if (InputEnded && (VideoDrained || !Video)) {
                // Every picture has been shown: the end comes when the last one (or the sound
                // after it) has had its time. Both ends are media times, which keep to the
                // pace of the file whatever its timestamps say.
                std::int64_t end = std::max(VideoEndUs, AudioEndUs);
                if (end <= 0)
                    end = Duration;
                if (!WaitForClock(end))
                    continue;
                {
                    std::lock_guard l(Mutex);
                    Ended = true;
                    State = Paused;
                    Clock.Freeze();
                }
                if (Callbacks.EndOfStream)
                    Callbacks.EndOfStream();
                continue;
            }
            FeedOnePacket();
        }
    }

    // Forgets what was decoded; media time is the file's time again, from `origin` (media
    // time) for whatever carries no timestamp.
    void ResetDecoding(std::int64_t origin) {
        if (Video)
            avcodec_flush_buffers(Video.get());
        if (Audio)
            avcodec_flush_buffers(Audio.get());
        if (Feed)
            Feed->Clear();
        Pending.clear();
        InputEnded = false;
        VideoDrained = false;
        VideoLine.Reset(origin + StartUs);
        AudioLine.Reset(origin + StartUs);
        AudioStepUs = 0;
        VideoEndUs = AudioEndUs = 0;
        Landed = false;
    }

    // Decodes until a picture is waiting or the input has ended; false when a command came.
    bool DecodeFirstPicture() {
        while (Pending.empty() && !VideoDrained) {
            if (SeekInterrupted())
                return false;
            FeedOnePacket();
        }
        return true;
    }

    bool AtFirstPicture() const {
        return !Pending.empty() && Pending.front().Frame->pts <= FrameDurUs / 2 &&
               (FirstVideoPos < 0 || LandedPos < 0 || LandedPos <= FirstVideoPos);
    }

    // Goes back to the first picture. Asking for a time before it finds the first packet of
    // files searched by their timestamps (MPEG program and transport streams, where asking
    // for the first picture's own time can land after its key picture); the first picture's
    // time suits files with an index. Where both land elsewhere (an index whose times occur
    // twice, from a file whose clock restarted), the file is opened again.
    bool SeekToFirstPicture(int stream, AVRational tb) {
        const std::int64_t first = av_rescale_q(StartUs, AV_TIME_BASE_Q, tb);
        const std::int64_t before = first - av_rescale_q(1000000, AV_TIME_BASE_Q, tb);
        for (int way = 0; way < 3; ++way) {
            bool ok = false;
            if (way == 0)
                ok = av_seek_frame(Format.get(), stream, before, AVSEEK_FLAG_BACKWARD) >= 0;
            else if (way == 1)
                ok = av_seek_frame(Format.get(), stream, first, AVSEEK_FLAG_BACKWARD) >= 0;
            else
                ok = OpenInput(Path, Format) >= 0;
            if (!ok)
                continue;
            ResetDecoding(0);
            if (!Video)
                return true;
            if (!DecodeFirstPicture())
                return false;
            if (AtFirstPicture())
                return true;
        }
        return true; // as near as the file allows
    }

    // Shows the picture whose time span holds media time t. The file is entered at the last
    // key picture before t (further back when the demuxer lands after t, from the first
    // picture when nothing earlier is left) and decoded up to t. Where the file ends first (a
    // cut file) or its timestamps break on the way, the last picture before is shown, and
    // the clock goes to that picture rather than to t.
    void DoSeek(std::int64_t t) {
        Seeking = true;
        SeekTargetUs = t;
        const int stream = VideoIndex >= 0 ? VideoIndex : AudioIndex;
        const AVRational tb = Format->streams[stream]->time_base;
        std::int64_t margin = 0;
        for (;;) {
            const std::int64_t from = t - margin;
            const bool fromStart = from <= FrameDurUs / 2;
            if (fromStart) {
                if (!SeekToFirstPicture(stream, tb))
                    return Interrupted();
            } else {
                const std::int64_t ts = av_rescale_q(from + StartUs, AV_TIME_BASE_Q, tb);
                if (av_seek_frame(Format.get(), stream, ts, AVSEEK_FLAG_BACKWARD) < 0)
                    av_seek_frame(Format.get(), stream, ts, AVSEEK_FLAG_BACKWARD | AVSEEK_FLAG_ANY);
                ResetDecoding(from);
                if (Video && !DecodeFirstPicture())
                    return Interrupted();
            }
            // Landed after t, or where nothing can be decoded any more: go back further.
            const bool late = Pending.empty() || Pending.front().Frame->pts > t;
            if (!Video || fromStart || !late)
                break;
            margin = margin ? margin * 2 : 1000000;
        }
        TFramePtr chosen;
        bool cutShort = true; // by the end of the input or a break of the timestamps
        while (Video) {
            while (!Pending.empty()) {
                TDecoded& next = Pending.front();
                if (chosen && (next.Frame->pts > t || next.Jumped)) {
                    cutShort = next.Jumped;
                    break;
                }
                chosen = std::move(next.Frame);
                Pending.pop_front();
            }
            if (!Pending.empty() || VideoDrained)
                break;
            if (SeekInterrupted())
                return Interrupted();
            FeedOnePacket();
        }
        Seeking = false;
        std::int64_t clock = t;
        if (chosen && (chosen->pts > t || (cutShort && t >= chosen->pts + FrameDurUs)))
            clock = chosen->pts;
        if (Video)
            Video->skip_frame = AVDISCARD_DEFAULT;
        if (chosen)
            Present(std::move(chosen));
        std::lock_guard lock(Mutex);
        Clock.Set(clock);
        Ended = false;
    }

    void Interrupted() {
        Seeking = false;
        if (Video)
            Video->skip_frame = AVDISCARD_DEFAULT;
    }
};

TMediaPlayer::TMediaPlayer(TCallbacks callbacks) : F(std::make_unique<TImpl>()) {
    F->Callbacks = std::move(callbacks);
}

TMediaPlayer::~TMediaPlayer() {
    if (F->Thread.joinable()) {
        {
            std::lock_guard lock(F->Mutex);
            F->Quit = true;
            ++F->Serial;
        }
        F->Wake.notify_all();
        F->Thread.join();
    }
    if (F->Sink)
        F->Sink->stop();
    F->Sink.reset();
    F->Feed.reset();
}

int TMediaPlayer::Open(const QString& path) {
    return F->Open(path);
}

void TMediaPlayer::Play() {
    {
        std::lock_guard lock(F->Mutex);
        if (F->State == Playing)
            return;
        // Play at the end starts again from the beginning.
        if (F->Ended) {
            F->Ended = false;
            F->SeekPending = true;
            F->SeekRequestUs = 0;
            ++F->SeekRequests;
            F->Clock.Set(0);
        }
        F->State = Playing;
        F->Clock.Run();
        ++F->Serial;
    }
    F->Wake.notify_all();
    if (F->Sink) {
        if (!F->SinkStarted) {
            F->Sink->start(F->Feed.get());
            F->SinkStarted = true;
            const int bytesPerSecond = F->OutRate * 4;
            F->LatencyUs = std::int64_t(F->Sink->bufferSize()) * 1000000 / bytesPerSecond;
        } else {
            F->Sink->resume();
        }
    }
}

void TMediaPlayer::Pause() {
    {
        std::lock_guard lock(F->Mutex);
        F->State = Paused;
        F->Clock.Freeze();
        ++F->Serial;
    }
    F->Wake.notify_all();
    if (F->Sink && F->SinkStarted)
        F->Sink->suspend();
}

void TMediaPlayer::Stop() {
    {
        std::lock_guard lock(F->Mutex);
        F->State = Stopped;
        F->Clock.Freeze();
        ++F->Serial;
    }
    F->Wake.notify_all();
    if (F->Sink && F->SinkStarted)
        F->Sink->suspend();
}

TMediaPlayer::TState TMediaPlayer::State() const {
    std::lock_guard lock(F->Mutex);
    return F->State;
}

bool TMediaPlayer::HasVideo() const {
    return F->Video != nullptr;
}

std::int64_t TMediaPlayer::DurationUs() const {
    return F->Duration;
}

std::int64_t TMediaPlayer::PositionUs() const {
    std::lock_guard lock(F->Mutex);
    const std::int64_t now =
        std::max<std::int64_t>(0, F->SeekPending ? F->SeekRequestUs : F->Clock.Now());
    const std::int64_t duration = F->Duration;
    return duration > 0 ? std::min(now, duration) : now;
}

void TMediaPlayer::Seek(std::int64_t positionUs) {
    {
        std::lock_guard lock(F->Mutex);
        F->SeekPending = true;
        ++F->SeekRequests;
        F->SeekRequestUs = std::max<std::int64_t>(0, positionUs);
        F->Clock.Set(F->SeekRequestUs);
        F->Ended = false;
        ++F->Serial;
    }
    F->Wake.notify_all();
}

void TMediaPlayer::SetVolume(double amplitude) {
    F->Volume = std::clamp(amplitude, 0.0, 1.0);
    if (F->Sink)
        F->Sink->setVolume(F->Volume);
}

void TMediaPlayer::SetDisplayArea(QSize size) {
    std::lock_guard lock(F->FrameMutex);
    if (F->Area == size)
        return;
    F->Area = size;
    if (F->Shown)
        F->ShownPicture = TImpl::Scale(F->RescaleSws, F->Shown.get(), F->DisplaySizeFor(size));
}

double TMediaPlayer::DisplayAspect() const {
    return F->Aspect;
}

QImage TMediaPlayer::DisplayPicture() const {
    std::lock_guard lock(F->FrameMutex);
    return F->ShownPicture;
}

bool TMediaPlayer::GrabCurrentImage(kw::TMemoryStream& stream) {
    {
        // A seek still on its way: the picture it brings is the one to take.
        std::unique_lock lock(F->Mutex);
        F->SeekFinished.wait_for(lock, std::chrono::seconds(3),
                                 [&] { return F->Quit || F->SeeksDone >= F->SeekRequests; });
    }
    TFramePtr frame(av_frame_alloc());
    {
        std::lock_guard lock(F->FrameMutex);
        if (!F->Shown || av_frame_ref(frame.get(), F->Shown.get()) < 0)
            return false;
    }
    const int w = frame->width, h = frame->height;
    if (w <= 0 || h <= 0)
        return false;
    SwsContext* c =
        sws_getCachedContext(F->GrabSws.release(), w, h, AVPixelFormat(frame->format), w, h,
                             AV_PIX_FMT_BGR24, SWS_POINT, nullptr, nullptr, nullptr);
    F->GrabSws.reset(c);
    if (!c)
        return false;
    // The colour matrix the stream declares (HD pictures without a declaration: BT.709).
    int space = SWS_CS_DEFAULT;
    if (frame->colorspace == AVCOL_SPC_BT709 ||
        (frame->colorspace == AVCOL_SPC_UNSPECIFIED && h >= 720))
        space = SWS_CS_ITU709;
    const bool fullRange = frame->color_range == AVCOL_RANGE_JPEG;
    sws_setColorspaceDetails(c, sws_getCoefficients(space), fullRange,
                             sws_getCoefficients(SWS_CS_DEFAULT), 1, 0, 1 << 16, 1 << 16);

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
    // The converter may write a few bytes past the end of a row, so it writes top-down into a
    // padded scratch picture, whose rows are then stored bottom-up.
    const int scratchStride = (w * 3 + 63) / 64 * 64;
    F->GrabScratch.resize(size_t(scratchStride) * size_t(h) + 64);
    std::uint8_t* dst[4] = {F->GrabScratch.data(), nullptr, nullptr, nullptr};
    int dstStride[4] = {scratchStride, 0, 0, 0};
    sws_scale(c, frame->data, frame->linesize, 0, h, dst, dstStride);
    const size_t rowBytes = size_t(w) * 3;
    for (int y = 0; y < h; ++y) {
        std::uint8_t* row = pixels + std::ptrdiff_t(h - 1 - y) * stride;
        std::memcpy(row, F->GrabScratch.data() + std::ptrdiff_t(y) * scratchStride, rowBytes);
        if (stride != rowBytes)
            std::memset(row + rowBytes, 0, stride - rowBytes);
    }
    stream.SetPosition(0);
    return true;
}

std::int64_t TMediaPlayer::ShownTimeUs() const {
    std::lock_guard lock(F->FrameMutex);
    return F->Shown ? F->Shown->pts : -1;
}

std::int64_t TMediaPlayer::FrameDurationUs() const {
    return F->FrameDurUs;
}

std::int64_t TMediaPlayer::FramesShown() const {
    return F->Shows;
}
std::int64_t TMediaPlayer::FramesDropped() const {
    return F->Drops;
}
bool TMediaPlayer::SoundOutputActive() const {
    return F->Sink != nullptr;
}

} // namespace fcvideo
