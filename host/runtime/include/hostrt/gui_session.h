// The stand-in host's GUI driver: what the host program and the tests set
// before an operator opens its editor (screen and monitor sizes, layout
// answers, fonts, colours, the front end), and what they read back (the
// framebuffers, gadgets, pointer calls, messages).
#pragma once

#include <cstdint>
#include <cstdio>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "contract/contract.h"
#include "hostgui/gui_settings.h"
#include "hostrt/session.h"

namespace hostrt::gui {

using hostgui::FrontEndKind;
using hostgui::GuiSettings;
using hostgui::SurfaceId;

// Settings take effect for everything created afterwards; the front end is
// rebuilt at the next wait for input.
void setGuiSettings(const GuiSettings &settings);
const GuiSettings &guiSettings();

// Headless input. Script lines:
//   click X Y | down X Y | up X Y | move X Y | drag X1 Y1 X2 Y2 | wheel N
//   key NAME (a, 1, shift+t, alt+c, Return, Escape, Delete, F1, Up ...)
//   type TEXT | close | area X Y W H
//   click-text "TEXT" | hover-text "TEXT" | set-slider "LABEL" VALUE
//   pick "POPUP" "ENTRY" | click-handle HANDLE
//   save screen|monitor FILE.png | print TEXT | check NAME
//   view composite|key|foreground|background (monitor 2's view)
//   answer WORD... (only where the host asks, see scriptAnswer)
// Coordinates are on the GUI screen; "monitor click X Y" (any command)
// aims at monitor 2. Lines starting with # are comments.
void setScript(const std::string &text, const std::string &name = "script");
bool loadScriptFile(const std::string &path, std::string &error);
// The script's answer to a question the host asks between editor sessions:
// the words of its next line "answer WORD...". False when the script ends
// first or input comes from a window; a line that is not an answer is a
// script fault (`fault`).
bool scriptAnswer(std::vector<std::string> &words, std::string &fault);
// Faults met while running the script (a missing text, a bad line).
const std::vector<std::string> &scriptErrors();
// Called by the script line "check NAME" when the script reaches it: after
// the program has handled every earlier event and waits for the next, so
// the handler sees the session between two events.
void setCheckHandler(std::function<void(const std::string &name)> handler);

// The first frame of the section, so that monitor 2's frame line counts
// in the clip's frames.
void setSectionStart(int firstFrame);

// The operator opPreview plays through: action 3 on every field of ctx's
// section, shown on monitor 2.
void setPreviewOperator(OperatorActionFn action, const OperatorContext &ctx);

// ---- reading back

using hostgui::Framebuffer;
// The surface as shown: background, overlay, panels, requesters, an open
// menu, the help text.
Framebuffer capture(SurfaceId surface);
bool saveScreenshot(SurfaceId surface, const std::string &path, std::string &error);
// The overlay pixel (all four bytes 0 where nothing was drawn).
Pixel overlayPixel(SurfaceId surface, int x, int y);

// The surfaces as they were shown just before the last screen closed (the
// first panel removal after the program's last wait for a message), and
// the exact overlay bytes then. False when no screen has closed since the
// last reset.
bool closedCapture(SurfaceId surface, Framebuffer &out);
bool closedOverlay(SurfaceId surface, std::vector<Pixel> &pixels, int &width, int &height);
bool saveClosedScreenshot(SurfaceId surface, const std::string &path, std::string &error);

struct GadgetInfo {
    bool exists = false;
    uint32_t kind = 0;
    uint32_t panel = 0;
    bool enabled = false;
    int32_t value = 0, minimum = 0, maximum = 0;
    uint32_t color = 0;
    uint32_t key = 0;
    uint32_t state = 0;
    std::string text, unit, help, shown;
    int x = 0, y = 0, width = 0, height = 0;   // on its surface
    std::vector<std::string> entries;
};
GadgetInfo gadgetInfo(uint32_t handle);
bool panelExists(uint32_t handle);
size_t gadgetCount();
std::string helpShown();

using hostgui::PointerState;
PointerState pointerState();
bool colorBarShown();
// True when the surfaces show in an SDL2 window (else the input is a script).
bool shownInWindow();

// Every message posted to any queue since the last reset, in order.
std::vector<std::vector<uint8_t>> postedMessages();

// The host's label text of a parameter label id, "" when it has none.
std::string hostLabel(uint32_t labelId);

// ---- the gallery: a sample screen with every gadget kind and a button
// for each requester (ophost gallery, and the tests)

struct GalleryHandles {
    uint32_t screen = 0, queue = 0, strings = 0, images = 0;
    uint32_t gadgetPanel = 0, requesterPanel = 0, subPanel = 0;
    uint32_t imageButtons[7] = {};
    uint32_t textButton = 0, disabledButton = 0, slider = 0, frameSlider = 0;
    uint32_t popup = 0, picturePopup = 0, checkBox = 0, palette = 0, boxText = 0;
    uint32_t textRequest = 0, question = 0, paletteRequest = 0, fileRequest = 0;
    uint32_t archives = 0, pictureRequest = 0, areaRequest = 0, closeButton = 0;
};
// Builds the sample screen through the host calls; false when the screen
// cannot be created.
bool openGallery(GalleryHandles &handles);
// Runs its event loop until the close button or a close message, writing
// one line per message and per requester answer to `log`.
void runGallery(GalleryHandles &handles, std::FILE *log);
void closeGallery(GalleryHandles &handles);

// Back to the default settings, no screens, panels or queues, no script.
void resetGui();

} // namespace hostrt::gui
