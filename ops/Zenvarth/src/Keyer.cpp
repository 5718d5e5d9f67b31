// The chroma keyer, second pass of every render and preview. Reads the
// foreground, whose alpha bytes hold the starting matte, and writes every
// output pixel: the key (255 keeps the foreground, 0 lets the background
// through) and the foreground colour, or a corrected colour in the
// colour-distance and primary-dominance modes. A pixel outside the starting
// matte gets key 0 and the foreground colour in every mode.
//
// Everything that does not depend on the pixel is worked out once per
// render into small tables, so the pixel loops are table lookups and integer
// steps; the float steps of the dominance key read per-byte products that are
// the same floats the formulas give.
#include <algorithm>
#include <bit>
#include <cstring>

#include "KeyerTables.h"
#include "ZenvarthRender.h"

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
inline uint32_t vOf(uint32_t word) { return word >> 8 & 0xFFu; }
inline uint32_t uOf(uint32_t word) { return word >> 16 & 0xFFu; }
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

// Mode 1: the distance is a sum of per-byte terms, the key a function of
// the distance, and the spill a function of the key.
constexpr int32_t MAX_DISTANCE = 255 + 2 * (255 + 255);

struct DistanceTables {
    uint16_t distY[256], distU[256], distV[256];
    uint8_t keyOfDistance[MAX_DISTANCE + 1];
    int16_t spillY[256], spillU[256], spillV[256];   // by key K
};

// Mode 3, second sweep: what each provisional alpha removes, and its key.
struct DominanceTables {
    int32_t removeR[256], removeG[256], removeB[256];
    uint8_t key[256];
};

KeepTables keep;
DistanceTables distance;
DominanceTables dominance;

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

void keepHueFar(int32_t tolerance)
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
void buildKeepTables(uint8_t mode)
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
        keepHueFar(s.hueTolerance * 255 / 100);
        break;
    case KEY_HUE_LUMA: {
        keepHueFar(s.hueLumaHueTolerance * 255 / 100);
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
    default:   // matte pass-through
        std::memset(keep.keepLuma, 0xFF, sizeof keep.keepLuma);
        break;
    }
}

void buildDistanceTables()
{
    const ZenvarthSettings &s = settings;
    const Pixel &key = s.keyColor;
    for (int32_t b = 0; b < 256; ++b) {
        distance.distY[b] = uint16_t(absDiff(b, key.y));
        distance.distU[b] = uint16_t(2 * absDiff(b, key.u));
        distance.distV[b] = uint16_t(2 * absDiff(b, key.v));
    }
    int32_t scale = (100 - s.colorTolerance) * 30;
    for (int32_t d = 0; d <= MAX_DISTANCE; ++d) {
        int32_t a = d * scale / 1500 - 100;
        distance.keyOfDistance[d] = uint8_t(clampTo(a * 255 / 55, 0, 255));
    }
    for (int32_t k = 0; k < 256; ++k) {
        int32_t t = 255 - k;
        distance.spillY[k] = int16_t((key.y - 16) * t / 255);
        distance.spillU[k] = int16_t((key.u - 128) * t / 255);
        distance.spillV[k] = int16_t((key.v - 128) * t / 255);
    }
}

// ---------------------------------------------------------------- pixel loops

void keyByTables(const Pixel *fg, Pixel *out, size_t count)
{
    for (size_t i = 0; i < count; ++i) {
        uint32_t word = loadWord(fg + i);
        uint32_t k = (keep.keepChroma[chromaOf(word)] | keep.keepLuma[yOf(word)]) & matteMask(word);
        storeWord(out + i, (word & COLOR_BITS) | k);
    }
}

void keyByDistance(const Pixel *fg, Pixel *out, size_t count)
{
    for (size_t i = 0; i < count; ++i) {
        uint32_t word = loadWord(fg + i);
        if (matteOf(word) == 0) {
            storeWord(out + i, word & COLOR_BITS);
            continue;
        }
        uint32_t y = yOf(word), u = uOf(word), v = vOf(word);
        uint32_t k = distance.keyOfDistance[distance.distY[y] + distance.distU[u] + distance.distV[v]];
        uint32_t y2 = uint32_t(clampTo(int32_t(y) - distance.spillY[k], 16, 240));
        uint32_t u2 = uint32_t(clampTo(int32_t(u) - distance.spillU[k], 16, 240));
        uint32_t v2 = uint32_t(clampTo(int32_t(v) - distance.spillV[k], 16, 240));
        storeWord(out + i, y2 << 24 | u2 << 16 | v2 << 8 | k);
    }
}

