#include "editor/text_wm_tool.h"

#include "common/kw_guard.h"
#include "controls/kw_img_btn.h"
#include "editor/form_edit_orb.h"
#include "editor/watermark_panels.h"
#include "graphics/image32.h"
#include "skin/te_controls.h"
#include "skin/te_trackbar.h"

#include <QLabel>

TTextWMTool::TTextWMTool(TFormEditORB& form) : FForm(form), FPanel(form.PanelTextWM) {
    auto on = [&form](auto* sender, auto signal, auto handler) {
        QObject::connect(sender, signal, &form, kw::Guard(handler));
    };
    on(form.BtnAddTextWM, &QPushButton::clicked, [this] { BtnAddTextWMClick(); });
    on(FPanel->EditText, &QLineEdit::textChanged, [this] { EditTextChange(); });
    on(FPanel->ComboBoxFonts, &QComboBox::currentIndexChanged, [this] { EditTextChange(); });
    on(FPanel->ComboBoxFontSize, &QComboBox::currentIndexChanged, [this] { EditTextChange(); });
    on(FPanel->ColorBox, &TColorBox::ColorChanged, [this] { EditTextChange(); });
    on(FPanel->TrackBarTrans, &TTeTrackBar::OnChange, [this] { EditTextChange(); });
    for (TTeCheckBox* box : {FPanel->CheckBoxBold, FPanel->CheckBoxItalic,
                             FPanel->CheckBoxUnderline, FPanel->CheckBoxStrikeOut})
        on(box, &QCheckBox::clicked, [this] { CheckBoxBoldClick(); });
    for (TKWImgBtn* anchor : FPanel->Anchors)
        on(anchor, &TKWImgBtn::OnClick, [this] { CheckBoxBoldClick(); });
    on(FPanel->CheckBoxTile, &QCheckBox::clicked, [this] { CheckBoxTileClick(); });
    on(FPanel->BtnTextWMOK, &QPushButton::clicked, [this] { BtnTextWMOKClick(); });
    on(FPanel->BtnTextWMCancel, &QPushButton::clicked, [this] { BtnTextWMCancelClick(); });
}

void TTextWMTool::BtnAddTextWMClick() {
    FForm.CancelPendingTool();
    FForm.SaveBackup();
    FUnderWay = true;
    FForm.SlideInTextPanel();
    DrawTextWatermark();
}

void TTextWMTool::EditTextChange() {
    FPanel->LabelTrans->setText(QString::number(FPanel->TrackBarTrans->Position()));
    DrawTextWatermark();
}

void TTextWMTool::CheckBoxBoldClick() {
    DrawTextWatermark();
}

void TTextWMTool::CheckBoxTileClick() {
    if (FPanel->CheckBoxTile->isChecked())
        for (TKWImgBtn* anchor : FPanel->Anchors)
            anchor->SetDown(false);
    DrawTextWatermark();
}

// Settings change only while the panel is in; the panel keeps them afterwards, but the
// picture is no longer a preview then and is left alone.
void TTextWMTool::DrawTextWatermark() {
    if (!FUnderWay)
        return;
    FForm.NeedPictureMemory(FForm.Backup().BoundsRect().size());
    TBusyCursor busy(FForm);
    FForm.Image1->SetBitmap(FPanel->Settings().Apply(FForm.Backup()));
}

// The picture already shows the watermark: it is recorded as it is, not drawn again.
void TTextWMTool::BtnTextWMOKClick() {
    if (!FUnderWay)
        return;
    FUnderWay = false;
    FForm.Script().RecordTextWatermark(FPanel->Settings());
    FForm.EditDone(FForm.Image1->Bitmap());
    FForm.SlideOutTextPanel();
}

void TTextWMTool::BtnTextWMCancelClick() {
    if (!FUnderWay)
        return;
    FUnderWay = false;
    FForm.RestoreBackup();
    FForm.SlideOutTextPanel();
}

void TTextWMTool::Cancel() {
    BtnTextWMCancelClick();
}
