#include "graphics/layers.h"

#include "graphics/image32.h"
#include "graphics/stretch.h"

#include <algorithm>

TCustomLayer::TCustomLayer(TImage32* view) : FView(view) {
    FView->AddLayer(this);
}

TCustomLayer::~TCustomLayer() {
    if (FView)
        FView->RemoveLayer(this);
}

void TCustomLayer::SetVisible(bool visible) {
    if (visible == FVisible)
        return;
    if (!visible)
        Invalidate(PaintRegion());
    FVisible = visible;
    if (visible)
        Invalidate(PaintRegion());
}

void TCustomLayer::Invalidate(const QRegion& region) const {
    if (FVisible && FView && !region.isEmpty())
        FView->update(region);
}

void TPositionedLayer::SetLocation(const TFloatRect& location) {
    if (location == FLocation)
        return;
    const QRegion before = PaintRegion();
    FLocation = location;
    Invalidate(before | PaintRegion());
}

TBitmapLayer::TBitmapLayer(TImage32* view) : TPositionedLayer(view) {}

void TBitmapLayer::SetBitmap(const TBitmap32& bitmap) {
    FBitmap = bitmap;
    Invalidate(PaintRegion());
}

void TBitmapLayer::SetDrawMode(TDrawMode mode) {
    if (mode == FDrawMode)
        return;
    FDrawMode = mode;
    Invalidate(PaintRegion());
}

void TBitmapLayer::SetMasterAlpha(int alpha) {
    alpha = std::clamp(alpha, 0, 255);
    if (alpha == FMasterAlpha)
        return;
    FMasterAlpha = alpha;
    if (FDrawMode == TDrawMode::Blend)
        Invalidate(PaintRegion());
}

void TBitmapLayer::Paint(QImage& buffer, const QRect& clip) {
    if (FBitmap.Empty())
        return;
    const QRect target = FLocation.Pixels();
    if (FDrawMode == TDrawMode::Opaque)
        graphics::StretchNearestInto(FBitmap.Image(), buffer, target, clip);
    else
        graphics::StretchNearestBlend(FBitmap.Image(), buffer, target, FMasterAlpha, clip);
}
