#include "graphics/image32.h"
#include "graphics/rubberband_layer.h"

#include <QApplication>
#include <QPaintEvent>
#include <QTest>

#include <gtest/gtest.h>

namespace {

const QRgb Background = qRgb(0x84, 0x81, 0x7C);

TBitmap32 Flat(int w, int h, QRgb c) {
    TBitmap32 b(w, h);
    b.Image().fill(c);
    return b;
}

class ViewTest : public ::testing::Test, public QObject {
protected:
    TImage32 View;
    QRegion Painted;

    void SetUp() override {
        View.resize(100, 80);
        View.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&View));
        View.installEventFilter(this);
    }
    bool eventFilter(QObject*, QEvent* event) override {
        if (event->type() == QEvent::Paint)
            Painted += static_cast<QPaintEvent*>(event)->region();
        return false;
    }
    void Press(QPoint p, Qt::KeyboardModifiers keys = {}) {
        QTest::mousePress(&View, Qt::LeftButton, keys, p);
    }
    void Move(QPoint p, Qt::KeyboardModifiers keys = {}) {
        QMouseEvent move(QEvent::MouseMove, p, View.mapToGlobal(p), Qt::NoButton, Qt::LeftButton,
                         keys);
        QApplication::sendEvent(&View, &move);
    }
    void Release(QPoint p) { QTest::mouseRelease(&View, Qt::LeftButton, {}, p); }
};

} // namespace

TEST_F(ViewTest, ShowsThePictureCentredUnscaledWithLayersInCreationOrder) {
    View.SetBitmap(Flat(40, 20, qRgba(0, 0, 255, 0))); // alpha is not shown: drawn opaque
    EXPECT_EQ(View.Offset(), QPoint(30, 30));
    QImage shot = View.Render();
    EXPECT_EQ(shot.pixel(30, 30), qRgb(0, 0, 255));
    EXPECT_EQ(shot.pixel(69, 49), qRgb(0, 0, 255));
    EXPECT_EQ(shot.pixel(29, 30), Background);
    EXPECT_EQ(shot.pixel(70, 49), Background);

    // An opaque layer stretches its picture; a later, blended one lies over it at its opacity.
    auto* opaque = new TBitmapLayer(&View);
    TBitmap32 stripes(2, 1);
    stripes.SetPixel(0, 0, qRgb(0, 255, 0));
    stripes.SetPixel(1, 0, qRgb(255, 255, 255));
    opaque->SetBitmap(stripes);
    opaque->SetLocation(FloatRect(10, 10, 30, 20));
    auto* blended = new TBitmapLayer(&View);
    blended->SetBitmap(Flat(1, 1, qRgb(255, 0, 0)));
    blended->SetDrawMode(TDrawMode::Blend);
    blended->SetMasterAlpha(128);
    blended->SetLocation(FloatRect(25, 15, 45, 35));
    shot = View.Render();
    EXPECT_EQ(shot.pixel(10, 10), qRgb(0, 255, 0));
    EXPECT_EQ(shot.pixel(29, 10), qRgb(255, 255, 255));
    EXPECT_EQ(shot.pixel(40, 32), qRgb(128, 0, 127));   // red at 128 over the blue picture
    EXPECT_EQ(shot.pixel(27, 17), qRgb(255, 127, 127)); // over the white stripe
    EXPECT_EQ(shot.pixel(26, 25), qRgb(194, 64, 62));   // over the background
    blended->SetVisible(false);
    EXPECT_EQ(View.Render().pixel(40, 32), qRgb(0, 0, 255));
    blended->SetVisible(true);
    delete blended; // a layer may go before its view
    EXPECT_EQ(View.Layers().size(), 1);
    EXPECT_EQ(View.Render().pixel(40, 32), qRgb(0, 0, 255));

    // A picture larger than the view is cut off on both sides: the offsets are negative and
    // truncated toward zero.
    TBitmap32 wide(121, 81);
    for (int x = 0; x < 121; ++x)
        wide.SetPixel(x, 0, qRgb(x, 0, 0));
    View.SetBitmap(wide);
    EXPECT_EQ(View.Offset(), QPoint(-10, 0));
    EXPECT_EQ(View.Render().pixel(0, 0), qRgb(10, 0, 0));
}

