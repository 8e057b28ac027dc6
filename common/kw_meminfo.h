#pragma once
// The system's memory figures, read from /proc/meminfo.

#include <QtGlobal>

namespace kw {

// The figure of one field of /proc/meminfo ("MemTotal", "MemAvailable", ...) in bytes; -1 when
// the file or the field cannot be read.
qint64 MemInfoBytes(const char* field);

} // namespace kw
