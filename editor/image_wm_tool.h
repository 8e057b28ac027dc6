#pragma once
// The image watermark: "Add Image Watermark" slides the image panel in; "..." reads a picture
// and shows it as a semi-transparent layer in a band, centred at its natural size, which the
// user moves and resizes freely, past the frame too. "Merge" (or "OK") stamps it into the
// picture where it stands and records it; "Delete" (or "Cancel") takes it away unmerged.

#include "editor/edit_actions.h"
#include "editor/editor_tool.h"

#include <QImage>
#include <QString>

class QAbstractButton;
class QAction;
class TPanelImgWM;
class TToolContext;

// The image watermark's own controls: "Add Image Watermark", its side panel, and the layer
// menu's two items.
struct TImageWMControls {
    QAbstractButton* Button = nullptr;
    TPanelImgWM* Panel = nullptr;
    QAction* ItemMerge = nullptr;
    QAction* ItemDelete = nullptr;
};

class TImageWMTool : public TEditorTool {
public:
    TImageWMTool(TToolContext& context, const TImageWMControls& controls);

    // While the panel is in, from "Add Image Watermark" to its "OK" or "Cancel".
    bool UnderWay() const override { return FUnderWay; }
    // Closing the editor with the panel in: a layer not merged is dropped, as by "Cancel".
    void Cancel() override;

    void BtnAddImgWMClick();
    void BtnOpenImgFileClick();
    void TrackBarImgWmTransChange();
    void ItemMergeWMClick() { MergeImageWatermark(); }
    void ItemDeleteWMClick() { RemoveImageWatermark(); }
    void BtnImgWMOKClick();
    void BtnImgWMCancelClick();

    // The picture (opaque) on the layer, centred in the view at its natural size.
    void ShowImageWatermark(const QImage& picture);
    void MergeImageWatermark();
    void RemoveImageWatermark();
    // The watermark the layer describes now, in frame pixels.
    TImageWMAction LayerAction() const;

private:
    TToolContext& FContext;
    TPanelImgWM* FPanel;
    bool FUnderWay = false;
    QString FShownPath; // the file of the picture on the layer; empty when none is shown
};
