// The frame list's data: its items and their frames, the selection, the order and its
// changes, the grid's arrangement and scrolling. Painting and the mouse are in
// thumbnails_view.cpp.

#include "frames/thumbnails.h"

#include "common/kw_dialogs.h"
#include "common/kw_guard.h"

#include <QAction>
#include <QScrollBar>

#include <algorithm>
#include <cmath>
#include <memory>
#include <optional>

QColor SelFrameColor(0x00, 0x9E, 0xFF);
QColor SelInnerColor(0xFF, 0xFF, 0xFF);

// ---------------------------------------------------------------------------------------------
// TThumbItem

TThumbItem::TThumbItem(TThumbnails* thumbnails) : FThumbnails(thumbnails) {}

int TThumbItem::Index() const {
    return FIndex < 0 ? -1 : FThumbnails->PositionOf(this);
}

void TThumbItem::SetSelected(bool value) {
    if (FIndex < 0)
        return; // deleted: no longer part of the list, nor of its selection
    FThumbnails->Mark(this, value);
    FThumbnails->SetFocusItem(this);
    FThumbnails->UpdateItem(this);
}

bool TThumbItem::HasFocus() const {
    return FThumbnails->FocusedItem() == this;
}

bool TThumbItem::SetFrame(const QImage& frame) {
    // A copy: the caller reuses its picture at once.
    std::optional<TStoredFrame> stored = FThumbnails->FStore.Put(frame);
    if (!stored)
        return false;
    FFrame = std::move(*stored);
    FFrameSize = frame.size();
    FWritten = false;
    if (!FId.IsNull()) // a frame in the list was replaced (a new one is journaled as added)
        FThumbnails->FJournal.Replaced(FId, FFrame);
    // The old picture's copy goes; the worker makes the new one when the cell is in view.
    FThumbnails->FCopies.Drop(FSerial);
    FSerial = ++FThumbnails->FLastSerial;
    FThumbnails->UpdateItem(this);
    return true;
}

void TThumbItem::EditFrame() {
    emit FThumbnails->EditRequested(this);
}

QRect TThumbItem::PictureRect() const {
    return FitInto(FFrameSize, QRect(QPoint(0, 0), FThumbnails->CellSize()));
}

QImage TThumbItem::PaintCopy() const {
    const QImage* copy = FThumbnails->FCopies.Find(FSerial);
    return copy ? *copy : QImage();
}

// ---------------------------------------------------------------------------------------------
// TThumbPopMenu

TThumbPopMenu::TThumbPopMenu(QWidget* parent) : QMenu(parent) {
    auto item = [this](const char* caption, const QKeySequence& shortcut = QKeySequence()) {
        QAction* action = addAction(QString::fromLatin1(caption));
        action->setShortcut(shortcut);
        action->setShortcutContext(Qt::WidgetWithChildrenShortcut);
        return action;
    };
    ItemEdit = item("Edit");
    addSeparator();
    ItemDeleteSelected = item("Delete Selected", QKeySequence(Qt::Key_Delete));
    addSeparator();
    ItemMoveBackward = item("Move Backward", QKeySequence(Qt::CTRL | Qt::Key_Left));
    ItemMoveForward = item("Move Forward", QKeySequence(Qt::CTRL | Qt::Key_Right));
    ItemMoveToFirst = item("Move to First", QKeySequence(Qt::CTRL | Qt::Key_Home));
    ItemMoveToLast = item("Move to Last", QKeySequence(Qt::CTRL | Qt::Key_End));
    addSeparator();
    ItemInsertImages = item("Insert External Images ...");
    addSeparator();
    ItemExport = item("Export ...");
}

// ---------------------------------------------------------------------------------------------
// TThumbnails

