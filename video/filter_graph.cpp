#include "video/filter_graph.h"

#include "video/media_player.h"
#include "video/video_window.h"

extern "C" {
#include <libavutil/error.h>
}

#include <QCoreApplication>
#include <QEvent>

#include <algorithm>
#include <cmath>

namespace {

const QEvent::Type NotifyEventType = QEvent::Type(QEvent::User + 1);
const QEvent::Type PictureEventType = QEvent::Type(QEvent::User + 2);

} // namespace

QString EDirectShowException::MessageFor(std::int32_t code) {
    char text[256] = {};
    av_strerror(code, text, 255);
    return QString::fromUtf8(text) + QString::asprintf(" ($%x).", unsigned(std::uint32_t(code)));
}

QString EDirectShowException::FileProblem(std::int32_t code) {
    switch (code) {
    case AVERROR_STREAM_NOT_FOUND:
        return QStringLiteral("holds no video stream");
    case AVERROR_INVALIDDATA:
    case AVERROR_EOF:
        return QStringLiteral("is damaged or not a video file");
    case AVERROR_DECODER_NOT_FOUND:
    case AVERROR_DEMUXER_NOT_FOUND:
    case AVERROR_PATCHWELCOME:
        return QStringLiteral("is in a video format that cannot be played");
    case AVERROR(ENOENT):
        return QStringLiteral("does not exist");
    case AVERROR(EISDIR):
        return QStringLiteral("is a folder, not a video file");
    case AVERROR(EACCES):
    case AVERROR(EPERM):
        return QStringLiteral("cannot be read: permission denied");
    case AVERROR(ENOMEM):
        return QStringLiteral("needs more memory than is free");
    default:
        return QStringLiteral("cannot be opened");
    }
}

EDirectShowException::EDirectShowException(std::int32_t code)
    : kw::EFcError(MessageFor(code)), FCode(code) {}

TFilterGraph::TFilterGraph(QObject* parent) : QObject(parent) {}

TFilterGraph::~TFilterGraph() {
    // Sinks are not told: they may be half destroyed with the window that owns both.
    FActive = false;
    ReleasePlayer();
}

void TFilterGraph::SetActive(bool value) {
    if (value == FActive)
        return;
    if (value) {
        FActive = true;
        FStopPosition = -1;
        ControlEvent(ceActive, 1);
    } else {
        ControlEvent(ceActive, 0);
        FActive = false;
        ReleasePlayer();
    }
}

void TFilterGraph::ResetGraph() {
    if (!FActive)
        return;
    Stop();
    ReleasePlayer();
}

void TFilterGraph::ReleasePlayer() {
    FPlayer.reset(); // joins the playback thread
    {
        std::lock_guard lock(FQueueMutex);
        FQueue.clear();
    }
    FStopPosition = -1;
    if (FVideoWindow)
        FVideoWindow->update();
}

std::int32_t TFilterGraph::RenderMediaFile(const QString& path) {
    if (!FActive)
        return FC_S_FALSE;
    ControlEvent(ceFileRendering, 0);
    ReleasePlayer();
    auto player = std::make_unique<fcvideo::TMediaPlayer>(fcvideo::TMediaPlayer::TCallbacks{
        [this] { PictureShown(); }, [this] { PostNotification(EC_COMPLETE); }});
    player->SetDisplayArea(FDisplayArea);
    player->SetRoomCheck(FRoomCheck);
    const int rc = player->Open(path);
    if (rc < 0)
        throw EDirectShowException(rc);
    FPlayer = std::move(player);
    ApplyVolume();
    if (FVideoWindow)
        FVideoWindow->update();
    ControlEvent(ceFileRendered, 0);
    return FC_S_OK;
}

bool TFilterGraph::Play() {
    if (!FActive)
        return false;
    ControlEvent(cePlay, 0);
    if (!FPlayer)
        return false;
    FPlayer->Play();
    return true;
}

bool TFilterGraph::Pause() {
    if (!FActive)
        return false;
    ControlEvent(cePause, 0);
    if (!FPlayer)
        return false;
    FPlayer->Pause();
    return true;
}

bool TFilterGraph::Stop() {
    if (!FActive)
        return false;
    ControlEvent(ceStop, 0);
    if (!FPlayer)
        return false;
    FPlayer->Stop();
    return true;
}

int TFilterGraph::GetState() const {
    static_assert(int(fcvideo::TMediaPlayer::Stopped) == gsStopped &&
                  int(fcvideo::TMediaPlayer::Paused) == gsPaused &&
                  int(fcvideo::TMediaPlayer::Playing) == gsPlaying);
    if (!FActive)
        return gsNoGraph;
    return FPlayer ? int(FPlayer->State()) : gsStopped;
}

int TFilterGraph::VolumeToLevel(int volume, bool linear) {
    volume = std::clamp(volume, 0, 10000);
    if (!linear)
        return volume - 10000;
    return int(std::nearbyint(std::log(volume + 1.0) * 1085.73)) - 10000;
}

double TFilterGraph::LevelToAmplitude(int level) {
    if (level <= -10000)
        return 0;
    return std::pow(10.0, std::min(level, 0) / 2000.0);
}

void TFilterGraph::SetVolume(int value) {
    FVolume = std::clamp(value, 0, 10000);
    ApplyVolume();
}

void TFilterGraph::SetLinearVolume(bool value) {
    FLinearVolume = value;
    ApplyVolume();
}

