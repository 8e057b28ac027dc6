#pragma once
// Folders the program uses: its own folder, the desktop, the per-user configuration folder
// and the temporary folder. Every folder returned with a trailing separator says so.

#include <QString>

namespace kw {

// Folder identifiers, as numbered by the desktop shell of the original platform.
constexpr int CSIDL_DESKTOP = 0;
constexpr int CSIDL_APPDATA = 26;

// Folder of the running program, with a trailing '/'.
QString GetExeDir();
// The desktop (0) or the per-user configuration folder (26), without a trailing '/';
// empty for other numbers or when the folder cannot be found.
QString GetSpecialFolderPath(int csidl);
// An empty path becomes GetExeDir(); anything else is returned unchanged.
QString DefaultToExeDir(const QString& path);
QString GetAppDataDir();
// The temporary folder with a trailing '/', or the program's folder if there is none.
QString GetTempDir();
// Makes <appdata>/maker/product/ one level at a time, reporting each level that cannot be
// made with an error box; returns the folder with a trailing '/'.
QString ForceUserDataDir(const QString& maker, const QString& product);

} // namespace kw
