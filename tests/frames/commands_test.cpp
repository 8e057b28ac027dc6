#include "codecs/picture_reader.h"
#include "common/kw_dialogs.h"
#include "common/kw_memory.h"
#include "tests/frames/frames_fixture.h"

#include <QAction>
#include <QContextMenuEvent>
#include <QFile>
#include <QScrollBar>
#include <QSignalSpy>
#include <QTemporaryDir>

using Commands = TFramesTest;
using Order10 = std::vector<int>;

TEST_F(Commands, MenuHasTheItemsSeparatorsAndShortcutsInOrder) {
    const QList<QAction*> actions = List.PopMenu()->actions();
    const QStringList expected = {"Edit",
                                  "-",
                                  "Delete Selected",
                                  "-",
                                  "Move Backward",
                                  "Move Forward",
                                  "Move to First",
                                  "Move to Last",
                                  "-",
                                  "Insert External Images ...",
                                  "-",
                                  "Export ..."};
    ASSERT_EQ(actions.size(), expected.size());
    for (int i = 0; i < actions.size(); ++i) {
        EXPECT_EQ(actions[i]->isSeparator() ? QStringLiteral("-") : actions[i]->text(),
                  expected[i]);
        EXPECT_TRUE(actions[i]->isEnabled());
        EXPECT_FALSE(actions[i]->isCheckable());
    }
    const TThumbPopMenu* m = List.PopMenu();
    EXPECT_EQ(m->ItemDeleteSelected->shortcut(), QKeySequence(Qt::Key_Delete));
    EXPECT_EQ(m->ItemMoveBackward->shortcut(), QKeySequence(Qt::CTRL | Qt::Key_Left));
    EXPECT_EQ(m->ItemMoveForward->shortcut(), QKeySequence(Qt::CTRL | Qt::Key_Right));
    EXPECT_EQ(m->ItemMoveToFirst->shortcut(), QKeySequence(Qt::CTRL | Qt::Key_Home));
    EXPECT_EQ(m->ItemMoveToLast->shortcut(), QKeySequence(Qt::CTRL | Qt::Key_End));
    for (QAction* a : {m->ItemEdit, m->ItemInsertImages, m->ItemExport})
        EXPECT_TRUE(a->shortcut().isEmpty());
}

TEST_F(Commands, MoveToFirstAndLastKeepTheSelectionOrder) {
    Fill(10);
    Select({3, 5});
    List.MoveToFirstClick();
    EXPECT_EQ(Order(), (Order10{3, 5, 0, 1, 2, 4, 6, 7, 8, 9}));
    List.MoveToLastClick();
    EXPECT_EQ(Order(), (Order10{0, 1, 2, 4, 6, 7, 8, 9, 3, 5}));
    EXPECT_EQ(Selection(), (Order10{3, 5}));
    EXPECT_EQ(List.verticalScrollBar()->value(), List.verticalScrollBar()->maximum());
    // The tiles stand in their new places: t3 at position 8.
    EXPECT_EQ(Pos(3), QPoint(325, 192));
}

TEST_F(Commands, MoveBackwardStepsInSelectionOrder) {
    Fill(10);
    Select({3, 4});
    List.MoveBackwardClick();
    EXPECT_EQ(Order(), (Order10{0, 1, 3, 4, 2, 5, 6, 7, 8, 9}));
    EXPECT_EQ(Pos(3), QPoint(325, 10));

    List.ClearSelection();
    Reset();
    ASSERT_EQ(Order(), (Order10{0, 1, 2, 3, 4, 5, 6, 7, 8, 9}));

    Select({0, 1});
    List.MoveBackwardClick(); // t0 stays, t1 steps in front of it
    EXPECT_EQ(Order(), (Order10{1, 0, 2, 3, 4, 5, 6, 7, 8, 9}));
    List.ClearSelection();
    Reset();

    Select({1, 0}); // the opposite order exchanges twice: no change
    List.MoveBackwardClick();
    EXPECT_EQ(Order(), (Order10{0, 1, 2, 3, 4, 5, 6, 7, 8, 9}));
    List.ClearSelection();

    Click(5);
    Click(2, Qt::ShiftModifier);
    ASSERT_EQ(Selection(), (Order10{5, 2, 3, 4}));
    List.MoveBackwardClick();
    EXPECT_EQ(Order(), (Order10{0, 2, 3, 1, 4, 5, 6, 7, 8, 9}));
}

