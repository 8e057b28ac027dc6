// The frame list's keyboard (arrow keys, Ctrl+A) and the commands of its popup menu,
// among them the insertion of picture files that dropped files use as well.

#include "frames/thumbnails.h"

#include "codecs/picture_reader.h"
#include "common/kw_dialogs.h"
#include "common/kw_guard.h"
#include "common/kw_memory.h"

#include <QFileInfo>
#include <QKeyEvent>
#include <QPainter>
#include <QScrollBar>

#include <algorithm>

// ---------------------------------------------------------------------------------------------
// Keyboard
void TThumbnails::keyPressEvent(QKeyEvent* event) {
    // The list decides what the arrow keys and Ctrl+A do; other keys go on to the window.
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

void TThumbnails::SelectAll() {
    // The focus stays where it was.
    for (TThumbItem* item : std::as_const(FItems))
        Mark(item, true);
    RepaintItems();
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
    // Without a frame with the focus yet, the arrows start at the first frame.
    const int here = FFocusItem ? FFocusItem->Index() : -1;
    const int to = here < 0 ? 0 : here + step;
    if (to < 0 || to >= Count())
        return true; // at the edge the focus stays
    TThumbItem* item = FItems[to];
    if (modifiers & Qt::ShiftModifier) {
        const int low = std::min(FAnchorIndex, to), high = std::max(FAnchorIndex, to);
        for (int p = std::max(0, low); p <= high && p < Count(); ++p)
            Mark(FItems[p], true);
        RepaintItems();
    } else {
        ClearSelection();
        item->SetSelected(true);
        FAnchorIndex = to;
    }
    SetFocusItem(item);
    EnsureVisible(to);
    return true;
}

// ---------------------------------------------------------------------------------------------
// Commands of the popup menu. A frame's index is looked up afresh at every step, since the
// earlier steps of the same command may have moved it.

void TThumbnails::EditClick() {
    SelectedItem(0)->EditFrame();
}

void TThumbnails::DeleteSelectedClick() {
    DeleteSelected();
}

void TThumbnails::MoveBackwardClick() {
    const QList<TThumbItem*> selected = FSelectedItems;
    for (TThumbItem* item : selected)
        ExchangeWithPrevious(item->Index());
    Arrange();
}

void TThumbnails::MoveForwardClick() {
    const QList<TThumbItem*> selected = FSelectedItems;
    for (auto it = selected.crbegin(); it != selected.crend(); ++it)
        ExchangeWithNext((*it)->Index());
    Arrange();
}

void TThumbnails::MoveToFirstClick() {
    // MoveItemToFirst for each selected frame from the last to the first leaves them at the
    // front in the order of SelectedItems, the others behind them in their order: built in
    // one pass, so that moving many frames of a long list does not take a pass for each.
    QList<TThumbItem*> order = FSelectedItems;
    order.reserve(FItems.size());
    for (TThumbItem* item : std::as_const(FItems))
        if (!item->FSelected)
            order.append(item);
    FItems = std::move(order);
    Moved(0);
    RepaintItems();
    Arrange();
    ScrollToTop();
}

void TThumbnails::MoveToLastClick() {
    // The mirror image: MoveItemToLast from the first to the last selected frame.
    QList<TThumbItem*> order;
    order.reserve(FItems.size());
    for (TThumbItem* item : std::as_const(FItems))
        if (!item->FSelected)
            order.append(item);
    order.append(FSelectedItems);
    FItems = std::move(order);
    Moved(0);
    RepaintItems();
    Arrange();
    ScrollToBottom();
}

void TThumbnails::InsertImagesClick() {
    kw::TFileDialogRequest request;
    request.Owner = window();
    request.Title = QStringLiteral("Select Images");
    request.Filter = PictureFileFilter();
    const QStringList files = kw::Desktop().OpenFileNames(request);
    InsertPictureFiles(files, false);
}

namespace {

// The files that could not be read, told together once the insertion is over (also when it
// ends early): one box, each file's own message (it names the file and its reason) on a line
// of its own, the decoders' messages under the details.
class TUnreadableFiles {
public:
    ~TUnreadableFiles() {
        if (FMessages.isEmpty())
            return;
        const QString text = FMessages.size() == 1
                                 ? FMessages[0]
                                 : QStringLiteral("%1 of the pictures could not be read:\n\n%2")
                                       .arg(FMessages.size())
                                       .arg(FMessages.join(QLatin1Char('\n')));
        kw::ShowDefaultError(text, FDetails.join(QLatin1Char('\n')));
    }
    void Add(const std::exception& e) {
        FMessages << kw::WithPeriod(kw::MessageOf(e));
        if (const auto* error = dynamic_cast<const kw::EFcError*>(&e);
            error && !error->Details().isEmpty())
            FDetails << error->Details();
    }
    // Reads the file; a null picture, with the reason kept, when it cannot be read.
    QImage Read(const QString& file) {
        try {
            return ReadPicture(file);
        } catch (const std::exception& e) {
            Add(e);
        }
        return QImage();
    }

private:
    QStringList FMessages;
    QStringList FDetails;
};

} // namespace

void TThumbnails::InsertPictureFiles(const QStringList& files, bool appendWhenNothingSelected) {
    if (files.isEmpty())
        return;
    TUnreadableFiles unreadable;
    // Each picture goes before the same selected frame, so they keep the files' order.
    TThumbItem* before = FSelectedItems.isEmpty() ? nullptr : FSelectedItems.first();
    if (!before && !appendWhenNothingSelected) {
        // Nothing to insert before: the files are still read, as the menu always did.
        for (const QString& file : files)
            unreadable.Read(file);
        return;
    }
    // One working picture for all files, the video's frame size. Before any video gave one,
    // a picture keeps its own size.
    QImage work;
    for (const QString& file : files) {
        const QImage picture = unreadable.Read(file);
        if (picture.isNull())
            continue;
        const QSize size = FFrameSizeFromVideo ? QSize(FFrameWidth, FFrameHeight) : picture.size();
        // The working picture is memory; the frame made from it goes to the frame store.
        if (work.size() != size && !kw::RoomForFrame(kw::FrameBytes(size))) {
            kw::ShowMemoryFullWarning(window());
            return;
        }
        if (work.size() != size)
            work = QImage(size, QImage::Format_RGB888);
        if (work.isNull()) {
            kw::ShowMemoryFullWarning(window());
            return;
        }
        {
            QPainter painter(&work);
            painter.setRenderHint(QPainter::SmoothPixmapTransform);
            painter.drawImage(QRect(QPoint(0, 0), size), picture);
        }
        const int position = before ? before->Index() : Count();
        if (!InsertFrameAt(position, work, TFrameSource{QFileInfo(file).fileName(), -1})) {
            ShowStoreFullWarning(window());
            return;
        }
    }
}

void TThumbnails::ExportClick() {
    emit ExportRequested();
}
