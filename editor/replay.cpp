#include "editor/replay.h"

#include "codecs/ordered_pool.h"
#include "common/kw_dialogs.h"
#include "common/kw_memory.h"
#include "frames/frame_store.h"
#include "frames/thumbnails.h"

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

// Scratch pictures per worker: a job's result stays in its scratch picture until the GUI
// thread has stored it, and the pool lets at most twice the workers be under way or waiting
// to be stored, plus the one being queued.
int ScratchCount(int workers) {
    return workers > 1 ? 2 * workers + 2 : 1;
}

// One action on every frame.
void RunStep(TThumbnails& list, const TReplayStep& step, const TReplayProgress& progress,
             int threads) {
    const int count = list.Count();
    if (progress.ActionBegins)
        progress.ActionBegins(count);
    const int workers = codecs::WorkerCount(threads);
    const int scratches = ScratchCount(workers);
    // Declared before the pool, so that it outlives every job the pool may still be running
    // when an error ends the action.
    std::vector<QImage> scratch(static_cast<std::size_t>(scratches));
    codecs::TOrderedPool pool(workers, [&](int i) {
        if (!list.ReplaceFramePicture(i, scratch[std::size_t(i % scratches)]))
            throw EReplayRefused(QStringLiteral("The frame store is full: frame %1 and the frames "
                                                "after it did not receive all of the editing "
                                                "actions. Please export or delete some frames "
                                                "first.")
                                     .arg(i));
        if (progress.FrameDone)
            progress.FrameDone(i);
    });
    // Each frame is read on the worker that works on it; its job holds the frame as the
    // previous action left it only until the job is done.
    for (int i = 0; i < count; ++i) {
        QImage* out = &scratch[std::size_t(i % scratches)];
        pool.Submit([&step, frame = list.Snapshot(i), out] { step.Apply(frame.Picture(0), *out); });
    }
    pool.Wait();
}

} // namespace

qint64 ReplayExtraBytes(const std::vector<QSize>& sizes, const std::vector<QImage::Format>& formats,
                        const std::vector<TReplayStep>& steps) {
    std::vector<QSize> now = sizes;
    qint64 current = 0;
    for (std::size_t i = 0; i < sizes.size(); ++i)
        current += StoredBytes(sizes[i], formats[i]);
    qint64 peak = current;
    for (const TReplayStep& step : steps) {
        qint64 during = 0;
        for (std::size_t i = 0; i < now.size(); ++i) {
            const QSize next = step.ResultSize(now[i]);
            const QImage::Format format = ResultFormat(formats[i]);
            during += std::max(StoredBytes(now[i], format), StoredBytes(next, format));
            now[i] = next;
        }
        peak = std::max(peak, during);
    }
    return peak - current;
}

QString ReplayMemoryText() {
    return QStringLiteral("There is not enough memory to repeat the editing actions on every "
                          "frame. Please close other programs and try again.");
}

QString ReplayStoreText() {
    return QStringLiteral("The frame store has no room for the frames as the editing actions "
                          "make them. Please export or delete some frames first.");
}

void ReplayActions(TThumbnails& list, const std::vector<TEditAction>& actions,
                   const TReplayProgress& progress, int threads) {
    // Every file is read (and every text measured) before any frame changes.
    std::vector<TReplayStep> steps;
    steps.reserve(actions.size());
    for (const TEditAction& action : actions)
        steps.emplace_back(action);

    const int count = list.Count();
    const TFrameSnapshot frames = list.Snapshot(TFrameChoice::All);
    std::vector<QSize> sizes;
    std::vector<QImage::Format> formats;
    for (int i = 0; i < count; ++i) {
        sizes.push_back(frames.Size(i));
        formats.push_back(frames.Format(i));
    }
    // The working pictures: the scratch pictures, each as large as the largest result.
    qint64 largest = 0;
    std::vector<QSize> now = sizes;
    for (const TReplayStep& step : steps)
        for (int i = 0; i < count; ++i) {
            now[std::size_t(i)] = step.ResultSize(now[std::size_t(i)]);
            largest = std::max(largest, kw::FrameBytes(now[std::size_t(i)],
                                                       ResultFormat(formats[std::size_t(i)])));
        }
    if (!kw::RoomForFrame(largest * ScratchCount(codecs::WorkerCount(threads))))
        throw EReplayRefused(ReplayMemoryText());
    const kw::TDiskSpace space = kw::Desktop().DiskSpace(list.Store().Folder());
    if (!StoreAllows(ReplayExtraBytes(sizes, formats, steps), space.Free, space.Total))
        throw EReplayRefused(ReplayStoreText());

    for (const TReplayStep& step : steps)
        RunStep(list, step, progress, threads);
}