TEST_F(Commands, MoveForwardIsTheMirrorImage) {
    Fill(10);
    Select({3, 4});
    List.MoveForwardClick();
    EXPECT_EQ(Order(), (Order10{0, 1, 2, 5, 3, 4, 6, 7, 8, 9}));
    List.ClearSelection();
    Reset();
    Select({9});
    List.MoveForwardClick(); // already last: stays
    EXPECT_EQ(Order(), (Order10{0, 1, 2, 3, 4, 5, 6, 7, 8, 9}));
    List.ClearSelection();
    Select({8, 9});
    List.MoveForwardClick();
    EXPECT_EQ(Order(), (Order10{0, 1, 2, 3, 4, 5, 6, 7, 9, 8}));
}

TEST_F(Commands, EmptySelectionMovesNothingButStillScrolls) {
    Fill(60);
    QApplication::processEvents();
    List.MoveToFirstClick();
    EXPECT_EQ(List.verticalScrollBar()->value(), 0);
    List.MoveBackwardClick();
    List.MoveForwardClick();
    List.DeleteSelectedClick();
    List.MoveToLastClick();
    EXPECT_EQ(List.verticalScrollBar()->value(), List.verticalScrollBar()->maximum());
    EXPECT_EQ(Order()[0], 0);
    EXPECT_EQ(Order()[59], 59);
    EXPECT_EQ(List.Count(), 60);
}

TEST_F(Commands, ShortcutsWorkWhileATileHasTheFocus) {
    Fill(10);
    List.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&List));
    Click(4);
    Click(7, Qt::ControlModifier);
    ASSERT_TRUE(T[7]->HasFocus());
    QTest::keyClick(&List, Qt::Key_Home, Qt::ControlModifier);
    EXPECT_EQ(Order(), (Order10{4, 7, 0, 1, 2, 3, 5, 6, 8, 9}));
    EXPECT_EQ(List.verticalScrollBar()->value(), 0);
    QTest::keyClick(&List, Qt::Key_Right, Qt::ControlModifier);
    EXPECT_EQ(Order(), (Order10{0, 4, 7, 1, 2, 3, 5, 6, 8, 9}));
    QTest::keyClick(&List, Qt::Key_Left, Qt::ControlModifier);
    EXPECT_EQ(Order(), (Order10{4, 7, 0, 1, 2, 3, 5, 6, 8, 9}));
    QTest::keyClick(&List, Qt::Key_End, Qt::ControlModifier);
    EXPECT_EQ(Order(), (Order10{0, 1, 2, 3, 5, 6, 8, 9, 4, 7}));
    EXPECT_FALSE(List.PopMenu()->isVisible());

    QTest::keyClick(&List, Qt::Key_Delete);
    EXPECT_EQ(Order(), (Order10{0, 1, 2, 3, 5, 6, 8, 9}));
    EXPECT_EQ(T[9]->Index(), 7);
    EXPECT_TRUE(Desktop.Messages.isEmpty()); // no question asked
    // The focus stays in the list, so the keys keep working.
    QWidget* focus = QApplication::focusWidget();
    EXPECT_TRUE(focus == &List || List.isAncestorOf(focus));
    Click(0);
    QTest::keyClick(&List, Qt::Key_Delete);
    EXPECT_EQ(Order(), (Order10{1, 2, 3, 5, 6, 8, 9}));
}

