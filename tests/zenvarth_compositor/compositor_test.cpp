// The compositor's colour rules on small pictures with values worked out by
// hand: the plain composite and its fades, glow, drop shadow, tint and the
// pattern wipe.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <random>

#include "BoxBlur.h"
#include "Pattern.h"
#include "passes.h"

using passes::Scene;

namespace {

Pixel colour(uint8_t y, uint8_t u, uint8_t v, uint8_t alpha = 255) { return Pixel{alpha, v, u, y}; }

uint8_t mix(uint32_t a, uint32_t c, uint32_t t) { return uint8_t((a * (255 - t) + c * t) / 255); }

void expectColour(const Pixel &got, uint8_t y, uint8_t u, uint8_t v, const char *what)
{
    EXPECT_EQ(got.y, y) << what;
    EXPECT_EQ(got.u, u) << what;
    EXPECT_EQ(got.v, v) << what;
}

class Compositor : public ::testing::Test {
protected:
    void SetUp() override { passes::resetEngine(); }
    void TearDown() override
    {
        zenvarth::blurPlaneAllocator = std::malloc;
        passes::resetEngine();
    }

    // Composites one pixel (1 x 1 picture) with key L and returns its colour.
    Pixel one(uint8_t key, Pixel out, Pixel bg, uint32_t field = 0, uint32_t count = 2)
    {
        Scene scene(1, 1, colour(90, 30, 40), bg, out);
        scene.out[0].alpha = key;
        scene.bind(field, count);
        zenvarth::runCompositor();
        EXPECT_EQ(scene.out[0].alpha, key) << "the compositor keeps the key";
        return scene.out[0];
    }

    // A scene of random pictures with random matte and key.
    static Scene randomScene(int w, int h, uint32_t seed)
    {
        Scene scene(w, h);
        std::mt19937 rng(seed);
        for (auto *plane : {&scene.fg, &scene.bg, &scene.out})
            for (Pixel &p : *plane) p = pixelFromWord(rng());
        for (Pixel &p : scene.fg) p.alpha = (p.alpha & 3) == 0 ? 0 : p.alpha;
        for (Pixel &p : scene.out) p.alpha = (p.alpha & 3) == 0 ? 0 : (p.alpha & 3) == 1 ? 255 : p.alpha;
        return scene;
    }
};

void *noMemory(size_t) { return nullptr; }

} // namespace

TEST_F(Compositor, PlainCompositeMixesOutputOverBackground)
{
    const Pixel out = colour(200, 150, 50), bg = colour(100, 20, 220);
    expectColour(one(255, out, bg), 200, 150, 50, "L 255");
    expectColour(one(0, out, bg), 100, 20, 220, "L 0");
    expectColour(one(128, out, bg), 150, mix(20, 150, 128), mix(220, 50, 128), "L 128");
}

TEST_F(Compositor, OutsideTheMatteTheForegroundShows)
{
    for (uint8_t effect = 0; effect <= 5; ++effect) {
        zenvarth::settings.effectType = effect;
        Scene scene(3, 1, colour(90, 30, 40, 0), colour(100, 20, 220), colour(200, 150, 50));
        scene.out[1].alpha = 0;
        scene.bind();
        zenvarth::runCompositor();
        for (int x = 0; x < 3; ++x) expectColour(scene.out[size_t(x)], 90, 30, 40, "M 0");
    }
}

TEST_F(Compositor, FadeInAndFadeOut)
{
    const Pixel out = colour(255, 255, 255), bg = colour(0, 0, 0);
    zenvarth::settings.fadeInFrames = 10;   // E = 20
    EXPECT_EQ(one(255, out, bg, 5, 100).y, 63);
    EXPECT_EQ(one(255, out, bg, 0, 100).y, 0);
    EXPECT_EQ(one(255, out, bg, 20, 100).y, 255);

    zenvarth::settings.fadeInFrames = 0;
    zenvarth::settings.fadeOutFrames = 10;   // X = 20
    EXPECT_EQ(one(255, out, bg, 79, 100).y, 255);
    EXPECT_EQ(one(255, out, bg, 80, 100).y, 242);
    EXPECT_EQ(one(255, out, bg, 99, 100).y, 0);
}

