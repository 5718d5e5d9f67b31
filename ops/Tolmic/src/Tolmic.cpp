// Tolmic: chroma isolation. Samples the average colour of a rectangle once
// per run, then scales the chroma of pixels near that colour by one
// percentage and of all other pixels by another.
#include <cstring>

#include "contract/helpers.h"
#include "contract/host_calls.h"

extern "C" OPERATOR_EXPORT int32_t OperatorAction(OperatorContext *ctx);
extern "C" OPERATOR_EXPORT TagWord *GetOperatorInfo();

namespace {

// ---------------------------------------------------------------- records and statics

constexpr const char *SOURCE_NAME = "src\\Tolmic";

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

TagWord tagList[] = {
    OPE_ATTRIBUTES, 0,
    OPE_ONEINPUT, 1,
    OPE_ACTION, TagWord(&OperatorAction),
    OPE_REVISION, TagWord(revision),
    OPE_INTERFACE, 2,
    OPE_PARAM0, TagWord(&sampleArea),
    OPE_PARAM1, TagWord(&tolerance),
    OPE_PARAM2, TagWord(&nearChroma),
    OPE_PARAM3, TagWord(&farChroma),
    OPE_END,
};

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

RenderTables tables;

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

void buildTables(const CachedAverage &avg, int32_t tol, int32_t nearFactor, int32_t farFactor)
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

OPS_VECTOR_KERNEL void isolateRow(Pixel *row, int32_t count, RowRule rule)
{
    for (int32_t c = 0; c < count; ++c) {
        Pixel p = row[c];
        int16_t y = p.y, u = p.u, v = p.v;
        int16_t dy = int16_t(y - rule.avgY), du = int16_t(u - rule.avgU), dv = int16_t(v - rule.avgV);
        uint16_t d = uint16_t(30 * uint16_t(dy < 0 ? -dy : dy) + 60 * uint16_t(du < 0 ? -du : du) +
                              60 * uint16_t(dv < 0 ? -dv : dv));
        int16_t factor = d >= rule.farFrom ? rule.farFactor : rule.nearFactor;
        p.v = uint8_t(scaledChroma(factor, v));
        p.u = uint8_t(scaledChroma(factor, u));
        p.y = uint8_t(y < 15 ? 15 : y > 240 ? 240 : y);
        row[c] = p;
    }
}

// ---------------------------------------------------------------- render

int32_t render(OperatorContext *ctx)
{
    Picture *picture = opGetField(0, ctx->fieldNumber);
    if (!picture) {
        logFailure(89, SOURCE_NAME, MODULE_TOLMIC);
        return -1;
    }
    sampleAverageOnce(average, *picture, sampleArea, ctx);

    buildTables(average, tolerance.value, nearChroma.value, farChroma.value);
    ClippedSpan area = activeArea(*picture);
    const bool inRange = nearChroma.value >= 0 && nearChroma.value <= 200 && farChroma.value >= 0 &&
                         farChroma.value <= 200;
    // farFrom is at most MAX_COLOR_DISTANCE + 1, which 16 bits hold.
    const RowRule rule{int16_t(average.y), int16_t(average.u), int16_t(average.v), uint16_t(tables.farFrom),
                       int16_t(nearChroma.value), int16_t(farChroma.value)};
    for (int32_t r = area.y0; r < area.y1; ++r) {
        Pixel *row = picture->pixels + int64_t(r) * picture->bufferWidth;
        if (inRange) {
            if (area.x1 > area.x0) isolateRow(row + area.x0, area.x1 - area.x0, rule);
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
    return opPutField(picture);
}

} // namespace

// ---------------------------------------------------------------- entry points

extern "C" int32_t OperatorAction(OperatorContext *ctx)
{
    switch (ctx->action) {
    case OPACT_INIT:
        average.haveAverage = false;
        return 0;
    case OPACT_RENDER:
        return render(ctx);
    default:
        return 0;
    }
}

extern "C" TagWord *GetOperatorInfo()
{
    return tagList;
}
