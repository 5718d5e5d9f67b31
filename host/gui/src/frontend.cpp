// The front end in use and what the script front end reports.
#include <cstdio>

#include "frontend.h"
#include "hostgui/settings.h"
#include "hostgui/toolkit.h"

namespace hostgui {

struct FrontEnds {
    std::unique_ptr<FrontEnd> current;
    bool inputEnded = false;
    std::vector<std::string> scriptErrors;
    std::function<void(const std::string &)> checkHandler;
};

namespace {

FrontEnds &fronts() { return current().frontEnds.get(); }

} // namespace

FrontEnd &frontEnd()
{
    auto &fe = fronts().current;
    if (!fe) {
        if (settings().frontEnd == FrontEndKind::Window) {
            std::string error;
            fe = makeWindowFrontEnd(error);
            if (!fe) std::fprintf(stderr, "host GUI: no window (%s); running headless\n", error.c_str());
        }
        if (!fe) fe = makeScriptFrontEnd("", "no script");
    }
    return *fe;
}

void setFrontEnd(std::unique_ptr<FrontEnd> fe)
{
    fronts().current = std::move(fe);
    fronts().inputEnded = false;
}

void dropFrontEnd() { fronts().current.reset(); }

bool inputEnded() { return fronts().inputEnded; }
void setInputEnded() { fronts().inputEnded = true; }

void useScript(const std::string &text, const std::string &name)
{
    fronts().scriptErrors.clear();
    setFrontEnd(makeScriptFrontEnd(text, name));
}

const std::vector<std::string> &scriptErrors() { return fronts().scriptErrors; }
void addScriptError(const std::string &message) { fronts().scriptErrors.push_back(message); }

void setCheckHandler(std::function<void(const std::string &)> handler)
{
    fronts().checkHandler = std::move(handler);
}

bool runCheck(const std::string &name)
{
    if (!fronts().checkHandler) return false;
    fronts().checkHandler(name);
    return true;
}

void present() { frontEnd().present(); }
bool showsWindow() { return frontEnd().isWindow(); }
void frameDelay(int milliseconds) { frontEnd().frameDelay(milliseconds); }
void showPointerShape(bool busy) { frontEnd().pointerShape(busy); }
void warpPointer(int x, int y) { frontEnd().warpPointer(x, y); }

void resetFrontEnd()
{
    FrontEnds &f = fronts();
    f.scriptErrors.clear();
    f.checkHandler = nullptr;
    f.current.reset();
    f.inputEnded = false;
}

} // namespace hostgui
