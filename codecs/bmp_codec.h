#pragma once
// BMP files: a fast reader for the picture a grab writes into memory, and a writer that keeps
// the picture's own pixel format.

#include "common/kw_stream.h"

#include <QByteArray>
#include <QImage>
#include <QString>

#include <cstdint>

namespace codecs {

// Bytes of one stored row of a BMP: width x bits a pixel rounded up to whole 32-bit words. A
// QImage lays its rows out the same way.
constexpr std::int64_t BmpRowStride(std::int64_t width, int bitCount) {
    return (width * bitCount + 31) / 32 * 4;
}

// Decodes a BMP file (14-byte file header, then a DIB header of 12, 40, 52, 56, 108 or 124
// bytes) held in memory. Uncompressed 1-, 4-, 8-, 16-, 24- and 32-bit pictures, bottom-up or
// top-down; 16- and 32-bit ones also with bit-field masks. 24-bit and palette pictures give
// Format_RGB888, 16-bit ones Format_RGB888, 32-bit ones Format_RGB32 (the fourth byte is
// dropped). into's pixel buffer is reused when it already has the size and format of the
// result, so decoding every grab into one picture allocates once. Malformed, truncated or
// compressed (RLE) input returns false and leaves into unchanged; nothing is ever read
// outside [data, data + size).
bool ReadBmp(const std::uint8_t* data, std::int64_t size, QImage& into);

// The BMP file of a picture in its own pixel format: Format_RGB888 as 24 bits,
// Format_RGB32 and Format_ARGB32 as 32 bits (BI_RGB, the fourth byte as stored);
// premultiplied pictures are written as Format_ARGB32, every other format as 24 bits.
// Rows bottom-up, 40-byte header.
QByteArray EncodeBmp(const QImage& image);
// Appends the BMP file at the stream's position.
void WriteBmp(const QImage& image, kw::TMemoryStream& stream);
// Writes the BMP file, replacing an existing one; kw::EFcError when that fails.
void SaveBmp(const QImage& image, const QString& path);

} // namespace codecs
