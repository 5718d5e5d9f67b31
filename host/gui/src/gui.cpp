// The toolkit: screens, panels, gadgets, queues, overlays, composition and
// input dispatch.
#include <algorithm>
#include <cstdio>
#include <cstring>

#include "hostgui/gui.h"

namespace hostgui {

Gui &Gui::get()
{
    static Gui gui;
    static const bool ready = (gui.applySettings(gui.settings), true);
    (void)ready;
    return gui;
}

// ---------------------------------------------------------------- handles

TgHandle Gui::newHandle()
{
    for (;;) {
        TgHandle h = nextHandle_++;
        if (h == 0) continue;
        if (screens.count(h) || panels.count(h) || gadgets.count(h) || queues.count(h) ||
            stringSets.count(h) || imageSets.count(h) || h == guiResource)
            continue;
        return h;
    }
}

// ---------------------------------------------------------------- front end

FrontEnd &Gui::frontEnd()
{
    if (!frontEnd_) {
        if (settings.frontEnd == hostrt::gui::FrontEndKind::Window) {
            std::string error;
            frontEnd_ = makeWindowFrontEnd(error);
            if (!frontEnd_)
                std::fprintf(stderr, "host GUI: no window (%s); running headless\n", error.c_str());
        }
        if (!frontEnd_) frontEnd_ = makeScriptFrontEnd("", "no script");
    }
    return *frontEnd_;
}

void Gui::setFrontEnd(std::unique_ptr<FrontEnd> fe)
{
    frontEnd_ = std::move(fe);
    inputEnded = false;
}

void Gui::resetFrontEnd() { frontEnd_.reset(); }

void Gui::present() { frontEnd().present(); }

// ---------------------------------------------------------------- surfaces

// Surfaces stay within a size a framebuffer can hold.
constexpr int MAX_SURFACE = 8192;

int Gui::surfaceWidth(SurfaceId s) const
{
    if (s == SurfaceId::Monitor) return std::min<int>(settings.monitorWidth, MAX_SURFACE);
    if (!screenStack.empty()) return screens.at(screenStack.back()).width;
    return std::min<int>(settings.screenWidth, MAX_SURFACE);
}

int Gui::surfaceHeight(SurfaceId s) const
{
    if (s == SurfaceId::Monitor) return std::min<int>(settings.monitorHeight, MAX_SURFACE);
    if (!screenStack.empty()) return screens.at(screenStack.back()).height;
    return std::min<int>(settings.screenHeight, MAX_SURFACE);
}

void Gui::ensureOverlay(SurfaceId s)
{
    size_t n = size_t(surfaceWidth(s)) * size_t(surfaceHeight(s));
    auto &o = overlay[int(s)];
    if (o.size() != n) o.assign(n, Pixel{0, 0, 0, 0});
}

void Gui::clearOverlay(SurfaceId s)
{
    overlay[int(s)].clear();
    ensureOverlay(s);
}

void Gui::drawOverlay(SurfaceId s, const uint8_t *pixels, int32_t bytesPerRow, int x, int y, int w,
                      int h)
{
    if (!pixels || w <= 0 || h <= 0 || bytesPerRow < 0) return;
    ensureOverlay(s);
    int sw = surfaceWidth(s), sh = surfaceHeight(s);
    auto &o = overlay[int(s)];
    // The columns of the block that fall on the surface, copied a row at
    // a time.
    const int firstCol = std::max(0, -x), endCol = std::min(w, sw - x);
    if (firstCol >= endCol) return;
    for (int row = 0; row < h; ++row) {
        int dy = y + row;
        if (dy < 0 || dy >= sh) continue;
        const uint8_t *src = pixels + size_t(row) * size_t(bytesPerRow) + size_t(firstCol) * 4;
        std::memcpy(&o[size_t(dy) * size_t(sw) + size_t(x + firstCol)], src, size_t(endCol - firstCol) * 4);
    }
}

// ---------------------------------------------------------------- screens and panels

Screen *Gui::topScreen()
{
    if (screenStack.empty()) return nullptr;
    return &screens.at(screenStack.back());
}

TgHandle Gui::createScreen(int w, int h, const std::string &title, TgHandle queue, uint32_t flags)
{
    Screen s;
    s.handle = newHandle();
    s.width = std::clamp(w, 1, MAX_SURFACE);
    s.height = std::clamp(h, 1, MAX_SURFACE);
    s.title = title;
    s.queue = queue;
    s.flags = flags;
    screens[s.handle] = s;
    screenStack.push_back(s.handle);
    clearOverlay(SurfaceId::Screen);
    return s.handle;
}

// Keeps the view as the user last saw it, for screenshots and checks after
// the program that owned the screen has returned: a closing program
// removes its panels before it deletes its screen.
void Gui::saveClosedView()
{
    if (viewSavedSinceWait || screenStack.empty()) return;
    viewSavedSinceWait = true;
    closedView.valid = true;
    for (SurfaceId sid : {SurfaceId::Screen, SurfaceId::Monitor}) {
        const int i = int(sid);
        compose(sid, closedView.shown[i]);
        ensureOverlay(sid);
        closedView.overlay[i] = overlay[i];
        closedView.width[i] = surfaceWidth(sid);
        closedView.height[i] = surfaceHeight(sid);
    }
}

void Gui::deleteScreen(TgHandle handle)
{
    auto it = screens.find(handle);
    if (it == screens.end()) return;
    if (!screenStack.empty() && screenStack.back() == handle) saveClosedView();
    std::vector<TgHandle> top = it->second.panels;
    for (TgHandle p : top) removePanel(p);
    screens.erase(it);
    screenStack.erase(std::remove(screenStack.begin(), screenStack.end(), handle), screenStack.end());
    menu = PopupMenu{};
    clearOverlay(SurfaceId::Screen);
}

TgHandle Gui::createPanel(TgHandle parent, Rect r, uint32_t flags)
{
    if (parent == 0 && !screenStack.empty()) parent = screenStack.back();
    bool toScreen = screens.count(parent) != 0;
    bool toPanel = panels.count(parent) != 0 && !panels.at(parent).dialog;
    if (!toScreen && !toPanel) return 0;
    Panel p;
    p.handle = newHandle();
    p.parent = parent;
    p.rect = r;
    p.flags = flags;
    p.color = currentColor;
    if (toScreen) screens[parent].panels.push_back(p.handle);
    else panels[parent].children.push_back(p.handle);
    panels[p.handle] = p;
    return p.handle;
}

TgHandle Gui::createDialogPanel(SurfaceId s, Rect r)
{
    Panel p;
    p.handle = newHandle();
    p.surface = s;
    p.rect = r;
    p.flags = PANEL_NORMAL;
    p.color = colorTable.count(10) ? colorTable[10] : currentColor;
    p.dialog = true;
    panels[p.handle] = p;
    return p.handle;
}

void Gui::removePanel(TgHandle handle)
{
    auto it = panels.find(handle);
    if (it == panels.end()) return;
    Panel p = it->second;
    if (!p.dialog) saveClosedView();
    for (TgHandle c : p.children) removePanel(c);
    for (TgHandle g : p.gadgets) {
        gadgets.erase(g);
        if (hoverGadget == g) hoverGadget = 0;
        if (pressedGadget == g) pressedGadget = 0;
        if (focusedGadget == g) focusedGadget = 0;
        if (menu.gadget == g) menu = PopupMenu{};
    }
    if (screens.count(p.parent)) {
        auto &v = screens[p.parent].panels;
        v.erase(std::remove(v.begin(), v.end(), handle), v.end());
    } else if (panels.count(p.parent)) {
        auto &v = panels[p.parent].children;
        v.erase(std::remove(v.begin(), v.end(), handle), v.end());
    }
    panels.erase(handle);
}

Gadget *Gui::addGadget(TgHandle panel, uint32_t kind, Rect r)
{
    auto it = panels.find(panel);
    if (it == panels.end()) return nullptr;
    Gadget g;
    g.handle = newHandle();
    g.panel = panel;
    g.kind = kind;
    g.rect = r;
    g.face = currentColor;
    it->second.gadgets.push_back(g.handle);
    return &(gadgets[g.handle] = g);
}

Gadget *Gui::gadget(TgHandle h)
{
    auto it = gadgets.find(h);
    return it == gadgets.end() ? nullptr : &it->second;
}

Rect Gui::panelRectOnSurface(TgHandle handle) const
{
    Rect r;
    bool first = true;
    while (true) {
        auto it = panels.find(handle);
        if (it == panels.end()) break;
        if (first) {
            r = it->second.rect;
            first = false;
        } else {
            r.x += it->second.rect.x;
            r.y += it->second.rect.y;
        }
        handle = it->second.parent;
    }
    return r;
}

SurfaceId Gui::panelSurface(TgHandle handle) const
{
    auto it = panels.find(handle);
    return it == panels.end() ? SurfaceId::Screen : it->second.surface;
}

Rect Gui::gadgetRectOnSurface(const Gadget &g) const
{
    Rect p = panelRectOnSurface(g.panel);
    return Rect{p.x + g.rect.x, p.y + g.rect.y, g.rect.w, g.rect.h};
}

// A gadget can be seen and used when its panel hangs on the shown screen,
// or is the panel of the topmost requester.
bool Gui::gadgetVisible(const Gadget &g) const
{
    TgHandle h = g.panel;
    while (true) {
        auto it = panels.find(h);
        if (it == panels.end()) break;
        if (it->second.dialog) return !dialogs.empty() && dialogs.back()->panel == it->first;
        h = it->second.parent;
    }
    return !screenStack.empty() && h == screenStack.back() && dialogs.empty();
}

// ---------------------------------------------------------------- queues

TgHandle Gui::createQueue(int count, int size)
{
    if (count <= 0 || size <= 0 || count > 10000 || size > 65536) return 0;
    Queue q;
    q.capacity = count;
    q.size = size;
    TgHandle h = newHandle();
    queues[h] = q;
    return h;
}

bool Gui::post(TgHandle queue, const void *message)
{
    auto it = queues.find(queue);
    if (it == queues.end() || !message) return false;
    Queue &q = it->second;
    if (int(q.messages.size()) >= q.capacity) {
        std::fprintf(stderr, "host GUI: message queue full, event dropped\n");
        return false;
    }
    const uint8_t *b = static_cast<const uint8_t *>(message);
    q.messages.emplace_back(b, b + q.size);
    if (posted.size() < 100000) posted.emplace_back(b, b + q.size);
    return true;
}

void Gui::postGadgetEvent(Gadget &g, int32_t value, uint32_t key)
{
    if (g.onEvent) {
        // The callback may remove the gadget: call it on a copy.
        auto fn = g.onEvent;
        fn(g, value);
        return;
    }
    TgHandle root = g.panel;
    while (panels.count(root)) root = panels[root].parent;
    auto s = screens.find(root);
    if (s == screens.end()) return;
    EditorMessage m{};
    m.kind = MSG_GADGET;
    m.screen = root;
    m.panel = g.panel;
    m.element = g.handle;
    m.elementKind = g.kind;
    m.value = value;
    m.pointerX = int16_t(pointer.x);
    m.pointerY = int16_t(pointer.y);
    m.qualifiers = key & KEY_QUALIFIERS;
    m.key = key;
    m.sequence = ++messageSequence;
    post(s->second.queue, &m);
}

void Gui::postClose()
{
    Screen *s = topScreen();
    if (!s) return;
    EditorMessage m{};
    m.kind = MSG_CLOSE;
    m.screen = s->handle;
    m.sequence = ++messageSequence;
    post(s->queue, &m);
}

// ---------------------------------------------------------------- drawing

static Rgba textColorOn(Rgba face)
{
    int lum = (face.r * 77 + face.g * 150 + face.b * 29) >> 8;
    return lum > 140 ? Rgba{16, 16, 16, 255} : Rgba{240, 240, 240, 255};
}

static Rgba mix(Rgba a, Rgba b, int k)
{
    return Rgba{uint8_t((a.r * (255 - k) + b.r * k) / 255), uint8_t((a.g * (255 - k) + b.g * k) / 255),
                uint8_t((a.b * (255 - k) + b.b * k) / 255), 255};
}

Rect sliderTrack(Rect r) { return Rect{r.x + 2, r.y + 2, std::max(1, r.w - 4), std::max(1, r.h - 4)}; }

static int32_t sliderMax(const Gadget &g) { return g.maximum < g.minimum ? g.minimum : g.maximum; }

int32_t sliderValueAt(const Gadget &g, Rect track, int x)
{
    int64_t range = int64_t(sliderMax(g)) - g.minimum;
    if (range <= 0 || track.w <= 1) return g.minimum;
    int64_t pos = std::clamp(x - track.x, 0, track.w - 1);
    return int32_t(g.minimum + (pos * range + (track.w - 1) / 2) / (track.w - 1));
}

int sliderXFor(const Gadget &g, Rect track, int32_t value)
{
    int64_t range = int64_t(sliderMax(g)) - g.minimum;
    if (range <= 0) return track.x;
    int64_t v = std::clamp<int64_t>(value, g.minimum, sliderMax(g)) - g.minimum;
    return int(track.x + (v * (track.w - 1) + range / 2) / range);
}

std::string formatSliderValue(const Gadget &g)
{
    char buf[128];
    if (g.formatter) {
        buf[0] = 0;
        g.formatter(g.value, buf, int32_t(sizeof buf));
        buf[sizeof buf - 1] = 0;
        return buf;
    }
    std::snprintf(buf, sizeof buf, "%d", g.value);
    std::string s = buf;
    if (!g.unit.empty()) s += (g.unit == "%" ? "" : " ") + g.unit;
    return s;
}

std::string Gui::shownText(const Gadget &g) const
{
    switch (g.kind) {
    case GADGET_SLIDER: return formatSliderValue(g);
    case GADGET_POPUP:
        if (g.value >= 0 && size_t(g.value) < g.entries.size() && !g.entries[size_t(g.value)].isPicture)
            return g.entries[size_t(g.value)].text;
        return "";
    default: return g.text;
    }
}

void Gui::drawGadget(Canvas &c, const Gadget &g, Rect r, uint32_t panelColor)
{
    int F = settings.fontHeight;
    Rgba face = colorWordToRgb(g.face);
    Rgba panelRgb = colorWordToRgb(panelColor);
    Rgba ink = textColorOn(face);
    Rgba labelInk = textColorOn(panelRgb);
    if (!g.enabled) {
        ink = mix(ink, face, 150);
        labelInk = mix(labelInk, panelRgb, 150);
    }
    bool pressed = pressedGadget == g.handle && pressedInside;
    int ty = r.y + (r.h - F) / 2;
    auto leftLabel = [&](const std::string &s) {
        if (s.empty()) return;
        c.text(r.x - 8 - textWidth(s, F), ty, s, labelInk, F);
    };
    switch (g.kind) {
    case GADGET_TEXT_BUTTON: {
        c.bevel(r, pressed ? mix(face, Rgba{0, 0, 0, 255}, 40) : face, !pressed);
        int w = textWidth(g.text, F);
        c.text(r.x + (r.w - w) / 2, ty, g.text, ink, F);
        break;
    }
    case GADGET_IMAGE_BUTTON: {
        bool down = pressed || (g.state & IMAGE_PRESSED);
        c.bevel(r, down ? mix(face, Rgba{0, 0, 0, 255}, 50) : face, !down);
        Picture p{const_cast<Pixel *>(g.image.data()), int16_t(g.imageW), int16_t(g.imageH), 0, 0,
                  int16_t(g.imageW), int16_t(g.imageH)};
        c.picture(r.x + (r.w - g.imageW) / 2 + (down ? 1 : 0), r.y + (r.h - g.imageH) / 2 + (down ? 1 : 0), p,
                  !g.enabled);
        break;
    }
    case GADGET_SLIDER: {
        leftLabel(g.text);
        Rgba trough = mix(face, Rgba{0, 0, 0, 255}, 110);
        c.bevel(r, trough, false);
        Rect t = sliderTrack(r);
        int x = sliderXFor(g, t, g.value);
        Rgba accent = colorWordToRgb(colorTable.count(3) ? colorTable[3] : g.face);
        if (!g.enabled) accent = mix(accent, trough, 160);
        c.fill(Rect{t.x, t.y, x - t.x + 1, t.h}, accent);
        std::string s = formatSliderValue(g);
        int w = textWidth(s, F);
        c.text(r.x + (r.w - w) / 2, ty, s, g.enabled ? Rgba{245, 245, 245, 255} : Rgba{150, 150, 150, 255}, F);
        if (focusedGadget == g.handle) c.frame(Rect{r.x - 1, r.y - 1, r.w + 2, r.h + 2}, Rgba{255, 220, 80, 255});
        break;
    }
    case GADGET_POPUP: {
        leftLabel(g.text);
        c.bevel(r, face, true);
        if (g.value >= 0 && size_t(g.value) < g.entries.size()) {
            const Choice &e = g.entries[size_t(g.value)];
            if (e.isPicture) {
                Picture p{const_cast<Pixel *>(e.pixels.data()), int16_t(e.w), int16_t(e.h), 0, 0, int16_t(e.w), int16_t(e.h)};
                c.picture(r.x + 6, r.y + (r.h - e.h) / 2, p, !g.enabled);
            } else {
                c.text(r.x + 6, ty, e.text, ink, F);
            }
        }
        // The drop-down mark.
        int ax = r.x + r.w - 16, ay = r.y + r.h / 2 - 2;
        for (int i = 0; i < 5; ++i) c.fill(Rect{ax + i, ay + i, 9 - 2 * i, 1}, ink);
        break;
    }
    case GADGET_CHECKBOX: {
        int side = std::min(r.h - 4, 20);
        Rect box{r.x + 2, r.y + (r.h - side) / 2, side, side};
        c.bevel(box, mix(face, Rgba{255, 255, 255, 255}, 60), false);
        if (g.value) {
            Rgba tick = g.enabled ? Rgba{20, 20, 20, 255} : Rgba{120, 120, 120, 255};
            for (int i = 0; i < side / 2 - 1; ++i) {
                c.fill(Rect{box.x + 3 + i, box.y + side / 2 + i - 1, 2, 2}, tick);
                c.fill(Rect{box.x + side / 2 + 1 + i, box.y + side - 5 - 2 * i, 2, 2}, tick);
            }
        }
        c.text(r.x + r.w + 6, ty, g.text, labelInk, F);
        break;
    }
    case GADGET_PALETTE: {
        leftLabel(g.text);
        c.bevel(r, face, !pressed);
        Rect inner{r.x + 4, r.y + 4, r.w - 8, r.h - 8};
        c.fill(inner, colorWordToRgb(g.color));
        c.frame(inner, Rgba{0, 0, 0, 255});
        break;
    }
    case GADGET_BOXTEXT: {
        c.bevel(r, panelRgb, false);
        c.text(r.x + 8, ty, g.text, labelInk, F);
        break;
    }
    default: break;
    }
}

void Gui::drawPanel(Canvas &c, const Panel &p, Rect at)
{
    Rgba col = colorWordToRgb(p.color);
    if (p.flags & PANEL_FRAME) {
        c.frame(at, mix(col, Rgba{255, 255, 255, 255}, 80));
        c.frame(Rect{at.x + 1, at.y + 1, at.w - 2, at.h - 2}, mix(col, Rgba{0, 0, 0, 255}, 120));
    } else if (p.flags & PANEL_BACKDROP) {
        c.fill(at, mix(col, Rgba{0, 0, 0, 255}, 70));
    } else {
        c.bevel(at, col, true);
    }
    for (TgHandle gh : p.gadgets) {
        auto it = gadgets.find(gh);
        if (it == gadgets.end()) continue;
        Rect r = it->second.rect;
        drawGadget(c, it->second, Rect{at.x + r.x, at.y + r.y, r.w, r.h}, p.color);
    }
    for (TgHandle ch : p.children) {
        auto it = panels.find(ch);
        if (it == panels.end()) continue;
        Rect r = it->second.rect;
        drawPanel(c, it->second, Rect{at.x + r.x, at.y + r.y, r.w, r.h});
    }
}

std::string Gui::helpShown() const
{
    if (!hoverGadget || pressedGadget || menu.gadget) return "";
    auto it = gadgets.find(hoverGadget);
    if (it == gadgets.end() || !gadgetVisible(it->second)) return "";
    return it->second.help;
}

void Gui::compose(SurfaceId s, Canvas &c)
{
    int w = surfaceWidth(s), h = surfaceHeight(s);
    c.resize(w, h);
    int F = settings.fontHeight;
    // Layers from the bottom: background, overlay, panels and gadgets,
    // requesters, menus, help text. Panels lie above the overlay, so a
    // panel that moved is never hidden by preview pixels drawn before.
    if (s == SurfaceId::Screen) {
        c.fill(Rect{0, 0, w, h}, colorWordToRgb(colorTable.count(1) ? colorTable[1] : 0x10808010u));
    } else {
        c.fill(Rect{0, 0, w, h}, Rgba{0, 0, 0, 255});
        if (colorBar) {
            static const Rgba bars[7] = {{191, 191, 191, 255}, {191, 191, 0, 255}, {0, 191, 191, 255}, {0, 191, 0, 255},
                                         {191, 0, 191, 255},   {191, 0, 0, 255},   {0, 0, 191, 255}};
            for (int i = 0; i < 7; ++i) c.fill(Rect{i * w / 7, 0, (i + 1) * w / 7 - i * w / 7, h}, bars[i]);
        }
    }
    // An overlay pixel is shown opaque unless all four of its bytes are 0
    // (the fill around a drawn picture), so a fully keyed pixel still
    // shows its colour.
    ensureOverlay(s);
    const auto &o = overlay[int(s)];
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            const Pixel &p = o[size_t(y) * size_t(w) + size_t(x)];
            if (p.alpha | p.v | p.u | p.y) c.blendPixel(x, y, yuvToRgb(p.y, p.u, p.v), 255);
        }
    if (s == SurfaceId::Screen) {
        if (Screen *sc = topScreen())
            for (TgHandle ph : sc->panels) {
                auto it = panels.find(ph);
                if (it != panels.end()) drawPanel(c, it->second, it->second.rect);
            }
    }
    for (Dialog *d : dialogs) {
        if (d->surface != s) continue;
        auto it = panels.find(d->panel);
        if (it == panels.end()) continue;
        Rect at = it->second.rect;
        // A shadow sets the requester off from what lies below.
        for (int y = at.y + 4; y < at.y + at.h + 4; ++y)
            for (int x = at.x + 4; x < at.x + at.w + 4; ++x) c.blendPixel(x, y, Rgba{0, 0, 0, 255}, 90);
        drawPanel(c, it->second, at);
        if (!d->title.empty()) c.text(at.x + 10, at.y + 6, d->title, textColorOn(colorWordToRgb(it->second.color)), F);
        d->draw(c, at);
    }
    if (menu.gadget && gadgets.count(menu.gadget) && panelSurface(gadgets[menu.gadget].panel) == s) {
        const Gadget &g = gadgets[menu.gadget];
        Rgba face = colorWordToRgb(g.face);
        c.bevel(menu.rect, face, true);
        for (size_t i = 0; i < g.entries.size(); ++i) {
            Rect item{menu.rect.x + 2, menu.rect.y + 2 + int(i) * menu.itemHeight, menu.rect.w - 4, menu.itemHeight};
            Rgba bg = int(i) == menu.hover ? colorWordToRgb(colorTable.count(3) ? colorTable[3] : g.face) : face;
            c.fill(item, bg);
            const Choice &e = g.entries[i];
            if (e.isPicture) {
                Picture p{const_cast<Pixel *>(e.pixels.data()), int16_t(e.w), int16_t(e.h), 0, 0, int16_t(e.w), int16_t(e.h)};
                c.picture(item.x + 4, item.y + (item.h - e.h) / 2, p, false);
            } else {
                c.text(item.x + 4, item.y + (item.h - F) / 2, e.text, textColorOn(bg), F);
            }
        }
    }
    std::string help = helpShown();
    if (!help.empty() && hoverSurface == s) {
        int tw = textWidth(help, F) + 12, th = F + 8;
        int x = std::clamp(hoverSurfaceX + 12, 0, std::max(0, w - tw));
        int y = hoverSurfaceY + 20;
        if (y + th > h) y = hoverSurfaceY - th - 4;
        Rect box{x, y, tw, th};
        c.fill(box, Rgba{250, 240, 180, 255});
        c.frame(box, Rgba{60, 60, 40, 255});
        c.text(x + 6, y + 4, help, Rgba{20, 20, 20, 255}, F);
    }
}

