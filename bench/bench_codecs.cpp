// framecatch-bench commands of the output cores: gif, export and sheet. Each reads a folder of
// PNG frames in name order (on all cores, timed separately), runs the core as the program
// does and ends with one key=value line.

#include "bench/bench_registry.h"

#include "codecs/anim_writer.h"
#include "codecs/bmp_codec.h"
#include "codecs/gif_codec.h"
#include "codecs/gif_estimate.h"
#include "codecs/ordered_pool.h"
#include "codecs/picture_writer.h"
#include "common/kw_guard.h"
#include "output/export_core.h"
#include "output/thumb_sheet.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QImageReader>

#include <png.h>

#include <atomic>
#include <cmath>
#include <condition_variable>
#include <cstdio>
#include <ctime>
#include <deque>
#include <mutex>
#include <stdexcept>
#include <thread>
#include <vector>

namespace {

// A PNG file as a Format_RGB888 picture (palette and grey expanded, 16-bit samples cut to
// 8, alpha dropped), decoded straight into the picture's rows; null when it cannot be read.
QImage ReadPngRgb(const QString& path) {
    FILE* file = std::fopen(QFile::encodeName(path).constData(), "rb");
    if (!file)
        return {};
    png_structp png = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png ? png_create_info_struct(png) : nullptr;
    QImage* out = new QImage; // outside the frame that setjmp returns to
    if (!info || setjmp(png_jmpbuf(png))) {
        png_destroy_read_struct(&png, info ? &info : nullptr, nullptr);
        std::fclose(file);
        delete out;
        return {};
    }
    png_init_io(png, file);
    // The frames are our own input files: skip the checksums, which cost a tenth of a read.
    png_set_crc_action(png, PNG_CRC_QUIET_USE, PNG_CRC_QUIET_USE);
#ifdef PNG_IGNORE_ADLER32
    png_set_option(png, PNG_IGNORE_ADLER32, PNG_OPTION_ON);
#endif
    png_read_info(png, info);
    png_set_expand(png);
    png_set_strip_16(png);
    png_set_strip_alpha(png);
    png_set_gray_to_rgb(png);
    png_read_update_info(png, info);
    *out = QImage(int(png_get_image_width(png, info)), int(png_get_image_height(png, info)),
                  QImage::Format_RGB888);
    std::vector<png_bytep> rows(std::size_t(out->height()));
    for (int y = 0; y < out->height(); ++y)
        rows[std::size_t(y)] = out->scanLine(y);
    png_read_image(png, rows.data());
    png_read_end(png, nullptr);
    png_destroy_read_struct(&png, &info, nullptr);
    std::fclose(file);
    QImage result = std::move(*out);
    delete out;
    return result;
}

struct TFrames {
    QList<QImage> Images;
    double Seconds = 0;
    std::int64_t Pixels = 0;
};

// Reads every *.png of the folder, in name order, on all cores.
TFrames ReadFrames(const QString& dir, int threads) {
    TFrames frames;
    const QStringList names =
        QDir(dir).entryList({QStringLiteral("*.png")}, QDir::Files, QDir::Name);
    QElapsedTimer timer;
    timer.start();
    std::vector<QImage> images(std::size_t(names.size()));
    std::atomic<int> next{0};
    std::vector<std::thread> workers;
    for (int t = 0; t < codecs::WorkerCount(threads); ++t)
        workers.emplace_back([&] {
            for (int i; (i = next++) < names.size();)
                images[std::size_t(i)] = ReadPngRgb(dir + QLatin1Char('/') + names[i]);
        });
    for (std::thread& w : workers)
        w.join();
    frames.Seconds = double(timer.nsecsElapsed()) / 1e9;
    for (std::size_t i = 0; i < images.size(); ++i) {
        if (images[i].isNull()) {
            std::fprintf(stderr, "cannot read %s\n", qPrintable(names[int(i)]));
            return {};
        }
        frames.Pixels += std::int64_t(images[i].width()) * images[i].height();
        frames.Images << images[i];
    }
    return frames;
}

int IntOption(const QStringList& args, const char* name, int fallback) {
    return bench::Option(args, QLatin1String(name), QString::number(fallback)).toInt();
}

// CPU time of the whole process so far, all threads.
double CpuSeconds() {
    timespec t{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
    return double(t.tv_sec) + double(t.tv_nsec) / 1e9;
}

double CpuAtStart = 0; // CPU time when the core began, after reading

// The final figures over encodeSeconds, which holds the reading when it was timed with the
// rest (the pipelined GIF); reading done before is reported on the line above only.
void PrintResult(const TFrames& frames, double encodeSeconds, std::int64_t bytes) {
    const double total = encodeSeconds;
    const int n = int(frames.Images.size());
    const double cpu = CpuSeconds() - CpuAtStart;
    std::printf(
        "read_seconds=%.4f encode_seconds=%.4f encode_fps=%.1f encode_cpu_ms_per_frame=%.2f\n",
        frames.Seconds, encodeSeconds, encodeSeconds > 0 ? n / encodeSeconds : 0.0,
        n ? cpu * 1000 / n : 0.0);
    std::printf("frames=%d seconds=%.4f fps=%.1f mpix_per_s=%.1f bytes=%lld\n", n, total,
                total > 0 ? n / total : 0.0, total > 0 ? double(frames.Pixels) / 1e6 / total : 0.0,
                static_cast<long long>(bytes));
}

QStringList PngNames(const QString& dir) {
    QStringList names = QDir(dir).entryList({QStringLiteral("*.png")}, QDir::Files, QDir::Name);
    for (QString& n : names)
        n = dir + QLatin1Char('/') + n;
    return names;
}

// An animated WebP, APNG, MP4 or WebM from PNG files, with the GIF's size, delay, loops, grey
// and transparency: the frames are read first and only the writer is timed, as with --preload.
int RunAnim(const QStringList& args, const QString& dir, const QString& outPath,
            const codecs::TGifSettings& gif, codecs::TAnimFormat format) {
    codecs::TAnimSettings s;
    s.Format = format;
    s.Width = gif.Width;
    s.Height = gif.Height;
    s.DelayMs = gif.DelayMs;
    s.Loops = gif.Loops;
    s.Gray = gif.Gray;
    s.Transparent = gif.Transparent;
    s.TransparentColor = gif.TransparentColor;
    s.Quality = IntOption(args, "--anim-quality", -1);
    try {
        const TFrames frames = ReadFrames(dir, IntOption(args, "--threads", 0));
        const std::vector<QImage> images(frames.Images.begin(), frames.Images.end());
        CpuAtStart = CpuSeconds();
        QElapsedTimer timer;
        timer.start();
        const std::int64_t bytes = codecs::SaveAnimation(images, s, outPath);
        const double seconds = double(timer.nsecsElapsed()) / 1e9;
        if (bench::Flag(args, QStringLiteral("--estimate"))) {
            QElapsedTimer estimateTimer;
            estimateTimer.start();
            std::vector<QImage> run;
            for (const int p : codecs::AnimEstimateSample(int(images.size())))
                run.push_back(images[std::size_t(p)]);
            const std::int64_t estimate = codecs::EstimateAnimSize(int(images.size()), run, s);
            std::printf("estimate_bytes=%lld estimate_error=%.1f%% estimate_seconds=%.3f\n",
                        static_cast<long long>(estimate),
                        100.0 * double(estimate - bytes) / double(bytes),
                        double(estimateTimer.nsecsElapsed()) / 1e9);
        }
        std::printf("format=%s size=%dx%d quality=%d mode=%s reading=before, not timed\n",
                    qPrintable(codecs::AnimFormatInfo(format).Name), s.Width, s.Height,
                    codecs::AnimQuality(s), s.Gray ? "gray" : "colour");
        PrintResult(frames, seconds, bytes);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "%s\n", qPrintable(kw::MessageOf(e)));
        return 1;
    }
    return 0;
}

// The mean PSNR (dB, over R, G and B, frame by frame, 100 for an identical frame) of an
// animated WebP or GIF against its PNG frames, composited by Qt's own reader: this FFmpeg
// cannot decode animated WebP. The frames are compared at the file's size.
int RunAnimPsnr(const QStringList& args) {
    const QString dir = bench::Option(args, QStringLiteral("--frames"));
    const QString file = bench::Option(args, QStringLiteral("--file"));
    QImageReader reader(file);
    if (dir.isEmpty() || file.isEmpty() || !reader.canRead()) {
        std::fprintf(stderr, "animpsnr needs --frames DIR and a readable --file FILE\n");
        return 2;
    }
    const QStringList names = PngNames(dir);
    double sum = 0;
    int n = 0;
    for (; n < names.size(); ++n) {
        const QImage shown = reader.read().convertToFormat(QImage::Format_RGB888);
        if (shown.isNull())
            break;
        const QImage source = ReadPngRgb(names[n]).scaled(shown.size()); // nearest, as written
        double squares = 0;
        for (int y = 0; y < shown.height(); ++y) {
            const uchar* a = shown.constScanLine(y);
            const uchar* b = source.constScanLine(y);
            for (int x = 0; x < shown.width() * 3; ++x)
                squares += double(a[x] - b[x]) * double(a[x] - b[x]);
        }
        const double mse = squares / (double(shown.width()) * shown.height() * 3);
        sum += mse > 0 ? 10 * std::log10(255.0 * 255.0 / mse) : 100;
    }
    std::printf("frames=%d psnr_db=%.2f\n", n, n ? sum / n : 0.0);
    return n == names.size() ? 0 : 1;
}

// The animated GIF from PNG files. By default the files are read on worker threads while
// earlier frames are encoded, and the time runs from the first read to the written file;
// with --preload all frames are read first and only the GIF is timed, as in the program,
// whose frames are in memory already.
int RunGif(const QStringList& args) {
    const QString dir = bench::Option(args, QStringLiteral("--frames"));
    const QString outPath = bench::Option(args, QStringLiteral("--out"));
    if (dir.isEmpty() || outPath.isEmpty()) {
        std::fprintf(stderr, "gif needs --frames DIR and --out FILE.gif\n");
        return 2;
    }
    const int threads = IntOption(args, "--threads", 0);
    const QStringList names = PngNames(dir);
    const QImage first = names.isEmpty() ? QImage() : ReadPngRgb(names[0]);
    if (first.isNull()) {
        std::fprintf(stderr, "no readable PNG frames in %s\n", qPrintable(dir));
        return 1;
    }
    codecs::TGifSettings s;
    s.Width = IntOption(args, "--width", first.width());
    s.Height = IntOption(args, "--height", first.height());
    s.DelayMs = IntOption(args, "--delay", 150);
    s.Loops = IntOption(args, "--loops", 0);
    s.Gray = bench::Flag(args, QStringLiteral("--gray"));
    const QString transparent = bench::Option(args, QStringLiteral("--transparent"));
    if (!transparent.isEmpty()) {
        s.Transparent = true;
        s.TransparentColor = 0xFF000000u | transparent.toUInt(nullptr, 16);
    }
    const QString quality =
        bench::Option(args, QStringLiteral("--quality"), QStringLiteral("standard"));
    if (quality != QLatin1String("standard") && quality != QLatin1String("best")) {
        std::fprintf(stderr, "--quality is standard or best\n");
        return 2;
    }
    s.Quality = quality == QLatin1String("best") ? codecs::TGifQuality::Best
                                                 : codecs::TGifQuality::Standard;
    s.Smaller = bench::Flag(args, QStringLiteral("--smaller"));
    const auto format = codecs::AnimFormatFromName(
        bench::Option(args, QStringLiteral("--format"), QStringLiteral("gif")));
    if (!format) {
        std::fprintf(stderr, "--format is gif, webp, apng, mp4 or webm\n");
        return 2;
    }
    if (*format != codecs::TAnimFormat::Gif)
        return RunAnim(args, dir, outPath, s, *format);
    const bool preload = bench::Flag(args, QStringLiteral("--preload"));
    try {
        TFrames frames;
        if (preload)
            frames = ReadFrames(dir, threads);
        CpuAtStart = CpuSeconds();
        QElapsedTimer timer;
        timer.start();
        codecs::TAnimatedGif gif(s, threads);
        std::int64_t pixels = 0;
        if (preload) {
            for (const QImage& f : frames.Images)
                gif.AddFrame(f);
            pixels = frames.Pixels;
        } else {
            // One reader thread keeps up to LookAhead frames ready ahead of the encoder, so
            // reading never waits while the GIF's own workers are busy (and the other way round).
            constexpr int LookAhead = 16;
            std::vector<QImage> read(std::size_t(names.size()));
            std::mutex mutex;
            std::condition_variable changed;
            int readCount = 0, taken = 0;
            bool stop = false;
            std::thread reader([&] {
                for (int i = 0; i < names.size(); ++i) {
                    {
                        std::unique_lock lock(mutex);
                        changed.wait(lock, [&] { return stop || i - taken < LookAhead; });
                        if (stop)
                            return;
                    }
                    QImage frame = ReadPngRgb(names[i]);
                    std::lock_guard lock(mutex);
                    read[std::size_t(i)] = std::move(frame);
                    readCount = i + 1;
                    changed.notify_all();
                }
            });
            struct TJoin {
                std::thread& Thread;
                std::mutex& Mutex;
                bool& Stop;
                std::condition_variable& Changed;
                ~TJoin() {
                    {
                        std::lock_guard lock(Mutex);
                        Stop = true;
                    }
                    Changed.notify_all();
                    Thread.join();
                }
            } join{reader, mutex, stop, changed};
            for (int i = 0; i < names.size(); ++i) {
                QImage frame;
                {
                    std::unique_lock lock(mutex);
                    changed.wait(lock, [&] { return readCount > i; });
                    frame = std::move(read[std::size_t(i)]);
                    taken = i + 1;
                    changed.notify_all();
                }
                if (frame.isNull())
                    throw std::runtime_error("a PNG frame could not be read");
                pixels += std::int64_t(frame.width()) * frame.height();
                gif.AddFrame(frame);
            }
            frames.Images.reserve(names.size());
            for (int i = 0; i < names.size(); ++i)
                frames.Images << QImage(); // only the count is printed
        }
        gif.Finish();
        gif.SaveToFile(outPath);
        const double seconds = double(timer.nsecsElapsed()) / 1e9;
        if (bench::Flag(args, QStringLiteral("--estimate"))) {
            // The window's estimate from the sample frames, against the file just written.
            QElapsedTimer estimateTimer;
            estimateTimer.start();
            const std::int64_t estimate = codecs::EstimateGifSize(
                int(names.size()), codecs::GifEstimateSample(int(names.size()), s),
                [&](int p) { return ReadPngRgb(names[p]); }, s);
            std::printf("estimate_bytes=%lld estimate_error=%.1f%% estimate_seconds=%.3f\n",
                        static_cast<long long>(estimate),
                        100.0 * double(estimate - gif.Size()) / double(gif.Size()),
                        double(estimateTimer.nsecsElapsed()) / 1e9);
        }
        std::printf("threads=%d size=%dx%d mode=%s quality=%s smaller=%d reading=%s\n",
                    codecs::WorkerCount(threads), s.Width, s.Height, s.Gray ? "gray" : "colour",
                    qPrintable(quality), s.Smaller ? 1 : 0,
                    preload ? "before, not timed" : "timed, overlapped");
        frames.Pixels = pixels;
        PrintResult(frames, seconds, gif.Size());
    } catch (const std::exception& e) {
        std::fprintf(stderr, "%s\n", qPrintable(kw::MessageOf(e)));
        return 1;
    }
    return 0;
}

int RunExport(const QStringList& args) {
    const QString dir = bench::Option(args, QStringLiteral("--frames"));
    const QString outDir = bench::Option(args, QStringLiteral("--out"));
    codecs::TPictureFormat format;
    if (dir.isEmpty() || outDir.isEmpty() ||
        !codecs::PictureFormatFromName(
            bench::Option(args, QStringLiteral("--format"), QStringLiteral("jpg")).toUpper(),
            format)) {
        std::fprintf(stderr, "export needs --frames DIR --out DIR --format jpg|bmp|gif|png\n");
        return 2;
    }
    const int threads = IntOption(args, "--threads", 0);
    const TFrames frames = ReadFrames(dir, threads);
    if (frames.Images.isEmpty()) {
        std::fprintf(stderr, "no PNG frames in %s\n", qPrintable(dir));
        return 1;
    }
    QDir().mkpath(outDir);
    output::TExportSettings s;
    s.Folder = outDir;
    s.BaseName = bench::Option(args, QStringLiteral("--base"), QStringLiteral("frame-"));
    s.StartNumber = IntOption(args, "--start", 1);
    s.Format = format;
    s.JpegQuality = IntOption(args, "--quality", 90);
    s.Threads = threads;
    try {
        CpuAtStart = CpuSeconds();
        QElapsedTimer timer;
        timer.start();
        const std::int64_t bytes = output::ExportFrames(TFrameSnapshot(frames.Images), s);
        const double seconds = double(timer.nsecsElapsed()) / 1e9;
        std::printf("threads=%d format=%s quality=%d\n", codecs::WorkerCount(threads),
                    qPrintable(codecs::PictureExtension(format)), s.JpegQuality);
        PrintResult(frames, seconds, bytes);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "%s\n", qPrintable(kw::MessageOf(e)));
        return 1;
    }
    return 0;
}

