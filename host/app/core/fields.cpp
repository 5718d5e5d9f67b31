#include "ophost/fields.h"

#include <cstring>

namespace ophost {

void splitField(const media::VideoFrame &frame, int parity, hostrt::FieldImage &field)
{
    const int w = frame.width, h = frame.height / 2;
    field.bufferWidth = field.width = int16_t(w);
    field.bufferHeight = field.height = int16_t(h);
    field.x = field.y = 0;
    field.pixels.resize(size_t(w) * size_t(h));
    for (int row = 0; row < h; ++row)
        std::memcpy(&field.pixels[size_t(row) * w], &frame.pixels[size_t(2 * row + parity) * w], size_t(w) * sizeof(Pixel));
}

void weaveField(const hostrt::FieldImage &field, int parity, media::VideoFrame &frame)
{
    const int w = frame.width, h = frame.height / 2;
    for (int row = 0; row < h; ++row)
        std::memcpy(&frame.pixels[size_t(2 * row + parity) * w], &field.pixels[size_t(row) * field.bufferWidth],
                    size_t(w) * sizeof(Pixel));
}

void scaleField(const hostrt::FieldImage &source, int num, int den, hostrt::FieldImage &out)
{
    const int w = scaledSize(source.bufferWidth, num, den);
    const int h = scaledSize(source.bufferHeight, num, den);
    out.bufferWidth = out.width = int16_t(w);
    out.bufferHeight = out.height = int16_t(h);
    out.x = out.y = 0;
    out.pixels.resize(size_t(w) * size_t(h));
    for (int y = 0; y < h; ++y) {
        const int sy = int(int64_t(y) * den / num);
        for (int x = 0; x < w; ++x) {
            const int sx = int(int64_t(x) * den / num);
            out.pixels[size_t(y) * w + x] = source.pixels[size_t(sy) * source.bufferWidth + sx];
        }
    }
}

} // namespace ophost
