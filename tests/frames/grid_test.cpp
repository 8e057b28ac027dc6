// The virtual grid: cells painted from painting copies that a worker makes, a cache of them
// that stays within its budget, and the selection, keys and menu on a long list.

#include "tests/frames/frames_fixture.h"

#include <QScrollBar>

using Frames = TFramesTest;

namespace {

// A list of 10,000 small frames (8 x 6, in cells of 101 x 76), scrolled to its end.
class Grid : public TFramesTest {
protected:
    static constexpr int N = 10000;
    void SetUp() override {
        TFramesTest::SetUp();
        Fill(N, QSize(8, 6));
    }
    QScrollBar* Bar() const { return List.verticalScrollBar(); }
    bool InView(int n) const {
        return List.viewport()->rect().contains(fctest::CellInView(List, T[size_t(n)]->Index()));
    }
};

} // namespace

TEST_F(Frames, ACellPaintsItsBorderAndNumberAtOnceAndItsFrameOnceTheWorkerMadeIt) {
    Fill(1);
    T[0]->SetSelected(true);
    List.clearFocus();
    // Painted before the GUI thread went back to its event loop: the worker's copy can only
    // arrive by a queued call, so the cell shows the list's background, the border and "0".
    const QImage before = List.viewport()->grab(fctest::CellInView(List, 0)).toImage();
    const QColor background = List.viewport()->palette().color(QPalette::Base);
    EXPECT_EQ(before.pixelColor(50, 40), background);
    EXPECT_EQ(before.pixelColor(0, 40), SelFrameColor);
    EXPECT_EQ(before.pixelColor(2, 40), SelInnerColor);
    EXPECT_EQ(before.pixelColor(4, 3), QColor(0, 0, 255)) << "the label inside the border";
    EXPECT_TRUE(T[0]->PaintCopy().isNull());

    const QImage after = Grab(0);
    EXPECT_EQ(after.pixelColor(50, 40), FrameColor(0));
    EXPECT_EQ(after.pixelColor(0, 40), SelFrameColor);
    EXPECT_EQ(after.pixelColor(4, 3), QColor(0, 0, 255));
    EXPECT_EQ(T[0]->PaintCopy().size(), QSize(101, 76));
    EXPECT_TRUE(List.PaintCopies().Idle());
}

TEST_F(Frames, ACopyRefusedForWantOfMemoryComesOnceThereIsRoom) {
    Fill(3);
    ASSERT_TRUE(fctest::WaitForPaintCopies(List));
    // Short of memory, cells of a new size (80 x 60): the worker may not read the frames.
    Desktop.AvailableMemory = qint64(100) << 20;
    Desktop.ScreenSize = QSize(1024, 600);
    List.SetFrameSize(640, 480);
    ASSERT_EQ(List.CellSize(), QSize(80, 60));
    ASSERT_GT(List.RequestPaintCopies(), 0);
    ASSERT_TRUE(QTest::qWaitFor([&] { return List.PaintCopies().Idle(); }));
    EXPECT_EQ(List.RequestPaintCopies(), 3) << "still wanted";
    // Meanwhile the cell shows the older copy stretched, not the black of a lost frame.
    const QImage waiting = List.viewport()->grab(fctest::CellInView(List, 0)).toImage();
    EXPECT_EQ(waiting.pixelColor(40, 30), FrameColor(0));
    EXPECT_EQ(T[0]->PaintCopy().size(), QSize(101, 76));
    // With room again the copy comes by itself: the refused cells repaint a moment later
    // and ask anew, without a scroll or a click.
    ASSERT_TRUE(QTest::qWaitFor([&] { return List.PaintCopies().Idle(); }));
    Desktop.AvailableMemory = qint64(16) << 30;
    EXPECT_TRUE(QTest::qWaitFor([&] { return T[2]->PaintCopy().size() == QSize(80, 60); }));
    EXPECT_EQ(T[0]->PaintCopy().size(), QSize(80, 60));
    EXPECT_EQ(Grab(0).pixelColor(40, 30), FrameColor(0));
}

TEST_F(Grid, TheCopiesStayWithinTheirBudgetAndWhatWasDroppedIsMadeAgain) {
    TPaintCopies& copies = List.PaintCopies();
    copies.SetBudget(1 << 20); // below the floor of three views: the floor holds
    ASSERT_TRUE(fctest::WaitForPaintCopies(List));
    const int bottom = Bar()->value();
    // Forty views upwards, each painted whole: far more copies than the budget holds.
    for (int view = 1; view <= 40; ++view) {
        Bar()->setValue(bottom - view * List.viewport()->height());
        ASSERT_TRUE(fctest::WaitForPaintCopies(List)) << view;
        ASSERT_LE(copies.Bytes(), copies.Budget()) << view;
    }
    // Forty views made some 40 MB of copies: the cache dropped most of them.
    EXPECT_LT(copies.Budget(), 8 << 20);
    EXPECT_GT(copies.Count(), 30); // at least the cells in view
    // Back at the end, whose copies went long ago: they are made again.
    Bar()->setValue(bottom);
    EXPECT_GT(List.RequestPaintCopies(), 0);
    const QImage last = Grab(N - 1);
    EXPECT_EQ(last.pixelColor(50, 40), FrameColor(N - 1));
    EXPECT_LE(copies.Bytes(), copies.Budget());
}

