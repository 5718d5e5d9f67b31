// The keyer's hue table, built once on first use.
#include "KeyerTables.h"

#include <cmath>

namespace zenvarth {

float hueComponent(uint8_t byte)
{
    if (byte == 128) return 0.01f;
    return float(int(byte) - 128) / 256.0f;
}

float chromaHue(float u, float v)
{
    float r = float(std::sqrt(double(u * u + v * v)));
    float alpha = float(std::asin(double(v / r))) * 360.0f / 6.2831855f;
    if (alpha >= 0) return u >= 0 ? 180.0f - alpha : alpha;
    return u <= 0 ? alpha + 360.0f : 180.0f - alpha;
}

namespace {

struct HueTable {
    float hue[65536];
};

HueTable buildHueTable()
{
    HueTable table;
    for (uint32_t u = 0; u < 256; ++u) {
        float fu = hueComponent(uint8_t(u));
        for (uint32_t v = 0; v < 256; ++v) table.hue[chromaIndex(u, v)] = chromaHue(fu, hueComponent(uint8_t(v)));
    }
    return table;
}

} // namespace

const float *pixelHueTable()
{
    // Built once, by the first caller; a second thread asking meanwhile
    // waits for it rather than reading a half-filled table.
    static const HueTable table = buildHueTable();
    return table.hue;
}

} // namespace zenvarth
