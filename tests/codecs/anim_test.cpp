// Animated WebP, APNG, MP4 and WebM: written through the writer and read back with libwebp's
// demuxer, FFmpeg's decoders and Qt's own readers.

#include "codecs/anim_writer.h"
#include "codecs/palette_map.h"
#include "tests/codecs/anim_reader.h"

#include "common/kw_guard.h"
#include "common/long_work.h"
#include "graphics/stretch.h"
#include "tests/support/test_data.h"

#include <QDir>
#include <QFile>
#include <QImageReader>
#include <QPainter>
#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace codecs;

namespace {

// A soft gradient with a disc that moves: footage an encoder can keep close.
QImage Moving(int w, int h, int i) {
    QImage image(w, h, QImage::Format_RGB32);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            image.setPixel(x, y, qRgb(40 + x * 150 / w, 60 + y * 120 / h, 120));
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(Qt::NoPen);
    painter.setBrush(QColor(230, 200, 40));
    painter.drawEllipse(QPointF(w / 4.0 + i * 3, h / 2.0), h / 5.0, h / 5.0);
    return image;
}

TAnimSettings Settings(TAnimFormat format, int w, int h) {
    TAnimSettings s;
    s.Format = format;
    s.Width = w;
    s.Height = h;
    s.DelayMs = 120;
    s.Loops = 3;
    return s;
}

} // namespace

TEST(AnimatedFormats, EachFormatIsWrittenAndReadsBackWithItsFramesDelaysAndLoops) {
    QTemporaryDir dir;
    std::vector<QImage> frames;
    for (int i = 0; i < 6; ++i)
        frames.push_back(Moving(64, 48, i));
    for (const TAnimFormat format :
         {TAnimFormat::WebP, TAnimFormat::Apng, TAnimFormat::Mp4, TAnimFormat::WebM}) {
        const TAnimFormatInfo& info = AnimFormatInfo(format);
        SCOPED_TRACE(info.Name.toStdString());
        const QString path = dir.filePath(QStringLiteral("clip") + info.Extension);
        const std::int64_t size = SaveAnimation(frames, Settings(format, 64, 48), path);
        EXPECT_EQ(size, QFileInfo(path).size());
        const TAnimRead read = ReadAnimation(path);
        ASSERT_TRUE(read.Ok) << read.Error.toStdString();
        EXPECT_EQ(read.Width, 64);
        EXPECT_EQ(read.Height, 48);
        ASSERT_EQ(read.Frames.size(), frames.size());
        for (std::size_t i = 0; i < frames.size(); ++i) {
            EXPECT_EQ(read.Frames[i].StartMs, int(i) * 120) << i;
            // Lossless APNG gives the frames back exactly; the lossy ones stay close.
            EXPECT_GT(Psnr(read.Frames[i].Picture, frames[i]), info.HasQuality ? 30 : 99) << i;
        }
        EXPECT_EQ(read.LastDelayMs, 120) << "the last frame shows as long as the others";
        EXPECT_EQ(read.Loops, info.Loops ? 3 : -1);
        if (!info.Video) {
            QImageReader qt(path);
            EXPECT_EQ(qt.read().size(), QSize(64, 48)) << "Qt's own reader takes the file";
        }
    }
    QImageReader webp(dir.filePath(QStringLiteral("clip.webp")));
    EXPECT_EQ(webp.imageCount(), 6);
    EXPECT_EQ(webp.loopCount(), 2) << "Qt counts the repeats after the first play";
}

TEST(AnimatedFormats, TheTransparentColourIsRealTransparencyExceptInVideo) {
    QTemporaryDir dir;
    QImage picture = Moving(48, 32, 0);
    const QRgb key = qRgb(0, 255, 0);
    picture.fill(QColor(key));
    for (int y = 0; y < 32; ++y)
        for (int x = 24; x < 48; ++x)
            picture.setPixel(x, y, qRgb(200, 40, 90));
    for (const TAnimFormat format : {TAnimFormat::WebP, TAnimFormat::Apng, TAnimFormat::WebM}) {
        SCOPED_TRACE(AnimFormatInfo(format).Name.toStdString());
        TAnimSettings s = Settings(format, 48, 32);
        s.Transparent = true;
        s.TransparentColor = key;
        const QString path = dir.filePath(QStringLiteral("t") + AnimFormatInfo(format).Extension);
        // Different frames: WebP's encoder merges a frame equal to the one before into it.
        SaveAnimation({Moving(48, 32, 0), picture}, s, path);
        const TAnimRead read = ReadAnimation(path);
        ASSERT_TRUE(read.Ok);
        ASSERT_EQ(read.Frames.size(), 2u);
        const QImage& shown = read.Frames[1].Picture;
        const bool alpha = format != TAnimFormat::WebM;
        EXPECT_EQ(qAlpha(shown.pixel(4, 16)), alpha ? 0 : 255);
        EXPECT_EQ(qAlpha(shown.pixel(40, 16)), 255);
        if (!alpha) {
            EXPECT_GT(qGreen(shown.pixel(4, 16)), 220) << "video keeps the colour itself";
        }
    }
}