// ---------------------------------------------------------------- input

TgHandle Gui::gadgetAt(SurfaceId s, int x, int y)
{
    // Later gadgets lie on top; search from the newest.
    for (auto it = gadgets.rbegin(); it != gadgets.rend(); ++it) {
        const Gadget &g = it->second;
        if (g.kind == GADGET_BOXTEXT || panelSurface(g.panel) != s || !gadgetVisible(g)) continue;
        if (gadgetRectOnSurface(g).contains(x, y)) return g.handle;
    }
    return 0;
}

void Gui::setSliderFromX(Gadget &g, int x)
{
    g.value = sliderValueAt(g, sliderTrack(gadgetRectOnSurface(g)), x);
}

void Gui::sliderStep(Gadget &g, int32_t delta, uint32_t key)
{
    int64_t v = std::clamp<int64_t>(int64_t(g.value) + delta, g.minimum, sliderMax(g));
    if (v == g.value) return;
    g.value = int32_t(v);
    postGadgetEvent(g, g.value, key);
}

void Gui::openMenu(Gadget &g)
{
    if (g.entries.empty()) return;
    int F = settings.fontHeight;
    int ih = F + settings.addHeight + 4;
    for (const Choice &e : g.entries)
        if (e.isPicture) ih = std::max(ih, e.h + 4);
    Rect r = gadgetRectOnSurface(g);
    int h = int(g.entries.size()) * ih + 4;
    SurfaceId s = panelSurface(g.panel);
    int sh = surfaceHeight(s);
    int y = r.y + r.h;
    if (y + h > sh) y = std::max(0, r.y - h);
    menu.gadget = g.handle;
    menu.rect = Rect{r.x, y, r.w, h};
    menu.itemHeight = ih;
    menu.hover = g.value;
}

