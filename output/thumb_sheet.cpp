#include "output/thumb_sheet.h"

#include "codecs/bmp_codec.h"
#include "codecs/jpeg_codec.h"
#include "common/kw_filesize.h"
#include "common/kw_guard.h"
#include "common/kw_memory.h"
#include "frames/frame_source.h"
#include "graphics/stretch.h"

#include <QFontMetrics>
#include <QPainter>

#include <algorithm>
#include <climits>
#include <cstdint>

namespace output {

namespace {

constexpr int HeaderLineCount = 3;

QString KnownOr(const QString& text) {
    return text.isEmpty() ? QStringLiteral("-") : text;
}

QString RateText(double rate) {
    if (rate <= 0)
        return QStringLiteral("-");
    QString text = QString::number(rate, 'f', 3);
    while (text.endsWith(QLatin1Char('0')))
        text.chop(1);
    if (text.endsWith(QLatin1Char('.')))
        text.chop(1);
    return text + QStringLiteral(" fps");
}

QFont SheetFont(int pixels, bool bold = false) {
    QFont font;
    font.setPixelSize(pixels);
    font.setBold(bold);
    return font;
}

// The time of a frame over the bottom right of its cell: white on a dark band, clipped to
// the cell.
void WriteTime(QPainter& painter, const QRect& cell, const QString& time, int pixels) {
    painter.setFont(SheetFont(pixels));
    const QFontMetrics metrics(painter.font());
    const int pad = std::max(1, pixels / 5);
    QRect band(0, 0, metrics.horizontalAdvance(time) + 2 * pad, metrics.height());
    band.moveBottomRight(cell.bottomRight());
    painter.save();
    painter.setClipRect(cell);
    painter.fillRect(band, QColor(0, 0, 0, 170));
    painter.setPen(Qt::white);
    painter.drawText(band, Qt::AlignCenter, time);
    painter.restore();
}

void WriteHeader(QPainter& painter, const TSheetGeometry& g, const QStringList& lines) {
    const int width = g.Width - 2 * g.Margin;
    painter.setPen(Qt::black);
    for (int i = 0; i < std::min<int>(lines.size(), HeaderLineCount); ++i) {
        painter.setFont(SheetFont(g.HeaderPixels(), i == 0));
        const QString line =
            QFontMetrics(painter.font()).elidedText(lines[i], Qt::ElideRight, width);
        painter.drawText(QRect(g.Margin, g.Margin + i * g.HeaderLine(), width, g.HeaderLine()),
                         Qt::AlignLeft | Qt::AlignVCenter, line);
    }
}

} // namespace

QStringList SheetHeaderLines(const TSheetVideo& v) {
    const QString size = v.FileBytes >= 0 ? kw::FileSizeText(v.FileBytes) : QStringLiteral("-");
    const QString duration =
        v.DurationMs > 0 ? MediaTimeText(v.DurationMs, v.DurationMs) : QStringLiteral("-");
    const QString resolution =
        v.Size.isEmpty() ? QStringLiteral("-")
                         : QStringLiteral("%1 x %2").arg(v.Size.width()).arg(v.Size.height());
    return {KnownOr(v.FileName),
            QStringLiteral("File size: %1    Duration: %2").arg(size, duration),
            QStringLiteral("Resolution: %1    Codec: %2    Frame rate: %3")
                .arg(resolution, KnownOr(v.Codec), RateText(v.FrameRate))};
}

QRect TSheetGeometry::Cell(int i) const {
    const int k = i % Columns, r = i / Columns;
    return QRect(k * CellWidth + (k + 1) * Margin, Header + r * CellHeight + (r + 1) * Margin,
                 CellWidth, CellHeight);
}

// A time takes about a sixth of its cell's height, between sizes that stay readable and
// sizes that leave most of the picture free; the header grows with the sheet's width.
int TSheetGeometry::TimePixels() const {
    return std::clamp(CellHeight / 6, 10, 28);
}
int TSheetGeometry::HeaderPixels() const {
    return std::clamp(Width / 45, 12, 32);
}
int TSheetGeometry::HeaderLine() const {
    return (HeaderPixels() * 4 + 2) / 3;
}

TSheetGeometry ThumbSheetGeometry(int width, int rows, int columns, int frameWidth, int frameHeight,
                                  int margin, bool header) {
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
    TSheetGeometry g;
    g.Width = width;
    if (header)
        g.Header = margin + HeaderLineCount * g.HeaderLine();
    const std::int64_t height =
        g.Header + std::int64_t(rows) * h + (std::int64_t(rows) + 1) * margin;
    if (height > INT_MAX || std::int64_t(rows) * columns > INT_MAX)
        throw kw::EFcError(
            QStringLiteral("A sheet of %1 rows of %2 pixels is too large").arg(rows).arg(h));
    g.Height = int(height);
    g.Rows = rows;
    g.Columns = columns;
    g.Margin = margin;
    g.CellWidth = int(w);
    g.CellHeight = int(h);
    return g;
}

QImage DrawThumbSheet(const TSheetGeometry& g, const TFrameSnapshot& frames,
                      const std::function<void(int)>& beforeFrame, const TSheetText& text) {
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
    // Without text no painter touches the sheet: it stays the plain sheet, pixel for pixel.
    const bool header = g.Header > 0 && !text.HeaderLines.isEmpty();
    if (text.TimesMs.isEmpty() && !header)
        return sheet;
    QPainter painter(&sheet);
    painter.setRenderHint(QPainter::TextAntialiasing);
    if (header)
        WriteHeader(painter, g, text.HeaderLines);
    const int onSheet = std::min({int(text.TimesMs.size()), frames.Count(), g.Capacity()});
    for (int i = 0; i < onSheet; ++i)
        if (text.TimesMs[i] >= 0)
            WriteTime(painter, g.Cell(i), MediaTimeText(text.TimesMs[i], text.TimesMs[i]),
                      g.TimePixels());
    painter.end();
    return sheet;
}

void SaveThumbSheet(const QImage& sheet, const QString& path, TSheetFormat format) {
    if (format == TSheetFormat::Jpeg)
        codecs::SaveJpeg(sheet, path, 90);
    else
        codecs::SaveBmp(sheet, path);
}

} // namespace output