TEST_F(Commands, ArrowKeysMoveTheFocusAndCtrlASelectsEveryFrame) {
    Fill(10); // 3 columns
    Click(4);
    QTest::keyClick(&List, Qt::Key_Right);
    EXPECT_TRUE(T[5]->HasFocus());
    EXPECT_EQ(Selection(), (Order10{5}));
    EXPECT_EQ(List.AnchorIndex(), 5);
    QTest::keyClick(&List, Qt::Key_Down, Qt::ShiftModifier); // one row: the range 5..8
    EXPECT_TRUE(T[8]->HasFocus());
    EXPECT_EQ(Selection(), (Order10{5, 6, 7, 8}));
    QTest::keyClick(&List, Qt::Key_Up, Qt::ShiftModifier);
    QTest::keyClick(&List, Qt::Key_Up, Qt::ShiftModifier); // back beyond the anchor: 2..5 added
    EXPECT_TRUE(T[2]->HasFocus());
    EXPECT_EQ(Selection(), (Order10{5, 6, 7, 8, 2, 3, 4}));
    QTest::keyClick(&List, Qt::Key_Up); // no row above: the focus stays
    EXPECT_TRUE(T[2]->HasFocus());
    QTest::keyClick(&List, Qt::Key_Left);
    EXPECT_EQ(Selection(), (Order10{1}));

    // The focused tile shows a mark, a plain one does not.
    const QImage focused = Grab(1), plain = Grab(0);
    EXPECT_NE(focused.pixelColor(50, 4), plain.pixelColor(50, 4));

    // Ctrl+A: the selected frame keeps its place, the rest follow in position order, and
    // the focus and the anchor stay.
    QTest::keyClick(&List, Qt::Key_A, Qt::ControlModifier);
    EXPECT_EQ(Selection(), (Order10{1, 0, 2, 3, 4, 5, 6, 7, 8, 9}));
    EXPECT_TRUE(T[1]->HasFocus());
    EXPECT_EQ(List.AnchorIndex(), 1);
}

TEST_F(Commands, EditOpensOnTheEarliestSelectedFrame) {
    Fill(8);
    QSignalSpy edits(&List, &TThumbnails::EditRequested);
    Click(6, Qt::ControlModifier);
    Click(2, Qt::ControlModifier);
    List.PopMenu()->ItemEdit->trigger();
    ASSERT_EQ(edits.size(), 1);
    EXPECT_EQ(edits[0][0].value<TThumbItem*>(), T[6]);
    EXPECT_TRUE(Desktop.Messages.isEmpty());
}

TEST_F(Commands, EditWithNothingSelectedIsAListIndexError) {
    Fill(4);
    QSignalSpy edits(&List, &TThumbnails::EditRequested);
    Click(2, Qt::ControlModifier);
    Click(2, Qt::ControlModifier); // deselected again; the menu comes from the keyboard
    ASSERT_TRUE(T[2]->HasFocus());
    QContextMenuEvent key(QContextMenuEvent::Keyboard, QPoint(5, 5),
                          List.mapToGlobal(QPoint(5, 5)));
    QApplication::sendEvent(&List, &key);
    EXPECT_TRUE(List.PopMenu()->isVisible());
    EXPECT_TRUE(List.SelectedItems().isEmpty());
    List.PopMenu()->hide();
    List.PopMenu()->ItemEdit->trigger();
    EXPECT_EQ(edits.size(), 0);
    ASSERT_EQ(Desktop.Messages.size(), 1);
    EXPECT_EQ(Desktop.Messages[0].Caption, QStringLiteral("Framecatch"));
    // ")" sorts below ".", so the default error box adds no period.
    EXPECT_EQ(Desktop.Messages[0].Text, QStringLiteral("List index out of bounds (0)"));
    EXPECT_EQ(Desktop.Messages[0].Icon, kw::TMsgIcon::Error);
}

TEST_F(Commands, ExportAsksForTheExportDialog) {
    Fill(1);
    QSignalSpy exports(&List, &TThumbnails::ExportRequested);
    List.PopMenu()->ItemExport->trigger();
    EXPECT_EQ(exports.size(), 1);
}

// --- inserting pictures from files -----------------------------------------------------------

class Insert : public TFramesTest {
protected:
    QTemporaryDir Dir;

    QString Picture(const QString& name, QColor color, QSize size = QSize(100, 300)) {
        QImage picture(size, QImage::Format_ARGB32);
        picture.fill(color);
        const QString path = Dir.filePath(name);
        EXPECT_TRUE(picture.save(path));
        return path;
    }
};