void keyRectangle(const Pixel *fg, Pixel *out, int32_t width, int32_t height)
{
    const SettingsRect &area = settings.keyArea;
    uint32_t inside = settings.keyAreaInvert != 0 ? 0xFFu : 0u;
    uint32_t outside = inside ^ 0xFFu;
    int32_t x0 = std::clamp(int32_t(area.x), 0, width);
    int32_t x1 = std::clamp(int32_t(area.x) + area.width, x0, width);
    for (int32_t row = 0; row < height; ++row) {
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

// Mode 3, first sweep: converts to RGB, measures how far channel DOM (0 red,
// 1 green, 2 blue) stands above the other two, tracks the strongest backing
// and stores alpha = dominance, byte 1 = B, byte 2 = G, byte 3 = R.
struct Backing {
    int32_t best = 0;
    int32_t r = 0, g = 0, b = 0;
};

template <int DOM> Backing dominanceSweep(const Pixel *fg, Pixel *out, size_t count, int32_t threshold)
{
    const RgbProducts &p = rgbProducts();
    Backing backing;
    for (size_t i = 0; i < count; ++i) {
        uint32_t word = loadWord(fg + i);
        if (matteOf(word) == 0) {
            storeWord(out + i, word & COLOR_BITS);
            continue;
        }
        float y = float(yOf(word));
        uint32_t u = uOf(word), v = vOf(word);
        int32_t rgb[3] = {clampTo(int32_t(y + p.rFromV[v]), 0, 255),
                          clampTo(int32_t(y - p.gFromU[u] - p.gFromV[v]), 0, 255),
                          clampTo(int32_t(y + p.bFromU[u]), 0, 255)};
        int32_t o1 = rgb[(DOM + 1) % 3], o2 = rgb[(DOM + 2) % 3];
        int32_t a = rgb[DOM] - std::max(o1, o2);
        if (a > backing.best) {
            backing.best = a;
            backing.r = rgb[0];
            backing.g = rgb[1];
            backing.b = rgb[2];
        }
        if (a >= threshold) rgb[DOM] = std::min({rgb[DOM], o1, o2});
        uint32_t provisional = uint32_t(std::max(a, 0));
        storeWord(out + i, uint32_t(rgb[0]) << 24 | uint32_t(rgb[1]) << 16 | uint32_t(rgb[2]) << 8 |
                               provisional);
    }
    return backing;
}

void buildDominanceTables(const Backing &backing, int32_t threshold)
{
    int32_t n = (100 - settings.dominanceLevel) * backing.best / 100;
    if (n == 0) n = 1;
    for (int32_t a = 0; a < 256; ++a) {
        bool removes = a >= threshold;
        dominance.removeR[a] = removes ? a * backing.r / n : 0;
        dominance.removeG[a] = removes ? a * backing.g / n : 0;
        dominance.removeB[a] = removes ? a * backing.b / n : 0;
        dominance.key[a] = uint8_t(removes ? clampTo(a * 255 / n, 0, 255) : 0);
    }
}

// Mode 3, second sweep: removes the backing in proportion to the provisional
// alpha and converts back to YUV (no 16..240 clamp in this mode).
void dominanceFinish(const Pixel *fg, Pixel *out, size_t count)
{
    const YuvProducts &p = yuvProducts();
    for (size_t i = 0; i < count; ++i) {
        if (matteOf(loadWord(fg + i)) == 0) continue;   // alpha 0 and colour copied already
        uint32_t word = loadWord(out + i);
        uint32_t a = matteOf(word);
        int32_t r = clampTo(int32_t(yOf(word)) - dominance.removeR[a], 0, 255);
        int32_t g = clampTo(int32_t(uOf(word)) - dominance.removeG[a], 0, 255);
        int32_t b = clampTo(int32_t(vOf(word)) - dominance.removeB[a], 0, 255);
        uint32_t k = 255u - dominance.key[a];
        uint32_t v2 = uint8_t(int32_t(p.half[r] - p.vFromG[g] - p.vFromB[b] + 128.0f));
        uint32_t u2 = uint8_t(int32_t(p.half[b] - p.uFromG[g] - p.uFromR[r] + 128.0f));
        uint32_t y2 = uint8_t(int32_t(p.yFromR[r] + p.yFromG[g] + p.yFromB[b]));
        storeWord(out + i, y2 << 24 | u2 << 16 | v2 << 8 | k);
    }
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
    buildDominanceTables(backing, threshold);
    dominanceFinish(fg, out, count);
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

// ---------------------------------------------------------------- pass

void runKeyer()
{
    int32_t width = pictureWidth, height = pictureHeight;
    if (!picturesFit(width, height)) return;
    const Pixel *fg = foregroundPicture->pixels;
    Pixel *out = outputPicture->pixels;
    size_t count = size_t(width) * size_t(height);

    switch (settings.keyerType) {
    case KEY_COLOR_DISTANCE:
        buildDistanceTables();
        keyByDistance(fg, out, count);
        break;
    case KEY_RECTANGLE:
        keyRectangle(fg, out, width, height);
        break;
    case KEY_DOMINANCE:
        keyByDominance(fg, out, count);
        break;
    default:
        buildKeepTables(settings.keyerType);
        keyByTables(fg, out, count);
        break;
    }
}

} // namespace zenvarth
