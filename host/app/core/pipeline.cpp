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

namespace {

size_t pairBytes(const FieldPair &pair)
{
    return (pair.field[0].capacity() + pair.field[1].capacity()) * sizeof(Pixel);
}

} // namespace

FrameReader::FrameReader(Clip &clip, int first, int end, BufferPool &pool, size_t depth, size_t bytes)
    : clip_(clip), end_(end), pool_(pool), frameBytes_(frameBytesOf(clip.width(), clip.height())), taken_(first),
      ready_(depth, bytes), first_(first)
{
    thread_ = std::thread([this] { run(); });
}

FrameReader::~FrameReader() { stop(); }

void FrameReader::stop()
{
    ready_.close();
    if (thread_.joinable()) thread_.join();
    ready_.drain([this](Entry &entry) { pool_.give(entry.pair); });
}

void FrameReader::run()
{
    media::VideoFrame scratch;
    for (int index = first_; index < end_; ++index) {
        // Room first, so that no frame is read that the queue cannot take.
        if (!ready_.waitForRoom(frameBytes_)) return;
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
        const size_t bytes = pairBytes(entry.pair);
        if (!ready_.push(std::move(entry), bytes)) {
            pool_.give(entry.pair);
            return;
        }
        if (last) return;
    }
}

bool FrameReader::next(FieldPair &pair, int &index, std::string &error)
{
    error.clear();
    if (finished_ || taken_ >= end_) return false;
    Entry entry;
    if (!ready_.pop(entry)) {
        finished_ = true;
        return false;
    }
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

FrameWriter::FrameWriter(FrameSink &sink, int width, int height, BufferPool &pool, size_t depth, size_t bytes)
    : sink_(sink), width_(width), height_(height), pool_(pool), queue_(depth, bytes)
{
    thread_ = std::thread([this] { run(); });
}

FrameWriter::~FrameWriter()
{
    {
        std::lock_guard<std::mutex> lock(mutex_);
        abandoned_ = true;
    }
    queue_.close();
    queue_.drain([this](FieldPair &pair) { pool_.give(pair); });
    if (thread_.joinable()) thread_.join();
}

std::string FrameWriter::fault()
{
    std::lock_guard<std::mutex> lock(mutex_);
    return fault_;
}

void FrameWriter::run()
{
    media::VideoFrame scratch;
    FieldPair pair;
    while (queue_.pop(pair)) {
        bool skip;
        {
            std::lock_guard<std::mutex> lock(mutex_);
            skip = abandoned_ || !fault_.empty();
        }
        if (skip) {
            // Nothing after a failed frame is written; what comes is dropped
            // so that the producer is never kept waiting.
            pool_.give(pair);
            continue;
        }
        std::string fault;
        bool ok = false;
        try {
            ok = sink_.writeRows(media::fieldRows(std::as_const(pair.field[0]).data(),
                                                  std::as_const(pair.field[1]).data(), width_),
                                 width_, height_, scratch, fault);
        } catch (const std::bad_alloc &) {
            fault = "out of memory while writing a frame";
        }
        pool_.give(pair);
        if (!ok) {
            std::lock_guard<std::mutex> lock(mutex_);
            if (fault_.empty()) fault_ = fault.empty() ? std::string("a frame could not be written") : fault;
        }
    }
}

bool FrameWriter::write(FieldPair &&pair, std::string &error)
{
    std::string failed = fault();
    const size_t bytes = pairBytes(pair);
    if (failed.empty() && queue_.push(std::move(pair), bytes)) return true;
    if (failed.empty()) failed = "the output is closed";
    error = failed;
    pool_.give(pair);
    return false;
}

bool FrameWriter::finish(std::string &error)
{
    queue_.close();   // the thread writes what is queued, then ends
    if (thread_.joinable()) thread_.join();
    if (std::string failed = fault(); !failed.empty()) {
        error = failed;
        return false;
    }
    return true;
}

} // namespace ophost
