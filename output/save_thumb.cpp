#include "output/save_thumb.h"

#include "common/kw_common.h"
#include "controls/kw_dock.h"
#include "controls/kw_line_panel.h"
#include "frames/thumbnails.h"
#include "output/thumb_sheet.h"
#include "skin/settings_panel.h"
#include "skin/te_controls.h"

#include <algorithm>
#include <utility>

using namespace output;

namespace {
const QRect RectWidth(94, 37, 65, 22);
const QRect RectRows(94, 67, 65, 22);
const QRect RectColumns(94, 97, 65, 22);
constexpr int ArrowOffset = 50;
} // namespace

int output::TSheetJob::OnSheet() const {
    return std::min(Frames.Count(), std::max(0, Geometry.Capacity()));
}

std::optional<TSheetJob> output::AskForThumbSheet(TThumbnails& thumbnails, bool allFrames, int rows,
                                                  int columns, int width, int margin,
                                                  QWidget* owner, const TSheetCaptions& captions) {
    if (!owner)
        owner = &thumbnails;
    TSheetJob job;
    job.Frames = thumbnails.Snapshot(allFrames ? TFrameChoice::All : TFrameChoice::Selected);
    if (job.Frames.IsEmpty()) {
        kw::WarningBox(owner, QStringLiteral("Warning"), QStringLiteral("No images found."));
        return std::nullopt;
    }
    kw::TFileDialogRequest request;
    request.Owner = owner;
    request.Title = QStringLiteral("Save As");
    request.Filter = QStringLiteral("JPEG Image File (*.jpg)|*.jpg|Bitmaps (*.bmp)|*.bmp");
    request.FilterIndex = 1;
    const QString path = kw::Desktop().SaveFileName(request);
    if (path.isEmpty())
        return std::nullopt;
    const bool bmp = request.FilterIndex == 2;
    job.Path = EnsureExtension(path, bmp ? QStringLiteral(".bmp") : QStringLiteral(".jpg"));
    job.Format = bmp ? TSheetFormat::Bmp : TSheetFormat::Jpeg;
    job.Geometry =
        ThumbSheetGeometry(width, rows, columns, thumbnails.FrameWidth(), thumbnails.FrameHeight(),
                           margin, captions.Header.has_value());
    if (captions.Header)
        job.Text.HeaderLines = SheetHeaderLines(*captions.Header);
    if (captions.Times)
        for (int i = 0; i < job.OnSheet(); ++i)
            job.Text.TimesMs << thumbnails.FrameSource(job.Frames.Id(i)).TimeMs;
    return job;
}

void output::WriteThumbSheet(const TSheetJob& job, const std::function<void(int)>& progress) {
    const QImage sheet = DrawThumbSheet(job.Geometry, job.Frames, progress, job.Text);
    // Once more with every frame drawn, right before the file is written: a Cancel that came
    // during the last frame or the text still leaves no file, and an existing one as it was.
    if (progress)
        progress(job.Frames.Count());
    SaveThumbSheet(sheet, job.Path, job.Format);
}

int output::ThumbSheetWritten(TThumbnails& thumbnails, const TSheetJob& job, QWidget* owner) {
    // The frames beyond rows x columns are not on the sheet, so they are not written.
    thumbnails.MarkWritten(job.Frames.First(job.OnSheet()));
    kw::OpenWithShell(owner ? owner : &thumbnails, job.Path);
    return job.Frames.Count() - job.OnSheet();
}

int output::SaveAsThumbnails(TThumbnails& thumbnails, bool allFrames, int rows, int columns,
                             int width, int margin, QWidget* owner) {
    const std::optional<TSheetJob> job =
        AskForThumbSheet(thumbnails, allFrames, rows, columns, width, margin, owner);
    if (!job)
        return -1;
    WriteThumbSheet(*job);
    return ThumbSheetWritten(thumbnails, *job, owner);
}

