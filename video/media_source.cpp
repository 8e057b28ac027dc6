#include "video/media_source.h"

extern "C" {
#include <libavutil/cpu.h>
}

#include <QByteArray>

#include <algorithm>

namespace fcvideo {

namespace {

bool IsStillPictureFormat(const AVInputFormat* f) {
    const QByteArray name(f->name);
    return name.endsWith("_pipe") || name == "image2" || name == "gif" || name == "apng" ||
           name == "webp_pipe";
}

} // namespace

// ---- opening (GUI thread) ----

int TMediaSource::OpenInput(const QString& path, TInputPtr& format) {
    AVFormatContext* raw = nullptr;
    int rc = avformat_open_input(&raw, path.toUtf8().constData(), nullptr, nullptr);
    if (rc < 0)
        return rc;
    TInputPtr opened(raw);
    rc = avformat_find_stream_info(opened.get(), nullptr);
    if (rc < 0)
        return rc;
    if (format && opened->nb_streams != format->nb_streams)
        return AVERROR_INVALIDDATA;
    format = std::move(opened);
    return 0;
}

int TMediaSource::Open(const QString& path, bool soundDevice) {
    FPath = path;
    FFacts = {};
    AVFormatContext* raw = nullptr;
    int rc = avformat_open_input(&raw, path.toUtf8().constData(), nullptr, nullptr);
    if (rc < 0)
        return rc;
    FFormat.reset(raw);
    if (IsStillPictureFormat(FFormat->iformat))
        return AVERROR_INVALIDDATA;
    rc = avformat_find_stream_info(FFormat.get(), nullptr);
    if (rc < 0)
        return rc;

    const AVCodec* vdec = nullptr;
    rc = av_find_best_stream(FFormat.get(), AVMEDIA_TYPE_VIDEO, -1, -1, &vdec, 0);
    if (rc == AVERROR_DECODER_NOT_FOUND)
        return rc;
    if (rc >= 0 && !(FFormat->streams[rc]->disposition & AV_DISPOSITION_ATTACHED_PIC))
        FVideoIndex = rc;
    const AVCodec* adec = nullptr;
    rc = av_find_best_stream(FFormat.get(), AVMEDIA_TYPE_AUDIO, -1, FVideoIndex, &adec, 0);
    if (rc >= 0)
        FAudioIndex = rc;
    if (FVideoIndex < 0 && FAudioIndex < 0)
        return rc == AVERROR_DECODER_NOT_FOUND ? rc : AVERROR_STREAM_NOT_FOUND;

    FPacket.reset(av_packet_alloc());

    if (FVideoIndex >= 0) {
        AVStream* st = FFormat->streams[FVideoIndex];
        FVideoTb = st->time_base;
        FVideo.reset(avcodec_alloc_context3(vdec));
        if (!FVideo)
            return AVERROR(ENOMEM);
        rc = avcodec_parameters_to_context(FVideo.get(), st->codecpar);
        if (rc < 0)
            return rc;
        FVideo->pkt_timebase = st->time_base;
        // One frame thread per core (FFmpeg's own choice adds one, which on a machine of few
        // cores costs more in switching than it gains).
        FVideo->thread_count = std::max(1, av_cpu_count());
        FVideo->thread_type = FF_THREAD_FRAME | FF_THREAD_SLICE;
        rc = avcodec_open2(FVideo.get(), vdec, nullptr);
        if (rc < 0)
            return rc;
        if (st->codecpar->width <= 0 || st->codecpar->height <= 0)
            return AVERROR_INVALIDDATA;
        const AVRational sar = av_guess_sample_aspect_ratio(FFormat.get(), st, nullptr);
        const double pixel = sar.num > 0 && sar.den > 0 ? av_q2d(sar) : 1.0;
        FAspect = pixel * st->codecpar->width / st->codecpar->height;
        const AVRational rate = av_guess_frame_rate(FFormat.get(), st, nullptr);
        FFacts.Width = st->codecpar->width;
        FFacts.Height = st->codecpar->height;
        FFacts.Codec = QString::fromLatin1(avcodec_get_name(st->codecpar->codec_id));
        if (rate.num > 0 && rate.den > 0)
            FFacts.FrameRate = av_q2d(rate);
        if (rate.num > 0 && rate.den > 0)
            FFrameDurUs =
                std::clamp<std::int64_t>(av_rescale(1000000, rate.den, rate.num), 1000, 1000000);
        const QByteArray demuxer(FFormat->iformat->name);
        FSkipWhileSeeking = (vdec->id == AV_CODEC_ID_H264 || vdec->id == AV_CODEC_ID_HEVC) &&
                            !demuxer.contains("avi");
    }
    if (FAudioIndex >= 0) {
        AVStream* st = FFormat->streams[FAudioIndex];
        FAudioTb = st->time_base;
        // Without a device the sound is only checked once for a sound-only file.
        if (adec && (soundDevice || FVideoIndex < 0)) {
            FAudio.reset(avcodec_alloc_context3(adec));
            if (FAudio && avcodec_parameters_to_context(FAudio.get(), st->codecpar) >= 0) {
                FAudio->pkt_timebase = st->time_base;
                if (avcodec_open2(FAudio.get(), adec, nullptr) < 0)
                    FAudio.reset();
            } else {
                FAudio.reset();
            }
        }
        if (FVideoIndex < 0 && !FAudio)
            return AVERROR_DECODER_NOT_FOUND;
    }
    return 0;
}

void TMediaSource::NoSoundOutput() {
    if (FVideo)
        FAudio.reset();
}

int TMediaSource::Start(TFramePtr& firstPicture) {
    // The first picture (or the first sound) is decoded here, so that a file that cannot be
    // decoded fails now and the preview has a picture at once. Its time is media time 0:
    // positions count from the first picture, whatever the container's clock or the sound
    // do before it.
    if (FVideo) {
        FVideoLine.Reset();
        FAudioLine.Reset();
        while (FPending.empty() && !FVideoDrained)
            FeedOnePacket();
        if (FPending.empty())
            return AVERROR_INVALIDDATA;
        const std::int64_t first = FPending.front().Frame->pts;
        FFirstVideoPos = FLandedPos;
        FStartUs += first;
        for (TDecoded& d : FPending)
            d.Frame->pts -= first;
        FVideoEndUs -= first;
        FAudioEndUs -= first;
        firstPicture = TakeNext();
    } else {
        FStartUs = FFormat->start_time != AV_NOPTS_VALUE ? FFormat->start_time : 0;
        const int rc = CheckSoundDecodes();
        if (rc < 0)
            return rc;
    }
    FDurationUs = std::max<std::int64_t>(0, FileEndUs() - FStartUs);
    return 0;
}

std::int64_t TMediaSource::PicturesEndUs() const {
    if (FVideoIndex >= 0) {
        const AVStream* st = FFormat->streams[FVideoIndex];
        if (st->duration > 0 && st->start_time != AV_NOPTS_VALUE) {
            const std::int64_t end = ToUs(st->start_time + st->duration, st->time_base);
            if (end > 0)
                return end;
        }
    }
    return FDurationUs;
}

// Where the file ends in its own microseconds: as the container says, or else as far as its
// packets go.
std::int64_t TMediaSource::FileEndUs() const {
    if (FFormat->duration > 0)
        return (FFormat->start_time != AV_NOPTS_VALUE ? FFormat->start_time : 0) +
               FFormat->duration;
    std::int64_t end = AV_NOPTS_VALUE;
    for (const int index : {FVideoIndex, FAudioIndex}) {
        if (index < 0)
            continue;
        const AVStream* st = FFormat->streams[index];
        if (st->duration > 0)
            end =
                std::max(end, av_rescale_q((st->start_time != AV_NOPTS_VALUE ? st->start_time : 0) +
                                               st->duration,
                                           st->time_base, AV_TIME_BASE_Q));
    }
    return end != AV_NOPTS_VALUE ? end : ScanForEndUs();
}

// A file that does not tell its length (a bare video stream, say): its packets are read
// through a second reader, all of them in a small file, else the first few megabytes, and the
// length is taken in proportion to the file's size.
std::int64_t TMediaSource::ScanForEndUs() const {
    constexpr std::int64_t ScanBytes = 16 << 20;
    TInputPtr scan;
    const int index = FVideoIndex >= 0 ? FVideoIndex : FAudioIndex;
    if (OpenInput(FPath, scan) < 0 || index >= int(scan->nb_streams))
        return FStartUs;
    const AVRational tb = scan->streams[index]->time_base;
    TPacketPtr pkt(av_packet_alloc());
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
            end = std::max(end, t + (length > 0 ? length : FFrameDurUs));
        }
        if (pkt->pos > 0)
            pos = pkt->pos;
        av_packet_unref(pkt.get());
        if (pos > ScanBytes)
            break;
    }
    if (end == AV_NOPTS_VALUE)
        return FStartUs;
    const std::int64_t size = scan->pb ? avio_size(scan->pb) : -1;
    if (!complete && size > pos && pos > 0)
        end = first + av_rescale(end - first, size, pos);
    return end;
}

