#pragma once
// The frame list: the one store of captured frames and its view as a vertically scrolling
// grid of numbered tiles. A frame exists only as a tile: the tile owns the full-size picture,
// and the frame's number is the tile's position in Items().
//
// Code outside frames/ reads and replaces frames through the list's data interface
// (FrameIndexes, FramePicture, FramePictures, ReplaceFramePicture), never through a tile's
// Bitmap, so that where a frame's pixels live stays the list's business.

#include "frames/frame_reserve.h"

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
    // The frame at full size, in the pixel layout in which it was handed in. Whoever changes
    // it calls BitmapChanged() (an assignment or a QPainter on it is also noticed at the
    // next paint).
    QImage Bitmap;

    explicit TThumbItem(TThumbnails* thumbnails, QWidget* parent);

    TThumbnails* Thumbnails() const { return FThumbnails; }
    bool Selected() const { return FSelected; }
    // Position in the list's Items(); -1 once the tile was deleted.
    int Index() const;

    // Sets the flag and keeps SelectedItems() in step; gives the tile the focus and repaints.
    void SetSelected(bool value);
    // Copies the picture into Bitmap (through the list's buffer reserve); false (Bitmap left
    // empty) when memory ran out.
    bool SetFrame(const QImage& frame);
    // Asks for the frame editor on this tile (TThumbnails::EditRequested).
    void EditFrame();
    // Rebuilds the painting copy from Bitmap and repaints the tile.
    void BitmapChanged();

    // The reduced copy that paints the tile: the tile's size, rebuilt from Bitmap when it
    // changed. Frames are read from Bitmap, never from this.
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
    QImage FPaintCopy;
    qint64 FPaintCopyKey = -1;
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
    // The stored picture of the frame at a position, shared rather than copied: the handle
    // keeps the pixels it was given even when the frame is replaced or deleted later. Throws
    // kw::EFcError "List index out of bounds (%d)" outside 0..Count()-1.
    QImage FramePicture(int index) const;
    // The pictures of the chosen frames, in the order of FrameIndexes: the snapshot an
    // output works through.
    QList<QImage> FramePictures(TFrameChoice choice) const;
    // Stores a copy of the picture (any size, any pixel layout) as the frame at the position
    // and repaints its tile; nothing else changes (position, selection, FrameWidth and
    // FrameHeight). False, with the frame as it was, when the memory guard refused or the
    // copy could not be allocated: the caller then shows ShowMemoryFullWarning. Throws the
    // list index error outside 0..Count()-1.
    bool ReplaceFramePicture(int index, const QImage& picture);

    // Stores the video's frame size; tiles made from now on are a tenth of the screen high
    // with the video's proportions. Existing tiles keep their size.
    void SetFrameSize(int width, int height);
    // Both copy the frame into a new tile. False, with nothing added, when the memory guard
    // refused or the copy could not be allocated: the caller then shows
    // ShowMemoryFullWarning (after stopping a capture). InsertFrame does nothing (and says
    // true) when nothing is selected.
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
    // Ready, already mapped buffers for the frames' copies.
    TFrameReserve FReserve;

    friend class TThumbItem;
};
