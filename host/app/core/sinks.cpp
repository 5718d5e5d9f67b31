// Output: YUV4MPEG2 to a file or standard output, or PNG files. Files are
// written under a temporary name beside the target and renamed into place
// only when the run has succeeded (media/output_file.h).
#include <fcntl.h>
#include <unistd.h>

#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstring>

#include "media/av_io.h"
#include "media/output_file.h"
#include "media/png_io.h"
#include "media/y4m.h"
#include "media/yuv_rgb.h"
#include "ophost/file_names.h"
#include "ophost/run.h"
#include "ophost/same_file.h"

namespace ophost {

namespace {

class Y4mSink : public FrameSink {
public:
    Y4mSink(const OutputFormat &format) : format_(format) {}
    ~Y4mSink() override { abandon(); }

    bool open(const std::string &path, std::string &error)
    {
        name_ = path == "-" ? "standard output" : path;
        return out_.open(path, error);
    }

    bool write(const media::VideoFrame &frame, std::string &error) override
    {
        if (!start(frame.width, frame.height, error)) return false;
        return writer_.write(frame, error);
    }

    bool writeRows(const media::ConstFrameRows &rows, int width, int height, media::VideoFrame &,
                   std::string &error) override
    {
        if (!start(width, height, error)) return false;
        if (width != writer_.header().width || height != writer_.header().height) {
            error = name_ + ": a " + std::to_string(width) + "x" + std::to_string(height) + " frame in a " +
                    std::to_string(writer_.header().width) + "x" + std::to_string(writer_.header().height) +
                    " stream";
            return false;
        }
        return writer_.write(rows, error);
    }

    bool finish(std::string &error) override { return out_.commit(error); }
    void abandon() override { out_.abandon(); }

private:
    // The stream header, before the first frame.
    bool start(int width, int height, std::string &error)
    {
        if (!out_.file()) {
            error = name_ + ": not open";
            return false;
        }
        if (!started_) {
            media::Y4mHeader h;
            h.width = width;
            h.height = height;
            h.chroma = format_.chroma;
            h.interlace = !format_.interlaced ? media::Interlace::Progressive
                          : format_.mixed      ? media::Interlace::Mixed
                          : format_.bottomFirst ? media::Interlace::BottomFirst
                                                : media::Interlace::TopFirst;
            h.colourTag = format_.siting;
            h.rateNum = format_.rateNum;
            h.rateDen = format_.rateDen;
            h.aspectNum = format_.aspectNum;
            h.aspectDen = format_.aspectDen;
            h.extras = format_.extras;
            if (!format_.chunkTag.empty()) h.extras.push_back("XOPHOST_CHUNK=" + format_.chunkTag);
            if (!writer_.open(out_.file(), name_, h, error)) return false;
            started_ = true;
        }
        return true;
    }

    OutputFormat format_;
    std::string name_;
    media::OutputFile out_;
    bool started_ = false;
    media::Y4mWriter writer_;
};

// One PNG per frame: "name%04d.png" numbers them by their frame in input 0;
// a name without a number takes exactly one frame.
class PngSink : public FrameSink {
public:
    PngSink(const OutputFormat &format) : format_(format) {}
    ~PngSink() override { abandon(); }

    bool open(const std::string &pattern, std::string &error)
    {
        pattern_ = pattern;
        numbered_ = false;
        for (size_t i = 0; i < pattern.size(); ++i) {
            if (pattern[i] != '%') continue;
            if (i + 1 < pattern.size() && pattern[i + 1] == '%') {
                ++i;
                continue;
            }
            size_t j = i + 1;
            if (j < pattern.size() && pattern[j] == '0') ++j;
            size_t digits = 0;
            while (j < pattern.size() && std::isdigit(static_cast<unsigned char>(pattern[j])) && digits < 2) {
                ++j;
                ++digits;
            }
            if (j >= pattern.size() || pattern[j] != 'd' || numbered_) {
                error = pattern + ": the output name may hold one %d (or %04d), and no other %";
                return false;
            }
            numbered_ = true;
            i = j;
        }
        // Fail now, not after the whole run, when the first target may not
        // be replaced or the folder is not writable.
        media::OutputFile probe;
        return probe.open(fileName(format_.firstNumber), error);
    }

    bool write(const media::VideoFrame &frame, std::string &error) override
    {
        int number = format_.firstNumber + written_;
        if (!numbered_ && written_ > 0) {
            error = pattern_ + ": the section has more than one frame; give the output name a %d";
            return false;
        }
        std::string target = fileName(number);
        auto out = std::make_unique<media::OutputFile>();
        if (!out->open(target, error)) return false;
        media::frameToRgba(frame, image_);
        std::string fault;
        if (!media::writePngStream(out->file(), image_, format_.chroma == media::Chroma::C444alpha, fault)) {
            error = target + ": cannot write PNG: " + fault;
            return false;
        }
        if (!out->close(error)) return false;
        pending_.push_back(std::move(out));
        ++written_;
        return true;
    }