// Decodes the first sound frame of a sound-only file, then starts again at the beginning.
int TMediaSource::CheckSoundDecodes() {
    TFramePtr frame(av_frame_alloc());
    for (int packets = 0; packets < 500; ++packets) {
        int rc = av_read_frame(FFormat.get(), FPacket.get());
        if (rc < 0)
            return AVERROR_INVALIDDATA;
        if (FPacket->stream_index == FAudioIndex) {
            rc = avcodec_send_packet(FAudio.get(), FPacket.get());
            av_packet_unref(FPacket.get());
            if (rc >= 0 && avcodec_receive_frame(FAudio.get(), frame.get()) >= 0) {
                avcodec_flush_buffers(FAudio.get());
                av_seek_frame(FFormat.get(), -1,
                              FFormat->start_time != AV_NOPTS_VALUE ? FFormat->start_time : 0,
                              AVSEEK_FLAG_BACKWARD);
                return 0;
            }
        } else {
            av_packet_unref(FPacket.get());
        }
    }
    return AVERROR_INVALIDDATA;
}

// ---- decoding (player thread, and Start before the thread exists) ----

std::int64_t TMediaSource::ToUs(std::int64_t ts, AVRational tb) const {
    return av_rescale_q(ts, tb, AV_TIME_BASE_Q) - FStartUs;
}

