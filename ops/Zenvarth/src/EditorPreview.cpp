// The live preview: the render passes on the editor's pictures, then the
// output drawn on the GUI overlay, reduced inside the preview frame and/or
// full size on monitor 2 or around the panels.
#include <cmath>
#include <cstdlib>
#include <cstring>
#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "EditorState.h"

namespace zenvarth {

namespace {

bool hasSize(const Picture *picture, int32_t width, int32_t height)
{
    return picture && picture->pixels && picture->bufferWidth == width && picture->bufferHeight == height;
}

// The passes walk pictureWidth x pictureHeight pixels of every picture and
// the drawing reads videoWidth x videoHeight of the output: run them only
// when every picture has that one size.
bool picturesReady()
{
    if (videoWidth <= 0 || videoHeight <= 0) return false;
    if (pictureWidth != videoWidth || pictureHeight != videoHeight) return false;
    return hasSize(foregroundPicture, videoWidth, videoHeight) &&
           hasSize(backgroundPicture, videoWidth, videoHeight) && hasSize(outputPicture, videoWidth, videoHeight);
}

// Round half away from zero, kept as a 16-bit value.
uint16_t roundTo16(double v) { return uint16_t(int64_t(v < 0 ? v - 0.5 : v + 0.5)); }

Pixel *allocatePixels(int32_t width, int32_t height)
{
    if (width <= 0 || height <= 0) return nullptr;
    return static_cast<Pixel *>(std::malloc(size_t(width) * size_t(height) * sizeof(Pixel)));
}

} // namespace

// Bilinear scaling in single-precision float, as the rule states it: the
// source position steps by adding float increments, four neighbours are read
// with the last row and column repeated, and each byte is interpolated
// across, then down, and truncated. The column positions are the same on
// every row, so they are worked out once; the four bytes of a pixel are
// interpolated side by side (the same float operations in the same order,
// so the bytes are those of the plain formula).
void scalePreview(int32_t sourceWidth, int32_t sourceHeight, Pixel *destination, int32_t destinationWidth,
                  int32_t destinationHeight)
{
    if (destinationWidth <= 0 || destinationHeight <= 0 || sourceWidth <= 0 || sourceHeight <= 0) return;
    if (!outputPicture || !outputPicture->pixels || !destination) return;
    struct Column {
        uint32_t left, right;   // byte offsets of the two source columns
        float fraction;
    };
    auto *columns = static_cast<Column *>(std::malloc(size_t(destinationWidth) * sizeof(Column)));
    if (!columns) return;
    const uint8_t *source = reinterpret_cast<const uint8_t *>(outputPicture->pixels);
    const float stepX = float(sourceWidth) / float(destinationWidth);
    const float stepY = float(sourceHeight) / float(destinationHeight);
    const int32_t lastX = sourceWidth - 1;
    const int32_t lastY = sourceHeight - 1;
    auto clampTo = [](int32_t v, int32_t last) { return v < 0 ? 0 : v > last ? last : v; };
    float x = 0.0f;
    for (int32_t i = 0; i < destinationWidth; ++i) {
        const int32_t xi = int32_t(x);
        columns[i] = {uint32_t(clampTo(xi, lastX)) * 4, uint32_t(clampTo(xi + 1, lastX)) * 4, x - float(xi)};
        x += stepX;
    }
    uint8_t *to = reinterpret_cast<uint8_t *>(destination);
    float y = 0.0f;
    for (int32_t j = 0; j < destinationHeight; ++j) {
        const int32_t yi = int32_t(y);
        const float fy = y - float(yi);
        const uint8_t *row0 = source + size_t(clampTo(yi, lastY)) * size_t(sourceWidth) * 4;
        const uint8_t *row1 = source + size_t(clampTo(yi + 1, lastY)) * size_t(sourceWidth) * 4;
#if defined(__SSE2__)
        const __m128 vy = _mm_set1_ps(fy);
        const __m128i zero = _mm_setzero_si128();
        auto bytes = [&](const uint8_t *p) {
            int32_t word;
            std::memcpy(&word, p, 4);
            return _mm_cvtepi32_ps(_mm_unpacklo_epi16(_mm_unpacklo_epi8(_mm_cvtsi32_si128(word), zero), zero));
        };
        for (int32_t i = 0; i < destinationWidth; ++i) {
            const Column &c = columns[i];
            const __m128 vx = _mm_set1_ps(c.fraction);
            const __m128 p00 = bytes(row0 + c.left), p01 = bytes(row0 + c.right);
            const __m128 p10 = bytes(row1 + c.left), p11 = bytes(row1 + c.right);
            const __m128 top = _mm_add_ps(_mm_mul_ps(_mm_sub_ps(p01, p00), vx), p00);
            const __m128 bottom = _mm_add_ps(_mm_mul_ps(_mm_sub_ps(p11, p10), vx), p10);
            const __m128i v = _mm_cvttps_epi32(_mm_add_ps(_mm_mul_ps(_mm_sub_ps(bottom, top), vy), top));
            const __m128i packed = _mm_packus_epi16(_mm_packs_epi32(v, zero), zero);
            const int32_t word = _mm_cvtsi128_si32(packed);
            std::memcpy(to, &word, 4);
            to += 4;
        }
#else
        for (int32_t i = 0; i < destinationWidth; ++i) {
            const Column &c = columns[i];
            for (int k = 0; k < 4; ++k) {
                const float p00 = row0[c.left + k], p01 = row0[c.right + k];
                const float p10 = row1[c.left + k], p11 = row1[c.right + k];
                const float top = (p01 - p00) * c.fraction + p00;
                const float bottom = (p11 - p10) * c.fraction + p10;
                *to++ = uint8_t(int32_t((bottom - top) * fy + top));
            }
        }
#endif
        y += stepY;
    }
    std::free(columns);
}

void showFullPreview(int32_t toMonitor)
{
    tgSetPointerAttrs(2, 0, 0, 0);
    const uint16_t monitorAspect = gxGetPixelAspect(0, 2);
    const int32_t sw2 = monitorWidth;
    const int32_t sh2 = monitorHeight;
    int32_t w = uint16_t(videoWidth);
    int32_t n = 0;
    bool drawable = monitorAspect != 0 && w > 0 && sw2 > 0 && sh2 > 0;
    if (drawable) {
        n = roundTo16(double(uint16_t(pixelAspect)) / double(monitorAspect) * double(uint16_t(2 * videoHeight)));
        drawable = n > 0;
    }
    if (drawable) {
        const double m = std::fmin(double(sw2) / double(w), double(sh2) / double(n));
        if (m != 1.0) {
            w = roundTo16(double(w) * m);
            n = roundTo16(double(n) * m);
        }
        drawable = w > 0 && n > 0;
    }
    Pixel *screen = drawable ? allocatePixels(sw2, sh2) : nullptr;
    Pixel *picture = screen ? allocatePixels(w, n) : nullptr;
    if (screen && picture) {
        std::memset(screen, 0, size_t(sw2) * size_t(sh2) * sizeof(Pixel));
        scalePreview(videoWidth, videoHeight, picture, w, n);
        // Centred; a picture larger than the monitor in one direction (the
        // rounding can give one pixel more) is cut on both sides.
        const int32_t left = (sw2 - w) / 2;
        const int32_t top = (sh2 - n) / 2;
        for (int32_t i = 0; i < n; ++i) {
            const int32_t row = top + i;
            if (row < 0 || row >= sh2) continue;
            for (int32_t j = 0; j < w; ++j) {
                const int32_t col = left + j;
                if (col < 0 || col >= sw2) continue;
                screen[size_t(row) * size_t(sw2) + size_t(col)] = picture[size_t(i) * size_t(w) + size_t(j)];
            }
        }
        const int32_t stride = sw2 * 4;
        if (toMonitor == 1) {
            tgmxYUVAtoOvlMonitor(screen, 0, stride, 0, 0, uint16_t(sw2), uint16_t(sh2), 2);
        } else {
            const int32_t bx = backdropRect.x, by = backdropRect.y;
            const int32_t bw = backdropRect.width, bh = backdropRect.height;
            auto band = [&](int32_t x, int32_t y, int32_t width, int32_t height) {
                // A backdrop reaching past the monitor leaves bands that
                // would read outside the buffer: keep them inside it.
                if (x < 0) {
                    width += x;
                    x = 0;
                }
                if (y < 0) {
                    height += y;
                    y = 0;
                }
                if (width > sw2 - x) width = sw2 - x;
                if (height > sh2 - y) height = sh2 - y;
                if (width <= 0 || height <= 0) return;
                tgmxYUVAtoOvl(screen + size_t(y) * size_t(sw2) + size_t(x), 0, stride, int16_t(x), int16_t(y),
                              uint16_t(width), uint16_t(height));
            };
            band(0, 0, sw2, by);
            band(0, by + bh, sw2, sh2 - by - bh);
            band(0, by, bx, bh);
            band(bx + bw, by, sw2 - bx - bw, bh);
        }
    }
    std::free(picture);
    std::free(screen);
    tgSetPointerAttrs(1, 0, 0, 0);
}

void showPreview()
{
    if (!embeddedLayout) {
        showFullPreview(0);
        return;
    }
    Pixel *buffer = allocatePixels(previewWidth, previewHeight);
    if (buffer) {
        scalePreview(videoWidth, videoHeight, buffer, previewWidth, previewHeight);
        tgSetPointerAttrs(2, 0, 0, 0);
        tgmxYUVAtoOvl(buffer, 0, previewWidth * 4, int16_t(previewFrame.x + 4), int16_t(previewFrame.y + 4),
                      uint16_t(previewWidth), uint16_t(previewHeight));
        std::free(buffer);
        tgSetPointerAttrs(1, 0, 0, 0);
    }
    if (!dualMonitor) showFullPreview(1);
}

void renderPreview()
{
    if (picturesReady()) {
        runPasses();
        showPreview();
    }
    if (busyShown) {
        tgStandardPointer();
        busyShown = false;
    }
}

} // namespace zenvarth
