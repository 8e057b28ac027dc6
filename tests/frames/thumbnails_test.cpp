#include "common/kw_fonts.h"
#include "common/kw_guard.h"
#include "tests/frames/frames_fixture.h"

#include <QPainter>
#include <QPointer>
#include <QScrollBar>
#include <QSignalSpy>

using Frames = TFramesTest;

TEST(FrameSize, TileIsATenthOfTheScreenHighWithTheVideosProportions) {
    TFakeDesktop desktop;
    TThumbnails list;
    EXPECT_EQ(list.ThumbWidth(), 0);
    EXPECT_EQ(list.ThumbHeight(), 0);
    list.SetFrameSize(640, 480);
    EXPECT_EQ(list.FrameWidth(), 640);
    EXPECT_EQ(list.FrameHeight(), 480);
    EXPECT_EQ(list.ThumbHeight(), 76);
    EXPECT_EQ(list.ThumbWidth(), 101);    // from 101.33
    desktop.ScreenSize = QSize(800, 109); // ThumbHeight 10
    list.SetFrameSize(45, 20);            // 22.5 goes to the even 22
    EXPECT_EQ(list.ThumbWidth(), 22);
    list.SetFrameSize(55, 20); // 27.5 goes to 28
    EXPECT_EQ(list.ThumbWidth(), 28);
}

TEST_F(Frames, ArrangeSharesTheRowsFreeSpaceBetweenMarginsAndGaps) {
    ASSERT_EQ(List.ClientWidth(), 467);
    Fill(7);
    const QPoint expected[] = {{41, 10},   {183, 10},  {325, 10}, {41, 101},
                               {183, 101}, {325, 101}, {41, 192}};
    for (int n = 0; n < 7; ++n)
        EXPECT_EQ(Pos(n), expected[n]) << n;
    EXPECT_EQ(List.CellRect(0).size(), QSize(101, 76));
    // The content ends at the lowest tile's bottom edge.
    EXPECT_EQ(List.ContentHeight(), 192 + 76);

    // Narrower than one tile: one column and a negative gap.
    List.resize(90, 900);
    EXPECT_EQ(Pos(0), QPoint((90 - 101) / 2, 10));
    EXPECT_EQ(Pos(1), QPoint((90 - 101) / 2, 101));
}

TEST_F(Frames, EveryTileTakesTheCellSizeAndShowsItsFrameLetterBoxed) {
    // Frames before any frame size, of two shapes, and an inserted picture of a third: after
    // each change of the cell size no two tiles overlap and each frame shows whole.
    const QColor background(0x69, 0x66, 0x61);
    TThumbnails list;
    list.setFrameShape(QFrame::NoFrame);
    list.SetBackgroundColor(background);
    list.resize(467, 600);
    list.show();
    ASSERT_TRUE(list.AddFrame(MakeFrame(0)));
    EXPECT_EQ(list.CellRect(0).size(), QSize(101, 76)) << "4:3 cells before any video";
    list.SetFrameSize(640, 480);
    ASSERT_TRUE(list.AddFrame(MakeFrame(1)));
    list.SetFrameSize(1280, 720); // a wide video: cells of 135 x 76
    ASSERT_TRUE(list.AddFrame(MakeFrame(2, QSize(1280, 720))));
    ASSERT_TRUE(list.AddFrame(MakeFrame(3, QSize(100, 300)))); // a tall picture
    for (int i = 0; i < list.Count(); ++i) {
        EXPECT_EQ(list.CellRect(i).size(), QSize(135, 76)) << i;
        for (int j = 0; j < i; ++j)
            EXPECT_FALSE(list.CellRect(i).intersects(list.CellRect(j))) << i << " " << j;
    }
    EXPECT_EQ(list.CellRect(1).topLeft(), QPoint(15 + 135 + 15, 10)); // 3 columns, gaps of 15
    // A 4:3 frame in a 16:9 cell: bars left and right; a wide frame fills the cell; a tall
    // one is a narrow strip in the middle.
    const QImage old = fctest::GrabCell(list, 1);
    EXPECT_EQ(old.pixelColor(5, 40), background);
    EXPECT_EQ(old.pixelColor(130, 40), background);
    EXPECT_EQ(old.pixelColor(67, 40), FrameColor(1));
    EXPECT_EQ(old.pixelColor(67, 75), FrameColor(1)) << "full height";
    const QImage wide = fctest::GrabCell(list, 2);
    EXPECT_EQ(wide.pixelColor(134, 40), FrameColor(2));
    const QImage tall = fctest::GrabCell(list, 3);
    EXPECT_EQ(tall.pixelColor(67, 40), FrameColor(3));
    EXPECT_EQ(tall.pixelColor(67 - 15, 40), background);
}

