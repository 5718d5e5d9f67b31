// Zenvarth's entry points and its settings record, for the fuzz targets
// that link the operator itself.
#pragma once

#include <cstring>

#include "ZenvarthSettings.h"
#include "fuzz_input.h"

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

// The settings record filled from the input's next bytes, with one of
// `patterns` (picked by the byte after) as the pattern name: a name from
// the fuzz bytes would name any file on the machine.
template <size_t N>
ZenvarthSettings *settingsFromInput(FuzzInput &in, const char *const (&patterns)[N])
{
    ZenvarthSettings *settings = settingsBlock();
    uint8_t record[sizeof(ZenvarthSettings)] = {};
    for (uint8_t &b : record) b = in.u8();
    std::memcpy(settings, record, sizeof record);
    std::memset(settings->patternName, 0, sizeof settings->patternName);
    const char *pattern = patterns[in.u8() % N];
    std::memcpy(settings->patternName, pattern, std::strlen(pattern));
    return settings;
}
