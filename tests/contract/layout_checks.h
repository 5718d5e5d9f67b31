// Offsets of the contract records. Included by the 64-bit test program and
// compiled on its own with -m32, where every offset is the contract table's.
#pragma once

#include <cstddef>

#include "contract/contract.h"

#define CHECK_AT(type, field, offset32, offset64)                                                  \
    static_assert(offsetof(type, field) == (sizeof(void *) == 4 ? (offset32) : (offset64)),         \
                  #type "." #field)

static_assert(sizeof(Pixel) == 4);
static_assert(offsetof(Pixel, alpha) == 0 && offsetof(Pixel, v) == 1 && offsetof(Pixel, u) == 2 &&
              offsetof(Pixel, y) == 3);

CHECK_AT(Picture, pixels, 0, 0);
CHECK_AT(Picture, bufferWidth, 4, 8);
CHECK_AT(Picture, bufferHeight, 6, 10);
CHECK_AT(Picture, x, 8, 12);
CHECK_AT(Picture, y, 10, 14);
CHECK_AT(Picture, width, 12, 16);
CHECK_AT(Picture, height, 14, 18);

// The context holds no pointer: one layout everywhere.
CHECK_AT(OperatorContext, action, 0, 0);
CHECK_AT(OperatorContext, paramIndex, 2, 2);
CHECK_AT(OperatorContext, flags, 4, 4);
CHECK_AT(OperatorContext, fieldCount, 8, 8);
CHECK_AT(OperatorContext, fieldNumber, 12, 12);
CHECK_AT(OperatorContext, previewScaleNum, 24, 24);
CHECK_AT(OperatorContext, previewScaleDen, 26, 26);
CHECK_AT(OperatorContext, verticalPermille, 44, 44);

static_assert(sizeof(TagWord) == sizeof(void *));
static_assert(sizeof(OperatorTag) == 2 * sizeof(void *));

CHECK_AT(ParamHeader, kind, 0, 0);
CHECK_AT(ParamHeader, labelId, 2, 2);
CHECK_AT(ParamHeader, flags, 4, 4);
static_assert(sizeof(ParamHeader) == 8);

CHECK_AT(ChoiceParam, entries, 8, 8);
CHECK_AT(ChoiceParam, value, 12, 16);
static_assert(sizeof(ChoiceParam) == (sizeof(void *) == 4 ? 16 : 24));

CHECK_AT(ColorParam, color, 8, 8);
static_assert(sizeof(ColorParam) == 12);

CHECK_AT(SliderParam, word8, 8, 8);
CHECK_AT(SliderParam, word12, 12, 12);
CHECK_AT(SliderParam, minimum, 16, 16);
CHECK_AT(SliderParam, maximum, 20, 20);
CHECK_AT(SliderParam, value, 24, 24);
static_assert(sizeof(SliderParam) == 28);

CHECK_AT(RectParam, minWidth, 8, 8);
CHECK_AT(RectParam, minHeight, 10, 10);
CHECK_AT(RectParam, maxWidth, 12, 12);
CHECK_AT(RectParam, maxHeight, 14, 14);
CHECK_AT(RectParam, x, 16, 16);
CHECK_AT(RectParam, y, 18, 18);
CHECK_AT(RectParam, width, 20, 20);
CHECK_AT(RectParam, height, 22, 22);
static_assert(sizeof(RectParam) == 24);

static_assert(sizeof(ButtonParam) == 8);

CHECK_AT(SettingsDescriptor, block, 0, 0);
CHECK_AT(SettingsDescriptor, size, 4, 8);
CHECK_AT(SettingsDescriptor, zero, 8, 12);
static_assert(sizeof(SettingsDescriptor) == (sizeof(void *) == 4 ? 12 : 16));

static_assert(OPE_ATTRIBUTES == 0x4F504500u && OPE_REVISION == 0x4F504510u &&
              OPE_SETTINGS == 0x4F504509u && OPE_INTERFACE == 0x4F50450Du);
static_assert(pixelWord(pixelFromWord(BLUE_DEFAULT)) == BLUE_DEFAULT);
static_assert(pixelFromWord(BLUE_DEFAULT).y == 57 && pixelFromWord(BLUE_DEFAULT).u == 240 &&
              pixelFromWord(BLUE_DEFAULT).v == 110 && pixelFromWord(BLUE_DEFAULT).alpha == 255);
