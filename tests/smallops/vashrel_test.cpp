#include <cmath>

#include "smallops.h"

using namespace hostrt;
using namespace smallops;
using testsupport::px;

namespace {

// The rule exactly as written, per pixel, in double precision.
Pixel plainVashrel(Pixel p, const CachedAverage &avg, int32_t tol, Pixel target, uint32_t lumaMode)
{
    double d = 30.0 * std::abs(p.y - avg.y) + 60.0 * std::abs(p.u - avg.u) +
               60.0 * std::abs(p.v - avg.v);
    double t = ((d * (100 - tol)) / 1500 - 100) * 255 / 55;
    if (t > 255) t = 255;
    else if (t < 0) t = 0;
    double w = 255 - t;
    int dY = avg.y - target.y, dU = avg.u - target.u, dV = avg.v - target.v;
    auto clamp = [](double v) { return v > 240 ? 240.0 : v < 16 ? 16.0 : v; };
    double y = p.y - dY * w / 255;
    double u = p.u - dU * w / 255;
    double v = p.v - dV * w / 255;
    Pixel out = p;
    out.v = uint8_t(int(clamp(v)));
    out.u = uint8_t(int(clamp(u)));
    if (lumaMode != 0) out.y = uint8_t(int(clamp(y)));
    return out;
}

class Vashrel : public ::testing::Test {
protected:
    LoadedOperator op;
    void SetUp() override
    {
        resetSession();
        testsupport::loadOperator("Vashrel", op);
        setRect(sample(), 0, 0, 2, 2);
        tolerance().value = 85;
        target().color = pixelFromWord(BLUE_DEFAULT);
        lumaMode().value = 0;
        testsupport::callAction(op, OPACT_INIT);
    }
    void TearDown() override { resetSession(); }
    RectParam &sample() { return testsupport::param<RectParam>(op, 0); }
    SliderParam &tolerance() { return testsupport::param<SliderParam>(op, 1); }
    ColorParam &target() { return testsupport::param<ColorParam>(op, 2); }
    ChoiceParam &lumaMode() { return testsupport::param<ChoiceParam>(op, 3); }

    // Starts a run whose average is the given colour, taken from a small
    // uniform field.
    void startRunWithAverage(Pixel colour)
    {
        testsupport::callAction(op, OPACT_INIT);
        renderOne(op, makeField(2, 2, colour));
    }
};

} // namespace

TEST_F(Vashrel, ChoiceEntriesSitRightBehindTheChoiceRecord)
{
    const auto &info = op.info();
    ASSERT_EQ(info.params.size(), 4u);
    const auto *choice = static_cast<const ChoiceParam *>(info.params[3].record);
    EXPECT_EQ(static_cast<const void *>(choice->entries),
              static_cast<const void *>(reinterpret_cast<const char *>(choice) +
                                        sizeof(ChoiceParam)));
}

TEST_F(Vashrel, AverageColourBecomesTheTarget)
{
    FieldImage in = makeField(4, 2, px(100, 100, 100, 9));
    FieldImage out = renderOne(op, in);
    EXPECT_EQ(out.at(3, 1).u, 240);
    EXPECT_EQ(out.at(3, 1).v, 110);
    EXPECT_EQ(out.at(3, 1).y, 100);   // lumaMode 0: chroma only
    EXPECT_EQ(out.at(3, 1).alpha, 9);
    lumaMode().value = 1;
    out = renderOne(op, in);
    EXPECT_EQ(out.at(3, 1).y, 57);
}

TEST_F(Vashrel, LowerClampIsSixteen)
{
    target().color = px(5, 15, 0);
    lumaMode().value = 1;
    FieldImage out = renderOne(op, makeField(2, 2, px(100, 100, 100)));
    EXPECT_EQ(out.at(0, 0).u, 16);
    EXPECT_EQ(out.at(0, 0).v, 16);
    EXPECT_EQ(out.at(0, 0).y, 16);
}

TEST_F(Vashrel, LumaUntouchedInModeZeroAndClampedInModeOne)
{
    startRunWithAverage(px(100, 100, 100));
    // Far pixels (w = 0) with luma outside 16..240.
    FieldImage in = makeField(2, 1, px(5, 250, 250));
    in.at(1, 0) = px(250, 250, 250);
    FieldImage out = renderOne(op, in);
    EXPECT_EQ(out.at(0, 0).y, 5);
    EXPECT_EQ(out.at(1, 0).y, 250);
    lumaMode().value = 1;
    out = renderOne(op, in);
    EXPECT_EQ(out.at(0, 0).y, 16);
    EXPECT_EQ(out.at(1, 0).y, 240);
}

