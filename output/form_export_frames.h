#pragma once
// The export window: writes the chosen frames out as numbered picture files (JPG, BMP, GIF or
// PNG) into one folder. It also keeps, in its hidden HtmlMemo, the template of the animated
// GIF's preview page, which the page writer reads from a copy of this window it never shows.

#include "common/long_work.h"
#include "frames/frame_snapshot.h"
#include "output/output_window.h"

#include <atomic>
#include <memory>

class QComboBox;
class QLabel;
class QPlainTextEdit;
class TKWLinePanel;
class TTeButton;
class TTeEdit;
class TTeProgressBar;
class TTeRadioButton;
class TTeTrackBar;
class TThumbnails;

class TFormExportFrames : public output::TOutputDialog {
    Q_OBJECT
public:
    // Works on the frames of the list, which must outlive the window.
    TFormExportFrames(TThumbnails* thumbnails, QWidget* owner);

    // The desktop as the folder, the video's name without its last extension plus "-" as the
    // base name (empty without a video).
    void FormShow() override;
    void BtnOutFolderClick();
    void CBFileFormatChange();
    void TrackBarQualityChange();
    // Starts the export into the folder; the window stays open for another export.
    void BtnOKClick();
    // Stops a running export (the whole files written so far stay); closes the window
    // otherwise.
    void BtnCancelClick();
    // The export's work, for tests and benchmarks that wait for its end.
    kw::TLongWork& Export() { return FExport; }

    TKWLinePanel* PanelSrcFrame = nullptr;
    TTeRadioButton* RBAll = nullptr;
    TTeRadioButton* RBSelect = nullptr;
    TTeButton* BtnOutFolder = nullptr;
    TTeEdit* EditOutputFolder = nullptr;
    TTeEdit* EditFileName = nullptr;
    TTeEdit* EditFileCount = nullptr;
    QComboBox* CBFileFormat = nullptr;
    QWidget* PanelJPGQuality = nullptr;
    TTeTrackBar* TrackBarQuality = nullptr;
    QLabel* LabelQuality = nullptr;
    TTeButton* BtnOK = nullptr;
    TTeButton* BtnCancel = nullptr;
    TTeProgressBar* TeProgressBar = nullptr;
    QPlainTextEdit* HtmlMemo = nullptr;

private:
    void ExportEnded(kw::TWorkOutcome outcome);

    TThumbnails* FThumbnails;
    kw::TLongWork FExport;
    TFrameSnapshot FExportFrames;                    // what the running export writes
    std::shared_ptr<std::atomic<int>> FFilesWritten; // and how many of its files are written
};
