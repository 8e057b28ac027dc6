#pragma once
// The frame list: the one store of captured frames and its view as a vertically scrolling
// grid of numbered tiles. A frame exists only as a tile: the tile owns the frame (its pixels
// live in the list's frame store, on disk), and the frame's number is the tile's position in
// Items().
//
// Code outside frames/ reads and replaces frames through the list's data interface
// (FrameIndexes, FramePicture, FramePictures, ReplaceFramePicture), never through a tile,
// so that where a frame's pixels live stays the list's business.

#include "frames/frame_store.h"

#include <QAbstractScrollArea>
#include <QColor>
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
    bool Selected() const { return FSelected; }
    // Position in the list's Items(); -1 once the tile was deleted.
    int Index() const;

    // Sets the flag and keeps SelectedItems() in step; gives the tile the focus and repaints.
    void SetSelected(bool value);
    // The frame at full size, in the pixel layout in which it was handed in: a picture over
    // the stored pixels (see TStoredFrame::Picture for what it costs and promises).
    QImage Bitmap() const { return FFrame.Picture(); }
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
    bool FSelected = false;
    bool FWritten = false;
    QSize FFrameSize; // of the stored frame, for the letter-box
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
    // The picture of the frame at a position: a read-only QImage over the frame store's
    // cache file, made without copying or reading anything. Its pixels are read from disk
    // (or the page cache) as the caller reads them, and dropped from memory once its last
    // copy goes, so hold it only while reading it. It keeps the pixels it was given even
    // when the frame is replaced or deleted later. Writing to it makes a private copy first.
    // Throws kw::EFcError "List index out of bounds (%d)" outside 0..Count()-1.
    QImage FramePicture(int index) const;
    // The pictures of the chosen frames, in the order of FrameIndexes: the snapshot an
    // output works through. As cheap as FramePicture for each: a list of every frame costs
    // no memory until the frames are read.
    QList<QImage> FramePictures(TFrameChoice choice) const;
    // Stores a copy of the picture (any size, any pixel layout) as the frame at the position
    // and repaints its tile; nothing else changes (position, selection, FrameWidth and
    // FrameHeight). False, with the frame as it was, when the frame store is full: the
    // caller then shows ShowStoreFullWarning. Throws the list index error outside
    // 0..Count()-1.
    bool ReplaceFramePicture(int index, const QImage& picture);

    // Stores the video's frame size: the grid's cells become a tenth of the screen high with
    // the video's proportions, and every tile takes the new cell size.
    void SetFrameSize(int width, int height);
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
    // Reads the picture files and inserts them, stretched to the frame size, before the
    // earliest selected frame (in file order). With nothing selected they go to the end when
    // appendWhenNothingSelected, else nowhere. A file that cannot be read shows its loading
    // error; with skipUnreadable the other files still go in, otherwise the insertion ends
    // there. A full memory or frame store ends it with its warning.
    void InsertPictureFiles(const QStringList& files, bool appendWhenNothingSelected,
                            bool skipUnreadable);

    // --- What the outputs wrote ------------------------------------------------------------
    // Frames that no output has written since they last changed (were grabbed, inserted or
    // replaced).
    int UnwrittenCount() const;
    // An output wrote the frames at these positions.
    void MarkWritten(const QList<int>& indexes);

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
    QColor FBackground;
    // The frames' pixels; the tiles hold their frames from it.
    TFrameStore FStore;

    friend class TThumbItem;
};
