// The render run with its inputs read ahead and its output written behind
// on threads of their own: the same frames as the run on one thread, for
// every kind of input and operator; fields asked for out of order; and
// faults on either side end the run cleanly.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "contract/host_calls.h"
#include "media/png_io.h"
#include "media/y4m.h"
#include "media/yuv_rgb.h"
#include "ophost/fields.h"
#include "ophost/run.h"
#include "pipeline.h"
#include "testsupport.h"
#include "y4m_files.h"

namespace {

std::vector<media::VideoFrame> noiseFrames(int w, int h, int count, uint32_t seed)
{
    std::mt19937 rng(seed);
    std::vector<media::VideoFrame> frames(static_cast<size_t>(count));
    for (media::VideoFrame &f : frames) {
        f.resize(w, h);
        for (Pixel &p : f.pixels) p = pixelFromWord(rng());
    }
    return frames;
}

std::string tempPath(const std::string &name)
{
    return testing::TempDir() + "pipeline_" + std::to_string(::getpid()) + "_" + name;
}

std::unique_ptr<ophost::Clip> openOrFail(const std::string &path)
{
    std::string error;
    auto clip = ophost::openClip(path, error);
    EXPECT_TRUE(clip) << error;
    return clip;
}

void expectSame(const std::vector<media::VideoFrame> &got, const std::vector<media::VideoFrame> &want,
                const std::string &what)
{
    ASSERT_EQ(got.size(), want.size()) << what;
    for (size_t k = 0; k < got.size(); ++k) {
        ASSERT_EQ(got[k].width, want[k].width) << what;
        ASSERT_EQ(got[k].height, want[k].height) << what;
        for (size_t i = 0; i < got[k].pixels.size(); ++i)
            ASSERT_EQ(pixelWord(got[k].pixels[i]), pixelWord(want[k].pixels[i])) << what << ": frame " << k << " pixel " << i;
    }
}

// A clip that fails (or ends) at one frame.
class FailingClip : public ophost::Clip {
public:
    FailingClip(std::vector<media::VideoFrame> frames, int failAt, std::string fault)
        : frames_(std::move(frames)), failAt_(failAt), fault_(std::move(fault))
    {
    }
    int width() const override { return frames_[0].width; }
    int height() const override { return frames_[0].height; }
    bool bottomFirst() const override { return false; }
    media::Chroma chroma() const override { return media::Chroma::C444alpha; }
    int frameCount(std::string &error) override
    {
        error.clear();
        return int(frames_.size());
    }
    bool frame(int index, media::VideoFrame &out, std::string &error) override
    {
        error.clear();
        if (index >= failAt_) {
            error = fault_;
            return false;
        }
        out = frames_[size_t(index)];
        return true;
    }
    const std::string &name() const override { return name_; }

private:
    std::vector<media::VideoFrame> frames_;
    int failAt_;
    std::string fault_, name_ = "failing";
};

// A sink whose n-th write fails.
class FailingSink : public ophost::MemorySink {
public:
    explicit FailingSink(size_t failAt) : failAt_(failAt) {}
    bool write(const media::VideoFrame &frame, std::string &error) override
    {
        if (frames.size() == failAt_) {
            error = "disk full";
            return false;
        }
        return MemorySink::write(frame, error);
    }
    void abandon() override
    {
        abandoned = true;
        MemorySink::abandon();
    }
    bool abandoned = false;

private:
    size_t failAt_;
};

// Host-side operators: each field of input 0 handed back as it is, asking
// for fields the way a careless operator might.
enum class Asking { InOrder, EarlierFrameToo, SameFieldTwice };
Asking asking = Asking::InOrder;

int32_t askingEntry(OperatorContext *ctx)
{
    if (ctx->action != OPACT_RENDER) return 0;
    const int32_t n = ctx->fieldNumber;
    if (asking == Asking::EarlierFrameToo && n >= 2) {
        Picture *earlier = opGetField(0, n - 2);
        if (!earlier) return -1;
        opFreeImage(earlier);
    }
    if (asking == Asking::SameFieldTwice) {
        Picture *first = opGetField(0, n);
        if (!first) return -1;
        opFreeImage(first);
    }
    Picture *field = opGetField(0, n);
    if (!field) return -1;
    return opPutField(field);
}

struct RunCase {
    const char *what;
    const char *op;   // empty: the asking entry
    Asking asking;
    int in0, in1;     // index into the inputs below; -1 none
    int first, end;
    bool preview;
};

} // namespace

