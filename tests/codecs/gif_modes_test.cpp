// The colour choices and smaller files of the animated GIF, and its size estimate: what the
// decoders see, what a viewer shows, one thread against many, and the bytes of the defaults.

#include "codecs/gif_codec.h"
#include "codecs/gif_estimate.h"
#include "codecs/palette_map.h"
#include "common/kw_guard.h"
#include "tests/codecs/gif_reader.h"
#include "tests/support/gif_encode.h"

#include <QCryptographicHash>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cmath>
#include <random>

using namespace codecs;

namespace {

// A camera-like set: a fixed scene with gradients and texture, a square that moves, and a
// little noise of its own in every frame.
QImage SceneFrame(int w, int h, int k) {
    std::mt19937 rng{unsigned(1000 + k)};
    QImage image(w, h, QImage::Format_RGB888);
    for (int y = 0; y < h; ++y) {
        std::uint8_t* p = image.scanLine(y);
        for (int x = 0; x < w; ++x, p += 3) {
            int r = 40 + x * 150 / w, g = 60 + y * 120 / h, b = ((x / 7) ^ (y / 5)) % 2 ? 170 : 90;
            const int sx = 5 + k * 3, sy = h / 3;
            if (x >= sx && x < sx + w / 5 && y >= sy && y < sy + h / 4) {
                r = 230;
                g = 200 - (x - sx) * 3;
                b = 40;
            }
            const int noise = int(rng() % 5) - 2;
            p[0] = std::uint8_t(std::clamp(r + noise, 0, 255));
            p[1] = std::uint8_t(std::clamp(g + noise, 0, 255));
            p[2] = std::uint8_t(std::clamp(b - noise, 0, 255));
        }
    }
    return image;
}

std::vector<QImage> Scene(int n, int w = 96, int h = 64) {
    std::vector<QImage> frames;
    for (int k = 0; k < n; ++k)
        frames.push_back(SceneFrame(w, h, k));
    return frames;
}

struct TMode {
    const char* Name;
    TGifQuality Quality;
    bool Smaller, Gray;
};
const TMode Modes[] = {{"standard", TGifQuality::Standard, false, false},
                       {"best", TGifQuality::Best, false, false},
                       {"standard smaller", TGifQuality::Standard, true, false},
                       {"best smaller", TGifQuality::Best, true, false},
                       {"grey smaller", TGifQuality::Standard, true, true}};

TGifSettings SettingsOf(const TMode& m, int w = 96, int h = 64) {
    TGifSettings s;
    s.Width = w;
    s.Height = h;
    s.Quality = m.Quality;
    s.Smaller = m.Smaller;
    s.Gray = m.Gray;
    return s;
}

int Distance2(QRgb a, QRgb b) {
    const int dr = qRed(a) - qRed(b), dg = qGreen(a) - qGreen(b), db = qBlue(a) - qBlue(b);
    return dr * dr + dg * dg + db * db;
}

// Every frame as FFmpeg's decoder shows it, RGB (or RGBA with alpha).
QByteArray DecodeWithFFmpeg(const QByteArray& bytes, bool alpha = false) {
    const QString ffmpeg = QStandardPaths::findExecutable(QStringLiteral("ffmpeg"));
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("x.gif"));
    QFile file(path);
    if (ffmpeg.isEmpty() || !file.open(QIODevice::WriteOnly))
        return {};
    file.write(bytes);
    file.close();
    QProcess p;
    p.start(ffmpeg,
            {QStringLiteral("-v"), QStringLiteral("error"), QStringLiteral("-i"), path,
             QStringLiteral("-f"), QStringLiteral("rawvideo"), QStringLiteral("-pix_fmt"),
             alpha ? QStringLiteral("rgba") : QStringLiteral("rgb24"), QStringLiteral("-")});
    if (!p.waitForFinished(60000) || p.exitCode() != 0)
        return {};
    return p.readAllStandardOutput();
}

} // namespace

