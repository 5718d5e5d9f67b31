// Reading any container through FFmpeg's libraries (see media/av_io.h).
#include <algorithm>
#include <cmath>
#include <cstring>
#include <iterator>
#include <vector>

#include "av_common.h"

extern "C" {
#include <libavutil/cpu.h>
#include <libavutil/display.h>
}
#include "media/av_io.h"
#include "media/limits.h"
#include "media/y4m.h"
#include "media/yuv_rgb.h"

namespace media {

namespace {

// The 8-bit planar format a decoded picture is unpacked from, for its
// chroma layout and alpha; AV_PIX_FMT_RGBA for RGB and palette pictures.
AVPixelFormat unpackFormat(AVPixelFormat source, Chroma &layout, bool &alpha, bool &rgb)
{
    const AVPixFmtDescriptor *d = av_pix_fmt_desc_get(source);
    alpha = d && (d->flags & AV_PIX_FMT_FLAG_ALPHA);
    rgb = d && (d->flags & (AV_PIX_FMT_FLAG_RGB | AV_PIX_FMT_FLAG_PAL));
    if (!d || rgb) {
        layout = Chroma::C444;
        return AV_PIX_FMT_RGBA;
    }
    if (d->nb_components >= 3 && d->log2_chroma_w == 1 && d->log2_chroma_h == 1) layout = Chroma::C420;
    else if (d->nb_components >= 3 && d->log2_chroma_w == 1 && d->log2_chroma_h == 0) layout = Chroma::C422;
    else layout = Chroma::C444;
    switch (layout) {
    case Chroma::C420: return alpha ? AV_PIX_FMT_YUVA420P : AV_PIX_FMT_YUV420P;
    case Chroma::C422: return alpha ? AV_PIX_FMT_YUVA422P : AV_PIX_FMT_YUV422P;
    default: return alpha ? AV_PIX_FMT_YUVA444P : AV_PIX_FMT_YUV444P;
    }
}

// Full-range twins share the layout of the plain formats: their values are
// taken as they stand (the range is carried as a trait, not converted).
AVPixelFormat plainTwin(AVPixelFormat f)
{
    switch (f) {
    case AV_PIX_FMT_YUVJ420P: return AV_PIX_FMT_YUV420P;
    case AV_PIX_FMT_YUVJ422P: return AV_PIX_FMT_YUV422P;
    case AV_PIX_FMT_YUVJ444P: return AV_PIX_FMT_YUV444P;
    default: return f;
    }
}

Interlace interlaceOf(AVFieldOrder order)
{
    // TB and BT are read by their first letter, as FFmpeg's own programs
    // write and read them (its command line marks top-field-first video TB).
    switch (order) {
    case AV_FIELD_TT:
    case AV_FIELD_TB: return Interlace::TopFirst;
    case AV_FIELD_BB:
    case AV_FIELD_BT: return Interlace::BottomFirst;
    default: return Interlace::Progressive;
    }
}

// What the pictures held by a decoder's frame threads may take in all.
constexpr int64_t FRAME_THREAD_BYTES = int64_t(48) << 20;

// Where each frame of the stream is, found by one pass over its packets
// (no decoding): the presentation times of all frames in order, so that
// frame n is the one whose time is times[n], and the key frames to start
// decoding at.
struct FrameIndex {
    struct Key {
        int frame = 0;          // its number in presentation order
        int64_t pts = 0, dts = 0;
    };
    std::vector<int64_t> times;
    std::vector<Key> keys;      // in presentation order
    bool usable = false;        // every frame has a time of its own
};

} // namespace

struct AvReader::State {
    std::string path;
    av::InputPtr format;
    av::CodecPtr decoder;
    av::PacketPtr packet;
    av::FramePtr decoded;
    av::ScalerPtr scaler;
    int stream = -1;
    bool flushing = false;     // the demuxer has ended; the decoder is being drained
    bool ended = false;
    bool havePending = false;  // `decoded` holds the next frame already
    int nextIndex = 0;
    int count = -1;
    int width = 0, height = 0;
    Chroma chroma = Chroma::C420;
    VideoTraits traits;
    std::string codecName;
    std::vector<uint8_t> planes;   // 8-bit planes in YUV4MPEG2 order
    std::vector<uint8_t> converted;
    // Seeking: the index (built at the first jump or count), and while a
    // jump decodes forward, the time of the frame it is after. Pictures
    // before it that nothing refers to are not decoded at all.
    FrameIndex index;
    bool indexed = false;
    int64_t skipBefore = AV_NOPTS_VALUE;
    bool moved = false;   // a jump failed part way: the decoder is elsewhere
    bool intraOnly = false;   // every picture stands alone

