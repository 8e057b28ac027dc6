#pragma once
// The frame list: the one store of captured frames and its view as a vertically scrolling
// grid of numbered tiles. A frame exists only as an item of the list (TThumbItem): the item
// holds the frame (its pixels live in the list's frame store, on disk), its selection and
// whether an output wrote it, and the frame's number is the item's position in Items().
//
// The grid is virtual: there is no widget per frame. The list computes each cell's place from
// its position, paints only the cells in view, each from a small painting copy that a worker
// makes from the frame store (paint_copies.h), and turns presses on its viewport into presses
// on the item under the pointer. Painting, the mouse and the cells' geometry are in
// thumbnails_view.cpp, the keys and the menu's commands in thumbnails_commands.cpp.
//
// Code outside frames/ reads and replaces frames through the list's data interface
// (FrameIndexes, FramePicture, Snapshot, ReplaceFramePicture), never through an item, so
// that where a frame's pixels live stays the list's business. Every frame has an identity
// (frame_id.h) from the moment it enters the list. The data interface is in
// thumbnails_frames.cpp.

#include "frames/frame_id.h"
#include "frames/frame_journal.h"
#include "frames/frame_snapshot.h"
#include "frames/frame_source.h"
#include "frames/frame_store.h"
#include "frames/paint_copies.h"

#include <QAbstractScrollArea>
#include <QColor>
#include <QHash>
#include <QImage>
#include <QList>
#include <QMenu>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QStringList>

#include <algorithm>
#include <utility>

#include <vector>

class QAction;
class QKeyEvent;
class QPainter;
class TThumbnails;

// The frames an output reads: every frame in position order, or the selected frames in the
// order in which they became selected.
enum class TFrameChoice { All, Selected };

// Colours of a selected tile's border, read at every paint. The main window sets
// SelFrameColor before it creates the list.
extern QColor SelFrameColor; // #009EFF
extern QColor SelInnerColor; // #FFFFFF

// One frame of the list: its stored picture, its selection and whether an output wrote it.
// Drawn by the list into the grid's cell at its position, with its own proportions
// (letter-boxed on the list's background) and its number. A QObject (not a widget) so that a
// pointer to it can be guarded: a deleted frame's item goes once the current event is over.
class TThumbItem : public QObject {
    Q_OBJECT
public:
    explicit TThumbItem(TThumbnails* thumbnails);

    TThumbnails* Thumbnails() const { return FThumbnails; }
    // The frame's identity, given when it entered the list.
    TFrameId Id() const { return FId; }
    bool Selected() const { return FSelected; }
    // Position in the list's Items(); -1 once the frame was deleted.
    int Index() const;

    // Sets the flag and keeps SelectedItems() in step; gives the frame the keyboard focus and
    // repaints its cell.
    void SetSelected(bool value);
    // True while the list has the keyboard focus and this frame carries it.
    bool HasFocus() const;
    // The frame at full size, in the pixel layout in which it was handed in, read from the
    // frame store (see TStoredFrame::Picture for what it costs and how it fails).
    QImage Bitmap() const { return FFrame.Picture(); }
    QSize FrameSize() const { return FFrameSize; }
    // Stores a copy of the picture as the item's frame and repaints its cell, whose painting
    // copy is then made anew; false, with the frame as it was, when the store is full.
    bool SetFrame(const QImage& frame);
    // Asks for the frame editor on this frame (TThumbnails::EditRequested).
    void EditFrame();

    // The reduced copy that paints the cell, at the frame's size fitted into the cell, once
    // the worker made it (a null picture before). Frames are read from Bitmap(), never from
    // this.
    QImage PaintCopy() const;
    // Where the frame is drawn inside its cell: its proportions kept, centred.
    QRect PictureRect() const;
    // True once an output wrote the frame and it has not changed since.
    bool Written() const { return FWritten; }
    // Where the frame came from (the video and the picture's time, or the picture file).
    const TFrameSource& Source() const { return FSource; }
    // The tile's tooltip, shown while the pointer rests on the cell: where the frame came
    // from ("phone.mp4 at 0:12.345"); none when unknown.
    QString ToolTipText() const { return FSource.Text(); }

private:
    friend class TThumbnails;
    TThumbnails* FThumbnails;
    TFrameId FId;
    int FIndex = -1; // the position when last numbered (TThumbnails::PositionOf); -1 once deleted
    bool FSelected = false;
    bool FWritten = false;
    TFrameSource FSource;
    QSize FFrameSize; // of the stored frame, for the letter-box
    TStoredFrame FFrame;
    quint64 FSerial = 0; // names the stored picture for its painting copy
};

