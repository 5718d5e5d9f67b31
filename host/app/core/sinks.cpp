// Output: YUV4MPEG2 to a file or standard output, or PNG files. Files are
// written under a temporary name beside the target and renamed into place
// only when the run has succeeded.
#include <fcntl.h>
#include <unistd.h>

#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstring>

#include "media/png_io.h"
#include "media/y4m.h"
#include "media/yuv_rgb.h"
#include "ophost/run.h"

namespace ophost {

namespace {

bool endsWith(const std::string &s, const char *suffix)
{
    size_t n = std::strlen(suffix);
    if (s.size() < n) return false;
    for (size_t i = 0; i < n; ++i)
        if (std::tolower(static_cast<unsigned char>(s[s.size() - n + i])) != suffix[i]) return false;
    return true;
}

// A fresh temporary name in the target's folder, so that rename() is atomic.
std::string temporaryName(const std::string &target)
{
    static unsigned counter = 0;
    size_t slash = target.find_last_of('/');
    std::string folder = slash == std::string::npos ? std::string() : target.substr(0, slash + 1);
    std::string base = slash == std::string::npos ? target : target.substr(slash + 1);
    return folder + "." + base + ".ophost-" + std::to_string(getpid()) + "-" + std::to_string(counter++) + ".tmp";
}

FILE *createTemporary(const std::string &target, std::string &tempName, std::string &error)
{
    tempName = temporaryName(target);
    int fd = ::open(tempName.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd < 0) {
        error = target + ": cannot write: " + std::strerror(errno);
        return nullptr;
    }
    FILE *f = fdopen(fd, "wb");
    if (!f) {
        error = target + ": cannot write: " + std::strerror(errno);
        ::close(fd);
        ::unlink(tempName.c_str());
    }
    return f;
}

class Y4mSink : public FrameSink {
public:
    Y4mSink(const OutputFormat &format) : format_(format) {}
    ~Y4mSink() override { abandon(); }

    bool open(const std::string &path, std::string &error)
    {
        if (path == "-") {
            name_ = "standard output";
            file_ = stdout;
            return true;
        }
        name_ = path;
        target_ = path;
        file_ = createTemporary(path, tempName_, error);
        return file_ != nullptr;
    }

    bool write(const media::VideoFrame &frame, std::string &error) override
    {
        if (!file_) {
            error = name_ + ": not open";
            return false;
        }
        if (!started_) {
            media::Y4mHeader h;
            h.width = frame.width;
            h.height = frame.height;
            h.chroma = format_.chroma;
            h.interlace = !format_.interlaced ? media::Interlace::Progressive
                          : format_.bottomFirst ? media::Interlace::BottomFirst
                                                : media::Interlace::TopFirst;
            h.rateNum = format_.rateNum;
            h.rateDen = format_.rateDen;
            h.aspectNum = format_.aspectNum;
            h.aspectDen = format_.aspectDen;
            h.extras = format_.extras;
            if (!writer_.open(file_, name_, h, error)) return false;
            started_ = true;
        }
        return writer_.write(frame, error);
    }

    bool finish(std::string &error) override
    {
        if (!file_) return true;
        bool ok = !started_ || writer_.flush(error);
        if (tempName_.empty()) {
            file_ = nullptr;
            return ok;
        }
        if (std::fclose(file_) != 0 && ok) {
            error = name_ + ": cannot write: " + std::strerror(errno);
            ok = false;
        }
        file_ = nullptr;
        if (ok && std::rename(tempName_.c_str(), target_.c_str()) != 0) {
            error = target_ + ": cannot rename the finished output into place: " + std::strerror(errno);
            ok = false;
        }
        if (!ok) ::unlink(tempName_.c_str());
        tempName_.clear();
        return ok;
    }

    void abandon() override
    {
        if (file_ && file_ != stdout) std::fclose(file_);
        if (file_ == stdout) std::fflush(stdout);
        file_ = nullptr;
        if (!tempName_.empty()) ::unlink(tempName_.c_str());
        tempName_.clear();
    }

private:
    OutputFormat format_;
    std::string name_, target_, tempName_;
    FILE *file_ = nullptr;
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
        // Fail now, not after the whole run, when the folder is not writable.
        std::string probe;
        FILE *f = createTemporary(fileName(format_.firstNumber), probe, error);
        if (!f) return false;
        std::fclose(f);
        ::unlink(probe.c_str());
        return true;
    }

    bool write(const media::VideoFrame &frame, std::string &error) override
    {
        int number = format_.firstNumber + written_;
        if (!numbered_ && written_ > 0) {
            error = pattern_ + ": the section has more than one frame; give the output name a %d";
            return false;
        }
        std::string target = fileName(number);
        std::string temp = temporaryName(target);
        media::RgbaImage image;
        media::frameToRgba(frame, image);
        std::string fault;
        if (!media::writePng(temp, image, format_.chroma == media::Chroma::C444alpha, fault)) {
            ::unlink(temp.c_str());
            error = target + ": " + fault;
            return false;
        }
        pending_.emplace_back(temp, target);
        ++written_;
        return true;
    }

    bool finish(std::string &error) override
    {
        for (size_t i = 0; i < pending_.size(); ++i) {
            if (std::rename(pending_[i].first.c_str(), pending_[i].second.c_str()) != 0) {
                error = pending_[i].second + ": cannot rename the finished output into place: " + std::strerror(errno);
                for (size_t j = i; j < pending_.size(); ++j) ::unlink(pending_[j].first.c_str());
                pending_.clear();
                return false;
            }
        }
        pending_.clear();
        return true;
    }

    void abandon() override
    {
        for (auto &p : pending_) ::unlink(p.first.c_str());
        pending_.clear();
    }

private:
    std::string fileName(int number) const
    {
        if (!numbered_) return pattern_;
        char buf[4096];
        // The pattern was checked in open(): one %d conversion, %% escapes.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wformat-nonliteral"
        std::snprintf(buf, sizeof buf, pattern_.c_str(), number);
#pragma GCC diagnostic pop
        return buf;
    }

    OutputFormat format_;
    std::string pattern_;
    bool numbered_ = false;
    int written_ = 0;
    std::vector<std::pair<std::string, std::string>> pending_;
};

} // namespace

std::unique_ptr<FrameSink> openSink(const std::string &path, const OutputFormat &format, std::string &error)
{
    if (endsWith(path, ".png")) {
        auto sink = std::make_unique<PngSink>(format);
        if (!sink->open(path, error)) return nullptr;
        return sink;
    }
    if (path != "-" && !endsWith(path, ".y4m")) {
        error = path + ": unknown output type (expected .y4m, .png or - for YUV4MPEG2 on standard output)";
        return nullptr;
    }
    auto sink = std::make_unique<Y4mSink>(format);
    if (!sink->open(path, error)) return nullptr;
    return sink;
}

} // namespace ophost
