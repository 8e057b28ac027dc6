// The engine: the commands and the clock under one lock, and the player thread's loop, which
// paces the pictures, takes up seeks and reports the end (how the threads meet: see
// media_player.h).

#include "video/media_player.h"

#include "common/kw_guard.h"
#include "video/media_clock.h"
#include "video/media_source.h"
#include "video/shown_picture.h"
#include "video/sound_output.h"

#include <QAudioDevice>
#include <QMediaDevices>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdlib>
#include <mutex>
#include <thread>

namespace fcvideo {

struct TMediaPlayer::TImpl {
    TCallbacks Callbacks;
    std::function<bool(std::int64_t)> RoomCheck;
    TMediaSource Source;                 // player thread once started
    TShownPicture Picture;               // its own lock
    std::unique_ptr<TSoundOutput> Sound; // GUI thread; its ring has its own lock
    double Volume = 1.0;

    // As the container says, or longer once pictures beyond it have been shown (a file whose
    // clock restarted plays longer than its timestamps reach).
    std::atomic<std::int64_t> Duration{0};
    std::atomic<std::int64_t> Shows{0}, Drops{0};

    // Commands and the clock, under Mutex. Every command counts Serial up, so that a wait
    // of the player thread that began before it gives up.
    mutable std::mutex Mutex;
    std::condition_variable Wake;
    TState State = Stopped;
    std::uint64_t Serial = 0;
    bool Quit = false;
    bool SeekPending = false;
    std::int64_t SeekRequestUs = 0;
    // One-picture steps asked for and not yet taken (forward positive); a seek drops them.
    int StepsPending = 0;
    // Since the last seek a step moved the display: the sound waiting to be played, or the
    // decoder's place, no longer follows the picture on display, and Play enters the file at
    // that picture again.
    bool Stepped = false;
    // Seeks and steps asked for and those whose picture is on display: a grab waits for the
    // two to meet, so that a grab right after a seek or a step takes the picture it brings.
    std::uint64_t SeekRequests = 0;
    std::uint64_t SeeksDone = 0;
    std::condition_variable SeekFinished;
    bool Ended = false;
    TMediaClock Clock;

    // Player thread: a step took the picture that was waiting, so the next one is decoded
    // while paused.
    bool Prefetch = false;

    std::thread Thread;

    int Open(const QString& path) {
        const bool device = !QMediaDevices::defaultAudioOutput().isNull();
        int rc = Source.Open(path, device);
        if (rc < 0)
            return rc;
        Source.KeepTrail(RoomCheck);
        if (device && Source.SoundDecoder()) {
            Sound = TSoundOutput::Open(*Source.SoundDecoder(), Volume,
                                       [this](std::int64_t heardUs) { SoundHeard(heardUs); });
            if (Sound)
                Source.SetSoundSink(
                    {[this](const AVFrame& f, std::int64_t endUs) { PushSound(f, endUs); },
                     [this] { Sound->Clear(); }});
            else
                Source.NoSoundOutput();
        }
        TFramePtr first;
        rc = Source.Start(first);
        if (rc < 0)
            return rc;
        Picture.SetAspect(Source.Aspect());
        Duration = Source.DurationUs();
        if (first)
            Present(std::move(first));
        Thread = std::thread([this] { Run(); });
        return 0;
    }

    // GUI thread, while the device pulls: the sound leads the media clock.
    void SoundHeard(std::int64_t heardUs) {
        std::lock_guard lock(Mutex);
        if (State == Playing && Clock.Running && std::llabs(Clock.Now() - heardUs) > 30000)
            Clock.Set(heardUs);
    }

    // Player thread: waits for room in the sound ring; gives up (dropping the sound) on any
    // command.
    void PushSound(const AVFrame& frame, std::int64_t endUs) {
        const std::span<const std::uint8_t> samples = Sound->Convert(frame);
        if (samples.empty())
            return;
        std::unique_lock lock(Mutex);
        const std::uint64_t serial = Serial;
        for (;;) {
            lock.unlock();
            if (Sound->TryPush(samples, endUs))
                return;
            lock.lock();
            if (Quit || Serial != serial)
                return;
            Wake.wait_for(lock, std::chrono::milliseconds(10));
        }
    }

