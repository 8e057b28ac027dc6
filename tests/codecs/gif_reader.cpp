#include "tests/codecs/gif_reader.h"

#include <gif_lib.h>

#include <cstring>

TGifFile WalkGif(const QByteArray& bytes) {
    TGifFile f;
    const auto* p = reinterpret_cast<const std::uint8_t*>(bytes.constData());
    const qsizetype n = bytes.size();
    qsizetype at = 0;
    auto need = [&](qsizetype k) { return at + k <= n; };
    if (!need(13))
        return f;
    f.Signature = bytes.left(6);
    f.Width = p[6] | (p[7] << 8);
    f.Height = p[8] | (p[9] << 8);
    f.GlobalTable = p[10] & 0x80;
    f.GlobalTableSize = f.GlobalTable ? 1 << ((p[10] & 7) + 1) : 0;
    f.Background = p[11];
    f.Aspect = p[12];
    at = 13 + 3 * f.GlobalTableSize;
    auto subBlocks = [&](std::vector<QByteArray>* out) {
        while (need(1)) {
            const int len = p[at++];
            if (len == 0)
                return true;
            if (!need(len))
                return false;
            if (out)
                out->push_back(bytes.mid(at, len));
            at += len;
        }
        return false;
    };
    while (need(1)) {
        const int introducer = p[at++];
        if (introducer == 0x3B) {
            f.Trailer = true;
            f.TrailingBytes = at != n;
            f.Ok = true;
            return f;
        }
        TGifBlock b;
        if (introducer == 0x21) {
            if (!need(1))
                return f;
            b.Kind = TGifBlock::Extension;
            b.Label = p[at++];
            if (!subBlocks(&b.SubBlocks))
                return f;
        } else if (introducer == 0x2C) {
            if (!need(9))
                return f;
            b.Kind = TGifBlock::Image;
            b.Left = p[at] | (p[at + 1] << 8);
            b.Top = p[at + 2] | (p[at + 3] << 8);
            b.Width = p[at + 4] | (p[at + 5] << 8);
            b.Height = p[at + 6] | (p[at + 7] << 8);
            const int packed = p[at + 8];
            at += 9;
            b.LocalTable = packed & 0x80;
            b.Interlaced = packed & 0x40;
            b.LocalTableSize = b.LocalTable ? 1 << ((packed & 7) + 1) : 0;
            at += 3 * b.LocalTableSize;
            if (!need(1))
                return f;
            ++at; // LZW minimum code size
            if (!subBlocks(nullptr))
                return f;
        } else {
            return f;
        }
        f.Blocks.push_back(b);
    }
    return f;
}

namespace {
struct TReadState {
    const QByteArray* Bytes;
    qsizetype At = 0;
};
int ReadFromArray(GifFileType* gif, GifByteType* buf, int len) {
    auto* s = static_cast<TReadState*>(gif->UserData);
    const qsizetype k = std::min<qsizetype>(len, s->Bytes->size() - s->At);
    std::memcpy(buf, s->Bytes->constData() + s->At, size_t(k));
    s->At += k;
    return int(k);
}
} // namespace

std::vector<TDecodedFrame> DecodeGif(const QByteArray& bytes) {
    TReadState state{&bytes};
    int error = 0;
    GifFileType* gif = DGifOpen(&state, ReadFromArray, &error);
    if (!gif)
        return {};
    std::vector<TDecodedFrame> frames;
    if (DGifSlurp(gif) == GIF_OK) {
        for (int i = 0; i < gif->ImageCount; ++i) {
            const SavedImage& img = gif->SavedImages[i];
            TDecodedFrame d;
            d.Width = img.ImageDesc.Width;
            d.Height = img.ImageDesc.Height;
            d.Left = img.ImageDesc.Left;
            d.Top = img.ImageDesc.Top;
            GraphicsControlBlock gcb;
            if (DGifSavedExtensionToGCB(gif, i, &gcb) == GIF_OK) {
                d.TransparentIndex = gcb.TransparentColor; // NO_TRANSPARENT_COLOR is -1
                d.Disposal = gcb.DisposalMode;
            }
            const ColorMapObject* map =
                img.ImageDesc.ColorMap ? img.ImageDesc.ColorMap : gif->SColorMap;
            if (map)
                for (int c = 0; c < map->ColorCount; ++c)
                    d.Palette.push_back(
                        qRgb(map->Colors[c].Red, map->Colors[c].Green, map->Colors[c].Blue));
            d.Pixels.assign(img.RasterBits, img.RasterBits + std::size_t(d.Width) * d.Height);
            frames.push_back(std::move(d));
        }
    }
    DGifCloseFile(gif, &error);
    return frames;
}

std::vector<std::vector<QRgb>> CompositeGif(const QByteArray& bytes, int& width, int& height) {
    const TGifFile file = WalkGif(bytes);
    width = file.Width;
    height = file.Height;
    std::vector<QRgb> screen(std::size_t(width) * std::size_t(height), qRgb(0, 0, 0));
    std::vector<std::vector<QRgb>> shown;
    for (const TDecodedFrame& f : DecodeGif(bytes)) {
        for (int y = 0; y < f.Height; ++y)
            for (int x = 0; x < f.Width; ++x) {
                const int index = f.Pixels[std::size_t(y * f.Width + x)];
                const int sx = f.Left + x, sy = f.Top + y;
                if (index != f.TransparentIndex && sx < width && sy < height)
                    screen[std::size_t(sy * width + sx)] = f.Palette[std::size_t(index)];
            }
        shown.push_back(screen);
        if (f.Disposal == 2)
            for (int y = f.Top; y < f.Top + f.Height && y < height; ++y)
                for (int x = f.Left; x < f.Left + f.Width && x < width; ++x)
                    screen[std::size_t(y * width + x)] = qRgb(0, 0, 0);
    }
    return shown;
}
