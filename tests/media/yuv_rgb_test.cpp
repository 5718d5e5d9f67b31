// The fixed BT.601 limited-range integer conversion used for PNG files.
#include <gtest/gtest.h>

#include <array>
#include <cstdlib>

#include "media/yuv_rgb.h"

TEST(YuvRgb, HandComputedValues)
{
    uint8_t r, g, b;
    media::pixelToRgb(Pixel{255, 128, 128, 16}, r, g, b);
    EXPECT_EQ((std::array<int, 3>{r, g, b}), (std::array<int, 3>{0, 0, 0}));
    media::pixelToRgb(Pixel{255, 128, 128, 235}, r, g, b);
    // 298 * 219 + 128 = 65390, >> 8 = 255
    EXPECT_EQ((std::array<int, 3>{r, g, b}), (std::array<int, 3>{255, 255, 255}));
    // BLUE_DEFAULT: c = 41, d = 112, e = -18.
    media::pixelToRgb(pixelFromWord(BLUE_DEFAULT), r, g, b);
    EXPECT_EQ(r, (298 * 41 + 409 * -18 + 128) >> 8);            // 19
    EXPECT_EQ(g, (298 * 41 - 100 * 112 - 208 * -18 + 128) >> 8); // 18
    EXPECT_EQ(b, 255);                                             // 70186 >> 8 = 274, clamped
    // Y 0, U 0, V 255: c = -16, d = -128, e = 127; G and B go negative and clamp.
    media::pixelToRgb(Pixel{255, 255, 0, 0}, r, g, b);
    EXPECT_EQ(r, 184);   // (-4768 + 51943 + 128) >> 8
    EXPECT_EQ(g, 0);     // (-4768 + 12800 - 26416 + 128) >> 8 = -72
    EXPECT_EQ(b, 0);

    Pixel p = media::rgbToPixel(0, 0, 0, 7);
    EXPECT_EQ(pixelWord(p), pixelWord(Pixel{7, 128, 128, 16}));
    p = media::rgbToPixel(255, 255, 255, 255);
    EXPECT_EQ(pixelWord(p), pixelWord(Pixel{255, 128, 128, 235}));
    p = media::rgbToPixel(255, 0, 0, 255);
    EXPECT_EQ(p.y, ((66 * 255 + 128) >> 8) + 16);           // 82
    EXPECT_EQ(p.u, ((-38 * 255 + 128) >> 8) + 128);         // 90 (arithmetic shift)
    EXPECT_EQ(p.v, ((112 * 255 + 128) >> 8) + 128);         // 240
}

TEST(YuvRgb, GreyRoundTripIsCloseAndKeyIsKept)
{
    for (int y = 16; y <= 235; ++y) {
        uint8_t r, g, b;
        media::pixelToRgb(Pixel{uint8_t(y), 128, 128, uint8_t(y)}, r, g, b);
        EXPECT_EQ(r, g);
        EXPECT_EQ(g, b);
        Pixel back = media::rgbToPixel(r, g, b, uint8_t(y));
        EXPECT_LE(std::abs(int(back.y) - y), 1) << y;
        EXPECT_EQ(back.u, 128);
        EXPECT_EQ(back.v, 128);
        EXPECT_EQ(back.alpha, y);
    }
}
