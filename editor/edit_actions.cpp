#include "editor/edit_actions.h"

#include "codecs/picture_reader.h"
#include "common/kw_blend.h"
#include "graphics/picture_memory.h"
#include "graphics/stretch.h"

#include <algorithm>
#include <cstring>
#include <new>

namespace {

// into as a picture of that size and layout, its memory reused when it already is one.
void MakeReady(QImage& into, QSize size, QImage::Format format) {
    if (into.size() == size && into.format() == format && into.isDetached())
        return;
    into = graphics::NewPicture(size, format);
    if (into.isNull())
        throw std::bad_alloc();
}

// Black as the layout stores it: opaque in the 32-bit layouts.
void FillBlack(QImage& picture) {
    if (picture.format() == QImage::Format_RGB888)
        std::memset(picture.bits(), 0, size_t(picture.sizeInBytes()));
    else
        picture.fill(0xFF000000u);
}

} // namespace

QImage EditableLayout(const QImage& picture) {
    switch (picture.format()) {
    case QImage::Format_RGB888:
    case QImage::Format_RGB32:
    case QImage::Format_ARGB32:
        return picture;
    default:
        return picture.isNull() ? picture : picture.convertToFormat(QImage::Format_RGB32);
    }
}

void CopyPictureInto(const QImage& source, QImage& into) {
    const QImage picture = EditableLayout(source);
    if (picture.isNull()) {
        into = QImage();
        return;
    }
    MakeReady(into, picture.size(), picture.format());
    const size_t row = size_t(picture.width()) * size_t(picture.depth() / 8);
    for (int y = 0; y < picture.height(); ++y)
        std::memcpy(into.scanLine(y), picture.constScanLine(y), row);
}

void TCropAction::ApplyInto(const QImage& source, QImage& into) const {
    if (Width < 1 || Height < 1) {
        into = QImage();
        return;
    }
    const QImage picture = EditableLayout(source);
    const QImage::Format format = picture.isNull() ? QImage::Format_ARGB32 : picture.format();
    MakeReady(into, QSize(Width, Height), format);
    const QRect wanted(X, Y, Width, Height);
    const QRect inside = wanted.intersected(picture.rect());
    if (inside != wanted)
        FillBlack(into);
    if (inside.isEmpty())
        return;
    const int bytes = picture.depth() / 8;
    uchar* bits = into.bits();
    const qsizetype stride = into.bytesPerLine();
    for (int y = inside.top(); y <= inside.bottom(); ++y)
        std::memcpy(bits + (y - Y) * stride + (inside.left() - X) * bytes,
                    picture.constScanLine(y) + inside.left() * bytes,
                    size_t(inside.width()) * size_t(bytes));
}

TBitmap32 TCropAction::Apply(const TBitmap32& picture) const {
    QImage result;
    ApplyInto(picture.Image(), result);
    return TBitmap32::FromFrame(result);
}

void TResizeAction::ApplyInto(const QImage& source, QImage& into) const {
    if (Width < 1 || Height < 1) {
        into = QImage();
        return;
    }
    const QImage picture = EditableLayout(source);
    MakeReady(into, QSize(Width, Height),
              picture.isNull() ? QImage::Format_ARGB32 : picture.format());
    if (picture.isNull())
        FillBlack(into);
    else
        graphics::StretchNearestInto(picture, into, into.rect());
}

TBitmap32 TResizeAction::Apply(const TBitmap32& picture) const {
    QImage result;
    ApplyInto(picture.Image(), result);
    return TBitmap32::FromFrame(result);
}

// An empty name leaves the font as a picture starts with it, so the preview (where no font
// is chosen when none is named "Tahoma") and the replay (which records the empty name) draw
// with the same one.
TFont32 TTextWMAction::Font() const {
    TFont32 font;
    if (!FontName.isEmpty())
        font.Name = FontName;
    font.Size = FontSize;
    font.Bold = Bold;
    font.Italic = Italic;
    font.Underline = UnderLine;
    font.StrikeOut = StrikeOut;
    return font;
}

TTextWMAction::TStamp TTextWMAction::Prepare() const {
    const TFont32 font = Font();
    TStamp stamp;
    stamp.Mask = graphics::PrepareText(Text, font);
    stamp.TextWidth = graphics::TextWidth(font, Text);
    stamp.TextHeight = graphics::TextHeight(font, Text);
    return stamp;
}

QList<QPoint> TTextWMAction::Positions(int width, int height, int tw, int th) const {
    QList<QPoint> at;
    if (Tile) {
        // An empty text has no width: there is nothing to tile (and no column count).
        if (tw <= 0 || th <= 0)
            return at;
        const int columns = width / tw + 1, rows = height / th + 1;
        at.reserve(qsizetype(columns) * rows);
        for (int k = 0; k < columns; ++k)
            for (int i = 0; i < rows; ++i)
                at.append(QPoint(k * (tw + 15), i * (th + 15)));
        return at;
    }
    const int xs[3] = {0, (width - tw) / 2, width - tw - 2};
    const int ys[3] = {0, (height - th) / 2, height - th - 2};
    for (int anchor = 0; anchor < AnchorCount; ++anchor)
        if (Pos[std::size_t(anchor)])
            at.append(QPoint(xs[anchor % 3], ys[anchor / 3]));
    return at;
}

void TTextWMAction::Stamp(QImage& picture, const TStamp& stamp) const {
    if (stamp.Mask.Empty())
        return;
    const QRect area = picture.rect();
    const QRect ink(stamp.Mask.Origin, stamp.Mask.Coverage.size());
    for (const QPoint& p :
         Positions(picture.width(), picture.height(), stamp.TextWidth, stamp.TextHeight))
        if (ink.translated(p).intersects(area))
            graphics::DrawTextMask(picture, p.x(), p.y(), stamp.Mask, FontColor);
}

TBitmap32 TTextWMAction::Apply(const TBitmap32& picture) const {
    TBitmap32 result = picture;
    if (!result.Empty())
        Stamp(result.Image(), Prepare());
    return result;
}

QImage TImageWMAction::Scale(const QImage& picture) const {
    return graphics::StretchNearest(picture, Width, Height);
}

QImage TImageWMAction::LoadWatermark() const {
    return Scale(ReadPicture(ImgWM));
}

void TImageWMAction::Stamp(QImage& picture, const QImage& watermark) const {
    kw::BlendBitmap(watermark, picture, X, Y, Alpha, 0);
}

TBitmap32 TImageWMAction::Apply(const TBitmap32& picture, const QImage& watermark) const {
    TBitmap32 result = picture;
    if (!result.Empty())
        Stamp(result.Image(), watermark);
    return result;
}
