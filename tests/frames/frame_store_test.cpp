// The frame store: frames on disk, read back bit-exact; slots freed and reused; the storage
// check; a file system that runs full; the cache files of dead programs.

#include "common/kw_guard.h"
#include "frames/frame_store.h"
#include "frames/thumbnails.h"
#include "tests/support/fake_desktop.h"
#include "tests/support/frame_grid.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <algorithm>
#include <csignal>
#include <cstring>
#include <memory>
#include <optional>
#include <thread>
#include <vector>

#include <fcntl.h>
#include <sys/file.h>
#include <sys/mount.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

constexpr qint64 MiB = qint64(1) << 20;
constexpr qint64 GiB = qint64(1) << 30;

// Every byte of every line depends on the frame number, the line and the column.
QImage Pattern(QSize size, int n, QImage::Format format = QImage::Format_RGB888) {
    QImage image(size, format);
    for (int y = 0; y < image.height(); ++y) {
        uchar* line = image.scanLine(y);
        for (int x = 0; x < int(image.bytesPerLine()); ++x)
            line[x] = uchar(x * 7 + y * 13 + n * 31);
    }
    return image;
}

// The pixels agree on every line (the padding at a line's end aside).
bool SamePixels(const QImage& a, const QImage& b) {
    if (a.size() != b.size() || a.format() != b.format())
        return false;
    const size_t used = size_t((qint64(a.width()) * a.depth() + 7) / 8);
    for (int y = 0; y < a.height(); ++y)
        if (std::memcmp(a.constScanLine(y), b.constScanLine(y), used) != 0)
            return false;
    return true;
}

mode_t Mode(const QString& path) {
    struct stat st = {};
    return ::stat(QFile::encodeName(path).constData(), &st) == 0 ? st.st_mode & 07777 : 0;
}

qint64 DiskBytes(const QString& path) {
    struct stat st = {};
    return ::stat(QFile::encodeName(path).constData(), &st) == 0 ? qint64(st.st_blocks) * 512 : -1;
}

// A small file system of its own: a tmpfs mounted on a temporary folder, as root can (the
// tests run as root on the development machines and in CI). Without the right to mount, a
// file size limit on this process stands in for it: the reservation then fails with EFBIG
// instead of ENOSPC, which the store takes alike.
class TSmallDisk {
public:
    explicit TSmallDisk(qint64 bytes) {
        const QByteArray path = QFile::encodeName(FDir.path());
        const QByteArray options = "size=" + QByteArray::number(bytes) + ",mode=0700";
        FMounted = ::mount("tmpfs", path.constData(), "tmpfs", MS_NOSUID | MS_NODEV,
                           options.constData()) == 0;
        if (!FMounted) {
            ::getrlimit(RLIMIT_FSIZE, &FSaved);
            rlimit limit = FSaved;
            limit.rlim_cur = rlim_t(bytes);
            std::signal(SIGXFSZ, SIG_IGN);
            ::setrlimit(RLIMIT_FSIZE, &limit);
        }
    }
    ~TSmallDisk() {
        if (FMounted)
            ::umount2(QFile::encodeName(FDir.path()).constData(), MNT_DETACH);
        else
            ::setrlimit(RLIMIT_FSIZE, &FSaved);
    }
    QString Path() const { return FDir.path(); }

private:
    QTemporaryDir FDir;
    bool FMounted = false;
    rlimit FSaved = {};
};

// Points the desktop's cache location (and so the frame list's store) at a folder.
class TCacheHome {
public:
    explicit TCacheHome(const QString& folder) : FSaved(qgetenv("XDG_CACHE_HOME")) {
        qputenv("XDG_CACHE_HOME", QFile::encodeName(folder));
    }
    ~TCacheHome() { qputenv("XDG_CACHE_HOME", FSaved); }

private:
    QByteArray FSaved;
};

} // namespace

