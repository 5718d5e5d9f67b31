#include "ophost/fields.h"

#include <cstring>

#include "ophost/run.h"

namespace ophost {

void splitFrame(const media::VideoFrame &frame, FieldPair &pair)
{
    const size_t n = size_t(frame.width) * size_t(frame.height / 2);
    for (std::vector<Pixel> &field : pair.field)
        if (field.size() != n) field.resize(n);
    media::copyRows(media::frameRows(frame), media::fieldRows(pair.field[0].data(), pair.field[1].data(), frame.width),
                    frame.width, frame.height / 2 * 2);
}

bool Clip::fields(int index, FieldPair &out, media::VideoFrame &scratch, std::string &error)
{
    if (!frame(index, scratch, error)) return false;
    splitFrame(scratch, out);
    return true;
}

bool FrameSink::writeRows(const media::ConstFrameRows &rows, int width, int height, media::VideoFrame &scratch,
                          std::string &error)
{
    scratch.width = width;
    scratch.height = height;
    scratch.pixels.resize(size_t(width) * size_t(height));
    media::copyRows(rows, media::frameRows(scratch), width, height);
    return write(scratch, error);
}

void splitField(const media::VideoFrame &frame, int parity, hostrt::FieldImage &field)
{
    const int w = frame.width, h = frame.height / 2;
    field.bufferWidth = field.width = int16_t(w);
    field.bufferHeight = field.height = int16_t(h);
    field.x = field.y = 0;
    // Appending rows (no zero fill first): the runtime hands a fresh field.
    field.pixels.clear();
    field.pixels.reserve(size_t(w) * size_t(h));
    for (int row = 0; row < h; ++row) {
        const Pixel *src = &frame.pixels[size_t(2 * row + parity) * w];
        field.pixels.insert(field.pixels.end(), src, src + w);
    }
}

void weaveField(const hostrt::FieldImage &field, int parity, media::VideoFrame &frame)
{
    weaveField(field.pixels.data(), field.bufferWidth, parity, frame);
}

void weaveField(const Pixel *pixels, int bufferWidth, int parity, media::VideoFrame &frame)
{
    const int w = frame.width, h = frame.height / 2;
    for (int row = 0; row < h; ++row)
        std::memcpy(&frame.pixels[size_t(2 * row + parity) * w], &pixels[size_t(row) * bufferWidth],
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