TEST_F(Compositor, FadesLongerThanTheSectionAreLimitedToIt)
{
    const Pixel out = colour(255, 255, 255), bg = colour(0, 0, 0);
    // E = 200 is limited to the section's 40 fields: 10 * 255 / 40.
    zenvarth::settings.fadeInFrames = 100;
    EXPECT_EQ(one(255, out, bg, 10, 40).y, 63);
    // X = 200 limited to 40: the whole section fades out, from 39 * 255 / 40.
    zenvarth::settings.fadeInFrames = 0;
    zenvarth::settings.fadeOutFrames = 100;
    EXPECT_EQ(one(255, out, bg, 0, 40).y, 248);
    EXPECT_EQ(one(255, out, bg, 39, 40).y, 0);
}

TEST_F(Compositor, GlowAroundTheKey)
{
    zenvarth::settings.effectType = 1;
    zenvarth::settings.glowSize = 1;
    const Pixel glow = zenvarth::settings.glowColor;
    Scene scene(12, 6, colour(90, 30, 40), colour(0, 128, 128), colour(200, 100, 60));
    for (int y = 0; y < 6; ++y)
        for (int x = 0; x < 12; ++x) scene.outAt(x, y).alpha = x < 6 ? 0 : 255;
    scene.bind();
    zenvarth::runCompositor();
    // Blurred key 0, 0, 0, 0, 0, 63, 127, 191, 255...: G = min(2B, 255).
    expectColour(scene.outAt(4, 2), 0, 128, 128, "no glow where B is 0");
    expectColour(scene.outAt(5, 2), mix(0, glow.y, 126), mix(128, glow.u, 126), mix(128, glow.v, 126),
                 "B 63");
    expectColour(scene.outAt(8, 2), 200, 100, 60, "inside the key");
}

TEST_F(Compositor, GlowWithFadedKey)
{
    zenvarth::settings.effectType = 1;
    zenvarth::settings.glowSize = 1;
    zenvarth::settings.fadeInFrames = 10;
    const Pixel glow = zenvarth::settings.glowColor;
    Scene scene(12, 6, colour(90, 30, 40), colour(0, 128, 128), colour(200, 100, 60));
    for (int y = 0; y < 6; ++y)
        for (int x = 0; x < 12; ++x) scene.outAt(x, y).alpha = x < 6 ? 0 : 255;
    scene.bind(5, 100);
    zenvarth::runCompositor();
    // K = fade(255) = 63 and the glow G' = fade(255) = 63 under it.
    uint8_t under = mix(0, glow.y, 63);
    EXPECT_EQ(scene.outAt(9, 2).y, mix(under, 200, 63));
    EXPECT_EQ(scene.outAt(5, 2).y, mix(0, glow.y, 5 * 126 / 20));
}

TEST_F(Compositor, SmallGlowInPreviewIsPlainComposite)
{
    Scene glowScene = randomScene(16, 8, 3), plainScene = glowScene;
    zenvarth::settings.effectType = 0;
    plainScene.bind(0, 2, true);
    zenvarth::runCompositor();
    zenvarth::settings.effectType = 1;
    zenvarth::settings.glowSize = 2;
    glowScene.bind(0, 2, true);
    zenvarth::runCompositor();
    for (size_t i = 0; i < glowScene.out.size(); ++i)
        ASSERT_EQ(pixelWord(glowScene.out[i]), pixelWord(plainScene.out[i])) << i;
}

TEST_F(Compositor, EffectsNeedingTheBlurFallBackToPlainWithoutIt)
{
    Scene plainScene = randomScene(16, 8, 5);
    plainScene.bind();
    zenvarth::runCompositor();
    zenvarth::blurPlaneAllocator = noMemory;
    for (uint8_t effect : {uint8_t(1), uint8_t(2)}) {
        Scene scene = randomScene(16, 8, 5);
        zenvarth::settings.effectType = effect;
        scene.bind();
        zenvarth::runCompositor();
        for (size_t i = 0; i < scene.out.size(); ++i)
            ASSERT_EQ(pixelWord(scene.out[i]), pixelWord(plainScene.out[i])) << int(effect) << " " << i;
    }
}

