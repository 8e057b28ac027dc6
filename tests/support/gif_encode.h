#pragma once
// The animated GIF of the frames with the settings, as the GIF tests make it.

#include "codecs/gif_codec.h"

#include <QByteArray>
#include <QImage>

#include <vector>

namespace fctest {

inline QByteArray EncodeGif(const codecs::TGifSettings& s, const std::vector<QImage>& frames,
                            int threads = 1) {
    codecs::TAnimatedGif gif(s, threads);
    for (const QImage& f : frames)
        gif.AddFrame(f);
    gif.Finish();
    return gif.Bytes();
}

} // namespace fctest