TThumbnails::TThumbnails(QWidget* parent) : QAbstractScrollArea(parent) {
    setObjectName(QStringLiteral("thumbnails"));
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    verticalScrollBar()->setSingleStep(LineStep);
    verticalScrollBar()->setTracking(true);
    setFocusPolicy(Qt::StrongFocus);
    // The pointer's shape follows the cell under it.
    viewport()->setMouseTracking(true);
    SetBackgroundColor(QColor(0xF2, 0xF2, 0xF2));
    connect(&FCopies, &TPaintCopies::Delivered, this,
            kw::Guard([this](const QList<quint64>& serials) { CopiesDelivered(serials); }));

    FPopMenu = new TThumbPopMenu(this);
    // The list carries the actions too, so their shortcuts work while it has the focus and
    // the menu is closed.
    addActions(FPopMenu->actions());
    auto on = [this](QAction* action, void (TThumbnails::*command)()) {
        connect(action, &QAction::triggered, this,
                kw::Guard([this, command](bool) { (this->*command)(); }));
    };
    on(FPopMenu->ItemEdit, &TThumbnails::EditClick);
    on(FPopMenu->ItemDeleteSelected, &TThumbnails::DeleteSelectedClick);
    on(FPopMenu->ItemMoveBackward, &TThumbnails::MoveBackwardClick);
    on(FPopMenu->ItemMoveForward, &TThumbnails::MoveForwardClick);
    on(FPopMenu->ItemMoveToFirst, &TThumbnails::MoveToFirstClick);
    on(FPopMenu->ItemMoveToLast, &TThumbnails::MoveToLastClick);
    on(FPopMenu->ItemInsertImages, &TThumbnails::InsertImagesClick);
    on(FPopMenu->ItemExport, &TThumbnails::ExportClick);
}

TThumbnails::~TThumbnails() {
    // The items go with the list, those deleted earlier too if their time has not come yet;
    // nothing may look them up meanwhile.
    FSelectedItems.clear();
    FFocusItem = nullptr;
    qDeleteAll(FItems);
    FItems.clear();
    FById.clear();
    for (const QPointer<TThumbItem>& item : std::as_const(FDiscarded))
        delete item.data();
}

void TThumbnails::SetBackgroundColor(const QColor& color) {
    FBackground = color;
    QPalette pal = viewport()->palette();
    pal.setColor(QPalette::Base, color);
    pal.setColor(QPalette::Window, color);
    viewport()->setPalette(pal);
    viewport()->setBackgroundRole(QPalette::Base);
    viewport()->setAutoFillBackground(true);
    QPalette own = palette();
    own.setColor(QPalette::Window, color);
    setPalette(own);
    // The application's style sheet would otherwise paint the viewport in its own colour.
    viewport()->setStyleSheet(
        QStringLiteral("#qt_scrollarea_viewport { background-color: %1; }").arg(color.name()));
    RepaintItems();
}

void TThumbnails::SetFrameSize(int width, int height) {
    FFrameSizeFromVideo = true;
    ApplyFrameSize(width, height);
}

void TThumbnails::ApplyFrameSize(int width, int height) {
    FFrameWidth = width;
    FFrameHeight = height;
    FThumbHeight = kw::Desktop().ScreenSize().height() / 10;
    // Rounded to the nearest integer, halves to the even one.
    FThumbWidth = height > 0 ? int(std::nearbyint(double(width) / height * FThumbHeight)) : 0;
    Arrange();
    RepaintItems();
}

QSize TThumbnails::CellSize() const {
    if (FThumbWidth > 0 && FThumbHeight > 0)
        return QSize(FThumbWidth, FThumbHeight);
    const int h = std::max(1, kw::Desktop().ScreenSize().height() / 10);
    return QSize(h * 4 / 3, h);
}

TThumbItem* TThumbnails::NewItem(const QImage& frame) {
    auto item = std::make_unique<TThumbItem>(this);
    if (!item->SetFrame(frame))
        return nullptr;
    // Pictures before any video: the first frame gives the size the outputs work with.
    if (!FFrameSizeFromVideo && (FFrameWidth <= 0 || FFrameHeight <= 0) && !frame.isNull())
        ApplyFrameSize(frame.width(), frame.height());
    item->FId = TFrameId(++FLastId);
    FById.insert(item->FId.Value(), item.get());
    return item.release();
}

