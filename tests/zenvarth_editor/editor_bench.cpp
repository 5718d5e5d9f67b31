// How long one gadget event takes at 1920x1080: the editor opened on two
// generated 1080-line frames, headless, monitor 2 the size of a frame and
// the embedded layout (reduced preview in the frame and full size on
// monitor 2). Events are posted to the editor's queue between script
// lines; the time of each batch is taken from one callback to the next.
// Not a test: run it by hand (editor_bench [rounds]).
#include <malloc.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <string>
#include <vector>

#include "EditorState.h"
#include "SettingsTable.h"
#include "hostrt/gui_session.h"
#include "hostrt/session.h"

namespace zv = zenvarth;

namespace {

constexpr int WIDTH = 1920;
constexpr int FIELD_HEIGHT = 540;
constexpr int BATCH = 10;   // the editor's queue holds ten messages

int32_t zenvarthAction(OperatorContext *ctx) { return zv::runAction(ctx); }

hostrt::FieldImage field(uint32_t seed, bool backing)
{
    hostrt::FieldImage f = hostrt::makeField(WIDTH, FIELD_HEIGHT);
    uint32_t x = seed * 2654435761u + 1;
    for (int row = 0; row < FIELD_HEIGHT; ++row)
        for (int col = 0; col < WIDTH; ++col) {
            x ^= x << 13;
            x ^= x >> 17;
            x ^= x << 5;
            const bool subject = (col - 960) * (col - 960) + (row - 270) * (row - 270) * 4 < 300 * 300;
            if (backing && !subject) f.at(col, row) = Pixel{255, 110, 240, uint8_t(41 + (x & 7))};
            else f.at(col, row) = Pixel{255, uint8_t(x), uint8_t(x >> 8), uint8_t(16 + (x >> 16) % 220)};
        }
    return f;
}

void post(TgHandle element, int32_t value)
{
    EditorMessage m{};
    m.kind = MSG_GADGET;
    m.element = element;
    m.value = value;
    msgQSend(zv::messageQueue, &m);
}

} // namespace

int main(int argc, char **argv)
{
    const int rounds = argc > 1 ? std::max(1, std::atoi(argv[1])) : 5;
    // As ophost does: large picture buffers stay in the process.
    mallopt(M_MMAP_THRESHOLD, 64 << 20);
    mallopt(M_TRIM_THRESHOLD, 512 << 20);
    hostrt::setInputFields(0, {field(1, false), field(2, false), field(3, false), field(4, false)});
    hostrt::setInputFields(1, {field(5, true), field(6, true), field(7, true), field(8, true)});
    hostrt::gui::GuiSettings gui;
    gui.screenWidth = 1920;
    gui.screenHeight = 1080;
    gui.monitorWidth = 1920;
    gui.monitorHeight = 1080;
    gui.defaultMonitor = 1;
    gui.connectedMonitors = 1;
    hostrt::gui::setGuiSettings(gui);
    zv::applyDefaultSettings();
    zv::settings.keyerType = 1;
    zv::settings.effectType = 2;   // drop shadow: one of the heavier effects

    using Clock = std::chrono::steady_clock;
    Clock::time_point started;
    double cpuStarted = 0;
    // Processor time of this process: less disturbed than the wall clock
    // when other work shares the machine.
    auto cpuMs = [] {
        timespec t{};
        clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
        return double(t.tv_sec) * 1000.0 + double(t.tv_nsec) / 1e6;
    };
    std::vector<double> slider, frame, sliderCpu, frameCpu;
    int step = 0;
    hostrt::gui::setCheckHandler([&](const std::string &name) {
        const double ms = std::chrono::duration<double, std::milli>(Clock::now() - started).count();
        const double cpu = cpuMs() - cpuStarted;
        if (name == "slider-done") {
            slider.push_back(ms / BATCH);
            sliderCpu.push_back(cpu / BATCH);
        }
        if (name == "frame-done") {
            frame.push_back(ms / BATCH);
            frameCpu.push_back(cpu / BATCH);
        }
        if (name == "slider") {
            // A byte slider dragged: one render per event.
            for (int i = 0; i < BATCH; ++i) post(zv::colorTolerance, 20 + (step++ % 50));
        } else if (name == "frame") {
            // The frame slider: fetch, render and draw per event.
            for (int i = 0; i < BATCH; ++i) post(zv::frameSlider, i % 2);
        }
        started = Clock::now();
        cpuStarted = cpuMs();
    });
    std::string script;
    for (int r = 0; r < rounds; ++r) script += "check slider\nmove 1 1\ncheck slider-done\ncheck frame\nmove 2 2\ncheck frame-done\n";
    hostrt::gui::setScript(script, "bench");

    OperatorContext ctx = hostrt::makeContext(OPACT_PARAMETER, 0, 4);
    ctx.paramIndex = 0;
    ctx.verticalPermille = 1000;
    hostrt::callOperator(zenvarthAction, ctx);
    if (hostrt::lastCallHeld() != 0) std::fprintf(stderr, "editor_bench: pictures left held\n");

    auto report = [](const char *what, std::vector<double> v) {
        if (v.empty()) return;
        std::sort(v.begin(), v.end());
        std::printf("%-34s median %.1f ms, best %.1f ms, worst %.1f ms (%zu batches of %d)\n", what, v[v.size() / 2],
                    v.front(), v.back(), v.size(), BATCH);
    };
    std::printf("1920x1080 frames, embedded layout 1920x1080 screen, monitor 2 1920x1080\n");
    report("byte slider event, wall:", slider);
    report("byte slider event, processor:", sliderCpu);
    report("frame slider event, wall:", frame);
    report("frame slider event, processor:", frameCpu);
    return 0;
}