int RunSheet(const QStringList& args) {
    const QString dir = bench::Option(args, QStringLiteral("--frames"));
    const QString outPath = bench::Option(args, QStringLiteral("--out"));
    if (dir.isEmpty() || outPath.isEmpty()) {
        std::fprintf(stderr, "sheet needs --frames DIR and --out FILE.jpg|FILE.bmp\n");
        return 2;
    }
    const TFrames frames = ReadFrames(dir, 0);
    if (frames.Images.isEmpty()) {
        std::fprintf(stderr, "no PNG frames in %s\n", qPrintable(dir));
        return 1;
    }
    const int repeats = std::max(1, IntOption(args, "--repeat", 5));
    const auto format = outPath.endsWith(QStringLiteral(".bmp"), Qt::CaseInsensitive)
                            ? output::TSheetFormat::Bmp
                            : output::TSheetFormat::Jpeg;
    try {
        std::vector<double> samples;
        output::TSheetGeometry g;
        for (int r = 0; r < repeats; ++r) {
            QElapsedTimer timer;
            timer.start();
            g = output::ThumbSheetGeometry(IntOption(args, "--width", 600),
                                           IntOption(args, "--rows", 4),
                                           IntOption(args, "--columns", 4),
                                           frames.Images[0].width(), frames.Images[0].height());
            const QImage sheet = output::DrawThumbSheet(g, TFrameSnapshot(frames.Images));
            output::SaveThumbSheet(sheet, outPath, format);
            samples.push_back(double(timer.nsecsElapsed()) / 1e6);
        }
        const double ms = bench::MedianMs(samples);
        std::printf("runs=%d median_ms=%.2f read_seconds=%.4f\n", repeats, ms, frames.Seconds);
        std::printf("frames=%d seconds=%.4f width=%d height=%d bytes=%lld\n",
                    int(frames.Images.size()), ms / 1000, g.Width, g.Height,
                    static_cast<long long>(QFileInfo(outPath).size()));
    } catch (const std::exception& e) {
        std::fprintf(stderr, "%s\n", qPrintable(kw::MessageOf(e)));
        return 1;
    }
    return 0;
}

