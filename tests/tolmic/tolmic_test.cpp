#include <cmath>

#include "contract/helpers.h"
#include "testsupport.h"

using namespace hostrt;
using testsupport::px;

namespace {

// The rule exactly as written, per pixel, in double precision.
Pixel plainTolmic(Pixel p, const CachedAverage &avg, int32_t tol, int32_t nearF, int32_t farF)
{
    double d = 30.0 * std::abs(p.y - avg.y) + 60.0 * std::abs(p.u - avg.u) +
               60.0 * std::abs(p.v - avg.v);
    double t = ((d * (100 - tol)) / 1500 - 100) * 255 / 55;
    if (t > 255) t = 255;
    else if (t < 0) t = 0;
    double f = t >= 255 ? farF : nearF;
    auto clamp = [](double v) { return v > 240 ? 240.0 : v < 15 ? 15.0 : v; };
    Pixel out = p;
    out.v = uint8_t(int(clamp(f * (p.v - 128) / 100 + 128)));
    out.u = uint8_t(int(clamp(f * (p.u - 128) / 100 + 128)));
    out.y = uint8_t(int(clamp(double(p.y))));
    return out;
}

class Tolmic : public ::testing::Test {
protected:
    LoadedOperator op;
    void SetUp() override
    {
        resetSession();
        testsupport::loadOperator("Tolmic", op);
        sample().x = 0;
        sample().y = 0;
        sample().width = 2;
        sample().height = 2;
        slider(1).value = 90;
        slider(2).value = 120;
        slider(3).value = 80;
        testsupport::callAction(op, OPACT_INIT);
    }
    void TearDown() override { resetSession(); }
    RectParam &sample() { return testsupport::param<RectParam>(op, 0); }
    SliderParam &slider(unsigned i) { return testsupport::param<SliderParam>(op, i); }

    // Renders one field and returns what the operator put.
    FieldImage render(const FieldImage &in, OperatorContext ctx = makeContext(OPACT_RENDER, 0, 2))
    {
        setInputFields(0, {in});
        clearPutFields();
        EXPECT_EQ(testsupport::call(op, ctx), 0);
        EXPECT_EQ(putFields().size(), 1u);
        return putFields().empty() ? FieldImage{} : putFields().back();
    }
};

} // namespace

TEST_F(Tolmic, SampledColourIsNearAndStrengthened)
{
    // Average of the 2x2 sample: Y 100, U 100, V 100.
    slider(1).value = 50;   // far from d = 4 650 on
    FieldImage in = makeField(6, 2, px(100, 100, 100));
    in.at(4, 0) = px(99, 230, 250);   // d = 16 830: far
    FieldImage out = render(in);
    // (100 - 128) * 1.2 + 128 = 94.4 -> 94; luma unchanged.
    EXPECT_EQ(out.at(0, 0).u, 94);
    EXPECT_EQ(out.at(0, 0).v, 94);
    EXPECT_EQ(out.at(0, 0).y, 100);
    // Far: (230 - 128) * 0.8 + 128 = 209.6 -> 209.
    EXPECT_EQ(out.at(4, 0).u, 209);
}

TEST_F(Tolmic, FarBoundaryExactlyAt232500)
{
    // Average Y 20, U 128, V 128 (the sample area is the top-left 2x2).
    FieldImage in = makeField(4, 4, px(20, 128, 128));
    // 450 + 7 620 + 7 680 = 15 750; at tolerance 85: 236 250 >= 232 500, far.
    in.at(3, 3) = px(35, 255, 0);
    // 150 + 7 620 + 7 680 = 15 450; 231 750 < 232 500, near.
    in.at(3, 2) = px(25, 255, 0);
    slider(1).value = 85;
    FieldImage out = render(in);
    EXPECT_EQ(out.at(3, 3).u, 229);   // far: 127 * 0.8 + 128 = 229.6
    EXPECT_EQ(out.at(3, 2).u, 240);   // near: 127 * 1.2 + 128 = 280.4, clamped
    EXPECT_EQ(out.at(3, 2).v, 15);    // near: -128 * 1.2 + 128 = -25.6, clamped
    // At tolerance 90 the boundary is d = 23 250 exactly: 30 * 15 + 60 * 190 + 60 * 190
    // cannot be reached from V 128, so use the average 0 of an empty sample.
    testsupport::callAction(op, OPACT_INIT);
    slider(1).value = 90;
    sample().width = 0;
    FieldImage edge = makeField(2, 1, px(15, 190, 190));   // 450 + 11 400 + 11 400 = 23 250
    edge.at(1, 0) = px(14, 190, 190);                      // 23 220
    out = render(edge);
    EXPECT_EQ(out.at(0, 0).u, uint8_t(int(80.0 * 62 / 100 + 128)));    // far
    EXPECT_EQ(out.at(1, 0).u, uint8_t(int(120.0 * 62 / 100 + 128)));   // near
}

