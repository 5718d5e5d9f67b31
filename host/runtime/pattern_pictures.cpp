// Pattern pictures, answering ferrylib's picture transfer: txGetOpImage
// turns a file name into a picture of one byte per pixel: the grey value of a grey picture, the luma of a
// colour one (full range, 0 to 255). PNG and binary PGM files are read; the
// format is told by the file's first bytes, not its name.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <map>
#include <string>
#include <vector>

#include "contract/host_calls.h"
#include "media/limits.h"
#include "media/png_io.h"
#include "parts.h"

using namespace hostrt::detail;

namespace {

struct FileStamp {
    long long size = -1;
    long long modifiedNs = -1;
    bool operator==(const FileStamp &o) const { return size == o.size && modifiedNs == o.modifiedNs; }
};

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

// A picture file is at most this large (a PNG of the largest picture
// allowed, stored without compression, fits well within it).
constexpr off_t MAX_PICTURE_FILE = off_t(512) << 20;

bool readFile(const std::string &path, std::vector<uint8_t> &data, std::string &error)
{
    int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        error = std::string("cannot open the file: ") + std::strerror(errno);
        return false;
    }
    struct stat st;
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        error = S_ISDIR(st.st_mode) ? "is a folder, not a picture file" : "is not a regular file";
        ::close(fd);
        return false;
    }
    if (st.st_size > MAX_PICTURE_FILE) {
        error = "file of " + std::to_string(st.st_size) + " bytes is too large for a picture";
        ::close(fd);
        return false;
    }
    data.resize(size_t(st.st_size));
    size_t got = 0;
    while (got < data.size()) {
        ssize_t n = ::read(fd, data.data() + got, data.size() - got);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) break;
        got += size_t(n);
    }
    ::close(fd);
    if (got != data.size()) {
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
    // Before anything is allocated for the samples.
    if (std::string fault = media::checkPictureSize(width, height); !fault.empty()) {
        error = "PGM " + fault;
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

FileStamp stampOf(const std::string &path)
{
    FileStamp stamp;
    struct stat st;
    if (::stat(path.c_str(), &st) == 0) {
        stamp.size = st.st_size;
        stamp.modifiedNs = (long long)st.st_mtim.tv_sec * 1000000000LL + st.st_mtim.tv_nsec;
    }
    return stamp;
}

} // namespace

namespace hostrt::detail {

// Pattern files that failed to load, with the size and time they had then:
// a run asks for its pattern on every field, and a file that failed once
// is neither read nor reported again until it changes.
struct PatternFiles {
    std::map<std::string, FileStamp> failed;
};

} // namespace hostrt::detail

// No exception may leave a host call: the operator expects an answer.
extern "C" Picture *txGetOpImage(const char *name, int32_t, int32_t) try {
    if (!name || !*name) {
        std::fprintf(stderr, "ferrylib: no pattern picture named\n");
        return nullptr;
    }
    const std::string path = name;
    const FileStamp stamp = stampOf(path);
    std::map<std::string, FileStamp> &failedFiles = parts().patternFiles.get().failed;
    auto failed = failedFiles.find(path);
    if (failed != failedFiles.end() && failed->second == stamp) return nullptr;
    GreyImage image;
    std::string error;
    if (!loadGrey(path, image, error)) {
        std::fprintf(stderr, "ferrylib: %s: %s\n", name, error.c_str());
        failedFiles[path] = stamp;
        return nullptr;
    }
    failedFiles.erase(path);
    // A host picture whose buffer holds one byte per pixel.
    std::vector<Pixel> buffer((image.bytes.size() + sizeof(Pixel) - 1) / sizeof(Pixel));
    std::memcpy(buffer.data(), image.bytes.data(), image.bytes.size());
    return holdBuffer(std::move(buffer), int16_t(image.width), int16_t(image.height));
} catch (...) {
    std::fprintf(stderr, "ferrylib: %s: out of memory\n", name ? name : "");
    return nullptr;
}
