// The keyer's hue table, filled on first use.
#include "KeyerTables.h"

#include <cmath>

namespace zenvarth {

namespace {

float hueTable[65536];
bool hueTableReady = false;

} // namespace

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

const float *pixelHueTable()
{
    if (!hueTableReady) {
        for (uint32_t u = 0; u < 256; ++u) {
            float fu = hueComponent(uint8_t(u));
            for (uint32_t v = 0; v < 256; ++v)
                hueTable[chromaIndex(u, v)] = chromaHue(fu, hueComponent(uint8_t(v)));
        }
        hueTableReady = true;
    }
    return hueTable;
}

} // namespace zenvarth
