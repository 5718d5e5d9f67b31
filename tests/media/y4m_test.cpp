// YUV4MPEG2 reading and writing: headers, every chroma layout and field
// order through a file and back, random access, and broken streams.
#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdio>
#include <random>
#include <string>
#include <utility>
#include <vector>

#include "media/y4m.h"

using media::Chroma;
using media::Interlace;
using media::VideoFrame;
using media::Y4mHeader;

namespace {

VideoFrame randomFrame(int w, int h, uint32_t seed, bool withAlpha)
{
    std::mt19937 rng(seed);
    VideoFrame f;
    f.resize(w, h);
    for (Pixel &p : f.pixels) {
        uint32_t r = rng();
        p = Pixel{withAlpha ? uint8_t(r) : uint8_t(255), uint8_t(r >> 8), uint8_t(r >> 16), uint8_t(r >> 24)};
    }
    return f;
}

// Gives every chroma block the chroma of its top-left pixel, so that a
// subsampled layout can carry the frame exactly. With `fields`, a block of
// two lines is two lines of one field (frame lines y and y + 2).
void blockChroma(VideoFrame &f, int bw, int bh, bool fields = false)
{
    for (int y = 0; y < f.height; ++y)
        for (int x = 0; x < f.width; ++x) {
            const int top = fields && bh == 2 ? ((y >> 2) << 2) | (y & 1) : y - y % bh;
            const Pixel &src = f.at(x - x % bw, top);
            f.at(x, y).u = src.u;
            f.at(x, y).v = src.v;
        }
}

std::string tempPath(const std::string &name)
{
    return testing::TempDir() + "media_" + std::to_string(::getpid()) + "_" + name;
}

void writeFile(const std::string &path, const std::string &bytes)
{
    FILE *f = std::fopen(path.c_str(), "wb");
    ASSERT_NE(f, nullptr);
    std::fwrite(bytes.data(), 1, bytes.size(), f);
    std::fclose(f);
}

void writeStream(const std::string &path, const Y4mHeader &h, const std::vector<VideoFrame> &frames)
{
    FILE *f = std::fopen(path.c_str(), "wb");
    ASSERT_NE(f, nullptr);
    media::Y4mWriter writer;
    std::string error;
    ASSERT_TRUE(writer.open(f, path, h, error)) << error;
    for (const VideoFrame &frame : frames) ASSERT_TRUE(writer.write(frame, error)) << error;
    ASSERT_TRUE(writer.flush(error)) << error;
    std::fclose(f);
}

bool sameFrame(const VideoFrame &a, const VideoFrame &b)
{
    if (a.width != b.width || a.height != b.height) return false;
    for (size_t i = 0; i < a.pixels.size(); ++i)
        if (pixelWord(a.pixels[i]) != pixelWord(b.pixels[i])) return false;
    return true;
}

} // namespace

TEST(Y4mHeader, ReadsEveryChromaNameAndFieldOrder)
{
    struct Case {
        const char *tag;
        Chroma chroma;
    } cases[] = {{"444alpha", Chroma::C444alpha}, {"444", Chroma::C444},       {"422", Chroma::C422},
                 {"420", Chroma::C420},           {"420jpeg", Chroma::C420},   {"420mpeg2", Chroma::C420},
                 {"420paldv", Chroma::C420}};
    for (const Case &c : cases) {
        Y4mHeader h;
        EXPECT_EQ(media::parseY4mHeader(std::string("YUV4MPEG2 W8 H4 F30000:1001 It A10:11 C") + c.tag + " XFOO=1\n", h), "");
        EXPECT_EQ(h.chroma, c.chroma) << c.tag;
        EXPECT_EQ(h.interlace, Interlace::TopFirst);
        EXPECT_EQ(h.rateNum, 30000);
        EXPECT_EQ(h.rateDen, 1001);
        EXPECT_EQ(h.aspectNum, 10);
        ASSERT_EQ(h.extras.size(), 1u);
    }
    Y4mHeader h;
    EXPECT_EQ(media::parseY4mHeader("YUV4MPEG2 W8 H4", h), "");
    EXPECT_EQ(h.chroma, Chroma::C420) << "no C parameter means 4:2:0";
    EXPECT_EQ(h.interlace, Interlace::Progressive);
    EXPECT_EQ(media::parseY4mHeader("YUV4MPEG2 W8 H4 Ib", h), "");
    EXPECT_EQ(h.interlace, Interlace::BottomFirst);
    EXPECT_EQ(media::parseY4mHeader("YUV4MPEG2 W8 H4 Im", h), "");
    EXPECT_EQ(h.interlace, Interlace::Mixed);
}

