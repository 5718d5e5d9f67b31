// The GUI settings and the colour table they give.
#include <map>

#include "frontend.h"
#include "hostgui/settings.h"
#include "hostgui/toolkit.h"
#include "hostgui/types.h"

namespace hostgui {

struct Look {
    GuiSettings settings;
    std::map<int32_t, uint32_t> colorTable;
    uint32_t currentColor = 0;
    Look();
};

namespace {

void fill(Look &look, const GuiSettings &s)
{
    look.settings = s;
    auto &t = look.colorTable;
    t.clear();
    t[1] = rgbToColorWord(34, 36, 42);        // screen background
    t[2] = rgbToColorWord(240, 240, 240);     // text
    t[3] = rgbToColorWord(52, 128, 210);      // slider fill, menu highlight
    t[10] = rgbToColorWord(84, 90, 102);      // panels
    t[11] = rgbToColorWord(60, 64, 74);       // backdrop
    t[1001] = rgbToColorWord(118, 126, 140);  // gadget faces
    for (auto &[id, word] : s.colors) t[id] = word;
    if (look.currentColor == 0) look.currentColor = t[10];
}

Look &look() { return current().look.get(); }

} // namespace

Look::Look() { fill(*this, settings); }

const GuiSettings &settings() { return look().settings; }

void applySettings(const GuiSettings &s)
{
    Look &l = look();
    const bool frontEndChanged = s.frontEnd != l.settings.frontEnd;
    fill(l, s);
    if (frontEndChanged) dropFrontEnd();
}

uint32_t guiColor(int32_t id, uint32_t otherwise)
{
    const auto &t = look().colorTable;
    auto it = t.find(id);
    return it == t.end() ? otherwise : it->second;
}

uint32_t currentColor() { return look().currentColor; }
void setCurrentColor(uint32_t color) { look().currentColor = color; }
void resetSettings() { look().currentColor = 0; }

} // namespace hostgui
