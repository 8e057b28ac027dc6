#include "video/media_timeline.h"

namespace fcvideo {

void TTimeline::Reset(std::int64_t origin) {
    *this = TTimeline();
    FOrigin = origin;
}

TTimeline::TPlace TTimeline::Place(std::int64_t fileTime, std::int64_t step) {
    const std::int64_t next = FLastTime == NoTime ? FOrigin : FLastTime + step;
    if (fileTime == NoTime) {
        // Nothing to go by: one step on; the last file time stays the reference.
        FLastTime = next;
        return {next, false};
    }
    if (FLastFile != NoTime && !Follows(FLastFile, fileTime)) {
        if (FSuspectFile == NoTime || !Follows(FSuspectFile, fileTime)) {
            FSuspectFile = fileTime;
            FSuspectOffset = next - fileTime;
            FLastTime = next;
            return {next, true};
        }
        // The item before really started a new clock: go on from there.
        FOffset = FSuspectOffset;
    }
    FSuspectFile = NoTime;
    FLastFile = fileTime;
    FLastTime = fileTime + FOffset;
    return {FLastTime, false};
}

} // namespace fcvideo
