// The frame list's view: where each cell is, painting the cells in view from their painting
// copies, asking the worker for the copies they lack, and the viewport's presses, pointer,
// menu, focus and tooltip.
//
// The painting copies meet the GUI thread here: a paint asks the worker (TPaintCopies::Want)
// for the copies the cells in view lack, then a page above and below; the worker's copies come
// back as a queued call that repaints the cells showing them (CopiesDelivered). A cell paints
// at once with what it has: its copy, an older cell size's copy stretched, or (before its
// first copy) its border and number on the list's background.

#include "frames/thumbnails.h"

#include "common/kw_fonts.h"
#include "common/kw_guard.h"

#include <QContextMenuEvent>
#include <QFontMetrics>
#include <QHelpEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QScrollBar>
#include <QSet>
#include <QToolTip>

#include <algorithm>

namespace {

const QColor LabelBackground(0x00, 0x00, 0xFF);

const QFont& LabelFont() {
    static const QFont font = kw::Tahoma(8);
    return font;
}

const QFontMetrics& LabelMetrics() {
    static const QFontMetrics metrics(LabelFont());
    return metrics;
}

// Outline of the rectangle from (left, top) to (right, bottom), right and bottom exclusive.
void Outline(QPainter& painter, int left, int top, int right, int bottom, const QColor& color) {
    if (right <= left || bottom <= top)
        return;
    painter.fillRect(left, top, right - left, 1, color);
    painter.fillRect(left, bottom - 1, right - left, 1, color);
    painter.fillRect(left, top, 1, bottom - top, color);
    painter.fillRect(right - 1, top, 1, bottom - top, color);
}

} // namespace

// ---------------------------------------------------------------------------------------------
// Cells

QRect TThumbnails::CellRect(int index) const {
    const QSize cell = CellSize();
    const int columns = std::max(1, FColumnCount);
    const int column = index % columns, row = index / columns;
    return QRect(QPoint(FColumnGap + column * (cell.width() + FColumnGap), 10 + row * RowPitch()),
                 cell);
}

int TThumbnails::CellAt(QPoint viewportPoint) const {
    const QPoint p = viewportPoint + QPoint(0, verticalScrollBar()->value());
    if (p.y() < 10 || Count() == 0)
        return -1;
    const int row = (p.y() - 10) / RowPitch();
    const int pitch = CellSize().width() + FColumnGap;
    int column = 0;
    if (FColumnCount > 1 && pitch > 0)
        column = p.x() < FColumnGap ? -1 : (p.x() - FColumnGap) / pitch;
    if (column < 0 || column >= FColumnCount)
        return -1;
    const int index = row * FColumnCount + column;
    return index < Count() && CellRect(index).contains(p) ? index : -1;
}

std::pair<int, int> TThumbnails::RowsIn(const QRect& viewportRect) const {
    if (Count() == 0 || viewportRect.isEmpty())
        return {0, -1};
    const int offset = verticalScrollBar()->value();
    const int top = viewportRect.top() + offset - 10, bottom = viewportRect.bottom() + offset - 10;
    if (bottom < 0)
        return {0, -1};
    const int lastRow = (Count() - 1) / std::max(1, FColumnCount);
    return {std::max(0, top) / RowPitch(), std::min(lastRow, bottom / RowPitch())};
}

void TThumbnails::EnsureVisible(int index) {
    QScrollBar* bar = verticalScrollBar();
    const QRect cell = CellRect(index);
    const int page = viewport()->height();
    if (cell.top() - 10 < bar->value())
        bar->setValue(cell.top() - 10);
    else if (cell.bottom() + 1 > bar->value() + page)
        bar->setValue(cell.bottom() + 1 - page);
}

void TThumbnails::UpdateCell(int index) {
    if (index < 0 || index >= Count())
        return;
    const QRect cell = CellRect(index).translated(0, -verticalScrollBar()->value());
    if (cell.intersects(viewport()->rect()))
        viewport()->update(cell);
}

void TThumbnails::UpdateItem(const TThumbItem* item) {
    UpdateCell(item->Index());
}

// ---------------------------------------------------------------------------------------------
// Focus

TThumbItem* TThumbnails::FocusedItem() const {
    return hasFocus() ? FFocusItem : nullptr;
}