TEST_F(Vashrel, ChromaIsClampedOnFarPixels)
{
    startRunWithAverage(px(100, 100, 100));
    FieldImage in = makeField(2, 1, px(200, 250, 3));   // d = 3 000 + 9 000 + 5 820: far
    FieldImage out = renderOne(op, in);
    EXPECT_EQ(out.at(0, 0).u, 240);
    EXPECT_EQ(out.at(0, 0).v, 16);
    EXPECT_EQ(out.at(0, 0).y, 200);
}

TEST_F(Vashrel, FallOffWithTheDefaults)
{
    // Average Y 100, U 100, V 100; target Y 57, U 240, V 110: offsets 43, -140, -10.
    startRunWithAverage(px(100, 100, 100));
    lumaMode().value = 1;
    FieldImage in = makeField(3, 1);
    in.at(0, 0) = px(133, 0, 150);   // d = 990 + 6 000 + 3 000 = 9 990: full shift
    in.at(1, 0) = px(125, 0, 200);   // d = 750 + 6 000 + 6 000 = 12 750: t = 127.5
    in.at(2, 0) = px(117, 0, 250);   // d = 510 + 6 000 + 9 000 = 15 510: no change
    FieldImage out = renderOne(op, in);
    EXPECT_TRUE(testsupport::samePixel(out.at(0, 0), px(90, 140, 160)));
    // Half the offset: 125 - 21.5 = 103.5, 0 + 70, 200 + 5.
    EXPECT_TRUE(testsupport::samePixel(out.at(1, 0), px(103, 70, 205)));
    EXPECT_TRUE(testsupport::samePixel(out.at(2, 0), px(117, 16, 240)));   // clamp only
}

TEST_F(Vashrel, ToleranceHundredShiftsEverything)
{
    startRunWithAverage(px(100, 100, 100));
    tolerance().value = 100;
    lumaMode().value = 1;
    FieldImage in = makeField(2, 1, px(200, 30, 40));
    in.at(1, 0) = px(0, 255, 255);
    FieldImage out = renderOne(op, in);
    EXPECT_TRUE(testsupport::samePixel(out.at(0, 0), px(157, 170, 50)));
    EXPECT_TRUE(testsupport::samePixel(out.at(1, 0), px(16, 240, 240)));
}

TEST_F(Vashrel, TargetAlphaHasNoEffect)
{
    FieldImage in = testsupport::randomField(32, 8, 7);
    target().color = px(57, 240, 110, 0);
    FieldImage a = renderOne(op, in);
    target().color = px(57, 240, 110, 255);
    FieldImage b = renderOne(op, in);
    EXPECT_EQ(firstDifference(a, b), "");
    for (size_t i = 0; i < in.pixels.size(); ++i) ASSERT_EQ(a.pixels[i].alpha, in.pixels[i].alpha);
}

TEST_F(Vashrel, AverageIsKeptUntilInit)
{
    startRunWithAverage(px(100, 100, 100));
    // A new picture and a moved sample area do not change the average.
    sample().x = 1;
    FieldImage in = makeField(2, 1, px(100, 100, 100));
    in.at(1, 0) = px(20, 240, 240);   // d = 19 200 from the first average: far
    FieldImage out = renderOne(op, in);
    EXPECT_EQ(out.at(0, 0).v, 110);
    EXPECT_EQ(out.at(1, 0).v, 240);
    testsupport::callAction(op, OPACT_INIT);
    out = renderOne(op, in);   // now the average is (20, 240, 240)
    EXPECT_EQ(out.at(1, 0).v, 110);
    EXPECT_EQ(out.at(0, 0).v, 100);
}

TEST_F(Vashrel, SampleAreaOutsideTheBufferIsClipped)
{
    FieldImage in = makeField(4, 2, px(200, 200, 200));
    in.at(3, 1) = px(60, 60, 60);
    setRect(sample(), 3, 1, 320, 200);
    FieldImage out = renderOne(op, in);
    EXPECT_EQ(out.at(3, 1).u, 240);   // averaged over the one pixel inside
    EXPECT_EQ(out.at(0, 0).u, 200);
    // Wholly outside (also to the left and above): the average is 0, 0, 0.
    testsupport::callAction(op, OPACT_INIT);
    setRect(sample(), -400, -300, 64, 32);
    in.at(0, 0) = px(16, 16, 16);
    out = renderOne(op, in);
    EXPECT_EQ(out.at(0, 0).u, 240);   // near the zero average
    EXPECT_EQ(out.at(1, 0).u, 200);
}

