// tarngui: monitor geometry and the GUI library's version.
#include "contract/host_calls.h"
#include "state.h"

using namespace hostrt::detail;

extern "C" {

void tgGetVisibleAreaMonitor(int16_t *left, int16_t *top, int16_t *right, int16_t *bottom, int32_t)
{
    const auto &v = state().visible;
    if (left) *left = v.left;
    if (top) *top = v.top;
    if (right) *right = v.right;
    if (bottom) *bottom = v.bottom;
}

int32_t tgVersion(int32_t) { return state().tgVersion; }

} // extern "C"
