// How monitor 2 is viewed: which picture it shows (the composite, the key
// as grey, or one input alone), how a window shows a surface scaled or
// zoomed, and the exact mapping of a window point back to the surface.
// The views change what monitor 2 shows; zoom, panning and the foot lines
// belong to the window alone, so screenshots keep the surface's full size.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "hostgui/types.h"

namespace hostgui {

enum class MonitorView { Composite = 0, Key = 1, Foreground = 2, Background = 3 };

// "composite", "key", "foreground", "background"; false for any other word.
bool parseMonitorView(const std::string &word, MonitorView &view);
const char *monitorViewName(MonitorView view);

// Zoom steps: 0 fits the surface to the area; 1, 2 and 4 show one surface
// pixel as that many window pixels.
constexpr int ZOOM_STEPS[] = {0, 1, 2, 4};

// A surface of `surfaceW` x `surfaceH` shown in an area of `areaW` x
// `areaH` window pixels: `src` is the part of the surface shown, `dst` the
// window rectangle it fills (centred in the area).
struct ViewPlacement {
    Rect src, dst;
};
// Fit (zoom 0) keeps the aspect and fills the area in one direction. A zoom
// shows the part of the surface around (centreX, centreY) that the area
// holds, kept inside the surface.
ViewPlacement placeView(int surfaceW, int surfaceH, int areaW, int areaH, int zoom, int centreX = 0,
                        int centreY = 0);

// The surface pixel a window pixel shows: the one under the window pixel's
// top left corner, so the first window pixel shows the first surface pixel
// at any scale. Points outside `dst` give the surface's border there, so a drag
// that leaves the picture ends on its last pixel even when a reduction
// does not show that pixel.
void windowToSurface(const ViewPlacement &v, int wx, int wy, int &sx, int &sy);
// The first window pixel that shows surface pixel (sx, sy); false when the
// pixel is not shown (outside `src`, or skipped by a reduction).
bool surfaceToWindow(const ViewPlacement &v, int sx, int sy, int &wx, int &wy);
// A rectangle dragged in the window from (ax, ay) to (bx, by), in any
// direction: the surface rectangle whose corners are the pixels under
// both ends, both included.
Rect dragToSurface(const ViewPlacement &v, int ax, int ay, int bx, int by);

// Draws the part `v.src` of `from` into `to` at `v.dst`, each window pixel
// taking the surface pixel windowToSurface gives it.
void drawPlaced(const Canvas &from, const ViewPlacement &v, Canvas &to);

// HH:MM:SS:FF of a frame at `fps` frames per second (at least 1).
std::string timecode(int frame, int fps);

// ---- the monitor view state (kept with the surfaces)
void setMonitorView(MonitorView view);
MonitorView monitorView();
// The zoom step (index into ZOOM_STEPS) and the centre of a zoomed view.
void setMonitorZoom(int step);
int monitorZoom();
void panMonitor(int dx, int dy);
void monitorCentre(int &x, int &y);
// The frame monitor 2 shows, in the clip's numbering; -1 when unknown.
void setShownFrame(int frame);
int shownFrame();
// An input's field as the operator last fetched it (input 0 or 1, the
// field number within the section); the input views show the frame the
// last fetched field belongs to.
void keepInputField(int input, int fieldNumber, int width, int height, const std::vector<Pixel> &pixels);
// The first frame of the section, added to a field's frame for display;
// also turns on keeping the fetched fields for the input views (only a host
// that shows monitor 2 calls it, so renders copy nothing).
void setSectionStart(int frame);
// A view key: true when `key` switched the view, zoom or panning.
bool monitorViewKey(uint32_t key);
// The help line the monitor window shows at its foot.
std::string monitorHelpLine();
// The frame line: view, frame number and timecode.
std::string monitorFrameLine();

// The woven frame of an input's last fetched field (its other field when
// that was fetched for the same frame, else the field doubled); false when
// the input has none.
bool inputFrame(int input, int &width, int &height, std::vector<Pixel> &frame);

void resetMonitorView();

} // namespace hostgui
