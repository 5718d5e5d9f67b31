// The PNG reader on arbitrary bytes.
#include "media/png_io.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    media::RgbaImage image;
    std::string error;
    if (media::readPngMemory(data, size, image, error)) {
        if (image.rgba.size() != size_t(image.width) * size_t(image.height) * 4) __builtin_trap();
    }
    return 0;
}