TEST(Y4mHeader, RefusesWhatItCannotRead)
{
    Y4mHeader h;
    EXPECT_NE(media::parseY4mHeader("YUV4MPEG W8 H4", h), "");
    EXPECT_NE(media::parseY4mHeader("YUV4MPEG2 H4", h), "");
    EXPECT_NE(media::parseY4mHeader("YUV4MPEG2 W0 H4", h), "");
    EXPECT_NE(media::parseY4mHeader("YUV4MPEG2 W-8 H4", h), "");
    EXPECT_NE(media::parseY4mHeader("YUV4MPEG2 W99999999 H4", h), "");
    // One size limit for every reader, before anything is allocated.
    EXPECT_NE(media::parseY4mHeader("YUV4MPEG2 W16385 H2", h).find("too large"), std::string::npos);
    EXPECT_NE(media::parseY4mHeader("YUV4MPEG2 W16384 H8194", h).find("too large"), std::string::npos);
    EXPECT_EQ(media::parseY4mHeader("YUV4MPEG2 W16384 H4096", h), "");
    EXPECT_NE(media::parseY4mHeader("YUV4MPEG2 W8 H4 F25:0", h), "");
    EXPECT_NE(media::parseY4mHeader("YUV4MPEG2 W8 H4 Iq", h), "");
    std::string fault = media::parseY4mHeader("YUV4MPEG2 W8 H4 Cmono", h);
    EXPECT_NE(fault.find("mono"), std::string::npos) << fault;
    EXPECT_NE(media::parseY4mHeader("YUV4MPEG2 W8 H4 C420p10", h), "");
    EXPECT_NE(media::parseY4mHeader("YUV4MPEG2 W8 H4 Z1", h), "");
}

// Through a file and back: exact for every layout whose chroma the frame
// can carry, with each field order flag.
TEST(Y4mRoundTrip, EveryChromaLayoutAndFieldOrder)
{
    struct Case {
        Chroma chroma;
        int bw, bh;
    } cases[] = {{Chroma::C444alpha, 1, 1}, {Chroma::C444, 1, 1}, {Chroma::C422, 2, 1}, {Chroma::C420, 2, 2}};
    const Interlace orders[] = {Interlace::TopFirst, Interlace::BottomFirst, Interlace::Progressive, Interlace::Mixed};
    int n = 0;
    for (const Case &c : cases) {
        for (Interlace order : orders) {
            Y4mHeader h;
            h.width = 10;
            h.height = 8;
            h.chroma = c.chroma;
            h.interlace = order;
            std::vector<VideoFrame> frames;
            for (int k = 0; k < 3; ++k) {
                frames.push_back(randomFrame(h.width, h.height, uint32_t(100 * n + k), c.chroma == Chroma::C444alpha));
                blockChroma(frames.back(), c.bw, c.bh, order != Interlace::Progressive);
            }
            std::string path = tempPath("rt" + std::to_string(n++) + ".y4m");
            writeStream(path, h, frames);
            media::Y4mReader reader;
            std::string error;
            ASSERT_TRUE(reader.open(path, error)) << error;
            EXPECT_EQ(reader.header().chroma, c.chroma);
            EXPECT_EQ(reader.header().interlace, order);
            EXPECT_EQ(reader.frameCount(error), 3);
            VideoFrame got;
            for (int k = 0; k < 3; ++k) {
                ASSERT_TRUE(reader.next(got, error)) << error;
                EXPECT_TRUE(sameFrame(got, frames[size_t(k)])) << media::chromaName(c.chroma) << " frame " << k;
            }
            EXPECT_FALSE(reader.next(got, error));
            EXPECT_EQ(error, "") << "a clean end is no fault";
            std::remove(path.c_str());
        }
    }
}