TEST_F(Insert, PicturesGoInFileOrderBeforeTheEarliestSelectedFrame) {
    Fill(8);
    QApplication::processEvents();
    List.ScrollToTop();
    Select({5, 2});
    const QColor colors[] = {QColor(250, 0, 0), QColor(0, 250, 0), QColor(0, 0, 250)};
    Desktop.OpenFilesAnswers.push_back({Picture("a.png", colors[0]), Picture("b.bmp", colors[1]),
                                        Picture("c.png", QColor(0, 0, 250, 0))});
    List.PopMenu()->ItemInsertImages->trigger();

    ASSERT_EQ(Desktop.FileRequests.size(), 1);
    EXPECT_EQ(Desktop.FileRequests[0].Title, QStringLiteral("Select Images"));
    EXPECT_EQ(List.Count(), 11);
    EXPECT_EQ(Order(), (Order10{0, 1, 2, 3, 4, -1, -1, -1, 5, 6, 7}));
    for (int i = 0; i < 3; ++i) {
        const QImage frame = List.GetItem(5 + i)->Bitmap();
        EXPECT_EQ(frame.size(), QSize(640, 480)); // stretched to the video's frame size
        EXPECT_EQ(frame.format(), QImage::Format_RGB888);
        // The fully transparent third picture is flattened onto white.
        const QColor expected = i < 2 ? colors[i] : QColor(Qt::white);
        EXPECT_EQ(frame.pixelColor(0, 0), expected) << i;
        EXPECT_EQ(frame.pixelColor(639, 479), expected) << i;
        EXPECT_FALSE(List.GetItem(5 + i)->Selected());
    }
    EXPECT_EQ(Selection(), (Order10{5, 2}));
    EXPECT_EQ(List.verticalScrollBar()->value(), 0);
    EXPECT_EQ(List.CellRect(8).topLeft(), QPoint(325, 192));
    EXPECT_TRUE(Desktop.Messages.isEmpty());
}

TEST_F(Insert, TheFilterOffersEveryPictureExtensionInOneEntry) {
    Fill(1);
    List.PopMenu()->ItemInsertImages->trigger(); // cancelled: nothing happens
    EXPECT_EQ(List.Count(), 1);
    ASSERT_EQ(Desktop.FileRequests.size(), 1);
    const QStringList entries = kw::QtFilterFromPairs(Desktop.FileRequests[0].Filter).split(";;");
    ASSERT_GT(entries.size(), 1);
    const QStringList all = {"bmp", "rle",  "dib", "ico", "wmf",  "emf",  "jpg", "jpeg",
                             "jpe", "jfif", "png", "gif", "tif",  "tiff", "fax", "tga",
                             "win", "vst",  "vda", "icb", "pcx",  "pcc",  "scr", "eps",
                             "rla", "rpf",  "sgi", "rgb", "rgba", "bw",   "psd", "pdd",
                             "ppm", "pgm",  "pbm", "cel", "pic",  "pcd",  "cut", "psp"};
    for (const QString& ext : all)
        EXPECT_TRUE(entries[0].contains(QStringLiteral(" *.") + ext + ' ') ||
                    entries[0].contains(QStringLiteral("(*.") + ext + ' ') ||
                    entries[0].contains(QStringLiteral(" *.") + ext + ')'))
            << ext.toStdString();
    EXPECT_EQ(PictureFileExtensions().size(), all.size());
}

