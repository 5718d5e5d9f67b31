// Key-edge pass: shrinks and softens the key's edge (edgeShrink) and scales
// the key's strength (keyOpacity).
//
// With edgeShrink s the key is blurred with a box of 4s, then every keyed
// pixel takes 2B - 256 of its blurred value B: blurred values under 128
// vanish and the rest are stretched, which pulls the edge in by about half
// the blur and leaves a soft ramp. Both steps go through a 256-entry table
// built once per render.
#include <algorithm>
#include <array>

#include "BoxBlur.h"
#include "ZenvarthRender.h"

namespace zenvarth {

namespace {

// alpha * opacity / 100; an opacity above 100 (a preset can hold any byte)
// is limited to the strongest key.
inline uint8_t scaledAlpha(uint32_t alpha, uint32_t opacity)
{
    uint32_t v = alpha * opacity / 100;
    return uint8_t(v > 255 ? 255 : v);
}

// The opacity step alone: alpha * opacity / 100 for each key byte, when
// the opacity is below 100.
PreparedKeyEdge opacityStep(uint32_t opacity)
{
    PreparedKeyEdge edge{opacity < 100, {}};
    if (edge.scalesKey)
        for (uint32_t a = 0; a < 256; ++a) edge.opacity[a] = scaledAlpha(a, opacity);
    return edge;
}

} // namespace

bool keyEdgeNeedsBlur() { return settings.edgeShrink != 0; }

bool keyEdgeChangesKey() { return settings.edgeShrink != 0 || settings.keyOpacity < 100; }

PreparedKeyEdge prepareKeyEdge()
{
    if (settings.edgeShrink != 0) return PreparedKeyEdge{false, {}};
    return opacityStep(settings.keyOpacity);
}

void keyEdgeRows(const PreparedKeyEdge &edge, int32_t begin, int32_t end)
{
    if (!edge.scalesKey || !outputPicture || pictureWidth <= 0) return;
    begin = std::max(begin, 0);
    end = std::min(end, pictureHeight);
    if (begin >= end) return;
    Pixel *out = outputPicture->pixels + size_t(begin) * size_t(pictureWidth);
    const size_t count = size_t(end - begin) * size_t(pictureWidth);
    for (size_t i = 0; i < count; ++i) out[i].alpha = edge.opacity[out[i].alpha];
}

void runKeyEdgePass()
{
    if (!outputPicture || !backgroundPicture || pictureWidth <= 0 || pictureHeight <= 0) return;
    const uint32_t shrink = settings.edgeShrink;
    const uint32_t opacity = settings.keyOpacity;
    const size_t count = size_t(pictureWidth) * size_t(pictureHeight);
    Pixel *out = outputPicture->pixels;

    // Without its blur the edge step would read stale bytes; the key then
    // keeps its shape and only takes the opacity.
    if (shrink != 0 && boxBlurKey(int32_t(4 * shrink))) {
        std::array<uint8_t, 256> table;
        for (uint32_t b = 0; b < 256; ++b) {
            int32_t v = int32_t(2 * b) - 256;
            if (v < 0) table[b] = 0;
            else if (opacity == 100) table[b] = uint8_t(v);
            else table[b] = scaledAlpha(uint32_t(v), opacity);
        }
        const Pixel *blurred = backgroundPicture->pixels;
        for (size_t i = 0; i < count; ++i) {
            if (out[i].alpha != 0) out[i].alpha = table[blurred[i].alpha];
        }
        return;
    }
    keyEdgeRows(opacityStep(opacity), 0, pictureHeight);
}

} // namespace zenvarth
