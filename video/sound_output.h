#pragma once
// TSoundOutput: the preview's sound. Decoded sound is resampled to 16-bit stereo and put into
// a ring of about two seconds, which the sound device pulls from; where the ring runs dry
// the device gets silence and keeps running.
//
// Threads: the player thread converts and pushes (Convert, TryPush, Clear); the device pulls
// on the GUI thread, which also starts, suspends and resumes it and sets the volume. The ring
// has a lock of its own. While the device pulls, the media time of what is being heard goes
// to the Heard callback (GUI thread), so that the sound can lead the media clock.

#include "codecs/ffmpeg_handles.h"

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <span>
#include <vector>

class QAudioSink;

namespace fcvideo {

class TSoundFeed;

class TSoundOutput {
public:
    using THeard = std::function<void(std::int64_t heardUs)>;

    // An output for sound decoded by `decoder` on the default device; nullptr when there is
    // no device or it takes none of the formats on offer.
    static std::unique_ptr<TSoundOutput> Open(const AVCodecContext& decoder, double volume,
                                              THeard heard);
    ~TSoundOutput();
    TSoundOutput(const TSoundOutput&) = delete;
    TSoundOutput& operator=(const TSoundOutput&) = delete;

    // GUI thread.
    void Play(); // the first call starts the device, later ones resume it
    void Suspend();
    void SetVolume(double amplitude);

    // Player thread: the frame as 16-bit stereo at the device's rate (valid until the next
    // call); then appended when the ring has room for it (false: full, try again later).
    std::span<const std::uint8_t> Convert(const AVFrame& frame);
    bool TryPush(std::span<const std::uint8_t> samples, std::int64_t endUs);
    void Clear();

private:
    TSoundOutput() = default;

    std::unique_ptr<TSoundFeed> FFeed;
    std::unique_ptr<QAudioSink> FSink;
    TSwrPtr FResampler;
    std::vector<std::uint8_t> FConverted;
    int FRate = 48000;
    bool FStarted = false;
    std::atomic<std::int64_t> FLatencyUs{0}; // the device's buffer, known once started
};

} // namespace fcvideo
