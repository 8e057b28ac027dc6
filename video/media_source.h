#pragma once
// TMediaSource: the file being played. It owns FFmpeg's demuxer and decoders, decodes packet
// by packet into pictures waiting to be shown (their pts turned into media time) and sound
// handed to a sink, and finds the picture for a seek.
//
// Media time counts microseconds from the first picture (from the first sound in a file
// without pictures), whatever the container's clock does before it, and runs on through
// restarts and wild values of the file's timestamps (see TTimeline).
//
// Threads: opened and started on the GUI thread before the player thread exists; from then
// on used by the player thread alone.

#include "video/ffmpeg_handles.h"
#include "video/media_timeline.h"

#include <QString>

#include <algorithm>
#include <cstdint>
#include <deque>
#include <functional>

namespace fcvideo {

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
        int Error = 0; // FFmpeg's code when the file could not be positioned (decoding then
                       // went on from where the file was)
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
    double Aspect() const { return FAspect; }
    std::int64_t FrameDurUs() const { return FFrameDurUs; }
    // The length as the container says, from the first picture (0: not known).
    std::int64_t DurationUs() const { return FDurationUs; }

    // Player thread. Reads and decodes one packet; at the end of the input the decoders
    // give what they still hold.
    void FeedOnePacket();
    std::deque<TDecoded>& Pending() { return FPending; }
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
    bool FSkipWhileSeeking = false;
    TSoundSink FSound;

    // Where the first picture's packet lies in the file, and where the first picture packet
    // read since the last seek lay (-1: not known): a seek to the start has landed there only
    // if it did not land after it.
    std::int64_t FFirstVideoPos = -1;
    std::int64_t FLandedPos = -1;
    bool FLanded = false;

    std::deque<TDecoded> FPending;
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
