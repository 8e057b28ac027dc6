// The output windows where a user's input could once kill the program, damage a file or write
// where someone else decides: sizes beyond what a GIF can be or the memory can hold, links
// planted at the preview page's path, pictures inserted before any video.

#include "common/kw_memory.h"
#include "common/kw_paths.h"
#include "common/orb_common.h"
#include "output/preview_page.h"
#include "output/save_gif.h"
#include "output/save_thumb.h"
#include "skin/te_controls.h"
#include "tests/codecs/gif_reader.h"
#include "tests/frames/frames_fixture.h"
#include "tests/support/test_data.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QTemporaryDir>

namespace {

class OutputLimitsTest : public TFramesTest {
protected:
    TOrbCommonUnit FUnit;
    QTemporaryDir Dir;
    QString Path(const QString& name) const { return Dir.filePath(name); }

    QString Estimate(TFormSaveGIF& form) {
        form.EstimateTimerTimer();
        form.WaitForEstimate();
        QCoreApplication::processEvents();
        return form.LabelEstimate->text();
    }
};

} // namespace

// A size the GIF cannot have, or whose workers the memory cannot hold, is refused with a
// message naming it before anything is read or allocated: the window stays usable, no file is
// written, and every frame stays as it was; the estimate says so instead of trying. (Typed
// into the window, 20000 or 60000 pixels once took the memory until the system killed the
// program.)
TEST_F(OutputLimitsTest, AGifTooLargeForTheFileOrTheMemoryIsRefusedWithItsSize) {
    Fill(3);
    TFormSaveGIF form(&List, nullptr);
    form.show();
    form.CheckBoxCP->setChecked(false);
    form.Edit_width->setText(QStringLiteral("60000"));
    form.Edit_Height->setText(QStringLiteral("60000"));
    EXPECT_TRUE(Estimate(form).isEmpty()) << "no GIF of that size can be written";
    Desktop.SaveFileAnswers = {{Path(QStringLiteral("big.gif")), 1}};
    form.Btn_Save->click();
    EXPECT_TRUE(form.Gif().WaitForEnd());
    ASSERT_EQ(Desktop.Messages.size(), 1);
    EXPECT_EQ(Desktop.Messages[0].Text,
              QStringLiteral("A GIF frame of 60000 x 60000 pixels is too large: a frame can hold "
                             "at most 2147483647 pixels."));

    // 20000 x 20000 is a GIF; with memory to spare for it, still too large for an estimate in
    // the background, and saving goes ahead (here until the file dialog, cancelled).
    Desktop.Messages.clear();
    form.Edit_width->setText(QStringLiteral("20000"));
    form.Edit_Height->setText(QStringLiteral("20000"));
    EXPECT_EQ(Estimate(form), QStringLiteral("too large to estimate"));
    form.Btn_Save->click();
    EXPECT_TRUE(form.Gif().WaitForEnd());
    EXPECT_TRUE(Desktop.Messages.isEmpty());
    // But the workers need gigabytes the memory cannot spare: refused when saving.
    Desktop.AvailableMemory = kw::MemoryMargin(kw::SystemTotalMemory()) + (qint64(1) << 30);
    Desktop.SaveFileAnswers = {{Path(QStringLiteral("big.gif")), 1}};
    form.Btn_Save->click();
    EXPECT_TRUE(form.Gif().WaitForEnd());
    ASSERT_EQ(Desktop.Messages.size(), 1);
    EXPECT_TRUE(Desktop.Messages[0].Text.startsWith(
        QStringLiteral("Not enough memory for an animated GIF of 20000 x 20000 pixels: it needs ")))
        << Desktop.Messages[0].Text.toStdString();
    EXPECT_FALSE(QFileInfo::exists(Path(QStringLiteral("big.gif"))));
    EXPECT_TRUE(form.Btn_Save->isEnabled());
    EXPECT_EQ(List.Count(), 3);
    EXPECT_EQ(List.UnwrittenCount(), 3);
    EXPECT_EQ(List.FramePicture(2).pixelColor(1, 1), FrameColor(2));

    // A size the memory holds is estimated and saved from the same window.
    form.Edit_width->setText(QStringLiteral("64"));
    form.Edit_Height->setText(QStringLiteral("48"));
    EXPECT_TRUE(Estimate(form).startsWith(QStringLiteral("Estimated size: ")));
    Desktop.Messages.clear();
    Desktop.Answer = kw::TMsgResult::Cancel; // do not open the page
    Desktop.SaveFileAnswers = {{Path(QStringLiteral("small.gif")), 1}};
    form.Btn_Save->click();
    EXPECT_TRUE(form.Gif().WaitForEnd());
    EXPECT_EQ(DecodeGif(fctest::ReadAll(Path(QStringLiteral("small.gif")))).size(), 3u);
}