TEST_F(Compositor, ShadowFallsBelowRight)
{
    zenvarth::settings.effectType = 2;
    zenvarth::settings.shadowSoftness = 0;   // the key itself, unblurred
    const Pixel shadow = zenvarth::settings.shadowColor;   // Y 16, alpha 128
    Scene scene(80, 40, colour(90, 30, 40), colour(180, 60, 200), colour(220, 128, 128));
    for (Pixel &p : scene.out) p.alpha = 0;
    scene.outAt(10, 5).alpha = 255;
    scene.bind();
    zenvarth::runCompositor();
    // Direction 3, distance 25: the pixel at (60, 30) samples the key at (10, 5).
    const uint8_t s = uint8_t(255 * 128 / 255);
    expectColour(scene.outAt(60, 30), mix(180, shadow.y, s), mix(60, shadow.u, s), mix(200, shadow.v, s),
                 "shadow");
    expectColour(scene.outAt(59, 30), 180, 60, 200, "beside the shadow");
    expectColour(scene.outAt(60, 29), 180, 60, 200, "above the shadow");
    expectColour(scene.outAt(10, 5), 220, 128, 128, "the keyed pixel");
}

TEST_F(Compositor, ShadowOnForegroundOutsideTheMatte)
{
    zenvarth::settings.effectType = 2;
    zenvarth::settings.shadowSoftness = 0;
    const Pixel shadow = zenvarth::settings.shadowColor;
    Scene scene(80, 40, colour(90, 30, 40, 0), colour(180, 60, 200), colour(220, 128, 128));
    for (Pixel &p : scene.out) p.alpha = 0;
    scene.outAt(10, 5).alpha = 255;
    scene.outAt(11, 5).alpha = 255;
    scene.outAt(61, 30).alpha = 255;
    scene.outAt(62, 30).alpha = 255;
    scene.bind();
    zenvarth::runCompositor();
    // M 0: the shadow lies over the foreground, or over the background where the key is.
    EXPECT_EQ(scene.outAt(60, 30).y, mix(90, shadow.y, 128)) << "over the foreground";
    EXPECT_EQ(scene.outAt(61, 30).y, mix(180, shadow.y, 128)) << "over the background";
    EXPECT_EQ(scene.outAt(62, 30).y, 90) << "no key sampled there";
    EXPECT_EQ(scene.outAt(0, 0).y, 90);
}

TEST_F(Compositor, ShadowOnKeyedPixelUnderPartialKey)
{
    zenvarth::settings.effectType = 2;
    zenvarth::settings.shadowSoftness = 0;
    const Pixel shadow = zenvarth::settings.shadowColor;
    Scene scene(80, 40, colour(90, 30, 40), colour(180, 60, 200), colour(220, 128, 128));
    for (Pixel &p : scene.out) p.alpha = 0;
    scene.outAt(10, 5).alpha = 255;
    scene.outAt(60, 30).alpha = 100;
    scene.bind();
    zenvarth::runCompositor();
    uint8_t under = mix(180, shadow.y, 128);
    EXPECT_EQ(scene.outAt(60, 30).y, mix(under, 220, 100));
}

TEST_F(Compositor, ShadowOffsetInPreview)
{
    zenvarth::settings.effectType = 2;
    zenvarth::settings.shadowSoftness = 2;   // 2 / 3 = 0: unblurred in a preview
    Scene scene(80, 40, colour(90, 30, 40), colour(180, 60, 200), colour(220, 128, 128));
    for (Pixel &p : scene.out) p.alpha = 0;
    scene.outAt(10, 5).alpha = 255;
    scene.bind(0, 2, true);
    zenvarth::runCompositor();
    // dx = (2 * -25) / 3 = -16, dy = -25 / 3 = -8.
    EXPECT_NE(scene.outAt(26, 13).y, 180);
    for (int y = 0; y < 40; ++y)
        for (int x = 0; x < 80; ++x)
            if (!(x == 26 && y == 13) && !(x == 10 && y == 5)) {
                ASSERT_EQ(scene.outAt(x, y).y, 180) << x << "," << y;
            }
}