// The queue takes items while both bounds hold, and always one item when
// it is empty, however large (a huge frame still passes, alone); closed, it
// refuses more and gives what it holds, oldest first.
TEST(Pipeline, QueueKeepsWithinItsBounds)
{
    struct Case {
        size_t maxItems, maxBytes;
        std::vector<size_t> sizes;   // offered in turn until one is refused
        size_t taken;
        bool refits;                 // the refused one fits once the first is taken
    } cases[] = {
        {2, 100, {10, 10, 10}, 2, true},      // the item bound
        {8, 100, {40, 40, 40}, 2, true},      // the byte bound
        {8, 100, {30, 60, 50}, 2, false},     // still over it after one is taken
        {8, 100, {50, 50}, 2, true},          // exactly at the byte bound
        {8, 100, {250, 1}, 1, true},          // larger than the bound: alone
        {8, 100, {1, 250}, 1, true},          // ... and not beside another
        {0, 100, {1, 1}, 1, true},            // no item bound still takes one
        {3, 0, {0, 0, 0, 0}, 3, true},        // empty items count as items
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(testing::Message() << c.maxItems << " items, " << c.maxBytes << " bytes");
        ophost::BoundedQueue<size_t> q(c.maxItems, c.maxBytes);
        size_t taken = 0;
        for (size_t bytes : c.sizes) {
            size_t item = bytes;
            if (!q.tryPush(std::move(item), bytes)) break;
            ++taken;
        }
        EXPECT_EQ(taken, c.taken);
        // Taking one makes room again for the one refused.
        size_t first = 0;
        ASSERT_TRUE(q.pop(first));
        EXPECT_EQ(first, c.sizes[0]);
        if (taken < c.sizes.size()) {
            size_t again = c.sizes[taken];
            EXPECT_EQ(q.tryPush(std::move(again), c.sizes[taken]), c.refits);
        }
        q.close();
        size_t late = 1;
        EXPECT_FALSE(q.tryPush(std::move(late), 1));
        EXPECT_FALSE(q.push(std::move(late), 1));
        EXPECT_FALSE(q.waitForRoom(0));
        size_t item = 0, left = 0;
        while (q.pop(item)) ++left;
        EXPECT_EQ(q.size(), 0u);
        EXPECT_LE(left, c.sizes.size());
    }
}

// Between two threads: every item arrives once, in order, each one larger
// than the whole byte bound; closing after the last ends the consumer only
// once it has taken everything.
TEST(Pipeline, QueuePassesHugeItemsInOrderAndDrainsOnClose)
{
    ophost::BoundedQueue<std::vector<int>> q(2, 64);
    std::thread producer([&q] {
        for (int i = 0; i < 200; ++i) ASSERT_TRUE(q.push(std::vector<int>(100, i), 100 * sizeof(int)));
        q.close();
    });
    std::vector<int> item;
    int next = 0;
    while (q.pop(item)) {
        ASSERT_EQ(item.size(), 100u);
        EXPECT_EQ(item.front(), next);
        ++next;
    }
    producer.join();
    EXPECT_EQ(next, 200);
}

