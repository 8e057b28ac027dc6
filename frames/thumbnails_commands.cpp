// The frame list's keyboard (arrow keys, Ctrl+A) and the commands of its popup menu,
// among them the insertion of picture files that dropped files use as well.

#include "frames/thumbnails.h"

#include "codecs/picture_reader.h"
#include "common/kw_dialogs.h"
#include "common/kw_guard.h"
#include "frames/memory_guard.h"

#include <QKeyEvent>
#include <QPainter>
#include <QScrollBar>

#include <algorithm>

// ---------------------------------------------------------------------------------------------
// Keyboard
void TThumbnails::keyPressEvent(QKeyEvent* event) {
    // The list itself has the focus (no tile yet): the arrows start at the first frame.
    if (ListKey(event))
        event->accept();
    else
        QAbstractScrollArea::keyPressEvent(event);
}

bool TThumbnails::ListKey(const QKeyEvent* event) {
    bool handled = false;
    kw::Guarded([&] {
        if (event->matches(QKeySequence::SelectAll)) {
            SelectAll();
            handled = true;
        } else {
            handled = ArrowKey(event->key(), event->modifiers());
        }
    });
    return handled;
}

TThumbItem* TThumbnails::FocusedItem() const {
    for (TThumbItem* tile : FItems)
        if (tile->hasFocus())
            return tile;
    return nullptr;
}

void TThumbnails::SelectAll() {
    // SetSelected hands the focus to each tile in turn; it goes back to where it was.
    TThumbItem* focused = FocusedItem();
    for (TThumbItem* tile : std::as_const(FItems))
        tile->SetSelected(true);
    if (focused)
        focused->setFocus();
}

bool TThumbnails::ArrowKey(int key, Qt::KeyboardModifiers modifiers) {
    int step = 0;
    switch (key) {
    case Qt::Key_Left:
        step = -1;
        break;
    case Qt::Key_Right:
        step = 1;
        break;
    case Qt::Key_Up:
        step = -FColumnCount;
        break;
    case Qt::Key_Down:
        step = FColumnCount;
        break;
    default:
        return false;
    }
    // Ctrl+arrows belong to the move commands.
    if (modifiers & (Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier))
        return false;
    if (FItems.isEmpty())
        return true;
    TThumbItem* from = FocusedItem();
    const int here = from ? from->Index() : -1;
    const int to = here < 0 ? 0 : here + step;
    if (to < 0 || to >= Count())
        return true; // at the edge the focus stays
    TThumbItem* tile = FItems[to];
    if (modifiers & Qt::ShiftModifier) {
        const int low = std::min(FAnchorIndex, to), high = std::max(FAnchorIndex, to);
        for (int p = std::max(0, low); p <= high && p < Count(); ++p)
            FItems[p]->SetSelected(true);
    } else {
        ClearSelection();
        tile->SetSelected(true);
        FAnchorIndex = to;
    }
    tile->setFocus();
    EnsureVisible(tile);
    return true;
}

void TThumbnails::EnsureVisible(TThumbItem* tile) {
    QScrollBar* bar = verticalScrollBar();
    const int top = tile->y(), bottom = tile->y() + tile->height();
    const int page = viewport()->height();
    if (top - 10 < bar->value())
        bar->setValue(top - 10);
    else if (bottom > bar->value() + page)
        bar->setValue(bottom - page);
}

// ---------------------------------------------------------------------------------------------
// Commands of the popup menu. A tile's index is looked up afresh at every step, since the
// earlier steps of the same command may have moved it.

void TThumbnails::EditClick() {
    SelectedItem(0)->EditFrame();
}

void TThumbnails::DeleteSelectedClick() {
    DeleteSelected();
}

void TThumbnails::MoveBackwardClick() {
    const QList<TThumbItem*> selected = FSelectedItems;
    for (TThumbItem* tile : selected)
        ExchangeWithPrevious(tile->Index());
    Arrange();
}

void TThumbnails::MoveForwardClick() {
    const QList<TThumbItem*> selected = FSelectedItems;
    for (auto it = selected.crbegin(); it != selected.crend(); ++it)
        ExchangeWithNext((*it)->Index());
    Arrange();
}

void TThumbnails::MoveToFirstClick() {
    const QList<TThumbItem*> selected = FSelectedItems;
    for (auto it = selected.crbegin(); it != selected.crend(); ++it)
        MoveItemToFirst((*it)->Index());
    Arrange();
    ScrollToTop();
}

void TThumbnails::MoveToLastClick() {
    const QList<TThumbItem*> selected = FSelectedItems;
    for (TThumbItem* tile : selected)
        MoveItemToLast(tile->Index());
    Arrange();
    ScrollToBottom();
}

void TThumbnails::InsertImagesClick() {
    kw::TFileDialogRequest request;
    request.Owner = window();
    request.Title = QStringLiteral("Select Images");
    request.Filter = PictureFileFilter();
    const QStringList files = kw::Desktop().OpenFileNames(request);
    InsertPictureFiles(files, false, false);
}

void TThumbnails::InsertPictureFiles(const QStringList& files, bool appendWhenNothingSelected,
                                     bool skipUnreadable) {
    if (files.isEmpty())
        return;
    // Each picture goes before the same selected frame, so they keep the files' order.
    TThumbItem* before = FSelectedItems.isEmpty() ? nullptr : FSelectedItems.first();
    if (!before && !appendWhenNothingSelected) {
        // Nothing to insert before: the files are still read, as the menu always did.
        for (const QString& file : files)
            ReadPicture(file);
        return;
    }
    // One working picture for all files, the video's frame size. Before the first video
    // there is no frame size yet; a picture then keeps its own size.
    QImage work;
    for (const QString& file : files) {
        QImage picture;
        if (skipUnreadable) {
            try {
                picture = ReadPicture(file);
            } catch (const std::exception& e) {
                kw::ShowException(e);
                continue;
            }
        } else {
            picture = ReadPicture(file); // an error ends the insertion here
        }
        const QSize size =
            FFrameWidth > 0 && FFrameHeight > 0 ? QSize(FFrameWidth, FFrameHeight) : picture.size();
        // The working picture is memory; the frame made from it goes to the frame store.
        if (work.size() != size && !RoomForFrame(FrameBytes(size))) {
            ShowMemoryFullWarning(window());
            return;
        }
        if (work.size() != size)
            work = QImage(size, QImage::Format_RGB888);
        if (work.isNull()) {
            ShowMemoryFullWarning(window());
            return;
        }
        {
            QPainter painter(&work);
            painter.setRenderHint(QPainter::SmoothPixmapTransform);
            painter.drawImage(QRect(QPoint(0, 0), size), picture);
        }
        const int position = before ? int(FItems.indexOf(before)) : Count();
        if (!InsertFrameAt(position, work)) {
            ShowStoreFullWarning(window());
            return;
        }
    }
}

void TThumbnails::ExportClick() {
    emit ExportRequested();
}
