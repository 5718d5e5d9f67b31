// Writing YUV4MPEG2 files for the host program's tests.
#pragma once

#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "media/y4m.h"

inline void writeY4m(const std::string &file, int w, int h, media::Chroma chroma, media::Interlace order,
                     const std::vector<media::VideoFrame> &frames)
{
    media::Y4mHeader header;
    header.width = w;
    header.height = h;
    header.chroma = chroma;
    header.interlace = order;
    FILE *f = std::fopen(file.c_str(), "wb");
    ASSERT_NE(f, nullptr);
    media::Y4mWriter writer;
    std::string error;
    ASSERT_TRUE(writer.open(f, file, header, error)) << error;
    for (const auto &frame : frames) ASSERT_TRUE(writer.write(frame, error)) << error;
    std::fclose(f);
}
