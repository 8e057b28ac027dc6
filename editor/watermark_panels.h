#pragma once
// The two side panels of the frame editor that slide in over the button column, 200 pixels
// wide when shown: the text watermark panel and the image watermark panel. The window slides
// them in and out; the watermark tools connect their controls.
//
// The text panel's settings are read from its controls whenever they are used (Settings());
// nothing is kept elsewhere, and they stay as the user left them while the editor is open.

#include "controls/kw_line_panel.h"
#include "editor/edit_actions.h"

#include <QComboBox>
#include <QRgb>

#include <array>

class QLabel;
class TKWImgBtn;
class TTeButton;
class TTeCheckBox;
class TTeEdit;
class TTeTrackBar;

// The colour list: the sixteen standard named colours, then "Other ..." which opens the
// desktop's colour chooser and keeps the colour chosen there as its own.
class TColorBox : public QComboBox {
    Q_OBJECT
public:
    explicit TColorBox(QWidget* parent);

    // The colour of the entry shown, as 0xRRGGBB.
    QRgb Selected() const;
    // Shows the named entry of that colour, or "Other ..." holding it.
    void SetSelected(QRgb rgb);
    int OtherIndex() const { return count() - 1; }

    // The user picked an entry (the activated signal): "Other ..." asks for a colour and, when
    // the chooser is cancelled, goes back to the entry shown before.
    void ItemChosen(int index);

signals:
    void ColorChanged();

private:
    void SetOther(QRgb rgb);
    int FLastIndex = -1;
};

class TPanelTextWM : public TKWLinePanel {
    Q_OBJECT
public:
    explicit TPanelTextWM(QWidget* parent);

    // Fills ComboBoxFonts with the families and selects the first one named exactly "Tahoma";
    // with none, nothing is selected.
    void FillFonts(const QStringList& families);

    // The text watermark the controls describe: the font name empty when none is selected,
    // the size 16 when the size's text is not a number, the colour with the opacity on top.
    TTextWMAction Settings() const;

    TTeEdit* EditText = nullptr;
    QComboBox* ComboBoxFonts = nullptr;
    TTeCheckBox* CheckBoxBold = nullptr;
    TTeCheckBox* CheckBoxItalic = nullptr;
    TTeCheckBox* CheckBoxUnderline = nullptr;
    TTeCheckBox* CheckBoxStrikeOut = nullptr;
    QComboBox* ComboBoxFontSize = nullptr; // 8 .. 25, 30 .. 60 by 5, 70 .. 100 by 10
    TColorBox* ColorBox = nullptr;
    TTeTrackBar* TrackBarTrans = nullptr; // the opacity, 0 .. 255
    QLabel* LabelTrans = nullptr;
    // BtnTL, BtnTM, BtnTR, BtnML, BtnMM, BtnMR, BtnBL, BtnBM, BtnBR: toggles, indexed by TAnchor.
    std::array<TKWImgBtn*, AnchorCount> Anchors{};
    TTeCheckBox* CheckBoxTile = nullptr;
    TTeButton* BtnTextWMOK = nullptr;
    TTeButton* BtnTextWMCancel = nullptr;
};

class TPanelImgWM : public TKWLinePanel {
    Q_OBJECT
public:
    explicit TPanelImgWM(QWidget* parent);

    TTeEdit* EditImgFile = nullptr; // set only by the "..." button
    TTeButton* BtnOpenImgFile = nullptr;
    TTeTrackBar* TrackBarImgWmTrans = nullptr; // the watermark's opacity, 0 .. 255
    QLabel* LabelImgWmTrans = nullptr;
    TTeButton* BtnImgWMOK = nullptr;
    TTeButton* BtnImgWMCancel = nullptr;
};
