#include "pipeline.h"

#include <new>
#include <utility>

namespace ophost {

// ---------------------------------------------------------------- buffers

std::vector<Pixel> BufferPool::take()
{
    std::lock_guard<std::mutex> lock(mutex_);
    if (kept_.empty()) return {};
    std::vector<Pixel> buffer = std::move(kept_.back());
    kept_.pop_back();
    keptBytes_ -= buffer.capacity() * sizeof(Pixel);
    return buffer;
}

void BufferPool::give(std::vector<Pixel> &&buffer)
{
    // Enough for the frames in flight between three threads; a run never
    // needs more at once, so more would only hold memory.
    constexpr size_t KEPT = 16;
    if (buffer.capacity() == 0) return;
    std::vector<Pixel> dropped;
    std::lock_guard<std::mutex> lock(mutex_);
    const size_t bytes = buffer.capacity() * sizeof(Pixel);
    if (kept_.size() < KEPT && keptBytes_ + bytes <= IN_FLIGHT_BYTES) {
        keptBytes_ += bytes;
        kept_.push_back(std::move(buffer));
    } else {
        dropped = std::move(buffer);
    }
}

void BufferPool::give(FieldPair &pair)
{
    give(std::move(pair.field[0]));
    give(std::move(pair.field[1]));
    pair.field[0] = {};
    pair.field[1] = {};
}

// ---------------------------------------------------------------- reading

FrameReader::FrameReader(Clip &clip, int first, int end, BufferPool &pool, size_t depth)
    : clip_(clip), end_(end), pool_(pool), depth_(depth < 1 ? 1 : depth), taken_(first), first_(first)
{
    thread_ = std::thread([this] { run(); });
}

FrameReader::~FrameReader() { stop(); }

void FrameReader::stop()
{
    {
        std::lock_guard<std::mutex> lock(mutex_);
        stopping_ = true;
    }
    changed_.notify_all();
    if (thread_.joinable()) thread_.join();
    for (Entry &entry : ready_) pool_.give(entry.pair);
    ready_.clear();
}

void FrameReader::run()
{
    media::VideoFrame scratch;
    for (int index = first_; index < end_; ++index) {
        {
            std::unique_lock<std::mutex> lock(mutex_);
            changed_.wait(lock, [this] { return stopping_ || ready_.size() < depth_; });
            if (stopping_) return;
        }
        Entry entry;
        entry.pair.field[0] = pool_.take();
        entry.pair.field[1] = pool_.take();
        try {
            entry.ok = clip_.fields(index, entry.pair, scratch, entry.error);
        } catch (const std::bad_alloc &) {
            entry.ok = false;
            entry.error = clip_.name() + ": frame " + std::to_string(index) + ": out of memory";
        }
        const bool last = !entry.ok;
        if (last) pool_.give(entry.pair);
        {
            std::lock_guard<std::mutex> lock(mutex_);
            ready_.push_back(std::move(entry));
        }
        changed_.notify_all();
        if (last) return;
    }
}

bool FrameReader::next(FieldPair &pair, int &index, std::string &error)
{
    error.clear();
    if (finished_ || taken_ >= end_) return false;
    Entry entry;
    {
        std::unique_lock<std::mutex> lock(mutex_);
        changed_.wait(lock, [this] { return !ready_.empty(); });
        entry = std::move(ready_.front());
        ready_.pop_front();
    }
    changed_.notify_all();
    if (!entry.ok) {
        finished_ = true;
        error = entry.error;
        return false;
    }
    std::swap(pair, entry.pair);
    pool_.give(entry.pair);
    index = taken_++;
    return true;
}

// ---------------------------------------------------------------- writing

FrameWriter::FrameWriter(FrameSink &sink, int width, int height, BufferPool &pool, size_t depth)
    : sink_(sink), width_(width), height_(height), pool_(pool), depth_(depth < 1 ? 1 : depth)
{
    thread_ = std::thread([this] { run(); });
}

FrameWriter::~FrameWriter()
{
    {
        std::lock_guard<std::mutex> lock(mutex_);
        closing_ = true;
        for (FieldPair &pair : queue_) pool_.give(pair);
        queue_.clear();
    }
    changed_.notify_all();
    if (thread_.joinable()) thread_.join();
}

void FrameWriter::run()
{
    media::VideoFrame scratch;
    for (;;) {
        FieldPair pair;
        {
            std::unique_lock<std::mutex> lock(mutex_);
            changed_.wait(lock, [this] { return closing_ || !queue_.empty(); });
            if (queue_.empty()) return;
            pair = std::move(queue_.front());
            queue_.pop_front();
            writing_ = true;
        }
        std::string fault;
        bool ok = false;
        try {
            ok = sink_.writeRows(media::fieldRows(std::as_const(pair.field[0]).data(), std::as_const(pair.field[1]).data(), width_), width_,
                                 height_, scratch, fault);
        } catch (const std::bad_alloc &) {
            fault = "out of memory while writing a frame";
        }
        pool_.give(pair);
        {
            std::lock_guard<std::mutex> lock(mutex_);
            writing_ = false;
            if (!ok && fault_.empty()) fault_ = fault.empty() ? std::string("a frame could not be written") : fault;
            if (!ok) {
                // Nothing after a failed frame is written.
                for (FieldPair &left : queue_) pool_.give(left);
                queue_.clear();
            }
        }
        changed_.notify_all();
    }
}

bool FrameWriter::write(FieldPair &&pair, std::string &error)
{
    std::unique_lock<std::mutex> lock(mutex_);
    changed_.wait(lock, [this] { return !fault_.empty() || queue_.size() < depth_; });
    if (!fault_.empty()) {
        error = fault_;
        pool_.give(pair);
        return false;
    }
    queue_.push_back(std::move(pair));
    lock.unlock();
    changed_.notify_all();
    return true;
}

bool FrameWriter::finish(std::string &error)
{
    {
        std::unique_lock<std::mutex> lock(mutex_);
        changed_.wait(lock, [this] { return queue_.empty() && !writing_; });
        closing_ = true;
    }
    changed_.notify_all();
    if (thread_.joinable()) thread_.join();
    if (!fault_.empty()) {
        error = fault_;
        return false;
    }
    return true;
}

} // namespace ophost
