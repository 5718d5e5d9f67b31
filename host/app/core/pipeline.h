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
// most `depth` frames ahead of the one taken last. Only that thread uses the
// clip until stop() has returned.
class FrameReader {
public:
    FrameReader(Clip &clip, int first, int end, BufferPool &pool, size_t depth = 2);
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
    const size_t depth_;
    int taken_;
    bool finished_ = false;
    std::mutex mutex_;
    std::condition_variable changed_;
    std::deque<Entry> ready_;
    bool stopping_ = false;
    int first_;
    std::thread thread_;
};

// Writes frames to a sink on a thread of its own, at most `depth` of them
// waiting. The sink is used by that thread only, until finish() or the
// destructor has returned.
class FrameWriter {
public:
    FrameWriter(FrameSink &sink, int width, int height, BufferPool &pool, size_t depth = 2);
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

    FrameSink &sink_;
    const int width_, height_;
    BufferPool &pool_;
    const size_t depth_;
    std::mutex mutex_;
    std::condition_variable changed_;
    std::deque<FieldPair> queue_;
    bool writing_ = false;   // a frame is being written
    bool closing_ = false;
    std::string fault_;
    std::thread thread_;
};

} // namespace ophost
