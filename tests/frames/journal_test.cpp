// The journal and restore at start: a child process that captures frames is killed at
// several moments and its frames are restored in order and bit for bit; damaged records and
// pixels are dropped and counted; a live program's cache is left alone; a clean end removes
// the files; the records follow edits, moves and deletes.

#include "frames/frame_recovery.h"
#include "frames/thumbnails.h"
#include "tests/frames/journal_child.h"
#include "tests/support/fake_desktop.h"
#include "tests/support/journal_child_run.h"

#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <optional>
#include <vector>

#include <zlib.h>

namespace {

struct TRestored {
    QImage Picture;
    TFrameSource Source;
};

std::vector<TRestored> RestoreAll(TFrameRecovery& recovery) {
    std::vector<TRestored> out;
    recovery.Restore([&](const QImage& picture, const TFrameSource& source) {
        out.push_back({picture, source});
        return true;
    });
    return out;
}

QStringList FilesIn(const QString& folder) {
    return QDir(folder).entryList(QDir::Files);
}

} // namespace

TEST(Journal, FramesComeBackInOrderAndExactAfterAKillDuringAFramesWriteOrARecordsAppend) {
    for (const QString& scenario :
         {QStringLiteral("frame-write"), QStringLiteral("record-append")}) {
        SCOPED_TRACE(scenario.toStdString());
        QTemporaryDir home;
        const fctest::TJournalChild child = fctest::RunJournalChild(home, scenario);
        std::optional<TFrameRecovery> recovery;
        recovery.emplace(child.Folder);
        // The sixth frame's pixels are in the file, but its record never was (whole).
        ASSERT_EQ(recovery->Count(), 5);
        EXPECT_EQ(recovery->Check(), 5);
        EXPECT_EQ(recovery->Damaged(), 0);
        EXPECT_EQ(recovery->QuestionText(),
                  QStringLiteral("Framecatch closed unexpectedly. Restore "
                                 "the 5 frames captured before it "
                                 "closed?"));
        std::vector<TRestored> frames;
        if (scenario == QStringLiteral("record-append")) {
            // The store fills up at the third frame: the next start offers the other three.
            EXPECT_EQ(recovery->Restore([&](const QImage& picture, const TFrameSource& source) {
                if (frames.size() == 2)
                    return false;
                frames.push_back({picture, source});
                return true;
            }),
                      2);
            TFrameRecovery again(child.Folder);
            EXPECT_EQ(again.Count(), 0) << "still held by the first";
        }
        if (!frames.empty()) {
            recovery.reset(); // the program ended after the warning
            recovery.emplace(child.Folder);
            ASSERT_EQ(recovery->Count(), 3);
            EXPECT_EQ(recovery->Check(), 3) << "the frames restored went, the others are whole";
        }
        for (const TRestored& rest : RestoreAll(*recovery))
            frames.push_back(rest);
        ASSERT_EQ(frames.size(), 5u);
        for (int n = 0; n < 5; ++n) {
            EXPECT_EQ(frames[size_t(n)].Source,
                      (TFrameSource{QStringLiteral("phone.mp4"), ChildTimeMs(n)}));
            EXPECT_EQ(frames[size_t(n)].Picture, ChildFrame(n)) << "frame " << n;
        }
        recovery->Discard();
        EXPECT_TRUE(FilesIn(child.Folder).isEmpty())
            << FilesIn(child.Folder).join(' ').toStdString();
    }
}

TEST(Journal, EditsDeletesAndMovesAreRestoredAsTheyWereAndADamagedFrameIsDroppedAndCounted) {
    QTemporaryDir home;
    const fctest::TJournalChild child =
        fctest::RunJournalChild(home, QStringLiteral("edit-delete-move"));
    const QList<qint64> expected = {ChildTimeMs(1), ChildTimeMs(0), ChildTimeMs(3), ChildTimeMs(5),
                                    ChildTimeMs(4)};
    ASSERT_EQ(child.Order, expected);
    {
        TFrameRecovery recovery(child.Folder);
        ASSERT_EQ(recovery.Check(), 5);
        const std::vector<TRestored> frames = RestoreAll(recovery);
        ASSERT_EQ(frames.size(), 5u);
        for (int i = 0; i < 5; ++i) {
            const int n = int(expected[i] / 200);
            EXPECT_EQ(frames[size_t(i)].Source.TimeMs, expected[i]);
            EXPECT_EQ(frames[size_t(i)].Picture, ChildFrame(n == 1 ? 100 : n)) << "frame " << i;
        }
        recovery.Discard();
    }

    // The same again, with one frame's pixels changed behind the journal's back and a torn
    // record at the end.
    QTemporaryDir home2;
    const fctest::TJournalChild damaged =
        fctest::RunJournalChild(home2, QStringLiteral("edit-delete-move"));
    const QStringList caches = QDir(damaged.Folder).entryList({QStringLiteral("*.cache")});
    ASSERT_EQ(caches.size(), 1);
    const QString cache = damaged.Folder + QLatin1Char('/') + caches[0];
    QFile journal(JournalPathFor(cache));
    ASSERT_TRUE(journal.open(QIODevice::ReadOnly));
    const std::vector<TFrameRecovery::TFrame> replayed =
        TFrameRecovery::Replay(DecodeJournal(journal.readAll()));
    journal.close();
    ASSERT_EQ(replayed.size(), 5u);
    {
        QFile file(cache);
        ASSERT_TRUE(file.open(QIODevice::ReadWrite));
        ASSERT_TRUE(file.seek(replayed[2].Slot.Offset + 100));
        file.write("\xFF\x00\xFF", 3);
    }
    ASSERT_TRUE(journal.open(QIODevice::Append));
    journal.write(
        EncodeJournalRecord(TJournalRecord{TJournalRecord::Remove, 0, 0, {}, 0, {}, {1}}).left(9));
    journal.close();

    TFrameRecovery recovery(damaged.Folder);
    EXPECT_EQ(recovery.Count(), 5) << "the torn record is not taken";
    EXPECT_EQ(recovery.Check(), 4);
    EXPECT_EQ(recovery.Damaged(), 1);
    EXPECT_EQ(recovery.QuestionText(),
              QStringLiteral("Framecatch closed unexpectedly. Restore the 4 frames captured before "
                             "it closed?\n\n1 frame was damaged and cannot be restored."));
    const std::vector<TRestored> frames = RestoreAll(recovery);
    ASSERT_EQ(frames.size(), 4u);
    EXPECT_EQ(frames[2].Source.TimeMs, ChildTimeMs(5)) << "the damaged third frame is left out";
    recovery.Discard();
    EXPECT_TRUE(FilesIn(damaged.Folder).isEmpty());
}

