#include "video/sound_output.h"

#include <QAudioDevice>
#include <QAudioFormat>
#include <QAudioSink>
#include <QIODevice>
#include <QMediaDevices>

#include <algorithm>
#include <cstring>
#include <mutex>

namespace fcvideo {

// The ring the device pulls from, as a sequential QIODevice that never runs dry.
class TSoundFeed : public QIODevice {
public:
    TSoundFeed(int bytesPerSecond, std::function<void(std::int64_t)> played)
        : FRing(size_t(bytesPerSecond) * 2), FBytesPerSecond(bytesPerSecond),
          FPlayed(std::move(played)) {
        open(QIODevice::ReadOnly);
    }
    bool isSequential() const override { return true; }
    qint64 bytesAvailable() const override { return 1 << 16; }

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

std::unique_ptr<TSoundOutput> TSoundOutput::Open(const AVCodecContext& decoder, double volume,
                                                 THeard heard) {
    const QAudioDevice device = QMediaDevices::defaultAudioOutput();
    if (device.isNull())
        return nullptr;
    QAudioFormat format;
    format.setSampleRate(decoder.sample_rate > 0 ? decoder.sample_rate : 48000);
    format.setChannelCount(2);
    format.setSampleFormat(QAudioFormat::Int16);
    if (!device.isFormatSupported(format))
        format.setSampleRate(48000);
    if (!device.isFormatSupported(format))
        return nullptr;
    std::unique_ptr<TSoundOutput> out(new TSoundOutput);
    out->FRate = format.sampleRate();
    AVChannelLayout stereo = AV_CHANNEL_LAYOUT_STEREO;
    AVChannelLayout in{}; // this FFmpeg's resampler takes the layout without const
    SwrContext* swr = nullptr;
    const bool ok = av_channel_layout_copy(&in, &decoder.ch_layout) >= 0 &&
                    swr_alloc_set_opts2(&swr, &stereo, AV_SAMPLE_FMT_S16, out->FRate, &in,
                                        decoder.sample_fmt, decoder.sample_rate, 0, nullptr) >= 0 &&
                    swr_init(swr) >= 0;
    av_channel_layout_uninit(&in);
    if (!ok) {
        swr_free(&swr);
        return nullptr;
    }
    out->FResampler.reset(swr);
    // What the device has pulled is heard once it has gone through the device's buffer.
    TSoundOutput* self = out.get();
    out->FFeed = std::make_unique<TSoundFeed>(
        out->FRate * 4, [self, heard = std::move(heard)](std::int64_t playedUs) {
            if (heard)
                heard(playedUs - self->FLatencyUs);
        });
    out->FSink = std::make_unique<QAudioSink>(device, format);
    out->FSink->setVolume(volume);
    return out;
}

TSoundOutput::~TSoundOutput() {
    if (FSink)
        FSink->stop();
    FSink.reset();
    FFeed.reset();
}

void TSoundOutput::Play() {
    if (FStarted) {
        FSink->resume();
        return;
    }
    FSink->start(FFeed.get());
    FStarted = true;
    FLatencyUs = std::int64_t(FSink->bufferSize()) * 1000000 / (FRate * 4);
}

void TSoundOutput::Suspend() {
    if (FStarted)
        FSink->suspend();
}

void TSoundOutput::SetVolume(double amplitude) {
    FSink->setVolume(amplitude);
}

std::span<const std::uint8_t> TSoundOutput::Convert(const AVFrame& frame) {
    const int outMax = swr_get_out_samples(FResampler.get(), frame.nb_samples);
    FConverted.resize(size_t(std::max(outMax, 0)) * 4);
    std::uint8_t* out = FConverted.data();
    const int got =
        swr_convert(FResampler.get(), &out, outMax,
                    const_cast<const std::uint8_t**>(frame.extended_data), frame.nb_samples);
    return {FConverted.data(), got > 0 ? size_t(got) * 4 : 0};
}

bool TSoundOutput::TryPush(std::span<const std::uint8_t> samples, std::int64_t endUs) {
    return FFeed->Push(samples.data(), samples.size(), endUs);
}

void TSoundOutput::Clear() {
    FFeed->Clear();
}

} // namespace fcvideo
