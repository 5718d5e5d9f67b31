#include <random>

#include "smallops.h"

using namespace hostrt;
using namespace smallops;
using testsupport::px;
using testsupport::samePixel;

namespace {

// The mask as the rules state it, pixel by pixel, with blendPixel.
FieldImage plainDremwick(FieldImage f, PlacedRect rect, bool outside, Pixel colour)
{
    int32_t w = rect.width, h = rect.height;
    if (rect.y0 + h >= f.bufferHeight) h = f.bufferHeight - rect.y0;
    if (rect.x0 + w >= f.bufferWidth) w = f.bufferWidth - rect.x0;
    for (int32_t r = 0; r < f.bufferHeight; ++r)
        for (int32_t c = 0; c < f.bufferWidth; ++c) {
            bool in = c >= rect.x0 && c < rect.x0 + w && r >= rect.y0 && r < rect.y0 + h;
            if (in != outside) blendPixel(f.at(c, r), colour);
        }
    return f;
}

class Dremwick : public ::testing::Test {
protected:
    LoadedOperator op;
    void SetUp() override
    {
        resetSession();
        testsupport::loadOperator("Dremwick", op);
        side().value = 0;
        setRect(region(), 200, 100, 64, 32);
        colour().color = pixelFromWord(BLUE_DEFAULT);
    }
    void TearDown() override { resetSession(); }
    ChoiceParam &side() { return testsupport::param<ChoiceParam>(op, 0); }
    RectParam &region() { return testsupport::param<RectParam>(op, 1); }
    ColorParam &colour() { return testsupport::param<ColorParam>(op, 2); }

    // Which pixels changed, as a picture of '#' and '.' rows.
    static std::string changed(const FieldImage &in, const FieldImage &out)
    {
        std::string s;
        for (int r = 0; r < in.bufferHeight; ++r) {
            for (int c = 0; c < in.bufferWidth; ++c)
                s += samePixel(in.at(c, r), out.at(c, r)) ? '.' : '#';
            s += '\n';
        }
        return s;
    }
};

} // namespace

TEST_F(Dremwick, InsideAndOutsideModes)
{
    FieldImage in = makeField(6, 4, px(100, 100, 100, 33));
    setRect(region(), 1, 1, 3, 2);
    FieldImage out = renderOne(op, in);
    EXPECT_EQ(changed(in, out), "......\n.###..\n.###..\n......\n");
    EXPECT_TRUE(samePixel(out.at(2, 2), px(57, 240, 110, 33)));   // alpha kept
    side().value = 1;
    out = renderOne(op, in);
    EXPECT_EQ(changed(in, out), "######\n#...##\n#...##\n######\n");
    EXPECT_TRUE(samePixel(out.at(0, 0), px(57, 240, 110, 33)));
    side().value = 7;   // any value but 0 is outside
    EXPECT_EQ(changed(in, renderOne(op, in)), "######\n#...##\n#...##\n######\n");
}

TEST_F(Dremwick, AlphaZeroChangesNothingAndHalfAlphaBlends)
{
    FieldImage in = testsupport::randomField(8, 4, 3);
    colour().color = px(255, 255, 255, 0);
    side().value = 1;
    EXPECT_EQ(firstDifference(renderOne(op, in), in), "");
    FieldImage black = makeField(2, 1, px(0, 0, 0, 9));
    colour().color = px(255, 255, 255, 128);
    FieldImage out = renderOne(op, black);
    EXPECT_TRUE(samePixel(out.at(0, 0), px(128, 128, 128, 9)));   // (127*0 + 128*255) / 255
}

