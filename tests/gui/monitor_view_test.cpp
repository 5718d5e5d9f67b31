// Monitor 2 in a window: the placement of a surface at any scale or zoom,
// the exact way back from a window point to the surface, and the views
// switched by script lines and keys.
#include <gtest/gtest.h>

#include "contract/gui_calls.h"
#include "hostgui/monitor_view.h"
#include "hostgui/surfaces.h"
#include "hostrt/gui_session.h"

using namespace hostgui;

namespace {

struct Placement {
    const char *name;
    int sw, sh, aw, ah, zoom, cx, cy;
};

const Placement PLACEMENTS[] = {
    {"1:1", 1280, 720, 1280, 720, 0, 0, 0},
    {"half", 1280, 720, 640, 360, 0, 0, 0},
    {"two thirds", 1280, 720, 853, 480, 0, 0, 0},
    {"a third", 720, 576, 240, 192, 0, 0, 0},
    {"odd sizes, wider area", 721, 577, 400, 250, 0, 0, 0},
    {"odd sizes, taller area", 721, 577, 333, 500, 0, 0, 0},
    {"enlarged", 100, 75, 401, 300, 0, 0, 0},
    {"zoom 1:1 in a small area", 1280, 720, 500, 300, 1, 640, 360},
    {"zoom 2:1 at the right edge", 1280, 720, 640, 360, 2, 1279, 10},
    {"zoom 4:1 at the top left", 721, 577, 333, 250, 4, 0, 0},
};

} // namespace