    void Present(TFramePtr f) {
        const std::int64_t end = f->pts + Source.FrameDurUs();
        Picture.Show(std::move(f));
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
        const std::int64_t frameUs = Source.FrameDurUs();
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
                Finished(ticket);
                continue;
            }
            if (StepsPending != 0) {
                const int direction = StepsPending > 0 ? 1 : -1;
                StepsPending -= direction;
                // The last step asked for answers every request before it.
                const std::uint64_t ticket = StepsPending == 0 ? SeekRequests : 0;
                lock.unlock();
                DoStep(direction);
                Finished(ticket);
                continue;
            }
            if (State != Playing || Ended) {
                if (Prefetch && !Source.InputEnded() && Source.Pending().empty()) {
                    // Paused after a step: the next picture is decoded now, so that the next
                    // step only shows it.
                    lock.unlock();
                    Source.FeedOnePacket();
                    continue;
                }
                Prefetch = false;
                Wake.wait(lock);
                continue;
            }
            lock.unlock();

            if (!Source.Pending().empty()) {
                const std::int64_t t = Source.Pending().front().Frame->pts;
                if (!WaitForClock(t))
                    continue;
                TFramePtr f = Source.TakeNext();
                const bool more = !Source.Pending().empty();
                std::int64_t late;
                {
                    std::lock_guard l(Mutex);
                    late = Clock.Now() - t;
                }
                if (late > std::max<std::int64_t>(3 * frameUs, 150000) && more) {
                    ++Drops;
                    continue;
                }
                Present(std::move(f));
                continue;
            }
            if (Source.InputEnded()) {
                // Every picture has been shown: the end comes when the last one (or the sound
                // after it) has had its time. Both ends are media times, which keep to the
                // pace of the file whatever its timestamps say.
                std::int64_t end = Source.EndUs();
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
            Source.FeedOnePacket();
        }
    }

    void Finished(std::uint64_t ticket) {
        {
            std::lock_guard done(Mutex);
            SeeksDone = std::max(SeeksDone, ticket);
        }
        SeekFinished.notify_all();
    }

    // One picture forward or back while paused: from the trail of pictures decoded on the way
    // when it holds the neighbour, forward by decoding on from the picture on display, back
    // by an exact seek to just before it. Nothing at either end of the file.
    void DoStep(int direction) {
        TPictureTrail& trail = Source.Trail();
        const std::int64_t shown = Picture.TimeUs();
        if (shown < 0)
            return;
        // Decoding while paused leaves the sound behind: it is not decoded, and Play enters
        // the file again.
        const auto decodeSilently = [this] {
            Source.MuteSound(true);
            std::lock_guard lock(Mutex);
            Stepped = true;
        };
        TFramePtr picture;
        if (direction > 0 ? trail.Forward() : trail.Back()) {
            picture.reset(av_frame_clone(trail.Shown()));
        } else if (direction > 0) {
            decodeSilently();
            if (!Source.DecodeNext([this] { return SeekInterrupted(); }))
                return;
            picture = Source.TakeNext();
            Prefetch = true;
        } else {
            if (shown == 0)
                return;
            decodeSilently();
            TMediaSource::TSeekResult seek =
                Source.Seek(shown - 1, [this] { return SeekInterrupted(); });
            if (!seek.Done || !seek.Picture || seek.Picture->pts >= shown)
                return;
            picture = std::move(seek.Picture);
        }
        const std::int64_t t = picture->pts;
        Present(std::move(picture));
        std::lock_guard lock(Mutex);
        Clock.Set(t);
        Ended = false;
        Stepped = true;
    }