    // All frames or none: every target is checked before the first is
    // replaced, and on any fault every temporary is removed.
    bool finish(std::string &error) override
    {
        for (auto &out : pending_) {
            error = out->checkReady();
            if (!error.empty()) {
                pending_.clear();
                return false;
            }
        }
        for (auto &out : pending_) {
            if (!out->commit(error)) {
                pending_.clear();
                return false;
            }
        }
        pending_.clear();
        return true;
    }

    void abandon() override { pending_.clear(); }

private:
    std::string fileName(int number) const
    {
        // The pattern was checked in open(): one %d conversion, %% escapes.
        return numbered_ ? ophost::numberedName(pattern_, number) : pattern_;
    }

    OutputFormat format_;
    std::string pattern_;
    bool numbered_ = false;
    int written_ = 0;
    media::RgbaImage image_;
    std::vector<std::unique_ptr<media::OutputFile>> pending_;
};

// Containers written through FFmpeg's libraries, encoded on the caller's
// thread: in a run, that is the writing thread (see pipeline.h), which
// hands over the fields as the operator gave them back.
class AvSink : public FrameSink {
public:
    ~AvSink() override { abandon(); }

    bool open(const std::string &path, const OutputFormat &format, std::vector<std::string> &notes,
              std::string &error)
    {
        media::AvOutputOptions options;
        options.chroma = format.chroma;
        options.traits = format.traits;
        options.traits.rateNum = format.rateNum;
        options.traits.rateDen = format.rateDen;
        options.traits.interlace = !format.interlaced ? media::Interlace::Progressive
                                   : format.bottomFirst ? media::Interlace::BottomFirst
                                                        : media::Interlace::TopFirst;
        if (options.traits.aspectNum <= 0 && format.aspectNum > 0 && format.aspectDen > 0) {
            options.traits.aspectNum = format.aspectNum;
            options.traits.aspectDen = format.aspectDen;
        }
        options.codec = format.codec;
        options.crf = format.crf;
        options.bitrate = format.bitrate;
        options.audioFrom = format.audioFrom;
        options.audioStartFrame = format.firstNumber;
        options.chunkTag = format.chunkTag;
        return writer_.open(path, options, notes, error);
    }

    bool write(const media::VideoFrame &frame, std::string &error) override { return writer_.write(frame, error); }
    bool writeRows(const media::ConstFrameRows &rows, int width, int height, media::VideoFrame &,
                   std::string &error) override
    {
        return writer_.writeRows(rows, width, height, error);
    }
    bool finish(std::string &error) override { return writer_.finish(error); }
    void abandon() override { writer_.abandon(); }

private:
    media::AvWriter writer_;
};

} // namespace

std::unique_ptr<FrameSink> openSink(const std::string &path, const OutputFormat &format, std::string &error,
                                    std::vector<std::string> *notes)
{
    if (media::AvWriter::handles(path) || (!format.codec.empty() && path != "-" && !endsWith(path, ".y4m") &&
                                           !endsWith(path, ".png"))) {
        std::vector<std::string> ignored;
        auto sink = std::make_unique<AvSink>();
        if (!sink->open(path, format, notes ? *notes : ignored, error)) return nullptr;
        return sink;
    }
    // YUV4MPEG2 and PNG hold no sound: say which streams stay behind.
    auto noteAudioLeftOut = [&] {
        if (!notes || format.audioFrom.empty()) return;
        for (const std::string &stream : format.traits.audioStreams)
            notes->push_back(path + ": the audio stream " + stream + " of " + format.audioFrom +
                             " is left out (" + (endsWith(path, ".png") ? "PNG" : "YUV4MPEG2") +
                             " holds no audio)");
    };
    if (endsWith(path, ".png")) {
        auto sink = std::make_unique<PngSink>(format);
        if (!sink->open(path, error)) return nullptr;
        noteAudioLeftOut();
        return sink;
    }
    if (path != "-" && !endsWith(path, ".y4m")) {
        error = path + ": unknown output type (expected .y4m, .png, - for YUV4MPEG2 on standard output, or a "
                       "container such as .mov, .mkv or .mp4)";
        return nullptr;
    }
    auto sink = std::make_unique<Y4mSink>(format);
    if (!sink->open(path, error)) return nullptr;
    noteAudioLeftOut();
    return sink;
}

} // namespace ophost
