// The colour choices and smaller files of the animated GIF, and its size estimate: what the
// decoders see, what a viewer shows, one thread against many, and the bytes of the defaults.

#include "codecs/gif_codec.h"
#include "codecs/gif_delta.h"
#include "codecs/gif_estimate.h"
#include "common/kw_guard.h"
#include "tests/codecs/gif_reader.h"

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

QByteArray Encode(const TGifSettings& s, const std::vector<QImage>& frames, int threads) {
    TAnimatedGif gif(s, threads);
    for (const QImage& f : frames)
        gif.AddFrame(f);
    gif.Finish();
    return gif.Bytes();
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

// Every frame as FFmpeg's decoder shows it, RGB.
QByteArray DecodeWithFFmpeg(const QByteArray& bytes) {
    const QString ffmpeg = QStandardPaths::findExecutable(QStringLiteral("ffmpeg"));
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("x.gif"));
    QFile file(path);
    if (ffmpeg.isEmpty() || !file.open(QIODevice::WriteOnly))
        return {};
    file.write(bytes);
    file.close();
    QProcess p;
    p.start(ffmpeg, {QStringLiteral("-v"), QStringLiteral("error"), QStringLiteral("-i"), path,
                     QStringLiteral("-f"), QStringLiteral("rawvideo"), QStringLiteral("-pix_fmt"),
                     QStringLiteral("rgb24"), QStringLiteral("-")});
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
    const std::vector<QImage> frames = Scene(6);
    for (int mode = 0; mode < 3; ++mode) {
        TGifSettings s;
        s.Width = 96;
        s.Height = 64;
        s.Gray = mode == 1;
        s.Transparent = mode == 2;
        s.TransparentColor = qRgb(230, 200, 40);
        EXPECT_EQ(QCryptographicHash::hash(Encode(s, frames, 3), QCryptographicHash::Md5).toHex(),
                  QByteArray(expected[mode]))
            << mode;
    }
}

TEST(GifModes, EveryModeDecodesAlikeInGiflibAndFFmpegAndDoesNotDependOnThreads) {
    const std::vector<QImage> frames = Scene(7);
    for (const TMode& m : Modes) {
        SCOPED_TRACE(m.Name);
        const TGifSettings s = SettingsOf(m);
        const QByteArray bytes = Encode(s, frames, 4);
        EXPECT_EQ(Encode(s, frames, 1), bytes);
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

TEST(GifModes, SmallerFilesShowEveryPixelWithinTheToleranceOrAsTheFrameWouldAndAreSmaller) {
    const std::vector<QImage> frames = Scene(8);
    for (const TMode& m : Modes) {
        if (!m.Smaller || m.Gray)
            continue;
        SCOPED_TRACE(m.Name);
        const TGifSettings s = SettingsOf(m);
        const QByteArray bytes = Encode(s, frames, 2);
        TGifSettings whole = s;
        whole.Smaller = false;
        EXPECT_LT(bytes.size(), Encode(whole, frames, 2).size() * 3 / 4);
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
            // The frame as it would be drawn whole (same palette and dithering).
            const TGifFrame full = PrepareGifFrame(frames[k], s);
            for (int y = 0; y < h; ++y)
                for (int x = 0; x < w; ++x) {
                    const QRgb source = frames[k].pixel(x, y);
                    const QRgb own = full.Palette[full.Pixels.Pixels[std::size_t(y * w + x)]];
                    ASSERT_LE(Distance2(shown[k][std::size_t(y * w + x)], source),
                              std::max(UnchangedTolerance2, Distance2(own, source)))
                        << k << " " << x << "," << y;
                }
        }
    }
}

TEST(GifModes, BestQualityIsNearerToTheSourceThanTheOctree) {
    const std::vector<QImage> frames = Scene(2, 160, 120);
    auto error = [&](TGifQuality q) {
        TGifSettings s = SettingsOf({"", q, false, false}, 160, 120);
        int w = 0, h = 0;
        const auto shown = CompositeGif(Encode(s, frames, 2), w, h);
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
    for (const TMode& m : Modes) {
        SCOPED_TRACE(m.Name);
        const TGifSettings s = SettingsOf(m, 160, 120);
        const double actual = double(Encode(s, frames, 2).size());
        const std::vector<int> positions = GifEstimateSample(int(frames.size()), s.Smaller);
        ASSERT_LE(positions.size(), 8u);
        std::vector<QImage> sample;
        for (const int p : positions)
            sample.push_back(frames[std::size_t(p)]);
        const double estimate = double(EstimateGifSize(int(frames.size()), sample, s));
        EXPECT_LT(std::abs(estimate - actual) / actual, 0.25) << estimate << " " << actual;
    }
    const std::vector<QImage> few(frames.begin(), frames.begin() + 5);
    const TGifSettings s = SettingsOf(Modes[3], 160, 120);
    EXPECT_EQ(EstimateGifSize(5, few, s), Encode(s, few, 1).size());
    std::atomic<bool> cancel{true};
    EXPECT_EQ(EstimateGifSize(5, few, s, &cancel), -1);
}

TEST(GifModes, SmallerFileWithATransparentColourIsRefused) {
    TGifSettings s;
    s.Smaller = true;
    s.Transparent = true;
    EXPECT_THROW(TAnimatedGif gif(s), kw::EFcError);
}
