// vendrelbase: work pictures.
#include "contract/host_calls.h"
#include "state.h"

using namespace hostrt::detail;

extern "C" {

Picture *opAllocImage(int32_t width, int32_t height, int32_t, int32_t)
try {
    State &s = state();
    if (s.allocFailCountdown >= 0) {
        if (s.allocFailCountdown-- == 0) return nullptr;
    }
    if ((width == -1 && height == -1) || (width == 0 && height == 0)) {
        // The standard size: set by the program, else the clips' field
        // size, else the last field handed out.
        int16_t w = s.lastFieldWidth, h = s.lastFieldHeight;
        if (s.standardSet) {
            w = s.standardWidth;
            h = s.standardHeight;
        } else if (s.clipWidth > 0 && s.clipHeight > 0) {
            w = s.clipWidth;
            h = s.clipHeight;
        }
        return newPicture(w, h);
    }
    if (width < 0 || height < 0 || width > 0x7FFF || height > 0x7FFF) return nullptr;
    return newPicture(int16_t(width), int16_t(height));
} catch (...) { return nullptr; }

void opFreeImage(Picture *picture)
{
    if (picture) releasePicture(picture);
}

} // extern "C"
