#pragma once
// Checks of picture files before and after their decoders: damage that the decoders would turn
// into a picture of the damage, and which picture of an icon file to take.

#include <QByteArray>

namespace codecs {

// Whether the data of a file whose content is of that format (as Qt's readers name it:
// "gif", "jpeg", "bmp", "ico", "ppm", ...) is whole; formats without a check here pass. A PNM
// header declaring a side above 65535 counts as damaged.
bool IntactFor(const QByteArray& qtFormat, const QByteArray& bytes);

// The position in an icon file's directory of its largest picture, of the deepest colours
// among pictures of that size (the directory's depth, or where it leaves that out, the
// picture's own header); -1 when the directory lists none.
int BestIcoEntry(const QByteArray& bytes);

} // namespace codecs