TEST_F(Frames, AddFrameCopiesThePictureAndScrollsToTheEnd) {
    QImage scratch = MakeFrame(0);
    ASSERT_TRUE(List.AddFrame(scratch));
    scratch.fill(Qt::red); // the caller reuses its picture at once
    EXPECT_EQ(List.GetItem(0)->Bitmap().pixelColor(5, 5), FrameColor(0));
    EXPECT_EQ(List.GetItem(0)->Bitmap().format(), QImage::Format_RGB888);
    EXPECT_EQ(List.GetItem(0)->Bitmap().size(), QSize(640, 480));
    EXPECT_TRUE(List.SelectedItems().isEmpty());

    Fill(60);
    QApplication::processEvents();
    QScrollBar* bar = List.verticalScrollBar();
    EXPECT_GT(bar->maximum(), 0);
    EXPECT_EQ(bar->value(), bar->maximum());
    EXPECT_EQ(bar->maximum(), List.ContentHeight() - List.viewport()->height());
    EXPECT_FALSE(List.horizontalScrollBar()->isVisible());
    EXPECT_TRUE(bar->isVisible());
    // The grid is laid out inside the scroll bar.
    EXPECT_EQ(List.ClientWidth(), 467 - bar->width());
}

TEST_F(Frames, LineScrollingStepsBy64AndStopsAtTheEnds) {
    Fill(60);
    QApplication::processEvents();
    QScrollBar* bar = List.verticalScrollBar();
    const int max = bar->maximum();
    List.ScrollLineDown();
    EXPECT_EQ(bar->value(), max);
    List.ScrollLineUp();
    EXPECT_EQ(bar->value(), max - 64);
    // The cells move with the content: the frame under a point of the viewport. The last
    // row (frames 57 to 59) starts at 10 + 19 x 91 in the content.
    const int x = Pos(0).x() + 5;
    const int lastRowTop = 10 + 19 * 91 - (max - 64);
    EXPECT_EQ(List.CellAt(QPoint(x, lastRowTop)), 57);
    EXPECT_EQ(List.CellAt(QPoint(x, lastRowTop - 1)), -1);
    List.ScrollToTop();
    List.ScrollLineUp();
    EXPECT_EQ(bar->value(), 0);
    EXPECT_EQ(List.CellAt(QPoint(x, 10)), 0);
    EXPECT_EQ(List.CellAt(QPoint(x, 9)), -1);
    List.ScrollLineDown();
    EXPECT_EQ(bar->value(), 64);
    EXPECT_EQ(List.CellAt(QPoint(x, 10 + 91 - 64)), 3); // the second row, 64 pixels higher
    EXPECT_EQ(List.CellAt(QPoint(x, 10 + 91 - 64 - 1)), -1);
    List.ScrollToBottom();
    EXPECT_EQ(bar->value(), max);
}

TEST_F(Frames, GetItemOutsideTheListIsAListIndexError) {
    Fill(2);
    EXPECT_EQ(List.GetItem(1), T[1]);
    for (int bad : {-1, 2}) {
        try {
            List.GetItem(bad);
            FAIL() << bad;
        } catch (const kw::EFcError& e) {
            EXPECT_EQ(e.Message(), QStringLiteral("List index out of bounds (%1)").arg(bad));
        }
    }
}

TEST_F(Frames, DeleteSelectedRenumbersAndFreesTheFrames) {
    Fill(6);
    List.DeleteSelected(); // nothing selected: nothing changes
    EXPECT_EQ(List.Count(), 6);
    Select({4, 1});
    QPointer<TThumbItem> gone = T[4];
    List.DeleteSelected();
    EXPECT_EQ(Order(), (std::vector<int>{0, 2, 3, 5}));
    EXPECT_TRUE(List.SelectedItems().isEmpty());
    EXPECT_TRUE(T[4]->Bitmap().isNull());
    EXPECT_EQ(T[5]->Index(), 3);
    EXPECT_EQ(Pos(5), QPoint(41, 101));
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_TRUE(gone.isNull());
}

// --- selection model, through real mouse presses ------------------------------------------

