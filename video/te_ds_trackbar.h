#pragma once
// TTeDSTrackBar: the seek bar. A TTeTrackBar attached to a TFilterGraph as an event sink: it
// follows playback with a timer of TimerInterval milliseconds and seeks when the left button
// is released on it. One slider step is Resolution milliseconds of video (by default one
// timer interval; the main window makes it one millisecond, so that every picture of a short
// clip has its place). An in and an out mark can be shown under the track.

#include "skin/te_trackbar.h"
#include "video/filter_graph.h"

#include <QPointer>
#include <QTimer>

#include <cstdint>
#include <functional>

class TTeDSTrackBar : public TTeTrackBar, public TGraphEventSink {
    Q_OBJECT
public:
    // (the bar, current position in ms, duration in ms), after each follow tick.
    using TTimerEvent =
        std::function<void(QObject* sender, std::int32_t currentMs, std::int32_t durationMs)>;

    explicit TTeDSTrackBar(QWidget* parent = nullptr);
    ~TTeDSTrackBar() override;

    TFilterGraph* FilterGraph() const { return FFilterGraph; }
    void SetFilterGraph(TFilterGraph* graph);

    std::uint32_t TimerInterval() const { return FTimerInterval; }
    void SetTimerInterval(std::uint32_t value);
    const TTimerEvent& OnTimer() const { return FOnTimer; }
    void SetOnTimer(TTimerEvent handler);

    // Milliseconds of video per slider step; 0: TimerInterval.
    std::uint32_t Resolution() const { return FResolution; }
    void SetResolution(std::uint32_t ms) { FResolution = ms; }
    std::uint32_t StepMs() const { return FResolution ? FResolution : FTimerInterval; }
    // Puts the thumb at a time of a video of that length, as a follow tick does (Min 0, Max
    // and Position in slider steps); nothing while the button is held or without a step.
    void ShowTime(std::int64_t ms, std::int64_t durationMs);
    // The time the thumb stands for in a video of that length.
    std::int64_t PositionMs(std::int64_t durationMs) const;

    // The in and out marks in milliseconds (-1: none), painted under the track for a video of
    // the length of the last ShowTime.
    void SetMarks(std::int64_t inMs, std::int64_t outMs);
    std::int64_t InMark() const { return FInMs; }
    std::int64_t OutMark() const { return FOutMs; }

    bool TimerRunning() const { return FTimerRunning; }
    bool Tracking() const { return FTracking; }
    bool HasSeeking() const { return Seeking() != nullptr; }
    const QTimer& Timer() const { return FTimer; }

    // One follow tick (the timer's handler).
    void TimerTick();

    void GraphNotify(int code, std::intptr_t param1, std::intptr_t param2) override;
    void ControlNotify(int event, int param) override;

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    void UpdateTimer();
    // The graph's seeking interface while the graph is active and still exists.
    TMediaSeeking* Seeking() const;

    // The graph is known through QPointer, as the preview knows it: it may go first.
    QPointer<TFilterGraph> FFilterGraph;
    TMediaSeeking* FSeeking = nullptr;
    std::uint32_t FTimerInterval = 1000;
    std::uint32_t FResolution = 0;
    std::int64_t FDurationMs = 0;
    std::int64_t FInMs = -1, FOutMs = -1;
    bool FTimerRunning = false;
    bool FTracking = false;
    TTimerEvent FOnTimer;
    QTimer FTimer;
};
