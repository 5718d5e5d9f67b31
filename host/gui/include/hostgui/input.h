// Input: the pointer, hover, press, focus, keys and the popup menu. Input
// events from the front end become gadget changes and editor messages here.
#pragma once

#include <string>

#include "hostgui/types.h"

namespace hostgui {

PointerState pointerState();
// The busy or standard pointer (tgBusyPointer / tgStandardPointer).
void setBusyPointer(bool busy);
// Moves the pointer to (x, y) on the screen, as a move of the mouse would.
void movePointer(int x, int y);
// tgSetPointerAttrs: mode 2 hides the pointer, 1 shows it.
void setPointerAttrs(int32_t mode);

// A disabled gadget loses the keyboard focus.
void dropFocus(TgHandle gadget);

// Where the pointer last was, on which surface.
struct HoverPoint {
    SurfaceId surface = SurfaceId::Screen;
    int x = 0, y = 0;
};
HoverPoint hoverPoint();
// The help text of the gadget under the pointer, "" when none shows.
std::string helpShown();

// Handles the input that is waiting without blocking: true when it asks a
// played section to stop (Escape, or closing the window, which also
// closes the editor).
bool stopRequested();

} // namespace hostgui
