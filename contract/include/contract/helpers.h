// Helpers the operators share: an owning picture handle, the small
// operators' entry points, tag list and log, placing a rectangle parameter
// on a picture, clipping to a buffer, and the sampled average colour with
// its distance and farness. Header-only, so each operator library carries
// its own copy and shares nothing at run time.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "contract/contract.h"
#include "contract/host_calls.h"

extern "C" OPERATOR_EXPORT int32_t OperatorAction(OperatorContext *ctx);
extern "C" OPERATOR_EXPORT TagWord *GetOperatorInfo();

// ---------------------------------------------------------------- pictures

// A picture obtained from the host, freed with opFreeImage when the handle
// goes unless put() has handed it back as the result first.
class PictureHandle {
public:
    PictureHandle() = default;
    explicit PictureHandle(Picture *picture) : picture_(picture) {}
    PictureHandle(PictureHandle &&other) : picture_(other.release()) {}
    PictureHandle &operator=(PictureHandle &&other)
    {
        if (this != &other) {
            reset();
            picture_ = other.release();
        }
        return *this;
    }
    PictureHandle(const PictureHandle &) = delete;
    PictureHandle &operator=(const PictureHandle &) = delete;
    ~PictureHandle() { reset(); }

    Picture *get() const { return picture_; }
    Picture *operator->() const { return picture_; }
    Picture &operator*() const { return *picture_; }
    explicit operator bool() const { return picture_ != nullptr; }

    void reset(Picture *picture = nullptr)
    {
        if (picture_) opFreeImage(picture_);
        picture_ = picture;
    }
    Picture *release()
    {
        Picture *picture = picture_;
        picture_ = nullptr;
        return picture;
    }
    // Hands the picture to the host as this render's result.
    int32_t put() { return opPutField(release()); }

private:
    Picture *picture_ = nullptr;
};

// ---------------------------------------------------------------- the small operators' frame

// What a small operator tells the shared entry points: where its failures
// are logged, its render, and what it does on the other actions it answers.
struct SmallOperator {
    const char *sourceName;
    uint32_t module;
    int32_t (*render)(OperatorContext *ctx);
    void (*init)();                              // OPACT_INIT, or none
    void (*parameterChanged)(uint32_t index);    // OPACT_PARAMETER, or none

    void fail(int32_t line) const { logFailure(line, sourceName, module); }

    // The field of `input` this render works on; when the host gives none
    // the failure is logged at `line`.
    PictureHandle field(int32_t input, const OperatorContext *ctx, int32_t line) const
    {
        PictureHandle picture(opGetField(input, ctx->fieldNumber));
        if (!picture) fail(line);
        return picture;
    }
    // A new picture of the field's size, or none with the failure logged.
    PictureHandle workPicture(int32_t line) const
    {
        PictureHandle picture(opAllocImage(-1, -1, 1, 0));
        if (!picture) fail(line);
        return picture;
    }
};

inline int32_t answerAction(const SmallOperator &op, OperatorContext *ctx)
{
    switch (ctx->action) {
    case OPACT_INIT:
        if (op.init) op.init();
        return 0;
    case OPACT_RENDER:
        return op.render(ctx);
    case OPACT_PARAMETER:
        if (op.parameterChanged) op.parameterChanged(ctx->paramIndex);
        return 0;
    default:
        return 0;
    }
}

// A small operator's tag list: its attributes, one-input flag, revision
// and parameters, in the order the host reads them.
template <size_t ParamCount>
struct TagList {
    TagWord words[10 + 2 * ParamCount + 1];
};

template <typename... Params>
TagList<sizeof...(Params)> smallOperatorTags(TagWord attributes, TagWord oneInput, const char *revision,
                                             Params &...params)
{
    TagList<sizeof...(Params)> list = {{OPE_ATTRIBUTES, attributes, OPE_ONEINPUT, oneInput, OPE_ACTION,
                                        TagWord(&OperatorAction), OPE_REVISION, TagWord(revision),
                                        OPE_INTERFACE, 2}};
    size_t word = 10;
    unsigned index = 0;
    ((list.words[word++] = opeParam(index++), list.words[word++] = TagWord(&params)), ...);
    list.words[word] = OPE_END;
    return list;
}