TEST(FrameStore, FramesComeBackBitExactInTheirLayoutAsPicturesOfTheirOwn) {
    TFakeDesktop desktop;
    QTemporaryDir dir;
    const QString folder = dir.path() + QStringLiteral("/cache/Corvane/orb");
    TFrameStore store(folder);
    EXPECT_TRUE(store.FilePath().isEmpty()); // nothing on disk before the first frame

    QImage withMetadata = Pattern(QSize(333, 41), 1); // 24-bit lines padded to 4 bytes
    withMetadata.setDotsPerMeterX(2835);
    withMetadata.setDotsPerMeterY(1417);
    const QImage wide = Pattern(QSize(400, 30), 3);
    const QImage foreignPitch(wide.constBits(), 331, 30, wide.bytesPerLine(),
                              QImage::Format_RGB888);
    const std::vector<QImage> sources = {withMetadata,
                                         Pattern(QSize(64, 48), 2, QImage::Format_RGB32),
                                         foreignPitch, Pattern(QSize(1, 1), 4)};
    std::vector<TStoredFrame> frames;
    for (const QImage& source : sources) {
        std::optional<TStoredFrame> frame = store.Put(source);
        ASSERT_TRUE(frame);
        frames.push_back(*frame);
    }
    EXPECT_EQ(Mode(store.FilePath()), mode_t(0600));
    EXPECT_EQ(Mode(folder), mode_t(0700));
    EXPECT_EQ(Mode(dir.path() + QStringLiteral("/cache/Corvane")), mode_t(0700));
    // Once written out and dropped from the page cache, they are read from the disk.
    store.DropFromPageCache();
    for (size_t i = 0; i < sources.size(); ++i)
        EXPECT_TRUE(SamePixels(frames[i].Picture(), sources[i])) << i;
    EXPECT_EQ(frames[0].Picture().dotsPerMeterX(), 2835);
    EXPECT_EQ(frames[0].Picture().dotsPerMeterY(), 1417);
    EXPECT_EQ(frames[1].Format(), QImage::Format_RGB32);

    // A picture is the reader's own copy: writing to it leaves the stored frame as it was.
    QImage picture = frames[1].Picture();
    picture.bits()[0] ^= 0xFF;
    EXPECT_TRUE(SamePixels(frames[1].Picture(), sources[1]));

    // Read into a working picture: its memory is reused for a frame of its shape, while a
    // picture someone else still holds, or one of another shape, is left alone.
    QImage working = frames[1].Picture();
    const uchar* bits = working.constBits();
    working.bits()[0] ^= 0xFF;
    frames[1].PictureInto(working);
    EXPECT_TRUE(SamePixels(working, sources[1]));
    EXPECT_EQ(working.constBits(), bits);
    const QImage held = working;
    frames[1].PictureInto(working);
    EXPECT_NE(working.constBits(), held.constBits());
    EXPECT_TRUE(SamePixels(held, sources[1]));
    frames[2].PictureInto(working);
    EXPECT_TRUE(SamePixels(working, sources[2]));
    frames[0].PictureInto(working);
    EXPECT_TRUE(SamePixels(working, sources[0]));
    EXPECT_EQ(working.dotsPerMeterX(), 2835);

    std::optional<TStoredFrame> empty = store.Put(QImage());
    ASSERT_TRUE(empty);
    EXPECT_TRUE(empty->IsNull());
    EXPECT_TRUE(empty->Picture().isNull());
    empty->PictureInto(working);
    EXPECT_TRUE(working.isNull());
}

