// The chroma keyer on tiny pictures, without a host: hand-worked pixels for
// the cases that catch faults, and every mode against a plain per-pixel
// formula on random pictures.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <random>
#include <vector>

#include "KeyerTables.h"
#include "SettingsTable.h"
#include "ZenvarthRender.h"

using zenvarth::settings;

namespace {

Pixel px(int y, int u, int v, int matte = 255)
{
    return Pixel{uint8_t(matte), uint8_t(v), uint8_t(u), uint8_t(y)};
}

// ---------------------------------------------------------------- plain formulas

namespace plain {

int absi(int a) { return a < 0 ? -a : a; }
int clampi(int v, int lo, int hi) { return v < lo ? lo : v > hi ? hi : v; }

float component(int byte) { return byte == 128 ? 0.01f : float(byte - 128) / 256; }

float hue(float u, float v)
{
    float sum = u * u + v * v;
    float r = float(std::sqrt(double(sum)));
    float q = v / r;
    float alpha = float(std::asin(double(q)));
    alpha = alpha * 360 / 6.2831855f;
    if (alpha >= 0 && u >= 0) return 180 - alpha;
    if (alpha >= 0 && u < 0) return alpha;
    if (alpha < 0 && u <= 0) return alpha + 360;
    return 180 - alpha;
}

float keyHue(const Pixel &k)
{
    if (k.u == 128 && k.v == 128) return hue(0.01f, 0.01f);
    return hue(float(k.u - 128) / 256, float(k.v - 128) / 256);
}

int hueDiff(const ZenvarthSettings &s, const Pixel &p)
{
    int diff = int(keyHue(s.keyColor) - hue(component(p.u), component(p.v)));
    if (diff < 0) diff = -diff;
    if (diff > 180) diff = 360 - diff;
    return diff;
}

// Every mode but 3, one pixel at column j, row i.
Pixel key(const ZenvarthSettings &s, Pixel p, int j, int i)
{
    Pixel out = p;
    if (p.alpha == 0) {
        out.alpha = 0;
        return out;
    }
    int Y = p.y, U = p.u, V = p.v;
    int kY = s.keyColor.y, kU = s.keyColor.u, kV = s.keyColor.v;
    int K = 255;
    switch (s.keyerType) {
    case 1: {
        int d = absi(Y - kY) + 2 * (absi(U - kU) + absi(V - kV));
        int a = (d * (100 - s.colorTolerance) * 30) / 1500 - 100;
        K = clampi((a * 255) / 55, 0, 255);
        int t = 255 - K;
        out.y = uint8_t(clampi(Y - ((kY - 16) * t) / 255, 16, 240));
        out.u = uint8_t(clampi(U - ((kU - 128) * t) / 255, 16, 240));
        out.v = uint8_t(clampi(V - ((kV - 128) * t) / 255, 16, 240));
        break;
    }
    case 2: {
        const SettingsRect &r = s.keyArea;
        bool inside = r.x <= j && j < r.x + r.width && r.y <= i && i < r.y + r.height;
        K = inside == (s.keyAreaInvert == 0) ? 0 : 255;
        break;
    }
    case 4: {
        int d = absi(U - kU) + absi(V - kV);
        if (d > 255) d = 255;
        int t = d * 100 / 255;
        K = t > s.chromaTolerance ? 255 : 0;
        break;
    }
    case 5:
        K = hueDiff(s, p) > s.hueTolerance * 255 / 100 ? 255 : 0;
        break;
    case 6: {
        int T = s.hueLumaHueTolerance * 255 / 100;
        int L = s.hueLumaLumaTolerance * 255 / 100;
        K = hueDiff(s, p) > T || absi(Y - kY) > L ? 255 : 0;
        break;
    }
    case 7: {
        int lo = (s.lumaCenter - s.lumaWidth) * 255 / 100;
        if (lo < 0) lo = 0;
        int hi = (s.lumaCenter + s.lumaWidth) * 255 / 100;
        if (hi > 255) hi = 255;
        K = lo <= Y && Y <= hi ? 0 : 255;
        break;
    }
    case 8: {
        int level = s.lumaLevel * 255 / 100;
        if (s.lumaKeyAbove == 0) K = Y <= level ? 0 : 255;
        else K = Y >= level ? 0 : 255;
        break;
    }
    case 9: {
        int sat = std::max(absi(U - 128), absi(V - 128));
        int c = s.saturationCenter * 128 / 100, w = s.saturationWidth * 128 / 100;
        int lo = c - w < 0 ? 0 : c - w;
        int hi = c + w > 128 ? 128 : c + w;
        K = lo <= sat && sat <= hi ? 0 : 255;
        break;
    }
    case 10: {
        int sat = std::max(absi(U - 128), absi(V - 128));
        int level = s.saturationLevel * 128 / 100;
        if (s.saturationKeyAbove == 0) K = sat <= level ? 0 : 255;
        else K = sat >= level ? 0 : 255;
        break;
    }
    case 11:
        K = Y <= s.blackLevel && 121 <= U && U <= 135 && 121 <= V && V <= 135 ? 0 : 255;
        break;
    default:   // 0, and anything above 11
        K = 255;
        break;
    }
    out.alpha = uint8_t(K);
    return out;
}

// Mode 3 over a whole picture, two sweeps.
std::vector<Pixel> dominance(const ZenvarthSettings &s, const std::vector<Pixel> &fg)
{
    std::vector<Pixel> out(fg.size());
    int best = 0, bestR = 0, bestG = 0, bestB = 0;
    int thr = s.dominanceThreshold;
    for (size_t n = 0; n < fg.size(); ++n) {
        const Pixel &p = fg[n];
        out[n] = p;
        out[n].alpha = 0;
        if (p.alpha == 0) continue;
        int Y = p.y, U = p.u, V = p.v;
        int R = clampi(int(Y + 1.402f * (V - 128)), 0, 255);
        int G = clampi(int(Y - 0.344136f * (U - 128) - 0.714136f * (V - 128)), 0, 255);
        int B = clampi(int(Y + 1.772f * (U - 128)), 0, 255);
        int *D = s.dominantChannel == 0 ? &B : s.dominantChannel == 1 ? &G : &R;
        int *O1 = D == &B ? &R : &B;
        int *O2 = D == &G ? &R : &G;
        int A = *D - std::max(*O1, *O2);
        if (A > best) {
            best = A;
            bestR = R;
            bestG = G;
            bestB = B;
        }
        if (A >= thr) *D = std::min({*D, *O1, *O2});
        out[n] = Pixel{uint8_t(clampi(A, 0, 255)), uint8_t(B), uint8_t(G), uint8_t(R)};
    }
    int N = (100 - s.dominanceLevel) * best / 100;
    if (N == 0) N = 1;
    for (size_t n = 0; n < fg.size(); ++n) {
        if (fg[n].alpha == 0) {
            out[n].alpha = 0;
            continue;
        }
        int a = out[n].alpha, R = out[n].y, G = out[n].u, B = out[n].v, k = 0;
        if (a >= thr) {
            R = R - a * bestR / N;
            G = G - a * bestG / N;
            B = B - a * bestB / N;
            k = a * 255 / N;
        }
        R = clampi(R, 0, 255);
        G = clampi(G, 0, 255);
        B = clampi(B, 0, 255);
        k = clampi(k, 0, 255);
        out[n].alpha = uint8_t(255 - k);
        out[n].v = uint8_t(int(0.5f * R - 0.418688f * G - 0.081312f * B + 128));
        out[n].u = uint8_t(int(0.5f * B - 0.331264f * G - 0.168736f * R + 128));
        out[n].y = uint8_t(int(0.299f * R + 0.587f * G + 0.114f * B));
    }
    return out;
}

std::vector<Pixel> keyPicture(const ZenvarthSettings &s, const std::vector<Pixel> &fg, int width)
{
    if (s.keyerType == 3) return dominance(s, fg);
    std::vector<Pixel> out(fg.size());
    for (size_t n = 0; n < fg.size(); ++n)
        out[n] = key(s, fg[n], int(n % size_t(width)), int(n / size_t(width)));
    return out;
}

} // namespace plain

// ---------------------------------------------------------------- harness

uint32_t word(Pixel p) { return pixelWord(p); }

// Foreground and output pictures of one size, installed in the render
// statics; the output starts filled with a marker so unwritten bytes show.
struct Pictures {
    int width, height;
    std::vector<Pixel> fg, out;
    Picture fgPicture{}, outPicture{};

