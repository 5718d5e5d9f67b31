// The front ends that supply input and show the surfaces: an SDL2 window,
// or a headless script of events.
#pragma once

#include <functional>
#include <string>
#include <vector>

namespace hostgui {

// Runs the script `text` (named `name` in its error messages) as the input
// from now on; clears earlier script errors.
void useScript(const std::string &text, const std::string &name);
const std::vector<std::string> &scriptErrors();
// Called by the script line "check NAME" (tests look at the session).
void setCheckHandler(std::function<void(const std::string &)> handler);

// The answer a script gives to a question the host asks when no editor
// runs: the words after "answer" on its next line, which is consumed.
// False when input ends first or comes from a window (`fault` empty), or
// when the next line is not an answer (`fault` says so, as a script error).
bool scriptAnswer(std::vector<std::string> &words, std::string &fault);

// Shows the surfaces as they are now.
void present();
// True when the surfaces show in a window (a played section then keeps
// the frame rate).
bool showsWindow();
// Waits between the frames of a played section (a window only).
void frameDelay(int milliseconds);
// Busy or standard pointer shape, and moving the pointer (a window only).
void showPointerShape(bool busy);
void warpPointer(int x, int y);

} // namespace hostgui
