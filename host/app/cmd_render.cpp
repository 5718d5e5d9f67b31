// ophost render OP [options]: one rendering run over real video.
#include <unistd.h>

#include <cctype>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "command.h"
#include "hostrt/session.h"
#include "media/av_io.h"
#include "media/color_text.h"
#include "ophost/chunks.h"
#include "ophost/input_warnings.h"
#include "ophost/key_option.h"
#include "ophost/operators.h"
#include "ophost/options.h"
#include "ophost/params.h"
#include "ophost/progress.h"
#include "ophost/run.h"
#include "ophost/same_file.h"
#include "ophost/sample_key.h"

namespace {

const char *const RENDER_USAGE =
    "usage: ophost render OP --in0 FILE [--in1 FILE] -o FILE [options]\n"
    "\n"
    "Runs OP over a section of video: action 1, one render per field, action 2.\n"
    "\n";

const char *const RENDER_EXIT =
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
    ophost::FrameRange frames, section;
    bool fieldOrderSet = false;
    media::Interlace fieldOrder = media::Interlace::Progressive;
    std::string codec;
    int crf = -1;
    int64_t bitrate = 0;
    bool noAudio = false;
    int jobs = 1, chunks = 0;
    bool plan = false;
    std::string planRoot, planProgram;
    std::vector<std::string> words;   // every argument after "render", for chunk commands
};

// "20M", "800k", "5000000": bits per second.
bool parseBitrate(const std::string &text, int64_t &bits)
{
    if (text.empty()) return false;
    int64_t scale = 1;
    std::string digits = text;
    const char unit = digits.back();
    if (unit == 'k' || unit == 'K') scale = 1000;
    if (unit == 'm' || unit == 'M') scale = 1000000;
    if (scale != 1) digits.pop_back();
    int32_t v = 0;
    if (!ophost::parseInt32(digits, v) || v <= 0) return false;
    bits = int64_t(v) * scale;
    return true;
}

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

