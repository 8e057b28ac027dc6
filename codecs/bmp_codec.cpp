#include "codecs/bmp_codec.h"

#include "codecs/codec_io.h"
#include "codecs/picture_writer.h"

#include <bit>
#include <cstring>
#include <new>
#include <vector>

namespace codecs {

namespace {

std::uint16_t U16(const std::uint8_t* p) {
    return std::uint16_t(p[0] | (p[1] << 8));
}
std::uint32_t U32(const std::uint8_t* p) {
    return std::uint32_t(p[0]) | (std::uint32_t(p[1]) << 8) | (std::uint32_t(p[2]) << 16) |
           (std::uint32_t(p[3]) << 24);
}
void Put16(std::uint8_t* p, std::uint32_t v) {
    p[0] = std::uint8_t(v);
    p[1] = std::uint8_t(v >> 8);
}
void Put32(std::uint8_t* p, std::uint32_t v) {
    for (int i = 0; i < 4; ++i)
        p[i] = std::uint8_t(v >> (8 * i));
}

constexpr std::uint32_t BI_RGB = 0;
constexpr std::uint32_t BI_BITFIELDS = 3;
constexpr std::int64_t MaxPixels = std::int64_t(1) << 28; // 256 Mpixel, far above any video

// One channel of a bit-field mask: shift to the lowest set bit, width of the run of bits.
struct TMaskChannel {
    std::uint32_t Mask = 0;
    int Shift = 0;
    int Bits = 0;
    bool Valid() const { return Mask != 0 && Bits <= 16; }
    std::uint8_t Get(std::uint32_t v) const {
        const std::uint32_t c = (v & Mask) >> Shift;
        const std::uint32_t max = (1u << Bits) - 1;
        return std::uint8_t((c * 255 + max / 2) / max);
    }
};
TMaskChannel Channel(std::uint32_t mask) {
    TMaskChannel c;
    c.Mask = mask;
    if (mask) {
        c.Shift = std::countr_zero(mask);
        c.Bits = std::countr_one(mask >> c.Shift);
        if ((mask >> c.Shift) >> c.Bits) // holes in the mask
            c.Mask = 0;
    }
    return c;
}

// Makes into a picture of the size and format, reusing its buffer when they match.
bool Prepare(QImage& into, int w, int h, QImage::Format format) {
    if (into.width() == w && into.height() == h && into.format() == format) {
        into.bits(); // detach from any other holder before writing
        return true;
    }
    QImage fresh(w, h, format);
    if (fresh.isNull())
        return false;
    into = std::move(fresh);
    return true;
}

} // namespace

bool ReadBmp(const std::uint8_t* data, std::int64_t size, QImage& into) {
    if (!data || size < 14 + 12 || data[0] != 'B' || data[1] != 'M')
        return false;
    const std::uint32_t offBits = U32(data + 10);
    const std::uint8_t* dib = data + 14;
    const std::uint32_t headerSize = U32(dib);
    if (headerSize != 12 && headerSize != 40 && headerSize != 52 && headerSize != 56 &&
        headerSize != 108 && headerSize != 124)
        return false;
    if (14 + std::int64_t(headerSize) > size)
        return false;
    std::int64_t width, height;
    int bitCount;
    std::uint32_t compression = BI_RGB, clrUsed = 0;
    int paletteEntrySize = 4;
    if (headerSize == 12) {
        width = U16(dib + 4);
        height = std::int16_t(U16(dib + 6));
        bitCount = U16(dib + 10);
        paletteEntrySize = 3;
        if (U16(dib + 8) != 1)
            return false;
    } else {
        width = std::int32_t(U32(dib + 4));
        height = std::int32_t(U32(dib + 8));
        if (U16(dib + 12) != 1)
            return false;
        bitCount = U16(dib + 14);
        compression = U32(dib + 16);
        clrUsed = U32(dib + 32);
    }
    const bool topDown = height < 0;
    if (topDown)
        height = -height;
    if (width < 1 || height < 1 || width * height > MaxPixels)
        return false;
    if (bitCount != 1 && bitCount != 4 && bitCount != 8 && bitCount != 16 && bitCount != 24 &&
        bitCount != 32)
        return false;

    // Bit-field masks: inside the header from 52 bytes on, else right after a 40-byte one.
    TMaskChannel mr, mg, mb;
    if (bitCount == 16) {
        mr = Channel(0x7C00);
        mg = Channel(0x03E0);
        mb = Channel(0x001F);
    } else if (bitCount == 32) {
        mr = Channel(0xFF0000);
        mg = Channel(0xFF00);
        mb = Channel(0xFF);
    }
    std::int64_t paletteAt = 14 + std::int64_t(headerSize);
    if (compression == BI_BITFIELDS) {
        if (bitCount != 16 && bitCount != 32)
            return false;
        const std::int64_t at = headerSize >= 52 ? 14 + 40 : 14 + std::int64_t(headerSize);
        if (at + 12 > size)
            return false;
        mr = Channel(U32(data + at));
        mg = Channel(U32(data + at + 4));
        mb = Channel(U32(data + at + 8));
        if (!mr.Valid() || !mg.Valid() || !mb.Valid())
            return false;
        if (headerSize == 40)
            paletteAt += 12;
    } else if (compression != BI_RGB) {
        return false;
    }

    // The palette of a 1-, 4- or 8-bit picture; missing entries read as black.
    QRgb palette[256] = {};
    if (bitCount <= 8) {
        std::int64_t count = clrUsed ? clrUsed : (std::int64_t(1) << bitCount);
        if (count > (std::int64_t(1) << bitCount))
            count = std::int64_t(1) << bitCount;
        if (paletteAt + count * paletteEntrySize > size)
            return false;
        for (std::int64_t i = 0; i < count; ++i) {
            const std::uint8_t* e = data + paletteAt + i * paletteEntrySize;
            palette[i] = qRgb(e[2], e[1], e[0]);
        }
    }

    const std::int64_t stride = BmpRowStride(width, bitCount);
    if (offBits < 14 + headerSize || std::int64_t(offBits) > size ||
        size - std::int64_t(offBits) < stride * height)
        return false;
    const std::uint8_t* pixels = data + offBits;
    const int w = int(width), h = int(height);
    const bool standard32 =
        bitCount == 32 && mr.Mask == 0xFF0000 && mg.Mask == 0xFF00 && mb.Mask == 0xFF;
    if (!Prepare(into, w, h, bitCount == 32 ? QImage::Format_RGB32 : QImage::Format_RGB888))
        return false;
    uchar* outBits = into.bits();
    const qsizetype outStride = into.bytesPerLine();

    for (int y = 0; y < h; ++y) {
        const std::uint8_t* s = pixels + stride * (topDown ? y : h - 1 - y);
        uchar* d = outBits + outStride * y;
        switch (bitCount) {
        case 24: // B, G, R rows: copied as they are, swapped into R, G, B below in one go
            std::memcpy(d, s, std::size_t(w) * 3);
            break;
        case 32:
            if (standard32) {
                const std::uint32_t* sw = reinterpret_cast<const std::uint32_t*>(s);
                std::uint32_t* dw = reinterpret_cast<std::uint32_t*>(d);
                for (int x = 0; x < w; ++x) {
                    std::uint32_t v;
                    std::memcpy(&v, sw + x, 4);
                    dw[x] = v | 0xFF000000u;
                }
            } else {
                QRgb* dw = reinterpret_cast<QRgb*>(d);
                for (int x = 0; x < w; ++x, s += 4) {
                    const std::uint32_t v = U32(s);
                    dw[x] = qRgb(mr.Get(v), mg.Get(v), mb.Get(v));
                }
            }
            break;
        case 16:
            for (int x = 0; x < w; ++x, s += 2, d += 3) {
                const std::uint32_t v = U16(s);
                d[0] = mr.Get(v);
                d[1] = mg.Get(v);
                d[2] = mb.Get(v);
            }
            break;
        default: { // 1, 4, 8 bits a pixel, highest bits first
            const int perByte = 8 / bitCount;
            const int mask = (1 << bitCount) - 1;
            for (int x = 0; x < w; ++x, d += 3) {
                const int shift = 8 - bitCount * (x % perByte + 1);
                const QRgb c = palette[(s[x / perByte] >> shift) & mask];
                d[0] = uchar(qRed(c));
                d[1] = uchar(qGreen(c));
                d[2] = uchar(qBlue(c));
            }
            break;
        }
        }
    }
    if (bitCount == 24)
        into = std::move(into).rgbSwapped(); // in place, with Qt's vectorised swap
    return true;
}

namespace {

std::int64_t BmpSize(const QImage& image, int& bitCount) {
    const QImage::Format f = image.format();
    bitCount = (f == QImage::Format_RGB32 || f == QImage::Format_ARGB32 ||
                f == QImage::Format_ARGB32_Premultiplied)
                   ? 32
                   : 24;
    const std::int64_t stride = BmpRowStride(image.width(), bitCount);
    return 54 + stride * image.height();
}

void EncodeInto(const QImage& source, int bitCount, std::uint8_t* out, std::int64_t total) {
    QImage image = source;
    if (bitCount == 32 && image.format() == QImage::Format_ARGB32_Premultiplied)
        image = image.convertToFormat(QImage::Format_ARGB32);
    else if (bitCount == 24 && image.format() != QImage::Format_RGB888)
        image = image.convertToFormat(QImage::Format_RGB888);
    const int w = image.width(), h = image.height();
    const std::int64_t stride = BmpRowStride(w, bitCount);
    std::memset(out, 0, 54);
    out[0] = 'B';
    out[1] = 'M';
    Put32(out + 2, std::uint32_t(total));
    Put32(out + 10, 54);
    Put32(out + 14, 40);
    Put32(out + 18, std::uint32_t(w));
    Put32(out + 22, std::uint32_t(h));
    Put16(out + 26, 1);
    Put16(out + 28, std::uint32_t(bitCount));
    Put32(out + 30, BI_RGB);
    Put32(out + 34, std::uint32_t(stride * h));
    for (int y = 0; y < h; ++y) {
        const uchar* s = image.constScanLine(h - 1 - y);
        std::uint8_t* d = out + 54 + stride * y;
        if (bitCount == 32) {
            std::memcpy(d, s, std::size_t(w) * 4); // B, G, R, A in memory already
        } else {
            for (int x = 0; x < w; ++x, s += 3, d += 3) {
                d[0] = s[2];
                d[1] = s[1];
                d[2] = s[0];
            }
            std::memset(d, 0, std::size_t(stride - std::int64_t(w) * 3));
        }
    }
}

} // namespace

QByteArray EncodeBmp(const QImage& image) {
    AskEncoderMemory(TPictureFormat::Bmp, image.size());
    int bitCount;
    const std::int64_t total = BmpSize(image, bitCount);
    QByteArray bytes(qsizetype(total), Qt::Uninitialized);
    EncodeInto(image, bitCount, reinterpret_cast<std::uint8_t*>(bytes.data()), total);
    return bytes;
}

void WriteBmp(const QImage& image, kw::TMemoryStream& stream) {
    int bitCount;
    const std::int64_t total = BmpSize(image, bitCount);
    EncodeInto(image, bitCount, stream.Extend(total), total);
}

void SaveBmp(const QImage& image, const QString& path) {
    WriteWholeFile(path, EncodeBmp(image));
}

} // namespace codecs
