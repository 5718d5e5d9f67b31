#include <random>

#include "smallops.h"

using namespace hostrt;
using namespace smallops;
using testsupport::px;
using testsupport::samePixel;

namespace {

// The render as the rules state it, pixel by pixel, with every source read
// kept inside both buffers. `work` arrives as opAllocImage made it.
FieldImage plainPlindor(const FieldImage &in, FieldImage work, PlacedRect src, int32_t dx,
                        int32_t dy, Pixel fill)
{
    int32_t w = src.width, h = src.height;
    if (dx > in.bufferWidth - w) w = in.bufferWidth - dx;
    if (dy > in.bufferHeight - h) h = in.bufferHeight - dy;
    auto inIn = [&](int32_t c, int32_t r) {
        return c >= 0 && r >= 0 && c < in.bufferWidth && r < in.bufferHeight;
    };
    auto inWork = [&](int32_t c, int32_t r) {
        return c >= 0 && r >= 0 && c < work.bufferWidth && r < work.bufferHeight;
    };
    for (int32_t r = 0; r < work.bufferHeight; ++r)
        for (int32_t c = 0; c < work.bufferWidth; ++c)
            if (inIn(c, r)) work.at(c, r) = in.at(c, r);
    for (int32_t r = src.y0; r < src.y0 + h; ++r)
        for (int32_t c = src.x0; c < src.x0 + w; ++c)
            if (inWork(c, r)) blendPixel(work.at(c, r), fill);
    for (int32_t r = src.y0; r < src.y0 + h; ++r)
        for (int32_t c = src.x0; c < src.x0 + w; ++c) {
            int32_t tc = c + (dx - src.x0), tr = r + (dy - src.y0);
            if (inWork(c, r) && inIn(c, r) && inWork(tc, tr)) work.at(tc, tr) = in.at(c, r);
        }
    return work;
}

class Plindor : public ::testing::Test {
protected:
    LoadedOperator op;
    const Pixel colour = px(57, 240, 110, 255);
    void SetUp() override
    {
        resetSession();
        testsupport::loadOperator("Plindor", op);
        source().minWidth = source().minHeight = 4;
        source().maxWidth = source().maxHeight = 999;
        setRect(source(), 200, 100, 64, 32);
        destination().minWidth = destination().minHeight = 999;
        destination().maxWidth = destination().maxHeight = 999;
        setRect(destination(), 64, 32, 64, 32);
        fill().color = colour;
    }
    void TearDown() override { resetSession(); }
    RectParam &source() { return testsupport::param<RectParam>(op, 0); }
    RectParam &destination() { return testsupport::param<RectParam>(op, 1); }
    ColorParam &fill() { return testsupport::param<ColorParam>(op, 2); }

    // A row of pixels whose luma is their column (alpha 200 + row).
    static FieldImage numbered(int width, int height)
    {
        FieldImage f = makeField(width, height);
        for (int r = 0; r < height; ++r)
            for (int c = 0; c < width; ++c) f.at(c, r) = px(uint8_t(c + 16 * r), 100, 150, 200);
        return f;
    }
};

} // namespace

TEST_F(Plindor, DestinationFollowsSourceOnlyForParameterZero)
{
    setRect(source(), 10, 20, 100, 50);
    for (uint16_t index : {1, 2, 3, 65535}) {
        OperatorContext ctx = makeContext(OPACT_PARAMETER);
        ctx.paramIndex = index;
        EXPECT_EQ(testsupport::call(op, ctx), 0);
        EXPECT_EQ(destination().x, 64);
        EXPECT_EQ(destination().width, 64);
        EXPECT_EQ(destination().minWidth, 999);
    }
    OperatorContext ctx = makeContext(OPACT_PARAMETER);
    EXPECT_EQ(testsupport::call(op, ctx), 0);
    const RectParam &d = destination();
    EXPECT_EQ(d.x, 10);
    EXPECT_EQ(d.y, 20);
    EXPECT_EQ(d.minWidth, 100);
    EXPECT_EQ(d.minHeight, 50);
    EXPECT_EQ(d.maxWidth, 100);
    EXPECT_EQ(d.maxHeight, 50);
    EXPECT_EQ(d.width, 100);
    EXPECT_EQ(d.height, 50);
    EXPECT_EQ(source().minWidth, 4);   // the source keeps its own limits
}