// The popup menu of the tiles. Its actions carry the shortcuts, which also work while a tile
// or the list has the focus and the menu is closed.
class TThumbPopMenu : public QMenu {
    Q_OBJECT
public:
    explicit TThumbPopMenu(QWidget* parent);

    QAction* ItemEdit;
    QAction* ItemDeleteSelected;
    QAction* ItemMoveBackward;
    QAction* ItemMoveForward;
    QAction* ItemMoveToFirst;
    QAction* ItemMoveToLast;
    QAction* ItemInsertImages;
    QAction* ItemExport;
};

class TThumbnails : public QAbstractScrollArea {
    Q_OBJECT
public:
    static constexpr int LineStep = 64;

    explicit TThumbnails(QWidget* parent = nullptr);
    ~TThumbnails() override;

    // All frames in position order; the selected ones in the order they became selected.
    const QList<TThumbItem*>& Items() const { return FItems; }
    const QList<TThumbItem*>& SelectedItems() const { return FSelectedItems; }
    // The fixed end of a Shift range: a position, not updated by moves or deletions.
    int AnchorIndex() const { return FAnchorIndex; }
    int FrameWidth() const { return FFrameWidth; }
    int FrameHeight() const { return FFrameHeight; }
    int ThumbWidth() const { return FThumbWidth; }
    int ThumbHeight() const { return FThumbHeight; }
    TThumbPopMenu* PopMenu() const { return FPopMenu; }
    // The video's file name without folder, set by the main window.
    QString VideoFileName;

    // --- Frames as data ----------------------------------------------------------------
    // Positions of the chosen frames, in the order an output reads them.
    QList<int> FrameIndexes(TFrameChoice choice) const;
    // The picture of the frame at a position, read from the frame store into memory of its
    // own (the frame's bytes), so hold it only while working on it. Throws kw::EFcError
    // "List index out of bounds (%d)" outside 0..Count()-1, and the store's errors when the
    // frame cannot be read (TStoredFrame::Picture).
    QImage FramePicture(int index) const;
    // The frame's size, without reading it; the same index error.
    QSize FrameSizeAt(int index) const;
    // The chosen frames, in the order of FrameIndexes, with their identities: the snapshot an
    // output works through. Costs no frame's memory until a frame is read from it.
    TFrameSnapshot Snapshot(TFrameChoice choice) const;
    // The frame at a position alone (the index error outside the list).
    TFrameSnapshot Snapshot(int index) const;
    // The identity of the frame at a position (the index error outside the list), and the
    // position of the frame of an identity (-1 when it is no longer in the list).
    TFrameId FrameId(int index) const;
    int IndexOf(TFrameId id) const;
    // Where the frame at a position (the index error outside the list), or of an identity
    // (an empty source when it is no longer in the list), came from: the video file's name
    // and the picture's time in milliseconds, or the picture file's name.
    TFrameSource FrameSource(int index) const;
    TFrameSource FrameSource(TFrameId id) const;
    // Stores a copy of the picture (any size, any pixel layout) as the frame at the position
    // and repaints its cell; nothing else changes (position, selection, FrameWidth and
    // FrameHeight). False, with the frame as it was, when the frame store is full: the
    // caller then shows ShowStoreFullWarning. Throws the list index error outside
    // 0..Count()-1.
    bool ReplaceFramePicture(int index, const QImage& picture);
    // Replaces, at once, the frame of each identity in `frames` with the frame already in
    // the store at the same place of `stored` (results a worker stored), wherever the frame is
    // now; identities no longer in the list are skipped. Positions, selection, FrameWidth and
    // FrameHeight stay; the tiles repaint from the new frames. Returns how many were replaced.
    int ReplaceStoredFrames(const TFrameSnapshot& frames, const std::vector<TStoredFrame>& stored);

