// Parts of a chunked render in a container: what each holds, and their
// video packets copied one after the other into one file.
#include <cstring>
#include <memory>

#include "av_common.h"
#include "media/av_io.h"

namespace media {

namespace {

const char *const CHUNK_KEY = "ophost_chunk";

int firstVideoStream(const AVFormatContext *c)
{
    for (unsigned i = 0; i < c->nb_streams; ++i)
        if (c->streams[i]->codecpar->codec_type == AVMEDIA_TYPE_VIDEO &&
            !(c->streams[i]->disposition & AV_DISPOSITION_ATTACHED_PIC))
            return int(i);
    return -1;
}

} // namespace

const char *chunkMetadataKey() { return CHUNK_KEY; }

bool inspectPart(const std::string &path, AvPartInfo &info, std::string &error)
{
    av::quietLibraries();
    av::InputPtr in;
    int rc = av::openInput(path, in);
    if (rc < 0) {
        error = path + ": cannot open: " + av::describe(rc);
        return false;
    }
    rc = avformat_find_stream_info(in.get(), nullptr);
    const int v = rc < 0 ? -1 : firstVideoStream(in.get());
    if (v < 0) {
        error = path + ": holds no video stream";
        return false;
    }
    const AVStream *st = in->streams[v];
    const AVCodecParameters *p = st->codecpar;
    info = AvPartInfo{};
    info.width = p->width;
    info.height = p->height;
    info.codecId = int(p->codec_id);
    info.pixelFormat = p->format;
    info.fieldOrder = int(p->field_order);
    info.extradata.assign(p->extradata, p->extradata + p->extradata_size);
    const AVRational rate = st->avg_frame_rate.num > 0 ? st->avg_frame_rate : st->r_frame_rate;
    info.traits.rateNum = rate.num;
    info.traits.rateDen = rate.den;
    info.traits.aspectNum = p->sample_aspect_ratio.num;
    info.traits.aspectDen = p->sample_aspect_ratio.den;
    info.traits.interlace = p->field_order == AV_FIELD_TT || p->field_order == AV_FIELD_TB ? Interlace::TopFirst
                            : p->field_order == AV_FIELD_BB || p->field_order == AV_FIELD_BT ? Interlace::BottomFirst
                                                                                            : Interlace::Progressive;
    info.traits.colorRange = p->color_range;
    info.traits.colorSpace = p->color_space;
    info.traits.colorPrimaries = p->color_primaries;
    info.traits.colorTransfer = p->color_trc;
    const AVDictionaryEntry *tag = av_dict_get(in->metadata, CHUNK_KEY, nullptr, 0);
    if (!tag) tag = av_dict_get(st->metadata, CHUNK_KEY, nullptr, 0);
    if (tag) info.chunkTag = tag->value;
    av::PacketPtr packet(av_packet_alloc());
    if (!packet) {
        error = path + ": out of memory";
        return false;
    }
    while ((rc = av_read_frame(in.get(), packet.get())) >= 0) {
        if (packet->stream_index == v) ++info.frames;
        av_packet_unref(packet.get());
    }
    if (rc != AVERROR_EOF) {
        error = path + ": cannot read: " + av::describe(rc);
        return false;
    }
    return true;
}

std::string partDifference(const AvPartInfo &a, const AvPartInfo &b)
{
    if (a.width != b.width || a.height != b.height)
        return "size " + std::to_string(b.width) + "x" + std::to_string(b.height) + ", not " +
               std::to_string(a.width) + "x" + std::to_string(a.height);
    if (a.fieldOrder != b.fieldOrder) return "another field order";
    if (a.traits.rateNum * int64_t(b.traits.rateDen) != b.traits.rateNum * int64_t(a.traits.rateDen))
        return "rate " + std::to_string(b.traits.rateNum) + "/" + std::to_string(b.traits.rateDen) + ", not " +
               std::to_string(a.traits.rateNum) + "/" + std::to_string(a.traits.rateDen);
    if (a.codecId != b.codecId) return "another codec";
    if (a.pixelFormat != b.pixelFormat) {
        const char *na = av_get_pix_fmt_name(AVPixelFormat(a.pixelFormat));
        const char *nb = av_get_pix_fmt_name(AVPixelFormat(b.pixelFormat));
        return std::string("pixel format ") + (nb ? nb : "?") + ", not " + (na ? na : "?");
    }
    if (a.extradata != b.extradata) return "other codec settings (its stream header differs)";
    return {};
}

} // namespace media
