#pragma once
// The edit script: every finished edit of the frame editor, kept as its value while the editor
// is open, so that the edits can be repeated on every frame when it closes. Each entry is
// active while its effect is in the picture and inactive once it is undone. The inactive
// entries always form the tail: recording drops them first, so an undone edit can no longer be
// redone once a new one is made.
//
// The script is never written to a file; Xml() makes its text when asked: the declaration, the
// root "Action" and one "Crop", "Resize", "TextWM" or "ImgWM" element per entry in recording
// order, each carrying "Active" ("yes" or "no") and then its values in their fixed order.

#include "editor/edit_actions.h"

#include <QString>

#include <vector>

class TEditScript {
public:
    // Empty: no entry.
    void Create() { FEntries.clear(); }

    // Each drops the inactive entries, then appends its edit, active.
    void Record(TEditAction action);
    void RecordCrop(const TCropAction& action) { Record(action); }
    void RecordResize(const TResizeAction& action) { Record(action); }
    void RecordTextWatermark(const TTextWMAction& action) { Record(action); }
    void RecordImageWatermark(const TImageWMAction& action) { Record(action); }

    // Undo: the last active entry becomes inactive. Redo: the first inactive entry that is
    // the first one or follows an active one becomes active again. Nothing changes when there
    // is no such entry.
    void DeactivateLastAction();
    void ReactivateNextAction();
    int CountActiveActions() const;

    // The active edits in recording order.
    std::vector<TEditAction> ActiveActions() const;

    QString Xml() const;

private:
    struct TEntry {
        TEditAction Action;
        bool Active = true;
    };

    std::vector<TEntry> FEntries;
};
