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
#include <array>
#include <cstdlib>

#include "BoxBlur.h"
#include "Pattern.h"
#include "ZenvarthRender.h"

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

void plainComposite(const Planes &p, const ByteTable &fade)
{
    for (size_t i = 0; i < p.count; ++i) {
        Pixel &out = p.out[i];
        if (p.fg[i].alpha == 0) {
            takeColour(out, p.fg[i]);
            continue;
        }
        uint32_t k = out.alpha == 0 ? 0 : fade[out.alpha];
        if (k == 255) continue;
        if (k == 0) takeColour(out, p.bg[i]);
        else overKeyed(out, p.bg[i], k);
    }
}

// Glow: the key blurred and doubled, in glowColor, under the foreground.
void glowComposite(const Planes &p, const ByteTable &fade, Pixel glow)
{
    ByteTable strength;
    for (uint32_t b = 0; b < 256; ++b) {
        uint32_t doubled = 2 * b > 255 ? 255 : 2 * b;
        strength[b] = fade[glow.alpha * doubled / 255];
    }
    for (size_t i = 0; i < p.count; ++i) {
        Pixel &out = p.out[i];
        if (p.fg[i].alpha == 0) {
            takeColour(out, p.fg[i]);
            continue;
        }
        Pixel under = out;
        mixInto(under, p.bg[i], glow, strength[p.bg[i].alpha]);
        if (out.alpha == 0) takeColour(out, under);
        else overKeyed(out, under, fade[out.alpha]);
    }
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

void shadowComposite(const Planes &p, const ByteTable &fade, Pixel shadow, int32_t width,
                     int32_t height, int32_t dx, int32_t dy)
{
    ByteTable strength;
    for (uint32_t b = 0; b < 256; ++b) strength[b] = fade[b * shadow.alpha / 255];
    // Columns whose sample lies inside the picture: x + dx in [0, width).
    const int32_t firstColumn = dx < 0 ? -dx : 0;
    const int32_t endColumn = dx > 0 ? width - dx : width;

    for (int32_t y = 0; y < height; ++y) {
        const size_t row = size_t(y) * size_t(width);
        const int32_t sy = y + dy;
        const bool rowInside = sy >= 0 && sy < height;
        const Pixel *sampleRow = rowInside ? p.bg + size_t(sy) * size_t(width) : nullptr;
        for (int32_t x = 0; x < width; ++x) {
            const size_t i = row + size_t(x);
            Pixel &out = p.out[i];
            const Pixel &fg = p.fg[i];
            const Pixel &bg = p.bg[i];
            uint32_t b = 0;
            if (rowInside && x >= firstColumn && x < endColumn) b = sampleRow[x + dx].alpha;
            const bool valid = b != 0;
            const uint32_t s = strength[b];
            const uint32_t key = out.alpha;

            if (fg.alpha == 0) {
                if (valid) mixInto(out, key > 0 ? bg : fg, shadow, s);
                else takeColour(out, fg);
                continue;
            }
            Pixel under = bg;
            if (valid) mixInto(under, bg, shadow, s);
            if (key == 0) takeColour(out, under);
            else overKeyed(out, under, fade[key]);
        }
    }
}

// Tint: inside the keying area the background's colour shows, its luma
// scaled by tintBrightness where the key is.
void tintComposite(const Planes &p, const ByteTable &fade)
{
    ByteTable tinted;
    for (uint32_t y = 0; y < 256; ++y) {
        uint32_t t = y * settings.tintBrightness / 100;
        tinted[y] = uint8_t(t > 255 ? 255 : t);
    }
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
void wipeComposite(const Planes &p, const uint8_t *pattern, bool fadeIn, int64_t threshold,
                   Pixel edge)
{
    ByteTable takesPart;
    ByteTable edgeWeight;   // t per pattern byte; 0 off the edge band
    const int64_t width = settings.wipeEdgeWidth;
    for (int64_t level = 0; level < 256; ++level) {
        takesPart[size_t(level)] = fadeIn ? level < threshold : level >= threshold;
        int64_t n = level > threshold ? level - threshold : threshold - level;
        edgeWeight[size_t(level)] = width == 0 || n > width ? 0 : uint8_t((width - n) * 255 / width);
    }
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

} // namespace

void runCompositor()
{
    if (!foregroundPicture || !backgroundPicture || !outputPicture) return;
    if (pictureWidth <= 0 || pictureHeight <= 0) return;
    const bool preview = isPreviewRender();
    const Planes planes{foregroundPicture->pixels, backgroundPicture->pixels, outputPicture->pixels,
                        size_t(pictureWidth) * size_t(pictureHeight)};
    const Fades fades = currentFades();
    const ByteTable fade = fadeTable(fades);

    switch (settings.effectType) {
    case 1: {
        int32_t size = preview ? settings.glowSize / 3 : settings.glowSize;
        if (size == 0 || !boxBlurKey(4 * size)) break;
        glowComposite(planes, fade, settings.glowColor);
        return;
    }
    case 2: {
        int32_t softness = preview ? settings.shadowSoftness / 3 : settings.shadowSoftness;
        if (softness > 0) {
            if (!boxBlurKey(4 * softness)) break;
        } else {
            for (size_t i = 0; i < planes.count; ++i)
                backgroundPicture->pixels[i].alpha = planes.out[i].alpha;
        }
        int32_t dx, dy;
        shadowOffset(preview, dx, dy);
        shadowComposite(planes, fade, settings.shadowColor, pictureWidth, pictureHeight, dx, dy);
        return;
    }
    case 3:
        tintComposite(planes, fade);
        return;
    case 4: {
        // A pattern scaled for pictures of another size is loaded again.
        if (patternBuffer && !patternFitsPictures()) loadPattern();
        if (!patternFitsPictures()) break;
        if (fades.inFadeIn()) {
            wipeComposite(planes, patternBuffer, true, int64_t(fades.pos * 255 / fades.in),
                          settings.wipeEdgeColor);
            return;
        }
        if (fades.inFadeOut()) {
            uint32_t q = 255 - (fades.count - fades.pos - 1) * 255 / fades.out;
            wipeComposite(planes, patternBuffer, false, int64_t(q), settings.wipeEdgeColor);
            return;
        }
        break;
    }
    default:
        break;
    }
    plainComposite(planes, fade);
}

} // namespace zenvarth
