// Each small operator run end to end by the host program on a generated
// clip: frames split into fields, rendered, woven back and written.

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <functional>
#include <iterator>
#include <random>
#include <string>
#include <vector>

#include "media/y4m.h"
#include "smallops.h"

using media::VideoFrame;
using testsupport::px;
using testsupport::samePixel;

namespace {

const std::string OPHOST = std::string(OPS_BIN_DIR) + "/ophost";
constexpr int WIDTH = 32, HEIGHT = 16, FRAMES = 2;   // fields of 32 x 8

class SmallOpsOnClips : public testsupport::FolderTest {
protected:

    std::vector<VideoFrame> randomClip(uint32_t seed) const
    {
        std::mt19937 rng(seed);
        std::vector<VideoFrame> frames(FRAMES);
        for (auto &f : frames) {
            f.resize(WIDTH, HEIGHT);
            for (Pixel &p : f.pixels) p = pixelFromWord(rng());
        }
        return frames;
    }

    void writeClip(const std::string &name, const std::vector<VideoFrame> &frames)
    {
        media::Y4mHeader header;
        header.width = WIDTH;
        header.height = HEIGHT;
        header.chroma = media::Chroma::C444alpha;
        header.interlace = media::Interlace::TopFirst;
        FILE *f = std::fopen(path(name).c_str(), "wb");
        ASSERT_NE(f, nullptr);
        media::Y4mWriter writer;
        std::string error;
        ASSERT_TRUE(writer.open(f, name, header, error)) << error;
        for (const auto &frame : frames) ASSERT_TRUE(writer.write(frame, error)) << error;
        ASSERT_TRUE(writer.flush(error)) << error;
        std::fclose(f);
    }

    // Runs `ophost render` and reads the frames it wrote.
    std::vector<VideoFrame> render(const std::string &args)
    {
        const testsupport::Ran ran = shell("'" + OPHOST + "' render " + args + " -o out.y4m --pix 444alpha --quiet");
        EXPECT_EQ(ran.status, 0) << args << ": " << ran.err;
        std::vector<VideoFrame> frames;
        media::Y4mReader reader;
        std::string error;
        if (!reader.open(path("out.y4m"), error)) {
            ADD_FAILURE() << error;
            return frames;
        }
        VideoFrame frame;
        while (reader.next(frame, error)) frames.push_back(frame);
        EXPECT_EQ(error, "");
        EXPECT_EQ(frames.size(), size_t(FRAMES));
        return frames;
    }

    std::string in(const std::string &name) const
    {
        std::string quoted = "'";
        quoted += path(name);
        return quoted + "'";
    }
};

// Field row r of field f is frame line 2r + f (top field first).
int frameLine(int field, int row) { return 2 * row + field; }

} // namespace

TEST_F(SmallOpsOnClips, Vashrel)
{
    // A patch of one colour at the sample area turns into the target; a far
    // colour keeps its chroma.
    auto clip = randomClip(1);
    for (auto &f : clip)
        for (int y = 0; y < HEIGHT; ++y)
            for (int x = 0; x < WIDTH; ++x)
                f.at(x, y) = x < 8 ? px(100, 100, 100, 77) : px(230, 20, 235, 77);
    writeClip("in.y4m", clip);
    auto out = render("Vashrel --in0 " + in("in.y4m") +
                      " --set 0=0,0,4,2 --set 1=85 --set 2=0x39F06EFF --set 3=1");
    for (const auto &f : out)
        for (int y = 0; y < HEIGHT; ++y) {
            EXPECT_TRUE(samePixel(f.at(3, y), px(57, 240, 110, 77))) << y;
            EXPECT_TRUE(samePixel(f.at(20, y), px(230, 20, 235, 77))) << y;
        }
}

TEST_F(SmallOpsOnClips, Plindor)
{
    auto clip = randomClip(2);
    writeClip("in.y4m", clip);
    // Source 4 x 4 at (2, 1), destination at (20, 4), opaque fill.
    auto out = render("Plindor --in0 " + in("in.y4m") +
                      " --set 0=2,1,4,4 --set 1=20,4,4,4 --set 2=0x39F06EFF");
    ASSERT_EQ(out.size(), clip.size());
    for (size_t i = 0; i < out.size(); ++i)
        for (int field = 0; field < 2; ++field)
            for (int r = 0; r < HEIGHT / 2; ++r)
                for (int c = 0; c < WIDTH; ++c) {
                    const Pixel &input = clip[i].at(c, frameLine(field, r));
                    Pixel expected = input;
                    if (c >= 2 && c < 6 && r >= 1 && r < 5)
                        expected = px(57, 240, 110, input.alpha);
                    if (c >= 20 && c < 24 && r >= 4 && r < 8)
                        expected = clip[i].at(c - 18, frameLine(field, r - 3));
                    ASSERT_TRUE(samePixel(out[i].at(c, frameLine(field, r)), expected))
                        << "frame " << i << " field " << field << " (" << c << ", " << r << ")";
                }
}

