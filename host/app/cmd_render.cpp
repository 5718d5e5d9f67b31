// ophost render OP [options]: one rendering run over real video.
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "command.h"
#include "hostrt/session.h"
#include "ophost/operators.h"
#include "ophost/params.h"
#include "ophost/run.h"

namespace {

const char *const RENDER_HELP =
    "usage: ophost render OP --in0 FILE [--in1 FILE] -o FILE [options]\n"
    "\n"
    "Runs OP over a section of video: action 1, one render per field, action 2.\n"
    "\n"
    "  --in0 FILE, --in1 FILE  inputs 0 and 1: a .y4m file, - for YUV4MPEG2 on\n"
    "                          standard input, or a .png still that stands for\n"
    "                          every frame (an operator with two inputs needs both)\n"
    "  -o FILE                 output: .y4m, - for standard output, or .png\n"
    "                          (name%04d.png: one file per frame, numbered by\n"
    "                          the frame of input 0)\n"
    "  --set N=VALUE           set parameter N (see ophost info OP), in the order\n"
    "                          given; each is followed by action 4 for N.\n"
    "                          slider, choice: integer; colour: 0xYYUUVVAA or\n"
    "                          y,u,v,a; rectangle: x,y,w,h\n"
    "  --settings FILE         copy FILE into the operator's settings record\n"
    "                          (its size must be the record's)\n"
    "  --frames A:B            frames A to B-1 (default: all of input 0, or one\n"
    "                          frame when every input is a still)\n"
    "  --preview NUM/DEN       preview renders: fields scaled by NUM/DEN\n"
    "  --permille P            vertical factor of a preview in thousandths (1000)\n"
    "  --visible L,T,R,B       the visible area the host reports (default 0,0,\n"
    "                          frame width, frame height)\n"
    "  --pix 444alpha|444|422|420\n"
    "                          output chroma format (default: input 0's); 444alpha\n"
    "                          keeps each pixel's key; a PNG gets an alpha channel\n"
    "                          only with 444alpha\n"
    "  --quiet                 no progress and no summary on standard error\n"
    "\n"
    "Exit status: 0 done, 1 failure, 2 usage error. The output is written under a\n"
    "temporary name and renamed at the end, so a failed run leaves nothing.\n";

struct Args {
    std::string op, in0, in1, out, settings;
    std::vector<std::string> sets;
    ophost::RunOptions run;
    bool pixSet = false;
    media::Chroma pix = media::Chroma::C420;
    bool quiet = false;
};

bool parseInts(const std::string &text, char separator, size_t count, std::vector<int32_t> &values)
{
    values.clear();
    size_t start = 0;
    for (size_t i = 0; i < count; ++i) {
        size_t stop = i + 1 == count ? text.size() : text.find(separator, start);
        if (stop == std::string::npos) return false;
        int32_t v = 0;
        if (!ophost::parseInt32(text.substr(start, stop - start), v)) return false;
        values.push_back(v);
        start = stop + 1;
    }
    return true;
}

// Returns -1 when parsing succeeded, else the exit status.
int parseArgs(int argc, char **argv, Args &args)
{
    auto usage = [](const std::string &message) {
        std::fprintf(stderr, "ophost render: %s\n", message.c_str());
        return ophost::EXIT_USAGE;
    };
    for (int i = 1; i < argc; ++i) {
        std::string a = argv[i];
        std::string value;
        bool hasInline = false;
        if (a.size() > 2 && a[0] == '-' && a[1] == '-') {
            size_t eq = a.find('=');
            if (eq != std::string::npos) {
                value = a.substr(eq + 1);
                a = a.substr(0, eq);
                hasInline = true;
            }
        }
        auto take = [&](std::string &into) {
            if (hasInline) {
                into = value;
                return true;
            }
            if (i + 1 >= argc) return false;
            into = argv[++i];
            return true;
        };
        if (a == "--help" || a == "-h") {
            std::printf("%s", RENDER_HELP);
            return ophost::EXIT_OK;
        }
        if (a == "--quiet" || a == "-q") {
            args.quiet = true;
            continue;
        }
        static const char *const valued[] = {"--in0", "--in1", "-o", "--set", "--settings", "--frames", "--preview",
                                             "--permille", "--visible", "--pix"};
        bool known = false;
        for (const char *v : valued) known = known || a == v;
        if (!known) {
            if (!a.empty() && a[0] == '-' && a != "-") return usage("unknown option '" + a + "' (see ophost render --help)");
            if (!args.op.empty()) return usage("unexpected argument '" + a + "'");
            args.op = a;
            continue;
        }
        std::string v;
        if (!take(v)) return usage(a + " needs a value");
        if (a == "--in0") args.in0 = v;
        else if (a == "--in1") args.in1 = v;
        else if (a == "-o") args.out = v;
        else if (a == "--set") args.sets.push_back(v);
        else if (a == "--settings") args.settings = v;
        else if (a == "--frames") {
            if (!ophost::parseFrameRange(v, args.run.firstFrame, args.run.endFrame))
                return usage("--frames '" + v + "': expected A:B with 0 <= A < B");
        } else if (a == "--preview") {
            std::vector<int32_t> f;
            if (!parseInts(v, '/', 2, f) || f[0] <= 0 || f[1] <= 0 || f[0] > 32767 || f[1] > 32767)
                return usage("--preview '" + v + "': expected NUM/DEN, both 1..32767");
            args.run.preview = true;
            args.run.previewNum = f[0];
            args.run.previewDen = f[1];
        } else if (a == "--permille") {
            int32_t p = 0;
            if (!ophost::parseInt32(v, p) || p < 0 || p > 32767)
                return usage("--permille '" + v + "': expected 0..32767");
            args.run.verticalPermille = p;
        } else if (a == "--visible") {
            std::vector<int32_t> f;
            if (!parseInts(v, ',', 4, f)) return usage("--visible '" + v + "': expected L,T,R,B");
            for (int32_t x : f)
                if (x < INT16_MIN || x > INT16_MAX) return usage("--visible '" + v + "': values are 16-bit");
            args.run.visibleSet = true;
            args.run.visible = hostrt::VisibleArea{int16_t(f[0]), int16_t(f[1]), int16_t(f[2]), int16_t(f[3])};
        } else if (a == "--pix") {
            if (!media::parseChromaName(v, args.pix)) return usage("--pix '" + v + "': expected 444alpha, 444, 422 or 420");
            args.pixSet = true;
        }
    }
    if (args.op.empty()) return usage("no operator given (see ophost render --help)");
    if (args.in0.empty()) return usage("no input: give --in0 FILE");
    if (args.out.empty()) return usage("no output: give -o FILE");
    if (args.in0 == "-" && args.in1 == "-") return usage("--in0 and --in1 cannot both read standard input");
    if (args.run.preview == false && args.run.verticalPermille != 1000)
        return usage("--permille is for preview renders: give --preview too");
    return -1;
}

// A bar on a terminal, redrawn at most ten times a second.
class Progress {
public:
    explicit Progress(bool enabled) : enabled_(enabled && isatty(STDERR_FILENO)) {}
    void update(uint32_t done, uint32_t total)
    {
        if (!enabled_) return;
        auto now = std::chrono::steady_clock::now();
        if (done != total && now - last_ < std::chrono::milliseconds(100)) return;
        last_ = now;
        const int width = 40;
        int filled = total ? int(uint64_t(done) * width / total) : 0;
        std::fprintf(stderr, "\r[%.*s%*s] %u/%u fields", filled, "========================================",
                     width - filled, "", done, total);
        shown_ = true;
    }
    void clear()
    {
        if (shown_) std::fprintf(stderr, "\r%*s\r", 70, "");
        shown_ = false;
    }

private:
    bool enabled_;
    bool shown_ = false;
    std::chrono::steady_clock::time_point last_{};
};

int runRenderCommand(int argc, char **argv)
{
    Args args;
    if (int status = parseArgs(argc, argv, args); status >= 0) return status;
    auto failure = [](const std::string &message) {
        std::fprintf(stderr, "ophost render: %s\n", message.c_str());
        return ophost::EXIT_FAILURE_STATUS;
    };

    hostrt::LoadedOperator op;
    std::string error;
    if (ophost::operatorLibraryPath(args.op).empty()) {
        std::fprintf(stderr, "ophost render: unknown operator '%s' (see ophost list)\n", args.op.c_str());
        return ophost::EXIT_USAGE;
    }
    if (!ophost::loadOperator(args.op, op, error)) return failure(error);
    if (!op.info().oneInput && args.in1.empty()) {
        std::fprintf(stderr, "ophost render: %s reads two inputs: give --in1 FILE\n", op.info().name.c_str());
        return ophost::EXIT_USAGE;
    }
    if (op.info().oneInput && !args.in1.empty())
        std::fprintf(stderr, "ophost render: %s reads only input 0; --in1 is not used\n", op.info().name.c_str());

    Progress progress(!args.quiet);
    hostrt::setLogListener([&progress](const hostrt::LogLine &line) {
        progress.clear();
        std::fprintf(stderr, "%s\n", ophost::formatLogLine(line).c_str());
    });

    bool usageFault = false;
    if (std::string fault = ophost::applyParameterOptions(op, args.settings, args.sets, usageFault); !fault.empty()) {
        if (!usageFault) return failure(fault);
        std::fprintf(stderr, "ophost render: %s\n", fault.c_str());
        return ophost::EXIT_USAGE;
    }

    std::unique_ptr<ophost::Clip> in0 = ophost::openClip(args.in0, error);
    if (!in0) return failure(error);
    std::unique_ptr<ophost::Clip> in1;
    if (!op.info().oneInput) {
        in1 = ophost::openClip(args.in1, error);
        if (!in1) return failure(error);
    }
    if (std::string fault = ophost::checkInputs(*in0, in1.get()); !fault.empty()) return failure(fault);

    ophost::OutputFormat format;
    format.chroma = args.pixSet ? args.pix : in0->chroma();
    format.bottomFirst = in0->bottomFirst();
    format.interlaced = !in0->progressive();
    format.rateNum = in0->rateNum();
    format.rateDen = in0->rateDen();
    format.firstNumber = args.run.firstFrame;
    if (const media::Y4mHeader *h = in0->y4mHeader()) {
        format.aspectNum = h->aspectNum;
        format.aspectDen = h->aspectDen;
        // XYSCSS names the source's chroma layout, which the output may not keep.
        for (const std::string &x : h->extras)
            if (x.compare(0, 7, "XYSCSS=") != 0) format.extras.push_back(x);
    }
    std::unique_ptr<ophost::FrameSink> sink = ophost::openSink(args.out, format, error);
    if (!sink) return failure(error);

    args.run.progress = [&progress](uint32_t done, uint32_t total) { progress.update(done, total); };
    ophost::RunResult result = ophost::runRender(op, *in0, in1.get(), *sink, args.run);
    progress.clear();
    hostrt::setLogListener(nullptr);
    if (result.leaked)
        std::fprintf(stderr, "ophost render: %s still held %zu picture(s) after its calls\n", op.info().name.c_str(),
                     result.leaked);
    if (!result.ok) return failure(result.error);
    if (!args.quiet)
        std::fprintf(stderr, "%s: %u fields in %.2f s, %.1f fields/s\n", op.info().name.c_str(), result.fields,
                     result.seconds, result.seconds > 0 ? result.fields / result.seconds : 0.0);
    return ophost::EXIT_OK;
}

const ophost::RegisterCommand renderCommand({"render", "render a section of video through an operator", runRenderCommand});

} // namespace
