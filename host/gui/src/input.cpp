// Input: pointer, hover, press, focus, keys and the popup menu. Each event
// from the front end changes gadgets and posts the editor's messages; a
// key press becomes a message in keyPress.
#include <algorithm>
#include <chrono>
#include <cstdio>

#include "dialogs.h"
#include "frontend.h"
#include "hostgui/registry.h"
#include "hostgui/settings.h"
#include "hostgui/surfaces.h"
#include "hostgui/messages.h"
#include "hostgui/monitor_view.h"
#include "input.h"
#include "hostgui/toolkit.h"

namespace hostgui {

// The times of the event being handled: its dispatch, the editor's work
// from the message it posted until the editor waits again, and the drawing
// that shows the result.
struct EventTiming {
    using Clock = std::chrono::steady_clock;
    bool pending = false;
    int number = 0;
    std::string what;
    double eventMs = 0, renderMs = 0;
    Clock::time_point delivered;
    bool rendering = false;
};

struct Input {
    EventTiming timing;
    PointerState pointer;
    HoverPoint hover;
    TgHandle hoverGadget = 0;
    TgHandle pressedGadget = 0;
    bool pressedInside = false;
    int32_t valueAtPress = 0;
    TgHandle focusedGadget = 0;
    PopupMenu menu;
};

namespace {

Input &in() { return current().input.get(); }

TgHandle gadgetAt(SurfaceId s, int x, int y)
{
    // Later gadgets lie on top; search from the newest.
    for (auto it = gadgets().rbegin(); it != gadgets().rend(); ++it) {
        const Gadget &g = it->second;
        if (g.kind == GADGET_BOXTEXT || panelSurface(g.panel) != s || !gadgetVisible(g)) continue;
        if (gadgetRectOnSurface(g).contains(x, y)) return g.handle;
    }
    return 0;
}

void setSliderFromX(Gadget &g, int x)
{
    g.value = sliderValueAt(g, sliderTrack(gadgetRectOnSurface(g)), x);
}

void sliderStep(Gadget &g, int32_t delta, uint32_t key)
{
    int64_t v = std::clamp<int64_t>(int64_t(g.value) + delta, g.minimum, sliderMax(g));
    if (v == g.value) return;
    g.value = int32_t(v);
    postGadgetEvent(g, g.value, key);
}

void openMenu(Gadget &g)
{
    if (g.entries.empty()) return;
    int F = settings().fontHeight;
    int ih = F + settings().addHeight + 4;
    for (const Choice &e : g.entries)
        if (e.isPicture) ih = std::max(ih, e.h + 4);
    Rect r = gadgetRectOnSurface(g);
    int h = int(g.entries.size()) * ih + 4;
    SurfaceId s = panelSurface(g.panel);
    int sh = surfaceHeight(s);
    int y = r.y + r.h;
    if (y + h > sh) y = std::max(0, r.y - h);
    PopupMenu &menu = in().menu;
    menu.gadget = g.handle;
    menu.rect = Rect{r.x, y, r.w, h};
    menu.itemHeight = ih;
    menu.hover = g.value;
}

void menuChoose(int index)
{
    Gadget *g = gadget(in().menu.gadget);
    in().menu = PopupMenu{};
    if (!g || index < 0 || size_t(index) >= g->entries.size()) return;
    g->value = index;
    postGadgetEvent(*g, index, 0);
}

void activate(Gadget &g, uint32_t key)
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
    case GADGET_SLIDER: in().focusedGadget = g.handle; break;
    default: break;
    }
}

void mouseMove(const InputEvent &e)
{
    in().hover = HoverPoint{e.surface, e.x, e.y};
    if (e.surface == SurfaceId::Screen) {
        in().pointer.x = e.x;
        in().pointer.y = e.y;
    }
    if (PopupMenu &menu = in().menu; menu.gadget) {
        if (menu.rect.contains(e.x, e.y)) menu.hover = (e.y - menu.rect.y - 2) / std::max(1, menu.itemHeight);
        return;
    }
    if (Gadget *g = gadget(in().pressedGadget)) {
        in().pressedInside = gadgetRectOnSurface(*g).contains(e.x, e.y);
        if (g->kind == GADGET_SLIDER) setSliderFromX(*g, e.x);
    }
    in().hoverGadget = gadgetAt(e.surface, e.x, e.y);
    if (Dialog *d = topDialog()) {
        // Presses and releases reach the requester separately, after the
        // gadgets have had their turn.
        InputEvent move = e;
        move.type = InputEvent::MouseMove;
        d->mouse(move, panelRectOnSurface(d->panel));
    }
}