    void close()
    {
        scaler.reset();
        decoded.reset();
        packet.reset();
        decoder.reset();
        format.reset();
        flushing = ended = havePending = false;
        nextIndex = 0;
    }
    std::string where(int index) const { return path + ": frame " + std::to_string(index) + ": "; }

    bool openStreams(std::string &error)
    {
        close();
        av::quietLibraries();
        av::takeLibraryMessage();
        int rc = av::openInput(path, format);
        if (rc < 0) {
            error = path + ": cannot open: " + av::describe(rc);
            return false;
        }
        rc = avformat_find_stream_info(format.get(), nullptr);
        if (rc < 0) {
            error = path + ": cannot read: " + av::describe(rc);
            return false;
        }
        stream = -1;
        for (unsigned i = 0; i < format->nb_streams; ++i) {
            const AVStream *st = format->streams[i];
            if (st->codecpar->codec_type == AVMEDIA_TYPE_VIDEO && !(st->disposition & AV_DISPOSITION_ATTACHED_PIC)) {
                stream = int(i);
                break;
            }
        }
        if (stream < 0) {
            error = path + ": has no video stream";
            return false;
        }
        const AVCodecParameters *par = format->streams[stream]->codecpar;
        codecName = avcodec_get_name(par->codec_id);
        if (par->codec_id == AV_CODEC_ID_NONE && par->codec_tag) {
            char tag[AV_FOURCC_MAX_STRING_SIZE] = {};
            codecName = av_fourcc_make_string(tag, par->codec_tag);
        }
        const AVCodec *codec = avcodec_find_decoder(par->codec_id);
        if (!codec) {
            error = path + ": unsupported video codec '" + codecName + "' (no decoder for it)";
            return false;
        }
        if (std::string fault = checkPictureSize(par->width, par->height); !fault.empty()) {
            error = path + ": " + fault;
            return false;
        }
        decoder.reset(avcodec_alloc_context3(codec));
        packet.reset(av_packet_alloc());
        decoded.reset(av_frame_alloc());
        if (!decoder || !packet || !decoded) {
            error = path + ": out of memory";
            return false;
        }
        rc = avcodec_parameters_to_context(decoder.get(), par);
        if (rc < 0) {
            error = path + ": cannot set up the '" + codecName + "' decoder: " + av::describe(rc);
            return false;
        }
        // The library's own number of threads, by slices where the codec can.
        // Frame threads each hold pictures of their own: they are used only
        // for codecs with groups of pictures (where a jump decodes many
        // frames at once) and only where a few pictures are small beside
        // the run's own frames.
        decoder->thread_count = 0;
        if (codec->capabilities & AV_CODEC_CAP_SLICE_THREADS) decoder->thread_type = FF_THREAD_SLICE;
        const int threads = std::clamp(av_cpu_count(), 1, 4);
        const int64_t pictureBytes = int64_t(par->width) * par->height * 4;
        const AVCodecDescriptor *kind = avcodec_descriptor_get(par->codec_id);
        intraOnly = kind && (kind->props & AV_CODEC_PROP_INTRA_ONLY);
        if ((codec->capabilities & AV_CODEC_CAP_FRAME_THREADS) && !intraOnly && threads > 1 &&
            pictureBytes * (threads + 1) <= FRAME_THREAD_BYTES) {
            decoder->thread_type = FF_THREAD_FRAME;
            decoder->thread_count = threads;
        }
        rc = avcodec_open2(decoder.get(), codec, nullptr);
        if (rc < 0) {
            error = path + ": cannot decode '" + codecName + "': " + av::describe(rc);
            return false;
        }
        return true;
    }

