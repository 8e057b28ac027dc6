#include "app/form_about.h"
#include "app/form_options.h"
#include "common/kw_text.h"
#include "common/orb_common.h"
#include "controls/kw_img_panel.h"
#include "controls/kw_line_panel.h"
#include "tests/support/fake_desktop.h"

#include "skin/te_controls.h"
#include <QDialog>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QTest>

#include <gtest/gtest.h>

namespace {

QByteArray SettingsText() {
    QFile f(GlbCfg->CfgFileName);
    return f.open(QIODevice::ReadOnly) ? kw::DecodeCfgText(f.readAll().trimmed()) : QByteArray();
}

class OptionsTest : public ::testing::Test {
protected:
    void SetUp() override { QFile::remove(GlbCfg->CfgFileName); }
    TFakeDesktop FDesktop;
    TOrbCommonUnit FUnit;
};

TEST_F(OptionsTest, OpensWithTheCurrentInterval) {
    GlbCfg->CaptureInterval = 200;
    TFormOptions options(nullptr);
    EXPECT_EQ(options.windowTitle(), QStringLiteral("Options"));
    EXPECT_EQ(options.size(), QSize(414, 271));
    EXPECT_EQ(options.edit_msel->text(), QStringLiteral("200"));
    EXPECT_EQ(options.edit_msel->geometry(), QRect(144, 17, 46, 21));
}

TEST_F(OptionsTest, KeysOtherThanDigitsAndBackspaceBeep) {
    TFormOptions options(nullptr);
    options.show();
    options.edit_msel->setFocus();
    options.edit_msel->clear();
    QTest::keyClicks(options.edit_msel, QStringLiteral("1a-2. 3"));
    EXPECT_EQ(options.edit_msel->text(), QStringLiteral("123"));
    EXPECT_EQ(FDesktop.Beeps, 4);
    QTest::keyClick(options.edit_msel, Qt::Key_Backspace);
    EXPECT_EQ(options.edit_msel->text(), QStringLiteral("12"));
    EXPECT_EQ(FDesktop.Beeps, 4);
}

// An interval under 1 ms is refused like a text that does not convert: continuous capture
// would grab nothing with it.
TEST_F(OptionsTest, OkWithATextThatDoesNotConvertOrUnder1MsKeepsTheDialogOpen) {
    for (const QString& text :
         {QString(), QStringLiteral("2147483648"), QStringLiteral("99999999999"),
          QStringLiteral("0"), QStringLiteral("000")}) {
        FDesktop.Messages.clear();
        GlbCfg->CaptureInterval = 200;
        TFormOptions options(nullptr);
        options.show();
        options.edit_msel->setText(text);
        options.btn_ok->click();
        ASSERT_EQ(FDesktop.Messages.size(), 1) << text.toStdString();
        EXPECT_EQ(FDesktop.Messages[0].Caption, QStringLiteral("Framecatch"));
        EXPECT_EQ(FDesktop.Messages[0].Text,
                  QStringLiteral("'%1' is not a valid integer value.").arg(text));
        EXPECT_EQ(FDesktop.Messages[0].Icon, kw::TMsgIcon::Error);
        EXPECT_TRUE(options.isVisible());
        EXPECT_EQ(options.result(), 0);
        EXPECT_EQ(GlbCfg->CaptureInterval, 200);
        EXPECT_FALSE(QFile::exists(GlbCfg->CfgFileName)) << "nothing is written";
    }
}

TEST_F(OptionsTest, OkWithOneStoresAndSavesAtOnce) {
    TFormOptions options(nullptr);
    options.show();
    options.edit_msel->setText(QStringLiteral("1"));
    options.btn_ok->click();
    EXPECT_TRUE(FDesktop.Messages.isEmpty());
    EXPECT_EQ(options.result(), int(QDialog::Accepted));
    EXPECT_EQ(GlbCfg->CaptureInterval, 1);
    EXPECT_EQ(SettingsText(), QByteArray("1,,,,"));
}

TEST_F(OptionsTest, CancelAndEscapeStoreNothing) {
    GlbCfg->CaptureInterval = 200;
    TFormOptions options(nullptr);
    options.show();
    options.edit_msel->setText(QStringLiteral("999"));
    QTest::keyClick(&options, Qt::Key_Escape);
    EXPECT_TRUE(options.isVisible()) << "Escape presses neither button";
    QTest::keyClick(options.edit_msel, Qt::Key_Return);
    EXPECT_TRUE(options.isVisible()) << "Enter presses neither button";
    options.btn_cancel->click();
    EXPECT_EQ(options.result(), int(QDialog::Rejected));
    EXPECT_EQ(GlbCfg->CaptureInterval, 200);
    EXPECT_FALSE(QFile::exists(GlbCfg->CfgFileName));
}

TEST(AboutBox, ShowsTheVersionAndClosesOnAClick) {
    TFakeDesktop desktop;
    TFormAbout about(nullptr);
    EXPECT_EQ(about.size(), QSize(396, 233));
    EXPECT_TRUE(about.windowFlags() & Qt::FramelessWindowHint);
    about.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&about));
    EXPECT_EQ(about.lb_version->text(), QStringLiteral("Version:  2.0"));
    QTest::mouseClick(about.panel_main, Qt::LeftButton, {}, QPoint(300, 10));
    EXPECT_FALSE(about.isVisible());
    about.show();
    QTest::mouseClick(about.panel_help, Qt::LeftButton, {}, QPoint(100, 80));
    EXPECT_FALSE(about.isVisible());
    EXPECT_TRUE(desktop.Opened.isEmpty());
}

} // namespace