// The file's time of a decoded picture in microseconds, or none.
std::int64_t TMediaSource::FileTime(const AVFrame* f) const {
    const std::int64_t ts =
        f->best_effort_timestamp != AV_NOPTS_VALUE ? f->best_effort_timestamp : f->pts;
    return ts == AV_NOPTS_VALUE ? TTimeline::NoTime : av_rescale_q(ts, FVideoTb, AV_TIME_BASE_Q);
}

void TMediaSource::FeedOnePacket() {
    AVPacket* pkt = FPacket.get();
    const int rc = av_read_frame(FFormat.get(), pkt);
    const bool decodeSound = FAudio && FSound.Push && !FSoundMuted;
    if (rc < 0) {
        if (FVideo) {
            avcodec_send_packet(FVideo.get(), nullptr);
            ReceiveVideo();
        }
        if (decodeSound) {
            avcodec_send_packet(FAudio.get(), nullptr);
            ReceiveAudio();
        }
        FVideoDrained = true;
        FInputEnded = true;
        return;
    }
    if (pkt->stream_index == FVideoIndex && FVideo) {
        if (!FLanded) {
            FLanded = true;
            FLandedPos = pkt->pos;
        }
        if (FSkipWhileSeeking && pkt->pts != AV_NOPTS_VALUE) {
            // On the way to a seek's target, a picture that nothing refers to is not decoded
            // once a later picture that still starts at or before the target has been read:
            // it cannot be the one the target falls on, whatever the gaps between pictures.
            // The last pictures before the target are all decoded where a trail keeps them.
            const std::int64_t p = ToUs(pkt->pts, FVideoTb);
            const bool passed = FSeeking && p < FLatestPacketUs &&
                                FLatestPacketUs <= FSeekTargetUs &&
                                p < FSeekTargetUs - FFullDecodeFrames * FFrameDurUs;
            FVideo->skip_frame = passed ? AVDISCARD_NONREF : AVDISCARD_DEFAULT;
            FLatestPacketUs = std::max(FLatestPacketUs, p);
        }
        if (avcodec_send_packet(FVideo.get(), pkt) >= 0)
            ReceiveVideo();
    } else if (pkt->stream_index == FAudioIndex) {
        PlaceSoundPacket(pkt);
        if (decodeSound && avcodec_send_packet(FAudio.get(), pkt) >= 0)
            ReceiveAudio();
    }
    av_packet_unref(pkt);
}