ophost::OptionTable renderOptions(Args &args)
{
    namespace shared = ophost::shared;
    using ophost::Option;
    ophost::RunOptions &run = args.run;
    return {
        shared::in0(args.in0),
        shared::in1(args.in1),
        ophost::text("-o", "FILE", args.out,
                     "output: .y4m, - for standard output, .png\n"
                     "(name%04d.png: one file per frame, numbered by\n"
                     "the frame of input 0), .mov (ProRes 4444 with the\n"
                     "key as alpha with --pix 444alpha, else ProRes 422\n"
                     "HQ), .mkv (FFV1, lossless), .mp4 (H.264, 4:2:0,\n"
                     "no key), or another container with --codec"),
        ophost::nonEmptyText("--codec", "NAME", args.codec, "the video encoder (an FFmpeg encoder name)"),
        [&] {
            Option o = ophost::integer("--crf", "N", args.crf, 0, 63,
                                       "the encoder's quality (e.g. --crf 18 for H.264) or\n"
                                       "bit rate (bits/s; 20M, 800k allowed)");
            o.label = "--crf N, --bitrate B";
            return o;
        }(),
        {"--bitrate", "", "B", "", "",
         [&args](const std::string &v) {
             return parseBitrate(v, args.bitrate) ? std::string() : "expected bits/s such as 20M or 800k";
         }},
        ophost::flag("--no-audio", args.noAudio,
                     "do not copy input 0's audio (it is copied, cut to\n"
                     "the frames rendered, when the output container\n"
                     "can hold it)"),
        {"--field-order", "", "tff|bff|progressive", "the inputs' field order, whatever they say", "",
         [&args](const std::string &v) {
             if (v == "tff") args.fieldOrder = media::Interlace::TopFirst;
             else if (v == "bff") args.fieldOrder = media::Interlace::BottomFirst;
             else if (v == "progressive") args.fieldOrder = media::Interlace::Progressive;
             else return std::string("expected tff, bff or progressive");
             args.fieldOrderSet = true;
             return std::string();
         }},
        shared::set(args.sets),
        shared::settings(args.settings),
        shared::force(args.force),
        shared::sampleKey(args.sample, args.sampleKey),
        shared::frames(args.frames),
        shared::section(args.section),
        {"--preview", "", "NUM/DEN", "preview renders: fields scaled by NUM/DEN", "",
         [&run](const std::string &v) {
             std::vector<int32_t> f;
             if (!parseInts(v, '/', 2, f) || f[0] <= 0 || f[1] <= 0 || f[0] > 32767 || f[1] > 32767)
                 return std::string("expected NUM/DEN, both 1..32767");
             run.preview = true;
             run.previewNum = f[0];
             run.previewDen = f[1];
             return std::string();
         }},
        ophost::integer("--permille", "P", run.verticalPermille, 0, 32767,
                        "vertical factor of a preview in thousandths (1000)"),
        {"--visible", "", "L,T,R,B",
         "the visible area the host reports (default 0,0,\n"
         "frame width, frame height); it may lie partly or\n"
         "wholly off the frame, with L < R and T < B",
         "", [&run](const std::string &v) {
             std::vector<int32_t> f;
             if (!parseInts(v, ',', 4, f)) return std::string("expected L,T,R,B");
             for (int32_t x : f)
                 if (x < INT16_MIN || x > INT16_MAX) return std::string("values are 16-bit");
             // Any area a scrolled monitor may report, even partly or wholly
             // off the frame; only an empty or inverted one means nothing.
             if (f[0] >= f[2] || f[1] >= f[3]) return std::string("the area is empty or inverted (L < R and T < B)");
             run.visibleSet = true;
             run.visible = hostrt::VisibleArea{int16_t(f[0]), int16_t(f[1]), int16_t(f[2]), int16_t(f[3])};
             return std::string();
         }},
        {"--pix", "", "444alpha|444|422|420",
         "output chroma format (default: input 0's); 444alpha\n"
         "keeps each pixel's key; a PNG gets an alpha channel\n"
         "only with 444alpha",
         "", [&args](const std::string &v) {
             if (!media::parseChromaName(v, args.pix)) return std::string("expected 444alpha, 444, 422 or 420");
             args.pixSet = true;
             return std::string();
         }},
        ophost::integer("--jobs", "N", args.jobs, 1, 256,
                        "render in N processes at once, each a chunk of the\n"
                        "frames, then join them into the output (the same\n"
                        "frames as one run; audio is added at the join)"),
        [&] {
            Option o = ophost::integer("--chunks", "N", args.chunks, 1, 256,
                                       "print, instead of rendering, N chunk commands (each\n"
                                       "writes OUT.partK.EXT) and the ophost join command\n"
                                       "that joins them: run them anywhere, in any order");
            o.label = "--chunks N --plan";
            return o;
        }(),
        ophost::flag("--plan", args.plan, ""),
        ophost::text("--plan-root", "DIR", args.planRoot, "write the plan's paths relative to DIR"),
        ophost::text("--plan-program", "PATH", args.planProgram, "the ophost the plan runs (default: this one)"),
        ophost::shared::quiet(args.quiet,
                              "no progress line (shown only on a terminal) and\n"
                              "no summary on standard error"),
    };
}

