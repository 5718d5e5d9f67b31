// The YUV4MPEG2 reader on arbitrary streams, read in order and by number.
#include <cstdio>

#include "media/y4m.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size == 0) return 0;
    FILE *file = fmemopen(const_cast<uint8_t *>(data), size, "rb");
    if (!file) return 0;
    media::Y4mReader reader;
    std::string error;
    if (reader.open(file, "fuzz.y4m", error)) {
        media::VideoFrame frame;
        for (int i = 0; i < 8 && reader.next(frame, error); ++i) {
            if (frame.pixels.size() != size_t(frame.width) * size_t(frame.height)) __builtin_trap();
        }
        std::string countError;
        int count = reader.frameCount(countError);
        if (count > 0) reader.read(count - 1, frame, error);
        reader.read(0, frame, error);
    }
    std::fclose(file);
    return 0;
}
