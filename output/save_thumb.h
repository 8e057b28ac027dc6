#pragma once
// The thumbnail sheet: the window that collects width, rows, columns and the source, and
// SaveAsThumbnails, which asks for the file, draws the chosen frames into one sheet, writes it
// as JPG or BMP and opens it with the desktop.

#include "output/output_window.h"

class TKWLinePanel;
class TTeButton;
class TTeEdit;
class TTeProgressBar;
class TTeRadioButton;
class TTeUpDown;
class TThumbnails;

namespace output {

// The sheet of the chosen frames (all in position order, or the selected ones in selection
// order): "No images found." when there are none, else the save dialog (JPEG or BMP entry; the
// entry's extension is appended unless the path has it), the sheet drawn with the progress bar
// moving, written (replacing a file), and opened. Errors (a column count of 0, a sheet too
// large, a file that cannot be written) are thrown after the save dialog, before anything is
// opened. Message boxes and the save dialog belong to the progress bar's window. Returns how
// many of the chosen frames are not on the sheet (beyond rows x columns), or -1 when no sheet
// was written.
int SaveAsThumbnails(TThumbnails& thumbnails, bool allFrames, int rows, int columns, int width,
                     int margin, TTeProgressBar* progressBar);

} // namespace output

class TFormSaveThumb : public output::TOutputDialog {
    Q_OBJECT
public:
    // Works on the frames of the list, which must outlive the window.
    TFormSaveThumb(TThumbnails* thumbnails, QWidget* owner);

    // Puts each pair of arrows inside the right end of its field.
    void FormShow() override;
    // Converts columns, width and rows (in this order; a field that is no number ends the
    // save with the conversion error) and runs SaveAsThumbnails with the margin 5; a written
    // sheet is announced by SheetWritten. The window stays open.
    void btn_saveClick();
    void btn_cancelClick();

signals:
    // A sheet was written; leftOut of the chosen frames did not fit on it.
    void SheetWritten(int leftOut, int rows, int columns);

public:
    TKWLinePanel* panel_source_frame = nullptr;
    TTeRadioButton* Rb_allframes = nullptr;
    TTeRadioButton* Rb_selected = nullptr;
    TKWLinePanel* panel_settings = nullptr;
    TTeEdit* TeEdit_imgw = nullptr;
    TTeUpDown* UpDown_Width = nullptr;
    TTeEdit* TeEdit_rows = nullptr;
    TTeUpDown* UpDownRows = nullptr;
    TTeEdit* TeEdit_columns = nullptr;
    TTeUpDown* UpDownColumns = nullptr;
    TKWLinePanel* panel_bottom = nullptr;
    TTeButton* btn_save = nullptr;
    TTeButton* btn_cancel = nullptr;
    TTeProgressBar* ProgressBar1 = nullptr;

private:
    TThumbnails* FThumbnails;
};
