#pragma once
// TMediaSource: the file being played. It owns FFmpeg's demuxer and decoders, decodes packet
// by packet into pictures waiting to be shown (their pts turned into media time) and sound
// handed to a sink, and finds the picture for a seek.
//
// Media time counts microseconds from the first picture (from the first sound in a file
// without pictures), whatever the container's clock does before it, and runs on through
// restarts and wild values of the file's timestamps (see TTimeline).
//
// The picture last taken from decoding (shown, passed over or chosen by a seek) is the current
// one; decoding goes on from it, and with a trail (the player's) the pictures taken on the way
// are kept for stepping back.
//
// Threads: opened and started on the GUI thread before the player thread exists; from then
// on used by one thread alone (the player's, or the worker of a range capture).

#include "codecs/ffmpeg_handles.h"
#include "video/media_timeline.h"
#include "video/picture_trail.h"

#include <QString>

#include <algorithm>
#include <cstdint>
#include <deque>
#include <functional>

namespace fcvideo {

// What the video stream of an opened file is, as a sheet's header or a dialog shows it.
struct TVideoFacts {
    int Width = 0, Height = 0; // coded pixels; 0 without video
    QString Codec;             // FFmpeg's short name of the codec ("h264", "vp9")
    double FrameRate = 0;      // pictures per second as the stream says; 0 when not known
};

class TMediaSource {
public:
    struct TDecoded {
        TFramePtr Frame; // pts: media time
        bool Jumped;     // the file's timestamps broke just before it
    };
    // Where decoded sound goes, with the media time at which it ends; and how the sound
    // still waiting there is dropped when a seek starts.
    struct TSoundSink {
        std::function<void(const AVFrame& sound, std::int64_t endUs)> Push;
        std::function<void()> Clear;
    };
    struct TSeekResult {
        bool Done = false; // false: a new command came first
        TFramePtr Picture; // null when nothing could be decoded
        std::int64_t ClockUs = 0;
        int Error = 0;        // FFmpeg's code when the file could not be positioned (decoding then
                              // went on from where the file was)
        bool PastEnd = false; // the pictures ended before the time asked for: Picture is the
                              // last one, and the time lies beyond its span
    };

    // GUI thread, before the player thread starts. Opens the file and its decoders: the
    // sound decoder only where `soundDevice` says sound can be heard or the file has no
    // pictures. 0 or FFmpeg's error code.
    int Open(const QString& path, bool soundDevice);
    // The sound decoder, for making the sound output (nullptr: none).
    const AVCodecContext* SoundDecoder() const { return FAudio.get(); }
    // No sound output could be made: a file with pictures does not decode its sound.
    void NoSoundOutput();
    void SetSoundSink(TSoundSink sink) { FSound = std::move(sink); }
    // Decodes the first picture (its media time is 0), or checks that the sound of a file
    // without pictures decodes. 0 or FFmpeg's error code.
    int Start(TFramePtr& firstPicture);

    bool HasVideo() const { return FVideo != nullptr; }
    // Set by Open, unchanged afterwards.
    const TVideoFacts& VideoFacts() const { return FFacts; }
    double Aspect() const { return FAspect; }
    std::int64_t FrameDurUs() const { return FFrameDurUs; }
    // The length as the container says, from the first picture (0: not known).
    std::int64_t DurationUs() const { return FDurationUs; }
    // Where the pictures end as the video stream says (a container's length may take in a
    // longer sound track), else DurationUs.
    std::int64_t PicturesEndUs() const;

    // Keeps the pictures taken from decoding on a trail (bounded, and by `room` when given),
    // and decodes every picture of the last pictures before a seek's target so that they
    // join it.
    void KeepTrail(std::function<bool(std::int64_t bytes)> room);
    TPictureTrail& Trail() { return FTrail; }
    // The sound is neither decoded nor handed on while muted (the pictures are stepped).
    void MuteSound(bool muted) { FSoundMuted = muted; }

