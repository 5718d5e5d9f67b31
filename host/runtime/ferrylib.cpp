// ferrylib: picture transfer. txGetOpImage turns a file name into a picture
// of one byte per pixel: the grey value of a grey picture, the luma of a
// colour one (full range, 0 to 255). PNG and binary PGM files are read; the
// format is told by the file's first bytes, not its name.
#include <cstdio>
#include <cstring>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "contract/host_calls.h"
#include "media/png_io.h"
#include "state.h"

using namespace hostrt::detail;

namespace {

struct GreyImage {
    int width = 0;
    int height = 0;
    std::vector<uint8_t> bytes;
};

// Luma of an RGB colour with the usual weights, rounded; a grey colour keeps
// its value.
inline uint8_t luma(uint32_t r, uint32_t g, uint32_t b)
{
    return uint8_t((299 * r + 587 * g + 114 * b + 500) / 1000);
}

bool readFile(const std::string &path, std::vector<uint8_t> &data, std::string &error)
{
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        error = "cannot open the file";
        return false;
    }
    data.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    if (in.bad()) {
        error = "cannot read the file";
        return false;
    }
    return true;
}

// Binary PGM ("P5"): header words separated by blanks, '#' comments up to
// the end of the line, one blank after the maximum value, then the samples
// (one byte each up to a maximum of 255, two bytes big-endian above).
bool readPgm(const std::vector<uint8_t> &data, GreyImage &image, std::string &error)
{
    size_t at = 2;
    auto skipBlanks = [&] {
        while (at < data.size()) {
            if (data[at] == '#') {
                while (at < data.size() && data[at] != '\n') ++at;
            } else if (std::strchr(" \t\r\n\v\f", data[at]) && data[at] != 0) {
                ++at;
            } else {
                break;
            }
        }
    };
    auto number = [&](long &value) {
        skipBlanks();
        value = 0;
        size_t start = at;
        while (at < data.size() && data[at] >= '0' && data[at] <= '9' && at - start < 9)
            value = value * 10 + (data[at++] - '0');
        return at > start && (at >= data.size() || !(data[at] >= '0' && data[at] <= '9'));
    };
    long width = 0, height = 0, maximum = 0;
    if (!number(width) || !number(height) || !number(maximum)) {
        error = "bad PGM header";
        return false;
    }
    if (width < 1 || height < 1 || width > 0x7FFF || height > 0x7FFF) {
        error = "PGM size " + std::to_string(width) + "x" + std::to_string(height) +
                " is not between 1x1 and 32767x32767";
        return false;
    }
    if (maximum < 1 || maximum > 65535) {
        error = "PGM maximum value " + std::to_string(maximum) + " is not between 1 and 65535";
        return false;
    }
    if (at >= data.size()) {
        error = "PGM file ends after its header";
        return false;
    }
    ++at;   // the one blank before the samples
    const size_t bytesPerSample = maximum > 255 ? 2 : 1;
    const size_t count = size_t(width) * size_t(height);
    if (data.size() - at < count * bytesPerSample) {
        error = "PGM file is shorter than its " + std::to_string(width) + "x" +
                std::to_string(height) + " samples";
        return false;
    }
    image.width = int(width);
    image.height = int(height);
    image.bytes.resize(count);
    for (size_t i = 0; i < count; ++i) {
        uint32_t v = data[at + i * bytesPerSample];
        if (bytesPerSample == 2) v = v << 8 | data[at + i * 2 + 1];
        if (v > uint32_t(maximum)) v = uint32_t(maximum);
        image.bytes[i] = uint8_t((v * 255 + uint32_t(maximum) / 2) / uint32_t(maximum));
    }
    return true;
}

bool readPngGrey(const std::vector<uint8_t> &data, GreyImage &image, std::string &error)
{
    media::RgbaImage rgba;
    if (!media::readPngMemory(data.data(), data.size(), rgba, error)) return false;
    if (rgba.width < 1 || rgba.height < 1 || rgba.width > 0x7FFF || rgba.height > 0x7FFF) {
        error = "PNG size " + std::to_string(rgba.width) + "x" + std::to_string(rgba.height) +
                " is not between 1x1 and 32767x32767";
        return false;
    }
    image.width = rgba.width;
    image.height = rgba.height;
    size_t count = size_t(rgba.width) * size_t(rgba.height);
    image.bytes.resize(count);
    for (size_t i = 0; i < count; ++i) {
        const uint8_t *p = &rgba.rgba[i * 4];
        image.bytes[i] = luma(p[0], p[1], p[2]);
    }
    return true;
}

bool loadGrey(const std::string &path, GreyImage &image, std::string &error)
{
    std::vector<uint8_t> data;
    if (!readFile(path, data, error)) return false;
    static const uint8_t pngSignature[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
    if (data.size() >= 8 && std::memcmp(data.data(), pngSignature, 8) == 0)
        return readPngGrey(data, image, error);
    if (data.size() >= 2 && data[0] == 'P' && data[1] == '5') return readPgm(data, image, error);
    error = "not a PNG or binary PGM picture";
    return false;
}

} // namespace

extern "C" Picture *txGetOpImage(const char *name, int32_t, int32_t)
{
    if (!name || !*name) {
        std::fprintf(stderr, "ferrylib: no pattern picture named\n");
        return nullptr;
    }
    GreyImage image;
    std::string error;
    if (!loadGrey(name, image, error)) {
        std::fprintf(stderr, "ferrylib: %s: %s\n", name, error.c_str());
        return nullptr;
    }
    // A host picture whose buffer holds one byte per pixel.
    auto owned = std::make_unique<OwnedPicture>();
    owned->buffer.resize((image.bytes.size() + sizeof(Pixel) - 1) / sizeof(Pixel));
    std::memcpy(owned->buffer.data(), image.bytes.data(), image.bytes.size());
    Picture &record = owned->record;
    record.pixels = owned->buffer.data();
    record.bufferWidth = record.width = int16_t(image.width);
    record.bufferHeight = record.height = int16_t(image.height);
    record.x = record.y = 0;
    Picture *picture = &owned->record;
    state().held.emplace(picture, std::move(owned));
    return picture;
}
