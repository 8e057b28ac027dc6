#include "common/kw_fonts.h"
#include "common/kw_memory.h"
#include "editor/replay.h"
#include "editor/watermark_panels.h"
#include "frames/frame_store.h"
#include "graphics/rubberband_layer.h"
#include "skin/te_controls.h"
#include "tests/editor/editor_fixture.h"

#include <QFile>
#include <QSignalSpy>
#include <QThread>

#include <atomic>

namespace {

class ReplayTest : public TEditorFixture {
protected:
    QString MarkFile() {
        QImage mark(50, 30, QImage::Format_RGB32);
        for (int y = 0; y < 30; ++y)
            for (int x = 0; x < 50; ++x)
                mark.setPixel(x, y, qRgb(5 * x, 255 - 8 * y, 128));
        return WritePicture(QStringLiteral("mark.png"), mark);
    }
};

TTextWMAction BottomRight() {
    kw::RegisterTahoma();
    TTextWMAction a;
    a.Text = QStringLiteral("Sample Text");
    a.FontName = QStringLiteral("Tahoma");
    a.FontColor = 0xB4FF0000u;
    a.Pos[PosBR] = true;
    return a;
}

// Replays on every frame of the list from the test's thread and gives the list the results,
// as the prompt does at the end of its replay.
void Replay(TThumbnails& list, const std::vector<TEditAction>& actions,
            const TReplayProgress& progress = {}, int threads = 0) {
    const TFrameSnapshot frames = list.Snapshot(TFrameChoice::All);
    const std::vector<TStoredFrame> results = ReplayActions(
        frames, list.Store().Sink(), list.Store().Folder(), actions, progress, nullptr, threads);
    list.ReplaceStoredFrames(frames, results);
}

} // namespace

// The edits made on one frame, repeated through the prompt: every frame gets what the same
// edits do to it, and the edited frame exactly what the editor showed.
TEST_F(ReplayTest, RepeatGivesEveryFrameTheEditsAndTheEditedFrameWhatTheEditorShowed) {
    Fill(4);
    ASSERT_TRUE(List.AddFrame(PatternFrame(4, QSize(400, 400), QImage::Format_RGB888)));
    TFormEditORB& e = Open(2);
    // A crop by the band, a tiled text, an image watermark half off the top, a resize undone.
    e.BtnCrop->click();
    const QPoint off = e.Image1->Offset();
    e.CropBand()->SetLocation(FloatRect(off.x() + 100, off.y() + 50, off.x() + 500, off.y() + 350));
    QTest::keyClick(&e, Qt::Key_Return);
    e.BtnAddTextWM->click();
    e.PanelTextWM->CheckBoxTile->click();
    e.PanelTextWM->BtnTextWMOK->click();
    e.BtnAddImgWM->click();
    Desktop.OpenFileAnswers = {MarkFile()};
    e.PanelImgWM->BtnOpenImgFile->click();
    const QPoint now = e.Image1->Offset();
    e.WatermarkBand()->SetLocation(
        FloatRect(now.x() + 300, now.y() - 10, now.x() + 400, now.y() + 50));
    e.PanelImgWM->BtnImgWMOK->click();
    e.PopupMenuResize_1->actions()[1]->trigger();
    e.BtnUndo->click();
    const QImage shown = e.Image1->Bitmap().ToFrame();
    const std::vector<TEditAction> actions = e.Script().ActiveActions();
    ASSERT_EQ(actions.size(), 3u);

    int highest = -1, last = -1;
    QList<int> actionsDone;
    Desktop.OnModal = [&](QDialog& dialog) {
        auto& prompt = dynamic_cast<TFormChanged&>(dialog);
        QObject::connect(prompt.TeProgressBar1, &QProgressBar::valueChanged, [&](int v) {
            highest = std::max(highest, v);
            last = v;
        });
        QObject::connect(&prompt, &TFormChanged::ActionReplayed, [&](int a) { actionsDone << a; });
        prompt.RBSaveAll->setChecked(true);
        prompt.BtnOK->click();
        EXPECT_EQ(prompt.TeProgressBar1->Max(), 4);
        EXPECT_TRUE(prompt.Replay().WaitForEnd());
        return prompt.result();
    };
    e.close();
    EXPECT_EQ(highest, 4);
    EXPECT_EQ(last, 0) << "the bar goes back to 0";
    EXPECT_EQ(actionsDone, (QList<int>{0, 1, 2}));
    EXPECT_EQ(Rgb(List.FramePicture(2)), Rgb(shown));
    for (int n = 0; n < 5; ++n) {
        const QImage stored = n < 4 ? PatternFrame(n) : PatternFrame(4, QSize(400, 400));
        TBitmap32 expected = std::get<TCropAction>(actions[0]).Apply(TBitmap32::FromFrame(stored));
        expected = std::get<TTextWMAction>(actions[1]).Apply(expected);
        const auto& mark = std::get<TImageWMAction>(actions[2]);
        expected = mark.Apply(expected, mark.LoadWatermark());
        EXPECT_EQ(Rgb(List.FramePicture(n)), Rgb(expected.Image())) << n;
    }
    // Frames keep their own layout.
    EXPECT_EQ(List.FramePicture(4).format(), QImage::Format_RGB888);
    EXPECT_EQ(List.FramePicture(0).format(), QImage::Format_RGB32);
}

