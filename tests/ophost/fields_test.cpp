// Frames split into fields and woven back; preview scaling.
#include <gtest/gtest.h>

#include "ophost/fields.h"
#include "testsupport.h"

namespace {

media::VideoFrame numberedFrame(int w, int h)
{
    media::VideoFrame f;
    f.resize(w, h);
    for (int i = 0; i < w * h; ++i) f.pixels[size_t(i)] = pixelFromWord(uint32_t(i) * 2654435761u);
    return f;
}

} // namespace

TEST(Fields, TopFirstUnlessTheSourceSaysBottomFirst)
{
    EXPECT_EQ(ophost::fieldParity(0, false), 0);
    EXPECT_EQ(ophost::fieldParity(1, false), 1);
    EXPECT_EQ(ophost::fieldParity(6, false), 0);
    EXPECT_EQ(ophost::fieldParity(0, true), 1);
    EXPECT_EQ(ophost::fieldParity(7, true), 0);

    media::VideoFrame f = numberedFrame(2, 4);
    hostrt::FieldImage top, bottom;
    ophost::splitField(f, 0, top);
    ophost::splitField(f, 1, bottom);
    ASSERT_EQ(top.bufferWidth, 2);
    ASSERT_EQ(top.bufferHeight, 2);
    EXPECT_EQ(top.width, 2);
    EXPECT_EQ(top.height, 2);
    EXPECT_TRUE(testsupport::samePixel(top.at(1, 0), f.at(1, 0)));
    EXPECT_TRUE(testsupport::samePixel(top.at(1, 1), f.at(1, 2)));
    EXPECT_TRUE(testsupport::samePixel(bottom.at(0, 0), f.at(0, 1)));
    EXPECT_TRUE(testsupport::samePixel(bottom.at(0, 1), f.at(0, 3)));
}

TEST(Fields, SplitAndWeaveGiveTheFrameBackExactly)
{
    for (bool bottomFirst : {false, true}) {
        media::VideoFrame f = numberedFrame(7, 10);
        media::VideoFrame woven;
        woven.resize(7, 10, Pixel{0, 0, 0, 0});
        for (int k = 0; k < 2; ++k) {
            hostrt::FieldImage field;
            ophost::splitField(f, ophost::fieldParity(k, bottomFirst), field);
            ophost::weaveField(field, ophost::fieldParity(k, bottomFirst), woven);
        }
        for (size_t i = 0; i < f.pixels.size(); ++i)
            ASSERT_TRUE(testsupport::samePixel(woven.pixels[i], f.pixels[i])) << i;
    }
}

TEST(Fields, PreviewScalingIsNearestNeighbour)
{
    hostrt::FieldImage src = hostrt::makeField(4, 3);
    for (int i = 0; i < 12; ++i) src.pixels[size_t(i)] = pixelFromWord(uint32_t(i));
    hostrt::FieldImage half;
    ophost::scaleField(src, 1, 2, half);
    ASSERT_EQ(half.bufferWidth, 2);
    ASSERT_EQ(half.bufferHeight, 1);   // 3 * 1 / 2
    EXPECT_EQ(pixelWord(half.at(0, 0)), 0u);
    EXPECT_EQ(pixelWord(half.at(1, 0)), 2u);
    // 3/2: destination x reads x * 2 / 3: 0 0 1 2 2 3; y: 0 0 1 2.
    hostrt::FieldImage up;
    ophost::scaleField(src, 3, 2, up);
    ASSERT_EQ(up.bufferWidth, 6);
    ASSERT_EQ(up.bufferHeight, 4);
    const uint32_t row3[6] = {8, 8, 9, 10, 10, 11};
    for (int x = 0; x < 6; ++x) EXPECT_EQ(pixelWord(up.at(x, 3)), row3[x]) << x;
    EXPECT_EQ(pixelWord(up.at(4, 1)), 2u);
}
