#pragma once
// The thumbnail sheet without its window: geometry, drawing and writing.

#include "frames/frame_snapshot.h"

#include <QImage>
#include <QList>
#include <QRect>
#include <QSize>
#include <QString>
#include <QStringList>

#include <functional>

namespace output {

// W the sheet width, R rows, K columns, m the margin, cells keep the video's proportions:
//   cell width w = (W - (K + 1) m) div K, cell height h = (FrameHeight * w) div FrameWidth,
//   sheet W x (R h + (R + 1) m); frame i sits in column i mod K, row i div K, its cell's
//   left edge at k w + (k + 1) m and top edge at r h + (r + 1) m.
// A header of H pixels above the grid moves every cell down by H and makes the sheet H higher.
struct TSheetGeometry {
    int Width = 0;
    int Height = 0;
    int Header = 0; // pixels above the grid; 0 without a header
    int Rows = 0;
    int Columns = 0;
    int Margin = 5;
    int CellWidth = 0;
    int CellHeight = 0;
    int Capacity() const { return Rows * Columns; }
    // The pixel size of a cell's time and of the header's text, and the header's line pitch.
    int TimePixels() const;
    int HeaderPixels() const;
    int HeaderLine() const;
    // The cell of position i (also for positions beyond the capacity, below the sheet).
    QRect Cell(int i) const;
};

// Throws kw::EFcError("Division by zero") when columns or the frame width is 0, and a clear
// kw::EFcError, before anything is drawn or written, when a cell would be less than 1 pixel
// wide or high, rows are negative, or the sheet would be too large.
TSheetGeometry ThumbSheetGeometry(int width, int rows, int columns, int frameWidth, int frameHeight,
                                  int margin = 5, bool header = false);

// The video a sheet's header describes (the one open in the main window).
struct TSheetVideo {
    QString FileName;      // without its folder
    qint64 FileBytes = -1; // -1: not known
    qint64 DurationMs = 0; // 0: not known
    QSize Size;            // coded pixels
    QString Codec;         // FFmpeg's short name
    double FrameRate = 0;  // 0: not known
};
// The header's lines: the file's name, then size and duration, then resolution, codec and
// frame rate ("-" for what is not known).
QStringList SheetHeaderLines(const TSheetVideo& video);

// What is written on a sheet besides the pictures. Empty: nothing, and the sheet is exactly
// the plain one.
struct TSheetText {
    // One time per frame of the snapshot (-1: none, a picture inserted from a file); empty:
    // no times. Each is written as m:ss.mmm over the bottom right of its cell.
    QList<qint64> TimesMs;
    // Written in the header band; only with a geometry that has a header.
    QStringList HeaderLines;
};

// A white Format_RGB888 sheet with frame i stretched into cell i (plain dropping and
// repeating of pixels, proportions ignored) for every i below the capacity; frames beyond it
// are left out (and not read). beforeFrame(i) runs for every i = 0 .. n-1 before frame i is
// drawn (the progress bar and repainting of the dialog). Throws kw::EFcError when the sheet's
// memory cannot be had, or a frame cannot be read.
// With text, the times are written over the cells and the header lines into the band above
// the grid, in black on white; a line wider than the sheet ends in an ellipsis.
QImage DrawThumbSheet(const TSheetGeometry& geometry, const TFrameSnapshot& frames,
                      const std::function<void(int)>& beforeFrame = {},
                      const TSheetText& text = {});

enum class TSheetFormat { Jpeg, Bmp };
// JPEG of quality 90 or a 24-bit BMP, replacing an existing file; kw::EFcError on failure.
void SaveThumbSheet(const QImage& sheet, const QString& path, TSheetFormat format);

} // namespace output
