// Frames <-> fields. A frame of H lines is two fields of H/2 lines: the top
// field holds the even lines, the bottom field the odd ones. Field 2k of a
// section is frame k's first field in time: the top one unless the source is
// bottom field first. Progressive frames are split and woven the same way.
#pragma once

#include "hostrt/session.h"
#include "media/video.h"

namespace ophost {

// Which frame lines a field holds: 0 the even lines, 1 the odd ones.
inline int fieldParity(int fieldIndex, bool bottomFirst) { return (fieldIndex & 1) ^ (bottomFirst ? 1 : 0); }

// Field `parity` of `frame` (height must be even) into `field`.
void splitField(const media::VideoFrame &frame, int parity, hostrt::FieldImage &field);
// Writes `field` (width x height/2 pixels) into the lines of `frame` of the
// given parity.
void weaveField(const hostrt::FieldImage &field, int parity, media::VideoFrame &frame);
// The same from a buffer of rows `bufferWidth` pixels apart.
void weaveField(const Pixel *pixels, int bufferWidth, int parity, media::VideoFrame &frame);

// Nearest-neighbour preview scaling: destination (x, y) reads source
// (x*den/num, y*den/num). The result is width*num/den x height*num/den.
void scaleField(const hostrt::FieldImage &source, int num, int den, hostrt::FieldImage &out);
inline int scaledSize(int size, int num, int den) { return int(int64_t(size) * num / den); }

} // namespace ophost
