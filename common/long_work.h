#pragma once
// Long work: an output, the replay of the edit script, a size estimate, a capture at decode
// speed. The work runs on a worker thread of its own; what it reports (progress, results, its
// end) reaches the GUI thread only as queued calls, in the order the worker sent them, so the
// window repaints and answers while the work runs and the GUI thread never waits for it.
//
// Threads. A TLongWork lives on the GUI thread and is the window's handle on one work at a
// time. The work function runs on a worker and sees only its TJob: the cancel flag, progress
// and Post. It must not touch widgets or anything else the GUI thread owns; it takes copies
// (pictures are shared, read-only QImages) when it starts. The worker and the handle share one
// state object, kept alive by both; the handle may be destroyed while its work still runs (a
// window that closes, an estimate that a newer one replaces): the work is then cancelled, runs
// to its end on its own, and what it still posts is dropped. FinishLongWork, called when the
// application ends, cancels every work still running and waits for it.

#include "common/busy_scope.h"
#include "common/kw_guard.h"

#include <QObject>

#include <atomic>
#include <exception>
#include <functional>
#include <memory>
#include <optional>

namespace kw {

// Thrown by TJob::CheckCancel once the work was cancelled; the work ends as Cancelled.
class ECancelled : public EFcError {
public:
    ECancelled();
};

enum class TWorkOutcome {
    Done,      // the work returned
    Cancelled, // the work ended by ECancelled after Cancel
    Failed     // the work threw something else: TLongWork::Error()
};

struct TWorkState;

// What the work sees of its handle, on the worker thread.
class TJob {
public:
    explicit TJob(std::shared_ptr<TWorkState> state);

    bool Cancelled() const;
    // Throws ECancelled once Cancel was called.
    void CheckCancel() const;
    // The flag itself, for lower layers that take a flag rather than a TJob.
    const std::atomic<bool>& CancelFlag() const;
    // The work got this far (for the progress bar). Cheap: however often it is called, the
    // GUI thread gets at most one pending call, with the latest position.
    void Progress(int position);
    // Runs f on the GUI thread, after everything posted before it and before the work's end.
    // For results the GUI thread must take over (a frame into the list). Blocks while many
    // posts wait for the GUI thread, so that a fast worker cannot pile them up without end;
    // it returns at once after Cancel (f is still delivered). f is dropped when the handle
    // is gone by the time it would run.
    void Post(std::function<void()> f);

private:
    std::shared_ptr<TWorkState> FState;
};

class TLongWork : public QObject {
    Q_OBJECT
public:
    explicit TLongWork(QObject* parent = nullptr);
    // Cancels a running work without waiting for it.
    ~TLongWork() override;
    TLongWork(const TLongWork&) = delete;
    TLongWork& operator=(const TLongWork&) = delete;

    // Starts the work on a worker. With a busy description, the window is kept busy (TBusyScope)
    // from now until the work has ended and everything it posted was delivered, and its
    // progress bar follows Progress; the scope is released just before Ended. A previous
    // work of this handle is cancelled first and forgotten (its posts and its end are
    // dropped, its busy scope released), so a handle always reports on the newest work.
    void Start(std::function<void(TJob&)> work, std::optional<TBusySpec> busy = std::nullopt);
    // Asks the work to stop; it ends as soon as it next checks (within a fraction of a
    // second for every work of the program). Nothing happens when no work runs.
    void Cancel();
    // Cancels the running work and forgets it at once, as a newer Start would: what it still
    // posts and its end are dropped (no Ended), and its busy scope is released. For a work
    // whose result is no longer wanted (an estimate for settings that changed meanwhile).
    void Drop();
    // From Start until Ended was emitted.
    bool Running() const { return bool(FState); }
    // True once Cancel was called on the running work.
    bool CancelRequested() const;
    // The exception of the last work that failed.
    std::exception_ptr Error() const { return FError; }
    // Rethrows Error() inside kw::Guarded, which shows it in the default error box.
    void ShowError() const;

    // For tests: runs the event loop until the work has ended (true) or the time is up.
    bool WaitForEnd(int timeoutMs = 60000);

signals:
    void Progress(int position);
    void Ended(kw::TWorkOutcome outcome);

private:
    friend struct TWorkState;
    void Deliver(TWorkState* state, TWorkOutcome outcome, std::exception_ptr error);

    std::shared_ptr<TWorkState> FState;
    std::unique_ptr<TBusyScope> FBusy;
    std::exception_ptr FError;
};

// Cancels every work still running and waits until each has ended. Called once when the
// application ends, after its event loop.
void FinishLongWork();

} // namespace kw
