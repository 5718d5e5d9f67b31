// The render driver: fetching and releasing pictures, failures, the fade
// clamp, the preview mapping and clamping of the rectangles, and the
// restore of the settings.
#include <cstring>

#include "SettingsTable.h"
#include "ZenvarthRender.h"
#include "testsupport.h"

using namespace hostrt;
using namespace zenvarth;

namespace {

void resetEngine()
{
    resetSession();
    settings = {};
    applyDefaultSettings();
    foregroundPicture = backgroundPicture = outputPicture = nullptr;
    pictureWidth = pictureHeight = 0;
    renderFieldCount = renderFieldNumber = 0;
    matteDone = false;
}

class ZenvarthDriver : public ::testing::Test {
protected:
    void SetUp() override { resetEngine(); }
    void TearDown() override
    {
        foregroundPicture = nullptr;
        resetSession();
    }

    int32_t render(OperatorContext ctx)
    {
        int32_t result = callOperator(&runAction, ctx);
        EXPECT_EQ(lastCallHeld(), 0u) << "pictures still held after the render";
        return result;
    }

    // The settings as one render of a picture of this size sees them.
    Picture picture{nullptr, 720, 288, 0, 0, 720, 288};
    void prepare(const OperatorContext &ctx, uint32_t fieldCount = 100)
    {
        foregroundPicture = &picture;
        pictureWidth = picture.bufferWidth;
        pictureHeight = picture.bufferHeight;
        renderFieldCount = fieldCount;
        prepareRenderSettings(ctx);
    }