// Sound packets get their media time before decoding, so that the decoded sound and the
// sound clock run on through restarts and wild values of the file's timestamps.
void TMediaSource::PlaceSoundPacket(AVPacket* pkt) {
    if (pkt->pts == AV_NOPTS_VALUE)
        return;
    const std::int64_t file = av_rescale_q(pkt->pts, FAudioTb, AV_TIME_BASE_Q);
    const TTimeline::TPlace place = FAudioLine.Place(file, FAudioStepUs);
    if (place.Time != file) {
        const std::int64_t shift = av_rescale_q(place.Time - file, AV_TIME_BASE_Q, FAudioTb);
        pkt->pts += shift;
        if (pkt->dts != AV_NOPTS_VALUE)
            pkt->dts += shift;
    }
    FAudioStepUs = std::max<std::int64_t>(0, av_rescale_q(pkt->duration, FAudioTb, AV_TIME_BASE_Q));
    FAudioEndUs = std::max(FAudioEndUs, place.Time - FStartUs + FAudioStepUs);
}

void TMediaSource::ReceiveVideo() {
    for (;;) {
        TFramePtr f(av_frame_alloc());
        const int rc = avcodec_receive_frame(FVideo.get(), f.get());
        if (rc == AVERROR_EOF) {
            FVideoDrained = true;
            return;
        }
        if (rc < 0)
            return;
        const TTimeline::TPlace place = FVideoLine.Place(FileTime(f.get()), FFrameDurUs);
        f->pts = place.Time - FStartUs; // from here on: media time in microseconds
        FVideoEndUs = std::max(FVideoEndUs, f->pts + FFrameDurUs);
        FPending.push_back({std::move(f), place.Jumped});
    }
}

void TMediaSource::ReceiveAudio() {
    TFramePtr f(av_frame_alloc());
    while (avcodec_receive_frame(FAudio.get(), f.get()) >= 0) {
        const std::int64_t t = f->best_effort_timestamp != AV_NOPTS_VALUE
                                   ? ToUs(f->best_effort_timestamp, FAudioTb)
                                   : FAudioEndUs;
        const std::int64_t len =
            f->sample_rate > 0 ? std::int64_t(f->nb_samples) * 1000000 / f->sample_rate : 0;
        FAudioEndUs = std::max(FAudioEndUs, t + len);
        if (!FSeeking || t + len >= FSeekTargetUs)
            FSound.Push(*f, t + len);
        av_frame_unref(f.get());
    }
}

// ---- seeking (player thread) ----

// Forgets what was decoded; media time is the file's time again, from `origin` (media time)
// for whatever carries no timestamp.
void TMediaSource::ResetDecoding(std::int64_t origin) {
    if (FVideo)
        avcodec_flush_buffers(FVideo.get());
    if (FAudio)
        avcodec_flush_buffers(FAudio.get());
    if (FSound.Clear)
        FSound.Clear();
    FPending.clear();
    FCurrent.reset();
    FTrail.Clear();
    FLatestPacketUs = TTimeline::NoTime;
    FInputEnded = false;
    FVideoDrained = false;
    FVideoLine.Reset(origin + FStartUs);
    FAudioLine.Reset(origin + FStartUs);
    FAudioStepUs = 0;
    FVideoEndUs = FAudioEndUs = 0;
    FLanded = false;
}

