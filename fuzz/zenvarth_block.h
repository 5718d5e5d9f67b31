// Zenvarth's entry points and its settings record, for the fuzz targets
// that link the operator itself.
#pragma once

#include "ZenvarthSettings.h"

extern "C" int32_t OperatorAction(OperatorContext *ctx);
extern "C" TagWord *GetOperatorInfo();

inline ZenvarthSettings *settingsBlock()
{
    TagWord *list = GetOperatorInfo();
    for (int i = 0; list[i] != OPE_END; i += 2)
        if (list[i] == OPE_SETTINGS)
            return static_cast<ZenvarthSettings *>(reinterpret_cast<SettingsDescriptor *>(list[i + 1])->block);
    __builtin_trap();
}
