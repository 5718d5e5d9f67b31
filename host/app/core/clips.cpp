// Input clips: YUV4MPEG2 files and pipes, PNG stills, frames in memory.
#include <unistd.h>

#include <cctype>
#include <cstdlib>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <deque>

#include <sys/stat.h>

#include "av_clip.h"
#include "media/av_io.h"
#include "media/png_io.h"
#include "media/y4m.h"
#include "media/yuv_rgb.h"
#include "ophost/file_names.h"
#include "ophost/run.h"

namespace ophost {

namespace {

// A few decoded frames, so that the two fields of a frame (and a field
// asked for twice) do not decode it again. The run only ever moves forwards.
class FrameCache {
public:
    const media::VideoFrame *find(int index) const
    {
        for (const auto &entry : entries_)
            if (entry.first == index) return &entry.second;
        return nullptr;
    }
    media::VideoFrame &slot(int index)
    {
        if (entries_.size() >= 3) {
            auto oldest = std::move(entries_.front());
            entries_.pop_front();
            entries_.emplace_back(index, std::move(oldest.second));
        } else {
            entries_.emplace_back(index, media::VideoFrame{});
        }
        return entries_.back().second;
    }
    void drop() { entries_.pop_back(); }

private:
    std::deque<std::pair<int, media::VideoFrame>> entries_;
};

class Y4mClip : public Clip {
public:
    bool open(const std::string &path, std::string &error)
    {
        name_ = path == "-" ? "standard input" : path;
        isPipe_ = path == "-";
        return reader_.open(path, error);
    }
    int width() const override { return reader_.header().width; }
    int height() const override { return reader_.header().height; }
    bool bottomFirst() const override { return reader_.header().interlace == media::Interlace::BottomFirst; }
    bool progressive() const override { return reader_.header().interlace == media::Interlace::Progressive; }
    const media::Y4mHeader *y4mHeader() const override { return &reader_.header(); }
    media::Chroma chroma() const override { return reader_.header().chroma; }
    int rateNum() const override { return reader_.header().rateNum; }
    int rateDen() const override { return reader_.header().rateDen; }
    const std::string &name() const override { return name_; }

    int frameCount(std::string &error) override
    {
        error.clear();
        if (!reader_.seekable() && !spool(error)) return -1;
        return reader_.frameCount(error);
    }
    bool streamed() const override { return !reader_.seekable(); }

    bool frame(int index, media::VideoFrame &out, std::string &error) override
    {
        error.clear();
        if (const media::VideoFrame *cached = cache_.find(index)) {
            out = *cached;
            return true;
        }
        media::VideoFrame &slot = cache_.slot(index);
        if (!reader_.read(index, slot, error)) {
            cache_.drop();
            return false;
        }
        out = slot;
        return true;
    }

