#pragma once
// The thumbnail sheet: the window that collects width, rows, columns and the source, and the
// three steps of a sheet: asking for the file (GUI thread), drawing the chosen frames into one
// sheet and writing it as JPG or BMP (any thread: the window runs it on the long-work engine),
// and opening it with the desktop (GUI thread).

#include "common/long_work.h"
#include "frames/frame_snapshot.h"
#include "output/output_window.h"
#include "output/thumb_sheet.h"

#include <functional>
#include <optional>

class TKWLinePanel;
class TTeButton;
class TTeCheckBox;
class TTeEdit;
class TTeProgressBar;
class TTeRadioButton;
class TTeUpDown;
class TThumbnails;

namespace output {

// What the sheet writes besides its pictures: each frame's time, and a header describing the
// video (absent: no header).
struct TSheetCaptions {
    bool Times = false;
    std::optional<TSheetVideo> Header;
};

// A sheet to write: its frames as they were when it was asked for, its layout, its text and
// its file.
struct TSheetJob {
    TFrameSnapshot Frames;
    TSheetGeometry Geometry;
    TSheetText Text;
    QString Path;
    TSheetFormat Format = TSheetFormat::Jpeg;
    // How many of the frames are on the sheet (the rest are beyond rows x columns).
    int OnSheet() const;
};

// The sheet of the chosen frames (all in position order, or the selected ones in selection
// order): "No images found." when there are none, else the save dialog (JPEG or BMP entry; the
// entry's extension is appended unless the path has it) and the sheet's layout, whose errors
// (a column count of 0, a sheet too large) are thrown. std::nullopt when there is nothing to
// write. The frames' times are taken from the list's frame records as they are now. Message
// boxes and the save dialog belong to owner.
std::optional<TSheetJob> AskForThumbSheet(TThumbnails& thumbnails, bool allFrames, int rows,
                                          int columns, int width, int margin, QWidget* owner,
                                          const TSheetCaptions& captions = {});
// Draws the sheet and writes it (replacing a file, through a new file renamed over it at the
// end); before frame i is drawn, progress(i), and progress(count) once all are drawn, just
// before the file is written; progress may throw to stop: no file is written then, and an
// existing one stays as it was. Any thread; a file that cannot be written is thrown.
void WriteThumbSheet(const TSheetJob& job, const std::function<void(int)>& progress = {});
// After the sheet was written, on the GUI thread: marks its frames written and opens it.
// Returns how many of the chosen frames are not on the sheet.
int ThumbSheetWritten(TThumbnails& thumbnails, const TSheetJob& job, QWidget* owner);

// The three at once on the calling thread, for callers without a window. Returns the frames
// left out, or -1 when no sheet was written.
int SaveAsThumbnails(TThumbnails& thumbnails, bool allFrames, int rows, int columns, int width,
                     int margin, QWidget* owner);

} // namespace output

class TFormSaveThumb : public output::TOutputDialog {
    Q_OBJECT
public:
    // Works on the frames of the list, which must outlive the window.
    TFormSaveThumb(TThumbnails* thumbnails, QWidget* owner);

    // The video open in the main window, for the header; without one "Header" is disabled.
    void SetVideo(const std::optional<output::TSheetVideo>& video);
    // Puts each pair of arrows inside the right end of its field.
    void FormShow() override;
    // Converts columns, width and rows (in this order; a field that is no number ends the
    // save with the conversion error), asks for the file and starts the sheet with the margin
    // 5 on the long-work engine; a written sheet is announced by SheetWritten. The window
    // stays open.
    void btn_saveClick();
    // Stops a running sheet (no file is written); closes the window otherwise.
    void btn_cancelClick();
    // The sheet's work, for tests and benchmarks that wait for its end.
    kw::TLongWork& Sheet() { return FSheet; }

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
    TTeCheckBox* CheckBoxTimes = nullptr;
    TTeCheckBox* CheckBoxHeader = nullptr;
    TKWLinePanel* panel_bottom = nullptr;
    TTeButton* btn_save = nullptr;
    TTeButton* btn_cancel = nullptr;
    TTeProgressBar* ProgressBar1 = nullptr;

private:
    void SheetEnded(kw::TWorkOutcome outcome);

    TThumbnails* FThumbnails;
    kw::TLongWork FSheet;
    std::optional<output::TSheetJob> FJob; // of the running sheet
    std::optional<output::TSheetVideo> FVideo;
    int FRows = 0, FColumns = 0;
};
