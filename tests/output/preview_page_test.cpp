#include "output/preview_page.h"

#include "common/kw_filesize.h"
#include "common/kw_paths.h"

#include <QFile>

#include <gtest/gtest.h>

using namespace output;

namespace {

// The page of a 320 x 240 GIF of 12 frames, loops 0, 146 KB, saved as /home/u/clips/run.gif.
const char* const ExamplePage =
    R"(<!DOCTYPE html PUBLIC "-//W3C//DTD XHTML 1.0 Transitional//EN" "http://www.w3.org/TR/xhtml1/DTD/xhtml1-transitional.dtd">
<html xmlns="http://www.w3.org/1999/xhtml">
<head>
<meta http-equiv="Content-Type" content="text/html; charset=utf-8" />
<title>GIF Image Preview</title>
<style>
body {background-color:#EAF2EE; font-family: Tahoma, Helvetica, sans-serif; font-size: 14px; color: #555555; line-height: 200%;}
table {background-color: #EAF2EE; border: 3px solid #D3E0DC; border-spacing: 2px;}
.title { text-align:right; font-weight: bold; width: 200px; background-color: #D3E0DC; padding-right: 10px;}
.content { text-align: left; background-color: #D3E0DC; padding-left: 10px;}
.style1 {color: #FF0000; font-size: 16px;}
</style>
</head>
<body>
<table width="70%" height="270" align="center">
    <tr><td align="center"><img src="file:///home/u/clips/run.gif"></td></tr>
</table><br />
<table width="70%" align="center">
    <tr>
        <td class="title">File Name:</td>
        <td class="content">/home/u/clips/run.gif</td>
    </tr>
    <tr>
        <td class="title">File Size:</td>
        <td class="content">146 KB</td>
    </tr>
    <tr>
        <td class="title">GIF Width:</td>
        <td class="content">320  pixels</td>
    </tr>
    <tr>
        <td class="title">GIF Height:</td>
        <td class="content">240 Pixels</td>
    </tr>
    <tr>
        <td class="title">Loop:</td>
        <td class="content">0 times  (0 means loop forever)</td>
    </tr>
    <tr>
        <td class="title">Total Frames:</td>
        <td class="content">12</td>
    </tr>
</table>

</body>
</html>
)";

QByteArray WithCrLf(const char* text) {
    return QByteArray(text).replace("\n", "\r\n");
}

TGifPreviewValues Example() {
    TGifPreviewValues v;
    v.GifPath = QStringLiteral("/home/u/clips/run.gif");
    v.Width = 320;
    v.Height = 240;
    v.Loops = 0;
    v.FrameCount = 12;
    v.SizeText = kw::FileSizeText(150000);
    return v;
}

} // namespace

TEST(PreviewPage, TheFortySixLinesOfTheExampleByteForByte) {
    const QStringList lines = FillGifPreviewPage(GifPreviewTemplate(), Example());
    EXPECT_EQ(lines.size(), 46);
    const QByteArray bytes = GifPreviewPageBytes(lines);
    EXPECT_EQ(bytes, WithCrLf(ExamplePage));
    EXPECT_TRUE(bytes.endsWith("</html>\r\n"));
    EXPECT_FALSE(bytes.startsWith("\xEF\xBB\xBF"));
}

TEST(PreviewPage, NamesWithMarkupCharactersAreEscapedAndTheSourceIsAFileUrl) {
    TGifPreviewValues v = Example();
    v.GifPath = QStringLiteral("/tmp/a b&c<d>\"e'\u00e9.gif");
    const QStringList lines = FillGifPreviewPage(GifPreviewTemplate(), v);
    EXPECT_EQ(lines[15],
              QStringLiteral("    <tr><td align=\"center\"><img "
                             "src=\"file:///tmp/a%20b%26c%3Cd%3E%22e%27%C3%A9.gif\"></td></tr>"));
    EXPECT_EQ(lines[20],
              QStringLiteral(
                  "        <td class=\"content\">/tmp/a b&amp;c&lt;d&gt;&quot;e'\u00e9.gif</td>"));
    // Only those two lines differ from the plain example.
    const QStringList plain = FillGifPreviewPage(GifPreviewTemplate(), Example());
    for (int i = 0; i < 46; ++i) {
        if (i != 15 && i != 20) {
            EXPECT_EQ(lines[i], plain[i]) << i + 1;
        }
    }
    // The page is UTF-8.
    EXPECT_TRUE(GifPreviewPageBytes(lines).contains("e'\xC3\xA9.gif</td>"));

    // A video plays in a <video> element with the same escaped source; nothing else changes.
    v.GifPath = QStringLiteral("/tmp/a b&c<d>.mp4");
    v.Video = true;
    const QStringList video = FillGifPreviewPage(GifPreviewTemplate(), v);
    EXPECT_EQ(video[15], QStringLiteral("    <tr><td align=\"center\"><video "
                                        "src=\"file:///tmp/a%20b%26c%3Cd%3E.mp4\" autoplay loop "
                                        "muted controls></video></td></tr>"));
    EXPECT_EQ(video[20],
              QStringLiteral("        <td class=\"content\">/tmp/a b&amp;c&lt;d&gt;.mp4</td>"));
}

TEST(PreviewPage, PlaceholdersAreReplacedOnceOnTheirOwnLinesIgnoringCase) {
    QStringList t = GifPreviewTemplate();
    t[24] = QStringLiteral("{{gifsize}} and {{GIFSIZE}} {{GIFWidth}}");
    t[40] = QStringLiteral("{{GIFTotalFrames}}{{GIFTotalFrames}}");
    t[2] = QStringLiteral("<head>{{GIFName}}");
    TGifPreviewValues v = Example();
    v.GifPath = QStringLiteral("/tmp/{{GIFSize}}.gif"); // never searched again
    const QStringList lines = FillGifPreviewPage(t, v);
    EXPECT_EQ(lines[24], QStringLiteral("146 KB and {{GIFSIZE}} {{GIFWidth}}"));
    EXPECT_EQ(lines[40], QStringLiteral("12{{GIFTotalFrames}}"));
    EXPECT_EQ(lines[2], QStringLiteral("<head>{{GIFName}}"));
    EXPECT_EQ(lines[20], QStringLiteral("        <td class=\"content\">/tmp/{{GIFSize}}.gif</td>"));
    EXPECT_EQ(lines[15], QStringLiteral("    <tr><td align=\"center\"><img "
                                        "src=\"file:///tmp/%7B%7BGIFSize%7D%7D.gif\"></td></tr>"));
    // A short template loses nothing and breaks nothing.
    EXPECT_EQ(FillGifPreviewPage({QStringLiteral("only")}, v), QStringList{QStringLiteral("only")});
}

// The page goes into the program's own folder, which no other user can enter, never into the
// shared temporary folder, where another user could plant a link at its fixed name.
TEST(PreviewPage, WrittenIntoThePrivateFolderReplacingThePreviousPage) {
    const QString path = GifPreviewPagePath();
    EXPECT_EQ(path, kw::PrivateCacheDir() + QStringLiteral("/GIF-Preview.html"));
    EXPECT_EQ(WriteGifPreviewPageFile(GifPreviewTemplate(), Example()), path);
    TGifPreviewValues second = Example();
    second.FrameCount = 3;
    WriteGifPreviewPageFile(GifPreviewTemplate(), second);
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QByteArray bytes = file.readAll();
    EXPECT_EQ(bytes, GifPreviewPageBytes(FillGifPreviewPage(GifPreviewTemplate(), second)));
    EXPECT_TRUE(bytes.contains("<td class=\"content\">3</td>\r\n"));
    file.close();
    QFile::remove(path);
}

TEST(FileSizeText, KilobytesBelowOneMegabyteThenTwoDecimalsWithTheLocaleSeparators) {
    const QLocale english(QLocale::English, QLocale::UnitedStates);
    EXPECT_EQ(kw::FileSizeText(150000, english), QStringLiteral("146 KB"));
    EXPECT_EQ(kw::FileSizeText(1023, english), QStringLiteral("0 KB"));
    EXPECT_EQ(kw::FileSizeText(1048575, english), QStringLiteral("1023 KB"));
    EXPECT_EQ(kw::FileSizeText(1048576, english), QStringLiteral("1.00 MB"));
    EXPECT_EQ(kw::FileSizeText(1572864, english), QStringLiteral("1.50 MB"));
    EXPECT_EQ(kw::FileSizeText(1200000000, english), QStringLiteral("1,144.41 MB"));
    QLocale german(QLocale::German, QLocale::Germany);
    EXPECT_EQ(kw::FileSizeText(1200000000, german), QStringLiteral("1.144,41 MB"));
    // Grouping is used even when the locale object was told to leave it out.
    german.setNumberOptions(QLocale::OmitGroupSeparator);
    EXPECT_EQ(kw::FileSizeText(1200000000, german), QStringLiteral("1.144,41 MB"));
    // The one-argument form follows the system locale.
    EXPECT_EQ(kw::FileSizeText(1200000000), kw::FileSizeText(1200000000, QLocale::system()));
}
