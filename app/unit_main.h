#pragma once
// The main window: the video preview with its open/play/pause buttons and seek bar, the column
// of large buttons, the frame list and its two output buttons, and the status line.

#include "frames/frame_source.h" // MediaTimeText
#include "output/thumb_sheet.h"

#include <QEvent>
#include <QPointer>
#include <QStringList>
#include <QTimer>
#include <QWidget>

#include <cstdint>
#include <optional>

class QDragEnterEvent;
class QDragMoveEvent;
class QDropEvent;

class QLabel;
class TFilterGraph;
class TFrameRecovery;
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

// What a list of dropped files is: one video (by the open dialog's extensions), pictures
// only (by the picture reader's extensions), or neither.
enum class TDropKind { None, Video, Pictures };
TDropKind DropKindOf(const QStringList& paths);

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
    // The frames of a program that closed unexpectedly: asks whether to restore them (Yes
    // adds them in order to the frame list, as unwritten frames) and then removes the dead
    // program's files either way, unless the frame store filled up on the way: the frames
    // not restored then stay for the next start. Nothing is asked when no frame can be
    // restored.
    void OfferRestore(TFrameRecovery& recovery);

    // Handlers, public so that tests can drive them as the controls would.
    void PanelLeftResize();
    void PanelVideoResize();
    void BtnHelpClick();
    void BtnAboutClick();
    void BtnOptionsClick();
    void BtnOpenMouseLeave();
    void BtnOpenClick();
    void CustomItemOpenFileClick();
    // Opens a video as the open dialog does once a file is chosen: LastVideoDir and
    // VideoFileName, the graph, playback and the frame size. A file without a video stream
    // is refused with a warning; a file that cannot be opened leaves the preview black, the
    // seek bar at 0 and the play button showing, and raises the player's error.
    void OpenVideoFile(const QString& path);
    // Space: play or pause; Left/Right (where the frame list does not take them) and "," /
    // "." (wherever the focus is): one frame back or forward while paused; I and O: the in
    // and out marks at the picture on display; Ctrl+O: open; Ctrl+R: "Capture Frames ...";
    // F1: help. False for other keys and while a text field has the focus.
    bool FormKeyDown(int key, Qt::KeyboardModifiers modifiers);
    // The in and out marks in milliseconds of the open video (-1: none), shown on the seek
    // bar; a new video clears them. Setting one on the wrong side of the other clears that.
    void SetMarks(std::int64_t inMs, std::int64_t outMs);
    std::int64_t InMark() const { return FInMs; }
    std::int64_t OutMark() const { return FOutMs; }
    // The time readout: position and duration of the open video, or the seek bar's place
    // while it is dragged; empty without a video.
    void UpdateTimeText();
    QLabel* LabelTime = nullptr;
    // The smallest window that still shows the five large buttons under the preview and one
    // whole column of tiles beside the left panel, never below the layout's 789 x 578.
    void UpdateMinimumSize();
    // Frames that no output has written since they changed: asks whether to quit and lose
    // them; true when the window may close.
    bool FormCanClose();
    // Closes without the question (the system asked the program to end).
    void CloseWithoutAsking();
    void BtnPlayClick();
    void BtnPauseClick();
    void BtnSnapOClick();
    void BtnSnapClick();
    void CaptureTimerTimer();
    void WMGrabFrame();
    void ProbeFrameSize();
    // The arrow on CONTINUOUS SNAPSHOT and Ctrl+R: the "Capture Frames ..." window for the
    // open video (playback pauses first).
    void BtnCaptureRangeClick();
    void BtnSaveGIFClick();
    void BtnSaveThumbClick();
    // After the sheet window wrote a sheet: the status line says how many of the chosen frames
    // did not fit on it (rows x columns cells); it is cleared when all of them did.
    void SheetWritten(int leftOut, int rows, int columns);
    // The open video's facts for a sheet's header; none without a video.
    std::optional<output::TSheetVideo> SheetVideo() const;
    // "Export ..." in the frame menu.
    void ThumbnailsExportRequested();
    void FilterGraph1DSEvent(QObject* sender, int code, std::intptr_t param1, std::intptr_t param2);
    // One wheel event anywhere in the window: one line of the frame list.
    void FormMouseWheel(int delta);
    // Resets and deactivates the graph (once FormCanClose agreed).
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
    TKWImgBtn* BtnCaptureRange = nullptr; // over the right end of BtnSnap
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
    void keyPressEvent(QKeyEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dragMoveEvent(QDragMoveEvent* event) override;
    void dropEvent(QDropEvent* event) override;

private:
    void CreateComponents();
    void TeForm1Create();
    // Writes the picture on display into ScratchStream and decodes it into ScratchBitmap;
    // false when the player has no picture to give.
    bool GrabToScratch(QString* reason = nullptr);
    // The video file and the time of the picture on display, for a grabbed frame.
    TFrameSource GrabbedFrom() const;
    // Ends continuous capture: the button pops up and the timer stops.
    void StopContinuousCapture();
    bool BeforeOutputDialog();
    void ConnectHints();
    void HintOnEnter(TKWImgBtn* button, const QString& text);
    QString SnapHint() const;

    // The resize rules react to sizes the user changes, not to the first layout of the window.
    bool FLayoutReady = false;
    bool FCloseWithoutAsking = false;
    // Whether a drop of these files at this point (window coordinates) is taken.
    bool AcceptsDrop(const QStringList& paths, QPoint at) const;
    QTimer FTimeTimer;
    std::int64_t FInMs = -1, FOutMs = -1;
    QString FVideoPath;
    const QEvent* FLastWheel = nullptr;
    QPointer<QWidget> FLastWheelTarget;
};