    Pictures(int w, int h) : width(w), height(h), fg(size_t(w) * h), out(size_t(w) * h, Pixel{0xA5, 0xA5, 0xA5, 0xA5}) {}

    Pixel &at(int j, int i) { return fg[size_t(i) * width + j]; }
    Pixel result(int j, int i) const { return out[size_t(i) * width + j]; }

    void run()
    {
        fgPicture = Picture{fg.data(), int16_t(width), int16_t(height), 0, 0, int16_t(width), int16_t(height)};
        outPicture = Picture{out.data(), int16_t(width), int16_t(height), 0, 0, int16_t(width), int16_t(height)};
        zenvarth::foregroundPicture = &fgPicture;
        zenvarth::outputPicture = &outPicture;
        zenvarth::pictureWidth = width;
        zenvarth::pictureHeight = height;
        zenvarth::runKeyer();
        zenvarth::foregroundPicture = nullptr;
        zenvarth::outputPicture = nullptr;
    }

    void randomize(std::mt19937 &rng)
    {
        for (Pixel &p : fg) {
            uint32_t w = rng();
            p = pixelFromWord(w);
            // A quarter outside the starting matte, the rest keyed with any
            // non-zero matte value.
            if ((w & 3) == 0) p.alpha = 0;
            else if (p.alpha == 0) p.alpha = 255;
        }
    }
};

class Keyer : public ::testing::Test {
protected:
    void SetUp() override
    {
        std::memset(&settings, 0, sizeof settings);
        zenvarth::applyDefaultSettings(settings);
    }
    void TearDown() override
    {
        zenvarth::foregroundPicture = nullptr;
        zenvarth::outputPicture = nullptr;
    }