    static OperatorContext preview(int16_t num, int16_t den, int16_t permille = 1000)
    {
        OperatorContext ctx = makeContext(OPACT_RENDER, 0, 100);
        ctx.flags = CTX_PREVIEW;
        ctx.previewScaleNum = num;
        ctx.previewScaleDen = den;
        ctx.verticalPermille = permille;
        return ctx;
    }
};

void expectRect(const SettingsRect &r, int x, int y, int w, int h)
{
    EXPECT_EQ(r.x, x);
    EXPECT_EQ(r.y, y);
    EXPECT_EQ(r.width, w);
    EXPECT_EQ(r.height, h);
}

void expectFailureLogged(int32_t line)
{
    ASSERT_EQ(logLines().size(), 1u);
    const LogLine &l = logLines()[0];
    EXPECT_EQ(l.severity, 4);
    EXPECT_EQ(l.line, line);
    EXPECT_EQ(l.source, "src\\Zenvarth");
    EXPECT_EQ(l.moduleCode, 0x0BBD0000u);
    EXPECT_EQ(l.text, " ");
}

// ---------------------------------------------------------------- whole renders

TEST_F(ZenvarthDriver, RenderHandsBackOnePictureAndKeepsNoHandle)
{
    setInputFields(1, {testsupport::randomField(16, 8, 1)});
    setInputFields(0, {testsupport::randomField(16, 8, 2)});
    OperatorContext ctx = makeContext(OPACT_RENDER, 0, 2);
    EXPECT_EQ(render(ctx), 0);
    ASSERT_EQ(putFields().size(), 1u);
    EXPECT_EQ(putFields()[0].bufferWidth, 16);
    EXPECT_EQ(putFields()[0].bufferHeight, 8);
    EXPECT_TRUE(logLines().empty());
    EXPECT_EQ(foregroundPicture, nullptr);
    EXPECT_EQ(backgroundPicture, nullptr);
    EXPECT_EQ(outputPicture, nullptr);
    EXPECT_EQ(renderFieldCount, 2u);
}

struct FailureCase {
    const char *what;
    int fgHeight, bgHeight;     // 0: the input has no field
    int outHeight;              // standard size of the output; -1: allocation fails
    int32_t line;
};

TEST_F(ZenvarthDriver, EachFailureLogsItsLineAndHoldsNoPicture)
{
    const FailureCase cases[] = {
        {"no foreground", 0, 4, 4, 256},
        {"no background", 4, 0, 4, 262},
        {"background of another size", 4, 6, 4, 262},
        {"no output", 4, 4, -1, 268},
        {"output of another size", 4, 4, 3, 268},
    };
    for (const FailureCase &c : cases) {
        SCOPED_TRACE(c.what);
        resetEngine();
        settings.fadeInFrames = 50;
        settings.sampleArea = {-3, 500, 2000, 7};
        const ZenvarthSettings before = settings;
        setInputFields(1, c.fgHeight ? std::vector{makeField(8, c.fgHeight)} : std::vector<FieldImage>{});
        setInputFields(0, c.bgHeight ? std::vector{makeField(8, c.bgHeight)} : std::vector<FieldImage>{});
        if (c.outHeight < 0) failAllocation(0);
        else setStandardSize(8, int16_t(c.outHeight));

        EXPECT_EQ(render(makeContext(OPACT_RENDER, 0, 20)), -1);
        expectFailureLogged(c.line);
        EXPECT_TRUE(putFields().empty());
        EXPECT_EQ(heldPictureCount(), 0u);
        EXPECT_EQ(foregroundPicture, nullptr);
        EXPECT_EQ(backgroundPicture, nullptr);
        EXPECT_EQ(outputPicture, nullptr);
        EXPECT_EQ(std::memcmp(&settings, &before, sizeof before), 0);
    }
}

TEST_F(ZenvarthDriver, RenderRestoresEveryStoredSetting)
{
    // Rectangles partly outside the picture, a preview scale and fades
    // longer than the section: the render changes all of them for itself.
    settings.sampleArea = {-20, -7, 900, 40};
    settings.keyArea = {30, 2, 5, 500};
    settings.matteArea = {0, 0, 999, 999};
    settings.holeArea = {-1, 3, 2, 2};
    settings.moveArea = {10, 1, 20, 20};
    settings.moveTarget = {25, -4};
    settings.maskArea = {-100, -100, 50, 50};
    settings.fadeInFrames = 30;
    settings.fadeOutFrames = 30;
    settings.moveEnabled = 1;
    settings.maskEnabled = 1;
    settings.wholePicture = 0;
    const ZenvarthSettings before = settings;

    for (bool isPreviewRender : {false, true}) {
        SCOPED_TRACE(isPreviewRender ? "preview" : "full");
        setInputFields(1, {testsupport::randomField(32, 8, 3)});
        setInputFields(0, {testsupport::randomField(32, 8, 4)});
        OperatorContext ctx = isPreviewRender ? preview(1, 2, 500) : makeContext(OPACT_RENDER, 0, 40);
        ctx.fieldCount = 40;
        EXPECT_EQ(render(ctx), 0);
        EXPECT_EQ(std::memcmp(&settings, &before, sizeof before), 0);
    }
}

// ---------------------------------------------------------------- fades

TEST_F(ZenvarthDriver, FadesAreClampedForTheRenderAndRestoredAfter)
{
    settings.fadeInFrames = 30;
    settings.fadeOutFrames = 30;
    prepare(makeContext(OPACT_RENDER), 40);
    EXPECT_EQ(settings.fadeInFrames, 30);
    EXPECT_EQ(settings.fadeOutFrames, 10);
    restoreRenderSettings();
    EXPECT_EQ(settings.fadeInFrames, 30);
    EXPECT_EQ(settings.fadeOutFrames, 30);

    settings.fadeInFrames = 50;
    prepare(makeContext(OPACT_RENDER), 40);
    EXPECT_EQ(settings.fadeInFrames, 40);
    EXPECT_EQ(settings.fadeOutFrames, 0);
    restoreRenderSettings();
    EXPECT_EQ(settings.fadeInFrames, 50);
    EXPECT_EQ(settings.fadeOutFrames, 30);

    // Fades that fit the section stay as they are.
    settings.fadeInFrames = 10;
    settings.fadeOutFrames = 29;
    prepare(makeContext(OPACT_RENDER), 40);
    EXPECT_EQ(settings.fadeInFrames, 10);
    EXPECT_EQ(settings.fadeOutFrames, 29);
    restoreRenderSettings();
}

// ---------------------------------------------------------------- rectangles

TEST_F(ZenvarthDriver, FullRenderClampsToThePicture)
{
    settings.maskArea = {-10, 5, 100, 50};
    settings.sampleArea = {700, 280, 100, 50};
    settings.moveTarget = {680, 270};
    settings.keyArea = {800, 300, 10, 10};
    prepare(makeContext(OPACT_RENDER));
    expectRect(settings.matteArea, 0, 0, 720, 288);
    expectRect(settings.maskArea, 0, 5, 100, 50);       // width kept
    expectRect(settings.sampleArea, 700, 280, 20, 8);
    // Past the picture: a negative size, which selects nothing.
    expectRect(settings.keyArea, 800, 300, -80, -12);
    // The move block is cut where its target leaves the picture.
    expectRect(settings.moveArea, 100, 50, 40, 18);
    EXPECT_EQ(settings.moveTarget.x, 680);
    EXPECT_EQ(settings.moveTarget.y, 270);
    expectRect(settings.holeArea, 0, 0, 2, 2);
    restoreRenderSettings();
    expectRect(settings.maskArea, -10, 5, 100, 50);
    expectRect(settings.matteArea, 0, 0, 999, 999);
}

TEST_F(ZenvarthDriver, HalfScalePreviewWithThePictureAsOrigin)
{
    picture.x = 0;
    picture.y = 0;
    prepare(preview(1, 2));
    expectRect(settings.keyArea, 50, 25, 100, 50);
    expectRect(settings.sampleArea, 50, 25, 50, 25);
    expectRect(settings.holeArea, 0, 0, 1, 1);
    expectRect(settings.moveArea, 50, 25, 100, 50);
    EXPECT_EQ(settings.moveTarget.x, 100);
    EXPECT_EQ(settings.moveTarget.y, 50);
    restoreRenderSettings();
    expectRect(settings.keyArea, 100, 50, 200, 100);
}

TEST_F(ZenvarthDriver, PreviewOriginFromTheActiveAreaOnNewerGui)
{
    picture.x = 10;
    picture.y = 4;
    setTgVersion(51);
    prepare(preview(1, 2, 500));
    // From the origin: (x - x0) * s / d.
    expectRect(settings.keyArea, 45, 23, 100, 50);
    // Placed like the rectangle operators: x * s / d + x0, the vertical
    // factor applied to y and height.
    expectRect(settings.moveArea, 60, 16, 100, 25);
    EXPECT_EQ(settings.moveTarget.x, 110);
    EXPECT_EQ(settings.moveTarget.y, 29);
    restoreRenderSettings();
}

TEST_F(ZenvarthDriver, PreviewOriginFromTheVisibleAreaOnOlderGui)
{
    picture.x = 10;     // not used by the older GUI
    setTgVersion(50);
    VisibleArea area;
    area.left = 6;
    area.top = -3;      // halved toward zero: -1
    setVisibleArea(area);
    prepare(preview(1, 2, 500));
    expectRect(settings.keyArea, 47, 25, 100, 50);
    expectRect(settings.moveArea, 56, 11, 100, 25);
    EXPECT_EQ(settings.moveTarget.x, 106);
    EXPECT_EQ(settings.moveTarget.y, 24);
    restoreRenderSettings();
}

TEST_F(ZenvarthDriver, PreviewScaleThatIsNotPositiveMapsAsFullSize)
{
    for (auto [num, den] : {std::pair{0, 2}, std::pair{1, 0}, std::pair{-1, 2}, std::pair{2, -1},
                            std::pair{0, 0}}) {
        SCOPED_TRACE(testing::Message() << num << "/" << den);
        prepare(preview(int16_t(num), int16_t(den)));
        expectRect(settings.keyArea, 100, 50, 200, 100);
        expectRect(settings.maskArea, 100, 40, 500, 248);
        restoreRenderSettings();
    }
}

TEST_F(ZenvarthDriver, PreviewRenderUsesTheMappedRectangles)
{
    // The mask pass clears the key inside the mapped maskArea; with the
    // pass-through keyer the output key shows where it lay.
    settings.keyerType = 0;
    settings.maskEnabled = 1;
    settings.maskOutside = 0;
    settings.maskArea = {4, 2, 6, 4};
    setInputFields(1, {makeField(8, 4, Pixel{255, 128, 128, 100})});
    setInputFields(0, {makeField(8, 4)});
    EXPECT_EQ(render(preview(1, 2)), 0);
    ASSERT_EQ(putFields().size(), 1u);
    const FieldImage &out = putFields()[0];
    for (int row = 0; row < 4; ++row)
        for (int col = 0; col < 8; ++col) {
            bool inside = col >= 2 && col < 5 && row >= 1 && row < 3;
            EXPECT_EQ(out.at(col, row).alpha, inside ? 0 : 255) << col << "," << row;
        }
}

} // namespace
