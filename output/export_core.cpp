#include "output/export_core.h"

#include "codecs/codec_io.h"
#include "codecs/ordered_pool.h"
#include "common/kw_guard.h"
#include "common/kw_memory.h"

#include <deque>

namespace output {

std::int64_t ExportStartNumber(const QString& text) {
    int value = 0;
    return kw::TryStrToInt(text, value) ? value : 0;
}

QString ExportFilePath(const TExportSettings& s, int i) {
    QString path = s.Folder;
    if (!path.endsWith(QLatin1Char('/')))
        path += QLatin1Char('/');
    return path + s.BaseName + QString::number(s.StartNumber + i) +
           codecs::PictureExtension(s.Format);
}

std::int64_t ExportFrames(const TFrameSnapshot& frames, const TExportSettings& settings,
                          const std::function<void(int)>& afterFile) {
    QSize largest;
    for (int i = 0; i < frames.Count(); ++i)
        if (qint64(frames.Size(i).width()) * frames.Size(i).height() >
            qint64(largest.width()) * largest.height())
            largest = frames.Size(i);
    // Each worker holds a frame read from the store, the encoder's buffers and, until the file
    // is written, the encoded bytes.
    const int workers = codecs::WorkerCount(settings.Threads);
    kw::NeedMemory(qint64(workers) * (kw::FrameBytes(largest, QImage::Format_RGB32) +
                                      codecs::EncodeWorkingBytes(settings.Format, largest)),
                   QStringLiteral("the export"), largest);
    std::deque<QByteArray> encoded; // a deque: slots stay put while workers fill them
    std::int64_t written = 0;
    codecs::TOrderedPool pool(settings.Threads, [&](int i) {
        QByteArray bytes = std::move(encoded[std::size_t(i)]);
        codecs::WriteWholeFile(ExportFilePath(settings, i), bytes);
        written += bytes.size();
        if (afterFile)
            afterFile(i);
    });
    // The store is asked for the next frames' pixels ahead of the workers that read them.
    constexpr int ReadAhead = 8;
    for (int k = 0; k < ReadAhead - 1; ++k)
        frames.ReadAhead(k);
    for (int i = 0; i < frames.Count(); ++i) {
        frames.ReadAhead(i + ReadAhead - 1);
        encoded.emplace_back();
        QByteArray* slot = &encoded.back();
        pool.Submit([&frames, i, slot, &settings] {
            *slot = codecs::EncodePicture(frames.Picture(i), settings.Format, settings.JpegQuality);
        });
    }
    pool.Wait();
    return written;
}

} // namespace output
