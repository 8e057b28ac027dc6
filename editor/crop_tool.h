#pragma once
// Crop: "Crop" shows a band over half the picture, centred; the user drags it, and Enter or
// the band's menu keeps what lies inside it. The button looks held down while the band shows;
// clicking it then, Escape or the menu's "Cancel" end the crop without an edit.

#include "editor/edit_actions.h"
#include "editor/editor_tool.h"

class QAction;
class TKWImgPanel;
class TToolContext;
class TTeButton;

// The crop's own controls: "Crop", its held-down picture, and the band menu's two items.
struct TCropControls {
    TTeButton* Button = nullptr;
    TKWImgPanel* Pressed = nullptr;
    QAction* ItemCrop = nullptr;
    QAction* ItemCancel = nullptr;
};

class TCropTool : public TEditorTool {
public:
    TCropTool(TToolContext& context, const TCropControls& controls);

    bool UnderWay() const override;
    void KeyEnter() override { ExecuteCrop(); }
    void KeyEscape() override { CancelCrop(); }
    void Cancel() override { CancelCrop(); }

    void BtnCropClick();
    void ImageCropClick();
    void StartCrop();
    void ExecuteCrop();
    void CancelCrop();
    void ShowCropButton(bool visible);
    // The crop the band describes now, in frame pixels.
    TCropAction BandAction() const;

private:
    TToolContext& FContext;
    TCropControls FControls;
};