    void expectMatchesPlain(const Pictures &pics, const char *what)
    {
        std::vector<Pixel> want = plain::keyPicture(settings, pics.fg, pics.width);
        int mismatches = 0;
        for (size_t n = 0; n < want.size() && mismatches < 5; ++n)
            if (word(pics.out[n]) != word(want[n])) {
                ++mismatches;
                ADD_FAILURE() << what << ": mode " << int(settings.keyerType) << " pixel " << n << " of "
                              << std::hex << word(pics.fg[n]) << " gave " << word(pics.out[n]) << ", want "
                              << word(want[n]);
            }
    }
};

// Random settings of one mode, mostly within the panel ranges, sometimes
// any byte (a preset file may hold anything).
void randomSettings(std::mt19937 &rng, uint8_t mode)
{
    auto pick = [&](int top) { return uint8_t(rng() % 8 == 0 ? rng() % 256 : rng() % (top + 1)); };
    settings.keyerType = mode;
    settings.keyColor = px(int(rng() % 256), int(rng() % 256), int(rng() % 256));
    settings.colorTolerance = pick(100);
    settings.keyArea = SettingsRect{int16_t(int(rng() % 80) - 10), int16_t(int(rng() % 40) - 5),
                                    int16_t(int(rng() % 80) - 5), int16_t(int(rng() % 40) - 5)};
    settings.keyAreaInvert = uint8_t(rng() % 3);
    settings.dominantChannel = uint8_t(rng() % 4);
    settings.dominanceLevel = pick(100);
    settings.dominanceThreshold = pick(100);
    settings.chromaTolerance = pick(100);
    settings.hueTolerance = pick(100);
    settings.hueLumaHueTolerance = pick(100);
    settings.hueLumaLumaTolerance = pick(100);
    settings.lumaCenter = pick(100);
    settings.lumaWidth = pick(100);
    settings.lumaLevel = pick(100);
    settings.lumaKeyAbove = uint8_t(rng() % 3);
    settings.saturationCenter = pick(100);
    settings.saturationWidth = pick(100);
    settings.saturationLevel = pick(100);
    settings.saturationKeyAbove = uint8_t(rng() % 3);
    settings.blackLevel = pick(50);
}

} // namespace

// ---------------------------------------------------------------- tables

