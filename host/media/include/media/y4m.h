// YUV4MPEG2 streams in and out.
//
// Chroma conversion rules (deterministic, integer):
//  - 4:4:4 and 4:4:4 with alpha: values pass through unchanged.
//  - Reading 4:2:2 / 4:2:0: each chroma sample is replicated over the pixels
//    it covers (2x1 for 4:2:2, 2x2 for 4:2:0).
//  - Writing 4:2:2 / 4:2:0: each chroma sample is the rounded average
//    (sum + n/2) / n of the n pixels it covers (fewer at an odd right or
//    bottom edge). So replication then averaging gives the samples back.
//  - Progressive 4:2:0 pairs frame lines 2j and 2j+1. Interlaced 4:2:0
//    (It, Ib, and frames of an Im stream not marked progressive) samples
//    each field on its own: chroma row c belongs to field c mod 2 and
//    covers that field's lines 2(c/2) and 2(c/2)+1, so the two fields'
//    colours never mix.
//  - 420jpeg, 420mpeg2, 420paldv and plain 420 are all read as 4:2:0 with
//    these rules; the siting differences are not modelled, but the tag is
//    kept and written back.
//  - Mixed streams (Im) are taken as top field first; a FRAME line's
//    "Ixyz" tells whether that frame's chroma is sampled by field. Frames
//    written to a mixed stream are all marked interlaced.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "media/video.h"

namespace media {

struct Y4mHeader {
    int width = 0;
    int height = 0;
    Chroma chroma = Chroma::C420;
    Interlace interlace = Interlace::Progressive;
    int rateNum = 25, rateDen = 1;
    int aspectNum = 0, aspectDen = 0;   // 0:0 unknown
    std::string colourTag;              // the C parameter as read, for messages
    std::vector<std::string> extras;    // X parameters, written back unchanged
};

// Bytes of one frame's planes.
size_t y4mFrameBytes(const Y4mHeader &header);

// Parses the header line (without "YUV4MPEG2 " and the newline is fine
// either way). Returns an empty string or the fault.
std::string parseY4mHeader(const std::string &line, Y4mHeader &header);
std::string formatY4mHeader(const Y4mHeader &header);

// Whether the header's frames sample 4:2:0 chroma by field (mixed streams:
// the default for a frame whose FRAME line does not say).
bool y4mFieldChroma(const Y4mHeader &header);
// The C tag written for 4:2:0: the siting tag as read, 420jpeg if none.
std::string chroma420Tag(const Y4mHeader &header);

// Plane bytes <-> frame, by the rules above; without `fieldChroma`, as the
// header says.
void decodeY4mFrame(const Y4mHeader &header, const uint8_t *planes, VideoFrame &frame);
void encodeY4mFrame(const Y4mHeader &header, const VideoFrame &frame, uint8_t *planes);
void decodeY4mFrame(const Y4mHeader &header, const uint8_t *planes, VideoFrame &frame, bool fieldChroma);
void encodeY4mFrame(const Y4mHeader &header, const VideoFrame &frame, uint8_t *planes, bool fieldChroma);
// The same to and from rows held anywhere: a frame, or its two fields in
// buffers of their own (`rows` has room for the header's width and height).
void decodeY4mRows(const Y4mHeader &header, const uint8_t *planes, const FrameRows &rows, bool fieldChroma);
void encodeY4mRows(const Y4mHeader &header, const ConstFrameRows &rows, uint8_t *planes, bool fieldChroma);

// Reads a stream frame by frame; on a seekable file also by frame number.
class Y4mReader {
public:
    Y4mReader() = default;
    Y4mReader(const Y4mReader &) = delete;
    Y4mReader &operator=(const Y4mReader &) = delete;
    ~Y4mReader();

    // "-" is standard input. Reads the stream header.
    bool open(const std::string &path, std::string &error);
    // Uses an open stream (not closed by the reader). A stream the reader
    // opened itself is closed first.
    bool open(FILE *file, const std::string &name, std::string &error);
    const Y4mHeader &header() const { return header_; }
    const std::string &name() const { return name_; }
    bool seekable() const { return seekable_; }
    // The stream read, past what has been read so far (a pipe's rest).
    FILE *stream() const { return file_; }

    // Reads the next frame. Returns false at the end (error empty) or on a
    // fault (error names the file, the frame and the fault).
    bool next(VideoFrame &frame, std::string &error);
    // Frame number `index` (0 = first). Seekable files go there directly;
    // a pipe can only go forwards.
    bool read(int index, VideoFrame &frame, std::string &error);
    // The same as its two fields (the even lines, the odd ones); the
    // buffers are resized to fit. The height must be even.
    bool readFields(int index, std::vector<Pixel> &top, std::vector<Pixel> &bottom, std::string &error);
    // Number of frames; on a pipe reads nothing and answers -1.
    int frameCount(std::string &error);
    int nextIndex() const { return nextIndex_; }

private:
    bool nextPlanes(std::string &error);
    bool readPlanes(int index, std::string &error);
    bool readFrameHeader(bool &atEnd, std::string &error);
    bool skipFrame(std::string &error);
    std::string where(int index) const;

    FILE *file_ = nullptr;
    bool owned_ = false;
    bool seekable_ = false;
    std::string name_;
    Y4mHeader header_;
    size_t frameBytes_ = 0;
    std::vector<uint8_t> buffer_;
    std::vector<long> offsets_;   // file offset of each FRAME line found so far
    long fileSize_ = -1;          // of a seekable file, at opening
    int nextIndex_ = 0;
    int positionedAt_ = -1;       // the frame whose FRAME line the file is at; -1 unknown
    bool ended_ = false;
    int count_ = -1;
    bool frameFieldChroma_ = false;   // of the frame whose FRAME line was read last
};

class Y4mWriter {
public:
    Y4mWriter() = default;
    Y4mWriter(const Y4mWriter &) = delete;
    Y4mWriter &operator=(const Y4mWriter &) = delete;
    ~Y4mWriter();

    // Writes to `file` (not closed by the writer).
    bool open(FILE *file, const std::string &name, const Y4mHeader &header, std::string &error);
    bool write(const VideoFrame &frame, std::string &error);
    // A frame of the stream's size, from rows held anywhere.
    bool write(const ConstFrameRows &rows, std::string &error);
    bool flush(std::string &error);
    const Y4mHeader &header() const { return header_; }

private:
    FILE *file_ = nullptr;
    std::string name_;
    Y4mHeader header_;
    std::vector<uint8_t> buffer_;
    int written_ = 0;
};

} // namespace media
