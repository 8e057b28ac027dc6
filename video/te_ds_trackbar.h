#pragma once
// TTeDSTrackBar: the seek bar. A TTeTrackBar attached to a TFilterGraph as an event sink: it
// follows playback with a timer of TimerInterval milliseconds (one slider step is one
// interval of video) and seeks when the left button is released on it.

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

    bool TimerRunning() const { return FTimerRunning; }
    bool Tracking() const { return FTracking; }
    bool HasSeeking() const { return Seeking() != nullptr; }
    const QTimer& Timer() const { return FTimer; }

    // One follow tick (the timer's handler).
    void TimerTick();

    void GraphNotify(int code, std::intptr_t param1, std::intptr_t param2) override;
    void ControlNotify(int event, int param) override;

protected:
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
    bool FTimerRunning = false;
    bool FTracking = false;
    TTimerEvent FOnTimer;
    QTimer FTimer;
};
