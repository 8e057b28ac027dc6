#include "skin/te_controls.h"

#include <QLayout>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <QScrollBar>

#include <algorithm>

TTeProgressBar::TTeProgressBar(QWidget* parent) : QProgressBar(parent) {
    setTextVisible(false);
    setRange(0, 100);
    setValue(0);
}

void TTeProgressBar::SetPosition(int position) {
    // QProgressBar alone repaints at once for every new value. The outputs let the event loop
    // run while they work, so the bar is painted there with the rest of the window instead.
    const bool updates = updatesEnabled();
    setUpdatesEnabled(false);
    setValue(std::clamp(position, minimum(), std::max(minimum(), maximum())));
    setUpdatesEnabled(updates);
}

// ---- TTeUpDown

TTeUpDown::TTeUpDown(QWidget* parent) : QWidget(parent) {
    resize(17, 22);
    setFocusPolicy(Qt::NoFocus);
    FRepeat.setInterval(60);
    connect(&FRepeat, &QTimer::timeout, this, [this] {
        FRepeat.setInterval(60);
        if (FPressed != 0)
            Step(FPressed > 0);
    });
}

void TTeUpDown::SetMin(int min) {
    FMin = min;
    FMax = std::max(FMax, FMin);
    FPosition = std::clamp(FPosition, FMin, FMax);
}

void TTeUpDown::SetMax(int max) {
    FMax = max;
    FMin = std::min(FMin, FMax);
    FPosition = std::clamp(FPosition, FMin, FMax);
}

void TTeUpDown::SetIncrement(int increment) {
    FIncrement = increment;
}

void TTeUpDown::SetPosition(int position) {
    FPosition = std::clamp(position, FMin, FMax);
    if (FAssociate)
        FAssociate->setText(QString::number(FPosition));
}

void TTeUpDown::SetAssociate(QLineEdit* edit) {
    FAssociate = edit;
    PlaceBesideAssociate();
}

void TTeUpDown::PlaceBesideAssociate() {
    if (!FAssociate)
        return;
    QWidget* host = FAssociate->parentWidget();
    if (host != parentWidget())
        setParent(host);
    const QRect g = FAssociate->geometry();
    const int w = width();
    FAssociate->resize(std::max(0, g.width() - w), g.height());
    setGeometry(g.x() + g.width() - w, g.y(), w, g.height());
    show();
}

void TTeUpDown::Step(bool up) {
    int current = FPosition;
    if (FAssociate) {
        bool ok = false;
        const int typed = FAssociate->text().trimmed().toInt(&ok);
        if (ok)
            current = typed;
    }
    const qint64 next = qint64(current) + (up ? FIncrement : -qint64(FIncrement));
    FPosition = int(std::clamp<qint64>(next, FMin, FMax));
    if (FAssociate)
        FAssociate->setText(QString::number(FPosition));
    emit Changed(FPosition);
}

void TTeUpDown::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    const bool enabled = isEnabled();
    const int half = height() / 2;
    const QRect halves[] = {QRect(0, 0, width(), half), QRect(0, half, width(), height() - half)};
    for (int i = 0; i < 2; ++i) {
        const QRectF r = QRectF(halves[i]).adjusted(0.5, 0.5, -0.5, -0.5);
        const bool pressed = (i == 0 && FPressed > 0) || (i == 1 && FPressed < 0);
        QLinearGradient g(r.topLeft(), r.bottomLeft());
        if (!enabled) {
            g.setColorAt(0, QColor(0xC9C8C3));
            g.setColorAt(1, QColor(0xAFAEA9));
        } else if (pressed) {
            g.setColorAt(0, QColor(0x0E5FA6));
            g.setColorAt(1, QColor(0x3B9BE6));
        } else {
            g.setColorAt(0, QColor(0x8FD0FF));
            g.setColorAt(0.5, QColor(0x2E9BEA));
            g.setColorAt(1, QColor(0x48ADF5));
        }
        p.setPen(QColor(enabled ? 0x0B4F8A : 0x6E6D68));
        p.setBrush(g);
        p.drawRoundedRect(r, 2, 2);
        const QPointF c = r.center();
        const qreal s = std::min<qreal>(3.5, r.height() / 3);
        QPainterPath arrow;
        if (i == 0) {
            arrow.moveTo(c.x() - s, c.y() + s / 2);
            arrow.lineTo(c.x() + s, c.y() + s / 2);
            arrow.lineTo(c.x(), c.y() - s / 2 - 1);
        } else {
            arrow.moveTo(c.x() - s, c.y() - s / 2);
            arrow.lineTo(c.x() + s, c.y() - s / 2);
            arrow.lineTo(c.x(), c.y() + s / 2 + 1);
        }
        arrow.closeSubpath();
        p.setPen(Qt::NoPen);
        p.setBrush(enabled ? QColor(Qt::white) : QColor(0x8E8D88));
        p.drawPath(arrow);
    }
}

