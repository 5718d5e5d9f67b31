// Quorvel: rectangle copy. Copies the block under the source rectangle of
// input 1 into input 0 at the destination, and hands input 0 back.
#include <cstring>

#include "contract/helpers.h"
#include "contract/host_calls.h"

extern "C" OPERATOR_EXPORT int32_t OperatorAction(OperatorContext *ctx);
extern "C" OPERATOR_EXPORT TagWord *GetOperatorInfo();

namespace {

// ---------------------------------------------------------------- records and statics

constexpr const char *SOURCE_NAME = "src\\Quorvel";

RectParam sourceRect = {.header = {.kind = PARAM_RECT, .labelId = 710, .flags = 3},
                        .minWidth = 4, .minHeight = 4, .maxWidth = 999, .maxHeight = 999,
                        .x = 200, .y = 100, .width = 64, .height = 32};
RectParam destinationRect = {.header = {.kind = PARAM_RECT, .labelId = 720, .flags = 2},
                             .minWidth = 999, .minHeight = 999, .maxWidth = 999, .maxHeight = 999,
                             .x = 64, .y = 32, .width = 64, .height = 32};

const char revision[] = "$Id: Quorvel 1.0 2026/12/08 17:00:00 zenvarth-team $";

TagWord tagList[] = {
    OPE_ATTRIBUTES, 0,
    OPE_ONEINPUT, 0,
    OPE_ACTION, TagWord(&OperatorAction),
    OPE_REVISION, TagWord(revision),
    OPE_INTERFACE, 2,
    OPE_PARAM0, TagWord(&sourceRect),
    OPE_PARAM1, TagWord(&destinationRect),
    OPE_END,
};

// ---------------------------------------------------------------- render

int32_t render(OperatorContext *ctx)
{
    Picture *base = opGetField(0, ctx->fieldNumber);
    if (!base) {
        logFailure(80, SOURCE_NAME, MODULE_QUORVEL);
        return -1;
    }
    Picture *other = opGetField(1, ctx->fieldNumber);
    if (!other) {
        logFailure(86, SOURCE_NAME, MODULE_QUORVEL);
        opFreeImage(base);
        return -1;
    }
    int16_t left = 0, top = 0, right = 0, bottom = 0;
    tgGetVisibleAreaMonitor(&left, &top, &right, &bottom, 2);
    PlacedRect source = placeRect(*other, sourceRect, ctx, left, top);
    PlacedRect target = placeRect(*base, destinationRect, ctx, left, top);
    int32_t w = source.width;
    int32_t h = source.height;
    if (target.x0 > other->bufferWidth - w) w = other->bufferWidth - target.x0;
    if (target.y0 > other->bufferHeight - h) h = other->bufferHeight - target.y0;

    // Source pixels are read only inside input 1's buffer and written only
    // inside input 0's, whatever sizes the host hands out.
    copyBlock(*other, other->bufferWidth, other->bufferHeight, source.x0, source.y0, w, h, *base,
              target.x0, target.y0);

    opFreeImage(other);
    return opPutField(base);
}

} // namespace

// ---------------------------------------------------------------- entry points

extern "C" int32_t OperatorAction(OperatorContext *ctx)
{
    switch (ctx->action) {
    case OPACT_RENDER:
        return render(ctx);
    case OPACT_PARAMETER:
        if (ctx->paramIndex == 0) followSource(sourceRect, destinationRect);
        return 0;
    default:
        return 0;
    }
}

extern "C" TagWord *GetOperatorInfo()
{
    return tagList;
}
