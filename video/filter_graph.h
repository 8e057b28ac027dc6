#pragma once
// TFilterGraph: the playback component of the main window. It plays one video file at a
// time through TMediaPlayer (FFmpeg), shows it in a TVideoWindow, hands out the picture on
// display as a BMP file, and tells its event sinks and OnDSEvent what happens.
//
// Use from the GUI thread only. Notifications from the playback thread are posted to this
// object and delivered on the GUI thread: for each one GraphNotify() on every sink, then
// OnDSEvent.

#include "common/kw_guard.h"
#include "common/kw_stream.h"

#include <QObject>
#include <QPointer>
#include <QSize>
#include <QString>

#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <vector>

class TVideoWindow;
namespace fcvideo {
class TMediaPlayer;
}

// Result codes of the graph's operations: 0 and positive succeed, negative fail.
constexpr std::int32_t FC_S_OK = 0;
constexpr std::int32_t FC_S_FALSE = 1;
constexpr std::int32_t FC_E_FAIL = std::int32_t(0x80004005u);

// Notification codes passed to GraphNotify and OnDSEvent.
constexpr int EC_COMPLETE = 1;       // playback reached the end of the stream
constexpr int EC_CLOCK_CHANGED = 13; // the graph's reference clock changed

// Flags of SetPositions.
constexpr std::uint32_t AM_SEEKING_NoPositioning = 0;
constexpr std::uint32_t AM_SEEKING_AbsolutePositioning = 1;

// A failing code of the player: the message is FFmpeg's text for it followed by " ($%x).".
class EDirectShowException : public kw::EFcError {
public:
    explicit EDirectShowException(std::int32_t code);
    std::int32_t ErrorCode() const { return FCode; }
    static QString MessageFor(std::int32_t code);
    // What is wrong with a file that could not be opened, in words a user can act on, to
    // follow the file's name: "holds no video stream", "is damaged or not a video file", ...
    static QString FileProblem(std::int32_t code);

private:
    std::int32_t FCode;
};

// Control events of the graph, sent to the sinks' ControlNotify.
enum TControlEvent {
    cePlay = 0,
    cePause = 1,
    ceStop = 2,
    ceFileRendering = 3,
    ceFileRendered = 4,
    ceActive = 7,
};

// The values of TFilterGraph::GetState.
enum TGraphState { gsNoGraph = 0, gsStopped = 1, gsPaused = 2, gsPlaying = 3 };

// The seeking interface; times in units of 100 ns. Results: FC_S_OK or a failing code.
class TMediaSeeking {
public:
    virtual ~TMediaSeeking() = default;
    virtual std::int32_t GetDuration(std::int64_t& duration) = 0;
    virtual std::int32_t GetCurrentPosition(std::int64_t& current) = 0;
    virtual std::int32_t GetStopPosition(std::int64_t& stop) = 0;
    virtual std::int32_t SetPositions(std::int64_t current, std::uint32_t currentFlags,
                                      std::int64_t stop, std::uint32_t stopFlags) = 0;
};

// A control that wants to hear from the graph.
class TGraphEventSink {
public:
    virtual ~TGraphEventSink() = default;
    virtual void GraphNotify(int code, std::intptr_t param1, std::intptr_t param2) = 0;
    virtual void ControlNotify(int event, int param) = 0;
};

class TFilterGraph : public QObject, public TMediaSeeking {
    Q_OBJECT
public:
    explicit TFilterGraph(QObject* parent = nullptr);
    ~TFilterGraph() override;