// Workers store their results through sinks, several at once, also while the GUI thread
// stores; a sink keeps the cache file going after the store itself is gone.
TEST(FrameStore, SinksStoreFromManyThreadsAtOnceAndOutliveTheStore) {
    TFakeDesktop desktop;
    QTemporaryDir dir;
    auto store = std::make_unique<TFrameStore>(dir.path());
    const TFrameSink sink = store->Sink();
    constexpr int Threads = 4, PerThread = 12;
    std::vector<std::vector<TStoredFrame>> stored(Threads);
    std::vector<std::thread> workers;
    for (int t = 0; t < Threads; ++t)
        workers.emplace_back([&, t] {
            for (int k = 0; k < PerThread; ++k)
                stored[std::size_t(t)].push_back(
                    *sink.Put(Pattern(QSize(97 + t, 31 + k), t * PerThread + k)));
        });
    std::vector<TStoredFrame> own;
    for (int k = 0; k < PerThread; ++k)
        own.push_back(*store->Put(Pattern(QSize(50, 20 + k), 1000 + k)));
    for (std::thread& w : workers)
        w.join();
    const QString path = store->FilePath();
    store->WaitForWriteBack();
    store.reset();
    EXPECT_TRUE(QFileInfo::exists(path)) << "the sink holds the file";
    std::vector<qint64> offsets;
    for (int t = 0; t < Threads; ++t)
        for (int k = 0; k < PerThread; ++k) {
            const TStoredFrame& frame = stored[std::size_t(t)][std::size_t(k)];
            EXPECT_TRUE(
                SamePixels(frame.Picture(), Pattern(QSize(97 + t, 31 + k), t * PerThread + k)))
                << t << " " << k;
            offsets.push_back(frame.Offset());
        }
    for (int k = 0; k < PerThread; ++k) {
        EXPECT_TRUE(
            SamePixels(own[std::size_t(k)].Picture(), Pattern(QSize(50, 20 + k), 1000 + k)));
        offsets.push_back(own[std::size_t(k)].Offset());
    }
    std::sort(offsets.begin(), offsets.end());
    EXPECT_EQ(std::adjacent_find(offsets.begin(), offsets.end()), offsets.end());
    // A frame stored after the store went still lands in the same file.
    std::optional<TStoredFrame> late = sink.Put(Pattern(QSize(8, 8), 7));
    ASSERT_TRUE(late);
    EXPECT_TRUE(SamePixels(late->Picture(), Pattern(QSize(8, 8), 7)));
    EXPECT_THROW(TFrameSink().Put(Pattern(QSize(8, 8), 7)), kw::EFcError);
}

TEST(FrameStore, AFreedSlotIsReusedOnceNoHandleHoldsItAndItsBlocksGoBack) {
    TFakeDesktop desktop;
    QTemporaryDir dir;
    TFrameStore store(dir.path());
    const QSize size(320, 240);
    std::optional<TStoredFrame> a = store.Put(Pattern(size, 0));
    std::optional<TStoredFrame> b = store.Put(Pattern(size, 1));
    std::optional<TStoredFrame> c = store.Put(Pattern(size, 2));
    ASSERT_TRUE(a && b && c);
    const qint64 slot = store.FileBytes() / 3;
    EXPECT_EQ(slot % 4096, 0);
    EXPECT_GE(slot, 320 * 240 * 3);

    // Deleted while another handle of it is held (an output's snapshot): the slot stays.
    const qint64 slotOfB = b->Offset();
    TStoredFrame heldB = *b;
    b.reset();
    std::optional<TStoredFrame> d = store.Put(Pattern(size, 3));
    EXPECT_EQ(d->Offset(), 3 * slot);
    EXPECT_TRUE(SamePixels(heldB.Picture(), Pattern(size, 1)));
    heldB = TStoredFrame();
    std::optional<TStoredFrame> e = store.Put(Pattern(size, 4));
    EXPECT_EQ(e->Offset(), slotOfB);
    EXPECT_EQ(store.FileBytes(), 4 * slot);

    // A deleted frame's blocks go back to the file system; free slots at the end shorten
    // the file. A smaller frame takes part of a larger free range.
    store.WaitForWriteBack();
    const qint64 before = DiskBytes(store.FilePath());
    c.reset();
    store.WaitForWriteBack();
    EXPECT_LE(DiskBytes(store.FilePath()), before - slot);
    d.reset();
    EXPECT_EQ(store.FileBytes(), 2 * slot);
    store.WaitForWriteBack();
    EXPECT_EQ(QFileInfo(store.FilePath()).size(), 2 * slot);
    a.reset();
    std::optional<TStoredFrame> small = store.Put(Pattern(QSize(32, 32), 5));
    EXPECT_EQ(small->Offset(), 0);
    std::optional<TStoredFrame> next = store.Put(Pattern(QSize(32, 32), 6));
    EXPECT_EQ(next->Offset(), 4096);
    EXPECT_TRUE(SamePixels(e->Picture(), Pattern(size, 4)));
    EXPECT_TRUE(SamePixels(small->Picture(), Pattern(QSize(32, 32), 5)));
}

