#include "media/limits.h"

namespace media {

std::string checkPictureSize(int64_t width, int64_t height)
{
    const std::string size = std::to_string(width) + "x" + std::to_string(height);
    if (width <= 0 || height <= 0) return "picture size " + size + " is empty";
    if (!pictureSizeAllowed(width, height))
        return "picture size " + size + " is too large (at most " + std::to_string(MAX_PICTURE_SIDE) +
               " on a side and " + std::to_string(MAX_PICTURE_PIXELS) + " pixels)";
    return {};
}

} // namespace media