TEST_F(Frames, ShiftRangeAppendsNewTilesInPositionOrderAndKeepsTheAnchor) {
    Fill(8);
    Click(5);
    Click(2, Qt::ShiftModifier);
    EXPECT_EQ(Selection(), (std::vector<int>{5, 2, 3, 4}));
    EXPECT_EQ(List.AnchorIndex(), 5);
    EXPECT_TRUE(T[2]->HasFocus());
    // Tiles outside the range keep their state; a plain click starts afresh.
    Click(7, Qt::ShiftModifier);
    EXPECT_EQ(Selection(), (std::vector<int>{5, 2, 3, 4, 6, 7}));
    Click(1);
    EXPECT_EQ(Selection(), std::vector<int>{1});
    EXPECT_EQ(List.AnchorIndex(), 1);
}

TEST_F(Frames, CtrlTogglesAndOnlySelectingMovesTheAnchor) {
    Fill(8);
    Click(4, Qt::ControlModifier);
    Click(1, Qt::ControlModifier);
    Click(3, Qt::ControlModifier);
    EXPECT_EQ(Selection(), (std::vector<int>{4, 1, 3}));
    EXPECT_EQ(List.AnchorIndex(), 3);
    Click(3, Qt::ControlModifier); // deselects, the anchor stays at 3
    EXPECT_EQ(Selection(), (std::vector<int>{4, 1}));
    EXPECT_EQ(List.AnchorIndex(), 3);
    Click(6, Qt::ShiftModifier); // ranges from the older anchor
    EXPECT_EQ(Selection(), (std::vector<int>{4, 1, 3, 5, 6}));
    Click(6, Qt::ControlModifier | Qt::ShiftModifier); // Ctrl wins over Shift
    EXPECT_EQ(Selection(), (std::vector<int>{4, 1, 3, 5}));
}

TEST_F(Frames, AStaleAnchorBeyondTheLastFrameRangesToTheLastFrame) {
    Fill(8);
    Click(7);
    Select({6, 5});
    List.DeleteSelected(); // anchor 7 now points past the last frame (4)
    EXPECT_EQ(List.AnchorIndex(), 7);
    Click(2, Qt::ShiftModifier);
    EXPECT_EQ(Selection(), (std::vector<int>{2, 3, 4}));
}

TEST_F(Frames, RightPressSelectsOnlyAnUnselectedTileAndMiddlePressNothing) {
    Fill(6);
    Click(1);
    Click(3, Qt::ControlModifier);
    Click(3, Qt::NoModifier, Qt::RightButton); // part of the selection: kept whole
    EXPECT_EQ(Selection(), (std::vector<int>{1, 3}));
    List.PopMenu()->hide();
    Click(4, Qt::NoModifier, Qt::MiddleButton);
    EXPECT_EQ(Selection(), (std::vector<int>{1, 3}));
    EXPECT_TRUE(T[4]->HasFocus());
    Click(5, Qt::NoModifier, Qt::RightButton);
    EXPECT_EQ(Selection(), std::vector<int>{5});
    EXPECT_EQ(List.AnchorIndex(), 3); // a right press does not move the anchor
    EXPECT_TRUE(List.PopMenu()->isVisible());
    List.PopMenu()->hide();
}

TEST_F(Frames, DoubleClickAsksForTheEditorAndCtrlDoubleClickLeavesTheSelection) {
    Fill(4);
    QSignalSpy edits(&List, &TThumbnails::EditRequested);
    DoubleClick(2);
    ASSERT_EQ(edits.size(), 1);
    EXPECT_EQ(edits[0][0].value<TThumbItem*>(), T[2]);
    EXPECT_EQ(Selection(), std::vector<int>{2});
    // The editor opens before the second press toggles the tile back.
    bool selectedWhileEditing = false;
    QObject::connect(&List, &TThumbnails::EditRequested,
                     [&](TThumbItem* item) { selectedWhileEditing = item->Selected(); });
    DoubleClick(0, Qt::ControlModifier);
    EXPECT_TRUE(selectedWhileEditing);
    ASSERT_EQ(edits.size(), 2);
    EXPECT_EQ(edits[1][0].value<TThumbItem*>(), T[0]);
    EXPECT_EQ(Selection(), std::vector<int>{2});
    // The hand over a frame, the arrow over the empty area.
    QTest::mouseMove(List.windowHandle(), fctest::CellCentre(List, 0));
    EXPECT_EQ(List.viewport()->cursor().shape(), Qt::PointingHandCursor);
    QTest::mouseMove(List.windowHandle(), QPoint(5, 5));
    EXPECT_EQ(List.viewport()->cursor().shape(), Qt::ArrowCursor);
}

// --- painting ------------------------------------------------------------------------------

