// Clips of any container through FFmpeg's libraries. A thread decodes and
// converts the next few frames while the operator works on the current
// one; only those few frames are held, whatever the clip's length.
#include <condition_variable>
#include <deque>
#include <mutex>
#include <thread>

#include "av_clip.h"
#include "media/av_io.h"
#include "pipeline.h"

namespace ophost {

namespace {

// At most this many frames decoded ahead, within half the run's in-flight
// bytes; a frame larger than that is decoded when it is asked for.
constexpr size_t READ_AHEAD = 3;

class AvClip : public Clip {
public:
    ~AvClip() override { stop(); }

    bool open(const std::string &path, std::string &error)
    {
        name_ = path;
        if (!reader_.open(path, error)) return false;
        readAhead_ = framesWithin(IN_FLIGHT_BYTES / 2, frameBytesOf(reader_.width(), reader_.height()), 0, READ_AHEAD);
        return true;
    }
    int width() const override { return reader_.width(); }
    int height() const override { return reader_.height(); }
    bool bottomFirst() const override { return reader_.traits().interlace == media::Interlace::BottomFirst; }
    bool progressive() const override { return reader_.traits().interlace == media::Interlace::Progressive; }
    media::Chroma chroma() const override { return reader_.chroma(); }
    int rateNum() const override { return reader_.traits().rateNum; }
    int rateDen() const override { return reader_.traits().rateDen; }
    const media::VideoTraits *traits() const override { return &reader_.traits(); }
    const std::string &name() const override { return name_; }

    int frameCount(std::string &error) override
    {
        std::lock_guard<std::mutex> lock(countLock_);
        if (count_ < 0) {
            stop();
            count_ = reader_.frameCount(error);
        }
        return count_;
    }

    bool frame(int index, media::VideoFrame &out, std::string &error) override
    {
        if (!fetch(index, error)) return false;
        if (readAhead_ == 0) {
            // A frame too large to keep twice is handed over, not copied
            // (asked for again, it is decoded again).
            std::swap(out, last_);
            lastIndex_ = -1;
            return true;
        }
        out = last_;
        return true;
    }

    // Split straight from the decoded frame, without a copy of it first.
    bool fields(int index, FieldPair &out, media::VideoFrame &, std::string &error) override
    {
        if (!fetch(index, error)) return false;
        splitFrame(last_, out);
        return true;
    }

private:
    // Makes frame `index` the last one taken (last_).
    bool fetch(int index, std::string &error)
    {
        error.clear();
        if (index < 0) return false;
        if (index == lastIndex_) return true;
        // Going back, or before the frames read ahead: start again.
        if (index < nextWanted_) {
            stop();
            if (!reader_.rewind(error)) return false;
            ready_.clear();
            nextWanted_ = 0;
        }
        if (readAhead_ == 0) return decodeUpTo(index, error);
        start();
        std::unique_lock<std::mutex> lock(lock_);
        for (;;) {
            while (!ready_.empty() && ready_.front().first < index) {
                spare_.push_back(std::move(ready_.front().second));
                ready_.pop_front();
                wake_.notify_all();
            }
            if (!ready_.empty()) break;
            if (ended_) {
                error = fault_;
                nextWanted_ = index;
                return false;
            }
            wake_.wait(lock);
        }
        std::swap(last_, ready_.front().second);
        ready_.pop_front();
        wake_.notify_all();
        lastIndex_ = index;
        nextWanted_ = index + 1;
        return true;
    }

    // Without read-ahead: decodes on the caller's thread into last_.
    bool decodeUpTo(int index, std::string &error)
    {
        lastIndex_ = -1;
        while (reader_.nextIndex() <= index) {
            const int got = reader_.nextIndex();
            if (!reader_.next(last_, error)) {
                nextWanted_ = index;
                return false;
            }
            lastIndex_ = got;
        }
        nextWanted_ = index + 1;
        return lastIndex_ == index;
    }

    void start()
    {
        if (worker_.joinable()) return;
        {
            std::lock_guard<std::mutex> lock(lock_);
            stopping_ = false;
            ended_ = false;
            fault_.clear();
        }
        worker_ = std::thread([this] { readAhead(); });
    }

    void stop()
    {
        if (!worker_.joinable()) return;
        {
            std::lock_guard<std::mutex> lock(lock_);
            stopping_ = true;
        }
        wake_.notify_all();
        worker_.join();
        // What was read ahead stays valid: the reader is past it.
    }

    void readAhead()
    {
        for (;;) {
            media::VideoFrame frame;
            {
                std::unique_lock<std::mutex> lock(lock_);
                wake_.wait(lock, [this] { return stopping_ || ready_.size() < readAhead_; });
                if (stopping_) return;
                if (!spare_.empty()) {
                    frame = std::move(spare_.back());
                    spare_.pop_back();
                }
            }
            const int index = reader_.nextIndex();
            std::string error;
            const bool got = reader_.next(frame, error);
            std::lock_guard<std::mutex> lock(lock_);
            if (!got) {
                ended_ = true;
                fault_ = error;
                wake_.notify_all();
                return;
            }
            ready_.emplace_back(index, std::move(frame));
            wake_.notify_all();
        }
    }

    std::string name_;
    media::AvReader reader_;
    size_t readAhead_ = READ_AHEAD;
    std::mutex countLock_;
    int count_ = -1;
    // Shared with the reading thread.
    std::thread worker_;
    std::mutex lock_;
    std::condition_variable wake_;
    std::deque<std::pair<int, media::VideoFrame>> ready_;
    std::vector<media::VideoFrame> spare_;   // buffers to decode into again
    bool stopping_ = false, ended_ = false;
    std::string fault_;
    // The consumer's side.
    int nextWanted_ = 0;
    int lastIndex_ = -1;
    media::VideoFrame last_;
};

} // namespace

std::unique_ptr<Clip> openAvClip(const std::string &path, std::string &error)
{
    auto clip = std::make_unique<AvClip>();
    if (!clip->open(path, error)) return nullptr;
    return clip;
}

} // namespace ophost
