// Inside the toolkit: the input state other parts read (the open popup
// menu, the pressed and focused gadget) and the input loop.
#pragma once

#include <functional>

#include "hostgui/input.h"

namespace hostgui {

struct PopupMenu {
    TgHandle gadget = 0;
    Rect rect;                 // on the surface
    int itemHeight = 0;
    int hover = -1;
    // Opened by a press at this point; releasing it on the same entry
    // chooses nothing, even when the menu opened over the pointer.
    bool openedByPress = false;
    int pressX = 0, pressY = 0;
};

const PopupMenu &popupMenu();
void closeMenu();
// A gadget has gone: no hover, press, focus or menu keeps it.
void forgetGadget(TgHandle gadget);
// Drawing: a gadget shows pressed while the pointer holds it inside.
bool shownPressed(TgHandle gadget);
TgHandle focusedGadget();

// One input event: pointer, keys, text, area, close.
void dispatch(const InputEvent &event);
// Shows the surfaces and handles input until `done` holds, or input ends
// (then false).
bool pumpUntil(const std::function<bool()> &done);
// With timings on: the editor has taken a message (its work begins), and
// waits for the next (its work ends).
void messageDelivered();
void waitForMessage();
// A requester opens: no menu, press or focus carries into it.
void clearForDialog();

// Gadget events become messages to the screen's queue (or the
// requester's own callback); closing posts a close message.
void postGadgetEvent(Gadget &g, int32_t value, uint32_t key);
void postClose();
// The sequence number of the next message (kept with the queues).
uint32_t nextMessageSequence();

void resetInput();

} // namespace hostgui
