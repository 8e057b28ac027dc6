#include "editor/crop_tool.h"

#include "common/kw_guard.h"
#include "controls/kw_img_panel.h"
#include "editor/band_rules.h"
#include "editor/form_edit_orb.h"
#include "graphics/image32.h"
#include "graphics/rubberband_layer.h"
#include "skin/te_controls.h"

TCropTool::TCropTool(TFormEditORB& form) : FForm(form) {
    QObject::connect(form.BtnCrop, &QPushButton::clicked, &form,
                     kw::Guard([this] { BtnCropClick(); }));
    QObject::connect(form.ImageCrop, &TKWImgPanel::Clicked, &form,
                     kw::Guard([this] { ImageCropClick(); }));
    QObject::connect(form.ItemCrop, &QAction::triggered, &form,
                     kw::Guard([this] { ExecuteCrop(); }));
    QObject::connect(form.ItemCancel, &QAction::triggered, &form,
                     kw::Guard([this] { CancelCrop(); }));
    TRubberbandLayer* band = form.CropBand();
    // The crop band stays on the picture.
    band->OnResizing = [this](const TFloatRect& start, TFloatRect& proposed, TDragState state,
                              Qt::KeyboardModifiers keys) {
        const QRect picture = FForm.Image1->PictureRect();
        BandResizing(start, proposed, state, keys, &picture);
    };
    band->OnDragged = [this] { FForm.BandDragged(); };
}

bool TCropTool::UnderWay() const {
    return FForm.CropBand()->Visible();
}

void TCropTool::ShowCropButton(bool visible) {
    FForm.BtnCrop->setVisible(visible);
    FForm.ImageCrop->setVisible(!visible);
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
    TRubberbandLayer* band = FForm.CropBand();
    if (band->Visible())
        return;
    FForm.CancelPendingTool();
    const TBitmap32& picture = FForm.Image1->Bitmap();
    const QPoint off = FForm.Image1->Offset();
    const int hw = picture.Width() / 2, hh = picture.Height() / 2;
    const int left = off.x() + (picture.Width() - hw) / 2;
    const int top = off.y() + (picture.Height() - hh) / 2;
    band->SetLocation(FloatRect(QRect(left, top, hw, hh)));
    band->SetMouseEvents(true);
    band->SetVisible(true);
    ShowCropButton(false);
    FForm.ShowBandInfo(true);
    FForm.ShowStatusHint(QStringLiteral("Right click on image to execute crop or cancel"));
}

TCropAction TCropTool::BandAction() const {
    const TFloatRect& r = FForm.CropBand()->Location();
    const QPoint off = FForm.Image1->Offset();
    return TCropAction{Nearest(r.Left) - off.x(), Nearest(r.Top) - off.y(), Nearest(r.Width()),
                       Nearest(r.Height())};
}

void TCropTool::ExecuteCrop() {
    if (!UnderWay())
        return;
    const TCropAction action = BandAction();
    FForm.NeedPictureMemory(QSize(action.Width, action.Height));
    CancelCrop();
    const TBitmap32 cropped = action.Apply(FForm.Image1->Bitmap());
    FForm.Script().RecordCrop(action);
    FForm.EditDone(cropped);
    FForm.ClearBandInfo();
}

void TCropTool::CancelCrop() {
    TRubberbandLayer* band = FForm.CropBand();
    if (!band->Visible())
        return;
    band->SetMouseEvents(false);
    band->SetVisible(false);
    FForm.Image1->update();
    ShowCropButton(true);
    FForm.ClearStatusBar();
    FForm.ClearBandInfo();
}
