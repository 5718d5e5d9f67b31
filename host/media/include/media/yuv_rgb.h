// Conversion between the operators' Y'CbCr pixels and 8-bit RGB, by the
// BT.601 limited-range integer rule (Y 16..235, chroma 16..240 nominal):
//   to RGB:   c = Y-16, d = U-128, e = V-128
//             R = clamp((298c + 409e + 128) >> 8)
//             G = clamp((298c - 100d - 208e + 128) >> 8)
//             B = clamp((298c + 516d + 128) >> 8)
//   from RGB: Y = ((66R + 129G + 25B + 128) >> 8) + 16
//             U = ((-38R - 74G + 112B + 128) >> 8) + 128
//             V = ((112R - 94G - 18B + 128) >> 8) + 128
// (>> is an arithmetic shift, clamp to 0..255). The key byte is the alpha.
#pragma once

#include <cstdint>

#include "contract/contract.h"
#include "media/png_io.h"
#include "media/video.h"

namespace media {

void pixelToRgb(Pixel p, uint8_t &r, uint8_t &g, uint8_t &b);
Pixel rgbToPixel(uint8_t r, uint8_t g, uint8_t b, uint8_t alpha);

void frameFromRgba(const RgbaImage &image, VideoFrame &frame);
void frameToRgba(const VideoFrame &frame, RgbaImage &image);

} // namespace media
