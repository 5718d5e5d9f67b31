// The binary contract between a host and an operator library: records,
// tags, action codes and the pixel format. On a 32-bit build every offset is
// the contract's own; on a 64-bit build pointer-holding fields and tag words
// are pointer-sized and everything else keeps its order, width and sign.
#pragma once

#include <cstddef>
#include <cstdint>

// ---------------------------------------------------------------- pixels

// One pixel: key (alpha) then V, U, Y. As a little-endian word:
// Y << 24 | U << 16 | V << 8 | alpha.
struct Pixel {
    uint8_t alpha;
    uint8_t v;
    uint8_t u;
    uint8_t y;
};
static_assert(sizeof(Pixel) == 4);

constexpr uint32_t BLUE_DEFAULT = 0x39F06EFFu;

constexpr Pixel pixelFromWord(uint32_t word)
{
    return Pixel{uint8_t(word), uint8_t(word >> 8), uint8_t(word >> 16), uint8_t(word >> 24)};
}

constexpr uint32_t pixelWord(Pixel p)
{
    return uint32_t(p.alpha) | uint32_t(p.v) << 8 | uint32_t(p.u) << 16 | uint32_t(p.y) << 24;
}

// ---------------------------------------------------------------- pictures

struct Picture {
    Pixel *pixels;          // bufferWidth * bufferHeight pixels, rows without gaps
    int16_t bufferWidth;
    int16_t bufferHeight;
    int16_t x;              // active area inside the buffer
    int16_t y;
    int16_t width;
    int16_t height;
};

// ---------------------------------------------------------------- context

constexpr uint32_t CTX_PREVIEW = 1u;

struct OperatorContext {
    uint16_t action;
    uint16_t paramIndex;
    uint32_t flags;             // bit 0: CTX_PREVIEW
    uint32_t fieldCount;
    int32_t fieldNumber;
    uint8_t reserved16[8];
    int16_t previewScaleNum;
    int16_t previewScaleDen;
    uint8_t reserved28[16];
    int16_t verticalPermille;
    int16_t reserved46;
};
static_assert(sizeof(OperatorContext) == 48);

constexpr uint16_t OPACT_INIT = 1;
constexpr uint16_t OPACT_RELEASE = 2;
constexpr uint16_t OPACT_RENDER = 3;
constexpr uint16_t OPACT_PARAMETER = 4;
constexpr uint16_t OPACT_INSTALL = 7;

inline bool isPreview(const OperatorContext *ctx) { return (ctx->flags & CTX_PREVIEW) != 0; }

// ---------------------------------------------------------------- tag list

// A tag list is an array of pointer-sized words: (tag, value) pairs ended by
// a single OPE_END word.
using TagWord = uintptr_t;

struct OperatorTag {
    TagWord tag;
    TagWord value;
};

constexpr TagWord opeTag(unsigned n) { return 0x4F504500u + n; }

constexpr TagWord OPE_END = 0;
constexpr TagWord OPE_ATTRIBUTES = opeTag(0);
constexpr TagWord OPE_ONEINPUT = opeTag(1);
constexpr TagWord OPE_ACTION = opeTag(3);
constexpr TagWord OPE_PARAM0 = opeTag(4);
constexpr TagWord OPE_PARAM1 = opeTag(5);
constexpr TagWord OPE_PARAM2 = opeTag(6);
constexpr TagWord OPE_PARAM3 = opeTag(7);
constexpr TagWord OPE_SETTINGS = opeTag(9);
constexpr TagWord OPE_INTERFACE = opeTag(0x0D);
constexpr TagWord OPE_REVISION = opeTag(0x10);

constexpr TagWord opeParam(unsigned index) { return OPE_PARAM0 + index; }
constexpr bool isParamTag(TagWord tag) { return tag >= OPE_PARAM0 && tag <= OPE_PARAM3; }

// ---------------------------------------------------------------- parameters

constexpr uint16_t PARAM_CHOICE = 0;
constexpr uint16_t PARAM_COLOR = 1;
constexpr uint16_t PARAM_SLIDER = 2;
constexpr uint16_t PARAM_RECT = 3;
constexpr uint16_t PARAM_BUTTON = 4;

struct ParamHeader {
    uint16_t kind;
    uint16_t labelId;
    uint32_t flags;
};

struct ChoiceParam {
    ParamHeader header;
    const uint32_t *entries;    // string-resource ids, ended by 0
    uint32_t value;
};

struct ColorParam {
    ParamHeader header;
    Pixel color;
};

struct SliderParam {
    ParamHeader header;
    uint32_t word8;             // 750 in every slider
    uint32_t word12;            // 0
    uint32_t minimum;           // 0
    uint32_t maximum;
    int32_t value;
};

struct RectParam {
    ParamHeader header;
    int16_t minWidth, minHeight;
    int16_t maxWidth, maxHeight;
    int16_t x, y;
    int16_t width, height;
};

struct ButtonParam {
    ParamHeader header;
};

constexpr uint32_t SLIDER_WORD8 = 750;

struct SettingsDescriptor {
    void *block;
    uint32_t size;
    uint32_t zero;
};

// ---------------------------------------------------------------- entry points

using OperatorActionFn = int32_t (*)(OperatorContext *);
using GetOperatorInfoFn = TagWord *(*)();

// ---------------------------------------------------------------- module codes

constexpr uint32_t MODULE_ZENVARTH = 0x0BBD0000u;
constexpr uint32_t MODULE_TOLMIC = 0x0B6F0000u;
constexpr uint32_t MODULE_VASHREL = 0x0BAE0000u;
constexpr uint32_t MODULE_PLINDOR = 0x0BA50000u;
constexpr uint32_t MODULE_QUORVEL = 0x0BA60000u;
constexpr uint32_t MODULE_DREMWICK = 0x0BA40000u;

constexpr int NOTARY_SEVERITY_FAILURE = 4;

// The two entry points are the only symbols an operator library exports.
#define OPERATOR_EXPORT __attribute__((visibility("default")))