TEST_F(ReplayTest, TextIsPlacedFromEachFramesSizeAndAResizeMakesEveryFrameThatSize) {
    const QRgb grey = qRgb(90, 90, 90);
    for (QSize size : {QSize(640, 480), QSize(320, 240)}) {
        QImage frame(size, QImage::Format_RGB32);
        frame.fill(grey);
        ASSERT_TRUE(List.AddFrame(frame));
    }
    Replay(List, {BottomRight()});
    const QImage big = List.FramePicture(0), small = List.FramePicture(1);
    // The same corner on both: the text 2 pixels from the right and bottom edges.
    const QRect corner(0, 0, 200, 60);
    EXPECT_EQ(big.copy(corner.translated(440, 420)), small.copy(corner.translated(120, 180)));
    EXPECT_NE(big.copy(corner.translated(440, 420)), QImage(big.copy(corner)));
    for (int i = 0; i < 2; ++i) {
        EXPECT_EQ(big.pixel(639 - i, 470), grey);
        EXPECT_EQ(big.pixel(600, 479 - i), grey);
    }

    QImage square(400, 400, QImage::Format_RGB888);
    square.fill(grey);
    ASSERT_TRUE(List.AddFrame(square));
    Replay(List, {TResizeAction{320, 240}});
    for (int n = 0; n < 3; ++n)
        EXPECT_EQ(List.FramePicture(n).size(), QSize(320, 240)) << n;
}

TEST_F(ReplayTest, AnyNumberOfThreadsGivesTheBytesOfOne) {
    TThumbnails other;
    for (int n = 0; n < 7; ++n) {
        const QImage frame = PatternFrame(n, n % 3 ? QSize(320, 240) : QSize(200, 260),
                                          n % 2 ? QImage::Format_RGB888 : QImage::Format_RGB32);
        ASSERT_TRUE(List.AddFrame(frame));
        ASSERT_TRUE(other.AddFrame(frame));
    }
    TTextWMAction tiled = BottomRight();
    tiled.Tile = true;
    const std::vector<TEditAction> actions{TCropAction{10, 20, 250, 200}, tiled,
                                           TImageWMAction{-10, 150, 120, 70, 90, MarkFile()},
                                           TResizeAction{333, 111}};
    QList<int> frames;
    Replay(List, actions, {[&](int i) { frames << i; }, {}}, 1);
    Replay(other, actions, {}, 3);
    EXPECT_EQ(frames.size(), 4 * 7);
    for (int n = 0; n < 7; ++n)
        EXPECT_EQ(List.FramePicture(n), other.FramePicture(n)) << n;
}

// A refusal leaves every frame as it was and the prompt open, so choosing again cannot apply
// the actions twice: before the replay starts, and when the store refuses a frame on the way.
TEST_F(ReplayTest, AnUnreadableFileTooLittleMemoryOrAFullStoreChangesNoFrame) {
    Fill(3);
    const QString mark = MarkFile();
    TFormEditORB& e = Open(0);
    e.PopupMenuResize_1->actions()[5]->trigger(); // 200 %
    e.BtnAddImgWM->click();
    Desktop.OpenFileAnswers = {mark};
    e.PanelImgWM->BtnOpenImgFile->click();
    e.PanelImgWM->BtnImgWMOK->click();
    ASSERT_TRUE(QFile::remove(mark));

    const kw::TDiskSpace roomy = Desktop.DiskSpace;
    const qint64 tenMB = qint64(10) << 20;
    QList<bool> accepted;
    Desktop.OnModal = [&](QDialog& dialog) {
        auto& prompt = dynamic_cast<TFormChanged&>(dialog);
        auto ok = [&] {
            prompt.BtnOK->click();
            EXPECT_TRUE(prompt.Replay().WaitForEnd());
            accepted << (prompt.result() == QDialog::Accepted);
        };
        prompt.RBSaveAll->setChecked(true);
        ok(); // the file is gone
        WritePicture(QStringLiteral("mark.png"), QImage(8, 8, QImage::Format_RGB32));
        // The working pictures of a 200 % replay (a few 1280 x 960 ones) need more than 10 MB.
        Desktop.AvailableMemory = kw::MemoryMargin(kw::SystemTotalMemory()) + tenMB;
        ok();
        // Nor do three frames of 1280 x 960 fit into 10 MB more of the store.
        Desktop.AvailableMemory = qint64(16) << 30;
        Desktop.DiskSpace.Free = StoreMargin(roomy.Total) + tenMB;
        ok();
        // With room enough at the start, the store refuses the second result on the way:
        // the replay's first question is the room for all of it, then one per result.
        std::atomic<int> asked{0};
        Desktop.DiskSpaceCall = [&](const QString&) {
            kw::TDiskSpace space = roomy;
            if (++asked > 2)
                space.Free = 0;
            return space;
        };
        ok();
        Desktop.DiskSpaceCall = nullptr;
        EXPECT_GE(asked.load(), 3);
        EXPECT_TRUE(prompt.RBSaveAll->isEnabled());
        EXPECT_FALSE(prompt.Busy());
        EXPECT_EQ(prompt.TeProgressBar1->Position(), 0);
        for (int n = 0; n < 3; ++n)
            EXPECT_EQ(List.FramePicture(n), PatternFrame(n)) << n;
        prompt.RBNotSave->setChecked(true);
        ok();
        return prompt.result();
    };
    e.close();
    EXPECT_EQ(accepted, (QList<bool>{false, false, false, false, true}));
    ASSERT_EQ(Desktop.Messages.size(), 4);
    EXPECT_EQ(Desktop.Messages[0].Caption, QStringLiteral("Framecatch"));
    EXPECT_TRUE(Desktop.Messages[0].Text.contains(mark)) << Desktop.Messages[0].Text.toStdString();
    EXPECT_EQ(Desktop.Messages[1].Text, ReplayMemoryText());
    EXPECT_EQ(Desktop.Messages[1].Icon, kw::TMsgIcon::Warning);
    EXPECT_EQ(Desktop.Messages[2].Text, ReplayStoreText());
    EXPECT_EQ(Desktop.Messages[3].Text, ReplayStoreText());
    for (int n = 0; n < 3; ++n)
        EXPECT_EQ(List.FramePicture(n), PatternFrame(n)) << n;
}