TEST_F(Compositor, ShadowDirectionNineSitsUnderTheForeground)
{
    zenvarth::settings.effectType = 2;
    zenvarth::settings.shadowDirection = 9;
    zenvarth::settings.shadowSoftness = 1;
    const Pixel shadow = zenvarth::settings.shadowColor;
    Scene scene(12, 6, colour(90, 30, 40), colour(180, 60, 200), colour(220, 128, 128));
    for (int y = 0; y < 6; ++y)
        for (int x = 0; x < 12; ++x) scene.outAt(x, y).alpha = x < 6 ? 0 : 255;
    scene.bind();
    zenvarth::runCompositor();
    // Only the soft edge outside the key shows it: B 63 at column 5.
    EXPECT_EQ(scene.outAt(4, 2).y, 180);
    EXPECT_EQ(scene.outAt(5, 2).y, mix(180, shadow.y, 63 * 128 / 255));
    EXPECT_EQ(scene.outAt(8, 2).y, 220);
}

TEST_F(Compositor, TintScalesBackgroundLumaUnderTheKey)
{
    zenvarth::settings.effectType = 3;
    zenvarth::settings.tintBrightness = 200;
    const Pixel out = colour(30, 40, 50), bg = colour(200, 90, 170);
    expectColour(one(255, out, bg), 255, 90, 170, "capped at 255");
    expectColour(one(0, out, bg), 200, 90, 170, "no key");
    zenvarth::settings.tintBrightness = 50;
    expectColour(one(255, out, bg), 100, 90, 170, "darker");
    expectColour(one(128, out, bg), mix(200, 100, 128), 90, 170, "half key");
}

namespace {

// Sets a pattern for the scene's pictures: byte i of `levels`, repeated.
void setPattern(const Scene &scene, std::initializer_list<uint8_t> levels)
{
    zenvarth::freePattern();
    zenvarth::pictureWidth = scene.width;
    zenvarth::pictureHeight = scene.height;
    std::vector<uint8_t> source(levels);
    zenvarth::patternBuffer = static_cast<uint8_t *>(std::malloc(size_t(scene.width) * scene.height));
    zenvarth::scalePattern(source.data(), uint32_t(source.size()), 1);
}

} // namespace

TEST_F(Compositor, WipeFirstFieldShowsBackgroundAndTheEdge)
{
    zenvarth::settings.effectType = 4;
    zenvarth::settings.fadeInFrames = 10;
    const Pixel edge = zenvarth::settings.wipeEdgeColor;
    Scene scene(4, 1, colour(90, 30, 40), colour(180, 60, 200), colour(220, 128, 128));
    scene.out[2].alpha = 100;
    scene.bind(0, 100);
    setPattern(scene, {0, 5, 5, 11});
    zenvarth::runCompositor();
    // Q = 0: nothing takes part; t = (10 - P) * 255 / 10, R = L * t / 255.
    expectColour(scene.out[0], edge.y, edge.u, edge.v, "P 0, R 255");
    EXPECT_EQ(scene.out[1].y, mix(180, edge.y, 127)) << "P 5";
    EXPECT_EQ(scene.out[2].y, mix(180, edge.y, 100 * 127 / 255)) << "P 5, L 100";
    expectColour(scene.out[3], 180, 60, 200, "P 11: off the edge");
}

