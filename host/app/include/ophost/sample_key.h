// The key colour taken from the footage: the clipped mean of a rectangle of
// the first field, or the backing found by itself in the field's border.
#pragma once

#include <cstdint>
#include <string>

#include "hostrt/session.h"
#include "ophost/run.h"

namespace ophost {

struct KeySampleArea {
    bool automatic = false;
    int32_t x = 0, y = 0, width = 0, height = 0;   // pixels; y and height in field lines
};

// "auto" or "x,y,w,h". False on anything else.
bool parseKeySampleArea(const std::string &text, KeySampleArea &area);

// The mean Y, U, V of the rectangle clipped to the field, each truncated;
// `keep` when nothing of it lies inside. The alpha byte is `keep`'s.
Pixel meanAreaColor(const hostrt::FieldImage &field, int32_t x, int32_t y, int32_t width, int32_t height, Pixel keep);

// The backing colour of a shot: the most frequent chroma among the pixels
// of a band along the field's border (BACKING_BAND_PERCENT of each side),
// refined by the mean Y, U, V of the band's pixels near that chroma. False
// when the field is empty. `dominant` (when given) tells whether that colour
// looks like a backing: strongly coloured and filling much of the band.
constexpr int BACKING_BAND_PERCENT = 5;
bool findBackingColor(const hostrt::FieldImage &field, Pixel &color, bool *dominant = nullptr);

// Refuses a rectangle that lies wholly off a field of width x fieldHeight.
std::string checkKeySampleArea(const KeySampleArea &area, int width, int fieldHeight);

// Reads the first field of the section starting at `firstFrame` of `clip`
// and takes the key colour from it by `area` (a rectangle wholly off the
// field is refused). `warning` gets a line when `auto` finds no colour that
// looks like a backing and takes the commonest one anyway. Returns an empty
// string or the fault.
std::string sampleKeyColor(Clip &clip, int firstFrame, const KeySampleArea &area, Pixel &color,
                           std::string *warning = nullptr);

} // namespace ophost
