// The window front end: the GUI screen and monitor 2 in two SDL2 windows,
// each drawn at a size that fits the display; mouse and keys become the
// toolkit's input events, with window points mapped back to the surface
// the window shows.
#include <SDL.h>

#include <algorithm>
#include <cstdlib>

#include "frontend.h"
#include "hostgui/monitor_view.h"
#include "hostgui/registry.h"
#include "hostgui/settings.h"
#include "hostgui/surfaces.h"
#include "hostgui/input.h"

namespace hostgui {

namespace {

constexpr int GAP = 8;
// Room left for a window's title bar and frame when sizing it.
constexpr int DECORATION = 48;
// Monitor 2's window keeps at least this much of the display's width.
constexpr int MIN_MONITOR_WIDTH = 320;

// One window showing one surface.
struct View {
    SDL_Window *window = nullptr;
    SDL_Renderer *renderer = nullptr;
    SDL_Texture *texture = nullptr;
    int texW = 0, texH = 0;
    ViewPlacement placement;

    void destroy()
    {
        if (texture) SDL_DestroyTexture(texture);
        if (renderer) SDL_DestroyRenderer(renderer);
        if (window) SDL_DestroyWindow(window);
        texture = nullptr;
        renderer = nullptr;
        window = nullptr;
    }

    bool open(const char *title, int x, int y, int w, int h, std::string &error)
    {
        window = SDL_CreateWindow(title, x, y, std::max(1, w), std::max(1, h), SDL_WINDOW_RESIZABLE);
        if (!window) {
            error = SDL_GetError();
            return false;
        }
        renderer = SDL_CreateRenderer(window, -1, 0);
        if (!renderer) {
            error = SDL_GetError();
            return false;
        }
        return true;
    }

    void show(const Canvas &c)
    {
        if (texture && (texW != c.width || texH != c.height)) {
            SDL_DestroyTexture(texture);
            texture = nullptr;
        }
        if (!texture) {
            texture = SDL_CreateTexture(renderer, SDL_PIXELFORMAT_ABGR8888, SDL_TEXTUREACCESS_STREAMING, c.width,
                                        c.height);
            texW = c.width;
            texH = c.height;
        }
        if (!texture) return;
        SDL_UpdateTexture(texture, nullptr, c.pixels.data(), c.width * 4);
        SDL_RenderClear(renderer);
        SDL_RenderCopy(renderer, texture, nullptr, nullptr);
        SDL_RenderPresent(renderer);
    }

    void size(int &w, int &h) const
    {
        SDL_GetRendererOutputSize(renderer, &w, &h);
        w = std::max(1, w);
        h = std::max(1, h);
    }
};

class WindowFrontEnd : public FrontEnd {
public:
    ~WindowFrontEnd() override
    {
        if (busyCursor_) SDL_FreeCursor(busyCursor_);
        if (arrowCursor_) SDL_FreeCursor(arrowCursor_);
        monitor_.destroy();
        screen_.destroy();
        SDL_QuitSubSystem(SDL_INIT_VIDEO);
    }

    bool open(std::string &error)
    {
        if (SDL_InitSubSystem(SDL_INIT_VIDEO) != 0) {
            error = SDL_GetError();
            return false;
        }
        SDL_Rect usable{0, 0, 1280, 1024};
        if (SDL_GetDisplayUsableBounds(0, &usable) != 0) SDL_GetDisplayBounds(0, &usable);
        usable.h = std::max(200, usable.h - DECORATION);
        const int sw = surfaceWidth(SurfaceId::Screen), sh = surfaceHeight(SurfaceId::Screen);
        // The screen at 1:1 when it fits, else as large as fits.
        const ViewPlacement fitScreen = placeView(sw, sh, std::min(sw, usable.w), std::min(sh, usable.h), 0);
        // Monitor 2 beside it when there is room, else over the right half.
        int room = usable.w - fitScreen.dst.w - GAP;
        if (room < MIN_MONITOR_WIDTH) room = usable.w / 2;
        const int mw = surfaceWidth(SurfaceId::Monitor), mh = surfaceHeight(SurfaceId::Monitor);
        const ViewPlacement fitMonitor =
            placeView(mw, mh, std::min(mw, room), std::min(mh, usable.h - footHeight()), 0);
        if (!screen_.open("ophost", usable.x, usable.y, fitScreen.dst.w, fitScreen.dst.h, error)) return false;
        if (!monitor_.open("ophost: monitor 2", usable.x + usable.w - fitMonitor.dst.w, usable.y, fitMonitor.dst.w,
                           fitMonitor.dst.h + footHeight(), error))
            return false;
        SDL_StartTextInput();
        return true;
    }

