// The chroma keyer, second pass of every render and preview. Reads the
// foreground, whose alpha bytes hold the starting matte, and writes every
// output pixel: the key (255 keeps the foreground, 0 lets the background
// through) and the foreground colour, or a corrected colour in the
// colour-distance and primary-dominance modes. A pixel outside the starting
// matte gets key 0 and the foreground colour in every mode.
//
// Everything that does not depend on the pixel is worked out once per
// render into small tables, so most pixel loops are table lookups and integer
// steps. The colour-distance key is plain integer arithmetic the compiler
// vectorises, and the dominance key runs its single-precision steps four
// pixels at a time, each lane doing exactly the operations of the formula.
#include <algorithm>
#include <bit>
#include <cstring>
#include <new>

#include "KeyerTables.h"
#include "PixelLanes.h"
#include "ZenvarthRender.h"
#include "contract/helpers.h"

namespace zenvarth {

namespace {

static_assert(std::endian::native == std::endian::little, "pixels are read as little-endian words");

// ---------------------------------------------------------------- modes

constexpr uint8_t KEY_MATTE = 0;
constexpr uint8_t KEY_COLOR_DISTANCE = 1;
constexpr uint8_t KEY_RECTANGLE = 2;
constexpr uint8_t KEY_DOMINANCE = 3;
constexpr uint8_t KEY_CHROMA_DISTANCE = 4;
constexpr uint8_t KEY_HUE = 5;
constexpr uint8_t KEY_HUE_LUMA = 6;
constexpr uint8_t KEY_LUMA_BAND = 7;
constexpr uint8_t KEY_LUMA_THRESHOLD = 8;
constexpr uint8_t KEY_SATURATION_BAND = 9;
constexpr uint8_t KEY_SATURATION_THRESHOLD = 10;
constexpr uint8_t KEY_DARK_NEUTRAL = 11;

// ---------------------------------------------------------------- pixel words

constexpr uint32_t COLOR_BITS = 0xFFFFFF00u;

inline uint32_t loadWord(const Pixel *p)
{
    uint32_t word;
    std::memcpy(&word, p, sizeof word);
    return word;
}

inline void storeWord(Pixel *p, uint32_t word) { std::memcpy(p, &word, sizeof word); }

inline uint32_t matteOf(uint32_t word) { return word & 0xFFu; }
inline uint32_t yOf(uint32_t word) { return word >> 24; }
inline uint32_t chromaOf(uint32_t word) { return word >> 8 & 0xFFFFu; }

// 0xFF where the starting matte keys the pixel, 0 where it lies outside.
inline uint32_t matteMask(uint32_t word) { return matteOf(word) != 0 ? 0xFFu : 0u; }

inline int32_t clampTo(int32_t value, int32_t lo, int32_t hi) { return std::min(std::max(value, lo), hi); }

inline int32_t absDiff(int32_t a, int32_t b) { return a > b ? a - b : b - a; }

// ---------------------------------------------------------------- per-render tables

// Modes 0 and 4 to 11 decide the key from the chroma pair and the luma
// separately: the pixel is keyed out (K = 0) only where neither the pair nor
// the luma keeps it. 0xFF = keeps it.
struct KeepTables {
    uint8_t keepChroma[65536];   // by chromaIndex(U, V)
    uint8_t keepLuma[256];
};

// Hue keys: the key colour's hue, with the neutral key taking the same 0.01
// substitution as a pixel so that its hue is defined.
float keyHue(const Pixel &key)
{
    if (key.u == 128 && key.v == 128) return chromaHue(hueComponent(128), hueComponent(128));
    return chromaHue(float(int(key.u) - 128) / 256.0f, float(int(key.v) - 128) / 256.0f);
}

// Hue difference in whole degrees, folded into 0..180.
inline int32_t hueDifference(float keyHueDegrees, float pixelHueDegrees)
{
    int32_t diff = int32_t(keyHueDegrees - pixelHueDegrees);
    if (diff < 0) diff = -diff;
    if (diff > 180) diff = 360 - diff;
    return diff;
}

void keepHueFar(KeepTables &keep, int32_t tolerance)
{
    const float *hues = pixelHueTable();
    float hk = keyHue(settings.keyColor);
    for (uint32_t i = 0; i < 65536; ++i)
        keep.keepChroma[i] = hueDifference(hk, hues[i]) > tolerance ? 0xFF : 0;
}

inline int32_t saturationOf(uint32_t u, uint32_t v)
{
    return std::max(absDiff(int32_t(u), 128), absDiff(int32_t(v), 128));
}

// Fills the keep tables of modes 0 and 4 to 11 (any mode above 11 keys as
// mode 0, so that the later passes never read undefined key bytes).
void buildKeepTables(KeepTables &keep, uint8_t mode)
{
    const ZenvarthSettings &s = settings;
    std::memset(keep.keepChroma, 0, sizeof keep.keepChroma);
    std::memset(keep.keepLuma, 0, sizeof keep.keepLuma);

    switch (mode) {
    case KEY_CHROMA_DISTANCE: {
        int32_t tolerance = s.chromaTolerance;
        for (uint32_t u = 0; u < 256; ++u)
            for (uint32_t v = 0; v < 256; ++v) {
                int32_t d = absDiff(int32_t(u), s.keyColor.u) + absDiff(int32_t(v), s.keyColor.v);
                if (d > 255) d = 255;
                keep.keepChroma[chromaIndex(u, v)] = d * 100 / 255 > tolerance ? 0xFF : 0;
            }
        break;
    }
    case KEY_HUE:
        keepHueFar(keep, s.hueTolerance * 255 / 100);
        break;
    case KEY_HUE_LUMA: {
        keepHueFar(keep, s.hueLumaHueTolerance * 255 / 100);
        int32_t lumaTolerance = s.hueLumaLumaTolerance * 255 / 100;
        for (int32_t y = 0; y < 256; ++y)
            keep.keepLuma[y] = absDiff(y, s.keyColor.y) > lumaTolerance ? 0xFF : 0;
        break;
    }
    case KEY_LUMA_BAND: {
        int32_t lo = std::max((s.lumaCenter - s.lumaWidth) * 255 / 100, 0);
        int32_t hi = std::min((s.lumaCenter + s.lumaWidth) * 255 / 100, 255);
        for (int32_t y = 0; y < 256; ++y)
            keep.keepLuma[y] = lo <= y && y <= hi ? 0 : 0xFF;
        break;
    }
    case KEY_LUMA_THRESHOLD: {
        int32_t level = s.lumaLevel * 255 / 100;
        for (int32_t y = 0; y < 256; ++y) {
            bool keyed = s.lumaKeyAbove == 0 ? y <= level : y >= level;
            keep.keepLuma[y] = keyed ? 0 : 0xFF;
        }
        break;
    }
    case KEY_SATURATION_BAND:
    case KEY_SATURATION_THRESHOLD: {
        int32_t lo, hi;
        if (mode == KEY_SATURATION_BAND) {
            int32_t center = s.saturationCenter * 128 / 100;
            int32_t width = s.saturationWidth * 128 / 100;
            lo = std::max(center - width, 0);
            hi = std::min(center + width, 128);
        } else {
            int32_t level = s.saturationLevel * 128 / 100;
            lo = s.saturationKeyAbove == 0 ? INT32_MIN : level;
            hi = s.saturationKeyAbove == 0 ? level : INT32_MAX;
        }
        for (uint32_t u = 0; u < 256; ++u)
            for (uint32_t v = 0; v < 256; ++v) {
                int32_t sat = saturationOf(u, v);
                keep.keepChroma[chromaIndex(u, v)] = lo <= sat && sat <= hi ? 0 : 0xFF;
            }
        break;
    }
    case KEY_DARK_NEUTRAL: {
        for (int32_t y = 0; y < 256; ++y)
            keep.keepLuma[y] = y <= s.blackLevel ? 0 : 0xFF;
        for (uint32_t u = 0; u < 256; ++u)
            for (uint32_t v = 0; v < 256; ++v) {
                bool neutral = 121 <= u && u <= 135 && 121 <= v && v <= 135;
                keep.keepChroma[chromaIndex(u, v)] = neutral ? 0 : 0xFF;
            }
        break;
    }
    case KEY_MATTE:
    default:
        std::memset(keep.keepLuma, 0xFF, sizeof keep.keepLuma);
        break;
    }
}

// ---------------------------------------------------------------- pixel loops

void keyByTables(const KeepTables &keep, const Pixel *fg, Pixel *out, size_t count)
{
    for (size_t i = 0; i < count; ++i) {
        uint32_t word = loadWord(fg + i);
        uint32_t k = (keep.keepChroma[chromaOf(word)] | keep.keepLuma[yOf(word)]) & matteMask(word);
        storeWord(out + i, (word & COLOR_BITS) | k);
    }
}

// Mode 1 as arithmetic for the compiler to vectorise, without a division:
// every quotient of the formula is a multiply and a shift that gives the
// very quotient over the range it meets, and every value fits 16 bits, so
// the loop runs sixteen pixels to a vector.
//
// The formula, per pixel with distance d = |dY| + 2|dU| + 2|dV| (at most
// 1 275) and m = 100 - colorTolerance:
//   a = d * m * 30 / 1500 - 100 = d * m / 50 - 100
//   k = clamp(a * 255 / 55, 0, 255) = clamp(a * 51 / 11, 0, 255)
//   spill of a channel = base * (255 - k) / 255, truncated toward zero
// k is 0 wherever a < 0 and 255 from a = 55 on, so d may be limited to the
// first distance that reaches a = 55 without changing k: d * m then stays
// below 8 192. With m <= 0 every pixel gets k = 0.
struct DistanceRule {
    uint16_t keyY, keyU, keyV;
    uint16_t m;        // 100 - colorTolerance, or 0 where that is not positive
    uint16_t dLimit;   // the least d with d * m / 50 >= 155 (0 when m is 0)
    // |base| per channel and whether the spill is added (base < 0) rather
    // than taken away, as an all-ones mask.
    uint16_t spillY, spillU, spillV;
    uint16_t addY, addU, addV;
};

DistanceRule distanceRule(const Pixel &key, uint8_t tolerance)
{
    DistanceRule r{};
    r.keyY = key.y;
    r.keyU = key.u;
    r.keyV = key.v;
    const int32_t m = 100 - int32_t(tolerance);
    r.m = uint16_t(m > 0 ? m : 0);
    r.dLimit = uint16_t(r.m ? (155 * 50 + r.m - 1) / r.m : 0);
    const int32_t bases[3] = {int32_t(key.y) - 16, int32_t(key.u) - 128, int32_t(key.v) - 128};
    uint16_t *spill[3] = {&r.spillY, &r.spillU, &r.spillV};
    uint16_t *add[3] = {&r.addY, &r.addU, &r.addV};
    for (int c = 0; c < 3; ++c) {
        *spill[c] = uint16_t(bases[c] < 0 ? -bases[c] : bases[c]);
        *add[c] = bases[c] < 0 ? 0xFFFF : 0;
    }
    return r;
}

// x / 50 for x < 8 192, x * 51 / 11 for x * 51 < 65 536 and x / 255 for
// x < 65 536, each as the high half of a 16 by 16-bit product and a shift.
inline uint16_t over50(uint16_t x) { return uint16_t((uint32_t(x) * 5243u) >> 16 >> 2); }
inline uint16_t over11(uint16_t x) { return uint16_t((uint32_t(x) * 5958u) >> 16); }
inline uint16_t over255(uint16_t x) { return uint16_t((uint32_t(x) * 32897u) >> 16 >> 7); }

inline uint16_t absDiff16(uint16_t a, uint16_t b) { return a > b ? uint16_t(a - b) : uint16_t(b - a); }

// c minus the spill (plus it where the base is negative), limited to 16..240.
inline uint8_t despill(uint16_t c, uint16_t spill, uint16_t add)
{
    const int16_t s = int16_t((spill ^ add) - add);   // spill, negated when added
    int16_t v = int16_t(int16_t(c) - s);
    v = v < 16 ? int16_t(16) : v > 240 ? int16_t(240) : v;
    return uint8_t(v);
}

// The key and the despilled colour of one pixel.
struct DistanceKey {
    uint16_t k;
    uint8_t y, u, v;
};

inline DistanceKey keyOfDistance(uint16_t y, uint16_t u, uint16_t v, const DistanceRule &rule)
{
    uint16_t d = uint16_t(absDiff16(y, rule.keyY) + 2 * (absDiff16(u, rule.keyU) + absDiff16(v, rule.keyV)));
    d = d < rule.dLimit ? d : rule.dLimit;
    const uint16_t q = over50(uint16_t(d * rule.m));
    const uint16_t a = q > 100 ? uint16_t(q - 100) : uint16_t(0);
    uint16_t k = over11(uint16_t(a * 51));
    k = k < 255 ? k : uint16_t(255);
    const uint16_t t = uint16_t(255 - k);
    return DistanceKey{k, despill(y, over255(uint16_t(rule.spillY * t)), rule.addY),
                       despill(u, over255(uint16_t(rule.spillU * t)), rule.addU),
                       despill(v, over255(uint16_t(rule.spillV * t)), rule.addV)};
}

OPS_VECTOR_KERNEL void keyByDistance(const Pixel *fg, Pixel *out, size_t count, DistanceRule rule)
{
    for (size_t i = 0; i < count; ++i) {
        const Pixel p = fg[i];
        const DistanceKey key = keyOfDistance(p.y, p.u, p.v, rule);
        const bool keyed = p.alpha != 0;
        Pixel o;
        o.alpha = uint8_t(keyed ? key.k : 0);
        o.y = keyed ? key.y : p.y;
        o.u = keyed ? key.u : p.u;
        o.v = keyed ? key.v : p.v;
        out[i] = o;
    }
}

// Mode 1 and then the plain composite outside the fades, in one loop, for
// renders where nothing changes the key between the two: inside the matte
// the despilled colour is laid over the background with the key as its
// weight (key 0 gives the background, 255 the despilled colour), outside it
// the foreground shows with key 0.
inline uint8_t mixOver255(uint16_t under, uint16_t over, uint16_t k)
{
    return uint8_t(over255(uint16_t(under * uint16_t(255 - k) + over * k)));
}

OPS_VECTOR_KERNEL void keyAndComposite(const Pixel *fg, const Pixel *bg, Pixel *out, size_t count,
                                       DistanceRule rule)
{
    for (size_t i = 0; i < count; ++i) {
        const Pixel p = fg[i], b = bg[i];
        const DistanceKey key = keyOfDistance(p.y, p.u, p.v, rule);
        const bool keyed = p.alpha != 0;
        Pixel o;
        o.alpha = uint8_t(keyed ? key.k : 0);
        o.y = keyed ? mixOver255(b.y, key.y, key.k) : p.y;
        o.u = keyed ? mixOver255(b.u, key.u, key.k) : p.u;
        o.v = keyed ? mixOver255(b.v, key.v, key.k) : p.v;
        out[i] = o;
    }
}

#if OPS_HAND_AVX2

// The same sweeps written for AVX2 by hand, sixteen pixels at a time (see
// PixelLanes.h): the compiler's own vectorisation of the loops above spends
// most of its work taking the pixels apart and putting them together
// again. Every step is the scalar step above, lane by lane.
namespace avx2 {

using namespace lanes;

__attribute__((target("avx2"))) inline V absDiff(V a, V b) { return _mm256_sub_epi16(_mm256_max_epu16(a, b), _mm256_min_epu16(a, b)); }

// c minus the spill of weight t (plus it where `add` is all ones), limited
// to 16..240.
__attribute__((target("avx2"))) inline V despill(V c, V t, uint16_t spill, uint16_t add)
{
    const V addMask = splat(uint16_t(add));
    V s = lanes::over255(_mm256_mullo_epi16(splat(uint16_t(spill)), t));
    s = _mm256_sub_epi16(_mm256_xor_si256(s, addMask), addMask);
    const V v = _mm256_sub_epi16(c, s);
    return _mm256_min_epi16(_mm256_max_epi16(v, _mm256_set1_epi16(16)), _mm256_set1_epi16(240));
}

// The key of sixteen pixels and its complement 255 - k.
struct Key16 {
    V k, t;
};

struct Rule16 {
    V keyY, keyU, keyV, m, dLimit;
};

__attribute__((target("avx2"))) inline Rule16 rule16(const DistanceRule &rule)
{
    return Rule16{splat(uint16_t(rule.keyY)), splat(uint16_t(rule.keyU)),
                  splat(uint16_t(rule.keyV)), splat(uint16_t(rule.m)),
                  splat(uint16_t(rule.dLimit))};
}

__attribute__((target("avx2"))) inline Key16 key16(const Channels &f, const Rule16 &r)
{
    const V all = _mm256_set1_epi16(255);
    V d = _mm256_add_epi16(absDiff(f.v, r.keyV), absDiff(f.u, r.keyU));
    d = _mm256_add_epi16(absDiff(f.y, r.keyY), _mm256_add_epi16(d, d));
    d = _mm256_min_epu16(d, r.dLimit);
    const V q = _mm256_srli_epi16(_mm256_mulhi_epu16(_mm256_mullo_epi16(d, r.m), _mm256_set1_epi16(5243)), 2);
    const V a = _mm256_subs_epu16(q, _mm256_set1_epi16(100));
    V k = _mm256_mulhi_epu16(_mm256_mullo_epi16(a, _mm256_set1_epi16(51)), _mm256_set1_epi16(5958));
    k = _mm256_min_epu16(k, all);
    return Key16{k, _mm256_sub_epi16(all, k)};
}

// The pixels outside the starting matte: alpha 0. With `wholeMatte` the
// matte of the whole picture is laid here first: every alpha byte of the
// sixteen foreground pixels becomes 255 (a block that has them all is not
// written) and none lies outside.
__attribute__((target("avx2"))) inline V outsideMatte(Pixel *fg, V alpha, bool wholeMatte)
{
    if (!wholeMatte) return _mm256_cmpeq_epi16(alpha, _mm256_setzero_si256());
    if (!_mm256_testc_si256(_mm256_cmpeq_epi16(alpha, splat(255)), _mm256_set1_epi16(-1))) {
        const V full = _mm256_set1_epi32(0xFF);
        V *p = reinterpret_cast<V *>(fg);
        _mm256_storeu_si256(p, _mm256_or_si256(_mm256_loadu_si256(p), full));
        _mm256_storeu_si256(p + 1, _mm256_or_si256(_mm256_loadu_si256(p + 1), full));
    }
    return _mm256_setzero_si256();
}

// Both sweeps take the rule by value: a copy that no store of a pixel can
// reach, so its broadcasts stay out of the loop.

// Mode 1 alone: key and despilled colour inside the matte, key 0 and the
// foreground's colour outside it.
__attribute__((target("avx2"))) size_t keyByDistance(Pixel *fg, Pixel *out, size_t count, DistanceRule rule,
                                                     bool wholeMatte)
{
    const Rule16 r = rule16(rule);
    size_t i = 0;
    for (; i + 16 <= count; i += 16) {
        const Channels f = load16(fg + i);
        const Key16 key = key16(f, r);
        const V outside = outsideMatte(fg + i, f.a, wholeMatte);
        Channels o;
        o.a = _mm256_andnot_si256(outside, key.k);
        o.y = _mm256_blendv_epi8(despill(f.y, key.t, rule.spillY, rule.addY), f.y, outside);
        o.u = _mm256_blendv_epi8(despill(f.u, key.t, rule.spillU, rule.addU), f.u, outside);
        o.v = _mm256_blendv_epi8(despill(f.v, key.t, rule.spillV, rule.addV), f.v, outside);
        store16(out + i, o);
    }
    return i;
}

__attribute__((target("avx2"))) size_t keyAndComposite(Pixel *fg, const Pixel *bg, Pixel *out, size_t count,
                                                       DistanceRule rule, bool wholeMatte)
{
    const Rule16 r = rule16(rule);
    size_t i = 0;
    for (; i + 16 <= count; i += 16) {
        const Channels f = load16(fg + i), b = load16(bg + i);
        const Key16 key = key16(f, r);
        const V k = key.k, t = key.t;
        const V outside = outsideMatte(fg + i, f.a, wholeMatte);
        Channels o;
        o.a = _mm256_andnot_si256(outside, k);
        o.y = _mm256_blendv_epi8(lanes::mix(b.y, despill(f.y, t, rule.spillY, rule.addY), k, t), f.y, outside);
        o.u = _mm256_blendv_epi8(lanes::mix(b.u, despill(f.u, t, rule.spillU, rule.addU), k, t), f.u, outside);
        o.v = _mm256_blendv_epi8(lanes::mix(b.v, despill(f.v, t, rule.spillV, rule.addV), k, t), f.v, outside);
        store16(out + i, o);
    }
    return i;
}

} // namespace avx2

#endif

// The sweeps: by hand in AVX2 where the processor has it, the rest (and
// everything elsewhere) by the compiler's loops.
// With `wholeMatte` both lay the starting matte of the whole picture (every
// foreground alpha byte 255) as they go.
void keyByDistanceSweep(Pixel *fg, Pixel *out, size_t count, const DistanceRule &rule, bool wholeMatte)
{
    size_t done = 0;
#if OPS_HAND_AVX2
    if (lanes::handWrittenSweeps()) done = avx2::keyByDistance(fg, out, count, rule, wholeMatte);
#endif
    if (done == count) return;
    if (wholeMatte)
        for (size_t i = done; i < count; ++i) fg[i].alpha = 255;
    keyByDistance(fg + done, out + done, count - done, rule);
}

void keyAndCompositeSweep(Pixel *fg, const Pixel *bg, Pixel *out, size_t count, const DistanceRule &rule,
                          bool wholeMatte)
{
    size_t done = 0;
#if OPS_HAND_AVX2
    if (lanes::handWrittenSweeps()) done = avx2::keyAndComposite(fg, bg, out, count, rule, wholeMatte);
#endif
    if (done == count) return;
    if (wholeMatte)
        for (size_t i = done; i < count; ++i) fg[i].alpha = 255;
    keyAndComposite(fg + done, bg + done, out + done, count - done, rule);
}

// Rows begin..end-1 of the rectangle key.
void keyRectangle(const Pixel *fg, Pixel *out, int32_t width, int32_t begin, int32_t end)
{
    const SettingsRect &area = settings.keyArea;
    uint32_t inside = settings.keyAreaInvert != 0 ? 0xFFu : 0u;
    uint32_t outside = inside ^ 0xFFu;
    int32_t x0 = std::clamp(int32_t(area.x), 0, width);
    int32_t x1 = std::clamp(int32_t(area.x) + area.width, x0, width);
    for (int32_t row = begin; row < end; ++row) {
        bool rowInside = area.y <= row && row < int32_t(area.y) + area.height;
        int32_t c0 = rowInside ? x0 : width;
        int32_t c1 = rowInside ? x1 : width;
        const Pixel *src = fg + size_t(row) * size_t(width);
        Pixel *dst = out + size_t(row) * size_t(width);
        for (int32_t col = 0; col < width; ++col) {
            uint32_t word = loadWord(src + col);
            uint32_t k = (col >= c0 && col < c1) ? inside : outside;
            storeWord(dst + col, (word & COLOR_BITS) | (k & matteMask(word)));
        }
    }
}

// Mode 3 works on four pixels at a time: its float steps are the same
// single-precision operations lane by lane, so each lane gives the very
// float the formula gives for that pixel.
typedef int32_t V4i __attribute__((vector_size(16)));
typedef uint32_t V4u __attribute__((vector_size(16)));
typedef float V4f __attribute__((vector_size(16)));

inline V4u loadBlock(const Pixel *p)
{
    V4u words;
    std::memcpy(&words, p, sizeof words);
    return words;
}

inline void storeBlock(Pixel *p, V4u words) { std::memcpy(p, &words, sizeof words); }

inline V4i select(V4i mask, V4i yes, V4i no) { return mask ? yes : no; }
inline V4f fmin(V4f a, V4f b) { return a < b ? a : b; }
inline V4f fmax(V4f a, V4f b) { return a > b ? a : b; }
inline V4f toFloat(V4i v) { return __builtin_convertvector(v, V4f); }
inline V4i truncate(V4f v) { return __builtin_convertvector(v, V4i); }   // toward zero
inline V4i byteAt(V4u words, int shift) { return (V4i)(words >> shift & 0xFFu); }
inline bool anyLane(V4i mask) { return (mask[0] | mask[1] | mask[2] | mask[3]) != 0; }

inline V4f clampByte(V4f v) { return fmin(fmax(v, V4f{} + 0.0f), V4f{} + 255.0f); }
// Limited to 0..255 and truncated toward zero, kept as a float: the same
// whole number as truncating first and limiting the integer after.
inline V4f wholeByte(V4f v) { return toFloat(truncate(clampByte(v))); }

// The picture's strongest backing: the first pixel in raster order with the
// largest dominance, and its R, G, B before the dominant channel is limited.
struct Backing {
    int32_t best = 0;
    int32_t r = 0, g = 0, b = 0;
};

// First sweep, four pixels: converts to RGB, measures how far channel DOM
// (0 red, 1 green, 2 blue) stands above the other two, tracks the strongest
// backing, limits the dominant channel and returns alpha = dominance clamped,
// byte 1 = B, byte 2 = G, byte 3 = R. Outside the matte: alpha 0, colour
// copied. The channel values are whole numbers held in floats, so their
// differences, minima and maxima are exact.
template <int DOM> V4u dominanceBlock(V4u words, int32_t threshold, Backing &backing)
{
    V4i keyed = byteAt(words, 0) != 0;
    V4f y = toFloat((V4i)(words >> 24));
    V4f u = toFloat(byteAt(words, 16) - 128);
    V4f v = toFloat(byteAt(words, 8) - 128);
    V4f rgb[3] = {wholeByte(y + 1.402f * v), wholeByte(y - 0.344136f * u - 0.714136f * v),
                  wholeByte(y + 1.772f * u)};
    V4f o1 = rgb[(DOM + 1) % 3], o2 = rgb[(DOM + 2) % 3];
    V4f a = rgb[DOM] - fmax(o1, o2);
    if (anyLane((a > float(backing.best)) & keyed)) {
        for (int lane = 0; lane < 4; ++lane)
            if (keyed[lane] && a[lane] > float(backing.best)) {
                backing.best = int32_t(a[lane]);
                backing.r = int32_t(rgb[0][lane]);
                backing.g = int32_t(rgb[1][lane]);
                backing.b = int32_t(rgb[2][lane]);
            }
    }
    rgb[DOM] = a >= float(threshold) ? fmin(rgb[DOM], fmin(o1, o2)) : rgb[DOM];
    V4u packed = (V4u)truncate(rgb[0]) << 24 | (V4u)truncate(rgb[1]) << 16 | (V4u)truncate(rgb[2]) << 8 |
                 (V4u)truncate(fmax(a, V4f{} + 0.0f));
    return (V4u)select(keyed, (V4i)packed, (V4i)(words & COLOR_BITS));
}

// What a provisional alpha removes from R, G, B, and its key k: one
// four-lane entry per alpha, so a pixel needs one load.
struct Removal {
    V4i byAlpha[256];   // lanes: R, G, B, k
};

void buildRemoval(Removal &removal, const Backing &backing, int32_t threshold)
{
    int32_t n = (100 - settings.dominanceLevel) * backing.best / 100;
    if (n == 0) n = 1;
    for (int32_t a = 0; a < 256; ++a) {
        if (a >= threshold)
            removal.byAlpha[a] = V4i{a * backing.r / n, a * backing.g / n, a * backing.b / n,
                                     clampTo(a * 255 / n, 0, 255)};
        else
            removal.byAlpha[a] = V4i{0, 0, 0, 0};
    }
}

// Second sweep, four pixels: removes the backing in proportion to the
// provisional alpha and converts back to YUV (no 16..240 clamp in this
// mode). Pixels outside the matte keep what the first sweep wrote.
V4u finishBlock(const Removal &removal, V4u foreground, V4u provisional)
{
    V4i e0 = removal.byAlpha[provisional[0] & 0xFFu], e1 = removal.byAlpha[provisional[1] & 0xFFu];
    V4i e2 = removal.byAlpha[provisional[2] & 0xFFu], e3 = removal.byAlpha[provisional[3] & 0xFFu];
    V4i t0 = __builtin_shufflevector(e0, e1, 0, 4, 1, 5), t1 = __builtin_shufflevector(e2, e3, 0, 4, 1, 5);
    V4i t2 = __builtin_shufflevector(e0, e1, 2, 6, 3, 7), t3 = __builtin_shufflevector(e2, e3, 2, 6, 3, 7);
    V4i removeR = __builtin_shufflevector(t0, t1, 0, 1, 4, 5), removeG = __builtin_shufflevector(t0, t1, 2, 3, 6, 7);
    V4i removeB = __builtin_shufflevector(t2, t3, 0, 1, 4, 5), key = __builtin_shufflevector(t2, t3, 2, 3, 6, 7);

    V4f r = clampByte(toFloat((V4i)(provisional >> 24) - removeR));
    V4f g = clampByte(toFloat(byteAt(provisional, 16) - removeG));
    V4f b = clampByte(toFloat(byteAt(provisional, 8) - removeB));
    V4i v2 = truncate(0.5f * r - 0.418688f * g - 0.081312f * b + 128.0f);
    V4i u2 = truncate(0.5f * b - 0.331264f * g - 0.168736f * r + 128.0f);
    V4i y2 = truncate(0.299f * r + 0.587f * g + 0.114f * b);
    V4u packed = ((V4u)y2 & 0xFFu) << 24 | ((V4u)u2 & 0xFFu) << 16 | ((V4u)v2 & 0xFFu) << 8 | (V4u)(255 - key);
    return (V4u)select(byteAt(foreground, 0) != 0, (V4i)packed, (V4i)provisional);
}

// Runs a four-pixel step over count pixels; the last partial block goes
// through a padded copy whose extra lanes lie outside the matte.
template <typename Step> void inBlocks(const Pixel *fg, Pixel *out, size_t count, Step step)
{
    size_t i = 0;
    for (; i + 4 <= count; i += 4) storeBlock(out + i, step(loadBlock(fg + i), loadBlock(out + i)));
    if (i == count) return;
    Pixel fgTail[4] = {}, outTail[4] = {};
    std::memcpy(fgTail, fg + i, (count - i) * sizeof(Pixel));
    std::memcpy(outTail, out + i, (count - i) * sizeof(Pixel));
    storeBlock(outTail, step(loadBlock(fgTail), loadBlock(outTail)));
    std::memcpy(out + i, outTail, (count - i) * sizeof(Pixel));
}

template <int DOM> Backing dominanceSweep(const Pixel *fg, Pixel *out, size_t count, int32_t threshold)
{
    Backing backing;
    inBlocks(fg, out, count, [&](V4u words, V4u) { return dominanceBlock<DOM>(words, threshold, backing); });
    return backing;
}

void keyByDominance(const Pixel *fg, Pixel *out, size_t count)
{
    int32_t threshold = settings.dominanceThreshold;
    Backing backing;
    switch (settings.dominantChannel) {
    case 0: backing = dominanceSweep<2>(fg, out, count, threshold); break;
    case 1: backing = dominanceSweep<1>(fg, out, count, threshold); break;
    default: backing = dominanceSweep<0>(fg, out, count, threshold); break;
    }
    Removal removal;   // 4 KB, for this picture's backing
    buildRemoval(removal, backing, threshold);
    inBlocks(fg, out, count, [&removal](V4u foreground, V4u provisional) {
        return finishBlock(removal, foreground, provisional);
    });
}

// Both pictures must hold the pictureWidth by pictureHeight pixels the
// passes walk; anything else is left alone rather than read out of bounds.
bool picturesFit(int32_t width, int32_t height)
{
    if (!foregroundPicture || !outputPicture || !foregroundPicture->pixels || !outputPicture->pixels)
        return false;
    if (width <= 0 || height <= 0) return false;
    int64_t need = int64_t(width) * height;
    auto holds = [need](const Picture *p) {
        return p->bufferWidth > 0 && p->bufferHeight > 0 && int64_t(p->bufferWidth) * p->bufferHeight >= need;
    };
    return holds(foregroundPicture) && holds(outputPicture);
}

} // namespace

// What the keyer worked out for one render: the rule of mode 1 or the
// tables of modes 0 and 4 to 11 (mode 3 keys the whole picture at once and
// has nothing to keep).
struct PreparedKeyer {
    uint8_t mode;
    DistanceRule distance;
    KeepTables keep;
};

void PreparedKeyerDelete::operator()(PreparedKeyer *keyer) const { delete keyer; }

PreparedKeyerPtr prepareKeyer()
{
    if (!picturesFit(pictureWidth, pictureHeight)) return nullptr;
    PreparedKeyerPtr keyer(new (std::nothrow) PreparedKeyer);
    if (!keyer) return nullptr;
    keyer->mode = settings.keyerType;
    switch (keyer->mode) {
    case KEY_COLOR_DISTANCE:
        keyer->distance = distanceRule(settings.keyColor, settings.colorTolerance);
        break;
    case KEY_RECTANGLE:
    case KEY_DOMINANCE:
        break;
    default:
        buildKeepTables(keyer->keep, keyer->mode);
        break;
    }
    return keyer;
}

bool keyerWorksByRows() { return settings.keyerType != KEY_DOMINANCE; }

bool keyerIsColorDistance() { return settings.keyerType == KEY_COLOR_DISTANCE; }

void keyAndCompositeRows(const PreparedKeyer &keyer, int32_t begin, int32_t end, bool wholeMatte)
{
    if (keyer.mode != KEY_COLOR_DISTANCE || !backgroundPicture) return;
    begin = std::max(begin, 0);
    end = std::min(end, pictureHeight);
    if (begin >= end) return;
    const size_t first = size_t(begin) * size_t(pictureWidth);
    keyAndCompositeSweep(foregroundPicture->pixels + first, backgroundPicture->pixels + first,
                         outputPicture->pixels + first, size_t(end - begin) * size_t(pictureWidth), keyer.distance,
                         wholeMatte);
}

void keyRows(const PreparedKeyer &keyer, int32_t begin, int32_t end, bool wholeMatte)
{
    if (keyer.mode == KEY_DOMINANCE) return;
    begin = std::max(begin, 0);
    end = std::min(end, pictureHeight);
    if (begin >= end) return;
    if (wholeMatte && keyer.mode != KEY_COLOR_DISTANCE) {
        startingMatteRows(begin, end);
        wholeMatte = false;
    }
    const size_t first = size_t(begin) * size_t(pictureWidth);
    const size_t count = size_t(end - begin) * size_t(pictureWidth);
    Pixel *fg = foregroundPicture->pixels + first;
    Pixel *out = outputPicture->pixels + first;

    switch (keyer.mode) {
    case KEY_COLOR_DISTANCE:
        keyByDistanceSweep(fg, out, count, keyer.distance, wholeMatte);
        break;
    case KEY_RECTANGLE:
        keyRectangle(foregroundPicture->pixels, outputPicture->pixels, pictureWidth, begin, end);
        break;
    default:
        keyByTables(keyer.keep, fg, out, count);
        break;
    }
}

// ---------------------------------------------------------------- pass

void runKeyer()
{
    const PreparedKeyerPtr keyer = prepareKeyer();
    if (!keyer) return;
    if (keyer->mode == KEY_DOMINANCE) {
        keyByDominance(foregroundPicture->pixels, outputPicture->pixels,
                       size_t(pictureWidth) * size_t(pictureHeight));
        return;
    }
    keyRows(*keyer, 0, pictureHeight, false);
}

} // namespace zenvarth