// Planes in, planes out: replication on reading and averaging on writing
// give back the stored chroma samples, odd sizes included.
TEST(Y4mChroma, SubsampledPlanesSurviveDecodeAndEncode)
{
    for (Chroma chroma : {Chroma::C422, Chroma::C420}) {
        for (bool fields : {false, true}) {
            for (int w : {1, 2, 5, 8}) {
                for (int h : {1, 2, 3, 4, 6, 8, 10}) {
                    Y4mHeader header;
                    header.width = w;
                    header.height = h;
                    header.chroma = chroma;
                    std::vector<uint8_t> planes(media::y4mFrameBytes(header));
                    std::mt19937 rng(uint32_t(w * 31 + h));
                    for (uint8_t &b : planes) b = uint8_t(rng());
                    VideoFrame frame;
                    media::decodeY4mFrame(header, planes.data(), frame, fields);
                    std::vector<uint8_t> again(planes.size());
                    media::encodeY4mFrame(header, frame, again.data(), fields);
                    EXPECT_EQ(again, planes) << media::chromaName(chroma) << " " << w << "x" << h
                                             << (fields ? " by field" : "");
                }
            }
        }
    }
}

// A top field of one colour over a bottom field of another, 4:2:0: every
// interlaced order keeps each field's chroma to itself, in the file (chroma
// row c is field c mod 2's) and back; progressive pairs frame lines. The
// 4:2:2 and 4:4:4 layouts are line by line already.
TEST(Y4mChroma, InterlacedFieldsKeepTheirOwnChroma)
{
    const uint8_t topU = 200, topV = 60, bottomU = 50, bottomV = 210;
    struct Case {
        Chroma chroma;
        Interlace order;
        const char *tag;
        bool byField;
    } cases[] = {{Chroma::C420, Interlace::TopFirst, "It", true},     {Chroma::C420, Interlace::BottomFirst, "Ib", true},
                 {Chroma::C420, Interlace::Mixed, "Im", true},        {Chroma::C420, Interlace::Progressive, "Ip", false},
                 {Chroma::C422, Interlace::TopFirst, "It", true},     {Chroma::C444, Interlace::BottomFirst, "Ib", true}};
    int n = 0;
    for (const Case &c : cases) {
        Y4mHeader h;
        h.width = 6;
        h.height = 8;
        h.chroma = c.chroma;
        h.interlace = c.order;
        h.colourTag = "420mpeg2";
        VideoFrame frame = randomFrame(h.width, h.height, uint32_t(7 + n), false);
        for (int y = 0; y < h.height; ++y)
            for (int x = 0; x < h.width; ++x) {
                frame.at(x, y).u = y % 2 ? bottomU : topU;
                frame.at(x, y).v = y % 2 ? bottomV : topV;
            }
        std::string path = tempPath("fields" + std::to_string(n++) + ".y4m");
        writeStream(path, h, {frame});
        const std::string label = std::string(media::chromaName(c.chroma)) + " " + c.tag;

        FILE *f = std::fopen(path.c_str(), "rb");
        ASSERT_NE(f, nullptr);
        char line[256] = {};
        ASSERT_NE(std::fgets(line, sizeof line, f), nullptr);
        EXPECT_NE(std::string(line).find(std::string(" ") + c.tag + " "), std::string::npos) << label << ": " << line;
        if (c.chroma == Chroma::C420) {
            EXPECT_NE(std::string(line).find("C420mpeg2"), std::string::npos) << "the siting tag is kept: " << line;
            ASSERT_NE(std::fgets(line, sizeof line, f), nullptr);   // FRAME
            std::vector<uint8_t> planes(media::y4mFrameBytes(h));
            ASSERT_EQ(std::fread(planes.data(), 1, planes.size(), f), planes.size());
            const uint8_t *uPlane = planes.data() + 6 * 8;
            for (int row = 0; row < 4; ++row) {
                const uint8_t want = !c.byField ? uint8_t((topU + bottomU + 1) / 2) : row % 2 ? bottomU : topU;
                EXPECT_EQ(uPlane[row * 3], want) << label << ": chroma row " << row;
            }
        }
        std::fclose(f);

        media::Y4mReader reader;
        std::string error;
        ASSERT_TRUE(reader.open(path, error)) << error;
        VideoFrame got;
        ASSERT_TRUE(reader.next(got, error)) << error;
        for (int y = 0; y < h.height; ++y) {
            const bool bottom = y % 2 == 1;
            if (!c.byField) break;
            EXPECT_EQ(got.at(1, y).u, bottom ? bottomU : topU) << label << ": line " << y;
            EXPECT_EQ(got.at(4, y).v, bottom ? bottomV : topV) << label << ": line " << y;
        }
        std::remove(path.c_str());
    }
}

