// Video frames as the host program handles them: every pixel in the
// operators' own layout (key, V, U, Y), full chroma resolution.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "contract/contract.h"

namespace media {

struct VideoFrame {
    int width = 0;
    int height = 0;
    std::vector<Pixel> pixels;   // width * height, rows top to bottom

    void resize(int w, int h, Pixel fill = Pixel{255, 128, 128, 16})
    {
        width = w;
        height = h;
        pixels.assign(size_t(w) * size_t(h), fill);
    }
    Pixel &at(int x, int y) { return pixels[size_t(y) * size_t(width) + size_t(x)]; }
    const Pixel &at(int x, int y) const { return pixels[size_t(y) * size_t(width) + size_t(x)]; }
};

// Chroma layouts of a YUV4MPEG2 stream. C444alpha carries the key byte as a
// fourth plane; the others leave every key at 255 on reading.
enum class Chroma { C444alpha, C444, C422, C420 };

// Field order of a stream. Progressive frames are split into two fields
// like top-field-first ones.
enum class Interlace { Progressive, TopFirst, BottomFirst, Mixed };

const char *chromaName(Chroma chroma);   // "444alpha", "444", "422", "420"
// Parses "444alpha", "444", "422", "420"; false when unknown.
bool parseChromaName(const std::string &text, Chroma &chroma);

} // namespace media