    void DoSeek(std::int64_t t) {
        Source.MuteSound(false);
        TMediaSource::TSeekResult seek = Source.Seek(t, [this] { return SeekInterrupted(); });
        if (!seek.Done)
            return;
        // The picture on display stays as near as the file allows; a developer finds why it
        // is not the one asked for on the standard error stream.
        if (seek.Error < 0 || (!seek.Picture && Source.HasVideo())) {
            char text[AV_ERROR_MAX_STRING_SIZE] = "no picture could be decoded there";
            if (seek.Error < 0)
                av_strerror(seek.Error, text, sizeof text);
            kw::ReportCause(QStringLiteral("Seek to %1 s").arg(double(t) / 1e6, 0, 'f', 3),
                            QString::fromUtf8(text));
        }
        if (seek.Picture)
            Present(std::move(seek.Picture));
        std::lock_guard lock(Mutex);
        Clock.Set(seek.ClockUs);
        Ended = false;
        Stepped = false;
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
    F->Sound.reset();
}

int TMediaPlayer::Open(const QString& path) {
    return F->Open(path);
}

void TMediaPlayer::Play() {
    {
        std::lock_guard lock(F->Mutex);
        if (F->State == Playing)
            return;
        F->StepsPending = 0;
        // Play at the end starts again from the beginning; after steps it goes on from the
        // picture on display, entering the file there so that sound and decoding follow it.
        if (F->Ended || F->Stepped) {
            const std::int64_t from = F->Ended ? 0 : std::max<std::int64_t>(0, ShownTimeUs());
            F->Ended = false;
            F->Stepped = false;
            F->SeekPending = true;
            F->SeekRequestUs = from;
            ++F->SeekRequests;
            F->Clock.Set(from);
        } else if (!F->SeekPending) {
            F->SeeksDone = F->SeekRequests;
        }
        F->State = Playing;
        F->Clock.Run();
        ++F->Serial;
    }
    F->Wake.notify_all();
    if (F->Sound)
        F->Sound->Play();
}

void TMediaPlayer::Pause() {
    {
        std::lock_guard lock(F->Mutex);
        F->State = Paused;
        F->Clock.Freeze();
        ++F->Serial;
    }
    F->Wake.notify_all();
    if (F->Sound)
        F->Sound->Suspend();
}

void TMediaPlayer::Stop() {
    {
        std::lock_guard lock(F->Mutex);
        F->State = Stopped;
        F->Clock.Freeze();
        ++F->Serial;
    }
    F->Wake.notify_all();
    if (F->Sound)
        F->Sound->Suspend();
}

TMediaPlayer::TState TMediaPlayer::State() const {
    std::lock_guard lock(F->Mutex);
    return F->State;
}

bool TMediaPlayer::HasVideo() const {
    return F->Source.HasVideo();
}

TVideoFacts TMediaPlayer::VideoFacts() const {
    // Written by Open before the player thread starts, only read afterwards.
    return F->Source.VideoFacts();
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
        F->StepsPending = 0;
        F->Clock.Set(F->SeekRequestUs);
        F->Ended = false;
        ++F->Serial;
    }
    F->Wake.notify_all();
}

bool TMediaPlayer::StepFrame(int direction) {
    if (!HasVideo() || direction == 0 || ShownTimeUs() < 0)
        return false;
    {
        std::lock_guard lock(F->Mutex);
        if (F->State != Paused)
            return false;
        F->StepsPending += direction > 0 ? 1 : -1;
        ++F->SeekRequests;
        ++F->Serial;
    }
    F->Wake.notify_all();
    return true;
}

void TMediaPlayer::SetRoomCheck(std::function<bool(std::int64_t bytes)> room) {
    F->RoomCheck = std::move(room);
}

void TMediaPlayer::SetVolume(double amplitude) {
    F->Volume = std::clamp(amplitude, 0.0, 1.0);
    if (F->Sound)
        F->Sound->SetVolume(F->Volume);
}

void TMediaPlayer::SetDisplayArea(QSize size) {
    F->Picture.SetArea(size);
}

double TMediaPlayer::DisplayAspect() const {
    return F->Picture.Aspect();
}

QImage TMediaPlayer::DisplayPicture() const {
    return F->Picture.Picture();
}

bool TMediaPlayer::GrabCurrentImage(kw::TMemoryStream& stream, QString* reason) {
    {
        // A seek still on its way: the picture it brings is the one to take.
        std::unique_lock lock(F->Mutex);
        F->SeekFinished.wait_for(lock, std::chrono::seconds(3),
                                 [&] { return F->Quit || F->SeeksDone >= F->SeekRequests; });
    }
    return F->Picture.Grab(stream, reason);
}

std::int64_t TMediaPlayer::ShownTimeUs() const {
    return F->Picture.TimeUs();
}

std::int64_t TMediaPlayer::FrameDurationUs() const {
    return F->Source.FrameDurUs();
}

std::int64_t TMediaPlayer::FramesShown() const {
    return F->Shows;
}
std::int64_t TMediaPlayer::FramesDropped() const {
    return F->Drops;
}
bool TMediaPlayer::SoundOutputActive() const {
    return F->Sound != nullptr;
}

} // namespace fcvideo
