// Vashrel: chroma change. Samples the average colour of a rectangle once per
// run, then shifts every pixel towards the target colour by the offset
// between the average and the target: fully for pixels close to the average,
// fading to nothing for far ones. Luma follows only when lumaMode says so.
#include "contract/helpers.h"
#include "contract/host_calls.h"

extern "C" OPERATOR_EXPORT int32_t OperatorAction(OperatorContext *ctx);
extern "C" OPERATOR_EXPORT TagWord *GetOperatorInfo();

namespace {

// ---------------------------------------------------------------- records and statics

constexpr const char *SOURCE_NAME = "src\\Vashrel";

RectParam sampleArea = {{PARAM_RECT, 1510, 0}, 1, 1, 320, 200, 500, 50, 64, 32};
SliderParam tolerance = {{PARAM_SLIDER, 1520, 0}, SLIDER_WORD8, 0, 0, 100, 85};
ColorParam targetColor = {{PARAM_COLOR, 1530, 0}, pixelFromWord(BLUE_DEFAULT)};

// The choice record with its entry list right behind it.
struct LumaModeRecord {
    ChoiceParam param;
    uint32_t entries[3];
};
LumaModeRecord lumaMode = {{{PARAM_CHOICE, 1540, 0}, lumaMode.entries, 0}, {1541, 1542, 0}};

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

// Per-render tables. The weight depends on the distance alone, so the
// offset each channel moves by is one double per distance step; a pixel
// then costs three lookups for its distance and, where the weight is not 0,
// three subtractions done exactly as the formula does them.
struct RenderTables {
    uint16_t stepY[256], stepU[256], stepV[256];
    bool shifted[DISTANCE_STEPS];
    double offsetY[DISTANCE_STEPS], offsetU[DISTANCE_STEPS], offsetV[DISTANCE_STEPS];
    uint8_t clamped[256];
};

RenderTables tables;

void buildTables(const CachedAverage &avg, int32_t tol, Pixel target)
{
    int32_t deltaY = avg.y - target.y;
    int32_t deltaU = avg.u - target.u;
    int32_t deltaV = avg.v - target.v;
    for (int b = 0; b < 256; ++b) {
        tables.stepY[b] = uint16_t(std::abs(b - avg.y));
        tables.stepU[b] = uint16_t(2 * std::abs(b - avg.u));
        tables.stepV[b] = uint16_t(2 * std::abs(b - avg.v));
        tables.clamped[b] = uint8_t(int(clampVashrel(b)));
    }
    for (int k = 0; k < DISTANCE_STEPS; ++k) {
        double w = 255 - farness(30.0 * k, tol);
        tables.shifted[k] = w != 0;
        tables.offsetY[k] = deltaY * w / 255;
        tables.offsetU[k] = deltaU * w / 255;
        tables.offsetV[k] = deltaV * w / 255;
    }
}

// ---------------------------------------------------------------- render

int32_t render(OperatorContext *ctx)
{
    Picture *picture = opGetField(0, ctx->fieldNumber);
    if (!picture) {
        logFailure(90, SOURCE_NAME, MODULE_VASHREL);
        return -1;
    }
    int16_t left = 0, top = 0, right = 0, bottom = 0;
    tgGetVisibleAreaMonitor(&left, &top, &right, &bottom, 2);
    if (!average.haveAverage)
        takeAverage(average, *picture, placeRect(*picture, sampleArea, ctx, left, top));

    buildTables(average, tolerance.value, targetColor.color);
    const bool changeLuma = lumaMode.param.value != 0;
    ClippedSpan area = activeArea(*picture);
    for (int32_t r = area.y0; r < area.y1; ++r) {
        Pixel *row = picture->pixels + int64_t(r) * picture->bufferWidth;
        for (int32_t c = area.x0; c < area.x1; ++c) {
            Pixel &p = row[c];
            int k = tables.stepY[p.y] + tables.stepU[p.u] + tables.stepV[p.v];
            if (!tables.shifted[k]) {
                // Weight 0: the offset is 0 and only the clamp remains.
                p.v = tables.clamped[p.v];
                p.u = tables.clamped[p.u];
                if (changeLuma) p.y = tables.clamped[p.y];
                continue;
            }
            p.v = uint8_t(int(clampVashrel(p.v - tables.offsetV[k])));
            p.u = uint8_t(int(clampVashrel(p.u - tables.offsetU[k])));
            if (changeLuma) p.y = uint8_t(int(clampVashrel(p.y - tables.offsetY[k])));
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