void Gui::menuChoose(int index)
{
    Gadget *g = gadget(menu.gadget);
    menu = PopupMenu{};
    if (!g || index < 0 || size_t(index) >= g->entries.size()) return;
    g->value = index;
    postGadgetEvent(*g, index, 0);
}

void Gui::activate(Gadget &g, uint32_t key)
{
    switch (g.kind) {
    case GADGET_TEXT_BUTTON:
    case GADGET_IMAGE_BUTTON:
    case GADGET_PALETTE: postGadgetEvent(g, 1, key); break;
    case GADGET_CHECKBOX:
        g.value = g.value ? 0 : 1;
        postGadgetEvent(g, g.value, key);
        break;
    case GADGET_POPUP: openMenu(g); break;
    case GADGET_SLIDER: focusedGadget = g.handle; break;
    default: break;
    }
}

void Gui::mouseMove(const InputEvent &e)
{
    hoverSurface = e.surface;
    hoverSurfaceX = e.x;
    hoverSurfaceY = e.y;
    if (e.surface == SurfaceId::Screen) {
        pointer.x = e.x;
        pointer.y = e.y;
    }
    if (menu.gadget) {
        if (menu.rect.contains(e.x, e.y)) menu.hover = (e.y - menu.rect.y - 2) / std::max(1, menu.itemHeight);
        return;
    }
    if (Gadget *g = gadget(pressedGadget)) {
        pressedInside = gadgetRectOnSurface(*g).contains(e.x, e.y);
        if (g->kind == GADGET_SLIDER) setSliderFromX(*g, e.x);
    }
    hoverGadget = gadgetAt(e.surface, e.x, e.y);
    if (!dialogs.empty()) {
        // Presses and releases reach the requester separately, after the
        // gadgets have had their turn.
        InputEvent move = e;
        move.type = InputEvent::MouseMove;
        dialogs.back()->mouse(move, panelRectOnSurface(dialogs.back()->panel));
    }
}

