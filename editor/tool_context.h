#pragma once
// What the frame editor's tools may use of the window (editor_tool.h): the view that shows the
// picture, the layers over it, the status bar's hint and band readout, the backup copy of the
// picture, the memory check, cancelling the tool under way, the side panels' sliding and the
// finished edit. The window implements it; a tool's own buttons, menu items and side panel are
// handed to the tool when it is made, so a tool sees nothing else of the window.

#include "editor/edit_actions.h"

#include <QSize>
#include <QString>

class QWidget;
class TBitmap32;
class TBitmapLayer;
class TImage32;
class TKWLinePanel;
class TRubberbandLayer;

// The layers over the view, in their stacking order; all hidden until a tool shows them.
struct TToolLayers {
    TRubberbandLayer* CropBand = nullptr;
    TBitmapLayer* ResizeLayer = nullptr;
    TRubberbandLayer* ResizeBand = nullptr; // holds ResizeLayer
    TBitmapLayer* WatermarkLayer = nullptr;
    TRubberbandLayer* WatermarkBand = nullptr; // holds WatermarkLayer
};

class TToolContext {
public:
    // The window: the owner of message boxes and dialogs and the context of connections.
    virtual QWidget* Window() = 0;
    // The view: the picture shown (Bitmap, SetBitmap), where it stands (Offset, PictureRect).
    virtual TImage32* View() const = 0;
    virtual const TToolLayers& Layers() const = 0;

    // The hint text of the status bar, and its clearing.
    virtual void ShowStatusHint(const QString& text) = 0;
    virtual void ClearStatusBar() = 0;
    // The rectangle readout of the crop or resize band shown, and its clearing; BandDragged
    // after every drag step of either band.
    virtual void ShowBandInfo(bool withPosition) = 0;
    virtual void ClearBandInfo() = 0;
    virtual void BandDragged() = 0;
    virtual void SetBusyCursor(bool on) = 0;

    // A copy of the shown picture, and the shown picture as the copy again.
    virtual void SaveBackup() = 0;
    virtual void RestoreBackup() = 0;
    virtual const TBitmap32& Backup() const = 0;
    // Asks the memory budget for an edit's result of that size (the picture and a working
    // copy) before the edit makes it; throws kw::EMemoryRefused naming the size.
    virtual void NeedPictureMemory(QSize size) const = 0;
    // Ends whatever tool is under way (every tool's Cancel).
    virtual void CancelPendingTool() = 0;
    // Slides a tool's side panel in over the button column, or out again.
    virtual void SlideInPanel(TKWLinePanel* side) = 0;
    virtual void SlideOutPanel(TKWLinePanel* side) = 0;

    // A finished edit: recorded in the edit script, then the shown picture becomes the result
    // and one history step.
    virtual void EditDone(const TEditAction& action, const TBitmap32& picture) = 0;

protected:
    ~TToolContext() = default;
};

// The hourglass for as long as the scope lasts.
class TBusyCursor {
public:
    explicit TBusyCursor(TToolContext& context) : FContext(context) {
        FContext.SetBusyCursor(true);
    }
    ~TBusyCursor() { FContext.SetBusyCursor(false); }
    TBusyCursor(const TBusyCursor&) = delete;
    TBusyCursor& operator=(const TBusyCursor&) = delete;

private:
    TToolContext& FContext;
};
