#include "codecs/anim_writer.h"

#include "codecs/anim_encoders.h"
#include "common/kw_guard.h"
#include "common/kw_savefile.h"
#include "common/long_work.h"

#include <QFile>

#include <algorithm>
#include <cerrno>
#include <cstring>

#include <sys/stat.h>
#include <unistd.h>

namespace codecs {

namespace {

QString SystemError(int error) {
    return QString::fromLocal8Bit(std::strerror(error));
}

class TFileSink : public TAnimSink {
public:
    explicit TFileSink(const QString& path) : FPath(path), FFile(path) {}
    void Write(const char* data, std::int64_t size) override {
        while (size > 0) {
            const ssize_t n = ::write(FFile.Fd(), data, size_t(size));
            if (n < 0 && errno == EINTR)
                continue;
            if (n <= 0)
                throw kw::EFcError(QStringLiteral("Cannot write file \"%1\". %2")
                                       .arg(FPath, SystemError(n < 0 ? errno : EIO)));
            data += n;
            size -= n;
        }
    }
    std::int64_t Seek(std::int64_t offset, int whence) override {
        return ::lseek(FFile.Fd(), off_t(offset), whence);
    }
    std::int64_t Read(char* data, std::int64_t size) override {
        return ::read(FFile.Fd(), data, size_t(size));
    }
    std::int64_t Size() const override {
        struct stat st = {};
        return ::fstat(FFile.Fd(), &st) == 0 ? std::int64_t(st.st_size) : FCommitted;
    }
    int Fd() const override { return FFile.Fd(); }
    void Commit() override {
        FCommitted = Size();
        FFile.Commit();
    }

private:
    QString FPath;
    kw::TSaveFile FFile;
    std::int64_t FCommitted = -1;
};

class TMemorySink : public TAnimSink {
public:
    void Write(const char* data, std::int64_t size) override {
        const qsizetype end = FPos + qsizetype(size);
        if (end > FBytes.size())
            FBytes.resize(end);
        std::memcpy(FBytes.data() + FPos, data, size_t(size));
        FPos = end;
    }
    std::int64_t Seek(std::int64_t offset, int whence) override {
        const std::int64_t base = whence == SEEK_CUR   ? FPos
                                  : whence == SEEK_END ? FBytes.size()
                                                       : 0;
        if (base + offset < 0)
            return -1;
        FPos = qsizetype(base + offset);
        return FPos;
    }
    std::int64_t Read(char* data, std::int64_t size) override {
        const qsizetype n = std::clamp<qsizetype>(FBytes.size() - FPos, 0, qsizetype(size));
        std::memcpy(data, FBytes.constData() + FPos, size_t(n));
        FPos += n;
        return n;
    }
    std::int64_t Size() const override { return FBytes.size(); }
    QByteArray Bytes() const override { return FBytes; }

private:
    QByteArray FBytes;
    qsizetype FPos = 0;
};

} // namespace

std::unique_ptr<TAnimSink> TAnimSink::ToFile(const QString& path) {
    return std::make_unique<TFileSink>(path);
}

std::unique_ptr<TAnimSink> TAnimSink::ToMemory() {
    return std::make_unique<TMemorySink>();
}

TAnimWriter::TAnimWriter(const TAnimSettings& settings, const QString& path,
                         const std::atomic<bool>* cancel)
    : FSettings(settings), FCancel(cancel) {
    CheckAnimLimits(settings); // before the new file is made
    FSink = TAnimSink::ToFile(path);
    Start(settings);
}

TAnimWriter::TAnimWriter(const TAnimSettings& settings, const std::atomic<bool>* cancel)
    : FSettings(settings), FCancel(cancel) {
    CheckAnimLimits(settings);
    FSink = TAnimSink::ToMemory();
    Start(settings);
}

TAnimWriter::~TAnimWriter() {
    FEncoder.reset(); // before the sink it writes into
}

void TAnimWriter::Start(const TAnimSettings& settings) {
    if (settings.Format == TAnimFormat::Gif)
        throw kw::EFcError(QStringLiteral("A GIF is written by the GIF encoder"));
    FEncoder = settings.Format == TAnimFormat::WebP ? MakeWebpEncoder(settings, *FSink)
                                                    : MakeAvEncoder(settings, *FSink);
}

void TAnimWriter::AddFrame(const QImage& picture) {
    if (FCancel && *FCancel)
        throw kw::ECancelled();
    FEncoder->Add(FitAnimFrame(picture, FSettings));
    ++FFrames;
}

void TAnimWriter::Finish() {
    if (FFinished)
        return;
    if (FFrames == 0)
        throw kw::EFcError(QStringLiteral("An animation needs at least one frame"));
    if (FCancel && *FCancel)
        throw kw::ECancelled();
    FEncoder->Finish();
    FSink->Commit();
    FFinished = true;
}

std::int64_t TAnimWriter::Size() const {
    return FSink->Size();
}

QByteArray TAnimWriter::Bytes() const {
    return FSink->Bytes();
}

std::int64_t SaveAnimation(const std::vector<QImage>& frames, const TAnimSettings& settings,
                           const QString& path, const std::atomic<bool>* cancel,
                           const std::function<void(int)>& done) {
    TAnimWriter writer(settings, path, cancel);
    for (std::size_t i = 0; i < frames.size(); ++i) {
        writer.AddFrame(frames[i]);
        if (done)
            done(int(i));
    }
    writer.Finish();
    return writer.Size();
}

std::vector<int> AnimEstimateSample(int frameCount) {
    const int run = std::min(frameCount, 12);
    const int first = (frameCount - run) / 2;
    std::vector<int> positions;
    for (int i = 0; i < run; ++i)
        positions.push_back(first + i);
    return positions;
}

std::int64_t EstimateAnimSize(int frameCount, const std::vector<QImage>& run,
                              const TAnimSettings& settings, const std::atomic<bool>* cancel) {
    if (run.empty() || frameCount <= 0)
        return 0;
    const auto encoded = [&](std::size_t count) -> std::int64_t {
        TAnimWriter writer(settings, cancel);
        for (std::size_t i = 0; i < count; ++i)
            writer.AddFrame(run[i]);
        writer.Finish();
        return writer.Size();
    };
    try {
        const std::int64_t whole = encoded(run.size());
        if (run.size() < 4 || std::size_t(frameCount) <= run.size())
            return whole * frameCount / std::int64_t(run.size());
        const std::size_t half = run.size() / 2;
        const std::int64_t part = encoded(half);
        // The first frame (with the file's header) costs what the half does beyond its share
        // of the frames after it.
        const double each = std::max(0.0, double(whole - part) / double(run.size() - half));
        const double first = std::max(0.0, double(part) - each * double(half - 1));
        return std::int64_t(first + each * double(frameCount - 1));
    } catch (const kw::ECancelled&) {
        return -1;
    }
}

} // namespace codecs
