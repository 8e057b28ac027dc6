#pragma once
// A small reserve of frame buffers, allocated and faulted in ahead of time by a worker thread.
//
// A captured frame is several megabytes, and nearly all of the time spent storing it goes to
// the kernel mapping fresh pages while the picture is copied in, not to the copy itself.
// The reserve keeps a few buffers of the shape of the last frame ready (every page already
// written once), so that storing a frame is only a copy into warm memory; each buffer taken
// is replaced in the background. The buffers are ordinary QImages that own their memory, so
// nobody who receives one can tell it from a QImage::copy().
//
// The held buffers are a fixed overhead (Depth frames), not a cost per frame. Whoever asks
// for a copy asks the memory guard first, as for any other allocation: available memory
// already excludes the reserve, so that answer also covers the buffer prepared in its place.

#include <QImage>
#include <QSize>

#include <condition_variable>
#include <deque>
#include <mutex>
#include <thread>

class TFrameReserve {
public:
    explicit TFrameReserve(int depth = 2);
    // Stops the worker and waits for it; a buffer it is preparing is dropped. Copies already
    // handed out stay valid.
    ~TFrameReserve();
    TFrameReserve(const TFrameReserve&) = delete;
    TFrameReserve& operator=(const TFrameReserve&) = delete;

    // A deep copy of the frame, with its pixels, pixel layout and metadata, written into a
    // ready buffer when one of its size and layout is held, otherwise allocated here. Null
    // when the frame is null or the memory could not be allocated. The reserve then prepares
    // buffers of this frame's shape; held buffers of another shape are dropped.
    QImage Copy(const QImage& frame);

    int Depth() const { return FDepth; }
    // Buffers ready for the current shape.
    int Ready() const;
    // Copies served from ready buffers so far.
    int Hits() const;
    // Blocks until the worker has nothing left to prepare (the reserve is full, or an
    // allocation failed).
    void WaitUntilIdle();

private:
    void Run();
    // The worker's next job, under the lock: false when there is none.
    bool Wanted() const;

    const int FDepth;
    mutable std::mutex FMutex;
    std::condition_variable FWake; // to the worker: a buffer was taken, the shape changed, stop
    std::condition_variable FIdle; // from the worker: nothing left to do
    QSize FSize;
    QImage::Format FFormat = QImage::Format_Invalid;
    std::deque<QImage> FReady;
    bool FBusy = false;   // the worker is preparing a buffer
    bool FFailed = false; // the last preparation failed; retried after the next Copy
    bool FStop = false;
    int FHits = 0;
    std::thread FThread; // started by the first Copy
};
