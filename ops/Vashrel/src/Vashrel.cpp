// Vashrel: chroma change. Samples the average colour of a rectangle once per
// run, then shifts every pixel towards the target colour by the offset
// between the average and the target: fully for pixels close to the average,
// fading to nothing for far ones. Luma follows only when lumaMode says so.
#include <cmath>

#include "contract/helpers.h"
#include "contract/host_calls.h"

extern "C" OPERATOR_EXPORT int32_t OperatorAction(OperatorContext *ctx);
extern "C" OPERATOR_EXPORT TagWord *GetOperatorInfo();

namespace {

// ---------------------------------------------------------------- records and statics

constexpr const char *SOURCE_NAME = "src\\Vashrel";

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

TagWord tagList[] = {
    OPE_ATTRIBUTES, 2,
    OPE_ONEINPUT, 1,
    OPE_ACTION, TagWord(&OperatorAction),
    OPE_REVISION, TagWord(revision),
    OPE_INTERFACE, 2,
    OPE_PARAM0, TagWord(&sampleArea),
    OPE_PARAM1, TagWord(&tolerance),
    OPE_PARAM2, TagWord(&targetColor),
    OPE_PARAM3, TagWord(&lumaMode.param),
    OPE_END,
};

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

// Per-render tables. The weight, and so the offset s each channel moves by,
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

RenderTables tables;

// Chooses the byte map of one channel at one distance step.
uint16_t mapChannel(int channel, double offset)
{
    double up = std::ceil(offset);
    double below = up - 1;
    if (!(offset > below && offset - below < 0x1p-20)) return uint16_t(CLAMP_BIAS - int(up));
    int own = CLAMP_SIZE + (channel * OWN_TABLES + tables.ownUsed[channel]++) * 256;
    for (int b = 0; b < 256; ++b) tables.arena[own + b] = shiftChannel(b, offset);
    return uint16_t(own);
}

void buildTables(const CachedAverage &avg, int32_t tol, Pixel target)
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
        map.y = mapChannel(0, deltaY * w / 255);
        map.u = mapChannel(1, deltaU * w / 255);
        map.v = mapChannel(2, deltaV * w / 255);
    }
}

template <bool changeLuma> inline __attribute__((always_inline)) Pixel shiftPixel(Pixel p)
{
    int k = tables.stepY[p.y] + tables.stepU[p.u] + tables.stepV[p.v];
    const StepMap map = tables.maps[k];
    const uint8_t *arena = tables.arena;
    p.v = arena[map.v + p.v];
    p.u = arena[map.u + p.u];
    if (changeLuma) p.y = arena[map.y + p.y];
    return p;
}

template <bool changeLuma> void shiftRow(Pixel *row, int32_t c0, int32_t c1)
{
    for (int32_t c = c0; c < c1; ++c) row[c] = shiftPixel<changeLuma>(row[c]);
}

// ---------------------------------------------------------------- render

int32_t render(OperatorContext *ctx)
{
    Picture *picture = opGetField(0, ctx->fieldNumber);
    if (!picture) {
        logFailure(90, SOURCE_NAME, MODULE_VASHREL);
        return -1;
    }
    sampleAverageOnce(average, *picture, sampleArea, ctx);

    buildTables(average, tolerance.value, targetColor.color);
    const bool changeLuma = lumaMode.param.value != 0;
    ClippedSpan area = activeArea(*picture);
    for (int32_t r = area.y0; r < area.y1; ++r) {
        Pixel *row = picture->pixels + int64_t(r) * picture->bufferWidth;
        if (changeLuma) shiftRow<true>(row, area.x0, area.x1);
        else shiftRow<false>(row, area.x0, area.x1);
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
