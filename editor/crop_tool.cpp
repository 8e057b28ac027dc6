#include "editor/crop_tool.h"

#include "common/kw_guard.h"
#include "controls/kw_img_panel.h"
#include "editor/band_rules.h"
#include "editor/tool_context.h"
#include "graphics/image32.h"
#include "graphics/rubberband_layer.h"
#include "skin/te_controls.h"

TCropTool::TCropTool(TToolContext& context, const TCropControls& controls)
    : FContext(context), FControls(controls) {
    QWidget* window = context.Window();
    QObject::connect(controls.Button, &QPushButton::clicked, window,
                     kw::Guard([this] { BtnCropClick(); }));
    QObject::connect(controls.Pressed, &TKWImgPanel::Clicked, window,
                     kw::Guard([this] { ImageCropClick(); }));
    QObject::connect(controls.ItemCrop, &QAction::triggered, window,
                     kw::Guard([this] { ExecuteCrop(); }));
    QObject::connect(controls.ItemCancel, &QAction::triggered, window,
                     kw::Guard([this] { CancelCrop(); }));
    TRubberbandLayer* band = context.Layers().CropBand;
    // The crop band stays on the picture.
    band->OnResizing = [this](const TFloatRect& start, TFloatRect& proposed, TDragState state,
                              Qt::KeyboardModifiers keys) {
        const QRect picture = FContext.View()->PictureRect();
        BandResizing(start, proposed, state, keys, &picture);
    };
    band->OnDragged = [this] { FContext.BandDragged(); };
}

bool TCropTool::UnderWay() const {
    return FContext.Layers().CropBand->Visible();
}

void TCropTool::ShowCropButton(bool visible) {
    FControls.Button->setVisible(visible);
    FControls.Pressed->setVisible(!visible);
}

void TCropTool::BtnCropClick() {
    ShowCropButton(false);
    StartCrop();
}

void TCropTool::ImageCropClick() {
    ShowCropButton(true);
    CancelCrop();
}

// Half the picture's size in the middle of the picture, which is itself centred in the view.
// Placing it from the picture's offset rather than from the view's size keeps it on the
// picture's middle pixel for pixel also when an odd-sized view is narrower than the picture.
void TCropTool::StartCrop() {
    TRubberbandLayer* band = FContext.Layers().CropBand;
    if (band->Visible())
        return;
    FContext.CancelPendingTool();
    const TBitmap32& picture = FContext.View()->Bitmap();
    const QPoint off = FContext.View()->Offset();
    const int hw = picture.Width() / 2, hh = picture.Height() / 2;
    const int left = off.x() + (picture.Width() - hw) / 2;
    const int top = off.y() + (picture.Height() - hh) / 2;
    band->SetLocation(FloatRect(QRect(left, top, hw, hh)));
    band->SetMouseEvents(true);
    band->SetVisible(true);
    ShowCropButton(false);
    FContext.ShowBandInfo(true);
    FContext.ShowStatusHint(QStringLiteral("Right click on image to execute crop or cancel"));
}

TCropAction TCropTool::BandAction() const {
    const TFloatRect& r = FContext.Layers().CropBand->Location();
    const QPoint off = FContext.View()->Offset();
    return TCropAction{Nearest(r.Left) - off.x(), Nearest(r.Top) - off.y(), Nearest(r.Width()),
                       Nearest(r.Height())};
}

void TCropTool::ExecuteCrop() {
    if (!UnderWay())
        return;
    const TCropAction action = BandAction();
    FContext.NeedPictureMemory(QSize(action.Width, action.Height));
    CancelCrop();
    const TBitmap32 cropped = action.Apply(FContext.View()->Bitmap());
    FContext.EditDone(action, cropped);
    FContext.ClearBandInfo();
}

void TCropTool::CancelCrop() {
    TRubberbandLayer* band = FContext.Layers().CropBand;
    if (!band->Visible())
        return;
    band->SetMouseEvents(false);
    band->SetVisible(false);
    FContext.View()->update();
    ShowCropButton(true);
    FContext.ClearStatusBar();
    FContext.ClearBandInfo();
}