TEST(MonitorPlacement, EveryShownPixelMapsBackAndDragsGiveTheUnscaledRectangle)
{
    for (const Placement &p : PLACEMENTS) {
        SCOPED_TRACE(p.name);
        const ViewPlacement v = placeView(p.sw, p.sh, p.aw, p.ah, p.zoom, p.cx, p.cy);
        // Inside the area, inside the surface, the aspect kept when fitted.
        ASSERT_GT(v.dst.w, 0);
        ASSERT_GT(v.dst.h, 0);
        EXPECT_LE(v.dst.w, p.aw);
        EXPECT_LE(v.dst.h, p.ah);
        EXPECT_GE(v.src.x, 0);
        EXPECT_GE(v.src.y, 0);
        EXPECT_LE(v.src.x + v.src.w, p.sw);
        EXPECT_LE(v.src.y + v.src.h, p.sh);
        if (p.zoom == 0) {
            EXPECT_TRUE(v.dst.w == p.aw || v.dst.h == p.ah);
            EXPECT_NEAR(double(v.dst.w) / v.dst.h, double(p.sw) / p.sh, 2.0 / std::min(v.dst.w, v.dst.h));
        } else {
            EXPECT_EQ(v.dst.w, v.src.w * p.zoom);
            EXPECT_EQ(v.dst.h, v.src.h * p.zoom);
        }

        // Along each axis the mapping starts at src, never goes back, and
        // every surface pixel it reports as shown maps back to itself.
        int shownX = 0, last = -1;
        for (int wx = v.dst.x; wx < v.dst.x + v.dst.w; ++wx) {
            int sx, sy;
            windowToSurface(v, wx, v.dst.y, sx, sy);
            if (wx == v.dst.x) {
                EXPECT_EQ(sx, v.src.x);
            }
            ASSERT_GE(sx, last);
            ASSERT_LT(sx, v.src.x + v.src.w);
            last = sx;
        }
        for (int sx = v.src.x; sx < v.src.x + v.src.w; ++sx) {
            int wx, wy, bx, by;
            if (!surfaceToWindow(v, sx, v.src.y, wx, wy)) continue;
            ++shownX;
            windowToSurface(v, wx, wy, bx, by);
            ASSERT_EQ(bx, sx);
            ASSERT_EQ(by, v.src.y);
            // The window pixel before it shows an earlier surface pixel.
            if (wx > v.dst.x) {
                windowToSurface(v, wx - 1, wy, bx, by);
                ASSERT_LT(bx, sx);
            }
        }
        if (v.dst.w >= v.src.w) {
            EXPECT_EQ(shownX, v.src.w) << "an enlargement shows every pixel";
        } else {
            EXPECT_EQ(shownX, v.dst.w) << "a reduction shows one surface pixel per window pixel";
        }

        // Rectangles between shown pixels, dragged from any corner to the
        // opposite one, give the rectangle an unscaled monitor gives.
        const ViewPlacement unscaled = placeView(p.sw, p.sh, p.sw, p.sh, 0);
        const int xs[] = {v.src.x, v.src.x + v.src.w / 3, v.src.x + v.src.w - 1};
        const int ys[] = {v.src.y, v.src.y + v.src.h / 2, v.src.y + v.src.h - 1};
        for (int x0 : xs)
            for (int y0 : ys)
                for (int x1 : xs)
                    for (int y1 : ys) {
                        int ax, ay, bx, by, cx, cy, dx, dy;
                        if (!surfaceToWindow(v, x0, y0, ax, ay) || !surfaceToWindow(v, x1, y1, bx, by)) continue;
                        ASSERT_TRUE(surfaceToWindow(v, x0, y1, cx, cy));
                        ASSERT_TRUE(surfaceToWindow(v, x1, y0, dx, dy));
                        const Rect want = dragToSurface(unscaled, x0, y0, x1, y1);
                        EXPECT_EQ(want.x, std::min(x0, x1));
                        EXPECT_EQ(want.w, std::abs(x1 - x0) + 1);
                        for (const Rect &got : {dragToSurface(v, ax, ay, bx, by), dragToSurface(v, bx, by, ax, ay),
                                                dragToSurface(v, cx, cy, dx, dy), dragToSurface(v, dx, dy, cx, cy)}) {
                            EXPECT_EQ(got.x, want.x);
                            EXPECT_EQ(got.y, want.y);
                            EXPECT_EQ(got.w, want.w);
                            EXPECT_EQ(got.h, want.h);
                        }
                    }

        // A drag from beyond one corner to beyond the other takes the whole
        // shown part, its last row and column too (when zoomed, the part
        // the window shows).
        const Rect all = dragToSurface(v, v.dst.x - 5, v.dst.y + v.dst.h + 7, v.dst.x + v.dst.w + 3, v.dst.y - 9);
        EXPECT_EQ(all.x, v.src.x);
        EXPECT_EQ(all.y, v.src.y);
        EXPECT_EQ(all.x + all.w, v.src.x + v.src.w);
        EXPECT_EQ(all.y + all.h, v.src.y + v.src.h);
    }
}

TEST(MonitorPlacement, DrawnPixelsAreTheMappedOnes)
{
    Canvas from;
    from.resize(37, 23);
    for (size_t i = 0; i < from.pixels.size(); ++i)
        from.pixels[i] = Rgba{uint8_t(i % 37), uint8_t(i / 37), uint8_t(i * 7), 255};
    for (int zoom : {0, 2}) {
        const ViewPlacement v = placeView(37, 23, 25, 31, zoom, 30, 2);
        Canvas to;
        to.resize(25, 31);
        to.fill(Rect{0, 0, 25, 31}, Rgba{1, 2, 3, 255});
        drawPlaced(from, v, to);
        for (int y = 0; y < 31; ++y)
            for (int x = 0; x < 25; ++x) {
                const Rgba got = to.pixels[size_t(y) * 25 + size_t(x)];
                if (!v.dst.contains(x, y)) {
                    EXPECT_EQ(got.b, 3) << "outside the picture";
                    continue;
                }
                int sx, sy;
                windowToSurface(v, x, y, sx, sy);
                EXPECT_EQ(got.r, sx);
                EXPECT_EQ(got.g, sy);
            }
    }
}

