// Deliberately broken operator libraries for the loader's refusals.
#include "contract/contract.h"

#define EXPORT extern "C" __attribute__((visibility("default")))

#ifndef BROKEN_noexports
EXPORT int32_t OperatorAction(OperatorContext *) { return 0; }

static RectParam rect = {{PARAM_RECT, 1, 0}, 1, 1, 9, 9, 0, 0, 4, 4};
static ParamHeader badParam = {9, 2, 0};

#if defined(BROKEN_noaction)
static TagWord list[] = {OPE_ATTRIBUTES, 0, OPE_PARAM0, TagWord(&rect), OPE_END};
#elif defined(BROKEN_badkind)
static TagWord list[] = {OPE_ACTION, TagWord(&OperatorAction), OPE_PARAM0, TagWord(&rect),
                         OPE_PARAM1, TagWord(&badParam), OPE_END};
#else
// 70 attribute pairs and no end.
static TagWord list[140] = {OPE_ACTION, TagWord(&OperatorAction)};
struct Fill {
    Fill()
    {
        for (int i = 2; i < 140; i += 2) list[i] = OPE_ATTRIBUTES, list[i + 1] = 7;
    }
} fill;
#endif

EXPORT TagWord *GetOperatorInfo() { return list; }
#else
EXPORT int somethingElse() { return 1; }
#endif