TEST_F(Vashrel, OnlyTheActiveAreaIsProcessed)
{
    FieldImage in = makeField(6, 4, px(100, 100, 100));
    in.x = 1;
    in.y = 1;
    in.width = 3;
    in.height = 2;
    setRect(sample(), 1, 1, 2, 2);
    FieldImage out = renderOne(op, in);
    for (int r = 0; r < 4; ++r)
        for (int c = 0; c < 6; ++c) {
            bool inside = c >= 1 && c < 4 && r >= 1 && r < 3;
            EXPECT_EQ(out.at(c, r).u, inside ? 240 : 100) << c << "," << r;
        }
}

TEST_F(Vashrel, TablesMatchThePlainFormulaOnRandomPictures)
{
    struct Case {
        int32_t tol;
        uint32_t target;
        uint32_t lumaMode;
    };
    const Case cases[] = {{85, BLUE_DEFAULT, 0}, {85, BLUE_DEFAULT, 1}, {0, 0x10F00000, 1},
                          {100, 0xF0101000, 1}, {50, 0x80808000, 1},  {99, 0x00FFFF00, 1},
                          {13, 0xFF00FF00, 1},  {-40, BLUE_DEFAULT, 1}, {250, 0x20E0E000, 0}};
    uint32_t seed = 11;
    for (const Case &k : cases) {
        // Odd widths leave rows that end in less than a vector step.
        FieldImage in = testsupport::randomField(seed % 2 ? 96 : 101, 48, seed);
        ++seed;
        CachedAverage avg{};
        Picture pic{in.pixels.data(), in.bufferWidth, in.bufferHeight, 0, 0, in.width, in.height};
        takeAverage(avg, pic, PlacedRect{0, 0, 2, 2});
        // Plant pixels around the sample's average (away from the 2 x 2
        // sample) so that every weight from full to none occurs.
        for (int i = 1; i < 2000; ++i) {
            Pixel &p = in.pixels[200 + size_t(i) * 2];
            p.y = uint8_t(avg.y + i % 61 - 30);
            p.u = uint8_t(avg.u + i % 37 - 18);
            p.v = uint8_t(avg.v - i % 41 + 20);
        }
        testsupport::callAction(op, OPACT_INIT);
        tolerance().value = k.tol;
        target().color = pixelFromWord(k.target);
        lumaMode().value = k.lumaMode;
        FieldImage out = renderOne(op, in);
        for (size_t i = 0; i < in.pixels.size(); ++i)
            ASSERT_TRUE(testsupport::samePixel(
                out.pixels[i], plainVashrel(in.pixels[i], avg, k.tol, target().color, k.lumaMode)))
                << "pixel " << i << " tolerance " << k.tol;
    }
}

// Tolerance, target and lumaMode are read at every render: changing any of
// them within a run (the average staying) shows at the next render.
TEST_F(Vashrel, SettingsChangedWithinARunTakeEffectAtTheNextRender)
{
    FieldImage in = testsupport::randomField(45, 40, 5);
    CachedAverage avg{};
    Picture pic{in.pixels.data(), in.bufferWidth, in.bufferHeight, 0, 0, in.width, in.height};
    takeAverage(avg, pic, PlacedRect{0, 0, 2, 2});
    for (int i = 1; i < 800; ++i) {
        Pixel &p = in.pixels[90 + size_t(i) * 2];
        p.y = uint8_t(avg.y + i % 61 - 30);
        p.u = uint8_t(avg.u + i % 37 - 18);
        p.v = uint8_t(avg.v - i % 41 + 20);
    }
    struct Step {
        int32_t tol;
        Pixel target;
        uint32_t lumaMode;
    };
    const Step steps[] = {{85, px(57, 240, 110), 1}, {60, px(57, 240, 110), 1},
                          {60, px(57, 240, 111), 1}, {60, px(57, 200, 111), 1},
                          {60, px(20, 200, 111), 1}, {60, px(20, 200, 111), 0},
                          {85, px(57, 240, 110), 1}};
    testsupport::callAction(op, OPACT_INIT);
    for (const Step &k : steps) {
        tolerance().value = k.tol;
        target().color = k.target;
        lumaMode().value = k.lumaMode;
        FieldImage out = renderOne(op, in);
        for (size_t i = 0; i < in.pixels.size(); ++i)
            ASSERT_TRUE(testsupport::samePixel(
                out.pixels[i], plainVashrel(in.pixels[i], avg, k.tol, k.target, k.lumaMode)))
                << "pixel " << i << " tolerance " << k.tol;
    }
}

