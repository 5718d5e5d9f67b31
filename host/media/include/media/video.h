// Video frames as the host program handles them: every pixel in the
// operators' own layout (key, V, U, Y), full chroma resolution.
#pragma once

#include <cstdint>
#include <cstring>
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

// Where a frame's rows are: row y at rows[y & 1] + (y >> 1) * stride. A
// whole frame keeps its rows in one buffer (rows {p, p + width}, stride
// 2 * width); a frame kept as its two fields has one buffer per field
// (rows {top, bottom}, stride width), so that reading a file can fill the
// fields an operator gets, and writing one can take the fields it handed
// back, without a frame in between.
template <class P>
struct RowsOf {
    P *rows[2];
    size_t stride;
    P *row(int y) const { return rows[y & 1] + size_t(y >> 1) * stride; }
};
using FrameRows = RowsOf<Pixel>;
using ConstFrameRows = RowsOf<const Pixel>;

inline FrameRows frameRows(VideoFrame &frame)
{
    Pixel *p = frame.pixels.data();
    return FrameRows{{p, p + frame.width}, 2 * size_t(frame.width)};
}
inline ConstFrameRows frameRows(const VideoFrame &frame)
{
    const Pixel *p = frame.pixels.data();
    return ConstFrameRows{{p, p + frame.width}, 2 * size_t(frame.width)};
}
inline FrameRows fieldRows(Pixel *top, Pixel *bottom, int width) { return FrameRows{{top, bottom}, size_t(width)}; }
inline ConstFrameRows fieldRows(const Pixel *top, const Pixel *bottom, int width)
{
    return ConstFrameRows{{top, bottom}, size_t(width)};
}

// Copies `height` rows of `width` pixels from one layout to another (a frame
// into its two fields, or two fields into a frame).
inline void copyRows(const ConstFrameRows &from, const FrameRows &to, int width, int height)
{
    for (int y = 0; y < height; ++y) std::memcpy(to.row(y), from.row(y), size_t(width) * sizeof(Pixel));
}

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
