// Vashrel: chroma change. Samples the average colour of a rectangle once per
// run, then shifts every pixel towards the target colour by the offset
// between the average and the target: fully for pixels close to the average,
// fading to nothing for far ones. Luma follows only when lumaMode says so.
#include <cmath>
#include <memory>
#include <new>

#include "contract/helpers.h"
#include "contract/host_calls.h"

// Hand-written AVX2 rows beside the plain ones, picked where
// handAvx2Enabled() says so; OPS_BASELINE_ONLY leaves them out.
#if OPS_HAND_AVX2
#include <immintrin.h>
#endif

namespace {

// ---------------------------------------------------------------- records and statics

RectParam sampleArea = {.header = {.kind = PARAM_RECT, .labelId = 1510, .flags = 0},
                        .minWidth = 1, .minHeight = 1, .maxWidth = 320, .maxHeight = 200,
                        .x = 500, .y = 50, .width = 64, .height = 32};
SliderParam tolerance = {.header = {.kind = PARAM_SLIDER, .labelId = 1520, .flags = 0},
                         .word8 = SLIDER_WORD8, .word12 = 0, .minimum = 0, .maximum = 100, .value = 85};
ColorParam targetColor = {.header = {.kind = PARAM_COLOR, .labelId = 1530, .flags = 0},
                          .color = pixelFromWord(BLUE_DEFAULT)};

// The choice record with its entry list right behind it.
struct LumaModeRecord {
    ChoiceParam param;
    uint32_t entries[3];
};
LumaModeRecord lumaMode = {
    .param = {.header = {.kind = PARAM_CHOICE, .labelId = 1540, .flags = 0}, .entries = lumaMode.entries, .value = 0},
    .entries = {1541, 1542, 0}};

const char revision[] = "$Id: Vashrel 1.0 2026/12/08 17:00:00 zenvarth-team $";

auto tags = smallOperatorTags(2, 1, revision, sampleArea, tolerance, targetColor, lumaMode.param);

CachedAverage average = {false, 0, 0, 0};

// ---------------------------------------------------------------- pixel helpers

// colorDistance is 30 times an integer from 0 to 1 275; tables are indexed
// by that integer.
constexpr int DISTANCE_STEPS = MAX_COLOR_DISTANCE / 30 + 1;

double clampVashrel(double value)
{
    if (value > 240) return 240;
    if (value < 16) return 16;
    return value;
}

// One channel as the rule computes it, in double precision.
uint8_t shiftChannel(int b, double offset)
{
    return uint8_t(int(clampVashrel(b - offset)));
}

// Tables of the plain rows, which processors without AVX2 run (and builds
// with OPS_BASELINE_ONLY). The weight, and so the offset s each channel moves by,
// depends on the distance alone. For a byte b the result is the clamped
// truncation of the double b - s, which equals the integer b - ceil(s)
// clamped to 16..240 unless s lies just above an integer (there the
// rounding of b - s may reach the integer above b - ceil(s)). So each
// distance step maps a channel's byte through a view into one shared clamp
// table, or, for the few steps where s lies just above an integer, through
// a table of its own made with the double formula. Whatever the tolerance
// and the colours, no channel needs more than 22 own tables (the tests
// count them for every case), so 64 always suffice.
constexpr int CLAMP_BIAS = 255;
constexpr int OWN_TABLES = 64;   // per channel
constexpr int CLAMP_SIZE = 2 * CLAMP_BIAS + 256;

// Where each channel's byte map starts in the arena, per distance step.
struct StepMap {
    uint16_t v, u, y;
};

struct RenderTables {
    uint16_t stepY[256], stepU[256], stepV[256];
    StepMap maps[DISTANCE_STEPS];
    // The clamp of i - CLAMP_BIAS at i, then the own tables.
    uint8_t arena[CLAMP_SIZE + 3 * OWN_TABLES * 256];
    int ownUsed[3];
};
static_assert(sizeof(RenderTables::arena) <= 65536, "arena offsets are 16 bits");

// Chooses the byte map of one channel at one distance step.
uint16_t mapChannel(RenderTables &tables, int channel, double offset)
{
    double up = std::ceil(offset);
    double below = up - 1;
    if (!(offset > below && offset - below < 0x1p-20)) return uint16_t(CLAMP_BIAS - int(up));
    int own = CLAMP_SIZE + (channel * OWN_TABLES + tables.ownUsed[channel]++) * 256;
    for (int b = 0; b < 256; ++b) tables.arena[own + b] = shiftChannel(b, offset);
    return uint16_t(own);
}

void buildTables(RenderTables &tables, const CachedAverage &avg, int32_t tol, Pixel target)
{
    int32_t deltaY = avg.y - target.y;
    int32_t deltaU = avg.u - target.u;
    int32_t deltaV = avg.v - target.v;
    for (int b = 0; b < 256; ++b) {
        tables.stepY[b] = uint16_t(std::abs(b - avg.y));
        tables.stepU[b] = uint16_t(2 * std::abs(b - avg.u));
        tables.stepV[b] = uint16_t(2 * std::abs(b - avg.v));
    }
    for (int i = 0; i < CLAMP_SIZE; ++i) {
        int value = i - CLAMP_BIAS;
        tables.arena[i] = uint8_t(value < 16 ? 16 : value > 240 ? 240 : value);
    }
    tables.ownUsed[0] = tables.ownUsed[1] = tables.ownUsed[2] = 0;
    for (int k = 0; k < DISTANCE_STEPS; ++k) {
        double w = 255 - farness(30.0 * k, tol);
        StepMap &map = tables.maps[k];
        map.y = mapChannel(tables, 0, deltaY * w / 255);
        map.u = mapChannel(tables, 1, deltaU * w / 255);
        map.v = mapChannel(tables, 2, deltaV * w / 255);
    }
}

template <bool changeLuma>
inline __attribute__((always_inline)) Pixel shiftPixel(const RenderTables &tables, Pixel p)
{
    int k = tables.stepY[p.y] + tables.stepU[p.u] + tables.stepV[p.v];
    const StepMap map = tables.maps[k];
    const uint8_t *arena = tables.arena;
    p.v = arena[map.v + p.v];
    p.u = arena[map.u + p.u];
    if (changeLuma) p.y = arena[map.y + p.y];
    return p;
}

template <bool changeLuma> void shiftRow(const RenderTables &tables, Pixel *row, int32_t c0, int32_t c1)
{
    for (int32_t c = c0; c < c1; ++c) row[c] = shiftPixel<changeLuma>(tables, row[c]);
}

// The same rule for byte lanes, one word per distance step, which a whole
// pixel meets at once. With S = ceil(s) a channel's byte b becomes
// b - S clamped, or, where s lies just above an integer, b - S + 1 clamped
// for the bytes above a cut and b - S clamped for the others: the double
// b - s lies in [b - S, b - S + 1], and it rounds up to b - S + 1 exactly
// when the gap s - (S - 1) is at most half the spacing of doubles just
// below b - S + 1, a spacing that only grows with b. The sign of S is the
// sign of the channel's offset at every step, so one word holds |S| per
// byte and the render's masks say which bytes subtract and which add.
// Word bytes, from byte 0: a flag (some channel has a cut at this step),
// then V, U, Y, as in a pixel.
struct LaneTables {
    uint32_t shifts[DISTANCE_STEPS];
    uint32_t cuts[DISTANCE_STEPS];   // 255 in byte 0 and for a channel without a cut
    uint32_t subtractBytes, addBytes;
    // The words are those of step 0 up to step lastFull (the full shift)
    // and those of the last step from step firstNone on (no shift): eight
    // pixels all inside one of those runs need no table look-up.
    int32_t lastFull, firstNone;
};

constexpr uint32_t STEP_HAS_CUT = 1;

uint8_t clampByte(int value) { return uint8_t(value < 16 ? 16 : value > 240 ? 240 : value); }

// |S| and the cut of one channel at one step.
void laneChannel(double offset, uint8_t &magnitude, uint8_t &cut)
{
    int up = int(std::ceil(offset));
    double below = up - 1;
    cut = 255;
    if (offset > below && offset - below < 0x1p-20) {
        int last = -1;   // the last byte the rule leaves at b - S
        for (int b = 0; b < 256; ++b)
            if (shiftChannel(b, offset) != clampByte(b - up + 1)) last = b;
        if (last < 0) --up;
        else if (last < 255) cut = uint8_t(last);
    }
    // |offset| <= 255, and a step down from ceil(offset) happens only when
    // the offset lies just above an integer, so |S| <= 255.
    magnitude = uint8_t(up < 0 ? -up : up);
}

void buildLaneTables(LaneTables &lanes, const CachedAverage &avg, int32_t tol, Pixel target)
{
    const int32_t deltas[3] = {avg.v - target.v, avg.u - target.u, avg.y - target.y};
    for (int k = 0; k < DISTANCE_STEPS; ++k) {
        double w = 255 - farness(30.0 * k, tol);
        uint32_t shift = 0, cut = 255;
        for (int ch = 0; ch < 3; ++ch) {
            uint8_t magnitude, channelCut;
            laneChannel(deltas[ch] * w / 255, magnitude, channelCut);
            shift |= uint32_t(magnitude) << (8 * ch + 8);
            cut |= uint32_t(channelCut) << (8 * ch + 8);
            if (channelCut != 255) shift |= STEP_HAS_CUT;
        }
        lanes.shifts[k] = shift;
        lanes.cuts[k] = cut;
    }
    constexpr int LAST = DISTANCE_STEPS - 1;
    int k = 0;
    while (k < LAST && lanes.shifts[k + 1] == lanes.shifts[0] && lanes.cuts[k + 1] == lanes.cuts[0]) ++k;
    lanes.lastFull = k;
    k = LAST;
    while (k > 0 && lanes.shifts[k - 1] == lanes.shifts[LAST] && lanes.cuts[k - 1] == lanes.cuts[LAST]) --k;
    lanes.firstNone = k;
    lanes.subtractBytes = lanes.addBytes = 0;
    for (int ch = 0; ch < 3; ++ch) {
        uint32_t bytes = 0xFFu << (8 * ch + 8);
        if (deltas[ch] >= 0) lanes.subtractBytes |= bytes;
        else lanes.addBytes |= bytes;
    }
}

// What a render adds to the lane tables: the bytes it changes.
struct LaneRule {
    uint32_t average;                 // 0, V, U, Y
    uint32_t subtractBytes, addBytes; // the tables' masks, less luma in lumaMode 0
    uint32_t carryBytes;              // 1 in each changed byte
    uint32_t low, high;               // clamp bounds: 16 and 240 in changed bytes
};

LaneRule laneRule(const LaneTables &lanes, const CachedAverage &avg, bool changeLuma)
{
    const uint32_t changed = changeLuma ? 0xFFFFFF00u : 0x00FFFF00u;
    LaneRule rule;
    rule.average = uint32_t(avg.v) << 8 | uint32_t(avg.u) << 16 | uint32_t(avg.y) << 24;
    rule.subtractBytes = lanes.subtractBytes & changed;
    rule.addBytes = lanes.addBytes & changed;
    rule.carryBytes = 0x01010101u & changed;
    rule.low = 0x10101010u & changed;
    rule.high = (0xF0F0F0F0u & changed) | ~changed;
    return rule;
}

// The byte rule for one pixel, as the vector rows apply it lane by lane.
inline Pixel shiftPixelLanes(Pixel p, const LaneRule &rule, const LaneTables &lanes)
{
    uint32_t word;
    std::memcpy(&word, &p, sizeof word);
    int32_t k = std::abs(int(p.y) - int(rule.average >> 24)) +
                2 * std::abs(int(p.u) - int(rule.average >> 16 & 255)) +
                2 * std::abs(int(p.v) - int(rule.average >> 8 & 255));
    const uint32_t shift = lanes.shifts[k], cut = lanes.cuts[k];
    uint32_t out = 0;
    for (int i = 0; i < 32; i += 8) {
        int b = int(word >> i & 255);
        int r = b - int((shift & rule.subtractBytes) >> i & 255) + int((shift & rule.addBytes) >> i & 255);
        if (b > int(cut >> i & 255)) r += int(rule.carryBytes >> i & 255);
        int low = int(rule.low >> i & 255), high = int(rule.high >> i & 255);
        r = r < low ? low : r > high ? high : r;
        out |= uint32_t(r) << i;
    }
    std::memcpy(&p, &out, sizeof out);
    return p;
}
#if OPS_HAND_AVX2
void shiftRowLanes(Pixel *row, int32_t count, const LaneRule &rule, const LaneTables &lanes)
{
    for (int32_t c = 0; c < count; ++c) row[c] = shiftPixelLanes(row[c], rule, lanes);
}

// Eight whole pixels at a time: |b - average| per byte with saturating
// subtractions, summed with the weights 2, 2, 1 for V, U, Y by two
// multiply-adds (the distance step, one 32-bit lane per pixel); the step's
// word gathered (unless all eight share it), applied with saturating byte
// arithmetic, and the cuts gathered only when a step of the eight has one.
__attribute__((target("avx2"))) void shiftRowAvx2(Pixel *row, int32_t count, const LaneRule &rule,
                                                  const LaneTables &lanes)
{
    const __m256i average = _mm256_set1_epi32(int32_t(rule.average));
    const __m256i weights = _mm256_set1_epi32(0x01020200);
    const __m256i ones = _mm256_set1_epi16(1);
    const __m256i subtractBytes = _mm256_set1_epi32(int32_t(rule.subtractBytes));
    const __m256i addBytes = _mm256_set1_epi32(int32_t(rule.addBytes));
    const __m256i carryBytes = _mm256_set1_epi32(int32_t(rule.carryBytes));
    const __m256i hasCut = _mm256_set1_epi32(int32_t(STEP_HAS_CUT));
    const __m256i low = _mm256_set1_epi32(int32_t(rule.low)), high = _mm256_set1_epi32(int32_t(rule.high));
    const int *shifts = reinterpret_cast<const int *>(lanes.shifts);
    const int *cuts = reinterpret_cast<const int *>(lanes.cuts);
    const __m256i lastFull = _mm256_set1_epi32(lanes.lastFull), firstNone = _mm256_set1_epi32(lanes.firstNone);
    const __m256i fullShift = _mm256_set1_epi32(int32_t(lanes.shifts[0]));
    const __m256i noShift = _mm256_set1_epi32(int32_t(lanes.shifts[DISTANCE_STEPS - 1]));
    int32_t c = 0;
    for (; c + 8 <= count; c += 8) {
        __m256i p = _mm256_loadu_si256(reinterpret_cast<const __m256i *>(row + c));
        __m256i apart = _mm256_or_si256(_mm256_subs_epu8(p, average), _mm256_subs_epu8(average, p));
        __m256i steps = _mm256_madd_epi16(_mm256_maddubs_epi16(apart, weights), ones);
        __m256i pastFull = _mm256_cmpgt_epi32(steps, lastFull);
        __m256i beforeNone = _mm256_cmpgt_epi32(firstNone, steps);
        __m256i shift;
        if (_mm256_testz_si256(pastFull, pastFull)) shift = fullShift;
        else if (_mm256_testz_si256(beforeNone, beforeNone)) shift = noShift;
        else shift = _mm256_i32gather_epi32(shifts, steps, 4);
        __m256i r = _mm256_adds_epu8(_mm256_subs_epu8(p, _mm256_and_si256(shift, subtractBytes)),
                                     _mm256_and_si256(shift, addBytes));
        if (!_mm256_testz_si256(shift, hasCut)) {
            __m256i cut = _mm256_i32gather_epi32(cuts, steps, 4);
            __m256i notAbove = _mm256_cmpeq_epi8(_mm256_min_epu8(p, cut), p);
            r = _mm256_adds_epu8(r, _mm256_andnot_si256(notAbove, carryBytes));
        }
        r = _mm256_min_epu8(_mm256_max_epu8(r, low), high);
        _mm256_storeu_si256(reinterpret_cast<__m256i *>(row + c), r);
    }
    shiftRowLanes(row + c, count - c, rule, lanes);
}
#endif

using LaneWorker = void (*)(Pixel *, int32_t, const LaneRule &, const LaneTables &);

// The lane rows for this machine, or none: then the byte maps serve.
LaneWorker chooseLaneWorker()
{
#if OPS_HAND_AVX2
    if (handAvx2Enabled()) return shiftRowAvx2;
#endif
    return nullptr;
}

// ---------------------------------------------------------------- render

int32_t render(OperatorContext *ctx);
void init() { average.haveAverage = false; }
const SmallOperator vashrel = {"src\\Vashrel", MODULE_VASHREL, render, init, nullptr};

// Without memory for its tables a render cannot shift anything: it fails
// as one without a picture does (the picture is released, not handed back).
int32_t failWithoutTables()
{
    vashrel.fail(90);
    return -1;
}

int32_t render(OperatorContext *ctx)
{
    PictureHandle picture = vashrel.field(0, ctx, 90);
    if (!picture) return -1;
    sampleAverageOnce(average, *picture, sampleArea, ctx);

    const LaneWorker laneWorker = chooseLaneWorker();
    const Pixel target = targetColor.color;
    const bool changeLuma = lumaMode.param.value != 0;
    ClippedSpan area = activeArea(*picture);
    // An area with no columns has no rows to offset into (its buffer may be none).
    if (area.x1 <= area.x0) area.y1 = area.y0;
    // The tables belong to this render alone, built from what it reads now:
    // nothing of an earlier render is trusted. They take tens of KB, so they
    // live on the heap for the one render, not on the caller's stack.
    if (laneWorker) {
        const std::unique_ptr<LaneTables> lanes(new (std::nothrow) LaneTables);
        if (!lanes) return failWithoutTables();
        buildLaneTables(*lanes, average, tolerance.value, target);
        const LaneRule rule = laneRule(*lanes, average, changeLuma);
        for (int32_t r = area.y0; r < area.y1; ++r) {
            Pixel *row = picture->pixels + int64_t(r) * picture->bufferWidth;
            laneWorker(row + area.x0, area.x1 - area.x0, rule, *lanes);
        }
    } else {
        const std::unique_ptr<RenderTables> tables(new (std::nothrow) RenderTables);
        if (!tables) return failWithoutTables();
        buildTables(*tables, average, tolerance.value, target);
        for (int32_t r = area.y0; r < area.y1; ++r) {
            Pixel *row = picture->pixels + int64_t(r) * picture->bufferWidth;
            if (changeLuma) shiftRow<true>(*tables, row, area.x0, area.x1);
            else shiftRow<false>(*tables, row, area.x0, area.x1);
        }
    }
    return picture.put();
}

} // namespace

extern "C" int32_t OperatorAction(OperatorContext *ctx) { return answerAction(vashrel, ctx); }
extern "C" TagWord *GetOperatorInfo() { return tags.words; }
