#pragma once
// Targa files (.tga and its other names), read by our own decoder: the format has no
// signature, and the readers at hand do not honour every orientation a file declares. Colour-
// mapped, true-colour and grey pictures, uncompressed or run-length coded, of 8, 15, 16, 24
// and 32 bits a pixel; the picture comes out the right way up whichever corner the file
// starts at (bits 4 and 5 of its image descriptor).

#include <QByteArray>
#include <QImage>
#include <QSize>
#include <QString>

namespace codecs {

// The size a Targa file declares, without decoding it; false when the header is not one.
bool TgaDeclaredSize(const QByteArray& bytes, QSize& size);

// The picture (Format_ARGB32 when the file has alpha bits, else Format_RGB32); a null picture,
// with the reason in error, when the file is not a Targa file or its data is cut short.
QImage ReadTga(const QByteArray& bytes, QString& error);

} // namespace codecs
