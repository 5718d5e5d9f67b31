// Writing any container through FFmpeg's libraries (see media/av_io.h).
#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <vector>

#include "av_common.h"

extern "C" {
#include <libavutil/cpu.h>
}
#include "media/av_io.h"
#include "media/output_file.h"
#include "media/y4m.h"

extern "C" {
#include <libavutil/opt.h>
}

namespace media {

namespace {

std::string lowerExtension(const std::string &path)
{
    size_t slash = path.find_last_of('/');
    size_t dot = path.find_last_of('.');
    if (dot == std::string::npos || (slash != std::string::npos && dot < slash)) return {};
    std::string ext = path.substr(dot + 1);
    for (char &c : ext) c = char(std::tolower(static_cast<unsigned char>(c)));
    return ext;
}

// The 8-bit planar format with the same chroma layout and alpha as `f`.
AVPixelFormat eightBitTwin(AVPixelFormat f, Chroma &layout, bool &alpha)
{
    const AVPixFmtDescriptor *d = av_pix_fmt_desc_get(f);
    alpha = d && (d->flags & AV_PIX_FMT_FLAG_ALPHA);
    if (d && !(d->flags & AV_PIX_FMT_FLAG_RGB) && d->nb_components >= 3 && d->log2_chroma_w == 1)
        layout = d->log2_chroma_h == 1 ? Chroma::C420 : Chroma::C422;
    else
        layout = Chroma::C444;
    switch (layout) {
    case Chroma::C420: return alpha ? AV_PIX_FMT_YUVA420P : AV_PIX_FMT_YUV420P;
    case Chroma::C422: return alpha ? AV_PIX_FMT_YUVA422P : AV_PIX_FMT_YUV422P;
    default: return alpha ? AV_PIX_FMT_YUVA444P : AV_PIX_FMT_YUV444P;
    }
}

bool supports(const AVCodec *codec, AVPixelFormat f)
{
    const AVPixelFormat *formats = av::encoderFormats(codec);
    if (!formats) return true;
    for (const AVPixelFormat *p = formats; *p != AV_PIX_FMT_NONE; ++p)
        if (*p == f) return true;
    return false;
}

int writePacket(void *opaque, uint8_t *buffer, int size)
{
    FILE *file = static_cast<FILE *>(opaque);
    return std::fwrite(buffer, 1, size_t(size), file) == size_t(size) ? size : AVERROR(errno ? errno : EIO);
}

int64_t seekFile(void *opaque, int64_t offset, int whence)
{
    FILE *file = static_cast<FILE *>(opaque);
    if (whence & AVSEEK_SIZE) {
        off_t here = ftello(file);
        if (here < 0 || fseeko(file, 0, SEEK_END) != 0) return -1;
        off_t size = ftello(file);
        fseeko(file, here, SEEK_SET);
        return size;
    }
    whence &= ~AVSEEK_FORCE;
    if (fseeko(file, off_t(offset), whence) != 0) return AVERROR(errno);
    return ftello(file);
}

} // namespace

struct AudioCopy {
    int input = -1;                 // stream index in the source
    AVStream *output = nullptr;
    AVRational timeBase{1, 1};      // the source stream's
    int64_t start = 0;              // the section's start in that time base
    int blockAlign = 0;             // bytes per sample frame of PCM; 0 for coded audio
    int sampleRate = 0;
    bool done = false;
};

// A muxer writing through an I/O context of our own, freed with its buffer.
struct MuxFreer {
    void operator()(AVFormatContext *mux) const
    {
        if (mux->pb) {
            av_freep(&mux->pb->buffer);
            avio_context_free(&mux->pb);
        }
        avformat_free_context(mux);
    }
};
using MuxPtr = std::unique_ptr<AVFormatContext, MuxFreer>;

struct AvWriter::State {
    std::string path;
    AvOutputOptions options;
    OutputFile out;
    const AVOutputFormat *container = nullptr;
    const AVCodec *codec = nullptr;
    AVPixelFormat pixelFormat = AV_PIX_FMT_NONE;
    MuxPtr mux;
    av::CodecPtr encoder;
    AVStream *video = nullptr;
    av::ScalerPtr scaler;
    av::FramePtr picture;
    av::PacketPtr packet;
    bool started = false;
    bool finished = false;
    int64_t written = 0;
    int width = 0, height = 0;
    Chroma layout = Chroma::C420;   // of the 8-bit planes made before the scaler
    bool alphaKept = false;
    std::vector<uint8_t> planes;
    // Audio copied from the source.
    av::InputPtr audioIn;
    av::PacketPtr held;             // read, not yet due
    bool audioEnded = false;
    std::vector<AudioCopy> audio;

