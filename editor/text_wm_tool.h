#pragma once
// The text watermark: "Add Text Watermark" keeps a copy of the picture (FBackup), slides the
// text panel in and previews the watermark on the picture, redrawn from the copy on every
// change of a setting. "OK" records what the picture shows; "Cancel" brings the copy back.

#include "editor/edit_actions.h"
#include "editor/editor_tool.h"

class QAbstractButton;
class TPanelTextWM;
class TToolContext;

class TTextWMTool : public TEditorTool {
public:
    // button: "Add Text Watermark"; panel: the side panel with the settings, "OK" and "Cancel".
    TTextWMTool(TToolContext& context, QAbstractButton* button, TPanelTextWM* panel);

    // While the panel is in, from "Add Text Watermark" to its "OK" or "Cancel".
    bool UnderWay() const override { return FUnderWay; }
    // Closing the editor with the panel in: the preview is dropped, as by "Cancel".
    void Cancel() override;

    void BtnAddTextWMClick();
    void EditTextChange();
    void CheckBoxBoldClick();
    void CheckBoxTileClick();
    void BtnTextWMOKClick();
    void BtnTextWMCancelClick();
    // The preview: the picture as it was when the panel opened, with the watermark the
    // panel's settings describe.
    void DrawTextWatermark();

private:
    TToolContext& FContext;
    TPanelTextWM* FPanel;
    bool FUnderWay = false;
};
