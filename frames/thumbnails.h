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
#include <QWidget>

class QAction;
class TThumbnails;

// The frames an output reads: every frame in position order, or the selected frames in the
// order in which they became selected.
enum class TFrameChoice { All, Selected };

// Colours of a selected tile's border, read at every paint. The main window sets
// SelFrameColor before it creates the list.
extern QColor SelFrameColor; // #009EFF
extern QColor SelInnerColor; // #FFFFFF

// One tile: a frame at full size, drawn stretched over the tile with its number.
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

    // The reduced copy that paints the tile, at the tile's size: made from the picture when
    // it is stored, remade from the stored frame when the tile's size changed. Frames are
    // read from Bitmap(), never from this.
    const QImage& PaintCopy();

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;

private:
    friend class TThumbnails;
    TThumbnails* FThumbnails;
    bool FSelected = false;
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

    // Stores the video's frame size; tiles made from now on are a tenth of the screen high
    // with the video's proportions. Existing tiles keep their size.
    void SetFrameSize(int width, int height);
    // Both copy the frame into a new tile. False, with nothing added, when the frame store is
    // full: the caller then shows ShowStoreFullWarning (after stopping a capture).
    // InsertFrame does nothing (and says true) when nothing is selected. An error of the
    // cache file other than a full disk is thrown as kw::EFcError.
    bool AddFrame(const QImage& frame);
    bool InsertFrame(const QImage& frame);
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

private:
    TThumbItem* NewTile(const QImage& frame);
    TThumbItem* SelectedItem(int index) const;
    void UpdateScrollRange();

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
    // The frames' pixels; the tiles hold their frames from it.
    TFrameStore FStore;

    friend class TThumbItem;
};
