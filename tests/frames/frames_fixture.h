#pragma once
// A shown frame list on a faked 1024 x 768 desktop (tiles of 101 x 76 for 640 x 480 frames),
// filled with frames of distinct colours, and helpers to read its order back and to press
// on the frames' cells.

#include "frames/thumbnails.h"
#include "tests/support/fake_desktop.h"
#include "tests/support/frame_grid.h"

#include <QApplication>
#include <QHash>
#include <QTest>

#include <gtest/gtest.h>

#include <vector>

inline QColor FrameColor(int n) {
    return QColor(QColor::fromHsv((n * 47) % 360, 200, 40 + (n % 5) * 40).rgb());
}

inline QImage MakeFrame(int n, QSize size = QSize(640, 480)) {
    QImage frame(size, QImage::Format_RGB888);
    frame.fill(FrameColor(n));
    return frame;
}

class TFramesTest : public ::testing::Test {
protected:
    TFakeDesktop Desktop;
    TThumbnails List;
    std::vector<TThumbItem*> T; // the frames in their first order: T[n] showed frame n

    void SetUp() override {
        List.setFrameShape(QFrame::NoFrame);
        List.resize(467, 900);
        List.show();
        List.SetFrameSize(640, 480);
        List.activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(&List));
    }

    void Fill(int count, QSize size = QSize(640, 480)) {
        for (int n = 0; n < count; ++n) {
            ASSERT_TRUE(List.AddFrame(MakeFrame(n, size)));
            T.push_back(List.Items().back());
        }
    }

    // Items as the first numbers of their tiles; inserted tiles show as -1.
    std::vector<int> Order() const { return Numbers(List.Items()); }
    std::vector<int> Selection() const { return Numbers(List.SelectedItems()); }

    std::vector<int> Numbers(const QList<TThumbItem*>& tiles) const {
        QHash<const TThumbItem*, int> first;
        for (size_t n = 0; n < T.size(); ++n)
            first.insert(T[n], int(n));
        std::vector<int> out;
        for (TThumbItem* tile : tiles)
            out.push_back(first.value(tile, -1));
        return out;
    }

    void Select(std::initializer_list<int> numbers) {
        for (int n : numbers)
            T[size_t(n)]->SetSelected(true);
    }

    // Puts the tiles back into their first order with the list's own operations.
    void Reset() {
        for (TThumbItem* tile : T)
            List.MoveItemToLast(tile->Index());
    }

    // A click delivered through the window, as the platform delivers it: the viewport gets
    // the press at the frame's cell, and a right press also brings the context-menu event.
    void Click(int n, Qt::KeyboardModifiers modifiers = Qt::NoModifier,
               Qt::MouseButton button = Qt::LeftButton) {
        fctest::ClickCell(List, T[size_t(n)]->Index(), modifiers, button);
    }
    void DoubleClick(int n, Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
        fctest::DoubleClickCell(List, T[size_t(n)]->Index(), modifiers);
    }
    // Where the frame's cell stands in the grid (content coordinates).
    QPoint Pos(int n) const { return List.CellRect(T[size_t(n)]->Index()).topLeft(); }
    // The frame's cell as painted.
    QImage Grab(int n) { return fctest::GrabCell(List, T[size_t(n)]->Index()); }
};
