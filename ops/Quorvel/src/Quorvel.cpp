// Quorvel: rectangle copy. Copies the block under the source rectangle of
// input 1 into input 0 at the destination, and hands input 0 back.
#include <cstring>

#include "contract/helpers.h"
#include "contract/host_calls.h"

namespace {

// ---------------------------------------------------------------- records and statics

RectParam sourceRect = {.header = {.kind = PARAM_RECT, .labelId = 710, .flags = 3},
                        .minWidth = 4, .minHeight = 4, .maxWidth = 999, .maxHeight = 999,
                        .x = 200, .y = 100, .width = 64, .height = 32};
RectParam destinationRect = {.header = {.kind = PARAM_RECT, .labelId = 720, .flags = 2},
                             .minWidth = 999, .minHeight = 999, .maxWidth = 999, .maxHeight = 999,
                             .x = 64, .y = 32, .width = 64, .height = 32};

const char revision[] = "$Id: Quorvel 1.0 2026/12/08 17:00:00 zenvarth-team $";

auto tags = smallOperatorTags(0, 0, revision, sourceRect, destinationRect);

// ---------------------------------------------------------------- render

int32_t render(OperatorContext *ctx);
void parameterChanged(uint32_t index)
{
    if (index == 0) followSource(sourceRect, destinationRect);
}
const SmallOperator quorvel = {"src\\Quorvel", MODULE_QUORVEL, render, nullptr, parameterChanged};

int32_t render(OperatorContext *ctx)
{
    PictureHandle base = quorvel.field(0, ctx, 80);
    if (!base) return -1;
    PictureHandle other = quorvel.field(1, ctx, 86);
    if (!other) return -1;
    const VisibleOffsets visible = visibleOffsets();
    PlacedRect source = placeRect(*other, sourceRect, ctx, visible.left, visible.top);
    PlacedRect target = placeRect(*base, destinationRect, ctx, visible.left, visible.top);
    int32_t w = source.width;
    int32_t h = source.height;
    if (target.x0 > other->bufferWidth - w) w = other->bufferWidth - target.x0;
    if (target.y0 > other->bufferHeight - h) h = other->bufferHeight - target.y0;

    // Source pixels are read only inside input 1's buffer and written only
    // inside input 0's, whatever sizes the host hands out.
    copyBlock(*other, other->bufferWidth, other->bufferHeight, source.x0, source.y0, w, h, *base,
              target.x0, target.y0);

    other.reset();
    return base.put();
}

} // namespace

extern "C" int32_t OperatorAction(OperatorContext *ctx) { return answerAction(quorvel, ctx); }
extern "C" TagWord *GetOperatorInfo() { return tags.words; }