TEST(KeyerTables, HueTableHoldsTheFormulaForEveryPair)
{
    const float *table = zenvarth::pixelHueTable();
    int mismatches = 0;
    for (int u = 0; u < 256; ++u)
        for (int v = 0; v < 256; ++v) {
            float want = plain::hue(plain::component(u), plain::component(v));
            float got = table[zenvarth::chromaIndex(uint32_t(u), uint32_t(v))];
            uint32_t wantBits, gotBits;
            std::memcpy(&wantBits, &want, 4);
            std::memcpy(&gotBits, &got, 4);
            if (wantBits != gotBits && ++mismatches <= 5)
                ADD_FAILURE() << "U " << u << " V " << v << ": " << got << ", want " << want;
            ASSERT_FALSE(std::isnan(got)) << "U " << u << " V " << v;
        }
    EXPECT_EQ(mismatches, 0);
}

TEST(KeyerTables, HueIsTheAngleOfMinusUV)
{
    EXPECT_FLOAT_EQ(zenvarth::chromaHue(-0.25f, 0), 0);
    EXPECT_FLOAT_EQ(zenvarth::chromaHue(0, 0.25f), 90);
    EXPECT_FLOAT_EQ(zenvarth::chromaHue(0.25f, 0), 180);
    EXPECT_FLOAT_EQ(zenvarth::chromaHue(0, -0.25f), 270);
    EXPECT_NEAR(zenvarth::chromaHue(-0.25f, -0.25f), 315, 1e-3);
    EXPECT_NEAR(zenvarth::chromaHue(0.25f, -0.25f), 225, 1e-3);
}

// ---------------------------------------------------------------- every mode

TEST_F(Keyer, EveryModeMatchesThePlainFormulaOnRandomPictures)
{
    std::mt19937 rng(20261208);
    for (int mode = 0; mode <= 13; ++mode)
        for (int round = 0; round < 40; ++round) {
            randomSettings(rng, uint8_t(mode));
            Pictures pics(61, 23);
            pics.randomize(rng);
            pics.run();
            expectMatchesPlain(pics, "random picture");
        }
}

TEST_F(Keyer, ChromaModesMatchThePlainFormulaOnEveryChromaPair)
{
    std::mt19937 rng(7);
    for (uint8_t mode : {1, 3, 4, 5, 6, 9, 10, 11}) {
        for (int round = 0; round < 3; ++round) {
            randomSettings(rng, mode);
            // A key chroma byte of exactly 128 is read as 0, not as 0.01.
            if (round == 0) settings.keyColor.u = 128;
            if (round == 1) settings.keyColor.v = 128;
            settings.hueTolerance %= 70;
            settings.hueLumaHueTolerance %= 70;
            Pictures pics(256, 256);
            for (int u = 0; u < 256; ++u)
                for (int v = 0; v < 256; ++v)
                    pics.at(v, u) = px(int(rng() % 256), u, v, int(rng() % 255) + 1);
            pics.run();
            expectMatchesPlain(pics, "every chroma pair");
        }
    }
}

TEST_F(Keyer, OutsideTheStartingMatteEveryModeGivesAlphaZero)
{
    std::mt19937 rng(3);
    for (int mode = 0; mode <= 12; ++mode) {
        randomSettings(rng, uint8_t(mode));
        Pictures pics(16, 8);
        pics.randomize(rng);
        for (int j = 0; j < 16; ++j) pics.at(j, 3).alpha = 0;
        pics.run();
        for (int j = 0; j < 16; ++j) {
            Pixel in = pics.at(j, 3), out = pics.result(j, 3);
            EXPECT_EQ(out.alpha, 0) << "mode " << mode << " column " << j;
            // The colour is the foreground's, so nothing undefined is left behind.
            EXPECT_EQ(word(out), word(in) & 0xFFFFFF00u) << "mode " << mode << " column " << j;
        }
    }
}

TEST_F(Keyer, WalksExactlyTheRowsAndColumnsGiven)
{
    for (int mode = 0; mode <= 11; ++mode) {
        settings.keyerType = uint8_t(mode);
        Pictures pics(8, 4);
        for (Pixel &p : pics.fg) p = px(60, 200, 90);
        // The pictures have four rows, the render only three.
        pics.fgPicture = Picture{pics.fg.data(), 8, 4, 0, 0, 8, 4};
        pics.outPicture = Picture{pics.out.data(), 8, 4, 0, 0, 8, 4};
        zenvarth::foregroundPicture = &pics.fgPicture;
        zenvarth::outputPicture = &pics.outPicture;
        zenvarth::pictureWidth = 8;
        zenvarth::pictureHeight = 3;
        zenvarth::runKeyer();
        for (int j = 0; j < 8; ++j) {
            EXPECT_NE(word(pics.result(j, 2)), 0xA5A5A5A5u) << "mode " << mode;
            EXPECT_EQ(word(pics.result(j, 3)), 0xA5A5A5A5u) << "mode " << mode;
        }
    }
}