    ~State() { release(); }
    void release()
    {
        scaler.reset();
        picture.reset();
        packet.reset();
        held.reset();
        encoder.reset();
        audioIn.reset();
        mux.reset();
        video = nullptr;
    }

    std::string frameWhere() const { return path + ": frame " + std::to_string(written) + ": "; }

    bool openAudio(std::vector<std::string> &notes, std::string &error)
    {
        int rc = av::openInput(options.audioFrom, audioIn);
        if (rc >= 0) rc = avformat_find_stream_info(audioIn.get(), nullptr);
        if (rc < 0) {
            error = options.audioFrom + ": cannot read its audio: " + av::describe(rc);
            return false;
        }
        // The section's start, from the start of the source's video.
        int64_t origin = 0;
        for (unsigned i = 0; i < audioIn->nb_streams; ++i) {
            const AVStream *st = audioIn->streams[i];
            if (st->codecpar->codec_type == AVMEDIA_TYPE_VIDEO && st->start_time != AV_NOPTS_VALUE) {
                origin = av_rescale_q(st->start_time, st->time_base, AV_TIME_BASE_Q);
                break;
            }
        }
        const int64_t sectionStart =
            origin + av_rescale(int64_t(options.audioStartFrame) * options.traits.rateDen, AV_TIME_BASE,
                                options.traits.rateNum);
        for (unsigned i = 0; i < audioIn->nb_streams; ++i) {
            const AVStream *st = audioIn->streams[i];
            if (st->codecpar->codec_type != AVMEDIA_TYPE_AUDIO) continue;
            const char *name = avcodec_get_name(st->codecpar->codec_id);
            if (avformat_query_codec(container, st->codecpar->codec_id, FF_COMPLIANCE_NORMAL) != 1) {
                notes.push_back(path + ": the audio stream " + std::to_string(i) + " (" + name + ") of " +
                                options.audioFrom + " cannot be stored in this container; it is left out");
                continue;
            }
            AudioCopy copy;
            copy.input = int(i);
            copy.output = avformat_new_stream(mux.get(), nullptr);
            if (!copy.output || avcodec_parameters_copy(copy.output->codecpar, st->codecpar) < 0) {
                error = path + ": out of memory";
                return false;
            }
            copy.output->codecpar->codec_tag = 0;
            copy.output->time_base = st->time_base;
            copy.timeBase = st->time_base;
            copy.start = av_rescale_q(sectionStart, AV_TIME_BASE_Q, st->time_base);
            const int bits = av_get_bits_per_sample(st->codecpar->codec_id);
            // PCM: whole samples of every channel (block_align is not always given).
            if (bits > 0 && bits % 8 == 0 && st->codecpar->ch_layout.nb_channels > 0)
                copy.blockAlign = bits / 8 * st->codecpar->ch_layout.nb_channels;
            copy.sampleRate = st->codecpar->sample_rate;
            audio.push_back(copy);
        }
        if (audio.empty()) {
            audioIn.reset();
            return true;
        }
        held.reset(av_packet_alloc());
        if (!held) {
            error = path + ": out of memory";
            return false;
        }
        // Some demuxers place the other streams at or after the time asked
        // for: ask for a little earlier; packets before the start are dropped.
        // Where the demuxer cannot seek, nothing has moved and the audio is
        // read from its start: the packets before the section are dropped
        // either way, so a failed seek costs only time.
        if (sectionStart > 2 * AV_TIME_BASE &&
            av_seek_frame(audioIn.get(), -1, sectionStart - 2 * AV_TIME_BASE, AVSEEK_FLAG_BACKWARD) < 0)
            av::takeLibraryMessage();
        return true;
    }