TEST(FrameStore, CachesOfDeadProgramsGoAtStartAndEachStoresFileWhenItEnds) {
    TFakeDesktop desktop;
    QTemporaryDir dir;
    const QString folder = dir.path();
    // A program that dies with frames in its store leaves its file behind.
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        TFrameStore dying(folder);
        ::_exit(dying.Put(Pattern(QSize(16, 16), 0)) ? 0 : 1);
    }
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    const QStringList left = QDir(folder).entryList({QStringLiteral("frames-*.cache")});
    ASSERT_EQ(left.size(), 1);
    // A live program's file: its lock is held (here through another open of the file).
    const QString live = folder + QStringLiteral("/frames-live01.cache");
    const int liveFd = ::open(QFile::encodeName(live).constData(), O_RDWR | O_CREAT, 0600);
    ASSERT_GE(liveFd, 0);
    ASSERT_EQ(::flock(liveFd, LOCK_EX), 0);
    QFile other(folder + QStringLiteral("/notes.txt"));
    ASSERT_TRUE(other.open(QIODevice::WriteOnly));
    other.close();

    QString path;
    QImage kept;
    {
        TFrameStore store(folder);
        EXPECT_FALSE(QFile::exists(folder + '/' + left[0]));
        EXPECT_TRUE(QFile::exists(live));
        EXPECT_TRUE(other.exists());
        std::optional<TStoredFrame> frame = store.Put(Pattern(QSize(40, 30), 7));
        ASSERT_TRUE(frame);
        path = store.FilePath();
        // Another program starting now leaves this one's file alone.
        EXPECT_EQ(TFrameStore::RemoveStaleCaches(folder), 0);
        EXPECT_TRUE(QFile::exists(path));
        kept = frame->Picture();
    }
    EXPECT_FALSE(QFile::exists(path));
    EXPECT_TRUE(SamePixels(kept, Pattern(QSize(40, 30), 7))); // a picture outlives the store
    ::close(liveFd);
    EXPECT_EQ(TFrameStore::RemoveStaleCaches(folder), 1); // its program has gone now
}

TEST(FrameStore, TheStorageCheckKeepsAGibibyteOrFivePercentFree) {
    EXPECT_EQ(StoreMargin(10 * GiB), GiB);
    EXPECT_EQ(StoreMargin(100 * GiB), 5 * GiB);
    EXPECT_EQ(StoreMargin(-1), GiB);
    EXPECT_TRUE(StoreAllows(MiB, GiB + MiB, 10 * GiB));
    EXPECT_FALSE(StoreAllows(MiB, GiB + MiB - 1, 10 * GiB));
    EXPECT_FALSE(StoreAllows(MiB, 4 * GiB, 100 * GiB));
    EXPECT_TRUE(StoreAllows(MiB, -1, -1)); // unknown: the reservation decides
    const kw::TDiskSpace real = kw::RealDesktop().DiskSpace(QDir::tempPath());
    EXPECT_GT(real.Total, 0);
    EXPECT_GE(real.Free, 0);
    EXPECT_LE(real.Free, real.Total);

    TFakeDesktop desktop;
    QTemporaryDir dir;
    TFrameStore store(dir.path());
    const std::optional<TStoredFrame> first = store.Put(Pattern(QSize(64, 64), 0));
    ASSERT_TRUE(first);
    const qint64 slot = store.FileBytes();
    ASSERT_EQ(slot, 3 * 4096);
    desktop.DiskSpace = {GiB + slot - 1, 10 * GiB};
    EXPECT_FALSE(store.Put(Pattern(QSize(64, 64), 1)));
    EXPECT_EQ(store.FileBytes(), slot);
    desktop.DiskSpace = {GiB + slot, 10 * GiB};
    EXPECT_TRUE(store.Put(Pattern(QSize(64, 64), 1)));
}

