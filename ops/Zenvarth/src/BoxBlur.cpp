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
//
// The rows come out one at a time, top to bottom: the vertical windows of
// successive rows only ever move down (a top edge window ends further down
// each row, a running window moves by one row, a bottom edge window loses
// its first row), so one sum per column follows them, and each row's
// column averages are blurred across at once. Nothing the size of the
// picture is kept, and a caller may take the rows as the key they need
// becomes ready.
#include <algorithm>
#include <cstdlib>
#include <cstring>

#include "BoxBlur.h"
#include "PixelLanes.h"
#include "ZenvarthRender.h"
#include "contract/helpers.h"

namespace zenvarth {

void *(*blurPlaneAllocator)(size_t bytes) = std::malloc;

// The long runs of whole windows divide in vector loops: a sum of n byte
// samples is at most 255 * n < 2^24, so the float quotient is within one
// of the true one, and one step each way on the integers makes it exact.
namespace {

inline uint32_t exactQuotient(int32_t sum, float inverse, int32_t divisor)
{
    int32_t q = int32_t(float(sum) * inverse);
    q -= q * divisor > sum ? 1 : 0;
    q += (q + 1) * divisor <= sum ? 1 : 0;
    return uint32_t(q);
}

} // namespace

OPS_VECTOR_KERNEL void divideSums(const uint32_t *sums, uint32_t *quotients, size_t count, uint32_t n)
{
    const float inverse = 1.0f / float(n);
    const int32_t divisor = int32_t(n);
    for (size_t i = 0; i < count; ++i) quotients[i] = exactQuotient(int32_t(sums[i]), inverse, divisor);
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

OPS_VECTOR_KERNEL void addRow(uint32_t *sums, const Pixel *row, size_t count)
{
    for (size_t x = 0; x < count; ++x) sums[x] += row[x].alpha;
}

OPS_VECTOR_KERNEL void subtractRow(uint32_t *sums, const Pixel *row, size_t count)
{
    for (size_t x = 0; x < count; ++x) sums[x] -= row[x].alpha;
}

// The alpha byte of out[i] becomes (high[i] - low[i]) / n: window sums
// taken from running totals. The pixel is rewritten whole, its colour bytes
// as they were, so that the loop works on whole words.
OPS_VECTOR_KERNEL void windowAverages(const uint32_t *low, const uint32_t *high, Pixel *out, size_t count,
                                      uint32_t n)
{
    const float inverse = 1.0f / float(n);
    const int32_t divisor = int32_t(n);
    for (size_t i = 0; i < count; ++i) {
        const uint32_t q = exactQuotient(int32_t(high[i] - low[i]), inverse, divisor);
        uint32_t word;
        std::memcpy(&word, out + i, sizeof word);
        word = (word & ~0xFFu) | q;
        std::memcpy(out + i, &word, sizeof word);
    }
}

#if OPS_HAND_AVX2

// The column averages of a row and their running totals in one AVX2 loop,
// eight columns to a step: the quotients as in exactQuotient, lane by
// lane, then summed along the row. With `entering` the column sums first
// move down a row, as slideSums moves them. Returns how many columns it
// did; the total after them is totals[done].
__attribute__((target("avx2"))) size_t averageTotalsAvx2(uint32_t *sums, uint32_t *totals, size_t count, uint32_t n,
                                                         const Pixel *entering, const Pixel *leaving)
{
    typedef __m256i V;
    const __m256 inverse = _mm256_set1_ps(1.0f / float(n));
    const V divisor = _mm256_set1_epi32(int32_t(n)), one = _mm256_set1_epi32(1);
    const V alphaByte = _mm256_set1_epi32(0xFF);
    V carry = _mm256_setzero_si256();
    totals[0] = 0;
    size_t i = 0;
    for (; i + 8 <= count; i += 8) {
        V sum = _mm256_loadu_si256(reinterpret_cast<const V *>(sums + i));
        if (entering) {
            const V in = _mm256_and_si256(_mm256_loadu_si256(reinterpret_cast<const V *>(entering + i)), alphaByte);
            const V out = _mm256_and_si256(_mm256_loadu_si256(reinterpret_cast<const V *>(leaving + i)), alphaByte);
            sum = _mm256_sub_epi32(_mm256_add_epi32(sum, in), out);
            _mm256_storeu_si256(reinterpret_cast<V *>(sums + i), sum);
        }
        V q = _mm256_cvttps_epi32(_mm256_mul_ps(_mm256_cvtepi32_ps(sum), inverse));
        // One step down where q * n > sum, one up where (q + 1) * n <= sum.
        q = _mm256_add_epi32(q, _mm256_cmpgt_epi32(_mm256_mullo_epi32(q, divisor), sum));
        const V above = _mm256_cmpgt_epi32(_mm256_add_epi32(_mm256_mullo_epi32(q, divisor), divisor), sum);
        q = _mm256_add_epi32(_mm256_add_epi32(q, one), above);
        // Running totals: within each half, then the low half's total into the high half, then the carry.
        q = _mm256_add_epi32(q, _mm256_slli_si256(q, 4));
        q = _mm256_add_epi32(q, _mm256_slli_si256(q, 8));
        const V lowTotal = _mm256_shuffle_epi32(q, 0xFF);
        q = _mm256_add_epi32(q, _mm256_permute2x128_si256(lowTotal, lowTotal, 0x08));
        q = _mm256_add_epi32(q, carry);
        _mm256_storeu_si256(reinterpret_cast<V *>(totals + i + 1), q);
        carry = _mm256_permutevar8x32_epi32(q, _mm256_set1_epi32(7));
    }
    return i;
}

#endif

// totals[c + 1] = totals[c] + sums[c] / n, from totals[0] = 0: the running
// totals of a row's column averages. `averages` is scratch of `count` cells.
// With `entering` the sums first take in that row and let go of `leaving`.
void averageTotals(uint32_t *sums, uint32_t *averages, uint32_t *totals, size_t count, uint32_t n,
                   const Pixel *entering, const Pixel *leaving)
{
    size_t done = 0;
#if OPS_HAND_AVX2
    if (lanes::handWrittenSweeps()) done = averageTotalsAvx2(sums, totals, count, n, entering, leaving);
#endif
    if (done == count) return;
    if (entering) slideSums(sums + done, entering + done, leaving + done, count - done);
    divideSums(sums + done, averages, count - done, n);
    uint32_t total = done ? totals[done] : 0;
    totals[done] = total;
    for (size_t c = done; c < count; ++c) totals[c + 1] = total += averages[c - done];
}

// Horizontal pass over one row: from the running totals of its column
// averages (width + 1 cells) into destination alpha, window `length`
// columns starting `offset` columns to the left. Every window's sum is one
// difference of totals.
void blurRow(const uint32_t *totals, Pixel *out, int32_t width, int32_t length, int32_t offset,
             const uint64_t *reciprocals)
{
    if (width >= length)
        windowAverages(totals, totals + length, out + offset, size_t(width - length + 1), uint32_t(length));

    // Left edge: columns 0 .. offset + i.
    for (int32_t i = 0; i <= offset && i < width; ++i) {
        const int32_t end = std::min(offset + i, width - 1) + 1;
        out[i].alpha = uint8_t(divideBy(totals[end], reciprocals[end]));
    }
    // Right edge: columns width - 1 - offset - i .. width - 1.
    for (int32_t i = 0; i <= offset && i < width; ++i) {
        const int32_t begin = std::max(width - 1 - offset - i, 0);
        out[width - 1 - i].alpha = uint8_t(divideBy(totals[width] - totals[begin], reciprocals[width - begin]));
    }
}

} // namespace

// The rows of a vertical window, first..last, for output row `row`. The
// bottom edge windows take precedence over the top ones, and both over the
// running ones, as when they are written after them.
void RowBlur::windowOf(int32_t row, int32_t &first, int32_t &last) const
{
    if (row >= height_ - 1 - above_) {
        first = std::max(row - above_, 0);
        last = height_ - 1;
    } else if (row <= above_) {
        first = 0;
        last = std::min(above_ + row, height_ - 1);
    } else {
        first = row - above_;
        last = row - above_ + rows_ - 1;
    }
}

bool RowBlur::start(const Pixel *source, Pixel *destination, int32_t width, int32_t height, int32_t size,
                    uint32_t *work)
{
    source_ = source;
    destination_ = destination;
    width_ = width;
    height_ = height;
    size_ = size;
    next_ = 0;
    summedFirst_ = 0;
    summedEnd_ = 0;
    if (width <= 0 || height <= 0 || size < 4 || !work) {
        next_ = height_ = 0;
        return false;
    }
    rows_ = size / 2;
    above_ = size / 4;
    const size_t tableLength = reciprocalTableLength(width, height, size);
    reciprocals_ = reinterpret_cast<uint64_t *>(work);
    reciprocals_[0] = 0;
    for (size_t n = 1; n < tableLength; ++n) reciprocals_[n] = reciprocal(uint32_t(n));
    sums_ = work + 2 * tableLength;
    averages_ = sums_ + size_t(width);
    totals_ = averages_ + size_t(width);
    std::fill(sums_, sums_ + size_t(width), 0u);
    return true;
}

int32_t RowBlur::sourceRowsFor(int32_t end) const
{
    if (end <= 0 || height_ <= 0) return 0;
    int32_t first = 0, last = 0;
    windowOf(std::min(end, height_) - 1, first, last);
    return last + 1;
}

void RowBlur::rowsUpTo(int32_t end)
{
    end = std::min(end, height_);
    const size_t w = size_t(width_);
    for (; next_ < end; ++next_) {
        int32_t first = 0, last = 0;
        windowOf(next_, first, last);
        // Take in the rows entering the window, then let go of those that
        // left it: the sums are whole numbers, the order does not matter.
        // A running window moves by one row: both in the sweep that
        // divides the sums.
        const Pixel *entering = nullptr, *leaving = nullptr;
        if (last == summedEnd_ && first == summedFirst_ + 1) {
            entering = source_ + size_t(summedEnd_++) * w;
            leaving = source_ + size_t(summedFirst_++) * w;
        }
        for (; summedEnd_ <= last; ++summedEnd_) addRow(sums_, source_ + size_t(summedEnd_) * w, w);
        for (; summedFirst_ < first; ++summedFirst_) subtractRow(sums_, source_ + size_t(summedFirst_) * w, w);
        averageTotals(sums_, averages_, totals_, w, uint32_t(last - first + 1), entering, leaving);
        blurRow(totals_, destination_ + size_t(next_) * w, width_, size_, size_ / 2, reciprocals_);
    }
}

size_t blurWorkCells(int32_t width, int32_t height, int32_t size)
{
    if (width <= 0 || height <= 0 || size < 4) return 0;
    // reciprocal table (two cells an entry), then one row each of column
    // sums and column averages, and the running totals of a row
    return 2 * reciprocalTableLength(width, height, size) + 3 * size_t(width) + 1;
}

void blurAlphaPlane(const Pixel *source, Pixel *destination, int32_t width, int32_t height,
                    int32_t size, uint32_t *work)
{
    RowBlur blur;
    if (blur.start(source, destination, width, height, size, work)) blur.rowsUpTo(height);
}

uint32_t *allocateBlurWork(int32_t size)
{
    if (size < 4 || !outputPicture || !backgroundPicture) return nullptr;
    if (pictureWidth <= 0 || pictureHeight <= 0) return nullptr;
    return static_cast<uint32_t *>(
        blurPlaneAllocator(blurWorkCells(pictureWidth, pictureHeight, size) * sizeof(uint32_t)));
}

bool boxBlurKey(int32_t size)
{
    if (size < 4 || !outputPicture || !backgroundPicture) return false;
    if (pictureWidth <= 0 || pictureHeight <= 0) return true;
    uint32_t *work = allocateBlurWork(size);
    if (!work) return false;
    blurAlphaPlane(outputPicture->pixels, backgroundPicture->pixels, pictureWidth, pictureHeight,
                   size, work);
    std::free(work);
    return true;
}

} // namespace zenvarth