    // The next picture into `decoded`: 1, 0 at the end, -1 with `error`.
    int decodeNext(std::string &error)
    {
        if (havePending) {
            havePending = false;
            return 1;
        }
        if (ended) return 0;
        for (;;) {
            int rc = avcodec_receive_frame(decoder.get(), decoded.get());
            if (rc == 0) return 1;
            if (rc == AVERROR_EOF) {
                ended = true;
                return 0;
            }
            if (rc != AVERROR(EAGAIN)) {
                error = where(nextIndex) + "cannot decode: " + av::describe(rc);
                return -1;
            }
            if (flushing) {
                ended = true;
                return 0;
            }
            rc = av_read_frame(format.get(), packet.get());
            if (rc == AVERROR_EOF) {
                flushing = true;
                rc = avcodec_send_packet(decoder.get(), nullptr);
                if (rc < 0 && rc != AVERROR_EOF) {
                    error = where(nextIndex) + "cannot finish decoding: " + av::describe(rc);
                    return -1;
                }
                continue;
            }
            if (rc < 0) {
                error = where(nextIndex) + "cannot read: " + av::describe(rc);
                return -1;
            }
            if (packet->stream_index != stream) {
                av_packet_unref(packet.get());
                continue;
            }
            if (skipBefore != AV_NOPTS_VALUE)
                decoder->skip_frame =
                    packet->pts != AV_NOPTS_VALUE && packet->pts < skipBefore ? AVDISCARD_NONREF : AVDISCARD_DEFAULT;
            rc = avcodec_send_packet(decoder.get(), packet.get());
            av_packet_unref(packet.get());
            if (rc < 0 && rc != AVERROR(EAGAIN)) {
                error = where(nextIndex) + "damaged video data: " + av::describe(rc);
                return -1;
            }
        }
    }

    // One pass over the packets on a second reader: the frame times and
    // key frames, and the number of frames.
    bool buildIndex(std::string &error)
    {
        if (indexed) return true;
        av::InputPtr counter;
        int rc = av::openInput(path, counter);
        if (rc < 0) {
            error = path + ": cannot open: " + av::describe(rc);
            return false;
        }
        av::PacketPtr p(av_packet_alloc());
        if (!p) {
            error = path + ": out of memory";
            return false;
        }
        FrameIndex built;
        bool timed = true;
        while ((rc = av_read_frame(counter.get(), p.get())) >= 0) {
            if (p->stream_index == stream && !(p->flags & AV_PKT_FLAG_DISCARD)) {
                if (p->pts == AV_NOPTS_VALUE) timed = false;
                built.times.push_back(p->pts);
                if (p->flags & AV_PKT_FLAG_KEY) built.keys.push_back({0, p->pts, p->dts});
            }
            av_packet_unref(p.get());
            if (built.times.size() > size_t(INT32_MAX / 2)) {
                error = path + ": too many frames";
                return false;
            }
        }
        if (rc != AVERROR_EOF) {
            error = path + ": cannot count its frames: " + av::describe(rc);
            return false;
        }
        if (timed) {
            std::sort(built.times.begin(), built.times.end());
            built.usable = std::adjacent_find(built.times.begin(), built.times.end()) == built.times.end();
            for (FrameIndex::Key &k : built.keys)
                k.frame = int(std::lower_bound(built.times.begin(), built.times.end(), k.pts) - built.times.begin());
            std::sort(built.keys.begin(), built.keys.end(),
                      [](const FrameIndex::Key &a, const FrameIndex::Key &b) { return a.frame < b.frame; });
        }
        index = std::move(built);
        indexed = true;
        return true;
    }

    // Decodes from key frame `key` up to frame `target`, leaving it pending:
    // 1, 0 when that key frame does not lead to it, -1 with `error`.
    int jumpFrom(const FrameIndex::Key &key, int target, std::string &error)
    {
        avcodec_flush_buffers(decoder.get());
        flushing = ended = havePending = false;
        const int64_t at = key.dts != AV_NOPTS_VALUE ? std::min(key.dts, key.pts) : key.pts;
        if (av_seek_frame(format.get(), stream, at, AVSEEK_FLAG_BACKWARD) < 0) return 0;
        // The demuxer may land before the key frame: drop what comes first.
        for (;;) {
            int rc = av_read_frame(format.get(), packet.get());
            if (rc < 0) return 0;
            const bool found = packet->stream_index == stream && packet->pts == key.pts;
            const bool past = packet->stream_index == stream && (packet->flags & AV_PKT_FLAG_KEY) &&
                              packet->pts != AV_NOPTS_VALUE && packet->pts > key.pts;
            if (found) break;
            av_packet_unref(packet.get());
            if (past) return 0;
        }
        int rc = avcodec_send_packet(decoder.get(), packet.get());
        av_packet_unref(packet.get());
        if (rc < 0 && rc != AVERROR(EAGAIN)) return 0;
        return decodeUntil(target, error);
    }

