// ophost bench OP: renders synthetic fields and compares the time with the
// copy floor: a host-side entry point that only fetches the inputs and hands
// input 0 back, run in the same way over the same fields.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "command.h"
#include "contract/host_calls.h"
#include "demo_clip.h"
#include "hostrt/session.h"
#include "ophost/operators.h"
#include "ophost/options.h"
#include "ophost/params.h"
#include "ophost/progress.h"
#include "ophost/run.h"

namespace {

// A textured background: a wood-grain-like luma ramp with grain, and
// slowly varying chroma.
Pixel texture(int x, int y, uint32_t seed)
{
    uint32_t n = demo::noise(uint32_t(x) * 73856093U ^ uint32_t(y) * 19349663U ^ seed);
    int luma = 60 + ((x / 8 + y / 4 + int(seed % 97)) % 64) * 2 + int(n % 16);
    int u = 100 + (x / 16) % 40;
    int v = 120 + (y / 16) % 40;
    return Pixel{255, uint8_t(v), uint8_t(u), uint8_t(luma)};
}

// Frame `k`: over the texture, a blue backing over the middle and a subject
// (an ellipse of skin tone) moving across it.
media::VideoFrame keyFrame(int width, int height, int k, uint32_t seed)
{
    media::VideoFrame f;
    f.resize(width, height);
    const Pixel blue = pixelFromWord(BLUE_DEFAULT);
    const int bx0 = width / 10, bx1 = width - width / 10, by0 = height / 10, by1 = height - height / 20;
    const int cx = width / 4 + (k * 7) % (width / 2 + 1), cy = height / 2;
    const int rx = width / 8 + 1, ry = height / 3 + 1;
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            Pixel p = texture(x, y, seed);
            if (x >= bx0 && x < bx1 && y >= by0 && y < by1) {
                uint32_t n = demo::noise(uint32_t(x + y * width) ^ (seed + uint32_t(k)));
                p = blue;
                p.y = uint8_t(p.y + int(n % 7) - 3);
                p.u = uint8_t(p.u + int((n >> 8) % 5) - 2);
                p.v = uint8_t(p.v + int((n >> 16) % 5) - 2);
                int64_t dx = x - cx, dy = y - cy;
                if (dx * dx * ry * ry + dy * dy * rx * rx <= int64_t(rx) * rx * ry * ry)
                    p = Pixel{255, uint8_t(150 + (y % 9)), uint8_t(110 - (x % 7)), uint8_t(150 + (n % 20))};
            }
            f.at(x, y) = p;
        }
    }
    return f;
}

// A few distinct frames served over and over.
class CycleClip : public ophost::Clip {
public:
    CycleClip(std::vector<media::VideoFrame> frames, int count) : frames_(std::move(frames)), count_(count) {}
    int width() const override { return frames_[0].width; }
    int height() const override { return frames_[0].height; }
    bool bottomFirst() const override { return false; }
    media::Chroma chroma() const override { return media::Chroma::C444alpha; }
    int frameCount(std::string &error) override
    {
        error.clear();
        return count_;
    }
    bool frame(int index, media::VideoFrame &out, std::string &error) override
    {
        error.clear();
        if (index < 0 || index >= count_) return false;
        out = frames_[size_t(index) % frames_.size()];
        return true;
    }
    const std::string &name() const override { return name_; }

private:
    std::vector<media::VideoFrame> frames_;
    int count_;
    std::string name_ = "synthetic";
};

bool copyReadsInput1 = false;

// The copy floor: fetch the inputs, hand input 0 back.
int32_t copyEntry(OperatorContext *ctx)
{
    if (ctx->action != OPACT_RENDER) return 0;
    Picture *in0 = opGetField(0, ctx->fieldNumber);
    if (!in0) return -1;
    if (copyReadsInput1) {
        Picture *in1 = opGetField(1, ctx->fieldNumber);
        if (in1) opFreeImage(in1);
    }
    return opPutField(in0);
}

struct Size {
    int width, height;
};

double median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    const size_t n = values.size();
    return n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

// The machine's own floor for the bytes the copy floor moves: per field,
// `copies` plain copies of a field-sized block (each input's frame read
// and its field split off; the output field is handed over, not copied),
// from blocks that rotate as the run's frames do, so the caches hold no
// more than in a run. One thread does them all, where the run reads its
// inputs on threads of their own.
double memoryFloorSeconds(size_t fieldBytes, int copies, uint32_t fields)
{
    constexpr int BLOCKS = 8;
    std::vector<std::vector<unsigned char>> from(BLOCKS), to(BLOCKS);
    for (int b = 0; b < BLOCKS; ++b) {
        from[b].assign(fieldBytes, static_cast<unsigned char>(b));
        to[b].assign(fieldBytes, 0);
    }
    auto started = std::chrono::steady_clock::now();
    int next = 0;
    for (uint32_t f = 0; f < fields; ++f)
        for (int c = 0; c < copies; ++c, next = (next + 1) % BLOCKS)
            std::memcpy(to[size_t(next)].data(), from[size_t((next + 3) % BLOCKS)].data(), fieldBytes);
    double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
    // Keep the copies observable.
    volatile unsigned char sink = to[0][fieldBytes / 2];
    (void)sink;
    return seconds;
}

