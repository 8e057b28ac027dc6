#pragma once
// Runs independent jobs on worker threads and reports them finished in the order in which
// they were submitted, on the submitting thread.

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <exception>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

namespace codecs {

// The number of workers for a thread setting: 0 or less means all cores.
int WorkerCount(int threads);

class TOrderedPool {
public:
    // threads as for WorkerCount(); with 1 every job runs inside Submit() on the calling
    // thread. OnDone(i) runs on the calling thread, for i = 0, 1, 2, ... in order, inside
    // Submit() or Wait(), once job i and all before it have finished.
    explicit TOrderedPool(int threads, std::function<void(int)> onDone = {});
    // Drops jobs not yet started and waits for the running ones; never throws.
    ~TOrderedPool();
    TOrderedPool(const TOrderedPool&) = delete;
    TOrderedPool& operator=(const TOrderedPool&) = delete;

    // Queues a job. While too many jobs (twice the workers) are finished-but-unreported or
    // unfinished, waits, reporting the ones that finish. An exception thrown by a job is
    // rethrown here or in Wait() when that job's turn to be reported comes; jobs after it are
    // then never reported.
    void Submit(std::function<void()> job);
    // Waits for every submitted job, reporting each in order.
    void Wait();
    int Workers() const { return FWorkers; }

private:
    void WorkerLoop();
    // Reports finished jobs in order; with block, waits until at most limit remain pending.
    void Drain(std::int64_t limit);

    int FWorkers;
    std::function<void(int)> FOnDone;
    std::vector<std::thread> FThreads;
    std::mutex FMutex;
    std::condition_variable FWork, FFinished;
    std::deque<std::pair<std::int64_t, std::function<void()>>> FQueue;
    std::vector<char> FDone;                 // per job: finished
    std::vector<std::exception_ptr> FErrors; // per job: what it threw
    std::int64_t FSubmitted = 0;
    std::int64_t FReported = 0;
    bool FStop = false;
};

} // namespace codecs