// The visible-area offsets of monitor 2, which place rectangles in normal
// renders.
struct VisibleOffsets {
    int16_t left, top;
};

inline VisibleOffsets visibleOffsets()
{
    int16_t left = 0, top = 0, right = 0, bottom = 0;
    tgGetVisibleAreaMonitor(&left, &top, &right, &bottom, 2);
    return {left, top};
}

struct PlacedRect {
    int32_t x0;
    int32_t y0;
    int32_t width;
    int32_t height;
};

// Maps a rectangle parameter onto a picture. `left` and `top` are the
// visible-area offsets of monitor 2; they apply only to normal renders.
inline PlacedRect placeRect(const Picture &picture, const RectParam &rect, const OperatorContext *ctx,
                            int16_t left, int16_t top)
{
    PlacedRect placed;
    if (isPreview(ctx)) {
        placed.x0 = int32_t(picture.x) + rect.x;
        placed.y0 = int32_t(picture.y) + rect.y;
        placed.width = rect.width;
        placed.height = int32_t(ctx->verticalPermille) * int32_t(rect.height) / 1000;
    } else {
        placed.x0 = int32_t(picture.x) - left + rect.x;
        placed.y0 = int32_t(picture.y) - top / 2 + rect.y;
        placed.width = rect.width;
        placed.height = rect.height;
    }
    return placed;
}

// Half-open span [begin, end) of a placed rectangle clipped to a buffer.
struct ClippedSpan {
    int32_t x0, y0, x1, y1;
    bool empty() const { return x0 >= x1 || y0 >= y1; }
    int64_t count() const { return empty() ? 0 : int64_t(x1 - x0) * (y1 - y0); }
};

inline ClippedSpan clipToBuffer(int32_t x0, int32_t y0, int32_t width, int32_t height,
                                const Picture &picture)
{
    ClippedSpan span;
    int64_t x1 = int64_t(x0) + width;
    int64_t y1 = int64_t(y0) + height;
    span.x0 = x0 < 0 ? 0 : x0;
    span.y0 = y0 < 0 ? 0 : y0;
    span.x1 = int32_t(x1 > picture.bufferWidth ? picture.bufferWidth : x1);
    span.y1 = int32_t(y1 > picture.bufferHeight ? picture.bufferHeight : y1);
    if (span.x1 < span.x0) span.x1 = span.x0;
    if (span.y1 < span.y0) span.y1 = span.y0;
    return span;
}

// The picture's active area, limited to its buffer.
inline ClippedSpan activeArea(const Picture &picture)
{
    return clipToBuffer(picture.x, picture.y, picture.width, picture.height, picture);
}

// The average colour of the sample area, taken once per rendering run.
struct CachedAverage {
    bool haveAverage;
    int32_t y, u, v;
};

// Averages Y, U and V over the placed sample area. The area is clipped to
// the buffer and averaged over the pixels inside; with none inside the
// average is 0, 0, 0.
inline void takeAverage(CachedAverage &average, const Picture &picture, const PlacedRect &area)
{
    average.haveAverage = true;
    average.y = average.u = average.v = 0;
    ClippedSpan span = clipToBuffer(area.x0, area.y0, area.width, area.height, picture);
    if (span.empty()) return;
    int64_t sumY = 0, sumU = 0, sumV = 0;
    for (int32_t r = span.y0; r < span.y1; ++r) {
        const Pixel *row = picture.pixels + int64_t(r) * picture.bufferWidth;
        for (int32_t c = span.x0; c < span.x1; ++c) {
            sumY += row[c].y;
            sumU += row[c].u;
            sumV += row[c].v;
        }
    }
    int64_t n = span.count();
    average.y = int32_t(sumY / n);
    average.u = int32_t(sumU / n);
    average.v = int32_t(sumV / n);
}

