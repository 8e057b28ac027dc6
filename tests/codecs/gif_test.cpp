#include "codecs/gif_codec.h"
#include "tests/codecs/gif_reader.h"

#include "common/kw_guard.h"
#include "tests/support/gif_encode.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <cmath>
#include <random>

using namespace codecs;

namespace {

// A picture with flat areas, gradients and noise, different for every seed.
QImage TestPicture(int w, int h, int seed, QImage::Format format = QImage::Format_RGB888) {
    std::mt19937 rng{unsigned(seed)};
    QImage image(w, h, format);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            QRgb c;
            if (x < w / 3)
                c = qRgb(200, 30 + seed * 10 % 200, 40);
            else if (x < 2 * w / 3)
                c = qRgb(x * 255 / w, y * 255 / h, (x + y + seed * 7) % 256);
            else
                c = qRgb(int(rng() % 256), int(rng() % 256), int(rng() % 256));
            image.setPixel(x, y, c);
        }
    return image;
}

std::vector<const TGifBlock*> Extensions(const TGifFile& f, int label) {
    std::vector<const TGifBlock*> out;
    for (const TGifBlock& b : f.Blocks)
        if (b.Kind == TGifBlock::Extension && b.Label == label)
            out.push_back(&b);
    return out;
}

} // namespace

TEST(AnimatedGif, FileLayoutOfThreeFramesLoopingForever) {
    TGifSettings s;
    s.Width = 40;
    s.Height = 30;
    const QByteArray bytes = fctest::EncodeGif(
        s, {TestPicture(40, 30, 1), TestPicture(40, 30, 2), TestPicture(40, 30, 3)});
    const TGifFile f = WalkGif(bytes);
    ASSERT_TRUE(f.Ok);
    EXPECT_EQ(f.Signature, "GIF89a");
    EXPECT_EQ(f.Width, 40);
    EXPECT_EQ(f.Height, 30);
    EXPECT_FALSE(f.GlobalTable);
    EXPECT_EQ(f.Background, 0);
    EXPECT_EQ(f.Aspect, 0);
    EXPECT_FALSE(f.TrailingBytes);
    // NETSCAPE, then per frame: control extension, image.
    ASSERT_EQ(f.Blocks.size(), 7u);
    const TGifBlock& app = f.Blocks[0];
    ASSERT_EQ(app.Label, 0xFF);
    ASSERT_EQ(app.SubBlocks.size(), 2u);
    EXPECT_EQ(app.SubBlocks[0], "NETSCAPE2.0");
    EXPECT_EQ(app.SubBlocks[1], QByteArray("\x01\x00\x00", 3));
    for (int k = 0; k < 3; ++k) {
        const TGifBlock& gce = f.Blocks[std::size_t(1 + 2 * k)];
        const TGifBlock& image = f.Blocks[std::size_t(2 + 2 * k)];
        ASSERT_EQ(gce.Kind, TGifBlock::Extension);
        ASSERT_EQ(gce.Label, 0xF9);
        ASSERT_EQ(gce.SubBlocks.size(), 1u);
        EXPECT_EQ(gce.SubBlocks[0], QByteArray("\x00\x0F\x00\x00", 4)); // disposal 0, delay 15
        ASSERT_EQ(image.Kind, TGifBlock::Image);
        EXPECT_EQ(image.Left, 0);
        EXPECT_EQ(image.Top, 0);
        EXPECT_EQ(image.Width, 40);
        EXPECT_EQ(image.Height, 30);
        EXPECT_TRUE(image.LocalTable);
        EXPECT_FALSE(image.Interlaced);
    }
}

