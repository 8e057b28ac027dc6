#include "controls/kw_line_panel.h"

#include <QMouseEvent>
#include <QPainter>

#include <algorithm>

TKWLinePanel::TKWLinePanel(QWidget* parent) : QWidget(parent) {
    FColor = palette().color(QPalette::Window);
    setAttribute(Qt::WA_OpaquePaintEvent);
    setContentsMargins(0, 0, 0, 0);
}

void TKWLinePanel::SetBorderColor1(const QColor& color) {
    FBorderColor1 = color;
    update();
}

void TKWLinePanel::SetBorderColor2(const QColor& color) {
    FBorderColor2 = color;
    update();
}

void TKWLinePanel::SetBorderColor3(const QColor& color) {
    FBorderColor3 = color;
    update();
}

void TKWLinePanel::SetBorderWidth(int width) {
    width = std::max(0, width);
    if (width == FBorderWidth)
        return;
    FBorderWidth = width;
    setContentsMargins(width, width, width, width);
    if (FDock)
        FDock->Relayout();
    update();
}

void TKWLinePanel::SetColor(const QColor& color) {
    FColor = color;
    update();
}

void TKWLinePanel::SetCaption(const QString& caption) {
    FCaption = caption;
    update();
}

TDockLayout* TKWLinePanel::Dock() {
    if (!FDock) {
        FDock = TDockLayout::Of(this);
        if (!FDock)
            FDock = new TDockLayout(this);
    }
    return FDock;
}

void TKWLinePanel::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.fillRect(rect(), FColor);
    if (!FCaption.trimmed().isEmpty()) {
        p.setPen(palette().color(QPalette::WindowText));
        p.setFont(font());
        p.drawText(contentsRect(), Qt::AlignCenter | Qt::TextSingleLine, FCaption);
    }
    const QColor colors[] = {FBorderColor1, FBorderColor2, FBorderColor3};
    QRect r = rect();
    for (int line = 0; line < 3 && line < FBorderWidth && r.isValid(); ++line) {
        p.setPen(colors[line]);
        p.drawRect(r.adjusted(0, 0, -1, -1)); // the outline of r, one pixel wide
        r.adjust(1, 1, -1, -1);
    }
}

void TKWLinePanel::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    emit Resized();
}

void TKWLinePanel::mousePressEvent(QMouseEvent* event) {
    // Accepted, so that the release comes back here and can make the click.
    if (event->button() == Qt::LeftButton)
        FLeftPressed = true;
    event->accept();
}

void TKWLinePanel::mouseReleaseEvent(QMouseEvent* event) {
    const bool click = event->button() == Qt::LeftButton && FLeftPressed &&
                       rect().contains(event->position().toPoint());
    if (event->button() == Qt::LeftButton)
        FLeftPressed = false;
    QWidget::mouseReleaseEvent(event);
    if (click)
        emit Clicked();
}