namespace {

// Bounding box of the label's pixels (pure blue, white and their blends have equal red and
// green and full blue) inside the tile, leaving out the border ring.
QRect LabelBox(const QImage& tile, int ring) {
    QRect box;
    for (int y = ring; y < tile.height() - ring; ++y)
        for (int x = ring; x < tile.width() - ring; ++x) {
            const QColor c = tile.pixelColor(x, y);
            if (c.blue() == 255 && c.red() == c.green())
                box |= QRect(x, y, 1, 1);
        }
    return box;
}

} // namespace

TEST_F(Frames, SelectedTileHasAThreePixelBorderAndItsLabelInside) {
    kw::RegisterTahoma();
    const QColor savedFrame = SelFrameColor;
    SelFrameColor = QColor(0xF3, 0xAF, 0x00);
    Fill(12);
    const QColor body(200, 60, 0); // no blue: cannot be mistaken for the label
    QImage frame = MakeFrame(11);
    frame.fill(body);
    ASSERT_TRUE(List.ReplaceFramePicture(11, frame));
    T[11]->SetSelected(true);
    List.clearFocus(); // no focus mark on either tile
    const QImage selected = Grab(11);
    const QImage plain = Grab(10);
    SelFrameColor = savedFrame;

    const int w = selected.width(), h = selected.height();
    ASSERT_EQ(QSize(w, h), QSize(101, 76));
    for (int ring = 0; ring < 3; ++ring) {
        const QColor expected = ring < 2 ? QColor(0xF3, 0xAF, 0x00) : QColor(Qt::white);
        for (QPoint p : {QPoint(ring, h / 2), QPoint(w - 1 - ring, h / 2), QPoint(w / 2, ring),
                         QPoint(w / 2, h - 1 - ring), QPoint(w - 1 - ring, h - 1 - ring)})
            EXPECT_EQ(selected.pixelColor(p), expected) << ring << " " << p.x() << "," << p.y();
    }
    EXPECT_EQ(selected.pixelColor(w / 2, 3), body);
    EXPECT_EQ(selected.pixelColor(w - 4, h - 4), body);

    const QFontMetrics fm(kw::Tahoma(8));
    EXPECT_EQ(LabelBox(selected, 3),
              QRect(QPoint(4, 3), QSize(fm.horizontalAdvance("11"), fm.height())));
    EXPECT_EQ(LabelBox(plain, 0),
              QRect(QPoint(0, 0), QSize(fm.horizontalAdvance("10"), fm.height())));
    EXPECT_EQ(plain.pixelColor(0, 0), QColor(0, 0, 255));
    // White text on the blue box.
    int white = 0;
    for (int y = 0; y < fm.height(); ++y)
        for (int x = 0; x < fm.horizontalAdvance("10"); ++x)
            white += plain.pixelColor(x, y).red() > 200;
    EXPECT_GT(white, 3);
}

TEST_F(Frames, TileShowsItsNewNumberAndNewPictureWhenRepainted) {
    Fill(3);
    List.MoveItemToFirst(2);
    // Label width follows the number: "0" now on the tile that showed "2".
    EXPECT_EQ(LabelBox(Grab(2), 0).topLeft(), QPoint(0, 0));
    // A frame replaced by a picture of another shape (cropped in the editor) keeps its
    // proportions: 50 x 20 in a 101 x 76 tile is 101 x 40, centred.
    QImage cropped(50, 20, QImage::Format_RGB32);
    cropped.fill(QColor(10, 200, 30));
    ASSERT_TRUE(List.ReplaceFramePicture(T[1]->Index(), cropped));
    const QImage shown = Grab(1);
    EXPECT_EQ(shown.pixelColor(100, 55), QColor(10, 200, 30));
    EXPECT_EQ(shown.pixelColor(50, 40), QColor(10, 200, 30));
    EXPECT_EQ(shown.pixelColor(50, 75), List.viewport()->palette().color(QPalette::Base));
    EXPECT_EQ(T[1]->PaintCopy().size(), QSize(101, 40));
    // Cells of another size (a screen 300 high: 40 x 30) remake the painting copy from the
    // stored frame.
    Desktop.ScreenSize = QSize(1024, 300);
    List.SetFrameSize(640, 480);
    ASSERT_EQ(List.CellSize(), QSize(40, 30));
    Grab(1);
    EXPECT_EQ(T[1]->PaintCopy().size(), QSize(40, 16));
    EXPECT_EQ(T[1]->PaintCopy().pixelColor(39, 15), QColor(10, 200, 30));
    // Painting on a picture taken from the frame paints on a copy: the frame stays.
    QImage taken = T[1]->Bitmap();
    {
        QPainter p(&taken);
        p.fillRect(taken.rect(), QColor(250, 250, 0));
    }
    EXPECT_EQ(T[1]->Bitmap().pixelColor(10, 10), QColor(10, 200, 30));
    EXPECT_EQ(T[1]->Bitmap().size(), QSize(50, 20)); // the frame itself stays as it was given
}

