#include "graphics/image32.h"

#include "graphics/layers.h"
#include "graphics/picture_memory.h"

#include <QContextMenuEvent>
#include <QMenu>
#include <QMouseEvent>
#include <QPaintEvent>
#include <QPainter>

#include <cstring>

TImage32::TImage32(QWidget* parent) : QWidget(parent) {
    setAttribute(Qt::WA_OpaquePaintEvent);
    setMouseTracking(true);
}

TImage32::~TImage32() {
    const QList<TCustomLayer*> layers = FLayers;
    FLayers.clear();
    for (TCustomLayer* layer : layers) {
        layer->FView = nullptr;
        delete layer;
    }
}

void TImage32::SetBitmap(const TBitmap32& bitmap) {
    FBitmap = bitmap;
    Changed();
}

void TImage32::Changed() {
    update();
}

QPoint TImage32::OffsetFor(int width, int height) const {
    // C++ division truncates toward zero, as the offsets of a larger picture need.
    return QPoint((this->width() - width) / 2, (this->height() - height) / 2);
}

void TImage32::SetColor(const QColor& color) {
    FColor = color;
    update();
}

void TImage32::AddLayer(TCustomLayer* layer) {
    FLayers.append(layer);
}

void TImage32::RemoveLayer(TCustomLayer* layer) {
    if (FMouseLayer == layer)
        FMouseLayer = nullptr;
    // Called from the layer's destructor, where its own paint region is no longer known.
    if (FLayers.removeOne(layer) && layer->Visible())
        update();
}

void TImage32::Compose(const QRect& rect) {
    const QRect r = rect.intersected(FBuffer.rect());
    if (r.isEmpty())
        return;
    const QRgb background = FColor.rgb() | 0xFF000000u;
    const QPoint off = Offset();
    const QRect picture = PictureRect().intersected(r);
    for (int y = r.top(); y <= r.bottom(); ++y) {
        QRgb* line = reinterpret_cast<QRgb*>(FBuffer.scanLine(y));
        if (picture.isEmpty() || y < picture.top() || y > picture.bottom()) {
            std::fill(line + r.left(), line + r.right() + 1, background);
            continue;
        }
        std::fill(line + r.left(), line + picture.left(), background);
        std::fill(line + picture.right() + 1, line + r.right() + 1, background);
        // The picture is drawn opaque: its alpha bytes do not show.
        const QRgb* src = FBitmap.ScanLine(y - off.y()) + (picture.left() - off.x());
        QRgb* dst = line + picture.left();
        for (int i = 0, n = picture.width(); i < n; ++i)
            dst[i] = src[i] | 0xFF000000u;
    }
    for (TCustomLayer* layer : FLayers)
        if (layer->Visible() && layer->PaintRegion().intersects(r))
            layer->Paint(FBuffer, r);
}

bool TImage32::PrepareBuffer() {
    if (FBuffer.size() != size())
        FBuffer = graphics::NewPicture(size(), QImage::Format_RGB32);
    return !FBuffer.isNull();
}

QImage TImage32::Render() {
    if (!PrepareBuffer())
        return QImage();
    Compose(rect());
    return FBuffer.copy();
}

void TImage32::paintEvent(QPaintEvent* event) {
    if (!PrepareBuffer())
        return;
    QPainter painter(this);
    for (const QRect& r : event->region()) {
        Compose(r);
        painter.drawImage(r.topLeft(), FBuffer, r);
    }
}

void TImage32::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    FBuffer = QImage();
}

TCustomLayer* TImage32::LayerAt(QPointF pos) const {
    for (auto it = FLayers.crbegin(); it != FLayers.crend(); ++it)
        if ((*it)->Visible() && (*it)->MouseEvents() && (*it)->HitTest(pos))
            return *it;
    return nullptr;
}

void TImage32::mousePressEvent(QMouseEvent* event) {
    const QPointF pos = event->position();
    emit MouseDown(event->button(), event->modifiers(), pos.toPoint());
    if (event->button() == Qt::LeftButton) {
        FMouseLayer = LayerAt(pos);
        if (FMouseLayer)
            FMouseLayer->MouseDown(pos, event->modifiers());
    }
    event->accept();
}

void TImage32::mouseMoveEvent(QMouseEvent* event) {
    const QPointF pos = event->position();
    if (FMouseLayer) {
        FMouseLayer->MouseMove(pos, event->modifiers());
    } else {
        TCustomLayer* layer = LayerAt(pos);
        if (layer)
            setCursor(layer->CursorAt(pos));
        else
            unsetCursor();
    }
    event->accept();
}

void TImage32::mouseReleaseEvent(QMouseEvent* event) {
    if (FMouseLayer && event->button() == Qt::LeftButton) {
        TCustomLayer* layer = FMouseLayer;
        FMouseLayer = nullptr;
        layer->MouseUp(event->position(), event->modifiers());
    }
    event->accept();
}

void TImage32::contextMenuEvent(QContextMenuEvent* event) {
    if (FPopupMenu)
        FPopupMenu->popup(event->globalPos());
    event->accept();
}
