// The host GUI's screen geometry, panels and gadgets, answering tarngui's
// calls and glidex's pixel aspect. Geometry and layout answers come from the
// GUI settings of the session; screens, panels and gadgets live in its
// toolkit.
#include <algorithm>
#include <cstdio>
#include <cstring>
#include <memory>

#include "contract/gui_calls.h"
#include "contract/host_calls.h"
#include "hostgui/gui.h"
#include "parts.h"

namespace hostrt::detail {

// The answers a program sets for the operator's screen queries.
struct ScreenAnswers {
    VisibleArea visible;
    int32_t tgVersion = 60;
};

namespace {

ScreenAnswers &answers() { return parts().screen.get(); }

} // namespace

void resetScreenAnswers() { answers() = ScreenAnswers{}; }

} // namespace hostrt::detail

namespace hostrt {

void setVisibleArea(VisibleArea area) { detail::answers().visible = area; }
void setTgVersion(int32_t version) { detail::answers().tgVersion = version; }

} // namespace hostrt

using hostgui::Gadget;
using hostgui::Rect;

namespace {

Rect rectOf(uint16_t x, uint16_t y, uint16_t w, uint16_t h) { return Rect{x, y, w, h}; }

Gadget *newGadget(TgHandle panel, uint32_t kind, uint16_t x, uint16_t y, uint16_t w, uint16_t h)
{
    return hostgui::addGadget(panel, kind, rectOf(x, y, w, h));
}

std::string textOf(const char *s) { return s ? std::string(s) : std::string(); }

} // namespace

