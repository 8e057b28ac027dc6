#pragma once
// The frame export without its window: one picture file per frame, named base name + running
// number + extension, encoded on all cores and written in frame order.

#include "codecs/picture_writer.h"
#include "frames/frame_snapshot.h"

#include <QImage>
#include <QList>
#include <QString>

#include <cstdint>
#include <functional>

namespace output {

struct TExportSettings {
    QString Folder;   // the output folder; a '/' is put between it and the name
    QString BaseName; // may be empty
    std::int64_t StartNumber = 1;
    codecs::TPictureFormat Format = codecs::TPictureFormat::Jpg;
    int JpegQuality = 90; // 1..100, JPG only
    int Threads = 0;      // 0 = all cores
};

// The start number of the export's number field: the text as a 32-bit signed decimal, 0 when
// it is empty or not such a number ("007" gives 7, "2147483648" gives 0).
std::int64_t ExportStartNumber(const QString& text);

// Folder + '/' + base name + decimal (start + i), no padding, + the format's extension. The
// number is 64-bit, so a start near the 32-bit limit keeps counting up.
QString ExportFilePath(const TExportSettings& settings, int i);

// Reads and encodes frame i for i = 0 .. n-1 on worker threads and writes the files on the
// calling thread in order, replacing existing files; afterFile(i) runs on the calling thread
// after file i is written, and may throw to end the export there (a Cancel), the files before
// it staying whole. The memory of every worker's largest frame and its encoder is asked
// of the budget at once before the first frame is read (kw::EMemoryRefused, nothing written).
// A frame that cannot be read or a file that cannot be written throws kw::EFcError naming it:
// the files before it stay, none after it is written. Returns the bytes written.
std::int64_t ExportFrames(const TFrameSnapshot& frames, const TExportSettings& settings,
                          const std::function<void(int)>& afterFile = {});

} // namespace output
