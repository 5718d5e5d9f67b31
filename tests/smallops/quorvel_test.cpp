#include <random>

#include "smallops.h"

using namespace hostrt;
using namespace smallops;
using testsupport::px;
using testsupport::samePixel;

namespace {

// The copy as the rules state it, pixel by pixel: reads inside input 1's
// buffer, writes inside input 0's.
FieldImage plainQuorvel(FieldImage base, const FieldImage &other, PlacedRect src, int32_t dx,
                        int32_t dy)
{
    int32_t w = src.width, h = src.height;
    if (dx > other.bufferWidth - w) w = other.bufferWidth - dx;
    if (dy > other.bufferHeight - h) h = other.bufferHeight - dy;
    for (int32_t r = src.y0; r < src.y0 + h; ++r)
        for (int32_t c = src.x0; c < src.x0 + w; ++c) {
            int32_t tc = c + (dx - src.x0), tr = r + (dy - src.y0);
            bool readable = c >= 0 && r >= 0 && c < other.bufferWidth && r < other.bufferHeight;
            bool writable = tc >= 0 && tr >= 0 && tc < base.bufferWidth && tr < base.bufferHeight;
            if (readable && writable) base.at(tc, tr) = other.at(c, r);
        }
    return base;
}

class Quorvel : public ::testing::Test {
protected:
    LoadedOperator op;
    void SetUp() override
    {
        resetSession();
        testsupport::loadOperator("Quorvel", op);
        source().minWidth = source().minHeight = 4;
        source().maxWidth = source().maxHeight = 999;
        setRect(source(), 200, 100, 64, 32);
        destination().minWidth = destination().minHeight = 999;
        destination().maxWidth = destination().maxHeight = 999;
        setRect(destination(), 64, 32, 64, 32);
    }
    void TearDown() override { resetSession(); }
    RectParam &source() { return testsupport::param<RectParam>(op, 0); }
    RectParam &destination() { return testsupport::param<RectParam>(op, 1); }

    FieldImage render(const FieldImage &base, const FieldImage &other,
                      OperatorContext ctx = renderContext())
    {
        setInputFields(0, {base});
        setInputFields(1, {other});
        return renderSet(op, ctx);
    }
};

} // namespace

TEST_F(Quorvel, DestinationFollowsSourceOnlyForParameterZero)
{
    setRect(source(), 10, 20, 100, 50);
    OperatorContext ctx = makeContext(OPACT_PARAMETER);
    ctx.paramIndex = 1;
    EXPECT_EQ(testsupport::call(op, ctx), 0);
    EXPECT_EQ(destination().x, 64);
    EXPECT_EQ(destination().maxHeight, 999);
    ctx.paramIndex = 0;
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
}

TEST_F(Quorvel, CopiesTheBlockAndKeepsTheRest)
{
    FieldImage base = testsupport::randomField(12, 6, 1);
    FieldImage other = testsupport::randomField(12, 6, 2);
    setRect(source(), 1, 2, 3, 2);
    setRect(destination(), 7, 0, 3, 2);
    FieldImage out = render(base, other);
    for (int r = 0; r < 6; ++r)
        for (int c = 0; c < 12; ++c) {
            bool block = c >= 7 && c < 10 && r < 2;
            Pixel expected = block ? other.at(c - 6, r + 2) : base.at(c, r);
            EXPECT_TRUE(samePixel(out.at(c, r), expected)) << c << "," << r;
        }
    // Source and destination at the same place: input 1's block over input 0's.
    setRect(destination(), 1, 2, 3, 2);
    out = render(base, other);
    for (int r = 0; r < 6; ++r)
        for (int c = 0; c < 12; ++c) {
            bool block = c >= 1 && c < 4 && r >= 2 && r < 4;
            EXPECT_TRUE(samePixel(out.at(c, r), block ? other.at(c, r) : base.at(c, r)));
        }
}

TEST_F(Quorvel, PartialSourceAndDestination)
{
    FieldImage base = testsupport::randomField(10, 6, 3);
    FieldImage other = testsupport::randomField(10, 6, 4);
    // Destination wholly right of or below the buffer: nothing is copied.
    setRect(source(), 0, 0, 4, 4);
    setRect(destination(), 10, 0, 4, 4);
    EXPECT_EQ(firstDifference(render(base, other), base), "");
    setRect(destination(), 0, 6, 4, 4);
    EXPECT_EQ(firstDifference(render(base, other), base), "");
    // Destination partly left and above: only its part inside is written.
    setRect(destination(), -3, -2, 4, 4);
    FieldImage out = render(base, other);
    for (int r = 0; r < 6; ++r)
        for (int c = 0; c < 10; ++c) {
            bool block = c < 1 && r < 2;
            EXPECT_TRUE(samePixel(out.at(c, r), block ? other.at(c + 3, r + 2) : base.at(c, r)));
        }
    // Source partly left of and above input 1: only its pixels inside are copied.
    setRect(source(), -2, -1, 4, 3);
    setRect(destination(), 5, 3, 4, 3);
    out = render(base, other);
    for (int r = 0; r < 6; ++r)
        for (int c = 0; c < 10; ++c) {
            bool block = c >= 7 && c < 9 && r >= 4;
            EXPECT_TRUE(samePixel(out.at(c, r), block ? other.at(c - 7, r - 4) : base.at(c, r)))
                << c << "," << r;
        }
}

