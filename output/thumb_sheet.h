#pragma once
// The thumbnail sheet without its window: geometry, drawing and writing.

#include "frames/frame_snapshot.h"

#include <QImage>
#include <QList>
#include <QRect>
#include <QString>

#include <functional>

namespace output {

// W the sheet width, R rows, K columns, m the margin, cells keep the video's proportions:
//   cell width w = (W - (K + 1) m) div K, cell height h = (FrameHeight * w) div FrameWidth,
//   sheet W x (R h + (R + 1) m); frame i sits in column i mod K, row i div K, its cell's
//   left edge at k w + (k + 1) m and top edge at r h + (r + 1) m.
struct TSheetGeometry {
    int Width = 0;
    int Height = 0;
    int Rows = 0;
    int Columns = 0;
    int Margin = 5;
    int CellWidth = 0;
    int CellHeight = 0;
    int Capacity() const { return Rows * Columns; }
    // The cell of position i (also for positions beyond the capacity, below the sheet).
    QRect Cell(int i) const;
};

// Throws kw::EFcError("Division by zero") when columns or the frame width is 0, and a clear
// kw::EFcError, before anything is drawn or written, when a cell would be less than 1 pixel
// wide or high, rows are negative, or the sheet would be too large.
TSheetGeometry ThumbSheetGeometry(int width, int rows, int columns, int frameWidth, int frameHeight,
                                  int margin = 5);

// A white Format_RGB888 sheet with frame i stretched into cell i (plain dropping and
// repeating of pixels, proportions ignored) for every i below the capacity; frames beyond it
// are left out (and not read). beforeFrame(i) runs for every i = 0 .. n-1 before frame i is
// drawn (the progress bar and repainting of the dialog). Throws kw::EFcError when the sheet's
// memory cannot be had, or a frame cannot be read.
QImage DrawThumbSheet(const TSheetGeometry& geometry, const TFrameSnapshot& frames,
                      const std::function<void(int)>& beforeFrame = {});

enum class TSheetFormat { Jpeg, Bmp };
// JPEG of quality 90 or a 24-bit BMP, replacing an existing file; kw::EFcError on failure.
void SaveThumbSheet(const QImage& sheet, const QString& path, TSheetFormat format);

} // namespace output
