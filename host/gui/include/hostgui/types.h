// The toolkit's value types: colours, rectangles, the framebuffer canvas,
// input events and the gadget record, with the pure helpers over them
// (colour conversion, text measuring, slider geometry, key names). No
// state of the toolkit lives here.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "contract/gui_calls.h"
#include "hostgui/gui_settings.h"

namespace hostgui {

struct Rgba {
    uint8_t r, g, b, a;
};

Rgba yuvToRgb(uint8_t y, uint8_t u, uint8_t v);
Rgba colorWordToRgb(uint32_t word);
uint32_t rgbToColorWord(uint8_t r, uint8_t g, uint8_t b);

struct Rect {
    int x = 0, y = 0, w = 0, h = 0;
    bool contains(int px, int py) const { return px >= x && py >= y && px < x + w && py < y + h; }
    int cx() const { return x + w / 2; }
    int cy() const { return y + h / 2; }
};

// A framebuffer of display colours, rows top to bottom.
struct Canvas {
    int width = 0, height = 0;
    std::vector<Rgba> pixels;
    Rect clip;

    void resize(int w, int h);
    void fill(Rect r, Rgba c);
    void blendPixel(int x, int y, Rgba c, int coverage);
    void frame(Rect r, Rgba c);
    void bevel(Rect r, Rgba face, bool raised);
    // Text at (x, y) top-left, in the font of pixel height `fontHeight`.
    void text(int x, int y, const std::string &s, Rgba c, int fontHeight);
    void picture(int x, int y, const Picture &p, bool dim);
};

// Text measuring and rendering with the TTF font (same file, same path for
// the window and headless, so screenshots are stable).
int textWidth(const std::string &s, int fontHeight);
bool fontAvailable();

struct InputEvent {
    enum Type { MouseDown, MouseUp, MouseMove, Wheel, Key, Text, Close, AreaSet } type = MouseMove;
    SurfaceId surface = SurfaceId::Screen;
    int x = 0, y = 0;
    int amount = 0;            // wheel steps
    uint32_t key = 0;          // KEY_* code or character, with qualifier bits
    std::string text;
    Rect area;                 // AreaSet
};

struct Choice {
    bool isPicture = false;
    std::string text;
    std::vector<Pixel> pixels;
    int w = 0, h = 0;
};

// One gadget as the registry keeps it.
struct Gadget {
    TgHandle handle = 0;
    TgHandle panel = 0;
    uint32_t kind = 0;
    Rect rect;                         // inside the panel
    bool enabled = true;
    std::string text;                  // button text, label, title, box text
    std::string unit;
    SliderFormatter formatter = nullptr;
    int32_t minimum = 0, maximum = 0, value = 0;
    uint32_t state = 0, flags = 0;
    std::vector<Choice> entries;
    std::vector<Pixel> image;          // image button
    int imageW = 0, imageH = 0;
    uint32_t color = 0;                // palette button
    uint32_t face = 0;                 // GUI colour when created
    uint32_t key = 0;
    std::string help;
    TgHandle helpSet = 0;
    // Requesters' own gadgets report here instead of to a queue.
    std::function<void(Gadget &, int32_t)> onEvent;
};

// Slider geometry shared by drawing, input and the script helpers.
Rect sliderTrack(Rect gadgetOnSurface);
int32_t sliderMax(const Gadget &g);
int32_t sliderValueAt(const Gadget &g, Rect track, int x);
int sliderXFor(const Gadget &g, Rect track, int32_t value);

std::string formatSliderValue(const Gadget &g);
// What a gadget shows as its text: a slider's value, a popup's entry,
// else its own text.
std::string shownText(const Gadget &g);

// A script's key name ("shift+t", "Return", "F1") as a key code.
uint32_t parseKeyName(const std::string &name, bool &ok);

} // namespace hostgui