TEST_F(Compositor, WipeDuringFadeInAndFadeOut)
{
    zenvarth::settings.effectType = 4;
    zenvarth::settings.fadeInFrames = 10;
    zenvarth::settings.fadeOutFrames = 10;
    zenvarth::settings.wipeEdgeWidth = 10;
    const Pixel edge = zenvarth::settings.wipeEdgeColor;
    {
        Scene scene(4, 1, colour(90, 30, 40), colour(180, 60, 200), colour(220, 128, 128));
        scene.bind(10, 100);   // Q = 10 * 255 / 20 = 127
        setPattern(scene, {100, 126, 127, 200});
        zenvarth::runCompositor();
        EXPECT_EQ(scene.out[0].y, 220) << "P 100 < Q: the foreground, no fade";
        EXPECT_EQ(scene.out[1].y, mix(220, edge.y, 9 * 255 / 10)) << "P 126 on the edge";
        EXPECT_EQ(scene.out[2].y, edge.y) << "P = Q: full edge over the background";
        EXPECT_EQ(scene.out[3].y, 180) << "P 200: the background";
    }
    {
        Scene scene(3, 1, colour(90, 30, 40), colour(180, 60, 200), colour(220, 128, 128));
        scene.bind(90, 100);   // Q = 255 - 9 * 255 / 20 = 141
        setPattern(scene, {100, 141, 250});
        zenvarth::runCompositor();
        EXPECT_EQ(scene.out[0].y, 180) << "P 100 < Q: gone";
        EXPECT_EQ(scene.out[1].y, edge.y) << "P = Q: full edge";
        EXPECT_EQ(scene.out[2].y, 220) << "P 250 >= Q: still shown";
    }
}

TEST_F(Compositor, WipeWithoutFadesOrPatternIsPlainComposite)
{
    Scene plainScene = randomScene(16, 8, 9);
    plainScene.bind(3, 40);
    zenvarth::runCompositor();

    zenvarth::settings.effectType = 4;
    Scene scene = randomScene(16, 8, 9);
    scene.bind(3, 40);
    setPattern(scene, {0, 40, 80, 120, 160, 200, 240, 255});
    zenvarth::runCompositor();
    for (size_t i = 0; i < scene.out.size(); ++i)
        ASSERT_EQ(pixelWord(scene.out[i]), pixelWord(plainScene.out[i])) << "no fades, at " << i;

    // Inside a fade but with no pattern: the dissolve.
    zenvarth::settings.fadeInFrames = 10;
    Scene faded = randomScene(16, 8, 9), fadedPlain = randomScene(16, 8, 9);
    zenvarth::settings.effectType = 0;
    fadedPlain.bind(3, 40);
    zenvarth::runCompositor();
    zenvarth::settings.effectType = 4;
    zenvarth::freePattern();
    faded.bind(3, 40);
    zenvarth::runCompositor();
    for (size_t i = 0; i < faded.out.size(); ++i)
        ASSERT_EQ(pixelWord(faded.out[i]), pixelWord(fadedPlain.out[i])) << "no pattern, at " << i;
}

TEST_F(Compositor, UnknownEffectIsPlainComposite)
{
    Scene plainScene = randomScene(16, 8, 13), scene = randomScene(16, 8, 13);
    zenvarth::settings.fadeOutFrames = 4;
    plainScene.bind(35, 40);
    zenvarth::runCompositor();
    zenvarth::settings.effectType = 77;
    scene.bind(35, 40);
    zenvarth::runCompositor();
    for (size_t i = 0; i < scene.out.size(); ++i)
        ASSERT_EQ(pixelWord(scene.out[i]), pixelWord(plainScene.out[i])) << i;
}

