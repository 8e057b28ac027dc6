#pragma once
// The two side panels of the frame editor that slide in over the button column: the text
// watermark panel and the image watermark panel, 200 pixels wide when shown. The window
// slides them in and out; what they do is their tools' business.
//
// The text panel holds the font list the window fills when it opens (the first "Tahoma"
// selected, or nothing), the image panel nothing yet but its buttons; the other controls of
// the panels come with their tools.

#include "controls/kw_line_panel.h"

class QComboBox;
class QLabel;
class TTeButton;

class TPanelTextWM : public TKWLinePanel {
    Q_OBJECT
public:
    explicit TPanelTextWM(QWidget* parent);

    // Fills ComboBoxFonts with the families and selects the first one named exactly "Tahoma";
    // with none, nothing is selected.
    void FillFonts(const QStringList& families);

    QLabel* LabelFontName = nullptr;
    QComboBox* ComboBoxFonts = nullptr;
    TTeButton* BtnTextWMOK = nullptr;
    TTeButton* BtnTextWMCancel = nullptr;
};

class TPanelImgWM : public TKWLinePanel {
    Q_OBJECT
public:
    explicit TPanelImgWM(QWidget* parent);

    TTeButton* BtnImgWMOK = nullptr;
    TTeButton* BtnImgWMCancel = nullptr;
};
