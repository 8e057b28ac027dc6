#pragma once
// Inside the animation writer: where the bytes go (a file under a new name, or memory) and
// the encoders behind TAnimWriter, one for libwebp's animation encoder and one for FFmpeg's
// encoders and muxers.

#include "codecs/anim_settings.h"

#include <QByteArray>
#include <QImage>

#include <cstdint>
#include <memory>

namespace kw {
class TSaveFile;
}

namespace codecs {

// Bytes written in order, with seeking for the muxers that go back to fill in sizes.
class TAnimSink {
public:
    // Into a new file beside path (kw::TSaveFile); Commit() puts it in place.
    static std::unique_ptr<TAnimSink> ToFile(const QString& path);
    static std::unique_ptr<TAnimSink> ToMemory();
    virtual ~TAnimSink() = default;

    // Throw kw::EFcError with the system's reason.
    virtual void Write(const char* data, std::int64_t size) = 0;
    // As lseek: SEEK_SET, SEEK_CUR or SEEK_END; the new position.
    virtual std::int64_t Seek(std::int64_t offset, int whence) = 0;
    virtual std::int64_t Read(char* data, std::int64_t size) = 0;
    virtual std::int64_t Size() const = 0;
    // The file's descriptor, -1 in memory.
    virtual int Fd() const { return -1; }
    virtual void Commit() {}
    virtual QByteArray Bytes() const { return {}; }
};

class TAnimEncoder {
public:
    virtual ~TAnimEncoder() = default;
    // A frame of FitAnimFrame.
    virtual void Add(const QImage& fitted) = 0;
    virtual void Finish() = 0;
};

std::unique_ptr<TAnimEncoder> MakeWebpEncoder(const TAnimSettings& settings, TAnimSink& sink);
std::unique_ptr<TAnimEncoder> MakeAvEncoder(const TAnimSettings& settings, TAnimSink& sink);

} // namespace codecs
