#include "codecs/tga_reader.h"

#include <cstdint>
#include <vector>

namespace codecs {

namespace {

struct TTgaHeader {
    int IdLength = 0;
    int MapType = 0;
    int Type = 0; // 1, 2, 3 plain; 9, 10, 11 run-length coded
    int MapFirst = 0, MapLength = 0, MapBits = 0;
    int Width = 0, Height = 0;
    int Bits = 0;
    int Descriptor = 0; // bits 0-3 alpha bits, bit 4 right to left, bit 5 top to bottom
};

constexpr int HeaderBytes = 18;

int Le16(const std::uint8_t* p) {
    return p[0] | p[1] << 8;
}

bool ParseHeader(const QByteArray& bytes, TTgaHeader& h) {
    if (bytes.size() < HeaderBytes)
        return false;
    const auto* d = reinterpret_cast<const std::uint8_t*>(bytes.constData());
    h.IdLength = d[0];
    h.MapType = d[1];
    h.Type = d[2];
    h.MapFirst = Le16(d + 3);
    h.MapLength = Le16(d + 5);
    h.MapBits = d[7];
    h.Width = Le16(d + 12);
    h.Height = Le16(d + 14);
    h.Bits = d[16];
    h.Descriptor = d[17];
    const int kind = h.Type & 7;
    if ((h.Type & ~8) < 1 || (h.Type & ~8) > 3 || h.MapType > 1 || h.Width < 1 || h.Height < 1)
        return false;
    if (kind == 1)
        return h.MapType == 1 && h.Bits == 8 && h.MapLength > 0 &&
               (h.MapBits == 15 || h.MapBits == 16 || h.MapBits == 24 || h.MapBits == 32);
    if (kind == 2)
        return h.Bits == 15 || h.Bits == 16 || h.Bits == 24 || h.Bits == 32;
    return h.Bits == 8 || h.Bits == 16; // grey, or grey and alpha
}

// One pixel of `bits` bits (a true-colour value) as ARGB; alpha only where the file has it.
QRgb TrueColour(const std::uint8_t* p, int bits, bool alpha) {
    switch (bits) {
    case 15:
    case 16: {
        const int v = Le16(p);
        const int r = (v >> 10) & 31, g = (v >> 5) & 31, b = v & 31;
        const int a = bits == 16 && alpha ? ((v & 0x8000) ? 255 : 0) : 255;
        return qRgba(r << 3 | r >> 2, g << 3 | g >> 2, b << 3 | b >> 2, a);
    }
    case 24:
        return qRgb(p[2], p[1], p[0]);
    default:
        return qRgba(p[2], p[1], p[0], alpha ? p[3] : 255);
    }
}

} // namespace

bool TgaDeclaredSize(const QByteArray& bytes, QSize& size) {
    TTgaHeader h;
    if (!ParseHeader(bytes, h))
        return false;
    size = QSize(h.Width, h.Height);
    return true;
}

QImage ReadTga(const QByteArray& bytes, QString& error) {
    TTgaHeader h;
    if (!ParseHeader(bytes, h)) {
        error = QStringLiteral("Targa: not a Targa header");
        return QImage();
    }
    const auto* d = reinterpret_cast<const std::uint8_t*>(bytes.constData());
    const qsizetype size = bytes.size();
    qsizetype at = HeaderBytes + h.IdLength;
    const int kind = h.Type & 7;
    const bool alpha = (h.Descriptor & 15) != 0 &&
                       (h.Bits == 32 || h.Bits == 16 || (kind == 1 && h.MapBits == 32));
    // The colour map, when there is one (also skipped where the picture does not use it).
    std::vector<QRgb> map;
    if (h.MapType == 1) {
        const int entry = (h.MapBits + 7) / 8;
        if (size - at < qsizetype(h.MapLength) * entry) {
            error = QStringLiteral("Targa: the colour map is cut short");
            return QImage();
        }
        for (int i = 0; i < h.MapLength; ++i, at += entry)
            map.push_back(TrueColour(d + at, h.MapBits, alpha));
    }
    const int pixelBytes = (h.Bits + 7) / 8;
    auto pixel = [&](const std::uint8_t* p) -> QRgb {
        if (kind == 1) {
            const int index = p[0] - h.MapFirst;
            return index >= 0 && index < int(map.size()) ? map[std::size_t(index)] : qRgb(0, 0, 0);
        }
        if (kind == 3)
            return qRgba(p[0], p[0], p[0], h.Bits == 16 && alpha ? p[1] : 255);
        return TrueColour(p, h.Bits, alpha);
    };
    QImage image(h.Width, h.Height, alpha ? QImage::Format_ARGB32 : QImage::Format_RGB32);
    if (image.isNull()) {
        error = QStringLiteral("Targa: no memory for %1 x %2 pixels").arg(h.Width).arg(h.Height);
        return QImage();
    }
    const bool rightToLeft = h.Descriptor & 0x10, topToBottom = h.Descriptor & 0x20;
    const qint64 count = qint64(h.Width) * h.Height;
    qint64 n = 0;
    auto put = [&](QRgb value) {
        const int column = int(n % h.Width), line = int(n / h.Width);
        const int x = rightToLeft ? h.Width - 1 - column : column;
        const int y = topToBottom ? line : h.Height - 1 - line;
        reinterpret_cast<QRgb*>(image.scanLine(y))[x] = value;
        ++n;
    };
    const bool coded = h.Type & 8;
    while (n < count) {
        int run = 1;
        bool repeat = false;
        if (coded) {
            if (at >= size)
                break;
            run = (d[at] & 0x7F) + 1;
            repeat = d[at] & 0x80;
            ++at;
        }
        if (repeat) {
            if (size - at < pixelBytes)
                break;
            const QRgb value = pixel(d + at);
            at += pixelBytes;
            for (int i = 0; i < run && n < count; ++i)
                put(value);
        } else {
            if (size - at < qsizetype(run) * pixelBytes)
                break;
            for (int i = 0; i < run && n < count; ++i, at += pixelBytes)
                put(pixel(d + at));
        }
    }
    if (n < count) {
        error = QStringLiteral("Targa: the picture data is cut short");
        return QImage();
    }
    return image;
}

} // namespace codecs