// The preview page is written into the program's own folder: a link planted at its old place
// in the shared temporary folder is never followed, and a link at its new path is replaced,
// not written through. Either way the file the link points to stays as it was. (A link at the
// shared path once made the next GIF overwrite the linked file with the page.)
TEST_F(OutputLimitsTest, TheGifPreviewPageNeverWritesThroughALink) {
    Fill(2);
    const QString victim = Path(QStringLiteral("bashrc"));
    {
        QFile file(victim);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write("export PATH=/usr/bin\n");
    }
    // The temporary folder of this test alone stands in for the shared one.
    QTemporaryDir tmp;
    const QByteArray savedTmp = qgetenv("TMPDIR");
    qputenv("TMPDIR", QFile::encodeName(tmp.path()));
    const QString shared = QDir::tempPath() + QStringLiteral("/GIF-Preview.html");
    ASSERT_TRUE(QFile::link(victim, shared));
    const QString page = output::GifPreviewPagePath();
    kw::ForcePrivateDir(QFileInfo(page).path());
    QFile::remove(page);
    ASSERT_TRUE(QFile::link(victim, page));

    codecs::TGifSettings gif;
    gif.Width = gif.Height = 16;
    Desktop.Answer = kw::TMsgResult::Ok;
    output::SaveAsGIF(List, Path(QStringLiteral("a.gif")), true, gif, nullptr);
    EXPECT_EQ(fctest::ReadAll(victim), QByteArray("export PATH=/usr/bin\n"));
    EXPECT_FALSE(QFileInfo(page).isSymLink());
    EXPECT_TRUE(fctest::ReadAll(page).contains(QFile::encodeName(Path(QStringLiteral("a.gif")))));
    EXPECT_EQ(Desktop.Opened, QStringList{page});
    EXPECT_TRUE(QFileInfo(shared).isSymLink()) << "left alone";
    qputenv("TMPDIR", savedTmp);
}

// Pictures inserted before any video give the list its frame size from the first of them, so
// the sheet and the GIF window have proportions to work with. (The frame size stayed 0: the
// sheet failed with "Division by zero", and the GIF's size fields emptied themselves.)
TEST(OutputsBeforeAnyVideo, TheSheetAndTheGifWindowWorkWithTheFirstPicturesSize) {
    TFakeDesktop desktop;
    TOrbCommonUnit unit;
    QTemporaryDir dir;
    TThumbnails list;
    QImage picture(300, 200, QImage::Format_RGB32);
    picture.fill(Qt::red);
    ASSERT_TRUE(picture.save(dir.filePath(QStringLiteral("a.png"))));
    list.InsertPictureFiles({dir.filePath(QStringLiteral("a.png"))}, true);
    ASSERT_EQ(list.Count(), 1);

    desktop.SaveFileAnswers = {{dir.filePath(QStringLiteral("sheet.jpg")), 1}};
    output::SaveAsThumbnails(list, true, 1, 1, 100, 5, nullptr);
    EXPECT_TRUE(desktop.Messages.isEmpty()) << desktop.Texts().join(';').toStdString();
    EXPECT_EQ(QImage(dir.filePath(QStringLiteral("sheet.jpg"))).size(), QSize(100, 70));

    TFormSaveGIF form(&list, nullptr);
    form.show();
    form.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&form));
    EXPECT_EQ(form.Edit_width->text(), QStringLiteral("300"));
    form.Edit_width->setFocus();
    form.Edit_width->selectAll();
    QTest::keyClicks(form.Edit_width, QStringLiteral("150"));
    EXPECT_EQ(form.Edit_width->text(), QStringLiteral("150"));
    EXPECT_EQ(form.Edit_Height->text(), QStringLiteral("100"));
}
