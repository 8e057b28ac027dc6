#pragma once
// Driving the frame list's grid as a user does. Its frames have no widgets: a press goes
// through the list's window to its viewport at the frame's cell, as the platform delivers it
// (a right press brings the context-menu event too), and a cell is looked at in the viewport
// once the worker has made the painting copies of the cells in view.

#include "frames/thumbnails.h"

#include <QScrollBar>
#include <QTest>
#include <QWindow>

#include <gtest/gtest.h>

namespace fctest {

// Where the frame's cell is in the viewport now.
inline QRect CellInView(const TThumbnails& list, int index) {
    return list.CellRect(index).translated(0, -list.verticalScrollBar()->value());
}

// The centre of the frame's cell in the list window's coordinates, the cell scrolled into
// view first (the list does not scroll when it is in view already).
inline QPoint CellCentre(TThumbnails& list, int index) {
    list.EnsureVisible(index);
    return list.viewport()->mapTo(list.window(), CellInView(list, index).center());
}

inline void ClickCell(TThumbnails& list, int index, Qt::KeyboardModifiers modifiers = {},
                      Qt::MouseButton button = Qt::LeftButton) {
    const QPoint at = CellCentre(list, index);
    QTest::mouseClick(list.window()->windowHandle(), button, modifiers, at);
}

inline void DoubleClickCell(TThumbnails& list, int index, Qt::KeyboardModifiers modifiers = {}) {
    const QPoint at = CellCentre(list, index);
    QTest::mouseDClick(list.window()->windowHandle(), Qt::LeftButton, modifiers, at);
}

// Runs the event loop until every cell in view has its painting copy; false after 10 s.
inline bool WaitForPaintCopies(TThumbnails& list) {
    return QTest::qWaitFor([&] { return list.RequestPaintCopies() == 0; }, 10000);
}

// The frame's cell as the viewport paints it, once its painting copy is made.
inline QImage GrabCell(TThumbnails& list, int index) {
    list.EnsureVisible(index);
    EXPECT_TRUE(WaitForPaintCopies(list)) << "the worker never made the copies in view";
    return list.viewport()->grab(CellInView(list, index)).toImage();
}

} // namespace fctest