extern "C" {

void tgGetVisibleAreaMonitor(int16_t *left, int16_t *top, int16_t *right, int16_t *bottom, int32_t)
{
    const auto &v = hostrt::detail::answers().visible;
    if (left) *left = v.left;
    if (top) *top = v.top;
    if (right) *right = v.right;
    if (bottom) *bottom = v.bottom;
}

int32_t tgVersion(int32_t) { return hostrt::detail::answers().tgVersion; }

uint16_t tgGetScreenWidth(void) { return hostgui::settings().screenWidth; }
uint16_t tgGetScreenHeight(void) { return hostgui::settings().screenHeight; }

uint16_t tgGetScreenWidthMonitor(int32_t monitor)
{
    const auto &s = hostgui::settings();
    return monitor == 1 ? s.screenWidth : s.monitorWidth;
}

uint16_t tgGetScreenHeightMonitor(int32_t monitor)
{
    const auto &s = hostgui::settings();
    return monitor == 1 ? s.screenHeight : s.monitorHeight;
}

void tgGetVisibleArea(int16_t *left, int16_t *top, int16_t *right, int16_t *bottom)
{
    const auto &v = hostgui::settings().screenVisible;
    if (left) *left = v.left;
    if (top) *top = v.top;
    if (right) *right = v.right;
    if (bottom) *bottom = v.bottom;
}

int32_t tgGetDefaultMonitor(void) { return hostgui::settings().defaultMonitor; }
int32_t tgGetConnectedMonitors(void) { return hostgui::settings().connectedMonitors; }
int16_t tgGetFontHeightMonitor(int32_t) { return hostgui::settings().fontHeight; }
int16_t tgGetAddHeight(void) { return hostgui::settings().addHeight; }
int32_t tgGetGuiMode(void) { return hostgui::settings().guiMode; }

uint16_t gxGetPixelAspect(int32_t, int32_t) { return hostgui::settings().pixelAspect; }

uint32_t tgGetGuiColorYUV(int32_t id)
{
    return hostgui::guiColor(id, hostgui::guiColor(10, 0));
}

uint32_t tgGetNewGuiColorYUV(int32_t id) { return tgGetGuiColorYUV(id); }

void tgSetColorYUV(uint32_t color) { hostgui::setCurrentColor(color); }

TgHandle tgCreatePanel(TgHandle parent, uint16_t x, uint16_t y, uint16_t width, uint16_t height, uint32_t flags,
                       uint32_t, uint32_t)
try {
    // Positions are signed: a panel may start above or left of its parent.
    return hostgui::createPanel(parent, Rect{int16_t(x), int16_t(y), width, height}, flags);
} catch (...) { return 0; }

void tgRemovePanel(TgHandle panel) try { hostgui::removePanel(panel); } catch (...) {}

TgHandle tgAddImageButton(TgHandle panel, uint16_t x, uint16_t y, uint16_t width, uint16_t height,
                          const Picture *picture, uint32_t stateWord, const GadgetExtension *)
try {
    Gadget *g = newGadget(panel, GADGET_IMAGE_BUTTON, x, y, width, height);
    if (!g) return 0;
    g->state = stateWord;
    if (picture && picture->pixels && picture->bufferWidth > 0 && picture->bufferHeight > 0 &&
        picture->bufferWidth <= 1024 && picture->bufferHeight <= 1024) {
        g->imageW = picture->bufferWidth;
        g->imageH = picture->bufferHeight;
        g->image.assign(picture->pixels, picture->pixels + size_t(g->imageW) * size_t(g->imageH));
    }
    return g->handle;
} catch (...) { return 0; }

TgHandle tgAddTextButton(TgHandle panel, uint16_t x, uint16_t y, uint16_t width, uint16_t height, const char *text,
                         uint32_t flags, uint32_t)
try {
    Gadget *g = newGadget(panel, GADGET_TEXT_BUTTON, x, y, width, height);
    if (!g) return 0;
    g->text = textOf(text);
    g->flags = flags;
    g->enabled = !(flags & GADGET_DISABLED);
    return g->handle;
} catch (...) { return 0; }

TgHandle tgAddSlider(TgHandle panel, uint16_t x, uint16_t y, uint16_t width, uint16_t height, int32_t minimum,
                     int32_t maximum, int32_t value, const char *label, const char *unit, uint32_t flags,
                     const GadgetExtension *ext)
try {
    Gadget *g = newGadget(panel, GADGET_SLIDER, x, y, width, height);
    if (!g) return 0;
    g->minimum = minimum;
    g->maximum = maximum;
    g->value = value;
    g->text = textOf(label);
    g->unit = textOf(unit);
    g->flags = flags;
    if (ext) g->formatter = ext->formatter;
    return g->handle;
} catch (...) { return 0; }

TgHandle tgAddPopup(TgHandle panel, uint16_t x, uint16_t y, uint16_t width, uint16_t height, const ListHeader *list,
                    uint32_t selected, const char *title, uint32_t flags, uint32_t)
try {
    Gadget *g = newGadget(panel, GADGET_POPUP, x, y, width, height);
    if (!g) return 0;
    g->text = textOf(title);
    g->flags = flags;
    g->enabled = !(flags & GADGET_DISABLED);
    g->value = int32_t(selected);
    // The entries are copied: the list lives only for this call.
    if (list) {
        size_t n = 0;
        for (const ListNode *node = list->head; node && n < 256; node = node->next, ++n) {
            const ChoiceEntry *e = reinterpret_cast<const ChoiceEntry *>(node);
            hostgui::Choice c;
            if (e->kind == CHOICE_PICTURE) {
                const Picture *p = static_cast<const Picture *>(e->label);
                c.isPicture = true;
                if (p && p->pixels && p->bufferWidth > 0 && p->bufferHeight > 0 && p->bufferWidth <= 1024 &&
                    p->bufferHeight <= 1024) {
                    c.w = p->bufferWidth;
                    c.h = p->bufferHeight;
                    c.pixels.assign(p->pixels, p->pixels + size_t(c.w) * size_t(c.h));
                }
            } else {
                c.text = textOf(static_cast<const char *>(e->label));
            }
            g->entries.push_back(std::move(c));
        }
    }
    return g->handle;
} catch (...) { return 0; }

TgHandle tgAddCheckBox(TgHandle panel, uint16_t x, uint16_t y, uint16_t width, uint16_t height, uint32_t stateWord,
                       uint32_t, const GadgetExtension *ext)
try {
    Gadget *g = newGadget(panel, GADGET_CHECKBOX, x, y, width, height);
    if (!g) return 0;
    g->value = stateWord ? 1 : 0;
    if (ext) g->text = textOf(ext->label);
    return g->handle;
} catch (...) { return 0; }

TgHandle tgAddPaletteButton(TgHandle panel, uint16_t x, uint16_t y, uint16_t width, uint16_t height,
                            const char *label, uint32_t color, uint32_t, uint32_t)
try {
    Gadget *g = newGadget(panel, GADGET_PALETTE, x, y, width, height);
    if (!g) return 0;
    g->text = textOf(label);
    g->color = color;
    return g->handle;
} catch (...) { return 0; }

TgHandle tgBoxText(TgHandle panel, const char *text, uint16_t x, uint16_t y, uint16_t width, uint16_t height,
                   uint32_t flags)
try {
    Gadget *g = newGadget(panel, GADGET_BOXTEXT, x, y, width, height);
    if (!g) return 0;
    g->text = textOf(text);
    g->flags = flags;
    return g->handle;
} catch (...) { return 0; }

GadgetExtension *tgAllocGadExt(void)
try {
    return hostgui::allocExtension();
} catch (...) { return nullptr; }

void tgFreeGadExt(GadgetExtension *ext) { hostgui::freeExtension(ext); }

int32_t tgSliderCallbackFramesTime(int32_t value, char *text, int32_t size)
{
    if (!text || size <= 0) return -1;
    int32_t fps = std::max<int32_t>(1, hostgui::settings().framesPerSecond);
    int64_t v = value < 0 ? 0 : value;
    int64_t seconds = v / fps, frames = v % fps;
    int n = std::snprintf(text, size_t(size), "%lld  %lld:%02lld:%02lld", (long long)v, (long long)(seconds / 60),
                          (long long)(seconds % 60), (long long)frames);
    return n < 0 ? -1 : 0;
}

int32_t tgChangeElement(TgHandle, TgHandle element, uint32_t tag, uintptr_t value, uint32_t)
try {
    // Gadget handles are unique across panels, so the gadget is found by its
    // handle alone (help texts are attached through another panel's handle).
    Gadget *g = hostgui::gadget(element);
    if (!g) return -1;
    switch (tag) {
    case TAG_COLOR: g->color = uint32_t(value); return 0;
    case TAG_VALUE: g->value = int32_t(uint32_t(value)); return 0;
    case TAG_KEY: g->key = uint32_t(value); return 0;
    case TAG_HELP_SET: g->helpSet = TgHandle(value); return 0;
    case TAG_HELP_ID: {
        const hostgui::StringTable *set = hostgui::stringSet(g->helpSet);
        if (!set) return -1;
        auto text = set->find(uint32_t(value));
        g->help = text == set->end() ? std::string() : text->second;
        return 0;
    }
    default: return -1;
    }
} catch (...) { return -1; }

void tgEnableElement(TgHandle, TgHandle element)
{
    if (Gadget *g = hostgui::gadget(element)) g->enabled = true;
}

void tgDisableElement(TgHandle, TgHandle element)
{
    if (Gadget *g = hostgui::gadget(element)) {
        g->enabled = false;
        hostgui::dropFocus(element);
    }
}

int32_t tgMsgQReceive(void *message, int32_t timeout) { return hostgui::receiveMessage(message, timeout); }

void tgBusyPointer(void) { hostgui::setBusyPointer(true); }
void tgStandardPointer(void) { hostgui::setBusyPointer(false); }
void tgMovePointer(int16_t x, int16_t y) { hostgui::movePointer(x, y); }
void tgSetPointerAttrs(int32_t mode, int32_t, int32_t, int32_t) { hostgui::setPointerAttrs(mode); }

void tgColorBarOn(void) { hostgui::setColorBar(true); }
void tgColorBarOff(void) { hostgui::setColorBar(false); }

void tgmxYUVAtoOvl(const void *pixels, int32_t, int32_t bytesPerRow, int16_t x, int16_t y, uint16_t width,
                   uint16_t height)
try {
    hostgui::drawOverlay(hostgui::SurfaceId::Screen, static_cast<const uint8_t *>(pixels), bytesPerRow, x, y,
                           width, height);
} catch (...) {}

void tgmxYUVAtoOvlMonitor(const void *pixels, int32_t, int32_t bytesPerRow, int16_t x, int16_t y, uint16_t width,
                          uint16_t height, int32_t monitor)
try {
    // Monitor 1 is the GUI's own screen.
    hostgui::drawOverlay(monitor == 1 ? hostgui::SurfaceId::Screen : hostgui::SurfaceId::Monitor,
                           static_cast<const uint8_t *>(pixels), bytesPerRow, x, y, width, height);
} catch (...) {}

TgHandle tgGetGuiResource(void)
try {
    return hostgui::guiResource();
} catch (...) { return 0; }

} // extern "C"