TEST_F(Keyer, PicturesTooSmallOrMissingAreLeftAlone)
{
    settings.keyerType = 1;
    Pictures pics(8, 4);
    pics.fgPicture = Picture{pics.fg.data(), 8, 4, 0, 0, 8, 4};
    pics.outPicture = Picture{pics.out.data(), 8, 2, 0, 0, 8, 2};   // half the rows
    zenvarth::foregroundPicture = &pics.fgPicture;
    zenvarth::outputPicture = &pics.outPicture;
    zenvarth::pictureWidth = 8;
    zenvarth::pictureHeight = 4;
    zenvarth::runKeyer();
    for (const Pixel &p : pics.out) EXPECT_EQ(word(p), 0xA5A5A5A5u);

    zenvarth::outputPicture = nullptr;
    zenvarth::runKeyer();   // must not crash
    zenvarth::outputPicture = &pics.outPicture;
    zenvarth::pictureWidth = -8;
    zenvarth::runKeyer();
    for (const Pixel &p : pics.out) EXPECT_EQ(word(p), 0xA5A5A5A5u);
}

TEST_F(Keyer, TypesAboveElevenKeyAsMatteThrough)
{
    Pictures pics(4, 1);
    pics.fg = {px(10, 20, 30), px(40, 50, 60, 7), px(70, 80, 90, 0), px(235, 128, 128)};
    for (int type : {12, 200, 255}) {
        settings.keyerType = uint8_t(type);
        pics.run();
        EXPECT_EQ(word(pics.result(0, 0)), word(px(10, 20, 30, 255)));
        EXPECT_EQ(word(pics.result(1, 0)), word(px(40, 50, 60, 255)));
        EXPECT_EQ(word(pics.result(2, 0)), word(px(70, 80, 90, 0)));
        EXPECT_EQ(word(pics.result(3, 0)), word(px(235, 128, 128, 255)));
    }
}

// ---------------------------------------------------------------- mode 1

// The colour-distance keyer works its integer steps per pixel in vector
// loops: against the plain formula for every tolerance byte and key colours
// at both ends and in between, on pictures that reach every distance (luma
// along a row, the chroma pair stepping down the rows) in and out of the
// matte, with a row length that leaves a partial vector.
TEST_F(Keyer, ColorDistanceMatchesThePlainFormulaForEveryToleranceAndDistance)
{
    settings.keyerType = 1;
    const Pixel keys[] = {px(57, 240, 110), px(0, 0, 0), px(255, 255, 255), px(16, 128, 128), px(235, 16, 240)};
    for (const Pixel &key : keys)
        for (int tolerance = 0; tolerance <= 255; ++tolerance) {
            settings.keyColor = key;
            settings.colorTolerance = uint8_t(tolerance);
            Pictures pics(259, 18);
            for (int i = 0; i < pics.height; ++i)
                for (int j = 0; j < pics.width; ++j)
                    pics.at(j, i) = Pixel{uint8_t(j % 7 == 0 ? 0 : 255), uint8_t(255 - 15 * i), uint8_t(15 * i),
                                          uint8_t(j % 256)};
            pics.run();
            expectMatchesPlain(pics, "distance sweep");
            if (HasFailure()) return;
        }
}

