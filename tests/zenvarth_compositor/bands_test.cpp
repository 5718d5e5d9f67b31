// runPasses takes the pictures a band of rows at a time through the passes,
// blurs the key for a glow or a shadow as the bands need it, and runs the
// colour-distance key and the plain composite in one sweep when nothing lies
// between them. Whatever it does, it must leave the bytes of the six passes
// run one after the other over the whole pictures: that is checked here on
// random pictures and random settings, for shapes that give one band, many
// bands, and bands shorter than the blur's window.
#include <gtest/gtest.h>

#include <cstdlib>
#include <random>
#include <vector>

#include "BoxBlur.h"
#include "Pattern.h"
#include "PixelLanes.h"
#include "passes.h"

using passes::Scene;

namespace {

uint32_t pick(std::mt19937 &rng, uint32_t n) { return rng() % n; }

SettingsRect randomRect(std::mt19937 &rng, int w, int h)
{
    return SettingsRect{int16_t(int(pick(rng, uint32_t(w + 20))) - 10), int16_t(int(pick(rng, uint32_t(h + 20))) - 10),
                        int16_t(pick(rng, uint32_t(w + 10))), int16_t(pick(rng, uint32_t(h + 10)))};
}

// Settings that reach every way through runPasses: each keyer, each effect,
// fades, the mask, the opacity and the edge step, the matte areas, a
// preview, now and then the move.
void randomSettings(std::mt19937 &rng, int w, int h)
{
    ZenvarthSettings &s = zenvarth::settings;
    const uint8_t keyers[] = {1, 1, 1, 1, 0, 2, 3, 4, 5, 7, 9, 11, 12};
    s.keyerType = keyers[pick(rng, sizeof keyers)];
    s.effectType = uint8_t(pick(rng, 6));
    s.keyColor = Pixel{255, uint8_t(90 + pick(rng, 40)), uint8_t(200 + pick(rng, 56)), uint8_t(30 + pick(rng, 60))};
    s.colorTolerance = uint8_t(pick(rng, 4) == 0 ? pick(rng, 256) : pick(rng, 101));
    s.glowSize = uint8_t(pick(rng, 31));
    s.glowColor.alpha = uint8_t(rng());
    s.shadowSoftness = uint8_t(pick(rng, 31));
    s.shadowDistance = uint8_t(pick(rng, 101));
    s.shadowDirection = uint8_t(pick(rng, 9));
    s.shadowColor.alpha = uint8_t(rng());
    s.tintBrightness = uint8_t(pick(rng, 201));
    s.wipeEdgeWidth = uint8_t(pick(rng, 31));
    s.fadeInFrames = uint16_t(pick(rng, 3) == 0 ? pick(rng, 30) : 0);
    s.fadeOutFrames = uint16_t(pick(rng, 3) == 0 ? pick(rng, 30) : 0);
    s.maskEnabled = uint8_t(pick(rng, 4) == 0);
    s.maskOutside = uint8_t(pick(rng, 2));
    s.maskArea = randomRect(rng, w, h);
    s.keyOpacity = uint8_t(pick(rng, 3) == 0 ? pick(rng, 256) : 100);
    s.edgeShrink = uint8_t(pick(rng, 6) == 0 ? 1 + pick(rng, 8) : 0);
    s.wholePicture = uint8_t(pick(rng, 3) != 0);
    s.matteArea = randomRect(rng, w, h);
    s.holeArea = pick(rng, 2) ? SettingsRect{0, 0, 2, 2} : randomRect(rng, w, h);
    s.moveEnabled = uint8_t(pick(rng, 10) == 0);
    s.moveArea = SettingsRect{0, 0, int16_t(w / 2), int16_t(h / 2)};
    s.moveTarget = {int16_t(w / 4), int16_t(h / 4)};
}

// A foreground of backing with a subject and noise, a random background, and
// an output picture of random bytes (the keyer writes every pixel of it).
Scene randomPictures(std::mt19937 &rng, int w, int h)
{
    Scene scene(w, h);
    const Pixel key = zenvarth::settings.keyColor;
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            const uint32_t n = rng();
            Pixel p = key;
            p.y = uint8_t(key.y + int(n % 9) - 4);
            p.u = uint8_t(key.u + int(n >> 8 & 7) - 3);
            p.v = uint8_t(key.v + int(n >> 16 & 7) - 3);
            if ((x * 7 + y * 3) % 23 < 9) p = pixelFromWord(rng());
            p.alpha = (n >> 24) % 5 == 0 ? uint8_t(n >> 28) : 255;
            scene.fgAt(x, y) = p;
            scene.bgAt(x, y) = pixelFromWord(rng());
            scene.outAt(x, y) = pixelFromWord(rng());
        }
    return scene;
}

void setPattern(std::mt19937 &rng, int w, int h)
{
    zenvarth::freePattern();
    zenvarth::pictureWidth = w;
    zenvarth::pictureHeight = h;
    std::vector<uint8_t> source(64);
    for (uint8_t &b : source) b = uint8_t(rng());
    zenvarth::patternBuffer = static_cast<uint8_t *>(std::malloc(size_t(w) * size_t(h)));
    zenvarth::scalePattern(source.data(), 8, 8);
}

class Bands : public ::testing::Test {
protected:
    void SetUp() override { passes::resetEngine(); }
    void TearDown() override { passes::resetEngine(); }
};

} // namespace