// Returns -1 when parsing succeeded, else the exit status.
int parseArgs(int argc, char **argv, Args &args)
{
    auto usage = [](const std::string &message) { return ophost::usageFault("render", message); };
    const ophost::OptionTable table = renderOptions(args);
    std::vector<std::string> operands;
    if (auto stop = ophost::parseCommand("render", argc, argv, table, {RENDER_USAGE, RENDER_EXIT}, {&operands, 1}))
        return *stop;
    if (!operands.empty()) args.op = operands[0];
    if (args.frames.set) {
        args.run.firstFrame = args.frames.first;
        args.run.endFrame = args.frames.end;
    }
    if (args.section.set) {
        args.run.sectionFirst = args.section.first;
        args.run.sectionEnd = args.section.end;
    }
    if (args.op.empty()) return usage("no operator given (see ophost render --help)");
    if (args.in0.empty()) return usage("no input: give --in0 FILE");
    if (args.out.empty()) return usage("no output: give -o FILE");
    if (args.in0 == "-" && args.in1 == "-") return usage("--in0 and --in1 cannot both read standard input");
    auto lower = [](std::string t) {
        for (char &c : t) c = char(std::tolower(static_cast<unsigned char>(c)));
        return t;
    };
    const std::string outName = lower(args.out);
    const bool builtInOutput = outName == "-" || (outName.size() >= 4 && (outName.compare(outName.size() - 4, 4, ".y4m") == 0 ||
                                                                          outName.compare(outName.size() - 4, 4, ".png") == 0));
    if (!builtInOutput && args.codec.empty() && !media::AvWriter::handles(args.out))
        return usage(args.out + ": unknown output type (expected .y4m, .png, - for YUV4MPEG2 on standard output, "
                     "or a container such as .mov, .mkv or .mp4)");
    if (builtInOutput && (!args.codec.empty() || args.crf >= 0 || args.bitrate > 0))
        return usage("--codec, --crf and --bitrate are for container outputs (.mov, .mkv, .mp4, ...), not " + args.out);
    if (args.section.set && !args.frames.set) {
        args.run.firstFrame = args.run.sectionFirst;
        args.run.endFrame = args.run.sectionEnd;
    }
    if (args.section.set && (args.run.firstFrame < args.run.sectionFirst || args.run.endFrame > args.run.sectionEnd))
        return usage("--frames " + std::to_string(args.run.firstFrame) + ":" + std::to_string(args.run.endFrame) +
                     " is not inside --section " + std::to_string(args.run.sectionFirst) + ":" +
                     std::to_string(args.run.sectionEnd));
    if (args.plan && args.chunks == 0) return usage("--plan needs --chunks N");
    if (args.chunks > 0 && !args.plan) return usage("--chunks is for --plan (to render in chunks here, give --jobs N)");
    if (args.plan && args.jobs > 1) return usage("--jobs and --plan exclude each other");
    if ((!args.planRoot.empty() || !args.planProgram.empty()) && !args.plan)
        return usage("--plan-root and --plan-program are for --plan");
    if ((args.plan || args.jobs > 1) && (args.in0 == "-" || args.in1 == "-" || args.out == "-"))
        return usage("chunks cannot share standard input or output: give files");
    args.words.assign(argv + 1, argv + argc);
    if (args.run.preview == false && args.run.verticalPermille != 1000)
        return usage("--permille is for preview renders: give --preview too");
    return -1;
}

