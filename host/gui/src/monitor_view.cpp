// Monitor 2's views, the window's placement of a surface, and the exact
// mapping between window and surface pixels.
#include <algorithm>
#include <cstdio>

#include "hostgui/monitor_view.h"
#include "hostgui/settings.h"
#include "hostgui/surfaces.h"
#include "hostgui/toolkit.h"

namespace hostgui {

struct KeptField {
    int number = -1, width = 0, height = 0;
    std::vector<Pixel> pixels;
};

struct MonitorViewState {
    int view = -1;            // -1: the settings' view
    int zoomStep = 0;
    int centreX = -1, centreY = -1;
    int shownFrame = -1;
    int sectionStart = 0;
    bool keepInputs = false;  // only a host that shows monitor 2 pays for the copies
    // The two fields of each input fetched last.
    KeptField kept[2][2];
};

namespace {

MonitorViewState &mv() { return current().monitorView.get(); }

constexpr const char *VIEW_NAMES[] = {"composite", "key", "foreground", "background"};
constexpr int PAN_STEP = 32;

} // namespace

bool parseMonitorView(const std::string &word, MonitorView &view)
{
    for (int i = 0; i < 4; ++i)
        if (word == VIEW_NAMES[i]) {
            view = MonitorView(i);
            return true;
        }
    return false;
}

const char *monitorViewName(MonitorView view)
{
    const int i = int(view);
    return i >= 0 && i < 4 ? VIEW_NAMES[i] : "composite";
}

ViewPlacement placeView(int surfaceW, int surfaceH, int areaW, int areaH, int zoom, int centreX, int centreY)
{
    ViewPlacement v;
    if (surfaceW <= 0 || surfaceH <= 0 || areaW <= 0 || areaH <= 0) return v;
    if (zoom <= 0) {
        v.src = Rect{0, 0, surfaceW, surfaceH};
        const int64_t sw = surfaceW, sh = surfaceH, aw = areaW, ah = areaH;
        if (aw * sh <= ah * sw) {
            v.dst.w = areaW;
            v.dst.h = int(std::clamp<int64_t>((sh * aw + sw / 2) / sw, 1, ah));
        } else {
            v.dst.h = areaH;
            v.dst.w = int(std::clamp<int64_t>((sw * ah + sh / 2) / sh, 1, aw));
        }
    } else {
        const int w = std::min(surfaceW, std::max(1, areaW / zoom));
        const int h = std::min(surfaceH, std::max(1, areaH / zoom));
        v.src = Rect{std::clamp(centreX - w / 2, 0, surfaceW - w), std::clamp(centreY - h / 2, 0, surfaceH - h), w, h};
        v.dst.w = w * zoom;
        v.dst.h = h * zoom;
    }
    v.dst.x = (areaW - v.dst.w) / 2;
    v.dst.y = (areaH - v.dst.h) / 2;
    return v;
}

namespace {

// One axis of windowToSurface: window offset `r` in a span of `d` window
// pixels showing `s` surface pixels.
int toSurface(int r, int d, int s)
{
    // Beyond the picture: its border, which a reduced view may not show.
    if (r < 0) return 0;
    if (r >= d) return s - 1;
    return int(int64_t(r) * s / d);
}

// The first window offset that shows surface offset k, or -1.
int toWindow(int k, int d, int s)
{
    if (k < 0 || k >= s) return -1;
    const int64_t r = (int64_t(k) * d + s - 1) / s;
    if (r >= d || toSurface(int(r), d, s) != k) return -1;
    return int(r);
}

} // namespace

void windowToSurface(const ViewPlacement &v, int wx, int wy, int &sx, int &sy)
{
    if (v.dst.w <= 0 || v.dst.h <= 0) {
        sx = sy = 0;
        return;
    }
    sx = v.src.x + toSurface(wx - v.dst.x, v.dst.w, v.src.w);
    sy = v.src.y + toSurface(wy - v.dst.y, v.dst.h, v.src.h);
}

bool surfaceToWindow(const ViewPlacement &v, int sx, int sy, int &wx, int &wy)
{
    const int rx = toWindow(sx - v.src.x, v.dst.w, v.src.w);
    const int ry = toWindow(sy - v.src.y, v.dst.h, v.src.h);
    if (rx < 0 || ry < 0) return false;
    wx = v.dst.x + rx;
    wy = v.dst.y + ry;
    return true;
}

Rect dragToSurface(const ViewPlacement &v, int ax, int ay, int bx, int by)
{
    int x0, y0, x1, y1;
    windowToSurface(v, ax, ay, x0, y0);
    windowToSurface(v, bx, by, x1, y1);
    if (x1 < x0) std::swap(x0, x1);
    if (y1 < y0) std::swap(y0, y1);
    return Rect{x0, y0, x1 - x0 + 1, y1 - y0 + 1};
}

void drawPlaced(const Canvas &from, const ViewPlacement &v, Canvas &to)
{
    if (v.dst.w <= 0 || v.dst.h <= 0 || from.width <= 0 || from.height <= 0) return;
    const int x0 = std::max(0, v.dst.x), x1 = std::min(to.width, v.dst.x + v.dst.w);
    const int y0 = std::max(0, v.dst.y), y1 = std::min(to.height, v.dst.y + v.dst.h);
    if (x0 >= x1) return;
    std::vector<int> column(size_t(x1 - x0));
    for (int x = x0; x < x1; ++x)
        column[size_t(x - x0)] = std::min(from.width - 1, v.src.x + toSurface(x - v.dst.x, v.dst.w, v.src.w));
    for (int y = y0; y < y1; ++y) {
        const int sy = std::min(from.height - 1, v.src.y + toSurface(y - v.dst.y, v.dst.h, v.src.h));
        const Rgba *row = &from.pixels[size_t(sy) * size_t(from.width)];
        Rgba *out = &to.pixels[size_t(y) * size_t(to.width)];
        for (int x = x0; x < x1; ++x) out[x] = row[column[size_t(x - x0)]];
    }
}

std::string timecode(int frame, int fps)
{
    fps = std::max(1, fps);
    frame = std::max(0, frame);
    const int f = frame % fps, s = frame / fps;
    char text[32];
    std::snprintf(text, sizeof text, "%02d:%02d:%02d:%02d", s / 3600, s / 60 % 60, s % 60, f);
    return text;
}

// ---------------------------------------------------------------- state

void setMonitorView(MonitorView view) { mv().view = int(view); }

MonitorView monitorView()
{
    const int v = mv().view >= 0 ? mv().view : settings().monitorView;
    return v >= 0 && v < 4 ? MonitorView(v) : MonitorView::Composite;
}

void setMonitorZoom(int step)
{
    MonitorViewState &s = mv();
    const int n = int(std::size(ZOOM_STEPS));
    s.zoomStep = ((step % n) + n) % n;
    if (s.zoomStep == 0) s.centreX = s.centreY = -1;
}

int monitorZoom() { return mv().zoomStep; }

void monitorCentre(int &x, int &y)
{
    const MonitorViewState &s = mv();
    x = s.centreX >= 0 ? s.centreX : surfaceWidth(SurfaceId::Monitor) / 2;
    y = s.centreY >= 0 ? s.centreY : surfaceHeight(SurfaceId::Monitor) / 2;
}

void panMonitor(int dx, int dy)
{
    int x, y;
    monitorCentre(x, y);
    mv().centreX = std::clamp(x + dx, 0, std::max(0, surfaceWidth(SurfaceId::Monitor) - 1));
    mv().centreY = std::clamp(y + dy, 0, std::max(0, surfaceHeight(SurfaceId::Monitor) - 1));
}

void setShownFrame(int frame) { mv().shownFrame = frame; }
int shownFrame() { return mv().shownFrame; }
void setSectionStart(int frame)
{
    mv().sectionStart = frame;
    mv().keepInputs = true;
}

void keepInputField(int input, int fieldNumber, int width, int height, const std::vector<Pixel> &pixels)
{
    if (input < 0 || input > 1 || fieldNumber < 0 || !mv().keepInputs) return;
    KeptField &k = mv().kept[input][fieldNumber % 2];
    k.number = fieldNumber;
    k.width = width;
    k.height = height;
    k.pixels = pixels;
    mv().shownFrame = mv().sectionStart + fieldNumber / 2;
}

// The woven frame of an input's last fetched field; false when none.
bool inputFrame(int input, int &width, int &height, std::vector<Pixel> &frame)
{
    if (input < 0 || input > 1) return false;
    const KeptField *f = mv().kept[input];
    const int last = f[0].number > f[1].number ? 0 : 1;
    if (f[last].number < 0 || f[last].width <= 0 || f[last].height <= 0) return false;
    // The frame's other field when it was fetched for the same frame and
    // has the same size; else the last field doubled.
    const KeptField &top = f[last], &other = f[1 - last];
    const bool pair = other.number / 2 == top.number / 2 && other.number >= 0 && other.width == top.width &&
                      other.height == top.height;
    width = top.width;
    height = top.height * 2;
    frame.resize(size_t(width) * size_t(height));
    for (int row = 0; row < height; ++row) {
        const KeptField &src = pair ? f[row % 2] : top;
        std::copy_n(&src.pixels[size_t(row / 2) * size_t(width)], size_t(width), &frame[size_t(row) * size_t(width)]);
    }
    return true;
}

bool monitorViewKey(uint32_t key)
{
    if (key & (KEY_CTRL | KEY_ALT)) return false;
    const uint32_t base = key & ~KEY_QUALIFIERS;
    const int step = (key & KEY_SHIFT) ? PAN_STEP * 4 : PAN_STEP;
    switch (base) {
    case '1': setMonitorView(MonitorView::Composite); return true;
    case '2': setMonitorView(MonitorView::Key); return true;
    case '3': setMonitorView(MonitorView::Foreground); return true;
    case '4': setMonitorView(MonitorView::Background); return true;
    case 'z': setMonitorZoom(monitorZoom() + 1); return true;
    case 'h': panMonitor(-step, 0); return true;
    case 'l': panMonitor(step, 0); return true;
    case 'k': panMonitor(0, -step); return true;
    case 'j': panMonitor(0, step); return true;
    default: return false;
    }
}

std::string monitorHelpLine()
{
    return "1 composite  2 key  3 foreground  4 background  z zoom  h j k l pan";
}

std::string monitorFrameLine()
{
    static const char *const zooms[] = {"fit", "1:1", "2:1", "4:1"};
    std::string line = std::string(monitorViewName(monitorView())) + "  " + zooms[monitorZoom()];
    const int frame = shownFrame();
    if (frame >= 0) line += "  frame " + std::to_string(frame) + "  " + timecode(frame, settings().framesPerSecond);
    return line;
}

void resetMonitorView() { mv() = MonitorViewState{}; }

} // namespace hostgui
