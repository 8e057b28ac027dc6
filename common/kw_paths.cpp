#include "common/kw_paths.h"

#include "common/kw_dialogs.h"
#include "common/kw_guard.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>

#include <cerrno>
#include <cstring>

#include <sys/stat.h>
#include <unistd.h>

namespace kw {

namespace {
QString WithoutTrailingSlash(QString path) {
    while (path.size() > 1 && path.endsWith('/'))
        path.chop(1);
    return path;
}
} // namespace

QString GetExeDir() {
    QString dir = QCoreApplication::applicationDirPath();
    if (dir.isEmpty())
        dir = QDir::currentPath();
    if (!dir.endsWith('/'))
        dir += '/';
    return dir;
}

QString GetSpecialFolderPath(int csidl) {
    QString path;
    if (csidl == CSIDL_DESKTOP)
        path = QStandardPaths::writableLocation(QStandardPaths::DesktopLocation);
    else if (csidl == CSIDL_APPDATA)
        path = QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation);
    return WithoutTrailingSlash(path);
}

QString DefaultPicturesDir() {
    for (const QString& folder :
         {GetSpecialFolderPath(CSIDL_DESKTOP),
          QStandardPaths::writableLocation(QStandardPaths::PicturesLocation)})
        if (!folder.isEmpty() && QFileInfo(folder).isDir())
            return WithoutTrailingSlash(folder);
    return WithoutTrailingSlash(QDir::homePath());
}

QString DefaultToExeDir(const QString& path) {
    return path.isEmpty() ? GetExeDir() : path;
}

QString GetAppDataDir() {
    return DefaultToExeDir(GetSpecialFolderPath(CSIDL_APPDATA));
}

QString GetTempDir() {
    QString dir = QDir::tempPath();
    if (!dir.isEmpty() && !dir.endsWith('/'))
        dir += '/';
    return DefaultToExeDir(dir);
}

QString PrivateCacheDir() {
    const QString cache = QStandardPaths::writableLocation(QStandardPaths::GenericCacheLocation);
    if (!cache.isEmpty())
        return cache + QStringLiteral("/Corvane/orb");
    // The temporary folder is shared: the folder's name is this user's own, and
    // ForcePrivateDir refuses it should someone else have made it first.
    return QDir::tempPath() + QStringLiteral("/Corvane-orb-") + QString::number(::geteuid());
}

void ForcePrivateDir(const QString& folder) {
    const auto fail = [&](const QString& path, const QString& reason) {
        throw EFcError(QStringLiteral("Cannot use the folder %1: %2").arg(path, reason));
    };
    const QStringList parts = QDir::cleanPath(folder).split(QLatin1Char('/'));
    QString path;
    for (int i = 0; i < parts.size(); ++i) {
        path += (i == 0 ? QString() : QStringLiteral("/")) + parts[i];
        if (path.isEmpty())
            continue; // the root of an absolute path
        if (::mkdir(QFile::encodeName(path).constData(), 0700) != 0 && errno != EEXIST)
            fail(path, QString::fromLocal8Bit(std::strerror(errno)));
    }
    const QByteArray name = QFile::encodeName(QDir::cleanPath(folder));
    struct stat st = {};
    if (::lstat(name.constData(), &st) != 0)
        fail(folder, QString::fromLocal8Bit(std::strerror(errno)));
    if (S_ISLNK(st.st_mode))
        fail(folder, QStringLiteral("it is a symbolic link"));
    if (!S_ISDIR(st.st_mode))
        fail(folder, QStringLiteral("it is not a folder"));
    if (st.st_uid != ::geteuid())
        fail(folder, QStringLiteral("it belongs to another user"));
    if ((st.st_mode & 077) != 0 && ::chmod(name.constData(), 0700) != 0)
        fail(folder, QStringLiteral("others may enter it"));
}

namespace {

void ForceOneLevel(const QString& path) {
    if (QFileInfo(path).isDir())
        return;
    if (!QDir().mkdir(path))
        ShowMessage({nullptr, QStringLiteral("Error"),
                     QStringLiteral("Create directory error! Please contact the author!"),
                     TMsgIcon::Error, TMsgButtons::Ok, QString()});
}

} // namespace

QString ForceUserDataDir(const QString& maker, const QString& product) {
    // A fresh account may not have its configuration folder yet; the desktop's own programs
    // create it as needed, so we do too, silently.
    QDir().mkpath(GetAppDataDir());
    QString p = WithoutTrailingSlash(GetAppDataDir()) + '/' + maker;
    ForceOneLevel(p);
    p += '/' + product + '/';
    ForceOneLevel(WithoutTrailingSlash(p));
    return p;
}

} // namespace kw
