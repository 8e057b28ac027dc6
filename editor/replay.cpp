#include "editor/replay.h"

#include "codecs/ordered_pool.h"
#include "common/kw_dialogs.h"
#include "common/kw_memory.h"
#include "common/long_work.h"
#include "frames/frame_store.h"

#include <algorithm>
#include <type_traits>

struct TReplayStep::TData {
    TEditAction Action;
    TTextWMAction::TStamp Text; // a text watermark's coverage and size
    QImage Watermark;           // an image watermark's picture, read and scaled
};

TReplayStep::TReplayStep(const TEditAction& action) : FData(std::make_unique<TData>()) {
    FData->Action = action;
    if (const auto* text = std::get_if<TTextWMAction>(&action))
        FData->Text = text->Prepare();
    else if (const auto* image = std::get_if<TImageWMAction>(&action))
        FData->Watermark = image->LoadWatermark();
}

TReplayStep::~TReplayStep() = default;
TReplayStep::TReplayStep(TReplayStep&&) noexcept = default;

QSize TReplayStep::ResultSize(QSize frame) const {
    if (const auto* crop = std::get_if<TCropAction>(&FData->Action))
        return QSize(crop->Width, crop->Height);
    if (const auto* resize = std::get_if<TResizeAction>(&FData->Action))
        return QSize(resize->Width, resize->Height);
    return frame;
}

void TReplayStep::Apply(const QImage& frame, QImage& out) const {
    std::visit(
        [&](const auto& action) {
            using T = std::decay_t<decltype(action)>;
            if constexpr (std::is_same_v<T, TCropAction> || std::is_same_v<T, TResizeAction>) {
                action.ApplyInto(frame, out);
            } else {
                CopyPictureInto(frame, out);
                if constexpr (std::is_same_v<T, TTextWMAction>)
                    action.Stamp(out, FData->Text);
                else
                    action.Stamp(out, FData->Watermark);
            }
        },
        FData->Action);
}

namespace {

// The bytes the store gives a frame: whole pages.
qint64 StoredBytes(QSize size, QImage::Format format) {
    constexpr qint64 Page = 4096;
    return (kw::FrameBytes(size, format) + Page - 1) / Page * Page;
}

// The layout a frame keeps through the actions.
QImage::Format ResultFormat(QImage::Format format) {
    switch (format) {
    case QImage::Format_RGB888:
    case QImage::Format_RGB32:
    case QImage::Format_ARGB32:
        return format;
    default:
        return QImage::Format_RGB32;
    }
}

// Working pictures per worker for the memory check: a job holds the frame it reads and its
// result until the result is stored, and the pool lets at most twice the workers be under way.
int ScratchCount(int workers) {
    return workers > 1 ? 2 * workers + 2 : 1;
}

// How far ahead of the frame handed to a worker the store is asked to read.
constexpr int ReadAheadFrames = 8;

void CheckCancel(const std::atomic<bool>* cancel) {
    if (cancel && cancel->load(std::memory_order_relaxed))
        throw kw::ECancelled();
}

// One action on every frame: reads the snapshot's frames for the first action (`from` empty)
// and `from` for the others, returns the results. Each entry of `from` is let go as soon as
// its result is in, so that an earlier action's results give their room back while this one
// runs; the snapshot keeps the frames as they were until the end.
std::vector<TStoredFrame> RunStep(const TFrameSnapshot& frames, std::vector<TStoredFrame>& from,
                                  const TReplayStep& step, const TFrameSink& sink,
                                  const TReplayProgress& progress, const std::atomic<bool>* cancel,
                                  int threads) {
    const int count = frames.Count();
    const bool first = from.empty();
    auto read = [&](int i, QImage& into) {
        if (first)
            frames.PictureInto(i, into);
        else
            from[std::size_t(i)].PictureInto(into);
    };
    auto readAhead = [&](int i) {
        if (i >= count)
            return;
        if (first)
            frames.ReadAhead(i);
        else
            from[std::size_t(i)].ReadAhead();
    };
    std::vector<TStoredFrame> results(static_cast<std::size_t>(count));
    codecs::TOrderedPool pool(codecs::WorkerCount(threads), [&](int i) {
        CheckCancel(cancel);
        if (!first)
            from[std::size_t(i)] = TStoredFrame();
        if (progress.FrameDone)
            progress.FrameDone(i);
    });
    for (int k = 0; k < ReadAheadFrames - 1; ++k)
        readAhead(k);
    for (int i = 0; i < count; ++i) {
        CheckCancel(cancel);
        readAhead(i + ReadAheadFrames - 1);
        pool.Submit([&, i] {
            // The frame read and the result's picture are reused by the next frame the same
            // worker takes: no fresh pages to fault in and clear for every frame.
            thread_local QImage in;
            thread_local QImage out;
            read(i, in);
            step.Apply(in, out);
            std::optional<TStoredFrame> stored = sink.Put(out);
            if (!stored)
                throw EReplayRefused(ReplayStoreText());
            results[std::size_t(i)] = std::move(*stored);
        });
    }
    pool.Wait();
    return results;
}

} // namespace

