// The rendering run: inputs as clips of frames, the output as a sink of
// frames, and the run itself (action 1, one action-3 render per field,
// action 2).
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "hostrt/loader.h"
#include "hostrt/session.h"
#include "media/av_io.h"
#include "media/video.h"
#include "media/y4m.h"

namespace ophost {

// A frame kept as its two fields, each in a buffer of its own: field[0]
// holds the frame's even lines (the top field), field[1] its odd ones.
struct FieldPair {
    std::vector<Pixel> field[2];
};

// Splits `frame` into `pair` (buffers of the right size are reused as they are).
void splitFrame(const media::VideoFrame &frame, FieldPair &pair);

// A source of frames: random access by frame number.
class Clip {
public:
    virtual ~Clip() = default;
    virtual int width() const = 0;
    virtual int height() const = 0;
    virtual bool bottomFirst() const = 0;
    virtual bool progressive() const { return false; }
    // The stream header of a YUV4MPEG2 input; none for other kinds.
    virtual const media::Y4mHeader *y4mHeader() const { return nullptr; }
    virtual media::Chroma chroma() const = 0;
    virtual int rateNum() const { return 25; }
    virtual int rateDen() const { return 1; }
    // What a container read through FFmpeg's libraries says (rate, aspect,
    // field order, colour range and matrix); none for other kinds.
    virtual const media::VideoTraits *traits() const { return nullptr; }
    // Frames in the clip; -1 when unknown until read (a pipe), 0 for a
    // still that stands for every frame (see isStill).
    virtual int frameCount(std::string &error) = 0;
    virtual bool isStill() const { return false; }
    // Read as it comes (a pipe): its length is known only at its end, and
    // counting it first means copying it (frameCount does).
    virtual bool streamed() const { return false; }
    // Frame `index`; false with error empty when past the end, or with the
    // fault named.
    virtual bool frame(int index, media::VideoFrame &out, std::string &error) = 0;
    // The same frame as its two fields; `scratch` is the caller's, for a
    // clip that reads whole frames first.
    virtual bool fields(int index, FieldPair &out, media::VideoFrame &scratch, std::string &error);
    virtual const std::string &name() const = 0;
};

// Field `fieldNumber` of the section that starts at frame `firstFrame`:
// fields 2k and 2k+1 come from frame firstFrame + k, in the clip's field
// order. Any field of a seekable file, in any order. False with `error`
// empty past the end, or with the fault named.
bool readField(Clip &clip, int firstFrame, int32_t fieldNumber, hostrt::FieldImage &out, std::string &error);

// Opens "-" (YUV4MPEG2 on standard input), a YUV4MPEG2 file, a PNG still
// (each known by its content, not its name), or else any file or image
// sequence (shot%04d.png) FFmpeg's libraries read.
std::unique_ptr<Clip> openClip(const std::string &path, std::string &error);
// The clip with its field order replaced (tff, bff, progressive).
std::unique_ptr<Clip> withFieldOrder(std::unique_ptr<Clip> clip, media::Interlace order);
// A clip over frames in memory (tests, bench).
std::unique_ptr<Clip> memoryClip(std::vector<media::VideoFrame> frames, bool bottomFirst = false,
                                 media::Chroma chroma = media::Chroma::C444alpha);

// Where the rendered frames go.
class FrameSink {
public:
    virtual ~FrameSink() = default;
    virtual bool write(const media::VideoFrame &frame, std::string &error) = 0;
    // A frame of `width` x `height` from rows held anywhere (its two fields
    // as an operator handed them back); `scratch` is the caller's, for a
    // sink that takes whole frames.
    virtual bool writeRows(const media::ConstFrameRows &rows, int width, int height, media::VideoFrame &scratch,
                           std::string &error);
    // Completes the output (renames temporary files into place).
    virtual bool finish(std::string &error) = 0;
    // Removes whatever was written (after a failed run).
    virtual void abandon() = 0;
};

struct OutputFormat {
    media::Chroma chroma = media::Chroma::C420;
    bool bottomFirst = false;
    bool interlaced = true;    // else progressive in the header
    bool mixed = false;        // an Im stream (interlaced must be set too)
    std::string siting;        // 4:2:0 C tag to write (420jpeg, 420mpeg2, 420paldv); empty: 420jpeg
    int rateNum = 25, rateDen = 1;
    int firstNumber = 0;       // number of the first frame in PNG file names
    int aspectNum = 0, aspectDen = 0;   // YUV4MPEG2 pixel aspect, 0:0 unknown
    std::vector<std::string> extras;    // YUV4MPEG2 X parameters to carry over
    // Containers written through FFmpeg's libraries (.mov, .mkv, .mp4, ...):
    // what input 0's container said, the encoder and its rate, and the file
    // whose audio is copied in (from frame firstNumber on).
    media::VideoTraits traits;          // rate and field order are taken from the fields above
    std::string codec;
    int crf = -1;
    int64_t bitrate = 0;
    std::string audioFrom;
    // A chunk of a longer section: the frames it holds ("A:B/S:E"), kept in
    // the output (a YUV4MPEG2 X parameter, container metadata) for the join.
    std::string chunkTag;
};

// "-" or .y4m: YUV4MPEG2; .png with or without %d: PNG frames; any other
// extension FFmpeg's libraries know (.mov: ProRes, .mkv: FFV1, .mp4:
// H.264, else --codec). Files are written under a temporary name and
// renamed by finish(). Notes for the user (a key the format drops, audio
// left out) go to `notes` when given.
std::unique_ptr<FrameSink> openSink(const std::string &path, const OutputFormat &format,
                                    std::string &error, std::vector<std::string> *notes = nullptr);
// Collects frames in memory.
class MemorySink : public FrameSink {
public:
    std::vector<media::VideoFrame> frames;
    bool write(const media::VideoFrame &frame, std::string &) override
    {
        frames.push_back(frame);
        return true;
    }
    bool finish(std::string &) override { return true; }
    void abandon() override { frames.clear(); }
};

// Discards every frame (bench).
class NullSink : public FrameSink {
public:
    uint64_t frames = 0;
    bool write(const media::VideoFrame &, std::string &) override
    {
        ++frames;
        return true;
    }
    bool finish(std::string &) override { return true; }
    void abandon() override {}
};

struct RunOptions {
    // The frames rendered now: firstFrame to endFrame - 1.
    int firstFrame = 0;
    int endFrame = -1;          // -1: to the end of input 0 (1 frame if every input is a still)
    // The section the operator is told (its length, and each field's number
    // in it), when it is larger than the frames rendered now: a long job
    // rendered in chunks gives the same frames as one run. -1: the frames
    // rendered.
    int sectionFirst = -1, sectionEnd = -1;
    bool preview = false;
    int previewNum = 1, previewDen = 1;
    int verticalPermille = 1000;
    bool visibleSet = false;
    hostrt::VisibleArea visible;   // default: 0, 0, frame width, frame height
    // Called after each field with (fields done, fields to render).
    std::function<void(uint32_t, uint32_t)> progress;
    // Inputs read and the output written on threads of their own while the
    // operator renders (off: every step on the calling thread, one after
    // the other, as the bench measures the operator's own cost).
    bool overlap = true;
};

struct RunResult {
    bool ok = false;
    std::string error;
    uint32_t fields = 0;       // fields rendered
    double seconds = 0;
    size_t leaked = 0;         // pictures the operator still held after its calls
};

// Serves the fields of one input by their number in a section (preview
// renders get them scaled by num/den). The first read fault is kept.
struct SectionInput {
    Clip *clip = nullptr;
    int firstFrame = 0;
    uint32_t fieldCount = 0;
    bool preview = false;
    int num = 1, den = 1;
    std::string error;           // first read fault
    int endFrame = 0;            // the section's end, for messages
    media::VideoFrame frame;
    int frameIndex = -1;         // which frame `frame` holds
    hostrt::FieldImage full;

