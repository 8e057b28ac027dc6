#include "controls/kw_img_panel.h"

#include <QMouseEvent>
#include <QPainter>

#include <algorithm>

QImage KWTransparentCopy(const QImage& picture) {
    if (picture.isNull())
        return picture;
    QImage out = picture.convertToFormat(QImage::Format_ARGB32);
    const QRgb key = out.pixel(0, out.height() - 1) & RGB_MASK;
    for (int y = 0; y < out.height(); ++y) {
        auto* line = reinterpret_cast<QRgb*>(out.scanLine(y));
        for (int x = 0; x < out.width(); ++x)
            if ((line[x] & RGB_MASK) == key)
                line[x] = 0;
    }
    return out.convertToFormat(QImage::Format_ARGB32_Premultiplied);
}

TKWCustomPanel::TKWCustomPanel(QWidget* parent) : QWidget(parent) {
    FColor = palette().color(QPalette::Window);
    setContentsMargins(0, 0, 0, 0);
}

void TKWCustomPanel::SetPicture(const QImage& picture) {
    FPicture = picture.copy();
    PictureChanged();
    ApplyAutoSize();
    update();
}

void TKWCustomPanel::SetDrawStyle(TKWDrawStyle style) {
    FDrawStyle = style;
    update();
}

void TKWCustomPanel::SetTransparent(bool transparent) {
    FTransparent = transparent;
    PictureChanged();
    update();
}

void TKWCustomPanel::SetAutoSize(bool autoSize) {
    FAutoSize = autoSize;
    ApplyAutoSize();
}

void TKWCustomPanel::SetColor(const QColor& color) {
    FColor = color;
    update();
}

void TKWCustomPanel::SetCaption(const QString& caption) {
    FCaption = caption;
    update();
}

void TKWCustomPanel::SetAlignment(Qt::Alignment alignment) {
    FAlignment = alignment & Qt::AlignHorizontal_Mask;
    update();
}

void TKWCustomPanel::SetBorderWidth(int width) {
    width = std::max(0, width);
    setContentsMargins(width, width, width, width);
    if (FDock)
        FDock->Relayout();
}

TAlign TKWCustomPanel::Align() const {
    if (TDockLayout* dock = TDockLayout::Of(parentWidget()))
        if (dock->indexOf(const_cast<TKWCustomPanel*>(this)) >= 0)
            return dock->AlignOf(this);
    return FAlign;
}

void TKWCustomPanel::SetAlign(TAlign align, QMargins margins) {
    FAlign = align;
    if (TDockLayout* dock = TDockLayout::Of(parentWidget()))
        dock->SetAlign(this, align, margins);
}

TDockLayout* TKWCustomPanel::Dock() {
    if (!FDock) {
        FDock = TDockLayout::Of(this);
        if (!FDock)
            FDock = new TDockLayout(this);
    }
    return FDock;
}

void TKWCustomPanel::PictureChanged() {
    FDrawn = FTransparent ? KWTransparentCopy(FPicture) : FPicture;
}

void TKWCustomPanel::ApplyAutoSize() {
    if (!FAutoSize || FPicture.isNull())
        return;
    const TAlign align = Align();
    const bool keepWidth =
        align == TAlign::Top || align == TAlign::Bottom || align == TAlign::Client;
    const bool keepHeight =
        align == TAlign::Left || align == TAlign::Right || align == TAlign::Client;
    resize(keepWidth ? width() : FPicture.width(), keepHeight ? height() : FPicture.height());
}

void TKWCustomPanel::paintEvent(QPaintEvent*) {
    // Qt paints the parent below a widget that does not fill itself, which is what makes the
    // transparent panel see-through; an opaque panel starts from its colour.
    QPainter p(this);
    if (!FTransparent)
        p.fillRect(rect(), FColor);
    if (!FDrawn.isNull()) {
        switch (FDrawStyle) {
        case TKWDrawStyle::suiNormal:
            p.drawImage(QPoint(0, 0), FDrawn);
            break;
        case TKWDrawStyle::suiStretch:
            p.drawImage(rect(), FDrawn);
            break;
        case TKWDrawStyle::suiTile:
            // A picture of zero width or height cannot cover anything: nothing is drawn
            // (a null QImage has both zero, so this test covers it).
            if (FDrawn.width() > 0 && FDrawn.height() > 0)
                for (int y = 0; y < height(); y += FDrawn.height())
                    for (int x = 0; x < width(); x += FDrawn.width())
                        p.drawImage(QPoint(x, y), FDrawn);
            break;
        }
    }
    if (!FCaption.trimmed().isEmpty()) {
        p.setPen(palette().color(QPalette::WindowText));
        p.setFont(font());
        p.drawText(rect(), int(FAlignment | Qt::AlignVCenter | Qt::TextSingleLine), FCaption);
    }
}

void TKWCustomPanel::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    update();
    emit Resized();
}

void TKWCustomPanel::mousePressEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton)
        FLeftPressed = true;
    event->accept();
}

void TKWCustomPanel::mouseReleaseEvent(QMouseEvent* event) {
    const bool click = event->button() == Qt::LeftButton && FLeftPressed &&
                       rect().contains(event->position().toPoint());
    if (event->button() == Qt::LeftButton)
        FLeftPressed = false;
    event->accept();
    if (click)
        emit Clicked();
}