TEST_F(Frames, FramesInARowAtChangingSizesKeepTheirOwnPictures) {
    // A burst at one size, then at another, then back: each tile owns its own copy.
    std::vector<QSize> sizes;
    for (int n = 0; n < 24; ++n) {
        sizes.push_back(n / 8 == 1 ? QSize(320, 240) : QSize(640, 480));
        ASSERT_TRUE(List.AddFrame(MakeFrame(n, sizes.back())));
    }
    ASSERT_EQ(List.Count(), 24);
    for (int n = 0; n < 24; ++n) {
        const QImage bitmap = List.GetItem(n)->Bitmap();
        EXPECT_EQ(bitmap.size(), sizes[size_t(n)]) << n;
        EXPECT_EQ(bitmap.format(), QImage::Format_RGB888) << n;
        EXPECT_EQ(bitmap.pixelColor(0, 0), FrameColor(n)) << n;
        EXPECT_EQ(bitmap.pixelColor(bitmap.width() - 1, bitmap.height() - 1), FrameColor(n)) << n;
    }
    // Replacing one tile's frame touches no other.
    QImage red = MakeFrame(20, sizes[20]);
    red.fill(Qt::red);
    ASSERT_TRUE(List.ReplaceFramePicture(20, red));
    EXPECT_EQ(List.GetItem(20)->Bitmap().pixelColor(3, 3), QColor(Qt::red));
    EXPECT_EQ(List.GetItem(19)->Bitmap().pixelColor(3, 3), FrameColor(19));
    EXPECT_EQ(List.GetItem(21)->Bitmap().pixelColor(3, 3), FrameColor(21));
    fctest::GrabCell(List, 20);
    EXPECT_EQ(List.GetItem(20)->PaintCopy().pixelColor(5, 5), QColor(Qt::red));
}

TEST_F(Frames, OutputsReadChosenFramesAndReplaceThemThroughTheList) {
    Fill(5);
    Select({4, 1, 3});
    EXPECT_EQ(List.FrameIndexes(TFrameChoice::All), (QList<int>{0, 1, 2, 3, 4}));
    EXPECT_EQ(List.FrameIndexes(TFrameChoice::Selected), (QList<int>{4, 1, 3}));
    const TFrameSnapshot chosen = List.Snapshot(TFrameChoice::Selected);
    ASSERT_EQ(chosen.Count(), 3);
    EXPECT_EQ(chosen.Picture(0).pixelColor(0, 0), FrameColor(4));
    EXPECT_EQ(chosen.Picture(2).pixelColor(0, 0), FrameColor(3));
    EXPECT_EQ(chosen.Id(1), List.FrameId(1));

    // A replacement of another size and layout: the frame and its tile change, the snapshot
    // taken before keeps the old pixels, and the list's geometry stays.
    QImage cropped(64, 32, QImage::Format_RGB32);
    cropped.fill(QColor(10, 200, 30));
    ASSERT_TRUE(List.ReplaceFramePicture(4, cropped));
    cropped.fill(Qt::black); // the list holds its own copy
    EXPECT_EQ(List.FramePicture(4).size(), QSize(64, 32));
    EXPECT_EQ(List.FramePicture(4).pixelColor(63, 31), QColor(10, 200, 30));
    EXPECT_EQ(Grab(4).pixelColor(60, 60), QColor(10, 200, 30));
    EXPECT_EQ(chosen.Picture(0).pixelColor(0, 0), FrameColor(4));
    EXPECT_EQ(List.FrameIndexes(TFrameChoice::Selected), (QList<int>{4, 1, 3}));
    EXPECT_EQ(List.FrameWidth(), 640);

    // Refused by the frame store: false, and the frame stays as it was.
    Desktop.DiskSpace = {StoreMargin(qint64(8) << 30), qint64(8) << 30};
    EXPECT_FALSE(List.ReplaceFramePicture(2, MakeFrame(9)));
    EXPECT_EQ(List.FramePicture(2).pixelColor(0, 0), FrameColor(2));
    EXPECT_THROW(List.FramePicture(5), kw::EFcError);
}
