// The retained-mode toolkit behind the host's GUI calls. One process-wide
// Gui holds two surfaces (the GUI screen and video monitor 2), the editor
// screens, panels, gadgets, message queues and the open requesters; a front
// end (SDL2 window or headless script) supplies input and shows frames.
#pragma once

#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "contract/gui_calls.h"
#include "hostgui/resources.h"
#include "hostrt/gui_session.h"

namespace hostgui {

using hostrt::gui::SurfaceId;

struct Rgba {
    uint8_t r, g, b, a;
};

Rgba yuvToRgb(uint8_t y, uint8_t u, uint8_t v);
Rgba colorWordToRgb(uint32_t word);
uint32_t rgbToColorWord(uint8_t r, uint8_t g, uint8_t b);

struct Rect {
    int x = 0, y = 0, w = 0, h = 0;
    bool contains(int px, int py) const { return px >= x && py >= y && px < x + w && py < y + h; }
    int cx() const { return x + w / 2; }
    int cy() const { return y + h / 2; }
};

// A framebuffer of display colours, rows top to bottom.
struct Canvas {
    int width = 0, height = 0;
    std::vector<Rgba> pixels;
    Rect clip;

    void resize(int w, int h);
    void fill(Rect r, Rgba c);
    void blendPixel(int x, int y, Rgba c, int coverage);
    void frame(Rect r, Rgba c);
    void bevel(Rect r, Rgba face, bool raised);
    // Text at (x, y) top-left, in the font of pixel height `fontHeight`.
    void text(int x, int y, const std::string &s, Rgba c, int fontHeight);
    void picture(int x, int y, const Picture &p, bool dim);
};

// Text measuring and rendering with the TTF font (same file, same path for
// the window and headless, so screenshots are stable).
int textWidth(const std::string &s, int fontHeight);
bool fontAvailable();

struct InputEvent {
    enum Type { MouseDown, MouseUp, MouseMove, Wheel, Key, Text, Close, AreaSet } type = MouseMove;
    SurfaceId surface = SurfaceId::Screen;
    int x = 0, y = 0;
    int amount = 0;            // wheel steps
    uint32_t key = 0;          // KEY_* code or character, with qualifier bits
    std::string text;
    Rect area;                 // AreaSet
};

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

struct Choice {
    bool isPicture = false;
    std::string text;
    std::vector<Pixel> pixels;
    int w = 0, h = 0;
};

struct Gadget {
    TgHandle handle = 0;
    TgHandle panel = 0;
    uint32_t kind = 0;
    Rect rect;                         // inside the panel
    bool enabled = true;
    std::string text;                  // button text, label, title, box text
    std::string unit;
    SliderFormatter formatter = nullptr;
    int32_t minimum = 0, maximum = 0, value = 0;
    uint32_t state = 0, flags = 0;
    std::vector<Choice> entries;
    std::vector<Pixel> image;          // image button
    int imageW = 0, imageH = 0;
    uint32_t color = 0;                // palette button
    uint32_t face = 0;                 // GUI colour when created
    uint32_t key = 0;
    std::string help;
    TgHandle helpSet = 0;
    // Requesters' own gadgets report here instead of to a queue.
    std::function<void(Gadget &, int32_t)> onEvent;
};

struct Panel {
    TgHandle handle = 0;
    TgHandle parent = 0;               // a screen, a panel, or 0 for a requester
    SurfaceId surface = SurfaceId::Screen;
    Rect rect;                         // inside the parent
    uint32_t flags = 0;
    uint32_t color = 0;
    bool dialog = false;
    std::vector<TgHandle> gadgets;
    std::vector<TgHandle> children;
};

struct Screen {
    TgHandle handle = 0;
    int width = 0, height = 0;
    std::string title;
    TgHandle queue = 0;
    uint32_t flags = 0;
    std::vector<TgHandle> panels;      // top-level panels
};

struct Queue {
    int capacity = 0;
    int size = 0;
    std::deque<std::vector<uint8_t>> messages;
};

struct StringSet {
    std::string name;
    StringTable table;
};

struct ImageSet {
    std::string name;
    std::map<uint32_t, Icon> icons;
};

class Gui;

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

class Gui {
public:
    static Gui &get();

    hostrt::gui::GuiSettings settings;

    // ---- handles
    TgHandle newHandle();

    // ---- things
    std::map<TgHandle, Screen> screens;
    std::vector<TgHandle> screenStack;       // last is shown
    std::map<TgHandle, Panel> panels;
    std::map<TgHandle, Gadget> gadgets;
    std::map<TgHandle, Queue> queues;
    std::map<TgHandle, StringSet> stringSets;
    std::map<TgHandle, ImageSet> imageSets;
    std::map<GadgetExtension *, std::unique_ptr<GadgetExtension>> extensions;
    TgHandle guiResource = 0;
    uint32_t currentColor = 0;
    std::map<int32_t, uint32_t> colorTable;

    // ---- surfaces: overlays of YUVA pixels (key 0 shows what lies below)
    std::vector<Pixel> overlay[2];
    int surfaceWidth(SurfaceId s) const;
    int surfaceHeight(SurfaceId s) const;
    void ensureOverlay(SurfaceId s);
    void clearOverlay(SurfaceId s);
    void drawOverlay(SurfaceId s, const uint8_t *pixels, int32_t bytesPerRow, int x, int y, int w,
                     int h);
    void compose(SurfaceId s, Canvas &out);