// Every input kind (frames in memory, YUV4MPEG2 files of each layout and
// field order, a still), one and two inputs, part of a section, a preview,
// and operators that ask for fields out of order: the frames and the held
// pictures are those of the run on one thread.
TEST(Pipeline, OverlappedRunsGiveTheFramesOfThePlainRun)
{
    const int W = 37, H = 10, FRAMES = 5;
    auto a = noiseFrames(W, H, FRAMES, 1), b = noiseFrames(W, H, FRAMES, 2);
    writeY4m(tempPath("420t.y4m"), W, H, media::Chroma::C420, media::Interlace::TopFirst, a);
    writeY4m(tempPath("422b.y4m"), W, H, media::Chroma::C422, media::Interlace::BottomFirst, b);
    writeY4m(tempPath("444a.y4m"), W, H, media::Chroma::C444alpha, media::Interlace::Progressive, b);
    std::vector<std::unique_ptr<ophost::Clip>> inputs;
    inputs.push_back(ophost::memoryClip(a));
    inputs.push_back(openOrFail(tempPath("420t.y4m")));
    inputs.push_back(openOrFail(tempPath("422b.y4m")));
    inputs.push_back(openOrFail(tempPath("444a.y4m")));
    {
        media::RgbaImage image;
        media::frameToRgba(noiseFrames(W, H, 1, 3)[0], image);
        std::string error;
        ASSERT_TRUE(media::writePng(tempPath("still.png"), image, true, error)) << error;
        inputs.push_back(openOrFail(tempPath("still.png")));
    }
    for (auto &clip : inputs) ASSERT_TRUE(clip);

    const RunCase cases[] = {
        {"Tolmic, frames in memory", "Tolmic", Asking::InOrder, 0, -1, 0, -1, false},
        {"Tolmic, 4:2:0 top first", "Tolmic", Asking::InOrder, 1, -1, 0, -1, false},
        {"Tolmic, 4:2:2 bottom first, frames 1 to 3", "Tolmic", Asking::InOrder, 2, -1, 1, 4, false},
        {"Vashrel, preview", "Vashrel", Asking::InOrder, 3, -1, 0, -1, true},
        {"Quorvel, two files", "Quorvel", Asking::InOrder, 1, 3, 0, -1, false},
        {"Zenvarth, file over frames in memory", "Zenvarth", Asking::InOrder, 4, 2, 0, -1, false},
        {"Zenvarth, a still background", "Zenvarth", Asking::InOrder, 4, 3, 2, 5, false},
        {"an earlier frame asked for too", "", Asking::EarlierFrameToo, 1, -1, 0, -1, false},
        {"a field asked for twice", "", Asking::SameFieldTwice, 2, -1, 0, -1, false},
    };
    for (const RunCase &c : cases) {
        std::vector<media::VideoFrame> results[2];
        for (bool overlap : {false, true}) {
            hostrt::resetSession();
            hostrt::LoadedOperator op;
            if (*c.op) testsupport::loadOperator(c.op, op);
            asking = c.asking;
            ophost::MemorySink sink;
            ophost::RunOptions options;
            options.overlap = overlap;
            options.firstFrame = c.first;
            options.endFrame = c.end;
            if (c.preview) {
                options.preview = true;
                options.previewNum = 2;
                options.previewDen = 3;
            }
            ophost::Clip *in1 = c.in1 >= 0 ? inputs[size_t(c.in1)].get() : nullptr;
            ophost::RunResult r = *c.op ? ophost::runRender(op, *inputs[size_t(c.in0)], in1, sink, options)
                                        : ophost::runRender(askingEntry, "asking", *inputs[size_t(c.in0)], in1,
                                                            sink, options);
            ASSERT_TRUE(r.ok) << c.what << (overlap ? ", overlapped: " : ": ") << r.error;
            EXPECT_EQ(r.leaked, 0u) << c.what;
            EXPECT_EQ(hostrt::heldPictureCount(), 0u) << c.what;
            results[overlap] = std::move(sink.frames);
        }
        const int frames = (c.end < 0 ? FRAMES : c.end) - c.first;
        EXPECT_EQ(results[0].size(), size_t(frames)) << c.what;
        expectSame(results[1], results[0], c.what);
    }
    for (const char *name : {"420t.y4m", "422b.y4m", "444a.y4m", "still.png"}) std::remove(tempPath(name).c_str());
}

// The same frames reach a YUV4MPEG2 file byte for byte, whichever way the
// run goes.
TEST(Pipeline, OverlappedFileOutputIsByteForByteThePlainOne)
{
    auto frames = noiseFrames(22, 8, 4, 9);
    std::string bytes[2];
    for (bool overlap : {false, true}) {
        hostrt::resetSession();
        hostrt::LoadedOperator op;
        testsupport::loadOperator("Tolmic", op);
        auto clip = ophost::memoryClip(frames, true);
        ophost::OutputFormat format;
        format.chroma = media::Chroma::C420;
        format.bottomFirst = true;
        const std::string path = tempPath(overlap ? "out1.y4m" : "out0.y4m");
        std::string error;
        auto sink = ophost::openSink(path, format, error);
        ASSERT_TRUE(sink) << error;
        ophost::RunOptions options;
        options.overlap = overlap;
        ophost::RunResult r = ophost::runRender(op, *clip, nullptr, *sink, options);
        ASSERT_TRUE(r.ok) << r.error;
        sink.reset();
        FILE *f = std::fopen(path.c_str(), "rb");
        ASSERT_NE(f, nullptr);
        char chunk[4096];
        size_t n;
        while ((n = std::fread(chunk, 1, sizeof chunk, f)) > 0) bytes[overlap].append(chunk, n);
        std::fclose(f);
        std::remove(path.c_str());
    }
    EXPECT_GT(bytes[0].size(), 4u * 22 * 8);
    EXPECT_EQ(bytes[1], bytes[0]);
}

