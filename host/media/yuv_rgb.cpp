#include "media/yuv_rgb.h"

namespace media {

static uint8_t clampByte(int v) { return uint8_t(v < 0 ? 0 : v > 255 ? 255 : v); }

void pixelToRgb(Pixel p, uint8_t &r, uint8_t &g, uint8_t &b)
{
    int c = int(p.y) - 16, d = int(p.u) - 128, e = int(p.v) - 128;
    r = clampByte((298 * c + 409 * e + 128) >> 8);
    g = clampByte((298 * c - 100 * d - 208 * e + 128) >> 8);
    b = clampByte((298 * c + 516 * d + 128) >> 8);
}

Pixel rgbToPixel(uint8_t r, uint8_t g, uint8_t b, uint8_t alpha)
{
    int R = r, G = g, B = b;
    int y = ((66 * R + 129 * G + 25 * B + 128) >> 8) + 16;
    int u = ((-38 * R - 74 * G + 112 * B + 128) >> 8) + 128;
    int v = ((112 * R - 94 * G - 18 * B + 128) >> 8) + 128;
    return Pixel{alpha, clampByte(v), clampByte(u), clampByte(y)};
}

void frameFromRgba(const RgbaImage &image, VideoFrame &frame)
{
    frame.width = image.width;
    frame.height = image.height;
    frame.pixels.resize(size_t(image.width) * size_t(image.height));
    const uint8_t *s = image.rgba.data();
    for (Pixel &p : frame.pixels) {
        p = rgbToPixel(s[0], s[1], s[2], s[3]);
        s += 4;
    }
}

void frameToRgba(const VideoFrame &frame, RgbaImage &image)
{
    image.width = frame.width;
    image.height = frame.height;
    image.rgba.resize(frame.pixels.size() * 4);
    uint8_t *d = image.rgba.data();
    for (const Pixel &p : frame.pixels) {
        pixelToRgb(p, d[0], d[1], d[2]);
        d[3] = p.alpha;
        d += 4;
    }
}

} // namespace media
