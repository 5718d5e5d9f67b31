// The surfaces: sizes, overlays, the colour bar, the closed view and the
// composition of a surface in its one order.
#include <algorithm>
#include <cstring>

#include "dialogs.h"
#include "hostgui/monitor_view.h"
#include "hostgui/registry.h"
#include "hostgui/settings.h"
#include "hostgui/surfaces.h"
#include "input.h"
#include "look.h"
#include "media/png_io.h"
#include "hostgui/toolkit.h"

namespace hostgui {

struct Surfaces {
    // YUVA pixels over each surface (key 0 shows what lies below).
    std::vector<Pixel> overlay[2];
    bool colorBar = true;
    ClosedView closed;
    bool viewSavedSinceWait = false;
};

namespace {

Surfaces &surf() { return current().surfaces.get(); }

void ensureOverlay(SurfaceId s)
{
    size_t n = size_t(surfaceWidth(s)) * size_t(surfaceHeight(s));
    auto &o = surf().overlay[int(s)];
    if (o.size() != n) o.assign(n, Pixel{0, 0, 0, 0});
}

void drawBackground(SurfaceId s, Canvas &c, int w, int h)
{
    if (s == SurfaceId::Screen) {
        c.fill(Rect{0, 0, w, h}, colorWordToRgb(guiColor(1, 0x10808010u)));
        return;
    }
    c.fill(Rect{0, 0, w, h}, Rgba{0, 0, 0, 255});
    if (surf().colorBar) {
        static const Rgba bars[7] = {{191, 191, 191, 255}, {191, 191, 0, 255}, {0, 191, 191, 255}, {0, 191, 0, 255},
                                     {191, 0, 191, 255},   {191, 0, 0, 255},   {0, 0, 191, 255}};
        for (int i = 0; i < 7; ++i) c.fill(Rect{i * w / 7, 0, (i + 1) * w / 7 - i * w / 7, h}, bars[i]);
    }
}

// Monitor 2 in a view other than the composite: the key bytes of the
// overlay as grey (every pixel, the fill around the picture as black), or
// an input's frame at full size, centred as a played frame is.
void drawMonitorView(MonitorView view, Canvas &c, int w, int h)
{
    if (view == MonitorView::Key) {
        const auto &o = surf().overlay[int(SurfaceId::Monitor)];
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x) {
                const uint8_t k = o[size_t(y) * size_t(w) + size_t(x)].alpha;
                c.pixels[size_t(y) * size_t(c.width) + size_t(x)] = Rgba{k, k, k, 255};
            }
        return;
    }
    c.fill(Rect{0, 0, w, h}, Rgba{0, 0, 0, 255});
    int fw = 0, fh = 0;
    std::vector<Pixel> frame;
    if (!inputFrame(view == MonitorView::Foreground ? 1 : 0, fw, fh, frame)) return;
    const int x0 = (w - fw) / 2, y0 = (h - fh) / 2;
    for (int y = std::max(0, -y0); y < fh && y0 + y < h; ++y)
        for (int x = std::max(0, -x0); x < fw && x0 + x < w; ++x) {
            const Pixel &p = frame[size_t(y) * size_t(fw) + size_t(x)];
            c.pixels[size_t(y0 + y) * size_t(c.width) + size_t(x0 + x)] = yuvToRgb(p.y, p.u, p.v);
        }
}

void drawOverlayLayer(SurfaceId s, Canvas &c, int w, int h)
{
    // A fully keyed pixel still shows its colour: only the all-zero fill
    // around a drawn picture lets what lies below show.
    ensureOverlay(s);
    const auto &o = surf().overlay[int(s)];
    if (s == SurfaceId::Monitor && monitorView() != MonitorView::Composite) {
        drawMonitorView(monitorView(), c, w, h);
        return;
    }
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            const Pixel &p = o[size_t(y) * size_t(w) + size_t(x)];
            if (p.alpha | p.v | p.u | p.y) c.blendPixel(x, y, yuvToRgb(p.y, p.u, p.v), 255);
        }
}

void drawScreenPanels(Canvas &c)
{
    if (const Screen *sc = topScreen())
        for (TgHandle ph : sc->panels)
            if (const Panel *p = panel(ph)) drawPanel(c, *p, p->rect);
}

void drawRequesters(SurfaceId s, Canvas &c)
{
    const int F = settings().fontHeight;
    for (Dialog *d : dialogStack()) {
        if (d->surface != s) continue;
        const Panel *p = panel(d->panel);
        if (!p) continue;
        Rect at = p->rect;
        // A shadow sets the requester off from what lies below.
        for (int y = at.y + 4; y < at.y + at.h + 4; ++y)
            for (int x = at.x + 4; x < at.x + at.w + 4; ++x) c.blendPixel(x, y, Rgba{0, 0, 0, 255}, 90);
        drawPanel(c, *p, at);
        if (!d->title.empty()) c.text(at.x + 10, at.y + 6, d->title, textColorOn(colorWordToRgb(p->color)), F);
        d->draw(c, at);
    }
}

