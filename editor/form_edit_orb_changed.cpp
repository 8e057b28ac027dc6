#include "editor/form_edit_orb_changed.h"

#include "common/kw_dialogs.h"
#include "common/kw_fonts.h"
#include "common/kw_guard.h"
#include "controls/kw_line_panel.h"
#include "editor/form_edit_orb.h"
#include "editor/replay.h"
#include "frames/frame_store.h"
#include "frames/thumbnails.h"
#include "graphics/image32.h"
#include "skin/aqua.h"
#include "skin/te_controls.h"

#include <QApplication>
#include <QCloseEvent>
#include <QElapsedTimer>
#include <QLabel>

#include <algorithm>
#include <array>

// While the replay runs: the hourglass, and OK and the choices disabled, so that nothing the
// user does while the window repaints starts anything; the prompt ignores closing meanwhile.
// Everything is put back when the scope ends, whether the replay finished or failed.
class TReplayBusy {
public:
    explicit TReplayBusy(TFormChanged& prompt) : FPrompt(prompt) {
        FPrompt.FBusy = true;
        QApplication::setOverrideCursor(Qt::WaitCursor);
        for (QWidget* w : Controls())
            w->setEnabled(false);
    }
    ~TReplayBusy() {
        for (QWidget* w : Controls())
            w->setEnabled(true);
        QApplication::restoreOverrideCursor();
        FPrompt.FBusy = false;
    }
    TReplayBusy(const TReplayBusy&) = delete;
    TReplayBusy& operator=(const TReplayBusy&) = delete;

private:
    std::array<QWidget*, 4> Controls() const {
        return {FPrompt.BtnOK, FPrompt.RBSave, FPrompt.RBSaveAll, FPrompt.RBNotSave};
    }
    TFormChanged& FPrompt;
};

namespace {

// How often the window repaints while the replay runs.
constexpr int PumpMs = 15;

TTeRadioButton* MakeRadio(QWidget* parent, const char* name, const QString& text, int top) {
    auto* radio = new TTeRadioButton(text, parent);
    radio->setObjectName(QLatin1String(name));
    radio->setStyleSheet(QStringLiteral("color: #FFFFFF; background: transparent;"));
    radio->move(32, top);
    radio->adjustSize();
    return radio;
}

} // namespace

TFormChanged::TFormChanged(QWidget* owner, TFormEditORB& editor) : QDialog(owner), FEditor(editor) {
    setObjectName(QStringLiteral("FormChanged"));
    setWindowTitle(QStringLiteral("Save"));
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                   Qt::WindowCloseButtonHint);
    setFont(kw::Tahoma(8));
    setAutoFillBackground(true);
    QPalette pal = palette();
    pal.setColor(QPalette::Window, QColor(aqua::PanelLight));
    setPalette(pal);
    setFixedSize(367, 159);

    Panel = new TKWLinePanel(this);
    Panel->setObjectName(QStringLiteral("Panel"));
    Panel->SetColor(QColor(aqua::PanelLight));
    Panel->SetBorderWidth(2);
    Panel->SetBorderColor1(QColor(aqua::BorderLight));
    Panel->SetBorderColor2(Qt::black);
    Panel->SetBorderColor3(Qt::black);
    Panel->setGeometry(3, 3, 361, 137);

    LabelPosition =
        new QLabel(QStringLiteral("The current image has been modified,  save changes?  "), Panel);
    LabelPosition->setObjectName(QStringLiteral("LabelPosition"));
    LabelPosition->setStyleSheet(
        QStringLiteral("color: #FFFFFF; font-weight: bold; background: transparent;"));
    LabelPosition->move(16, 12);
    LabelPosition->adjustSize();
    RBSave = MakeRadio(Panel, "RBSave", QStringLiteral("Yes, save it"), 34);
    RBSaveAll =
        MakeRadio(Panel, "RBSaveAll",
                  QStringLiteral("Repeat the same editing actions for each captured frames"), 54);
    RBNotSave = MakeRadio(Panel, "RBNotSave", QStringLiteral("Don't save"), 74);
    RBSave->setChecked(true);
    BtnOK = new TTeButton(QStringLiteral("OK"), Panel);
    BtnOK->setObjectName(QStringLiteral("BtnOK"));
    BtnOK->setGeometry(143, 101, 75, 25);
    BtnOK->setAutoDefault(false);
    connect(BtnOK, &QPushButton::clicked, this, kw::Guard([this] { BtnOKClick(); }));

    TeProgressBar1 = new TTeProgressBar(this);
    TeProgressBar1->setObjectName(QStringLiteral("TeProgressBar1"));
    TeProgressBar1->setGeometry(0, 143, 367, 16);
    TeProgressBar1->SetPosition(0);
}

void TFormChanged::BtnOKClick() {
    if (FBusy)
        return;
    bool done = true;
    if (RBSave->isChecked())
        done = SaveShownPicture();
    else if (RBSaveAll->isChecked())
        done = ReplayOnEveryFrame();
    if (done)
        accept();
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
// is not written back. A file that cannot be read is reported by the error box this click's
// guard shows; too little memory or room in the frame store by a warning. Either way no frame
// has changed then. Should the store refuse a frame half way, the repeat is no longer offered,
// since pressing OK again would repeat the actions on frames that already carry some of them.
bool TFormChanged::ReplayOnEveryFrame() {
    TThumbnails* list = FEditor.Thumbnails();
    if (!list)
        return true;
    int framesDone = 0;
    try {
        TReplayBusy busy(*this);
        QElapsedTimer pumped;
        pumped.start();
        TReplayProgress progress;
        progress.ActionBegins = [this](int frames) {
            TeProgressBar1->reset();
            TeProgressBar1->SetMin(0);
            TeProgressBar1->SetMax(std::max(frames - 1, 0));
        };
        progress.FrameDone = [&](int frame) {
            ++framesDone;
            TeProgressBar1->SetPosition(frame);
            if (pumped.elapsed() >= PumpMs) {
                QCoreApplication::processEvents();
                pumped.restart();
            }
        };
        ReplayActions(*list, FEditor.Script().ActiveActions(), progress, ReplayThreads);
    } catch (const EReplayRefused& e) {
        if (framesDone > 0) {
            RBSaveAll->setEnabled(false);
            RBNotSave->setChecked(true);
        }
        kw::WarningBox(this, QStringLiteral("Warning"), e.Message());
        return false;
    }
    return true;
}

void TFormChanged::reject() {
    if (!FBusy)
        QDialog::reject();
}

void TFormChanged::closeEvent(QCloseEvent* event) {
    if (FBusy)
        event->ignore();
    else
        QDialog::closeEvent(event);
}
