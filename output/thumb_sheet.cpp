#include "output/thumb_sheet.h"

#include "codecs/bmp_codec.h"
#include "codecs/jpeg_codec.h"
#include "common/kw_guard.h"
#include "common/kw_memory.h"
#include "graphics/stretch.h"

#include <climits>
#include <cstdint>

namespace output {

QRect TSheetGeometry::Cell(int i) const {
    const int k = i % Columns, r = i / Columns;
    return QRect(k * CellWidth + (k + 1) * Margin, r * CellHeight + (r + 1) * Margin, CellWidth,
                 CellHeight);
}

TSheetGeometry ThumbSheetGeometry(int width, int rows, int columns, int frameWidth, int frameHeight,
                                  int margin) {
    if (columns == 0 || frameWidth == 0)
        throw kw::EFcError(QStringLiteral("Division by zero"));
    const std::int64_t w = (std::int64_t(width) - (std::int64_t(columns) + 1) * margin) / columns;
    const std::int64_t h = w >= 1 ? (std::int64_t(frameHeight) * w) / frameWidth : 0;
    if (w < 1)
        throw kw::EFcError(QStringLiteral("The image width %1 is too small for %2 columns: "
                                          "each thumbnail would be less than 1 pixel wide")
                               .arg(width)
                               .arg(columns));
    if (h < 1)
        throw kw::EFcError(QStringLiteral("Each thumbnail would be less than 1 pixel high: "
                                          "make the image wider or use fewer columns"));
    if (rows < 0)
        throw kw::EFcError(QStringLiteral("The number of rows cannot be negative"));
    const std::int64_t height = std::int64_t(rows) * h + (std::int64_t(rows) + 1) * margin;
    if (height > INT_MAX || std::int64_t(rows) * columns > INT_MAX)
        throw kw::EFcError(
            QStringLiteral("A sheet of %1 rows of %2 pixels is too large").arg(rows).arg(h));
    TSheetGeometry g;
    g.Width = width;
    g.Height = int(height);
    g.Rows = rows;
    g.Columns = columns;
    g.Margin = margin;
    g.CellWidth = int(w);
    g.CellHeight = int(h);
    return g;
}

QImage DrawThumbSheet(const TSheetGeometry& g, const TFrameSnapshot& frames,
                      const std::function<void(int)>& beforeFrame) {
    // The same room is asked for as for every other working picture.
    QImage sheet;
    if (kw::RoomForFrame(kw::FrameBytes(QSize(g.Width, g.Height), QImage::Format_RGB888)))
        sheet = QImage(g.Width, g.Height, QImage::Format_RGB888);
    if (sheet.isNull())
        throw kw::EFcError(QStringLiteral("Not enough memory for a sheet of %1 x %2 pixels")
                               .arg(g.Width)
                               .arg(g.Height));
    sheet.fill(Qt::white);
    for (int i = 0; i < frames.Count(); ++i) {
        if (beforeFrame)
            beforeFrame(i);
        if (i < g.Capacity())
            graphics::StretchNearestInto(frames.Picture(i), sheet, g.Cell(i));
    }
    return sheet;
}

void SaveThumbSheet(const QImage& sheet, const QString& path, TSheetFormat format) {
    if (format == TSheetFormat::Jpeg)
        codecs::SaveJpeg(sheet, path, 90);
    else
        codecs::SaveBmp(sheet, path);
}

} // namespace output