    // Decodes on until frame `target` (known by its time) is pending: 1,
    // 0 when a later frame comes first, -1 with `error`.
    int decodeUntil(int target, std::string &error)
    {
        const int64_t wanted = index.times[size_t(target)];
        if (decoder->codec_id == AV_CODEC_ID_H264 || decoder->codec_id == AV_CODEC_ID_HEVC) skipBefore = wanted;
        int got = 0;
        for (;;) {
            got = decodeNext(error);
            if (got <= 0) break;
            if (decoded->pts == AV_NOPTS_VALUE || decoded->pts > wanted) {
                got = 0;
                break;
            }
            if (decoded->pts == wanted) break;
        }
        skipBefore = AV_NOPTS_VALUE;
        decoder->skip_frame = AVDISCARD_DEFAULT;
        if (got <= 0) return got;
        havePending = true;
        nextIndex = target;
        return 1;
    }

    // Makes `target` the next frame: by decoding on when it is near ahead,
    // else from the nearest key frame before it, else from the start.
    bool seek(int target, std::string &error)
    {
        if (target == nextIndex) return true;
        if (!buildIndex(error)) return false;
        const FrameIndex &ix = index;
        if (ix.usable && target >= 0 && size_t(target) < ix.times.size()) {
            auto after = std::upper_bound(ix.keys.begin(), ix.keys.end(), target,
                                          [](int t, const FrameIndex::Key &k) { return t < k.frame; });
            // Ahead within the same group of pictures: decode on.
            const bool onward = target > nextIndex && (after == ix.keys.begin() || std::prev(after)->frame <= nextIndex);
            moved = true;
            if (onward) {
                const int got = decodeUntil(target, error);
                if (got < 0) return false;
                if (got > 0) {
                    moved = false;
                    return true;
                }
            } else {
                // Each key frame before it in turn (an open group's first
                // pictures need the key frame before theirs).
                for (auto k = after; k != ix.keys.begin();) {
                    --k;
                    const int got = jumpFrom(*k, target, error);
                    if (got < 0) return false;
                    if (got > 0) {
                    moved = false;
                    return true;
                }
                }
            }
        }
        if (target < nextIndex || moved) {
            moved = false;
            const int w = width, h = height;
            if (!openStreams(error)) return false;
            width = w;
            height = h;
        }
        while (nextIndex < target) {
            const int got = decodeNext(error);
            if (got <= 0) return false;
            ++nextIndex;
        }
        return true;
    }

    // The next frame's picture into `decoded`, for convert().
    bool take(std::string &error)
    {
        if (decodeNext(error) <= 0) return false;
        // Frames are numbered as they come from the start; a stream whose
        // pictures do not come one for each time in the index is not
        // jumped in.
        if (index.usable &&
            (size_t(nextIndex) >= index.times.size() || decoded->pts != index.times[size_t(nextIndex)]))
            index.usable = false;
        return true;
    }

