// Folders depend downward only: a folder's files include headers of their own folder and of
// folders built before it, never of one built after it. The build order comes from the build
// itself (FC_CODE_DIRS), the files from the source tree.

#include <QDirIterator>
#include <QFile>
#include <QRegularExpression>
#include <QStringList>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

// "X includes Y" for every #include "Y/..." in a file of folder X that breaks the order.
QStringList UpwardIncludes(const QString& root, const QStringList& order) {
    QStringList found;
    const QRegularExpression include(QStringLiteral(R"(^\s*#\s*include\s*"([a-z_]+)/)"),
                                     QRegularExpression::MultilineOption);
    for (qsizetype rank = 0; rank < order.size(); ++rank) {
        QDirIterator it(root + QLatin1Char('/') + order[rank], {"*.h", "*.cpp"}, QDir::Files,
                        QDirIterator::Subdirectories);
        while (it.hasNext()) {
            QFile file(it.next());
            if (!file.open(QIODevice::ReadOnly))
                continue;
            const QString text = QString::fromUtf8(file.readAll());
            for (auto m = include.globalMatch(text); m.hasNext();) {
                const QString folder = m.next().captured(1);
                const qsizetype used = order.indexOf(folder);
                if (used > rank)
                    found << QStringLiteral("%1 includes %2/")
                                 .arg(it.filePath().mid(root.size() + 1), folder);
            }
        }
    }
    return found;
}

} // namespace

TEST(FolderOrder, NoFolderIncludesAHeaderOfAFolderBuiltAfterIt) {
    const QStringList order = QStringLiteral(FC_CODE_DIRS).split(QLatin1Char(','));
    ASSERT_GE(order.size(), 10);
    ASSERT_EQ(order.front(), QStringLiteral("common"));
    const QStringList upward = UpwardIncludes(QStringLiteral(FC_SOURCE_DIR), order);
    EXPECT_TRUE(upward.isEmpty()) << upward.join(QLatin1Char('\n')).toStdString();
}

// The check itself finds an upward include.
TEST(FolderOrder, AnUpwardIncludeIsFound) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    QDir(dir.path()).mkpath(QStringLiteral("low"));
    QDir(dir.path()).mkpath(QStringLiteral("high"));
    QFile low(dir.filePath(QStringLiteral("low/a.cpp")));
    ASSERT_TRUE(low.open(QIODevice::WriteOnly));
    low.write("#include \"low/a.h\"\n#include \"high/b.h\"\n");
    low.close();
    QFile high(dir.filePath(QStringLiteral("high/b.cpp")));
    ASSERT_TRUE(high.open(QIODevice::WriteOnly));
    high.write("#include \"low/a.h\"\n");
    high.close();
    EXPECT_EQ(UpwardIncludes(dir.path(), {QStringLiteral("low"), QStringLiteral("high")}),
              QStringList{QStringLiteral("low/a.cpp includes high/")});
}
