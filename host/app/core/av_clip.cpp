// Clips of any container through FFmpeg's libraries. Frames are decoded on
// the caller's thread (a run reads ahead on a thread of its own, see
// pipeline.h); a jump decodes from the key frame before the frame asked
// for, and the last few frames are kept, so that stepping back and forth
// near the current one decodes nothing again.
#include <algorithm>
#include <deque>

#include "av_clip.h"
#include "media/av_io.h"
#include "pipeline.h"

namespace ophost {

namespace {

// Frames kept for stepping back and forth (an editor's), within half the
// run's in-flight bytes; none of a frame larger than that (it is handed
// over, not copied). A run's reading thread keeps none (see fields()).
constexpr size_t KEPT_FRAMES = 4;

class AvClip : public Clip {
public:
    bool open(const std::string &path, std::string &error)
    {
        name_ = path;
        if (!reader_.open(path, error)) return false;
        kept_ = framesWithin(IN_FLIGHT_BYTES / 2, frameBytesOf(reader_.width(), reader_.height()), 0, KEPT_FRAMES);
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
        if (count_ < 0) count_ = reader_.frameCount(error);
        return count_;
    }

    bool frame(int index, media::VideoFrame &out, std::string &error) override
    {
        error.clear();
        if (index < 0) return false;
        if (const media::VideoFrame *kept = find(index)) {
            out = *kept;
            return true;
        }
        if (kept_ == 0) return decode(index, out, error);
        const media::VideoFrame *got = fetch(index, error);
        if (!got) return false;
        out = *got;
        return true;
    }

    // A run reads each frame once, in order: straight into its fields,
    // without a frame in between (one kept is split).
    bool fields(int index, FieldPair &out, media::VideoFrame &, std::string &error) override
    {
        error.clear();
        if (index < 0) return false;
        if (const media::VideoFrame *kept = find(index)) {
            splitFrame(*kept, out);
            return true;
        }
        return reader_.seek(index, error) && reader_.nextFields(out.field[0], out.field[1], error);
    }

private:
    const media::VideoFrame *find(int index) const
    {
        for (const auto &entry : frames_)
            if (entry.first == index) return &entry.second;
        return nullptr;
    }

    // Frame `index` into `out`, nothing kept.
    bool decode(int index, media::VideoFrame &out, std::string &error)
    {
        return reader_.seek(index, error) && reader_.next(out, error);
    }

    // Decodes frame `index` into the kept frames. Going back in a codec with
    // groups of pictures, the frames just before it are kept too, as the
    // decoder passes them anyway.
    const media::VideoFrame *fetch(int index, std::string &error)
    {
        const bool back = index < reader_.nextIndex() && !reader_.intraOnly();
        const int from = back ? std::max(0, index - int(kept_) + 1) : index;
        if (!reader_.seek(from, error)) return nullptr;
        for (int i = from; i <= index; ++i) {
            media::VideoFrame slot;
            if (frames_.size() >= kept_) {
                slot = std::move(frames_.front().second);
                frames_.pop_front();
            }
            if (!reader_.next(slot, error)) return nullptr;
            for (auto e = frames_.begin(); e != frames_.end(); ++e)
                if (e->first == i) {
                    frames_.erase(e);
                    break;
                }
            frames_.emplace_back(i, std::move(slot));
        }
        return &frames_.back().second;
    }

    std::string name_;
    media::AvReader reader_;
    size_t kept_ = KEPT_FRAMES;
    int count_ = -1;
    std::deque<std::pair<int, media::VideoFrame>> frames_;
};

} // namespace

std::unique_ptr<Clip> openAvClip(const std::string &path, std::string &error)
{
    auto clip = std::make_unique<AvClip>();
    if (!clip->open(path, error)) return nullptr;
    return clip;
}

} // namespace ophost
