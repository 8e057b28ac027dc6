#include "skin/te_trackbar.h"

#include <QKeyEvent>
#include <QLinearGradient>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <QRadialGradient>

#include <algorithm>
#include <cmath>

namespace {

constexpr int ThumbWidth = 14;
constexpr int ThumbHeight = 18;
constexpr int GrooveHeight = 6;

} // namespace

TTeTrackBar::TTeTrackBar(QWidget* parent) : QWidget(parent) {
    setFocusPolicy(Qt::StrongFocus);
    resize(sizeHint());
}

void TTeTrackBar::SetMin(std::int32_t value) {
    if (value >= FMax || value == FMin)
        return;
    FMin = value;
    SetPosition(FPosition);
    update();
}

void TTeTrackBar::SetMax(std::int32_t value) {
    if (value <= FMin || value == FMax)
        return;
    FMax = value;
    SetPosition(FPosition);
    update();
}

void TTeTrackBar::SetPosition(std::int32_t value) {
    value = std::clamp(value, FMin, FMax);
    if (value == FPosition)
        return;
    FPosition = value;
    update();
    emit OnChange();
}

void TTeTrackBar::SetShowTicks(bool value) {
    FShowTicks = value;
    update();
}

int TTeTrackBar::TrackLeft() const {
    return ThumbWidth / 2 + 2;
}
int TTeTrackBar::TrackWidth() const {
    return std::max(1, width() - 2 * TrackLeft());
}

int TTeTrackBar::PositionX(std::int32_t value) const {
    const double range = double(FMax) - FMin;
    const double f = std::clamp((double(value) - FMin) / range, 0.0, 1.0);
    return TrackLeft() + int(std::lround(f * TrackWidth()));
}

QRect TTeTrackBar::ThumbRect() const {
    const int cx = PositionX(FPosition);
    const int top = (height() - ThumbHeight) / 2;
    return QRect(cx - ThumbWidth / 2, top, ThumbWidth, ThumbHeight);
}

std::int32_t TTeTrackBar::PositionAt(int x) const {
    const double range = double(FMax) - FMin;
    const double f = std::clamp(double(x - TrackLeft()) / TrackWidth(), 0.0, 1.0);
    return std::int32_t(std::clamp<std::int64_t>(std::llround(FMin + f * range), FMin, FMax));
}

void TTeTrackBar::mousePressEvent(QMouseEvent* event) {
    // A bar that takes no focus (the seek bar) leaves the keys where they were.
    if (focusPolicy() & Qt::ClickFocus)
        setFocus(Qt::MouseFocusReason);
    if (event->button() != Qt::LeftButton)
        return;
    const int x = int(event->position().x());
    const QRect thumb = ThumbRect();
    if (thumb.adjusted(-1, -2, 1, 2).contains(event->position().toPoint())) {
        FDragging = true;
        FDragOffset = x - thumb.center().x();
    } else if (FJumpByClick) {
        SetPosition(PositionAt(x));
        FDragging = true;
        FDragOffset = 0;
    } else {
        SetPosition(FPosition + (x < thumb.center().x() ? -FPageSize : FPageSize));
    }
}

void TTeTrackBar::mouseMoveEvent(QMouseEvent* event) {
    if (FDragging)
        SetPosition(PositionAt(int(event->position().x()) - FDragOffset));
}

void TTeTrackBar::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton)
        FDragging = false;
}

void TTeTrackBar::keyPressEvent(QKeyEvent* event) {
    switch (event->key()) {
    case Qt::Key_PageUp:
        SetPosition(FPosition - FPageSize);
        break;
    case Qt::Key_PageDown:
        SetPosition(FPosition + FPageSize);
        break;
    case Qt::Key_Left:
    case Qt::Key_Up:
        SetPosition(FPosition - 1);
        break;
    case Qt::Key_Right:
    case Qt::Key_Down:
        SetPosition(FPosition + 1);
        break;
    case Qt::Key_Home:
        SetPosition(FMin);
        break;
    case Qt::Key_End:
        SetPosition(FMax);
        break;
    default:
        QWidget::keyPressEvent(event);
        return;
    }
}

void TTeTrackBar::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    const int cy = height() / 2;
    const QRectF groove(TrackLeft() - GrooveHeight / 2.0, cy - GrooveHeight / 2.0,
                        TrackWidth() + GrooveHeight, GrooveHeight);
    const QRect thumb = ThumbRect();

    // The groove: a dark inset channel with a light lower edge.
    QLinearGradient grooveFill(groove.topLeft(), groove.bottomLeft());
    grooveFill.setColorAt(0, QColor(0x3A, 0x39, 0x36));
    grooveFill.setColorAt(1, QColor(0x6A, 0x68, 0x63));
    p.setPen(QPen(QColor(0x2A, 0x29, 0x27), 1));
    p.setBrush(grooveFill);
    p.drawRoundedRect(groove, GrooveHeight / 2.0, GrooveHeight / 2.0);

    // The played part in aqua blue.
    QRectF done = groove;
    done.setRight(thumb.center().x());
    if (done.width() > 1) {
        QLinearGradient aqua(done.topLeft(), done.bottomLeft());
        aqua.setColorAt(0, QColor(0x9C, 0xD4, 0xFF));
        aqua.setColorAt(0.5, QColor(0x2F, 0x8C, 0xEB));
        aqua.setColorAt(1, QColor(0x5F, 0xB4, 0xFF));
        p.setPen(Qt::NoPen);
        p.setBrush(aqua);
        p.drawRoundedRect(done.adjusted(0.5, 0.5, 0, -0.5), GrooveHeight / 2.0, GrooveHeight / 2.0);
    }

    if (FShowTicks) {
        p.setPen(QColor(0x2A, 0x29, 0x27));
        const std::int64_t range = std::int64_t(FMax) - FMin;
        const std::int64_t step = std::max<std::int64_t>(1, range / 20);
        for (std::int64_t v = FMin; v <= FMax; v += step) {
            const int x = TrackLeft() + int((v - FMin) * TrackWidth() / range);
            p.drawLine(x, height() - 6, x, height() - 3);
        }
    }

    // The thumb: a glossy aqua drop with a white highlight.
    const QRectF t = QRectF(thumb).adjusted(0.5, 0.5, -0.5, -0.5);
    QLinearGradient body(t.topLeft(), t.bottomLeft());
    const bool hot = FDragging || hasFocus();
    body.setColorAt(0, hot ? QColor(0x6F, 0xC0, 0xFF) : QColor(0x5A, 0xA9, 0xF0));
    body.setColorAt(0.5, hot ? QColor(0x14, 0x6E, 0xDC) : QColor(0x1C, 0x64, 0xC4));
    body.setColorAt(1, QColor(0x8F, 0xDA, 0xFF));
    p.setPen(QPen(QColor(0x10, 0x3A, 0x78), 1));
    p.setBrush(body);
    p.drawRoundedRect(t, t.width() / 2, t.width() / 2);
    QRectF gloss(t.left() + 2, t.top() + 1.5, t.width() - 4, t.height() * 0.42);
    QLinearGradient shine(gloss.topLeft(), gloss.bottomLeft());
    shine.setColorAt(0, QColor(255, 255, 255, 230));
    shine.setColorAt(1, QColor(255, 255, 255, 40));
    p.setPen(Qt::NoPen);
    p.setBrush(shine);
    p.drawRoundedRect(gloss, gloss.width() / 2, gloss.height() / 2);
}
