// Dremwick: rectangle mask. Lays a colour, blended by its alpha, over the
// inside or the outside of a rectangle, in place on the input.
#include <cstring>

#include "contract/helpers.h"
#include "contract/host_calls.h"

namespace {

// ---------------------------------------------------------------- records and statics

const uint32_t maskSideEntries[] = {511, 512, 0};   // inside, outside

ChoiceParam maskSide = {.header = {.kind = PARAM_CHOICE, .labelId = 510, .flags = 0},
                        .entries = maskSideEntries, .value = 0};
RectParam maskRegion = {.header = {.kind = PARAM_RECT, .labelId = 520, .flags = 2},
                        .minWidth = 4, .minHeight = 4, .maxWidth = 999, .maxHeight = 999,
                        .x = 200, .y = 100, .width = 64, .height = 32};
ColorParam maskColor = {.header = {.kind = PARAM_COLOR, .labelId = 530, .flags = 1},
                        .color = pixelFromWord(BLUE_DEFAULT)};

const char revision[] = "$Id: Dremwick 1.0 2026/12/08 17:00:00 zenvarth-team $";

auto tags = smallOperatorTags(0, 1, revision, maskSide, maskRegion, maskColor);

// ---------------------------------------------------------------- pixel helpers

int32_t greater(int32_t a, int32_t b) { return a > b ? a : b; }

// ---------------------------------------------------------------- render

int32_t render(OperatorContext *ctx);
const SmallOperator dremwick = {"src\\Dremwick", MODULE_DREMWICK, render, nullptr, nullptr};

int32_t render(OperatorContext *ctx)
{
    PictureHandle picture = dremwick.field(0, ctx, 82);
    if (!picture) return -1;
    const VisibleOffsets visible = visibleOffsets();
    PlacedRect region = placeRect(*picture, maskRegion, ctx, visible.left, visible.top);
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
    return picture.put();
}

} // namespace

extern "C" int32_t OperatorAction(OperatorContext *ctx) { return answerAction(dremwick, ctx); }
extern "C" TagWord *GetOperatorInfo() { return tags.words; }
