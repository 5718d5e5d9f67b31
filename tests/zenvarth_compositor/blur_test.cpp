// The box blur against its plain windowed-average formula, and the
// key-edge pass on keys worked out by hand.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <random>

#include "BoxBlur.h"
#include "passes.h"

namespace {

// The blur as the rules state it, one window sum per output cell: the
// vertical pass (window size/2 rows from size/4 above) writes its running
// windows, then the top band, then the bottom band; the horizontal pass
// (window size columns from size/2 to the left) the same way. Every window
// is limited to the picture and divided by the samples it holds.
std::vector<uint8_t> plainBlur(const std::vector<uint8_t> &s, int w, int h, int size)
{
    const int d = size / 2, q = size / 4;
    std::vector<uint32_t> t(size_t(w) * size_t(h));
    auto columnAverage = [&](int x, int lo, int hi) {
        lo = std::max(lo, 0);
        hi = std::min(hi, h - 1);
        uint32_t sum = 0;
        for (int r = lo; r <= hi; ++r) sum += s[size_t(r) * w + x];
        return sum / uint32_t(hi - lo + 1);
    };
    for (int x = 0; x < w; ++x) {
        for (int y = q; y <= q + h - d; ++y) t[size_t(y) * w + x] = columnAverage(x, y - q, y - q + d - 1);
        for (int i = 0; i <= q && i < h; ++i) t[size_t(i) * w + x] = columnAverage(x, 0, q + i);
        for (int i = 0; i <= q && h - 1 - i >= 0; ++i)
            t[size_t(h - 1 - i) * w + x] = columnAverage(x, h - 1 - q - i, h - 1);
    }
    std::vector<uint8_t> out(size_t(w) * size_t(h));
    for (int y = 0; y < h; ++y) {
        auto rowAverage = [&](int lo, int hi) {
            lo = std::max(lo, 0);
            hi = std::min(hi, w - 1);
            uint32_t sum = 0;
            for (int c = lo; c <= hi; ++c) sum += t[size_t(y) * w + c];
            return uint8_t(sum / uint32_t(hi - lo + 1));
        };
        uint8_t *row = &out[size_t(y) * w];
        for (int x = d; x <= d + w - size; ++x) row[x] = rowAverage(x - d, x - d + size - 1);
        for (int i = 0; i <= d && i < w; ++i) row[i] = rowAverage(0, d + i);
        for (int i = 0; i <= d && w - 1 - i >= 0; ++i) row[w - 1 - i] = rowAverage(w - 1 - d - i, w - 1);
    }
    return out;
}

std::vector<uint8_t> alphaOf(const std::vector<Pixel> &pixels)
{
    std::vector<uint8_t> a;
    for (const Pixel &p : pixels) a.push_back(p.alpha);
    return a;
}

class Blur : public ::testing::Test {
protected:
    void SetUp() override { passes::resetEngine(); }
    void TearDown() override
    {
        zenvarth::blurPlaneAllocator = std::malloc;
        passes::resetEngine();
    }
};

void *noMemory(size_t) { return nullptr; }

} // namespace

TEST_F(Blur, MatchesPlainFormulaOnRandomPlanes)
{
    const int shapes[][2] = {{1, 1},  {1, 2},  {2, 1},   {3, 1},  {1, 7},  {2, 2},  {5, 3},
                             {7, 9},  {13, 5}, {4, 64},  {31, 17}, {64, 33}, {101, 7},
                             {257, 41}, {9, 300}};
    const int sizes[] = {4, 5, 6, 8, 12, 20, 40, 60, 120, 1020};
    std::mt19937 rng(7);
    for (auto [w, h] : shapes) {
        for (int size : sizes) {
            passes::Scene scene(w, h);
            for (Pixel &p : scene.out) p = pixelFromWord(rng());
            for (Pixel &p : scene.bg) p = pixelFromWord(rng());
            // Mostly flat keys with edges, as keys are, plus pure noise.
            if (size % 8 == 0)
                for (Pixel &p : scene.out) p.alpha = (p.alpha & 1) ? 255 : (p.alpha & 2) ? 0 : p.alpha;
            const std::vector<Pixel> outBefore = scene.out, bgBefore = scene.bg;
            scene.bind();
            ASSERT_TRUE(zenvarth::boxBlurKey(size));
            const std::vector<uint8_t> expected = plainBlur(alphaOf(outBefore), w, h, size);
            ASSERT_EQ(alphaOf(scene.bg), expected) << w << "x" << h << " size " << size;
            // Only the background's alpha bytes change.
            for (size_t i = 0; i < scene.bg.size(); ++i) {
                ASSERT_EQ(pixelWord(scene.out[i]), pixelWord(outBefore[i]));
                ASSERT_EQ(scene.bg[i].y, bgBefore[i].y);
                ASSERT_EQ(scene.bg[i].u, bgBefore[i].u);
                ASSERT_EQ(scene.bg[i].v, bgBefore[i].v);
            }
        }
    }
}

