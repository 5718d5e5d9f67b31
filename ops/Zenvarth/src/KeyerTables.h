// Tables of the chroma keyer that do not depend on the settings: the hue of
// every chroma pair and the per-byte products of the RGB conversions of the
// primary-dominance key. Each is a plain static array, filled on first use;
// every entry is the very float the formula gives for that input.
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

// Products of the YUV to RGB conversion, by byte:
//   R = Y + rFromV[V],  G = Y - gFromU[U] - gFromV[V],  B = Y + bFromU[U].
struct RgbProducts {
    float rFromV[256];   // 1.402 * (V - 128)
    float gFromU[256];   // 0.344136 * (U - 128)
    float gFromV[256];   // 0.714136 * (V - 128)
    float bFromU[256];   // 1.772 * (U - 128)
};

// Products of the RGB to YUV conversion, by channel value 0..255:
//   V = half[R] - vFromG[G] - vFromB[B] + 128
//   U = half[B] - uFromG[G] - uFromR[R] + 128
//   Y = yFromR[R] + yFromG[G] + yFromB[B]
struct YuvProducts {
    float half[256];     // 0.5 * c
    float vFromG[256];   // 0.418688 * G
    float vFromB[256];   // 0.081312 * B
    float uFromG[256];   // 0.331264 * G
    float uFromR[256];   // 0.168736 * R
    float yFromR[256];   // 0.299 * R
    float yFromG[256];   // 0.587 * G
    float yFromB[256];   // 0.114 * B
};

const RgbProducts &rgbProducts();
const YuvProducts &yuvProducts();

} // namespace zenvarth
