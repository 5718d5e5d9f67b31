// How panels and gadgets look: each gadget kind drawn on its panel, the
// popup menu's entries, and the slider geometry that drawing, input and
// the script helpers share.
#include <algorithm>
#include <cstdio>

#include "hostgui/settings.h"
#include "input.h"
#include "look.h"

namespace hostgui {

Rgba textColorOn(Rgba face)
{
    int lum = (face.r * 77 + face.g * 150 + face.b * 29) >> 8;
    return lum > 140 ? Rgba{16, 16, 16, 255} : Rgba{240, 240, 240, 255};
}

Rgba mix(Rgba a, Rgba b, int k)
{
    return Rgba{uint8_t((a.r * (255 - k) + b.r * k) / 255), uint8_t((a.g * (255 - k) + b.g * k) / 255),
                uint8_t((a.b * (255 - k) + b.b * k) / 255), 255};
}

Rect sliderTrack(Rect r) { return Rect{r.x + 2, r.y + 2, std::max(1, r.w - 4), std::max(1, r.h - 4)}; }

int32_t sliderMax(const Gadget &g) { return g.maximum < g.minimum ? g.minimum : g.maximum; }

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

std::string shownText(const Gadget &g)
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

namespace {

void drawGadget(Canvas &c, const Gadget &g, Rect r, uint32_t panelColor)
{
    int F = settings().fontHeight;
    Rgba face = colorWordToRgb(g.face);
    Rgba panelRgb = colorWordToRgb(panelColor);
    Rgba ink = textColorOn(face);
    Rgba labelInk = textColorOn(panelRgb);
    if (!g.enabled) {
        ink = mix(ink, face, 150);
        labelInk = mix(labelInk, panelRgb, 150);
    }
    bool pressed = shownPressed(g.handle);
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
        Rgba accent = colorWordToRgb(guiColor(3, g.face));
        if (!g.enabled) accent = mix(accent, trough, 160);
        c.fill(Rect{t.x, t.y, x - t.x + 1, t.h}, accent);
        std::string s = formatSliderValue(g);
        int w = textWidth(s, F);
        c.text(r.x + (r.w - w) / 2, ty, s, g.enabled ? Rgba{245, 245, 245, 255} : Rgba{150, 150, 150, 255}, F);
        if (focusedGadget() == g.handle) c.frame(Rect{r.x - 1, r.y - 1, r.w + 2, r.h + 2}, Rgba{255, 220, 80, 255});
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

} // namespace

void drawPanel(Canvas &c, const Panel &p, Rect at)
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
        const Gadget *g = gadget(gh);
        if (!g) continue;
        Rect r = g->rect;
        drawGadget(c, *g, Rect{at.x + r.x, at.y + r.y, r.w, r.h}, p.color);
    }
    for (TgHandle ch : p.children) {
        const Panel *child = panel(ch);
        if (!child) continue;
        Rect r = child->rect;
        drawPanel(c, *child, Rect{at.x + r.x, at.y + r.y, r.w, r.h});
    }
}

void drawMenu(Canvas &c, const Gadget &g, Rect menu, int itemHeight, int hover)
{
    const int F = settings().fontHeight;
    Rgba face = colorWordToRgb(g.face);
    c.bevel(menu, face, true);
    for (size_t i = 0; i < g.entries.size(); ++i) {
        Rect item{menu.x + 2, menu.y + 2 + int(i) * itemHeight, menu.w - 4, itemHeight};
        Rgba bg = int(i) == hover ? colorWordToRgb(guiColor(3, g.face)) : face;
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

} // namespace hostgui
