// The one size limit every picture reader applies, before it allocates
// anything for the picture: a hostile header must not cost gigabytes.
#pragma once

#include <cstdint>
#include <string>

namespace media {

constexpr int MAX_PICTURE_SIDE = 16384;
constexpr int64_t MAX_PICTURE_PIXELS = int64_t(8192) * 8192;

// Empty when a picture of width x height may be read, else the fault
// ("picture size 0x5 is empty", "picture size 32768x32768 is too large ...").
std::string checkPictureSize(int64_t width, int64_t height);
inline bool pictureSizeAllowed(int64_t width, int64_t height)
{
    return width > 0 && height > 0 && width <= MAX_PICTURE_SIDE && height <= MAX_PICTURE_SIDE &&
           width * height <= MAX_PICTURE_PIXELS;
}

} // namespace media
