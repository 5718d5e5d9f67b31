// The registry of handles: editor screens, panels, gadgets, message queues,
// resource sets and gadget extensions. Every handle is 32-bit and never
// reused within a session. A gadget's state lives here.
#pragma once

#include <cstdint>
#include <deque>
#include <map>
#include <string>
#include <vector>

#include "hostgui/resources.h"
#include "hostgui/types.h"

namespace hostgui {

struct Panel {
    TgHandle handle = 0;
    TgHandle parent = 0;               // a screen, a panel, or 0 for a requester
    SurfaceId surface = SurfaceId::Screen;
    Rect rect;                         // inside the parent
    uint32_t flags = 0;
    uint32_t color = 0;
    bool dialog = false;
    std::vector<TgHandle> gadgets;
    std::vector<TgHandle> children;
};

struct Screen {
    TgHandle handle = 0;
    int width = 0, height = 0;
    std::string title;
    TgHandle queue = 0;
    uint32_t flags = 0;
    std::vector<TgHandle> panels;      // top-level panels
};

struct Queue {
    int capacity = 0;
    int size = 0;
    std::deque<std::vector<uint8_t>> messages;
};

TgHandle newHandle();

// ---- screens: the last created that still exists is shown
TgHandle createScreen(int w, int h, const std::string &title, TgHandle queue, uint32_t flags);
void deleteScreen(TgHandle screen);
bool screenExists(TgHandle screen);
const Screen *screen(TgHandle handle);
const Screen *topScreen();

// ---- panels on a screen or a panel, and requesters' own panels
TgHandle createPanel(TgHandle parent, Rect r, uint32_t flags);
TgHandle createDialogPanel(SurfaceId s, Rect r);
void removePanel(TgHandle panel);
const Panel *panel(TgHandle handle);
Rect panelRectOnSurface(TgHandle panel);
SurfaceId panelSurface(TgHandle panel);
// The screen a panel hangs on, or the outermost panel when none.
TgHandle panelRoot(TgHandle panel);

// ---- gadgets
Gadget *addGadget(TgHandle panel, uint32_t kind, Rect r);
Gadget *gadget(TgHandle handle);
// Every gadget by handle, oldest first.
const std::map<TgHandle, Gadget> &gadgets();
Rect gadgetRectOnSurface(const Gadget &g);
// A gadget can be seen and used when its panel hangs on the shown screen,
// or is the panel of the topmost requester.
bool gadgetVisible(const Gadget &g);

// ---- message queues of fixed-size messages
TgHandle createQueue(int count, int size);
Queue *queue(TgHandle handle);
void deleteQueue(TgHandle handle);

// ---- resource sets
TgHandle addStringSet(const std::string &name, StringTable table);
const StringTable *stringSet(TgHandle handle);
void freeStringSet(TgHandle handle);
// Loads the image set `name`; 0 when there is none.
TgHandle loadImageSet(const std::string &name);
// The icon `id` of a set, its picture pointing at its pixels.
const Picture *imageOf(TgHandle set, uint32_t id);
// Frees a set; the host's own GUI set stays.
void freeImageSet(TgHandle handle);
// The host's own GUI image set, loaded on first use.
TgHandle guiResource();

// ---- gadget extensions the caller fills and frees
GadgetExtension *allocExtension();
void freeExtension(GadgetExtension *ext);

void resetRegistry();

} // namespace hostgui
