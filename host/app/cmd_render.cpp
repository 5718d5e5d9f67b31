// ophost render OP [options]: one rendering run over real video.
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "command.h"
#include "hostrt/session.h"
#include "media/color_text.h"
#include "ophost/input_warnings.h"
#include "ophost/operators.h"
#include "ophost/params.h"
#include "ophost/run.h"
#include "ophost/sample_key.h"

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
    "  --set NAME=VALUE        set a parameter by its label or index (see ophost\n"
    "  --set N=VALUE           info OP; case and spaces do not matter, a unique\n"
    "                          start of the label will do), in the order given;\n"
    "                          each is followed by action 4 for it.\n"
    "                          slider, choice: integer; colour: 0xYYUUVVAA,\n"
    "                          y,u,v,a, #RRGGBB, #RRGGBBAA or rgb(R,G,B);\n"
    "                          rectangle: x,y,w,h (y and h in field lines).\n"
    "                          Zenvarth: any settings field by its name\n"
    "                          (zvpreset fields lists them), e.g. --set\n"
    "                          keyerType=5 --set keyColor=#00B140\n"
    "  --settings FILE         copy FILE into the operator's settings record\n"
    "                          (its size must be the record's); --set fields\n"
    "                          are applied after it\n"
    "  --force                 store Zenvarth fields outside the range the\n"
    "                          editor offers (as zvpreset set --force)\n"
    "  --sample-key x,y,w,h    Zenvarth: keyColor = the mean of that rectangle\n"
    "                          of input 1's first field (y, h in field lines)\n"
    "  --sample-key auto       Zenvarth: find the backing in the border of input\n"
    "                          1's first field and print the colour chosen\n"
    "                          (either form replaces any --set keyColor)\n"
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
    bool force = false;
    bool sampleKey = false;
    ophost::KeySampleArea sample;
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
        if (a == "--force") {
            args.force = true;
            continue;
        }
        static const char *const valued[] = {"--in0",    "--in1",     "-o",      "--set", "--settings", "--frames",
                                             "--preview", "--permille", "--visible", "--pix", "--sample-key"};
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
        else if (a == "--sample-key") {
            if (!ophost::parseKeySampleArea(v, args.sample))
                return usage("--sample-key '" + v + "': expected auto or x,y,w,h (w, h > 0)");
            args.sampleKey = true;
        }
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

// Takes keyColor from input 1 and writes it through --set, so that it is
// checked and stored as a user's own --set keyColor would be.
std::string sampleKey(hostrt::LoadedOperator &op, ophost::Clip &in1, const Args &args)
{
    auto *record = static_cast<const ZenvarthSettings *>(op.info().settings->block);
    Pixel color = record->keyColor;
    std::string fault;
    // A pipe the run will count must be copied before its first frame is read.
    if (args.in1 == "-" && args.run.endFrame < 0 && in1.frameCount(fault) < 0) return fault;
    fault = ophost::sampleKeyColor(in1, args.run.firstFrame, args.sample, color);
    if (!fault.empty()) return fault;
    char word[16];
    std::snprintf(word, sizeof word, "0x%08X", pixelWord(color));
    fault = ophost::applySetting(op, std::string("keyColor=") + word, args.force);
    if (!fault.empty()) return fault;
    if (!args.quiet)
        std::fprintf(stderr, "ophost render: --sample-key %s: --set keyColor=%s (%s)\n",
                     args.sample.automatic ? "auto" : "area", word, media::formatRgbColor(color).c_str());
    return {};
}

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
        std::fprintf(stderr, "ophost render: %s\n", ophost::unknownOperatorMessage(args.op).c_str());
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
    // The operator's log lines are shown after each field, and after
    // ophost's own sentence when the run fails.
    std::vector<std::string> logged;
    auto showLogged = [&logged, &progress] {
        if (!logged.empty()) progress.clear();
        for (const std::string &line : logged) std::fprintf(stderr, "%s\n", line.c_str());
        logged.clear();
    };
    hostrt::setLogListener([&logged](const hostrt::LogLine &line) { logged.push_back(ophost::formatLogLine(line)); });

    if (args.sampleKey && !ophost::hasZenvarthRecord(op)) {
        std::fprintf(stderr, "ophost render: --sample-key sets Zenvarth's keyColor; %s has none\n",
                     op.info().name.c_str());
        return ophost::EXIT_USAGE;
    }
    // Settings record first (it follows GetOperatorInfo), then each --set.
    bool usageFault = false;
    std::string setFault = ophost::applyParameterOptions(op, args.settings, args.sets, usageFault, args.force);
    showLogged();
    if (!setFault.empty()) {
        if (!usageFault) return failure(setFault);
        std::fprintf(stderr, "ophost render: %s\n", setFault.c_str());
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
    if (std::string fault = ophost::checkSetRectangles(op, in0->width(), in0->height() / 2); !fault.empty()) {
        std::fprintf(stderr, "ophost render: %s\n", fault.c_str());
        return ophost::EXIT_USAGE;
    }
    if (in1) {
        // Counting a pipe copies it: only when the run counts its input anyway.
        const bool countLengths = args.run.endFrame < 0 && args.in1 != "-";
        for (const std::string &warning : ophost::inputWarnings(*in0, *in1, countLengths))
            std::fprintf(stderr, "ophost render: warning: %s\n", warning.c_str());
    }
    if (args.sampleKey) {
        if (std::string fault = sampleKey(op, *in1, args); !fault.empty()) return failure(fault);
    }

    ophost::OutputFormat format;
    format.chroma = args.pixSet ? args.pix : in0->chroma();
    format.bottomFirst = in0->bottomFirst();
    format.interlaced = !in0->progressive();
    format.rateNum = in0->rateNum();
    format.rateDen = in0->rateDen();
    format.firstNumber = args.run.firstFrame;
    if (const media::Y4mHeader *h = in0->y4mHeader()) {
        format.mixed = h->interlace == media::Interlace::Mixed;
        format.siting = h->colourTag;
        format.aspectNum = h->aspectNum;
        format.aspectDen = h->aspectDen;
        // XYSCSS names the source's chroma layout, which the output may not keep.
        for (const std::string &x : h->extras)
            if (x.compare(0, 7, "XYSCSS=") != 0) format.extras.push_back(x);
    }
    std::unique_ptr<ophost::FrameSink> sink = ophost::openSink(args.out, format, error);
    if (!sink) return failure(error);

    args.run.progress = [&progress, &showLogged](uint32_t done, uint32_t total) {
        showLogged();
        progress.update(done, total);
    };
    ophost::RunResult result = ophost::runRender(op, *in0, in1.get(), *sink, args.run);
    progress.clear();
    hostrt::setLogListener(nullptr);
    if (result.leaked)
        std::fprintf(stderr, "ophost render: %s still held %zu picture(s) after its calls\n", op.info().name.c_str(),
                     result.leaked);
    if (!result.ok) {
        failure(result.error);
        showLogged();
        return ophost::EXIT_FAILURE_STATUS;
    }
    showLogged();
    if (!args.quiet)
        std::fprintf(stderr, "%s: %u fields in %.2f s, %.1f fields/s\n", op.info().name.c_str(), result.fields,
                     result.seconds, result.seconds > 0 ? result.fields / result.seconds : 0.0);
    return ophost::EXIT_OK;
}

const ophost::RegisterCommand renderCommand({"render", "render a section of video through an operator", runRenderCommand});

} // namespace
