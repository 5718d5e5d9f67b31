// Inside the toolkit: the front-end interface the window and the script
// implement, and the one front end in use.
#pragma once

#include <memory>
#include <string>

#include "hostgui/frontend.h"
#include "hostgui/types.h"

namespace hostgui {

class FrontEnd {
public:
    virtual ~FrontEnd() = default;
    // Blocks until the next input event; false when input has ended.
    virtual bool wait(InputEvent &event) = 0;
    // The next event if one is pending, without blocking.
    virtual bool poll(InputEvent &event) = 0;
    virtual void present() = 0;
    virtual void pointerShape(bool busy) { (void)busy; }
    virtual void warpPointer(int x, int y) { (void)x; (void)y; }
    virtual bool isWindow() const { return false; }
    // Waits between the frames of a played section (a window shows them
    // at the frame rate; headless plays at once).
    virtual void frameDelay(int milliseconds) { (void)milliseconds; }
};

std::unique_ptr<FrontEnd> makeScriptFrontEnd(const std::string &script, const std::string &name);
// Null when no window can be opened (no display); `error` says why.
std::unique_ptr<FrontEnd> makeWindowFrontEnd(std::string &error);

// The front end in use, opened on first use after the settings' kind
// (headless when no window can be opened).
FrontEnd &frontEnd();
void setFrontEnd(std::unique_ptr<FrontEnd> fe);
void dropFrontEnd();

// Set once a wait found no more input; every later wait ends at once.
bool inputEnded();
void setInputEnded();

// The script front end's reports.
void addScriptError(const std::string &message);
// Runs the check handler; false when none is set.
bool runCheck(const std::string &name);

// Back to no front end, no errors, no check handler.
void resetFrontEnd();

} // namespace hostgui