void mouseDown(const InputEvent &e)
{
    mouseMove(e);
    if (in().menu.gadget) {
        if (!in().menu.rect.contains(e.x, e.y)) in().menu = PopupMenu{};
        return;
    }
    TgHandle h = gadgetAt(e.surface, e.x, e.y);
    Gadget *g = gadget(h);
    if (!g || !g->enabled) {
        if (Dialog *d = topDialog()) d->mouse(e, panelRectOnSurface(d->panel));
        return;
    }
    if (g->kind == GADGET_POPUP) {
        openMenu(*g);
        in().menu.openedByPress = true;
        in().menu.pressX = e.x;
        in().menu.pressY = e.y;
        return;
    }
    in().pressedGadget = h;
    in().pressedInside = true;
    in().valueAtPress = g->value;
    if (g->kind == GADGET_SLIDER) {
        in().focusedGadget = h;
        setSliderFromX(*g, e.x);
    }
}

void mouseUp(const InputEvent &e)
{
    mouseMove(e);
    if (PopupMenu &menu = in().menu; menu.gadget) {
        // A menu that opened over the pointer chooses on the release only
        // once the pointer has left the entry it was pressed on.
        auto entryAt = [&](int y) { return (y - menu.rect.y - 2) / std::max(1, menu.itemHeight); };
        const bool openingClick = menu.openedByPress && menu.rect.contains(menu.pressX, menu.pressY) &&
                                  entryAt(menu.pressY) == entryAt(e.y);
        menu.openedByPress = false;
        if (!openingClick && menu.rect.contains(e.x, e.y)) menuChoose(menu.hover);
        return;
    }
    Gadget *g = gadget(in().pressedGadget);
    in().pressedGadget = 0;
    if (!g) {
        if (Dialog *d = topDialog()) d->mouse(e, panelRectOnSurface(d->panel));
        return;
    }
    bool inside = gadgetRectOnSurface(*g).contains(e.x, e.y);
    if (g->kind == GADGET_SLIDER) {
        if (g->value != in().valueAtPress) postGadgetEvent(*g, g->value, 0);
    } else if (inside) {
        activate(*g, 0);
    }
}

void keyPress(uint32_t key)
{
    uint32_t base = key & ~KEY_QUALIFIERS;
    if (PopupMenu &menu = in().menu; menu.gadget) {
        Gadget *g = gadget(menu.gadget);
        int n = g ? int(g->entries.size()) : 0;
        if (base == KEY_UP) menu.hover = std::max(0, menu.hover - 1);
        else if (base == KEY_DOWN) menu.hover = std::min(n - 1, menu.hover + 1);
        else if (base == KEY_RETURN) menuChoose(menu.hover);
        else if (base == KEY_ESCAPE) menu = PopupMenu{};
        return;
    }
    if (Dialog *d = topDialog()) {
        if (d->key(key)) return;
    }
    if (Gadget *f = gadget(in().focusedGadget); f && f->kind == GADGET_SLIDER && f->enabled && gadgetVisible(*f)) {
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
        case KEY_ESCAPE: in().focusedGadget = 0; return;
        default: break;
        }
    }
    if (Dialog *d = topDialog()) {
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
    for (const auto &[h, shown] : gadgets()) {
        if (shown.key == 0 || shown.key != key || !shown.enabled || !gadgetVisible(shown)) continue;
        activate(*gadget(h), key);
        return;
    }
    // A key no gadget takes may be one of monitor 2's view keys.
    monitorViewKey(key);
}

} // namespace

void dispatch(const InputEvent &e)
{
    switch (e.type) {
    case InputEvent::MouseMove: mouseMove(e); break;
    case InputEvent::MouseDown: mouseDown(e); break;
    case InputEvent::MouseUp: mouseUp(e); break;
    case InputEvent::Wheel:
        if (Dialog *d = topDialog()) d->mouse(e, panelRectOnSurface(d->panel));
        break;
    case InputEvent::Key: keyPress(e.key); break;
    case InputEvent::Text:
        if (Dialog *d = topDialog()) d->text(e.text);
        break;
    case InputEvent::AreaSet:
        if (Dialog *d = topDialog()) d->area(e.area);
        break;
    case InputEvent::Close:
        in().menu = PopupMenu{};
        cancelDialogs();
        postClose();
        break;
    }
}

namespace {

double msSince(EventTiming::Clock::time_point start)
{
    return std::chrono::duration<double, std::milli>(EventTiming::Clock::now() - start).count();
}

const char *eventName(InputEvent::Type t)
{
    switch (t) {
    case InputEvent::MouseDown: return "press";
    case InputEvent::MouseUp: return "release";
    case InputEvent::MouseMove: return "move";
    case InputEvent::Wheel: return "wheel";
    case InputEvent::Key: return "key";
    case InputEvent::Text: return "text";
    case InputEvent::Close: return "close";
    case InputEvent::AreaSet: return "area";
    }
    return "event";
}

// Shows the surfaces; with timings on, the drawing ends the line of the
// event that led to it.
void presentTimed()
{
    EventTiming &t = in().timing;
    if (!settings().timings || !t.pending) {
        present();
        return;
    }
    const auto start = EventTiming::Clock::now();
    present();
    std::fprintf(stderr, "timings: event %d (%s): event %.1f ms, render %.1f ms, draw %.1f ms\n", t.number,
                 t.what.c_str(), t.eventMs, t.renderMs, msSince(start));
    t.pending = false;
    t.renderMs = 0;
}

void dispatchTimed(const InputEvent &e)
{
    // Pointer moves are not timed: a window sends them by the hundred.
    if (!settings().timings || e.type == InputEvent::MouseMove) {
        dispatch(e);
        return;
    }
    EventTiming &t = in().timing;
    const auto start = EventTiming::Clock::now();
    dispatch(e);
    t.pending = true;
    ++t.number;
    t.what = eventName(e.type);
    t.eventMs = msSince(start);
    t.renderMs = 0;
}

} // namespace

