// Box blur of the key: a separable box filter over alpha bytes, from the
// output's alpha plane into the background's, whose alpha the system keeps
// as scratch space for the blurred key.
//
// A blur of size a averages a window a/2 rows high (starting a/4 rows above
// the pixel) and then a window a columns wide (starting a/2 columns to the
// left). Away from the picture's edges each pass keeps one running sum per
// column or per row:
//
//     sum(p + 1) = sum(p) + in[p + 1 - offset + length - 1] - in[p - offset]
//
// so a pixel costs one add, one subtract and one divide whatever the size.
// The first and last offset + 1 positions of a line use shrinking windows
// that start or end at the picture's edge, divided by the number of samples
// they hold; they are written after the running sums and replace them.
// Every window is limited to the picture, so a picture narrower or lower
// than the window still gets averages of the samples it has.
#include <algorithm>
#include <cstdlib>

#include "BoxBlur.h"
#include "ZenvarthRender.h"
#include "contract/helpers.h"

namespace zenvarth {

void *(*blurPlaneAllocator)(size_t bytes) = std::malloc;

// The long runs of whole windows divide in vector loops: a sum of n byte
// samples is at most 255 * n < 2^24, so the float quotient is within one
// of the true one, and one step each way on the integers makes it exact.
OPS_VECTOR_KERNEL void divideSums(const uint32_t *sums, uint32_t *quotients, size_t count, uint32_t n)
{
    const float inverse = 1.0f / float(n);
    const int32_t divisor = int32_t(n);
    for (size_t i = 0; i < count; ++i) {
        const int32_t sum = int32_t(sums[i]);
        int32_t q = int32_t(float(sum) * inverse);
        q -= q * divisor > sum ? 1 : 0;
        q += (q + 1) * divisor <= sum ? 1 : 0;
        quotients[i] = uint32_t(q);
    }
}

namespace {

// Division by a count n of byte samples as a multiply and a shift. With
// m = floor(2^40 / n) + 1 the quotient is exact while sum * n < 2^40, which
// holds for sums of at most 255 * n and n up to 65535.
constexpr int RECIPROCAL_SHIFT = 40;

inline uint64_t reciprocal(uint32_t n) { return (uint64_t(1) << RECIPROCAL_SHIFT) / n + 1; }

inline uint32_t divideBy(uint32_t sum, uint64_t reciprocalOfCount)
{
    return uint32_t((uint64_t(sum) * reciprocalOfCount) >> RECIPROCAL_SHIFT);
}

// Moves every column's window down a row.
OPS_VECTOR_KERNEL void slideSums(uint32_t *sums, const Pixel *entering, const Pixel *leaving, size_t count)
{
    for (size_t x = 0; x < count; ++x) sums[x] += uint32_t(entering[x].alpha) - leaving[x].alpha;
}

// Largest sample count any window of the blur can hold, plus one entry for 0.
size_t reciprocalTableLength(int32_t width, int32_t height, int32_t size)
{
    int64_t longest = std::max(width, height);
    return size_t(std::min<int64_t>(int64_t(size) + 1, longest)) + 1;
}

// Vertical pass: source alpha bytes into the temporary plane, window
// `length` rows starting `offset` rows above. `sums` holds one running sum
// per column.
void blurColumns(const Pixel *source, uint32_t *plane, uint32_t *sums, int32_t width,
                 int32_t height, int32_t length, int32_t offset, const uint64_t *reciprocals)
{
    const size_t w = size_t(width);
    auto sourceRow = [&](int32_t r) { return source + size_t(r) * w; };
    auto planeRow = [&](int32_t r) { return plane + size_t(r) * w; };

    if (height >= length) {
        std::fill(sums, sums + w, 0u);
        for (int32_t r = 0; r < length; ++r) {
            const Pixel *in = sourceRow(r);
            for (size_t x = 0; x < w; ++x) sums[x] += in[x].alpha;
        }
        const int32_t last = offset + height - length;
        for (int32_t p = offset;; ++p) {
            divideSums(sums, planeRow(p), w, uint32_t(length));
            if (p == last) break;
            slideSums(sums, sourceRow(p - offset + length), sourceRow(p - offset), w);
        }
    }

    // Top rows: windows from row 0 down to offset + i.
    std::fill(sums, sums + w, 0u);
    int32_t below = 0;   // rows summed so far: 0 .. below - 1
    for (int32_t i = 0; i <= offset && i < height; ++i) {
        int32_t end = std::min(offset + i, height - 1);
        for (; below <= end; ++below) {
            const Pixel *in = sourceRow(below);
            for (size_t x = 0; x < w; ++x) sums[x] += in[x].alpha;
        }
        const uint64_t r = reciprocals[below];
        uint32_t *out = planeRow(i);
        for (size_t x = 0; x < w; ++x) out[x] = divideBy(sums[x], r);
    }

    // Bottom rows: windows from row height - 1 - offset - i up to the last.
    std::fill(sums, sums + w, 0u);
    int32_t from = height;   // rows summed so far: from .. height - 1
    for (int32_t i = 0; i <= offset && i < height; ++i) {
        int32_t begin = std::max(height - 1 - offset - i, 0);
        while (from > begin) {
            const Pixel *in = sourceRow(--from);
            for (size_t x = 0; x < w; ++x) sums[x] += in[x].alpha;
        }
        const uint64_t r = reciprocals[height - from];
        uint32_t *out = planeRow(height - 1 - i);
        for (size_t x = 0; x < w; ++x) out[x] = divideBy(sums[x], r);
    }
}

// Horizontal pass over one row: temporary plane into destination alpha,
// window `length` columns starting `offset` columns to the left.
void blurRow(const uint32_t *in, Pixel *out, int32_t width, int32_t length, int32_t offset,
             const uint64_t *reciprocals, uint32_t *scratch)
{
    if (width >= length) {
        // The running sums first, then their quotients in one vector loop.
        uint32_t sum = 0;
        for (int32_t c = 0; c < length; ++c) sum += in[c];
        const int32_t count = width - length + 1;
        const uint32_t *leaving = in;
        const uint32_t *entering = in + length;
        for (int32_t i = 0; i < count - 1; ++i) {
            scratch[i] = sum;
            sum += *entering++ - *leaving++;
        }
        scratch[count - 1] = sum;
        divideSums(scratch, scratch, size_t(count), uint32_t(length));
        Pixel *o = out + offset;
        for (int32_t i = 0; i < count; ++i) o[i].alpha = uint8_t(scratch[i]);
    }

    uint32_t sum = 0;
    int32_t right = 0;
    for (int32_t i = 0; i <= offset && i < width; ++i) {
        int32_t end = std::min(offset + i, width - 1);
        for (; right <= end; ++right) sum += in[right];
        out[i].alpha = uint8_t(divideBy(sum, reciprocals[right]));
    }

    sum = 0;
    int32_t left = width;
    for (int32_t i = 0; i <= offset && i < width; ++i) {
        int32_t begin = std::max(width - 1 - offset - i, 0);
        while (left > begin) sum += in[--left];
        out[width - 1 - i].alpha = uint8_t(divideBy(sum, reciprocals[width - left]));
    }
}

} // namespace

size_t blurWorkCells(int32_t width, int32_t height, int32_t size)
{
    if (width <= 0 || height <= 0 || size < 4) return 0;
    // reciprocal table (two cells an entry), the plane, one sum per column
    return 2 * reciprocalTableLength(width, height, size) + size_t(width) * size_t(height) +
           size_t(width);
}

void blurAlphaPlane(const Pixel *source, Pixel *destination, int32_t width, int32_t height,
                    int32_t size, uint32_t *work)
{
    if (width <= 0 || height <= 0 || size < 4) return;
    const int32_t rows = size / 2;      // window height
    const int32_t above = size / 4;     // rows of the window above the pixel
    const int32_t columns = size;       // window width
    const int32_t left = size / 2;      // columns of the window left of the pixel

    const size_t tableLength = reciprocalTableLength(width, height, size);
    auto *reciprocals = reinterpret_cast<uint64_t *>(work);
    reciprocals[0] = 0;
    for (size_t n = 1; n < tableLength; ++n) reciprocals[n] = reciprocal(uint32_t(n));
    uint32_t *plane = work + 2 * tableLength;
    uint32_t *sums = plane + size_t(width) * size_t(height);

    blurColumns(source, plane, sums, width, height, rows, above, reciprocals);
    for (int32_t y = 0; y < height; ++y) {
        size_t at = size_t(y) * size_t(width);
        blurRow(plane + at, destination + at, width, columns, left, reciprocals, sums);
    }
}

bool boxBlurKey(int32_t size)
{
    if (size < 4 || !outputPicture || !backgroundPicture) return false;
    if (pictureWidth <= 0 || pictureHeight <= 0) return true;
    size_t cells = blurWorkCells(pictureWidth, pictureHeight, size);
    auto *work = static_cast<uint32_t *>(blurPlaneAllocator(cells * sizeof(uint32_t)));
    if (!work) return false;
    blurAlphaPlane(outputPicture->pixels, backgroundPicture->pixels, pictureWidth, pictureHeight,
                   size, work);
    std::free(work);
    return true;
}

} // namespace zenvarth