void Gui::mouseDown(const InputEvent &e)
{
    mouseMove(e);
    if (menu.gadget) {
        if (!menu.rect.contains(e.x, e.y)) menu = PopupMenu{};
        return;
    }
    TgHandle h = gadgetAt(e.surface, e.x, e.y);
    Gadget *g = gadget(h);
    if (!g || !g->enabled) {
        if (!dialogs.empty()) dialogs.back()->mouse(e, panelRectOnSurface(dialogs.back()->panel));
        return;
    }
    if (g->kind == GADGET_POPUP) {
        openMenu(*g);
        menu.openedByPress = true;
        menu.pressX = e.x;
        menu.pressY = e.y;
        return;
    }
    pressedGadget = h;
    pressedInside = true;
    valueAtPress = g->value;
    if (g->kind == GADGET_SLIDER) {
        focusedGadget = h;
        setSliderFromX(*g, e.x);
    }
}

void Gui::mouseUp(const InputEvent &e)
{
    mouseMove(e);
    if (menu.gadget) {
        // A menu that opened over the pointer chooses on the release only
        // once the pointer has left the entry it was pressed on.
        auto entryAt = [&](int y) { return (y - menu.rect.y - 2) / std::max(1, menu.itemHeight); };
        const bool openingClick = menu.openedByPress && menu.rect.contains(menu.pressX, menu.pressY) &&
                                  entryAt(menu.pressY) == entryAt(e.y);
        menu.openedByPress = false;
        if (!openingClick && menu.rect.contains(e.x, e.y)) menuChoose(menu.hover);
        return;
    }
    Gadget *g = gadget(pressedGadget);
    pressedGadget = 0;
    if (!g) {
        if (!dialogs.empty()) dialogs.back()->mouse(e, panelRectOnSurface(dialogs.back()->panel));
        return;
    }
    bool inside = gadgetRectOnSurface(*g).contains(e.x, e.y);
    if (g->kind == GADGET_SLIDER) {
        if (g->value != valueAtPress) postGadgetEvent(*g, g->value, 0);
    } else if (inside) {
        activate(*g, 0);
    }
}

