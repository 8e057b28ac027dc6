#include "frames/thumbnails.h"

#include "codecs/picture_reader.h"
#include "common/kw_dialogs.h"
#include "common/kw_fonts.h"
#include "common/kw_guard.h"
#include "common/kw_memory.h"

#include <QAction>
#include <QContextMenuEvent>
#include <QFontMetrics>
#include <QKeyEvent>
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

// A picture of the given size fitted into the area with its proportions, centred.
QRect FitInto(QSize picture, const QRect& area) {
    if (picture.isEmpty() || area.isEmpty())
        return QRect();
    const QSize fitted = picture.scaled(area.size(), Qt::KeepAspectRatio);
    const QSize size(std::max(1, fitted.width()), std::max(1, fitted.height()));
    return QRect(area.x() + (area.width() - size.width()) / 2,
                 area.y() + (area.height() - size.height()) / 2, size.width(), size.height());
}

} // namespace

// ---------------------------------------------------------------------------------------------
// TThumbItem

TThumbItem::TThumbItem(TThumbnails* thumbnails, QWidget* parent)
    : QWidget(parent), FThumbnails(thumbnails) {
    setCursor(Qt::PointingHandCursor);
    setFocusPolicy(Qt::ClickFocus);
    // The paint fills the whole tile (the frame and its letter-box), so nothing behind it
    // needs painting.
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
    FFrameSize = frame.size();
    FWritten = false;
    FUnreadable = false;
    // Made from the caller's picture while it is at hand, rather than read back from disk.
    FPaintCopy = StretchForTile(frame, PictureRect().size());
    update();
    return true;
}

void TThumbItem::EditFrame() {
    emit FThumbnails->EditRequested(this);
}

QRect TThumbItem::PictureRect() const {
    return FitInto(FFrameSize, rect());
}

const QImage& TThumbItem::PaintCopy() {
    const QSize fitted = PictureRect().size();
    if (FPaintCopy.size() != fitted && !FFrame.IsNull() && !FUnreadable) {
        // A frame the store cannot read (or no memory to read it in now) paints black; the
        // error shows where the frame is used, not at every repaint.
        try {
            FPaintCopy = StretchForTile(Bitmap(), fitted);
        } catch (const std::exception& e) {
            FPaintCopy = QImage();
            FUnreadable = dynamic_cast<const kw::EMemoryRefused*>(&e) == nullptr;
            kw::ReportCause(QStringLiteral("A tile's frame cannot be read"), kw::MessageOf(e));
        }
    }
    return FPaintCopy;
}

void TThumbItem::paintEvent(QPaintEvent*) {
    kw::Guarded([&] {
        QPainter painter(this);
        const int w = width(), h = height();
        const QImage& picture = PaintCopy();
        const QRect at = PictureRect();
        if (picture.isNull() || at.isEmpty()) {
            painter.fillRect(rect(), Qt::black);
        } else {
            // The frame keeps its proportions; the rest of the cell is the list's background.
            const QRegion around = QRegion(rect()) - QRegion(at);
            for (const QRect& r : around)
                painter.fillRect(r, FThumbnails->FBackground);
            painter.drawImage(at.topLeft(), picture);
        }
        QPoint label(0, 0);
        if (FSelected) {
            Outline(painter, 0, 0, w, h, SelFrameColor);
            Outline(painter, 1, 1, w - 1, h - 1, SelFrameColor);
            Outline(painter, 2, 2, w - 2, h - 2, SelInnerColor);
            label = QPoint(4, 3);
        }
        if (hasFocus()) {
            // The keyboard focus: a dotted line inside the selection border, black under
            // white so that it shows on any picture.
            const QRect mark(4, 4, w - 9, h - 9);
            painter.setPen(QPen(Qt::black, 1));
            painter.drawRect(mark);
            painter.setPen(QPen(Qt::white, 1, Qt::DotLine));
            painter.drawRect(mark);
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

void TThumbItem::keyPressEvent(QKeyEvent* event) {
    // The list decides what the arrow keys and Ctrl+A do; other keys go on to the window.
    if (FThumbnails->ListKey(event))
        event->accept();
    else
        QWidget::keyPressEvent(event);
}

void TThumbItem::focusInEvent(QFocusEvent* event) {
    QWidget::focusInEvent(event);
    update();
}

void TThumbItem::focusOutEvent(QFocusEvent* event) {
    QWidget::focusOutEvent(event);
    update();
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
    FById.clear();
}

void TThumbnails::SetBackgroundColor(const QColor& color) {
    FBackground = color;
    RepaintItems();
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
}

QSize TThumbnails::CellSize() const {
    if (FThumbWidth > 0 && FThumbHeight > 0)
        return QSize(FThumbWidth, FThumbHeight);
    const int h = std::max(1, kw::Desktop().ScreenSize().height() / 10);
    return QSize(h * 4 / 3, h);
}

TThumbItem* TThumbnails::NewTile(const QImage& frame) {
    auto tile = std::make_unique<TThumbItem>(this, FContent);
    tile->resize(CellSize());
    if (!tile->SetFrame(frame))
        return nullptr;
    // Pictures before any video: the first frame gives the size the outputs work with.
    if (!FFrameSizeFromVideo && (FFrameWidth <= 0 || FFrameHeight <= 0) && !frame.isNull()) {
        ApplyFrameSize(frame.width(), frame.height());
        tile->resize(CellSize());
    }
    tile->FId = TFrameId(++FLastId);
    FById.insert(tile->FId.Value(), tile.get());
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
    return InsertFrameAt(int(FItems.indexOf(FSelectedItems.first())), frame);
}

bool TThumbnails::InsertFrameAt(int position, const QImage& frame) {
    TThumbItem* tile = NewTile(frame);
    if (!tile)
        return false;
    FItems.insert(std::clamp(position, 0, Count()), tile);
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
        FById.remove(tile->FId.Value());
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
    // Every tile takes the cell size, so tiles made for a video of another shape (or before
    // any video) never overlap; each draws its frame letter-boxed in the cell.
    const int w = ClientWidth();
    const QSize cell = CellSize();
    const int columns = std::max(1, (w - 15) / (cell.width() + 15));
    const int gap = (w - columns * cell.width()) / (columns + 1);
    FColumnCount = columns;
    int x = gap, y = 10, column = 1, bottom = 0;
    for (TThumbItem* tile : std::as_const(FItems)) {
        if (tile->geometry() != QRect(QPoint(x, y), cell))
            tile->setGeometry(QRect(QPoint(x, y), cell));
        bottom = std::max(bottom, y + cell.height());
        x += cell.width() + gap;
        if (++column > columns) {
            column = 1;
            x = gap;
            y += cell.height() + 15;
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
