#pragma once
// The replay: the edit script's active actions repeated on every frame of the list, action by
// action in the order they were made, each on frames 0 to Count - 1 before the next. Crop and
// resize work in absolute pixels, the text watermark is placed from each frame's own size, the
// image watermark is read and scaled once per action and blended at its absolute place.
//
// Everything that can refuse is settled before the first frame changes: every picture file
// the actions name is read, the frame store is asked for the room the frames will take at
// their largest (a 200 % resize quadruples them), and the memory for the working pictures is
// checked. So a missing file, a full store or too little memory leaves every frame as it was,
// and the user can try again without the frames carrying the actions twice.
//
// Threads: within an action the frames are worked on by a pool of worker threads, while the
// GUI thread reads each frame's picture from the list, hands it to a worker, and stores the
// results back in frame order (the list is touched by the GUI thread only). A worker only
// reads its frame and writes its own scratch picture; the fonts and files are prepared before
// any worker starts. Each frame's result depends on that frame alone, so any number of threads
// gives the same bytes as one.

#include "common/kw_guard.h"
#include "editor/edit_actions.h"

#include <QImage>
#include <QSize>

#include <functional>
#include <memory>
#include <vector>

class TThumbnails;

// Too little room for the replay: in memory or in the frame store before it started, or in the
// store for a frame on the way.
class EReplayRefused : public kw::EFcError {
public:
    using kw::EFcError::EFcError;
};

// One action made ready for every frame: the text's coverage drawn, the watermark's file read
// and scaled. Apply may then run on several threads at once.
class TReplayStep {
public:
    // Throws kw::EFcError with the reading error when a watermark's file cannot be read.
    explicit TReplayStep(const TEditAction& action);
    ~TReplayStep();
    TReplayStep(TReplayStep&&) noexcept;

    // The size a frame of that size has after the action.
    QSize ResultSize(QSize frame) const;
    // The frame with the action applied, in the frame's own layout, written into out (whose
    // memory is reused when it already has the result's size and layout).
    void Apply(const QImage& frame, QImage& out) const;

private:
    struct TData;
    std::unique_ptr<TData> FData;
};

struct TReplayProgress {
    // An action begins on this many frames.
    std::function<void(int frames)> ActionBegins;
    // The frame at this position holds the action's result.
    std::function<void(int frame)> FrameDone;
};

// The bytes the stored frames will take beyond what they take now, at the replay's fullest
// moment: while an action runs, a frame may hold its old and its new picture at once.
qint64 ReplayExtraBytes(const std::vector<QSize>& sizes, const std::vector<QImage::Format>& formats,
                        const std::vector<TReplayStep>& steps);

// Replays the actions on every frame of the list. threads as for the ordered pool (0 or less:
// every core). Throws kw::EFcError when a file cannot be read and EReplayRefused when the
// memory or the frame store has too little room, with no frame changed; EReplayRefused also
// when the store refuses a frame on the way, the frames before it keeping what was done to
// them.
void ReplayActions(TThumbnails& list, const std::vector<TEditAction>& actions,
                   const TReplayProgress& progress, int threads = 0);

// What the user is told when the working pictures do not fit into memory, or the frames into
// the store.
QString ReplayMemoryText();
QString ReplayStoreText();
