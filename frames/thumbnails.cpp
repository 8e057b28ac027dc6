#include "frames/thumbnails.h"

#include "codecs/picture_reader.h"
#include "common/kw_dialogs.h"
#include "common/kw_fonts.h"
#include "common/kw_guard.h"
#include "frames/memory_guard.h"

#include <QAction>
#include <QContextMenuEvent>
#include <QFontMetrics>
#include <QMouseEvent>
#include <QPainter>
#include <QScrollBar>

#include <algorithm>
#include <cmath>
#include <memory>
#include <optional>
#include <vector>

QColor SelFrameColor(0x00, 0x9E, 0xFF);
QColor SelInnerColor(0xFF, 0xFF, 0xFF);

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

// The picture reduced (or enlarged) to the tile's size, as RGB32. Each target pixel averages
// up to 4 x 4 source pixels spread evenly over the area it covers: a cheap box filter that
// reads only a few pixels of a full-size frame.
QImage StretchForTile(const QImage& picture, QSize size) {
    if (picture.isNull() || size.isEmpty())
        return QImage();
    QImage source = picture;
    const QImage::Format f = source.format();
    if (f != QImage::Format_RGB888 && f != QImage::Format_RGB32 && f != QImage::Format_ARGB32 &&
        f != QImage::Format_ARGB32_Premultiplied)
        source = source.convertToFormat(QImage::Format_RGB32);
    const bool packed = source.format() == QImage::Format_RGB888;
    const int sw = source.width(), sh = source.height();
    const int dw = size.width(), dh = size.height();
    const int nx = std::clamp(sw / dw, 1, 4), ny = std::clamp(sh / dh, 1, 4);
    QImage out(size, QImage::Format_RGB32);
    if (out.isNull())
        return out;
    auto positions = [](int dst, int src, int n) {
        std::vector<int> at(size_t(dst) * n);
        for (int i = 0; i < dst * n; ++i)
            at[size_t(i)] =
                std::min(src - 1, int((qint64(2 * i + 1) * src) / (qint64(2) * dst * n)));
        return at;
    };
    const std::vector<int> xs = positions(dw, sw, nx), ys = positions(dh, sh, ny);
    const int count = nx * ny;
    for (int y = 0; y < dh; ++y) {
        QRgb* line = reinterpret_cast<QRgb*>(out.scanLine(y));
        for (int x = 0; x < dw; ++x) {
            int r = 0, g = 0, b = 0;
            for (int j = 0; j < ny; ++j) {
                const uchar* row = source.constScanLine(ys[size_t(y * ny + j)]);
                for (int i = 0; i < nx; ++i) {
                    const int sx = xs[size_t(x * nx + i)];
                    if (packed) {
                        const uchar* p = row + sx * 3;
                        r += p[0];
                        g += p[1];
                        b += p[2];
                    } else {
                        const QRgb p = reinterpret_cast<const QRgb*>(row)[sx];
                        r += qRed(p);
                        g += qGreen(p);
                        b += qBlue(p);
                    }
                }
            }
            const int half = count / 2;
            line[x] = qRgb((r + half) / count, (g + half) / count, (b + half) / count);
        }
    }
    return out;
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
// TThumbItem

TThumbItem::TThumbItem(TThumbnails* thumbnails, QWidget* parent)
    : QWidget(parent), FThumbnails(thumbnails) {
    setCursor(Qt::PointingHandCursor);
    setFocusPolicy(Qt::ClickFocus);
    // The frame covers the whole tile, so nothing behind it needs painting.
    setAttribute(Qt::WA_OpaquePaintEvent);
}

int TThumbItem::Index() const {
    return int(FThumbnails->FItems.indexOf(this));
}

void TThumbItem::SetSelected(bool value) {
    if (value && !FSelected) {
        FSelected = true;
        FThumbnails->FSelectedItems.append(this);
    } else if (!value && FSelected) {
        FSelected = false;
        FThumbnails->FSelectedItems.removeOne(this);
    }
    setFocus();
    update();
}

bool TThumbItem::SetFrame(const QImage& frame) {
    // A copy: the caller reuses its picture at once.
    std::optional<TStoredFrame> stored = FThumbnails->FStore.Put(frame);
    if (!stored)
        return false;
    FFrame = std::move(*stored);
    // Made from the caller's picture while it is at hand, rather than read back from disk.
    FPaintCopy = StretchForTile(frame, size());
    update();
    return true;
}

void TThumbItem::EditFrame() {
    emit FThumbnails->EditRequested(this);
}

const QImage& TThumbItem::PaintCopy() {
    if (FPaintCopy.size() != size() && !FFrame.IsNull())
        FPaintCopy = StretchForTile(Bitmap(), size());
    return FPaintCopy;
}

void TThumbItem::paintEvent(QPaintEvent*) {
    kw::Guarded([&] {
        QPainter painter(this);
        const int w = width(), h = height();
        const QImage& picture = PaintCopy();
        if (picture.isNull())
            painter.fillRect(rect(), Qt::black);
        else
            painter.drawImage(0, 0, picture);
        QPoint label(0, 0);
        if (FSelected) {
            Outline(painter, 0, 0, w, h, SelFrameColor);
            Outline(painter, 1, 1, w - 1, h - 1, SelFrameColor);
            Outline(painter, 2, 2, w - 2, h - 2, SelInnerColor);
            label = QPoint(4, 3);
        }
        const QString text = QString::number(Index());
        const QFontMetrics& fm = LabelMetrics();
        painter.fillRect(QRect(label, QSize(fm.horizontalAdvance(text), fm.height())),
                         LabelBackground);
        painter.setFont(LabelFont());
        painter.setPen(Qt::white);
        painter.drawText(label.x(), label.y() + fm.ascent(), text);
    });
}

void TThumbItem::mousePressEvent(QMouseEvent* event) {
    kw::Guarded([&] { FThumbnails->ItemMouseDown(this, event->button(), event->modifiers()); });
    event->accept();
}

void TThumbItem::mouseDoubleClickEvent(QMouseEvent* event) {
    // The double-click event stands for the second press: the editor opens first, and once
    // it has closed the press changes the selection like any other (a plain double-click
    // leaves this tile the only selected one, a Ctrl double-click toggles it back).
    kw::Guarded([&] {
        if (event->button() == Qt::LeftButton)
            EditFrame();
        FThumbnails->ItemMouseDown(this, event->button(), event->modifiers());
    });
    event->accept();
}

void TThumbItem::contextMenuEvent(QContextMenuEvent* event) {
    // A right press has already made this tile part of the selection; the context-menu key
    // opens the menu on the selection as it is.
    kw::Guarded([&] { FThumbnails->FPopMenu->popup(event->globalPos()); });
    event->accept();
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
    // The tiles live on one content widget that scrolling moves as a whole.
    FContent = new QWidget(viewport());
    FContent->setObjectName(QStringLiteral("thumbnails_content"));
    FContent->move(0, 0);
    FContent->resize(0, 0);
    SetBackgroundColor(QColor(0xF2, 0xF2, 0xF2));

    FPopMenu = new TThumbPopMenu(this);
    // The list carries the actions too, so their shortcuts work while a tile (or the list)
    // has the focus and the menu is closed.
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
    // The frames go before the store that holds them, the tiles with the content widget;
    // nothing may look them up meanwhile.
    for (TThumbItem* tile : std::as_const(FItems))
        tile->FFrame = TStoredFrame();
    FSelectedItems.clear();
    FItems.clear();
}

void TThumbnails::SetBackgroundColor(const QColor& color) {
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
}

void TThumbnails::SetFrameSize(int width, int height) {
    FFrameWidth = width;
    FFrameHeight = height;
    FThumbHeight = kw::Desktop().ScreenSize().height() / 10;
    // Rounded to the nearest integer, halves to the even one.
    FThumbWidth = height > 0 ? int(std::nearbyint(double(width) / height * FThumbHeight)) : 0;
}

TThumbItem* TThumbnails::NewTile(const QImage& frame) {
    auto tile = std::make_unique<TThumbItem>(this, FContent);
    tile->resize(FThumbWidth, FThumbHeight);
    if (!tile->SetFrame(frame))
        return nullptr;
    tile->show();
    return tile.release();
}

bool TThumbnails::AddFrame(const QImage& frame) {
    TThumbItem* tile = NewTile(frame);
    if (!tile)
        return false;
    FItems.append(tile);
    Arrange();
    ScrollToBottom();
    return true;
}

bool TThumbnails::InsertFrame(const QImage& frame) {
    if (FSelectedItems.isEmpty())
        return true;
    TThumbItem* tile = NewTile(frame);
    if (!tile)
        return false;
    FItems.insert(FItems.indexOf(FSelectedItems.first()), tile);
    RepaintItems();
    Arrange();
    return true;
}

TThumbItem* TThumbnails::GetItem(int index) const {
    if (index < 0 || index >= Count())
        throw kw::EFcError(QStringLiteral("List index out of bounds (%1)").arg(index));
    return FItems[index];
}

QList<int> TThumbnails::FrameIndexes(TFrameChoice choice) const {
    QList<int> indexes;
    if (choice == TFrameChoice::All) {
        indexes.reserve(FItems.size());
        for (int i = 0; i < Count(); ++i)
            indexes.append(i);
    } else {
        indexes.reserve(FSelectedItems.size());
        for (const TThumbItem* tile : FSelectedItems)
            indexes.append(tile->Index());
    }
    return indexes;
}

QImage TThumbnails::FramePicture(int index) const {
    return GetItem(index)->Bitmap();
}

QList<QImage> TThumbnails::FramePictures(TFrameChoice choice) const {
    const QList<TThumbItem*>& tiles = choice == TFrameChoice::All ? FItems : FSelectedItems;
    QList<QImage> pictures;
    pictures.reserve(tiles.size());
    for (const TThumbItem* tile : tiles)
        pictures.append(tile->Bitmap());
    return pictures;
}

bool TThumbnails::ReplaceFramePicture(int index, const QImage& picture) {
    // The new picture gets a slot of its own (of its own size); the old slot is freed once
    // no picture taken from it is held any more.
    return GetItem(index)->SetFrame(picture);
}

TThumbItem* TThumbnails::SelectedItem(int index) const {
    if (index < 0 || index >= FSelectedItems.size())
        throw kw::EFcError(QStringLiteral("List index out of bounds (%1)").arg(index));
    return FSelectedItems[index];
}

void TThumbnails::DeleteSelected() {
    const QList<TThumbItem*> doomed = FSelectedItems;
    FSelectedItems.clear();
    FItems.removeIf([](const TThumbItem* tile) { return tile->FSelected; });
    for (TThumbItem* tile : doomed) {
        // Keep the focus (and with it the shortcuts) on the list rather than letting it wander.
        if (tile->hasFocus())
            setFocus();
        tile->hide();
        // The frame's slot is given back now (or when the last picture taken from it goes);
        // the widget goes when the current event is over, since the command may have been
        // started from one of its own events.
        tile->FFrame = TStoredFrame();
        tile->FPaintCopy = QImage();
        tile->FSelected = false;
        tile->deleteLater();
    }
    RepaintItems();
    Arrange();
}

void TThumbnails::ClearSelection() {
    while (!FSelectedItems.isEmpty())
        FSelectedItems.last()->SetSelected(false);
}

void TThumbnails::ExchangeWithPrevious(int index) {
    if (index <= 0 || index >= Count())
        return;
    FItems.swapItemsAt(index, index - 1);
    FItems[index]->update();
    FItems[index - 1]->update();
}

void TThumbnails::ExchangeWithNext(int index) {
    if (index < 0 || index >= Count() - 1)
        return;
    FItems.swapItemsAt(index, index + 1);
    FItems[index]->update();
    FItems[index + 1]->update();
}

void TThumbnails::MoveItemToFirst(int index) {
    if (index <= 0 || index >= Count())
        return;
    FItems.move(index, 0);
    RepaintItems();
}

void TThumbnails::MoveItemToLast(int index) {
    if (index < 0 || index >= Count() - 1)
        return;
    FItems.move(index, Count() - 1);
    RepaintItems();
}

int TThumbnails::ClientWidth() const {
    return viewport()->width();
}

void TThumbnails::Arrange() {
    const int w = ClientWidth();
    const int columns = std::max(1, (w - 15) / (FThumbWidth + 15));
    const int gap = (w - columns * FThumbWidth) / (columns + 1);
    int x = gap, y = 10, column = 1, bottom = 0;
    for (TThumbItem* tile : std::as_const(FItems)) {
        if (tile->pos() != QPoint(x, y))
            tile->move(x, y);
        bottom = std::max(bottom, y + tile->height());
        x += FThumbWidth + gap;
        if (++column > columns) {
            column = 1;
            x = gap;
            y += FThumbHeight + 15;
        }
    }
    FContentHeight = bottom;
    if (FContent->size() != QSize(w, bottom))
        FContent->resize(w, bottom);
    UpdateScrollRange();
}

void TThumbnails::UpdateScrollRange() {
    QScrollBar* bar = verticalScrollBar();
    const int page = viewport()->height();
    bar->setPageStep(std::max(1, page));
    bar->setRange(0, std::max(0, FContentHeight - page));
    FContent->move(0, -bar->value());
}

void TThumbnails::RepaintItems() {
    for (TThumbItem* tile : std::as_const(FItems))
        tile->update();
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

void TThumbnails::scrollContentsBy(int, int) {
    FContent->move(0, -verticalScrollBar()->value());
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
                FItems[p]->SetSelected(true);
        } else {
            ClearSelection();
            item->SetSelected(true);
            FAnchorIndex = here;
        }
        item->update();
    } else if (button == Qt::RightButton) {
        if (!item->Selected()) {
            ClearSelection();
            item->SetSelected(true);
        }
    }
    item->setFocus();
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
    if (files.isEmpty())
        return;
    // One working picture for all files, the video's frame size. Before the first video
    // there is no frame size yet; a picture then keeps its own size.
    QImage work;
    for (const QString& file : files) {
        const QImage picture = ReadPicture(file); // an error ends the insertion here
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
        if (!InsertFrame(work)) {
            ShowStoreFullWarning(window());
            return;
        }
    }
}

void TThumbnails::ExportClick() {
    emit ExportRequested();
}
