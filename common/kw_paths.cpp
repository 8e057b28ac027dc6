#include "common/kw_paths.h"

#include "common/kw_dialogs.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>

namespace kw {

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
    while (path.size() > 1 && path.endsWith('/'))
        path.chop(1);
    return path;
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

namespace {

void ForceOneLevel(const QString& path) {
    if (QFileInfo(path).isDir())
        return;
    if (!QDir().mkdir(path))
        ShowMessage({nullptr, QStringLiteral("Error"),
                     QStringLiteral("Create directory error! Please contact the author!"),
                     TMsgIcon::Error, TMsgButtons::Ok, QString()});
}

QString WithoutTrailingSlash(QString path) {
    while (path.size() > 1 && path.endsWith('/'))
        path.chop(1);
    return path;
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
