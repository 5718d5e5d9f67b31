// Inside the toolkit: the modal requesters' common base, the stack of open
// requesters, and the pieces every requester is built from.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "hostgui/requesters.h"
#include "hostgui/types.h"

namespace hostgui {

// A modal requester: a panel of its own gadgets on a surface, plus what it
// draws and handles itself.
class Dialog {
public:
    virtual ~Dialog() = default;
    SurfaceId surface = SurfaceId::Screen;
    TgHandle panel = 0;
    std::string title;
    bool done = false;
    bool accepted = false;
    TgHandle defaultButton = 0, cancelButton = 0;

    virtual void draw(Canvas &canvas, Rect at) { (void)canvas; (void)at; }
    virtual bool mouse(const InputEvent &event, Rect at) { (void)event; (void)at; return false; }
    virtual bool key(uint32_t key) { (void)key; return false; }
    virtual bool text(const std::string &s) { (void)s; return false; }
    virtual bool findText(const std::string &s, Rect at, Rect &found) { (void)s; (void)at; (void)found; return false; }
    virtual void area(Rect r) { (void)r; }
    virtual void cancel() { done = true; accepted = false; }
    virtual void accept() { done = true; accepted = true; }
};

// ---- the stack of open requesters (the last one takes the input)
// Shows `d` (its panel made) until it is answered; removes its panel.
// 1 when accepted.
int runDialog(Dialog &d);
Dialog *topDialog();
bool dialogOpen();
TgHandle topDialogPanel();
const std::vector<Dialog *> &dialogStack();
void cancelDialogs();
void resetDialogs();

// ---- building a requester
int fontH();
int rowH();
Rgba inkOn();
std::vector<std::string> wrapText(const std::string &text, int width);
Rect centred(SurfaceId s, int w, int h);
TgHandle addButton(Dialog &d, Rect r, const std::string &text, std::function<void()> action);
TgHandle addSlider(Dialog &d, Rect r, const std::string &label, int32_t value);
// A button of the requester that shows `text`.
bool buttonText(Dialog &d, const std::string &text, Rect &found);

} // namespace hostgui