// The first render of a run samples the average colour under `sampleArea`;
// later renders keep it, wherever the area now lies. Every render asks for
// the visible area, as the rectangle placement needs it.
inline void sampleAverageOnce(CachedAverage &average, const Picture &picture,
                              const RectParam &sampleArea, const OperatorContext *ctx)
{
    const VisibleOffsets visible = visibleOffsets();
    if (!average.haveAverage)
        takeAverage(average, picture, placeRect(picture, sampleArea, ctx, visible.left, visible.top));
}

// Weighted distance of a colour from the average.
inline double colorDistance(int y, int u, int v, const CachedAverage &average)
{
    double d = 30.0 * std::abs(y - average.y);
    d += 60.0 * std::abs(u - average.u);
    d += 60.0 * std::abs(v - average.v);
    return d;
}

// 0 for colours close to the average, rising to 255 for far ones.
inline double farness(double d, int32_t tolerance)
{
    double t = ((d * (100 - double(tolerance))) / 1500 - 100) * 255 / 55;
    if (t > 255) t = 255;
    else if (t < 0) t = 0;
    return t;
}

// The largest colorDistance of two byte colours: 30*255 + 60*255 + 60*255.
constexpr int MAX_COLOR_DISTANCE = 38250;

// Lays a colour over a pixel by the colour's alpha A: each of V, U and Y
// becomes ((255 - A) * b + A * c) / 255, truncating; the pixel's own alpha
// is kept.
inline uint8_t blendByte(uint8_t b, uint8_t c, uint8_t alpha)
{
    return uint8_t(((255 - int32_t(alpha)) * b + int32_t(alpha) * c) / 255);
}

inline void blendPixel(Pixel &p, Pixel color)
{
    p.v = blendByte(p.v, color.v, color.alpha);
    p.u = blendByte(p.u, color.u, color.alpha);
    p.y = blendByte(p.y, color.y, color.alpha);
}

// blendPixel over whole rows, four pixels at a time: every byte b becomes
// (keep * b + add) / 255 with keep = 255 - A and add = A * c for V, U and
// Y, and keep = 255, add = 0 for the alpha byte, which so stays as it was.
// The sums fit 16 bits, and (x + 1 + (x >> 8)) >> 8 is x / 255 for every
// x below 65 535.
typedef uint8_t Bytes16 __attribute__((vector_size(16)));
typedef uint16_t Words16 __attribute__((vector_size(32)));

struct BlendLanes {
    Words16 keep;
    Words16 add;
};

inline BlendLanes blendLanes(Pixel color)
{
    const uint16_t a = color.alpha;
    const uint16_t keep = uint16_t(255 - a);
    BlendLanes lanes;
    for (int i = 0; i < 16; i += 4) {
        lanes.keep[i] = 255;
        lanes.add[i] = 0;
        lanes.keep[i + 1] = lanes.keep[i + 2] = lanes.keep[i + 3] = keep;
        lanes.add[i + 1] = uint16_t(a * color.v);
        lanes.add[i + 2] = uint16_t(a * color.u);
        lanes.add[i + 3] = uint16_t(a * color.y);
    }
    return lanes;
}

// Blends columns [c0, c1) of one row.
inline void blendSpan(Pixel *row, int32_t c0, int32_t c1, const BlendLanes &lanes, Pixel color)
{
    int32_t c = c0;
    for (; c + 4 <= c1; c += 4) {
        Bytes16 bytes;
        std::memcpy(&bytes, row + c, sizeof bytes);
        Words16 x = __builtin_convertvector(bytes, Words16) * lanes.keep + lanes.add;
        x = (x + 1 + (x >> 8)) >> 8;
        bytes = __builtin_convertvector(x, Bytes16);
        std::memcpy(row + c, &bytes, sizeof bytes);
    }
    for (; c < c1; ++c) blendPixel(row[c], color);
}

// ---------------------------------------------------------------- vector kernels