// A mixed stream says per frame whether its chroma is by field.
TEST(Y4mChroma, MixedStreamFollowsEachFramesFlag)
{
    // 2x4 frames, 4:2:0: chroma rows hold 10 and 20 (U), 30 and 40 (V).
    const std::string planes = std::string(8, 'Y') + std::string("\x0a\x14\x1e\x28", 4);
    const std::string path = tempPath("mixed.y4m");
    writeFile(path, "YUV4MPEG2 W2 H4 Im C420\nFRAME Itpp\n" + planes + "FRAME Itii\n" + planes + "FRAME\n" + planes);
    media::Y4mReader reader;
    std::string error;
    ASSERT_TRUE(reader.open(path, error)) << error;
    const uint8_t progressive[4] = {10, 10, 20, 20}, byField[4] = {10, 20, 10, 20};
    for (const uint8_t *want : {progressive, byField, byField}) {
        VideoFrame got;
        ASSERT_TRUE(reader.next(got, error)) << error;
        for (int y = 0; y < 4; ++y) EXPECT_EQ(got.at(0, y).u, want[y]) << "frame " << reader.nextIndex() - 1 << " line " << y;
    }
    std::remove(path.c_str());
}

// The conversion as plain per-pixel arithmetic, to check the vector loops
// against.
int plainChromaRow(int y, int rows, bool fieldChroma)
{
    if (!fieldChroma) return y >> 1;
    int row = ((y >> 2) << 1) | (y & 1);
    while (row >= rows && row >= 2) row -= 2;
    return row < rows ? row : rows - 1;
}

void plainDecode(const Y4mHeader &h, const uint8_t *planes, VideoFrame &frame, bool fieldChroma)
{
    const int w = h.width, ht = h.height;
    const bool half = h.chroma == Chroma::C420 || h.chroma == Chroma::C422;
    const int cw = half ? (w + 1) / 2 : w, ch = h.chroma == Chroma::C420 ? (ht + 1) / 2 : ht;
    frame.resize(w, ht);
    const uint8_t *u = planes + size_t(w) * ht, *v = u + size_t(cw) * ch, *a = v + size_t(cw) * ch;
    for (int y = 0; y < ht; ++y) {
        const int cy = ch != ht ? plainChromaRow(y, ch, fieldChroma) : y;
        for (int x = 0; x < w; ++x) {
            const size_t c = size_t(cy) * cw + size_t(half ? x / 2 : x);
            frame.at(x, y) = Pixel{h.chroma == Chroma::C444alpha ? a[size_t(y) * w + x] : uint8_t(255), v[c], u[c],
                                   planes[size_t(y) * w + x]};
        }
    }
}

void plainEncode(const Y4mHeader &h, const VideoFrame &frame, uint8_t *planes, bool fieldChroma)
{
    const int w = h.width, ht = h.height;
    const bool half = h.chroma == Chroma::C420 || h.chroma == Chroma::C422;
    const int cw = half ? (w + 1) / 2 : w, ch = h.chroma == Chroma::C420 ? (ht + 1) / 2 : ht;
    uint8_t *u = planes + size_t(w) * ht, *v = u + size_t(cw) * ch, *a = v + size_t(cw) * ch;
    std::vector<unsigned> su(size_t(cw) * ch), sv(su.size()), n(su.size());
    std::vector<int> lines(static_cast<size_t>(ch));
    for (int y = 0; y < ht; ++y) {
        const int cy = ch != ht ? plainChromaRow(y, ch, fieldChroma) : y;
        const bool counted = lines[size_t(cy)]++ < 3;   // a row takes three lines at most
        for (int x = 0; x < w; ++x) {
            const Pixel &p = frame.at(x, y);
            planes[size_t(y) * w + x] = p.y;
            if (h.chroma == Chroma::C444alpha) a[size_t(y) * w + x] = p.alpha;
            const size_t c = size_t(cy) * cw + size_t(half ? x / 2 : x);
            if (!counted) continue;
            su[c] += p.u;
            sv[c] += p.v;
            ++n[c];
        }
    }
    for (size_t c = 0; c < su.size(); ++c) {
        const unsigned k = n[c] ? n[c] : 1;
        u[c] = uint8_t((su[c] + k / 2) / k);
        v[c] = uint8_t((sv[c] + k / 2) / k);
    }
}