    AudioCopy *audioOf(int streamIndex)
    {
        for (AudioCopy &a : audio)
            if (a.input == streamIndex) return &a;
        return nullptr;
    }

    // Copies the audio of the section up to `frames` frames from its start:
    // packets that begin inside it, PCM cut to the sample.
    bool pumpAudio(int64_t frames, bool last, std::string &error)
    {
        if (audio.empty()) return true;
        const int64_t endUs = av_rescale(frames * options.traits.rateDen, AV_TIME_BASE, options.traits.rateNum);
        for (;;) {
            if (!held->data && !audioEnded) {
                int rc = av_read_frame(audioIn.get(), held.get());
                if (rc == AVERROR_EOF) audioEnded = true;
                else if (rc < 0) {
                    error = options.audioFrom + ": cannot read its audio: " + av::describe(rc);
                    return false;
                }
            }
            if (!held->data) return true;
            AudioCopy *a = audioOf(held->stream_index);
            if (!a || held->pts == AV_NOPTS_VALUE) {
                av_packet_unref(held.get());
                continue;
            }
            const int64_t end = a->start + av_rescale_q(endUs, AV_TIME_BASE_Q, a->timeBase);
            if (held->pts >= end) return true;   // due later (or never)
            int64_t from = held->pts, to = held->pts + held->duration;
            if (a->blockAlign > 0 && a->sampleRate > 0) {
                // PCM: keep exactly the samples inside [start, end).
                const int64_t samples = held->size / a->blockAlign;
                const AVRational sampleBase{1, a->sampleRate};
                const int64_t first = av_rescale_q(held->pts, a->timeBase, sampleBase);
                const int64_t lo = std::max<int64_t>(0, av_rescale_q(a->start, a->timeBase, sampleBase) - first);
                const int64_t endSample = av_rescale_q(end, a->timeBase, sampleBase);
                // A packet that reaches past the frames written so far waits
                // for the next frames, or is cut at the section's end.
                if (!last && first + samples > endSample) return true;
                const int64_t hi = std::min<int64_t>(samples, endSample - first);
                if (hi <= lo) {
                    av_packet_unref(held.get());
                    continue;
                }
                av::PacketPtr cut(av_packet_alloc());
                if (!cut || av_new_packet(cut.get(), int((hi - lo) * a->blockAlign)) < 0) {
                    error = path + ": out of memory";
                    return false;
                }
                std::memcpy(cut->data, held->data + lo * a->blockAlign, size_t((hi - lo) * a->blockAlign));
                cut->flags = held->flags;
                from = av_rescale_q(first + lo, sampleBase, a->timeBase);
                cut->pts = cut->dts = from - a->start;
                cut->duration = av_rescale_q(hi - lo, sampleBase, a->timeBase);
                cut->stream_index = a->output->index;
                av_packet_unref(held.get());
                av_packet_rescale_ts(cut.get(), a->timeBase, a->output->time_base);
                int rc = av_interleaved_write_frame(mux.get(), cut.get());
                if (rc < 0) {
                    error = path + ": cannot write audio: " + av::describe(rc);
                    return false;
                }
                continue;
            }
            (void)to;
            if (from < a->start) {
                av_packet_unref(held.get());
                continue;
            }
            held->pts -= a->start;
            if (held->dts != AV_NOPTS_VALUE) held->dts -= a->start;
            held->stream_index = a->output->index;
            held->pos = -1;
            av_packet_rescale_ts(held.get(), a->timeBase, a->output->time_base);
            int rc = av_interleaved_write_frame(mux.get(), held.get());   // takes the packet's data
            av_packet_unref(held.get());
            if (rc < 0) {
                error = path + ": cannot write audio: " + av::describe(rc);
                return false;
            }
        }
    }

