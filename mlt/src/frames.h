// MLT's packed 4:2:2 pictures (Y0 U Y1 V) to and from a frame's two fields,
// by the rules ophost's YUV4MPEG2 reader and writer follow for 4:2:2: each
// chroma sample is replicated over its two pixels on reading (key 255), and
// the rounded average of the two is written back.
#pragma once

#include <cstdint>

#include "op_host.h"

namespace opsmlt {

// Width must be even and height even.
void fieldsFromYuyv(const uint8_t *image, int width, int height, Fields &out);
void fieldsToYuyv(const Fields &in, int width, int height, uint8_t *image);
// The key of every pixel, a byte per pixel in frame order.
void keyFromFields(const Fields &in, int width, int height, uint8_t *alpha);

} // namespace opsmlt
