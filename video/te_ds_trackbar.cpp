#include "video/te_ds_trackbar.h"

#include "common/kw_guard.h"

#include <QMouseEvent>
#include <QPainter>

#include <climits>

TTeDSTrackBar::TTeDSTrackBar(QWidget* parent) : TTeTrackBar(parent) {
    FTimer.setTimerType(Qt::CoarseTimer);
    connect(&FTimer, &QTimer::timeout, this, [this] { kw::Guarded([this] { TimerTick(); }); });
}

TTeDSTrackBar::~TTeDSTrackBar() {
    FTimerRunning = false;
    FTimer.stop();
    SetFilterGraph(nullptr);
}

void TTeDSTrackBar::SetFilterGraph(TFilterGraph* graph) {
    if (FFilterGraph == graph)
        return;
    if (FFilterGraph)
        FFilterGraph->RemoveEventNotifier(this);
    FSeeking = nullptr;
    FFilterGraph = graph;
    if (graph)
        graph->InsertEventNotifier(this);
}

TMediaSeeking* TTeDSTrackBar::Seeking() const {
    // The interface belongs to the graph: gone with it.
    return FFilterGraph ? FSeeking : nullptr;
}

void TTeDSTrackBar::SetTimerInterval(std::uint32_t value) {
    FTimerInterval = value;
    UpdateTimer();
}

void TTeDSTrackBar::SetOnTimer(TTimerEvent handler) {
    FOnTimer = std::move(handler);
    UpdateTimer();
}

void TTeDSTrackBar::UpdateTimer() {
    FTimer.stop();
    // A QTimer of interval 0 would fire all the time: 0 means no timer at all.
    if (FTimerInterval == 0 || !FTimerRunning)
        return;
    FTimer.start(int(std::min<std::uint32_t>(FTimerInterval, INT_MAX)));
    if (!FTimer.isActive())
        throw kw::EFcError(QStringLiteral("Not enough timers available"));
}

void TTeDSTrackBar::ControlNotify(int event, int param) {
    switch (event) {
    case cePlay:
        FTimerRunning = isEnabled();
        UpdateTimer();
        break;
    case cePause:
    case ceStop:
        FTimerRunning = false;
        UpdateTimer();
        break;
    case ceActive:
        FSeeking = (param == 1 && FFilterGraph) ? FFilterGraph->Seeking() : nullptr;
        break;
    default:
        break;
    }
}

void TTeDSTrackBar::GraphNotify(int code, std::intptr_t, std::intptr_t) {
    // The graph changed its clock: playback starts again from the beginning.
    TMediaSeeking* seeking = Seeking();
    if (code != EC_CLOCK_CHANGED || !seeking)
        return;
    std::int64_t duration = 0;
    seeking->GetDuration(duration);
    seeking->SetPositions(0, AM_SEEKING_AbsolutePositioning, duration, AM_SEEKING_NoPositioning);
}

void TTeDSTrackBar::TimerTick() {
    TMediaSeeking* seeking = Seeking();
    if (!seeking || FTracking)
        return;
    std::int64_t duration = 0, current = 0;
    if (seeking->GetDuration(duration) < 0 || seeking->GetCurrentPosition(current) < 0)
        return;
    const std::int32_t dms = std::int32_t(duration / 10000);
    const std::int32_t cms = std::int32_t(current / 10000);
    if (StepMs() == 0)
        return;
    ShowTime(cms, dms);
    if (FOnTimer)
        FOnTimer(this, cms, dms);
}

void TTeDSTrackBar::ShowTime(std::int64_t ms, std::int64_t durationMs) {
    const std::uint32_t step = StepMs();
    if (step == 0 || FTracking)
        return;
    if (FDurationMs != durationMs) {
        FDurationMs = durationMs;
        update(); // the marks' places
    }
    SetMin(0);
    SetMax(std::int32_t(std::uint32_t(durationMs) / step));
    SetPosition(std::int32_t(std::uint32_t(ms) / step));
}

std::int64_t TTeDSTrackBar::PositionMs(std::int64_t durationMs) const {
    return Max() > 0 ? durationMs * Position() / Max() : 0;
}

void TTeDSTrackBar::SetMarks(std::int64_t inMs, std::int64_t outMs) {
    FInMs = inMs;
    FOutMs = outMs;
    update();
}

void TTeDSTrackBar::paintEvent(QPaintEvent* event) {
    TTeTrackBar::paintEvent(event);
    const std::uint32_t step = StepMs();
    if ((FInMs < 0 && FOutMs < 0) || step == 0 || FDurationMs <= 0)
        return;
    const auto x = [&](std::int64_t ms) { return PositionX(std::int32_t(ms / step)); };
    const int y = height() / 2 + 8;
    const int from = FInMs >= 0 ? x(FInMs) : x(0);
    const int to = FOutMs >= 0 ? x(FOutMs) : x(FDurationMs);
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    const QColor gold(0xF3, 0xAF, 0x00);
    p.setPen(QPen(gold, 2));
    p.drawLine(from, y, to, y);
    p.setPen(Qt::NoPen);
    p.setBrush(gold);
    // A small upward tooth at each mark that is set.
    for (const std::int64_t mark : {FInMs, FOutMs}) {
        if (mark < 0)
            continue;
        const int m = x(mark);
        const QPointF tooth[3] = {{m - 4.0, y + 5.0}, {m + 4.0, y + 5.0}, {double(m), y - 3.0}};
        p.drawPolygon(tooth, 3);
    }
}

void TTeDSTrackBar::mousePressEvent(QMouseEvent* event) {
    kw::Guarded([&] {
        // Tracking from the start: the thumb's jump to the press point must not be taken
        // back by a follow update that its change sets off.
        if (event->button() == Qt::LeftButton)
            FTracking = true;
        TTeTrackBar::mousePressEvent(event);
    });
}

void TTeDSTrackBar::mouseReleaseEvent(QMouseEvent* event) {
    kw::Guarded([&] {
        TTeTrackBar::mouseReleaseEvent(event);
        TMediaSeeking* seeking = Seeking();
        if (event->button() == Qt::LeftButton && seeking && Max() != 0) {
            std::int64_t stop = 0;
            seeking->GetStopPosition(stop);
            const std::int64_t p = stop * Position() / Max();
            seeking->SetPositions(p, AM_SEEKING_AbsolutePositioning, stop,
                                  AM_SEEKING_NoPositioning);
        }
    });
    FTracking = false;
}
