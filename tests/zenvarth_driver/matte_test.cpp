// The starting matte and the move and mask passes on pictures of a few
// pixels, run directly on the engine's picture statics.
#include <cstring>

#include "SettingsTable.h"
#include "ZenvarthRender.h"
#include "testsupport.h"

using namespace hostrt;
using namespace zenvarth;

namespace {

// A picture of the engine's kind over a host-side field.
struct TestPicture {
    FieldImage image;
    Picture picture{};
    TestPicture(FieldImage field) : image(std::move(field))
    {
        picture = Picture{image.pixels.data(), image.bufferWidth, image.bufferHeight,
                          0, 0, image.bufferWidth, image.bufferHeight};
    }
    Pixel &at(int col, int row) { return image.at(col, row); }
};

class ZenvarthPasses : public ::testing::Test {
protected:
    void SetUp() override
    {
        resetSession();
        settings = {};
        applyDefaultSettings();
        matteDone = false;
        rectsMapped = false;
    }
    void TearDown() override
    {
        foregroundPicture = outputPicture = nullptr;
        resetSession();
    }
    void useForeground(TestPicture &p)
    {
        foregroundPicture = &p.picture;
        pictureWidth = p.image.bufferWidth;
        pictureHeight = p.image.bufferHeight;
    }
    void useOutput(TestPicture &p)
    {
        outputPicture = &p.picture;
        pictureWidth = p.image.bufferWidth;
        pictureHeight = p.image.bufferHeight;
        setStandardSize(p.image.bufferWidth, p.image.bufferHeight);
    }
    void buildMatte()
    {
        matteDone = false;
        buildStartingMatte();
    }
};

// Alpha 255 exactly inside the given rectangles minus the hole.
void expectMatte(TestPicture &p, const SettingsRect &matte, const SettingsRect *hole)
{
    auto inside = [](const SettingsRect &r, int c, int row) {
        return c >= r.x && c < r.x + r.width && row >= r.y && row < r.y + r.height;
    };
    for (int row = 0; row < p.image.bufferHeight; ++row)
        for (int c = 0; c < p.image.bufferWidth; ++c) {
            bool keyed = inside(matte, c, row) && !(hole && inside(*hole, c, row));
            ASSERT_EQ(p.at(c, row).alpha, keyed ? 255 : 0) << "pixel " << c << "," << row;
        }
}

// ---------------------------------------------------------------- starting matte

TEST_F(ZenvarthPasses, WholePictureKeysEveryPixelAndIgnoresTheHole)
{
    TestPicture fg(testsupport::randomField(40, 40, 5));
    const FieldImage before = fg.image;
    useForeground(fg);
    settings.holeArea = {10, 10, 20, 20};
    settings.matteArea = {1, 1, 2, 2};
    buildMatte();
    for (size_t i = 0; i < fg.image.pixels.size(); ++i) {
        ASSERT_EQ(fg.image.pixels[i].alpha, 255);
        Pixel a = fg.image.pixels[i], b = before.pixels[i];
        ASSERT_TRUE(a.y == b.y && a.u == b.u && a.v == b.v) << "colour changed at " << i;
    }
    EXPECT_TRUE(matteDone);
}

TEST_F(ZenvarthPasses, MatteAreaAndHoles)
{
    TestPicture fg(testsupport::randomField(8, 6, 6));
    useForeground(fg);
    settings.wholePicture = 0;

    settings.matteArea = {0, 0, 999, 999};     // larger than the picture
    buildMatte();
    expectMatte(fg, {0, 0, 8, 6}, nullptr);

    settings.matteArea = {2, 1, 5, 3};
    buildMatte();
    expectMatte(fg, settings.matteArea, nullptr);

    settings.matteArea = {0, 0, 8, 6};
    settings.holeArea = {0, 0, 2, 3};
    buildMatte();
    expectMatte(fg, settings.matteArea, &settings.holeArea);

    settings.holeArea = {3, 2, 4, 9};           // runs past the bottom
    buildMatte();
    expectMatte(fg, settings.matteArea, &settings.holeArea);

    settings.holeArea = {0, 0, 2, 2};           // no hole
    buildMatte();
    expectMatte(fg, settings.matteArea, nullptr);

    settings.matteArea = {5, 1, -2, 3};         // a negative size selects nothing
    buildMatte();
    expectMatte(fg, {0, 0, 0, 0}, nullptr);
}

TEST_F(ZenvarthPasses, MatteIsBuiltOncePerRender)
{
    TestPicture fg(makeField(4, 2, Pixel{7, 128, 128, 16}));
    useForeground(fg);
    matteDone = true;
    buildStartingMatte();
    EXPECT_EQ(fg.at(0, 0).alpha, 7);
    matteDone = false;
    buildStartingMatte();
    EXPECT_EQ(fg.at(0, 0).alpha, 255);
    fg.at(0, 0).alpha = 9;
    buildStartingMatte();
    EXPECT_EQ(fg.at(0, 0).alpha, 9);
}

TEST_F(ZenvarthPasses, HalfScalePreviewKeepsNoHoleAndKeepsARealSmallOne)
{
    TestPicture fg(makeField(8, 4));
    OperatorContext ctx = makeContext(OPACT_RENDER, 0, 10);
    ctx.flags = CTX_PREVIEW;
    ctx.previewScaleNum = 1;
    ctx.previewScaleDen = 2;
    settings.wholePicture = 0;
    useForeground(fg);

    // Stored 0, 0, 2, 2 means no hole, though half of it is 0, 0, 1, 1.
    prepareRenderSettings(ctx);
    buildStartingMatte();
    restoreRenderSettings();
    expectMatte(fg, {0, 0, 8, 4}, nullptr);

    // A real hole of 2 by 4 becomes 1 by 2 and is punched.
    settings.holeArea = {0, 0, 2, 4};
    prepareRenderSettings(ctx);
    buildStartingMatte();
    restoreRenderSettings();
    SettingsRect half{0, 0, 1, 2};
    expectMatte(fg, {0, 0, 8, 4}, &half);

    // A stored hole that only clamping turns into 0, 0, 2, 2 is still a hole.
    settings.holeArea = {-4, 0, 2, 2};
    ctx.flags = 0;
    prepareRenderSettings(ctx);
    buildStartingMatte();
    restoreRenderSettings();
    SettingsRect clamped{0, 0, 2, 2};
    expectMatte(fg, {0, 0, 8, 4}, &clamped);
}

// ---------------------------------------------------------------- move pass

// The move as the rules state it, on a copy: the block (limited to the
// picture at source and target) loses its key at the source and is set down
// whole at the target from the untouched picture.
FieldImage plainMove(const FieldImage &in, SettingsRect area, SettingsPoint target)
{
    FieldImage out = in;
    const int W = in.bufferWidth, H = in.bufferHeight;
    for (int dy = 0; dy < area.height; ++dy)
        for (int dx = 0; dx < area.width; ++dx) {
            int sx = area.x + dx, sy = area.y + dy;
            bool sourceIn = sx >= 0 && sx < W && sy >= 0 && sy < H;
            bool targetFits = target.x + dx < W && target.y + dy < H;
            if (sourceIn && targetFits) out.at(sx, sy).alpha = 0;
        }
    for (int dy = 0; dy < area.height; ++dy)
        for (int dx = 0; dx < area.width; ++dx) {
            int sx = area.x + dx, sy = area.y + dy, tx = target.x + dx, ty = target.y + dy;
            if (sx >= 0 && sx < W && sy >= 0 && sy < H && tx >= 0 && tx < W && ty >= 0 && ty < H)
                out.at(tx, ty) = in.at(sx, sy);
        }
    return out;
}

void expectSamePicture(const FieldImage &got, const FieldImage &want)
{
    for (int row = 0; row < want.bufferHeight; ++row)
        for (int c = 0; c < want.bufferWidth; ++c)
            ASSERT_EQ(pixelWord(got.at(c, row)), pixelWord(want.at(c, row))) << c << "," << row;
}

TEST_F(ZenvarthPasses, MoveOfTheDefaultBlock)
{
    TestPicture out(testsupport::randomField(400, 200, 7));
    const FieldImage before = out.image;
    useOutput(out);
    settings.moveEnabled = 1;
    runMovePass();
    EXPECT_EQ(heldPictureCount(), 0u);
    EXPECT_TRUE(logLines().empty());

    EXPECT_EQ(out.at(100, 50).alpha, 0);
    EXPECT_EQ(out.at(250, 60).alpha, 0);
    Pixel kept = before.at(100, 50);
    kept.alpha = 0;
    EXPECT_EQ(pixelWord(out.at(100, 50)), pixelWord(kept));       // colour stays
    EXPECT_EQ(pixelWord(out.at(200, 100)), pixelWord(before.at(100, 50)));
    EXPECT_EQ(pixelWord(out.at(250, 110)), pixelWord(before.at(150, 60)));   // overlap
    EXPECT_EQ(pixelWord(out.at(399, 199)), pixelWord(before.at(299, 149)));
    EXPECT_EQ(pixelWord(out.at(99, 50)), pixelWord(before.at(99, 50)));
    expectSamePicture(out.image, plainMove(before, settings.moveArea, settings.moveTarget));
}

TEST_F(ZenvarthPasses, MoveBlockLimitedAtSourceAndTarget)
{
    struct Case {
        SettingsRect area;
        SettingsPoint target;
    };
    // Unclamped, as the editor's preview hands them over.
    const Case cases[] = {
        {{30, 10, 20, 10}, {5, 2}},      // runs off the source
        {{2, 3, 20, 10}, {35, 15}},      // runs off the target
        {{-5, -2, 10, 6}, {20, 4}},      // starts before the picture
        {{4, 4, 10, 6}, {-3, -1}},       // set down partly before the picture
        {{4, 4, 0, 6}, {10, 10}},        // nothing to move
        {{4, 4, -3, 6}, {10, 10}},
        {{50, 4, 3, 3}, {0, 0}},         // wholly outside
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(testing::Message() << c.area.x << "," << c.area.y << "," << c.area.width
                                        << "," << c.area.height << " -> " << c.target.x << ","
                                        << c.target.y);
        TestPicture out(testsupport::randomField(40, 20, 8));
        const FieldImage before = out.image;
        useOutput(out);
        settings.moveEnabled = 1;
        settings.moveArea = c.area;
        settings.moveTarget = c.target;
        runMovePass();
        expectSamePicture(out.image, plainMove(before, c.area, c.target));
        EXPECT_EQ(heldPictureCount(), 0u);
    }
}

TEST_F(ZenvarthPasses, MoveWithoutItsPictureLogsAndLeavesTheKey)
{
    TestPicture out(testsupport::randomField(400, 200, 9));
    const FieldImage before = out.image;
    useOutput(out);
    settings.moveEnabled = 1;
    failAllocation(0);
    runMovePass();
    ASSERT_EQ(logLines().size(), 1u);
    EXPECT_EQ(logLines()[0].line, 4852);
    EXPECT_EQ(logLines()[0].severity, 4);
    EXPECT_EQ(logLines()[0].source, "src\\Zenvarth");
    EXPECT_EQ(logLines()[0].moduleCode, 0x0BBD0000u);
    expectSamePicture(out.image, before);
    EXPECT_EQ(heldPictureCount(), 0u);
}

TEST_F(ZenvarthPasses, OnlyTheValueOneEnablesMoveAndMask)
{
    TestPicture out(testsupport::randomField(400, 200, 10));
    const FieldImage before = out.image;
    useOutput(out);
    settings.moveEnabled = 2;
    settings.maskEnabled = 2;
    settings.maskOutside = 0;
    settings.maskArea = {0, 0, 400, 200};
    failAllocation(0);      // would log if the move tried to run
    runMovePass();
    runMaskPass();
    expectSamePicture(out.image, before);
    EXPECT_TRUE(logLines().empty());
}

// ---------------------------------------------------------------- mask pass

TEST_F(ZenvarthPasses, MaskClearsTheKeyInsideOrOutside)
{
    auto run = [&](uint8_t outside, SettingsRect area) {
        TestPicture out(testsupport::randomField(10, 6, 11));
        const FieldImage before = out.image;
        useOutput(out);
        settings.maskEnabled = 1;
        settings.maskOutside = outside;
        settings.maskArea = area;
        runMaskPass();
        for (int row = 0; row < 6; ++row)
            for (int c = 0; c < 10; ++c) {
                bool in = c >= area.x && c < area.x + area.width && row >= area.y &&
                          row < area.y + area.height;
                Pixel want = before.at(c, row);
                if (outside ? !in : in) want.alpha = 0;
                EXPECT_EQ(pixelWord(out.at(c, row)), pixelWord(want))
                    << "outside " << int(outside) << " pixel " << c << "," << row;
            }
    };
    run(0, {2, 1, 4, 3});
    run(1, {2, 1, 4, 3});
    run(1, {0, 0, 10, 6});      // covers the picture: nothing changes
    run(1, {0, 0, 20, 60});
    run(0, {3, 2, -2, 2});      // empty: nothing changes
    run(1, {3, 2, 0, 2});       // empty: everything is outside
    run(0, {-3, -2, 5, 4});
}

} // namespace