// Every layout, field or frame chroma, widths around the vector sizes and
// heights whose last chroma row gathers one, two or three lines: the
// conversion gives the plain arithmetic's bytes, and converting a frame's
// two fields gives what converting the frame gives.
TEST(Y4mChroma, VectorLoopsGiveThePlainArithmeticsBytes)
{
    for (Chroma chroma : {Chroma::C444alpha, Chroma::C444, Chroma::C422, Chroma::C420}) {
        for (bool fields : {false, true}) {
            for (int w : {1, 2, 3, 7, 16, 31, 33, 67}) {
                for (int h : {2, 4, 6, 10, 14}) {
                    const std::string what = std::string(media::chromaName(chroma)) + " " + std::to_string(w) + "x" +
                                             std::to_string(h) + (fields ? " by field" : "");
                    Y4mHeader header;
                    header.width = w;
                    header.height = h;
                    header.chroma = chroma;
                    std::vector<uint8_t> planes(media::y4mFrameBytes(header));
                    std::mt19937 rng(uint32_t(w * 131 + h * 7 + int(chroma)));
                    for (uint8_t &b : planes) b = uint8_t(rng());

                    VideoFrame got, want;
                    media::decodeY4mFrame(header, planes.data(), got, fields);
                    plainDecode(header, planes.data(), want, fields);
                    ASSERT_TRUE(sameFrame(got, want)) << what;
                    std::vector<Pixel> top(size_t(w) * (h / 2)), bottom(top.size());
                    media::decodeY4mRows(header, planes.data(), media::fieldRows(top.data(), bottom.data(), w), fields);
                    for (int y = 0; y < h; ++y)
                        for (int x = 0; x < w; ++x)
                            ASSERT_EQ(pixelWord((y % 2 ? bottom : top)[size_t(y / 2) * w + x]), pixelWord(want.at(x, y)))
                                << what << " field line " << y;

                    const VideoFrame frame = randomFrame(w, h, uint32_t(w + h), chroma == Chroma::C444alpha);
                    std::vector<uint8_t> encoded(planes.size()), plain(planes.size()), fromFields(planes.size());
                    media::encodeY4mFrame(header, frame, encoded.data(), fields);
                    plainEncode(header, frame, plain.data(), fields);
                    ASSERT_EQ(encoded, plain) << what;
                    for (int y = 0; y < h; ++y)
                        for (int x = 0; x < w; ++x) (y % 2 ? bottom : top)[size_t(y / 2) * w + x] = frame.at(x, y);
                    media::encodeY4mRows(header, media::fieldRows(std::as_const(top).data(), std::as_const(bottom).data(), w),
                                         fromFields.data(), fields);
                    ASSERT_EQ(fromFields, plain) << what;
                }
            }
        }
    }
}

TEST(Y4mChroma, DownsamplingAveragesWithRounding)
{
    // 3x3 frame to 4:2:0: chroma 2x2 samples covering 4, 2, 2 and 1 pixels.
    Y4mHeader h;
    h.width = 3;
    h.height = 3;
    h.chroma = Chroma::C420;
    VideoFrame f;
    f.resize(3, 3);
    const uint8_t u[9] = {10, 11, 200, 20, 22, 0, 255, 254, 7};
    for (int i = 0; i < 9; ++i) {
        f.pixels[size_t(i)].u = u[i];
        f.pixels[size_t(i)].v = uint8_t(255 - u[i]);
    }
    std::vector<uint8_t> planes(media::y4mFrameBytes(h));
    ASSERT_EQ(planes.size(), 9u + 4u + 4u);
    media::encodeY4mFrame(h, f, planes.data());
    const uint8_t *uPlane = planes.data() + 9;
    const uint8_t *vPlane = uPlane + 4;
    EXPECT_EQ(uPlane[0], (10 + 11 + 20 + 22 + 2) / 4);   // 16
    EXPECT_EQ(uPlane[1], (200 + 0 + 1) / 2);              // 100 (rounded half up)
    EXPECT_EQ(uPlane[2], (255 + 254 + 1) / 2);            // 255
    EXPECT_EQ(uPlane[3], 7);
    EXPECT_EQ(vPlane[0], (245 + 244 + 235 + 233 + 2) / 4);
    EXPECT_EQ(vPlane[3], 248);
}