TFormSaveThumb::TFormSaveThumb(TThumbnails* thumbnails, QWidget* owner)
    : TOutputDialog(owner, QStringLiteral("Save As Thumbnails"), 309, 291),
      FThumbnails(thumbnails) {
    setObjectName(QStringLiteral("FormSaveThumb"));
    auto* dock = new TDockLayout(this);
    panel_source_frame = MakeSourcePanel(this, 60, Rb_allframes, Rb_selected);

    ProgressBar1 = new TTeProgressBar(this);
    ProgressBar1->setObjectName(QStringLiteral("ProgressBar1"));
    ProgressBar1->resize(305, 16);
    dock->AddWidget(ProgressBar1, TAlign::Bottom, QMargins(2, 0, 2, 0));
    panel_bottom = skin::MakeSettingsPanel(this, "panel_bottom");
    panel_bottom->resize(303, 39);
    dock->AddWidget(panel_bottom, TAlign::Bottom, QMargins(3, 3, 3, 3));
    btn_save = skin::MakeSettingsButton(panel_bottom, "btn_save", QStringLiteral("Save"),
                                        QRect(121, 8, 75, 25));
    btn_cancel = skin::MakeSettingsButton(panel_bottom, "btn_cancel", QStringLiteral("Cancel"),
                                          QRect(210, 8, 75, 25));

    panel_settings = skin::MakeSettingsPanel(this, "panel_settings");
    dock->AddWidget(panel_settings, TAlign::Client, QMargins(3, 0, 3, 0));
    skin::MakeSettingsLabel(panel_settings, QStringLiteral("Thumbnails Settings:"), 12, 13, true);
    skin::MakeSettingsLabel(panel_settings, QStringLiteral("Image Width:"), 22, 40);
    TeEdit_imgw = MakeOutputEdit(panel_settings, "TeEdit_imgw", RectWidth, QStringLiteral("600"));
    UpDown_Width = MakeOutputUpDown(TeEdit_imgw, "UpDown_Width", 1, 32767, 1);
    skin::MakeSettingsLabel(panel_settings, QStringLiteral("pixels"), 166, 40);
    skin::MakeSettingsLabel(panel_settings, QStringLiteral("Rows:"), 57, 70);
    TeEdit_rows = MakeOutputEdit(panel_settings, "TeEdit_rows", RectRows, QStringLiteral("4"));
    UpDownRows = MakeOutputUpDown(TeEdit_rows, "UpDownRows", 1, 32767, 1);
    skin::MakeSettingsLabel(panel_settings, QStringLiteral("Columns:"), 43, 100);
    TeEdit_columns =
        MakeOutputEdit(panel_settings, "TeEdit_columns", RectColumns, QStringLiteral("4"));
    UpDownColumns = MakeOutputUpDown(TeEdit_columns, "UpDownColumns", 1, 32767, 1);
    CheckBoxTimes = new TTeCheckBox(QStringLiteral("Show times"), panel_settings);
    CheckBoxTimes->setObjectName(QStringLiteral("CheckBoxTimes"));
    CheckBoxTimes->setGeometry(22, 131, 110, 17);
    CheckBoxHeader = new TTeCheckBox(QStringLiteral("Header"), panel_settings);
    CheckBoxHeader->setObjectName(QStringLiteral("CheckBoxHeader"));
    CheckBoxHeader->setGeometry(139, 131, 110, 17);
    for (TTeCheckBox* box : {CheckBoxTimes, CheckBoxHeader})
        skin::SetWhiteCaption(box);
    SetVideo(std::nullopt);
    for (TTeEdit* field : {TeEdit_imgw, TeEdit_rows, TeEdit_columns})
        kw::InstallDigitFilter(field);

    connect(btn_save, &QPushButton::clicked, this, kw::Guard([this] { btn_saveClick(); }));
    connect(btn_cancel, &QPushButton::clicked, this, kw::Guard([this] { btn_cancelClick(); }));
    connect(&FSheet, &kw::TLongWork::Ended, this,
            [this](kw::TWorkOutcome outcome) { kw::Guarded([&] { SheetEnded(outcome); }); });
    SetBusyParts({btn_save}, btn_cancel, ProgressBar1);
}

void TFormSaveThumb::SetVideo(const std::optional<TSheetVideo>& video) {
    FVideo = video;
    CheckBoxHeader->setEnabled(video.has_value());
    CheckBoxHeader->setToolTip(video ? QString() : QStringLiteral("No video is open"));
}

void TFormSaveThumb::FormShow() {
    PlaceUpDown(UpDown_Width, TeEdit_imgw, RectWidth, ArrowOffset);
    PlaceUpDown(UpDownRows, TeEdit_rows, RectRows, ArrowOffset);
    PlaceUpDown(UpDownColumns, TeEdit_columns, RectColumns, ArrowOffset);
}

void TFormSaveThumb::btn_saveClick() {
    if (FSheet.Running())
        return;
    const int columns = kw::StrToInt(TeEdit_columns->text());
    const int width = kw::StrToInt(TeEdit_imgw->text());
    const int rows = kw::StrToInt(TeEdit_rows->text());
    TSheetCaptions captions;
    captions.Times = CheckBoxTimes->isChecked();
    if (CheckBoxHeader->isChecked() && FVideo)
        captions.Header = FVideo;
    FJob = AskForThumbSheet(*FThumbnails, Rb_allframes->isChecked(), rows, columns, width, 5, this,
                            captions);
    if (!FJob)
        return;
    FRows = rows;
    FColumns = columns;
    FSheet.Start(
        [job = *FJob](kw::TJob& work) {
            WriteThumbSheet(job, [&](int i) {
                work.Progress(i);
                work.CheckCancel();
            });
        },
        OutputBusy(FJob->Frames.Count()));
}

void TFormSaveThumb::SheetEnded(kw::TWorkOutcome outcome) {
    const std::optional<TSheetJob> job = std::exchange(FJob, std::nullopt);
    if (outcome == kw::TWorkOutcome::Done && job)
        emit SheetWritten(ThumbSheetWritten(*FThumbnails, *job, this), FRows, FColumns);
    else if (outcome == kw::TWorkOutcome::Failed)
        FSheet.ShowError();
}

void TFormSaveThumb::btn_cancelClick() {
    if (FSheet.Running())
        FSheet.Cancel();
    else
        reject();
}