// The vector division of window sums against integer division, for every
// window length up to the longest a blur of a full field uses and the
// largest the blur allows, at every quotient's edges: n * q - 1, n * q and
// n * q + 1 for every byte q, and at random sums.
TEST_F(Blur, WindowSumsDivideExactly)
{
    std::mt19937 rng(11);
    std::vector<uint32_t> sums, quotients;
    for (uint32_t n = 1; n <= 65535; n = n < 2048 ? n + 1 : n * 2 - 1) {
        sums.clear();
        for (uint32_t q = 0; q <= 255; ++q)
            for (int64_t s : {int64_t(n) * q - 1, int64_t(n) * q, int64_t(n) * q + 1})
                if (s >= 0 && s <= int64_t(255) * n) sums.push_back(uint32_t(s));
        for (int i = 0; i < 64; ++i) sums.push_back(rng() % (255 * n + 1));
        sums.push_back(255 * n);
        quotients.assign(sums.size(), 0);
        zenvarth::divideSums(sums.data(), quotients.data(), sums.size(), n);
        for (size_t i = 0; i < sums.size(); ++i) ASSERT_EQ(quotients[i], sums[i] / n) << sums[i] << " / " << n;
    }
}

TEST_F(Blur, FullFieldWithLargestSize)
{
    std::mt19937 rng(11);
    passes::Scene scene(720, 288);
    for (Pixel &p : scene.out) p.alpha = uint8_t(rng() & 0x80 ? 255 : rng());
    scene.bind();
    ASSERT_TRUE(zenvarth::boxBlurKey(120));
    EXPECT_EQ(alphaOf(scene.bg), plainBlur(alphaOf(scene.out), 720, 288, 120));
}

TEST_F(Blur, StepKeyOfTwelveColumns)
{
    passes::Scene scene(12, 5);
    for (int y = 0; y < 5; ++y)
        for (int x = 0; x < 12; ++x) scene.outAt(x, y).alpha = x < 6 ? 0 : 255;
    scene.bind();
    ASSERT_TRUE(zenvarth::boxBlurKey(4));
    const uint8_t blurred[12] = {0, 0, 0, 0, 0, 63, 127, 191, 255, 255, 255, 255};
    for (int y = 0; y < 5; ++y)
        for (int x = 0; x < 12; ++x) EXPECT_EQ(scene.bgAt(x, y).alpha, blurred[x]) << x << "," << y;
}

TEST_F(Blur, WithoutTemporaryPlaneNothingIsWritten)
{
    passes::Scene scene(8, 4);
    for (Pixel &p : scene.bg) p.alpha = 77;
    scene.bind();
    zenvarth::blurPlaneAllocator = noMemory;
    EXPECT_FALSE(zenvarth::boxBlurKey(4));
    for (const Pixel &p : scene.bg) EXPECT_EQ(p.alpha, 77);
}

TEST_F(Blur, EdgeShrinkOnStepKey)
{
    passes::Scene scene(12, 6);
    for (int y = 0; y < 6; ++y)
        for (int x = 0; x < 12; ++x) scene.outAt(x, y).alpha = x < 6 ? 0 : 255;
    zenvarth::settings.edgeShrink = 1;
    scene.bind();
    zenvarth::runKeyEdgePass();
    const uint8_t expected[12] = {0, 0, 0, 0, 0, 0, 0, 126, 254, 254, 254, 254};
    for (int y = 0; y < 6; ++y)
        for (int x = 0; x < 12; ++x) EXPECT_EQ(scene.outAt(x, y).alpha, expected[x]) << x << "," << y;
}

