// The editor in a real SDL2 window (run under a virtual display): it opens,
// answers the frame slider's keys and closes on the window's quit, leaving
// nothing held. Input comes as SDL events pushed from a helper thread, the
// way a user's keys would arrive.
#include <SDL.h>

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <thread>

#include "EditorState.h"
#include "SettingsTable.h"
#include "hostrt/gui_session.h"
#include "testsupport.h"

namespace zv = zenvarth;

namespace {

int32_t zenvarthAction(OperatorContext *ctx) { return zv::runAction(ctx); }

void pushKey(SDL_Keycode sym, Uint16 mod)
{
    SDL_Event e{};
    e.type = SDL_KEYDOWN;
    e.key.keysym.sym = sym;
    e.key.keysym.mod = mod;
    SDL_PushEvent(&e);
    e.type = SDL_KEYUP;
    SDL_PushEvent(&e);
}

TEST(EditorWindow, OpensAnswersTheFrameSliderAndCloses)
{
    const char *display = std::getenv("DISPLAY");
    if (!display || !*display) GTEST_SKIP() << "no display (run under xvfb-run)";
    hostrt::resetSession();
    hostrt::gui::resetGui();
    std::vector<hostrt::FieldImage> fg, bg;
    for (uint32_t f = 0; f < 8; ++f) {
        fg.push_back(testsupport::randomField(64, 32, f));
        bg.push_back(testsupport::randomField(64, 32, 50 + f));
    }
    hostrt::setInputFields(0, bg);
    hostrt::setInputFields(1, fg);
    hostrt::gui::GuiSettings gui;
    gui.monitorWidth = 64;
    gui.monitorHeight = 64;
    gui.connectedMonitors = 1;
    gui.frontEnd = hostrt::gui::FrontEndKind::Window;
    hostrt::gui::setGuiSettings(gui);
    zv::applyDefaultSettings();
    zv::settings.editorFrame = 0;

    // Once the window's video subsystem is up, the keys: shift+t takes the
    // frame slider, Right moves it one frame; then the window is closed.
    std::atomic<bool> pushed{false};
    std::thread user([&pushed] {
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
        while (!SDL_WasInit(SDL_INIT_VIDEO) && std::chrono::steady_clock::now() < deadline)
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        std::this_thread::sleep_for(std::chrono::milliseconds(300));
        pushKey(SDLK_t, KMOD_LSHIFT);
        pushKey(SDLK_RIGHT, KMOD_NONE);
        SDL_Event quit{};
        quit.type = SDL_QUIT;
        SDL_PushEvent(&quit);
        pushed = true;
    });
    OperatorContext ctx = hostrt::makeContext(OPACT_PARAMETER, 0, 16);
    ctx.paramIndex = 0;
    ctx.verticalPermille = 1000;
    EXPECT_EQ(hostrt::callOperator(zenvarthAction, ctx), 0);
    user.join();
    ASSERT_TRUE(pushed);
    EXPECT_TRUE(hostrt::gui::shownInWindow());
    EXPECT_EQ(hostrt::lastCallHeld(), 0u);
    EXPECT_EQ(zv::settings.editorFrame, 1u);
    EXPECT_EQ(zv::foregroundPicture, nullptr);
    EXPECT_EQ(zv::outputPicture, nullptr);
    std::vector<Pixel> overlay;
    int w = 0, h = 0;
    ASSERT_TRUE(hostrt::gui::closedOverlay(hostrt::gui::SurfaceId::Monitor, overlay, w, h));
    bool drawn = false;
    for (const Pixel &p : overlay) drawn = drawn || (p.alpha | p.v | p.u | p.y);
    EXPECT_TRUE(drawn) << "monitor 2 showed the preview";
    hostrt::gui::resetGui();
}

} // namespace