// Every readable picture goes in, in file order; the unreadable ones are told together at
// the end, each file with its reason, in one box (once a load error ended the insertion and
// the files after it were never read).
TEST_F(Insert, EveryReadablePictureGoesInAndTheUnreadableOnesAreToldTogether) {
    Fill(3);
    Select({1});
    const QString bad = Dir.filePath("broken.png");
    QFile file(bad);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write("this is not a picture");
    file.close();
    const QString missing = Dir.filePath("gone.png");
    Desktop.OpenFilesAnswers.push_back(
        {Picture("a.png", Qt::red), bad, Picture("c.png", Qt::green), missing});
    List.PopMenu()->ItemInsertImages->trigger();
    EXPECT_EQ(Order(), (Order10{0, -1, -1, 1, 2}));
    EXPECT_EQ(List.FramePicture(2).pixelColor(0, 0), QColor(Qt::green));
    ASSERT_EQ(Desktop.Messages.size(), 1);
    const kw::TMessage& report = Desktop.Messages[0];
    EXPECT_EQ(report.Icon, kw::TMsgIcon::Error);
    const QStringList lines = report.Text.split(QLatin1Char('\n'));
    ASSERT_EQ(lines.size(), 4) << report.Text.toStdString();
    EXPECT_EQ(lines[0], QStringLiteral("2 of the pictures could not be read:"));
    EXPECT_TRUE(lines[2].contains(bad) && lines[2].contains(QStringLiteral("not supported")))
        << lines[2].toStdString();
    EXPECT_TRUE(
        lines[3].startsWith(QStringLiteral("Cannot open the picture file \"%1\"").arg(missing)))
        << lines[3].toStdString();
    EXPECT_FALSE(report.Details.isEmpty()) << "the decoders' and the system's reasons";

    // Dropped files take the same way, to the end of the list.
    Desktop.Messages.clear();
    List.ClearSelection();
    List.InsertPictureFiles({bad, Picture("d.png", Qt::blue)}, true);
    EXPECT_EQ(List.Count(), 6);
    EXPECT_EQ(List.FramePicture(5).pixelColor(0, 0), QColor(Qt::blue));
    ASSERT_EQ(Desktop.Messages.size(), 1);
    EXPECT_TRUE(Desktop.Messages[0].Text.startsWith(
        QStringLiteral("Cannot read the picture file \"%1\"").arg(bad)));
}

// Pictures before any video: the first one gives the list its frame size, which the outputs
// work with, and keeps its own size, as do the pictures after it; the first video's size
// replaces it.
TEST(PicturesBeforeAnyVideo, TheFirstFrameGivesTheFrameSize) {
    TFakeDesktop desktop;
    QTemporaryDir dir;
    TThumbnails list;
    EXPECT_FALSE(list.FrameSizeFromVideo());
    QImage tall(300, 500, QImage::Format_RGB32), wide(800, 200, QImage::Format_RGB32);
    tall.fill(Qt::red);
    wide.fill(Qt::blue);
    ASSERT_TRUE(tall.save(dir.filePath("tall.png")) && wide.save(dir.filePath("wide.png")));
    list.InsertPictureFiles({dir.filePath("tall.png"), dir.filePath("wide.png")}, true);
    ASSERT_EQ(list.Count(), 2);
    EXPECT_EQ(QSize(list.FrameWidth(), list.FrameHeight()), QSize(300, 500));
    EXPECT_EQ(list.FrameSizeAt(1), QSize(800, 200));
    EXPECT_EQ(list.CellSize(), QSize(46, 76)); // a tenth of the screen high, in 300:500
    EXPECT_FALSE(list.FrameSizeFromVideo());
    list.SetFrameSize(640, 360);
    EXPECT_TRUE(list.FrameSizeFromVideo());
    EXPECT_EQ(list.FrameWidth(), 640);
}

TEST_F(Insert, NothingSelectedLoadsTheFilesButInsertsNothing) {
    Fill(2);
    Desktop.OpenFilesAnswers.push_back({Picture("a.png", Qt::red)});
    List.PopMenu()->ItemInsertImages->trigger();
    EXPECT_EQ(Desktop.FileRequests.size(), 1);
    EXPECT_EQ(List.Count(), 2);
    EXPECT_TRUE(Desktop.Messages.isEmpty());
}

TEST_F(Insert, TheMemoryGuardRefusesWithAWarning) {
    Fill(2);
    Select({0});
    // Room to read the small pictures, not for the 640 x 480 working picture.
    Desktop.AvailableMemory = kw::MemoryMargin(kw::SystemTotalMemory()) + 600 * 1024;
    Desktop.OpenFilesAnswers.push_back({Picture("a.png", Qt::red), Picture("b.png", Qt::blue)});
    List.PopMenu()->ItemInsertImages->trigger();
    EXPECT_EQ(List.Count(), 2);
    ASSERT_EQ(Desktop.Messages.size(), 1);
    EXPECT_EQ(Desktop.Messages[0].Caption, QStringLiteral("Warning"));
    EXPECT_EQ(Desktop.Messages[0].Text, kw::MemoryFullText());
    EXPECT_EQ(Desktop.Messages[0].Icon, kw::TMsgIcon::Warning);
}
