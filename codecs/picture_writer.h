#pragma once
// The four formats of the frame export, behind one call.

#include <QByteArray>
#include <QImage>
#include <QSize>
#include <QString>

namespace codecs {

enum class TPictureFormat { Jpg, Bmp, Gif, Png };

// ".jpg", ".bmp", ".gif", ".png".
QString PictureExtension(TPictureFormat format);
// "JPG", "BMP", "GIF", "PNG" (the items of the export's format list, in this order) to a
// format; false for anything else.
bool PictureFormatFromName(const QString& name, TPictureFormat& format);

// JPG: baseline colour JPEG of the quality (1..100). BMP: the picture's own pixel format.
// GIF: 20 fixed + 236 octree colours, nearest colour, no dithering. PNG: 8-bit RGB.
QByteArray EncodePicture(const QImage& image, TPictureFormat format, int jpegQuality);

// The memory an encoder of the format takes for a picture of that size besides the picture
// itself: its output (at worst), the copy handed back and a converted copy of the picture.
qint64 EncodeWorkingBytes(TPictureFormat format, QSize size);
// Every encoder asks the memory budget for EncodeWorkingBytes first and throws
// kw::EMemoryRefused naming the size when it refuses.
void AskEncoderMemory(TPictureFormat format, QSize size);

} // namespace codecs