    // Stores the video's frame size: the grid's cells become a tenth of the screen high with
    // the video's proportions, and every frame shows in the new cell size (its painting copy
    // is made anew).
    void SetFrameSize(int width, int height);
    // True once a video gave the frame size. Before that, the first frame to enter the list
    // gives FrameWidth and FrameHeight (and the cells' proportions), so that the outputs have
    // a size to work with when pictures came before any video.
    bool FrameSizeFromVideo() const { return FFrameSizeFromVideo; }
    // The size of every cell: ThumbWidth x ThumbHeight once a frame size is known; before
    // that a tenth of the screen high in 4:3, so that early frames show too.
    QSize CellSize() const;
    // Columns of the grid as last arranged.
    int ColumnCount() const { return FColumnCount; }
    // Both copy the frame into a new item. False, with nothing added, when the frame store is
    // full: the caller then shows ShowStoreFullWarning (after stopping a capture).
    // InsertFrame does nothing (and says true) when nothing is selected. An error of the
    // cache file other than a full disk is thrown as kw::EFcError.
    // `source` says where the frame came from (its tooltip, and the record the journal
    // keeps).
    bool AddFrame(const QImage& frame, const TFrameSource& source = {});
    bool InsertFrame(const QImage& frame, const TFrameSource& source = {});
    // Reads the picture files and inserts them, stretched to the video's frame size (in their
    // own size before any video gave one), before the earliest selected frame (in file
    // order). With nothing selected they go to the end when appendWhenNothingSelected, else
    // nowhere (the files are still read). Every readable picture goes in; the files that
    // cannot be read are reported together at the end, in one error box naming each file and
    // its reason. A full memory or frame store ends the insertion with its warning, followed
    // by the report of the files read until then.
    void InsertPictureFiles(const QStringList& files, bool appendWhenNothingSelected);

    // --- What the outputs wrote ------------------------------------------------------------
    // Frames that no output has written since they last changed (were grabbed, inserted or
    // replaced).
    int UnwrittenCount() const;
    // An output wrote these frames: each frame of the snapshot that is still in the list and
    // still holds the pixels the snapshot took counts as written, wherever it is now. Frames
    // deleted or replaced meanwhile are left as they are.
    void MarkWritten(const TFrameSnapshot& written);

    // --- Keyboard ----------------------------------------------------------------------
    // Every frame becomes selected (those already selected keep their place in
    // SelectedItems(), the others follow in position order); the anchor stays.
    void SelectAll();
    // Moves the focus by an arrow key: Left/Right one frame, Up/Down one row. Without Shift
    // the focused frame becomes the only selected one and the anchor; with Shift the frames
    // from the anchor to it are selected as a Shift+click does; the focused frame's cell is
    // scrolled into view. False for other keys.
    bool ArrowKey(int key, Qt::KeyboardModifiers modifiers);
    // The frame with the keyboard focus while the list has it, or nullptr.
    TThumbItem* FocusedItem() const;
    int Count() const { return int(FItems.size()); }
    // Throws kw::EFcError "List index out of bounds (%d)" outside 0..Count()-1.
    TThumbItem* GetItem(int index) const;
    void DeleteSelected();
    void ClearSelection();
    void ExchangeWithPrevious(int index);
    void ExchangeWithNext(int index);
    void MoveItemToFirst(int index);
    void MoveItemToLast(int index);
    void Arrange();
    void RepaintItems();
    void ScrollToTop();
    void ScrollToBottom();
    void ScrollLineUp();
    void ScrollLineDown();
    // Background of the list's area behind the tiles.
    void SetBackgroundColor(const QColor& color);
    // The width the grid is laid out in: inside the vertical scroll bar when it is shown.
    int ClientWidth() const;
    // Height of the scrolled content: the bottom edge of the lowest tile.
    int ContentHeight() const { return FContentHeight; }
    // Where the frames' pixels live, and the journal that makes the list's records durable.
    TFrameStore& Store() { return FStore; }
    TFrameJournal& Journal() { return FJournal; }
    // The journal syncs now rather than within the second: a capture stopped, an output
    // ended, the editor saved.
    void SyncJournal() { FJournal.SyncSoon(); }

    // --- The grid's cells ----------------------------------------------------------------
    // The cell of the frame at a position, in content coordinates (not moved by scrolling):
    // column p mod ColumnCount, row p div ColumnCount. Valid for any position.
    QRect CellRect(int index) const;
    // The frame whose cell holds the point of the viewport, or -1 (a gap, the empty area).
    int CellAt(QPoint viewportPoint) const;
    // Scrolls the least that shows the frame's cell whole (and the margin above the first
    // row).
    void EnsureVisible(int index);
    // The painting copies and their worker.
    TPaintCopies& PaintCopies() { return FCopies; }
    // Asks the worker for the copies that the cells in view lack (at the current cell size),
    // then for those of a page below and above, and says how many the cells in view lack; 0
    // once every cell in view can paint its frame. Every paint asks.
    int RequestPaintCopies();

