// The animated GIF on camera-like footage: palettes shared within a shot and never across a
// cut, smaller files that stay as near to the source as whole ones frame by frame, the size
// estimate against the file, and a frame that fails in any mode.

#include "codecs/gif_codec.h"
#include "codecs/gif_estimate.h"
#include "common/kw_guard.h"
#include "tests/codecs/gif_reader.h"
#include "tests/support/gif_encode.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <random>
#include <set>

using namespace codecs;

namespace {

// A scene as a camera sees it, twice the size of the frames cut from it: a sky going from one
// colour to another, soft round blobs out of focus, and ground with a texture of its own.
QImage Scene(int w, int h, int seed) {
    std::mt19937 rng{unsigned(seed)};
    const int hue = int(rng() % 360);
    QImage image(w, h, QImage::Format_RGB888);
    struct TBlob {
        int X, Y, R;
        QColor C;
    };
    std::vector<TBlob> blobs;
    for (int i = 0; i < 6; ++i)
        blobs.push_back({int(rng() % unsigned(w)), int(rng() % unsigned(h / 2)),
                         int(10 + rng() % unsigned(h / 4)),
                         QColor::fromHsv((hue + int(rng() % 120)) % 360, 160, 230)});
    const QColor sky0 = QColor::fromHsv(hue, 120, 240),
                 sky1 = QColor::fromHsv((hue + 40) % 360, 200, 160);
    const QColor ground = QColor::fromHsv((hue + 180) % 360, 140, 120);
    for (int y = 0; y < h; ++y) {
        std::uint8_t* p = image.scanLine(y);
        for (int x = 0; x < w; ++x, p += 3) {
            double r, g, b;
            if (y < h * 3 / 5) {
                const double t = double(y) / (h * 3 / 5);
                r = sky0.red() * (1 - t) + sky1.red() * t;
                g = sky0.green() * (1 - t) + sky1.green() * t;
                b = sky0.blue() * (1 - t) + sky1.blue() * t;
                for (const TBlob& bl : blobs) {
                    const double d = std::hypot(x - bl.X, y - bl.Y) / bl.R;
                    const double a = d < 1 ? 0.7 * (1 - d * d) : 0;
                    r = r * (1 - a) + bl.C.red() * a;
                    g = g * (1 - a) + bl.C.green() * a;
                    b = b * (1 - a) + bl.C.blue() * a;
                }
            } else {
                const double tex = 0.75 + 0.25 * std::sin(x * 0.9 + std::sin(y * 0.7) * 3) *
                                              std::cos(y * 1.3 + x * 0.2);
                r = ground.red() * tex;
                g = ground.green() * tex;
                b = ground.blue() * tex;
            }
            p[0] = std::uint8_t(std::clamp(int(r), 0, 255));
            p[1] = std::uint8_t(std::clamp(int(g), 0, 255));
            p[2] = std::uint8_t(std::clamp(int(b), 0, 255));
        }
    }
    return image;
}

// n frames of w x h cut from the scene, moving by step pixels a frame, with sensor noise of
// its own in every frame.
std::vector<QImage> Clip(const QImage& scene, int n, int w, int h, int step, int seed) {
    std::mt19937 rng{unsigned(seed)};
    std::normal_distribution<double> noise(0, 2.0);
    std::vector<QImage> frames;
    for (int k = 0; k < n; ++k) {
        QImage f = scene.copy(k * step, scene.height() / 4, w, h);
        for (int y = 0; y < h; ++y) {
            std::uint8_t* p = f.scanLine(y);
            for (int i = 0; i < w * 3; ++i)
                p[i] = std::uint8_t(std::clamp(int(std::lround(p[i] + noise(rng))), 0, 255));
        }
        frames.push_back(f);
    }
    return frames;
}

TGifSettings Settings(int w, int h, TGifQuality q, bool smaller) {
    TGifSettings s;
    s.Width = w;
    s.Height = h;
    s.Quality = q;
    s.Smaller = smaller;
    return s;
}

// The PSNR of every shown frame against its source.
std::vector<double> FramePsnr(const QByteArray& bytes, const std::vector<QImage>& frames) {
    int w = 0, h = 0;
    const auto shown = CompositeGif(bytes, w, h);
    std::vector<double> psnr;
    for (std::size_t k = 0; k < shown.size() && k < frames.size(); ++k) {
        double sum = 0;
        for (int i = 0; i < w * h; ++i) {
            const QRgb a = shown[k][std::size_t(i)], b = frames[k].pixel(i % w, i / w);
            const int dr = qRed(a) - qRed(b), dg = qGreen(a) - qGreen(b), db = qBlue(a) - qBlue(b);
            sum += dr * dr + dg * dg + db * db;
        }
        const double mse = sum / (3.0 * w * h);
        psnr.push_back(mse > 0 ? 10 * std::log10(255.0 * 255.0 / mse) : 100);
    }
    return psnr;
}

} // namespace