TEST_F(SmallOpsOnClips, Quorvel)
{
    auto base = randomClip(3);
    auto other = randomClip(4);
    writeClip("in0.y4m", base);
    writeClip("in1.y4m", other);
    auto out = render("Quorvel --in0 " + in("in0.y4m") + " --in1 " + in("in1.y4m") +
                      " --set 0=1,2,5,4 --set 1=28,6,5,4");
    ASSERT_EQ(out.size(), base.size());
    for (size_t i = 0; i < out.size(); ++i)
        for (int field = 0; field < 2; ++field)
            for (int r = 0; r < HEIGHT / 2; ++r)
                for (int c = 0; c < WIDTH; ++c) {
                    // The destination runs over the right and bottom edges.
                    bool block = c >= 28 && r >= 6;
                    Pixel expected = block ? other[i].at(c - 27, frameLine(field, r - 4))
                                           : base[i].at(c, frameLine(field, r));
                    ASSERT_TRUE(samePixel(out[i].at(c, frameLine(field, r)), expected))
                        << "frame " << i << " field " << field << " (" << c << ", " << r << ")";
                }
}

TEST_F(SmallOpsOnClips, Dremwick)
{
    auto clip = randomClip(5);
    writeClip("in.y4m", clip);
    auto out = render("Dremwick --in0 " + in("in.y4m") +
                      " --set 0=1 --set 1=4,2,8,4 --set 2=0x39F06EFF");
    ASSERT_EQ(out.size(), clip.size());
    for (size_t i = 0; i < out.size(); ++i)
        for (int y = 0; y < HEIGHT; ++y)
            for (int x = 0; x < WIDTH; ++x) {
                int r = y / 2;
                bool spared = x >= 4 && x < 12 && r >= 2 && r < 6;
                const Pixel &input = clip[i].at(x, y);
                Pixel expected = spared ? input : px(57, 240, 110, input.alpha);
                ASSERT_TRUE(samePixel(out[i].at(x, y), expected))
                    << i << " (" << x << ", " << y << ")";
            }
}

namespace {

struct Outcome {
    int status = -1;
    std::string err;
};

} // namespace

