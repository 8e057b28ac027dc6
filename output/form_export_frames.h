#pragma once
// The export window: writes the chosen frames out as numbered picture files (JPG, BMP, GIF or
// PNG) into one folder. It also keeps, in its hidden HtmlMemo, the template of the animated
// GIF's preview page, which the page writer reads from a copy of this window it never shows.

#include "output/output_window.h"

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
    // Exports into the folder; the window stays open for another export.
    void BtnOKClick();
    void BtnCancelClick();

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
    TThumbnails* FThumbnails;
};