void Gui::keyPress(uint32_t key)
{
    uint32_t base = key & ~KEY_QUALIFIERS;
    if (menu.gadget) {
        Gadget *g = gadget(menu.gadget);
        int n = g ? int(g->entries.size()) : 0;
        if (base == KEY_UP) menu.hover = std::max(0, menu.hover - 1);
        else if (base == KEY_DOWN) menu.hover = std::min(n - 1, menu.hover + 1);
        else if (base == KEY_RETURN) menuChoose(menu.hover);
        else if (base == KEY_ESCAPE) menu = PopupMenu{};
        return;
    }
    if (!dialogs.empty()) {
        Dialog *d = dialogs.back();
        if (d->key(key)) return;
    }
    if (Gadget *f = gadget(focusedGadget); f && f->kind == GADGET_SLIDER && f->enabled && gadgetVisible(*f)) {
        int32_t big = std::max<int32_t>(1, (sliderMax(*f) - f->minimum) / 10);
        switch (base) {
        case KEY_LEFT:
        case KEY_DOWN: sliderStep(*f, -1, key); return;
        case KEY_RIGHT:
        case KEY_UP: sliderStep(*f, 1, key); return;
        case KEY_PAGEDOWN: sliderStep(*f, -big, key); return;
        case KEY_PAGEUP: sliderStep(*f, big, key); return;
        case KEY_HOME: sliderStep(*f, f->minimum - f->value, key); return;
        case KEY_END: sliderStep(*f, sliderMax(*f) - f->value, key); return;
        case KEY_ESCAPE: focusedGadget = 0; return;
        default: break;
        }
    }
    if (!dialogs.empty()) {
        Dialog *d = dialogs.back();
        if (base == KEY_RETURN && d->defaultButton) {
            if (Gadget *g = gadget(d->defaultButton); g && g->enabled) activate(*g, key);
            return;
        }
        if (base == KEY_ESCAPE) {
            if (Gadget *g = gadget(d->cancelButton)) activate(*g, key);
            else d->cancel();
            return;
        }
    }
    for (auto &[h, g] : gadgets) {
        if (g.key == 0 || g.key != key || !g.enabled || !gadgetVisible(g)) continue;
        activate(g, key);
        return;
    }
}

