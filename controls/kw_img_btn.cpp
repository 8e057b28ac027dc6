#include "controls/kw_img_btn.h"

#include <QEnterEvent>
#include <QMouseEvent>
#include <QPainter>

TKWImgBtn::TKWImgBtn(QWidget* parent) : QWidget(parent) {
    setGeometry(0, 0, 80, 25);
    setFocusPolicy(Qt::TabFocus);
}

void TKWImgBtn::SetPic(const QImage& strip) {
    FPic = strip.copy();
    update();
}

void TKWImgBtn::SetPicDisable(const QImage& picture) {
    FPicDisable = picture.copy();
    update();
}

void TKWImgBtn::SetPicNormal(const QImage& picture) {
    FPicNormal = picture.copy();
    update();
}

void TKWImgBtn::SetPicMouseOver(const QImage& picture) {
    FPicMouseOver = picture.copy();
    update();
}

void TKWImgBtn::SetPicMouseDown(const QImage& picture) {
    FPicMouseDown = picture.copy();
    update();
}

void TKWImgBtn::SetHoldDown(bool holdDown) {
    FHoldDown = holdDown;
    if (!holdDown && FLatched) {
        FLatched = false;
        FDown = FLeftPressed;
        update();
    }
}

void TKWImgBtn::SetDown(bool down) {
    if (!FHoldDown)
        return;
    FLatched = down;
    FDown = down;
    update();
}

void TKWImgBtn::paintEvent(QPaintEvent*) {
    enum { Disabled, Normal, Over, Pressed };
    const int state = !isEnabled() ? Disabled : FDown ? Pressed : FMouseIn ? Over : Normal;
    QPainter p(this);
    if (!FPic.isNull()) {
        p.drawImage(QPoint(0, 0), FPic, QRect(0, state * height(), width(), height()));
        return;
    }
    const QImage* single[] = {&FPicDisable, &FPicNormal, &FPicMouseOver, &FPicMouseDown};
    if (!single[state]->isNull())
        p.drawImage(QPoint(0, 0), *single[state]);
}

void TKWImgBtn::enterEvent(QEnterEvent* event) {
    QWidget::enterEvent(event);
    if (!isEnabled())
        return;
    emit OnMouseEnter();
    FMouseIn = true;
    update();
}

void TKWImgBtn::leaveEvent(QEvent* event) {
    QWidget::leaveEvent(event);
    if (!isEnabled())
        return;
    emit OnMouseLeave();
    FMouseIn = false;
    update();
}

void TKWImgBtn::mousePressEvent(QMouseEvent* event) {
    // Accepting the press makes Qt send the release here wherever the pointer goes.
    event->accept();
    if (!isEnabled())
        return;
    if (event->button() == Qt::LeftButton) {
        if (FHoldDown)
            FLatched = !FLatched;
        FDown = true;
        FLeftPressed = true;
        update();
    }
    emit OnMouseDown(event->button(), event->modifiers(), event->position().toPoint());
}

void TKWImgBtn::mouseDoubleClickEvent(QMouseEvent* event) {
    // The second press of a quick double click is an ordinary press: a toggle toggles back.
    mousePressEvent(event);
}

void TKWImgBtn::mouseReleaseEvent(QMouseEvent* event) {
    event->accept();
    if (!isEnabled())
        return;
    if (event->button() == Qt::LeftButton && FLeftPressed) {
        FLeftPressed = false;
        if (!FLatched)
            FDown = false;
        update();
        emit OnClick();
    }
    emit OnMouseUp(event->button(), event->modifiers(), event->position().toPoint());
}

void TKWImgBtn::focusInEvent(QFocusEvent* event) {
    QWidget::focusInEvent(event);
    update();
}

void TKWImgBtn::focusOutEvent(QFocusEvent* event) {
    QWidget::focusOutEvent(event);
    update();
}

void TKWImgBtn::changeEvent(QEvent* event) {
    QWidget::changeEvent(event);
    if (event->type() != QEvent::EnabledChange)
        return;
    if (!isEnabled()) {
        // A press cut off by disabling never gets its release: a plain button must not stay
        // drawn pressed, and the pointer state is taken up again when it is enabled.
        if (FLeftPressed && !FLatched)
            FDown = false;
        FLeftPressed = false;
        FMouseIn = false;
    } else {
        FMouseIn = underMouse();
    }
    update();
}
