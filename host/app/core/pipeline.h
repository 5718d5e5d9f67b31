// The threads of a rendering run beside the operator's: each input read a
// few frames ahead, and the output written behind, so that the operator's
// thread only renders. Frames travel as their two fields; the field buffers
// are handed from thread to thread (and into and out of the operator's
// pictures) rather than copied.
#pragma once

#include <condition_variable>
#include <deque>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "ophost/run.h"

namespace ophost {

// What the threads of a run may hold beyond the frames they work on: frames
// read ahead, waiting to be written, and spare buffers. Queues are sized by
// bytes, not frames, so that a huge picture never multiplies; above this
// size a frame is not worth a thread's head start at all.
constexpr size_t IN_FLIGHT_BYTES = size_t(64) << 20;

// How many frames of `frameBytes` fit in `budget`, within least..most.
inline size_t framesWithin(size_t budget, size_t frameBytes, size_t least, size_t most)
{
    size_t n = frameBytes ? budget / frameBytes : most;
    return n < least ? least : n > most ? most : n;
}

// The bytes of one frame of w x h pixels as the run holds it.
inline size_t frameBytesOf(int width, int height)
{
    return size_t(width > 0 ? width : 0) * size_t(height > 0 ? height : 0) * sizeof(Pixel);
}

// The queue between two of a run's threads, bounded by items and by bytes.
// The producer waits for room before it makes an item, so that no more is
// ever held than the bounds allow; an item larger than the byte bound
// still passes when the queue is empty, one at a time. close() wakes both
// sides: the producer is refused from then on, the consumer takes what is
// left and then gets false.
template <class T> class BoundedQueue {
public:
    BoundedQueue(size_t maxItems, size_t maxBytes) : maxItems_(maxItems < 1 ? 1 : maxItems), maxBytes_(maxBytes) {}

    // Waits until an item of `bytes` fits; false once closed.
    bool waitForRoom(size_t bytes)
    {
        std::unique_lock<std::mutex> lock(mutex_);
        changed_.wait(lock, [&] { return closed_ || fits(bytes); });
        return !closed_;
    }
    // Waits for room, then adds the item; false (the item left as it was)
    // once closed.
    bool push(T &&item, size_t bytes)
    {
        {
            std::unique_lock<std::mutex> lock(mutex_);
            changed_.wait(lock, [&] { return closed_ || fits(bytes); });
            if (closed_) return false;
            items_.push_back({std::move(item), bytes});
            bytes_ += bytes;
        }
        changed_.notify_all();
        return true;
    }
    // Adds the item only when it fits now; false (the item left as it was)
    // when full or closed.
    bool tryPush(T &&item, size_t bytes)
    {
        {
            std::lock_guard<std::mutex> lock(mutex_);
            if (closed_ || !fits(bytes)) return false;
            items_.push_back({std::move(item), bytes});
            bytes_ += bytes;
        }
        changed_.notify_all();
        return true;
    }
    // The oldest item; waits while the queue is empty and open. False when
    // it is closed and empty.
    bool pop(T &item)
    {
        {
            std::unique_lock<std::mutex> lock(mutex_);
            changed_.wait(lock, [&] { return closed_ || !items_.empty(); });
            if (items_.empty()) return false;
            item = std::move(items_.front().item);
            bytes_ -= items_.front().bytes;
            items_.pop_front();
        }
        changed_.notify_all();
        return true;
    }
    void close()
    {
        {
            std::lock_guard<std::mutex> lock(mutex_);
            closed_ = true;
        }
        changed_.notify_all();
    }
    // Takes every item left, oldest first, into `use`.
    template <class F> void drain(F use)
    {
        std::deque<Held> left;
        {
            std::lock_guard<std::mutex> lock(mutex_);
            left.swap(items_);
            bytes_ = 0;
        }
        changed_.notify_all();
        for (Held &h : left) use(h.item);
    }
    size_t size()
    {
        std::lock_guard<std::mutex> lock(mutex_);
        return items_.size();
    }

private:
    struct Held {
        T item;
        size_t bytes;
    };
    bool fits(size_t bytes) const
    {
        return items_.empty() || (items_.size() < maxItems_ && bytes_ + bytes <= maxBytes_);
    }

    const size_t maxItems_, maxBytes_;
    std::mutex mutex_;
    std::condition_variable changed_;
    std::deque<Held> items_;
    size_t bytes_ = 0;
    bool closed_ = false;
};

// Field buffers no thread uses at the moment, shared by the run's threads.
class BufferPool {
public:
    std::vector<Pixel> take();
    // Keeps at most a few buffers, IN_FLIGHT_BYTES in all; the rest are freed.
    void give(std::vector<Pixel> &&buffer);
    void give(FieldPair &pair);

private:
    std::mutex mutex_;
    std::vector<std::vector<Pixel>> kept_;
    size_t keptBytes_ = 0;
};

// Reads frames [first, end) of a clip, in order, on a thread of its own, at
// most `depth` frames (and `bytes` bytes) ahead of the one taken last. Only
// that thread uses the clip until stop() has returned.
class FrameReader {
public:
    FrameReader(Clip &clip, int first, int end, BufferPool &pool, size_t depth = 2,
                size_t bytes = IN_FLIGHT_BYTES / 2);
    ~FrameReader();
    FrameReader(const FrameReader &) = delete;
    FrameReader &operator=(const FrameReader &) = delete;

    // The next frame: false at the clip's end (error empty) or with the
    // fault; after that it answers false again. `index` is its number.
    bool next(FieldPair &pair, int &index, std::string &error);
    // The frame the next call of next() gives.
    int nextIndex() const { return taken_; }
    // Ends the thread (the frames read ahead are dropped).
    void stop();

private:
    struct Entry {
        FieldPair pair;
        bool ok = false;
        std::string error;
    };
    void run();

    Clip &clip_;
    const int end_;
    BufferPool &pool_;
    const size_t frameBytes_;
    int taken_;
    bool finished_ = false;
    BoundedQueue<Entry> ready_;
    int first_;
    std::thread thread_;
};

// Writes frames to a sink on a thread of its own, at most `depth` of them
// (and `bytes` bytes) waiting. The sink is used by that thread only, until
// finish() or the destructor has returned.
class FrameWriter {
public:
    FrameWriter(FrameSink &sink, int width, int height, BufferPool &pool, size_t depth = 2,
                size_t bytes = IN_FLIGHT_BYTES / 2);
    ~FrameWriter();
    FrameWriter(const FrameWriter &) = delete;
    FrameWriter &operator=(const FrameWriter &) = delete;

    // Queues a frame (its buffers go back to the pool once written). False
    // once a write has failed, with its fault.
    bool write(FieldPair &&pair, std::string &error);
    // Waits until every queued frame is written; false with the first fault.
    bool finish(std::string &error);

private:
    void run();
    std::string fault();

    FrameSink &sink_;
    const int width_, height_;
    BufferPool &pool_;
    BoundedQueue<FieldPair> queue_;
    std::mutex mutex_;
    std::string fault_;          // the first failed write's; nothing after it is written
    bool abandoned_ = false;     // destroyed unfinished: nothing more is written
    std::thread thread_;
};

} // namespace ophost
