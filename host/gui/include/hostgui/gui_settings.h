// What a host sets before the GUI opens and the plain values it reads back:
// the GUI settings, the two surfaces, the front-end kind, the pointer and a
// captured framebuffer.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <vector>

namespace hostgui {

struct VisibleArea {
    int16_t left = 0, top = 0, right = 720, bottom = 576;
};

enum class SurfaceId { Screen = 0, Monitor = 1 };

enum class FrontEndKind {
    Headless,   // input from a script (none: input ends at once)
    Window,     // an SDL2 window; falls back to headless without a display
};

struct GuiSettings {
    uint16_t screenWidth = 1024, screenHeight = 768;     // tgGetScreenWidth/Height
    uint16_t monitorWidth = 720, monitorHeight = 576;     // monitor 2
    VisibleArea screenVisible{0, 0, 1024, 768};           // tgGetVisibleArea
    int32_t defaultMonitor = 1;                           // 1 embedded, 2 overlay, else other
    int32_t connectedMonitors = 2;
    int16_t fontHeight = 16;                              // tgGetFontHeightMonitor, any monitor
    int16_t addHeight = 4;                                // tgGetAddHeight
    int32_t guiMode = 1;
    uint16_t pixelAspect = 1000;                          // gxGetPixelAspect(0, 2)
    int32_t framesPerSecond = 25;                         // the frames-and-time formatter
    int32_t monitorView = 0;                              // monitor 2 view at opening (MonitorView)
    bool timings = false;                                 // each event's times on standard error
    std::map<int32_t, uint32_t> colors;                   // GUI colour id -> Pixel word
    std::string fontPath = "/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf";
    std::string pictureFolder;                            // picture requester's start folder
    FrontEndKind frontEnd = FrontEndKind::Headless;
};

struct PointerState {
    bool busy = false;
    bool hidden = false;
    int x = 0, y = 0;
    int busyCalls = 0, standardCalls = 0, moveCalls = 0;
    std::vector<int32_t> attrCalls;   // first argument of each tgSetPointerAttrs
};

struct Framebuffer {
    int width = 0, height = 0;
    std::vector<uint8_t> rgba;   // width * height * 4
};

} // namespace hostgui
