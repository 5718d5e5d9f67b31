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
// alpha as it was, when its work cells (a few rows' worth, see RowBlur)
// cannot be allocated or size is below 4; the callers then skip the work that would read the blurred key.
bool boxBlurKey(int32_t size);

// The blur itself on plain planes: reads the alpha bytes of `source`, writes
// the alpha bytes of `destination` (width * height pixels each, rows without
// gaps), using `work`, which holds blurWorkCells(width, height, size)
// 32-bit cells. Colour bytes are left alone.
void blurAlphaPlane(const Pixel *source, Pixel *destination, int32_t width, int32_t height,
                    int32_t size, uint32_t *work);
size_t blurWorkCells(int32_t width, int32_t height, int32_t size);

// The blur a row at a time, top to bottom, for callers that make the key
// row by row and want each blurred row as soon as the key rows it averages
// are final. `work` holds blurWorkCells(width, height, size) cells and stays
// the caller's.
class RowBlur {
public:
    // False (and no rows to give) for an empty picture, a size below 4 or
    // no work cells.
    bool start(const Pixel *source, Pixel *destination, int32_t width, int32_t height, int32_t size,
               uint32_t *work);
    // How many source rows, from the top, must be final to give rows 0..end-1.
    int32_t sourceRowsFor(int32_t end) const;
    // Writes the destination's alpha bytes of every row below `end` not
    // written yet.
    void rowsUpTo(int32_t end);

private:
    void windowOf(int32_t row, int32_t &first, int32_t &last) const;

    const Pixel *source_ = nullptr;
    Pixel *destination_ = nullptr;
    int32_t width_ = 0, height_ = 0, size_ = 0;
    int32_t rows_ = 0, above_ = 0;
    int32_t next_ = 0;                        // next row to write
    int32_t summedFirst_ = 0, summedEnd_ = 0; // source rows in the column sums
    uint64_t *reciprocals_ = nullptr;
    uint32_t *sums_ = nullptr, *averages_ = nullptr, *totals_ = nullptr;
};

// Work cells for a blur of the render's key, from blurPlaneAllocator; null
// when they cannot be had or there is nothing to blur. Freed with std::free.
uint32_t *allocateBlurWork(int32_t size);

// quotients[i] = sums[i] / n for count sums of at most 255 * n byte samples
// each (n up to 65 535); quotients may be sums.
void divideSums(const uint32_t *sums, uint32_t *quotients, size_t count, uint32_t n);

// Where the blurs of the render's key get their work cells; std::malloc
// unless a test makes it fail.
extern void *(*blurPlaneAllocator)(size_t bytes);

} // namespace zenvarth