// Decoding one grab-sized BMP held in memory into the same picture again and again, as every
// grab does with the scratch bitmap.
int RunBmpRead(const QStringList& args) {
    const int w = IntOption(args, "--width", 1920), h = IntOption(args, "--height", 1080);
    const int runs = std::max(1, IntOption(args, "--repeat", 50));
    QImage picture(w, h,
                   bench::Flag(args, QStringLiteral("--32")) ? QImage::Format_RGB32
                                                             : QImage::Format_RGB888);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            picture.setPixel(x, y, qRgb(x & 255, y & 255, (x ^ y) & 255));
    const QByteArray file = codecs::EncodeBmp(picture);
    QImage into;
    std::vector<double> samples;
    for (int r = 0; r < runs; ++r) {
        QElapsedTimer timer;
        timer.start();
        if (!codecs::ReadBmp(reinterpret_cast<const std::uint8_t*>(file.constData()), file.size(),
                             into))
            return 1;
        samples.push_back(double(timer.nsecsElapsed()) / 1e6);
    }
    std::printf("runs=%d width=%d height=%d bits=%d median_ms=%.3f bytes=%lld\n", runs, w, h,
                picture.depth() == 32 ? 32 : 24, bench::MedianMs(samples),
                static_cast<long long>(file.size()));
    return into == picture ? 0 : 1;
}

} // namespace

FC_BENCH_COMMAND(bmpread, "bmpread [--width 1920 --height 1080] [--32] [--repeat 50]", RunBmpRead);
FC_BENCH_COMMAND(
    gif,
    "gif --frames DIR --out FILE.gif [--width W --height H] [--delay MS] [--loops N] "
    "[--gray] [--transparent RRGGBB] [--quality standard|best] [--smaller] [--threads N] "
    "[--preload] [--estimate] [--format gif|webp|apng|mp4|webm] [--anim-quality N]",
    RunGif);
FC_BENCH_COMMAND(animpsnr, "animpsnr --frames DIR --file FILE.webp|FILE.gif", RunAnimPsnr);
FC_BENCH_COMMAND(export,
                 "export --frames DIR --out DIR --format jpg|bmp|gif|png [--quality 10..100] "
                 "[--base NAME] [--start N] [--threads N]",
                 RunExport);
FC_BENCH_COMMAND(sheet,
                 "sheet --frames DIR --out FILE.jpg|FILE.bmp [--width 600 --rows 4 --columns 4] "
                 "[--repeat N]",
                 RunSheet);
