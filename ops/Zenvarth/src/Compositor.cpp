// Compositor: the last pass of a render. Writes the output's colour bytes
// from the foreground, the background and the key in the output's alpha
// bytes, with the fades and one effect: glow, drop shadow, tint or a wipe
// along the pattern during the fades. The output's alpha is left as it is.
//
// Per pixel, M is the foreground's alpha (the starting matte) and L the
// output's alpha (the key). Where M is 0 the pixel lies outside the keying
// area and shows the foreground, except where the drop shadow falls.
// Everything that depends only on the settings and the field (the fade of
// each key value, the glow and shadow strength of each blurred value, the
// wipe's weights for each pattern byte) is tabulated once per render.
#include <algorithm>
#include <array>
#include <cstdlib>
#include <cstring>
#include <new>

#include "BoxBlur.h"
#include "Pattern.h"
#include "PixelLanes.h"
#include "ZenvarthRender.h"
#include "contract/helpers.h"

// The vector helpers below are only ever inlined into the kernels, so the
// ABI of 32-byte vector values passed between functions does not matter.
#pragma GCC diagnostic ignored "-Wpsabi"

namespace zenvarth {

namespace {

using ByteTable = std::array<uint8_t, 256>;

// The fade windows in fields. The stored lengths are frames; a window
// longer than the section is limited to it so the unsigned tests below
// cannot wrap.
struct Fades {
    uint32_t pos;
    uint32_t count;
    uint32_t in;    // E
    uint32_t out;   // X

    bool inFadeIn() const { return in != 0 && pos < in; }
    bool inFadeOut() const { return out != 0 && pos >= count - out; }

