#include "video/dib_header.h"

#include "codecs/bmp_codec.h"

namespace fcvideo {

namespace {

void Put16(std::uint8_t*& p, std::uint16_t v) {
    *p++ = std::uint8_t(v);
    *p++ = std::uint8_t(v >> 8);
}
void Put32(std::uint8_t*& p, std::uint32_t v) {
    for (int i = 0; i < 4; ++i)
        *p++ = std::uint8_t(v >> (8 * i));
}

} // namespace

std::uint32_t DibStride(std::int32_t width, std::uint16_t bitCount) {
    return std::uint32_t(codecs::BmpRowStride(width < 0 ? -std::int64_t(width) : width, bitCount));
}

std::uint32_t DibImageSize(const TBitmapInfoHeader& info) {
    if (info.SizeImage != 0)
        return info.SizeImage;
    const std::int64_t rows = info.Height < 0 ? -std::int64_t(info.Height) : info.Height;
    return std::uint32_t(DibStride(info.Width, info.BitCount) * rows);
}

std::uint32_t DibSize(const TBitmapInfoHeader& info) {
    return info.Size + DibImageSize(info) + 4 * info.ClrUsed;
}

std::uint32_t DibColorTableSize(const TBitmapInfoHeader& info) {
    if (info.ClrUsed != 0 || info.BitCount > 8)
        return 4 * info.ClrUsed;
    return 4u << info.BitCount;
}

TBitmapFileHeader BmpFileHeaderFor(const TBitmapInfoHeader& info) {
    TBitmapFileHeader h;
    h.FileSize = DibSize(info) + 14;
    h.OffBits = 14 + info.Size + DibColorTableSize(info);
    return h;
}

void StoreFileHeader(const TBitmapFileHeader& h, std::uint8_t* p) {
    Put16(p, h.Type);
    Put32(p, h.FileSize);
    Put16(p, h.Reserved1);
    Put16(p, h.Reserved2);
    Put32(p, h.OffBits);
}

void StoreInfoHeader(const TBitmapInfoHeader& i, std::uint8_t* p) {
    Put32(p, i.Size);
    Put32(p, std::uint32_t(i.Width));
    Put32(p, std::uint32_t(i.Height));
    Put16(p, i.Planes);
    Put16(p, i.BitCount);
    Put32(p, i.Compression);
    Put32(p, i.SizeImage);
    Put32(p, std::uint32_t(i.XPelsPerMeter));
    Put32(p, std::uint32_t(i.YPelsPerMeter));
    Put32(p, i.ClrUsed);
    Put32(p, i.ClrImportant);
}

} // namespace fcvideo