    // ---- pointer and host state
    hostrt::gui::PointerState pointer;
    bool colorBar = true;
    int hoverSurfaceX = 0, hoverSurfaceY = 0;
    SurfaceId hoverSurface = SurfaceId::Screen;
    TgHandle hoverGadget = 0;
    TgHandle pressedGadget = 0;
    bool pressedInside = false;
    int32_t valueAtPress = 0;
    TgHandle focusedGadget = 0;
    PopupMenu menu;
    std::vector<Dialog *> dialogs;
    uint32_t messageSequence = 0;
    bool inputEnded = false;
    std::vector<std::string> scriptErrors;
    std::vector<std::vector<uint8_t>> posted;
    // Called by the script line "check NAME" (tests look at the session).
    std::function<void(const std::string &)> checkHandler;

    // The last screen deleted, as it was shown just before: composed
    // surfaces and the exact overlay bytes (both surfaces).
    struct ClosedView {
        bool valid = false;
        Canvas shown[2];
        std::vector<Pixel> overlay[2];
        int width[2] = {0, 0}, height[2] = {0, 0};
    } closedView;
    // Saves closedView once between two waits for a message: the first
    // panel removal or screen deletion after a wait keeps what was shown.
    void saveClosedView();
    bool viewSavedSinceWait = false;

    // Takes the settings: colour table, sizes.
    void applySettings(const hostrt::gui::GuiSettings &s);

    // ---- front end
    FrontEnd &frontEnd();
    void resetFrontEnd();
    void setFrontEnd(std::unique_ptr<FrontEnd> fe);
    void present();

    // ---- building
    Screen *topScreen();
    TgHandle createScreen(int w, int h, const std::string &title, TgHandle queue, uint32_t flags);
    void deleteScreen(TgHandle screen);
    TgHandle createPanel(TgHandle parent, Rect r, uint32_t flags);
    TgHandle createDialogPanel(SurfaceId s, Rect r);
    void removePanel(TgHandle panel);
    Gadget *addGadget(TgHandle panel, uint32_t kind, Rect r);
    Gadget *gadget(TgHandle h);
    Rect panelRectOnSurface(TgHandle panel) const;
    Rect gadgetRectOnSurface(const Gadget &g) const;
    SurfaceId panelSurface(TgHandle panel) const;
    bool gadgetVisible(const Gadget &g) const;

    // ---- messages
    TgHandle createQueue(int count, int size);
    bool post(TgHandle queue, const void *message);
    void postGadgetEvent(Gadget &g, int32_t value, uint32_t key);
    void postClose();

    // ---- input
    void dispatch(const InputEvent &event);
    // Pumps input until `done` holds or input ends (then returns false).
    bool pumpUntil(const std::function<bool()> &done);
    int runDialog(Dialog &dialog, Rect at);
    Rect dialogRect(const Dialog &d) const;

    // ---- queries for scripts and tests
    bool findText(const std::string &text, SurfaceId &surface, Rect &found);
    bool sliderPoint(const std::string &label, int32_t value, SurfaceId &surface, int &fromX,
                     int &toX, int &y);
    std::string shownText(const Gadget &g) const;
    std::string helpShown() const;

    void resetAll();

private:
    std::unique_ptr<FrontEnd> frontEnd_;
    TgHandle nextHandle_ = 0x00010000;

    void mouseDown(const InputEvent &e);
    void mouseUp(const InputEvent &e);
    void mouseMove(const InputEvent &e);
    void keyPress(uint32_t key);
    TgHandle gadgetAt(SurfaceId s, int x, int y);
    void openMenu(Gadget &g);
    void menuChoose(int index);
    void setSliderFromX(Gadget &g, int x);
    void sliderStep(Gadget &g, int32_t delta, uint32_t key);
    void activate(Gadget &g, uint32_t key);
    void drawPanel(Canvas &c, const Panel &p, Rect at);
    void drawGadget(Canvas &c, const Gadget &g, Rect at, uint32_t panelColor);
};

// Slider geometry shared by drawing, input and the script helpers.
Rect sliderTrack(Rect gadgetOnSurface);
int32_t sliderValueAt(const Gadget &g, Rect track, int x);
int sliderXFor(const Gadget &g, Rect track, int32_t value);

std::string formatSliderValue(const Gadget &g);
uint32_t parseKeyName(const std::string &name, bool &ok);

// The requesters (each runs modally and fills its record).
int32_t runTextRequest(TextRequest &request);
int32_t runPaletteRequest(PaletteRequest &request);
int32_t runFileRequest(FileRequest &request);
int32_t runArchivesRequest(ArchiveRequest &request);
// Chooses a picture file; `path` in: the current name, out: the choice.
bool runPictureRequest(std::string &path, int32_t types);
int32_t runAreaRequest(RectParam &rect);

// Resolves a requester folder: relative to QVHOME when it is set.
std::string hostPath(const std::string &folder);

} // namespace hostgui
