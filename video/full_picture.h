#pragma once
// TFullPicture: turns a decoded picture into the full-size 24-bit RGB picture
// (QImage::Format_RGB888) that every grab and every capture hands out, one way for all, so
// that a frame captured at a time has exactly the pixels a grab of the player's picture at
// that time has: the same converter, the same colour matrix (the stream's declaration; HD
// pictures without one: BT.709), nearest pixels and no scaling.
//
// One object per thread: it keeps the converter for the next picture of the same kind.

#include "codecs/ffmpeg_handles.h"

#include <QImage>
#include <QString>

namespace fcvideo {

class TFullPicture {
public:
    // A null picture, with the cause in reason when given, when the picture has no size or
    // no converter takes its pixel format. The rows of the result are padded: the converter
    // may write a few bytes past the end of a row.
    QImage Convert(const AVFrame& frame, QString* reason = nullptr);

private:
    TSwsPtr FSws;
};

} // namespace fcvideo