    // Straight from the file's planes into the two fields, without a frame
    // in between (a frame already decoded is split).
    bool fields(int index, FieldPair &out, media::VideoFrame &, std::string &error) override
    {
        error.clear();
        if (const media::VideoFrame *cached = cache_.find(index)) {
            splitFrame(*cached, out);
            return true;
        }
        return reader_.readFields(index, out.field[0], out.field[1], error);
    }

private:
    // A pipe's length is known only at its end: copy the rest of it to an
    // anonymous temporary file in $TMPDIR, which then serves every frame,
    // by number. The copy is unbounded, so say so, and stop clearly when
    // the disk is full.
    bool spool(std::string &error)
    {
        if (reader_.nextIndex() != 0) {
            error = name_ + ": cannot count the frames of a pipe already read";
            return false;
        }
        const char *tmpdir = std::getenv("TMPDIR");
        std::string folder = tmpdir && *tmpdir ? tmpdir : "/tmp";
        std::string pattern = folder + "/ophost-stdin-XXXXXX";
        int fd = mkstemp(pattern.data());
        if (fd < 0) {
            error = name_ + ": cannot create a temporary file in " + folder + " to count its frames: " +
                    std::strerror(errno) + " (give --frames A:B to read it as it comes)";
            return false;
        }
        ::unlink(pattern.c_str());
        FILE *tmp = fdopen(fd, "w+b");
        if (!tmp) {
            ::close(fd);
            error = name_ + ": cannot use a temporary file in " + folder + ": " + std::strerror(errno);
            return false;
        }
        std::fprintf(stderr, "ophost: %s: copying it to a temporary file in %s to count its frames "
                     "(give --frames A:B to read it as it comes)\n", name_.c_str(), folder.c_str());
        std::string header = media::formatY4mHeader(reader_.header());
        bool ok = std::fwrite(header.data(), 1, header.size(), tmp) == header.size();
        // The rest of the stream the header came from: standard input, or
        // a named pipe given by its name.
        FILE *source = reader_.stream();
        char chunk[1 << 16];
        size_t n;
        while (ok && (n = std::fread(chunk, 1, sizeof chunk, source)) > 0)
            ok = std::fwrite(chunk, 1, n, tmp) == n;
        if (!ok || std::fflush(tmp) != 0) {
            error = name_ + ": cannot copy it to a temporary file in " + folder + ": " + std::strerror(errno) +
                    " (give --frames A:B to read it as it comes)";
            std::fclose(tmp);
            return false;
        }
        if (std::ferror(source)) {
            error = name_ + ": read error: " + std::strerror(errno);
            std::fclose(tmp);
            return false;
        }
        std::rewind(tmp);
        spoolFile_.reset(tmp);
        return reader_.open(tmp, name_, error);
    }

    struct FileCloser {
        void operator()(FILE *f) const { std::fclose(f); }
    };