TEST_F(Grid, SelectionKeysAndTheMenuWorkAcrossTenThousandFrames) {
    EXPECT_EQ(Bar()->value(), Bar()->maximum()) << "the newest frame in view";
    // The mouse, far from the end: a plain click, a Shift range, a Ctrl-click back near the
    // end; each press scrolls its cell into view first, as a user would.
    Click(4000);
    EXPECT_LT(Bar()->value(), Bar()->maximum() / 2);
    Click(4004, Qt::ShiftModifier);
    Click(9998, Qt::ControlModifier);
    EXPECT_EQ(Selection(), (std::vector<int>{4000, 4001, 4002, 4003, 4004, 9998}));
    EXPECT_EQ(List.AnchorIndex(), 9998);
    EXPECT_TRUE(T[9998]->HasFocus());

    // The keys: a row up (3 columns), then Shift+Left from that new anchor; the focus stays in
    // view.
    QTest::keyClick(&List, Qt::Key_Up);
    EXPECT_TRUE(T[9995]->HasFocus());
    EXPECT_EQ(Selection(), std::vector<int>{9995});
    QTest::keyClick(&List, Qt::Key_Left, Qt::ShiftModifier);
    EXPECT_EQ(Selection(), (std::vector<int>{9995, 9994}));
    EXPECT_TRUE(InView(9994));
    // Ctrl+A: the two keep their places, every other frame follows in position order.
    QTest::keyClick(&List, Qt::Key_A, Qt::ControlModifier);
    const std::vector<int> all = Selection();
    ASSERT_EQ(all.size(), size_t(N));
    EXPECT_EQ(std::vector<int>(all.begin(), all.begin() + 4), (std::vector<int>{9995, 9994, 0, 1}));
    EXPECT_EQ(all.back(), N - 1);
    EXPECT_TRUE(T[9994]->HasFocus());

    // A plain click ends the whole selection; a right press on a selected frame keeps the
    // selection for the menu, whose "Move to Last" takes them to the end.
    Click(10);
    EXPECT_EQ(Selection(), std::vector<int>{10});
    Click(9999, Qt::ControlModifier);
    Click(9999, Qt::NoModifier, Qt::RightButton);
    EXPECT_TRUE(List.PopMenu()->isVisible());
    List.PopMenu()->hide();
    EXPECT_EQ(Selection(), (std::vector<int>{10, 9999}));
    List.PopMenu()->ItemMoveToLast->trigger();
    std::vector<int> order = Order();
    EXPECT_EQ(std::vector<int>(order.end() - 3, order.end()), (std::vector<int>{9998, 10, 9999}));
    EXPECT_EQ(order[10], 11);
    EXPECT_EQ(Bar()->value(), Bar()->maximum());

    // The shortcuts while the list has the focus: Ctrl+Home brings them to the front and
    // scrolls to the top, Ctrl+Right steps them on, Del removes them without a question.
    QTest::keyClick(&List, Qt::Key_Home, Qt::ControlModifier);
    order = Order();
    EXPECT_EQ(std::vector<int>(order.begin(), order.begin() + 3), (std::vector<int>{10, 9999, 0}));
    EXPECT_EQ(Bar()->value(), 0);
    QTest::keyClick(&List, Qt::Key_Right, Qt::ControlModifier);
    order = Order();
    EXPECT_EQ(std::vector<int>(order.begin(), order.begin() + 3), (std::vector<int>{0, 10, 9999}));
    QTest::keyClick(&List, Qt::Key_Delete);
    EXPECT_EQ(List.Count(), N - 2);
    EXPECT_TRUE(Desktop.Messages.isEmpty());
    EXPECT_EQ(T[11]->Index(), 10);
    EXPECT_EQ(T[N - 2]->Index(), N - 3);
    // The cells show their frames and their new numbers.
    const QImage cell = Grab(11);
    EXPECT_EQ(cell.pixelColor(50, 40), FrameColor(11));
    EXPECT_EQ(Pos(11), List.CellRect(10).topLeft());

    // The quit question counts every frame no output wrote.
    for (int i : {0, 1, 2})
        List.MarkWritten(List.Snapshot(i));
    EXPECT_EQ(List.UnwrittenCount(), N - 2 - 3);
}