void Gui::dispatch(const InputEvent &e)
{
    switch (e.type) {
    case InputEvent::MouseMove: mouseMove(e); break;
    case InputEvent::MouseDown: mouseDown(e); break;
    case InputEvent::MouseUp: mouseUp(e); break;
    case InputEvent::Wheel:
        if (!dialogs.empty()) dialogs.back()->mouse(e, panelRectOnSurface(dialogs.back()->panel));
        break;
    case InputEvent::Key: keyPress(e.key); break;
    case InputEvent::Text:
        if (!dialogs.empty()) dialogs.back()->text(e.text);
        break;
    case InputEvent::AreaSet:
        if (!dialogs.empty()) dialogs.back()->area(e.area);
        break;
    case InputEvent::Close:
        menu = PopupMenu{};
        for (Dialog *d : dialogs) d->cancel();
        postClose();
        break;
    }
}

bool Gui::pumpUntil(const std::function<bool()> &done)
{
    while (!done()) {
        if (inputEnded) return false;
        present();
        InputEvent e;
        if (!frontEnd().wait(e)) {
            inputEnded = true;
            return false;
        }
        dispatch(e);
    }
    present();
    return true;
}

Rect Gui::dialogRect(const Dialog &d) const { return panelRectOnSurface(d.panel); }

