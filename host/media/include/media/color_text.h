// Colours as people write them: `#RRGGBB`, `#RRGGBBAA` and `rgb(R,G,B)`,
// turned into the operators' Y'CbCr pixels by the same BT.601 limited-range
// rule as PNG pictures (media/yuv_rgb.h), and back for display.
#pragma once

#include <string>

#include "contract/contract.h"

namespace media {

// True when `text` is written as an RGB colour (starts with '#' or "rgb("),
// whether or not it is well formed; such text is never a Y'CbCr colour.
bool looksLikeRgbColor(const std::string &text);

// Parses `#RRGGBB` (alpha 255), `#RRGGBBAA` or `rgb(R,G,B)` (each 0..255,
// alpha 255; spaces after the commas allowed; "rgb" in any case). Returns
// an empty string and sets `pixel`, or says what is wrong.
std::string parseRgbColor(const std::string &text, Pixel &pixel);

// `#RRGGBB` of a pixel (converted as PNG pictures are written), with the
// alpha as a fourth byte when it is not 255.
std::string formatRgbColor(Pixel pixel);

} // namespace media
