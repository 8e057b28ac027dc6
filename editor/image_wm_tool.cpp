#include "editor/image_wm_tool.h"

#include "codecs/picture_reader.h"
#include "common/kw_dialogs.h"
#include "common/kw_guard.h"
#include "editor/tool_context.h"
#include "editor/watermark_panels.h"
#include "graphics/image32.h"
#include "graphics/layers.h"
#include "graphics/rubberband_layer.h"
#include "skin/te_controls.h"
#include "skin/te_trackbar.h"

#include <QLabel>

TImageWMTool::TImageWMTool(TToolContext& context, const TImageWMControls& controls)
    : FContext(context), FPanel(controls.Panel) {
    auto on = [window = context.Window()](auto* sender, auto signal, auto handler) {
        QObject::connect(sender, signal, window, kw::Guard(handler));
    };
    on(controls.Button, &QPushButton::clicked, [this] { BtnAddImgWMClick(); });
    on(FPanel->BtnOpenImgFile, &QPushButton::clicked, [this] { BtnOpenImgFileClick(); });
    on(FPanel->TrackBarImgWmTrans, &TTeTrackBar::OnChange, [this] { TrackBarImgWmTransChange(); });
    on(controls.ItemMerge, &QAction::triggered, [this] { ItemMergeWMClick(); });
    on(controls.ItemDelete, &QAction::triggered, [this] { ItemDeleteWMClick(); });
    on(FPanel->BtnImgWMOK, &QPushButton::clicked, [this] { BtnImgWMOKClick(); });
    on(FPanel->BtnImgWMCancel, &QPushButton::clicked, [this] { BtnImgWMCancelClick(); });
}

void TImageWMTool::BtnAddImgWMClick() {
    FContext.CancelPendingTool();
    FUnderWay = true;
    FContext.SlideInPanel(FPanel);
}

// A file that cannot be read leaves the field on the picture that is still on screen (empty
// when none is), so that a later merge records the file it really merges; the reading error
// goes on to the error box.
void TImageWMTool::BtnOpenImgFileClick() {
    kw::TFileDialogRequest request;
    request.Owner = FContext.Window();
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
    FContext.Layers().WatermarkLayer->SetMasterAlpha(alpha);
}

void TImageWMTool::ShowImageWatermark(const QImage& picture) {
    FContext.NeedPictureMemory(picture.size());
    TBitmapLayer* layer = FContext.Layers().WatermarkLayer;
    layer->SetBitmap(TBitmap32::FromFrame(picture));
    layer->SetMasterAlpha(FPanel->TrackBarImgWmTrans->Position());
    layer->SetVisible(true);
    TRubberbandLayer* band = FContext.Layers().WatermarkBand;
    const QPoint at((FContext.View()->width() - picture.width()) / 2,
                    (FContext.View()->height() - picture.height()) / 2);
    band->SetLocation(FloatRect(QRect(at, picture.size())));
    band->SetMouseEvents(true);
    band->SetVisible(true);
    FContext.View()->update();
}

TImageWMAction TImageWMTool::LayerAction() const {
    const TFloatRect& r = FContext.Layers().WatermarkLayer->Location();
    const QPoint off = FContext.View()->Offset();
    return TImageWMAction{Nearest(r.Left) - off.x(),
                          Nearest(r.Top) - off.y(),
                          Nearest(r.Width()),
                          Nearest(r.Height()),
                          FContext.Layers().WatermarkLayer->MasterAlpha(),
                          FPanel->EditImgFile->text()};
}

// The merge stamps the watermark with the same operation the replay uses on every frame, so
// the frames get exactly what this picture gets. The layer on screen blends a hair
// differently (rounded rather than truncated), at most one level per channel.
void TImageWMTool::MergeImageWatermark() {
    TBitmapLayer* layer = FContext.Layers().WatermarkLayer;
    if (!layer->Visible() || !FContext.Layers().WatermarkBand->Visible())
        return;
    const TImageWMAction action = LayerAction();
    // The watermark at the size it was dragged to, and the merged picture.
    FContext.NeedPictureMemory(QSize(action.Width, action.Height));
    FContext.NeedPictureMemory(FContext.View()->Bitmap().BoundsRect().size());
    FContext.Layers().WatermarkBand->SetVisible(false);
    FContext.View()->update();
    const QImage watermark = action.Scale(layer->Bitmap().Image());
    const TBitmap32 merged = action.Apply(FContext.View()->Bitmap(), watermark);
    RemoveImageWatermark();
    FContext.EditDone(action, merged);
    FContext.ClearBandInfo();
}

void TImageWMTool::RemoveImageWatermark() {
    TBitmapLayer* layer = FContext.Layers().WatermarkLayer;
    layer->SetBitmap(TBitmap32());
    layer->SetVisible(false);
    FContext.Layers().WatermarkBand->SetMouseEvents(false);
    FContext.Layers().WatermarkBand->SetVisible(false);
    FShownPath.clear();
    FContext.ClearBandInfo();
}

void TImageWMTool::BtnImgWMOKClick() {
    if (!FUnderWay)
        return;
    // A merge the memory budget refuses leaves the panel in, the watermark where it is.
    MergeImageWatermark();
    FUnderWay = false;
    FContext.SlideOutPanel(FPanel);
}

void TImageWMTool::BtnImgWMCancelClick() {
    if (!FUnderWay)
        return;
    FUnderWay = false;
    RemoveImageWatermark();
    FContext.SlideOutPanel(FPanel);
}

void TImageWMTool::Cancel() {
    BtnImgWMCancelClick();
}
