#pragma once
// Owning handles for FFmpeg's objects: each frees its object the way FFmpeg asks. Used by the
// player, the animation writer and the tests' video maker; a handle belongs to the thread
// that holds it.

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libswresample/swresample.h>
#include <libswscale/swscale.h>
}

#include <memory>

namespace fcvideo {

// A file opened for reading.
struct TInputCloser {
    void operator()(AVFormatContext* c) const { avformat_close_input(&c); }
};
// A file being written: its output is closed (when the container has one), then the context.
struct TOutputCloser {
    void operator()(AVFormatContext* c) const {
        if (c->pb && !(c->oformat->flags & AVFMT_NOFILE))
            avio_closep(&c->pb);
        avformat_free_context(c);
    }
};
struct TCodecCloser {
    void operator()(AVCodecContext* c) const { avcodec_free_context(&c); }
};
struct TPacketCloser {
    void operator()(AVPacket* p) const { av_packet_free(&p); }
};
struct TFrameCloser {
    void operator()(AVFrame* f) const { av_frame_free(&f); }
};
struct TSwsCloser {
    void operator()(SwsContext* c) const { sws_freeContext(c); }
};
struct TSwrCloser {
    void operator()(SwrContext* c) const { swr_free(&c); }
};

using TInputPtr = std::unique_ptr<AVFormatContext, TInputCloser>;
using TOutputPtr = std::unique_ptr<AVFormatContext, TOutputCloser>;
using TCodecPtr = std::unique_ptr<AVCodecContext, TCodecCloser>;
using TPacketPtr = std::unique_ptr<AVPacket, TPacketCloser>;
using TFramePtr = std::unique_ptr<AVFrame, TFrameCloser>;
using TSwsPtr = std::unique_ptr<SwsContext, TSwsCloser>;
using TSwrPtr = std::unique_ptr<SwrContext, TSwrCloser>;

} // namespace fcvideo