TEST_F(Vashrel, TablesMatchThePlainFormulaOnEveryColour)
{
    // Every Y, U, V combination once, in a 4096 x 4096 field, against
    // averages and targets at the ends and in the middle of the range.
    FieldImage cube = makeField(4096, 4096);
    for (size_t i = 0; i < cube.pixels.size(); ++i)
        cube.pixels[i] = px(uint8_t(i >> 16), uint8_t(i >> 8), uint8_t(i), uint8_t(i * 7));
    struct Case {
        Pixel average;
        int32_t tol;
        Pixel target;
        bool shortRowsToo;   // also through the rows that end short of a vector step
    };
    const Case cases[] = {{px(100, 100, 100), 85, pixelFromWord(BLUE_DEFAULT)},
                          {px(0, 255, 0), 97, px(255, 0, 255)},
                          {px(128, 128, 128), 30, px(16, 240, 17)},
                          // Offsets a hair above an integer (e.g. -109.99999999999999),
                          // where the double rounding of b - s decides the byte.
                          {px(100, 20, 100), 85, px(210, 240, 200)},
                          // There the rounding goes up only for bytes above a cut:
                          // V 68 (offset -220 at d = 3 000), Y 59 (offset -253).
                          {px(0, 5, 20), 30, px(253, 255, 240), true},
                          // Up for byte 255 alone (offset 150 at d = 1 920).
                          {px(201, 230, 230), 15, px(51, 80, 80), true}};
    // The same colours again in rows of seven pixels, shorter than a vector
    // step, over as many fields as the 16-bit picture height needs.
    std::vector<FieldImage> strips;
    for (size_t first = 0; first < cube.pixels.size(); first += 7 * 32767) {
        strips.push_back(makeField(7, 32767));
        for (size_t i = 0; i < strips.back().pixels.size(); ++i)
            strips.back().pixels[i] = cube.pixels[(first + i) % cube.pixels.size()];
    }
    for (const Case &k : cases) {
        std::vector<const FieldImage *> pictures{&cube};
        if (k.shortRowsToo)
            for (const FieldImage &strip : strips) pictures.push_back(&strip);
        tolerance().value = k.tol;
        target().color = k.target;
        lumaMode().value = 1;
        startRunWithAverage(k.average);
        CachedAverage avg{true, k.average.y, k.average.u, k.average.v};
        for (const FieldImage *in : pictures) {
            FieldImage out = renderOne(op, *in);
            for (size_t i = 0; i < in->pixels.size(); ++i)
                ASSERT_TRUE(testsupport::samePixel(
                    out.pixels[i], plainVashrel(in->pixels[i], avg, k.tol, k.target, 1)))
                    << "pixel " << i << " of " << in->width << " wide rows, tolerance " << k.tol;
        }
    }
}

// Vashrel maps each channel at each of the 1 276 distance steps through one
// shared clamp table, except where the step's offset s lies within 2^-20
// above an integer; such a step gets a byte table of its own, and there
// are 64 of those per channel. Here, for every difference between average
// and target a channel can have and every tolerance that leaves a step
// between full and no weight, no channel needs more than 64.
// Outside the tolerances counted: at 100 and above every weight is full, so
// every s is an integer; below -3000 the weight is partial on at most one
// step (the partial band is 2750 / (100 - tolerance) steps wide).
TEST(VashrelTables, OwnByteTablesNeverRunOutWhateverTheTolerance)
{
    constexpr int STEPS = MAX_COLOR_DISTANCE / 30 + 1;
    constexpr int OWN_TABLES = 64;
    auto justAboveAnInteger = [](double s) {
        double below = std::ceil(s) - 1;
        return s > below && s - below < 0x1p-20;
    };
    int most = 0;
    std::vector<double> partial;
    for (int32_t tol = -3000; tol <= 100; ++tol) {
        partial.clear();
        for (int k = 0; k < STEPS; ++k) {
            double w = 255 - farness(30.0 * k, tol);
            if (w != 0 && w != 255) partial.push_back(w);
        }
        if (tol == -3000) {
            EXPECT_LE(partial.size(), 1u);
        }
        if (tol == 100) {
            EXPECT_TRUE(partial.empty());
        }
        for (int delta = -255; delta <= 255; ++delta) {
            int own = 0;
            for (double w : partial) own += justAboveAnInteger(delta * w / 255);
            most = std::max(most, own);
        }
    }
    EXPECT_LE(most, OWN_TABLES);
    std::printf("at most %d own tables per channel\n", most);
}

TEST_F(Vashrel, NoInputLogsLine90Once)
{
    clearInputs();
    OperatorContext ctx = renderContext();
    EXPECT_EQ(testsupport::call(op, ctx), -1);
    expectOneFailureLine(90, "src\\Vashrel", 0x0BAE0000u);
    // The failed render took no average: the next one samples.
    FieldImage out = renderOne(op, makeField(2, 2, px(60, 60, 60)));
    EXPECT_EQ(out.at(1, 1).u, 240);
    EXPECT_EQ(logLines().size(), 1u);
    EXPECT_EQ(totalLeaked(), 0u);
}

