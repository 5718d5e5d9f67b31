// Video files of any container and codec, read and written through FFmpeg's
// libraries (libavformat, libavcodec, libswscale), as the host's 8-bit
// frames (media/video.h).
//
// Reading: the first video stream is decoded and converted to 8-bit
// frames. 8-bit planar Y'CbCr (4:2:0, 4:2:2, 4:4:4, with or without alpha)
// is unpacked by the same rules as YUV4MPEG2 (chroma replicated, by field
// for interlaced 4:2:0), so a file and the same pictures through a
// YUV4MPEG2 pipe give the same frames. Deeper or packed Y'CbCr is first
// brought to 8 bits at its own chroma layout by the libraries' scaler; RGB
// is brought to 8-bit RGBA and converted by the PNG rule (media/yuv_rgb.h).
//
// Writing: frames are down-sampled by the YUV4MPEG2 rules to 8-bit planes,
// then brought to the encoder's pixel format by the scaler, encoded and
// muxed into a file written through media::OutputFile (temporary name,
// renamed when finished). Audio streams of a source file can be copied in,
// cut to the rendered section, interleaved with the video.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "media/video.h"

namespace media {

// What a container says about its pictures besides the pixels. Colour
// values are FFmpeg's enumerations (AVColorRange, AVColorSpace, ...); 0 or
// 2 mean unspecified, as there.
struct VideoTraits {
    int rateNum = 25, rateDen = 1;
    int aspectNum = 0, aspectDen = 0;    // pixel aspect; 0:0 unknown
    Interlace interlace = Interlace::Progressive;
    int colorRange = 0;                   // AVCOL_RANGE_*
    int colorSpace = 2;                   // AVCOL_SPC_* (the matrix)
    int colorPrimaries = 2;               // AVCOL_PRI_*
    int colorTransfer = 2;                // AVCOL_TRC_*
    int rotation = 0;                     // display matrix rotation in degrees, 0..359 (not applied)
    std::vector<std::string> audioStreams;   // the file's audio, each as "N (codec)"
};

// The matrix FFmpeg assumes for a picture of this size when none is given:
// BT.709 for high definition, BT.601 below.
int defaultColorSpace(int width, int height);

// True when the first bytes of a file are those of a format with a
// built-in reader ("YUV4MPEG2", PNG's signature).
bool looksLikeY4m(const uint8_t *bytes, size_t size);
bool looksLikePng(const uint8_t *bytes, size_t size);

class AvReader {
public:
    AvReader();
    ~AvReader();
    AvReader(const AvReader &) = delete;
    AvReader &operator=(const AvReader &) = delete;

    // Opens the file (or an image sequence pattern such as shot%04d.png),
    // finds the first video stream and decodes its first frame. `error`
    // names the file and the fault.
    bool open(const std::string &path, std::string &error);
    int width() const;
    int height() const;
    Chroma chroma() const;                 // the source's layout (alpha: C444alpha)
    const VideoTraits &traits() const;
    const std::string &codecName() const;
    // The number of frames: from the container when it is exact, else by a
    // counting pass over the packets (without decoding). -1 on a fault.
    int frameCount(std::string &error);
    // The next frame in order (0 first). False at the end (error empty) or
    // on a fault (error names the file and frame).
    bool next(VideoFrame &frame, std::string &error);
    // The same frame as its two fields (even and odd rows), without a frame
    // in between; the height must be even.
    bool nextFields(std::vector<Pixel> &top, std::vector<Pixel> &bottom, std::string &error);
    // Makes frame `index` the next one: decoding on when it is near ahead,
    // else from the key frame before it (the container's frames are
    // indexed at the first jump), else from the start. The frames reached
    // are the same as by reading from the start. False with `error` on a
    // fault, or with it empty past the end.
    bool seek(int index, std::string &error);
    int nextIndex() const;
    // True for codecs whose every picture stands alone (a jump decodes one).
    bool intraOnly() const;

private:
    struct State;
    std::unique_ptr<State> s_;
};

struct AvOutputOptions {
    Chroma chroma = Chroma::C420;     // what the frames carry (444alpha: the key)
    VideoTraits traits;
    std::string codec;                // encoder name; empty: by the file's extension
    int crf = -1;                     // -1: the encoder's default
    int64_t bitrate = 0;              // bits per second; 0: the encoder's default
    // Audio of this file is copied in (empty: none), from `audioStartFrame`
    // (in frames of traits' rate) for as long as the frames written.
    std::string audioFrom;
    int audioStartFrame = 0;
    // Recorded in the container's metadata: which frames of which section
    // a chunk's part holds (empty: none).
    std::string chunkTag;
};

// What a part of a chunked render holds, read without decoding.
struct AvPartInfo {
    int width = 0, height = 0;
    int codecId = 0, pixelFormat = -1, fieldOrder = 0;
    std::vector<uint8_t> extradata;
    VideoTraits traits;
    std::string chunkTag;   // the metadata that chunkTag wrote
    int frames = 0;         // video packets
};
bool inspectPart(const std::string &path, AvPartInfo &info, std::string &error);
// The first way part `b` differs from part `a` ("size 64x48, not 32x24"),
// or empty when one stream can hold both.
std::string partDifference(const AvPartInfo &a, const AvPartInfo &b);
// Writes the video packets of every part in turn into `path` (no encoding),
// with the audio of options.audioFrom cut to the frames written.
bool copyParts(const std::vector<std::string> &parts, const std::string &path, const AvOutputOptions &options,
               std::vector<std::string> &notes, std::string &error);

class AvWriter {
public:
    AvWriter();
    ~AvWriter();   // abandons an unfinished file
    AvWriter(const AvWriter &) = delete;
    AvWriter &operator=(const AvWriter &) = delete;

    // True when the name's extension (or the options' codec) selects a
    // container the libraries can write.
    static bool handles(const std::string &path);
    // Checks the target, chooses the container and encoder; nothing is
    // encoded before the first frame. Notes for the user (a key dropped,
    // audio that cannot be copied) are added to `notes`.
    bool open(const std::string &path, const AvOutputOptions &options, std::vector<std::string> &notes,
              std::string &error);
    bool write(const VideoFrame &frame, std::string &error);
    // The same from rows held anywhere (two fields as an operator handed
    // them back), without a frame in between.
    bool writeRows(const ConstFrameRows &rows, int width, int height, std::string &error);
    // Flushes the encoder, writes the rest of the audio and the trailer,
    // and renames the file into place.
    bool finish(std::string &error);
    void abandon();

private:
    friend bool copyParts(const std::vector<std::string> &, const std::string &, const AvOutputOptions &,
                          std::vector<std::string> &, std::string &);
    struct State;
    std::unique_ptr<State> s_;
};

} // namespace media
