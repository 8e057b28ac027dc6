#pragma once
// Folders the program uses: its own folder, the desktop, the per-user configuration folder,
// the temporary folder and the program's private scratch folder. Every folder returned with a
// trailing separator says so.

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
// Where the user's pictures go by default, without a trailing '/': the desktop folder where it
// exists, otherwise the pictures folder where it exists, otherwise the home folder (a fresh
// account may have neither of the first two).
QString DefaultPicturesDir();
// An empty path becomes GetExeDir(); anything else is returned unchanged.
QString DefaultToExeDir(const QString& path);
QString GetAppDataDir();
// The temporary folder with a trailing '/', or the program's folder if there is none.
QString GetTempDir();
// The program's own folder for its scratch files (the frame store's cache file, the GIF
// preview page), without a trailing '/': <cache>/Corvane/orb of the desktop's cache location
// ($XDG_CACHE_HOME, else ~/.cache), or where there is none a folder of this user's alone under
// the temporary folder (<tmp>/Corvane-orb-<uid>). Not made here: see ForcePrivateDir.
QString PrivateCacheDir();
// Makes the folder and every missing level above it for their owner alone (0700), then checks
// that the folder itself is a real folder (not a link), owned by this user, and closed to
// everyone else (a group or other permission of our own folder is taken away). Throws
// kw::EFcError naming the folder and the reason when it cannot be made or another user could
// reach into it, so that nothing is ever written where someone else can redirect it.
void ForcePrivateDir(const QString& folder);
// Makes <appdata>/maker/product/ one level at a time, reporting each level that cannot be
// made with an error box; returns the folder with a trailing '/'.
QString ForceUserDataDir(const QString& maker, const QString& product);

} // namespace kw
