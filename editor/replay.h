#pragma once
// The replay: the edit script's active actions repeated on every frame of the list, action by
// action in the order they were made, each on frames 0 to Count - 1 before the next. Crop and
// resize work in absolute pixels, the text watermark is placed from each frame's own size, the
// image watermark is read and scaled once per action and blended at its absolute place.
//
// The frames of the list are not touched while the replay runs: every result goes into the
// frame store as a frame of its own, the next action reads it from there, and only when the
// last action is done on the last frame does the list take the results, all at once
// (TThumbnails::ReplaceStoredFrames). So a Cancel, a full store on the way, a file that cannot
// be read or too little memory leaves every frame as it was before the replay began, and the
// user can try again without the frames carrying the actions twice. Before the first frame is
// read, every picture file the actions name is read, the frame store is asked for the room
// the frames will take at the fullest moment (the frames as they were, held until the end,
// plus an action's results and the ones it reads), and the memory for the working pictures
// is checked.
//
// Threads: the replay runs on a worker of the long-work engine, never on the GUI thread.
// Within an action the frames are worked on by a pool of worker threads: each reads its
// frame from the store (the next frames read ahead), applies the action and stores the
// result through the store's sink; the replay's thread takes them in frame order, reports
// progress and checks for Cancel. A worker only reads its frame and writes its own picture;
// the fonts and files are prepared before any worker starts. Each frame's result depends on
// that frame alone, so any number of threads gives the same bytes as one.

#include "common/kw_guard.h"
#include "editor/edit_actions.h"
#include "frames/frame_snapshot.h"
#include "frames/frame_store.h"

#include <QImage>
#include <QSize>

#include <atomic>
#include <functional>
#include <memory>
#include <vector>

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

// Called on the replay's thread.
struct TReplayProgress {
    // The frame at this position has the action's result.
    std::function<void(int frame)> FrameDone;
    // Action number `action` (0 for the first) is done on every frame.
    std::function<void(int action)> ActionDone;
};

// The bytes the stored frames will take beyond what they take now, at the replay's fullest
// moment: the frames as they were stay until the end, and while an action runs, a frame may
// hold the result of the action before it and its own at once.
qint64 ReplayExtraBytes(const std::vector<QSize>& sizes, const std::vector<QImage::Format>& formats,
                        const std::vector<TReplayStep>& steps);

// Replays the actions on the frames of the snapshot and returns each frame's result, in the
// snapshot's order, stored through the sink (of the store whose folder is given); the frames
// of the snapshot stay as they are. threads as for the ordered pool (0 or less: every core).
// Throws kw::EFcError when a file cannot be read, EReplayRefused when the memory or the frame
// store has too little room (also for a frame on the way), kw::ECancelled soon after *cancel
// became true; the results stored until then are given back to the store.
std::vector<TStoredFrame> ReplayActions(const TFrameSnapshot& frames, const TFrameSink& sink,
                                        const QString& storeFolder,
                                        const std::vector<TEditAction>& actions,
                                        const TReplayProgress& progress,
                                        const std::atomic<bool>* cancel = nullptr, int threads = 0);

// What the user is told when the working pictures do not fit into memory, or the frames into
// the store.
QString ReplayMemoryText();
QString ReplayStoreText();