// Times jumps to frames of a file in an order fixed by `repeats`: each
// jump is a frame at random (the same ones on every run), asked for on a
// clip that last gave another frame; the first frame read and the count
// come before the timing.
int benchJumps(const std::string &path, int jumps)
{
    std::string error;
    auto clip = ophost::openClip(path, error);
    const int count = clip ? clip->frameCount(error) : -1;
    media::VideoFrame frame;
    if (!clip || count <= 0 || !clip->frame(0, frame, error)) {
        std::fprintf(stderr, "ophost bench: %s\n", error.empty() ? (path + ": no frames").c_str() : error.c_str());
        return ophost::EXIT_FAILURE_STATUS;
    }
    uint32_t state = 12345;
    std::vector<double> ms, back, ahead;
    int at = 0;
    for (int j = 0; j < jumps; ++j) {
        state = state * 1664525U + 1013904223U;
        const int to = int((state >> 8) % uint32_t(count));
        const auto started = std::chrono::steady_clock::now();
        if (!clip->frame(to, frame, error)) {
            std::fprintf(stderr, "ophost bench: %s: frame %d: %s\n", path.c_str(), to, error.c_str());
            return ophost::EXIT_FAILURE_STATUS;
        }
        const double t = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - started).count();
        ms.push_back(t);
        (to < at ? back : ahead).push_back(t);
        at = to;
    }
    auto line = [](const char *what, const std::vector<double> &v) {
        if (v.empty()) return;
        std::printf("%-9s %4zu jumps  median %7.1f ms  max %7.1f ms\n", what, v.size(), median(v),
                    *std::max_element(v.begin(), v.end()));
    };
    std::printf("%s: %d frames of %dx%d\n", path.c_str(), count, clip->width(), clip->height());
    line("all", ms);
    line("backwards", back);
    line("forwards", ahead);
    return ophost::EXIT_OK;
}