TEST(GifFootage, BestPalettesAreSharedWithinAShotAndNeverAcrossACut) {
    const std::vector<QImage> first = Clip(Scene(320, 240, 1), 6, 160, 120, 1, 11);
    const std::vector<QImage> second = Clip(Scene(320, 240, 2), 6, 160, 120, 1, 12);
    std::vector<QImage> frames = first;
    frames.insert(frames.end(), second.begin(), second.end());
    const TGifSettings s = Settings(160, 120, TGifQuality::Best, false);
    const QByteArray bytes = fctest::EncodeGif(s, frames, 3);
    EXPECT_EQ(fctest::EncodeGif(s, frames, 1), bytes) << "one thread gives the file of many";
    const auto decoded = DecodeGif(bytes);
    ASSERT_EQ(decoded.size(), frames.size());
    for (std::size_t k = 1; k < frames.size(); ++k) {
        if (k == first.size())
            continue;
        EXPECT_EQ(decoded[k].Palette, decoded[k - 1].Palette) << "frame " << k << " of its shot";
    }
    // The cut takes the palette the new shot's first frame gets on its own.
    EXPECT_NE(decoded[first.size()].Palette, decoded[first.size() - 1].Palette);
    TGifFrame alone = PrepareGifFrame(second[0], s);
    alone.Palette.resize(decoded[first.size()].Palette.size(), alone.Palette.back());
    EXPECT_EQ(decoded[first.size()].Palette, alone.Palette);
    // A shared palette costs the later frames of a shot next to nothing.
    const std::vector<double> shared = FramePsnr(bytes, frames);
    for (std::size_t k = 0; k < frames.size(); ++k) {
        const QByteArray own = fctest::EncodeGif(s, {frames[k]}, 1);
        EXPECT_GT(shared[k], FramePsnr(own, {frames[k]})[0] - 0.3) << "frame " << k;
    }
}

TEST(GifFootage, SmallerFilesStayWithinAThirdOfADecibelOfWholeFramesOnEveryFrame) {
    struct TCase {
        const char* Name;
        int Step;
    };
    for (const TCase c : {TCase{"sensor noise on a still camera", 0}, TCase{"slow pan", 1}}) {
        SCOPED_TRACE(c.Name);
        const std::vector<QImage> frames = Clip(Scene(320, 240, 3), 12, 160, 120, c.Step, 21);
        for (const TGifQuality q : {TGifQuality::Best, TGifQuality::Standard}) {
            SCOPED_TRACE(q == TGifQuality::Best ? "best" : "standard");
            const QByteArray whole = fctest::EncodeGif(Settings(160, 120, q, false), frames, 2);
            const QByteArray smaller = fctest::EncodeGif(Settings(160, 120, q, true), frames, 2);
            const std::vector<double> a = FramePsnr(whole, frames), b = FramePsnr(smaller, frames);
            ASSERT_EQ(b.size(), frames.size());
            for (std::size_t k = 0; k < frames.size(); ++k)
                EXPECT_GT(b[k], a[k] - 0.3) << "frame " << k;
            // White noise of this strength everywhere leaves little to keep (camera footage,
            // whose noise its compression has smoothed, keeps far more: see the benchmark).
            if (c.Step == 0)
                EXPECT_LT(smaller.size(), whole.size() * 19 / 20);
            else
                EXPECT_LE(smaller.size(), whole.size());
        }
    }
}

