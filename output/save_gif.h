#pragma once
// The animated GIF: the window that collects size, delay, loops, colour settings, the file type
// and the file name (with its colour picker), the steps that build and write the file (the
// window runs them on the long-work engine; the other animated types, WebP, APNG, MP4 and
// WebM, go the same way through codecs::TAnimWriter), and
// WriteGIFPreviewPage, which writes the HTML page of the animation and offers to open it.

#include "codecs/anim_settings.h"
#include "codecs/gif_codec.h"
#include "common/long_work.h"
#include "frames/frame_snapshot.h"
#include "output/output_window.h"

#include <QPoint>
#include <QTimer>

#include <cstdint>
#include <functional>
#include <optional>
#include <vector>

class QComboBox;
class QLabel;
class TKWLinePanel;
class TTeButton;
class TTeCheckBox;
class TTeEdit;
class TTeProgressBar;
class TTeRadioButton;
class TTeUpDown;
class TThumbnails;

namespace output {
class TFramePickView;

// A GIF to write: its frames as they were when it was asked for, its file and settings.
struct TGifJob {
    TFrameSnapshot Frames;
    QString Path;
    codecs::TGifSettings Settings;
    // Set for another animated type than GIF (WebP, APNG, MP4, WebM): the file is written as
    // it says, in its format.
    std::optional<codecs::TAnimSettings> Anim;
};

// The GIF of the chosen frames (all in position order, or the selected ones in selection
// order): "No images found." (a box of owner's) and std::nullopt when there are none.
std::optional<TGifJob> AskForGif(TThumbnails& thumbnails, const QString& path, bool allFrames,
                                 const codecs::TGifSettings& settings, QWidget* owner);
// Builds the GIF at settings.Width x settings.Height, every frame stretched to that size where
// it differs, and writes the file (replacing one, through a new file renamed over it at the
// end); returns its size. After frame i, progress(i), which may throw to stop: no file is
// written then, and an existing one stays as it was. Any thread. Errors (a size outside
// 1..65535, too little memory, a file that cannot be written) are thrown.
std::int64_t WriteGif(const TGifJob& job, const std::function<void(int)>& progress = {});
// After the file was written, on the GUI thread: marks its frames written, writes the preview
// page and offers it.
void GifWritten(TThumbnails& thumbnails, const TGifJob& job, std::int64_t size, QWidget* owner);
// The three at once on the calling thread, for callers without a window; the bar, when given,
// follows the frames (and its window owns the boxes).
void SaveAsGIF(TThumbnails& thumbnails, const QString& path, bool allFrames,
               const codecs::TGifSettings& settings, TTeProgressBar* progressBar);
// Writes GIF-Preview.html into the private scratch folder from the template of the export window
// (loops as the user entered them), then asks "Complete": OK opens the page with the desktop.
// A page that cannot be written throws, and nothing is asked. A video shows in <video>.
void WriteGIFPreviewPage(const QString& gifPath, int width, int height, int loops, int frameCount,
                         const QString& sizeText, QWidget* owner, bool video = false);

// The height for a width (or the other way round) keeping from:to, rounded to the nearest
// with halves to even: 640 x 360 gives 8 -> 4 and 24 -> 14. False when from is 0.
bool ProportionalSize(int value, int from, int to, std::int64_t& result);

} // namespace output

class TFormSaveGIF : public output::TOutputDialog {
    Q_OBJECT
public:
    static constexpr QRgb Silver = 0xFFC0C0C0;

    // Works on the frames of the list, which must outlive the window.
    TFormSaveGIF(TThumbnails* thumbnails, QWidget* owner);

    ~TFormSaveGIF() override;

    // Arrows inside the fields' right ends; the size of the first frame into the size fields.
    void FormShow() override;
    // With "Constrain Proportions" on, typing into one size field sets the other one from the
    // video's proportions.
    void Edit_widthChange();
    void Edit_HeightChange();
    void CheckBoxCPClick();
    // The colour picker: checking the box (or clicking the panel while it is checked) asks
    // the desktop's own picker (the portal, which works on Wayland too); where there is none
    // the panel follows the screen pixel under the pointer at every tick, F12 holding the
    // colour. A screen that cannot be read stops the following and says so, the colour
    // unchanged. Unchecking puts silver back.
    void CheckBoxTransColorClick();
    void PanelTransColorClick();
    void TimerColorPickerTimer();
    // F12 while the box is checked: stops the picker and says the key was used.
    bool FormShortCut(int key);
    // Save dialog (in LastGIFDir) listing the file types, the window's type chosen; the entry
    // chosen there decides the type (and the window's type follows it), its extension
    // ensured, the number fields converted, then the file started on the long-work engine.
    // The window stays open.
    void Btn_SaveClick();
    // The file type: what it does not offer is disabled (GIF's colours and smaller file,
    // loops and the transparent colour for video), the quality field shows its quality.
    void ComboBoxFormatChange();
    // Stops a running GIF (no file is written); closes the window otherwise.
    void Btn_CancelClick();
    // The GIF's work, for tests and benchmarks that wait for its end.
    kw::TLongWork& Gif() { return FGif; }
    // The colour choice is kept for the next window while the program runs.
    void ComboBoxQualityChange();
    // A smaller file and a transparent colour both need the frame's transparent entry: while
    // the colour is on, "Smaller file" is off and says why.
    void CheckBoxTransColorSmaller();
    // Starts a new size estimate a moment after the last change of a setting that matters.
    void SettingsChange();
    // Encodes a few of the chosen frames on a worker thread and shows the expected size. The
    // sample and the encoder's workers ask the memory budget first (and stay within a cap of
    // their own): fewer workers, then fewer sample frames, and "too large to estimate" when not
    // even one frame fits.
    void EstimateTimerTimer();

