#include "editor/resize_tool.h"

#include "common/kw_dialogs.h"
#include "common/kw_guard.h"
#include "controls/kw_img_panel.h"
#include "editor/band_rules.h"
#include "editor/tool_context.h"
#include "graphics/image32.h"
#include "graphics/layers.h"
#include "graphics/rubberband_layer.h"
#include "skin/te_controls.h"

TResizeTool::TResizeTool(TToolContext& context, const TResizeControls& controls)
    : FContext(context), FControls(controls) {
    QWidget* window = context.Window();
    QObject::connect(controls.Button, &QPushButton::clicked, window,
                     kw::Guard([this] { BtnResizeClick(); }));
    QObject::connect(controls.Pressed, &TKWImgPanel::Clicked, window,
                     kw::Guard([this] { ImageResizeClick(); }));
    QObject::connect(controls.PercentButton, &QPushButton::clicked, window,
                     kw::Guard([this] { BtnResize_1Click(); }));
    QObject::connect(controls.ItemResize, &QAction::triggered, window,
                     kw::Guard([this] { ExecuteResize(); }));
    QObject::connect(controls.ItemCancel, &QAction::triggered, window,
                     kw::Guard([this] { AbandonResize(); }));
    for (QAction* item : controls.PercentMenu->actions())
        QObject::connect(item, &QAction::triggered, window,
                         kw::Guard([this, item] { PPMenuResize_1Click(item->text()); }));
    // The resize band may grow past the picture: no edge to keep it on.
    context.Layers().ResizeBand->OnResizing = [](const TFloatRect& start, TFloatRect& proposed,
                                                 TDragState state, Qt::KeyboardModifiers keys) {
        BandResizing(start, proposed, state, keys, nullptr);
    };
    context.Layers().ResizeBand->OnDragged = [this] { FContext.BandDragged(); };
}

bool TResizeTool::UnderWay() const {
    return FContext.Layers().ResizeLayer->Visible() || FContext.Layers().ResizeBand->Visible();
}

void TResizeTool::Cancel() {
    if (UnderWay())
        AbandonResize();
}

void TResizeTool::AbandonResize() {
    if (!UnderWay())
        return;
    CancelResize();
    FContext.RestoreBackup();
}

void TResizeTool::ShowResizeButton(bool visible) {
    FControls.Button->setVisible(visible);
    FControls.Pressed->setVisible(!visible);
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
    if (FContext.Layers().ResizeLayer->Visible() && FContext.Layers().ResizeBand->Visible())
        return;
    FContext.CancelPendingTool();
    const int w = FContext.View()->Bitmap().Width(), h = FContext.View()->Bitmap().Height();
    FContext.SaveBackup();
    FContext.Layers().ResizeLayer->SetBitmap(FContext.Backup());
    FContext.View()->SetBitmap(TBitmap32());
    const QPoint off = FContext.View()->OffsetFor(w, h);
    FContext.Layers().ResizeLayer->SetVisible(true);
    FContext.Layers().ResizeBand->SetLocation(FloatRect(QRect(off, QSize(w, h))));
    FContext.Layers().ResizeBand->SetMouseEvents(true);
    FContext.Layers().ResizeBand->SetVisible(true);
    ShowResizeButton(false);
    FContext.View()->update();
    FContext.ShowStatusHint(QStringLiteral("Right click on image to execute resize or cancel"));
    FContext.ShowBandInfo(false);
}

void TResizeTool::ExecuteResize() {
    if (!UnderWay())
        return;
    const TFloatRect& r = FContext.Layers().ResizeBand->Location();
    const TResizeAction action{Nearest(r.Width()), Nearest(r.Height())};
    // Refused, the band stays over the picture it was started on.
    FContext.NeedPictureMemory(QSize(action.Width, action.Height));
    CancelResize();
    const TBitmap32 resized = action.Apply(FContext.Backup());
    FContext.EditDone(action, resized);
    FContext.ClearBandInfo();
}

void TResizeTool::CancelResize() {
    if (!UnderWay())
        return;
    FContext.Layers().ResizeLayer->SetVisible(false);
    FContext.Layers().ResizeLayer->SetBitmap(TBitmap32());
    FContext.Layers().ResizeBand->SetMouseEvents(false);
    FContext.Layers().ResizeBand->SetVisible(false);
    FContext.View()->update();
    ShowResizeButton(true);
    FContext.ClearStatusBar();
    FContext.ClearBandInfo();
}

// The menu opens beside the button, 5 pixels right of its right edge and 5 below its top.
void TResizeTool::BtnResize_1Click() {
    FContext.CancelPendingTool();
    QWidget* button = FControls.PercentButton;
    FControls.PercentMenu->popup(button->mapToGlobal(QPoint(button->width() + 5, 5)));
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
    const TBitmap32& picture = FContext.View()->Bitmap();
    const TResizeAction action{int(qint64(p) * picture.Width() / 100),
                               int(qint64(p) * picture.Height() / 100)};
    if (action.Width < 1 || action.Height < 1) {
        kw::WarningBox(FContext.Window(), QStringLiteral("Warning"),
                       QStringLiteral("The picture is too small to be resized to %1%.").arg(p));
        return;
    }
    FContext.NeedPictureMemory(QSize(action.Width, action.Height));
    const TBitmap32 resized = action.Apply(picture);
    FContext.EditDone(action, resized);
}
