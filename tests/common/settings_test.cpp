#include "common/kw_paths.h"
#include "common/kw_text.h"
#include "common/orb_common.h"
#include "tests/support/fake_desktop.h"
#include "tests/support/file_size_limit.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <sys/stat.h>

namespace {

// Each test gets its own configuration folder.
class SettingsTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(FDir.isValid());
        FOldConfig = qgetenv("XDG_CONFIG_HOME");
        qputenv("XDG_CONFIG_HOME", FDir.path().toUtf8());
    }
    void TearDown() override { qputenv("XDG_CONFIG_HOME", FOldConfig); }

    QString CfgPath() const { return FDir.path() + QStringLiteral("/Corvane/orb/orb.dat"); }

    QByteArray ReadFile() const {
        QFile f(CfgPath());
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }

    void WriteFile(const QByteArray& bytes) {
        QDir().mkpath(QFileInfo(CfgPath()).path());
        QFile f(CfgPath());
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(bytes);
    }

    void WritePlain(const QByteArray& text) { WriteFile(kw::EncodeCfgText(text) + "\r\n"); }

    QTemporaryDir FDir;
    QByteArray FOldConfig;
    TFakeDesktop FDesktop;
};

TEST_F(SettingsTest, FreshStartTakesDefaultsAndWritesTheKnownBytesAtTheEnd) {
    {
        TGlbCfg cfg;
        EXPECT_EQ(cfg.CfgFileName, CfgPath());
        EXPECT_TRUE(QFileInfo(FDir.path() + "/Corvane/orb").isDir());
        EXPECT_FALSE(QFileInfo::exists(CfgPath())) << "nothing is written at creation";
        EXPECT_EQ(cfg.CaptureInterval, 200);
        EXPECT_TRUE(cfg.LastVideoDir.isEmpty());
        EXPECT_TRUE(cfg.ExeDir.endsWith('/'));
    }
    // "200,,,," XOR 0B 0E 13 02 1A 07 1C, as upper-case hex, then CR LF.
    EXPECT_EQ(ReadFile(), QByteArray("393E232E362B30\r\n"));
    EXPECT_TRUE(FDesktop.Messages.isEmpty());
}

TEST_F(SettingsTest, ValuesWithSpacesQuotesAndCommasRoundTrip) {
    {
        TGlbCfg cfg;
        cfg.CaptureInterval = 0;
        cfg.LastVideoDir = QStringLiteral("/home/u/My Videos");
        cfg.LastGIFDir = QStringLiteral("/tmp/a \"quoted\", dir");
        cfg.Reserved1 = QStringLiteral("r1");
        ASSERT_TRUE(cfg.SaveToFile());
    }
    const QByteArray plain = kw::DecodeCfgText(ReadFile().trimmed());
    EXPECT_TRUE(plain.startsWith("0,r1,,\"/home/u/My Videos\",")) << plain.constData();
    EXPECT_TRUE(plain.contains("\"\"quoted\"\"")) << plain.constData();
    TGlbCfg again;
    EXPECT_EQ(again.CaptureInterval, 0);
    EXPECT_EQ(again.Reserved1, QStringLiteral("r1"));
    EXPECT_EQ(again.LastVideoDir, QStringLiteral("/home/u/My Videos"));
    EXPECT_EQ(again.LastGIFDir, QStringLiteral("/tmp/a \"quoted\", dir"));
}

TEST_F(SettingsTest, LowerCaseHexIsAcceptedAndOnlyTheFirstLineCounts) {
    WriteFile(kw::EncodeCfgText("350,,,/v,/g").toLower() + "\r\n" + kw::EncodeCfgText("9,,,,"));
    TGlbCfg cfg;
    EXPECT_EQ(cfg.CaptureInterval, 350);
    EXPECT_EQ(cfg.LastVideoDir, QStringLiteral("/v"));
    EXPECT_EQ(cfg.LastGIFDir, QStringLiteral("/g"));
}