TEST_F(Tolmic, ClampsLumaAndKeepsNeutralChroma)
{
    FieldImage in = makeField(4, 2, px(100, 128, 128));
    in.at(2, 0) = px(10, 128, 128);
    in.at(3, 0) = px(250, 128, 128, 7);
    FieldImage out = render(in);
    EXPECT_EQ(out.at(2, 0).y, 15);
    EXPECT_EQ(out.at(3, 0).y, 240);
    EXPECT_EQ(out.at(3, 0).u, 128);
    EXPECT_EQ(out.at(3, 0).v, 128);
    EXPECT_EQ(out.at(3, 0).alpha, 7);   // alpha never touched
}

TEST_F(Tolmic, NearChromaZeroTurnsNearPixelsGrey)
{
    slider(2).value = 0;
    slider(1).value = 100;   // everything near
    FieldImage out = render(testsupport::randomField(16, 8, 3));
    for (const Pixel &p : out.pixels) {
        EXPECT_EQ(p.u, 128);
        EXPECT_EQ(p.v, 128);
    }
}

TEST_F(Tolmic, AverageIsKeptAcrossRendersUntilInit)
{
    slider(1).value = 50;   // far from d = 4 650 on
    FieldImage first = makeField(4, 2, px(100, 60, 60));
    render(first);
    // The second picture's sample area differs, but the cached average holds:
    // a pixel equal to the first average stays near (factor 120).
    FieldImage second = makeField(4, 2, px(200, 200, 200));
    second.at(3, 1) = px(100, 60, 60);
    sample().x = 2;   // moving the area changes nothing until action 1
    FieldImage out = render(second);
    EXPECT_EQ(out.at(3, 1).u, uint8_t(int(120.0 * (60 - 128) / 100 + 128)));
    EXPECT_EQ(out.at(0, 0).u, uint8_t(int(80.0 * (200 - 128) / 100 + 128)));
    // After action 1 the average is taken again from the new area.
    testsupport::callAction(op, OPACT_INIT);
    sample().x = 0;
    out = render(second);
    EXPECT_EQ(out.at(0, 0).u, 214);   // (200-128)*1.2+128 = 214.4
}

TEST_F(Tolmic, EmptySampleAreaAveragesZero)
{
    sample().width = 0;
    FieldImage in = makeField(4, 2, px(16, 16, 16));
    FieldImage out = render(in);
    // Average 0,0,0: d = 30*16 + 60*16 + 60*16 = 2 400; 2 400 * 10 < 232 500: near.
    EXPECT_EQ(out.at(0, 0).u, 15);   // 1.2*(16-128)+128 = -6.4 -> 15
    // Preview with scaled height 0 also gives the empty average.
    testsupport::callAction(op, OPACT_INIT);
    sample().width = 2;
    sample().height = 1;
    OperatorContext ctx = makeContext(OPACT_RENDER, 0, 2);
    ctx.flags = CTX_PREVIEW;
    ctx.verticalPermille = 500;   // 500 * 1 / 1000 = 0 rows
    FieldImage in2 = makeField(4, 2, px(200, 200, 200));
    in2.at(1, 1) = px(16, 16, 16);
    out = render(in2, ctx);
    EXPECT_EQ(out.at(1, 1).u, 15);                                   // near the zero average
    EXPECT_EQ(out.at(0, 0).u, uint8_t(int(80.0 * 72 / 100 + 128)));  // far
}

