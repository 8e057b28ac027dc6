#pragma once
// TImage32: the image view. It shows its 32-bit picture unscaled and centred on its background
// colour (#84817C), never scrolled: the picture's offset is ((view width - picture width) div 2,
// (view height - picture height) div 2), negative when the picture is larger and its edges are
// cut off. Layers (layers.h) are drawn over it in creation order; their rectangles are in view
// coordinates, and a point in picture coordinates is the view point minus the offset.
//
// Painting composes only the invalidated parts into a buffer of the view's size (background,
// picture, layers) and copies those parts to the screen, so that a band dragged over a large
// picture repaints a few strips, not the whole view.

#include "graphics/bitmap32.h"

#include <QColor>
#include <QImage>
#include <QList>
#include <QMenu>
#include <QPointer>
#include <QWidget>

class TCustomLayer;

class TImage32 : public QWidget {
    Q_OBJECT
public:
    explicit TImage32(QWidget* parent = nullptr);
    ~TImage32() override; // deletes the layers

    // The shown picture. After writing into it through Bitmap(), call Changed().
    const TBitmap32& Bitmap() const { return FBitmap; }
    TBitmap32& Bitmap() { return FBitmap; }
    void SetBitmap(const TBitmap32& bitmap); // a copy; repaints
    void Changed();                          // repaints after the picture was written

    // The picture's offset in the view, and the offset a picture of the given size would have.
    QPoint Offset() const { return OffsetFor(FBitmap.Width(), FBitmap.Height()); }
    QPoint OffsetFor(int width, int height) const;
    // The picture's area in view coordinates.
    QRect PictureRect() const { return QRect(Offset(), QSize(FBitmap.Width(), FBitmap.Height())); }

    QColor Color() const { return FColor; }
    void SetColor(const QColor& color);

    // The layers from bottom to top.
    const QList<TCustomLayer*>& Layers() const { return FLayers; }

    // The menu a right press opens at the pointer, after MouseDown has been reported (a
    // MouseDown handler may choose it); none opens while it is null.
    QMenu* PopupMenu() const { return FPopupMenu; }
    void SetPopupMenu(QMenu* menu) { FPopupMenu = menu; }

    // Composes the view into an image, as it is painted (for tests and screenshots).
    QImage Render();

signals:
    // Every mouse press on the view, with its button, the keys held and the view position.
    void MouseDown(Qt::MouseButton button, Qt::KeyboardModifiers keys, QPoint pos);

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;

private:
    friend class TCustomLayer;
    void AddLayer(TCustomLayer* layer);
    void RemoveLayer(TCustomLayer* layer);
    // The buffer at the view's size; false when its memory is not there.
    bool PrepareBuffer();
    void Compose(const QRect& rect);
    TCustomLayer* LayerAt(QPointF pos) const;

    TBitmap32 FBitmap;
    QColor FColor{0x84, 0x81, 0x7C};
    QList<TCustomLayer*> FLayers;
    QImage FBuffer;                      // Format_RGB32, the view's size
    TCustomLayer* FMouseLayer = nullptr; // the layer that took the press, until the release
    QPointer<QMenu> FPopupMenu;
};