TEST_F(Blur, EdgeShrinkOnFullKeyGives254)
{
    passes::Scene scene(9, 7);
    zenvarth::settings.edgeShrink = 1;
    scene.bind();
    zenvarth::runKeyEdgePass();
    for (size_t i = 0; i < scene.out.size(); ++i) {
        EXPECT_EQ(scene.bg[i].alpha, 255);
        EXPECT_EQ(scene.out[i].alpha, 254);
    }
}

TEST_F(Blur, OpacityAloneScalesTheKey)
{
    passes::Scene scene(4, 1);
    const uint8_t keys[4] = {255, 1, 0, 200};
    for (int x = 0; x < 4; ++x) scene.outAt(x, 0).alpha = keys[x];
    zenvarth::settings.keyOpacity = 50;
    scene.bind();
    zenvarth::runKeyEdgePass();
    EXPECT_EQ(scene.outAt(0, 0).alpha, 127);
    EXPECT_EQ(scene.outAt(1, 0).alpha, 0);
    EXPECT_EQ(scene.outAt(2, 0).alpha, 0);
    EXPECT_EQ(scene.outAt(3, 0).alpha, 100);

    // 100 and above leave the key as it is when the edge is off.
    for (uint8_t opacity : {uint8_t(100), uint8_t(180)}) {
        for (int x = 0; x < 4; ++x) scene.outAt(x, 0).alpha = keys[x];
        zenvarth::settings.keyOpacity = opacity;
        zenvarth::runKeyEdgePass();
        for (int x = 0; x < 4; ++x) EXPECT_EQ(scene.outAt(x, 0).alpha, keys[x]);
    }
}

TEST_F(Blur, OpacityAboveHundredWithEdgeIsLimitedTo255)
{
    passes::Scene scene(12, 6);
    for (int x = 0; x < 12; ++x)
        for (int y = 0; y < 6; ++y) scene.outAt(x, y).alpha = x < 6 ? 0 : 255;
    zenvarth::settings.edgeShrink = 1;
    zenvarth::settings.keyOpacity = 200;   // 254 * 200 / 100 = 508
    scene.bind();
    zenvarth::runKeyEdgePass();
    EXPECT_EQ(scene.outAt(7, 2).alpha, 252);   // 126 * 200 / 100
    EXPECT_EQ(scene.outAt(8, 2).alpha, 255);
    EXPECT_EQ(scene.outAt(11, 2).alpha, 255);
    EXPECT_EQ(scene.outAt(6, 2).alpha, 0);
}

TEST_F(Blur, EdgeStepSkippedWithoutTemporaryPlane)
{
    passes::Scene scene(12, 6);
    for (int x = 0; x < 12; ++x)
        for (int y = 0; y < 6; ++y) scene.outAt(x, y).alpha = x < 6 ? 0 : 255;
    for (Pixel &p : scene.bg) p.alpha = 0;   // stale bytes the step must not read
    zenvarth::settings.edgeShrink = 1;
    zenvarth::settings.keyOpacity = 50;
    zenvarth::blurPlaneAllocator = noMemory;
    scene.bind();
    zenvarth::runKeyEdgePass();
    for (int x = 0; x < 12; ++x) EXPECT_EQ(scene.outAt(x, 3).alpha, x < 6 ? 0 : 127) << x;
}

TEST_F(Blur, EdgeShrinkOnPicturesSmallerThanTheWindow)
{
    // edgeShrink 30: a window of 120 columns and 60 rows on a field of a few pixels.
    for (auto [w, h] : {std::pair{1, 1}, {3, 2}, {12, 1}, {40, 3}}) {
        passes::Scene scene(w, h);
        std::mt19937 rng(uint32_t(w * 100 + h));
        for (Pixel &p : scene.out) p.alpha = uint8_t(rng());
        const std::vector<uint8_t> key = alphaOf(scene.out);
        zenvarth::settings.edgeShrink = 30;
        scene.bind();
        zenvarth::runKeyEdgePass();
        const std::vector<uint8_t> blurred = plainBlur(key, w, h, 120);
        for (size_t i = 0; i < key.size(); ++i) {
            int v = 2 * blurred[i] - 256;
            uint8_t expected = key[i] == 0 || v < 0 ? 0 : uint8_t(v);
            EXPECT_EQ(scene.out[i].alpha, expected) << w << "x" << h << " at " << i;
        }
    }
}