TEST(MonitorTimecode, CountsFramesSecondsMinutesHours)
{
    const struct {
        int frame, fps;
        const char *want;
    } cases[] = {
        {0, 25, "00:00:00:00"},  {24, 25, "00:00:00:24"},  {25, 25, "00:00:01:00"}, {1499, 25, "00:00:59:24"},
        {90000, 25, "01:00:00:00"}, {-3, 25, "00:00:00:00"}, {30, 0, "00:00:30:00"}, {61, 30, "00:00:02:01"},
    };
    for (const auto &c : cases) EXPECT_EQ(timecode(c.frame, c.fps), c.want) << c.frame << " at " << c.fps;
}

TEST(MonitorViews, ScriptLinesAndKeysSwitchWhatMonitor2Shows)
{
    hostrt::gui::resetGui();
    GuiSettings s;
    s.monitorWidth = 4;
    s.monitorHeight = 2;
    s.monitorView = int(MonitorView::Key);
    hostrt::gui::setGuiSettings(s);
    setColorBar(false);
    // A V U Y, a picture whose key differs from its luma.
    const uint8_t pixels[8 * 4] = {0,  128, 128, 200, 255, 128, 128, 200, 77,  128, 128, 16,  0,   0, 0, 0,
                                   10, 240, 90,  100, 11,  240, 90,  100, 12,  240, 90,  100, 254, 1, 1, 1};
    drawOverlay(SurfaceId::Monitor, pixels, 16, 0, 0, 4, 2);
    auto redAt = [](int x, int y) {
        const Framebuffer fb = hostrt::gui::capture(SurfaceId::Monitor);
        return fb.rgba[(size_t(y) * size_t(fb.width) + size_t(x)) * 4];
    };
    // The settings' view at opening: every pixel's key as grey.
    const uint8_t keys[] = {0, 255, 77, 0, 10, 11, 12, 254};
    for (int i = 0; i < 8; ++i) EXPECT_EQ(redAt(i % 4, i / 4), keys[i]) << i;

    const struct {
        const char *script;
        MonitorView want;
        int zoom;
    } cases[] = {
        {"view composite\n", MonitorView::Composite, 0}, {"view background\n", MonitorView::Background, 0},
        {"key 2\n", MonitorView::Key, 0},                 {"key 3\nkey z\n", MonitorView::Foreground, 1},
        {"key 4\nkey z\nkey z\nkey z\nkey z\n", MonitorView::Background, 0},
        // Keys with Ctrl or Alt are the editor's, not the views'.
        {"key 1\nkey alt+2\nkey ctrl+3\n", MonitorView::Composite, 0},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.script);
        hostgui::setMonitorZoom(0);
        hostrt::gui::setScript(std::string(c.script) + "key Return\n", "views");
        TextRequest t{0, "Question?", 0, 0, 0, TEXT_YESNO, 0, 5};
        EXPECT_EQ(treqTextRequest(&t), 0);
        EXPECT_TRUE(hostrt::gui::scriptErrors().empty());
        EXPECT_EQ(monitorView(), c.want);
        EXPECT_EQ(monitorZoom(), c.zoom);
    }
    // The composite shows the picture; an input view without input is black.
    setMonitorView(MonitorView::Composite);
    EXPECT_EQ(redAt(0, 0), yuvToRgb(200, 128, 128).r);
    setMonitorView(MonitorView::Foreground);
    EXPECT_EQ(redAt(0, 0), 0);
    // Panning stays on the surface.
    for (int i = 0; i < 5; ++i) monitorViewKey('l' | KEY_SHIFT);
    int cx, cy;
    monitorCentre(cx, cy);
    EXPECT_EQ(cx, 3);

    hostrt::gui::setScript("view sideways\n", "views");
    TextRequest t{0, "Question?", 0, 0, 0, TEXT_YESNO, 0, 5};
    treqTextRequest(&t);
    ASSERT_EQ(hostrt::gui::scriptErrors().size(), 1u);
    EXPECT_EQ(hostrt::gui::scriptErrors()[0], "views:1: usage: view composite|key|foreground|background");
    hostrt::gui::resetGui();
}