TEST_F(Plindor, OverlapShowsTheInputBlockAndFillsTheRest)
{
    FieldImage in = numbered(10, 1);
    setRect(source(), 2, 0, 4, 1);
    setRect(destination(), 4, 0, 4, 1);
    FieldImage out = renderOne(op, in);
    for (int c = 0; c < 10; ++c) {
        Pixel expected = in.at(c, 0);
        if (c == 2 || c == 3) expected = px(57, 240, 110, 200);   // fill, alpha kept
        if (c >= 4 && c < 8) expected = in.at(c - 2, 0);          // the block as received
        EXPECT_TRUE(samePixel(out.at(c, 0), expected)) << c;
    }
}

TEST_F(Plindor, FillAlphaZeroCopiesAndAlphaMidBlends)
{
    FieldImage in = numbered(12, 2);
    setRect(source(), 0, 0, 3, 2);
    setRect(destination(), 6, 0, 3, 2);
    fill().color = px(255, 0, 0, 0);
    FieldImage out = renderOne(op, in);
    for (int r = 0; r < 2; ++r)
        for (int c = 0; c < 12; ++c) {
            Pixel expected = c >= 6 && c < 9 ? in.at(c - 6, r) : in.at(c, r);
            EXPECT_TRUE(samePixel(out.at(c, r), expected)) << c << "," << r;
        }
    fill().color = px(255, 0, 0, 128);
    out = renderOne(op, in);
    // Y: (127 * y + 128 * 255) / 255; U: 127 * 100 / 255; V: 127 * 150 / 255.
    EXPECT_TRUE(samePixel(out.at(1, 1), px(uint8_t((127 * 17 + 128 * 255) / 255), 49, 74, 200)));
}

TEST_F(Plindor, RightAndBottomClippingShrinksTheFill)
{
    FieldImage in = numbered(10, 4);
    setRect(source(), 0, 0, 4, 3);
    setRect(destination(), 8, 2, 4, 3);   // w = 10 - 8 = 2, h = 4 - 2 = 2
    FieldImage out = renderOne(op, in);
    for (int r = 0; r < 4; ++r)
        for (int c = 0; c < 10; ++c) {
            Pixel expected = in.at(c, r);
            if (c < 2 && r < 2) expected = px(57, 240, 110, 200);
            if (c >= 8 && r >= 2) expected = in.at(c - 8, r - 2);
            EXPECT_TRUE(samePixel(out.at(c, r), expected)) << c << "," << r;
        }
}

TEST_F(Plindor, DestinationWhollyOutsideGivesACopy)
{
    FieldImage in = numbered(10, 4);
    setRect(source(), 1, 1, 4, 2);
    for (auto [x, y] : {std::pair{10, 0}, std::pair{0, 4}, std::pair{500, 300}}) {
        setRect(destination(), int16_t(x), int16_t(y), 4, 2);
        EXPECT_EQ(firstDifference(renderOne(op, in), in), "") << x << "," << y;
    }
}

TEST_F(Plindor, DestinationPartlyLeftAndAboveWritesOnlyInside)
{
    FieldImage in = numbered(10, 4);
    setRect(source(), 4, 2, 4, 2);
    setRect(destination(), -2, -1, 4, 2);
    FieldImage out = renderOne(op, in);
    for (int r = 0; r < 4; ++r)
        for (int c = 0; c < 10; ++c) {
            Pixel expected = in.at(c, r);
            if (c >= 4 && c < 8 && r >= 2) expected = px(57, 240, 110, 200);
            if (c < 2 && r < 1) expected = in.at(c + 6, r + 3);
            EXPECT_TRUE(samePixel(out.at(c, r), expected)) << c << "," << r;
        }
}

TEST_F(Plindor, PreviewMovesTheScaledHeightFromUnscaledPositions)
{
    FieldImage in = numbered(8, 8);
    setRect(source(), 0, 2, 2, 4);
    setRect(destination(), 5, 4, 2, 4);
    FieldImage out = renderOne(op, in, previewContext(500));   // 2 rows, from row 2 to row 4
    for (int r = 0; r < 8; ++r)
        for (int c = 0; c < 8; ++c) {
            Pixel expected = in.at(c, r);
            if (c < 2 && (r == 2 || r == 3)) expected = px(57, 240, 110, 200);
            if (c >= 5 && c < 7 && (r == 4 || r == 5)) expected = in.at(c - 5, r - 2);
            EXPECT_TRUE(samePixel(out.at(c, r), expected)) << c << "," << r;
        }
}

