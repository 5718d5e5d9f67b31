// Plindor: rectangle move. Builds the result in a work picture: a copy of
// the input with the source block painted over by the fill colour and the
// block, as it was in the input, put at the destination.
#include <algorithm>
#include <cstring>

#include "contract/helpers.h"
#include "contract/host_calls.h"

namespace {

// ---------------------------------------------------------------- records and statics

RectParam sourceRect = {.header = {.kind = PARAM_RECT, .labelId = 610, .flags = 2},
                        .minWidth = 4, .minHeight = 4, .maxWidth = 999, .maxHeight = 999,
                        .x = 200, .y = 100, .width = 64, .height = 32};
RectParam destinationRect = {.header = {.kind = PARAM_RECT, .labelId = 620, .flags = 2},
                             .minWidth = 999, .minHeight = 999, .maxWidth = 999, .maxHeight = 999,
                             .x = 64, .y = 32, .width = 64, .height = 32};
ColorParam fillColor = {.header = {.kind = PARAM_COLOR, .labelId = 630, .flags = 1},
                        .color = pixelFromWord(BLUE_DEFAULT)};

const char revision[] = "$Id: Plindor 1.0 2026/12/08 17:00:00 zenvarth-team $";

auto tags = smallOperatorTags(0, 1, revision, sourceRect, destinationRect, fillColor);

// ---------------------------------------------------------------- render

int32_t render(OperatorContext *ctx);
void parameterChanged(uint32_t index)
{
    if (index == 0) followSource(sourceRect, destinationRect);
}
const SmallOperator plindor = {"src\\Plindor", MODULE_PLINDOR, render, nullptr, parameterChanged};

int32_t render(OperatorContext *ctx)
{
    PictureHandle input = plindor.field(0, ctx, 84);
    if (!input) return -1;
    PictureHandle work = plindor.workPicture(90);
    if (!work) return -1;
    const VisibleOffsets visible = visibleOffsets();
    PlacedRect source = placeRect(*input, sourceRect, ctx, visible.left, visible.top);
    PlacedRect target = placeRect(*work, destinationRect, ctx, visible.left, visible.top);
    int32_t w = source.width;
    int32_t h = source.height;
    if (target.x0 > input->bufferWidth - w) w = input->bufferWidth - target.x0;
    if (target.y0 > input->bufferHeight - h) h = input->bufferHeight - target.y0;

    // Rows and columns both buffers hold: the copy, and every source pixel
    // read, stay inside them even when the host hands out unequal sizes.
    const int32_t commonWidth = std::max<int32_t>(0, std::min<int32_t>(input->bufferWidth, work->bufferWidth));
    const int32_t commonHeight = std::max<int32_t>(0, std::min<int32_t>(input->bufferHeight, work->bufferHeight));
    if (commonWidth == 0 || commonHeight == 0) {
        // Nothing in common to copy.
    } else if (commonWidth == input->bufferWidth && commonWidth == work->bufferWidth) {
        std::memcpy(work->pixels, input->pixels, size_t(commonWidth) * size_t(commonHeight) * 4);
    } else {
        for (int32_t r = 0; r < commonHeight; ++r)
            std::memcpy(work->pixels + int64_t(r) * work->bufferWidth,
                        input->pixels + int64_t(r) * input->bufferWidth, size_t(commonWidth) * 4);
    }

    // Fill: the source block inside the work picture.
    ClippedSpan fill = clipToBuffer(source.x0, source.y0, w, h, *work);
    if (!fill.empty() && fillColor.color.alpha != 0) {
        const BlendLanes lanes = blendLanes(fillColor.color);
        for (int32_t r = fill.y0; r < fill.y1; ++r)
            blendSpan(work->pixels + int64_t(r) * work->bufferWidth, fill.x0, fill.x1, lanes,
                      fillColor.color);
    }

    // Move: source pixels inside both buffers whose target lies in the work
    // picture.
    copyBlock(*input, commonWidth, commonHeight, source.x0, source.y0, w, h, *work, target.x0,
              target.y0);

    input.reset();
    return work.put();
}

} // namespace

extern "C" int32_t OperatorAction(OperatorContext *ctx) { return answerAction(plindor, ctx); }
extern "C" TagWord *GetOperatorInfo() { return tags.words; }