TEST_F(Tolmic, SampleAreaOutsideTheBufferIsClipped)
{
    FieldImage in = makeField(4, 2, px(50, 50, 50));
    in.at(3, 1) = px(90, 90, 90);
    sample().x = 3;
    sample().y = 1;
    sample().width = 64;
    sample().height = 32;
    FieldImage out = render(in);
    // Only (3, 1) lies inside: the average is its colour, so it stays near.
    EXPECT_EQ(out.at(3, 1).u, uint8_t(int(120.0 * (90 - 128) / 100 + 128)));
}

TEST_F(Tolmic, VisibleAreaTopShiftsTheSampleInNormalRenders)
{
    FieldImage in = makeField(2, 6, px(50, 50, 50));
    in.at(0, 3) = px(90, 90, 90);
    in.at(0, 5) = px(90, 90, 90);
    sample().x = 0;
    sample().y = 5;
    sample().width = 1;
    sample().height = 1;
    setVisibleArea({0, 5, 720, 576});   // top 5: up by 2 rows, samples (0, 3)
    FieldImage out = render(in);
    EXPECT_EQ(out.at(0, 3).u, uint8_t(int(120.0 * (90 - 128) / 100 + 128)));
    testsupport::callAction(op, OPACT_INIT);
    sample().y = 4;
    setVisibleArea({0, -3, 720, 576});  // top -3: down by 1 row, samples (0, 5)
    out = render(in);
    EXPECT_EQ(out.at(0, 5).u, uint8_t(int(120.0 * (90 - 128) / 100 + 128)));
}

TEST_F(Tolmic, OnlyTheActiveAreaIsProcessed)
{
    FieldImage in = makeField(6, 4, px(50, 200, 200));
    in.x = 1;
    in.y = 1;
    in.width = 3;
    in.height = 2;
    FieldImage out = render(in);
    for (int r = 0; r < 4; ++r)
        for (int c = 0; c < 6; ++c) {
            bool inside = c >= 1 && c < 4 && r >= 1 && r < 3;
            EXPECT_EQ(out.at(c, r).u == 200, !inside) << c << "," << r;
        }
}

TEST_F(Tolmic, TablesMatchThePlainFormulaOnRandomPictures)
{
    // The last two lie outside the sliders' range (a settings file can
    // hold them): the table path takes those.
    const int32_t settings[][3] = {{90, 120, 80}, {0, 200, 0}, {100, 0, 200}, {50, 77, 133},
                                   {85, 150, 10}, {60, 250, 90}, {60, 100, 201}};
    uint32_t seed = 1;
    for (const auto &s : settings) {
        testsupport::callAction(op, OPACT_INIT);
        slider(1).value = s[0];
        slider(2).value = s[1];
        slider(3).value = s[2];
        // Odd widths leave rows that end in less than a vector step.
        FieldImage in = testsupport::randomField(seed % 2 ? 64 : 67, 32, seed);
        ++seed;
        FieldImage out = render(in);
        CachedAverage avg{};
        Picture pic{in.pixels.data(), in.bufferWidth, in.bufferHeight, 0, 0, in.width, in.height};
        takeAverage(avg, pic, PlacedRect{0, 0, 2, 2});
        for (size_t i = 0; i < in.pixels.size(); ++i)
            ASSERT_TRUE(testsupport::samePixel(out.pixels[i],
                                               plainTolmic(in.pixels[i], avg, s[0], s[1], s[2])))
                << "pixel " << i;
    }
}

// Every Y, U, V combination once, in a 4096 x 4096 field, around averages
// inside the range, where the distance takes bytes on both sides of them.
TEST_F(Tolmic, EveryColourMatchesThePlainFormula)
{
    FieldImage cube = makeField(4096, 4096);
    for (size_t i = 0; i < cube.pixels.size(); ++i)
        cube.pixels[i] = px(uint8_t(i >> 16), uint8_t(i >> 8), uint8_t(i), uint8_t(i * 5));
    struct Case {
        Pixel average;
        int32_t tol, nearF, farF;
    };
    const Case cases[] = {{px(57, 240, 110), 90, 120, 80}, {px(128, 100, 160), 45, 200, 3}};
    for (const Case &k : cases) {
        testsupport::callAction(op, OPACT_INIT);
        slider(1).value = k.tol;
        slider(2).value = k.nearF;
        slider(3).value = k.farF;
        render(makeField(2, 2, k.average));   // takes the average
        FieldImage out = render(cube);
        CachedAverage avg{true, k.average.y, k.average.u, k.average.v};
        for (size_t i = 0; i < cube.pixels.size(); ++i)
            ASSERT_TRUE(testsupport::samePixel(out.pixels[i],
                                               plainTolmic(cube.pixels[i], avg, k.tol, k.nearF, k.farF)))
                << "pixel " << i << " tolerance " << k.tol;
    }
}