void TThumbnails::SetFocusItem(TThumbItem* item) {
    if (FFocusItem != item) {
        if (FFocusItem)
            UpdateItem(FFocusItem);
        FFocusItem = item;
    }
    if (item)
        UpdateItem(item);
    setFocus();
}

void TThumbnails::focusInEvent(QFocusEvent* event) {
    QAbstractScrollArea::focusInEvent(event);
    if (FFocusItem)
        UpdateItem(FFocusItem);
}

void TThumbnails::focusOutEvent(QFocusEvent* event) {
    QAbstractScrollArea::focusOutEvent(event);
    if (FFocusItem)
        UpdateItem(FFocusItem);
}

// ---------------------------------------------------------------------------------------------
// Painting

void TThumbnails::paintEvent(QPaintEvent* event) {
    kw::Guarded([&] {
        QPainter painter(viewport());
        const int offset = verticalScrollBar()->value();
        const auto [first, last] = RowsIn(event->rect());
        for (int row = first; row <= last; ++row)
            for (int column = 0; column < FColumnCount; ++column) {
                const int index = row * FColumnCount + column;
                if (index >= Count())
                    break;
                const QRect cell = CellRect(index).translated(0, -offset);
                if (cell.intersects(event->rect()))
                    PaintCell(painter, index, cell);
            }
        RequestPaintCopies();
    });
}

void TThumbnails::PaintCell(QPainter& painter, int index, const QRect& cell) {
    const TThumbItem* item = FItems[index];
    const QRect at = FitInto(item->FFrameSize, cell);
    if (item->FFrame.IsNull() || at.isEmpty() || FCopies.Failed(item->FSerial)) {
        // An empty frame, or one the store could not read.
        painter.fillRect(cell, Qt::black);
    } else {
        // The frame keeps its proportions; the rest of the cell is the list's background,
        // and so is the frame's place until its copy comes.
        const QImage* copy = FCopies.Find(item->FSerial);
        const bool shown = copy && !copy->isNull();
        const QRegion around = shown ? QRegion(cell) - QRegion(at) : QRegion(cell);
        for (const QRect& r : around)
            painter.fillRect(r, FBackground);
        if (shown && copy->size() == at.size())
            painter.drawImage(at.topLeft(), *copy);
        else if (shown)
            painter.drawImage(at, *copy); // made for another cell size; its own is on its way
    }
    const int x = cell.x(), y = cell.y(), w = cell.width(), h = cell.height();
    QPoint label(x, y);
    if (item->FSelected) {
        Outline(painter, x, y, x + w, y + h, SelFrameColor);
        Outline(painter, x + 1, y + 1, x + w - 1, y + h - 1, SelFrameColor);
        Outline(painter, x + 2, y + 2, x + w - 2, y + h - 2, SelInnerColor);
        label += QPoint(4, 3);
    }
    if (item == FocusedItem()) {
        // The keyboard focus: a dotted line inside the selection border, black under white
        // so that it shows on any picture.
        const QRect mark(x + 4, y + 4, w - 9, h - 9);
        painter.setPen(QPen(Qt::black, 1));
        painter.drawRect(mark);
        painter.setPen(QPen(Qt::white, 1, Qt::DotLine));
        painter.drawRect(mark);
    }
    const QString text = QString::number(index);
    const QFontMetrics& fm = LabelMetrics();
    painter.fillRect(QRect(label, QSize(fm.horizontalAdvance(text), fm.height())), LabelBackground);
    painter.setFont(LabelFont());
    painter.setPen(Qt::white);
    painter.drawText(label.x(), label.y() + fm.ascent(), text);
}

