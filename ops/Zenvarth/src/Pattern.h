// The wipe pattern's pieces the compositor and the tests need besides what
// ZenvarthRender.h declares (the buffer, loading and freeing it).
#pragma once

#include <cstddef>
#include <cstdint>

namespace zenvarth {

// Where loadPattern gets the pattern buffer; std::malloc unless a test makes
// it fail.
extern void *(*patternBufferAllocator)(size_t bytes);

// The wipe pattern's size as it was scaled; 0 x 0 when there is none.
extern int32_t patternWidth;
extern int32_t patternHeight;

// Scales a one-byte-per-pixel picture of sourceWidth x sourceHeight into
// patternBuffer at pictureWidth x pictureHeight (nearest neighbour, 16.16).
void scalePattern(const uint8_t *source, uint32_t sourceWidth, uint32_t sourceHeight);

// True when patternBuffer is present and was scaled for the current pictures.
bool patternFitsPictures();

} // namespace zenvarth