    bool wait(InputEvent &event) override
    {
        for (;;) {
            SDL_Event e;
            if (!SDL_WaitEvent(&e)) return false;
            if (convert(e, event)) return true;
            if (e.type == SDL_WINDOWEVENT) present();
        }
    }

    bool poll(InputEvent &event) override
    {
        SDL_Event e;
        while (SDL_PollEvent(&e))
            if (convert(e, event)) return true;
        return false;
    }

    void present() override
    {
        Canvas c;
        compose(SurfaceId::Screen, c);
        if (screenW_ != c.width || screenH_ != c.height) {
            // A new screen size: fit its window to it again.
            if (screenW_) SDL_SetWindowSize(screen_.window, c.width, c.height);
            screenW_ = c.width;
            screenH_ = c.height;
        }
        const std::string title = topScreen() ? topScreen()->title : "ophost";
        if (title != title_) SDL_SetWindowTitle(screen_.window, title.c_str());
        title_ = title;
        showPlaced(screen_, c, 0, 0);

        compose(SurfaceId::Monitor, c);
        keepMonitorAspect(c.width, c.height);
        int cx, cy;
        monitorCentre(cx, cy);
        showPlaced(monitor_, c, ZOOM_STEPS[monitorZoom()], footHeight(), cx, cy);
    }

    void pointerShape(bool busy) override
    {
        SDL_Cursor *&c = busy ? busyCursor_ : arrowCursor_;
        if (!c) c = SDL_CreateSystemCursor(busy ? SDL_SYSTEM_CURSOR_WAIT : SDL_SYSTEM_CURSOR_ARROW);
        if (c) SDL_SetCursor(c);
    }

    void frameDelay(int milliseconds) override { SDL_Delay(uint32_t(std::max(0, milliseconds))); }

    void warpPointer(int x, int y) override
    {
        int wx, wy;
        if (surfaceToWindow(screen_.placement, x, y, wx, wy)) SDL_WarpMouseInWindow(screen_.window, wx, wy);
    }

    bool isWindow() const override { return true; }

private:
    View screen_, monitor_;
    SDL_Cursor *busyCursor_ = nullptr, *arrowCursor_ = nullptr;
    int screenW_ = 0, screenH_ = 0;
    int lastMonitorW_ = 0, lastMonitorH_ = 0;
    std::string title_ = "ophost";

    // The help line and the frame line at the foot of monitor 2's window.
    static int footHeight() { return 2 * (settings().fontHeight + 6); }

    // Draws `c` into the view's window: `foot` pixels at the bottom hold the
    // monitor's lines, the rest shows the surface fitted or zoomed.
    void showPlaced(View &v, const Canvas &c, int zoom, int foot, int cx = 0, int cy = 0)
    {
        int w, h;
        v.size(w, h);
        Canvas out;
        out.resize(w, h);
        out.fill(Rect{0, 0, w, h}, Rgba{16, 16, 16, 255});
        v.placement = placeView(c.width, c.height, w, std::max(1, h - foot), zoom, cx, cy);
        drawPlaced(c, v.placement, out);
        if (foot > 0) {
            const int F = settings().fontHeight;
            const Rgba ink{220, 220, 220, 255};
            out.fill(Rect{0, h - foot, w, foot}, Rgba{32, 32, 32, 255});
            out.text(6, h - foot + 3, monitorFrameLine(), ink, F);
            out.text(6, h - foot / 2 + 3, monitorHelpLine(), ink, F);
        }
        v.show(out);
    }

    // Monitor 2's window keeps the surface's aspect when resized: its height
    // follows the width the user gave it.
    void keepMonitorAspect(int mw, int mh)
    {
        int w, h;
        SDL_GetWindowSize(monitor_.window, &w, &h);
        if (w == lastMonitorW_ && h == lastMonitorH_) return;
        const int want = int(int64_t(w) * mh / std::max(1, mw)) + footHeight();
        if (std::abs(want - h) > 1) {
            SDL_SetWindowSize(monitor_.window, w, want);
            h = want;
        }
        lastMonitorW_ = w;
        lastMonitorH_ = h;
    }

