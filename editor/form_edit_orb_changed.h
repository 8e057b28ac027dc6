#pragma once
// The save prompt of the frame editor, shown as the editor closes or steps away from a frame
// with at least one active edit: "Yes, save it" writes the shown picture into the frame the
// editor is on; "Repeat the same editing actions for each captured frames" replays the edit
// script on every frame, the progress bar running over the frames once per action; "Don't
// save" keeps nothing. OK accepts the prompt; its close box rejects it, which at closing keeps
// nothing and at a step stays on the frame with its edits. After a refusal (a watermark's file that
// cannot be read, too little memory or room in the frame store) the prompt stays open with no frame
// changed, so the user can choose again.

#include <QDialog>

class QLabel;
class TFormEditORB;
class TKWLinePanel;
class TTeButton;
class TTeProgressBar;
class TTeRadioButton;

class TFormChanged : public QDialog {
    Q_OBJECT
public:
    TFormChanged(QWidget* owner, TFormEditORB& editor);

    void BtnOKClick();
    // True while the replay runs: the prompt takes no input and does not close.
    bool Busy() const { return FBusy; }

    TKWLinePanel* Panel = nullptr;
    QLabel* LabelPosition = nullptr;
    TTeRadioButton* RBSave = nullptr;
    TTeRadioButton* RBSaveAll = nullptr;
    TTeRadioButton* RBNotSave = nullptr;
    TTeButton* BtnOK = nullptr;
    TTeProgressBar* TeProgressBar1 = nullptr;
    // Worker threads of the replay; 0 or less: every core.
    int ReplayThreads = 0;

public slots:
    void reject() override;

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    friend class TReplayBusy;
    // Each true when done, false when refused (and the prompt stays open).
    bool SaveShownPicture();
    bool ReplayOnEveryFrame();

    TFormEditORB& FEditor;
    bool FBusy = false;
};
