#pragma once
// PNG files through libpng: true colour, 8 bits a sample, no alpha.

#include <QByteArray>
#include <QImage>
#include <QString>

namespace codecs {

// Every picture is written as 8-bit RGB without transparency (the fourth byte of a 32-bit
// picture is dropped), with zlib's default compression level.
QByteArray EncodePng(const QImage& image);
void SavePng(const QImage& image, const QString& path);

} // namespace codecs