bool TThumbnails::AddFrame(const QImage& frame, const TFrameSource& source) {
    // Work of its own size only, whatever the number of frames: a grab appends, the grid's
    // height grows by at most a row, and the new cell alone repaints.
    TThumbItem* item = NewItem(frame);
    if (!item)
        return false;
    const int at = Count();
    item->FIndex = at;
    item->FSource = source;
    FItems.append(item);
    FJournal.Added(item->FId, at, item->FFrame, source);
    if (FNumberedBelow == at)
        FNumberedBelow = at + 1;
    Arrange();
    ScrollToBottom();
    UpdateCell(at);
    return true;
}

bool TThumbnails::InsertFrame(const QImage& frame, const TFrameSource& source) {
    if (FSelectedItems.isEmpty())
        return true;
    return InsertFrameAt(FSelectedItems.first()->Index(), frame, source);
}

bool TThumbnails::InsertFrameAt(int position, const QImage& frame, const TFrameSource& source) {
    TThumbItem* item = NewItem(frame);
    if (!item)
        return false;
    position = std::clamp(position, 0, Count());
    FItems.insert(position, item);
    item->FIndex = position;
    item->FSource = source;
    FJournal.Added(item->FId, position, item->FFrame, source);
    Moved(position);
    RepaintItems();
    Arrange();
    return true;
}

TThumbItem* TThumbnails::GetItem(int index) const {
    if (index < 0 || index >= Count())
        throw kw::EFcError(QStringLiteral("List index out of bounds (%1)").arg(index));
    return FItems[index];
}

TThumbItem* TThumbnails::SelectedItem(int index) const {
    if (index < 0 || index >= FSelectedItems.size())
        throw kw::EFcError(QStringLiteral("List index out of bounds (%1)").arg(index));
    return FSelectedItems[index];
}

int TThumbnails::PositionOf(const TThumbItem* item) const {
    if (item->FIndex >= FNumberedBelow) {
        for (int p = FNumberedBelow; p < Count(); ++p)
            FItems[p]->FIndex = p;
        FNumberedBelow = Count();
    }
    Q_ASSERT(FItems.value(item->FIndex) == item);
    return item->FIndex;
}

void TThumbnails::Mark(TThumbItem* item, bool selected) {
    if (selected && !item->FSelected) {
        item->FSelected = true;
        FSelectedItems.append(item);
    } else if (!selected && item->FSelected) {
        item->FSelected = false;
        FSelectedItems.removeOne(item);
    }
}

void TThumbnails::Discard(const QList<TThumbItem*>& items) {
    FDiscarded.removeIf([](const QPointer<TThumbItem>& item) { return item.isNull(); });
    for (TThumbItem* item : items) {
        if (item == FFocusItem)
            FFocusItem = nullptr; // the list keeps the focus, and with it the shortcuts
        // The frame's slot is given back now (or when the last picture taken from it goes);
        // the item goes when the current event is over, since whoever started the command
        // may still hold it.
        FCopies.Drop(item->FSerial);
        FById.remove(item->FId.Value());
        item->FFrame = TStoredFrame();
        item->FSelected = false;
        item->FIndex = -1;
        item->deleteLater();
        FDiscarded.append(item);
    }
}

void TThumbnails::DeleteSelected() {
    const QList<TThumbItem*> doomed = FSelectedItems;
    QList<TFrameId> ids;
    for (const TThumbItem* item : doomed)
        ids.append(item->FId);
    FJournal.Removed(ids);
    FSelectedItems.clear();
    FItems.removeIf([](const TThumbItem* item) { return item->FSelected; });
    Moved(0);
    Discard(doomed);
    RepaintItems();
    Arrange();
}

void TThumbnails::ClearSelection() {
    if (FSelectedItems.isEmpty())
        return;
    // As deselecting each from the last to the first: the focus ends on the first.
    TThumbItem* first = FSelectedItems.first();
    for (TThumbItem* item : std::as_const(FSelectedItems))
        item->FSelected = false;
    FSelectedItems.clear();
    SetFocusItem(first);
    RepaintItems();
}

void TThumbnails::ExchangeWithPrevious(int index) {
    if (index <= 0 || index >= Count())
        return;
    ExchangeWithNext(index - 1);
}