// Decodes until a picture is waiting or the input has ended; false when a command came.
bool TMediaSource::DecodeFirstPicture(const std::function<bool()>& interrupted) {
    while (FPending.empty() && !FVideoDrained) {
        if (interrupted())
            return false;
        FeedOnePacket();
    }
    return true;
}

bool TMediaSource::AtFirstPicture() const {
    return !FPending.empty() && FPending.front().Frame->pts <= FFrameDurUs / 2 &&
           (FFirstVideoPos < 0 || FLandedPos < 0 || FLandedPos <= FFirstVideoPos);
}

// Goes back to the first picture. Asking for a time before it finds the first packet of files
// searched by their timestamps (MPEG program and transport streams, where asking for the
// first picture's own time can land after its key picture); the first picture's time suits
// files with an index. Where both land elsewhere (an index whose times occur twice, from a
// file whose clock restarted), the file is opened again.
bool TMediaSource::SeekToFirstPicture(int stream, AVRational tb,
                                      const std::function<bool()>& interrupted) {
    const std::int64_t first = av_rescale_q(FStartUs, AV_TIME_BASE_Q, tb);
    const std::int64_t before = first - av_rescale_q(1000000, AV_TIME_BASE_Q, tb);
    for (int way = 0; way < 3; ++way) {
        bool ok = false;
        if (way == 0)
            ok = av_seek_frame(FFormat.get(), stream, before, AVSEEK_FLAG_BACKWARD) >= 0;
        else if (way == 1)
            ok = av_seek_frame(FFormat.get(), stream, first, AVSEEK_FLAG_BACKWARD) >= 0;
        else
            ok = OpenInput(FPath, FFormat) >= 0;
        if (!ok)
            continue;
        ResetDecoding(0);
        if (!FVideo)
            return true;
        if (!DecodeFirstPicture(interrupted))
            return false;
        if (AtFirstPicture())
            return true;
    }
    return true; // as near as the file allows
}

void TMediaSource::EndSeek() {
    FSeeking = false;
    if (FVideo)
        FVideo->skip_frame = AVDISCARD_DEFAULT;
}

TMediaSource::TSeekResult TMediaSource::Seek(std::int64_t t,
                                             const std::function<bool()>& interrupted) {
    FSeeking = true;
    FSeekTargetUs = t;
    TSeekResult result;
    const int stream = FVideoIndex >= 0 ? FVideoIndex : FAudioIndex;
    const AVRational tb = FFormat->streams[stream]->time_base;
    std::int64_t margin = 0;
    for (;;) {
        const std::int64_t from = t - margin;
        const bool fromStart = from <= FFrameDurUs / 2;
        if (fromStart) {
            if (!SeekToFirstPicture(stream, tb, interrupted)) {
                EndSeek();
                return result;
            }
        } else {
            const std::int64_t ts = av_rescale_q(from + FStartUs, AV_TIME_BASE_Q, tb);
            int rc = av_seek_frame(FFormat.get(), stream, ts, AVSEEK_FLAG_BACKWARD);
            if (rc < 0)
                rc = av_seek_frame(FFormat.get(), stream, ts,
                                   AVSEEK_FLAG_BACKWARD | AVSEEK_FLAG_ANY);
            result.Error = rc < 0 ? rc : 0;
            ResetDecoding(from);
            if (FVideo && !DecodeFirstPicture(interrupted)) {
                EndSeek();
                return result;
            }
        }
        // Landed after t, or where nothing can be decoded any more: go back further.
        const bool late = FPending.empty() || FPending.front().Frame->pts > t;
        if (!FVideo || fromStart || !late)
            break;
        margin = margin ? margin * 2 : 1000000;
    }
    bool cutShort = true; // by the end of the input or a break of the timestamps
    if (FVideo && !TakeUpTo(t, interrupted, cutShort)) {
        EndSeek();
        return result;
    }
    EndSeek();
    TSeekResult chosen = Chosen(t, cutShort);
    chosen.Error = result.Error;
    return chosen;
}

