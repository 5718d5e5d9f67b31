// Tolmic: chroma isolation. Samples the average colour of a rectangle once
// per run, then scales the chroma of pixels near that colour by one
// percentage and of all other pixels by another.
#include <cstring>

#include "contract/helpers.h"
#include "contract/host_calls.h"

// Hand-written AVX2 rows beside the compiler's, picked where
// handAvx2Enabled() says so; OPS_BASELINE_ONLY leaves them out.
#if OPS_HAND_AVX2
#include <immintrin.h>
#endif

namespace {

// ---------------------------------------------------------------- records and statics

RectParam sampleArea = {.header = {.kind = PARAM_RECT, .labelId = 1610, .flags = 0},
                        .minWidth = 1, .minHeight = 1, .maxWidth = 320, .maxHeight = 200,
                        .x = 500, .y = 50, .width = 64, .height = 32};
SliderParam tolerance = {.header = {.kind = PARAM_SLIDER, .labelId = 1620, .flags = 0},
                         .word8 = SLIDER_WORD8, .word12 = 0, .minimum = 0, .maximum = 100, .value = 90};
SliderParam nearChroma = {.header = {.kind = PARAM_SLIDER, .labelId = 1630, .flags = 0},
                          .word8 = SLIDER_WORD8, .word12 = 0, .minimum = 0, .maximum = 200, .value = 120};
SliderParam farChroma = {.header = {.kind = PARAM_SLIDER, .labelId = 1640, .flags = 0},
                         .word8 = SLIDER_WORD8, .word12 = 0, .minimum = 0, .maximum = 200, .value = 80};

const char revision[] = "$Id: Tolmic 1.0 2026/12/08 09:00:00 zenvarth-team $";

auto tags = smallOperatorTags(0, 1, revision, sampleArea, tolerance, nearChroma, farChroma);

CachedAverage average = {false, 0, 0, 0};

// ---------------------------------------------------------------- pixel helpers

uint8_t clampTolmic(double value)
{
    if (value > 240) value = 240;
    else if (value < 15) value = 15;
    return uint8_t(int(value));
}

// f * (c - 128) / 100 + 128, clamped and truncated.
uint8_t scaleChroma(int32_t factor, int c)
{
    return clampTolmic(double(factor) * (c - 128) / 100 + 128);
}

// Per-render tables: the distance is a sum of three per-byte terms, and the
// near/far choice depends on the distance alone. Farness never falls as the
// distance grows (each step of its formula is monotonic, and so is rounding),
// so the far pixels are exactly those from one threshold distance on.
struct RenderTables {
    uint16_t distY[256], distU[256], distV[256];
    int32_t farFrom;   // first far distance; MAX_COLOR_DISTANCE + 1 when none is far
    uint8_t nearTab[256], farTab[256], lumaTab[256];
};

int32_t firstFarDistance(int32_t tol)
{
    int32_t lo = 0, hi = MAX_COLOR_DISTANCE + 1;   // answer in [lo, hi]
    while (lo < hi) {
        int32_t mid = lo + (hi - lo) / 2;
        if (farness(double(mid), tol) >= 255) hi = mid;
        else lo = mid + 1;
    }
    return lo;
}

// Only factors outside 0..200 (which a settings file can hold) need the
// byte tables; the row workers compute the rest.
void buildTables(RenderTables &tables, const CachedAverage &avg, int32_t tol, int32_t nearFactor,
                 int32_t farFactor)
{
    for (int b = 0; b < 256; ++b) {
        tables.distY[b] = uint16_t(30 * std::abs(b - avg.y));
        tables.distU[b] = uint16_t(60 * std::abs(b - avg.u));
        tables.distV[b] = uint16_t(60 * std::abs(b - avg.v));
        tables.nearTab[b] = scaleChroma(nearFactor, b);
        tables.farTab[b] = scaleChroma(farFactor, b);
        tables.lumaTab[b] = clampTolmic(b);
    }
    tables.farFrom = firstFarDistance(tol);
}

// The same rule as plain arithmetic for factors 0 to 200, the sliders'
// range: f * (c - 128) / 100 + 128 in double, clamped to 15..240 and
// truncated, is floor((f * (c - 128) + 12 800) / 100) clamped the same way
// (the quotient is a whole number or at least 0.01 from one, far beyond the
// double's rounding), and a negative numerator clamps to 15 whatever its
// quotient.
// Every step fits 16 bits (|f * (c - 128)| <= 25 600, distances <= 38 250),
// so the compiler can work on 16 pixels at a time; n / 100 for
// 0 <= n <= 38 200 is the high half of n * 41 944 shifted down by 6.
inline uint16_t scaledChroma(int16_t factor, int16_t c)
{
    int16_t n = int16_t(factor * int16_t(c - 128));
    uint16_t m = n < -12800 ? 0 : uint16_t(n + 12800);
    uint16_t q = uint16_t(uint16_t((uint32_t(m) * 41944u) >> 16) >> 6);
    return q < 15 ? 15 : q > 240 ? 240 : q;
}

struct RowRule {
    int16_t avgY, avgU, avgV;
    uint16_t farFrom;
    int16_t nearFactor, farFactor;
};

inline __attribute__((always_inline)) void isolatePixel(Pixel &pixel, const RowRule &rule)
{
    Pixel p = pixel;
    int16_t y = p.y, u = p.u, v = p.v;
    int16_t dy = int16_t(y - rule.avgY), du = int16_t(u - rule.avgU), dv = int16_t(v - rule.avgV);
    uint16_t d = uint16_t(30 * uint16_t(dy < 0 ? -dy : dy) + 60 * uint16_t(du < 0 ? -du : du) +
                          60 * uint16_t(dv < 0 ? -dv : dv));
    int16_t factor = d >= rule.farFrom ? rule.farFactor : rule.nearFactor;
    p.v = uint8_t(scaledChroma(factor, v));
    p.u = uint8_t(scaledChroma(factor, u));
    p.y = uint8_t(y < 15 ? 15 : y > 240 ? 240 : y);
    pixel = p;
}

OPS_VECTOR_KERNEL void isolateRow(Pixel *row, int32_t count, RowRule rule)
{
    for (int32_t c = 0; c < count; ++c) isolatePixel(row[c], rule);
}

#if OPS_HAND_AVX2
// The same rule on eight whole pixels at a time, without taking the
// pixels apart into planes:
// - |b - average| per byte with saturating subtractions; summed with the
//   weights 2, 2, 1 for V, U, Y (and 0 for alpha) by two multiply-adds,
//   that is d / 30, one 32-bit lane per pixel (at most 1 275);
// - the factor bytes of each pixel, 0 f f 0, times the chroma bytes taken
//   as c - 128 (the top bit flipped): one multiply-add gives f * (V - 128)
//   and f * (U - 128) in the pixel's two 16-bit halves;
// - the clamp to 15..240 moves ahead of the division: the quotient is
//   below 15 exactly when the numerator is below 1 500, and above 240
//   exactly when it is 24 100 or more;
// - luma keeps its byte, clamped bytewise; alpha passes through.
__attribute__((target("avx2"))) void isolateRowAvx2(Pixel *row, int32_t count, RowRule rule)
{
    auto word = [](int alpha, int v, int u, int y) {
        return int32_t(uint32_t(alpha) | uint32_t(v) << 8 | uint32_t(u) << 16 | uint32_t(y) << 24);
    };
    const __m256i average = _mm256_set1_epi32(word(0, rule.avgV, rule.avgU, rule.avgY));
    const __m256i weights = _mm256_set1_epi32(word(0, 2, 2, 1));
    const __m256i ones = _mm256_set1_epi16(1);
    // d >= farFrom exactly when d / 30 > lastNear.
    const __m256i lastNear = _mm256_set1_epi32((int32_t(rule.farFrom) + 29) / 30 - 1);
    const __m256i nearBytes = _mm256_set1_epi32(word(0, rule.nearFactor, rule.nearFactor, 0));
    const __m256i farBytes = _mm256_set1_epi32(word(0, rule.farFactor, rule.farFactor, 0));
    const __m256i topBits = _mm256_set1_epi8(char(0x80));
    // Both bounds apply before the offset: n + 12 800 can pass 32 767.
    const __m256i lowest = _mm256_set1_epi16(1500 - 12800), highest = _mm256_set1_epi16(24099 - 12800);
    const __m256i offset = _mm256_set1_epi16(12800), magic = _mm256_set1_epi16(int16_t(41944));
    const __m256i place = _mm256_setr_epi8(-1, 0, 2, -1, -1, 4, 6, -1, -1, 8, 10, -1, -1, 12, 14, -1,
                                           -1, 0, 2, -1, -1, 4, 6, -1, -1, 8, 10, -1, -1, 12, 14, -1);
    const __m256i keepLow = _mm256_set1_epi32(word(0, 0, 0, 15));
    const __m256i keepHigh = _mm256_set1_epi32(word(255, 0, 0, 240));
    int32_t c = 0;
    for (; c + 8 <= count; c += 8) {
        __m256i p = _mm256_loadu_si256(reinterpret_cast<const __m256i *>(row + c));
        __m256i apart = _mm256_or_si256(_mm256_subs_epu8(p, average), _mm256_subs_epu8(average, p));
        __m256i steps = _mm256_madd_epi16(_mm256_maddubs_epi16(apart, weights), ones);
        __m256i factor = _mm256_blendv_epi8(nearBytes, farBytes, _mm256_cmpgt_epi32(steps, lastNear));
        __m256i n = _mm256_maddubs_epi16(factor, _mm256_xor_si256(p, topBits));
        __m256i m = _mm256_add_epi16(_mm256_min_epi16(_mm256_max_epi16(n, lowest), highest), offset);
        __m256i q = _mm256_srli_epi16(_mm256_mulhi_epu16(m, magic), 6);
        __m256i kept = _mm256_min_epu8(_mm256_max_epu8(p, keepLow), keepHigh);
        _mm256_storeu_si256(reinterpret_cast<__m256i *>(row + c),
                            _mm256_or_si256(kept, _mm256_shuffle_epi8(q, place)));
    }
    for (; c < count; ++c) isolatePixel(row[c], rule);
}
#endif

// The row worker for this machine and run.
using RowWorker = void (*)(Pixel *, int32_t, RowRule);
RowWorker chooseRowWorker()
{
#if OPS_HAND_AVX2
    if (handAvx2Enabled()) return isolateRowAvx2;
#endif
    return isolateRow;
}

// ---------------------------------------------------------------- render

int32_t render(OperatorContext *ctx);
void init() { average.haveAverage = false; }
const SmallOperator tolmic = {"src\\Tolmic", MODULE_TOLMIC, render, init, nullptr};

int32_t render(OperatorContext *ctx)
{
    PictureHandle picture = tolmic.field(0, ctx, 89);
    if (!picture) return -1;
    sampleAverageOnce(average, *picture, sampleArea, ctx);

    const RowWorker isolateRowHere = chooseRowWorker();
    ClippedSpan area = activeArea(*picture);
    const bool inRange = nearChroma.value >= 0 && nearChroma.value <= 200 && farChroma.value >= 0 &&
                         farChroma.value <= 200;
    // This render's own tables (2.3 KB): the byte tables are filled only
    // when the factors lie outside the sliders' range.
    RenderTables tables;
    if (inRange) tables.farFrom = firstFarDistance(tolerance.value);
    else buildTables(tables, average, tolerance.value, nearChroma.value, farChroma.value);
    // farFrom is at most MAX_COLOR_DISTANCE + 1, which 16 bits hold.
    const RowRule rule{int16_t(average.y), int16_t(average.u), int16_t(average.v), uint16_t(tables.farFrom),
                       int16_t(nearChroma.value), int16_t(farChroma.value)};
    for (int32_t r = area.y0; r < area.y1; ++r) {
        Pixel *row = picture->pixels + int64_t(r) * picture->bufferWidth;
        if (inRange) {
            if (area.x1 > area.x0) isolateRowHere(row + area.x0, area.x1 - area.x0, rule);
            continue;
        }
        for (int32_t c = area.x0; c < area.x1; ++c) {
            Pixel &p = row[c];
            int d = tables.distY[p.y] + tables.distU[p.u] + tables.distV[p.v];
            const uint8_t *chroma = d >= tables.farFrom ? tables.farTab : tables.nearTab;
            p.v = chroma[p.v];
            p.u = chroma[p.u];
            p.y = tables.lumaTab[p.y];
        }
    }
    return picture.put();
}

} // namespace

extern "C" int32_t OperatorAction(OperatorContext *ctx) { return answerAction(tolmic, ctx); }
extern "C" TagWord *GetOperatorInfo() { return tags.words; }
