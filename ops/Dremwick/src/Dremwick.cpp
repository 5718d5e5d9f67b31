// Dremwick: rectangle mask. Lays a colour, blended by its alpha, over the
// inside or the outside of a rectangle, in place on the input.
#include <cstring>

#include "contract/helpers.h"
#include "contract/host_calls.h"

extern "C" OPERATOR_EXPORT int32_t OperatorAction(OperatorContext *ctx);
extern "C" OPERATOR_EXPORT TagWord *GetOperatorInfo();

namespace {

// ---------------------------------------------------------------- records and statics

constexpr const char *SOURCE_NAME = "src\\Dremwick";

const uint32_t maskSideEntries[] = {511, 512, 0};   // inside, outside

ChoiceParam maskSide = {{PARAM_CHOICE, 510, 0}, maskSideEntries, 0};
RectParam maskRegion = {{PARAM_RECT, 520, 2}, 4, 4, 999, 999, 200, 100, 64, 32};
ColorParam maskColor = {{PARAM_COLOR, 530, 1}, pixelFromWord(BLUE_DEFAULT)};

const char revision[] = "$Id: Dremwick 1.0 2026/12/08 17:00:00 zenvarth-team $";

TagWord tagList[] = {
    OPE_ATTRIBUTES, 0,
    OPE_ONEINPUT, 1,
    OPE_ACTION, TagWord(&OperatorAction),
    OPE_REVISION, TagWord(revision),
    OPE_INTERFACE, 2,
    OPE_PARAM0, TagWord(&maskSide),
    OPE_PARAM1, TagWord(&maskRegion),
    OPE_PARAM2, TagWord(&maskColor),
    OPE_END,
};

// ---------------------------------------------------------------- pixel helpers

int32_t greater(int32_t a, int32_t b) { return a > b ? a : b; }

// blendPixel over whole rows, four pixels at a time: every byte b becomes
// (keep * b + add) / 255 with keep = 255 - A and add = A * c for V, U and
// Y, and keep = 255, add = 0 for the alpha byte, which so stays as it was.
// The sums fit 16 bits, and (x + 1 + (x >> 8)) >> 8 is x / 255 for every
// x below 65 535.
typedef uint8_t Bytes16 __attribute__((vector_size(16)));
typedef uint16_t Words16 __attribute__((vector_size(32)));

struct BlendLanes {
    Words16 keep;
    Words16 add;
};

BlendLanes blendLanes(Pixel color)
{
    const uint16_t a = color.alpha;
    const uint16_t keep = uint16_t(255 - a);
    BlendLanes lanes;
    for (int i = 0; i < 16; i += 4) {
        lanes.keep[i] = 255;
        lanes.add[i] = 0;
        lanes.keep[i + 1] = lanes.keep[i + 2] = lanes.keep[i + 3] = keep;
        lanes.add[i + 1] = uint16_t(a * color.v);
        lanes.add[i + 2] = uint16_t(a * color.u);
        lanes.add[i + 3] = uint16_t(a * color.y);
    }
    return lanes;
}

// Blends columns [c0, c1) of one row.
void blendSpan(Pixel *row, int32_t c0, int32_t c1, const BlendLanes &lanes, Pixel color)
{
    int32_t c = c0;
    for (; c + 4 <= c1; c += 4) {
        Bytes16 bytes;
        std::memcpy(&bytes, row + c, sizeof bytes);
        Words16 x = __builtin_convertvector(bytes, Words16) * lanes.keep + lanes.add;
        x = (x + 1 + (x >> 8)) >> 8;
        bytes = __builtin_convertvector(x, Bytes16);
        std::memcpy(row + c, &bytes, sizeof bytes);
    }
    for (; c < c1; ++c) blendPixel(row[c], color);
}

// ---------------------------------------------------------------- render

int32_t render(OperatorContext *ctx)
{
    Picture *picture = opGetField(0, ctx->fieldNumber);
    if (!picture) {
        logFailure(82, SOURCE_NAME, MODULE_DREMWICK);
        return -1;
    }
    int16_t left = 0, top = 0, right = 0, bottom = 0;
    tgGetVisibleAreaMonitor(&left, &top, &right, &bottom, 2);
    PlacedRect region = placeRect(*picture, maskRegion, ctx, left, top);
    const int32_t bufferWidth = greater(picture->bufferWidth, 0);
    const int32_t bufferHeight = greater(picture->bufferHeight, 0);
    int32_t w = region.width;
    int32_t h = region.height;
    if (region.y0 + h >= picture->bufferHeight) h = picture->bufferHeight - region.y0;
    if (region.x0 + w >= picture->bufferWidth) w = picture->bufferWidth - region.x0;

    // The rectangle's part inside the buffer (empty when w or h is not
    // positive): covered inside, spared outside.
    ClippedSpan inside = clipToBuffer(region.x0, region.y0, w, h, *picture);
    const Pixel color = maskColor.color;
    if (color.alpha != 0) {
        const BlendLanes lanes = blendLanes(color);
        if (maskSide.value == 0) {
            for (int32_t r = inside.y0; !inside.empty() && r < inside.y1; ++r)
                blendSpan(picture->pixels + int64_t(r) * bufferWidth, inside.x0, inside.x1, lanes,
                          color);
        } else {
            for (int32_t r = 0; r < bufferHeight; ++r) {
                Pixel *row = picture->pixels + int64_t(r) * bufferWidth;
                if (!inside.empty() && r >= inside.y0 && r < inside.y1) {
                    blendSpan(row, 0, inside.x0, lanes, color);
                    blendSpan(row, inside.x1, bufferWidth, lanes, color);
                } else {
                    blendSpan(row, 0, bufferWidth, lanes, color);
                }
            }
        }
    }
    return opPutField(picture);
}

} // namespace

// ---------------------------------------------------------------- entry points

extern "C" int32_t OperatorAction(OperatorContext *ctx)
{
    switch (ctx->action) {
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