TEST(GifModes, DefaultSettingsKeepTheBytesOfTheOctreeFiles) {
    // Hashes of the files these frames gave before the colour choices and smaller files came:
    // colour, grey levels, and a transparent colour that the moving square has.
    const char* expected[] = {"4318a9053de6792695a6abf86a6ca847",
                              "501c39934b0bf86d9ad9851ba69c1658",
                              "0a6269e50b6681e436c6629705e910d7"};
    // Frames with transparent pixels have since been restored to the background after them
    // (disposal 2 instead of 0), so the third file is compared with that put back.
    const std::vector<QImage> frames = Scene(6);
    for (int mode = 0; mode < 3; ++mode) {
        TGifSettings s;
        s.Width = 96;
        s.Height = 64;
        s.Gray = mode == 1;
        s.Transparent = mode == 2;
        s.TransparentColor = qRgb(230, 200, 40);
        QByteArray bytes = fctest::EncodeGif(s, frames, 3);
        int restored = 0;
        for (qsizetype i = 0; i + 7 < bytes.size(); ++i)
            if (bytes[i] == 0x21 && bytes[i + 1] == char(0xF9) && bytes[i + 2] == 4 &&
                bytes[i + 7] == 0 && ((bytes[i + 3] >> 2) & 7) == 2) {
                EXPECT_EQ(bytes[i + 3] & 1, 1) << "only transparent frames are restored";
                bytes[i + 3] = char(bytes[i + 3] & ~0x1C);
                ++restored;
            }
        EXPECT_EQ(restored, mode == 2 ? int(frames.size()) : 0) << mode;
        EXPECT_EQ(QCryptographicHash::hash(bytes, QCryptographicHash::Md5).toHex(),
                  QByteArray(expected[mode]))
            << mode;
    }
}

TEST(GifModes, EveryModeDecodesAlikeInGiflibAndFFmpegAndDoesNotDependOnThreads) {
    const std::vector<QImage> frames = Scene(7);
    for (const TMode& m : Modes) {
        SCOPED_TRACE(m.Name);
        const TGifSettings s = SettingsOf(m);
        const QByteArray bytes = fctest::EncodeGif(s, frames, 4);
        EXPECT_EQ(fctest::EncodeGif(s, frames, 1), bytes);
        int w = 0, h = 0;
        const auto shown = CompositeGif(bytes, w, h);
        ASSERT_EQ(shown.size(), frames.size());
        const QByteArray raw = DecodeWithFFmpeg(bytes);
        ASSERT_EQ(raw.size(), qsizetype(frames.size()) * w * h * 3);
        const auto* px = reinterpret_cast<const std::uint8_t*>(raw.constData());
        for (std::size_t k = 0; k < shown.size(); ++k)
            for (int i = 0; i < w * h; ++i, px += 3)
                ASSERT_EQ(qRgb(px[0], px[1], px[2]), shown[k][std::size_t(i)]) << k << " " << i;
    }
}

TEST(GifModes, SmallerFilesAreCutFramesOverAWholeFirstFrame) {
    // How near they stay to the source, frame by frame, is measured on camera-like footage
    // (gif_footage_test).
    const std::vector<QImage> frames = Scene(8);
    for (const TMode& m : Modes) {
        if (!m.Smaller || m.Gray)
            continue;
        SCOPED_TRACE(m.Name);
        const TGifSettings s = SettingsOf(m);
        const QByteArray bytes = fctest::EncodeGif(s, frames, 2);
        TGifSettings whole = s;
        whole.Smaller = false;
        EXPECT_LT(bytes.size(), fctest::EncodeGif(whole, frames, 2).size() * 3 / 4);
        const auto decoded = DecodeGif(bytes);
        int w = 0, h = 0;
        const auto shown = CompositeGif(bytes, w, h);
        ASSERT_EQ(shown.size(), frames.size());
        EXPECT_EQ(decoded[0].Width * decoded[0].Height, w * h) << "the first frame is whole";
        EXPECT_EQ(decoded[0].TransparentIndex, -1);
        for (std::size_t k = 1; k < frames.size(); ++k) {
            EXPECT_EQ(decoded[k].Disposal, 1);
            EXPECT_GE(decoded[k].TransparentIndex, 0);
            const auto kept = std::count(decoded[k].Pixels.begin(), decoded[k].Pixels.end(),
                                         std::uint8_t(decoded[k].TransparentIndex));
            EXPECT_GT(kept, w * h / 2) << "most pixels stay as they are";
        }
    }
}

TEST(GifModes, BestQualityIsNearerToTheSourceThanTheOctree) {
    const std::vector<QImage> frames = Scene(2, 160, 120);
    auto error = [&](TGifQuality q) {
        TGifSettings s = SettingsOf({"", q, false, false}, 160, 120);
        int w = 0, h = 0;
        const auto shown = CompositeGif(fctest::EncodeGif(s, frames, 2), w, h);
        double sum = 0;
        for (std::size_t k = 0; k < frames.size(); ++k)
            for (int i = 0; i < w * h; ++i)
                sum += Distance2(shown[k][std::size_t(i)], frames[k].pixel(i % w, i / w));
        return sum;
    };
    EXPECT_LT(error(TGifQuality::Best), error(TGifQuality::Standard));
}

