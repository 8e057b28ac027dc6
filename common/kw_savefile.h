#pragma once
// Whole-file saves: a new file is written beside the old one and renamed over it only when it
// is complete, so a failed save never leaves a half-written file in the old one's place, and
// nothing is ever written through a link: a symbolic link (or anything but a plain file) at
// the path is refused. Used by the settings file and by every picture and page the program
// writes.

#include <QByteArray>
#include <QByteArrayView>
#include <QString>

#include <cstdint>
#include <vector>

namespace kw {

// Replaces the file at path with the pieces, written one after the other without joining
// them first. Where the folder lets no new file be made but the old file can be written, the
// old file is written directly (only when directWriteFallback). False, with the reason in
// error when given, when the file cannot be created or written or a link is at the path; the
// old file (or the link's target) is then as it was.
bool TryWriteWholeFile(const QString& path, const std::vector<QByteArrayView>& pieces,
                       QString* error = nullptr, bool directWriteFallback = true);

// The same, throwing kw::EFcError "Cannot create file "path". reason" or "Cannot write
// file "path". reason" when it fails.
void WriteWholeFile(const QString& path, const std::vector<QByteArrayView>& pieces);
void WriteWholeFile(const QString& path, const char* data, std::int64_t size);
inline void WriteWholeFile(const QString& path, const QByteArray& bytes) {
    WriteWholeFile(path, bytes.constData(), bytes.size());
}

// A save written piece by piece by a writer that seeks (a video muxer): the new file is made
// beside the path under a fresh name, as WriteWholeFile makes it, and Commit() renames it into
// place once it is complete; a save that is not committed removes its new file. Throws the
// errors of WriteWholeFile ("Cannot create file ...", a link at the path) from the
// constructor and "Cannot write file ..." from Commit().
class TSaveFile {
public:
    explicit TSaveFile(const QString& path);
    ~TSaveFile();
    TSaveFile(const TSaveFile&) = delete;
    TSaveFile& operator=(const TSaveFile&) = delete;

    // The new file's descriptor, open for reading and writing, until Commit().
    int Fd() const { return FFd; }
    void Commit();

private:
    QString FPath;
    QByteArray FTemporary;
    int FFd = -1;
};

} // namespace kw