TEST_F(Bands, RunPassesGivesTheBytesOfThePassesOneAfterTheOther)
{
    // One band; bands of 63 rows; bands of 16 and 3 rows, shorter than a
    // blur window; a picture narrower than a vector; one pixel.
    const int shapes[][2] = {{37, 41}, {257, 150}, {1000, 40}, {4100, 7}, {3, 500}, {1, 1}};
    std::mt19937 rng(20261209);
    for (auto [w, h] : shapes) {
        for (int round = 0; round < 60; ++round) {
            passes::resetEngine();
            randomSettings(rng, w, h);
            if (zenvarth::settings.effectType == 4) setPattern(rng, w, h);
            const uint32_t count = 2 + pick(rng, 80);
            const uint32_t field = pick(rng, count);
            const bool preview = pick(rng, 4) == 0;
            const Scene start = randomPictures(rng, w, h);

            Scene passes = start;
            passes.bind(field, count, preview);
            zenvarth::matteDone = false;
            zenvarth::buildStartingMatte();
            zenvarth::runKeyer();
            zenvarth::runMovePass();
            zenvarth::runMaskPass();
            zenvarth::runKeyEdgePass();
            zenvarth::runCompositor();

            Scene bands = start;
            bands.bind(field, count, preview);
            zenvarth::matteDone = false;
            zenvarth::runPasses();

            const ZenvarthSettings &s = zenvarth::settings;
            for (size_t i = 0; i < start.fg.size(); ++i) {
                ASSERT_EQ(pixelWord(bands.out[i]), pixelWord(passes.out[i]))
                    << w << "x" << h << " round " << round << " pixel " << i << ": keyer " << int(s.keyerType)
                    << ", effect " << int(s.effectType) << ", field " << field << " of " << count;
                ASSERT_EQ(pixelWord(bands.fg[i]), pixelWord(passes.fg[i])) << w << "x" << h << " round " << round;
                ASSERT_EQ(pixelWord(bands.bg[i]), pixelWord(passes.bg[i])) << w << "x" << h << " round " << round;
            }
        }
    }
}

// A blur that cannot have its work cells leaves the glow and the shadow to
// the plain composite in the bands as in the whole passes.
TEST_F(Bands, WithoutBlurMemoryBandsFallBackLikeThePasses)
{
    std::mt19937 rng(5);
    for (uint8_t effect : {1, 2}) {
        passes::resetEngine();
        zenvarth::settings.effectType = effect;
        zenvarth::settings.shadowSoftness = 4;
        const Scene start = randomPictures(rng, 300, 90);
        zenvarth::blurPlaneAllocator = [](size_t) -> void * { return nullptr; };

        Scene passes = start;
        passes.bind(3, 10);
        zenvarth::matteDone = false;
        zenvarth::buildStartingMatte();
        zenvarth::runKeyer();
        zenvarth::runKeyEdgePass();
        zenvarth::runCompositor();

        Scene bands = start;
        bands.bind(3, 10);
        zenvarth::matteDone = false;
        zenvarth::runPasses();
        zenvarth::blurPlaneAllocator = std::malloc;
        for (size_t i = 0; i < start.fg.size(); ++i) {
            ASSERT_EQ(pixelWord(bands.out[i]), pixelWord(passes.out[i])) << "effect " << int(effect) << " pixel " << i;
            ASSERT_EQ(pixelWord(bands.bg[i]), pixelWord(passes.bg[i])) << "effect " << int(effect) << " pixel " << i;
        }
    }
}

// The hand-written AVX2 sweeps (colour-distance key, the key with the plain
// composite, the plain, glow and shadow blocks, the blur's row totals) must
// give the bytes of the compiler's loops, which are what a processor
// without AVX2 runs: the same renders with them on and off.
TEST_F(Bands, HandWrittenSweepsGiveTheBytesOfTheCompilersLoops)
{
    if (!zenvarth::lanes::handWrittenSweeps()) GTEST_SKIP() << "no hand-written sweeps on this build or processor";
    const int shapes[][2] = {{37, 41}, {1000, 40}, {19, 300}};
    std::mt19937 rng(77);
    for (auto [w, h] : shapes) {
        for (int round = 0; round < 40; ++round) {
            passes::resetEngine();
            randomSettings(rng, w, h);
            zenvarth::settings.fadeInFrames = zenvarth::settings.fadeOutFrames = 0;   // the blocks' case
            if (round % 2) zenvarth::settings.keyerType = 1;
            const uint32_t count = 2 + pick(rng, 80), field = pick(rng, count);
            const Scene start = randomPictures(rng, w, h);

            Scene fast = start;
            fast.bind(field, count);
            zenvarth::matteDone = false;
            zenvarth::runPasses();

            Scene plain = start;
            plain.bind(field, count);
            zenvarth::matteDone = false;
            setenv("OPS_PLAIN_KERNELS", "1", 1);
            zenvarth::runPasses();
            unsetenv("OPS_PLAIN_KERNELS");

            const ZenvarthSettings &s = zenvarth::settings;
            for (size_t i = 0; i < start.fg.size(); ++i) {
                ASSERT_EQ(pixelWord(fast.out[i]), pixelWord(plain.out[i]))
                    << w << "x" << h << " round " << round << " pixel " << i << ": keyer " << int(s.keyerType)
                    << ", effect " << int(s.effectType);
                ASSERT_EQ(pixelWord(fast.bg[i]), pixelWord(plain.bg[i])) << w << "x" << h << " round " << round;
            }
        }
    }
}
