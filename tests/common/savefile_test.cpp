#include "common/kw_guard.h"
#include "common/kw_paths.h"
#include "common/kw_savefile.h"
#include "tests/support/file_size_limit.h"
#include "tests/support/test_data.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

namespace {

mode_t Mode(const QString& path) {
    struct stat st = {};
    return ::stat(QFile::encodeName(path).constData(), &st) == 0 ? st.st_mode & 07777 : 0;
}

QString ErrorOf(const std::function<void()>& f) {
    try {
        f();
    } catch (const kw::EFcError& e) {
        return e.Message();
    }
    return {};
}

} // namespace

// A save replaces the file whole; a save that cannot create its file or that fails half way
// says which file and why, and leaves the old file as it was with nothing beside it.
TEST(WholeFileSave, ReplacesTheFileOrLeavesTheOldOneWhole) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString path = dir.filePath(QStringLiteral("out.gif"));
    kw::WriteWholeFile(path, QByteArray("old contents"));
    kw::WriteWholeFile(path, {QByteArrayView("new "), QByteArrayView("pieces")});
    EXPECT_EQ(fctest::ReadAll(path), QByteArray("new pieces"));

    const QString missing = dir.filePath(QStringLiteral("no-folder/out.gif"));
    const QString created = ErrorOf([&] { kw::WriteWholeFile(missing, QByteArray("x")); });
    EXPECT_TRUE(created.startsWith(QStringLiteral("Cannot create file \"%1\". ").arg(missing)))
        << created.toStdString();
    EXPECT_GT(created.size(), QStringLiteral("Cannot create file \"%1\". ").arg(missing).size())
        << "the system's reason follows";

    QString written;
    {
        // The new file opens, but the disk fills after 4 bytes.
        TFileSizeLimit full(4);
        ASSERT_TRUE(full.Ok());
        written = ErrorOf([&] { kw::WriteWholeFile(path, QByteArray(64 * 1024, 'z')); });
    }
    EXPECT_TRUE(written.startsWith(QStringLiteral("Cannot write file \"%1\". ").arg(path)))
        << written.toStdString();
    EXPECT_EQ(fctest::ReadAll(path), QByteArray("new pieces"));
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files), QStringList{QStringLiteral("out.gif")});

    QString reason;
    {
        TFileSizeLimit full(0);
        EXPECT_FALSE(kw::TryWriteWholeFile(path, {QByteArrayView("more")}, &reason, false));
    }
    EXPECT_FALSE(reason.isEmpty());
    EXPECT_EQ(fctest::ReadAll(path), QByteArray("new pieces"));
}

// No save writes through a link: a link at the path is refused whatever it points to, with or
// without the direct write of a folder that takes no new file, and its target stays as it was.
TEST(WholeFileSave, RefusesALinkAtThePathAndLeavesItsTargetAlone) {
    QTemporaryDir dir;
    const QString target = dir.filePath(QStringLiteral("bashrc"));
    kw::WriteWholeFile(target, QByteArray("the user's own file"));
    const QString link = dir.filePath(QStringLiteral("GIF-Preview.html"));
    ASSERT_TRUE(QFile::link(target, link));
    for (const bool fallback : {true, false}) {
        QString reason;
        EXPECT_FALSE(kw::TryWriteWholeFile(link, {QByteArrayView("page")}, &reason, fallback));
        EXPECT_TRUE(reason.contains(QStringLiteral("symbolic link"))) << reason.toStdString();
    }
    const QString error = ErrorOf([&] { kw::WriteWholeFile(link, QByteArray("page")); });
    EXPECT_TRUE(error.startsWith(QStringLiteral("Cannot create file \"%1\". ").arg(link)));
    EXPECT_EQ(fctest::ReadAll(target), QByteArray("the user's own file"));
    EXPECT_TRUE(QFileInfo(link).isSymLink());
    // A folder at the path is no file to replace either.
    EXPECT_FALSE(kw::TryWriteWholeFile(dir.path(), {QByteArrayView("x")}));
    // A plain file keeps its permissions through a save.
    ASSERT_EQ(::chmod(QFile::encodeName(target).constData(), 0640), 0);
    kw::WriteWholeFile(target, QByteArray("new"));
    EXPECT_EQ(Mode(target), mode_t(0640));
}

// The program's private folders: made for their owner alone, a link or a folder that others
// may enter made private or refused, another user's folder refused.
TEST(PrivateFolder, IsMadeForItsOwnerAloneAndRefusesLinksAndOtherUsersFolders) {
    QTemporaryDir dir;
    const QString folder = dir.filePath(QStringLiteral("a/b/orb"));
    kw::ForcePrivateDir(folder);
    EXPECT_EQ(Mode(folder), mode_t(0700));
    EXPECT_EQ(Mode(dir.filePath(QStringLiteral("a"))), mode_t(0700));
    ::chmod(QFile::encodeName(folder).constData(), 0755);
    kw::ForcePrivateDir(folder); // ours: made private again
    EXPECT_EQ(Mode(folder), mode_t(0700));

    const QString link = dir.filePath(QStringLiteral("link"));
    ASSERT_TRUE(QFile::link(folder, link));
    const QString refused = ErrorOf([&] { kw::ForcePrivateDir(link); });
    EXPECT_EQ(refused, QStringLiteral("Cannot use the folder %1: it is a symbolic link").arg(link));
    if (::geteuid() == 0) { // only root can give a folder to another user
        const QString foreign = dir.filePath(QStringLiteral("foreign"));
        ASSERT_TRUE(QDir().mkdir(foreign));
        ASSERT_EQ(::chown(QFile::encodeName(foreign).constData(), 65534, 65534), 0);
        EXPECT_EQ(
            ErrorOf([&] { kw::ForcePrivateDir(foreign); }),
            QStringLiteral("Cannot use the folder %1: it belongs to another user").arg(foreign));
    }
    EXPECT_EQ(kw::PrivateCacheDir(),
              QString::fromLocal8Bit(qgetenv("XDG_CACHE_HOME")) + QStringLiteral("/Corvane/orb"));
}
