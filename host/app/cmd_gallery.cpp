// ophost gallery: a sample screen with every gadget kind and a button for
// each requester, in a window or headless from a script.
#include <cstdio>
#include <cstdlib>
#include <string>

#include "command.h"
#include "hostrt/gui_session.h"
#include "ophost/operators.h"
#include "ophost/params.h"

namespace {

// The host's label texts come from its resources (ophost info shows them).
const bool labelsRegistered = (ophost::setHostLabelSource(hostrt::gui::hostLabel), true);

int usage(FILE *to)
{
    std::fprintf(to, "usage: ophost gallery [--script FILE] [--screenshot FILE] [--monitor-screenshot FILE]\n"
                     "                      [--window | --headless] [--default-monitor N]\n\n"
                     "Opens a sample screen with every gadget kind and a button for each\n"
                     "requester, and prints each message it receives. With a display and no\n"
                     "script it opens a window; otherwise it runs headless from the script\n"
                     "(none: it closes at once). --screenshot saves the screen as PNG when\n"
                     "the session ends, --monitor-screenshot monitor 2.\n");
    return to == stdout ? ophost::EXIT_OK : ophost::EXIT_USAGE;
}

int runGallery(int argc, char **argv)
{
    (void)labelsRegistered;
    std::string script, shot, monitorShot;
    int window = -1;
    int defaultMonitor = 0;
    for (int i = 1; i < argc; ++i) {
        std::string a = argv[i];
        auto value = [&](std::string &out) {
            if (i + 1 >= argc) {
                std::fprintf(stderr, "ophost gallery: %s needs a value\n", a.c_str());
                return false;
            }
            out = argv[++i];
            return true;
        };
        if (a == "--help" || a == "-h") return usage(stdout);
        if (a == "--script") {
            if (!value(script)) return ophost::EXIT_USAGE;
        } else if (a == "--screenshot") {
            if (!value(shot)) return ophost::EXIT_USAGE;
        } else if (a == "--monitor-screenshot") {
            if (!value(monitorShot)) return ophost::EXIT_USAGE;
        } else if (a == "--window") {
            window = 1;
        } else if (a == "--headless") {
            window = 0;
        } else if (a == "--default-monitor") {
            std::string v;
            if (!value(v)) return ophost::EXIT_USAGE;
            int32_t n = 0;
            if (!ophost::parseInt32(v, n) || n < 1 || n > 3) {
                std::fprintf(stderr, "ophost gallery: --default-monitor '%s': expected 1, 2 or 3\n", v.c_str());
                return ophost::EXIT_USAGE;
            }
            defaultMonitor = n;
        } else {
            std::fprintf(stderr, "ophost gallery: unknown argument '%s'\n", a.c_str());
            return usage(stderr);
        }
    }
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

const ophost::RegisterCommand galleryCommand({"gallery", "try the host GUI: every gadget and requester", runGallery});

} // namespace
