#pragma once
// JPEG files through libjpeg-turbo: baseline, colour (YCbCr 4:2:0), standard tables.

#include <QByteArray>
#include <QImage>
#include <QString>

namespace codecs {

// quality is held to 1..100. RGB888, RGB32 and ARGB32 rows go to the encoder as they are
// (alpha ignored); other formats are converted to RGB888 first.
QByteArray EncodeJpeg(const QImage& image, int quality);
void SaveJpeg(const QImage& image, const QString& path, int quality);

} // namespace codecs