    bool start(int w, int h, std::string &error)
    {
        width = w;
        height = h;
        const VideoTraits &t = options.traits;
        encoder.reset(avcodec_alloc_context3(codec));
        picture.reset(av_frame_alloc());
        packet.reset(av_packet_alloc());
        if (!encoder || !picture || !packet) {
            error = path + ": out of memory";
            return false;
        }
        encoder->width = w;
        encoder->height = h;
        encoder->pix_fmt = pixelFormat;
        encoder->time_base = AVRational{t.rateDen, t.rateNum};
        encoder->framerate = AVRational{t.rateNum, t.rateDen};
        if (t.aspectNum > 0 && t.aspectDen > 0) encoder->sample_aspect_ratio = AVRational{t.aspectNum, t.aspectDen};
        encoder->color_range = t.colorRange != AVCOL_RANGE_UNSPECIFIED ? AVColorRange(t.colorRange) : AVCOL_RANGE_MPEG;
        encoder->colorspace = t.colorSpace != AVCOL_SPC_UNSPECIFIED ? AVColorSpace(t.colorSpace)
                                                                   : AVColorSpace(defaultColorSpace(w, h));
        encoder->color_primaries = AVColorPrimaries(t.colorPrimaries);
        encoder->color_trc = AVColorTransferCharacteristic(t.colorTransfer);
        if (t.colorPrimaries == AVCOL_PRI_UNSPECIFIED && t.colorTransfer == AVCOL_TRC_UNSPECIFIED) {
            const bool hd = encoder->colorspace == AVCOL_SPC_BT709;
            const bool pal = encoder->colorspace == AVCOL_SPC_BT470BG;
            encoder->color_primaries = hd ? AVCOL_PRI_BT709 : pal ? AVCOL_PRI_BT470BG : AVCOL_PRI_SMPTE170M;
            encoder->color_trc = hd ? AVCOL_TRC_BT709 : pal ? AVCOL_TRC_GAMMA28 : AVCOL_TRC_SMPTE170M;
            if (encoder->colorspace != AVCOL_SPC_BT709 && encoder->colorspace != AVCOL_SPC_BT470BG &&
                encoder->colorspace != AVCOL_SPC_SMPTE170M) {
                encoder->color_primaries = AVCOL_PRI_UNSPECIFIED;
                encoder->color_trc = AVCOL_TRC_UNSPECIFIED;
            }
        }
        const bool interlaced = t.interlace != Interlace::Progressive;
        const bool bottomFirst = t.interlace == Interlace::BottomFirst;
        encoder->field_order = !interlaced ? AV_FIELD_PROGRESSIVE : bottomFirst ? AV_FIELD_BB : AV_FIELD_TT;
        if (interlaced) encoder->flags |= AV_CODEC_FLAG_INTERLACED_DCT | AV_CODEC_FLAG_INTERLACED_ME;
        if (container->flags & AVFMT_GLOBALHEADER) encoder->flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
        // Slice threads each keep work buffers of their own (tens of MB for
        // ProRes 4444 at 1080p): one per processor, not the library's
        // processors + 1. Slices are cut by the picture, not the threads, so
        // the bytes written do not depend on the count.
        encoder->thread_count = 0;
        if (codec->capabilities & AV_CODEC_CAP_SLICE_THREADS) {
            encoder->thread_type = FF_THREAD_SLICE;
            encoder->thread_count = std::clamp(av_cpu_count(), 1, 16);
        }
        if (options.bitrate > 0) encoder->bit_rate = options.bitrate;
        AVDictionary *settings = nullptr;
        int rc = 0;
        if (std::strcmp(codec->name, "prores_ks") == 0)
            rc = av_dict_set(&settings, "profile", pixelFormat == AV_PIX_FMT_YUVA444P10LE ? "4444" : "hq", 0);
        if (rc >= 0 && options.crf >= 0) rc = av_dict_set_int(&settings, "crf", options.crf, 0);
        if (rc >= 0) rc = avcodec_open2(encoder.get(), codec, &settings);
        const bool crfUnused = av_dict_get(settings, "crf", nullptr, 0) != nullptr;
        av_dict_free(&settings);
        if (rc < 0) {
            error = path + ": cannot start the " + codec->name + " encoder: " + av::describe(rc);
            return false;
        }
        if (crfUnused) {
            error = path + ": --crf is not a setting of the " + std::string(codec->name) + " encoder (try --bitrate)";
            return false;
        }
        rc = avcodec_parameters_from_context(video->codecpar, encoder.get());
        if (rc < 0) {
            error = path + ": " + av::describe(rc);
            return false;
        }
        video->time_base = encoder->time_base;
        video->avg_frame_rate = encoder->framerate;
        video->sample_aspect_ratio = encoder->sample_aspect_ratio;
        rc = writeHeader();
        if (rc < 0) {
            error = path + ": cannot write the container's header: " + av::describe(rc);
            return false;
        }
        picture->format = pixelFormat;
        picture->width = w;
        picture->height = h;
        rc = av_frame_get_buffer(picture.get(), 0);
        if (rc < 0) {
            error = path + ": out of memory";
            return false;
        }
        started = true;
        return true;
    }

