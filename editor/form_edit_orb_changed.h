#pragma once
// The save prompt of the frame editor, shown as the editor closes or steps away from a frame
// with at least one active edit: "Yes, save it" writes the shown picture into the frame the
// editor is on; "Repeat the same editing actions for each captured frames" replays the edit
// script on every frame, the progress bar running over the frames once per action; "Don't
// save" keeps nothing. OK accepts the prompt; its close box rejects it, which at closing keeps
// nothing and at a step stays on the frame with its edits.
//
// The replay runs on the long-work engine: the prompt stays responsive, its choices and OK
// are disabled, its close box and keys do nothing, and a "Cancel" button beside OK stops it.
// The frames change only when the last action is done on the last frame, all at once, and the
// prompt then closes. After a Cancel or a refusal (a watermark's file that cannot be read, too
// little memory or room in the frame store) the prompt stays open with no frame changed, so
// the user can choose again.

#include "common/long_work.h"
#include "frames/frame_snapshot.h"

#include <QDialog>

#include <memory>
#include <vector>

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
    // Stops a running replay.
    void BtnCancelClick();
    // True while the replay runs: the prompt takes no input and does not close.
    bool Busy() const { return FReplay.Running(); }
    // The replay's work, for tests and benchmarks that wait for its end.
    kw::TLongWork& Replay() { return FReplay; }

    TKWLinePanel* Panel = nullptr;
    QLabel* LabelPosition = nullptr;
    TTeRadioButton* RBSave = nullptr;
    TTeRadioButton* RBSaveAll = nullptr;
    TTeRadioButton* RBNotSave = nullptr;
    TTeButton* BtnOK = nullptr;
    TTeButton* BtnCancel = nullptr; // shown while the replay runs
    TTeProgressBar* TeProgressBar1 = nullptr;
    // Worker threads of the replay; 0 or less: every core.
    int ReplayThreads = 0;

signals:
    // On the GUI thread, as the replay goes: action number `action` is done on every frame
    // (the frames themselves change only at the end).
    void ActionReplayed(int action);

public slots:
    void reject() override;

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    // True when done, false when refused (and the prompt stays open).
    bool SaveShownPicture();
    // Starts the replay; ReplayEnded takes its results or its refusal.
    void ReplayOnEveryFrame();
    void ReplayEnded(kw::TWorkOutcome outcome);

    TFormEditORB& FEditor;
    kw::TLongWork FReplay;
    // The frames the running replay started from, and its results once it is done.
    TFrameSnapshot FReplayFrames;
    std::shared_ptr<std::vector<TStoredFrame>> FReplayResults;
};