// --plan and --jobs: the frames cut into chunks of one section.
int spreadRender(const Args &args, ophost::Clip &in0, ophost::Clip *in1, const std::string &sampledKey,
                 const std::string &label)
{
    ophost::PlanRequest q;
    q.first = args.run.firstFrame;
    q.end = args.run.endFrame;
    if (q.end < 0) {
        std::string error;
        const bool stills = in0.isStill() && (!in1 || in1->isStill());
        const int count = stills ? 1 : in0.frameCount(error);
        if (count < 0) {
            std::fprintf(stderr, "ophost render: %s\n", error.c_str());
            return ophost::EXIT_FAILURE_STATUS;
        }
        q.end = count;
    }
    if (q.end <= q.first) {
        std::fprintf(stderr, "ophost render: no frames to render from frame %d\n", q.first);
        return ophost::EXIT_FAILURE_STATUS;
    }
    q.sectionFirst = args.section.set ? args.run.sectionFirst : q.first;
    q.sectionEnd = args.section.set ? args.run.sectionEnd : q.end;
    q.renderArgs = args.words;
    q.keyColor = sampledKey;
    q.out = args.out;
    if (in0.traits() && !args.noAudio) q.audioFrom = args.in0;
    q.chunks = args.plan ? args.chunks : args.jobs;
    q.root = args.planRoot;
    q.program = args.plan ? (args.planProgram.empty() ? ophost::programFolder() + "/ophost" : args.planProgram) : "/proc/self/exe";
    if (!args.plan) {
        // The parts are hidden temporaries beside the output.
        const size_t slash = args.out.find_last_of('/');
        q.out = args.out.substr(0, slash + 1) + "." + args.out.substr(slash + 1);
        q.out = ophost::partName(q.out, int(::getpid()));
        q.out.replace(q.out.rfind(".part"), 5, ".ophost-");
    }
    ophost::Plan plan = ophost::makePlan(q);
    if (!plan.error.empty()) {
        std::fprintf(stderr, "ophost render: %s\n", plan.error.c_str());
        return ophost::EXIT_USAGE;
    }
    if (args.plan) {
        for (const auto &c : plan.chunkCommands) std::printf("%s\n", ophost::commandLine(c).c_str());
        std::printf("%s\n", ophost::commandLine(plan.joinCommand).c_str());
        return std::fflush(stdout) == 0 ? ophost::EXIT_OK : ophost::EXIT_FAILURE_STATUS;
    }
    std::vector<std::string> notes;
    const auto frames = ophost::splitFrames(q.first, q.end, q.chunks);
    const auto started = std::chrono::steady_clock::now();
    std::string fault = ophost::runChunks(plan, frames, args.out, q.audioFrom, label, !args.quiet,
                                          uint32_t(2 * (q.end - q.first)), notes);
    for (const std::string &note : notes) std::fprintf(stderr, "ophost render: note: %s\n", note.c_str());
    if (!fault.empty()) {
        std::fprintf(stderr, "ophost render: %s\n", fault.c_str());
        return ophost::EXIT_FAILURE_STATUS;
    }
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
    if (!args.quiet)
        std::fprintf(stderr, "%s: %d fields in %.2f s with %zu processes, %.1f fields/s\n", label.c_str(),
                     2 * (q.end - q.first), seconds, frames.size(), seconds > 0 ? 2 * (q.end - q.first) / seconds : 0.0);
    return ophost::EXIT_OK;
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
    if (auto stop = ophost::openOperator("render", args.op, op)) return *stop;
    if (!op.info().oneInput && args.in1.empty()) {
        std::fprintf(stderr, "ophost render: %s reads two inputs: give --in1 FILE\n", op.info().name.c_str());
        return ophost::EXIT_USAGE;
    }
    if (op.info().oneInput && !args.in1.empty())
        std::fprintf(stderr, "ophost render: %s reads only input 0; --in1 is not used\n", op.info().name.c_str());

    ophost::ProgressLine progress(op.info().name, !args.quiet);
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
    // Before anything is read: the output must not be one of the run's own files.
    if (std::string fault = ophost::sameFileFault(
            "-o", args.out, {{"--in0", args.in0}, {"--in1", args.in1}, {"--settings", args.settings}});
        !fault.empty()) {
        std::fprintf(stderr, "ophost render: %s\n", fault.c_str());
        return ophost::EXIT_USAGE;
    }
    // Settings record first (it follows GetOperatorInfo), then each --set.
    bool usageFault = false;
    std::vector<std::string> setNotes;
    std::string setFault =
        ophost::applyParameterOptions(op, args.settings, args.sets, usageFault, args.force, &setNotes);
    showLogged();
    for (const std::string &note : setNotes) std::fprintf(stderr, "ophost render: note: %s\n", note.c_str());
    if (!setFault.empty()) {
        if (!usageFault) return failure(setFault);
        std::fprintf(stderr, "ophost render: %s\n", setFault.c_str());
        return ophost::EXIT_USAGE;
    }

    // The pattern picture Zenvarth's settings now name is read too.
    if (ophost::hasZenvarthRecord(op)) {
        const auto *record = static_cast<const ZenvarthSettings *>(op.info().settings->block);
        const std::string pattern(record->patternName, strnlen(record->patternName, sizeof record->patternName));
        if (std::string fault = ophost::sameFileFault("-o", args.out, {{"the pattern picture", pattern}});
            !fault.empty()) {
            std::fprintf(stderr, "ophost render: %s\n", fault.c_str());
            return ophost::EXIT_USAGE;
        }
    }

    std::unique_ptr<ophost::Clip> in0 = ophost::openClip(args.in0, error);
    if (!in0) return failure(error);
    std::unique_ptr<ophost::Clip> in1;
    if (!op.info().oneInput) {
        in1 = ophost::openClip(args.in1, error);
        if (!in1) return failure(error);
    }
    if (args.fieldOrderSet) {
        in0 = ophost::withFieldOrder(std::move(in0), args.fieldOrder);
        if (in1) in1 = ophost::withFieldOrder(std::move(in1), args.fieldOrder);
    }
    if (std::string fault = ophost::checkInputs(*in0, in1.get()); !fault.empty()) return failure(fault);
    std::vector<std::string> offPicture;
    if (std::string fault = ophost::checkSetRectangles(op, args.sets, in0->width(), in0->height() / 2, offPicture);
        !fault.empty()) {
        std::fprintf(stderr, "ophost render: %s\n", fault.c_str());
        return ophost::EXIT_USAGE;
    }
    for (const std::string &warning : offPicture)
        std::fprintf(stderr, "ophost render: warning: %s\n", warning.c_str());
    for (const ophost::Clip *clip : {in0.get(), in1.get()})
        if (clip)
            for (const std::string &warning : ophost::inputWarnings(*clip))
                std::fprintf(stderr, "ophost render: warning: %s\n", warning.c_str());
    if (in1) {
        // Counting a pipe copies it: only when the run counts its input anyway.
        const bool countLengths = args.run.endFrame < 0 && args.in1 != "-";
        for (const std::string &warning : ophost::inputWarnings(*in0, *in1, countLengths))
            std::fprintf(stderr, "ophost render: warning: %s\n", warning.c_str());
    }
    std::string sampledKey;
    if (args.sampleKey) {
        if (std::string fault = ophost::checkKeySampleArea(args.sample, in1->width(), in1->height() / 2);
            !fault.empty()) {
            std::fprintf(stderr, "ophost render: %s\n", fault.c_str());
            return ophost::EXIT_USAGE;
        }
        if (std::string fault = ophost::applySampledKey(op, *in1, args.run.firstFrame, args.run.endFrame < 0,
                                                        args.sample, args.force, args.quiet, "render", sampledKey);
            !fault.empty())
            return failure(fault);
    }
    if (args.plan || args.jobs > 1) return spreadRender(args, *in0, in1.get(), sampledKey, op.info().name);

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
    if (const media::VideoTraits *t = in0->traits()) {
        format.traits = *t;
        format.aspectNum = t->aspectNum;
        format.aspectDen = t->aspectDen;
        if (!args.noAudio) format.audioFrom = args.in0;
    }
    if (args.section.set && (args.run.firstFrame != args.run.sectionFirst || args.run.endFrame != args.run.sectionEnd))
        format.chunkTag = ophost::formatChunkTag(
            {args.run.firstFrame, args.run.endFrame, args.run.sectionFirst, args.run.sectionEnd});
    format.codec = args.codec;
    format.crf = args.crf;
    format.bitrate = args.bitrate;
    std::vector<std::string> notes;
    std::unique_ptr<ophost::FrameSink> sink = ophost::openSink(args.out, format, error, &notes);
    if (!sink) return failure(error);
    for (const std::string &note : notes) std::fprintf(stderr, "ophost render: note: %s\n", note.c_str());

    args.run.progress = [&progress, &showLogged](uint32_t done, uint32_t total) {
        showLogged();
        progress.update(done, total);
        ophost::reportChunkProgress(done);
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

} // namespace

const ophost::Command ophost::RENDER_COMMAND = {
    "render", "render a section of video through an operator", runRenderCommand};
