// The two surfaces, the GUI screen and video monitor 2: their size, their
// overlays of YUVA pixels, the colour bar, and their composition into a
// framebuffer. The order in which a surface is composed is decided here
// (see compose) and nowhere else.
#pragma once

#include <vector>

#include "hostgui/types.h"

namespace hostgui {

// Surfaces stay within a size a framebuffer can hold.
constexpr int MAX_SURFACE = 8192;

// The screen is as large as the shown editor screen, else the session's
// screen size; monitor 2 has the session's monitor size.
int surfaceWidth(SurfaceId s);
int surfaceHeight(SurfaceId s);

// ---- overlays
void clearOverlay(SurfaceId s);
// Copies a block of YUVA pixels onto the overlay; what falls outside the
// surface is cut.
void drawOverlay(SurfaceId s, const uint8_t *pixels, int32_t bytesPerRow, int x, int y, int w, int h);
// The overlay pixel at (x, y); all zero outside the surface.
Pixel overlayPixel(SurfaceId s, int x, int y);

void setColorBar(bool on);
bool colorBar();

// Draws surface `s` into `out`, from the bottom up:
//   1. background: the screen's GUI colour 1; monitor 2 black, or the
//      colour bar while it is on;
//   2. the overlay: a pixel is shown opaque unless all four of its bytes
//      are 0 (the fill around a drawn picture);
//   3. the shown screen's panels and gadgets (screen only), so a panel
//      that moved is never hidden by preview pixels drawn before;
//   4. the open requesters, oldest first, each with a shadow;
//   5. an open popup menu;
//   6. the help text of the gadget under the pointer.
void compose(SurfaceId s, Canvas &out);
// A canvas as RGBA bytes, and saved as PNG.
Framebuffer framebufferOf(const Canvas &c);
bool savePng(Framebuffer fb, const std::string &path, std::string &error);
// The surface as compose shows it, saved as PNG.
bool saveScreenshot(SurfaceId s, const std::string &path, std::string &error);

// ---- the view just before a screen closes
// Keeps both surfaces as shown, once between two waits for a message: the
// first panel removal or screen deletion after a wait keeps what was shown.
void saveClosedView();
// A wait for a message begins: the next removal keeps the view again.
void waitBegins();
struct ClosedView {
    bool valid = false;
    Canvas shown[2];
    std::vector<Pixel> overlay[2];
    int width[2] = {0, 0}, height[2] = {0, 0};
};
const ClosedView &closedView();

void resetSurfaces();

} // namespace hostgui
