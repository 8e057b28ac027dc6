#pragma once
// Reading pictures from files of many formats: inserted frames and the image watermark.
// Qt's readers are asked first; ImageMagick decodes what Qt cannot (PCX, SGI, PSD, RLA, CUT,
// PCD, WMF, raw FAX, ...). The content decides the format where it can; for formats without
// a recognisable header (Targa, RLA, raw FAX, SGI under .rgb) the file's extension decides.

#include <QImage>
#include <QString>
#include <QStringList>

// The picture of the file (the first one of a file that holds several), opaque: transparent
// parts are flattened onto white. Format_RGB32. Throws kw::EFcError naming the file when it
// cannot be opened or decoded, with the system's or the decoders' own messages as its details.
QImage ReadPicture(const QString& path);

// Lower-case extensions (without dot) offered in the picture open dialog.
QStringList PictureFileExtensions();
// The open dialog's filter in the "label|patterns|..." form: one entry for all pictures,
// then one per format.
QString PictureFileFilter();