TEST_F(Keyer, ColorDistanceKeyAndSpill)
{
    settings.keyerType = 1;   // defaults: key Y 57 U 240 V 110, tolerance 30
    Pictures pics(5, 1);
    pics.fg = {px(57, 240, 110),    // the key colour itself
               px(167, 240, 110),   // d = 110: a = 54
               px(168, 240, 110),   // d = 111: a = 55
               px(157, 240, 110),   // d = 100: K 185, t 70
               px(250, 240, 110)};  // far: K 255, luma clamped to 240
    pics.run();
    EXPECT_EQ(word(pics.result(0, 0)), word(px(16, 128, 128, 0)));
    EXPECT_EQ(pics.result(1, 0).alpha, 250);
    EXPECT_EQ(word(pics.result(1, 0)), word(px(167, 238, 110, 250)));
    EXPECT_EQ(word(pics.result(2, 0)), word(px(168, 240, 110, 255)));
    // Spill quotients truncate toward zero: V 110 - (-18 * 70 / 255) = 110 + 4.
    EXPECT_EQ(word(pics.result(3, 0)), word(px(146, 210, 114, 185)));
    EXPECT_EQ(word(pics.result(4, 0)), word(px(240, 240, 110, 255)));
}

TEST_F(Keyer, ColorDistanceAtFullToleranceKeysEverything)
{
    settings.keyerType = 1;
    settings.colorTolerance = 100;
    std::mt19937 rng(11);
    Pictures pics(32, 8);
    pics.randomize(rng);
    pics.run();
    for (const Pixel &p : pics.out) EXPECT_EQ(p.alpha, 0);
}

// ---------------------------------------------------------------- mode 2

TEST_F(Keyer, RectangleCornersWithAndWithoutInversion)
{
    settings.keyerType = 2;   // default key area 100, 50, 200, 100
    Pictures pics(320, 160);
    for (Pixel &p : pics.fg) p = px(100, 100, 100);
    const int inside[][2] = {{100, 50}, {299, 50}, {100, 149}, {299, 149}};
    const int outside[][2] = {{300, 50}, {99, 50}, {100, 49}, {100, 150}, {300, 150}};
    for (int invert : {0, 1}) {
        settings.keyAreaInvert = uint8_t(invert);
        pics.run();
        for (auto &c : inside) EXPECT_EQ(pics.result(c[0], c[1]).alpha, invert ? 255 : 0) << c[0] << "," << c[1];
        for (auto &c : outside) EXPECT_EQ(pics.result(c[0], c[1]).alpha, invert ? 0 : 255) << c[0] << "," << c[1];
    }
}

// ---------------------------------------------------------------- mode 3

TEST_F(Keyer, DominanceWithoutAnyDominantPixel)
{
    settings.keyerType = 3;
    settings.dominanceThreshold = 0;
    Pictures pics(6, 1);
    pics.fg = {px(0, 128, 128), px(50, 128, 128), px(128, 128, 128),
               px(235, 128, 128), px(16, 128, 128, 0), px(255, 128, 128, 9)};
    pics.run();
    // Grey: R = G = B = Y, so no dominance, N = 1, nothing removed.
    EXPECT_EQ(word(pics.result(0, 0)), word(px(0, 128, 128, 255)));
    EXPECT_EQ(pics.result(4, 0).alpha, 0);
    std::vector<Pixel> want = plain::dominance(settings, pics.fg);
    for (int j = 0; j < 6; ++j) {
        if (j != 4) {
            EXPECT_EQ(pics.result(j, 0).alpha, 255);
        }
        EXPECT_EQ(word(pics.result(j, 0)), word(want[size_t(j)])) << j;
        // The round trip loses at most the truncation.
        EXPECT_NEAR(pics.result(j, 0).y, pics.fg[size_t(j)].y, 1) << j;
    }
}

TEST_F(Keyer, DominanceTakesTheFirstStrongestBacking)
{
    // Two colours with the same blue dominance but different RGB: the one
    // met first in raster order sets the normaliser's colour.
    settings.keyerType = 3;
    settings.dominantChannel = 0;
    settings.dominanceLevel = 50;
    settings.dominanceThreshold = 10;
    auto dominanceOf = [](int y, int u, int v, int *r) {
        int R = plain::clampi(int(y + 1.402f * (v - 128)), 0, 255);
        int G = plain::clampi(int(y - 0.344136f * (u - 128) - 0.714136f * (v - 128)), 0, 255);
        int B = plain::clampi(int(y + 1.772f * (u - 128)), 0, 255);
        *r = R;
        return B - std::max(R, G);
    };
    Pixel first{}, second{};
    bool found = false;
    int r1 = 0;
    int a1 = dominanceOf(60, 200, 110, &r1);
    for (int y = 20; y < 200 && !found; ++y)
        for (int v = 100; v < 140 && !found; ++v) {
            int r2 = 0;
            for (int u = 150; u < 256 && !found; ++u)
                if (dominanceOf(y, u, v, &r2) == a1 && std::abs(r2 - r1) >= 10) {
                    first = px(60, 200, 110);
                    second = px(y, u, v);
                    found = true;
                }
        }
    ASSERT_TRUE(found);
    ASSERT_GT(a1, 10);
    Pictures pics(4, 1);
    for (bool swap : {false, true}) {
        pics.fg = {swap ? second : first, swap ? first : second, px(90, 170, 120), px(120, 140, 125)};
        pics.run();
        std::vector<Pixel> want = plain::dominance(settings, pics.fg);
        for (int j = 0; j < 4; ++j) EXPECT_EQ(word(pics.result(j, 0)), word(want[size_t(j)])) << j;
    }
}