    bool openFile(std::vector<std::string> &notes, std::string &error);

    // QuickTime and MP4 keep free-form metadata (a chunk's frames) only
    // when asked.
    int writeHeader()
    {
        AVDictionary *flags = nullptr;
        int rc = options.chunkTag.empty() ? 0 : av_dict_set(&flags, "movflags", "use_metadata_tags", 0);
        if (rc >= 0) rc = avformat_write_header(mux.get(), &flags);
        av_dict_free(&flags);
        return rc;
    }

    bool drain(std::string &error)
    {
        for (;;) {
            int rc = avcodec_receive_packet(encoder.get(), packet.get());
            if (rc == AVERROR(EAGAIN) || rc == AVERROR_EOF) return true;
            if (rc < 0) {
                error = frameWhere() + "cannot encode: " + av::describe(rc);
                return false;
            }
            packet->stream_index = video->index;
            av_packet_rescale_ts(packet.get(), encoder->time_base, video->time_base);
            rc = av_interleaved_write_frame(mux.get(), packet.get());
            av_packet_unref(packet.get());
            if (rc < 0) {
                error = path + ": cannot write: " + av::describe(rc);
                return false;
            }
        }
    }

    bool encode(const ConstFrameRows &rows, int frameWidth, int frameHeight, std::string &error)
    {
        if (!started && !start(frameWidth, frameHeight, error)) return false;
        if (frameWidth != width || frameHeight != height) {
            error = frameWhere() + "size " + std::to_string(frameWidth) + "x" + std::to_string(frameHeight) +
                    " differs from the first frame's";
            return false;
        }
        int rc = av_frame_make_writable(picture.get());
        if (rc < 0) {
            error = path + ": out of memory";
            return false;
        }
        // The 8-bit planes by the YUV4MPEG2 rules, then the scaler when the
        // encoder wants more bits or another packing.
        const bool interlaced = options.traits.interlace != Interlace::Progressive;
        Y4mHeader h;
        h.width = width;
        h.height = height;
        h.chroma = layout;
        planes.resize(y4mFrameBytes(h) + (alphaKept ? size_t(width) * height : 0));
        encodeY4mRows(h, rows, planes.data(), interlaced && layout == Chroma::C420);
        const int cw = layout == Chroma::C444 ? width : (width + 1) / 2;
        const int ch = layout == Chroma::C420 ? (height + 1) / 2 : height;
        uint8_t *src[4] = {planes.data(), planes.data() + size_t(width) * height, nullptr, nullptr};
        src[2] = src[1] + size_t(cw) * ch;
        src[3] = src[2] + size_t(cw) * ch;
        int srcLines[4] = {width, cw, cw, alphaKept ? width : 0};
        if (alphaKept)
            for (int y = 0; y < height; ++y) {
                const Pixel *row = rows.row(y);
                uint8_t *key = src[3] + size_t(y) * width;
                for (int x = 0; x < width; ++x) key[x] = row[x].alpha;
            }
        Chroma twinLayout;
        bool twinAlpha = false;
        const AVPixelFormat eight = eightBitTwin(pixelFormat, twinLayout, twinAlpha);
        if (eight == pixelFormat) {
            for (int p = 0; p < (alphaKept ? 4 : 3); ++p) {
                const int pw = p == 1 || p == 2 ? cw : width, ph = p == 1 || p == 2 ? ch : height;
                for (int y = 0; y < ph; ++y)
                    std::memcpy(picture->data[p] + size_t(y) * picture->linesize[p], src[p] + size_t(y) * srcLines[p],
                                size_t(pw));
            }
        } else {
            SwsContext *sws = av::cachedScaler(scaler, width, height, eight, pixelFormat);
            if (!sws || sws_scale(sws, src, srcLines, 0, height, picture->data, picture->linesize) <= 0) {
                error = path + ": cannot convert pictures for the " + std::string(codec->name) + " encoder";
                return false;
            }
        }
        picture->pts = written;
        av::setFields(picture.get(), interlaced, options.traits.interlace != Interlace::BottomFirst);
        picture->color_range = encoder->color_range;
        picture->colorspace = encoder->colorspace;
        picture->color_primaries = encoder->color_primaries;
        picture->color_trc = encoder->color_trc;
        picture->sample_aspect_ratio = encoder->sample_aspect_ratio;
        rc = avcodec_send_frame(encoder.get(), picture.get());
        if (rc < 0) {
            error = frameWhere() + "cannot encode: " + av::describe(rc);
            return false;
        }
        ++written;
        return drain(error) && pumpAudio(written, false, error);
    }
};

AvWriter::AvWriter() : s_(std::make_unique<State>()) {}
AvWriter::~AvWriter() { abandon(); }

bool AvWriter::handles(const std::string &path)
{
    if (path == "-") return false;
    const std::string ext = lowerExtension(path);
    if (ext.empty() || ext == "y4m" || ext == "png") return false;
    return av_guess_format(nullptr, path.c_str(), nullptr) != nullptr;
}

bool AvWriter::open(const std::string &path, const AvOutputOptions &options, std::vector<std::string> &notes,
                    std::string &error)
{
    av::quietLibraries();
    av::takeLibraryMessage();
    State &s = *s_;
    s.release();
    s.path = path;
    s.options = options;
    if (options.traits.rateNum <= 0 || options.traits.rateDen <= 0) s.options.traits.rateNum = 25, s.options.traits.rateDen = 1;
    s.container = av_guess_format(nullptr, path.c_str(), nullptr);
    if (!s.container) {
        error = path + ": unknown output type";
        return false;
    }
    const std::string ext = lowerExtension(path);
    const bool wantAlpha = options.chroma == Chroma::C444alpha;
    if (!options.codec.empty()) {
        s.codec = avcodec_find_encoder_by_name(options.codec.c_str());
        if (!s.codec || s.codec->type != AVMEDIA_TYPE_VIDEO) {
            error = "--codec " + options.codec + ": no video encoder of that name";
            return false;
        }
    } else {
        const char *name = ext == "mov" ? "prores_ks" : ext == "mkv" ? "ffv1" : ext == "mp4" ? "libx264" : nullptr;
        s.codec = name ? avcodec_find_encoder_by_name(name) : avcodec_find_encoder(s.container->video_codec);
        if (!s.codec) {
            error = path + ": no video encoder for this container" + (name ? std::string(" (") + name + ")" : "");
            return false;
        }
    }
    if (avformat_query_codec(s.container, s.codec->id, FF_COMPLIANCE_NORMAL) == 0) {
        error = path + ": the " + std::string(s.container->name) + " container cannot hold " + s.codec->name + " video";
        return false;
    }
    // The encoder's pixel format: ProRes 4444 with alpha or 422 HQ, H.264
    // in 4:2:0, else our own layout where the encoder takes it.
    AVPixelFormat natural = options.chroma == Chroma::C444alpha ? AV_PIX_FMT_YUVA444P
                            : options.chroma == Chroma::C444    ? AV_PIX_FMT_YUV444P
                            : options.chroma == Chroma::C422    ? AV_PIX_FMT_YUV422P
                                                                : AV_PIX_FMT_YUV420P;
    if (std::strcmp(s.codec->name, "prores_ks") == 0)
        s.pixelFormat = wantAlpha ? AV_PIX_FMT_YUVA444P10LE : AV_PIX_FMT_YUV422P10LE;
    else if (std::strcmp(s.codec->name, "libx264") == 0)
        s.pixelFormat = AV_PIX_FMT_YUV420P;
    else if (supports(s.codec, natural))
        s.pixelFormat = natural;
    else
        s.pixelFormat = avcodec_find_best_pix_fmt_of_list(av::encoderFormats(s.codec), natural, wantAlpha, nullptr);
    if (s.pixelFormat == AV_PIX_FMT_NONE) {
        error = path + ": the " + std::string(s.codec->name) + " encoder takes no picture format ophost can give it";
        return false;
    }
    bool alpha = false;
    eightBitTwin(s.pixelFormat, s.layout, alpha);
    s.alphaKept = alpha && wantAlpha;
    if (wantAlpha && !alpha)
        notes.push_back(path + ": " + s.codec->name + " in ." + ext +
                        " has no alpha channel; the key is dropped (.mov or .mkv keep it)");

    return s.openFile(notes, error);
}

// The file, the container and its video stream; the encoder comes later.
bool AvWriter::State::openFile(std::vector<std::string> &notes, std::string &error)
{
    State &s = *this;
    if (!s.out.open(path, error)) return false;
    s.mux.reset(avformat_alloc_context());
    if (!s.mux) {
        error = path + ": out of memory";
        return false;
    }
    s.mux->oformat = s.container;
    std::clearerr(s.out.file());
    const int ioSize = 1 << 16;
    // The buffer is the I/O context's once it is made (MuxFreer frees both).
    uint8_t *buffer = static_cast<uint8_t *>(av_malloc(ioSize));
    s.mux->pb = buffer ? avio_alloc_context(buffer, ioSize, 1, s.out.file(), nullptr, writePacket, seekFile) : nullptr;
    if (!s.mux->pb) {
        av_free(buffer);
        error = path + ": out of memory";
        return false;
    }
    s.mux->flags |= AVFMT_FLAG_BITEXACT;
    s.video = avformat_new_stream(s.mux.get(), nullptr);
    if (!s.video) {
        error = path + ": out of memory";
        return false;
    }
    if (!options.chunkTag.empty() && av_dict_set(&s.mux->metadata, chunkMetadataKey(), options.chunkTag.c_str(), 0) < 0) {
        error = path + ": out of memory";
        return false;
    }
    if (!options.audioFrom.empty() && !s.openAudio(notes, error)) return false;
    return true;
}

bool AvWriter::write(const VideoFrame &frame, std::string &error)
{
    if (!s_->mux || s_->finished) {
        error = s_->path + ": not open";
        return false;
    }
    return s_->encode(frameRows(frame), frame.width, frame.height, error);
}

bool AvWriter::writeRows(const ConstFrameRows &rows, int width, int height, std::string &error)
{
    if (!s_->mux || s_->finished) {
        error = s_->path + ": not open";
        return false;
    }
    return s_->encode(rows, width, height, error);
}

bool AvWriter::finish(std::string &error)
{
    State &s = *s_;
    if (!s.mux || s.finished) {
        error = s.path + ": not open";
        return false;
    }
    if (!s.started) {
        error = s.path + ": no frame to write";
        abandon();
        return false;
    }
    bool ok = true;
    if (s.encoder) {
        // The end: what it holds comes out.
        const int rc = avcodec_send_frame(s.encoder.get(), nullptr);
        if (rc < 0 && rc != AVERROR_EOF) {
            error = s.path + ": cannot finish encoding: " + av::describe(rc);
            ok = false;
        }
        ok = ok && s.drain(error);
    }
    ok = ok && s.pumpAudio(s.written, true, error);
    if (ok) {
        int rc = av_write_trailer(s.mux.get());
        avio_flush(s.mux->pb);
        if (rc < 0 || s.mux->pb->error < 0) {
            error = s.path + ": cannot write: " + av::describe(rc < 0 ? rc : s.mux->pb->error);
            ok = false;
        }
    }
    s.finished = true;
    s.release();
    if (!ok) {
        s.out.abandon();
        return false;
    }
    return s.out.commit(error);
}

void AvWriter::abandon()
{
    s_->release();
    s_->out.abandon();
}

bool copyParts(const std::vector<std::string> &parts, const std::string &path, const AvOutputOptions &options,
               std::vector<std::string> &notes, std::string &error)
{
    av::quietLibraries();
    AvWriter writer;
    AvWriter::State &s = *writer.s_;
    s.path = path;
    s.options = options;
    s.container = av_guess_format(nullptr, path.c_str(), nullptr);
    if (!s.container) {
        error = path + ": unknown output type";
        return false;
    }
    av::PacketPtr packet(av_packet_alloc());
    if (!packet) {
        error = path + ": out of memory";
        return false;
    }
    bool ok = true;
    for (size_t k = 0; ok && k < parts.size(); ++k) {
        av::InputPtr in;
        int rc = av::openInput(parts[k], in);
        if (rc >= 0) rc = avformat_find_stream_info(in.get(), nullptr);
        int v = -1;
        for (unsigned i = 0; rc >= 0 && i < in->nb_streams && v < 0; ++i)
            if (in->streams[i]->codecpar->codec_type == AVMEDIA_TYPE_VIDEO) v = int(i);
        if (rc < 0 || v < 0) {
            error = parts[k] + ": cannot read its video: " + (rc < 0 ? av::describe(rc) : std::string("none"));
            ok = false;
            break;
        }
        const AVStream *st = in->streams[v];
        if (k == 0) {
            // The stream as the parts hold it: same codec, same settings.
            ok = s.openFile(notes, error);
            if (ok && (rc = avcodec_parameters_copy(s.video->codecpar, st->codecpar)) < 0) {
                error = path + ": " + av::describe(rc);
                ok = false;
            }
            if (ok) {
                // The parts' own tag (a ProRes profile) when this container
                // knows it, else the container's choice.
                if (!s.mux->oformat->codec_tag ||
                    av_codec_get_id(s.mux->oformat->codec_tag, st->codecpar->codec_tag) != st->codecpar->codec_id)
                    s.video->codecpar->codec_tag = 0;
                s.video->time_base = AVRational{options.traits.rateDen, options.traits.rateNum};
                s.video->avg_frame_rate = AVRational{options.traits.rateNum, options.traits.rateDen};
                s.video->sample_aspect_ratio = st->codecpar->sample_aspect_ratio;
                if ((rc = s.writeHeader()) < 0) {
                    error = path + ": cannot write the container's header: " + av::describe(rc);
                    ok = false;
                }
                s.started = ok;
            }
        }
        // Each part starts at its own time 0; it goes after the frames
        // written so far.
        const int64_t start = st->start_time != AV_NOPTS_VALUE ? st->start_time : 0;
        const int64_t offset = av_rescale_q(s.written, AVRational{options.traits.rateDen, options.traits.rateNum},
                                            s.video ? s.video->time_base : AVRational{1, 1});
        int64_t frames = 0;
        while (ok && (rc = av_read_frame(in.get(), packet.get())) >= 0) {
            if (packet->stream_index != v) {
                av_packet_unref(packet.get());
                continue;
            }
            if (packet->pts != AV_NOPTS_VALUE) packet->pts -= start;
            if (packet->dts != AV_NOPTS_VALUE) packet->dts -= start;
            av_packet_rescale_ts(packet.get(), st->time_base, s.video->time_base);
            if (packet->pts != AV_NOPTS_VALUE) packet->pts += offset;
            if (packet->dts != AV_NOPTS_VALUE) packet->dts += offset;
            packet->stream_index = s.video->index;
            packet->pos = -1;
            rc = av_interleaved_write_frame(s.mux.get(), packet.get());
            av_packet_unref(packet.get());
            if (rc < 0) {
                error = path + ": cannot write: " + av::describe(rc);
                ok = false;
                break;
            }
            ++frames;
            ok = s.pumpAudio(s.written + frames, false, error);
        }
        if (ok && rc != AVERROR_EOF) {
            error = parts[k] + ": cannot read: " + av::describe(rc);
            ok = false;
        }
        s.written += frames;
    }
    if (!ok) {
        writer.abandon();
        return false;
    }
    return writer.finish(error);
}

} // namespace media
