#include "output/save_thumb.h"

#include "common/kw_common.h"
#include "controls/kw_dock.h"
#include "controls/kw_line_panel.h"
#include "frames/thumbnails.h"
#include "output/thumb_sheet.h"
#include "skin/te_controls.h"

#include <algorithm>

using namespace output;

namespace {
const QRect RectWidth(94, 37, 65, 22);
const QRect RectRows(94, 67, 65, 22);
const QRect RectColumns(94, 97, 65, 22);
constexpr int ArrowOffset = 50;
} // namespace

int output::SaveAsThumbnails(TThumbnails& thumbnails, bool allFrames, int rows, int columns,
                             int width, int margin, TTeProgressBar* progressBar) {
    QWidget* owner = progressBar ? progressBar->window() : &thumbnails;
    const TFrameChoice choice = allFrames ? TFrameChoice::All : TFrameChoice::Selected;
    const TFrameSnapshot frames = thumbnails.Snapshot(choice);
    if (frames.IsEmpty()) {
        kw::WarningBox(owner, QStringLiteral("Warning"), QStringLiteral("No images found."));
        return -1;
    }
    kw::TFileDialogRequest request;
    request.Owner = owner;
    request.Title = QStringLiteral("Save As");
    request.Filter = QStringLiteral("JPEG Image File (*.jpg)|*.jpg|Bitmaps (*.bmp)|*.bmp");
    request.FilterIndex = 1;
    QString path = kw::Desktop().SaveFileName(request);
    if (path.isEmpty())
        return -1;
    const bool bmp = request.FilterIndex == 2;
    path = EnsureExtension(path, bmp ? QStringLiteral(".bmp") : QStringLiteral(".jpg"));

    const TSheetGeometry geometry = ThumbSheetGeometry(
        width, rows, columns, thumbnails.FrameWidth(), thumbnails.FrameHeight(), margin);
    TOutputProgress progress(progressBar, frames.Count());
    progress.Run([&] {
        const QImage sheet = DrawThumbSheet(geometry, frames, [&](int i) { progress.Report(i); });
        SaveThumbSheet(sheet, path, bmp ? TSheetFormat::Bmp : TSheetFormat::Jpeg);
    });
    // The frames beyond rows x columns are not on the sheet, so they are not written.
    const int onSheet = std::min(frames.Count(), std::max(0, geometry.Capacity()));
    thumbnails.MarkWritten(frames.First(onSheet));
    kw::OpenWithShell(owner, path);
    return frames.Count() - onSheet;
}

TFormSaveThumb::TFormSaveThumb(TThumbnails* thumbnails, QWidget* owner)
    : TOutputDialog(owner, QStringLiteral("Save As Thumbnails"), 309, 271),
      FThumbnails(thumbnails) {
    setObjectName(QStringLiteral("FormSaveThumb"));
    auto* dock = new TDockLayout(this);
    panel_source_frame = MakeSourcePanel(this, 60, Rb_allframes, Rb_selected);

    ProgressBar1 = new TTeProgressBar(this);
    ProgressBar1->setObjectName(QStringLiteral("ProgressBar1"));
    ProgressBar1->resize(305, 16);
    dock->AddWidget(ProgressBar1, TAlign::Bottom, QMargins(2, 0, 2, 0));
    panel_bottom = MakeOutputPanel(this, "panel_bottom");
    panel_bottom->resize(303, 39);
    dock->AddWidget(panel_bottom, TAlign::Bottom, QMargins(3, 3, 3, 3));
    btn_save =
        MakeOutputButton(panel_bottom, "btn_save", QStringLiteral("Save"), QRect(121, 8, 75, 25));
    btn_cancel = MakeOutputButton(panel_bottom, "btn_cancel", QStringLiteral("Cancel"),
                                  QRect(210, 8, 75, 25));

    panel_settings = MakeOutputPanel(this, "panel_settings");
    dock->AddWidget(panel_settings, TAlign::Client, QMargins(3, 0, 3, 0));
    MakeOutputLabel(panel_settings, QStringLiteral("Thumbnails Settings:"), 12, 13, true);
    MakeOutputLabel(panel_settings, QStringLiteral("Image Width:"), 22, 40);
    TeEdit_imgw = MakeOutputEdit(panel_settings, "TeEdit_imgw", RectWidth, QStringLiteral("600"));
    UpDown_Width = MakeOutputUpDown(TeEdit_imgw, "UpDown_Width", 1, 32767, 1);
    MakeOutputLabel(panel_settings, QStringLiteral("pixels"), 166, 40);
    MakeOutputLabel(panel_settings, QStringLiteral("Rows:"), 57, 70);
    TeEdit_rows = MakeOutputEdit(panel_settings, "TeEdit_rows", RectRows, QStringLiteral("4"));
    UpDownRows = MakeOutputUpDown(TeEdit_rows, "UpDownRows", 1, 32767, 1);
    MakeOutputLabel(panel_settings, QStringLiteral("Columns:"), 43, 100);
    TeEdit_columns =
        MakeOutputEdit(panel_settings, "TeEdit_columns", RectColumns, QStringLiteral("4"));
    UpDownColumns = MakeOutputUpDown(TeEdit_columns, "UpDownColumns", 1, 32767, 1);
    for (TTeEdit* field : {TeEdit_imgw, TeEdit_rows, TeEdit_columns})
        kw::InstallDigitFilter(field);

    connect(btn_save, &QPushButton::clicked, this, kw::Guard([this] { btn_saveClick(); }));
    connect(btn_cancel, &QPushButton::clicked, this, kw::Guard([this] { btn_cancelClick(); }));
}

void TFormSaveThumb::FormShow() {
    PlaceUpDown(UpDown_Width, TeEdit_imgw, RectWidth, ArrowOffset);
    PlaceUpDown(UpDownRows, TeEdit_rows, RectRows, ArrowOffset);
    PlaceUpDown(UpDownColumns, TeEdit_columns, RectColumns, ArrowOffset);
}

void TFormSaveThumb::btn_saveClick() {
    TOutputBusy busy(this, {btn_save, btn_cancel}, ProgressBar1);
    const int columns = kw::StrToInt(TeEdit_columns->text());
    const int width = kw::StrToInt(TeEdit_imgw->text());
    const int rows = kw::StrToInt(TeEdit_rows->text());
    const int leftOut = SaveAsThumbnails(*FThumbnails, Rb_allframes->isChecked(), rows, columns,
                                         width, 5, ProgressBar1);
    if (leftOut >= 0)
        emit SheetWritten(leftOut, rows, columns);
}

void TFormSaveThumb::btn_cancelClick() {
    reject();
}
