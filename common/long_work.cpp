// The long-work engine: workers, the queued calls that carry their reports to the GUI thread,
// and the registry that lets the application wait for every worker when it ends.
//
// Every report of a worker is a call queued on one mailbox object that lives on the GUI thread
// for as long as the application does; the calls of one worker therefore arrive in the order it
// made them, and the end comes last. A queued call finds its handle through the state's
// QPointer, which only the GUI thread reads or writes: a handle that is gone, or that started a
// newer work, drops the call.

#include "common/long_work.h"

#include "common/busy_scope.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QPointer>
#include <QProgressBar>
#include <QThread>
#include <QTimer>

#include <algorithm>
#include <condition_variable>
#include <mutex>
#include <thread>

namespace kw {

namespace {

// Posts a worker may have waiting for the GUI thread before Post blocks.
constexpr int MaxPendingPosts = 64;

// The receiver of every queued call; made on the GUI thread by the first handle.
QObject* Mailbox() {
    static QPointer<QObject> mailbox;
    if (!mailbox) {
        mailbox = new QObject(QCoreApplication::instance());
        mailbox->setObjectName(QStringLiteral("kw::LongWorkMailbox"));
    }
    return mailbox;
}

// Workers still running, for FinishLongWork.
struct TRegistry {
    std::mutex Mutex;
    std::condition_variable Idle;
    std::vector<std::weak_ptr<TWorkState>> Running;
    int Count = 0;
};

TRegistry& Registry() {
    static TRegistry registry;
    return registry;
}

} // namespace

struct TWorkState {
    std::atomic<bool> Cancel{false};
    std::atomic<int> Latest{0};
    std::atomic<bool> ProgressPending{false};
    QObject* Receiver = nullptr; // the mailbox, set before the worker starts
    QPointer<TLongWork> Handle;  // GUI thread only

    // Posts queued but not yet run; guarded by Mutex, Drained wakes a blocked Post.
    std::mutex Mutex;
    std::condition_variable Drained;
    int Pending = 0;

    void RequestCancel() {
        Cancel.store(true);
        std::lock_guard lock(Mutex);
        Drained.notify_all();
    }

    // Queues f on the GUI thread; f runs only while the handle still reports on this state.
    void Queue(std::function<void(TLongWork&)> f, bool counted) {
        std::shared_ptr<TWorkState> self = Self.lock();
        QMetaObject::invokeMethod(
            Receiver,
            [self, f = std::move(f), counted] {
                if (counted) {
                    std::lock_guard lock(self->Mutex);
                    --self->Pending;
                    self->Drained.notify_all();
                }
                TLongWork* handle = self->Handle.data();
                if (handle && handle->FState == self)
                    f(*handle);
            },
            Qt::QueuedConnection);
    }

    std::weak_ptr<TWorkState> Self;
};

ECancelled::ECancelled() : EFcError(QStringLiteral("Cancelled")) {}

TJob::TJob(std::shared_ptr<TWorkState> state) : FState(std::move(state)) {}

bool TJob::Cancelled() const {
    return FState->Cancel.load(std::memory_order_relaxed);
}

void TJob::CheckCancel() const {
    if (Cancelled())
        throw ECancelled();
}

const std::atomic<bool>& TJob::CancelFlag() const {
    return FState->Cancel;
}

void TJob::Progress(int position) {
    FState->Latest.store(position, std::memory_order_relaxed);
    if (FState->ProgressPending.exchange(true))
        return;
    std::shared_ptr<TWorkState> state = FState;
    FState->Queue(
        [state](TLongWork& handle) {
            state->ProgressPending.store(false);
            emit handle.Progress(state->Latest.load(std::memory_order_relaxed));
        },
        false);
}

void TJob::Post(std::function<void()> f) {
    {
        std::unique_lock lock(FState->Mutex);
        FState->Drained.wait(
            lock, [&] { return FState->Pending < MaxPendingPosts || FState->Cancel.load(); });
        ++FState->Pending;
    }
    FState->Queue([f = std::move(f)](TLongWork&) { f(); }, true);
}

TLongWork::TLongWork(QObject* parent) : QObject(parent) {
    Mailbox();
}

TLongWork::~TLongWork() {
    if (FState)
        FState->RequestCancel();
}

void TLongWork::Drop() {
    if (FState) {
        FState->RequestCancel();
        FState.reset();
    }
    FBusy.reset();
}

void TLongWork::Start(std::function<void(TJob&)> work, std::optional<TBusySpec> busy) {
    Drop();
    FError = nullptr;

    auto state = std::make_shared<TWorkState>();
    state->Self = state;
    state->Receiver = Mailbox();
    state->Handle = this;
    FState = state;
    if (busy) {
        FBusy = std::make_unique<TBusyScope>(*busy);
        if (QProgressBar* bar = busy->Bar) {
            QPointer<QProgressBar> guarded(bar);
            connect(this, &TLongWork::Progress, FBusy.get(), [guarded](int position) {
                if (guarded)
                    guarded->setValue(std::clamp(position, guarded->minimum(), guarded->maximum()));
            });
        }
    }

    TRegistry& registry = Registry();
    {
        std::lock_guard lock(registry.Mutex);
        std::erase_if(registry.Running, [](const auto& w) { return w.expired(); });
        registry.Running.push_back(state);
        ++registry.Count;
    }
    std::thread([state, work = std::move(work)]() mutable {
        TWorkOutcome outcome = TWorkOutcome::Done;
        std::exception_ptr error;
        try {
            TJob job(state);
            work(job);
        } catch (const ECancelled&) {
            outcome = TWorkOutcome::Cancelled;
        } catch (...) {
            outcome = TWorkOutcome::Failed;
            error = std::current_exception();
        }
        // What the work captured goes here, on the worker, not on the GUI thread.
        work = nullptr;
        TWorkState* raw = state.get();
        state->Queue(
            [raw, outcome, error](TLongWork& handle) { handle.Deliver(raw, outcome, error); },
            false);
        state.reset();
        TRegistry& registry = Registry();
        std::lock_guard lock(registry.Mutex);
        --registry.Count;
        registry.Idle.notify_all();
    }).detach();
}

void TLongWork::Deliver(TWorkState* state, TWorkOutcome outcome, std::exception_ptr error) {
    if (FState.get() != state)
        return;
    FState.reset();
    FError = error;
    FBusy.reset(); // the window is restored before anyone hears of the end
    emit Ended(outcome);
}

void TLongWork::Cancel() {
    if (FState)
        FState->RequestCancel();
}

bool TLongWork::CancelRequested() const {
    return FState && FState->Cancel.load();
}

void TLongWork::ShowError() const {
    if (FError)
        Guarded([&] { std::rethrow_exception(FError); });
}

bool TLongWork::WaitForEnd(int timeoutMs) {
    if (!FState)
        return true;
    QEventLoop loop;
    QTimer timer;
    timer.setSingleShot(true);
    connect(&timer, &QTimer::timeout, &loop, &QEventLoop::quit);
    connect(this, &TLongWork::Ended, &loop, &QEventLoop::quit);
    timer.start(timeoutMs);
    loop.exec();
    return !FState;
}

void FinishLongWork() {
    TRegistry& registry = Registry();
    std::unique_lock lock(registry.Mutex);
    for (const auto& weak : registry.Running)
        if (std::shared_ptr<TWorkState> state = weak.lock())
            state->RequestCancel();
    registry.Idle.wait(lock, [&] { return registry.Count == 0; });
    registry.Running.clear();
}

} // namespace kw
