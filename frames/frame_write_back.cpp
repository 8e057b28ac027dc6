#include "frames/frame_write_back.h"

#include "common/kw_memory.h"

#include <chrono>

#include <fcntl.h>

namespace {

// Written frames whose write-out may run before the oldest is waited for.
constexpr qint64 InFlightBytes = qint64(64) << 20;
// Recent writes left in the page cache: half of the memory (2 GiB when it is unknown).
qint64 CachedWritesLimit() {
    const qint64 total = kw::SystemTotalMemory();
    return total > 0 ? total / 2 : qint64(2) << 30;
}
constexpr auto RoundEvery = std::chrono::milliseconds(250);

} // namespace

TWriteBack::TWriteBack(int fd, std::function<void()> giveBack)
    : FFd(fd), FGiveBack(std::move(giveBack)) {
    FThread = std::thread([this] { Run(); });
}

TWriteBack::~TWriteBack() {
    {
        std::lock_guard lock(FMutex);
        FStop = true;
    }
    FWake.notify_all();
    FThread.join();
}

void TWriteBack::Written(qint64 offset, qint64 length) {
    {
        std::lock_guard lock(FMutex);
        FFresh.emplace_back(offset, length);
    }
    FWake.notify_one();
}

void TWriteBack::WaitUntilIdle(bool drop) {
    std::unique_lock lock(FMutex);
    const quint64 ticket = ++FRequested;
    if (drop)
        FDropAll = true;
    FWake.notify_one();
    FIdle.wait(lock, [&] { return FSettled >= ticket || FStop; });
}

void TWriteBack::Run() {
    const int fd = FFd;
    const qint64 cachedLimit = CachedWritesLimit();
    std::deque<TRange> inFlight; // written out, not yet waited for
    std::deque<TRange> cached;   // on disk, left in the page cache
    qint64 inFlightBytes = 0, cachedBytes = 0;
    std::unique_lock lock(FMutex);
    while (!FStop) {
        // Woken by a write or a request, and at least every round: writes that paused are
        // settled, and the blocks of freed slots given back, within a round.
        FWake.wait_for(lock, RoundEvery,
                       [this] { return FStop || FSettled < FRequested || !FFresh.empty(); });
        // The store is going and its file with it: nothing left is worth waiting for.
        if (FStop)
            break;
        // Everything asked for before this point is done by the end of this round.
        const quint64 ticket = FRequested;
        const bool dropAll = std::exchange(FDropAll, false);
        std::deque<TRange> fresh;
        fresh.swap(FFresh);
        const bool settleAll = FSettled < ticket || fresh.empty();
        lock.unlock();
        for (const TRange& r : fresh) {
            ::sync_file_range(fd, r.first, r.second, SYNC_FILE_RANGE_WRITE);
            inFlight.push_back(r);
            inFlightBytes += r.second;
        }
        // The oldest writes are waited for; a few frames' worth keep going meanwhile, none
        // once the writes pause. What is on disk stays cached up to the limit.
        while (!inFlight.empty() && (settleAll || inFlightBytes > InFlightBytes)) {
            const TRange r = inFlight.front();
            inFlight.pop_front();
            inFlightBytes -= r.second;
            ::sync_file_range(fd, r.first, r.second,
                              SYNC_FILE_RANGE_WAIT_BEFORE | SYNC_FILE_RANGE_WRITE |
                                  SYNC_FILE_RANGE_WAIT_AFTER);
            cached.push_back(r);
            cachedBytes += r.second;
        }
        while (!cached.empty() && (dropAll || cachedBytes > cachedLimit)) {
            const TRange r = cached.front();
            cached.pop_front();
            cachedBytes -= r.second;
            ::posix_fadvise(fd, r.first, r.second, POSIX_FADV_DONTNEED);
        }
        FGiveBack();
        lock.lock();
        if (FSettled < ticket) {
            FSettled = ticket;
            FIdle.notify_all();
        }
    }
    FIdle.notify_all();
}
