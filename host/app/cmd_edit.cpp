// ophost edit OP: opens an operator's editor (action 4 on its parameter 0)
// on real video, in a window or headless from a script, with the inputs
// set up exactly as render sets them up.
#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "command.h"
#include "demo_clip.h"
#include "hostrt/gui_session.h"
#include "hostrt/session.h"
#include "ophost/input_warnings.h"
#include "media/output_file.h"
#include "ophost/operators.h"
#include "ophost/params.h"
#include "ophost/run.h"

namespace {

const char *const EDIT_HELP =
    "usage: ophost edit OP --in0 FILE [--in1 FILE] [options]\n"
    "       ophost edit --demo [options]\n"
    "\n"
    "Opens OP's editor (action 4 on parameter 0) on one section of video. The\n"
    "inputs are read as render reads them; the editor shows the keyed frame on\n"
    "its screen and on monitor 2, and every change goes into the operator's\n"
    "settings record at once.\n"
    "\n"
    "  --in0 FILE, --in1 FILE  inputs 0 and 1: a YUV4MPEG2 file, - for YUV4MPEG2\n"
    "                          on standard input, a PNG still that stands for\n"
    "                          every frame, or any video file FFmpeg's libraries\n"
    "                          read (.mov, .mp4, .mkv, .mxf, ..., or an image\n"
    "                          sequence such as shot%04d.png); Zenvarth keys\n"
    "                          input 1 over input 0\n"
    "  --demo                  Zenvarth on the built-in demo clip (no files)\n"
    "  --frames A:B            the section: frames A to B-1 (default: all)\n"
    "  --settings FILE         start from the settings record in FILE\n"
    "  --set N=VALUE           set parameter N first (as render does)\n"
    "  --save-settings FILE    write the settings record to FILE when the editor\n"
    "                          closes (written whole or not at all)\n"
    "  --default-monitor N     1: panels and a reduced preview share the editor\n"
    "                          screen (default); 2: panels over the full-size\n"
    "                          preview; 3: the same without backdrop\n"
    "  --screen WxH            size of the editor screen (default 1024x768 with\n"
    "                          default monitor 1, else the frame's size)\n"
    "  --monitors 1|2          monitors connected (default 1; with 2 and the\n"
    "                          default monitor 1, nothing is drawn on monitor 2)\n"
    "  --headless              no window: events come from --script (none: the\n"
    "                          editor closes at once); also without a display\n"
    "  --script FILE           headless events: click X Y, key NAME, set-slider\n"
    "                          \"LABEL\" VALUE, click-text \"TEXT\", close, save\n"
    "                          screen|monitor FILE.png, check NAME, ... (see the\n"
    "                          README)\n"
    "  --screenshot FILE       save the editor screen as PNG as it was just\n"
    "                          before it closed\n"
    "  --monitor-screenshot FILE  the same for monitor 2\n"
    "  --screen-overlay FILE.y4m, --monitor-overlay FILE.y4m\n"
    "                          the exact bytes the editor last drew on that\n"
    "                          surface's overlay, one 444alpha frame\n"
    "  --quiet                 no summary on standard error\n"
    "  --timings               print the time each input field took to fetch\n"
    "                          (decoding, seeking) on standard error\n"
    "\n"
    "The preset folder is QVHOME/programs/zenvarth; with QVHOME unset ophost uses\n"
    "${XDG_DATA_HOME:-$HOME/.local/share}/ophost for the run, creates the folder\n"
    "through action 7 and says which it used. The script line \"check NAME\"\n"
    "prints NAME and the settings record in hex on standard output.\n"
    "\n"
    "Exit status: 0 done, 1 failure (an input, a file, a script fault, pictures\n"
    "left held), 2 usage error.\n";

struct Args {
    std::string op, in0, in1, settings, saveSettings, script, screenshot, monitorShot;
    std::string screenOverlay, monitorOverlay;
    std::vector<std::string> sets;
    int firstFrame = 0, endFrame = -1;
    int defaultMonitor = 1;
    int monitors = 1;
    int screenWidth = 0, screenHeight = 0;   // 0: by the layout
    bool headless = false;
    bool demo = false;
    bool quiet = false;
    bool timings = false;
};

int usage(const std::string &message)
{
    std::fprintf(stderr, "ophost edit: %s\n", message.c_str());
    return ophost::EXIT_USAGE;
}

// Returns -1 when parsing succeeded, else the exit status.
int parseArgs(int argc, char **argv, Args &args)
{
    for (int i = 1; i < argc; ++i) {
        std::string a = argv[i];
        std::string inlineValue;
        bool hasInline = false;
        if (a.size() > 2 && a[0] == '-' && a[1] == '-') {
            size_t eq = a.find('=');
            if (eq != std::string::npos) {
                inlineValue = a.substr(eq + 1);
                a = a.substr(0, eq);
                hasInline = true;
            }
        }
        if (a == "--help" || a == "-h") {
            std::printf("%s", EDIT_HELP);
            return ophost::EXIT_OK;
        }
        if (a == "--demo") {
            args.demo = true;
            continue;
        }
        if (a == "--headless") {
            args.headless = true;
            continue;
        }
        if (a == "--timings") {
            args.timings = true;
            continue;
        }
        if (a == "--quiet" || a == "-q") {
            args.quiet = true;
            continue;
        }
        static const char *const valued[] = {"--in0",          "--in1",         "--frames",         "--settings",
                                             "--set",          "--save-settings", "--default-monitor", "--monitors",
                                             "--screen",
                                             "--script",       "--screenshot",  "--monitor-screenshot",
                                             "--screen-overlay", "--monitor-overlay"};
        bool known = false;
        for (const char *v : valued) known = known || a == v;
        if (!known) {
            if (!a.empty() && a[0] == '-' && a != "-") return usage("unknown option '" + a + "' (see ophost edit --help)");
            if (!args.op.empty()) return usage("unexpected argument '" + a + "'");
            args.op = a;
            continue;
        }
        std::string v;
        if (hasInline) v = inlineValue;
        else if (i + 1 < argc) v = argv[++i];
        else return usage(a + " needs a value");
        int32_t n = 0;
        if (a == "--in0") args.in0 = v;
        else if (a == "--in1") args.in1 = v;
        else if (a == "--settings") args.settings = v;
        else if (a == "--set") args.sets.push_back(v);
        else if (a == "--save-settings") args.saveSettings = v;
        else if (a == "--script") args.script = v;
        else if (a == "--screenshot") args.screenshot = v;
        else if (a == "--monitor-screenshot") args.monitorShot = v;
        else if (a == "--screen-overlay") args.screenOverlay = v;
        else if (a == "--monitor-overlay") args.monitorOverlay = v;
        else if (a == "--frames") {
            if (!ophost::parseFrameRange(v, args.firstFrame, args.endFrame))
                return usage("--frames '" + v + "': expected A:B with 0 <= A < B");
        } else if (a == "--default-monitor") {
            if (!ophost::parseInt32(v, n) || n < 1 || n > 3)
                return usage("--default-monitor '" + v + "': expected 1, 2 or 3");
            args.defaultMonitor = n;
        } else if (a == "--screen") {
            const size_t x = v.find('x');
            int32_t w = 0, h = 0;
            if (x == std::string::npos || !ophost::parseInt32(v.substr(0, x), w) ||
                !ophost::parseInt32(v.substr(x + 1), h) || w < 1 || h < 1 || w > 8192 || h > 8192)
                return usage("--screen '" + v + "': expected WxH, each 1..8192");
            args.screenWidth = w;
            args.screenHeight = h;
        } else if (a == "--monitors") {
            if (!ophost::parseInt32(v, n) || (n != 1 && n != 2)) return usage("--monitors '" + v + "': expected 1 or 2");
            args.monitors = n;
        }
    }
    if (args.demo) {
        if (args.op.empty()) args.op = "Zenvarth";
        if (!args.in0.empty() || !args.in1.empty()) return usage("--demo brings its own inputs: give no --in0 or --in1");
    } else {
        if (args.op.empty()) return usage("no operator given (see ophost edit --help)");
        if (args.in0.empty()) return usage("no input: give --in0 FILE (or --demo)");
        if (args.in0 == "-" && args.in1 == "-") return usage("--in0 and --in1 cannot both read standard input");
    }
    return -1;
}

bool hasDisplay()
{
    const char *display = std::getenv("DISPLAY");
    const char *wayland = std::getenv("WAYLAND_DISPLAY");
    return (display && *display) || (wayland && *wayland);
}

std::string hexOf(const uint8_t *bytes, size_t size)
{
    static const char digits[] = "0123456789abcdef";
    std::string s;
    s.reserve(size * 2);
    for (size_t i = 0; i < size; ++i) {
        s += digits[bytes[i] >> 4];
        s += digits[bytes[i] & 15];
    }
    return s;
}

// The preset folder's home: QVHOME, or a folder of the user's data.
std::string chooseHome(bool &chosenHere)
{
    chosenHere = false;
    if (const char *home = std::getenv("QVHOME"); home && *home) return home;
    std::string base;
    if (const char *data = std::getenv("XDG_DATA_HOME"); data && *data) base = data;
    else if (const char *home = std::getenv("HOME"); home && *home) base = std::string(home) + "/.local/share";
    else return {};
    chosenHere = true;
    return base + "/ophost";
}

std::string saveOverlay(hostrt::gui::SurfaceId surface, const std::string &path)
{
    std::vector<Pixel> pixels;
    int width = 0, height = 0;
    if (!hostrt::gui::closedOverlay(surface, pixels, width, height)) return path + ": the editor showed no screen";
    if (width <= 0 || height <= 0)
        return path + ": the overlay is " + std::to_string(width) + "x" + std::to_string(height);
    ophost::OutputFormat format;
    format.chroma = media::Chroma::C444alpha;
    format.interlaced = false;
    std::string error;
    auto sink = ophost::openSink(path, format, error);
    if (!sink) return error;
    media::VideoFrame frame;
    frame.width = width;
    frame.height = height;
    frame.pixels = std::move(pixels);
    if (!sink->write(frame, error) || !sink->finish(error)) {
        sink->abandon();
        return error;
    }
    return {};
}

int runEdit(int argc, char **argv)
{
    Args args;
    if (int status = parseArgs(argc, argv, args); status >= 0) return status;
    auto failure = [](const std::string &message) {
        std::fprintf(stderr, "ophost edit: %s\n", message.c_str());
        return ophost::EXIT_FAILURE_STATUS;
    };

    // A settings file that could not be written is refused before the
    // session, not after the user's work in it.
    if (!args.saveSettings.empty()) {
        if (std::string fault = media::checkOutputTarget(args.saveSettings); !fault.empty())
            return failure("--save-settings " + fault);
    }

    hostrt::LoadedOperator op;
    std::string error;
    if (ophost::operatorLibraryPath(args.op).empty()) {
        std::fprintf(stderr, "ophost edit: unknown operator '%s' (see ophost list)\n", args.op.c_str());
        return ophost::EXIT_USAGE;
    }
    if (!ophost::loadOperator(args.op, op, error)) return failure(error);
    if (!args.demo && !op.info().oneInput && args.in1.empty()) {
        std::fprintf(stderr, "ophost edit: %s reads two inputs: give --in1 FILE\n", op.info().name.c_str());
        return ophost::EXIT_USAGE;
    }
    hostrt::setLogListener(
        [](const hostrt::LogLine &line) { std::fprintf(stderr, "%s\n", ophost::formatLogLine(line).c_str()); });

    bool usageFault = false;
    if (std::string fault = ophost::applyParameterOptions(op, args.settings, args.sets, usageFault); !fault.empty()) {
        if (!usageFault) return failure(fault);
        std::fprintf(stderr, "ophost edit: %s\n", fault.c_str());
        return ophost::EXIT_USAGE;
    }

    // Inputs, as render opens and checks them.
    std::unique_ptr<ophost::Clip> in0, in1;
    if (args.demo) {
        const demo::ClipSize size = demo::DEMO_CLIP;
        std::vector<media::VideoFrame> foreground, background;
        for (int k = 0; k < size.frames; ++k) {
            foreground.push_back(demo::foregroundFrame(size, k));
            background.push_back(demo::backgroundFrame(size, k));
        }
        in0 = ophost::memoryClip(std::move(background), false, media::Chroma::C444);
        in1 = ophost::memoryClip(std::move(foreground), false, media::Chroma::C444);
    } else {
        in0 = ophost::openClip(args.in0, error);
        if (!in0) return failure(error);
        if (!op.info().oneInput) {
            in1 = ophost::openClip(args.in1, error);
            if (!in1) return failure(error);
        }
    }
    if (std::string fault = ophost::checkInputs(*in0, in1.get()); !fault.empty()) return failure(fault);
    for (const ophost::Clip *clip : {in0.get(), in1.get()})
        if (clip)
            for (const std::string &warning : ophost::inputWarnings(*clip))
                std::fprintf(stderr, "ophost edit: warning: %s\n", warning.c_str());
    int endFrame = 0;
    if (std::string fault = ophost::resolveSection(*in0, in1.get(), args.firstFrame, args.endFrame, endFrame);
        !fault.empty())
        return failure(fault);
    const uint32_t fieldCount = uint32_t(endFrame - args.firstFrame) * 2;

    // The preset folder, made by the operator's install action whether
    // QVHOME names the home or ophost chose one for the run.
    bool homeChosen = false;
    const std::string home = chooseHome(homeChosen);
    if (homeChosen) {
        ::setenv("QVHOME", home.c_str(), 1);
        std::fprintf(stderr, "ophost edit: QVHOME is not set; presets live under %s/programs/zenvarth\n",
                     home.c_str());
    }
    if (!home.empty()) {
        OperatorContext install = hostrt::makeContext(OPACT_INSTALL);
        hostrt::callOperator(op.info().action, install);
    }

    // The session: fields of the section, the standard picture size (the
    // clip's field size), the visible area and monitor 2 the size of a frame.
    ophost::SessionInputs inputs;
    inputs.attach(*in0, in1.get(), args.firstFrame, fieldCount);
    if (args.timings) {
        // Each field's fetch timed as the operator asks for it.
        for (int i = 0; i < 2; ++i) {
            if (!inputs.inputs[i].clip) continue;
            hostrt::setInput(i, [&in = inputs.inputs[i], i](int32_t n, hostrt::FieldImage &f) {
                const auto start = std::chrono::steady_clock::now();
                const bool ok = in.get(n, f);
                const double ms =
                    std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
                std::fprintf(stderr, "timings: input %d field %d (frame %d): %.1f ms\n", i, int(n),
                             in.firstFrame + int(n / 2), ms);
                return ok;
            });
        }
    }
    hostrt::setStandardSize(int16_t(in0->width()), int16_t(in0->height() / 2));
    hostrt::setVisibleArea(hostrt::VisibleArea{0, 0, int16_t(in0->width()), int16_t(in0->height())});

    hostrt::gui::GuiSettings gui = hostrt::gui::guiSettings();
    gui.monitorWidth = uint16_t(in0->width());
    gui.monitorHeight = uint16_t(in0->height());
    gui.pixelAspect = 1000;
    gui.defaultMonitor = args.defaultMonitor;
    gui.connectedMonitors = args.monitors;
    gui.framesPerSecond = in0->rateDen() > 0 ? (in0->rateNum() + in0->rateDen() / 2) / in0->rateDen() : 25;
    if (gui.framesPerSecond <= 0) gui.framesPerSecond = 25;
    if (args.defaultMonitor != 1) {
        // The panels stand over the full-size preview: the screen is the
        // picture's size, with room for the panel block.
        gui.screenWidth = uint16_t(std::max(in0->width(), 672));
        gui.screenHeight = uint16_t(std::max(in0->height(), 400));
        gui.screenVisible = hostrt::VisibleArea{0, 0, int16_t(gui.screenWidth), int16_t(gui.screenHeight)};
    }
    if (args.screenWidth > 0) {
        gui.screenWidth = uint16_t(args.screenWidth);
        gui.screenHeight = uint16_t(args.screenHeight);
        gui.screenVisible = hostrt::VisibleArea{0, 0, int16_t(gui.screenWidth), int16_t(gui.screenHeight)};
    }
    const bool window = !args.headless && args.script.empty() && hasDisplay();
    gui.frontEnd = window ? hostrt::gui::FrontEndKind::Window : hostrt::gui::FrontEndKind::Headless;
    hostrt::gui::setGuiSettings(gui);
    if (!args.script.empty()) {
        if (!hostrt::gui::loadScriptFile(args.script, error)) return failure(error);
    } else if (!window) {
        hostrt::gui::setScript("", "no script");
    }

    const SettingsDescriptor *record = op.info().settings;
    std::vector<uint8_t> loaded;
    if (record) {
        const auto *bytes = static_cast<const uint8_t *>(record->block);
        loaded.assign(bytes, bytes + record->size);
    }
    hostrt::gui::setCheckHandler([record](const std::string &name) {
        std::string hex = record ? hexOf(static_cast<const uint8_t *>(record->block), record->size) : "";
        std::printf("check %s: %s\n", name.c_str(), hex.c_str());
        std::fflush(stdout);
    });

    OperatorContext ctx = hostrt::makeContext(OPACT_PARAMETER, 0, fieldCount);
    ctx.paramIndex = 0;
    ctx.verticalPermille = 1000;
    hostrt::callOperator(op.info().action, ctx);
    const size_t held = hostrt::lastCallHeld();
    hostrt::gui::setCheckHandler(nullptr);
    inputs.detach();
    hostrt::setLogListener(nullptr);

    int status = ophost::EXIT_OK;
    auto report = [&status](const std::string &fault) {
        if (fault.empty()) return;
        std::fprintf(stderr, "ophost edit: %s\n", fault.c_str());
        status = ophost::EXIT_FAILURE_STATUS;
    };
    if (std::string fault = inputs.firstError(); !fault.empty()) report(fault);
    if (held) report(op.info().name + " still held " + std::to_string(held) + " picture(s) after its editor closed");
    for (const std::string &e : hostrt::gui::scriptErrors()) {
        (void)e;   // already printed as the script ran
        status = ophost::EXIT_FAILURE_STATUS;
    }
    if (!args.screenshot.empty() &&
        !hostrt::gui::saveClosedScreenshot(hostrt::gui::SurfaceId::Screen, args.screenshot, error))
        report(args.screenshot + ": " + error);
    if (!args.monitorShot.empty() &&
        !hostrt::gui::saveClosedScreenshot(hostrt::gui::SurfaceId::Monitor, args.monitorShot, error))
        report(args.monitorShot + ": " + error);
    if (!args.screenOverlay.empty()) report(saveOverlay(hostrt::gui::SurfaceId::Screen, args.screenOverlay));
    if (!args.monitorOverlay.empty()) report(saveOverlay(hostrt::gui::SurfaceId::Monitor, args.monitorOverlay));

    if (record) {
        const auto *bytes = static_cast<const uint8_t *>(record->block);
        const bool changed = std::memcmp(bytes, loaded.data(), record->size) != 0;
        if (!args.saveSettings.empty()) {
            std::string fault = safefile::writeWhole(args.saveSettings, bytes, record->size, &media::outputHooks());
            if (fault.empty()) {
                if (!args.quiet)
                    std::fprintf(stderr, "ophost edit: settings saved to %s (%u bytes)\n", args.saveSettings.c_str(),
                                 record->size);
            } else {
                report(fault);
            }
        } else if (changed) {
            std::fprintf(stderr, "ophost edit: the settings changed; nothing was saved (give --save-settings FILE)\n");
        }
    }
    return status;
}

const ophost::RegisterCommand editCommand(
    {"edit", "open an operator's editor on real video (window or scripted)", runEdit});

} // namespace
