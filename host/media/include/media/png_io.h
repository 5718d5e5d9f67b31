// PNG files in and out, as 8-bit RGBA rows.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

namespace media {

struct RgbaImage {
    int width = 0;
    int height = 0;
    std::vector<uint8_t> rgba;   // width * height * 4, rows top to bottom
};

// Reads any PNG (grey, palette, RGB, with or without alpha, 8 or 16 bit) as
// RGBA. On failure returns false and `error` names the file and the fault.
bool readPng(const std::string &path, RgbaImage &image, std::string &error);
bool readPngMemory(const uint8_t *data, size_t size, RgbaImage &image, std::string &error);

// Writes RGBA (withAlpha) or RGB by temporary file and rename (see
// output_file.h; "-" is standard output). Returns false with `error`, naming
// the file, on failure; the target is then as it was.
bool writePng(const std::string &path, const RgbaImage &image, bool withAlpha, std::string &error);
// The same into an open stream; `error` is the bare fault.
bool writePngStream(FILE *file, const RgbaImage &image, bool withAlpha, std::string &error);

} // namespace media