TMediaSource::TSeekResult TMediaSource::Advance(std::int64_t t,
                                                const std::function<bool()>& interrupted) {
    FSeeking = true;
    FSeekTargetUs = t;
    bool cutShort = true;
    const bool taken = !FVideo || TakeUpTo(t, interrupted, cutShort);
    EndSeek();
    if (!taken)
        return {};
    return Chosen(t, cutShort);
}

// Takes pictures while the next one still starts at or before t and the timestamps do not
// break on the way; false when a command came.
bool TMediaSource::TakeUpTo(std::int64_t t, const std::function<bool()>& interrupted,
                            bool& cutShort) {
    for (;;) {
        while (!FPending.empty()) {
            TDecoded& next = FPending.front();
            if (FCurrent && (next.Frame->pts > t || next.Jumped)) {
                cutShort = next.Jumped;
                return true;
            }
            TFramePtr picture = std::move(next.Frame);
            FPending.pop_front();
            Take(picture);
        }
        if (FVideoDrained)
            return true;
        if (interrupted())
            return false;
        FeedOnePacket();
    }
}

// The current picture as the result for time t; where the pictures ended or broke before t,
// the clock goes to the picture rather than to t.
TMediaSource::TSeekResult TMediaSource::Chosen(std::int64_t t, bool cutShort) {
    TSeekResult result;
    result.Done = true;
    result.ClockUs = t;
    if (!FCurrent)
        return result;
    const std::int64_t pts = FCurrent->pts;
    if (pts > t || (cutShort && t >= pts + FFrameDurUs))
        result.ClockUs = pts;
    result.PastEnd = cutShort && FVideoDrained && FPending.empty() && t >= pts + FFrameDurUs;
    result.Picture.reset(av_frame_clone(FCurrent.get()));
    return result;
}

void TMediaSource::Take(TFramePtr& picture) {
    if (FKeepTrail) {
        // Before the span where a seek decodes every picture, some may have been skipped:
        // the trail starts after them.
        if (FSeeking && picture->pts < FSeekTargetUs - FFullDecodeFrames * FFrameDurUs)
            FTrail.Clear();
        else
            FTrail.Append(*picture);
    }
    FCurrent = std::move(picture);
}

TFramePtr TMediaSource::TakeNext() {
    TFramePtr picture = std::move(FPending.front().Frame);
    FPending.pop_front();
    TFramePtr shown(av_frame_clone(picture.get()));
    Take(picture);
    return shown;
}

bool TMediaSource::DecodeNext(const std::function<bool()>& interrupted) {
    while (FPending.empty() && !FVideoDrained) {
        if (interrupted())
            return false;
        FeedOnePacket();
    }
    return !FPending.empty();
}

void TMediaSource::KeepTrail(std::function<bool(std::int64_t bytes)> room) {
    FKeepTrail = true;
    FTrail.SetRoomCheck(std::move(room));
    FFullDecodeFrames = 16;
}

bool TMediaSource::KeyPictureBefore(std::int64_t t) const {
    if (!FVideo || !FCurrent)
        return false;
    AVStream* st = FFormat->streams[FVideoIndex];
    const std::int64_t ts = av_rescale_q(t + FStartUs, AV_TIME_BASE_Q, FVideoTb);
    const AVIndexEntry* key = avformat_index_get_entry_from_timestamp(st, ts, AVSEEK_FLAG_BACKWARD);
    if (!key || !(key->flags & AVINDEX_KEYFRAME))
        return false;
    // An index may give decoding times, which come before the presentation times by as many
    // pictures as the decoder holds back: a key picture shown after t would send the seek
    // back to the key picture before it.
    const std::int64_t keyUs = ToUs(key->timestamp, FVideoTb);
    const int delay = std::max(0, st->codecpar->video_delay);
    if (keyUs + (delay + 1) * FFrameDurUs > t)
        return false;
    // Entering the file empties the decoder's pipeline of frame threads: worth it only when
    // it saves more than a few pictures.
    return keyUs > FCurrent->pts + 10 * FFrameDurUs;
}

} // namespace fcvideo
