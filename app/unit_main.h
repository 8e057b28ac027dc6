#pragma once
// The main window: the video preview with its open/play/pause buttons and seek bar, the column
// of large buttons, the frame list and its two output buttons, and the status line.

#include <QWidget>

class QLabel;
class TKWImgBtn;
class TKWImgPanel;
class TKWLinePanel;
class TTeSplitter;

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

    // Handlers, public so that tests can drive them as the controls would.
    void PanelLeftResize();
    void PanelVideoResize();
    void BtnHelpClick();
    void BtnAboutClick();
    void BtnOptionsClick();
    void BtnOpenMouseLeave();

    // Components, named as the layout names them.
    TKWLinePanel* PanelStatusbar = nullptr;
    QLabel* LabelStatusbar = nullptr;
    TKWLinePanel* PanelLeft = nullptr;
    TKWLinePanel* PanelVideo = nullptr;
    QWidget* VideoWindow = nullptr;
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

protected:
    void showEvent(QShowEvent* event) override;

private:
    void CreateComponents();
    void ConnectHints();
    void HintOnEnter(TKWImgBtn* button, const QString& text);
    QString SnapHint() const;

    // The resize rules react to sizes the user changes, not to the first layout of the window.
    bool FLayoutReady = false;
};