// A pixel loop written as plain arithmetic, for the compiler to vectorise:
// built for AVX2 and for the x86-64 baseline, the one to run chosen when
// the library loads, so the binaries run on any x86-64. OPS_BASELINE_ONLY
// builds the baseline alone (to test it on a machine with AVX2).
// The sanitizers' runtimes are not ready when the loader picks a clone.
#if defined(__x86_64__) && defined(__GNUC__) && !defined(__clang__) && !defined(__SANITIZE_ADDRESS__) && \
    !defined(__SANITIZE_THREAD__) && !defined(OPS_BASELINE_ONLY)
#define OPS_VECTOR_KERNEL __attribute__((optimize("tree-vectorize"), target_clones("avx2", "default")))
#elif defined(__x86_64__) && defined(__GNUC__) && !defined(__clang__)
#define OPS_VECTOR_KERNEL __attribute__((optimize("tree-vectorize")))
#else
#define OPS_VECTOR_KERNEL
#endif

// Code written for AVX2 by hand (intrinsics under a target attribute), beside
// a plain loop that serves everywhere else: built on x86-64 unless
// OPS_BASELINE_ONLY, and run where cpuHasAvx2() says so.
#if defined(__x86_64__) && defined(__GNUC__) && !defined(OPS_BASELINE_ONLY)
#define OPS_HAND_AVX2 1
// May be asked while a library's statics are set up, before the
// processor-model constructor has run: it initialises that first.
inline bool cpuHasAvx2()
{
    __builtin_cpu_init();
    return __builtin_cpu_supports("avx2");
}
#else
#define OPS_HAND_AVX2 0
#endif

// Whether the hand-written AVX2 code runs: where it is built and the
// processor has AVX2, unless OPS_PLAIN_KERNELS is set in the environment,
// which runs the plain loops instead (the tests run every operator both
// ways, so the plain loops are tested on AVX2 machines too).
inline bool handAvx2Enabled()
{
#if OPS_HAND_AVX2
    return cpuHasAvx2() && !std::getenv("OPS_PLAIN_KERNELS");
#else
    return false;
#endif
}

// c / 100 for 0 <= c <= 43 689, as a multiply and a shift.
inline int32_t divideBy100(int32_t c) { return (c * 5243) >> 19; }

// ---------------------------------------------------------------- block moves

// The destination rectangle follows the source: same position, and a size
// the host lets the user move but not change.
inline void followSource(const RectParam &source, RectParam &destination)
{
    destination.x = source.x;
    destination.y = source.y;
    destination.minWidth = destination.maxWidth = destination.width = source.width;
    destination.minHeight = destination.maxHeight = destination.height = source.height;
}

// Copies the w x h block at (sx, sy) of `from` to (dx, dy) of `to`, whole
// pixels. Only source pixels inside `fromWidth` x `fromHeight` (at most
// `from`'s buffer) whose target lies inside `to`'s buffer are copied, so
// nothing outside either buffer is read or written.
inline void copyBlock(const Picture &from, int32_t fromWidth, int32_t fromHeight, int32_t sx,
                      int32_t sy, int32_t w, int32_t h, Picture &to, int32_t dx, int32_t dy)
{
    if (w <= 0 || h <= 0) return;
    auto lesser = [](int64_t a, int64_t b) { return a < b ? a : b; };
    auto greater = [](int64_t a, int64_t b) { return a > b ? a : b; };
    const int64_t shiftX = int64_t(dx) - sx;
    const int64_t shiftY = int64_t(dy) - sy;
    int64_t c0 = greater(greater(sx, 0), -shiftX);
    int64_t c1 = lesser(lesser(int64_t(sx) + w, fromWidth), to.bufferWidth - shiftX);
    int64_t r0 = greater(greater(sy, 0), -shiftY);
    int64_t r1 = lesser(lesser(int64_t(sy) + h, fromHeight), to.bufferHeight - shiftY);
    for (int64_t r = r0; c0 < c1 && r < r1; ++r)
        std::memmove(to.pixels + (r + shiftY) * to.bufferWidth + c0 + shiftX,
                     from.pixels + r * from.bufferWidth + c0, size_t(c1 - c0) * sizeof(Pixel));
}