// ---------------------------------------------------------------- modes 4 to 6

TEST_F(Keyer, ChromaDistanceAtFullToleranceKeysEverything)
{
    settings.keyerType = 4;
    settings.chromaTolerance = 100;
    Pictures pics(256, 256);
    for (int u = 0; u < 256; ++u)
        for (int v = 0; v < 256; ++v) pics.at(v, u) = px(100, u, v);
    pics.run();
    for (const Pixel &p : pics.out) ASSERT_EQ(p.alpha, 0);
    settings.chromaTolerance = 99;
    settings.keyColor = px(57, 255, 255);
    pics.run();
    EXPECT_EQ(pics.result(0, 0).alpha, 255);     // d 510, limited to 255: t 100
    EXPECT_EQ(pics.result(0, 255).alpha, 255);   // U 255, V 0: d 255, t 100
    EXPECT_EQ(pics.result(1, 255).alpha, 0);     // U 255, V 1: d 254, t 99
}

TEST_F(Keyer, HueKeyTolerances)
{
    settings.keyerType = 5;
    Pictures pics(256, 256);
    for (int u = 0; u < 256; ++u)
        for (int v = 0; v < 256; ++v) pics.at(v, u) = px(100, u, v);
    settings.hueTolerance = 71;   // T 181: no difference exceeds 180
    pics.run();
    for (const Pixel &p : pics.out) ASSERT_EQ(p.alpha, 0);
    settings.hueTolerance = 70;   // T 178: the opposite hues keep
    pics.run();
    int kept = 0;
    for (const Pixel &p : pics.out) kept += p.alpha == 255;
    EXPECT_GT(kept, 0);
    expectMatchesPlain(pics, "hue tolerance 70");
}

TEST_F(Keyer, NeutralKeyColourHasADefinedHue)
{
    for (uint8_t mode : {5, 6}) {
        settings.keyerType = mode;
        settings.keyColor = px(128, 128, 128);
        settings.hueTolerance = 5;
        settings.hueLumaHueTolerance = 5;
        settings.hueLumaLumaTolerance = 100;
        Pictures pics(3, 1);
        pics.fg = {px(128, 128, 128), px(128, 130, 130), px(128, 100, 100)};
        pics.run();
        // Grey and the direction of (+U, +V) sit at the key's hue of 135 degrees;
        // the opposite direction is 180 degrees away.
        EXPECT_EQ(pics.result(0, 0).alpha, 0);
        EXPECT_EQ(pics.result(1, 0).alpha, 0);
        EXPECT_EQ(pics.result(2, 0).alpha, 255);
        expectMatchesPlain(pics, "neutral key");
    }
}

TEST_F(Keyer, HueAndLumaKeepsOnEitherDifference)
{
    settings.keyerType = 6;
    settings.keyColor = px(100, 200, 100);
    settings.hueLumaHueTolerance = 10;    // T 25
    settings.hueLumaLumaTolerance = 20;   // L 51
    Pictures pics(4, 1);
    pics.fg = {px(100, 200, 100), px(151, 200, 100), px(152, 200, 100), px(100, 56, 156)};
    pics.run();
    EXPECT_EQ(pics.result(0, 0).alpha, 0);
    EXPECT_EQ(pics.result(1, 0).alpha, 0);     // |Y - kY| = 51, not above L
    EXPECT_EQ(pics.result(2, 0).alpha, 255);   // 52 is
    EXPECT_EQ(pics.result(3, 0).alpha, 255);   // opposite hue
}