TEST(AnimatedGif, LoopCountsAndDelaysAreStoredAsGiven) {
    const struct {
        int Loops;
        int Stored; // -1: no NETSCAPE block
    } loops[] = {{0, 0}, {1, -1}, {3, 2}, {65537, 0}, {65536, 65535}};
    for (const auto& l : loops) {
        TGifSettings s;
        s.Width = 8;
        s.Height = 8;
        s.Loops = l.Loops;
        const TGifFile f =
            WalkGif(fctest::EncodeGif(s, {TestPicture(8, 8, 1), TestPicture(8, 8, 2)}));
        ASSERT_TRUE(f.Ok);
        const auto apps = Extensions(f, 0xFF);
        if (l.Stored < 0) {
            EXPECT_TRUE(apps.empty()) << l.Loops;
            continue;
        }
        ASSERT_EQ(apps.size(), 1u) << "on frame 0 only";
        EXPECT_EQ(apps[0], &f.Blocks[0]);
        const QByteArray data = apps[0]->SubBlocks.at(1);
        EXPECT_EQ(std::uint8_t(data[1]) | (std::uint8_t(data[2]) << 8), l.Stored) << l.Loops;
    }
    const struct {
        int Delay, Stored;
    } delays[] = {{150, 15}, {10, 1}, {5, 0}, {155, 15}, {655360, 0}};
    for (const auto& d : delays) {
        TGifSettings s;
        s.Width = 4;
        s.Height = 4;
        s.DelayMs = d.Delay;
        const TGifFile f = WalkGif(fctest::EncodeGif(s, {TestPicture(4, 4, 1)}));
        const auto gces = Extensions(f, 0xF9);
        ASSERT_EQ(gces.size(), 1u);
        const QByteArray g = gces[0]->SubBlocks.at(0);
        EXPECT_EQ(std::uint8_t(g[1]) | (std::uint8_t(g[2]) << 8), d.Stored) << d.Delay;
    }
}

TEST(AnimatedGif, OnlyPixelsOfTheTransparentColourTurnTransparentInEveryFrame) {
    // Busy pictures (far more than 256 colours) with a flat area of the colour in a different
    // place in each frame, and beside it pixels one step away from the colour.
    const QRgb key = qRgb(200, 30, 40), nearKey = qRgb(201, 30, 40);
    std::vector<QImage> frames;
    for (int k = 0; k < 3; ++k) {
        QImage f = TestPicture(48, 32, 40 + k);
        for (int y = 4; y < 20; ++y)
            for (int x = 10 + 8 * k; x < 22 + 8 * k; ++x)
                f.setPixel(x, y, x == 10 + 8 * k ? nearKey : key);
        frames.push_back(f);
    }
    QImage without = TestPicture(48, 32, 50);
    for (int y = 0; y < 32; ++y)
        for (int x = 0; x < 16; ++x)
            without.setPixel(x, y, nearKey); // the colour's own area in the other frames
    frames.push_back(without);
    for (const bool gray : {false, true}) {
        TGifSettings s;
        s.Width = 48;
        s.Height = 32;
        s.Gray = gray;
        s.Transparent = true;
        s.TransparentColor = key;
        const QByteArray bytes = fctest::EncodeGif(s, frames, 2);
        const TGifFile file = WalkGif(bytes);
        const auto gces = Extensions(file, 0xF9);
        const auto decoded = DecodeGif(bytes);
        ASSERT_EQ(decoded.size(), frames.size());
        for (std::size_t k = 0; k < frames.size(); ++k) {
            const QByteArray g = gces.at(k)->SubBlocks.at(0);
            const bool hasKey = k < 3;
            ASSERT_EQ(g[0] & 1, hasKey ? 1 : 0) << "gray " << gray << " frame " << k;
            EXPECT_EQ((g[0] >> 2) & 7, hasKey ? 2 : 0) << "restored to the background after it";
            if (!hasKey)
                continue;
            const int index = std::uint8_t(g[3]);
            if (!gray) {
                EXPECT_EQ(decoded[k].Palette.at(std::size_t(index)), key);
            }
            for (int y = 0; y < 32; ++y) {
                for (int x = 0; x < 48; ++x) {
                    ASSERT_EQ(decoded[k].Pixels[std::size_t(y * 48 + x)] == index,
                              frames[k].pixel(x, y) == key)
                        << "gray " << gray << " frame " << k << " at " << x << "," << y;
                }
            }
        }
    }
    // A frame without the colour is made exactly as without transparency.
    TGifSettings s;
    s.Width = 48;
    s.Height = 32;
    s.TransparentColor = key;
    for (const bool gray : {false, true}) {
        s.Gray = gray;
        s.Transparent = false;
        const QByteArray off = fctest::EncodeGif(s, {without});
        s.Transparent = true;
        EXPECT_EQ(fctest::EncodeGif(s, {without}), off) << "gray " << gray;
    }
}