TEST_F(SettingsTest, ThreeValuesFailTheLoadAndTheDefaultsReplaceInterval) {
    WritePlain("500,a,b");
    TGlbCfg cfg;
    // The constructor's defaults step ran after the partial load.
    EXPECT_EQ(cfg.CaptureInterval, 200);
    EXPECT_TRUE(cfg.Reserved1.isEmpty());
    EXPECT_TRUE(cfg.Reserved2.isEmpty());
    // On its own the load stores what it could and still says it failed.
    EXPECT_FALSE(cfg.LoadFromFile());
    EXPECT_EQ(cfg.CaptureInterval, 500);
    EXPECT_EQ(cfg.Reserved2, QStringLiteral("b"));
}

TEST_F(SettingsTest, FourValuesKeepTheVideoFolderThroughTheDefaults) {
    WritePlain("500,a,b,/videos");
    TGlbCfg cfg;
    EXPECT_EQ(cfg.CaptureInterval, 200);
    EXPECT_EQ(cfg.LastVideoDir, QStringLiteral("/videos"));
    EXPECT_TRUE(cfg.Reserved1.isEmpty());
}

TEST_F(SettingsTest, UndecodableFilesGiveDefaultsWithoutMessages) {
    for (const QByteArray& bytes :
         {QByteArray(), QByteArray("zz\r\n"), kw::EncodeCfgText("abc,,,,") + "\r\n",
          kw::EncodeCfgText("99999999999,,,,") + "\r\n"}) {
        WriteFile(bytes);
        TGlbCfg cfg;
        cfg.SaveToFile(); // keep the destructor's write from changing the next round's input
        EXPECT_EQ(cfg.CaptureInterval, 200) << bytes.constData();
    }
    EXPECT_TRUE(FDesktop.Messages.isEmpty());
}

TEST_F(SettingsTest, FailedSaveLeavesTheOldFileWhole) {
    WritePlain("700,,,/old,");
    const QByteArray before = ReadFile();
    {
        // The new file opens, but no byte of it can be written (a full disk).
        TFileSizeLimit full(0);
        ASSERT_TRUE(full.Ok());
        TGlbCfg cfg;
        cfg.CaptureInterval = 123;
        EXPECT_FALSE(cfg.SaveToFile());
        EXPECT_EQ(ReadFile(), before);
        EXPECT_EQ(cfg.CaptureInterval, 123) << "the value in memory stays";
        EXPECT_EQ(QDir(QFileInfo(CfgPath()).path()).entryList(QDir::Files),
                  QStringList{QStringLiteral("orb.dat")})
            << "no half-written file is left beside it";
    }
    EXPECT_EQ(ReadFile(), before);
    EXPECT_TRUE(FDesktop.Messages.isEmpty()) << "a failing save is silent";
}

TEST_F(SettingsTest, FolderThatCannotBeMadeIsReportedOncePerLevel) {
    // A file where the maker's folder belongs blocks both levels.
    QFile blocker(FDir.path() + QStringLiteral("/Corvane"));
    ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
    blocker.close();
    TGlbCfg cfg;
    ASSERT_EQ(FDesktop.Messages.size(), 2);
    for (const kw::TMessage& m : FDesktop.Messages) {
        EXPECT_EQ(m.Caption, QStringLiteral("Error"));
        EXPECT_EQ(m.Text, QStringLiteral("Create directory error! Please contact the author!"));
        EXPECT_EQ(m.Icon, kw::TMsgIcon::Error);
    }
    EXPECT_EQ(cfg.CaptureInterval, 200);
    EXPECT_FALSE(cfg.SaveToFile());
}

TEST_F(SettingsTest, UnitOwnsTheGlobalsAndSavesOnShutDown) {
    {
        TOrbCommonUnit unit;
        ASSERT_NE(GlbCfg, nullptr);
        ASSERT_NE(ScratchBitmap, nullptr);
        ASSERT_NE(ScratchStream, nullptr);
        GlbCfg->CaptureInterval = 40;
    }
    EXPECT_EQ(GlbCfg, nullptr);
    EXPECT_EQ(kw::DecodeCfgText(ReadFile().trimmed()), QByteArray("40,,,,"));
}

} // namespace
