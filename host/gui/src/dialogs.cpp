// The stack of open requesters, the modal loop that runs one, and the
// pieces every requester is built from.
#include <algorithm>

#include "dialogs.h"
#include "frontend.h"
#include "hostgui/registry.h"
#include "hostgui/settings.h"
#include "hostgui/surfaces.h"
#include "hostgui/toolkit.h"
#include "input.h"

namespace hostgui {

struct DialogStack {
    std::vector<Dialog *> open;   // innermost last
};

namespace {

std::vector<Dialog *> &stack() { return current().dialogs.get().open; }

} // namespace

int runDialog(Dialog &d)
{
    clearForDialog();
    stack().push_back(&d);
    if (!pumpUntil([&] { return d.done; })) d.cancel();
    stack().erase(std::remove(stack().begin(), stack().end(), &d), stack().end());
    removePanel(d.panel);
    d.panel = 0;
    present();
    return d.accepted ? 1 : 0;
}

Dialog *topDialog() { return stack().empty() ? nullptr : stack().back(); }
bool dialogOpen() { return !stack().empty(); }
TgHandle topDialogPanel() { return stack().empty() ? 0 : stack().back()->panel; }
const std::vector<Dialog *> &dialogStack() { return stack(); }

void cancelDialogs()
{
    for (Dialog *d : stack()) d->cancel();
}

void resetDialogs()
{
    cancelDialogs();
    stack().clear();
}

// ---------------------------------------------------------------- building

int fontH() { return settings().fontHeight; }
int rowH() { return settings().fontHeight + settings().addHeight + 4; }
Rgba inkOn() { return Rgba{240, 240, 240, 255}; }

std::vector<std::string> wrapText(const std::string &text, int width)
{
    std::vector<std::string> lines;
    std::string line, word;
    auto flushWord = [&] {
        if (word.empty()) return;
        std::string tryLine = line.empty() ? word : line + " " + word;
        if (!line.empty() && textWidth(tryLine, fontH()) > width) {
            lines.push_back(line);
            line = word;
        } else {
            line = tryLine;
        }
        word.clear();
    };
    for (char c : text) {
        if (c == '\n') {
            flushWord();
            lines.push_back(line);
            line.clear();
        } else if (c == ' ') {
            flushWord();
        } else {
            word += c;
        }
    }
    flushWord();
    if (!line.empty() || lines.empty()) lines.push_back(line);
    return lines;
}

Rect centred(SurfaceId s, int w, int h)
{
    int sw = surfaceWidth(s), sh = surfaceHeight(s);
    return Rect{std::max(0, (sw - w) / 2), std::max(0, (sh - h) / 2), w, h};
}

TgHandle addButton(Dialog &d, Rect r, const std::string &text, std::function<void()> action)
{
    const uint32_t saved = currentColor();
    setCurrentColor(guiColor(1001, 0));
    Gadget *g = addGadget(d.panel, GADGET_TEXT_BUTTON, r);
    setCurrentColor(saved);
    g->text = text;
    g->onEvent = [action](Gadget &, int32_t) { action(); };
    return g->handle;
}

TgHandle addSlider(Dialog &d, Rect r, const std::string &label, int32_t value)
{
    const uint32_t saved = currentColor();
    setCurrentColor(guiColor(1001, 0));
    Gadget *g = addGadget(d.panel, GADGET_SLIDER, r);
    setCurrentColor(saved);
    g->text = label;
    g->minimum = 0;
    g->maximum = 255;
    g->value = value;
    g->onEvent = [](Gadget &, int32_t) {};
    return g->handle;
}

bool buttonText(Dialog &d, const std::string &text, Rect &found)
{
    const Panel *p = panel(d.panel);
    if (!p) return false;
    for (TgHandle h : p->gadgets) {
        const Gadget *g = gadget(h);
        if (g && (g->text == text || shownText(*g) == text)) {
            found = gadgetRectOnSurface(*g);
            return true;
        }
    }
    return false;
}

} // namespace hostgui
