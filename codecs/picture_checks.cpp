// Damage that Qt's readers let through, and the choice of an icon file's picture. Qt's GIF,
// JPEG, BMP, icon and PNM readers return a picture even where the file ends early or its data
// is corrupt, filling what is missing with black, grey or whatever the memory held. These
// checks look at the file's data as its own decoder does and report such damage.

#include "codecs/picture_checks.h"

#include "codecs/bmp_codec.h"

#include <gif_lib.h>
#include <jpeglib.h>

#include <jerror.h> // needs jpeglib.h before it

#include <algorithm>
#include <cctype>
#include <csetjmp>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

namespace codecs {

namespace {

std::uint32_t Le32(const std::uint8_t* p) {
    return p[0] | p[1] << 8 | p[2] << 16 | std::uint32_t(p[3]) << 24;
}
std::uint16_t Le16(const std::uint8_t* p) {
    return std::uint16_t(p[0] | p[1] << 8);
}

// The first picture of a GIF file decodes completely (what follows it does not matter).
bool GifIntact(const QByteArray& bytes) {
    struct TSource {
        const QByteArray* Bytes;
        qsizetype At = 0;
    } source{&bytes};
    const InputFunc read = [](GifFileType* gif, GifByteType* into, int n) {
        TSource* s = static_cast<TSource*>(gif->UserData);
        const int count = int(std::min<qsizetype>(n, s->Bytes->size() - s->At));
        std::memcpy(into, s->Bytes->constData() + s->At, size_t(std::max(count, 0)));
        s->At += std::max(count, 0);
        return count;
    };
    int error = 0;
    GifFileType* gif = DGifOpen(&source, read, &error);
    if (!gif)
        return false;
    bool intact = false;
    for (bool done = false; !done;) {
        GifRecordType record;
        if (DGifGetRecordType(gif, &record) == GIF_ERROR)
            break;
        if (record == IMAGE_DESC_RECORD_TYPE) {
            if (DGifGetImageDesc(gif) == GIF_ERROR)
                break;
            const int w = gif->Image.Width, h = gif->Image.Height;
            std::vector<GifPixelType> line(size_t(std::max(w, 1)));
            int y = 0;
            while (y < h && DGifGetLine(gif, line.data(), w) == GIF_OK)
                ++y;
            intact = w > 0 && y == h;
            done = true;
        } else if (record == EXTENSION_RECORD_TYPE) {
            int code = 0;
            GifByteType* block = nullptr;
            if (DGifGetExtension(gif, &code, &block) == GIF_ERROR)
                break;
            while (block && DGifGetExtensionNext(gif, &block) == GIF_OK) {
            }
            if (block)
                break; // the loop above ended on an error
        } else {
            done = true; // the end without a picture
        }
    }
    DGifCloseFile(gif, &error);
    return intact;
}

// The picture data of a JPEG file decodes without running out or hitting corrupt entropy
// coding (libjpeg then fills the rest with grey). Decoded at an eighth of the size, which
// reads every coefficient but spares the transforms.
struct TJpegCheck {
    jpeg_error_mgr Manager;
    std::jmp_buf Jump;
    bool Damaged = false;
};

bool JpegIntact(const QByteArray& bytes) {
    jpeg_decompress_struct info{};
    TJpegCheck check{};
    info.err = jpeg_std_error(&check.Manager);
    check.Manager.error_exit = [](j_common_ptr c) {
        std::longjmp(reinterpret_cast<TJpegCheck*>(c->err)->Jump, 1);
    };
    check.Manager.emit_message = [](j_common_ptr c, int level) {
        const int code = c->err->msg_code;
        // Running out of data is reported as hitting a marker once bits that the picture
        // needs are missing; the end of the data alone (a lost end marker) is no damage.
        if (level < 0 && (code == JWRN_HIT_MARKER || code == JWRN_HUFF_BAD_CODE ||
                          code == JWRN_ARITH_BAD_CODE || code == JWRN_MUST_RESYNC))
            reinterpret_cast<TJpegCheck*>(c->err)->Damaged = true;
    };
    volatile bool intact = false;
    if (setjmp(check.Jump) == 0) {
        jpeg_create_decompress(&info);
        jpeg_mem_src(&info, reinterpret_cast<const unsigned char*>(bytes.constData()),
                     static_cast<unsigned long>(bytes.size()));
        jpeg_read_header(&info, TRUE);
        info.scale_num = 1;
        info.scale_denom = 8;
        info.dct_method = JDCT_IFAST;
        info.do_fancy_upsampling = FALSE;
        jpeg_start_decompress(&info);
        // The row belongs to libjpeg, so that an error jumping out of here leaks nothing.
        JSAMPARRAY rows =
            (*info.mem->alloc_sarray)(reinterpret_cast<j_common_ptr>(&info), JPOOL_IMAGE,
                                      info.output_width * JDIMENSION(info.output_components), 1);
        while (info.output_scanline < info.output_height)
            jpeg_read_scanlines(&info, rows, 1);
        intact = !check.Damaged;
    }
    jpeg_destroy_decompress(&info);
    return intact;
}

// An uncompressed BMP file holds every row its header promises (the padding of the last row
// may be missing).
bool BmpIntact(const QByteArray& bytes) {
    const auto* d = reinterpret_cast<const std::uint8_t*>(bytes.constData());
    if (bytes.size() < 14 + 16)
        return false;
    const std::uint32_t header = Le32(d + 14);
    std::int64_t width, height;
    int bits;
    std::uint32_t compression = 0;
    if (header == 12) {
        width = Le16(d + 18);
        height = Le16(d + 20);
        bits = Le16(d + 24);
    } else if (header >= 40 && bytes.size() >= 14 + 40) {
        width = std::int32_t(Le32(d + 18));
        height = std::abs(std::int64_t(std::int32_t(Le32(d + 22))));
        bits = Le16(d + 28);
        compression = Le32(d + 30);
    } else {
        return false;
    }
    if (compression != 0 && compression != 3) // run-length coded: left to the reader
        return true;
    const std::int64_t stride = codecs::BmpRowStride(width, bits);
    const std::int64_t need = Le32(d + 10) + stride * (height - 1) + (width * bits + 7) / 8;
    return width > 0 && height > 0 && bytes.size() >= need;
}

// Every picture an icon file lists lies inside the file.
bool IcoIntact(const QByteArray& bytes) {
    const auto* d = reinterpret_cast<const std::uint8_t*>(bytes.constData());
    if (bytes.size() < 6)
        return false;
    const int count = Le16(d + 4);
    if (bytes.size() < 6 + 16 * qsizetype(count))
        return false;
    for (int i = 0; i < count; ++i) {
        const std::uint8_t* entry = d + 6 + 16 * i;
        if (std::int64_t(Le32(entry + 12)) + Le32(entry + 8) > bytes.size())
            return false;
    }
    return true;
}

// A PNM file (P1 to P6) holds as many samples as its header promises, none above its
// maximum value.
bool PnmIntact(const QByteArray& bytes) {
    qsizetype at = 2;
    auto skipSpace = [&] {
        while (at < bytes.size()) {
            if (bytes[at] == '#')
                while (at < bytes.size() && bytes[at] != '\n')
                    ++at;
            else if (std::isspace(static_cast<unsigned char>(bytes[at])))
                ++at;
            else
                break;
        }
    };
    // A decimal number of at most 9 digits (larger ones mean a damaged header), so that the
    // products below stay far inside 64 bits.
    auto number = [&](std::int64_t& value) {
        skipSpace();
        const qsizetype start = at;
        value = 0;
        while (at < bytes.size() && std::isdigit(static_cast<unsigned char>(bytes[at]))) {
            if (at - start >= 9)
                return false;
            value = value * 10 + (bytes[at++] - '0');
        }
        return at > start;
    };
    if (bytes.size() < 3 || bytes[0] != 'P' || bytes[1] < '1' || bytes[1] > '6')
        return false;
    const int kind = bytes[1] - '0';
    std::int64_t width = 0, height = 0, max = 1;
    if (!number(width) || !number(height) || width < 1 || height < 1 || width > 65535 ||
        height > 65535 || (kind != 1 && kind != 4 && (!number(max) || max < 1 || max > 65535)))
        return false;
    const int channels = kind == 3 || kind == 6 ? 3 : 1;
    if (kind <= 3) {
        const std::int64_t samples = width * height * channels;
        for (std::int64_t i = 0; i < samples; ++i) {
            std::int64_t v = 0;
            if (kind == 1) { // bits may stand without spaces between them
                skipSpace();
                if (at >= bytes.size() || (bytes[at] != '0' && bytes[at] != '1'))
                    return false;
                ++at;
            } else if (!number(v) || v > max) {
                return false;
            }
        }
        return true;
    }
    ++at; // the one whitespace byte before the samples
    const int sampleBytes = max > 255 ? 2 : 1;
    const std::int64_t need =
        kind == 4 ? (width + 7) / 8 * height : width * height * channels * sampleBytes;
    if (bytes.size() - at < need)
        return false;
    if (kind == 4 || max == 255 || max == 65535)
        return true;
    const auto* d = reinterpret_cast<const std::uint8_t*>(bytes.constData()) + at;
    for (std::int64_t i = 0; i < need; i += sampleBytes)
        if ((sampleBytes == 2 ? (d[i] << 8 | d[i + 1]) : d[i]) > max)
            return false;
    return true;
}

} // namespace

bool IntactFor(const QByteArray& qtFormat, const QByteArray& bytes) {
    if (qtFormat == "gif")
        return GifIntact(bytes);
    if (qtFormat == "jpeg" || qtFormat == "jpg")
        return JpegIntact(bytes);
    if (qtFormat == "bmp")
        return BmpIntact(bytes);
    if (qtFormat == "ico" || qtFormat == "cur")
        return IcoIntact(bytes);
    if (qtFormat == "ppm" || qtFormat == "pgm" || qtFormat == "pbm")
        return PnmIntact(bytes);
    return true;
}

int BestIcoEntry(const QByteArray& bytes) {
    const auto* d = reinterpret_cast<const std::uint8_t*>(bytes.constData());
    if (bytes.size() < 6)
        return -1;
    const int count = Le16(d + 4);
    int best = -1;
    std::int64_t bestArea = -1;
    int bestBits = -1;
    for (int i = 0; i < count && 6 + 16 * qsizetype(i + 1) <= bytes.size(); ++i) {
        const std::uint8_t* entry = d + 6 + 16 * i;
        const int w = entry[0] ? entry[0] : 256, h = entry[1] ? entry[1] : 256;
        int bits = Le16(entry + 6);
        // The directory may leave the depth out: the picture's own header tells it.
        const std::int64_t offset = Le32(entry + 12);
        static const std::uint8_t png[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
        if (offset + 26 <= bytes.size() && std::memcmp(d + offset, png, 8) == 0) {
            const int depth = d[offset + 24], type = d[offset + 25];
            const int channels = type == 2 ? 3 : type == 4 ? 2 : type == 6 ? 4 : 1;
            bits = depth * channels;
        } else if (bits == 0 && offset + 16 <= bytes.size()) {
            bits = Le16(d + offset + 14);
        }
        const std::int64_t area = std::int64_t(w) * h;
        if (area > bestArea || (area == bestArea && bits > bestBits)) {
            best = i;
            bestArea = area;
            bestBits = bits;
        }
    }
    return best;
}

} // namespace codecs