void TThumbnails::ExchangeWithNext(int index) {
    if (index < 0 || index >= Count() - 1)
        return;
    FItems.swapItemsAt(index, index + 1);
    FJournal.Moved(FItems[index + 1]->FId, index + 1);
    // Nothing else moved: both keep their numbers right.
    FItems[index]->FIndex = index;
    FItems[index + 1]->FIndex = index + 1;
    UpdateCell(index);
    UpdateCell(index + 1);
}

void TThumbnails::MoveItemToFirst(int index) {
    if (index <= 0 || index >= Count())
        return;
    FItems.move(index, 0);
    FJournal.Moved(FItems[0]->FId, 0);
    Moved(0);
    RepaintItems();
}

void TThumbnails::MoveItemToLast(int index) {
    if (index < 0 || index >= Count() - 1)
        return;
    FItems.move(index, Count() - 1);
    FJournal.Moved(FItems.last()->FId, Count() - 1);
    Moved(index);
    RepaintItems();
}

int TThumbnails::ClientWidth() const {
    return viewport()->width();
}

void TThumbnails::Arrange() {
    // Every frame takes the cell size, so frames of a video of another shape (or before any
    // video) never overlap; each is drawn letter-boxed in its cell. Nothing is placed: the
    // cells follow from their positions (CellRect), so this costs the same for any number
    // of frames.
    const int w = ClientWidth();
    const QSize cell = CellSize();
    const int columns = std::max(1, (w - 15) / (cell.width() + 15));
    const int gap = (w - columns * cell.width()) / (columns + 1);
    if (columns != FColumnCount || gap != FColumnGap)
        RepaintItems();
    FColumnCount = columns;
    FColumnGap = gap;
    const int rows = (Count() + columns - 1) / columns;
    FContentHeight = rows > 0 ? 10 + (rows - 1) * RowPitch() + cell.height() : 0;
    UpdateScrollRange();
}

void TThumbnails::UpdateScrollRange() {
    QScrollBar* bar = verticalScrollBar();
    const int page = viewport()->height();
    bar->setPageStep(std::max(1, page));
    bar->setRange(0, std::max(0, FContentHeight - page));
}

void TThumbnails::RepaintItems() {
    viewport()->update();
}

void TThumbnails::ScrollToTop() {
    verticalScrollBar()->setValue(0);
}

void TThumbnails::ScrollToBottom() {
    verticalScrollBar()->setValue(verticalScrollBar()->maximum());
}

void TThumbnails::ScrollLineUp() {
    verticalScrollBar()->setValue(verticalScrollBar()->value() - LineStep);
}

void TThumbnails::ScrollLineDown() {
    verticalScrollBar()->setValue(verticalScrollBar()->value() + LineStep);
}

void TThumbnails::resizeEvent(QResizeEvent*) {
    // Called with the viewport's new size, also when the scroll bar comes or goes.
    kw::Guarded([&] { Arrange(); });
}

void TThumbnails::scrollContentsBy(int dx, int dy) {
    // What stays in view moves; only the strip that comes into view is painted.
    viewport()->scroll(dx, dy);
}

void TThumbnails::ItemMouseDown(TThumbItem* item, Qt::MouseButton button,
                                Qt::KeyboardModifiers modifiers) {
    const int here = item->Index();
    if (button == Qt::LeftButton) {
        if (modifiers & Qt::ControlModifier) {
            item->SetSelected(!item->Selected());
            if (item->Selected())
                FAnchorIndex = here;
        } else if (modifiers & Qt::ShiftModifier) {
            // The anchor may lie beyond the last frame after deletions: the range then ends
            // at the last frame.
            const int low = std::min(FAnchorIndex, here), high = std::max(FAnchorIndex, here);
            for (int p = std::max(0, low); p <= high && p < Count(); ++p)
                Mark(FItems[p], true);
            RepaintItems();
        } else {
            ClearSelection();
            item->SetSelected(true);
            FAnchorIndex = here;
        }
    } else if (button == Qt::RightButton) {
        if (!item->Selected()) {
            ClearSelection();
            item->SetSelected(true);
        }
    }
    SetFocusItem(item);
}