TEST(AnimatedGif, GreyFramesHoldOnlyGreyEntriesAndTheirLevels) {
    TGifSettings s;
    s.Width = 24;
    s.Height = 18;
    s.Gray = true;
    const QImage picture = TestPicture(24, 18, 5);
    const QByteArray bytes =
        fctest::EncodeGif(s, {picture, TestPicture(24, 18, 6, QImage::Format_RGB32)});
    const auto frames = DecodeGif(bytes);
    ASSERT_EQ(frames.size(), 2u);
    for (const auto& frame : frames) {
        ASSERT_EQ(frame.Palette.size(), 256u);
        for (QRgb c : frame.Palette)
            ASSERT_TRUE(qRed(c) == qGreen(c) && qGreen(c) == qBlue(c));
    }
    for (int y = 0; y < 18; ++y)
        for (int x = 0; x < 24; ++x) {
            const QRgb c = picture.pixel(x, y);
            ASSERT_EQ(frames[0].Pixels[std::size_t(y * 24 + x)],
                      GreyLevel(qRed(c), qGreen(c), qBlue(c)));
        }
}

TEST(AnimatedGif, ColourFramesLookLikeTheirPicturesAndGetTheirOwnPalettes) {
    TGifSettings s;
    s.Width = 64;
    s.Height = 48;
    QImage red(64, 48, QImage::Format_RGB888), picture = TestPicture(64, 48, 9);
    red.fill(qRgb(250, 0, 0));
    const auto frames = DecodeGif(fctest::EncodeGif(s, {red, picture}));
    ASSERT_EQ(frames.size(), 2u);
    // A flat picture: one octree colour, a table of 2 entries, every pixel exact.
    EXPECT_EQ(frames[0].Palette.size(), 2u);
    for (std::uint8_t v : frames[0].Pixels)
        ASSERT_EQ(frames[0].Palette[v], qRgb(250, 0, 0));
    // The mixed picture: dithered, but close on average over 4 x 4 blocks.
    ASSERT_EQ(frames[1].Palette.size(), 256u);
    double error = 0;
    int blocks = 0;
    for (int by = 0; by < 48; by += 4)
        for (int bx = 0; bx < 64 * 2 / 3; bx += 4) { // the flat and gradient thirds
            double d[3] = {0, 0, 0};
            for (int y = by; y < by + 4; ++y)
                for (int x = bx; x < bx + 4; ++x) {
                    const QRgb a = picture.pixel(x, y),
                               b = frames[1].Palette[frames[1].Pixels[std::size_t(y * 64 + x)]];
                    d[0] += qRed(a) - qRed(b);
                    d[1] += qGreen(a) - qGreen(b);
                    d[2] += qBlue(a) - qBlue(b);
                }
            error += (std::abs(d[0]) + std::abs(d[1]) + std::abs(d[2])) / 48.0;
            ++blocks;
        }
    EXPECT_LT(error / blocks, 6.0);
}

TEST(AnimatedGif, OtherSizesAreStretchedToTheGifSize) {
    TGifSettings s;
    s.Width = 4;
    s.Height = 2;
    s.Gray = true;
    QImage small(2, 1, QImage::Format_RGB888);
    small.setPixel(0, 0, qRgb(0, 0, 0));
    small.setPixel(1, 0, qRgb(255, 255, 255));
    const auto frames = DecodeGif(fctest::EncodeGif(s, {small}));
    ASSERT_EQ(frames.size(), 1u);
    EXPECT_EQ(frames[0].Width, 4);
    EXPECT_EQ(frames[0].Height, 2);
    EXPECT_EQ(frames[0].Pixels, (std::vector<std::uint8_t>{0, 0, 255, 255, 0, 0, 255, 255}));
}

TEST(AnimatedGif, ParallelFileIsIdenticalToSingleThreadedAndProgressRunsInOrder) {
    TGifSettings s;
    s.Width = 80;
    s.Height = 60;
    s.Loops = 3;
    s.Transparent = true;
    s.TransparentColor = qRgb(200, 40, 40);
    std::vector<QImage> frames;
    for (int i = 0; i < 23; ++i) // mixed sizes and formats, some stretched
        frames.push_back(TestPicture(i % 3 ? 80 : 100, i % 3 ? 60 : 50, i,
                                     i % 2 ? QImage::Format_RGB32 : QImage::Format_RGB888));
    const QByteArray single = fctest::EncodeGif(s, frames, 1);
    TAnimatedGif gif(s, 4);
    std::vector<int> done;
    gif.OnFrameDone = [&](int i) { done.push_back(i); };
    for (const QImage& f : frames)
        gif.AddFrame(f);
    gif.Finish();
    EXPECT_EQ(gif.Bytes(), single);
    EXPECT_EQ(gif.Size(), single.size());
    ASSERT_EQ(done.size(), frames.size());
    for (std::size_t i = 0; i < done.size(); ++i)
        EXPECT_EQ(done[i], int(i));
    EXPECT_EQ(DecodeGif(single).size(), frames.size());
    // The stream and the file hold the same bytes.
    kw::TMemoryStream stream;
    gif.SaveToStream(stream);
    EXPECT_EQ(QByteArray(reinterpret_cast<const char*>(stream.Data()), qsizetype(stream.Size())),
              single);
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("a.gif"));
    gif.SaveToFile(path);
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_EQ(file.readAll(), single);
}

