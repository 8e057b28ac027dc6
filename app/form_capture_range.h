#pragma once
// The "Capture Frames ..." window: a range of the open video (From and To, by default the in
// and out marks or the whole video) and one of three ways to take its frames (every N
// milliseconds, N frames evenly spaced, or the first picture of every shot). OK runs the
// capture at decode speed on the long-work engine's worker; the frames go into the frame list
// in time order as they come, the progress bar follows, and Cancel stops it, keeping what was
// captured. A frame store or a memory budget that refuses a frame stops it with its warning.
// The window closes when the capture ran to its end and stays open otherwise.
//
// Threads: the capture (CaptureRange) runs on the engine's worker with copies of the settings;
// every frame is posted to the GUI thread, which alone adds it to the frame list. A refusal
// there is told back through a flag the worker reads before each frame.

#include "common/long_work.h"
#include "frames/frame_source.h"
#include "output/output_window.h"
#include "video/range_capture.h"

#include <atomic>
#include <cstdint>
#include <memory>

class QLabel;
class TKWLinePanel;
class TThumbnails;
class TTeButton;
class TTeEdit;
class TTeProgressBar;
class TTeRadioButton;

// A time as the window reads it: m:ss.mmm, h:mm:ss.mmm, or seconds alone (ss.mmm); the
// milliseconds may be left out or shortened. False for anything else.
bool ParseMediaTime(const QString& text, std::int64_t& ms);

// What the window captures from.
struct TCaptureSource {
    QString Path;
    std::int64_t DurationMs = 0;
    std::int64_t InMs = -1; // the marks, -1 when not set
    std::int64_t OutMs = -1;
    int EveryMs = 200; // the interval of continuous capture
};

class TFormCaptureRange : public output::TOutputDialog {
    Q_OBJECT
public:
    TFormCaptureRange(TThumbnails* thumbnails, const TCaptureSource& source, QWidget* owner);

    // The settings of the fields; a field that does not hold a valid value shows a warning
    // (or raises the conversion error) and gives false.
    bool ReadSettings(fcvideo::TRangeSettings& settings);
    void btn_okClick();
    void btn_cancelClick();
    kw::TLongWork& Work() { return FWork; }
    // Frames the running or last capture put into the list.
    int Captured() const { return FCaptured; }

    TKWLinePanel* panel_range = nullptr;
    TTeEdit* edit_from = nullptr;
    TTeEdit* edit_to = nullptr;
    QLabel* LabelLength = nullptr;
    TKWLinePanel* panel_frames = nullptr;
    TTeRadioButton* Rb_every = nullptr;
    TTeEdit* edit_every = nullptr;
    TTeRadioButton* Rb_count = nullptr;
    TTeEdit* edit_count = nullptr;
    TTeRadioButton* Rb_scenes = nullptr;
    TTeEdit* edit_sensitivity = nullptr;
    TTeEdit* edit_gap = nullptr;
    TKWLinePanel* panel_bottom = nullptr;
    TTeButton* btn_ok = nullptr;
    TTeButton* btn_cancel = nullptr;
    TTeProgressBar* ProgressBar = nullptr;

private:
    // GUI thread: one frame from the worker into the list.
    // `source`: the video's name and the picture's own time, for the frame's record.
    void AddCaptured(const QImage& picture, const TFrameSource& source);
    void WorkEnded(kw::TWorkOutcome outcome);

    TThumbnails* FThumbnails;
    TCaptureSource FSource;
    kw::TLongWork FWork;
    // Set on the GUI thread when the store refused a frame; read by the worker.
    std::shared_ptr<std::atomic<bool>> FRefused;
    bool FStoreFull = false;
    bool FNoMemory = false;
    int FCaptured = 0;
};
