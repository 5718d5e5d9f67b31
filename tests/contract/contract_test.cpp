#include <gtest/gtest.h>

#include <cstring>

#include "contract/helpers.h"
#include "layout_checks.h"

TEST(Contract, PixelWordIsLittleEndianKeyFirst)
{
    Pixel p = pixelFromWord(0x11223344u);
    EXPECT_EQ(p.alpha, 0x44);
    EXPECT_EQ(p.v, 0x33);
    EXPECT_EQ(p.u, 0x22);
    EXPECT_EQ(p.y, 0x11);
    uint32_t word;
    std::memcpy(&word, &p, 4);
    EXPECT_EQ(word, 0x11223344u);
}

TEST(Contract, FarnessBoundaryAtTolerance90)
{
    // d * (100 - tolerance) >= 232 500 is far.
    EXPECT_EQ(farness(23250, 90), 255);
    EXPECT_LT(farness(23220, 90), 255);
    EXPECT_EQ(farness(0, 90), 0);
    EXPECT_EQ(farness(38250, 100), 0);
    // Exactly as the double formula, including the linear part.
    EXPECT_DOUBLE_EQ(farness(12750, 85), 127.5);
}

TEST(Contract, TakeAverageClipsToTheBuffer)
{
    std::vector<Pixel> buf(4 * 2, Pixel{255, 10, 20, 30});
    buf[3] = Pixel{255, 50, 60, 70};   // (3, 0)
    Picture pic{buf.data(), 4, 2, 0, 0, 4, 2};
    CachedAverage avg{};
    // Area from (3, 0), 4 x 1: only (3, 0) lies inside.
    takeAverage(avg, pic, PlacedRect{3, 0, 4, 1});
    EXPECT_TRUE(avg.haveAverage);
    EXPECT_EQ(avg.y, 70);
    EXPECT_EQ(avg.u, 60);
    EXPECT_EQ(avg.v, 50);
    // Wholly outside, and empty: zero.
    takeAverage(avg, pic, PlacedRect{-10, -10, 5, 5});
    EXPECT_EQ(avg.y, 0);
    takeAverage(avg, pic, PlacedRect{0, 0, 0, 2});
    EXPECT_EQ(avg.y + avg.u + avg.v, 0);
    takeAverage(avg, pic, PlacedRect{0, 0, -3, -2});
    EXPECT_EQ(avg.y + avg.u + avg.v, 0);
}