TEST(GifFootage, EstimateIsWithinATenthOfTheFileAndMovesWithIt) {
    // A still camera whose hand shakes by a pixel on two frames of every seven: those frames
    // go in whole in a smaller file, the others keep most of what is shown. The sample of 16
    // of the 60 frames must see both as often as the file has them.
    const QImage scene = Scene(400, 240, 4);
    std::vector<QImage> frames;
    for (int k = 0; k < 60; ++k) {
        const int shake = k % 7 < 2 ? 1 : 0;
        frames.push_back(Clip(scene.copy(shake, 0, 398, 240), 1, 160, 120, 0, 31 + k)[0]);
    }
    const TGifFrameReader read = [&](int p) { return frames[std::size_t(p)]; };
    std::vector<double> actual, estimate;
    for (const bool smaller : {false, true})
        for (const TGifQuality q : {TGifQuality::Standard, TGifQuality::Best}) {
            const TGifSettings s = Settings(160, 120, q, smaller);
            actual.push_back(double(fctest::EncodeGif(s, frames, 2).size()));
            estimate.push_back(double(EstimateGifSize(
                int(frames.size()), GifEstimateSample(int(frames.size()), s, 16), read, s)));
            EXPECT_LT(std::abs(estimate.back() - actual.back()) / actual.back(), 0.1)
                << "smaller " << smaller << " best " << (q == TGifQuality::Best) << ": "
                << estimate.back() << " for " << actual.back();
        }
    for (std::size_t m = 0; m < 2; ++m)
        EXPECT_EQ(estimate[m + 2] < estimate[m], actual[m + 2] < actual[m])
            << "ticking Smaller file moves the estimate the way it moves the file";
}

TEST(GifFootage, AFrameThatFailsEndsTheGifWithItsErrorInEveryMode) {
    // A frame without a picture fails while it is prepared; the frames after it must not
    // wait for it for ever, whatever the mode and the number of threads.
    std::vector<QImage> frames = Clip(Scene(320, 240, 5), 8, 64, 48, 1, 41);
    frames[3] = QImage();
    struct TMode {
        const char* Name;
        TGifQuality Quality;
        bool Smaller, Gray, Transparent;
    };
    const TMode modes[] = {{"standard", TGifQuality::Standard, false, false, false},
                           {"best", TGifQuality::Best, false, false, false},
                           {"standard smaller", TGifQuality::Standard, true, false, false},
                           {"best smaller", TGifQuality::Best, true, false, false},
                           {"grey smaller", TGifQuality::Standard, true, true, false},
                           {"grey", TGifQuality::Standard, false, true, false},
                           {"best transparent", TGifQuality::Best, false, false, true}};
    for (const TMode& m : modes)
        for (const int threads : {1, 3}) {
            SCOPED_TRACE(testing::Message() << m.Name << ", threads " << threads);
            TGifSettings s = Settings(64, 48, m.Quality, m.Smaller);
            s.Gray = m.Gray;
            s.Transparent = m.Transparent;
            s.TransparentColor = frames[0].pixel(5, 5);
            bool failed = false;
            try {
                TAnimatedGif gif(s, threads);
                for (const QImage& f : frames)
                    gif.AddFrame(f);
                gif.Finish();
            } catch (const kw::EFcError& e) {
                failed = true;
                EXPECT_TRUE(kw::MessageOf(e).contains(QStringLiteral("no picture")))
                    << kw::MessageOf(e).toStdString();
            }
            EXPECT_TRUE(failed);
        }
}
