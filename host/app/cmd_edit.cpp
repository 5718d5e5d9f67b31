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
#include "contract/gui_calls.h"
#include "demo_clip.h"
#include "hostgui/monitor_view.h"
#include "hostrt/gui_session.h"
#include "hostrt/session.h"
#include "ophost/input_warnings.h"
#include "ophost/key_option.h"
#include "media/output_file.h"
#include "ophost/operators.h"
#include "ophost/options.h"
#include "ophost/params.h"
#include "ophost/run.h"

namespace {

const char *const EDIT_USAGE =
    "usage: ophost edit OP --in0 FILE [--in1 FILE] [options]\n"
    "       ophost edit --demo [options]\n"
    "\n"
    "Opens OP's editor (action 4 on parameter 0) on one section of video. The\n"
    "inputs are read as render reads them; the editor shows the keyed frame on\n"
    "its screen and on monitor 2, and every change goes into the operator's\n"
    "settings record at once.\n"
    "\n";

const char *const EDIT_MORE =
    "\n"
    "The preset folder is QVHOME/programs/zenvarth; with QVHOME unset ophost uses\n"
    "${XDG_DATA_HOME:-$HOME/.local/share}/ophost for the run, creates the folder\n"
    "through action 7 and says which it used. The script line \"check NAME\"\n"
    "prints NAME and the settings record in hex on standard output.\n"
    "\n"
    "When the settings record differs at close from what it was at opening and\n"
    "no --save-settings was given, ophost asks: save it to a file (the file\n"
    "requester starts in the preset folder), discard it, or go back to the\n"
    "editor. A script answers with the line \"answer save FILE\", \"answer\n"
    "discard\" or \"answer back\"; a script that ends unanswered discards.\n"
    "\n"
    "Exit status: 0 done, 1 failure (an input, a file, a script fault, pictures\n"
    "left held), 2 usage error.\n";

struct Args {
    std::string op, in0, in1, settings, saveSettings, script, screenshot, monitorShot;
    std::string screenOverlay, monitorOverlay;
    std::vector<std::string> sets;
    ophost::FrameRange frames;
    int defaultMonitor = 1;
    int monitors = 1;
    int screenWidth = 0, screenHeight = 0;   // 0: by the layout
    bool force = false;
    bool sampleKey = false;
    ophost::KeySampleArea sample;
    bool headless = false;
    bool demo = false;
    bool quiet = false;
    bool timings = false;
    int monitorView = 0;   // hostgui::MonitorView
};

int usage(const std::string &message) { return ophost::usageFault("edit", message); }

ophost::OptionTable editOptions(Args &args)
{
    namespace shared = ophost::shared;
    using ophost::Option;
    auto reworded = [](Option o, const std::string &help) {
        o.help = help;
        return o;
    };
    return {
        reworded(shared::in0(args.in0), "inputs 0 and 1: a YUV4MPEG2 file, - for YUV4MPEG2\n"
                                        "on standard input, a PNG still that stands for\n"
                                        "every frame, or any video file FFmpeg's libraries\n"
                                        "read (.mov, .mp4, .mkv, .mxf, ..., or an image\n"
                                        "sequence such as shot%04d.png); Zenvarth keys\n"
                                        "input 1 over input 0"),
        shared::in1(args.in1),
        ophost::flag("--demo", args.demo, "Zenvarth on the built-in demo clip (no files)"),
        reworded(shared::frames(args.frames), "the section: frames A to B-1 (default: all; cut\n"
                                              "to the shortest input)"),
        reworded(shared::settings(args.settings), "start from the settings record in FILE"),
        reworded(shared::set(args.sets), "set a parameter or a Zenvarth field first, as\n"
                                          "render does"),
        shared::force(args.force),
        shared::sampleKey(args.sample, args.sampleKey),
        ophost::text("--save-settings", "FILE", args.saveSettings,
                     "write the settings record to FILE when the editor\n"
                     "closes (written whole or not at all)"),
        shared::defaultMonitor(args.defaultMonitor),
        {"--screen", "", "WxH",
         "size of the editor screen (default 1024x768 with\n"
         "default monitor 1, else the frame's size)",
         "", [&args](const std::string &v) {
             return ophost::parseSize(v, 8192, 8192, args.screenWidth, args.screenHeight)
                        ? std::string()
                        : ophost::sizeFault(8192, 8192);
         }},
        ophost::integer("--monitors", "1|2", args.monitors, 1, 2,
                        "monitors connected (default 1; with 2 and the\n"
                        "default monitor 1, nothing is drawn on monitor 2)",
                        "1 or 2"),
        ophost::flag("--headless", args.headless,
                     "no window: events come from --script (none: the\n"
                     "editor closes at once); also without a display"),
        ophost::text("--script", "FILE", args.script,
                     "headless events: click X Y, key NAME, set-slider\n"
                     "\"LABEL\" VALUE, click-text \"TEXT\", close, save\n"
                     "screen|monitor FILE.png, check NAME, answer ...\n"
                     "(see the README)"),
        ophost::text("--screenshot", "FILE", args.screenshot,
                     "save the editor screen as PNG as it was just\n"
                     "before it closed"),
        ophost::text("--monitor-screenshot", "FILE", args.monitorShot, "the same for monitor 2"),
        {"--monitor-view", "", "composite|key|foreground|background",
         "what monitor 2 shows at opening: the keyed picture,\n"
         "the key as grey, input 1 or input 0 (keys 1-4)",
         "", [&args](const std::string &v) {
             hostgui::MonitorView view;
             if (!hostgui::parseMonitorView(v, view)) return std::string("composite, key, foreground or background");
             args.monitorView = int(view);
             return std::string();
         }},
        [&] {
            Option o = ophost::text("--screen-overlay", "FILE.y4m", args.screenOverlay,
                                    "the exact bytes the editor last drew on that\n"
                                    "surface's overlay, one 444alpha frame");
            o.label = "--screen-overlay FILE.y4m, --monitor-overlay FILE.y4m";
            return o;
        }(),
        ophost::text("--monitor-overlay", "FILE.y4m", args.monitorOverlay, ""),
        shared::quiet(args.quiet, "no summary on standard error"),
        ophost::flag("--timings", args.timings,
                     "print each event's time (event, render, draw) and\n"
                     "each input field's fetch time on standard error"),
    };
}

// Returns -1 when parsing succeeded, else the exit status.
int parseArgs(int argc, char **argv, Args &args)
{
    const ophost::OptionTable table = editOptions(args);
    std::vector<std::string> operands;
    if (auto stop = ophost::parseCommand("edit", argc, argv, table, {EDIT_USAGE, EDIT_MORE}, {&operands, 1}))
        return *stop;
    if (!operands.empty()) args.op = operands[0];
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

// The editor scrubs the whole section: a section past the end of a shorter
// input is cut to it (the lengths were warned about), and one that starts
// past it is refused.
std::string clampToShortest(ophost::Clip &in0, ophost::Clip *in1, int first, int &end)
{
    for (ophost::Clip *clip : {&in0, in1}) {
        if (!clip || clip->isStill()) continue;
        std::string fault;
        const int count = clip->frameCount(fault);
        if (count < 0) return fault.empty() ? clip->name() + ": cannot count the frames" : fault;
        if (count >= end) continue;
        if (count <= first)
            return clip->name() + ": has " + std::to_string(count) + " frame" + (count == 1 ? "" : "s") +
                   "; the section starting at frame " + std::to_string(first) + " is empty";
        std::fprintf(stderr, "ophost edit: warning: the section is cut to frames %d to %d: %s has %d frames\n", first,
                     count - 1, clip->name().c_str(), count);
        end = count;
    }
    return {};
}

// What to do with changed settings at close.
struct CloseAnswer {
    enum Choice { Discard, Save, Back } choice = Discard;
    std::string path;    // Save
    std::string fault;   // an answer that could not be taken
};

constexpr const char PRESET_FOLDER[] = "programs/zenvarth";

// A bare name is saved in the preset folder, as the file requester starts
// there; a name with a folder is taken as written.
std::string savePath(const std::string &name)
{
    if (name.find('/') != std::string::npos) return name;
    const char *home = std::getenv("QVHOME");
    return home && *home ? std::string(home) + "/" + PRESET_FOLDER + "/" + name : name;
}

// A window asks with the host's requesters: save? (then the file
// requester); else discard? (no: back to the editor).
CloseAnswer askInWindow()
{
    CloseAnswer answer;
    TextRequest save{};
    save.text = "The settings changed and are not saved. Save them to a file?";
    save.kind = TEXT_YESNO;
    treqTextRequest(&save);
    if (save.answer == 1) {
        std::vector<char> path(4096, 0), remembered(256, 0);
        FileRequest file{};
        file.directory = PRESET_FOLDER;
        file.purpose = FILE_SAVE;
        file.path = path.data();
        file.pathSize = uint16_t(path.size());
        file.hostBuffer = remembered.data();
        file.hostBufferSize = uint16_t(remembered.size());
        treqFileRequest(&file);
        if (file.status != 1) return {CloseAnswer::Back, "", ""};
        return {CloseAnswer::Save, path.data(), ""};
    }
    TextRequest discard{};
    discard.text = "Discard the changes? (No goes back to the editor.)";
    discard.kind = TEXT_YESNO;
    treqTextRequest(&discard);
    answer.choice = discard.answer == 1 ? CloseAnswer::Discard : CloseAnswer::Back;
    return answer;
}

// A script answers with its next line: "answer save FILE", "answer
// discard" or "answer back"; a script that ends first discards.
CloseAnswer askBeforeClosing(bool window)
{
    if (window) return askInWindow();
    std::vector<std::string> words;
    std::string fault;
    if (!hostrt::gui::scriptAnswer(words, fault)) return {CloseAnswer::Discard, "", fault};
    if (words.size() == 2 && words[0] == "save") return {CloseAnswer::Save, savePath(words[1]), ""};
    if (words.size() == 1 && words[0] == "discard") return {};
    if (words.size() == 1 && words[0] == "back") return {CloseAnswer::Back, "", ""};
    std::string said;
    for (const std::string &w : words) said += " " + w;
    return {CloseAnswer::Discard, "", "answer" + said + ": expected answer save FILE, answer discard or answer back"};
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
    if (auto stop = ophost::openOperator("edit", args.op, op)) return *stop;
    if (!args.demo && !op.info().oneInput && args.in1.empty()) {
        std::fprintf(stderr, "ophost edit: %s reads two inputs: give --in1 FILE\n", op.info().name.c_str());
        return ophost::EXIT_USAGE;
    }
    hostrt::setLogListener(
        [](const hostrt::LogLine &line) { std::fprintf(stderr, "%s\n", ophost::formatLogLine(line).c_str()); });

    if (args.sampleKey && !ophost::hasZenvarthRecord(op)) {
        std::fprintf(stderr, "ophost edit: --sample-key sets Zenvarth's keyColor; %s has none\n",
                     op.info().name.c_str());
        return ophost::EXIT_USAGE;
    }
    bool usageFault = false;
    if (std::string fault = ophost::applyParameterOptions(op, args.settings, args.sets, usageFault, args.force);
        !fault.empty()) {
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
    if (in1)
        for (const std::string &warning : ophost::inputWarnings(*in0, *in1, true))
            std::fprintf(stderr, "ophost edit: warning: %s\n", warning.c_str());
    const int firstFrame = args.frames.first;
    int endFrame = 0;
    if (std::string fault = ophost::resolveSection(*in0, in1.get(), firstFrame, args.frames.end, endFrame);
        !fault.empty())
        return failure(fault);
    if (std::string fault = clampToShortest(*in0, in1.get(), firstFrame, endFrame); !fault.empty())
        return failure(fault);
    const uint32_t fieldCount = uint32_t(endFrame - firstFrame) * 2;
    if (args.sampleKey) {
        if (std::string fault = ophost::checkKeySampleArea(args.sample, in1->width(), in1->height() / 2);
            !fault.empty())
            return usage(fault);
        std::string chosen;
        if (std::string fault = ophost::applySampledKey(op, *in1, firstFrame, false, args.sample, args.force,
                                                        args.quiet, "edit", chosen);
            !fault.empty())
            return failure(fault);
    }

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
    inputs.attach(*in0, in1.get(), firstFrame, fieldCount);
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
    gui.monitorView = args.monitorView;
    gui.timings = args.timings;
    hostrt::gui::setGuiSettings(gui);
    hostrt::gui::setSectionStart(firstFrame);
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
    // Closing with changes nobody will save asks first; "back" opens the
    // editor again on the record as it is.
    size_t held = 0;
    CloseAnswer answer;
    for (;;) {
        hostrt::callOperator(op.info().action, ctx);
        held += hostrt::lastCallHeld();
        const bool changed = record && std::memcmp(record->block, loaded.data(), record->size) != 0;
        if (!changed || !args.saveSettings.empty()) break;
        answer = askBeforeClosing(window);
        if (answer.choice != CloseAnswer::Back) break;
    }
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

    if (!answer.fault.empty()) report(answer.fault);
    if (record && answer.choice == CloseAnswer::Save) args.saveSettings = answer.path;
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
            std::fprintf(stderr, "ophost edit: the settings changed; nothing was saved (give --save-settings FILE, "
                                 "or answer save FILE when asked)\n");
        }
    }
    return status;
}

} // namespace

const ophost::Command ophost::EDIT_COMMAND = {
    "edit", "open an operator's editor on real video (window or scripted)", runEdit};