    // Player thread. Reads and decodes one packet; at the end of the input the decoders
    // give what they still hold.
    void FeedOnePacket();
    const std::deque<TDecoded>& Pending() const { return FPending; }
    // Media time of the current picture; -1 before the first.
    std::int64_t CurrentTimeUs() const { return FCurrent ? FCurrent->pts : -1; }
    // Takes the first waiting picture (there must be one): it becomes the current picture.
    TFramePtr TakeNext();
    // Decodes until a picture is waiting; false at the end of the pictures or when
    // `interrupted` says a new command came.
    bool DecodeNext(const std::function<bool()>& interrupted);
    bool InputEnded() const { return FInputEnded && (FVideoDrained || !FVideo); }
    // Where the pictures and sound decoded so far end, in media time.
    std::int64_t EndUs() const { return std::max(FVideoEndUs, FAudioEndUs); }

    // Player thread: the picture whose time span holds media time t. The file is entered at
    // the last key picture before t (further back when the demuxer lands after t, from the
    // first picture when nothing earlier is left) and decoded up to t. Where the file ends
    // first (a cut file) or its timestamps break on the way, the last picture before is the
    // result, and the clock goes to that picture rather than to t. Stops when `interrupted`
    // says a new command came.
    TSeekResult Seek(std::int64_t t, const std::function<bool()>& interrupted);
    // The same rule without entering the file again: decodes on from the current picture to
    // the picture whose time span holds t (the current one when the next starts after t).
    // For times in increasing order, each the picture that Seek gives for it.
    TSeekResult Advance(std::int64_t t, const std::function<bool()>& interrupted);
    // Whether the file's index has a key picture after the current picture and at or before
    // media time t: entering the file there is cheaper than decoding on to t.
    bool KeyPictureBefore(std::int64_t t) const;

private:
    static int OpenInput(const QString& path, TInputPtr& format);
    std::int64_t FileEndUs() const;
    std::int64_t ScanForEndUs() const;
    int CheckSoundDecodes();
    void PlaceSoundPacket(AVPacket* pkt);
    void ReceiveVideo();
    void ReceiveAudio();
    std::int64_t ToUs(std::int64_t ts, AVRational tb) const;
    std::int64_t FileTime(const AVFrame* f) const;
    void ResetDecoding(std::int64_t origin);
    bool DecodeFirstPicture(const std::function<bool()>& interrupted);
    bool AtFirstPicture() const;
    bool SeekToFirstPicture(int stream, AVRational tb, const std::function<bool()>& interrupted);
    void Take(TFramePtr& picture);
    bool TakeUpTo(std::int64_t t, const std::function<bool()>& interrupted, bool& cutShort);
    TSeekResult Chosen(std::int64_t t, bool cutShort);
    void EndSeek();

    QString FPath;
    TInputPtr FFormat;
    TCodecPtr FVideo, FAudio;
    TPacketPtr FPacket;
    int FVideoIndex = -1;
    int FAudioIndex = -1;
    AVRational FVideoTb{1, 1}, FAudioTb{1, 1};
    // Media time 0 in the file's own microseconds.
    std::int64_t FStartUs = 0;
    std::int64_t FDurationUs = 0;
    std::int64_t FFrameDurUs = 40000;
    double FAspect = 0;
    TVideoFacts FFacts;
    bool FSkipWhileSeeking = false;
    TSoundSink FSound;

    // Where the first picture's packet lies in the file, and where the first picture packet
    // read since the last seek lay (-1: not known): a seek to the start has landed there only
    // if it did not land after it.
    std::int64_t FFirstVideoPos = -1;
    std::int64_t FLandedPos = -1;
    bool FLanded = false;

    std::deque<TDecoded> FPending;
    TFramePtr FCurrent;
    TPictureTrail FTrail;
    bool FKeepTrail = false;
    bool FSoundMuted = false;
    // Pictures this many frame durations before a seek's target are all decoded; earlier
    // ones that nothing refers to may be skipped (H.264 and HEVC).
    int FFullDecodeFrames = 0;
    // The latest presentation time of a video packet read since the file was entered.
    std::int64_t FLatestPacketUs = TTimeline::NoTime;
    TTimeline FVideoLine, FAudioLine;
    std::int64_t FAudioStepUs = 0; // length of the last sound packet
    bool FInputEnded = false;
    bool FVideoDrained = false;
    bool FSeeking = false;
    std::int64_t FSeekTargetUs = 0;
    std::int64_t FVideoEndUs = 0;
    std::int64_t FAudioEndUs = 0;
};

} // namespace fcvideo