qint64 ReplayExtraBytes(const std::vector<QSize>& sizes, const std::vector<QImage::Format>& formats,
                        const std::vector<TReplayStep>& steps) {
    std::vector<QSize> now = sizes;
    qint64 peak = 0;
    for (std::size_t k = 0; k < steps.size(); ++k) {
        qint64 during = 0;
        for (std::size_t i = 0; i < now.size(); ++i) {
            const QSize next = steps[k].ResultSize(now[i]);
            const QImage::Format format = ResultFormat(formats[i]);
            // The first action reads the frames as they were, which are counted already.
            const qint64 read = k == 0 ? 0 : StoredBytes(now[i], format);
            during += std::max(read, StoredBytes(next, format));
            now[i] = next;
        }
        peak = std::max(peak, during);
    }
    return peak;
}

QString ReplayMemoryText() {
    return QStringLiteral("There is not enough memory to repeat the editing actions on every "
                          "frame. Please close other programs and try again.");
}

QString ReplayStoreText() {
    return QStringLiteral("The frame store has no room for the frames as the editing actions "
                          "make them. Please export or delete some frames first.");
}

std::vector<TStoredFrame> ReplayActions(const TFrameSnapshot& frames, const TFrameSink& sink,
                                        const QString& storeFolder,
                                        const std::vector<TEditAction>& actions,
                                        const TReplayProgress& progress,
                                        const std::atomic<bool>* cancel, int threads) {
    // Every file is read (and every text measured) before any frame is read.
    std::vector<TReplayStep> steps;
    steps.reserve(actions.size());
    for (const TEditAction& action : actions) {
        CheckCancel(cancel);
        steps.emplace_back(action);
    }

    const int count = frames.Count();
    std::vector<QSize> sizes;
    std::vector<QImage::Format> formats;
    for (int i = 0; i < count; ++i) {
        sizes.push_back(frames.Size(i));
        formats.push_back(frames.Format(i));
    }
    // The working pictures: each as large as the largest frame read or result.
    qint64 largest = 0;
    for (int i = 0; i < count; ++i)
        largest = std::max(
            largest, kw::FrameBytes(sizes[std::size_t(i)], ResultFormat(formats[std::size_t(i)])));
    std::vector<QSize> now = sizes;
    for (const TReplayStep& step : steps)
        for (int i = 0; i < count; ++i) {
            now[std::size_t(i)] = step.ResultSize(now[std::size_t(i)]);
            largest = std::max(largest, kw::FrameBytes(now[std::size_t(i)],
                                                       ResultFormat(formats[std::size_t(i)])));
        }
    if (!kw::RoomForFrame(largest * ScratchCount(codecs::WorkerCount(threads))))
        throw EReplayRefused(ReplayMemoryText());
    const kw::TDiskSpace space = kw::Desktop().DiskSpace(storeFolder);
    if (!StoreAllows(ReplayExtraBytes(sizes, formats, steps), space.Free, space.Total))
        throw EReplayRefused(ReplayStoreText());

    std::vector<TStoredFrame> current; // empty: the snapshot's frames
    for (std::size_t k = 0; k < steps.size(); ++k) {
        current = RunStep(frames, current, steps[k], sink, progress, cancel, threads);
        if (progress.ActionDone)
            progress.ActionDone(int(k));
    }
    return current;
}
