#pragma once
// TShownPicture: the picture now on display, kept twice: the decoded frame at full size (by
// reference, converted only when grabbed) and a copy already scaled to the preview's
// letter-box, so that painting never scales a full-size frame.
//
// Threads: the player thread puts pictures in (Show); the GUI thread paints the scaled copy,
// changes the preview's size and grabs the full-size frame (converted by TFullPicture, as
// every grab and capture is). One lock guards the frame, the copy and the size; a new picture
// is scaled outside it, a grab converts outside it.

#include "codecs/ffmpeg_handles.h"
#include "common/kw_stream.h"
#include "video/full_picture.h"

#include <QImage>
#include <QSize>
#include <QString>

#include <cstdint>
#include <mutex>

namespace fcvideo {

class TShownPicture {
public:
    // Width / height of the picture as shown (sample aspect ratio applied); set once, before
    // the first picture.
    void SetAspect(double aspect) { FAspect = aspect; }
    double Aspect() const { return FAspect; }

    // Player thread: puts the frame (its pts the media time) on display.
    void Show(TFramePtr frame);
    // GUI thread: the preview's size in device pixels; the picture is scaled anew.
    void SetArea(QSize size);
    // The scaled copy (null before the first picture).
    QImage Picture() const;
    // Media time of the picture on display; -1 before the first.
    std::int64_t TimeUs() const;
    // GUI thread: the full-size picture as a BMP file (24-bit DIB, rows bottom-up) at the
    // stream's position, which then goes back to 0; false before the first picture.
    // false, with the cause in reason when given, before the first picture or when the
    // picture cannot be converted.
    bool Grab(kw::TMemoryStream& stream, QString* reason = nullptr);

private:
    QSize ScaledSize(QSize area) const;
    static QImage Scale(TSwsPtr& sws, const AVFrame* f, QSize size);

    double FAspect = 0;
    mutable std::mutex FMutex;
    TFramePtr FFrame;
    QImage FPicture;
    QSize FArea;
    TSwsPtr FShowSws;            // player thread
    TSwsPtr FResizeSws;          // GUI thread, under the lock
    TFullPicture FGrabConverter; // GUI thread
};

} // namespace fcvideo