TEST(AnimatedFormats, FramesAreFittedAsTheGifFitsThem) {
    QImage odd = Moving(30, 20, 2);
    odd.setPixel(0, 0, qRgb(0, 255, 0));
    TAnimSettings s = Settings(TAnimFormat::WebP, 45, 13);
    // Another size: the plain stretch of the GIF, proportions ignored.
    EXPECT_EQ(FitAnimFrame(odd, s),
              graphics::StretchNearest(odd, 45, 13).convertToFormat(QImage::Format_RGB32));
    // Grey levels by the GIF's formula; the transparent colour judged before them.
    s = Settings(TAnimFormat::Apng, 30, 20);
    s.Gray = s.Transparent = true;
    s.TransparentColor = qRgb(0, 255, 0);
    const QImage grey = FitAnimFrame(odd, s);
    EXPECT_EQ(grey.pixel(0, 0), 0u);
    const QRgb p = odd.pixel(10, 10);
    const int level = GreyLevel(qRed(p), qGreen(p), qBlue(p));
    EXPECT_EQ(grey.pixel(10, 10), qRgba(level, level, level, 255));
    // H.264 takes even sides: the last column and row are repeated.
    s = Settings(TAnimFormat::Mp4, 31, 21);
    s.Transparent = true; // ignored for video
    const QImage wide = FitAnimFrame(Moving(31, 21, 0), s);
    ASSERT_EQ(wide.size(), QSize(32, 22));
    EXPECT_FALSE(wide.hasAlphaChannel());
    EXPECT_EQ(wide.pixel(31, 5), wide.pixel(30, 5));
    EXPECT_EQ(wide.pixel(7, 21), wide.pixel(7, 20));
    EXPECT_THROW(FitAnimFrame(QImage(), s), kw::EFcError);
}

TEST(AnimatedFormats, AFailedOrCancelledSaveLeavesTheOldFileAndNeverWritesThroughALink) {
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("old.mp4"));
    {
        QFile f(path);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write("the old file");
    }
    std::atomic<bool> cancel{false};
    const std::vector<QImage> frames(4, Moving(32, 32, 0));
    EXPECT_THROW(SaveAnimation(frames, Settings(TAnimFormat::Mp4, 32, 32), path, &cancel,
                               [&](int i) { cancel = i == 1; }),
                 kw::ECancelled);
    EXPECT_EQ(fctest::ReadAll(path), QByteArray("the old file"));
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden).size(), 1)
        << "the unfinished new file is gone";

    // Too large a side is refused before anything is made.
    try {
        SaveAnimation(frames, Settings(TAnimFormat::WebP, 20000, 10), path);
        ADD_FAILURE() << "no error";
    } catch (const kw::EFcError& e) {
        EXPECT_TRUE(kw::MessageOf(e).contains(QStringLiteral("20000 x 10")));
    }
    TAnimWriter empty(Settings(TAnimFormat::Apng, 8, 8));
    EXPECT_THROW(empty.Finish(), kw::EFcError) << "a file holds at least one frame";

    const QString target = dir.filePath(QStringLiteral("target"));
    QFile::copy(path, target);
    const QString link = dir.filePath(QStringLiteral("link.webp"));
    ASSERT_TRUE(QFile::link(target, link));
    EXPECT_THROW(SaveAnimation(frames, Settings(TAnimFormat::WebP, 32, 32), link), kw::EFcError);
    EXPECT_EQ(fctest::ReadAll(target), QByteArray("the old file"));
    EXPECT_TRUE(QFileInfo(link).isSymLink());

    SaveAnimation(frames, Settings(TAnimFormat::Mp4, 32, 32), path);
    EXPECT_EQ(ReadAnimation(path).Frames.size(), 4u) << "a finished save replaces the file";
}

TEST(AnimatedFormats, TheEstimateIsNearTheSizeOfTheWholeFile) {
    std::vector<QImage> frames;
    for (int i = 0; i < 40; ++i)
        frames.push_back(Moving(160, 90, i));
    for (const TAnimFormat format : {TAnimFormat::WebP, TAnimFormat::Mp4}) {
        SCOPED_TRACE(AnimFormatInfo(format).Name.toStdString());
        const TAnimSettings s = Settings(format, 160, 90);
        TAnimWriter whole(s);
        for (const QImage& f : frames)
            whole.AddFrame(f);
        whole.Finish();
        std::vector<QImage> run;
        for (const int p : AnimEstimateSample(int(frames.size())))
            run.push_back(frames[std::size_t(p)]);
        ASSERT_EQ(run.size(), 12u);
        const double estimate = double(EstimateAnimSize(int(frames.size()), run, s));
        EXPECT_NEAR(estimate / double(whole.Size()), 1.0, 0.35);
        std::atomic<bool> cancel{true};
        EXPECT_EQ(EstimateAnimSize(int(frames.size()), run, s, &cancel), -1);
    }
}
