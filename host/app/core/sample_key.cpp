#include "ophost/sample_key.h"

#include <algorithm>
#include <cstdlib>
#include <vector>

#include "contract/helpers.h"
#include "ophost/params.h"

namespace ophost {

bool parseKeySampleArea(const std::string &text, KeySampleArea &area)
{
    if (text == "auto") {
        area = KeySampleArea{};
        area.automatic = true;
        return true;
    }
    int32_t v[4];
    size_t start = 0;
    for (int i = 0; i < 4; ++i) {
        size_t stop = i == 3 ? text.size() : text.find(',', start);
        if (stop == std::string::npos || !parseInt32(text.substr(start, stop - start), v[i])) return false;
        if (v[i] < INT16_MIN || v[i] > INT16_MAX) return false;
        start = stop + 1;
    }
    if (v[2] <= 0 || v[3] <= 0) return false;
    area = KeySampleArea{false, v[0], v[1], v[2], v[3]};
    return true;
}

static Picture pictureOf(const hostrt::FieldImage &field)
{
    return Picture{const_cast<Pixel *>(field.pixels.data()), field.bufferWidth, field.bufferHeight, 0, 0,
                   field.bufferWidth, field.bufferHeight};
}

Pixel meanAreaColor(const hostrt::FieldImage &field, int32_t x, int32_t y, int32_t width, int32_t height, Pixel keep)
{
    const Picture picture = pictureOf(field);
    if (clipToBuffer(x, y, width, height, picture).empty()) return keep;
    CachedAverage average{};
    takeAverage(average, picture, PlacedRect{x, y, width, height});
    return Pixel{keep.alpha, uint8_t(average.v), uint8_t(average.u), uint8_t(average.y)};
}

namespace {

// Chroma is counted in bins of 8 x 8 code values; a backing with noise
// spreads over a few neighbouring bins, never over the whole plane.
constexpr int BIN_SHIFT = 3;
constexpr int BINS = 256 >> BIN_SHIFT;
// The band's pixels whose chroma lies this near (|dU| + |dV|) the most
// frequent bin's mean make the refined colour.
constexpr int NEAR_CHROMA = 16;
// A backing fills much of the border and is strongly coloured: at least
// this share of the band near the colour found, at least this far
// (|U - 128| + |V - 128|) from grey.
constexpr int BACKING_SHARE_PERCENT = 40;
constexpr int BACKING_SATURATION = 40;

template <typename Visit> void forEachBorderPixel(const hostrt::FieldImage &field, Visit visit)
{
    const int w = field.bufferWidth, h = field.bufferHeight;
    const int bandX = std::max(1, w * BACKING_BAND_PERCENT / 100);
    const int bandY = std::max(1, h * BACKING_BAND_PERCENT / 100);
    for (int row = 0; row < h; ++row) {
        const bool wholeRow = row < bandY || row >= h - bandY || 2 * bandX >= w;
        const int leftEnd = wholeRow ? w : bandX;
        for (int col = 0; col < leftEnd; ++col) visit(field.at(col, row));
        if (!wholeRow)
            for (int col = w - bandX; col < w; ++col) visit(field.at(col, row));
    }
}

} // namespace

bool findBackingColor(const hostrt::FieldImage &field, Pixel &color, bool *dominant)
{
    if (dominant) *dominant = false;
    if (field.bufferWidth <= 0 || field.bufferHeight <= 0 || field.pixels.empty()) return false;
    std::vector<uint32_t> histogram(BINS * BINS, 0);
    forEachBorderPixel(field, [&](const Pixel &p) { ++histogram[size_t(p.u >> BIN_SHIFT) * BINS + (p.v >> BIN_SHIFT)]; });
    size_t peak = 0;
    for (size_t i = 1; i < histogram.size(); ++i)
        if (histogram[i] > histogram[peak]) peak = i;
    const int peakU = int(peak / BINS), peakV = int(peak % BINS);

    // The mean chroma of the peak bin and its neighbours, then the mean
    // colour of every band pixel near that chroma.
    int64_t sumU = 0, sumV = 0, n = 0;
    forEachBorderPixel(field, [&](const Pixel &p) {
        if (std::abs((p.u >> BIN_SHIFT) - peakU) <= 1 && std::abs((p.v >> BIN_SHIFT) - peakV) <= 1) {
            sumU += p.u;
            sumV += p.v;
            ++n;
        }
    });
    const int meanU = int((sumU + n / 2) / n), meanV = int((sumV + n / 2) / n);
    int64_t sumY = 0, band = 0;
    sumU = sumV = n = 0;
    forEachBorderPixel(field, [&](const Pixel &p) {
        ++band;
        if (std::abs(p.u - meanU) + std::abs(p.v - meanV) <= NEAR_CHROMA) {
            sumY += p.y;
            sumU += p.u;
            sumV += p.v;
            ++n;
        }
    });
    if (n == 0) return false;
    color = Pixel{255, uint8_t((sumV + n / 2) / n), uint8_t((sumU + n / 2) / n), uint8_t((sumY + n / 2) / n)};
    if (dominant)
        *dominant = n * 100 >= band * BACKING_SHARE_PERCENT &&
                    std::abs(color.u - 128) + std::abs(color.v - 128) >= BACKING_SATURATION;
    return true;
}

std::string checkKeySampleArea(const KeySampleArea &area, int width, int fieldHeight)
{
    if (area.automatic) return {};
    if (int64_t(area.x) + area.width > 0 && int64_t(area.y) + area.height > 0 && area.x < width &&
        area.y < fieldHeight)
        return {};
    return "--sample-key " + std::to_string(area.x) + "," + std::to_string(area.y) + "," +
           std::to_string(area.width) + "," + std::to_string(area.height) + " lies wholly off the " +
           std::to_string(width) + "x" + std::to_string(fieldHeight) +
           " field (x in pixels, y in field lines); there is nothing to sample there";
}

std::string sampleKeyColor(Clip &clip, int firstFrame, const KeySampleArea &area, Pixel &color, std::string *warning)
{
    hostrt::FieldImage field;
    std::string error;
    if (!readField(clip, firstFrame, 0, field, error))
        return error.empty() ? clip.name() + ": no frame " + std::to_string(firstFrame) + " to sample the key colour from"
                             : error;
    if (!area.automatic) {
        if (std::string fault = checkKeySampleArea(area, field.bufferWidth, field.bufferHeight); !fault.empty())
            return fault;
        color = meanAreaColor(field, area.x, area.y, area.width, area.height, color);
        return {};
    }
    Pixel found{};
    bool dominant = false;
    if (!findBackingColor(field, found, &dominant)) return clip.name() + ": no backing found in the first field";
    if (!dominant && warning)
        *warning = clip.name() + ": no backing found: no strongly coloured colour fills the border of the first "
                   "field; the commonest one was chosen";
    color = found;
    return {};
}

} // namespace ophost
