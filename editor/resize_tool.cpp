#include "editor/resize_tool.h"

#include "common/kw_dialogs.h"
#include "common/kw_guard.h"
#include "controls/kw_img_panel.h"
#include "editor/band_rules.h"
#include "editor/form_edit_orb.h"
#include "graphics/image32.h"
#include "graphics/layers.h"
#include "graphics/rubberband_layer.h"
#include "skin/te_controls.h"

TResizeTool::TResizeTool(TFormEditORB& form) : FForm(form) {
    QObject::connect(form.BtnResize, &QPushButton::clicked, &form,
                     kw::Guard([this] { BtnResizeClick(); }));
    QObject::connect(form.ImageResize, &TKWImgPanel::Clicked, &form,
                     kw::Guard([this] { ImageResizeClick(); }));
    QObject::connect(form.BtnResize_1, &QPushButton::clicked, &form,
                     kw::Guard([this] { BtnResize_1Click(); }));
    QObject::connect(form.ItemResize, &QAction::triggered, &form,
                     kw::Guard([this] { ExecuteResize(); }));
    QObject::connect(form.ItemCancelResize, &QAction::triggered, &form,
                     kw::Guard([this] { AbandonResize(); }));
    for (QAction* item : form.PopupMenuResize_1->actions())
        QObject::connect(item, &QAction::triggered, &form,
                         kw::Guard([this, item] { PPMenuResize_1Click(item->text()); }));
    // The resize band may grow past the picture: no edge to keep it on.
    form.ResizeBand()->OnResizing = [](const TFloatRect& start, TFloatRect& proposed,
                                       TDragState state, Qt::KeyboardModifiers keys) {
        BandResizing(start, proposed, state, keys, nullptr);
    };
    form.ResizeBand()->OnDragged = [this] { FForm.BandDragged(); };
}

bool TResizeTool::UnderWay() const {
    return FForm.ResizeLayer()->Visible() || FForm.ResizeBand()->Visible();
}

void TResizeTool::Cancel() {
    if (UnderWay())
        AbandonResize();
}

void TResizeTool::AbandonResize() {
    if (!UnderWay())
        return;
    CancelResize();
    FForm.RestoreBackup();
}

void TResizeTool::ShowResizeButton(bool visible) {
    FForm.BtnResize->setVisible(visible);
    FForm.ImageResize->setVisible(!visible);
}

void TResizeTool::BtnResizeClick() {
    ShowResizeButton(false);
    StartResize();
}

void TResizeTool::ImageResizeClick() {
    ShowResizeButton(true);
    AbandonResize();
}

// The picture moves onto the layer, which first covers it exactly; the shown picture is
// emptied so that only the layer shows it while the band is dragged.
void TResizeTool::StartResize() {
    if (FForm.ResizeLayer()->Visible() && FForm.ResizeBand()->Visible())
        return;
    FForm.CancelPendingTool();
    const int w = FForm.Image1->Bitmap().Width(), h = FForm.Image1->Bitmap().Height();
    FForm.SaveBackup();
    FForm.ResizeLayer()->SetBitmap(FForm.Backup());
    FForm.Image1->SetBitmap(TBitmap32());
    const QPoint off = FForm.Image1->OffsetFor(w, h);
    FForm.ResizeLayer()->SetVisible(true);
    FForm.ResizeBand()->SetLocation(FloatRect(QRect(off, QSize(w, h))));
    FForm.ResizeBand()->SetMouseEvents(true);
    FForm.ResizeBand()->SetVisible(true);
    ShowResizeButton(false);
    FForm.Image1->update();
    FForm.ShowStatusHint(QStringLiteral("Right click on image to execute resize or cancel"));
    FForm.ShowBandInfo(false);
}

void TResizeTool::ExecuteResize() {
    if (!UnderWay())
        return;
    const TFloatRect& r = FForm.ResizeBand()->Location();
    const TResizeAction action{Nearest(r.Width()), Nearest(r.Height())};
    // Refused, the band stays over the picture it was started on.
    FForm.NeedPictureMemory(QSize(action.Width, action.Height));
    CancelResize();
    const TBitmap32 resized = action.Apply(FForm.Backup());
    FForm.Script().RecordResize(action);
    FForm.EditDone(resized);
    FForm.ClearBandInfo();
}

void TResizeTool::CancelResize() {
    if (!UnderWay())
        return;
    FForm.ResizeLayer()->SetVisible(false);
    FForm.ResizeLayer()->SetBitmap(TBitmap32());
    FForm.ResizeBand()->SetMouseEvents(false);
    FForm.ResizeBand()->SetVisible(false);
    FForm.Image1->update();
    ShowResizeButton(true);
    FForm.ClearStatusBar();
    FForm.ClearBandInfo();
}

// The menu opens beside the button, 5 pixels right of its right edge and 5 below its top.
void TResizeTool::BtnResize_1Click() {
    FForm.CancelPendingTool();
    QWidget* button = FForm.BtnResize_1;
    FForm.PopupMenuResize_1->popup(button->mapToGlobal(QPoint(button->width() + 5, 5)));
}

int TResizeTool::Percentage(const QString& caption) {
    QString text = caption;
    text.remove(QLatin1Char('%')).remove(QLatin1Char(' '));
    if (text.isEmpty())
        return -1;
    int p = 100;
    return kw::TryStrToInt(text, p) ? p : 100;
}

// A step that would leave a side of no pixels (25 % of a picture under 4 pixels wide or high)
// is refused with a warning and not recorded: an empty picture could not be edited further,
// and replayed it would empty every frame.
void TResizeTool::PPMenuResize_1Click(const QString& caption) {
    const int p = Percentage(caption);
    if (p < 0)
        return;
    const TBitmap32& picture = FForm.Image1->Bitmap();
    const TResizeAction action{int(qint64(p) * picture.Width() / 100),
                               int(qint64(p) * picture.Height() / 100)};
    if (action.Width < 1 || action.Height < 1) {
        kw::WarningBox(&FForm, QStringLiteral("Warning"),
                       QStringLiteral("The picture is too small to be resized to %1%.").arg(p));
        return;
    }
    FForm.NeedPictureMemory(QSize(action.Width, action.Height));
    const TBitmap32 resized = action.Apply(picture);
    FForm.Script().RecordResize(action);
    FForm.EditDone(resized);
}
