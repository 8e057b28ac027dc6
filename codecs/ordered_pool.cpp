#include "codecs/ordered_pool.h"

#include <algorithm>

namespace codecs {

int WorkerCount(int threads) {
    if (threads > 0)
        return threads;
    return int(std::max(1u, std::thread::hardware_concurrency()));
}

TOrderedPool::TOrderedPool(int threads, std::function<void(int)> onDone)
    : FWorkers(WorkerCount(threads)), FOnDone(std::move(onDone)) {
    if (FWorkers > 1)
        for (int i = 0; i < FWorkers; ++i)
            FThreads.emplace_back([this] { WorkerLoop(); });
}

TOrderedPool::~TOrderedPool() {
    {
        std::lock_guard lock(FMutex);
        FStop = true;
        FQueue.clear();
    }
    FWork.notify_all();
    for (std::thread& t : FThreads)
        t.join();
}

void TOrderedPool::WorkerLoop() {
    std::unique_lock lock(FMutex);
    for (;;) {
        FWork.wait(lock, [this] { return FStop || !FQueue.empty(); });
        if (FStop)
            return;
        auto [index, job] = std::move(FQueue.front());
        FQueue.pop_front();
        lock.unlock();
        std::exception_ptr error;
        try {
            job();
        } catch (...) {
            error = std::current_exception();
        }
        job = nullptr; // release what the job holds before reporting it finished
        lock.lock();
        FErrors[std::size_t(index)] = error;
        FDone[std::size_t(index)] = 1;
        FFinished.notify_all();
    }
}

void TOrderedPool::Drain(std::int64_t limit) {
    for (;;) {
        std::unique_lock lock(FMutex);
        FFinished.wait(
            lock, [&] { return FSubmitted - FReported <= limit || FDone[std::size_t(FReported)]; });
        if (FReported == FSubmitted || !FDone[std::size_t(FReported)])
            return;
        const std::int64_t index = FReported++;
        std::exception_ptr error = FErrors[std::size_t(index)];
        lock.unlock();
        if (error) {
            FReported = FSubmitted; // nothing after a failed job is reported
            std::rethrow_exception(error);
        }
        if (FOnDone)
            FOnDone(int(index));
    }
}

void TOrderedPool::Submit(std::function<void()> job) {
    if (FThreads.empty()) {
        const std::int64_t index = FSubmitted++;
        job();
        ++FReported;
        if (FOnDone)
            FOnDone(int(index));
        return;
    }
    {
        std::lock_guard lock(FMutex);
        FDone.push_back(0);
        FErrors.push_back(nullptr);
        FQueue.emplace_back(FSubmitted++, std::move(job));
    }
    FWork.notify_one();
    Drain(2 * std::int64_t(FWorkers));
}

void TOrderedPool::Wait() {
    if (!FThreads.empty())
        Drain(0);
}

} // namespace codecs
