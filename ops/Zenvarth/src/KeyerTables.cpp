// Settings-independent keyer tables, filled on first use.
#include "KeyerTables.h"

#include <cmath>

namespace zenvarth {

namespace {

float hueTable[65536];
bool hueTableReady = false;

RgbProducts rgbTable;
YuvProducts yuvTable;
bool productsReady = false;

void fillProducts()
{
    for (int b = 0; b < 256; ++b) {
        float c = float(b - 128);
        rgbTable.rFromV[b] = 1.402f * c;
        rgbTable.gFromU[b] = 0.344136f * c;
        rgbTable.gFromV[b] = 0.714136f * c;
        rgbTable.bFromU[b] = 1.772f * c;

        float x = float(b);
        yuvTable.half[b] = 0.5f * x;
        yuvTable.vFromG[b] = 0.418688f * x;
        yuvTable.vFromB[b] = 0.081312f * x;
        yuvTable.uFromG[b] = 0.331264f * x;
        yuvTable.uFromR[b] = 0.168736f * x;
        yuvTable.yFromR[b] = 0.299f * x;
        yuvTable.yFromG[b] = 0.587f * x;
        yuvTable.yFromB[b] = 0.114f * x;
    }
    productsReady = true;
}

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

const RgbProducts &rgbProducts()
{
    if (!productsReady) fillProducts();
    return rgbTable;
}

const YuvProducts &yuvProducts()
{
    if (!productsReady) fillProducts();
    return yuvTable;
}

} // namespace zenvarth
