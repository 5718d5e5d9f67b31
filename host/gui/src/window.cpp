// The window front end: the GUI screen and monitor 2 side by side in one
// SDL2 window; mouse and keys become the toolkit's input events.
#include <SDL.h>

#include "frontend.h"
#include "hostgui/registry.h"
#include "hostgui/surfaces.h"
#include "hostgui/input.h"

namespace hostgui {

namespace {

constexpr int GAP = 8;

class WindowFrontEnd : public FrontEnd {
public:
    ~WindowFrontEnd() override
    {
        if (busyCursor_) SDL_FreeCursor(busyCursor_);
        if (arrowCursor_) SDL_FreeCursor(arrowCursor_);
        if (texture_) SDL_DestroyTexture(texture_);
        if (renderer_) SDL_DestroyRenderer(renderer_);
        if (window_) SDL_DestroyWindow(window_);
        SDL_QuitSubSystem(SDL_INIT_VIDEO);
    }

    bool open(std::string &error)
    {
        if (SDL_InitSubSystem(SDL_INIT_VIDEO) != 0) {
            error = SDL_GetError();
            return false;
        }
        layout();
        window_ = SDL_CreateWindow("ophost", SDL_WINDOWPOS_CENTERED, SDL_WINDOWPOS_CENTERED, deskW_, deskH_,
                                   SDL_WINDOW_RESIZABLE);
        if (!window_) {
            error = SDL_GetError();
            return false;
        }
        renderer_ = SDL_CreateRenderer(window_, -1, 0);
        if (!renderer_) {
            error = SDL_GetError();
            return false;
        }
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
        layout();
        bool resized = texW_ != deskW_ || texH_ != deskH_;
        if (texture_ && resized) {
            SDL_DestroyTexture(texture_);
            texture_ = nullptr;
        }
        if (!texture_) {
            // A new screen size: fit the window to the desk again.
            if (texW_ && resized) SDL_SetWindowSize(window_, deskW_, deskH_);
            texture_ = SDL_CreateTexture(renderer_, SDL_PIXELFORMAT_ABGR8888, SDL_TEXTUREACCESS_STREAMING, deskW_, deskH_);
            texW_ = deskW_;
            texH_ = deskH_;
            SDL_RenderSetLogicalSize(renderer_, deskW_, deskH_);
            SDL_SetWindowTitle(window_, topScreen() ? topScreen()->title.c_str() : "ophost");
        }
        if (!texture_) return;
        std::vector<Rgba> desk(size_t(deskW_) * size_t(deskH_), Rgba{16, 16, 16, 255});
        Canvas c;
        compose(SurfaceId::Screen, c);
        blit(desk, c, 0);
        compose(SurfaceId::Monitor, c);
        blit(desk, c, monitorX_);
        SDL_UpdateTexture(texture_, nullptr, desk.data(), deskW_ * 4);
        SDL_RenderClear(renderer_);
        SDL_RenderCopy(renderer_, texture_, nullptr, nullptr);
        SDL_RenderPresent(renderer_);
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
        int ww, wh;
        SDL_GetWindowSize(window_, &ww, &wh);
        SDL_WarpMouseInWindow(window_, x * ww / std::max(1, deskW_), y * wh / std::max(1, deskH_));
    }

    bool isWindow() const override { return true; }

private:
    SDL_Window *window_ = nullptr;
    SDL_Renderer *renderer_ = nullptr;
    SDL_Texture *texture_ = nullptr;
    SDL_Cursor *busyCursor_ = nullptr, *arrowCursor_ = nullptr;
    int texW_ = 0, texH_ = 0;
    int deskW_ = 0, deskH_ = 0, monitorX_ = 0;

    void layout()
    {
        int sw = surfaceWidth(SurfaceId::Screen), sh = surfaceHeight(SurfaceId::Screen);
        int mw = surfaceWidth(SurfaceId::Monitor), mh = surfaceHeight(SurfaceId::Monitor);
        monitorX_ = sw + GAP;
        deskW_ = sw + GAP + mw;
        deskH_ = std::max(sh, mh);
    }

    void blit(std::vector<Rgba> &desk, const Canvas &c, int x0)
    {
        for (int y = 0; y < c.height && y < deskH_; ++y)
            for (int x = 0; x < c.width && x0 + x < deskW_; ++x)
                desk[size_t(y) * size_t(deskW_) + size_t(x0 + x)] = c.pixels[size_t(y) * size_t(c.width) + size_t(x)];
    }

    void place(int x, int y, InputEvent &event)
    {
        if (x >= monitorX_) {
            event.surface = SurfaceId::Monitor;
            event.x = x - monitorX_;
        } else {
            event.surface = SurfaceId::Screen;
            event.x = x;
        }
        event.y = y;
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
        case SDL_MOUSEMOTION:
            event.type = InputEvent::MouseMove;
            place(e.motion.x, e.motion.y, event);
            return true;
        case SDL_MOUSEBUTTONDOWN:
        case SDL_MOUSEBUTTONUP:
            if (e.button.button != SDL_BUTTON_LEFT) return false;
            event.type = e.type == SDL_MOUSEBUTTONDOWN ? InputEvent::MouseDown : InputEvent::MouseUp;
            place(e.button.x, e.button.y, event);
            return true;
        case SDL_MOUSEWHEEL: {
            event.type = InputEvent::Wheel;
            int x, y;
            SDL_GetMouseState(&x, &y);
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