TEST(FrameStore, AFullFileSystemRefusesFramesWithTheWarningAndKeepsTheEarlierOnes) {
    // By the desktop's figures there is plenty of room: only the file system itself refuses.
    TFakeDesktop desktop;
    QTemporaryDir pictures;
    const QString file = pictures.filePath(QStringLiteral("inserted.png"));
    ASSERT_TRUE(Pattern(QSize(32, 24), 50).save(file));
    const QSize size(320, 240);
    TSmallDisk disk(MiB);
    TCacheHome home(disk.Path());
    TThumbnails list;
    list.SetFrameSize(size.width(), size.height());

    std::vector<QImage> added;
    for (int n = 0; n < 20; ++n) {
        const QImage frame = Pattern(size, n);
        if (!list.AddFrame(frame))
            break;
        added.push_back(frame);
    }
    ASSERT_GE(added.size(), 2u);
    ASSERT_LT(added.size(), 20u);
    EXPECT_TRUE(list.Store().FilePath().startsWith(disk.Path()));
    EXPECT_TRUE(desktop.Messages.isEmpty()); // the caller decides when to tell

    // The insertion command is refused too, and tells the user.
    list.GetItem(0)->SetSelected(true);
    desktop.OpenFilesAnswers.push_back({file});
    list.PopMenu()->ItemInsertImages->trigger();
    EXPECT_EQ(desktop.Texts(), QStringList{StoreFullText()});
    EXPECT_EQ(desktop.Messages[0].Caption, QStringLiteral("Warning"));
    ASSERT_EQ(list.Count(), int(added.size()));
    list.Store().WaitForWriteBack();
    for (size_t i = 0; i < added.size(); ++i)
        EXPECT_TRUE(SamePixels(list.FramePicture(int(i)), added[i])) << i;

    // Deleting a frame makes room again.
    list.DeleteSelected();
    EXPECT_TRUE(list.AddFrame(Pattern(size, 99)));
    EXPECT_TRUE(SamePixels(list.FramePicture(int(added.size()) - 1), Pattern(size, 99)));
}

// A cache file cut short behind the store's back (as a disk that cannot deliver a frame) makes
// the frames it lost an error where they are read, never a crash: every other frame reads as
// before, the list paints the lost ones black, and new frames go in as usual.
TEST(FrameStore, FramesTheCacheFileCannotDeliverAreAnErrorAndTheOthersStay) {
    TFakeDesktop desktop;
    QTemporaryDir dir;
    TCacheHome home(dir.path());
    TThumbnails list;
    list.resize(400, 300);
    list.show();
    list.SetFrameSize(320, 240);
    const QSize size(320, 240);
    for (int n = 0; n < 4; ++n)
        ASSERT_TRUE(list.AddFrame(Pattern(size, n)));
    const TFrameSnapshot all = list.Snapshot(TFrameChoice::All);
    list.Store().WaitForWriteBack();
    const qint64 slot = list.Store().FileBytes() / 4;
    ASSERT_EQ(::truncate(QFile::encodeName(list.Store().FilePath()).constData(), 2 * slot + 100),
              0);
    for (int n : {2, 3}) {
        try {
            list.FramePicture(n);
            ADD_FAILURE() << "frame " << n << " read";
        } catch (const kw::EFcError& e) {
            EXPECT_TRUE(e.Message().contains(list.Store().FilePath())) << e.Message().toStdString();
            EXPECT_TRUE(e.Message().endsWith(QStringLiteral("the file ends before the frame")));
        }
        EXPECT_THROW(all.Picture(n), kw::EFcError);
    }
    EXPECT_TRUE(SamePixels(list.FramePicture(0), Pattern(size, 0)));
    EXPECT_TRUE(SamePixels(all.Picture(1), Pattern(size, 1)));
    // The tiles repaint from their frames at a new size: the lost ones black.
    list.SetFrameSize(240, 240);
    const QImage lost = fctest::GrabCell(list, 3);
    EXPECT_EQ(list.GetItem(3)->PaintCopy().isNull(), true);
    EXPECT_EQ(lost.pixelColor(50, 50), QColor(Qt::black));
    EXPECT_FALSE(list.GetItem(1)->PaintCopy().isNull());
    ASSERT_TRUE(list.AddFrame(Pattern(size, 9)));
    EXPECT_TRUE(SamePixels(list.FramePicture(4), Pattern(size, 9)));
    EXPECT_TRUE(desktop.Messages.isEmpty()) << "painting shows no box";
}
