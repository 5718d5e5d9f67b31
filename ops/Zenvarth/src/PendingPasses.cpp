// Weak placeholders for the passes that live in their own sources. Each is
// replaced at link time by the real definition; until then the engine links
// and renders with the pass doing nothing.
#include "ZenvarthRender.h"

namespace zenvarth {

__attribute__((weak)) uint8_t *patternBuffer = nullptr;

__attribute__((weak)) void runKeyer() {}
__attribute__((weak)) void runKeyEdgePass() {}
__attribute__((weak)) void runCompositor() {}
__attribute__((weak)) void loadPattern() {}
__attribute__((weak)) void freePattern() {}

} // namespace zenvarth