int Gui::runDialog(Dialog &d, Rect)
{
    menu = PopupMenu{};
    pressedGadget = 0;
    focusedGadget = 0;
    dialogs.push_back(&d);
    if (!pumpUntil([&] { return d.done; })) d.cancel();
    dialogs.erase(std::remove(dialogs.begin(), dialogs.end(), &d), dialogs.end());
    removePanel(d.panel);
    d.panel = 0;
    present();
    return d.accepted ? 1 : 0;
}

// ---------------------------------------------------------------- script helpers

bool Gui::findText(const std::string &text, SurfaceId &surface, Rect &found)
{
    if (menu.gadget) {
        if (Gadget *g = gadget(menu.gadget)) {
            for (size_t i = 0; i < g->entries.size(); ++i)
                if (!g->entries[i].isPicture && g->entries[i].text == text) {
                    surface = panelSurface(g->panel);
                    found = Rect{menu.rect.x + 2, menu.rect.y + 2 + int(i) * menu.itemHeight, menu.rect.w - 4,
                                 menu.itemHeight};
                    return true;
                }
        }
    }
    if (!dialogs.empty()) {
        Dialog *d = dialogs.back();
        if (d->findText(text, dialogRect(*d), found)) {
            surface = d->surface;
            return true;
        }
    }
    // Exact shown text first, then labels, then help texts of image buttons.
    for (int pass = 0; pass < 3; ++pass)
        for (auto &[h, g] : gadgets) {
            if (!gadgetVisible(g)) continue;
            bool hit = pass == 0 ? (g.kind != GADGET_SLIDER && shownText(g) == text)
                     : pass == 1 ? g.text == text
                                 : g.help == text;
            if (!hit) continue;
            surface = panelSurface(g.panel);
            found = gadgetRectOnSurface(g);
            return true;
        }
    return false;
}