TEST(Y4mReader, RandomAccessOnAFile)
{
    Y4mHeader h;
    h.width = 4;
    h.height = 2;
    h.chroma = Chroma::C444;
    std::vector<VideoFrame> frames;
    for (int k = 0; k < 6; ++k) frames.push_back(randomFrame(4, 2, uint32_t(k), false));
    std::string path = tempPath("seek.y4m");
    writeStream(path, h, frames);
    media::Y4mReader reader;
    std::string error;
    ASSERT_TRUE(reader.open(path, error)) << error;
    EXPECT_TRUE(reader.seekable());
    VideoFrame got;
    for (int index : {4, 1, 5, 0, 3, 3, 2}) {
        ASSERT_TRUE(reader.read(index, got, error)) << error;
        EXPECT_TRUE(sameFrame(got, frames[size_t(index)])) << "frame " << index;
    }
    EXPECT_FALSE(reader.read(6, got, error));
    EXPECT_EQ(error, "");
    EXPECT_EQ(reader.frameCount(error), 6);
    ASSERT_TRUE(reader.read(2, got, error)) << "counting does not lose the place";
    EXPECT_TRUE(sameFrame(got, frames[2]));
    std::remove(path.c_str());
}

TEST(Y4mReader, PipeGoesOnlyForwards)
{
    Y4mHeader h;
    h.width = 2;
    h.height = 2;
    h.chroma = Chroma::C444;
    std::vector<VideoFrame> frames;
    for (int k = 0; k < 4; ++k) frames.push_back(randomFrame(2, 2, uint32_t(k), false));
    std::string path = tempPath("pipe.y4m");
    writeStream(path, h, frames);
    FILE *pipe = popen(("cat " + path).c_str(), "r");
    ASSERT_NE(pipe, nullptr);
    {
        media::Y4mReader reader;
        std::string error;
        ASSERT_TRUE(reader.open(pipe, "pipe", error)) << error;
        EXPECT_FALSE(reader.seekable());
        EXPECT_EQ(reader.frameCount(error), -1);
        VideoFrame got;
        ASSERT_TRUE(reader.read(2, got, error)) << error;
        EXPECT_TRUE(sameFrame(got, frames[2]));
        EXPECT_FALSE(reader.read(1, got, error));
        EXPECT_NE(error.find("frame 1"), std::string::npos) << error;
        ASSERT_TRUE(reader.read(3, got, error)) << error;
        EXPECT_TRUE(sameFrame(got, frames[3]));
    }
    pclose(pipe);
    std::remove(path.c_str());
}

TEST(Y4mReader, BrokenStreamsNameTheFileFrameAndFault)
{
    const std::string header = "YUV4MPEG2 W4 H2 C444\n";
    const std::string frame(24, 'x');
    struct Case {
        const char *what;
        std::string bytes;
        const char *expect;   // in the error
        int framesBefore;
    } cases[] = {
        {"empty", "", "empty", -1},
        {"no signature", "RIFF....\n", "not a YUV4MPEG2", -1},
        {"no header end", "YUV4MPEG2 W4 H2 C444", "no end", -1},
        {"unsupported chroma", "YUV4MPEG2 W4 H2 C411\n", "C411", -1},
        {"truncated data", header + "FRAME\n" + frame + "FRAME\n" + frame.substr(0, 10), "frame 1: truncated frame data", 1},
        {"bad marker", header + "FRAME\n" + frame + "FRAMX\n" + frame, "frame 1: no FRAME marker", 1},
        {"truncated marker", header + "FRAME\n" + frame + "FRA", "frame 1:", 1},
        // Refused from the file's size, before room for 256 MB is made.
        {"huge frame, tiny file", "YUV4MPEG2 W8192 H8192 C444alpha\nFRAME\nabc", "frame 0: truncated frame data (3 of", 0},
    };
    int n = 0;
    for (const Case &c : cases) {
        std::string path = tempPath("broken" + std::to_string(n++) + ".y4m");
        writeFile(path, c.bytes);
        media::Y4mReader reader;
        std::string error;
        if (c.framesBefore < 0) {
            EXPECT_FALSE(reader.open(path, error)) << c.what;
        } else {
            ASSERT_TRUE(reader.open(path, error)) << c.what << ": " << error;
            VideoFrame got;
            for (int k = 0; k < c.framesBefore; ++k) ASSERT_TRUE(reader.next(got, error)) << c.what;
            EXPECT_FALSE(reader.next(got, error)) << c.what;
        }
        EXPECT_NE(error.find(path), std::string::npos) << c.what << ": " << error;
        EXPECT_NE(error.find(c.expect), std::string::npos) << c.what << ": " << error;
        std::remove(path.c_str());
    }
}
