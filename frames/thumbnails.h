#pragma once
// The frame list: the one store of captured frames and its view as a vertically scrolling
// grid of numbered tiles. A frame exists only as a tile: the tile owns the frame (its pixels
// live in the list's frame store, on disk), and the frame's number is the tile's position in
// Items().
//
// Code outside frames/ reads and replaces frames through the list's data interface
// (FrameIndexes, FramePicture, Snapshot, ReplaceFramePicture), never through a tile, so that
// where a frame's pixels live stays the list's business. Every frame has an identity
// (frame_id.h) from the moment it enters the list.

#include "frames/frame_id.h"
#include "frames/frame_snapshot.h"
#include "frames/frame_store.h"

#include <QAbstractScrollArea>
#include <QColor>
#include <QHash>
#include <QImage>
#include <QList>
#include <QMenu>
#include <QString>
#include <QStringList>
#include <QWidget>

class QAction;
class QKeyEvent;
class TThumbnails;

// The frames an output reads: every frame in position order, or the selected frames in the
// order in which they became selected.
enum class TFrameChoice { All, Selected };

// Colours of a selected tile's border, read at every paint. The main window sets
// SelFrameColor before it creates the list.
extern QColor SelFrameColor; // #009EFF
extern QColor SelInnerColor; // #FFFFFF

// One tile: a frame at full size, drawn into the grid's cell with its own proportions
// (letter-boxed on the list's background) and its number.
class TThumbItem : public QWidget {
    Q_OBJECT
public:
    explicit TThumbItem(TThumbnails* thumbnails, QWidget* parent);

    TThumbnails* Thumbnails() const { return FThumbnails; }
    // The frame's identity, given when the tile was made.
    TFrameId Id() const { return FId; }
    bool Selected() const { return FSelected; }
    // Position in the list's Items(); -1 once the tile was deleted.
    int Index() const;

    // Sets the flag and keeps SelectedItems() in step; gives the tile the focus and repaints.
    void SetSelected(bool value);
    // The frame at full size, in the pixel layout in which it was handed in, read from the
    // frame store (see TStoredFrame::Picture for what it costs and how it fails).
    QImage Bitmap() const { return FFrame.Picture(); }
    QSize FrameSize() const { return FFrameSize; }
    // Stores a copy of the picture as the tile's frame, makes the painting copy from it and
    // repaints; false, with the frame as it was, when the store is full.
    bool SetFrame(const QImage& frame);
    // Asks for the frame editor on this tile (TThumbnails::EditRequested).
    void EditFrame();

    // The reduced copy that paints the tile, at the frame's size fitted into the tile: made
    // from the picture when it is stored, remade from the stored frame when the tile's size
    // changed. Frames are read from Bitmap(), never from this.
    const QImage& PaintCopy();
    // Where the frame is drawn inside the tile: its proportions kept, centred.
    QRect PictureRect() const;
    // True once an output wrote the frame and it has not changed since.
    bool Written() const { return FWritten; }

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;

private:
    friend class TThumbnails;
    TThumbnails* FThumbnails;
    TFrameId FId;
    bool FSelected = false;
    bool FWritten = false;
    bool FUnreadable = false; // the store could not read the frame for the painting copy
    QSize FFrameSize;         // of the stored frame, for the letter-box
    TStoredFrame FFrame;
    QImage FPaintCopy;
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

    // All tiles in position order; the selected ones in the order they became selected.
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
    // Stores a copy of the picture (any size, any pixel layout) as the frame at the position
    // and repaints its tile; nothing else changes (position, selection, FrameWidth and
    // FrameHeight). False, with the frame as it was, when the frame store is full: the
    // caller then shows ShowStoreFullWarning. Throws the list index error outside
    // 0..Count()-1.
    bool ReplaceFramePicture(int index, const QImage& picture);

    // Stores the video's frame size: the grid's cells become a tenth of the screen high with
    // the video's proportions, and every tile takes the new cell size.
    void SetFrameSize(int width, int height);
    // True once a video gave the frame size. Before that, the first frame to enter the list
    // gives FrameWidth and FrameHeight (and the cells' proportions), so that the outputs have
    // a size to work with when pictures came before any video.
    bool FrameSizeFromVideo() const { return FFrameSizeFromVideo; }
    // The size of every tile: ThumbWidth x ThumbHeight once a frame size is known; before
    // that a tenth of the screen high in 4:3, so that early frames show too.
    QSize CellSize() const;
    // Columns of the grid as last arranged.
    int ColumnCount() const { return FColumnCount; }
    // Both copy the frame into a new tile. False, with nothing added, when the frame store is
    // full: the caller then shows ShowStoreFullWarning (after stopping a capture).
    // InsertFrame does nothing (and says true) when nothing is selected. An error of the
    // cache file other than a full disk is thrown as kw::EFcError.
    bool AddFrame(const QImage& frame);
    bool InsertFrame(const QImage& frame);
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
    // from the anchor to it are selected as a Shift+click does. False for other keys.
    bool ArrowKey(int key, Qt::KeyboardModifiers modifiers);
    // The tile with the keyboard focus, or nullptr.
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
    // Where the frames' pixels live.
    TFrameStore& Store() { return FStore; }

    // The selection rules of a mouse press on a tile.
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

private:
    // The frame size and the cells that follow from it, from a video or the first frame.
    void ApplyFrameSize(int width, int height);
    // A tile holding a copy of the frame, with a new identity; nullptr when the store is full.
    TThumbItem* NewTile(const QImage& frame);
    TThumbItem* SelectedItem(int index) const;
    void UpdateScrollRange();
    void EnsureVisible(TThumbItem* tile);
    // Ctrl+A and the arrow keys, from the list or a tile; false for other keys.
    bool ListKey(const QKeyEvent* event);
    // Inserts a copy of the frame as a new tile at the position.
    bool InsertFrameAt(int position, const QImage& frame);

    QWidget* FContent;
    TThumbPopMenu* FPopMenu;
    QList<TThumbItem*> FItems;
    QList<TThumbItem*> FSelectedItems;
    int FAnchorIndex = 0;
    int FFrameWidth = 0;
    int FFrameHeight = 0;
    int FThumbWidth = 0;
    int FThumbHeight = 0;
    int FContentHeight = 0;
    int FColumnCount = 1;
    bool FFrameSizeFromVideo = false;
    quint64 FLastId = 0; // the identity handed out last
    QHash<quint64, TThumbItem*> FById;
    QColor FBackground;
    // The frames' pixels; the tiles hold their frames from it.
    TFrameStore FStore;

    friend class TThumbItem;
};
