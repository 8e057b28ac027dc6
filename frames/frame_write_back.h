#pragma once
// The frame store's write-back thread: it starts writing each frame out as soon as it is
// written into the page cache, waits for the oldest writes once a few frames' worth are under
// way (so that dirty pages never pile up), leaves what is on disk in the page cache up to half
// of the memory, and after every round lets the store give the blocks of freed slots back.
// Written and WaitUntilIdle may be called on any thread; the ranges it works on are handed
// over under its own mutex, the file's ranges are touched only with sync_file_range and
// posix_fadvise, which are harmless on a range freed or reused meanwhile.

#include <QtGlobal>

#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <thread>
#include <utility>

class TWriteBack {
public:
    // fd: the cache file; giveBack runs on the thread after every round.
    TWriteBack(int fd, std::function<void()> giveBack);
    ~TWriteBack();
    TWriteBack(const TWriteBack&) = delete;
    TWriteBack& operator=(const TWriteBack&) = delete;

    // The range was just written.
    void Written(qint64 offset, qint64 length);
    // Returns once a round that settled everything written so far is over; with drop, that
    // round also dropped every settled range from the page cache.
    void WaitUntilIdle(bool drop = false);

private:
    using TRange = std::pair<qint64, qint64>;
    void Run();

    int FFd;
    std::function<void()> FGiveBack;
    std::mutex FMutex;
    std::condition_variable FWake; // to the thread: written ranges, settle all, stop
    std::condition_variable FIdle; // from the thread: a round that settled everything is over
    std::deque<TRange> FFresh;
    quint64 FRequested = 0; // rounds that settle everything asked for, and done
    quint64 FSettled = 0;
    bool FDropAll = false; // the next round drops everything settled from the page cache
    bool FStop = false;
    std::thread FThread;
};