    TKWLinePanel* panel_source_frame = nullptr;
    TTeRadioButton* Rb_allframes = nullptr;
    TTeRadioButton* Rb_selected = nullptr;
    // The first frame in the source panel: a click picks its pixel as the transparent colour.
    output::TFramePickView* FirstFramePick = nullptr;
    TKWLinePanel* panel_settings = nullptr;
    TTeEdit* Edit_width = nullptr;
    TTeUpDown* UpDown_Width = nullptr;
    TTeEdit* Edit_Height = nullptr;
    TTeUpDown* UpDownHeight = nullptr;
    QLabel* ImageCP = nullptr;
    TTeCheckBox* CheckBoxCP = nullptr;
    QLabel* lb_framedelay = nullptr;
    TTeEdit* edit_delay = nullptr;
    TTeUpDown* UpDown_Delay = nullptr;
    QLabel* lb_millisecond = nullptr;
    QLabel* lb_loops = nullptr;
    TTeEdit* edit_loops = nullptr;
    TTeUpDown* UpDown_Loops = nullptr;
    QLabel* lb_zero = nullptr;
    TTeCheckBox* CheckBoxGray = nullptr;
    QComboBox* ComboBoxQuality = nullptr; // "Standard", "Best quality"
    TTeCheckBox* CheckBoxSmaller = nullptr;
    QLabel* LabelEstimate = nullptr;
    TTeCheckBox* CheckBoxTransColor = nullptr;
    TKWLinePanel* PanelTransColor = nullptr;
    TKWLinePanel* panel_bottom = nullptr;
    TTeButton* Btn_Save = nullptr;
    TTeButton* Btn_Cancel = nullptr;
    TTeProgressBar* ProgressBar1 = nullptr;
    QComboBox* ComboBoxFormat = nullptr; // in the order of codecs::AnimFormats, GIF first
    QLabel* lb_anim_quality = nullptr;
    TTeEdit* EditAnimQuality = nullptr;
    TTeUpDown* UpDownAnimQuality = nullptr;
    QTimer TimerColorPicker;
    QTimer EstimateTimer; // single shot, after the last change

    // The settings of the fields as SaveAsGIF gets them; throws for a field that is not a
    // number.
    codecs::TGifSettings Settings() const;
    codecs::TAnimFormat Format() const;
    // The same fields for the other file types, with the quality field where the type has
    // one; throws as Settings() does.
    codecs::TAnimSettings AnimSettings() const;
    // Waits for a running estimate; for tests.
    void WaitForEstimate() { FEstimate.WaitForEnd(); }

    // The pointer position the picker read last.
    QPoint LastMousePos() const { return FLastMousePos; }

protected:
    void keyPressEvent(QKeyEvent* event) override;

private:
    // The mirror rule of both size fields.
    void KeepProportions(TTeEdit* changed, TTeEdit* other, bool fromWidth);

    // The positions (in frames) of the sample the budget allows, with the workers for it in
    // threads; empty when not even one frame fits.
    std::vector<int> EstimateSample(const TFrameSnapshot& frames,
                                    const codecs::TGifSettings& settings, int& threads) const;
    // The same for the other file types, encoded on one worker.
    std::vector<int> AnimEstimateSample(const TFrameSnapshot& frames,
                                        const codecs::TAnimSettings& settings) const;

    TThumbnails* FThumbnails;
    QPoint FLastMousePos;
    void GifEnded(kw::TWorkOutcome outcome);

    // The estimate's work reads a few frames from a snapshot and encodes them; its result
    // reaches the label through the engine, which drops it once a newer estimate started (or
    // the window went): starting one cancels the older without waiting for it.
    kw::TLongWork FEstimate;
    kw::TLongWork FGif;
    std::optional<output::TGifJob> FJob;    // of the running GIF
    std::shared_ptr<std::int64_t> FGifSize; // its size, once written
    // The number of the last pick asked of the desktop's picker; a late answer to an older
    // one is dropped.
    int FPickNumber = 0;
};
