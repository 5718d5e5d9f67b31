// The registry of handles: screens, panels, gadgets, queues, resource sets
// and gadget extensions, and where a panel or gadget lies on its surface.
#include <algorithm>
#include <memory>

#include "dialogs.h"
#include "hostgui/registry.h"
#include "hostgui/settings.h"
#include "hostgui/surfaces.h"
#include "input.h"
#include "hostgui/toolkit.h"

namespace hostgui {

struct StringSet {
    std::string name;
    StringTable table;
};

struct ImageSet {
    std::string name;
    std::map<uint32_t, Icon> icons;
};

struct Registry {
    TgHandle nextHandle = 0x00010000;
    std::map<TgHandle, Screen> screens;
    std::vector<TgHandle> screenStack;       // last is shown
    std::map<TgHandle, Panel> panels;
    std::map<TgHandle, Gadget> gadgets;
    std::map<TgHandle, Queue> queues;
    std::map<TgHandle, StringSet> stringSets;
    std::map<TgHandle, ImageSet> imageSets;
    std::map<GadgetExtension *, std::unique_ptr<GadgetExtension>> extensions;
    TgHandle guiResource = 0;
};

namespace {

Registry &reg() { return current().registry.get(); }

// The record under `key` in one of the registry's maps, null when none.
template <class Map> auto *lookUp(Map &map, const typename Map::key_type &key)
{
    auto it = map.find(key);
    return it == map.end() ? nullptr : &it->second;
}

// Walks from panel `handle` up through its parents, calling visit(handle,
// panel) on each until visit answers false. Returns the handle the walk
// ended on: the one above the outermost panel (its screen), or the panel
// visit stopped at.
template <class Visit> TgHandle walkUp(TgHandle handle, Visit visit)
{
    const auto &panels = reg().panels;
    for (auto it = panels.find(handle); it != panels.end(); it = panels.find(handle)) {
        if (!visit(handle, it->second)) break;
        handle = it->second.parent;
    }
    return handle;
}

} // namespace

TgHandle newHandle()
{
    Registry &r = reg();
    for (;;) {
        TgHandle h = r.nextHandle++;
        if (h == 0) continue;
        if (r.screens.count(h) || r.panels.count(h) || r.gadgets.count(h) || r.queues.count(h) ||
            r.stringSets.count(h) || r.imageSets.count(h) || h == r.guiResource)
            continue;
        return h;
    }
}

// ---------------------------------------------------------------- screens

TgHandle createScreen(int w, int h, const std::string &title, TgHandle queue, uint32_t flags)
{
    Registry &r = reg();
    Screen s;
    s.handle = newHandle();
    s.width = std::clamp(w, 1, MAX_SURFACE);
    s.height = std::clamp(h, 1, MAX_SURFACE);
    s.title = title;
    s.queue = queue;
    s.flags = flags;
    r.screens[s.handle] = s;
    r.screenStack.push_back(s.handle);
    clearOverlay(SurfaceId::Screen);
    return s.handle;
}

void deleteScreen(TgHandle handle)
{
    Registry &r = reg();
    auto it = r.screens.find(handle);
    if (it == r.screens.end()) return;
    if (!r.screenStack.empty() && r.screenStack.back() == handle) saveClosedView();
    std::vector<TgHandle> top = it->second.panels;
    for (TgHandle p : top) removePanel(p);
    r.screens.erase(it);
    r.screenStack.erase(std::remove(r.screenStack.begin(), r.screenStack.end(), handle), r.screenStack.end());
    closeMenu();
    clearOverlay(SurfaceId::Screen);
}

bool screenExists(TgHandle screen) { return reg().screens.count(screen) != 0; }

const Screen *screen(TgHandle handle)
{
    return lookUp(reg().screens, handle);
}

const Screen *topScreen()
{
    Registry &r = reg();
    if (r.screenStack.empty()) return nullptr;
    return &r.screens.at(r.screenStack.back());
}

// ---------------------------------------------------------------- panels

TgHandle createPanel(TgHandle parent, Rect rect, uint32_t flags)
{
    Registry &r = reg();
    if (parent == 0 && !r.screenStack.empty()) parent = r.screenStack.back();
    bool toScreen = r.screens.count(parent) != 0;
    bool toPanel = r.panels.count(parent) != 0 && !r.panels.at(parent).dialog;
    if (!toScreen && !toPanel) return 0;
    Panel p;
    p.handle = newHandle();
    p.parent = parent;
    p.rect = rect;
    p.flags = flags;
    p.color = currentColor();
    if (toScreen) r.screens[parent].panels.push_back(p.handle);
    else r.panels[parent].children.push_back(p.handle);
    r.panels[p.handle] = p;
    return p.handle;
}

TgHandle createDialogPanel(SurfaceId s, Rect rect)
{
    Panel p;
    p.handle = newHandle();
    p.surface = s;
    p.rect = rect;
    p.flags = PANEL_NORMAL;
    p.color = guiColor(10, currentColor());
    p.dialog = true;
    reg().panels[p.handle] = p;
    return p.handle;
}

void removePanel(TgHandle handle)
{
    Registry &r = reg();
    auto it = r.panels.find(handle);
    if (it == r.panels.end()) return;
    Panel p = it->second;
    if (!p.dialog) saveClosedView();
    for (TgHandle c : p.children) removePanel(c);
    for (TgHandle g : p.gadgets) {
        r.gadgets.erase(g);
        forgetGadget(g);
    }
    if (r.screens.count(p.parent)) {
        auto &v = r.screens[p.parent].panels;
        v.erase(std::remove(v.begin(), v.end(), handle), v.end());
    } else if (r.panels.count(p.parent)) {
        auto &v = r.panels[p.parent].children;
        v.erase(std::remove(v.begin(), v.end(), handle), v.end());
    }
    r.panels.erase(handle);
}

const Panel *panel(TgHandle handle)
{
    return lookUp(reg().panels, handle);
}

Rect panelRectOnSurface(TgHandle handle)
{
    Rect r;
    bool first = true;
    walkUp(handle, [&](TgHandle, const Panel &p) {
        if (first) r = p.rect;
        else r.x += p.rect.x, r.y += p.rect.y;
        first = false;
        return true;
    });
    return r;
}

SurfaceId panelSurface(TgHandle handle)
{
    const Panel *p = lookUp(reg().panels, handle);
    return p ? p->surface : SurfaceId::Screen;
}

TgHandle panelRoot(TgHandle handle)
{
    return walkUp(handle, [](TgHandle, const Panel &) { return true; });
}

// ---------------------------------------------------------------- gadgets

Gadget *addGadget(TgHandle panelHandle, uint32_t kind, Rect rect)
{
    Registry &r = reg();
    auto it = r.panels.find(panelHandle);
    if (it == r.panels.end()) return nullptr;
    Gadget g;
    g.handle = newHandle();
    g.panel = panelHandle;
    g.kind = kind;
    g.rect = rect;
    g.face = currentColor();
    it->second.gadgets.push_back(g.handle);
    return &(r.gadgets[g.handle] = g);
}

Gadget *gadget(TgHandle h) { return lookUp(reg().gadgets, h); }

const std::map<TgHandle, Gadget> &gadgets() { return reg().gadgets; }

Rect gadgetRectOnSurface(const Gadget &g)
{
    Rect p = panelRectOnSurface(g.panel);
    return Rect{p.x + g.rect.x, p.y + g.rect.y, g.rect.w, g.rect.h};
}

bool gadgetVisible(const Gadget &g)
{
    // A requester's gadget shows while its requester is the top one; any
    // other while its screen is shown and no requester is open.
    bool inDialog = false;
    const TgHandle root = walkUp(g.panel, [&](TgHandle, const Panel &p) { return !(inDialog = p.dialog); });
    if (inDialog) return dialogOpen() && topDialogPanel() == root;
    const Registry &r = reg();
    return !r.screenStack.empty() && root == r.screenStack.back() && !dialogOpen();
}

// ---------------------------------------------------------------- queues

TgHandle createQueue(int count, int size)
{
    if (count <= 0 || size <= 0 || count > 10000 || size > 65536) return 0;
    Queue q;
    q.capacity = count;
    q.size = size;
    TgHandle h = newHandle();
    reg().queues[h] = q;
    return h;
}

Queue *queue(TgHandle handle)
{
    return lookUp(reg().queues, handle);
}

void deleteQueue(TgHandle handle) { reg().queues.erase(handle); }

// ---------------------------------------------------------------- resource sets

TgHandle addStringSet(const std::string &name, StringTable table)
{
    TgHandle h = newHandle();
    reg().stringSets[h] = StringSet{name, std::move(table)};
    return h;
}

const StringTable *stringSet(TgHandle handle)
{
    const StringSet *set = lookUp(reg().stringSets, handle);
    return set ? &set->table : nullptr;
}

void freeStringSet(TgHandle handle) { reg().stringSets.erase(handle); }

TgHandle loadImageSet(const std::string &name)
{
    Registry &r = reg();
    TgHandle h = newHandle();
    ImageSet &set = r.imageSets[h];
    set.name = name;
    if (!loadIconSet(set.name, set.icons)) {
        r.imageSets.erase(h);
        return 0;
    }
    return h;
}

const Picture *imageOf(TgHandle set, uint32_t id)
{
    ImageSet *images = lookUp(reg().imageSets, set);
    Icon *icon = images ? lookUp(images->icons, id) : nullptr;
    if (!icon) return nullptr;
    icon->picture.pixels = icon->pixels.data();
    return &icon->picture;
}

void freeImageSet(TgHandle handle)
{
    Registry &r = reg();
    if (handle != r.guiResource) r.imageSets.erase(handle);
}

TgHandle guiResource()
{
    Registry &r = reg();
    if (!r.guiResource || !r.imageSets.count(r.guiResource)) {
        ImageSet set;
        set.name = "host_gui";
        loadIconSet(set.name, set.icons);
        r.guiResource = newHandle();
        r.imageSets[r.guiResource] = std::move(set);
    }
    return r.guiResource;
}

// ---------------------------------------------------------------- extensions

GadgetExtension *allocExtension()
{
    auto ext = std::make_unique<GadgetExtension>();
    *ext = GadgetExtension{};
    GadgetExtension *p = ext.get();
    reg().extensions[p] = std::move(ext);
    return p;
}

void freeExtension(GadgetExtension *ext) { reg().extensions.erase(ext); }

void resetRegistry()
{
    Registry &r = reg();
    r.screens.clear();
    r.screenStack.clear();
    r.panels.clear();
    r.gadgets.clear();
    r.queues.clear();
    r.stringSets.clear();
    r.imageSets.clear();
    r.extensions.clear();
    r.guiResource = 0;
}

} // namespace hostgui
