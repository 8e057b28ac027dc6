#pragma once
// One tool of the frame editor (crop, resize, text watermark, image watermark), each in a
// file of its own. The window owns its tools (TFormEditORB::AddTool, in the order crop,
// resize, text watermark, image watermark) and reaches them only through this interface:
// Enter and Escape go to the tools under way, in that order, and starting another tool,
// stepping to another frame, Undo and Redo first cancel whatever is under way.
//
// A tool changes the shown picture through one edit value object whose operation takes a
// picture and gives the edited picture, the same object the edit script records and replays
// on every frame; when the edit is finished the tool hands the result to
// TToolContext::EditDone (tool_context.h), which also records it in the edit script.

class TEditorTool {
public:
    virtual ~TEditorTool() = default;

    // True while the tool is under way: its band, layer or side panel is shown.
    virtual bool UnderWay() const = 0;
    // Enter while under way: carry the edit out. The watermark tools leave it alone.
    virtual void KeyEnter() {}
    // Escape while under way: abandon the edit, the picture as it was before the tool started.
    virtual void KeyEscape() {}
    // Another tool starts or the shown frame changes: end without an edit, the picture as it
    // was before the tool started. Does nothing when the tool is not under way.
    virtual void Cancel() = 0;
};