TEST(Journal, ALiveProgramsCacheIsLeftAloneAndACleanEndRemovesTheFiles) {
    TFakeDesktop desktop;
    QString cache, journal;
    {
        TThumbnails list;
        for (int n = 0; n < 3; ++n)
            ASSERT_TRUE(list.AddFrame(ChildFrame(n), TFrameSource{QStringLiteral("a.png"), -1}));
        list.Journal().Flush();
        cache = list.Store().FilePath();
        journal = list.Journal().FilePath();
        ASSERT_EQ(journal, JournalPathFor(cache));
        ASSERT_TRUE(QFile::exists(journal));
        {
            TFrameRecovery recovery(list.Store().Folder());
            EXPECT_EQ(recovery.Count(), 0) << "its owner is running";
            recovery.Discard();
        }
        // Another store starting meanwhile (a second program) leaves it too.
        { TFrameStore other(list.Store().Folder()); }
        EXPECT_TRUE(QFile::exists(cache));
        EXPECT_TRUE(QFile::exists(journal));
        EXPECT_EQ(list.FramePicture(2), ChildFrame(2));
        EXPECT_EQ(list.GetItem(1)->ToolTipText(), QStringLiteral("a.png"));
    }
    EXPECT_FALSE(QFile::exists(cache));
    EXPECT_FALSE(QFile::exists(journal));
}

TEST(Journal, TheRecordsFollowTheListThroughEditsMovesInsertsAndDeletes) {
    TFakeDesktop desktop;
    TThumbnails list;
    auto from = [](int n) { return TFrameSource{QStringLiteral("phone.mp4"), ChildTimeMs(n)}; };
    for (int n = 0; n < 8; ++n)
        ASSERT_TRUE(list.AddFrame(ChildFrame(n), from(n)));
    EXPECT_EQ(list.GetItem(3)->ToolTipText(), QStringLiteral("phone.mp4 at 0:00.600"));
    list.GetItem(5)->SetSelected(true);
    ASSERT_TRUE(list.InsertFrame(ChildFrame(50), TFrameSource{QStringLiteral("b.png"), -1}));
    ASSERT_TRUE(list.ReplaceFramePicture(0, ChildFrame(60)));
    {
        // A replay's results, stored from a worker's sink and handed to the list at its end.
        const TFrameSnapshot one = list.Snapshot(TFrameChoice::All);
        std::vector<TStoredFrame> results;
        for (int i = 0; i < one.Count(); ++i)
            results.push_back(*list.Store().Sink().Put(ChildFrame(200 + i)));
        ASSERT_EQ(list.ReplaceStoredFrames(one, results), one.Count());
    }
    list.GetItem(2)->SetSelected(true); // 5 (now at 6) and 2
    list.DeleteSelected();
    list.MoveItemToLast(0);
    list.ExchangeWithPrevious(3);
    list.MoveItemToFirst(5);
    list.Journal().Flush();

    QFile journal(list.Journal().FilePath());
    ASSERT_TRUE(journal.open(QIODevice::ReadOnly));
    const QByteArray bytes = journal.readAll();
    qint64 whole = 0;
    const std::vector<TFrameRecovery::TFrame> replayed =
        TFrameRecovery::Replay(DecodeJournal(bytes, &whole));
    EXPECT_EQ(whole, bytes.size());
    ASSERT_EQ(int(replayed.size()), list.Count());
    for (int i = 0; i < list.Count(); ++i) {
        EXPECT_EQ(replayed[size_t(i)].Id, list.FrameId(i).Value()) << "position " << i;
        EXPECT_EQ(replayed[size_t(i)].Source, list.FrameSource(i));
        // The sum is the one of the pixels the frame holds now: the replay's.
        const QImage picture = list.FramePicture(i);
        EXPECT_EQ(replayed[size_t(i)].PixelSum,
                  quint32(crc32(0, picture.constBits(), uInt(picture.sizeInBytes()))));
    }
    EXPECT_EQ(list.FrameSource(list.FrameId(0)), list.FrameSource(0));
}

TEST(Journal, AMinuteTimeAndAnHourTimeReadAsTheStatusLineShowsThem) {
    EXPECT_EQ((TFrameSource{QStringLiteral("phone.mp4"), 12345}).Text(),
              QStringLiteral("phone.mp4 at 0:12.345"));
    EXPECT_EQ((TFrameSource{QStringLiteral("long.mkv"), 3723004}).Text(),
              QStringLiteral("long.mkv at 1:02:03.004"));
    EXPECT_EQ(TFrameSource().Text(), QString());
}
