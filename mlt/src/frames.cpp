#include "frames.h"

#include <vector>

#include "media/y4m.h"

namespace opsmlt {

namespace {

media::Y4mHeader header422(int width, int height)
{
    media::Y4mHeader h;
    h.width = width;
    h.height = height;
    h.chroma = media::Chroma::C422;
    h.interlace = media::Interlace::Progressive;
    return h;
}

thread_local std::vector<uint8_t> planes;

} // namespace

void fieldsFromYuyv(const uint8_t *image, int width, int height, Fields &out)
{
    const media::Y4mHeader h = header422(width, height);
    const size_t pixels = size_t(width) * size_t(height);
    planes.resize(media::y4mFrameBytes(h));
    uint8_t *y = planes.data(), *u = y + pixels, *v = u + pixels / 2;
    for (size_t i = 0; i < pixels / 2; ++i) {
        y[2 * i] = image[4 * i];
        u[i] = image[4 * i + 1];
        y[2 * i + 1] = image[4 * i + 2];
        v[i] = image[4 * i + 3];
    }
    for (std::vector<Pixel> &f : out.field) f.resize(pixels / 2);
    media::decodeY4mRows(h, planes.data(), media::fieldRows(out.field[0].data(), out.field[1].data(), width), false);
}

void fieldsToYuyv(const Fields &in, int width, int height, uint8_t *image)
{
    const media::Y4mHeader h = header422(width, height);
    const size_t pixels = size_t(width) * size_t(height);
    planes.resize(media::y4mFrameBytes(h));
    media::encodeY4mRows(h, media::fieldRows(in.field[0].data(), in.field[1].data(), width), planes.data(), false);
    const uint8_t *y = planes.data(), *u = y + pixels, *v = u + pixels / 2;
    for (size_t i = 0; i < pixels / 2; ++i) {
        image[4 * i] = y[2 * i];
        image[4 * i + 1] = u[i];
        image[4 * i + 2] = y[2 * i + 1];
        image[4 * i + 3] = v[i];
    }
}

void keyFromFields(const Fields &in, int width, int height, uint8_t *alpha)
{
    for (int row = 0; row < height; ++row) {
        const Pixel *src = in.field[row & 1].data() + size_t(row / 2) * size_t(width);
        for (int x = 0; x < width; ++x) alpha[size_t(row) * size_t(width) + size_t(x)] = src[x].alpha;
    }
}

} // namespace opsmlt