    uint32_t apply(uint32_t v) const
    {
        if (inFadeIn()) v = pos * v / in;
        if (inFadeOut()) v = (count - pos - 1) * v / out;
        // Only a field past the section's end can go beyond a byte here.
        return v > 255 ? 255 : v;
    }
};

Fades currentFades()
{
    Fades f;
    f.pos = renderFieldNumber;
    f.count = renderFieldCount;
    f.in = 2u * settings.fadeInFrames;
    f.out = 2u * settings.fadeOutFrames;
    if (f.in > f.count) f.in = f.count;
    if (f.out > f.count) f.out = f.count;
    return f;
}

ByteTable fadeTable(const Fades &fades)
{
    ByteTable table;
    for (uint32_t v = 0; v < 256; ++v) table[v] = uint8_t(fades.apply(v));
    return table;
}

// a * (255 - t) + c * t, over 255: c laid over a with strength t.
inline uint8_t mix(uint32_t a, uint32_t c, uint32_t t)
{
    return uint8_t((a * (255 - t) + c * t) / 255);
}

inline void mixInto(Pixel &to, const Pixel &a, const Pixel &c, uint32_t t)
{
    to.v = mix(a.v, c.v, t);
    to.u = mix(a.u, c.u, t);
    to.y = mix(a.y, c.y, t);
}

// The colour of `from` with the alpha of `to`.
inline void takeColour(Pixel &to, const Pixel &from)
{
    to.v = from.v;
    to.u = from.u;
    to.y = from.y;
}

// out = (out * k + under * (255 - k)) / 255, per colour byte.
inline void overKeyed(Pixel &out, const Pixel &under, uint32_t k)
{
    out.v = mix(under.v, out.v, k);
    out.u = mix(under.u, out.u, k);
    out.y = mix(under.y, out.y, k);
}

struct Planes {
    const Pixel *fg;
    const Pixel *bg;
    Pixel *out;
    size_t count;
};

// The plain composite of one pixel, by the rule.
inline void plainPixel(const Pixel &fg, const Pixel &bg, Pixel &out, const ByteTable &fade)
{
    if (fg.alpha == 0) {
        takeColour(out, fg);
        return;
    }
    uint32_t k = out.alpha == 0 ? 0 : fade[out.alpha];
    if (k == 255) return;
    if (k == 0) takeColour(out, bg);
    else overKeyed(out, bg, k);
}

// Outside the fades (where fade[v] is v) the plain, glow and shadow
// composites work on four pixels as sixteen 16-bit lanes (alpha, V, U, Y
// each), written with the compiler's vector types so that it builds the
// loops for AVX2 (one register) and for the baseline (two). mix() lane by
// lane: every weighted sum is at most 255 * 255. A weight of 0 gives the
// first colour and 255 the second, so the per-pixel branches of the rules
// (key 0 takes the colour under the foreground, key 255 keeps the output)
// are the same mix.
typedef uint8_t Bytes16 __attribute__((vector_size(16)));
typedef uint16_t Lanes16 __attribute__((vector_size(32)));

inline Lanes16 loadLanes(const Pixel *p)
{
    Bytes16 bytes;
    std::memcpy(&bytes, p, sizeof bytes);
    return __builtin_convertvector(bytes, Lanes16);
}

inline void storeLanes(Pixel *p, Lanes16 lanes)
{
    const Bytes16 bytes = __builtin_convertvector(lanes, Bytes16);
    std::memcpy(p, &bytes, sizeof bytes);
}

// Each pixel's alpha lane over its four lanes.
inline Lanes16 spreadAlpha(Lanes16 v)
{
    return __builtin_shufflevector(v, v, 0, 0, 0, 0, 4, 4, 4, 4, 8, 8, 8, 8, 12, 12, 12, 12);
}

// x / 255 for x <= 255 * 255: x + 1 + (x >> 8) stays below 65 536.
inline Lanes16 lanesOver255(Lanes16 x) { return (x + 1 + (x >> 8)) >> 8; }

// a * (255 - t) + c * t over 255, lane by lane.
inline Lanes16 mixLanes16(Lanes16 a, Lanes16 c, Lanes16 t) { return lanesOver255(a * (255 - t) + c * t); }

// The alpha lane of every pixel.
const Lanes16 ALPHA_LANES = {0xFFFF, 0, 0, 0, 0xFFFF, 0, 0, 0, 0xFFFF, 0, 0, 0, 0xFFFF, 0, 0, 0};

// Plain composite outside the fades: the key is its own weight, so key 0
// gives the background and 255 keeps the output.
OPS_VECTOR_KERNEL void plainUnfaded(const Pixel *fg, const Pixel *bg, Pixel *out, size_t count, size_t &done)
{
    size_t i = 0;
    for (; i + 4 <= count; i += 4) {
        const Lanes16 f = loadLanes(fg + i), b = loadLanes(bg + i), o = loadLanes(out + i);
        const Lanes16 shown = spreadAlpha(f) == 0 ? f : mixLanes16(b, o, spreadAlpha(o));
        storeLanes(out + i, ALPHA_LANES ? o : shown);
    }
    done = i;
}

#if OPS_HAND_AVX2

// The plain, glow and shadow blocks written for AVX2 by hand, sixteen
// pixels at a time as one vector per channel (PixelLanes.h): the same mixes
// lane by lane. Each returns how many pixels it did.
namespace avx2 {

using lanes::Channels;
using lanes::V;
using lanes::load16;
using lanes::splat;
using lanes::store16;

__attribute__((target("avx2"))) inline V weightOf(V k) { return _mm256_sub_epi16(splat(255), k); }

__attribute__((target("avx2"))) inline V overBy(V under, V over, V k) { return lanes::mix(under, over, k, weightOf(k)); }

// The alpha bytes of sixteen pixels, in the lane order of load16.
__attribute__((target("avx2"))) inline V alpha16(const Pixel *p)
{
    const V low = _mm256_set1_epi32(0xFF);
    const V first = _mm256_and_si256(_mm256_loadu_si256(reinterpret_cast<const V *>(p)), low);
    const V second = _mm256_and_si256(_mm256_loadu_si256(reinterpret_cast<const V *>(p + 8)), low);
    return _mm256_packus_epi32(first, second);
}

__attribute__((target("avx2"))) size_t plainUnfaded(const Pixel *fg, const Pixel *bg, Pixel *out, size_t count)
{
    size_t i = 0;
    for (; i + 16 <= count; i += 16) {
        const Channels f = load16(fg + i), b = load16(bg + i), o = load16(out + i);
        const V outside = _mm256_cmpeq_epi16(f.a, _mm256_setzero_si256());
        Channels r;
        r.a = o.a;
        r.v = _mm256_blendv_epi8(overBy(b.v, o.v, o.a), f.v, outside);
        r.u = _mm256_blendv_epi8(overBy(b.u, o.u, o.a), f.u, outside);
        r.y = _mm256_blendv_epi8(overBy(b.y, o.y, o.a), f.y, outside);
        store16(out + i, r);
    }
    return i;
}

__attribute__((target("avx2"))) size_t glowUnfaded(const Pixel *fg, const Pixel *bg, Pixel *out, size_t count,
                                                   Pixel glow)
{
    const V gv = splat(glow.v), gu = splat(glow.u), gy = splat(glow.y), ga = splat(glow.alpha);
    size_t i = 0;
    for (; i + 16 <= count; i += 16) {
        const Channels f = load16(fg + i), b = load16(bg + i), o = load16(out + i);
        const V doubled = _mm256_min_epu16(_mm256_add_epi16(b.a, b.a), splat(255));
        const V strength = lanes::over255(_mm256_mullo_epi16(doubled, ga));
        const V outside = _mm256_cmpeq_epi16(f.a, _mm256_setzero_si256());
        Channels r;
        r.a = o.a;
        r.v = _mm256_blendv_epi8(overBy(overBy(b.v, gv, strength), o.v, o.a), f.v, outside);
        r.u = _mm256_blendv_epi8(overBy(overBy(b.u, gu, strength), o.u, o.a), f.u, outside);
        r.y = _mm256_blendv_epi8(overBy(overBy(b.y, gy, strength), o.y, o.a), f.y, outside);
        store16(out + i, r);
    }
    return i;
}

// One channel of the shadow composite: under the foreground the background
// with the shadow over it; outside the matte the foreground, or the
// background where `keyed`, with the shadow over it.
__attribute__((target("avx2"))) inline V shadowed(V fc, V bc, V oc, V sc, V key, V strength, V keyed, V outside)
{
    const V inside = overBy(overBy(bc, sc, strength), oc, key);
    const V beyond = overBy(_mm256_blendv_epi8(fc, bc, keyed), sc, strength);
    return _mm256_blendv_epi8(inside, beyond, outside);
}

__attribute__((target("avx2"))) size_t shadowUnfaded(const Pixel *fg, const Pixel *bg, const Pixel *samples,
                                                     Pixel *out, size_t count, Pixel shadow)
{
    const V sv = splat(shadow.v), su = splat(shadow.u), sy = splat(shadow.y), sa = splat(shadow.alpha);
    const V zero = _mm256_setzero_si256();
    size_t i = 0;
    for (; i + 16 <= count; i += 16) {
        const Channels f = load16(fg + i), b = load16(bg + i), o = load16(out + i);
        const V blurred = samples ? alpha16(samples + i) : zero;
        const V strength = lanes::over255(_mm256_mullo_epi16(blurred, sa));
        // The key is there and a sample falls (even one too weak to show).
        const V keyed = _mm256_andnot_si256(
            _mm256_or_si256(_mm256_cmpeq_epi16(o.a, zero), _mm256_cmpeq_epi16(blurred, zero)), splat(0xFFFF));
        const V outside = _mm256_cmpeq_epi16(f.a, zero);
        Channels r;
        r.a = o.a;
        r.v = shadowed(f.v, b.v, o.v, sv, o.a, strength, keyed, outside);
        r.u = shadowed(f.u, b.u, o.u, su, o.a, strength, keyed, outside);
        r.y = shadowed(f.y, b.y, o.y, sy, o.a, strength, keyed, outside);
        store16(out + i, r);
    }
    return i;
}

} // namespace avx2

#endif

// The blocks outside the fades: by hand in AVX2 where the processor has it,
// the rest (and everything elsewhere) by the compiler's loops.
size_t plainBlocks(const Planes &p)
{
    size_t fast = 0, rest = 0;
#if OPS_HAND_AVX2
    if (lanes::handWrittenSweeps()) fast = avx2::plainUnfaded(p.fg, p.bg, p.out, p.count);
#endif
    plainUnfaded(p.fg + fast, p.bg + fast, p.out + fast, p.count - fast, rest);
    return fast + rest;
}

void plainComposite(const Planes &p, const ByteTable &fade, bool faded)
{
    size_t i = 0;
    if (!faded) i = plainBlocks(p);
    for (; i < p.count; ++i) plainPixel(p.fg[i], p.bg[i], p.out[i], fade);
}

// The glow composite of one pixel, by the rule.
inline void glowPixel(const Pixel &fg, const Pixel &bg, Pixel &out, const ByteTable &fade,
                      const ByteTable &strength, Pixel glow)
{
    if (fg.alpha == 0) {
        takeColour(out, fg);
        return;
    }
    Pixel under = out;
    mixInto(under, bg, glow, strength[bg.alpha]);
    if (out.alpha == 0) takeColour(out, under);
    else overKeyed(out, under, fade[out.alpha]);
}

// A colour's V, U, Y in the colour lanes of four pixels, 0 in the alpha lanes.
inline Lanes16 colourLanes(Pixel c)
{
    return Lanes16{0, c.v, c.u, c.y, 0, c.v, c.u, c.y, 0, c.v, c.u, c.y, 0, c.v, c.u, c.y};
}

// Glow outside the fades, four pixels at a time: the strength of a blurred
// value b is glow.alpha * min(2b, 255) / 255 and the key's weight is L.
OPS_VECTOR_KERNEL void glowUnfaded(const Pixel *fg, const Pixel *bg, Pixel *out, size_t count, Pixel glow,
                                   size_t &done)
{
    const Lanes16 colour = colourLanes(glow);
    const uint16_t glowAlpha = glow.alpha;
    size_t i = 0;
    for (; i + 4 <= count; i += 4) {
        const Lanes16 f = loadLanes(fg + i), b = loadLanes(bg + i), o = loadLanes(out + i);
        Lanes16 doubled = spreadAlpha(b) * 2;
        doubled = doubled < 255 ? doubled : 255;
        const Lanes16 under = mixLanes16(b, colour, lanesOver255(doubled * glowAlpha));
        const Lanes16 shown = spreadAlpha(f) == 0 ? f : mixLanes16(under, o, spreadAlpha(o));
        storeLanes(out + i, ALPHA_LANES ? o : shown);
    }
    done = i;
}

size_t glowBlocks(const Planes &p, Pixel glow)
{
    size_t fast = 0, rest = 0;
#if OPS_HAND_AVX2
    if (lanes::handWrittenSweeps()) fast = avx2::glowUnfaded(p.fg, p.bg, p.out, p.count, glow);
#endif
    glowUnfaded(p.fg + fast, p.bg + fast, p.out + fast, p.count - fast, glow, rest);
    return fast + rest;
}

// Glow: the key blurred and doubled, in glowColor, under the foreground.
// `strength` holds fade(glow.alpha * min(2b, 255) / 255) for each blurred b.
void glowComposite(const Planes &p, const ByteTable &fade, bool faded, Pixel glow, const ByteTable &strength)
{
    size_t i = 0;
    if (!faded) i = glowBlocks(p, glow);
    for (; i < p.count; ++i) glowPixel(p.fg[i], p.bg[i], p.out[i], fade, strength, glow);
}

// Sampling offset of the shadow: the shadow at (x, y) is the blurred key at
// (x + dx, y + dy). Columns count double.
void shadowOffset(bool preview, int32_t &dx, int32_t &dy)
{
    const int32_t n = settings.shadowDistance;
    int32_t ex = 0, ey = 0;
    switch (settings.shadowDirection) {
    case 0: ey = n; break;
    case 1: ex = -n; ey = n; break;
    case 2: ex = -n; break;
    case 3: ex = -n; ey = -n; break;
    case 4: ey = -n; break;
    case 5: ex = n; ey = -n; break;
    case 6: ex = n; break;
    case 7: ex = n; ey = n; break;
    default: break;   // under the foreground
    }
    dx = preview ? 2 * ex / 3 : 2 * ex;
    dy = preview ? ey / 3 : ey;
}

// The shadow composite of one pixel, by the rule; b is the blurred key
// sampled for it (0 where the sample lies outside the picture).
inline void shadowPixel(Pixel &out, const Pixel &fg, const Pixel &bg, uint32_t b, const ByteTable &fade,
                        const ByteTable &strength, Pixel shadow)
{
    const bool valid = b != 0;
    const uint32_t s = strength[b];
    const uint32_t key = out.alpha;
    if (fg.alpha == 0) {
        if (valid) mixInto(out, key > 0 ? bg : fg, shadow, s);
        else takeColour(out, fg);
        return;
    }
    Pixel under = bg;
    if (valid) mixInto(under, bg, shadow, s);
    if (key == 0) takeColour(out, under);
    else overKeyed(out, under, fade[key]);
}

// Pixels outside the fades, four at a time; `samples` holds the blurred
// key sampled for each pixel in its alpha bytes, or is null where every
// sample lies outside the picture. A strength of 0 (no sample) mixes
// nothing in, so the rule's branches are these mixes: under the foreground
// the background with the shadow over it, and outside the matte the
// foreground, or the background where the key is and a shadow falls, with
// the shadow over it.
OPS_VECTOR_KERNEL void shadowUnfaded(const Pixel *fg, const Pixel *bg, const Pixel *samples, Pixel *out,
                                     size_t count, Pixel shadow, size_t &done)
{
    const Lanes16 colour = colourLanes(shadow);
    const uint16_t shadowAlpha = shadow.alpha;
    size_t i = 0;
    for (; i + 4 <= count; i += 4) {
        const Lanes16 f = loadLanes(fg + i), b = loadLanes(bg + i), o = loadLanes(out + i);
        const Lanes16 blurred = samples ? spreadAlpha(loadLanes(samples + i)) : Lanes16{};
        const Lanes16 strength = lanesOver255(blurred * shadowAlpha);
        const Lanes16 key = spreadAlpha(o);
        const Lanes16 inside = mixLanes16(mixLanes16(b, colour, strength), o, key);
        // The key is there and a sample falls (even one too weak to show).
        const Lanes16 base = ((key != 0) & (blurred != 0)) ? b : f;
        const Lanes16 outside = mixLanes16(base, colour, strength);
        const Lanes16 shown = spreadAlpha(f) == 0 ? outside : inside;
        storeLanes(out + i, ALPHA_LANES ? o : shown);
    }
    done = i;
}

size_t shadowBlocks(const Pixel *fg, const Pixel *bg, const Pixel *samples, Pixel *out, size_t count, Pixel shadow)
{
    size_t fast = 0, rest = 0;
#if OPS_HAND_AVX2
    if (lanes::handWrittenSweeps()) fast = avx2::shadowUnfaded(fg, bg, samples, out, count, shadow);
#endif
    shadowUnfaded(fg + fast, bg + fast, samples ? samples + fast : nullptr, out + fast, count - fast, shadow, rest);
    return fast + rest;
}

// Rows begin..end-1 of the shadow composite; `p` holds the whole pictures
// and `strength` fade(b * shadow.alpha / 255) for each blurred b.
void shadowComposite(const Planes &p, const ByteTable &fade, bool faded, Pixel shadow, const ByteTable &strength,
                     int32_t width, int32_t height, int32_t dx, int32_t dy, int32_t begin, int32_t end)
{
    // Columns whose sample lies inside the picture: x + dx in [0, width).
    // A shadow farther than the picture is wide samples nothing: clamp both
    // to the row, so the loops below never leave it.
    const int32_t firstColumn = dx < 0 ? (-dx < width ? -dx : width) : 0;
    const int32_t endColumn = dx > 0 ? (dx < width ? width - dx : 0) : width;

    for (int32_t y = begin; y < end; ++y) {
        const size_t row = size_t(y) * size_t(width);
        const int32_t sy = y + dy;
        const bool rowInside = sy >= 0 && sy < height;
        const Pixel *sampleRow = rowInside ? p.bg + size_t(sy) * size_t(width) : nullptr;
        auto sampleAt = [&](int32_t x) -> uint32_t {
            return rowInside && x >= firstColumn && x < endColumn ? sampleRow[x + dx].alpha : 0;
        };
        if (!faded) {
            // Columns sampling inside the picture, and on either side those
            // whose samples lie outside it (all of them in a row whose
            // samples lie outside): blocks, then the odd pixels one by one.
            auto columns = [&](int32_t x0, int32_t x1, const Pixel *samples) {
                if (x1 <= x0) return;
                const size_t i = row + size_t(x0);
                int32_t x = x0 + int32_t(shadowBlocks(p.fg + i, p.bg + i, samples, p.out + i, size_t(x1 - x0), shadow));
                for (; x < x1; ++x)
                    shadowPixel(p.out[row + size_t(x)], p.fg[row + size_t(x)], p.bg[row + size_t(x)], sampleAt(x),
                                fade, strength, shadow);
            };
            const int32_t from = rowInside ? firstColumn : 0, to = rowInside ? endColumn : 0;
            columns(0, from, nullptr);
            columns(from, to, to > from ? sampleRow + from + dx : nullptr);
            columns(std::max(from, to), width, nullptr);
            continue;
        }
        int32_t x = 0;
        for (; x < width; ++x)
            shadowPixel(p.out[row + size_t(x)], p.fg[row + size_t(x)], p.bg[row + size_t(x)], sampleAt(x), fade,
                        strength, shadow);
    }
}

// Tint: inside the keying area the background's colour shows, its luma
// scaled by tintBrightness where the key is.
// `tinted` holds min(y * tintBrightness / 100, 255) for each luma y.
void tintComposite(const Planes &p, const ByteTable &fade, const ByteTable &tinted)
{
    for (size_t i = 0; i < p.count; ++i) {
        Pixel &out = p.out[i];
        const Pixel &bg = p.bg[i];
        if (p.fg[i].alpha == 0) {
            takeColour(out, p.fg[i]);
            continue;
        }
        out.v = bg.v;
        out.u = bg.u;
        if (out.alpha == 0) out.y = bg.y;
        else out.y = mix(bg.y, tinted[bg.y], fade[out.alpha]);
    }
}

// Pattern wipe: during a fade the foreground appears (or leaves) where the
// pattern byte passes the threshold Q, and a band of wipeEdgeWidth pattern
// levels around Q takes wipeEdgeColor. The key is not faded.
// `pattern` starts at the first pixel of `p`; `takesPart` and `edgeWeight`
// are indexed by the pattern byte.
void wipeComposite(const Planes &p, const uint8_t *pattern, const ByteTable &takesPart, const ByteTable &edgeWeight,
                   Pixel edge)
{
    for (size_t i = 0; i < p.count; ++i) {
        Pixel &out = p.out[i];
        if (p.fg[i].alpha == 0) {
            takeColour(out, p.fg[i]);
            continue;
        }
        const uint8_t level = pattern[i];
        const uint32_t key = out.alpha;
        const uint32_t k = takesPart[level] ? key : 0;
        overKeyed(out, p.bg[i], k);
        const uint32_t t = edgeWeight[level];
        if (t != 0) mixInto(out, out, edge, key * t / 255);
    }
}

// The pixel tables for a pattern wipe with threshold Q.
void wipeTables(bool fadeIn, int64_t threshold, ByteTable &takesPart, ByteTable &edgeWeight)
{
    const int64_t width = settings.wipeEdgeWidth;
    for (int64_t level = 0; level < 256; ++level) {
        takesPart[size_t(level)] = fadeIn ? level < threshold : level >= threshold;
        int64_t n = level > threshold ? level - threshold : threshold - level;
        edgeWeight[size_t(level)] = width == 0 || n > width ? 0 : uint8_t((width - n) * 255 / width);
    }
}

enum class Effect { PLAIN, GLOW, SHADOW, TINT, WIPE };

} // namespace

// What the compositor worked out for one render: the effect that applies
// after its fallbacks, and every table its pixel loops read.
struct PreparedCompositor {
    Effect effect = Effect::PLAIN;
    bool faded = false;
    ByteTable fade{};
    ByteTable table{};   // glow or shadow strength, tinted luma, or the wipe's takesPart
    ByteTable edgeWeight{};
    Pixel colour{};
    int32_t dx = 0, dy = 0;
    // The key blurred (or, for a shadow without softness, copied) into the
    // background's alpha row by row as compositeRows needs it, when the
    // passes hand over the key as they make it.
    bool streaming = false;
    bool copyKey = false;
    int32_t copiedRows = 0;
    RowBlur blur;
    uint32_t *blurWork = nullptr;
};

void PreparedCompositorDelete::operator()(PreparedCompositor *plan) const
{
    std::free(plan->blurWork);
    delete plan;
}

namespace {

// The key of the whole picture into the background's alpha, or with
// `stream` the start of a blur that runs as the rows are asked for. False
// when the blur's work cells cannot be had.
bool blurKey(PreparedCompositor &plan, int32_t size, bool stream)
{
    if (!stream) return boxBlurKey(size);
    plan.blurWork = allocateBlurWork(size);
    if (!plan.blurWork) return false;
    if (!plan.blur.start(outputPicture->pixels, backgroundPicture->pixels, pictureWidth, pictureHeight, size,
                         plan.blurWork)) {
        std::free(plan.blurWork);
        plan.blurWork = nullptr;
        return false;
    }
    plan.streaming = true;
    return true;
}

Effect chooseEffect(PreparedCompositor &plan, const Fades &fades, bool preview, bool stream)
{
    switch (settings.effectType) {
    case 1: {
        int32_t size = preview ? settings.glowSize / 3 : settings.glowSize;
        if (size == 0 || !blurKey(plan, 4 * size, stream)) return Effect::PLAIN;
        return Effect::GLOW;
    }
    case 2: {
        int32_t softness = preview ? settings.shadowSoftness / 3 : settings.shadowSoftness;
        if (softness > 0) {
            if (!blurKey(plan, 4 * softness, stream)) return Effect::PLAIN;
        } else if (stream) {
            plan.copyKey = plan.streaming = true;
            plan.copiedRows = 0;
        } else {
            const size_t count = size_t(pictureWidth) * size_t(pictureHeight);
            for (size_t i = 0; i < count; ++i) backgroundPicture->pixels[i].alpha = outputPicture->pixels[i].alpha;
        }
        return Effect::SHADOW;
    }
    case 3:
        return Effect::TINT;
    case 4:
        // A pattern scaled for pictures of another size is loaded again.
        if (patternBuffer && !patternFitsPictures()) loadPattern();
        if (!patternFitsPictures()) return Effect::PLAIN;
        return fades.inFadeIn() || fades.inFadeOut() ? Effect::WIPE : Effect::PLAIN;
    default:
        return Effect::PLAIN;
    }
}

Planes rowsOf(int32_t begin, int32_t end)
{
    const size_t first = size_t(begin) * size_t(pictureWidth);
    return Planes{foregroundPicture->pixels + first, backgroundPicture->pixels + first,
                  outputPicture->pixels + first, size_t(end - begin) * size_t(pictureWidth)};
}

// Fills `plan` for the render in progress; with `stream` a glow's or a
// shadow's key is blurred (or copied) as compositeRows asks for rows. False
// when there are no pictures to composite.
bool planComposite(PreparedCompositor &plan, bool stream)
{
    if (!foregroundPicture || !backgroundPicture || !outputPicture) return false;
    if (pictureWidth <= 0 || pictureHeight <= 0) return false;
    const bool preview = isPreviewRender();
    const Fades fades = currentFades();
    plan.fade = fadeTable(fades);
    plan.faded = fades.inFadeIn() || fades.inFadeOut();
    plan.effect = chooseEffect(plan, fades, preview, stream);

    switch (plan.effect) {
    case Effect::GLOW:
        plan.colour = settings.glowColor;
        for (uint32_t b = 0; b < 256; ++b) {
            uint32_t doubled = 2 * b > 255 ? 255 : 2 * b;
            plan.table[b] = plan.fade[plan.colour.alpha * doubled / 255];
        }
        break;
    case Effect::SHADOW:
        plan.colour = settings.shadowColor;
        for (uint32_t b = 0; b < 256; ++b) plan.table[b] = plan.fade[b * plan.colour.alpha / 255];
        shadowOffset(preview, plan.dx, plan.dy);
        break;
    case Effect::TINT:
        for (uint32_t y = 0; y < 256; ++y) {
            uint32_t t = y * settings.tintBrightness / 100;
            plan.table[y] = uint8_t(t > 255 ? 255 : t);
        }
        break;
    case Effect::WIPE:
        plan.colour = settings.wipeEdgeColor;
        if (fades.inFadeIn()) {
            wipeTables(true, int64_t(fades.pos * 255 / fades.in), plan.table, plan.edgeWeight);
        } else {
            uint32_t q = 255 - (fades.count - fades.pos - 1) * 255 / fades.out;
            wipeTables(false, int64_t(q), plan.table, plan.edgeWeight);
        }
        break;
    case Effect::PLAIN:
        break;
    }
    return true;
}

// Rows of the blurred key the composite of rows up to `end` reads.
int32_t blurredRowsFor(const PreparedCompositor &plan, int32_t end)
{
    if (plan.effect == Effect::SHADOW && plan.dy > 0) end += plan.dy;
    return std::min(end, pictureHeight);
}

} // namespace

PreparedCompositorPtr prepareCompositor()
{
    PreparedCompositorPtr plan(new (std::nothrow) PreparedCompositor);
    if (!plan || !planComposite(*plan, true)) return nullptr;
    return plan;
}

int32_t compositorKeyRowsFor(const PreparedCompositor &plan, int32_t end)
{
    end = std::min(std::max(end, 0), pictureHeight);
    if (!plan.streaming) return end;
    const int32_t blurred = blurredRowsFor(plan, end);
    return plan.copyKey ? blurred : plan.blur.sourceRowsFor(blurred);
}

void compositeRows(PreparedCompositor &plan, int32_t begin, int32_t end)
{
    begin = std::max(begin, 0);
    end = std::min(end, pictureHeight);
    if (begin >= end) return;
    if (plan.streaming) {
        const int32_t blurred = blurredRowsFor(plan, end);
        if (!plan.copyKey) {
            plan.blur.rowsUpTo(blurred);
        } else {
            Pixel *to = backgroundPicture->pixels;
            const Pixel *from = outputPicture->pixels;
            const size_t last = size_t(blurred) * size_t(pictureWidth);
            for (size_t i = size_t(plan.copiedRows) * size_t(pictureWidth); i < last; ++i) to[i].alpha = from[i].alpha;
            plan.copiedRows = std::max(plan.copiedRows, blurred);
        }
    }
    const Planes rows = rowsOf(begin, end);
    switch (plan.effect) {
    case Effect::GLOW:
        glowComposite(rows, plan.fade, plan.faded, plan.colour, plan.table);
        break;
    case Effect::SHADOW:
        shadowComposite(rowsOf(0, pictureHeight), plan.fade, plan.faded, plan.colour, plan.table, pictureWidth,
                        pictureHeight, plan.dx, plan.dy, begin, end);
        break;
    case Effect::TINT:
        tintComposite(rows, plan.fade, plan.table);
        break;
    case Effect::WIPE:
        wipeComposite(rows, patternBuffer + size_t(begin) * size_t(pictureWidth), plan.table, plan.edgeWeight,
                      plan.colour);
        break;
    case Effect::PLAIN:
        plainComposite(rows, plan.fade, plan.faded);
        break;
    }
}

bool compositorIsPlainUnfaded(const PreparedCompositor &plan) { return plan.effect == Effect::PLAIN && !plan.faded; }

// The whole picture at once: the blurs run over the whole key first, so the
// plan holds no work cells and can live on the stack.
void runCompositor()
{
    PreparedCompositor plan;
    if (planComposite(plan, false)) compositeRows(plan, 0, pictureHeight);
}

} // namespace zenvarth
