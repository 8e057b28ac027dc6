#pragma once
// The frame editor window: one captured frame at its natural size with the editing tools
// beside it, stepping to the previous and next frame, undo and redo, and the status bar. It is
// modal, made anew for every opening (EditFrame) and destroyed when it closes.
//
// The window lays itself out, opens a frame (ShowFrame), steps, keeps the history and the edit
// script, dispatches Enter, Escape and the image's right-click, slides the watermark panels in
// and out, and on closing asks whether to keep the edits (TFormChanged). The tools
// (editor_tool.h: crop, resize, text and image watermark) live in files of their own; the
// window hands each its own controls and serves them all through TToolContext (the view, the
// layers, the status bar, the backup picture, and EditDone recording a finished edit in the
// script).

#include "editor/bitmap32_history.h"
#include "editor/edit_script.h"
#include "editor/tool_context.h"
#include "graphics/bitmap32.h"

#include <QDialog>
#include <QTimer>

#include <memory>
#include <vector>

class QLabel;
class TBitmapLayer;
class TEditorTool;
class TImage32;
class TKWImgPanel;
class TKWLinePanel;
class TPanelImgWM;
class TPanelTextWM;
class TRubberbandLayer;
class TTeButton;
class TTeItem;
class TTePopupMenu;
class TThumbnails;

class TFormEditORB : public QDialog, public TToolContext {
    Q_OBJECT
public:
    // Smallest size of the window, whatever the frame's size.
    static constexpr int MinWidth = 820;
    static constexpr int MinHeight = 480;

    explicit TFormEditORB(QWidget* owner);
    ~TFormEditORB() override;

    // Opens a new editor on the frame at index of the list and shows it modally; the window is
    // gone when this returns.
    static void EditFrame(QWidget* owner, TThumbnails* list, int index);

    // Prepares the window for the frame at index: buttons, window size, the shown picture, the
    // font list, the first history step, the panels and the frame line. The caller then shows
    // the window modally.
    void ShowFrame(const QImage& picture, int index, TThumbnails* list);

    // --- For the tools (TToolContext) -------------------------------------------------
    // Adds a tool; the window owns it. Tools are asked in the order they were added.
    void AddTool(std::unique_ptr<TEditorTool> tool);
    QWidget* Window() override { return this; }
    TImage32* View() const override { return Image1; }
    const TToolLayers& Layers() const override { return FLayers; }
    void CancelPendingTool() override;
    // Records the edit in the script, then EditDone(picture).
    void EditDone(const TEditAction& action, const TBitmap32& picture) override;
    // A changed picture (recorded or not): the shown picture becomes it and one history step;
    // Undo/Redo and the frame line follow.
    void EditDone(const TBitmap32& picture);
    // Refused, the picture, the history and the script stay as they were.
    void NeedPictureMemory(QSize size) const override;
    // FBackup.
    void SaveBackup() override;
    void RestoreBackup() override;
    const TBitmap32& Backup() const override { return FBackup; }
    TRubberbandLayer* CropBand() const { return FLayers.CropBand; }
    TBitmapLayer* ResizeLayer() const { return FLayers.ResizeLayer; }
    TRubberbandLayer* ResizeBand() const { return FLayers.ResizeBand; }
    TBitmapLayer* WatermarkLayer() const { return FLayers.WatermarkLayer; }
    TRubberbandLayer* WatermarkBand() const { return FLayers.WatermarkBand; }
    const TBitmap32History& History() const { return FHistory; }
    TEditScript& Script() { return FEditScript; }
    const TEditScript& Script() const { return FEditScript; }
    // The rectangle readout of the resize band when it shows, else of the crop band: "X: %d,
    // Y: %d   Size: %d X %d" (the position in frame pixels) or "Size: %d X %d".
    void ShowBandInfo(bool withPosition) override;
    void BandDragged() override;
    TThumbnails* Thumbnails() const { return FThumbnails; }
    int FrameIndex() const { return FFrameIndex; }
    // Slides a watermark panel in over the button column, or out again (PinImagePanel first).
    void SlideInPanel(TKWLinePanel* side) override;
    void SlideOutPanel(TKWLinePanel* side) override;
    void SlideInTextPanel();
    void SlideOutTextPanel();
    void SlideInImgPanel();
    void SlideOutImgPanel();