    bool get(int32_t fieldNumber, hostrt::FieldImage &out);
    // Keeps the first read fault: `fault`, or when empty, that the clip
    // ended at frame `index` before the section did. Returns false.
    bool failed(int index, std::string fault);
};

// The session's two inputs over one section: render and the editor read
// their fields the same way. attach() hands them to the session; keep the
// object alive (and unmoved) until detach().
struct SessionInputs {
    SectionInput inputs[2];
    void attach(Clip &in0, Clip *in1, int firstFrame, uint32_t fieldCount, bool preview = false, int num = 1,
                int den = 1);
    void detach();
    std::string firstError() const;
};

// The section [first, end) of a run: end -1 means to the end of input 0 (of
// input 1 when input 0 is a still; one frame when both are). Returns an
// empty string with `resolvedEnd` set, or the fault.
std::string resolveSection(Clip &in0, Clip *in1, int first, int end, int &resolvedEnd);

// Every input whose length is known must hold the whole section [first,
// end): checked before rendering, not after part of it. Returns the fault.
std::string checkSectionFits(Clip &in0, Clip *in1, int first, int end);

// One rendering run of `op` over `in0` (and `in1` when given) into `out`.
// Sets the session's inputs, put handler and visible area; the log listener
// is the caller's.
RunResult runRender(hostrt::LoadedOperator &op, Clip &in0, Clip *in1, FrameSink &out,
                    const RunOptions &options);
// The same with an entry point of the host's own (the bench's copy floor).
RunResult runRender(OperatorActionFn action, const std::string &name, Clip &in0, Clip *in1, FrameSink &out,
                    const RunOptions &options);

// A notary line as ophost shows it:
// log: severity S, SOURCE line L, module 0xMMMMMMMM, "TEXT"
std::string formatLogLine(const hostrt::LogLine &line);

// The frame count of the section and checks of sizes: shared by render and
// the editor. Returns an empty string or the fault.
std::string checkInputs(Clip &in0, Clip *in1);

} // namespace ophost
