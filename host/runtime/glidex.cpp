// glidex: the pixel aspect of a monitor, in thousandths.
#include "contract/gui_calls.h"
#include "hostgui/gui.h"

extern "C" {

uint16_t gxGetPixelAspect(int32_t, int32_t) { return hostgui::settings().pixelAspect; }

} // extern "C"