    // Status bar.
    void ShowFrameInfo();
    void ShowStatusHint(const QString& text) override;
    void ClearStatusBar() override;
    void ClearBandInfo() override;
    void SetBusyCursor(bool on) override;

    // --- Handlers, public so that tests drive them as the controls would --------------
    // Step to the previous or next frame (see StepTo: a changed frame asks the save prompt
    // first).
    void BtnPreviousClick();
    void BtnNextClick();
    void BtnUndoClick();
    void BtnRedoClick();
    void UpdateUndoRedo();
    // Enter and Escape from anywhere in the window; true when the key was consumed (always for
    // these two keys, so that Enter presses no button and Escape does not close the window).
    bool FormShortCut(int key);
    void Image1MouseDown(Qt::MouseButton button);
    void TimerShowPanelTextWMTimer();
    void TimerHidePanelTextWMTimer();
    void TimerShowPanelImgWMTimer();
    void TimerHidePanelImgWMTimer();
    void PinImagePanel();
    void UnpinImagePanel();
    void ResetPanels();
    // Ends whatever tool is under way, then shows the save prompt when the script holds an
    // active action.
    void FormCloseQuery();
    void FormClose();

    // Components, named as the layout names them.
    TKWLinePanel* PanelBtn = nullptr;
    TTeButton* BtnPrevious = nullptr;
    TTeButton* BtnNext = nullptr;
    TTeButton* BtnCrop = nullptr;
    TTeButton* BtnResize = nullptr;
    TTeButton* BtnResize_1 = nullptr;
    TTeButton* BtnAddTextWM = nullptr;
    TTeButton* BtnAddImgWM = nullptr;
    TTeButton* BtnUndo = nullptr;
    TTeButton* BtnRedo = nullptr;
    TKWImgPanel* ImageCrop = nullptr;   // "Crop" drawn pressed, shown in its place while cropping
    TKWImgPanel* ImageResize = nullptr; // "Resize" drawn pressed
    TPanelTextWM* PanelTextWM = nullptr;
    TPanelImgWM* PanelImgWM = nullptr;
    TKWLinePanel* PanelMain = nullptr;
    TImage32* Image1 = nullptr;
    TKWLinePanel* PanelBottom = nullptr;
    QLabel* LabelBottom1 = nullptr; // the frame line
    QLabel* LabelBottom2 = nullptr; // the rectangle readout
    QLabel* LabelBottom3 = nullptr; // the hint text
    TTePopupMenu* PopupMenuCrop = nullptr;
    TTeItem* ItemCrop = nullptr;
    TTeItem* ItemCancel = nullptr;
    TTePopupMenu* PopupMenuResize = nullptr;
    TTeItem* ItemResize = nullptr;
    TTeItem* ItemCancelResize = nullptr;
    TTePopupMenu* PopupMenuImgWM = nullptr;
    TTeItem* ItemMergeWM = nullptr;
    TTeItem* ItemDeleteWM = nullptr;
    TTePopupMenu* PopupMenuResize_1 = nullptr; // " 25%" .. "200%"
    QTimer TimerShowPanelTextWM;
    QTimer TimerHidePanelTextWM;
    QTimer TimerShowPanelImgWM;
    QTimer TimerHidePanelImgWM;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    void CreateComponents();
    void CreatePopupMenus();
    void FormCreate();
    void UpdateStepButtons();
    // Settles the frame on display (the save prompt when it was changed; its close box
    // cancels the step), then shows the stored picture of the frame at index with a new
    // history and edit script.
    void StepTo(int index);
    void SlideIn(TKWLinePanel* side, QTimer& timer, QWidget* okButton);
    void SlideOut(TKWLinePanel* side, QTimer& timer);

    int FSavedMainWidth = 0;
    TToolLayers FLayers;
    TBitmap32 FBackup;
    TBitmap32History FHistory;
    TEditScript FEditScript;
    TThumbnails* FThumbnails = nullptr;
    int FFrameIndex = 0;
    std::vector<std::unique_ptr<TEditorTool>> FTools;
    bool FBusyCursor = false;
};