    // The selection rules of a mouse press on a frame's cell.
    void ItemMouseDown(TThumbItem* item, Qt::MouseButton button, Qt::KeyboardModifiers modifiers);

    // The popup menu's commands.
    void EditClick();
    void DeleteSelectedClick();
    void MoveBackwardClick();
    void MoveForwardClick();
    void MoveToFirstClick();
    void MoveToLastClick();
    void InsertImagesClick();
    void ExportClick();

signals:
    // Open the frame editor on the tile (double-click, "Edit").
    void EditRequested(TThumbItem* item);
    // Open the export dialog ("Export ...").
    void ExportRequested();

protected:
    void resizeEvent(QResizeEvent* event) override;
    void scrollContentsBy(int dx, int dy) override;
    void keyPressEvent(QKeyEvent* event) override;
    // The viewport's events: its paint, the presses, the pointer's shape, the menu, the
    // tooltip.
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;
    bool viewportEvent(QEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;

private:
    // The frame size and the cells that follow from it, from a video or the first frame.
    void ApplyFrameSize(int width, int height);
    // A new item holding a copy of the frame, with a new identity; nullptr when the store is
    // full.
    TThumbItem* NewItem(const QImage& frame);
    TThumbItem* SelectedItem(int index) const;
    void UpdateScrollRange();
    // Ctrl+A and the arrow keys; false for other keys.
    bool ListKey(const QKeyEvent* event);
    // Inserts a copy of the frame as a new item at the position.
    bool InsertFrameAt(int position, const QImage& frame, const TFrameSource& source);
    // The item's position, numbering the items again from the first one that moved.
    int PositionOf(const TThumbItem* item) const;
    // Items from this position on moved: their positions are numbered again when asked.
    void Moved(int from) { FNumberedBelow = std::min(FNumberedBelow, from); }
    // Selects or deselects without moving the focus or repainting (the callers do once).
    void Mark(TThumbItem* item, bool selected);
    // Takes the items out of the list; they are freed once the current event is over.
    void Discard(const QList<TThumbItem*>& items);
    // The focus moves to the item (nullptr: none) and both cells repaint.
    void SetFocusItem(TThumbItem* item);
    // Repaints the frame's cell when it is in view.
    void UpdateItem(const TThumbItem* item);
    void UpdateCell(int index);
    // The rows that touch the viewport's rectangle, first and last (last < first: none).
    std::pair<int, int> RowsIn(const QRect& viewportRect) const;
    int RowPitch() const { return CellSize().height() + 15; }
    // Paints one cell at its place in the viewport.
    void PaintCell(QPainter& painter, int index, const QRect& cell);
    // Repaints the cells in view that show these pictures.
    void CopiesDelivered(const QList<quint64>& serials);

    TThumbPopMenu* FPopMenu;
    QList<TThumbItem*> FItems;
    QList<TThumbItem*> FSelectedItems;
    // Items below this position carry their position (TThumbItem::FIndex).
    mutable int FNumberedBelow = 0;
    TThumbItem* FFocusItem = nullptr;
    int FAnchorIndex = 0;
    int FFrameWidth = 0;
    int FFrameHeight = 0;
    int FThumbWidth = 0;
    int FThumbHeight = 0;
    int FContentHeight = 0;
    int FColumnCount = 1;
    int FColumnGap = 0;
    bool FFrameSizeFromVideo = false;
    quint64 FLastId = 0; // the identity handed out last
    QHash<quint64, TThumbItem*> FById;
    quint64 FLastSerial = 0;                // the picture serial handed out last
    QList<QPointer<TThumbItem>> FDiscarded; // deleted items whose deferred deletion is due
    QColor FBackground;
    // The frames' pixels; the items hold their frames from it.
    TFrameStore FStore;
    // Every change of the frames is journaled; it goes (its file removed) before the store.
    TFrameJournal FJournal{FStore};
    // Declared after the store: the worker stops before the store goes.
    TPaintCopies FCopies;

    friend class TThumbItem;
};
