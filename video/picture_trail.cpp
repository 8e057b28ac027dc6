#include "video/picture_trail.h"

namespace fcvideo {

std::int64_t TPictureTrail::BytesOf(const AVFrame& picture) {
    std::int64_t bytes = 0;
    for (const AVBufferRef* buf : picture.buf)
        if (buf)
            bytes += std::int64_t(buf->size);
    return bytes;
}

void TPictureTrail::Clear() {
    FPictures.clear();
    FShown = -1;
    FBytes = 0;
}

void TPictureTrail::DropOldest() {
    FBytes -= BytesOf(*FPictures.front());
    FPictures.pop_front();
    --FShown;
}

void TPictureTrail::Append(const AVFrame& picture) {
    TFramePtr ref(av_frame_clone(&picture));
    if (!ref) {
        Clear(); // a gap would follow: start again with the next picture
        return;
    }
    const std::int64_t bytes = BytesOf(*ref);
    // Room is made from the oldest end; the budget is asked only for growth.
    while (!FPictures.empty() &&
           (int(FPictures.size()) >= MaxPictures || FBytes + bytes > MaxBytes))
        DropOldest();
    if (!FPictures.empty() && FRoom && !FRoom(bytes))
        DropOldest();
    FPictures.push_back(std::move(ref));
    FBytes += bytes;
    FShown = int(FPictures.size()) - 1;
}

const AVFrame* TPictureTrail::Shown() const {
    return FShown >= 0 && FShown < int(FPictures.size()) ? FPictures[size_t(FShown)].get()
                                                         : nullptr;
}

const AVFrame* TPictureTrail::Previous() const {
    return FShown > 0 ? FPictures[size_t(FShown - 1)].get() : nullptr;
}

const AVFrame* TPictureTrail::Next() const {
    return FShown >= 0 && FShown + 1 < int(FPictures.size()) ? FPictures[size_t(FShown + 1)].get()
                                                             : nullptr;
}

bool TPictureTrail::Back() {
    if (FShown <= 0)
        return false;
    --FShown;
    return true;
}

bool TPictureTrail::Forward() {
    if (AtEnd())
        return false;
    ++FShown;
    return true;
}

} // namespace fcvideo