TEST_F(Quorvel, UnequalBufferSizesStayInsideBoth)
{
    // Input 1 smaller than input 0: a source reaching past input 1 reads
    // only what input 1 holds. The clip against input 1's size at the
    // destination (w = 5 - 2, h = 3 - 1) still applies.
    FieldImage base = testsupport::randomField(16, 8, 5);
    FieldImage small = testsupport::randomField(5, 3, 6);
    setRect(source(), 0, 0, 16, 8);
    setRect(destination(), 2, 1, 16, 8);
    FieldImage out = render(base, small);
    for (int r = 0; r < 8; ++r)
        for (int c = 0; c < 16; ++c) {
            bool block = c >= 2 && c < 5 && r >= 1 && r < 3;
            EXPECT_TRUE(samePixel(out.at(c, r), block ? small.at(c - 2, r - 1) : base.at(c, r)))
                << c << "," << r;
        }
    // Input 0 smaller than input 1: writes stop at input 0's buffer.
    setRect(source(), 1, 1, 16, 8);
    setRect(destination(), 0, 0, 16, 8);   // clipped to 5 x 3; reads stop at column 4, row 2
    out = render(base, small);
    for (int r = 0; r < 8; ++r)
        for (int c = 0; c < 16; ++c) {
            bool block = c < 4 && r < 2;
            EXPECT_TRUE(samePixel(out.at(c, r), block ? small.at(c + 1, r + 1) : base.at(c, r)))
                << c << "," << r;
        }
    FieldImage big = testsupport::randomField(20, 10, 7);
    FieldImage tiny = testsupport::randomField(4, 2, 8);
    setRect(source(), 3, 3, 10, 5);
    setRect(destination(), 1, 0, 10, 5);
    out = render(tiny, big);
    for (int r = 0; r < 2; ++r)
        for (int c = 0; c < 4; ++c)
            EXPECT_TRUE(samePixel(out.at(c, r), c >= 1 ? big.at(c + 2, r + 3) : tiny.at(c, r)));
}

TEST_F(Quorvel, MatchesThePlainRuleOnRandomRectangles)
{
    std::mt19937 rng(9);
    auto pick = [&](int lo, int hi) { return int(rng() % uint32_t(hi - lo + 1)) + lo; };
    for (int trial = 0; trial < 3000; ++trial) {
        bool equal = trial % 2 == 0;
        FieldImage base = testsupport::randomField(24, 12, uint32_t(2 * trial));
        FieldImage other = testsupport::randomField(
            equal ? 24 : pick(0, 30), equal ? 12 : pick(0, 16), uint32_t(2 * trial + 1));
        base.x = int16_t(pick(0, 3));
        base.y = int16_t(pick(0, 2));
        other.x = int16_t(pick(0, 3));
        other.y = int16_t(pick(0, 2));
        setRect(source(), int16_t(pick(-30, 40)), int16_t(pick(-20, 25)), int16_t(pick(0, 30)),
                int16_t(pick(0, 16)));
        setRect(destination(), int16_t(pick(-30, 40)), int16_t(pick(-20, 25)), 1, 1);
        VisibleArea area{int16_t(pick(-9, 9)), int16_t(pick(-9, 9)), 720, 576};
        setVisibleArea(area);
        OperatorContext ctx = trial % 3 == 0 ? previewContext(int16_t(pick(0, 1500)))
                                             : renderContext();
        FieldImage out = render(base, other, ctx);

        Picture basePic{nullptr, base.bufferWidth, base.bufferHeight, base.x, base.y, 0, 0};
        Picture otherPic{nullptr, other.bufferWidth, other.bufferHeight, other.x, other.y, 0, 0};
        PlacedRect src = placeRect(otherPic, source(), &ctx, area.left, area.top);
        PlacedRect dst = placeRect(basePic, destination(), &ctx, area.left, area.top);
        ASSERT_EQ(firstDifference(out, plainQuorvel(base, other, src, dst.x0, dst.y0)), "")
            << "trial " << trial;
    }
}

TEST_F(Quorvel, FailedRendersLogOnceAndHoldNothing)
{
    clearInputs();
    setInputFields(1, {makeField(8, 4)});
    OperatorContext ctx = renderContext();
    EXPECT_EQ(testsupport::call(op, ctx), -1);
    expectOneFailureLine(80, "src\\Quorvel", 0x0BA60000u);

    clearLog();
    clearInputs();
    setInputFields(0, {makeField(8, 4)});
    EXPECT_EQ(testsupport::call(op, ctx), -1);   // input 0 is released too
    expectOneFailureLine(86, "src\\Quorvel", 0x0BA60000u);
    EXPECT_TRUE(putFields().empty());
    EXPECT_EQ(totalLeaked(), 0u);
}

