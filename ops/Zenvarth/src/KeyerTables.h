// The hue of every chroma pair, which does not depend on the settings: one
// constant table, built on first use, holding for each pair the very float
// the hue formula gives.
#pragma once

#include <cstdint>

namespace zenvarth {

// A chroma byte as the hue keys read it: (b - 128) / 256, except that a byte
// of exactly 128 reads as 0.01, so that the hue of a grey pixel is defined.
float hueComponent(uint8_t byte);

// Angle of the vector (-u, v) in degrees, 0 to 360. Square root and arcsine
// in double precision, the rest in single precision.
float chromaHue(float u, float v);

// Index of a chroma pair in the pair tables: U in the high byte, V in the low
// one, which is also bits 8 to 23 of a pixel word.
constexpr uint32_t chromaIndex(uint32_t u, uint32_t v) { return u << 8 | v; }

// chromaHue(hueComponent(U), hueComponent(V)) for all 65 536 pairs.
const float *pixelHueTable();

} // namespace zenvarth
