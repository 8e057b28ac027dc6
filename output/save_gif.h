#pragma once
// The animated GIF: the window that collects size, delay, loops, colour settings and the file
// name (with its colour picker), SaveAsGIF, which builds and writes the file, and
// WriteGIFPreviewPage, which writes the HTML page of the animation and offers to open it.

#include "codecs/gif_codec.h"
#include "frames/frame_snapshot.h"
#include "output/output_window.h"

#include <QPoint>
#include <QTimer>

#include <atomic>
#include <cstdint>
#include <thread>
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

// The GIF of the chosen frames (all in position order, or the selected ones in selection
// order) at settings.Width x settings.Height: "No images found." when there are none; else
// every frame stretched to that size where it differs and added with the progress bar moving,
// the file written (replacing one), its size measured, and the preview page written and
// offered. Errors (a size outside 1..65535, a file that cannot be written) are thrown before
// the page is made. Message boxes belong to the progress bar's window.
void SaveAsGIF(TThumbnails& thumbnails, const QString& path, bool allFrames,
               const codecs::TGifSettings& settings, TTeProgressBar* progressBar);

// Writes GIF-Preview.html into the private scratch folder from the template of the export window
// (loops as the user entered them), then asks "Complete": OK opens the page with the desktop.
// A page that cannot be written throws, and nothing is asked.
void WriteGIFPreviewPage(const QString& gifPath, int width, int height, int loops, int frameCount,
                         const QString& sizeText, QWidget* owner);

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
    // The colour picker: checking the box (or clicking the panel while it is checked) makes
    // the panel follow the screen pixel under the pointer at every tick; F12 holds the colour;
    // unchecking puts silver back.
    void CheckBoxTransColorClick();
    void PanelTransColorClick();
    void TimerColorPickerTimer();
    // F12 while the box is checked: stops the picker and says the key was used.
    bool FormShortCut(int key);
    // Save dialog (in LastGIFDir), ".gif" ensured, the four number fields converted, then
    // SaveAsGIF. The window stays open.
    void Btn_SaveClick();
    void Btn_CancelClick();
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
    QTimer TimerColorPicker;
    QTimer EstimateTimer; // single shot, after the last change

    // The settings of the fields as SaveAsGIF gets them; throws for a field that is not a
    // number.
    codecs::TGifSettings Settings() const;
    // Waits for a running estimate; for tests.
    void WaitForEstimate();

    // The pointer position the picker read last.
    QPoint LastMousePos() const { return FLastMousePos; }

protected:
    void keyPressEvent(QKeyEvent* event) override;

private:
    // The mirror rule of both size fields.
    void KeepProportions(TTeEdit* changed, TTeEdit* other, bool fromWidth);

    void StopEstimate();
    // The positions (in frames) of the sample the budget allows, with the workers for it in
    // threads; empty when not even one frame fits.
    std::vector<int> EstimateSample(const TFrameSnapshot& frames,
                                    const codecs::TGifSettings& settings, int& threads) const;

    TThumbnails* FThumbnails;
    QPoint FLastMousePos;
    // The estimate's worker reads a few frames from a snapshot and encodes them, and hands
    // its result to the GUI thread through a queued call, which carries the number of the
    // estimate so that a result overtaken by a newer change is dropped. The window stops and
    // joins the worker before it goes, so the queued call never outlives it.
    std::thread FEstimateThread;
    std::atomic<bool> FEstimateCancel{false};
    int FEstimateNumber = 0;
};