TEST_F(Dremwick, RectanglePartlyOrWhollyOutsideTheBuffer)
{
    FieldImage in = makeField(5, 3, px(100, 100, 100));
    setRect(region(), 3, -1, 10, 3);
    FieldImage out = renderOne(op, in);
    EXPECT_EQ(changed(in, out), "...##\n...##\n.....\n");
    side().value = 1;
    out = renderOne(op, in);
    EXPECT_EQ(changed(in, out), "###..\n###..\n#####\n");
    setRect(region(), -20, 5, 4, 4);   // wholly outside: everything covered
    out = renderOne(op, in);
    EXPECT_EQ(changed(in, out), "#####\n#####\n#####\n");
    side().value = 0;
    EXPECT_EQ(firstDifference(renderOne(op, in), in), "");
}

TEST_F(Dremwick, OutsideCoversBufferBeyondTheActiveArea)
{
    FieldImage in = makeField(8, 5, px(100, 100, 100));
    in.x = 2;
    in.y = 1;
    in.width = 4;
    in.height = 3;
    setRect(region(), 0, 0, 2, 2);   // placed at (2, 1)
    side().value = 1;
    FieldImage out = renderOne(op, in);
    EXPECT_EQ(changed(in, out), "########\n##..####\n##..####\n########\n########\n");
}

TEST_F(Dremwick, BlendIsExactForEveryAlphaAndByte)
{
    FieldImage in = makeField(256, 1);
    for (int b = 0; b < 256; ++b)
        in.at(b, 0) = px(uint8_t(b), uint8_t(255 - b), uint8_t(b * 7), uint8_t(b));
    side().value = 1;
    setRect(region(), -10, -10, 4, 4);
    std::mt19937 rng(4);
    for (int alpha = 0; alpha < 256; ++alpha) {
        Pixel c = px(uint8_t(rng()), uint8_t(rng()), uint8_t(rng()), uint8_t(alpha));
        colour().color = c;
        FieldImage out = renderOne(op, in);
        for (int b = 0; b < 256; ++b) {
            Pixel p = in.at(b, 0);
            Pixel expected = p;
            expected.v = uint8_t(((255 - alpha) * p.v + alpha * c.v) / 255);
            expected.u = uint8_t(((255 - alpha) * p.u + alpha * c.u) / 255);
            expected.y = uint8_t(((255 - alpha) * p.y + alpha * c.y) / 255);
            ASSERT_TRUE(samePixel(out.at(b, 0), expected)) << "alpha " << alpha << " byte " << b;
        }
    }
}

TEST_F(Dremwick, MatchesThePlainRuleOnRandomRectangles)
{
    std::mt19937 rng(12);
    auto pick = [&](int lo, int hi) { return int(rng() % uint32_t(hi - lo + 1)) + lo; };
    for (int trial = 0; trial < 3000; ++trial) {
        FieldImage in = testsupport::randomField(pick(0, 24), pick(0, 12), uint32_t(trial));
        in.x = int16_t(pick(0, 3));
        in.y = int16_t(pick(0, 2));
        side().value = uint32_t(trial % 2);
        setRect(region(), int16_t(pick(-30, 40)), int16_t(pick(-20, 25)), int16_t(pick(0, 30)),
                int16_t(pick(0, 16)));
        colour().color = pixelFromWord(rng());
        VisibleArea area{int16_t(pick(-9, 9)), int16_t(pick(-9, 9)), 720, 576};
        setVisibleArea(area);
        OperatorContext ctx = trial % 3 == 0 ? previewContext(int16_t(pick(0, 1500)))
                                             : renderContext();
        FieldImage out = renderOne(op, in, ctx);
        Picture pic{nullptr, in.bufferWidth, in.bufferHeight, in.x, in.y, 0, 0};
        PlacedRect rect = placeRect(pic, region(), &ctx, area.left, area.top);
        ASSERT_EQ(firstDifference(out, plainDremwick(in, rect, trial % 2, colour().color)), "")
            << "trial " << trial;
    }
}

TEST_F(Dremwick, NoInputLogsLine82Once)
{
    clearInputs();
    OperatorContext ctx = renderContext();
    EXPECT_EQ(testsupport::call(op, ctx), -1);
    expectOneFailureLine(82, "src\\Dremwick", 0x0BA40000u);
    EXPECT_EQ(totalLeaked(), 0u);
}