TEST_F(ViewTest, RubberBandIsDraggedByItsHandlesAndInsideWithTheChildFollowing) {
    auto* child = new TBitmapLayer(&View);
    auto* band = new TRubberbandLayer(&View);
    band->SetChildLayer(child);
    band->SetLocation(FloatRect(20, 20, 60, 50));
    EXPECT_EQ(child->Location(), band->Location());
    int steps = 0;
    band->OnDragged = [&] { ++steps; };

    // The right handle sits on the right outline column, half way down.
    EXPECT_EQ(band->StateAt(QPointF(59.5, 34.5)), TDragState::Right);
    EXPECT_EQ(band->StateAt(QPointF(20, 49)), TDragState::BottomLeft);
    EXPECT_EQ(band->StateAt(QPointF(40, 40)), TDragState::Move);
    EXPECT_EQ(band->StateAt(QPointF(70, 40)), TDragState::None);
    Move({59, 34});
    EXPECT_EQ(View.cursor().shape(), Qt::SizeHorCursor);

    // Dragged far past the left edge, the right edge stops 10 pixels from it.
    Press({59, 34});
    Move({10, 34});
    EXPECT_EQ(band->Location(), FloatRect(20, 20, 30, 50));
    Move({69, 40}); // vertical motion does not move a side handle's other edges
    EXPECT_EQ(band->Location(), FloatRect(20, 20, 70, 50));
    Release({69, 40});
    EXPECT_EQ(band->DragState(), TDragState::None);

    // The top-left corner moves two edges, also down to the floor.
    Press({20, 20});
    Move({100, 100});
    EXPECT_EQ(band->Location(), FloatRect(60, 40, 70, 50));
    Release({100, 100});

    // Inside, the whole band moves; the callback sees the start and may change the proposal.
    TFloatRect seenStart;
    TDragState seenState = TDragState::None;
    Qt::KeyboardModifiers seenKeys;
    band->OnResizing = [&](const TFloatRect& start, TFloatRect& proposed, TDragState state,
                           Qt::KeyboardModifiers keys) {
        seenStart = start;
        seenState = state;
        seenKeys = keys;
        proposed.Top = start.Top; // keep it on its row
        proposed.Bottom = start.Bottom;
    };
    Press({65, 45});
    Move({55, 30}, Qt::ShiftModifier);
    EXPECT_EQ(seenStart, FloatRect(60, 40, 70, 50));
    EXPECT_EQ(seenState, TDragState::Move);
    EXPECT_EQ(seenKeys, Qt::ShiftModifier);
    EXPECT_EQ(band->Location(), FloatRect(50, 40, 60, 50)); // as the callback left it
    EXPECT_EQ(child->Location(), band->Location());
    Release({55, 30});
    EXPECT_EQ(steps, 4);

    // Hidden or deaf to the mouse, the band takes no press.
    band->SetMouseEvents(false);
    Press({55, 45});
    Move({5, 5});
    EXPECT_EQ(band->Location(), FloatRect(50, 40, 60, 50));
}

TEST_F(ViewTest, RubberBandDrawsADashedOutlineWithHandlesAndRepaintsOnlyWhatMoved) {
    View.resize(400, 300);
    View.SetBitmap(Flat(400, 300, qRgb(0, 0, 255)));
    auto* band = new TRubberbandLayer(&View);
    band->SetLocation(FloatRect(100, 100, 300, 200));
    QApplication::processEvents();
    const QImage shot = View.Render();
    // Outline along x + y: white, white, black, black; a handle: white with a black edge.
    for (int x = 130; x < 134; ++x)
        EXPECT_EQ(shot.pixel(x, 100), ((x + 100) & 3) < 2 ? qRgb(255, 255, 255) : qRgb(0, 0, 0));
    EXPECT_EQ(shot.pixel(97, 97), qRgb(0, 0, 0));
    EXPECT_EQ(shot.pixel(98, 98), qRgb(255, 255, 255));
    EXPECT_EQ(shot.pixel(199, 103), qRgb(0, 0, 0)); // bottom edge of the top-middle handle
    EXPECT_EQ(shot.pixel(150, 150), qRgb(0, 0, 255));

    Painted = QRegion();
    Press({200, 150});
    Move({210, 152});
    QApplication::processEvents();
    EXPECT_EQ(band->Location(), FloatRect(110, 102, 310, 202));
    // The old and the new outline were repainted, not the inside or the rest of the view.
    EXPECT_TRUE(Painted.contains(QPoint(150, 100)));
    EXPECT_TRUE(Painted.contains(QPoint(150, 102)));
    EXPECT_TRUE(Painted.contains(QPoint(309, 150)));
    EXPECT_FALSE(Painted.contains(QPoint(200, 150)));
    EXPECT_FALSE(Painted.contains(QPoint(10, 10)));
    Release({210, 152});
}