// While the replay runs the prompt keeps OK and the choices disabled, swallows its close box
// and keys, and leaves Cancel working; a Cancel leaves every frame as it was, the bar at 0 and
// the prompt open to choose again, and the replay then runs through as if never cancelled.
TEST_F(ReplayTest, CancelLeavesEveryFrameAsItWasAndThePromptOpen) {
    Fill(6);
    TFormEditORB& e = Open(1);
    e.PopupMenuResize_1->actions()[2]->trigger(); // 75 %
    // The replay's worker waits in its first store of a result until the test has looked.
    std::atomic<bool> release{false};
    std::atomic<int> waited{0};
    Desktop.DiskSpaceCall = [&](const QString&) {
        if (QThread::currentThread() != qApp->thread() && !release) {
            ++waited;
            for (int ms = 0; ms < 10000 && !release; ++ms)
                QThread::msleep(1);
        }
        return Desktop.DiskSpace;
    };
    bool cancelled = false;
    Desktop.OnModal = [&](QDialog& dialog) {
        auto& prompt = dynamic_cast<TFormChanged&>(dialog);
        prompt.RBSaveAll->setChecked(true);
        prompt.BtnOK->click();
        for (int ms = 0; ms < 10000 && waited == 0; ++ms)
            QThread::msleep(1);
        EXPECT_EQ(waited.load(), 1) << "the replay waits in its first question for room";
        EXPECT_TRUE(prompt.Busy());
        EXPECT_FALSE(prompt.BtnOK->isEnabled());
        EXPECT_FALSE(prompt.RBNotSave->isEnabled());
        EXPECT_FALSE(prompt.BtnCancel->isHidden());
        EXPECT_TRUE(prompt.BtnCancel->isEnabled());
        QTest::keyClick(&prompt, Qt::Key_Escape);
        prompt.close();
        EXPECT_EQ(prompt.result(), QDialog::Rejected);
        EXPECT_TRUE(prompt.Busy());
        prompt.BtnCancel->click();
        release = true;
        EXPECT_TRUE(prompt.Replay().WaitForEnd());
        cancelled = prompt.result() != QDialog::Accepted;
        EXPECT_FALSE(prompt.Busy());
        EXPECT_TRUE(prompt.BtnOK->isEnabled());
        EXPECT_TRUE(prompt.RBNotSave->isEnabled());
        EXPECT_TRUE(prompt.BtnCancel->isHidden());
        EXPECT_EQ(prompt.TeProgressBar1->Position(), 0);
        for (int n = 0; n < 6; ++n)
            EXPECT_EQ(List.FramePicture(n), PatternFrame(n)) << n;
        prompt.BtnOK->click();
        EXPECT_TRUE(prompt.Replay().WaitForEnd());
        return prompt.result();
    };
    e.close();
    Desktop.DiskSpaceCall = nullptr;
    EXPECT_TRUE(cancelled);
    EXPECT_TRUE(Desktop.Messages.isEmpty());
    for (int n = 0; n < 6; ++n)
        EXPECT_EQ(Rgb(List.FramePicture(n)),
                  Rgb(TResizeAction{480, 360}.Apply(TBitmap32::FromFrame(PatternFrame(n))).Image()))
            << n;
}
