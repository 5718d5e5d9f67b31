// Pictures for driving the key-edge pass, the blur and the compositor
// directly, without a host: three planes of one size bound to the render
// statics, with the settings at their defaults.
#pragma once

#include <cstdint>
#include <vector>

#include "ZenvarthRender.h"

namespace passes {

struct Scene {
    int32_t width = 0;
    int32_t height = 0;
    std::vector<Pixel> fg, bg, out;
    Picture fgPicture{}, bgPicture{}, outPicture{};
    OperatorContext context{};

    // Foreground, background and output of one colour each; every matte
    // and key byte 255.
    Scene(int32_t w, int32_t h, Pixel foreground = Pixel{255, 120, 130, 90},
          Pixel background = Pixel{255, 100, 110, 60}, Pixel output = Pixel{255, 140, 150, 200});

    Pixel &fgAt(int x, int y) { return fg[size_t(y) * size_t(width) + size_t(x)]; }
    Pixel &bgAt(int x, int y) { return bg[size_t(y) * size_t(width) + size_t(x)]; }
    Pixel &outAt(int x, int y) { return out[size_t(y) * size_t(width) + size_t(x)]; }

    // Points the render statics at these pictures for field `field` of
    // `count`; `preview` sets CTX_PREVIEW.
    void bind(uint32_t field = 0, uint32_t count = 2, bool preview = false);
};

// Settings at their defaults and every render static cleared.
void resetEngine();

} // namespace passes
