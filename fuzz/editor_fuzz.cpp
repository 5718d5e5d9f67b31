// Zenvarth's editor opened headless on an arbitrary settings record, then
// driven by arbitrary keys: pages, rows, requesters (presets included, in a
// folder of their own), the host preview, the frame slider and the layout
// toggles. The editor must close holding no picture.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

#include "fuzz_input.h"
#include "hostrt/gui_session.h"
#include "hostrt/session.h"
#include "zenvarth_block.h"

namespace {

// The keys a user may press; each input byte names one.
const char *const KEYS[] = {
    "b",     "a",     "s",          "w",           "f",         "m",      "0",     "1",
    "2",     "3",     "4",          "x",           "y",         "r",      "i",     "shift+t",
    "Left",  "Right", "Up",         "Down",        "Home",      "End",    "Return", "Escape",
    "Backspace", "shift+Delete", "F1", "shift+Left", "shift+Right", "space", "Tab", "alt+c",
};
constexpr size_t KEY_COUNT = sizeof KEYS / sizeof KEYS[0];
constexpr size_t MAX_KEYS = 40;

// Pattern names the harness offers: none, missing, a real one.
const char *const PATTERNS[] = {"", "/nonexistent/wipe.png", FUZZ_PATTERN_PGM};

// Presets are read, written and deleted in a folder of this process only.
void presetHome()
{
    static bool made = false;
    if (made) return;
    char dir[] = "/tmp/zv_editor_fuzzXXXXXX";
    if (!mkdtemp(dir)) __builtin_trap();
    std::string programs = std::string(dir) + "/programs";
    mkdir(programs.c_str(), 0700);
    mkdir((programs + "/zenvarth").c_str(), 0700);
    setenv("QVHOME", dir, 1);
    made = true;
}

hostrt::FieldImage field(FuzzInput &in, int16_t w, int16_t h)
{
    hostrt::FieldImage f = hostrt::makeField(w, h);
    uint32_t seed = in.u32() | 1;
    for (Pixel &p : f.pixels) {
        seed = seed * 1103515245u + 12345u;
        p = pixelFromWord(seed);
    }
    return f;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    presetHome();
    FuzzInput in(data, size);
    hostrt::resetSession();
    hostrt::gui::resetGui();
    settingsFromInput(in, PATTERNS);

    const uint8_t shape = in.u8();
    const uint32_t fieldCount = 1 + in.u8() % 8;
    const int16_t w = int16_t(2 + in.u8() % 30), h = int16_t(1 + in.u8() % 16);
    std::vector<hostrt::FieldImage> fg, bg;
    for (uint32_t i = 0; i < fieldCount; ++i) {
        fg.push_back(field(in, w, h));
        bg.push_back(field(in, w, h));
    }
    hostrt::setInputFields(1, fg);
    // Sometimes the background is missing.
    if (!(shape & 1)) hostrt::setInputFields(0, bg);
    hostrt::setStandardSize(w, h);
    hostrt::setOpVersion(shape & 2 ? 3 : 4);
    // Small surfaces: every event composes them.
    hostrt::gui::GuiSettings gs;
    gs.screenWidth = 480;
    gs.screenHeight = 320;
    gs.screenVisible = hostrt::VisibleArea{0, 0, 480, 320};
    gs.monitorWidth = 176;
    gs.monitorHeight = 144;
    gs.defaultMonitor = 1 + (shape >> 2) % 3;
    gs.connectedMonitors = shape & 16 ? 1 : 2;
    hostrt::gui::setGuiSettings(gs);

    std::string script;
    for (size_t n = 0; n < MAX_KEYS && in.remaining() > 0; ++n) {
        script += "key ";
        script += KEYS[in.u8() % KEY_COUNT];
        script += '\n';
    }
    hostrt::gui::setScript(script, "fuzz");

    OperatorContext ctx = hostrt::makeContext(OPACT_PARAMETER, 0, fieldCount);
    ctx.paramIndex = 0;
    hostrt::callOperator(OperatorAction, ctx);
    if (hostrt::lastCallHeld() != 0) __builtin_trap();
    ctx = hostrt::makeContext(OPACT_RELEASE);
    hostrt::callOperator(OperatorAction, ctx);
    return 0;
}