    bool Active() const { return FActive; }
    // true: a fresh graph, then ControlNotify(ceActive, 1); false: ControlNotify(ceActive, 0),
    // then everything is released.
    void SetActive(bool value);
    // Stops and removes the file; nothing when not active.
    void ResetGraph();
    // Opens the file for playback (stopped, first picture on display). FC_S_OK; FC_S_FALSE
    // and nothing done when not active; a failure raises EDirectShowException.
    std::int32_t RenderMediaFile(const QString& path);
    // true when playing started; false without a graph or without a file.
    bool Play();
    // true when paused; false without a graph or without a file.
    bool Pause();
    bool Stop();
    // A TGraphState: gsNoGraph, gsStopped, gsPaused or gsPlaying.
    int GetState() const;
    // Whether the open file has a video stream (false without a file).
    bool HasVideo() const;
    // One picture forward (direction > 0) or back while paused; false when nothing moved.
    bool StepFrame(int direction);
    // Presentation time of the picture on display in 100 ns units; -1 without one.
    std::int64_t ShownTime() const;
    // The memory budget the player asks before it keeps more decoded pictures for stepping
    // back (any thread); applies from the next file rendered.
    void SetRoomCheck(std::function<bool(std::int64_t bytes)> room) {
        FRoomCheck = std::move(room);
    }

    // 0..10000, stored when no graph exists and applied to every rendered file.
    int Volume() const { return FVolume; }
    void SetVolume(int value);
    bool LinearVolume() const { return FLinearVolume; }
    void SetLinearVolume(bool value);
    // The level in hundredths of a decibel (-10000..0) for a volume.
    static int VolumeToLevel(int volume, bool linear);
    // The level as a linear amplitude 0..1 for the sound output.
    static double LevelToAmplitude(int level);

    void InsertEventNotifier(TGraphEventSink* sink);
    void RemoveEventNotifier(TGraphEventSink* sink);
    // The seeking interface while active, else nullptr.
    virtual TMediaSeeking* Seeking() { return FActive ? this : nullptr; }

    std::int32_t GetDuration(std::int64_t& duration) override;
    std::int32_t GetCurrentPosition(std::int64_t& current) override;
    std::int32_t GetStopPosition(std::int64_t& stop) override;
    std::int32_t SetPositions(std::int64_t current, std::uint32_t currentFlags, std::int64_t stop,
                              std::uint32_t stopFlags) override;

    // Writes the full-size picture on display as a BMP file (14-byte header + 24-bit DIB) at
    // the stream's position, then sets the position to 0. false without a file, without a
    // video stream or before the first picture; the cause then goes into reason when given.
    bool GrabCurrentImage(kw::TMemoryStream& stream, QString* reason = nullptr);

    // For the preview window. The graph and the window know each other through QPointer, so
    // either may go first.
    void SetVideoWindow(TVideoWindow* window);
    TVideoWindow* VideoWindow() const;
    void SetDisplayArea(QSize devicePixels);
    double DisplayAspect() const;
    QImage DisplayPicture() const;

    // For measurements and tests.
    fcvideo::TMediaPlayer* Player() const { return FPlayer.get(); }
    // Queues a notification as the playback thread does (any thread).
    void PostNotification(int code, std::intptr_t param1 = 0, std::intptr_t param2 = 0);

signals:
    // Every notification, after the sinks' GraphNotify.
    void OnDSEvent(QObject* sender, int code, std::intptr_t param1, std::intptr_t param2);
    // A new picture is on display (at most one queued at a time).
    void OnPictureShown();

protected:
    bool event(QEvent* e) override;

private:
    struct TNotification {
        int Code;
        std::intptr_t Param1, Param2;
    };

    void ControlEvent(int event, int param);
    void ApplyVolume();
    void ReleasePlayer();
    void DeliverNotifications();
    void PictureShown();

    bool FActive = false;
    int FVolume = 0;
    bool FLinearVolume = true;
    std::int64_t FStopPosition = -1; // 100 ns; -1: the end of the file
    std::unique_ptr<fcvideo::TMediaPlayer> FPlayer;
    std::vector<TGraphEventSink*> FSinks;
    QPointer<TVideoWindow> FVideoWindow;
    QSize FDisplayArea;
    std::function<bool(std::int64_t)> FRoomCheck;

    std::mutex FQueueMutex;
    std::deque<TNotification> FQueue;
    std::atomic<bool> FPicturePosted{false};
};
