// ophost gallery: a sample screen with every gadget kind and a button for
// each requester, in a window or headless from a script.
#include <cstdio>
#include <cstdlib>
#include <string>

#include "command.h"
#include "hostrt/gui_session.h"
#include "ophost/operators.h"
#include "ophost/options.h"
#include "ophost/params.h"

namespace {

// The host's label texts come from its resources (ophost info shows them).
const bool labelsRegistered = (ophost::setHostLabelSource(hostrt::gui::hostLabel), true);

int runGallery(int argc, char **argv)
{
    (void)labelsRegistered;
    std::string script, shot, monitorShot;
    bool inWindow = false, headless = false;
    int defaultMonitor = 0;
    const ophost::OptionTable table = {
        ophost::text("--script", "FILE", script, "headless events, as ophost edit --script reads them"),
        ophost::text("--screenshot", "FILE", shot, "save the screen as PNG when the session ends"),
        ophost::text("--monitor-screenshot", "FILE", monitorShot, "the same for monitor 2"),
        ophost::flag("--window", inWindow, "open a window (needs a display)"),
        ophost::flag("--headless", headless, "no window: events come from --script"),
        ophost::shared::defaultMonitor(defaultMonitor),
    };
    const ophost::CommandHelp help = {"usage: ophost gallery [--script FILE] [--screenshot FILE] [--monitor-screenshot FILE]\n"
                                      "                      [--window | --headless] [--default-monitor N]\n\n"
                                      "Opens a sample screen with every gadget kind and a button for each\n"
                                      "requester, and prints each message it receives. With a display and no\n"
                                      "script it opens a window; otherwise it runs headless from the script\n"
                                      "(none: it closes at once).\n\n"};
    if (auto stop = ophost::parseCommand("gallery", argc, argv, table, help)) return *stop;
    if (inWindow && headless) return ophost::usageFault("gallery", "--window and --headless exclude each other");
    // -1: by the display and the script.
    int window = inWindow ? 1 : headless ? 0 : -1;
    const char *display = std::getenv("DISPLAY");
    const char *wayland = std::getenv("WAYLAND_DISPLAY");
    const char *driver = std::getenv("SDL_VIDEODRIVER");
    const bool haveDisplay = (display && *display) || (wayland && *wayland) || (driver && *driver);
    if (window < 0) window = script.empty() && haveDisplay ? 1 : 0;
    if (window == 1 && !haveDisplay) {
        // Without a display a window would wait for input that never comes.
        if (script.empty()) {
            std::fprintf(stderr, "ophost gallery: --window needs a display (DISPLAY and WAYLAND_DISPLAY are not set); "
                                 "use --headless --script FILE\n");
            return ophost::EXIT_FAILURE_STATUS;
        }
        std::fprintf(stderr, "ophost gallery: no display; running the script headless\n");
        window = 0;
    }
    hostrt::gui::GuiSettings settings = hostrt::gui::guiSettings();
    settings.frontEnd = window ? hostrt::gui::FrontEndKind::Window : hostrt::gui::FrontEndKind::Headless;
    if (defaultMonitor) settings.defaultMonitor = defaultMonitor;
    hostrt::gui::setGuiSettings(settings);
    if (!script.empty()) {
        std::string error;
        if (!hostrt::gui::loadScriptFile(script, error)) {
            std::fprintf(stderr, "ophost gallery: %s\n", error.c_str());
            return ophost::EXIT_FAILURE_STATUS;
        }
    }
    hostrt::gui::GalleryHandles handles;
    if (!hostrt::gui::openGallery(handles)) {
        std::fprintf(stderr, "ophost gallery: the screen could not be created\n");
        return ophost::EXIT_FAILURE_STATUS;
    }
    hostrt::gui::runGallery(handles, stdout);
    int status = ophost::EXIT_OK;
    std::string error;
    if (!shot.empty() && !hostrt::gui::saveScreenshot(hostrt::gui::SurfaceId::Screen, shot, error)) {
        std::fprintf(stderr, "ophost gallery: %s\n", error.c_str());
        status = ophost::EXIT_FAILURE_STATUS;
    }
    if (!monitorShot.empty() && !hostrt::gui::saveScreenshot(hostrt::gui::SurfaceId::Monitor, monitorShot, error)) {
        std::fprintf(stderr, "ophost gallery: %s\n", error.c_str());
        status = ophost::EXIT_FAILURE_STATUS;
    }
    hostrt::gui::closeGallery(handles);
    for (const std::string &e : hostrt::gui::scriptErrors()) {
        (void)e;
        status = ophost::EXIT_FAILURE_STATUS;
    }
    return status;
}

} // namespace

const ophost::Command ophost::GALLERY_COMMAND = {
    "gallery", "try the host GUI: every gadget and requester", runGallery};
