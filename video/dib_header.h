#pragma once
// The BMP file layout of a grabbed picture: a 14-byte file header in front of a packed DIB
// (a BITMAPINFOHEADER, an optional colour table, the pixels).

#include <cstdint>

namespace fcvideo {

// The 40-byte BITMAPINFOHEADER, fields as stored (little-endian).
struct TBitmapInfoHeader {
    std::uint32_t Size = 40;
    std::int32_t Width = 0;
    std::int32_t Height = 0; // positive: rows stored bottom-up
    std::uint16_t Planes = 1;
    std::uint16_t BitCount = 24;
    std::uint32_t Compression = 0; // BI_RGB
    std::uint32_t SizeImage = 0;
    std::int32_t XPelsPerMeter = 0;
    std::int32_t YPelsPerMeter = 0;
    std::uint32_t ClrUsed = 0;
    std::uint32_t ClrImportant = 0;
};

// The 14-byte BITMAPFILEHEADER.
struct TBitmapFileHeader {
    std::uint16_t Type = 0x4D42; // "BM"
    std::uint32_t FileSize = 0;
    std::uint16_t Reserved1 = 0;
    std::uint16_t Reserved2 = 0;
    std::uint32_t OffBits = 0;
};

// Bytes of one stored row: bit count x width rounded up to whole 32-bit words.
std::uint32_t DibStride(std::int32_t width, std::uint16_t bitCount);
// The image size the header gives, or, when it gives 0 (allowed for BI_RGB), the size of the
// rows it describes.
std::uint32_t DibImageSize(const TBitmapInfoHeader& info);
// Bytes of the DIB: header size + image size + 4 x colours used.
std::uint32_t DibSize(const TBitmapInfoHeader& info);
// Bytes of the colour table: 4 x colours used when that is not 0 or the bit count is above 8,
// else 4 x 2^bit count.
std::uint32_t DibColorTableSize(const TBitmapInfoHeader& info);
// The file header that goes in front of the DIB: file size = DIB size + 14, pixel offset =
// 14 + header size + colour-table size.
TBitmapFileHeader BmpFileHeaderFor(const TBitmapInfoHeader& info);

// Little-endian serialisation: 14 and 40 bytes.
void StoreFileHeader(const TBitmapFileHeader& header, std::uint8_t* out);
void StoreInfoHeader(const TBitmapInfoHeader& info, std::uint8_t* out);

} // namespace fcvideo