void messageDelivered()
{
    EventTiming &t = in().timing;
    if (!t.pending) return;
    t.delivered = EventTiming::Clock::now();
    t.rendering = true;
}

void waitForMessage()
{
    EventTiming &t = in().timing;
    if (!t.rendering) return;
    t.renderMs += msSince(t.delivered);
    t.rendering = false;
}

bool pumpUntil(const std::function<bool()> &done)
{
    while (!done()) {
        if (inputEnded()) return false;
        presentTimed();
        InputEvent e;
        if (!frontEnd().wait(e)) {
            setInputEnded();
            return false;
        }
        dispatchTimed(e);
    }
    // The event's line waits for the editor's work on the message it
    // posted: the next wait's drawing ends it.
    present();
    return true;
}

void clearForDialog()
{
    in().menu = PopupMenu{};
    in().pressedGadget = 0;
    in().focusedGadget = 0;
}

const PopupMenu &popupMenu() { return in().menu; }
void closeMenu() { in().menu = PopupMenu{}; }

void forgetGadget(TgHandle g)
{
    Input &i = in();
    if (i.hoverGadget == g) i.hoverGadget = 0;
    if (i.pressedGadget == g) i.pressedGadget = 0;
    if (i.focusedGadget == g) i.focusedGadget = 0;
    if (i.menu.gadget == g) i.menu = PopupMenu{};
}

bool shownPressed(TgHandle g) { return in().pressedGadget == g && in().pressedInside; }
TgHandle focusedGadget() { return in().focusedGadget; }

void dropFocus(TgHandle g)
{
    if (in().focusedGadget == g) in().focusedGadget = 0;
}

// ---------------------------------------------------------------- pointer

PointerState pointerState() { return in().pointer; }

void setBusyPointer(bool busy)
{
    auto &p = in().pointer;
    p.busy = busy;
    ++(busy ? p.busyCalls : p.standardCalls);
    showPointerShape(busy);
}

void movePointer(int x, int y)
{
    ++in().pointer.moveCalls;
    InputEvent e;
    e.type = InputEvent::MouseMove;
    e.x = x;
    e.y = y;
    dispatch(e);
    warpPointer(x, y);
}

void setPointerAttrs(int32_t mode)
{
    auto &p = in().pointer;
    p.attrCalls.push_back(mode);
    if (mode == 2) p.hidden = true;
    else if (mode == 1) p.hidden = false;
}

HoverPoint hoverPoint() { return in().hover; }

std::string helpShown()
{
    const Input &i = in();
    if (!i.hoverGadget || i.pressedGadget || i.menu.gadget) return "";
    const Gadget *g = gadget(i.hoverGadget);
    if (!g || !gadgetVisible(*g)) return "";
    return g->help;
}

bool stopRequested()
{
    InputEvent e;
    while (frontEnd().poll(e)) {
        if (e.type == InputEvent::Key && (e.key & ~KEY_QUALIFIERS) == KEY_ESCAPE) return true;
        if (e.type == InputEvent::Close) {
            dispatch(e);
            return true;
        }
    }
    return false;
}

// ---------------------------------------------------------------- messages

void postGadgetEvent(Gadget &g, int32_t value, uint32_t key)
{
    if (g.onEvent) {
        // The callback may remove the gadget: call it on a copy.
        auto fn = g.onEvent;
        fn(g, value);
        return;
    }
    TgHandle root = panelRoot(g.panel);
    const Screen *s = screen(root);
    if (!s) return;
    EditorMessage m{};
    m.kind = MSG_GADGET;
    m.screen = root;
    m.panel = g.panel;
    m.element = g.handle;
    m.elementKind = g.kind;
    m.value = value;
    m.pointerX = int16_t(in().pointer.x);
    m.pointerY = int16_t(in().pointer.y);
    m.qualifiers = key & KEY_QUALIFIERS;
    m.key = key;
    m.sequence = nextMessageSequence();
    post(s->queue, &m);
}

void postClose()
{
    const Screen *s = topScreen();
    if (!s) return;
    EditorMessage m{};
    m.kind = MSG_CLOSE;
    m.screen = s->handle;
    m.sequence = nextMessageSequence();
    post(s->queue, &m);
}

void resetInput()
{
    // Where the pointer last was stays: only what refers to gadgets goes.
    Input &i = in();
    i.pointer = PointerState{};
    i.hoverGadget = i.pressedGadget = i.focusedGadget = 0;
    i.menu = PopupMenu{};
}

} // namespace hostgui
