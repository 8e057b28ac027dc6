// Whole-file saves on the system's own calls, so that no step ever follows a link: the path
// is looked at with lstat (a link or anything but a plain file there is refused), the new file
// is made under a fresh name with O_EXCL | O_NOFOLLOW beside it, and rename() puts it in
// place, which replaces whatever name is there (a link planted meanwhile included) without
// following it. The direct write of the old file, where the folder takes no new file, opens it
// with O_NOFOLLOW too.

#include "common/kw_savefile.h"

#include "common/kw_guard.h"

#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>

#include <cerrno>
#include <cstring>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace kw {

namespace {

enum class TSaveFailure { None, Create, Write };

QString SystemError(int error) {
    return QString::fromLocal8Bit(std::strerror(error));
}

// Closes the descriptor and, unless released, removes the new file when the save ends.
class TNewFile {
public:
    TNewFile(int fd, QByteArray path) : FFd(fd), FPath(std::move(path)) {}
    ~TNewFile() {
        if (FFd >= 0)
            ::close(FFd);
        if (!FPath.isEmpty())
            ::unlink(FPath.constData());
    }
    TNewFile(const TNewFile&) = delete;
    TNewFile& operator=(const TNewFile&) = delete;
    int Fd() const { return FFd; }
    // Closes the file; 0 or errno.
    int Close() {
        const int fd = FFd;
        FFd = -1;
        return ::close(fd) == 0 ? 0 : errno;
    }
    void Keep() { FPath.clear(); }

private:
    int FFd;
    QByteArray FPath;
};

// Writes every piece; 0 or errno.
int WritePieces(int fd, const std::vector<QByteArrayView>& pieces) {
    for (const QByteArrayView piece : pieces) {
        const char* data = piece.data();
        qsizetype left = piece.size();
        while (left > 0) {
            const ssize_t n = ::write(fd, data, size_t(left));
            if (n < 0 && errno == EINTR)
                continue;
            if (n <= 0)
                return n < 0 ? errno : EIO;
            data += n;
            left -= n;
        }
    }
    return 0;
}

// Writes the pieces into the file, syncs its data and closes it; the reason of the first
// failure in reason.
TSaveFailure WriteSyncAndClose(TNewFile& file, int fd, const std::vector<QByteArrayView>& pieces,
                               QString& reason) {
    if (const int error = WritePieces(fd, pieces)) {
        reason = SystemError(error);
        return TSaveFailure::Write;
    }
    if (::fdatasync(fd) != 0 && errno != EINVAL) {
        reason = SystemError(errno);
        return TSaveFailure::Write;
    }
    if (const int error = file.Close()) {
        reason = SystemError(error);
        return TSaveFailure::Write;
    }
    return TSaveFailure::None;
}

// The old file written in place: a folder that takes no new file (nor a rename into it).
TSaveFailure WriteDirectly(const QByteArray& path, const std::vector<QByteArrayView>& pieces,
                           QString& reason) {
    const int fd = ::open(path.constData(), O_WRONLY | O_TRUNC | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0) {
        reason = SystemError(errno);
        return TSaveFailure::Create;
    }
    TNewFile file(fd, QByteArray());
    return WriteSyncAndClose(file, fd, pieces, reason);
}

TSaveFailure SaveWhole(const QString& path, const std::vector<QByteArrayView>& pieces,
                       bool directWriteFallback, QString& reason) {
    const QByteArray target = QFile::encodeName(path);
    struct stat old = {};
    const bool exists = ::lstat(target.constData(), &old) == 0;
    if (exists && S_ISLNK(old.st_mode)) {
        reason = QStringLiteral("It is a symbolic link, and Framecatch never writes through one.");
        return TSaveFailure::Create;
    }
    if (exists && !S_ISREG(old.st_mode)) {
        reason = QStringLiteral("It is not a plain file.");
        return TSaveFailure::Create;
    }
    const QFileInfo info(path);
    QByteArray temporary;
    int fd = -1;
    for (int attempt = 0; attempt < 100 && fd < 0; ++attempt) {
        temporary = QFile::encodeName(info.absolutePath() + QLatin1Char('/') + QLatin1Char('.') +
                                      info.fileName() + QLatin1Char('.') +
                                      QString::number(QRandomGenerator::global()->generate(), 36));
        fd = ::open(temporary.constData(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC,
                    0666);
        if (fd < 0 && errno != EEXIST)
            break;
    }
    if (fd < 0) {
        const int error = errno;
        if (exists && directWriteFallback && (error == EACCES || error == EPERM || error == EROFS))
            return WriteDirectly(target, pieces, reason);
        reason = SystemError(error);
        return TSaveFailure::Create;
    }
    TNewFile file(fd, temporary);
    if (exists)
        ::fchmod(fd, old.st_mode & 07777); // the old file's permissions go on; best effort
    if (const TSaveFailure failure = WriteSyncAndClose(file, fd, pieces, reason);
        failure != TSaveFailure::None)
        return failure;
    if (::rename(temporary.constData(), target.constData()) != 0) {
        const int error = errno;
        // A sticky folder lets no one replace another user's file; writing it may still work.
        if (exists && directWriteFallback && (error == EACCES || error == EPERM))
            return WriteDirectly(target, pieces, reason);
        reason = SystemError(error);
        return TSaveFailure::Write;
    }
    file.Keep();
    return TSaveFailure::None;
}

} // namespace

TSaveFile::TSaveFile(const QString& path) : FPath(path) {
    const QByteArray target = QFile::encodeName(path);
    struct stat old = {};
    const bool exists = ::lstat(target.constData(), &old) == 0;
    QString reason;
    if (exists && S_ISLNK(old.st_mode))
        reason = QStringLiteral("It is a symbolic link, and Framecatch never writes through one.");
    else if (exists && !S_ISREG(old.st_mode))
        reason = QStringLiteral("It is not a plain file.");
    const QFileInfo info(path);
    for (int attempt = 0; reason.isEmpty() && attempt < 100 && FFd < 0; ++attempt) {
        FTemporary = QFile::encodeName(info.absolutePath() + QLatin1Char('/') + QLatin1Char('.') +
                                       info.fileName() + QLatin1Char('.') +
                                       QString::number(QRandomGenerator::global()->generate(), 36));
        FFd = ::open(FTemporary.constData(), O_RDWR | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC,
                     0666);
        if (FFd < 0 && errno != EEXIST)
            reason = SystemError(errno);
    }
    if (FFd < 0)
        throw EFcError(QStringLiteral("Cannot create file \"%1\". %2")
                           .arg(path, reason.isEmpty() ? SystemError(EEXIST) : reason));
    if (exists)
        ::fchmod(FFd, old.st_mode & 07777); // the old file's permissions go on; best effort
}

TSaveFile::~TSaveFile() {
    if (FFd >= 0)
        ::close(FFd);
    if (!FTemporary.isEmpty())
        ::unlink(FTemporary.constData());
}

void TSaveFile::Commit() {
    int error = 0;
    if (::fdatasync(FFd) != 0 && errno != EINVAL)
        error = errno;
    if (::close(FFd) != 0 && !error)
        error = errno;
    FFd = -1;
    if (!error && ::rename(FTemporary.constData(), QFile::encodeName(FPath).constData()) != 0)
        error = errno;
    if (error)
        throw EFcError(
            QStringLiteral("Cannot write file \"%1\". %2").arg(FPath, SystemError(error)));
    FTemporary.clear();
}

bool TryWriteWholeFile(const QString& path, const std::vector<QByteArrayView>& pieces,
                       QString* error, bool directWriteFallback) {
    QString reason;
    const bool ok = SaveWhole(path, pieces, directWriteFallback, reason) == TSaveFailure::None;
    if (error)
        *error = reason;
    return ok;
}

void WriteWholeFile(const QString& path, const std::vector<QByteArrayView>& pieces) {
    QString reason;
    switch (SaveWhole(path, pieces, true, reason)) {
    case TSaveFailure::None:
        return;
    case TSaveFailure::Create:
        throw EFcError(QStringLiteral("Cannot create file \"%1\". %2").arg(path, reason));
    case TSaveFailure::Write:
        throw EFcError(QStringLiteral("Cannot write file \"%1\". %2").arg(path, reason));
    }
}

void WriteWholeFile(const QString& path, const char* data, std::int64_t size) {
    WriteWholeFile(path, std::vector<QByteArrayView>{QByteArrayView(data, qsizetype(size))});
}

} // namespace kw
