// Input clips: YUV4MPEG2 files and pipes, PNG stills, frames in memory.
#include <unistd.h>

#include <cctype>
#include <cstdlib>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <deque>

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
        char chunk[1 << 16];
        size_t n;
        while (ok && (n = std::fread(chunk, 1, sizeof chunk, stdin)) > 0)
            ok = std::fwrite(chunk, 1, n, tmp) == n;
        if (!ok || std::fflush(tmp) != 0) {
            error = name_ + ": cannot copy it to a temporary file in " + folder + ": " + std::strerror(errno) +
                    " (give --frames A:B to read it as it comes)";
            std::fclose(tmp);
            return false;
        }
        if (std::ferror(stdin)) {
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

std::unique_ptr<Clip> openClip(const std::string &path, std::string &error)
{
    if (endsWith(path, ".png")) {
        auto clip = std::make_unique<StillClip>();
        if (!clip->open(path, error)) return nullptr;
        return clip;
    }
    if (path != "-" && !endsWith(path, ".y4m")) {
        error = path + ": unknown input type (expected .y4m, .png or - for YUV4MPEG2 on standard input)";
        return nullptr;
    }
    auto clip = std::make_unique<Y4mClip>();
    if (!clip->open(path, error)) return nullptr;
    return clip;
}

std::unique_ptr<Clip> memoryClip(std::vector<media::VideoFrame> frames, bool bottomFirst, media::Chroma chroma)
{
    return std::make_unique<MemoryClip>(std::move(frames), bottomFirst, chroma);
}

} // namespace ophost