TEST(GifModes, EstimateIsWithinAQuarterOfTheFileAndExactForFewFrames) {
    const std::vector<QImage> frames = Scene(30, 160, 120);
    const TGifFrameReader read = [&](int p) { return frames[std::size_t(p)]; };
    for (const TMode& m : Modes) {
        SCOPED_TRACE(m.Name);
        const TGifSettings s = SettingsOf(m, 160, 120);
        const double actual = double(fctest::EncodeGif(s, frames, 2).size());
        const std::vector<int> positions = GifEstimateSample(int(frames.size()), s, 12);
        ASSERT_EQ(positions.size(), 12u);
        ASSERT_TRUE(std::is_sorted(positions.begin(), positions.end()));
        const double estimate = double(EstimateGifSize(int(frames.size()), positions, read, s));
        EXPECT_LT(std::abs(estimate - actual) / actual, 0.25) << estimate << " " << actual;
    }
    const TGifSettings s = SettingsOf(Modes[3], 160, 120);
    const std::vector<int> all = GifEstimateSample(5, s);
    ASSERT_EQ(all, (std::vector<int>{0, 1, 2, 3, 4}));
    const std::vector<QImage> few(frames.begin(), frames.begin() + 5);
    EXPECT_EQ(EstimateGifSize(5, all, read, s), fctest::EncodeGif(s, few, 1).size());
    std::atomic<bool> cancel{true};
    EXPECT_EQ(EstimateGifSize(5, all, read, s, &cancel), -1);
}

TEST(GifModes, TransparentFramesShowThePageBehindThemAndNotEarlierFrames) {
    // The transparent colour fills a block that moves on from frame to frame, over pixels
    // that the frame before drew; a frame without the colour is drawn whole.
    const QRgb key = qRgb(255, 0, 255);
    std::vector<QImage> frames;
    for (int k = 0; k < 4; ++k) {
        QImage f(32, 24, QImage::Format_RGB888);
        f.fill(QColor(40 + 50 * k, 100, 160));
        if (k < 3)
            for (int y = 4; y < 20; ++y)
                for (int x = 2 + 8 * k; x < 12 + 8 * k; ++x)
                    f.setPixel(x, y, key);
        frames.push_back(f);
    }
    for (const bool gray : {false, true}) {
        SCOPED_TRACE(gray ? "grey" : "colour");
        TGifSettings s;
        s.Width = 32;
        s.Height = 24;
        s.Gray = gray;
        s.Transparent = true;
        s.TransparentColor = key;
        const QByteArray bytes = fctest::EncodeGif(s, frames, 2);
        const auto decoded = DecodeGif(bytes);
        ASSERT_EQ(decoded.size(), frames.size());
        for (std::size_t k = 0; k < frames.size(); ++k)
            EXPECT_EQ(decoded[k].Disposal, k < 3 ? 2 : 0) << k;
        const QByteArray raw = DecodeWithFFmpeg(bytes, true);
        if (raw.isEmpty() && QStandardPaths::findExecutable(QStringLiteral("ffmpeg")).isEmpty())
            GTEST_SKIP() << "no ffmpeg";
        ASSERT_EQ(raw.size(), qsizetype(frames.size()) * 32 * 24 * 4);
        const auto* px = reinterpret_cast<const std::uint8_t*>(raw.constData());
        for (std::size_t k = 0; k < frames.size(); ++k)
            for (int y = 0; y < 24; ++y)
                for (int x = 0; x < 32; ++x, px += 4) {
                    const QRgb source = frames[k].pixel(x, y);
                    if (source == key) {
                        ASSERT_EQ(px[3], 0) << "frame " << k << " at " << x << "," << y;
                        continue;
                    }
                    ASSERT_EQ(px[3], 255) << "frame " << k << " at " << x << "," << y;
                    const int level = GreyLevel(qRed(source), qGreen(source), qBlue(source));
                    ASSERT_EQ(qRgb(px[0], px[1], px[2]), gray ? qRgb(level, level, level) : source)
                        << "frame " << k << " at " << x << "," << y;
                }
    }
}

TEST(GifModes, SmallerFileWithATransparentColourIsRefused) {
    TGifSettings s;
    s.Smaller = true;
    s.Transparent = true;
    EXPECT_THROW(TAnimatedGif gif(s), kw::EFcError);
}
