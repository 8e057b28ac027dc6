#include "codecs/jpeg_codec.h"

#include "codecs/codec_io.h"
#include "codecs/picture_writer.h"
#include "common/kw_guard.h"

#include <algorithm>
#include <csetjmp>
#include <cstdio>
#include <vector>

#include <jpeglib.h>

namespace codecs {

namespace {

struct TJpegError {
    jpeg_error_mgr Manager;
    std::jmp_buf Jump;
    char Message[JMSG_LENGTH_MAX];
};

void ErrorExit(j_common_ptr info) {
    TJpegError* error = reinterpret_cast<TJpegError*>(info->err);
    (*info->err->format_message)(info, error->Message);
    std::longjmp(error->Jump, 1);
}
void NoOutput(j_common_ptr) {}

// Destination growing a std::vector.
struct TVectorDest {
    jpeg_destination_mgr Manager;
    std::vector<std::uint8_t>* Buffer;
};
void InitDest(j_compress_ptr cinfo) {
    TVectorDest* d = reinterpret_cast<TVectorDest*>(cinfo->dest);
    d->Manager.next_output_byte = d->Buffer->data();
    d->Manager.free_in_buffer = d->Buffer->size();
}
boolean EmptyBuffer(j_compress_ptr cinfo) {
    TVectorDest* d = reinterpret_cast<TVectorDest*>(cinfo->dest);
    const std::size_t used = d->Buffer->size();
    d->Buffer->resize(used * 2);
    d->Manager.next_output_byte = d->Buffer->data() + used;
    d->Manager.free_in_buffer = d->Buffer->size() - used;
    return TRUE;
}
void TermDest(j_compress_ptr cinfo) {
    TVectorDest* d = reinterpret_cast<TVectorDest*>(cinfo->dest);
    d->Buffer->resize(d->Buffer->size() - d->Manager.free_in_buffer);
}

// Only plain data lives in this frame, so the longjmp of an error skips no destructor.
bool Compress(const JSAMPROW* rows, int width, int height, J_COLOR_SPACE space, int components,
              int quality, std::vector<std::uint8_t>* out, char* message) {
    jpeg_compress_struct cinfo;
    TJpegError error;
    cinfo.err = jpeg_std_error(&error.Manager);
    error.Manager.error_exit = ErrorExit;
    error.Manager.output_message = NoOutput;
    if (setjmp(error.Jump)) {
        std::snprintf(message, JMSG_LENGTH_MAX, "%s", error.Message);
        jpeg_destroy_compress(&cinfo);
        return false;
    }
    jpeg_create_compress(&cinfo);
    TVectorDest dest;
    dest.Manager.init_destination = InitDest;
    dest.Manager.empty_output_buffer = EmptyBuffer;
    dest.Manager.term_destination = TermDest;
    dest.Buffer = out;
    cinfo.dest = &dest.Manager;
    cinfo.image_width = JDIMENSION(width);
    cinfo.image_height = JDIMENSION(height);
    cinfo.input_components = components;
    cinfo.in_color_space = space;
    jpeg_set_defaults(&cinfo);
    jpeg_set_quality(&cinfo, quality, TRUE);
    jpeg_start_compress(&cinfo, TRUE);
    while (cinfo.next_scanline < cinfo.image_height)
        jpeg_write_scanlines(&cinfo, const_cast<JSAMPARRAY>(rows + cinfo.next_scanline),
                             cinfo.image_height - cinfo.next_scanline);
    jpeg_finish_compress(&cinfo);
    jpeg_destroy_compress(&cinfo);
    return true;
}

} // namespace

QByteArray EncodeJpeg(const QImage& picture, int quality) {
    if (picture.width() < 1 || picture.height() < 1 || picture.width() > JPEG_MAX_DIMENSION ||
        picture.height() > JPEG_MAX_DIMENSION)
        throw kw::EFcError(QStringLiteral("A JPEG picture must be 1 to %1 pixels wide and high")
                               .arg(JPEG_MAX_DIMENSION));
    AskEncoderMemory(TPictureFormat::Jpg, picture.size());
    QImage image = picture;
    J_COLOR_SPACE space = JCS_EXT_RGB;
    int components = 3;
    switch (image.format()) {
    case QImage::Format_RGB888:
        break;
    case QImage::Format_RGB32:
        space = JCS_EXT_BGRX; // a QRgb word is B, G, R, A in memory
        components = 4;
        break;
    case QImage::Format_ARGB32:
        space = JCS_EXT_BGRA;
        components = 4;
        break;
    default:
        image = image.convertToFormat(QImage::Format_RGB888);
        break;
    }
    std::vector<JSAMPROW> rows(std::size_t(image.height()));
    for (int y = 0; y < image.height(); ++y)
        rows[std::size_t(y)] = const_cast<JSAMPROW>(image.constScanLine(y));
    std::vector<std::uint8_t> out(std::size_t(image.width()) * std::size_t(image.height()) / 4 +
                                  4096);
    char message[JMSG_LENGTH_MAX] = {};
    if (!Compress(rows.data(), image.width(), image.height(), space, components,
                  std::clamp(quality, 1, 100), &out, message))
        throw kw::EFcError(
            QStringLiteral("JPEG encoding failed: %1").arg(QString::fromUtf8(message)));
    return QByteArray(reinterpret_cast<const char*>(out.data()), qsizetype(out.size()));
}

void SaveJpeg(const QImage& image, const QString& path, int quality) {
    WriteWholeFile(path, EncodeJpeg(image, quality));
}

} // namespace codecs