// What the host lets through to the operators, and what they then do with
// it: a destination only moves, a rectangle wholly off the field is taken
// with a warning, a size outside the range only with --force, and a
// visible area above or left of the frame moves everything by left and by
// top / 2 truncated toward zero. Each output is checked against the rule
// written out here.
TEST_F(SmallOpsOnClips, RectangleRulesReachTheOperators)
{
    auto clip = randomClip(9);
    auto other = randomClip(10);
    writeClip("in.y4m", clip);
    writeClip("in1.y4m", other);
    const Pixel blue = px(57, 240, 110, 0);
    auto run = [&](const std::string &args) {
        Outcome o;
        const std::string cmd = "'" + OPHOST + "' render " + args + " -o '" + path("out.y4m") +
                                "' --pix 444alpha --quiet 2> '" + path("err.txt") + "'";
        const int raw = std::system(cmd.c_str());
        o.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
        std::ifstream err(path("err.txt"));
        o.err.assign(std::istreambuf_iterator<char>(err), std::istreambuf_iterator<char>());
        return o;
    };
    // The expected pixel at (c, r) of field `field` of frame i; in is input 0.
    using Rule = std::function<Pixel(size_t i, int field, int c, int r)>;
    auto in = [&](size_t i, int field, int c, int r) { return clip[i].at(c, frameLine(field, r)); };
    auto withAlpha = [](Pixel p, uint8_t alpha) {
        p.alpha = alpha;
        return p;
    };
    struct Case {
        const char *what;
        std::string args;
        std::vector<const char *> says;
        Rule rule;   // null: refused with status 2
    } cases[] = {
        {"a destination takes only the position; its size is the source's",
         "Plindor --in0 " + this->in("in.y4m") + " --set 0=2,1,4,4 --set 1=20,4,9,9 --set 2=0x39F06EFF",
         {"size 9x9 not taken; the size follows the operator (4x4 now)"},
         [&](size_t i, int f, int c, int r) {
             if (c >= 20 && c < 24 && r >= 4 && r < 8) return in(i, f, c - 18, r - 3);
             if (c >= 2 && c < 6 && r >= 1 && r < 5) return withAlpha(blue, in(i, f, c, r).alpha);
             return in(i, f, c, r);
         }},
        {"a destination moved by x,y alone",
         "Plindor --in0 " + this->in("in.y4m") + " --set 0=2,1,4,4 --set 1=20,4 --set 2=0x39F06EFF",
         {},
         [&](size_t i, int f, int c, int r) {
             if (c >= 20 && c < 24 && r >= 4 && r < 8) return in(i, f, c - 18, r - 3);
             if (c >= 2 && c < 6 && r >= 1 && r < 5) return withAlpha(blue, in(i, f, c, r).alpha);
             return in(i, f, c, r);
         }},
        {"Plindor's destination wholly off: a copy",
         "Plindor --in0 " + this->in("in.y4m") + " --set 0=4,2,16,8 --set 1=40,12,5,5 --set 2=0x39F06EFF",
         {"40,12,16,8 lies wholly off the 32x8 field"},
         in},
        {"Quorvel's destination wholly off: input 0 as it was",
         "Quorvel --in0 " + this->in("in.y4m") + " --in1 " + this->in("in1.y4m") + " --set 0=1,2,5,4 --set 1=40,12",
         {"40,12,5,4 lies wholly off the 32x8 field"},
         in},
        {"Dremwick outside a rectangle wholly off: everything covered",
         "Dremwick --in0 " + this->in("in.y4m") + " --set 0=1 --set 1=-20,5,4,4 --set 2=0x39F06EFF",
         {"-20,5,4,4 lies wholly off the 32x8 field"},
         [&](size_t i, int f, int c, int r) { return withAlpha(blue, in(i, f, c, r).alpha); }},
        {"a mask smaller than its minimum is refused", "Dremwick --in0 " + this->in("in.y4m") + " --set 1=4,2,2,2",
         {"size 2x2 is outside 4x4..999x999", "--force"}, nullptr},
        {"... and taken with --force",
         "Dremwick --in0 " + this->in("in.y4m") + " --set 0=1 --set 1=4,2,2,2 --set 2=0x39F06EFF --force",
         {},
         [&](size_t i, int f, int c, int r) {
             const bool spared = c >= 4 && c < 6 && r >= 2 && r < 4;
             return spared ? in(i, f, c, r) : withAlpha(blue, in(i, f, c, r).alpha);
         }},
        {"a visible area above and left of the frame",
         "Dremwick --in0 " + this->in("in.y4m") + " --set 1=4,2,8,4 --set 2=0x39F06EFF --visible -5,-3,27,13",
         {},
         [&](size_t i, int f, int c, int r) {
             // left -5 moves it right by 5; top -3 down by -3 / 2 = -1 row.
             const bool covered = c >= 9 && c < 17 && r >= 3 && r < 7;
             return covered ? withAlpha(blue, in(i, f, c, r).alpha) : in(i, f, c, r);
         }},
        {"an inverted visible area is refused", "Dremwick --in0 " + this->in("in.y4m") + " --visible 6,0,2,4",
         {"empty or inverted"}, nullptr},
    };
    for (const Case &c : cases) {
        std::remove(path("out.y4m").c_str());
        Outcome o = run(c.args);
        for (const char *text : c.says) EXPECT_NE(o.err.find(text), std::string::npos) << c.what << "\n" << o.err;
        if (!c.rule) {
            EXPECT_EQ(o.status, 2) << c.what << "\n" << o.err;
            continue;
        }
        ASSERT_EQ(o.status, 0) << c.what << "\n" << o.err;
        std::vector<VideoFrame> out;
        media::Y4mReader reader;
        std::string error;
        ASSERT_TRUE(reader.open(path("out.y4m"), error)) << c.what << ": " << error;
        VideoFrame frame;
        while (reader.next(frame, error)) out.push_back(frame);
        ASSERT_EQ(out.size(), clip.size()) << c.what;
        for (size_t i = 0; i < out.size(); ++i)
            for (int field = 0; field < 2; ++field)
                for (int r = 0; r < HEIGHT / 2; ++r)
                    for (int col = 0; col < WIDTH; ++col)
                        ASSERT_TRUE(samePixel(out[i].at(col, frameLine(field, r)), c.rule(i, field, col, r)))
                            << c.what << ": frame " << i << " field " << field << " (" << col << ", " << r << ")";
    }
}
