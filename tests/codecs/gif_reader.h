#pragma once
// Reading GIF files back in tests: a block walker of our own for the exact structure, and
// giflib's decoder for the palettes and pixels.

#include <QByteArray>
#include <QRgb>

#include <cstdint>
#include <vector>

struct TGifBlock {
    enum TKind { Extension, Image } Kind;
    int Label = 0;                     // extension label (0xF9, 0xFF, ...)
    std::vector<QByteArray> SubBlocks; // extension data sub-blocks
    // Image descriptor
    int Left = 0, Top = 0, Width = 0, Height = 0;
    bool LocalTable = false, Interlaced = false;
    int LocalTableSize = 0;
};

struct TGifFile {
    bool Ok = false;
    QByteArray Signature;
    int Width = 0, Height = 0;
    bool GlobalTable = false;
    int GlobalTableSize = 0;
    int Background = -1, Aspect = -1;
    std::vector<TGifBlock> Blocks; // in file order
    bool Trailer = false;
    bool TrailingBytes = false;
};

TGifFile WalkGif(const QByteArray& bytes);

struct TDecodedFrame {
    std::vector<QRgb> Palette; // the colour table that applies
    std::vector<std::uint8_t> Pixels;
    int Width = 0, Height = 0;
    int Left = 0, Top = 0;
    int TransparentIndex = -1; // -1: no transparent flag
    int Disposal = 0;
};
// All frames decoded by giflib; empty on failure.
std::vector<TDecodedFrame> DecodeGif(const QByteArray& bytes);

// What a viewer shows after each frame (screen-sized, opaque RGB; transparent pixels keep what
// was there, starting from black; a frame with disposal 2 is cleared to black after it).
std::vector<std::vector<QRgb>> CompositeGif(const QByteArray& bytes, int& width, int& height);