// A read fault, an input that ends early, and a write fault, each in the
// middle of a run: the run fails with the fault named, the output is
// abandoned, no picture stays held and no thread is left waiting.
TEST(Pipeline, FaultsOnEitherSideEndTheRunCleanly)
{
    auto frames = noiseFrames(16, 6, 6, 4);
    for (bool overlap : {false, true}) {
        const std::string how = overlap ? "overlapped" : "plain";
        struct InputFault {
            int failAt;
            std::string fault, expected;
        };
        for (const InputFault &f : {InputFault{3, "failing: frame 3: bad data", "failing: frame 3: bad data"},
                                    InputFault{2, "", "failing: ended at frame 2; the section needs frames 0 to 5"}}) {
            hostrt::resetSession();
            hostrt::LoadedOperator op;
            testsupport::loadOperator("Quorvel", op);
            FailingClip in0(frames, 99, ""), in1(frames, f.failAt, f.fault);
            FailingSink sink(99);
            ophost::RunOptions options;
            options.overlap = overlap;
            ophost::RunResult r = ophost::runRender(op, in0, &in1, sink, options);
            EXPECT_FALSE(r.ok) << how;
            EXPECT_EQ(r.error, f.expected) << how;
            EXPECT_TRUE(sink.abandoned) << how;
            EXPECT_TRUE(sink.frames.empty()) << how;
            EXPECT_EQ(r.leaked, 0u) << how;
            EXPECT_EQ(hostrt::heldPictureCount(), 0u) << how;
        }
        hostrt::resetSession();
        hostrt::LoadedOperator op;
        testsupport::loadOperator("Tolmic", op);
        auto clip = ophost::memoryClip(frames);
        FailingSink sink(2);
        ophost::RunOptions options;
        options.overlap = overlap;
        ophost::RunResult r = ophost::runRender(op, *clip, nullptr, sink, options);
        EXPECT_FALSE(r.ok) << how;
        EXPECT_EQ(r.error, "disk full") << how;
        EXPECT_TRUE(sink.abandoned) << how;
        EXPECT_EQ(r.leaked, 0u) << how;
    }
}

// A PNG sequence is replaced whole or not at all: when one frame's target
// can no longer be replaced at the end of the run, no earlier frame is
// replaced either, and no temporary is left.
TEST(Pipeline, PngSequenceIsCommittedAllOrNothing)
{
    const std::string folder = tempPath("sequence");
    ASSERT_EQ(std::system(("rm -rf '" + folder + "' && mkdir '" + folder + "'").c_str()), 0);
    const std::string earlier = "an earlier frame";
    for (int k = 0; k < 2; ++k) {
        FILE *f = std::fopen((folder + "/f" + std::to_string(k) + ".png").c_str(), "wb");
        ASSERT_NE(f, nullptr);
        std::fputs(earlier.c_str(), f);
        std::fclose(f);
    }
    auto frames = noiseFrames(8, 4, 3, 11);
    ophost::OutputFormat format;
    format.chroma = media::Chroma::C444;
    std::string error;
    auto sink = ophost::openSink(folder + "/f%d.png", format, error);
    ASSERT_TRUE(sink) << error;
    for (const media::VideoFrame &frame : frames) ASSERT_TRUE(sink->write(frame, error)) << error;
    // The last frame's name is taken by a folder while the run goes on.
    ASSERT_EQ(::mkdir((folder + "/f2.png").c_str(), 0755), 0);
    EXPECT_FALSE(sink->finish(error));
    EXPECT_NE(error.find("f2.png: is a folder"), std::string::npos) << error;
    sink.reset();
    for (int k = 0; k < 2; ++k) {
        FILE *f = std::fopen((folder + "/f" + std::to_string(k) + ".png").c_str(), "rb");
        ASSERT_NE(f, nullptr);
        char text[64] = {};
        EXPECT_EQ(std::fread(text, 1, sizeof text - 1, f), earlier.size());
        std::fclose(f);
        EXPECT_EQ(text, earlier) << "frame " << k;
    }
    FILE *list = ::popen(("ls -A '" + folder + "'").c_str(), "r");
    ASSERT_NE(list, nullptr);
    char names[256] = {};
    EXPECT_GT(std::fread(names, 1, sizeof names - 1, list), 0u);
    ::pclose(list);
    EXPECT_STREQ(names, "f0.png\nf1.png\nf2.png\n");
    std::system(("rm -rf '" + folder + "'").c_str());
}