    // A window point: on which surface, and where on it.
    bool place(uint32_t windowId, int x, int y, InputEvent &event)
    {
        const bool onMonitor = monitor_.window && windowId == SDL_GetWindowID(monitor_.window);
        if (!onMonitor && windowId != SDL_GetWindowID(screen_.window)) return false;
        View &v = onMonitor ? monitor_ : screen_;
        // Window coordinates are in points; the placement is in pixels.
        int ww, wh, pw, ph;
        SDL_GetWindowSize(v.window, &ww, &wh);
        v.size(pw, ph);
        x = int(int64_t(x) * pw / std::max(1, ww));
        y = int(int64_t(y) * ph / std::max(1, wh));
        event.surface = onMonitor ? SurfaceId::Monitor : SurfaceId::Screen;
        windowToSurface(v.placement, x, y, event.x, event.y);
        return true;
    }

    static uint32_t qualifiers(uint16_t mod)
    {
        uint32_t q = 0;
        if (mod & KMOD_SHIFT) q |= KEY_SHIFT;
        if (mod & KMOD_ALT) q |= KEY_ALT;
        if (mod & KMOD_CTRL) q |= KEY_CTRL;
        return q;
    }

    static uint32_t keyCode(SDL_Keycode k)
    {
        switch (k) {
        case SDLK_ESCAPE: return KEY_ESCAPE;
        case SDLK_DELETE: return KEY_DELETE;
        case SDLK_BACKSPACE: return KEY_BACKSPACE;
        case SDLK_RETURN:
        case SDLK_KP_ENTER: return KEY_RETURN;
        case SDLK_TAB: return KEY_TAB;
        case SDLK_HOME: return KEY_HOME;
        case SDLK_END: return KEY_END;
        case SDLK_PAGEUP: return KEY_PAGEUP;
        case SDLK_PAGEDOWN: return KEY_PAGEDOWN;
        case SDLK_UP: return KEY_UP;
        case SDLK_DOWN: return KEY_DOWN;
        case SDLK_LEFT: return KEY_LEFT;
        case SDLK_RIGHT: return KEY_RIGHT;
        default: break;
        }
        if (k >= SDLK_F1 && k <= SDLK_F12) return KEY_F1 + uint32_t(k - SDLK_F1);
        if (k >= 32 && k < 127) return uint32_t(k);
        return 0;
    }

    bool convert(const SDL_Event &e, InputEvent &event)
    {
        switch (e.type) {
        case SDL_QUIT: event.type = InputEvent::Close; return true;
        case SDL_WINDOWEVENT:
            // Closing either window closes the editor.
            if (e.window.event != SDL_WINDOWEVENT_CLOSE) return false;
            event.type = InputEvent::Close;
            return true;
        case SDL_MOUSEMOTION:
            event.type = InputEvent::MouseMove;
            return place(e.motion.windowID, e.motion.x, e.motion.y, event);
        case SDL_MOUSEBUTTONDOWN:
        case SDL_MOUSEBUTTONUP:
            if (e.button.button != SDL_BUTTON_LEFT) return false;
            event.type = e.type == SDL_MOUSEBUTTONDOWN ? InputEvent::MouseDown : InputEvent::MouseUp;
            return place(e.button.windowID, e.button.x, e.button.y, event);
        case SDL_MOUSEWHEEL: {
            event.type = InputEvent::Wheel;
            const HoverPoint at = hoverPoint();
            event.surface = at.surface;
            event.x = at.x;
            event.y = at.y;
            event.amount = e.wheel.y;
            return true;
        }
        case SDL_KEYDOWN: {
            uint32_t k = keyCode(e.key.keysym.sym);
            if (!k) return false;
            event.type = InputEvent::Key;
            event.key = k | qualifiers(e.key.keysym.mod);
            return true;
        }
        case SDL_TEXTINPUT:
            event.type = InputEvent::Text;
            event.text = e.text.text;
            return true;
        default: return false;
        }
    }
};

} // namespace

std::unique_ptr<FrontEnd> makeWindowFrontEnd(std::string &error)
{
    auto fe = std::make_unique<WindowFrontEnd>();
    if (!fe->open(error)) return nullptr;
    return fe;
}

} // namespace hostgui