int TThumbnails::RequestPaintCopies() {
    const auto [first, last] = RowsIn(viewport()->rect());
    const QRect cellArea(QPoint(0, 0), CellSize());
    std::vector<TCopyRequest> wanted;
    int missing = 0;
    auto want = [&](int row, bool inView) {
        for (int column = 0; column < FColumnCount; ++column) {
            const int index = row * FColumnCount + column;
            if (index >= Count())
                return;
            const TThumbItem* item = FItems[index];
            const QSize size = FitInto(item->FFrameSize, cellArea).size();
            if (item->FFrame.IsNull() || size.isEmpty() || FCopies.Failed(item->FSerial))
                continue;
            const QImage* copy = FCopies.Find(item->FSerial);
            if (copy && copy->size() == size)
                continue;
            missing += inView;
            wanted.push_back({item->FSerial, item->FFrame, size});
        }
    };
    for (int row = first; row <= last; ++row)
        want(row, true);
    // A page below (where a scroll usually goes), then a page above, nearest rows first.
    const int rows = std::max(1, last - first + 1);
    const int lastRow = Count() > 0 ? (Count() - 1) / FColumnCount : -1;
    for (int i = 1; i <= rows; ++i) {
        if (last + i <= lastRow)
            want(last + i, false);
        if (first - i >= 0)
            want(first - i, false);
    }
    // Room for what is in view and a page either side, whatever the cell size.
    const qint64 copyBytes = qint64(cellArea.width()) * cellArea.height() * 4;
    FCopies.SetFloor(3 * copyBytes * (viewport()->height() / RowPitch() + 2) * FColumnCount);
    FCopies.Want(wanted);
    return missing;
}

void TThumbnails::CopiesDelivered(const QList<quint64>& serials) {
    const QSet<quint64> arrived(serials.cbegin(), serials.cend());
    const auto [first, last] = RowsIn(viewport()->rect());
    for (int index = first * FColumnCount; index < Count() && index < (last + 1) * FColumnCount;
         ++index)
        if (arrived.contains(FItems[index]->FSerial))
            UpdateCell(index);
}

// ---------------------------------------------------------------------------------------------
// The viewport's mouse, menu and tooltip (event positions are the viewport's)

void TThumbnails::mousePressEvent(QMouseEvent* event) {
    // A press on the empty area between and below the cells changes nothing.
    kw::Guarded([&] {
        const int at = CellAt(event->position().toPoint());
        if (at >= 0)
            ItemMouseDown(FItems[at], event->button(), event->modifiers());
    });
    event->accept();
}

void TThumbnails::mouseDoubleClickEvent(QMouseEvent* event) {
    // The double-click event stands for the second press: the editor opens first, and once
    // it has closed the press changes the selection like any other (a plain double-click
    // leaves this frame the only selected one, a Ctrl double-click toggles it back).
    kw::Guarded([&] {
        const int at = CellAt(event->position().toPoint());
        if (at < 0)
            return;
        const QPointer<TThumbItem> item = FItems[at];
        if (event->button() == Qt::LeftButton)
            item->EditFrame();
        if (item && item->Index() >= 0)
            ItemMouseDown(item, event->button(), event->modifiers());
    });
    event->accept();
}

void TThumbnails::mouseMoveEvent(QMouseEvent* event) {
    // The hand over a frame, the arrow elsewhere; nothing else follows the pointer.
    const bool over = CellAt(event->position().toPoint()) >= 0;
    if (over && viewport()->cursor().shape() != Qt::PointingHandCursor)
        viewport()->setCursor(Qt::PointingHandCursor);
    else if (!over && viewport()->testAttribute(Qt::WA_SetCursor))
        viewport()->unsetCursor();
    event->accept();
}

void TThumbnails::contextMenuEvent(QContextMenuEvent* event) {
    // A right press on a frame has already made it part of the selection; the empty area has
    // no menu. The context-menu key opens the menu on the selection as it is, at the frame
    // with the focus.
    kw::Guarded([&] {
        QPoint at = event->globalPos();
        if (event->reason() == QContextMenuEvent::Mouse) {
            if (CellAt(event->pos()) < 0)
                return;
        } else {
            if (!FFocusItem)
                return;
            const QRect cell =
                CellRect(FFocusItem->Index()).translated(0, -verticalScrollBar()->value());
            if (viewport()->rect().contains(cell.center()))
                at = viewport()->mapToGlobal(cell.center());
        }
        FPopMenu->popup(at);
    });
    event->accept();
}

bool TThumbnails::viewportEvent(QEvent* event) {
    if (event->type() == QEvent::ToolTip) {
        auto* help = static_cast<QHelpEvent*>(event);
        const int at = CellAt(help->pos());
        const QString text = at >= 0 ? FItems[at]->ToolTipText() : QString();
        if (text.isEmpty()) {
            QToolTip::hideText();
            event->ignore();
        } else {
            const QRect cell = CellRect(at).translated(0, -verticalScrollBar()->value());
            QToolTip::showText(help->globalPos(), text, viewport(), cell);
        }
        return true;
    }
    return QAbstractScrollArea::viewportEvent(event);
}