bool Gui::sliderPoint(const std::string &label, int32_t value, SurfaceId &surface, int &fromX, int &toX,
                      int &y)
{
    for (auto &[h, g] : gadgets) {
        if (g.kind != GADGET_SLIDER || !gadgetVisible(g) || g.text != label) continue;
        Rect r = gadgetRectOnSurface(g);
        Rect t = sliderTrack(r);
        surface = panelSurface(g.panel);
        fromX = sliderXFor(g, t, g.value);
        toX = sliderXFor(g, t, value);
        y = r.cy();
        return true;
    }
    return false;
}

void Gui::resetAll()
{
    for (Dialog *d : dialogs) d->cancel();
    dialogs.clear();
    screens.clear();
    screenStack.clear();
    panels.clear();
    gadgets.clear();
    queues.clear();
    stringSets.clear();
    imageSets.clear();
    extensions.clear();
    guiResource = 0;
    currentColor = 0;
    pointer = hostrt::gui::PointerState{};
    colorBar = true;
    hoverGadget = pressedGadget = focusedGadget = 0;
    menu = PopupMenu{};
    messageSequence = 0;
    posted.clear();
    scriptErrors.clear();
    closedView = ClosedView{};
    viewSavedSinceWait = false;
    checkHandler = nullptr;
    overlay[0].clear();
    overlay[1].clear();
    frontEnd_.reset();
    inputEnded = false;
}

} // namespace hostgui

namespace hostgui {

void Gui::applySettings(const hostrt::gui::GuiSettings &s)
{
    bool frontEndChanged = s.frontEnd != settings.frontEnd;
    settings = s;
    colorTable.clear();
    colorTable[1] = rgbToColorWord(34, 36, 42);      // screen background
    colorTable[2] = rgbToColorWord(240, 240, 240);   // text
    colorTable[3] = rgbToColorWord(52, 128, 210);    // slider fill, menu highlight
    colorTable[10] = rgbToColorWord(84, 90, 102);    // panels
    colorTable[11] = rgbToColorWord(60, 64, 74);     // backdrop
    colorTable[1001] = rgbToColorWord(118, 126, 140);  // gadget faces
    for (auto &[id, word] : s.colors) colorTable[id] = word;
    if (currentColor == 0) currentColor = colorTable[10];
    if (frontEndChanged) resetFrontEnd();
}

} // namespace hostgui