    // The pending picture into rows of width x height (a frame's, or two
    // fields').
    bool convert(const FrameRows &rows, std::string &error)
    {
        if (decoded->width != width || decoded->height != height) {
            error = where(nextIndex) + "picture size changed from " + std::to_string(width) + "x" +
                    std::to_string(height) + " to " + std::to_string(decoded->width) + "x" +
                    std::to_string(decoded->height);
            return false;
        }
        const AVPixelFormat source = AVPixelFormat(decoded->format);
        Chroma layout;
        bool alpha = false, rgb = false;
        const AVPixelFormat target = unpackFormat(source, layout, alpha, rgb);
        const uint8_t *const *data = decoded->data;
        const int *linesize = decoded->linesize;
        uint8_t *convertedData[4] = {};
        int convertedLines[4] = {};
        if (plainTwin(source) != target) {
            SwsContext *sws = av::cachedScaler(scaler, width, height, source, target);
            int bytes = av_image_get_buffer_size(target, width, height, 1);
            if (!sws || bytes < 0) {
                error = where(nextIndex) + "cannot convert pictures of " +
                        std::string(av_get_pix_fmt_name(source) ? av_get_pix_fmt_name(source) : "?");
                return false;
            }
            converted.resize(size_t(bytes));
            av_image_fill_arrays(convertedData, convertedLines, converted.data(), target, width, height, 1);
            if (sws_scale(sws, decoded->data, decoded->linesize, 0, height, convertedData, convertedLines) <= 0) {
                error = where(nextIndex) + "cannot convert its picture";
                return false;
            }
            data = convertedData;
            linesize = convertedLines;
        }
        if (rgb) {
            for (int y = 0; y < height; ++y) {
                const uint8_t *row = data[0] + size_t(y) * linesize[0];
                Pixel *out = rows.row(y);
                for (int x = 0; x < width; ++x)
                    out[x] = rgbToPixel(row[4 * x], row[4 * x + 1], row[4 * x + 2], alpha ? row[4 * x + 3] : 255);
            }
            return true;
        }
        // Into YUV4MPEG2's plane order, then its exact unpacking rules.
        Y4mHeader h;
        h.width = width;
        h.height = height;
        h.chroma = layout;
        const int cw = layout == Chroma::C444 ? width : (width + 1) / 2;
        const int ch = layout == Chroma::C420 ? (height + 1) / 2 : height;
        // A converted picture is already in that order (planes packed one
        // after the other, alpha last).
        const uint8_t *ordered = data == decoded->data ? nullptr : converted.data();
        if (!ordered) {
            planes.resize(y4mFrameBytes(h));
            uint8_t *to = planes.data();
            for (int p = 0; p < 3; ++p) {
                const int pw = p == 0 ? width : cw, ph = p == 0 ? height : ch;
                for (int y = 0; y < ph; ++y, to += pw) std::memcpy(to, data[p] + size_t(y) * linesize[p], size_t(pw));
            }
            ordered = planes.data();
        }
        const bool fieldChroma =
            layout == Chroma::C420 && (av::isInterlaced(decoded.get()) || traits.interlace != Interlace::Progressive);
        decodeY4mRows(h, ordered, rows, fieldChroma);
        if (alpha) {
            for (int y = 0; y < height; ++y) {
                const uint8_t *row = data[3] + size_t(y) * linesize[3];
                Pixel *out = rows.row(y);
                for (int x = 0; x < width; ++x) out[x].alpha = row[x];
            }
        }
        return true;
    }
};

AvReader::AvReader() : s_(std::make_unique<State>()) {}
AvReader::~AvReader() = default;

bool AvReader::open(const std::string &path, std::string &error)
{
    s_->path = path;
    if (!s_->openStreams(error)) return false;
    const AVStream *st = s_->format->streams[s_->stream];
    const AVCodecParameters *par = st->codecpar;
    s_->width = par->width;
    s_->height = par->height;
    // The first picture settles the pixel format and the field order.
    int got = s_->decodeNext(error);
    if (got < 0) return false;
    if (got == 0) {
        error = path + ": no picture could be decoded from its video stream";
        return false;
    }
    s_->havePending = true;
    const AVFrame *f = s_->decoded.get();
    s_->width = f->width;
    s_->height = f->height;
    if (std::string fault = checkPictureSize(s_->width, s_->height); !fault.empty()) {
        error = path + ": " + fault;
        return false;
    }
    bool alpha = false, rgb = false;
    unpackFormat(AVPixelFormat(f->format), s_->chroma, alpha, rgb);
    if (alpha) s_->chroma = Chroma::C444alpha;
    VideoTraits &t = s_->traits;
    AVRational rate = st->avg_frame_rate.num > 0 && st->avg_frame_rate.den > 0 ? st->avg_frame_rate : st->r_frame_rate;
    if (rate.num > 0 && rate.den > 0) {
        t.rateNum = rate.num;
        t.rateDen = rate.den;
    }
    AVRational sar = st->sample_aspect_ratio.num > 0 ? st->sample_aspect_ratio : par->sample_aspect_ratio;
    if (sar.num > 0 && sar.den > 0) {
        t.aspectNum = sar.num;
        t.aspectDen = sar.den;
    }
    // A display rotation is only reported: the pictures are used as stored.
    size_t matrixSize = 0;
#if LIBAVCODEC_VERSION_INT >= AV_VERSION_INT(60, 29, 100)
    const AVPacketSideData *side =
        av_packet_side_data_get(par->coded_side_data, par->nb_coded_side_data, AV_PKT_DATA_DISPLAYMATRIX);
    const uint8_t *matrix = side ? side->data : nullptr;
    if (side) matrixSize = side->size;
#else
    const uint8_t *matrix = av_stream_get_side_data(st, AV_PKT_DATA_DISPLAYMATRIX, &matrixSize);
#endif
    if (matrix && matrixSize >= 9 * sizeof(int32_t)) {
        const double degrees = av_display_rotation_get(reinterpret_cast<const int32_t *>(matrix));
        if (std::isfinite(degrees)) {
            int rounded = int(std::lround(degrees)) % 360;
            if (rounded < 0) rounded += 360;
            t.rotation = rounded;
        }
    }
    for (unsigned i = 0; i < s_->format->nb_streams; ++i) {
        const AVCodecParameters *a = s_->format->streams[i]->codecpar;
        if (a->codec_type == AVMEDIA_TYPE_AUDIO)
            t.audioStreams.push_back(std::to_string(i) + " (" + avcodec_get_name(a->codec_id) + ")");
    }
    if (av::isInterlaced(f)) t.interlace = av::topFieldFirst(f) ? Interlace::TopFirst : Interlace::BottomFirst;
    else t.interlace = interlaceOf(par->field_order);
    if (rgb) {
        // Converted by the BT.601 limited-range rule.
        t.colorRange = AVCOL_RANGE_MPEG;
        t.colorSpace = AVCOL_SPC_SMPTE170M;
    } else {
        t.colorRange = f->color_range != AVCOL_RANGE_UNSPECIFIED ? f->color_range : par->color_range;
        t.colorSpace = f->colorspace != AVCOL_SPC_UNSPECIFIED ? f->colorspace : par->color_space;
        t.colorPrimaries = f->color_primaries != AVCOL_PRI_UNSPECIFIED ? f->color_primaries : par->color_primaries;
        t.colorTransfer = f->color_trc != AVCOL_TRC_UNSPECIFIED ? f->color_trc : par->color_trc;
        if (AVPixelFormat(f->format) == AV_PIX_FMT_YUVJ420P || AVPixelFormat(f->format) == AV_PIX_FMT_YUVJ422P ||
            AVPixelFormat(f->format) == AV_PIX_FMT_YUVJ444P)
            t.colorRange = AVCOL_RANGE_JPEG;
    }
    return true;
}

int AvReader::width() const { return s_->width; }
int AvReader::height() const { return s_->height; }
Chroma AvReader::chroma() const { return s_->chroma; }
const VideoTraits &AvReader::traits() const { return s_->traits; }
const std::string &AvReader::codecName() const { return s_->codecName; }
int AvReader::nextIndex() const { return s_->nextIndex; }
bool AvReader::intraOnly() const { return s_->intraOnly; }

int AvReader::frameCount(std::string &error)
{
    error.clear();
    if (s_->count >= 0) return s_->count;
    const AVStream *st = s_->format->streams[s_->stream];
    // QuickTime and MP4 list every sample in their tables.
    if (std::strstr(s_->format->iformat->name, "mov") && st->nb_frames > 0 && st->nb_frames < INT32_MAX) {
        s_->count = int(st->nb_frames);
        return s_->count;
    }
    // Else count the packets of the stream, without decoding them.
    if (!s_->buildIndex(error)) return -1;
    s_->count = int(s_->index.times.size());
    return s_->count;
}

bool AvReader::next(VideoFrame &frame, std::string &error)
{
    error.clear();
    if (!s_->take(error)) return false;
    frame.width = s_->width;
    frame.height = s_->height;
    frame.pixels.resize(size_t(s_->width) * size_t(s_->height));
    if (!s_->convert(frameRows(frame), error)) return false;
    ++s_->nextIndex;
    return true;
}

bool AvReader::nextFields(std::vector<Pixel> &top, std::vector<Pixel> &bottom, std::string &error)
{
    error.clear();
    if (!s_->take(error)) return false;
    const size_t fieldPixels = size_t(s_->width) * size_t(s_->height / 2);
    top.resize(fieldPixels);
    bottom.resize(fieldPixels);
    if (!s_->convert(fieldRows(top.data(), bottom.data(), s_->width), error)) return false;
    ++s_->nextIndex;
    return true;
}

bool AvReader::seek(int index, std::string &error)
{
    error.clear();
    if (index < 0) return false;
    return s_->seek(index, error);
}

} // namespace media