// Outside the fades the plain, glow and shadow composites work four pixels
// at a time; they must give the bytes of the per-pixel rules, written out
// here, on random pictures whose width leaves a partial block, inside and
// outside the fades, with shadows cast in both diagonal directions.
TEST_F(Compositor, PlainGlowAndShadowBlocksMatchThePerPixelRules)
{
    struct Case {
        uint8_t effect;
        uint32_t field, count;
        uint16_t fadeIn, fadeOut;
        uint8_t alpha;       // of the glow or shadow colour
        uint8_t direction;   // of the shadow
    };
    const Case cases[] = {{1, 0, 2, 0, 0, 255, 0},  {1, 7, 40, 0, 0, 128, 0}, {1, 20, 40, 3, 3, 1, 0},
                          {1, 5, 40, 6, 0, 200, 0}, {1, 36, 40, 0, 5, 255, 0}, {1, 41, 40, 0, 0, 77, 0},
                          {2, 0, 2, 0, 0, 128, 7},  {2, 7, 40, 0, 0, 255, 3}, {2, 9, 40, 0, 0, 3, 7},
                          {2, 5, 40, 6, 0, 200, 3}, {2, 36, 40, 0, 5, 90, 7}, {0, 0, 2, 0, 0, 0, 0},
                          {0, 7, 40, 0, 0, 0, 0},   {0, 5, 40, 6, 0, 0, 0},   {0, 36, 40, 0, 5, 0, 0}};
    uint32_t seed = 100;
    for (const Case &c : cases) {
        passes::resetEngine();
        ZenvarthSettings &settings = zenvarth::settings;
        settings.effectType = c.effect;
        settings.glowSize = 2;
        settings.glowColor.alpha = c.alpha;
        settings.shadowColor.alpha = c.alpha;
        settings.shadowSoftness = 1;
        settings.shadowDistance = 2;
        settings.shadowDirection = c.direction;
        settings.fadeInFrames = c.fadeIn;
        settings.fadeOutFrames = c.fadeOut;
        const int w = 23, h = 9;
        Scene scene = randomScene(w, h, seed++);
        const std::vector<Pixel> before = scene.out;
        scene.bind(c.field, c.count);
        zenvarth::runCompositor();

        const uint32_t in = std::min(2u * c.fadeIn, c.count), out = std::min(2u * c.fadeOut, c.count);
        auto fade = [&](uint32_t v) {
            if (in != 0 && c.field < in) v = c.field * v / in;
            if (out != 0 && c.field >= c.count - out) v = (c.count - c.field - 1) * v / out;
            return v > 255 ? 255u : v;
        };
        auto mixed = [](Pixel a, Pixel over, uint32_t t) {
            return Pixel{a.alpha, mix(a.v, over.v, t), mix(a.u, over.u, t), mix(a.y, over.y, t)};
        };
        // Direction 7 samples 2 * 2 columns right and 2 rows down; 3 the opposite.
        const int dx = c.direction == 7 ? 4 : -4, dy = c.direction == 7 ? 2 : -2;
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x) {
                // bg.alpha now holds the blurred key.
                const size_t i = size_t(y * w + x);
                const Pixel fg = scene.fg[i], bg = scene.bg[i], was = before[i];
                Pixel want;
                if (c.effect == 0) {
                    want = fg.alpha == 0 ? fg : mixed(bg, was, fade(was.alpha));
                } else if (c.effect == 1) {
                    const Pixel glow = settings.glowColor;
                    want = Pixel{was.alpha, fg.v, fg.u, fg.y};
                    if (fg.alpha != 0) {
                        Pixel under = mixed(bg, glow, fade(glow.alpha * std::min(2u * bg.alpha, 255u) / 255));
                        want = was.alpha == 0 ? under : mixed(under, was, fade(was.alpha));
                    }
                } else {
                    const Pixel shadow = settings.shadowColor;
                    const int sx = x + dx, sy = y + dy;
                    const uint32_t b = sx >= 0 && sx < w && sy >= 0 && sy < h ? scene.bg[size_t(sy * w + sx)].alpha : 0;
                    const uint32_t s = fade(b * shadow.alpha / 255);
                    if (fg.alpha == 0) {
                        want = b == 0 ? fg : mixed(was.alpha > 0 ? bg : fg, shadow, s);
                    } else {
                        Pixel under = b == 0 ? bg : mixed(bg, shadow, s);
                        want = was.alpha == 0 ? under : mixed(under, was, fade(was.alpha));
                    }
                }
                want.alpha = was.alpha;
                ASSERT_EQ(pixelWord(scene.out[i]), pixelWord(want))
                    << "effect " << int(c.effect) << ", field " << c.field << " of " << c.count << ", pixel " << x
                    << "," << y;
            }
    }
}
