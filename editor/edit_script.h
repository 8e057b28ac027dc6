#pragma once
// The edit script: every finished edit of the frame editor as one element of an XML document
// held in memory while the editor is open, so that the edits can be repeated on every frame
// when it closes. The root is "Action"; each edit appends a "Crop", "Resize", "TextWM" or
// "ImgWM" element carrying "Active" ("yes" while its effect is in the picture, "no" once it is
// undone) and its values. The inactive elements always form the tail: recording drops them
// first, so an undone edit can no longer be redone once a new one is made.
//
// The document is never written to a file; Xml() gives its text (declaration, root, elements
// in recording order, each element's attributes in their fixed order) for reading and tests.

#include "editor/edit_actions.h"

#include <QDomDocument>
#include <QString>

#include <vector>

class TEditScript {
public:
    TEditScript() { Create(); }

    // A new document with the declaration and an empty root.
    void Create();

    // Each drops the inactive elements, then appends its element, active.
    void RecordCrop(const TCropAction& action);
    void RecordResize(const TResizeAction& action);
    void RecordTextWatermark(const TTextWMAction& action);
    void RecordImageWatermark(const TImageWMAction& action);

    // Undo: the last active element becomes inactive. Redo: the first inactive element that
    // is the first one or follows an active one becomes active again. Nothing changes when
    // there is no such element.
    void DeactivateLastAction();
    void ReactivateNextAction();
    int CountActiveActions() const;

    // The active elements in document order as values; elements of other names are skipped.
    std::vector<TEditAction> ActiveActions() const;

    const QDomDocument& Document() const { return FDocument; }
    QString Xml() const;

private:
    QDomElement NewElement(const QString& name);
    void Append(const QDomElement& element);

    QDomDocument FDocument;
};
