#pragma once
// The frame editor's edits as values: a crop, a resize, a text watermark and an image
// watermark, each holding exactly what the edit script records. The same object changes the
// picture shown in the editor, goes into the script and is replayed on every frame, so the
// replay gives the frames what the user saw on the one they edited.
//
// The operations take a picture in any of the frames' own layouts (Format_RGB888,
// Format_RGB32) or the editor's Format_ARGB32 and give one in the same layout; other layouts
// are read through a 32-bit copy. They are pure and may run on several threads at once; what
// needs fonts or files (the text's coverage, the watermark's picture) is prepared first, once,
// on the GUI thread.

#include "graphics/bitmap32.h"
#include "graphics/text32.h"

#include <QImage>
#include <QList>
#include <QPoint>
#include <QSize>
#include <QString>

#include <array>
#include <cstdint>
#include <variant>

struct TCropAction {
    int X = 0, Y = 0, Width = 0, Height = 0;

    // The rectangle (X, Y, Width, Height) of the picture. Where it reaches past the picture
    // (a crop recorded on a larger frame, or an edge rounded one pixel outward) nothing is
    // read outside the picture and the part outside is black. into is reused when it already
    // has the result's size and layout; a null picture when Width or Height is below 1.
    void ApplyInto(const QImage& picture, QImage& into) const;
    TBitmap32 Apply(const TBitmap32& picture) const;
};

struct TResizeAction {
    int Width = 0, Height = 0;

    // The whole picture stretched to Width x Height, nearest neighbour (rows and columns
    // dropped or repeated, never averaged), whatever its proportions.
    void ApplyInto(const QImage& picture, QImage& into) const;
    TBitmap32 Apply(const TBitmap32& picture) const;
};

// The nine places a text watermark can stand, in the order they are drawn.
enum TAnchor : int { PosTL, PosTM, PosTR, PosML, PosMM, PosMR, PosBL, PosBM, PosBR };
inline constexpr int AnchorCount = 9;

struct TTextWMAction {
    QString Text;
    QString FontName; // empty: the default font
    bool Bold = false, Italic = false, UnderLine = false, StrikeOut = false;
    int FontSize = 16;                   // points
    std::uint32_t FontColor = 0;         // ARGB: the opacity in the top byte
    bool Tile = false;                   // a grid over the whole picture; the anchors are ignored
    std::array<bool, AnchorCount> Pos{}; // indexed by TAnchor

    // What stamping needs of the font, made once on the GUI thread: the text's coverage and
    // its width and height.
    struct TStamp {
        graphics::TTextMask Mask;
        int TextWidth = 0, TextHeight = 0;
    };
    TFont32 Font() const;
    TStamp Prepare() const;

    // The top-left corners of the copies on a width x height picture for text of tw x th:
    // with tile, W div tw + 1 columns 15 pixels apart (outer) by H div th + 1 rows (inner)
    // from the top-left corner, none for an empty text (tw 0); otherwise one per anchor that
    // is down, the left and top margins 0, the right and bottom ones 2.
    QList<QPoint> Positions(int width, int height, int tw, int th) const;
    // Draws the copies onto the picture in place.
    void Stamp(QImage& picture, const TStamp& stamp) const;
    TBitmap32 Apply(const TBitmap32& picture) const;
};

struct TImageWMAction {
    int X = 0, Y = 0, Width = 0, Height = 0; // in frame pixels; X and Y may be negative
    int Alpha = 80;
    QString ImgWM; // the picture file's full path

    // The picture stretched to Width x Height, nearest neighbour, opaque (Format_RGB888).
    QImage Scale(const QImage& picture) const;
    // The file's picture, read and scaled: the watermark that Stamp blends. Throws
    // kw::EFcError with the reading error.
    QImage LoadWatermark() const;
    // Blends the scaled watermark onto the picture in place at (X, Y) with BlendBitmap at
    // Alpha, no key colour; the parts outside the picture are dropped.
    void Stamp(QImage& picture, const QImage& watermark) const;
    TBitmap32 Apply(const TBitmap32& picture, const QImage& watermark) const;
};

using TEditAction = std::variant<TCropAction, TResizeAction, TTextWMAction, TImageWMAction>;

// The picture in a layout the operations work on directly: itself when it is Format_RGB888,
// Format_RGB32 or Format_ARGB32, otherwise a Format_RGB32 copy.
QImage EditableLayout(const QImage& picture);
// into becomes a copy of the picture in EditableLayout, its memory reused when it already has
// the picture's size and layout and is nobody else's.
void CopyPictureInto(const QImage& picture, QImage& into);
