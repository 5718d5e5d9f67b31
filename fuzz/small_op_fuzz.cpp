// Drives one small operator with arbitrary parameter values, visible area,
// context and picture geometry. The operator's source is compiled into this
// program, so its code is instrumented like the harness.
#include <cstring>
#include <vector>

#include "fuzz_input.h"
#include "hostrt/loader.h"
#include "hostrt/session.h"

extern "C" int32_t OperatorAction(OperatorContext *ctx);
extern "C" TagWord *GetOperatorInfo();

namespace {

// Overwrites the value words of a record with fuzz bytes; the header (kind,
// label) and the choice entry pointer belong to the operator and stay.
void fuzzRecord(const hostrt::ParamInfo &p, FuzzInput &in)
{
    switch (p.kind) {
    case PARAM_CHOICE: static_cast<ChoiceParam *>(p.record)->value = in.u32(); break;
    case PARAM_COLOR: static_cast<ColorParam *>(p.record)->color = pixelFromWord(in.u32()); break;
    case PARAM_SLIDER: static_cast<SliderParam *>(p.record)->value = int32_t(in.u32()); break;
    case PARAM_RECT: {
        auto *r = static_cast<RectParam *>(p.record);
        r->minWidth = in.i16();
        r->minHeight = in.i16();
        r->maxWidth = in.i16();
        r->maxHeight = in.i16();
        r->x = in.i16();
        r->y = in.i16();
        r->width = in.i16();
        r->height = in.i16();
        break;
    }
    default: break;
    }
}

hostrt::FieldImage fuzzField(FuzzInput &in)
{
    hostrt::FieldImage f;
    f.bufferWidth = int16_t(in.u8() % 48);
    f.bufferHeight = int16_t(in.u8() % 24);
    f.x = in.i16();
    f.y = in.i16();
    f.width = in.i16();
    f.height = in.i16();
    f.pixels.resize(size_t(f.bufferWidth) * size_t(f.bufferHeight));
    for (Pixel &p : f.pixels) p = pixelFromWord(in.u32());
    return f;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    FuzzInput in(data, size);
    hostrt::resetSession();
    hostrt::OperatorInfo info;
    if (!hostrt::readTagList(GetOperatorInfo(), info).empty()) __builtin_trap();
    for (const auto &p : info.params) fuzzRecord(p, in);

    hostrt::setVisibleArea({in.i16(), in.i16(), in.i16(), in.i16()});
    uint8_t inputs = in.u8();
    std::vector<hostrt::FieldImage> in0, in1;
    if (inputs & 1) in0.push_back(fuzzField(in));
    if (inputs & 2) in1.push_back(fuzzField(in));
    hostrt::setInputFields(0, in0);
    hostrt::setInputFields(1, in1);
    if (inputs & 4) hostrt::failAllocation(0);

    for (int call = 0; call < 3 && in.remaining(); ++call) {
        OperatorContext ctx = hostrt::makeContext(uint16_t(in.u8() % 9), 0, 2);
        ctx.paramIndex = uint16_t(in.u8() % 5);
        ctx.flags = in.u8();
        ctx.verticalPermille = in.i16();
        ctx.previewScaleNum = in.i16();
        ctx.previewScaleDen = in.i16();
        hostrt::callOperator(OperatorAction, ctx);
        if (hostrt::lastCallHeld() != 0) __builtin_trap();   // a leaked picture
    }
    return 0;
}
