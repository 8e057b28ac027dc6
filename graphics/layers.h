#pragma once
// Layers of the image view (TImage32): drawn over the picture in the order they were created,
// the later above the earlier. Each has a visible flag and a flag that lets it take mouse
// presses. TPositionedLayer holds a rectangle in view coordinates; TBitmapLayer draws a 32-bit
// picture stretched into it (nearest neighbour), opaque or blended at a master opacity.
//
// A layer belongs to the view it was created on: `new TBitmapLayer(view)` adds it on top, and
// the view deletes its layers when it goes. A layer repaints only the area it changes.

#include "graphics/bitmap32.h"
#include "graphics/float_rect.h"

#include <QImage>
#include <QPointF>
#include <QRegion>

class TImage32;

class TCustomLayer {
public:
    explicit TCustomLayer(TImage32* view);
    virtual ~TCustomLayer();
    TCustomLayer(const TCustomLayer&) = delete;
    TCustomLayer& operator=(const TCustomLayer&) = delete;

    TImage32* View() const { return FView; }
    bool Visible() const { return FVisible; }
    void SetVisible(bool visible);
    // Whether the layer takes mouse presses that hit it.
    bool MouseEvents() const { return FMouseEvents; }
    void SetMouseEvents(bool on) { FMouseEvents = on; }

    // The view pixels the layer draws on; a hidden layer draws nothing.
    virtual QRegion PaintRegion() const = 0;
    // Draws the layer's part inside clip onto the view's buffer (32-bit).
    virtual void Paint(QImage& buffer, const QRect& clip) = 0;

    // Mouse, in view coordinates. A press goes to the topmost visible layer with mouse events
    // whose HitTest is true; that layer then gets every move until the release.
    virtual bool HitTest(QPointF) const { return false; }
    virtual void MouseDown(QPointF, Qt::KeyboardModifiers) {}
    virtual void MouseMove(QPointF, Qt::KeyboardModifiers) {}
    virtual void MouseUp(QPointF, Qt::KeyboardModifiers) {}
    // The pointer's shape over the point while no button is held.
    virtual Qt::CursorShape CursorAt(QPointF) const { return Qt::ArrowCursor; }

protected:
    // Repaints a part of the view, when the layer is shown.
    void Invalidate(const QRegion& region) const;

private:
    friend class TImage32;
    TImage32* FView;
    bool FVisible = true;
    bool FMouseEvents = true;
};

class TPositionedLayer : public TCustomLayer {
public:
    using TCustomLayer::TCustomLayer;

    const TFloatRect& Location() const { return FLocation; }
    // Moves the layer, repainting where it was and where it is now.
    virtual void SetLocation(const TFloatRect& location);

    QRegion PaintRegion() const override { return QRegion(FLocation.Pixels()); }

protected:
    TFloatRect FLocation;
};

enum class TDrawMode { Opaque, Blend };

class TBitmapLayer : public TPositionedLayer {
public:
    explicit TBitmapLayer(TImage32* view);

    const TBitmap32& Bitmap() const { return FBitmap; }
    // The layer's picture becomes a copy of the given one; repaints.
    void SetBitmap(const TBitmap32& bitmap);
    TDrawMode DrawMode() const { return FDrawMode; }
    void SetDrawMode(TDrawMode mode);
    // 0..255, multiplied into every pixel's opacity when blended.
    int MasterAlpha() const { return FMasterAlpha; }
    void SetMasterAlpha(int alpha);

    void Paint(QImage& buffer, const QRect& clip) override;

private:
    TBitmap32 FBitmap;
    TDrawMode FDrawMode = TDrawMode::Opaque;
    int FMasterAlpha = 255;
};