void TFilterGraph::ApplyVolume() {
    // Balance stays centred and the rate 1.0: the player has no other settings.
    if (FPlayer)
        FPlayer->SetVolume(LevelToAmplitude(VolumeToLevel(FVolume, FLinearVolume)));
}

void TFilterGraph::InsertEventNotifier(TGraphEventSink* sink) {
    if (sink && std::find(FSinks.begin(), FSinks.end(), sink) == FSinks.end())
        FSinks.push_back(sink);
}

void TFilterGraph::RemoveEventNotifier(TGraphEventSink* sink) {
    FSinks.erase(std::remove(FSinks.begin(), FSinks.end(), sink), FSinks.end());
}

void TFilterGraph::ControlEvent(int event, int param) {
    const auto sinks = FSinks; // a sink may detach itself
    for (TGraphEventSink* sink : sinks)
        sink->ControlNotify(event, param);
}

std::int32_t TFilterGraph::GetDuration(std::int64_t& duration) {
    if (!FActive || !FPlayer)
        return FC_E_FAIL;
    duration = FPlayer->DurationUs() * 10;
    return FC_S_OK;
}

bool TFilterGraph::HasVideo() const {
    return FActive && FPlayer && FPlayer->HasVideo();
}

bool TFilterGraph::StepFrame(int direction) {
    return HasVideo() && FPlayer->StepFrame(direction);
}

std::int64_t TFilterGraph::ShownTime() const {
    if (!HasVideo())
        return -1;
    const std::int64_t us = FPlayer->ShownTimeUs();
    return us < 0 ? -1 : us * 10;
}

std::int32_t TFilterGraph::GetCurrentPosition(std::int64_t& current) {
    if (!FActive || !FPlayer)
        return FC_E_FAIL;
    current = FPlayer->PositionUs() * 10;
    return FC_S_OK;
}

std::int32_t TFilterGraph::GetStopPosition(std::int64_t& stop) {
    if (!FActive || !FPlayer)
        return FC_E_FAIL;
    stop = FStopPosition >= 0 ? FStopPosition : FPlayer->DurationUs() * 10;
    return FC_S_OK;
}

std::int32_t TFilterGraph::SetPositions(std::int64_t current, std::uint32_t currentFlags,
                                        std::int64_t stop, std::uint32_t stopFlags) {
    if (!FActive || !FPlayer)
        return FC_E_FAIL;
    // The stop position is kept and reported; playback always runs to the end of the file.
    if ((stopFlags & 3) == AM_SEEKING_AbsolutePositioning)
        FStopPosition = std::max<std::int64_t>(0, stop);
    if ((currentFlags & 3) == AM_SEEKING_AbsolutePositioning)
        FPlayer->Seek(current / 10);
    return FC_S_OK;
}

bool TFilterGraph::GrabCurrentImage(kw::TMemoryStream& stream, QString* reason) {
    const char* cause = !FActive               ? "the player is not active"
                        : !FPlayer             ? "no file is open"
                        : !FPlayer->HasVideo() ? "the file has no video stream"
                                               : nullptr;
    if (cause) {
        if (reason)
            *reason = QString::fromUtf8(cause);
        return false;
    }
    return FPlayer->GrabCurrentImage(stream, reason);
}

void TFilterGraph::SetVideoWindow(TVideoWindow* window) {
    FVideoWindow = window;
}

TVideoWindow* TFilterGraph::VideoWindow() const {
    return FVideoWindow;
}

void TFilterGraph::SetDisplayArea(QSize devicePixels) {
    FDisplayArea = devicePixels;
    if (FPlayer)
        FPlayer->SetDisplayArea(devicePixels);
}

double TFilterGraph::DisplayAspect() const {
    return FPlayer ? FPlayer->DisplayAspect() : 0;
}

QImage TFilterGraph::DisplayPicture() const {
    return FPlayer ? FPlayer->DisplayPicture() : QImage();
}

void TFilterGraph::PostNotification(int code, std::intptr_t param1, std::intptr_t param2) {
    {
        std::lock_guard lock(FQueueMutex);
        FQueue.push_back({code, param1, param2});
    }
    QCoreApplication::postEvent(this, new QEvent(NotifyEventType));
}

void TFilterGraph::PictureShown() {
    if (!FPicturePosted.exchange(true))
        QCoreApplication::postEvent(this, new QEvent(PictureEventType));
}

bool TFilterGraph::event(QEvent* e) {
    if (e->type() == NotifyEventType) {
        kw::Guarded([this] { DeliverNotifications(); });
        return true;
    }
    if (e->type() == PictureEventType) {
        FPicturePosted = false;
        if (FVideoWindow)
            FVideoWindow->update();
        emit OnPictureShown();
        return true;
    }
    return QObject::event(e);
}

void TFilterGraph::DeliverNotifications() {
    // One by one until none is left; an error ends the pass and the rest waits for the next
    // posted event.
    for (;;) {
        TNotification n;
        {
            std::lock_guard lock(FQueueMutex);
            if (FQueue.empty())
                return;
            n = FQueue.front();
            FQueue.pop_front();
        }
        const auto sinks = FSinks;
        for (TGraphEventSink* sink : sinks)
            sink->GraphNotify(n.Code, n.Param1, n.Param2);
        emit OnDSEvent(this, n.Code, n.Param1, n.Param2);
    }
}
