#include "editor/text_wm_tool.h"

#include "common/kw_guard.h"
#include "controls/kw_img_btn.h"
#include "editor/tool_context.h"
#include "editor/watermark_panels.h"
#include "graphics/image32.h"
#include "skin/te_controls.h"
#include "skin/te_trackbar.h"

#include <QLabel>

TTextWMTool::TTextWMTool(TToolContext& context, QAbstractButton* button, TPanelTextWM* panel)
    : FContext(context), FPanel(panel) {
    auto on = [window = context.Window()](auto* sender, auto signal, auto handler) {
        QObject::connect(sender, signal, window, kw::Guard(handler));
    };
    on(button, &QPushButton::clicked, [this] { BtnAddTextWMClick(); });
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
    FContext.CancelPendingTool();
    FContext.SaveBackup();
    FUnderWay = true;
    FContext.SlideInPanel(FPanel);
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
    FContext.NeedPictureMemory(FContext.Backup().BoundsRect().size());
    TBusyCursor busy(FContext);
    FContext.View()->SetBitmap(FPanel->Settings().Apply(FContext.Backup()));
}

// The picture already shows the watermark: it is recorded as it is, not drawn again.
void TTextWMTool::BtnTextWMOKClick() {
    if (!FUnderWay)
        return;
    FUnderWay = false;
    FContext.EditDone(FPanel->Settings(), FContext.View()->Bitmap());
    FContext.SlideOutPanel(FPanel);
}

void TTextWMTool::BtnTextWMCancelClick() {
    if (!FUnderWay)
        return;
    FUnderWay = false;
    FContext.RestoreBackup();
    FContext.SlideOutPanel(FPanel);
}

void TTextWMTool::Cancel() {
    BtnTextWMCancelClick();
}
