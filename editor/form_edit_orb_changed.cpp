#include "editor/form_edit_orb_changed.h"

#include "common/kw_dialogs.h"
#include "common/kw_guard.h"
#include "controls/kw_line_panel.h"
#include "editor/form_edit_orb.h"
#include "editor/replay.h"
#include "frames/frame_store.h"
#include "frames/thumbnails.h"
#include "graphics/image32.h"
#include "skin/settings_panel.h"
#include "skin/te_controls.h"

#include <QApplication>
#include <QCloseEvent>
#include <QLabel>

#include <algorithm>
#include <utility>

TFormChanged::TFormChanged(QWidget* owner, TFormEditORB& editor) : QDialog(owner), FEditor(editor) {
    setObjectName(QStringLiteral("FormChanged"));
    skin::DressSettingsWindow(this, QStringLiteral("Save"), QSize(367, 159), aqua::PanelLight);
    Panel = skin::MakeSettingsPanel(this, "Panel", aqua::PanelLight, 2);
    Panel->setGeometry(3, 3, 361, 137);

    LabelPosition = skin::MakeSettingsLabel(
        Panel, QStringLiteral("The current image has been modified,  save changes?  "), 16, 12,
        true);
    LabelPosition->setObjectName(QStringLiteral("LabelPosition"));
    RBSave =
        skin::MakeSettingsRadio(Panel, "RBSave", QStringLiteral("Yes, save it"), QPoint(32, 34));
    RBSaveAll = skin::MakeSettingsRadio(
        Panel, "RBSaveAll",
        QStringLiteral("Repeat the same editing actions for each captured frames"), QPoint(32, 54));
    RBNotSave =
        skin::MakeSettingsRadio(Panel, "RBNotSave", QStringLiteral("Don't save"), QPoint(32, 74));
    RBSave->setChecked(true);
    BtnOK = skin::MakeSettingsButton(Panel, "BtnOK", QStringLiteral("OK"), QRect(143, 101, 75, 25));
    connect(BtnOK, &QPushButton::clicked, this, kw::Guard([this] { BtnOKClick(); }));
    BtnCancel = skin::MakeSettingsButton(Panel, "BtnCancel", QStringLiteral("Cancel"),
                                         QRect(232, 101, 75, 25));
    BtnCancel->hide();
    connect(BtnCancel, &QPushButton::clicked, this, kw::Guard([this] { BtnCancelClick(); }));
    connect(&FReplay, &kw::TLongWork::Ended, this,
            [this](kw::TWorkOutcome outcome) { kw::Guarded([&] { ReplayEnded(outcome); }); });

    TeProgressBar1 = new TTeProgressBar(this);
    TeProgressBar1->setObjectName(QStringLiteral("TeProgressBar1"));
    TeProgressBar1->setGeometry(0, 143, 367, 16);
    TeProgressBar1->SetPosition(0);
}

void TFormChanged::BtnOKClick() {
    if (Busy())
        return;
    if (RBSaveAll->isChecked()) {
        ReplayOnEveryFrame();
        return;
    }
    if (RBSave->isChecked() && !SaveShownPicture())
        return;
    accept();
}

void TFormChanged::BtnCancelClick() {
    FReplay.Cancel();
}

// Only the frame the editor is on now changes; the script is not used.
bool TFormChanged::SaveShownPicture() {
    TThumbnails* list = FEditor.Thumbnails();
    if (!list)
        return true;
    if (!list->ReplaceFramePicture(FEditor.FrameIndex(), FEditor.Image1->Bitmap().ToFrame())) {
        ShowStoreFullWarning(this);
        return false;
    }
    list->SyncJournal(); // the edit is on disk before the editor moves on
    return true;
}

// The frames receive the actions from their stored pictures; the picture shown in the editor
// is not written back. The replay's thread sees only the snapshot, the store's sink and the
// actions, all taken here; the list is touched again only in ReplayEnded, on this thread.
void TFormChanged::ReplayOnEveryFrame() {
    TThumbnails* list = FEditor.Thumbnails();
    if (!list) {
        accept();
        return;
    }
    FReplayFrames = list->Snapshot(TFrameChoice::All);
    FReplayResults = std::make_shared<std::vector<TStoredFrame>>();
    kw::TBusySpec busy;
    busy.Window = this;
    busy.Disable = {BtnOK, RBSave, RBSaveAll, RBNotSave};
    busy.Cancel = BtnCancel;
    busy.Bar = TeProgressBar1;
    busy.Count = FReplayFrames.Count();
    BtnCancel->show();
    const TFrameSnapshot frames = FReplayFrames;
    const TFrameSink sink = list->Store().Sink();
    const QString folder = list->Store().Folder();
    const std::vector<TEditAction> actions = FEditor.Script().ActiveActions();
    const int threads = ReplayThreads;
    FReplay.Start(
        [this, frames, sink, folder, actions, threads, results = FReplayResults](kw::TJob& job) {
            TReplayProgress progress;
            progress.FrameDone = [&job](int frame) { job.Progress(frame); };
            // A post runs only while the handle, a member of this prompt, is there.
            progress.ActionDone = [&job, this](int action) {
                job.Post([this, action] { emit ActionReplayed(action); });
            };
            *results =
                ReplayActions(frames, sink, folder, actions, progress, &job.CancelFlag(), threads);
        },
        busy);
}

void TFormChanged::ReplayEnded(kw::TWorkOutcome outcome) {
    BtnCancel->hide();
    const TFrameSnapshot frames = std::exchange(FReplayFrames, TFrameSnapshot());
    const std::shared_ptr<std::vector<TStoredFrame>> results = std::move(FReplayResults);
    switch (outcome) {
    case kw::TWorkOutcome::Done:
        if (TThumbnails* list = FEditor.Thumbnails())
            list->ReplaceStoredFrames(frames, *results);
        accept();
        return;
    case kw::TWorkOutcome::Cancelled:
        return;
    case kw::TWorkOutcome::Failed:
        try {
            std::rethrow_exception(FReplay.Error());
        } catch (const EReplayRefused& e) {
            kw::WarningBox(this, QStringLiteral("Warning"), e.Message());
            return;
        } catch (...) {
        }
        FReplay.ShowError();
        return;
    }
}

void TFormChanged::reject() {
    if (!Busy())
        QDialog::reject();
}

void TFormChanged::closeEvent(QCloseEvent* event) {
    if (Busy())
        event->ignore();
    else
        QDialog::closeEvent(event);
}