TEST_F(Plindor, MatchesThePlainRuleOnRandomRectangles)
{
    std::mt19937 rng(5);
    auto pick = [&](int lo, int hi) { return int(rng() % uint32_t(hi - lo + 1)) + lo; };
    const int16_t workSizes[][2] = {{24, 12}, {24, 12}, {17, 12}, {30, 9}, {24, 20}, {0, 0}};
    for (int trial = 0; trial < 3000; ++trial) {
        FieldImage in = testsupport::randomField(24, 12, uint32_t(trial));
        in.x = int16_t(pick(0, 3));
        in.y = int16_t(pick(0, 2));
        in.width = int16_t(24 - in.x);
        in.height = int16_t(12 - in.y);
        const auto &ws = workSizes[trial % 6];
        setStandardSize(ws[0], ws[1]);
        setRect(source(), int16_t(pick(-30, 40)), int16_t(pick(-20, 25)), int16_t(pick(0, 30)),
                int16_t(pick(0, 16)));
        setRect(destination(), int16_t(pick(-30, 40)), int16_t(pick(-20, 25)), 1, 1);
        const uint8_t alphas[] = {0, 1, 128, 254, 255, uint8_t(rng())};
        fill().color = px(uint8_t(rng()), uint8_t(rng()), uint8_t(rng()), alphas[trial % 6]);
        VisibleArea area{int16_t(pick(-9, 9)), int16_t(pick(-9, 9)), 720, 576};
        setVisibleArea(area);
        OperatorContext ctx = trial % 3 == 0 ? previewContext(int16_t(pick(0, 1500)))
                                             : renderContext();
        FieldImage out = renderOne(op, in, ctx);

        Picture inPic{nullptr, in.bufferWidth, in.bufferHeight, in.x, in.y, in.width, in.height};
        Picture workPic{nullptr, ws[0], ws[1], 0, 0, ws[0], ws[1]};
        PlacedRect src = placeRect(inPic, source(), &ctx, area.left, area.top);
        PlacedRect dst = placeRect(workPic, destination(), &ctx, area.left, area.top);
        FieldImage expected = plainPlindor(in, makeField(ws[0], ws[1], Pixel{0, 128, 128, 16}),
                                           src, dst.x0, dst.y0, fill().color);
        ASSERT_EQ(firstDifference(out, expected), "") << "trial " << trial;
    }
}

TEST_F(Plindor, UnequalWorkPictureStaysInsideBothBuffers)
{
    FieldImage in = numbered(10, 4);
    setRect(source(), 0, 0, 10, 4);
    setRect(destination(), 0, 0, 10, 4);
    setStandardSize(6, 2);   // smaller work picture: holds only the common part
    FieldImage out = renderOne(op, in);
    ASSERT_EQ(out.bufferWidth, 6);
    for (int r = 0; r < 2; ++r)
        for (int c = 0; c < 6; ++c) EXPECT_TRUE(samePixel(out.at(c, r), in.at(c, r)));
    setStandardSize(14, 6);  // larger: what the input lacks keeps the new picture's pixels
    out = renderOne(op, in);
    EXPECT_TRUE(samePixel(out.at(9, 3), in.at(9, 3)));
    EXPECT_TRUE(samePixel(out.at(12, 5), (Pixel{0, 128, 128, 16})));
}

TEST_F(Plindor, FailedRendersLogOnceAndHoldNothing)
{
    clearInputs();
    OperatorContext ctx = renderContext();
    EXPECT_EQ(testsupport::call(op, ctx), -1);
    expectOneFailureLine(84, "src\\Plindor", 0x0BA50000u);

    clearLog();
    setInputFields(0, {makeField(8, 4)});
    failAllocation(0);
    EXPECT_EQ(testsupport::call(op, ctx), -1);   // the input is released too
    expectOneFailureLine(90, "src\\Plindor", 0x0BA50000u);
    EXPECT_TRUE(putFields().empty());
    EXPECT_EQ(totalLeaked(), 0u);
}

