#include "common/kw_guard.h"
#include "common/kw_savefile.h"
#include "tests/support/file_size_limit.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

QByteArray ReadAll(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
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
    EXPECT_EQ(ReadAll(path), QByteArray("new pieces"));

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
    EXPECT_EQ(ReadAll(path), QByteArray("new pieces"));
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files), QStringList{QStringLiteral("out.gif")});

    QString reason;
    {
        TFileSizeLimit full(0);
        EXPECT_FALSE(kw::TryWriteWholeFile(path, {QByteArrayView("more")}, &reason, false));
    }
    EXPECT_FALSE(reason.isEmpty());
    EXPECT_EQ(ReadAll(path), QByteArray("new pieces"));
}
