// The built-in clip of `ophost demo`: a shaded ball with a turning stripe
// bouncing in front of a blue backing (input 1), and a sky over a panning
// checkered floor (input 0). Integer arithmetic only, so every machine
// makes the same bytes (the renders of this clip are kept as checksums).
#pragma once

#include <cstdint>
#include <vector>

#include "contract/contract.h"
#include "media/video.h"

namespace demo {

struct ClipSize {
    int width;    // even
    int height;   // even: two fields a frame
    int frames;
};

constexpr ClipSize DEMO_CLIP{640, 360, 50};

// A deterministic hash for texture and noise (ophost bench's fields use it
// too).
inline uint32_t noise(uint32_t x)
{
    x ^= x >> 16;
    x *= 0x7feb352dU;
    x ^= x >> 15;
    x *= 0x846ca68bU;
    x ^= x >> 16;
    return x;
}

inline int floorDiv(int a, int b) { return a >= 0 ? a / b : -((-a + b - 1) / b); }

inline uint8_t clampByte(int v) { return uint8_t(v < 0 ? 0 : v > 255 ? 255 : v); }

inline Pixel blend(Pixel a, Pixel b, int weight, int of)
{
    auto m = [&](int x, int y) { return uint8_t((x * (of - weight) + y * weight) / of); };
    return Pixel{255, m(a.v, b.v), m(a.u, b.u), m(a.y, b.y)};
}

// Cosine and sine of 16 directions, times 1000.
constexpr int DIRECTION[16][2] = {{1000, 0},   {924, 383},   {707, 707},   {383, 924},
                                  {0, 1000},   {-383, 924},  {-707, 707},  {-924, 383},
                                  {-1000, 0},  {-924, -383}, {-707, -707}, {-383, -924},
                                  {0, -1000},  {383, -924},  {707, -707},  {924, -383}};

struct Ball {
    int cx, cy, r;   // in quarter pixels
    int turn;        // 0..15
};

// Where the ball is in frame k: across and back once over the clip, three
// bounces, the stripe turning.
inline Ball ballAt(const ClipSize &size, int k)
{
    const int frames = size.frames > 1 ? size.frames : 2;
    int phase = (k * 2000 / frames) % 2000;                    // 0..1999
    int across = phase < 1000 ? phase : 2000 - phase;          // 0..1000
    int bounce = (k * 3000 / frames) % 1000;                   // 0..999
    int lift = 4 * bounce * (1000 - bounce) / 1000;            // 0..1000
    Ball b;
    b.r = 4 * size.height / 6;
    b.cx = 4 * (size.width / 5) + 4 * (3 * size.width / 5) * across / 1000;
    b.cy = 4 * (size.height * 68 / 100) - 4 * (size.height * 36 / 100) * lift / 1000;
    b.turn = k % 16;
    return b;
}

// The ball's colour at offset (dx, dy) from its centre, in quarter pixels:
// orange lit from the upper left, a pale stripe through the middle.
inline Pixel ballColour(const Ball &b, int dx, int dy)
{
    int lx = dx + b.r / 2, ly = dy + b.r / 2;
    int64_t far = (int64_t(lx) * lx + int64_t(ly) * ly) * 1000 / (int64_t(b.r) * b.r * 9 / 4);
    int light = 1000 - int(far > 1000 ? 1000 : far);   // 0..1000
    const int *dir = DIRECTION[b.turn];
    int across = (dx * dir[1] - dy * dir[0]) / 1000;   // distance from the stripe's axis
    bool stripe = across > -b.r / 6 && across < b.r / 6;
    int y = 55 + 165 * light / 1000;
    if (stripe) return Pixel{255, 135, 120, clampByte(y + 25)};
    return Pixel{255, 185, 85, clampByte(y)};
}

// Input 1: the ball in front of a slightly uneven blue backing.
inline media::VideoFrame foregroundFrame(const ClipSize &size, int k)
{
    media::VideoFrame f;
    f.resize(size.width, size.height);
    const Pixel backing = pixelFromWord(BLUE_DEFAULT);
    const Ball b = ballAt(size, k);
    for (int y = 0; y < size.height; ++y) {
        for (int x = 0; x < size.width; ++x) {
            uint32_t n = noise(uint32_t(x) * 7919u + uint32_t(y) * 104729u + uint32_t(k) * 15485863u);
            Pixel p = backing;
            int shade = 3 - 6 * x / size.width;   // uneven light across the backing
            p.y = clampByte(p.y + shade + int(n % 5) - 2);
            p.u = clampByte(p.u + int((n >> 8) % 5) - 2);
            p.v = clampByte(p.v + int((n >> 16) % 3) - 1);
            // Coverage of the ball over 4 x 4 points of the pixel.
            int covered = 0;
            Pixel inside{};
            int dx0 = 4 * x - b.cx, dy0 = 4 * y - b.cy;
            if (dx0 > -b.r - 4 && dx0 < b.r + 4 && dy0 > -b.r - 4 && dy0 < b.r + 4) {
                for (int sy = 0; sy < 4; ++sy)
                    for (int sx = 0; sx < 4; ++sx) {
                        int64_t dx = dx0 + sx, dy = dy0 + sy;
                        if (dx * dx + dy * dy <= int64_t(b.r) * b.r) ++covered;
                    }
                if (covered) inside = ballColour(b, dx0 + 2, dy0 + 2);
            }
            f.at(x, y) = covered ? blend(p, inside, covered, 16) : p;
        }
    }
    return f;
}

// Input 0: a sky darkening upwards over a floor of tiles that pans left.
inline media::VideoFrame backgroundFrame(const ClipSize &size, int k)
{
    media::VideoFrame f;
    f.resize(size.width, size.height);
    const int horizon = size.height * 55 / 100;
    for (int y = 0; y < size.height; ++y) {
        for (int x = 0; x < size.width; ++x) {
            uint32_t n = noise(uint32_t(x) * 2654435761u ^ uint32_t(y) * 40503u);
            Pixel p;
            if (y < horizon) {
                int t = 1000 * y / horizon;   // 0 at the top, 1000 at the horizon
                p = Pixel{255, clampByte(118 + 40 * t / 1000), clampByte(150 - 45 * t / 1000),
                          clampByte(60 + 140 * t / 1000 + int(n % 3))};
            } else {
                // Tiles widen and deepen towards the viewer.
                int depth = y - horizon + 1;
                int column = floorDiv((x - size.width / 2) * 64, depth + 16) + 3 * k;
                int row = 2048 / (depth + 4);
                bool light = (floorDiv(column, 32) + row / 4) % 2 == 0;
                int grain = int(n % 13) - 6;
                p = light ? Pixel{255, 118, 96, clampByte(150 + grain)} : Pixel{255, 124, 108, clampByte(85 + grain)};
            }
            f.at(x, y) = p;
        }
    }
    return f;
}

// A wipe pattern for the clip: a diagonal ramp with circular ripples, one
// grey byte per pixel.
inline std::vector<uint8_t> wipePattern(int width, int height)
{
    std::vector<uint8_t> grey(size_t(width) * size_t(height));
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            int ramp = 255 * (x + y) / (width + height);
            int ring = int((uint32_t(x / 8) * 31u + uint32_t(y / 8) * 17u) % 24) - 12;
            grey[size_t(y) * width + x] = clampByte(ramp + ring);
        }
    return grey;
}

} // namespace demo
