// Zenvarth renders, full and preview, with an arbitrary settings record and
// context on pictures of arbitrary small sizes (1x2 fields included).
#include <cstring>
#include <vector>

#include "fuzz_input.h"
#include "hostrt/session.h"
#include "zenvarth_block.h"

namespace {

hostrt::FieldImage field(FuzzInput &in, int16_t w, int16_t h)
{
    hostrt::FieldImage f = hostrt::makeField(w, h);
    f.x = int16_t(in.u8() % 4);
    f.y = int16_t(in.u8() % 4);
    f.width = int16_t(w - f.x);
    f.height = int16_t(h - f.y);
    for (Pixel &p : f.pixels) p = pixelFromWord(in.u32());
    return f;
}

// Pattern names the harness offers: missing, not a picture, a real one.
const char *const PATTERNS[] = {"", "/nonexistent/wipe.png", "/dev/null", FUZZ_PATTERN_PGM};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    FuzzInput in(data, size);
    hostrt::resetSession();
    ZenvarthSettings *settings = settingsFromInput(in, PATTERNS);
    uint8_t record[sizeof(ZenvarthSettings)];
    std::memcpy(record, settings, sizeof record);

    int16_t w = int16_t(1 + in.u8() % 40);
    int16_t h = int16_t(1 + in.u8() % 20);
    uint8_t shape = in.u8();
    std::vector<hostrt::FieldImage> fg{field(in, w, h)};
    // Sometimes the background differs in size or is missing.
    int16_t bw = shape & 1 ? int16_t(1 + in.u8() % 40) : w;
    int16_t bh = shape & 1 ? int16_t(1 + in.u8() % 20) : h;
    std::vector<hostrt::FieldImage> bg;
    if (!(shape & 2)) bg.push_back(field(in, bw, bh));
    hostrt::setInputFields(1, fg);
    hostrt::setInputFields(0, bg);
    if (shape & 4) hostrt::failAllocation(int(in.u8() % 3));
    hostrt::setTgVersion(shape & 8 ? 40 : 60);
    hostrt::setVisibleArea({in.i16(), in.i16(), in.i16(), in.i16()});
    hostrt::setStandardSize(shape & 16 ? int16_t(in.u8() % 40) : w, h);

    OperatorContext ctx = hostrt::makeContext(OPACT_INIT);
    hostrt::callOperator(OperatorAction, ctx);
    for (int call = 0; call < 2; ++call) {
        ctx = hostrt::makeContext(OPACT_RENDER, 0, in.u32());
        ctx.flags = in.u8() & 1 ? CTX_PREVIEW : 0;
        ctx.previewScaleNum = in.i16();
        ctx.previewScaleDen = in.i16();
        ctx.verticalPermille = in.i16();
        ctx.fieldNumber = int32_t(in.u32());
        ctx.fieldCount = in.u32();
        hostrt::setInput(1, [&fg](int32_t, hostrt::FieldImage &out) { out = fg[0]; return true; });
        hostrt::callOperator(OperatorAction, ctx);
        if (hostrt::lastCallHeld() != 0) __builtin_trap();   // a leaked picture
        // The stored rectangles come back unchanged after every render.
        if (std::memcmp(reinterpret_cast<uint8_t *>(settings) + 136, record + 136, 188 - 136) != 0)
            __builtin_trap();
    }
    ctx = hostrt::makeContext(OPACT_RELEASE);
    hostrt::callOperator(OperatorAction, ctx);
    return 0;
}