int runBench(int argc, char **argv)
{
    std::string jumpsFile;
    std::string name, settings;
    std::vector<std::string> sets;
    std::vector<Size> sizes;
    int fields = 100;
    int repeats = 5;
    bool force = false;
    auto usage = [](const std::string &message) { return ophost::usageFault("bench", message); };
    const ophost::OptionTable table = {
        {"--size", "", "WxH",
         "a field size to render (again for more; default 720x288\n"
         "and 1920x540)",
         "", [&sizes](const std::string &v) {
             Size s{};
             if (!ophost::parseSize(v, 8192, 4096, s.width, s.height)) return ophost::sizeFault(8192, 4096) + " (a field)";
             sizes.push_back(s);
             return std::string();
         }},
        ophost::integer("--fields", "N", fields, 2, 1000000, "fields per run (default 100)"),
        ophost::integer("--repeats", "N", repeats, 1, 1000, "runs of each, of which the median counts (default 5)"),
        ophost::shared::set(sets),
        ophost::shared::settings(settings),
        ophost::shared::force(force),
        ophost::text("--jumps", "FILE", jumpsFile,
                     "time 20 x --repeats jumps to frames of FILE at\n"
                     "random (the same ones on every run), as an\n"
                     "editor's frame slider makes them"),
    };
    std::vector<std::string> operands;
    const ophost::CommandHelp help = {"usage: ophost bench OP [--size WxH]... [--fields N] [--repeats N] [--set NAME=VALUE]...\n"
                                      "                   [--settings FILE] [--force]\n"
                                      "       ophost bench --jumps FILE [--repeats N]\n\n"
                                      "Renders N synthetic fields (default 100) of each size (default 720x288 and\n"
                                      "1920x540 fields): a subject on a blue backing over a textured background,\n"
                                      "the same on every run. Prints fields per second and megapixels per second,\n"
                                      "and the copy floor measured in the same run: the time to fetch the same\n"
                                      "inputs and write the output without any work. The ratio (operator time over\n"
                                      "copy time) is the figure to watch. Each figure is the median of --repeats runs\n"
                                      "(default 5), operator and copy floor alternated, after a warm-up of each.\n"
                                      "The memory line is the time plain copies of the same bytes take on this\n"
                                      "machine: the limit the copy floor is measured against.\n\n"};
    if (auto stop = ophost::parseCommand("bench", argc, argv, table, help, {&operands, 1})) return *stop;
    if (!operands.empty()) name = operands[0];
    if (!jumpsFile.empty()) return benchJumps(jumpsFile, 20 * repeats);
    if (name.empty()) return usage("no operator given (usage: ophost bench OP)");
    if (sizes.empty()) sizes = {{720, 288}, {1920, 540}};

    hostrt::LoadedOperator op;
    std::string error;
    if (auto stop = ophost::openOperator("bench", name, op)) return *stop;
    hostrt::setLogListener([](const hostrt::LogLine &line) { std::fprintf(stderr, "%s\n", ophost::formatLogLine(line).c_str()); });
    if (!settings.empty()) {
        std::string fault = ophost::loadSettingsFile(op, settings);
        if (!fault.empty()) {
            std::fprintf(stderr, "ophost bench: %s\n", fault.c_str());
            return ophost::EXIT_FAILURE_STATUS;
        }
    }
    for (const std::string &set : sets) {
        std::string fault = ophost::applySetting(op, set, force);
        if (!fault.empty()) return usage(fault);
    }
    const bool twoInputs = !op.info().oneInput;
    copyReadsInput1 = twoInputs;
    const int frames = (fields + 1) / 2;

    for (const Size &size : sizes) {
        const int frameH = size.height * 2;
        std::vector<media::VideoFrame> key, back;
        for (int k = 0; k < 4; ++k) key.push_back(keyFrame(size.width, frameH, k * 13, 1));
        if (twoInputs) {
            media::VideoFrame f;
            f.resize(size.width, frameH);
            for (int y = 0; y < frameH; ++y)
                for (int x = 0; x < size.width; ++x) f.at(x, y) = texture(x, y, 2);
            back.push_back(std::move(f));
        }
        // Two inputs: the background is input 0 and the keyed shot input 1.
        CycleClip in0(twoInputs ? back : key, frames);
        CycleClip in1(key, frames);
        ophost::RunOptions options;

        // Warm-up: the first runs pay for fresh memory and cold tables,
        // which neither figure should.
        ophost::RunOptions warmUp;
        warmUp.endFrame = frames < 4 ? frames : 4;
        ophost::NullSink warmSink;
        ophost::runRender(copyEntry, "copy", in0, twoInputs ? &in1 : nullptr, warmSink, warmUp);
        ophost::runRender(op, in0, twoInputs ? &in1 : nullptr, warmSink, warmUp);

        ophost::ProgressLine progress(op.info().name + " " + std::to_string(size.width) + "x" +
                                          std::to_string(size.height), true);
        ophost::RunOptions measured = options;
        std::vector<double> copyTimes, opTimes, memoryTimes;
        uint32_t fieldsRun = 0;
        const size_t fieldBytes = size_t(size.width) * size_t(size.height) * sizeof(Pixel);
        for (int r = 0; r < repeats; ++r) {
            ophost::NullSink copySink, opSink;
            ophost::RunResult floor = ophost::runRender(copyEntry, "copy", in0, twoInputs ? &in1 : nullptr, copySink, options);
            measured.progress = [&progress, r, repeats](uint32_t done, uint32_t count) {
                progress.update(uint32_t(r) * count + done, uint32_t(repeats) * count);
            };
            ophost::RunResult run = ophost::runRender(op, in0, twoInputs ? &in1 : nullptr, opSink, measured);
            progress.clear();
            if (!floor.ok || !run.ok) {
                std::fprintf(stderr, "ophost bench: %s\n", (!run.ok ? run.error : floor.error).c_str());
                return ophost::EXIT_FAILURE_STATUS;
            }
            if (run.leaked)
                std::fprintf(stderr, "ophost bench: %s still held %zu picture(s) after its calls\n", name.c_str(), run.leaked);
            copyTimes.push_back(floor.seconds);
            opTimes.push_back(run.seconds);
            fieldsRun = run.fields;
            memoryTimes.push_back(memoryFloorSeconds(fieldBytes, twoInputs ? 4 : 2, run.fields));
        }
        const double opSeconds = median(opTimes), copySeconds = median(copyTimes), memorySeconds = median(memoryTimes);
        const double mp = double(size.width) * size.height / 1e6;
        const double fps = fieldsRun / opSeconds, copyFps = fieldsRun / copySeconds, memoryFps = fieldsRun / memorySeconds;
        std::printf("%s %dx%d fields: %u fields in %.3f s: %.1f fields/s, %.1f MP/s; copy floor %.1f fields/s, "
                    "%.1f MP/s; ratio %.2f\n",
                    op.info().name.c_str(), size.width, size.height, fieldsRun, opSeconds, fps, fps * mp, copyFps,
                    copyFps * mp, opSeconds / copySeconds);
        std::printf("  memory: the same bytes copied plainly: %.1f fields/s; copy floor over memory %.2f "
                    "(medians of %d runs)\n",
                    memoryFps, copySeconds / memorySeconds, repeats);
        std::fflush(stdout);
    }
    hostrt::setLogListener(nullptr);
    return ophost::EXIT_OK;
}

} // namespace

const ophost::Command ophost::BENCH_COMMAND = {
    "bench", "time an operator on synthetic fields against the copy floor", runBench};