void drawOpenMenu(SurfaceId s, Canvas &c)
{
    const PopupMenu &menu = popupMenu();
    if (!menu.gadget) return;
    const Gadget *g = gadget(menu.gadget);
    if (g && panelSurface(g->panel) == s) drawMenu(c, *g, menu.rect, menu.itemHeight, menu.hover);
}

void drawHelp(SurfaceId s, Canvas &c, int w, int h)
{
    const int F = settings().fontHeight;
    std::string help = helpShown();
    const HoverPoint at = hoverPoint();
    if (help.empty() || at.surface != s) return;
    int tw = textWidth(help, F) + 12, th = F + 8;
    int x = std::clamp(at.x + 12, 0, std::max(0, w - tw));
    int y = at.y + 20;
    if (y + th > h) y = at.y - th - 4;
    Rect box{x, y, tw, th};
    c.fill(box, Rgba{250, 240, 180, 255});
    c.frame(box, Rgba{60, 60, 40, 255});
    c.text(x + 6, y + 4, help, Rgba{20, 20, 20, 255}, F);
}

} // namespace

int surfaceWidth(SurfaceId s)
{
    if (s == SurfaceId::Monitor) return std::min<int>(settings().monitorWidth, MAX_SURFACE);
    if (const Screen *sc = topScreen()) return sc->width;
    return std::min<int>(settings().screenWidth, MAX_SURFACE);
}

int surfaceHeight(SurfaceId s)
{
    if (s == SurfaceId::Monitor) return std::min<int>(settings().monitorHeight, MAX_SURFACE);
    if (const Screen *sc = topScreen()) return sc->height;
    return std::min<int>(settings().screenHeight, MAX_SURFACE);
}

void clearOverlay(SurfaceId s)
{
    surf().overlay[int(s)].clear();
    ensureOverlay(s);
}

void drawOverlay(SurfaceId s, const uint8_t *pixels, int32_t bytesPerRow, int x, int y, int w, int h)
{
    if (!pixels || w <= 0 || h <= 0 || bytesPerRow < 0) return;
    ensureOverlay(s);
    int sw = surfaceWidth(s), sh = surfaceHeight(s);
    auto &o = surf().overlay[int(s)];
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

Pixel overlayPixel(SurfaceId s, int x, int y)
{
    ensureOverlay(s);
    int w = surfaceWidth(s), h = surfaceHeight(s);
    if (x < 0 || y < 0 || x >= w || y >= h) return Pixel{0, 0, 0, 0};
    return surf().overlay[int(s)][size_t(y) * size_t(w) + size_t(x)];
}

void setColorBar(bool on) { surf().colorBar = on; }
bool colorBar() { return surf().colorBar; }

void compose(SurfaceId s, Canvas &c)
{
    const int w = surfaceWidth(s), h = surfaceHeight(s);
    c.resize(w, h);
    drawBackground(s, c, w, h);
    drawOverlayLayer(s, c, w, h);
    if (s == SurfaceId::Screen) drawScreenPanels(c);
    drawRequesters(s, c);
    drawOpenMenu(s, c);
    drawHelp(s, c, w, h);
}

// Keeps the view as the user last saw it, for screenshots and checks after
// the program that owned the screen has returned: a closing program
// removes its panels before it deletes its screen.
void saveClosedView()
{
    Surfaces &sf = surf();
    if (sf.viewSavedSinceWait || !topScreen()) return;
    sf.viewSavedSinceWait = true;
    sf.closed.valid = true;
    for (SurfaceId sid : {SurfaceId::Screen, SurfaceId::Monitor}) {
        const int i = int(sid);
        compose(sid, sf.closed.shown[i]);
        ensureOverlay(sid);
        sf.closed.overlay[i] = sf.overlay[i];
        sf.closed.width[i] = surfaceWidth(sid);
        sf.closed.height[i] = surfaceHeight(sid);
    }
}

void waitBegins() { surf().viewSavedSinceWait = false; }

const ClosedView &closedView() { return surf().closed; }

void resetSurfaces()
{
    Surfaces &sf = surf();
    sf.colorBar = true;
    sf.closed = ClosedView{};
    sf.viewSavedSinceWait = false;
    sf.overlay[0].clear();
    sf.overlay[1].clear();
}

Framebuffer framebufferOf(const Canvas &c)
{
    Framebuffer fb;
    fb.width = c.width;
    fb.height = c.height;
    fb.rgba.resize(c.pixels.size() * 4);
    for (size_t i = 0; i < c.pixels.size(); ++i) {
        fb.rgba[i * 4 + 0] = c.pixels[i].r;
        fb.rgba[i * 4 + 1] = c.pixels[i].g;
        fb.rgba[i * 4 + 2] = c.pixels[i].b;
        fb.rgba[i * 4 + 3] = 255;
    }
    return fb;
}

bool savePng(Framebuffer fb, const std::string &path, std::string &error)
{
    media::RgbaImage image;
    image.width = fb.width;
    image.height = fb.height;
    image.rgba = std::move(fb.rgba);
    return media::writePng(path, image, false, error);
}

bool saveScreenshot(SurfaceId s, const std::string &path, std::string &error)
{
    Canvas c;
    compose(s, c);
    return savePng(framebufferOf(c), path, error);
}

} // namespace hostgui
