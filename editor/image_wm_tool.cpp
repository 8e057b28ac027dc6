#include "editor/image_wm_tool.h"

#include "codecs/picture_reader.h"
#include "common/kw_dialogs.h"
#include "common/kw_guard.h"
#include "editor/form_edit_orb.h"
#include "editor/watermark_panels.h"
#include "graphics/image32.h"
#include "graphics/layers.h"
#include "graphics/rubberband_layer.h"
#include "skin/te_controls.h"
#include "skin/te_trackbar.h"

#include <QLabel>

TImageWMTool::TImageWMTool(TFormEditORB& form) : FForm(form), FPanel(form.PanelImgWM) {
    auto on = [&form](auto* sender, auto signal, auto handler) {
        QObject::connect(sender, signal, &form, kw::Guard(handler));
    };
    on(form.BtnAddImgWM, &QPushButton::clicked, [this] { BtnAddImgWMClick(); });
    on(FPanel->BtnOpenImgFile, &QPushButton::clicked, [this] { BtnOpenImgFileClick(); });
    on(FPanel->TrackBarImgWmTrans, &TTeTrackBar::OnChange, [this] { TrackBarImgWmTransChange(); });
    on(form.ItemMergeWM, &QAction::triggered, [this] { ItemMergeWMClick(); });
    on(form.ItemDeleteWM, &QAction::triggered, [this] { ItemDeleteWMClick(); });
    on(FPanel->BtnImgWMOK, &QPushButton::clicked, [this] { BtnImgWMOKClick(); });
    on(FPanel->BtnImgWMCancel, &QPushButton::clicked, [this] { BtnImgWMCancelClick(); });
}

void TImageWMTool::BtnAddImgWMClick() {
    FForm.CancelPendingTool();
    FUnderWay = true;
    FForm.SlideInImgPanel();
}

// A file that cannot be read leaves the field on the picture that is still on screen (empty
// when none is), so that a later merge records the file it really merges; the reading error
// goes on to the error box.
void TImageWMTool::BtnOpenImgFileClick() {
    kw::TFileDialogRequest request;
    request.Owner = &FForm;
    request.Filter = PictureFileFilter();
    const QString path = kw::Desktop().OpenFileName(request);
    if (path.isEmpty())
        return;
    FPanel->EditImgFile->setText(path);
    QImage picture;
    try {
        picture = ReadPicture(path);
    } catch (...) {
        FPanel->EditImgFile->setText(FShownPath);
        throw;
    }
    // Opaque, any transparency of the file already flattened by the reader.
    ShowImageWatermark(picture.convertToFormat(QImage::Format_RGB888));
    FShownPath = path;
}

void TImageWMTool::TrackBarImgWmTransChange() {
    const int alpha = FPanel->TrackBarImgWmTrans->Position();
    FPanel->LabelImgWmTrans->setText(QString::number(alpha));
    FForm.WatermarkLayer()->SetMasterAlpha(alpha);
}

void TImageWMTool::ShowImageWatermark(const QImage& picture) {
    FForm.NeedPictureMemory(picture.size());
    TBitmapLayer* layer = FForm.WatermarkLayer();
    layer->SetBitmap(TBitmap32::FromFrame(picture));
    layer->SetMasterAlpha(FPanel->TrackBarImgWmTrans->Position());
    layer->SetVisible(true);
    TRubberbandLayer* band = FForm.WatermarkBand();
    const QPoint at((FForm.Image1->width() - picture.width()) / 2,
                    (FForm.Image1->height() - picture.height()) / 2);
    band->SetLocation(FloatRect(QRect(at, picture.size())));
    band->SetMouseEvents(true);
    band->SetVisible(true);
    FForm.Image1->update();
}

TImageWMAction TImageWMTool::LayerAction() const {
    const TFloatRect& r = FForm.WatermarkLayer()->Location();
    const QPoint off = FForm.Image1->Offset();
    return TImageWMAction{Nearest(r.Left) - off.x(),
                          Nearest(r.Top) - off.y(),
                          Nearest(r.Width()),
                          Nearest(r.Height()),
                          FForm.WatermarkLayer()->MasterAlpha(),
                          FPanel->EditImgFile->text()};
}

// The merge stamps the watermark with the same operation the replay uses on every frame, so
// the frames get exactly what this picture gets. The layer on screen blends a hair
// differently (rounded rather than truncated), at most one level per channel.
void TImageWMTool::MergeImageWatermark() {
    TBitmapLayer* layer = FForm.WatermarkLayer();
    if (!layer->Visible() || !FForm.WatermarkBand()->Visible())
        return;
    const TImageWMAction action = LayerAction();
    // The watermark at the size it was dragged to, and the merged picture.
    FForm.NeedPictureMemory(QSize(action.Width, action.Height));
    FForm.NeedPictureMemory(FForm.Image1->Bitmap().BoundsRect().size());
    FForm.WatermarkBand()->SetVisible(false);
    FForm.Image1->update();
    const QImage watermark = action.Scale(layer->Bitmap().Image());
    const TBitmap32 merged = action.Apply(FForm.Image1->Bitmap(), watermark);
    RemoveImageWatermark();
    FForm.Script().RecordImageWatermark(action);
    FForm.EditDone(merged);
    FForm.ClearBandInfo();
}

void TImageWMTool::RemoveImageWatermark() {
    TBitmapLayer* layer = FForm.WatermarkLayer();
    layer->SetBitmap(TBitmap32());
    layer->SetVisible(false);
    FForm.WatermarkBand()->SetMouseEvents(false);
    FForm.WatermarkBand()->SetVisible(false);
    FShownPath.clear();
    FForm.ClearBandInfo();
}

void TImageWMTool::BtnImgWMOKClick() {
    if (!FUnderWay)
        return;
    // A merge the memory budget refuses leaves the panel in, the watermark where it is.
    MergeImageWatermark();
    FUnderWay = false;
    FForm.SlideOutImgPanel();
}

void TImageWMTool::BtnImgWMCancelClick() {
    if (!FUnderWay)
        return;
    FUnderWay = false;
    RemoveImageWatermark();
    FForm.SlideOutImgPanel();
}

void TImageWMTool::Cancel() {
    BtnImgWMCancelClick();
}
