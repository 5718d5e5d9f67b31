// The area requester: a rectangle placed on the picture by mouse, keys or
// script, within the caller's size limits.
#include <algorithm>
#include <cstdio>
#include <cstdlib>

#include "dialogs.h"
#include "hostgui/registry.h"
#include "hostgui/settings.h"
#include "hostgui/surfaces.h"

namespace hostgui {

namespace {

// ---------------------------------------------------------------- area

class AreaDialog : public Dialog {
public:
    RectParam rect{};
    // Set once the user has moved or resized the rectangle; until then OK
    // hands back the rectangle exactly as it came, even one larger than the
    // picture, which the limits below would otherwise have cut.
    bool changed = false;
    Rect dragStart;
    int grabX = 0, grabY = 0;
    enum { None, Move, Resize, Draw } mode = None;
    static constexpr int rowScale = 2;   // picture rows are fields: each shows on two lines

    bool resizable() const { return !(rect.minWidth == rect.maxWidth && rect.minHeight == rect.maxHeight); }

    void limit()
    {
        int minW = std::max<int>(1, rect.minWidth), minH = std::max<int>(1, rect.minHeight);
        int maxW = std::max<int>(minW, rect.maxWidth), maxH = std::max<int>(minH, rect.maxHeight);
        rect.width = int16_t(std::clamp<int>(rect.width, minW, maxW));
        rect.height = int16_t(std::clamp<int>(rect.height, minH, maxH));
        int sw = surfaceWidth(surface), sh = surfaceHeight(surface) / rowScale;
        rect.x = int16_t(std::max(0, std::min<int>(rect.x, sw - rect.width)));
        rect.y = int16_t(std::max(0, std::min<int>(rect.y, sh - rect.height)));
    }

    Rect shown() const { return Rect{rect.x, rect.y * rowScale, rect.width, rect.height * rowScale}; }

    bool differs(const RectParam &other) const
    {
        return rect.x != other.x || rect.y != other.y || rect.width != other.width || rect.height != other.height;
    }

    void area(Rect r) override
    {
        changed = true;
        if (resizable()) {
            rect.width = int16_t(r.w);
            rect.height = int16_t(r.h);
        }
        rect.x = int16_t(r.x);
        rect.y = int16_t(r.y);
        limit();
    }

    bool mouse(const InputEvent &e, Rect) override
    {
        if (e.surface != surface) return false;
        Rect s = shown();
        int px = e.x, py = e.y / rowScale;
        const RectParam before = rect;
        if (e.type == InputEvent::MouseDown) {
            bool corner = std::abs(e.x - (s.x + s.w)) <= 8 && std::abs(e.y - (s.y + s.h)) <= 8;
            if (corner && resizable()) mode = Resize;
            else if (s.contains(e.x, e.y) || !resizable()) mode = Move;
            else {
                mode = Draw;
                rect.x = int16_t(px);
                rect.y = int16_t(py);
            }
            grabX = px - rect.x;
            grabY = py - rect.y;
            if (mode == Move && !s.contains(e.x, e.y)) grabX = rect.width / 2, grabY = rect.height / 2;
            dragStart = Rect{rect.x, rect.y, rect.width, rect.height};
        }
        if ((e.type == InputEvent::MouseMove || e.type == InputEvent::MouseDown || e.type == InputEvent::MouseUp) &&
            mode != None) {
            if (mode == Move) {
                rect.x = int16_t(px - grabX);
                rect.y = int16_t(py - grabY);
            } else if (mode == Resize) {
                rect.width = int16_t(px - rect.x);
                rect.height = int16_t(py - rect.y);
            } else {
                rect.x = int16_t(std::min(px, dragStart.x));
                rect.y = int16_t(std::min(py, dragStart.y));
                rect.width = int16_t(std::abs(px - dragStart.x));
                rect.height = int16_t(std::abs(py - dragStart.y));
            }
            limit();
            changed = changed || differs(before);
            if (e.type == InputEvent::MouseUp) mode = None;
            return true;
        }
        return false;
    }

    bool key(uint32_t k) override
    {
        uint32_t base = k & ~KEY_QUALIFIERS;
        bool size = (k & KEY_SHIFT) && resizable();
        int dx = base == KEY_LEFT ? -1 : base == KEY_RIGHT ? 1 : 0;
        int dy = base == KEY_UP ? -1 : base == KEY_DOWN ? 1 : 0;
        if (!dx && !dy) return false;
        const RectParam before = rect;
        if (size) {
            rect.width = int16_t(rect.width + dx);
            rect.height = int16_t(rect.height + dy);
        } else {
            rect.x = int16_t(rect.x + dx);
            rect.y = int16_t(rect.y + dy);
        }
        limit();
        changed = changed || differs(before);
        return true;
    }

    bool findText(const std::string &s, Rect, Rect &found) override { return buttonText(*this, s, found); }

    void draw(Canvas &c, Rect at) override
    {
        Rect s = shown();
        Rect saved = c.clip;
        for (int i = 0; i < s.w; ++i) {
            Rgba col = (i / 4) % 2 ? Rgba{0, 0, 0, 255} : Rgba{255, 230, 0, 255};
            c.fill(Rect{s.x + i, s.y, 1, 2}, col);
            c.fill(Rect{s.x + i, s.y + s.h - 2, 1, 2}, col);
        }
        for (int i = 0; i < s.h; ++i) {
            Rgba col = (i / 4) % 2 ? Rgba{0, 0, 0, 255} : Rgba{255, 230, 0, 255};
            c.fill(Rect{s.x, s.y + i, 2, 1}, col);
            c.fill(Rect{s.x + s.w - 2, s.y + i, 2, 1}, col);
        }
        if (resizable()) c.fill(Rect{s.x + s.w - 4, s.y + s.h - 4, 8, 8}, Rgba{255, 230, 0, 255});
        c.clip = saved;
        char buf[96];
        std::snprintf(buf, sizeof buf, "x %d  y %d  %d x %d", rect.x, rect.y, rect.width, rect.height);
        c.text(at.x + 12, at.y + (at.h - fontH()) / 2, buf, inkOn(), fontH());
    }
};

} // namespace

int32_t runAreaRequest(RectParam &rect)
{
    AreaDialog d;
    d.rect = rect;
    // The picture lies on monitor 2, which the editor's screen itself is
    // when the GUI shows on the video monitor.
    d.surface = settings().defaultMonitor == 1 || !topScreen() ? SurfaceId::Monitor : SurfaceId::Screen;
    d.limit();
    int w = 420, h = rowH() + 16;
    int sw = surfaceWidth(d.surface), sh = surfaceHeight(d.surface);
    Rect at{std::max(0, (sw - w) / 2), std::max(0, sh - h - 8), w, h};
    d.panel = createDialogPanel(d.surface, at);
    d.defaultButton = addButton(d, Rect{w - 200, 8, 90, rowH()}, "OK", [&d] { d.accept(); });
    d.cancelButton = addButton(d, Rect{w - 102, 8, 90, rowH()}, "Cancel", [&d] { d.cancel(); });
    runDialog(d);
    if (!d.accepted) return 1;
    if (!d.changed) return 0;
    rect.x = d.rect.x;
    rect.y = d.rect.y;
    rect.width = d.rect.width;
    rect.height = d.rect.height;
    return 0;
}

} // namespace hostgui
