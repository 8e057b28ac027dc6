#pragma once
// Runs the journal's child process (tests/frames/journal_child.cpp, whose path the test
// program gets as FC_JOURNAL_CHILD) in a cache folder of its own, for the tests that restore
// the frames of a killed program.

#include <QList>
#include <QProcess>
#include <QString>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace fctest {

struct TJournalChild {
    QString Folder;
    QList<qint64> Order; // the times of the frames in the child's list order, when printed
};

// Runs the child with the scenario; it must die of SIGKILL.
inline TJournalChild RunJournalChild(const QTemporaryDir& home, const QString& scenario) {
    QProcess child;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("XDG_CACHE_HOME"), home.path());
    child.setProcessEnvironment(env);
    child.start(QStringLiteral(FC_JOURNAL_CHILD), {scenario});
    EXPECT_TRUE(child.waitForFinished(20000));
    EXPECT_EQ(child.exitStatus(), QProcess::CrashExit) << "killed, not ended";
    TJournalChild result;
    for (const QByteArray& line : child.readAllStandardOutput().split('\n')) {
        if (line.startsWith("folder "))
            result.Folder = QString::fromLocal8Bit(line.mid(7));
        if (line.startsWith("order"))
            for (const QByteArray& t : line.mid(6).split(' '))
                result.Order.append(t.toLongLong());
    }
    EXPECT_FALSE(result.Folder.isEmpty());
    return result;
}

} // namespace fctest
