#include "media/png_io.h"

#include <png.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>

#include "media/limits.h"
#include "media/output_file.h"

namespace media {

namespace {


struct MemoryReader {
    const uint8_t *data;
    size_t size;
    size_t pos;
};

void readFromMemory(png_structp png, png_bytep out, png_size_t count)
{
    auto *m = static_cast<MemoryReader *>(png_get_io_ptr(png));
    if (count > m->size - m->pos) png_error(png, "truncated data");
    std::memcpy(out, m->data + m->pos, count);
    m->pos += count;
}

void warningHandler(png_structp, png_const_charp) {}

void errorHandler(png_structp png, png_const_charp message)
{
    auto *error = static_cast<std::string *>(png_get_error_ptr(png));
    if (error) *error = message;
    png_longjmp(png, 1);
}

// Decodes from an already set-up reader. Setting up the I/O differs for
// files and memory; everything after is shared.
// `rows` belongs to the caller: a longjmp out of here must not skip a
// destructor that frees memory.
bool decode(png_structp png, png_infop info, RgbaImage &image, std::vector<png_bytep> &rows)
{
    png_read_info(png, info);
    png_uint_32 w = png_get_image_width(png, info);
    png_uint_32 h = png_get_image_height(png, info);
    // Before anything is allocated for the pixels.
    // (No string may be alive across the jump.)
    if (!pictureSizeAllowed(w, h)) {
        if (auto *error = static_cast<std::string *>(png_get_error_ptr(png))) *error = checkPictureSize(w, h);
        png_longjmp(png, 1);
    }
    png_set_expand(png);
    png_set_strip_16(png);
    png_set_gray_to_rgb(png);
    png_set_add_alpha(png, 0xFF, PNG_FILLER_AFTER);
    png_set_interlace_handling(png);
    png_read_update_info(png, info);
    if (png_get_rowbytes(png, info) != size_t(w) * 4) png_error(png, "unexpected row layout");
    image.width = int(w);
    image.height = int(h);
    image.rgba.assign(size_t(w) * h * 4, 0);
    rows.assign(h, nullptr);
    for (png_uint_32 r = 0; r < h; ++r) rows[r] = image.rgba.data() + size_t(r) * w * 4;
    png_read_image(png, rows.data());
    png_read_end(png, nullptr);
    return true;
}

} // namespace

bool readPng(const std::string &path, RgbaImage &image, std::string &error)
{
    FILE *file = std::fopen(path.c_str(), "rb");
    if (!file) {
        error = path + ": cannot open: " + std::strerror(errno);
        return false;
    }
    std::vector<uint8_t> bytes;
    uint8_t buf[65536];
    size_t n;
    while ((n = std::fread(buf, 1, sizeof buf, file)) > 0) bytes.insert(bytes.end(), buf, buf + n);
    bool readError = std::ferror(file);
    std::fclose(file);
    if (readError) {
        error = path + ": cannot read: " + std::strerror(errno);
        return false;
    }
    std::string why;
    if (!readPngMemory(bytes.data(), bytes.size(), image, why)) {
        error = path + ": " + why;
        return false;
    }
    return true;
}

bool readPngMemory(const uint8_t *data, size_t size, RgbaImage &image, std::string &error)
{
    if (size < 8 || png_sig_cmp(data, 0, 8) != 0) {
        error = "not a PNG file";
        return false;
    }
    std::string message;
    png_structp png = png_create_read_struct(PNG_LIBPNG_VER_STRING, &message, errorHandler,
                                             warningHandler);
    if (!png) {
        error = "out of memory";
        return false;
    }
    png_infop info = png_create_info_struct(png);
    MemoryReader reader{data, size, 0};
    std::vector<png_bytep> rows;
    volatile bool ok = false;
    if (info && setjmp(png_jmpbuf(png)) == 0) {
        png_set_read_fn(png, &reader, readFromMemory);
        // The size is checked after the header, with a message of our own.
        png_set_user_limits(png, 0x7FFFFFFF, 0x7FFFFFFF);
        ok = decode(png, info, image, rows);
    }
    png_destroy_read_struct(&png, info ? &info : nullptr, nullptr);
    if (!ok) {
        image = RgbaImage{};
        if (message.compare(0, 13, "picture size ") == 0) error = message;
        else error = "damaged PNG: " + (message.empty() ? std::string("unknown fault") : message);
    }
    return ok;
}

bool writePng(const std::string &path, const RgbaImage &image, bool withAlpha, std::string &error)
{
    if (image.width <= 0 || image.height <= 0 ||
        image.rgba.size() != size_t(image.width) * image.height * 4) {
        error = path + ": nothing to write";
        return false;
    }
    OutputFile out;
    if (!out.open(path, error)) return false;
    std::string fault;
    if (!writePngStream(out.file(), image, withAlpha, fault)) {
        error = path + ": cannot write PNG" + (fault.empty() ? "" : ": " + fault);
        return false;   // out removes the temporary
    }
    return out.commit(error);
}

bool writePngStream(FILE *file, const RgbaImage &image, bool withAlpha, std::string &error)
{
    if (image.width <= 0 || image.height <= 0 ||
        image.rgba.size() != size_t(image.width) * image.height * 4) {
        error = "nothing to write";
        return false;
    }
    std::string message;
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, &message, errorHandler,
                                              warningHandler);
    png_infop info = png ? png_create_info_struct(png) : nullptr;
    volatile bool ok = false;
    std::vector<uint8_t> rgb;
    if (png && info && setjmp(png_jmpbuf(png)) == 0) {
        png_init_io(png, file);
        png_set_IHDR(png, info, png_uint_32(image.width), png_uint_32(image.height), 8,
                     withAlpha ? PNG_COLOR_TYPE_RGBA : PNG_COLOR_TYPE_RGB, PNG_INTERLACE_NONE,
                     PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
        png_write_info(png, info);
        if (withAlpha) {
            for (int r = 0; r < image.height; ++r)
                png_write_row(png, image.rgba.data() + size_t(r) * image.width * 4);
        } else {
            rgb.resize(size_t(image.width) * 3);
            for (int r = 0; r < image.height; ++r) {
                const uint8_t *src = image.rgba.data() + size_t(r) * image.width * 4;
                for (int c = 0; c < image.width; ++c)
                    std::memcpy(&rgb[size_t(c) * 3], src + size_t(c) * 4, 3);
                png_write_row(png, rgb.data());
            }
        }
        png_write_end(png, nullptr);
        ok = true;
    }
    if (png) png_destroy_write_struct(&png, info ? &info : nullptr);
    if (ok && (std::fflush(file) != 0 || std::ferror(file))) {
        message = std::strerror(errno ? errno : EIO);
        ok = false;
    }
    if (!ok) error = message.empty() ? std::string("out of memory") : message;
    return ok;
}

} // namespace media