TEST(AnimatedGif, RefusesSizesAGifCannotHoldAndReportsUnwritableFiles) {
    TGifSettings s;
    s.Width = 0;
    EXPECT_THROW(TAnimatedGif gif(s), kw::EFcError);
    s.Width = 70000;
    s.Height = 5;
    EXPECT_THROW(TAnimatedGif gif(s), kw::EFcError);
    s.Width = 5;
    TAnimatedGif gif(s);
    gif.AddFrame(TestPicture(5, 5, 1));
    gif.Finish();
    try {
        gif.SaveToFile(QStringLiteral("/nonexistent-folder/x.gif"));
        FAIL() << "no error";
    } catch (const kw::EFcError& e) {
        EXPECT_TRUE(e.Message().contains(QStringLiteral("/nonexistent-folder/x.gif")));
    }
}

TEST(SingleGif, OnePictureWithTheFixedColoursAndNoExtensions) {
    const QImage picture = TestPicture(50, 40, 4, QImage::Format_RGB32);
    const QByteArray bytes = EncodeSingleGif(picture);
    const TGifFile f = WalkGif(bytes);
    ASSERT_TRUE(f.Ok);
    EXPECT_TRUE(f.GlobalTable);
    EXPECT_EQ(f.GlobalTableSize, 256);
    ASSERT_EQ(f.Blocks.size(), 1u) << "no extension blocks";
    EXPECT_FALSE(f.Blocks[0].LocalTable);
    const auto frames = DecodeGif(bytes);
    ASSERT_EQ(frames.size(), 1u);
    const auto palette = SingleGifPalette(picture);
    EXPECT_EQ(frames[0].Palette, palette);
    // Every pixel holds its nearest entry (no dithering).
    TNearestColor nearest(palette);
    for (int y = 0; y < 40; ++y)
        for (int x = 0; x < 50; ++x) {
            const QRgb c = picture.pixel(x, y);
            ASSERT_EQ(frames[0].Pixels[std::size_t(y * 50 + x)],
                      nearest.NearestBruteForce(qRed(c), qGreen(c), qBlue(c)));
        }
}

TEST(AnimatedGif, FFmpegDecodesTheSamePixelsAsGiflib) {
    const QString ffmpeg = QStandardPaths::findExecutable(QStringLiteral("ffmpeg"));
    if (ffmpeg.isEmpty())
        GTEST_SKIP() << "no ffmpeg";
    TGifSettings s;
    s.Width = 48;
    s.Height = 36;
    s.Loops = 2;
    std::vector<QImage> pictures;
    for (int i = 0; i < 4; ++i)
        pictures.push_back(TestPicture(48, 36, i + 20));
    const QByteArray bytes = fctest::EncodeGif(s, pictures, 2);
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("x.gif"));
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(bytes);
    file.close();
    QProcess p;
    p.start(ffmpeg, {QStringLiteral("-v"), QStringLiteral("error"), QStringLiteral("-i"), path,
                     QStringLiteral("-f"), QStringLiteral("rawvideo"), QStringLiteral("-pix_fmt"),
                     QStringLiteral("rgb24"), QStringLiteral("-")});
    ASSERT_TRUE(p.waitForFinished(60000));
    ASSERT_EQ(p.exitCode(), 0) << p.readAllStandardError().toStdString();
    const QByteArray raw = p.readAllStandardOutput();
    const auto frames = DecodeGif(bytes);
    ASSERT_EQ(frames.size(), 4u);
    ASSERT_EQ(raw.size(), 4 * 48 * 36 * 3);
    for (std::size_t k = 0; k < frames.size(); ++k)
        for (int i = 0; i < 48 * 36; ++i) {
            const QRgb c = frames[k].Palette[frames[k].Pixels[std::size_t(i)]];
            const auto* px = reinterpret_cast<const std::uint8_t*>(raw.constData()) +
                             (k * 48 * 36 + std::size_t(i)) * 3;
            ASSERT_EQ(qRgb(px[0], px[1], px[2]), c) << k << " " << i;
        }
}