// ---------------------------------------------------------------- modes 7 to 11

TEST_F(Keyer, LumaBandAndThreshold)
{
    settings.keyerType = 7;   // centre 10, width 25: lo 0 (from -38), hi 89
    Pictures pics(4, 1);
    pics.fg = {px(0, 128, 128), px(89, 128, 128), px(90, 128, 128), px(255, 128, 128)};
    pics.run();
    EXPECT_EQ(pics.result(0, 0).alpha, 0);
    EXPECT_EQ(pics.result(1, 0).alpha, 0);
    EXPECT_EQ(pics.result(2, 0).alpha, 255);
    EXPECT_EQ(pics.result(3, 0).alpha, 255);

    settings.keyerType = 8;   // level 50: 127
    pics.fg = {px(126, 90, 90), px(127, 90, 90), px(128, 90, 90), px(0, 90, 90)};
    settings.lumaKeyAbove = 0;
    pics.run();
    EXPECT_EQ(pics.result(0, 0).alpha, 0);
    EXPECT_EQ(pics.result(1, 0).alpha, 0);
    EXPECT_EQ(pics.result(2, 0).alpha, 255);
    settings.lumaKeyAbove = 1;
    pics.run();
    EXPECT_EQ(pics.result(0, 0).alpha, 255);
    EXPECT_EQ(pics.result(1, 0).alpha, 0);
    EXPECT_EQ(pics.result(2, 0).alpha, 0);
    EXPECT_EQ(pics.result(3, 0).alpha, 255);
}

TEST_F(Keyer, SaturationBandAndThreshold)
{
    settings.keyerType = 9;   // centre 50, width 25: c 64, w 32, band 32..96
    Pictures pics(5, 1);
    pics.fg = {px(50, 128 + 31, 128), px(50, 128, 128 - 32), px(50, 128 + 96, 140), px(50, 128, 128 - 97),
               px(50, 128, 128)};
    pics.run();
    EXPECT_EQ(pics.result(0, 0).alpha, 255);
    EXPECT_EQ(pics.result(1, 0).alpha, 0);
    EXPECT_EQ(pics.result(2, 0).alpha, 0);
    EXPECT_EQ(pics.result(3, 0).alpha, 255);
    EXPECT_EQ(pics.result(4, 0).alpha, 255);

    settings.keyerType = 10;   // level 50: 64
    pics.fg = {px(50, 128 + 63, 128), px(50, 128 - 64, 128), px(50, 128, 128 + 65), px(50, 0, 255),
               px(50, 128, 128)};
    settings.saturationKeyAbove = 0;
    pics.run();
    EXPECT_EQ(pics.result(0, 0).alpha, 0);
    EXPECT_EQ(pics.result(1, 0).alpha, 0);
    EXPECT_EQ(pics.result(2, 0).alpha, 255);
    EXPECT_EQ(pics.result(3, 0).alpha, 255);
    EXPECT_EQ(pics.result(4, 0).alpha, 0);
    settings.saturationKeyAbove = 1;
    pics.run();
    EXPECT_EQ(pics.result(0, 0).alpha, 255);
    EXPECT_EQ(pics.result(1, 0).alpha, 0);
    EXPECT_EQ(pics.result(2, 0).alpha, 0);
    EXPECT_EQ(pics.result(3, 0).alpha, 0);
    EXPECT_EQ(pics.result(4, 0).alpha, 255);
}

TEST_F(Keyer, DarkNeutralBounds)
{
    settings.keyerType = 11;   // black level 20
    Pictures pics(7, 1);
    pics.fg = {px(20, 128, 135), px(21, 128, 135), px(20, 136, 128), px(20, 121, 121),
               px(20, 120, 128), px(20, 128, 120), px(0, 135, 135)};
    pics.run();
    const int want[] = {0, 255, 255, 0, 255, 255, 0};
    for (int j = 0; j < 7; ++j) EXPECT_EQ(pics.result(j, 0).alpha, want[j]) << j;
    for (int j = 0; j < 7; ++j) EXPECT_EQ(word(pics.result(j, 0)) >> 8, word(pics.fg[size_t(j)]) >> 8) << j;
}
