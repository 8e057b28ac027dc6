#include "video/range_capture.h"

#include "common/kw_guard.h"
#include "common/kw_memory.h"
#include "video/filter_graph.h"
#include "video/full_picture.h"
#include "video/media_source.h"
#include "video/scene_detector.h"

#include <algorithm>
#include <limits>

namespace fcvideo {

namespace {

constexpr std::int64_t NoEnd = std::numeric_limits<std::int64_t>::max() / 4;
// A video that does not tell its length is read at most this far for every N ms.
constexpr std::int64_t UnknownLengthUs = std::int64_t(24) * 3600 * 1000000;

// From and To in microseconds, clamped into the video (its last picture ends at durationUs;
// 0: not known).
std::pair<std::int64_t, std::int64_t> RangeUs(const TRangeSettings& s, std::int64_t durationUs) {
    const std::int64_t from = std::max<std::int64_t>(0, s.FromMs) * 1000;
    std::int64_t to = s.ToMs >= 0 ? s.ToMs * 1000 : NoEnd;
    if (durationUs > 0)
        to = std::min(to, durationUs - 1);
    return {from, to};
}

class TCapture {
public:
    TCapture(TMediaSource& source, const TRangeCallbacks& callbacks)
        : FSource(source), FCallbacks(callbacks) {}

    bool Cancelled() const { return FCallbacks.Cancelled && FCallbacks.Cancelled(); }

    // The picture for time target to the callback; false when the capture is to stop.
    bool Hand(const AVFrame& picture, std::int64_t target) {
        const QSize size(picture.width, picture.height);
        if (FCallbacks.Room && !FCallbacks.Room(kw::FrameBytes(size, QImage::Format_RGB888))) {
            Result.NoMemory = true;
            return false;
        }
        QString cause;
        QImage full = FConverter.Convert(picture, &cause);
        if (full.isNull())
            throw kw::EFcError(QStringLiteral("A frame of the video cannot be converted"), cause);
        if (FCallbacks.Frame && !FCallbacks.Frame({std::move(full), picture.pts, target})) {
            Result.Refused = true;
            return false;
        }
        ++Result.Frames;
        return true;
    }

    void Progress(int done, int total) const {
        if (FCallbacks.Progress)
            FCallbacks.Progress(done, total);
    }

    void AtTimes(const std::vector<std::int64_t>& targets, bool lastAtTheEnd) {
        const auto cancelled = [this] { return Cancelled(); };
        const int total = int(targets.size());
        for (int i = 0; i < total; ++i) {
            if (Cancelled()) {
                Result.Cancelled = true;
                return;
            }
            const std::int64_t t = targets[size_t(i)];
            // Forward on from the current picture unless a key picture on the way lets the
            // file be entered nearer to t.
            const std::int64_t current = FSource.CurrentTimeUs();
            const bool enter = current < 0 || t < current || FSource.KeyPictureBefore(t);
            TMediaSource::TSeekResult r =
                enter ? FSource.Seek(t, cancelled) : FSource.Advance(t, cancelled);
            if (!r.Done) {
                Result.Cancelled = true;
                return;
            }
            // Past the last picture: every N ms has no more times in the video, while N
            // evenly spaced frames end with the last picture.
            if (!r.Picture || (r.PastEnd && !lastAtTheEnd))
                return;
            if (!Hand(*r.Picture, t))
                return;
            Progress(i + 1, total);
        }
    }

    void AtShots(std::int64_t from, std::int64_t to, const TRangeSettings& s) {
        const auto cancelled = [this] { return Cancelled(); };
        TMediaSource::TSeekResult r = FSource.Seek(from, cancelled);
        if (!r.Done) {
            Result.Cancelled = true;
            return;
        }
        if (!r.Picture || r.PastEnd)
            return;
        TSceneDetector detector;
        detector.Score(*r.Picture);
        std::int64_t last = r.Picture->pts;
        if (!Hand(*r.Picture, last))
            return;
        const double threshold = TSceneDetector::ThresholdFor(s.Sensitivity);
        const std::int64_t gap = std::max(0, s.MinGapMs) * std::int64_t(1000);
        const std::int64_t span =
            std::max<std::int64_t>(1, std::min(to, FSource.PicturesEndUs()) - from);
        int permille = 0;
        for (;;) {
            if (!FSource.DecodeNext(cancelled)) {
                Result.Cancelled = Cancelled();
                return;
            }
            TFramePtr picture = FSource.TakeNext();
            const std::int64_t t = picture->pts;
            if (t > to)
                return;
            const double score = detector.Score(*picture);
            if (score >= threshold && t - last >= gap) {
                last = t;
                if (!Hand(*picture, t))
                    return;
            }
            const int now = int(std::clamp<std::int64_t>((t - from) * 1000 / span, 0, 1000));
            if (now != permille)
                Progress(permille = now, 1000);
        }
    }

    TRangeResult Result;

private:
    TMediaSource& FSource;
    const TRangeCallbacks& FCallbacks;
    TFullPicture FConverter;
};

} // namespace

std::vector<std::int64_t> RangeTargets(const TRangeSettings& s, std::int64_t durationUs) {
    auto [from, to] = RangeUs(s, durationUs);
    if (to == NoEnd) {
        if (s.Mode == TRangeMode::Count)
            return {}; // evenly spaced needs an end
        to = UnknownLengthUs;
    }
    std::vector<std::int64_t> targets;
    if (from > to)
        return targets;
    if (s.Mode == TRangeMode::Every) {
        const std::int64_t step = std::max(1, s.EveryMs) * std::int64_t(1000);
        for (std::int64_t t = from; t <= to; t += step)
            targets.push_back(t);
    } else if (s.Mode == TRangeMode::Count && s.Count > 0) {
        const int n = s.Count;
        for (int i = 0; i < n; ++i)
            targets.push_back(n == 1 ? from : from + (to - from) * i / (n - 1));
    }
    return targets;
}

TRangeResult CaptureRange(const QString& path, const TRangeSettings& settings,
                          const TRangeCallbacks& callbacks) {
    // A source of its own, without sound; its decoder runs on FFmpeg's frame threads.
    TMediaSource source;
    int rc = source.Open(path, false);
    if (rc < 0)
        throw EDirectShowException(rc);
    TFramePtr first;
    rc = source.Start(first);
    if (rc < 0)
        throw EDirectShowException(rc);
    if (!source.HasVideo())
        throw EDirectShowException(AVERROR_STREAM_NOT_FOUND);
    TCapture capture(source, callbacks);
    if (settings.Mode == TRangeMode::Scenes) {
        const auto [from, to] = RangeUs(settings, source.PicturesEndUs());
        if (from <= to)
            capture.AtShots(from, to, settings);
    } else {
        capture.AtTimes(RangeTargets(settings, source.PicturesEndUs()),
                        settings.Mode == TRangeMode::Count);
    }
    return capture.Result;
}

} // namespace fcvideo
