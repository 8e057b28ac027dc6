#pragma once
// The main window: the video preview with its open/play/pause buttons and seek bar, the column
// of large buttons, the frame list and its two output buttons, and the status line.

#include <QEvent>
#include <QPointer>
#include <QTimer>
#include <QWidget>

#include <cstdint>

class QLabel;
class TFilterGraph;
class TThumbnails;
class TTeDSTrackBar;
class TVideoWindow;
class TKWImgBtn;
class TKWImgPanel;
class TKWLinePanel;
class TTeSplitter;

// The request for one grab, posted to the main window by the snapshot button and by the
// capture timer; the grab happens when the event is taken from the queue.
constexpr QEvent::Type WM_GRABFRAME = QEvent::Type(QEvent::User + 0x3E8);

// The open-video dialog's filter.
extern const char* const OpenVideoFilter;

class TFormMain : public QWidget {
    Q_OBJECT
public:
    explicit TFormMain(QWidget* parent = nullptr);
    ~TFormMain() override;

    // The status line: while continuous capture is on it keeps the capture text whatever is
    // asked for, and ClearStatus leaves it alone.
    void ShowStatus(const QString& text);
    void ClearStatus();
    QString StatusText() const;

    void ShowPauseButton();
    void ShowPlayButton();
    // Play or Pause visible by the graph's actual state.
    void UpdatePlayButtons();

    // Handlers, public so that tests can drive them as the controls would.
    void PanelLeftResize();
    void PanelVideoResize();
    void BtnHelpClick();
    void BtnAboutClick();
    void BtnOptionsClick();
    void BtnOpenMouseLeave();
    void BtnOpenClick();
    void CustomItemOpenFileClick();
    void BtnPlayClick();
    void BtnPauseClick();
    void BtnSnapOClick();
    void BtnSnapClick();
    void CaptureTimerTimer();
    void WMGrabFrame();
    void ProbeFrameSize();
    void BtnSaveGIFClick();
    void BtnSaveThumbClick();
    // "Export ..." in the frame menu.
    void ThumbnailsExportRequested();
    void FilterGraph1DSEvent(QObject* sender, int code, std::intptr_t param1, std::intptr_t param2);
    // One wheel event anywhere in the window: one line of the frame list.
    void FormMouseWheel(int delta);
    // Resets and deactivates the graph; closing is never refused.
    void FormCloseQuery();

    // Components, named as the layout names them.
    TKWLinePanel* PanelStatusbar = nullptr;
    QLabel* LabelStatusbar = nullptr;
    TKWLinePanel* PanelLeft = nullptr;
    TKWLinePanel* PanelVideo = nullptr;
    TVideoWindow* VideoWindow = nullptr;
    TKWLinePanel* PanelBtn = nullptr;
    TKWImgPanel* PanelVideoControl = nullptr;
    TKWImgBtn* BtnOpen = nullptr;
    TKWImgBtn* BtnPlay = nullptr;
    TKWImgBtn* BtnPause = nullptr;
    TKWImgBtn* BtnSnapO = nullptr;
    TKWImgBtn* BtnSnap = nullptr;
    TKWImgBtn* BtnOptions = nullptr;
    TKWImgBtn* BtnHelp = nullptr;
    TKWImgBtn* BtnAbout = nullptr;
    TTeSplitter* TeSplitter = nullptr;
    TKWLinePanel* PanelMain = nullptr;
    TKWLinePanel* panel_thumbs = nullptr;
    TKWLinePanel* panel_action = nullptr;
    TKWImgBtn* BtnSaveGIF = nullptr;
    TKWImgBtn* BtnSaveThumb = nullptr;
    TFilterGraph* FilterGraph1 = nullptr;
    TTeDSTrackBar* TeDSTrackBar = nullptr;
    TThumbnails* Thumbnails = nullptr;
    QTimer CaptureTimer;

    // True while the "Capture Failure!" box is on screen.
    bool CaptureFailureShown = false;

protected:
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    bool event(QEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void CreateComponents();
    void TeForm1Create();
    // Writes the picture on display into ScratchStream and decodes it into ScratchBitmap;
    // false when the player has no picture to give.
    bool GrabToScratch(QString* reason = nullptr);
    // Ends continuous capture: the button pops up and the timer stops.
    void StopContinuousCapture();
    bool BeforeOutputDialog();
    void ConnectHints();
    void HintOnEnter(TKWImgBtn* button, const QString& text);
    QString SnapHint() const;

    // The resize rules react to sizes the user changes, not to the first layout of the window.
    bool FLayoutReady = false;
    const QEvent* FLastWheel = nullptr;
    QPointer<QWidget> FLastWheelTarget;
};
