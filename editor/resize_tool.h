#pragma once
// Resize: "Resize" puts the picture on a layer inside a band that the user drags to the new
// size, the layer stretching the picture live; Enter or the band's menu makes it so. The "%"
// button's menu resizes by a fixed percentage at once. While the band shows, the shown
// picture is empty and FBackup holds it, so every way out that abandons the resize brings the
// picture back from there.

#include "editor/edit_actions.h"
#include "editor/editor_tool.h"

#include <QString>

class QAction;
class QMenu;
class TKWImgPanel;
class TToolContext;
class TTeButton;

// The resize's own controls: "Resize", its held-down picture, the band menu's two items, and
// the "%" button with its menu of percentages.
struct TResizeControls {
    TTeButton* Button = nullptr;
    TKWImgPanel* Pressed = nullptr;
    QAction* ItemResize = nullptr;
    QAction* ItemCancel = nullptr;
    TTeButton* PercentButton = nullptr;
    QMenu* PercentMenu = nullptr;
};

class TResizeTool : public TEditorTool {
public:
    TResizeTool(TToolContext& context, const TResizeControls& controls);

    bool UnderWay() const override;
    void KeyEnter() override { ExecuteResize(); }
    void KeyEscape() override { AbandonResize(); }
    void Cancel() override;

    void BtnResizeClick();
    void ImageResizeClick();
    void BtnResize_1Click();
    // A percentage item of the "%" menu, by its caption (" 25%" .. "200%").
    void PPMenuResize_1Click(const QString& caption);
    void StartResize();
    void ExecuteResize();
    void CancelResize();
    void ShowResizeButton(bool visible);

    // The percentage a caption stands for: its text without "%" and spaces as a number, 100
    // when it is none; -1 when nothing is left.
    static int Percentage(const QString& caption);

private:
    // CancelResize, then the picture as it was before "Resize".
    void AbandonResize();

    TToolContext& FContext;
    TResizeControls FControls;
};
