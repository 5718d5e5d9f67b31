// The box blur over alpha planes, shared by the key-edge pass and the glow
// and shadow effects.
#pragma once

#include <cstddef>
#include <cstdint>

#include "contract/contract.h"

namespace zenvarth {

// Blurs the alpha plane of outputPicture into the alpha plane of
// backgroundPicture with a box `size` pixels wide and size/2 rows high
// (size is 4 times a setting). Returns false, leaving the background's
// alpha as it was, when the temporary plane cannot be allocated or size is
// below 4; the callers then skip the work that would read the blurred key.
bool boxBlurKey(int32_t size);

// The blur itself on plain planes: reads the alpha bytes of `source`, writes
// the alpha bytes of `destination` (width * height pixels each, rows without
// gaps), using `work`, which holds blurWorkCells(width, height, size)
// 32-bit cells. Colour bytes are left alone.
void blurAlphaPlane(const Pixel *source, Pixel *destination, int32_t width, int32_t height,
                    int32_t size, uint32_t *work);
size_t blurWorkCells(int32_t width, int32_t height, int32_t size);

// quotients[i] = sums[i] / n for count sums of at most 255 * n byte samples
// each (n up to 65 535); quotients may be sums.
void divideSums(const uint32_t *sums, uint32_t *quotients, size_t count, uint32_t n);

// Where boxBlurKey gets its temporary plane; std::malloc unless a test
// makes it fail.
extern void *(*blurPlaneAllocator)(size_t bytes);

} // namespace zenvarth