// Every chroma byte under every factor the sliders offer, against the
// formula in double precision, on rows whose length leaves a partial
// vector at the end.
TEST_F(Tolmic, ChromaScalingMatchesThePlainFormulaForEveryFactorAndByte)
{
    FieldImage in = makeField(259, 1);
    for (int i = 0; i < 259; ++i)
        in.pixels[size_t(i)] = Pixel{uint8_t(i), uint8_t(255 - i % 256), uint8_t(i % 256), uint8_t(i % 256)};
    for (int32_t factor = 0; factor <= 200; ++factor) {
        testsupport::callAction(op, OPACT_INIT);
        slider(2).value = factor;
        slider(3).value = 200 - factor;
        FieldImage out = render(in);
        CachedAverage avg{};
        Picture pic{in.pixels.data(), in.bufferWidth, in.bufferHeight, 0, 0, in.width, in.height};
        takeAverage(avg, pic, PlacedRect{0, 0, 2, 2});
        for (size_t i = 0; i < in.pixels.size(); ++i)
            ASSERT_TRUE(testsupport::samePixel(out.pixels[i],
                                               plainTolmic(in.pixels[i], avg, 90, factor, 200 - factor)))
                << "factor " << factor << ", pixel " << i;
    }
}

TEST_F(Tolmic, NoInputLogsLine89AndReturnsMinusOne)
{
    clearInputs();
    FieldImage keep = makeField(2, 2, px(90, 90, 90));
    OperatorContext ctx = makeContext(OPACT_RENDER, 0, 2);
    EXPECT_EQ(testsupport::call(op, ctx), -1);
    ASSERT_EQ(logLines().size(), 1u);
    const LogLine &l = logLines()[0];
    EXPECT_EQ(l.severity, 4);
    EXPECT_EQ(l.line, 89);
    EXPECT_EQ(l.source, "src\\Tolmic");
    EXPECT_EQ(l.moduleCode, 0x0B6F0000u);
    EXPECT_EQ(l.text, " ");
    // The failed render took no average: the next one samples.
    FieldImage out = render(keep);
    EXPECT_EQ(out.at(0, 0).u, uint8_t(int(120.0 * (90 - 128) / 100 + 128)));
    EXPECT_EQ(totalLeaked(), 0u);
}

TEST_F(Tolmic, NearFarThresholdMatchesThePlainFormulaForEveryTolerance)
{
    // Every (U, V) pair with varied luma, so the distances cover the whole
    // range around each tolerance's boundary, also for tolerances a host
    // should never send.
    FieldImage in = makeField(256, 256);
    for (int u = 0; u < 256; ++u)
        for (int v = 0; v < 256; ++v) in.at(u, v) = px(uint8_t((u * 7 + v * 3) & 255), uint8_t(u), uint8_t(v));
    sample().x = 0;
    sample().y = 0;
    sample().width = 1;
    sample().height = 1;   // average = pixel (0, 0): Y 0, U 0, V 0
    CachedAverage avg{true, 0, 0, 0};
    for (int32_t tol : {0, 1, 37, 50, 85, 90, 99, 100, 101, -3, 1000}) {
        testsupport::callAction(op, OPACT_INIT);
        slider(1).value = tol;
        FieldImage out = render(in);
        for (size_t i = 0; i < in.pixels.size(); ++i)
            ASSERT_TRUE(testsupport::samePixel(out.pixels[i], plainTolmic(in.pixels[i], avg, tol, 120, 80)))
                << "tolerance " << tol << ", pixel " << i;
    }
}