void TTeUpDown::mousePressEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton)
        return;
    FPressed = event->position().y() < height() / 2 ? 1 : -1;
    Step(FPressed > 0);
    FRepeat.start(400); // the first repeat waits longer
    update();
}

void TTeUpDown::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton)
        return;
    FPressed = 0;
    FRepeat.stop();
    update();
}

void TTeUpDown::changeEvent(QEvent* event) {
    QWidget::changeEvent(event);
    if (event->type() == QEvent::EnabledChange && !isEnabled()) {
        FPressed = 0;
        FRepeat.stop();
    }
}

// ---- TTeScrollBox

TTeScrollBox::TTeScrollBox(QWidget* parent) : QScrollArea(parent), FContent(new QWidget) {
    setFrameShape(QFrame::NoFrame);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    setWidgetResizable(false);
    FContent->setAutoFillBackground(false);
    setWidget(FContent);
    FitContent();
}

void TTeScrollBox::SetContentHeight(int height) {
    FContentHeight = std::max(0, height);
    FitContent();
}

int TTeScrollBox::ScrollPos() const {
    return verticalScrollBar()->value();
}

void TTeScrollBox::SetScrollPos(int position) {
    verticalScrollBar()->setValue(position);
}

bool TTeScrollBox::viewportEvent(QEvent* event) {
    // The viewport narrows when the scroll bar appears: the content follows its width.
    if (event->type() == QEvent::Resize)
        FitContent();
    return QScrollArea::viewportEvent(event);
}

void TTeScrollBox::FitContent() {
    FContent->resize(viewport()->width(), std::max(FContentHeight, viewport()->height()));
}

// ---- TTeSplitter

TTeSplitter::TTeSplitter(QWidget* parent) : QWidget(parent) {
    resize(6, 100);
    setCursor(Qt::SplitHCursor);
}

void TTeSplitter::SetMinSize(int minSize) {
    FMinSize = std::max(0, minSize);
}

QWidget* TTeSplitter::Control() const {
    return FControl ? FControl.data() : FindControl();
}

void TTeSplitter::SetControl(QWidget* control) {
    FControl = control;
}

QWidget* TTeSplitter::FindControl() const {
    QWidget* p = parentWidget();
    if (!p)
        return nullptr;
    for (QObject* o : p->children()) {
        auto* w = qobject_cast<QWidget*>(o);
        if (w && w != this && !w->isHidden() && !w->isWindow() && w->x() + w->width() == x() &&
            w->y() < y() + height() && y() < w->y() + w->height())
            return w;
    }
    return nullptr;
}

void TTeSplitter::ResizeControlTo(int width) {
    QWidget* control = Control();
    QWidget* p = parentWidget();
    if (!control || !p)
        return;
    // Leave at least MinSize to the right of the splitter; the control's own minimum wins.
    const int maxWidth = p->contentsRect().right() + 1 - FMinSize - this->width() - control->x();
    width = std::max(FMinSize, std::min(width, maxWidth));
    if (width == control->width())
        return;
    control->resize(width, control->height());
    if (QLayout* layout = p->layout()) {
        layout->invalidate();
        layout->activate();
    }
    emit Moved();
}

void TTeSplitter::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.fillRect(rect(), palette().color(QPalette::Window));
    // A grip of five dots in the middle, lit when the bar is dragged.
    const QColor dot = FDragging ? QColor(0x7CC8FF) : QColor(0xB9B8B3);
    const QColor shade(0x4E4D49);
    const int cx = width() / 2 - 1;
    for (int i = -2; i <= 2; ++i) {
        const int cy = height() / 2 + i * 5;
        p.fillRect(cx + 1, cy + 1, 2, 2, shade);
        p.fillRect(cx, cy, 2, 2, dot);
    }
}

void TTeSplitter::mousePressEvent(QMouseEvent* event) {
    QWidget* control = Control();
    if (event->button() != Qt::LeftButton || !control)
        return;
    FDragging = true;
    FGrabX = mapToParent(event->position().toPoint()).x();
    FStartWidth = control->width();
    update();
}

void TTeSplitter::mouseMoveEvent(QMouseEvent* event) {
    if (!FDragging)
        return;
    const int x = mapToParent(event->position().toPoint()).x();
    ResizeControlTo(FStartWidth + x - FGrabX);
}

void TTeSplitter::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton || !FDragging)
        return;
    FDragging = false;
    update();
}
