#include "output/export_core.h"

#include "common/kw_guard.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace output;
using codecs::TPictureFormat;

namespace {
QImage Flat(QRgb c) {
    QImage image(16, 8, QImage::Format_RGB888);
    image.fill(c);
    return image;
}
} // namespace

TEST(ExportCore, StartNumberAndFileNames) {
    EXPECT_EQ(ExportStartNumber(QStringLiteral("007")), 7);
    EXPECT_EQ(ExportStartNumber(QString()), 0);
    EXPECT_EQ(ExportStartNumber(QStringLiteral("2147483648")), 0);
    EXPECT_EQ(ExportStartNumber(QStringLiteral("x1")), 0);
    TExportSettings s;
    s.Folder = QStringLiteral("/home/u/Desktop");
    s.BaseName = QStringLiteral("holiday-");
    s.StartNumber = 1;
    EXPECT_EQ(ExportFilePath(s, 0), QStringLiteral("/home/u/Desktop/holiday-1.jpg"));
    EXPECT_EQ(ExportFilePath(s, 9), QStringLiteral("/home/u/Desktop/holiday-10.jpg"));
    s.BaseName.clear();
    s.StartNumber = 0;
    s.Format = TPictureFormat::Png;
    s.Folder = QStringLiteral("/");
    EXPECT_EQ(ExportFilePath(s, 1), QStringLiteral("/1.png"));
    s.StartNumber = 2147483647;
    EXPECT_EQ(ExportFilePath(s, 1), QStringLiteral("/2147483648.png"));
}

TEST(ExportCore, WritesEveryFrameInOrderOnAllCoresAndOverwrites) {
    QTemporaryDir dir;
    TExportSettings s;
    s.Folder = dir.path();
    s.BaseName = QStringLiteral("clip-");
    s.StartNumber = 3;
    s.Format = TPictureFormat::Bmp;
    s.Threads = 3;
    QList<QImage> frames;
    for (int i = 0; i < 9; ++i)
        frames << Flat(qRgb(i * 20, 0, 0));
    QFile old(dir.filePath(QStringLiteral("clip-3.bmp")));
    ASSERT_TRUE(old.open(QIODevice::WriteOnly));
    old.write("an older, longer file that must be replaced completely by the export ...........");
    old.close();
    QList<int> order;
    const std::int64_t bytes = ExportFrames(TFrameSnapshot(frames), s, [&](int i) { order << i; });
    EXPECT_EQ(order, (QList<int>{0, 1, 2, 3, 4, 5, 6, 7, 8}));
    std::int64_t total = 0;
    for (int i = 0; i < 9; ++i) {
        const QString path = dir.filePath(QStringLiteral("clip-%1.bmp").arg(3 + i));
        const QImage back(path);
        ASSERT_EQ(back.pixel(0, 0), qRgb(i * 20, 0, 0)) << i;
        total += QFileInfo(path).size();
    }
    EXPECT_EQ(bytes, total);
    EXPECT_EQ(QFileInfo(old.fileName()).size(), 54 + 16 * 3 * 8);
}

TEST(ExportCore, AFileThatCannotBeWrittenStopsTheExportThere) {
    QTemporaryDir dir;
    TExportSettings s;
    s.Folder = dir.path();
    s.BaseName = QStringLiteral("f");
    s.StartNumber = 0;
    s.Format = TPictureFormat::Jpg;
    s.Threads = 2;
    // A folder where file f2.jpg should go makes that file impossible to write.
    ASSERT_TRUE(QDir(dir.path()).mkdir(QStringLiteral("f2.jpg")));
    QList<QImage> frames;
    for (int i = 0; i < 6; ++i)
        frames << Flat(qRgb(0, i * 40, 0));
    QList<int> written;
    try {
        ExportFrames(TFrameSnapshot(frames), s, [&](int i) { written << i; });
        FAIL() << "no error";
    } catch (const kw::EFcError& e) {
        EXPECT_TRUE(e.Message().contains(QStringLiteral("f2.jpg")));
    }
    EXPECT_EQ(written, (QList<int>{0, 1}));
    EXPECT_TRUE(QFile::exists(dir.filePath(QStringLiteral("f1.jpg"))));
    for (int i = 3; i < 6; ++i)
        EXPECT_FALSE(QFile::exists(dir.filePath(QStringLiteral("f%1.jpg").arg(i))));
    // An empty list writes nothing and is no error.
    EXPECT_EQ(ExportFrames({}, s), 0);
}