    std::string name_;
    bool isPipe_ = false;
    // Declared before the reader so that it is closed after it.
    std::unique_ptr<FILE, FileCloser> spoolFile_;
    media::Y4mReader reader_;
    FrameCache cache_;
};

class StillClip : public Clip {
public:
    bool open(const std::string &path, std::string &error)
    {
        name_ = path;
        media::RgbaImage image;
        if (!media::readPng(path, image, error)) return false;
        media::frameFromRgba(image, frame_);
        return true;
    }
    int width() const override { return frame_.width; }
    int height() const override { return frame_.height; }
    bool bottomFirst() const override { return false; }
    bool progressive() const override { return true; }
    // Its alpha reaches the operators as the key, but an output keeps the
    // key only when asked to (--pix 444alpha).
    media::Chroma chroma() const override { return media::Chroma::C444; }
    int frameCount(std::string &error) override
    {
        error.clear();
        return 1;
    }
    bool isStill() const override { return true; }
    bool frame(int index, media::VideoFrame &out, std::string &error) override
    {
        error.clear();
        if (index < 0) return false;
        out = frame_;
        return true;
    }
    bool fields(int index, FieldPair &out, media::VideoFrame &, std::string &error) override
    {
        error.clear();
        if (index < 0) return false;
        splitFrame(frame_, out);
        return true;
    }
    const std::string &name() const override { return name_; }

private:
    std::string name_;
    media::VideoFrame frame_;
};

class MemoryClip : public Clip {
public:
    MemoryClip(std::vector<media::VideoFrame> frames, bool bottomFirst, media::Chroma chroma)
        : frames_(std::move(frames)), bottomFirst_(bottomFirst), chroma_(chroma)
    {
    }
    int width() const override { return frames_.empty() ? 0 : frames_[0].width; }
    int height() const override { return frames_.empty() ? 0 : frames_[0].height; }
    bool bottomFirst() const override { return bottomFirst_; }
    media::Chroma chroma() const override { return chroma_; }
    int frameCount(std::string &error) override
    {
        error.clear();
        return int(frames_.size());
    }
    bool frame(int index, media::VideoFrame &out, std::string &error) override
    {
        error.clear();
        if (index < 0 || size_t(index) >= frames_.size()) return false;
        out = frames_[size_t(index)];
        return true;
    }
    const std::string &name() const override { return name_; }

private:
    std::vector<media::VideoFrame> frames_;
    bool bottomFirst_;
    media::Chroma chroma_;
    std::string name_ = "memory";
};

} // namespace

// Passes everything on but the field order.
class FieldOrderClip : public Clip {
public:
    FieldOrderClip(std::unique_ptr<Clip> inner, media::Interlace order) : inner_(std::move(inner)), order_(order)
    {
        if (const media::VideoTraits *t = inner_->traits()) {
            traits_ = *t;
            traits_.interlace = order_;
        }
    }
    int width() const override { return inner_->width(); }
    int height() const override { return inner_->height(); }
    bool bottomFirst() const override { return order_ == media::Interlace::BottomFirst; }
    bool progressive() const override { return order_ == media::Interlace::Progressive; }
    const media::Y4mHeader *y4mHeader() const override { return inner_->y4mHeader(); }
    media::Chroma chroma() const override { return inner_->chroma(); }
    int rateNum() const override { return inner_->rateNum(); }
    int rateDen() const override { return inner_->rateDen(); }
    const media::VideoTraits *traits() const override { return inner_->traits() ? &traits_ : nullptr; }
    int frameCount(std::string &error) override { return inner_->frameCount(error); }
    bool isStill() const override { return inner_->isStill(); }
    bool streamed() const override { return inner_->streamed(); }
    bool frame(int index, media::VideoFrame &out, std::string &error) override { return inner_->frame(index, out, error); }
    const std::string &name() const override { return inner_->name(); }

private:
    std::unique_ptr<Clip> inner_;
    media::Interlace order_;
    media::VideoTraits traits_;
};

std::unique_ptr<Clip> openClip(const std::string &path, std::string &error)
{
    // The built-in readers are chosen by the first bytes; an image sequence
    // pattern names no file of its own.
    uint8_t head[16] = {};
    size_t got = 0;
    if (path != "-") {
        struct stat st;
        const bool found = ::stat(path.c_str(), &st) == 0;
        if (found && S_ISDIR(st.st_mode)) {
            error = path + ": is a folder, not a video file";
            return nullptr;
        }
        // A pipe (a named one, or a shell's <(...)) cannot be read twice:
        // it is YUV4MPEG2, as standard input is.
        if (found && !S_ISREG(st.st_mode)) {
            auto clip = std::make_unique<Y4mClip>();
            if (!clip->open(path, error)) return nullptr;
            return clip;
        }
        if (FILE *f = std::fopen(path.c_str(), "rb")) {
            got = std::fread(head, 1, sizeof head, f);
            std::fclose(f);
        } else if (path.find('%') == std::string::npos) {
            error = path + ": cannot open: " + std::strerror(errno);
            return nullptr;
        }
    }
    if (path != "-" && media::looksLikePng(head, got)) {
        auto clip = std::make_unique<StillClip>();
        if (!clip->open(path, error)) return nullptr;
        return clip;
    }
    // A .y4m name keeps the built-in reader, whose messages say what is wrong.
    if (path == "-" || media::looksLikeY4m(head, got) || endsWith(path, ".y4m")) {
        auto clip = std::make_unique<Y4mClip>();
        if (!clip->open(path, error)) return nullptr;
        return clip;
    }
    return openAvClip(path, error);
}

std::unique_ptr<Clip> withFieldOrder(std::unique_ptr<Clip> clip, media::Interlace order)
{
    if (!clip || clip->isStill()) return clip;
    return std::make_unique<FieldOrderClip>(std::move(clip), order);
}

std::unique_ptr<Clip> memoryClip(std::vector<media::VideoFrame> frames, bool bottomFirst, media::Chroma chroma)
{
    return std::make_unique<MemoryClip>(std::move(frames), bottomFirst, chroma);
}

} // namespace ophost
