// Pieces shared by the FFmpeg-library reader and writer.
#pragma once

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/imgutils.h>
#include <libavutil/pixdesc.h>
#include <libswscale/swscale.h>
}

#include <memory>
#include <string>

namespace media::av {

// The libraries' own messages are not printed: the last error-level one
// is kept, to be added to ours ("" when none). Call before any other use.
void quietLibraries();
std::string takeLibraryMessage();

// "Invalid data found when processing input", with the libraries' last
// message after it when it says more.
std::string describe(int averror);

// Owners of the libraries' objects, each freed by the library's own call.
struct InputCloser {
    void operator()(AVFormatContext *c) const { avformat_close_input(&c); }
};
struct CodecFreer {
    void operator()(AVCodecContext *c) const { avcodec_free_context(&c); }
};
struct FrameFreer {
    void operator()(AVFrame *f) const { av_frame_free(&f); }
};
struct PacketFreer {
    void operator()(AVPacket *p) const { av_packet_free(&p); }
};
struct ScalerFreer {
    void operator()(SwsContext *s) const { sws_freeContext(s); }
};
using InputPtr = std::unique_ptr<AVFormatContext, InputCloser>;
using CodecPtr = std::unique_ptr<AVCodecContext, CodecFreer>;
using FramePtr = std::unique_ptr<AVFrame, FrameFreer>;
using PacketPtr = std::unique_ptr<AVPacket, PacketFreer>;
using ScalerPtr = std::unique_ptr<SwsContext, ScalerFreer>;

// Opens `path` for reading into `out`; the libraries' status code.
int openInput(const std::string &path, InputPtr &out);

// A scaler for these sizes and formats, the one held when it fits (as
// sws_getCachedContext); null when none can be made.
SwsContext *cachedScaler(ScalerPtr &held, int width, int height, AVPixelFormat from, AVPixelFormat to);

// The field flags of a picture, through the frame flags where the
// libraries have them (the older members are deprecated there).
inline bool isInterlaced(const AVFrame *f)
{
#ifdef AV_FRAME_FLAG_INTERLACED
    return (f->flags & AV_FRAME_FLAG_INTERLACED) != 0;
#else
    return f->interlaced_frame != 0;
#endif
}
inline bool topFieldFirst(const AVFrame *f)
{
#ifdef AV_FRAME_FLAG_TOP_FIELD_FIRST
    return (f->flags & AV_FRAME_FLAG_TOP_FIELD_FIRST) != 0;
#else
    return f->top_field_first != 0;
#endif
}
inline void setFields(AVFrame *f, bool interlaced, bool topFirst)
{
#ifdef AV_FRAME_FLAG_INTERLACED
    f->flags = (f->flags & ~(AV_FRAME_FLAG_INTERLACED | AV_FRAME_FLAG_TOP_FIELD_FIRST)) |
               (interlaced ? AV_FRAME_FLAG_INTERLACED : 0) | (topFirst ? AV_FRAME_FLAG_TOP_FIELD_FIRST : 0);
#else
    f->interlaced_frame = interlaced;
    f->top_field_first = topFirst;
#endif
}

// The pixel formats an encoder takes, ending in AV_PIX_FMT_NONE; null when
// it does not say.
const AVPixelFormat *encoderFormats(const AVCodec *codec);

} // namespace media::av

namespace media {

// The metadata key under which a chunk's part records its frames.
const char *chunkMetadataKey();

} // namespace media
