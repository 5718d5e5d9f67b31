// Colours as Kdenlive's colour pickers write them. A service's colour
// property NAME takes ophost's forms (0xYYUUVVAA, #RRGGBB, ...); beside it,
// NAME.rgba takes 0xRRGGBBAA (or #RRGGBB), what the pickers write, and is
// what the Kdenlive descriptions offer. A NAME.rgba that names the
// property's default leaves NAME as it stands (its default, a preset's or a
// value set beside it), so a picker left alone changes nothing, exactly.
#pragma once

#include <cstdint>
#include <string>

#include "op_host.h"

namespace opsmlt {

inline constexpr const char RGBA_SUFFIX[] = ".rgba";

// The property a NAME.rgba name stands for ("keyColor" for
// "keyColor.rgba"); empty when `name` has no such suffix.
std::string rgbaBase(const std::string &name);

// One colour: 0xRRGGBBAA or #RRGGBB (alpha 255). False with `why`.
bool parseRgba(const std::string &text, uint32_t &rgba, std::string &why);

// A whole property value: one colour, or MLT keyframes ("0=0xFF0000FF;50=...")
// whose every value is one. Empty or the fault.
std::string checkRgbaValue(const std::string &text);

// The default of a colour property as 0xRRGGBBAA.
uint32_t rgbaDefault(const PropertyInfo &info);

// The assignment NAME.rgba=`rgba` makes ("keyColor=#RRGGBBAA"), or empty
// when `rgba` is the default's and NAME is left as it stands.
std::string rgbaAssignment(const PropertyInfo &info, uint32_t rgba);

} // namespace opsmlt
