// The module as melt runs it: the services it lists, and its frames against
// ophost render's on the same 4:2:2 files, byte for byte.
#include <gtest/gtest.h>

#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <map>
#include <set>
#include <sstream>
#include <cstdlib>
#include <string>
#include <vector>

#include "rgba.h"
#include "testsupport.h"

using testsupport::Ran;
using testsupport::runShell;
using testsupport::slurp;

namespace {

// The frames of a 4:2:2 YUV4MPEG2 file, each its plane bytes (headers
// apart: melt and ophost may write different tags for the same pictures).
std::vector<std::string> y4mFrames(const std::string &bytes)
{
    std::vector<std::string> frames;
    size_t at = bytes.find('\n');
    if (at == std::string::npos) return frames;
    int width = 0, height = 0;
    const std::string header = " " + bytes.substr(0, at);
    if (size_t w = header.find(" W"); w != std::string::npos) width = std::atoi(header.c_str() + w + 2);
    if (size_t h = header.find(" H"); h != std::string::npos) height = std::atoi(header.c_str() + h + 2);
    if (header.find(" C422") == std::string::npos) return frames;
    const size_t frameBytes = size_t(width) * size_t(height) * 2;
    ++at;
    while (at < bytes.size() && bytes.compare(at, 5, "FRAME") == 0) {
        size_t start = bytes.find('\n', at);
        if (start == std::string::npos || bytes.size() - start - 1 < frameBytes) break;
        frames.push_back(bytes.substr(start + 1, frameBytes));
        at = start + 1 + frameBytes;
    }
    return frames;
}

// Every <parameter ...> element's attributes of a description file, as
// name=value pairs, and the root element's name.
struct Described {
    std::string root;
    std::vector<std::vector<std::pair<std::string, std::string>>> params;
    size_t listDisplays = 0, lists = 0;
};

Described readDescription(const std::string &text)
{
    Described d;
    size_t doc = text.find("<!DOCTYPE kpartgui>");
    size_t open = text.find('<', doc == std::string::npos ? 0 : doc + 1);
    if (open != std::string::npos) d.root = text.substr(open + 1, text.find_first_of(" >", open) - open - 1);
    for (size_t at = text.find("<parameter "); at != std::string::npos; at = text.find("<parameter ", at + 1)) {
        const std::string tag = text.substr(at, text.find('>', at) - at);
        std::vector<std::pair<std::string, std::string>> attrs;
        for (size_t eq = tag.find("=\""); eq != std::string::npos; eq = tag.find("=\"", eq + 2)) {
            size_t nameStart = tag.rfind(' ', eq) + 1;
            size_t valueEnd = tag.find('"', eq + 2);
            attrs.emplace_back(tag.substr(nameStart, eq - nameStart), tag.substr(eq + 2, valueEnd - eq - 2));
        }
        for (const auto &a : attrs)
            if (a.first == "type" && a.second == "list") ++d.lists;
        d.params.push_back(std::move(attrs));
    }
    for (size_t at = text.find("<paramlistdisplay>"); at != std::string::npos; at = text.find("<paramlistdisplay>", at + 1))
        ++d.listDisplays;
    return d;
}

struct ClipShape {
    int width, height;
    const char *interlace;   // "p", "t", "b"
};

// A 4:2:2 clip whose pictures change from frame to frame. kind 0: a
// background of gradients; kind 1: a blue screen with a moving subject.
void writeClip(const std::string &path, ClipShape shape, int frames, int kind, int seed)
{
    std::string s = "YUV4MPEG2 W" + std::to_string(shape.width) + " H" + std::to_string(shape.height) + " F25:1 I" +
                    shape.interlace + " A1:1 C422\n";
    const int w = shape.width, h = shape.height, cw = w / 2;
    for (int f = 0; f < frames; ++f) {
        s += "FRAME\n";
        std::string y(size_t(w) * h, '\0'), u(size_t(cw) * h, '\0'), v(size_t(cw) * h, '\0');
        for (int row = 0; row < h; ++row)
            for (int x = 0; x < w; ++x) {
                const bool subject = kind == 1 && x > w / 4 + f * 2 + seed && x < w / 2 + f * 2 + seed && row > h / 4 &&
                                     row < 3 * h / 4;
                uint8_t yy = 0, uu = 0, vv = 0;
                if (kind == 0) {
                    yy = uint8_t(16 + (x * 3 + row * 2 + f * 7 + seed) % 220);
                    uu = uint8_t(16 + (x + f * 5 + seed) % 224);
                    vv = uint8_t(16 + (row * 3 + f * 3) % 224);
                } else if (subject) {
                    yy = uint8_t(120 + (x + row + f) % 90);
                    uu = uint8_t(100 + row % 30);
                    vv = uint8_t(150 + x % 40);
                } else {
                    // Near the default key colour, with a little noise.
                    yy = uint8_t(0x39 + (x * 7 + row * 13 + f) % 9);
                    uu = uint8_t(0xF0 - (x + row) % 5);
                    vv = uint8_t(0x6E + (x * 3 + row) % 7);
                }
                y[size_t(row) * w + x] = char(yy);
                if (x % 2 == 0) {
                    u[size_t(row) * cw + x / 2] = char(uu);
                    v[size_t(row) * cw + x / 2] = char(vv);
                }
            }
        s += y + u + v;
    }
    FILE *file = std::fopen(path.c_str(), "wb");
    ASSERT_NE(file, nullptr);
    std::fwrite(s.data(), 1, s.size(), file);
    std::fclose(file);
}

class Melt : public ::testing::Test {
protected:
    std::string dir_, env_;

    void SetUp() override
    {
        dir_ = std::string(::testing::TempDir()) + "mlt_" + std::to_string(getpid()) + "_" +
               ::testing::UnitTest::GetInstance()->current_test_info()->name();
        for (char &c : dir_)
            if (c == '/' && &c > dir_.data() + std::string(::testing::TempDir()).size()) c = '_';
        ASSERT_EQ(std::system(("rm -rf '" + dir_ + "' && mkdir -p '" + dir_ + "'").c_str()), 0);
        Ran repo = runShell(dir_, "sh '" OPS_SOURCE_DIR "/scripts/mlt-repo.sh' '" OPS_BUILD_DIR "' repo");
        ASSERT_EQ(repo.status, 0) << repo.err;
        ASSERT_EQ(repo.out.compare(0, 7, "export "), 0) << repo.out;
        env_ = repo.out.substr(0, repo.out.find('\n')) + "; ";
        writeClip(dir_ + "/bg.y4m", {64, 48, "p"}, 10, 0, 0);
        writeClip(dir_ + "/fg.y4m", {64, 48, "p"}, 10, 1, 0);
        writeClip(dir_ + "/fg2.y4m", {64, 48, "p"}, 10, 1, 9);
        writeProfile("p64", 64, 48, true);
    }
    void TearDown() override
    {
        if (!HasFailure()) std::system(("rm -rf '" + dir_ + "'").c_str());
    }

    void writeProfile(const std::string &name, int w, int h, bool progressive)
    {
        std::string p = "description=test\nframe_rate_num=25\nframe_rate_den=1\nwidth=" + std::to_string(w) +
                        "\nheight=" + std::to_string(h) + "\nprogressive=" + (progressive ? "1" : "0") +
                        "\nsample_aspect_num=1\nsample_aspect_den=1\ndisplay_aspect_num=" + std::to_string(w) +
                        "\ndisplay_aspect_den=" + std::to_string(h) + "\ncolorspace=601\n";
        FILE *f = std::fopen((dir_ + "/" + name).c_str(), "w");
        ASSERT_NE(f, nullptr);
        std::fputs(p.c_str(), f);
        std::fclose(f);
    }

    // melt with the module; `args` between the profile and the consumer.
    Ran melt(const std::string &args, const std::string &out, const std::string &profile = "p64",
             const std::string &realTime = "-1", const std::string &consumer = "")
    {
        return meltTo(args, "avformat:" + out + " f=yuv4mpegpipe pix_fmt=yuv422p an=1 real_time=" + realTime + " " +
                                consumer,
                      profile);
    }
    // melt with `consumer` written out whole.
    Ran meltTo(const std::string &args, const std::string &consumer, const std::string &profile = "p64")
    {
        // melt itself (with or without this module) now and then never sees
        // its consumer stop on a loaded machine (its main loop sleeps on with
        // no other thread left), and a TERM that comes while it frees its
        // memory can deadlock its own handler: a run that hangs is killed
        // and run again, up to five times.
        const std::string line = env_ + "timeout -k 3 20 melt -verbose -profile " + profile + " " + args +
                                 " -consumer " + consumer + " < /dev/null";
        Ran r = runShell(dir_, line);
        for (int again = 0; again < 4 && (r.status == 124 || r.status == 137); ++again) r = runShell(dir_, line);
        return r;
    }
    Ran ophost(const std::string &args)
    {
        return runShell(dir_, "'" + testsupport::programPath("ophost") + "' render -q --pix 422 " + args);
    }
    std::vector<std::string> frames(const std::string &file) { return y4mFrames(slurp(dir_ + "/" + file)); }

    // The melt run's log holds every instance's closing line, none with a
    // picture held.
    static void expectNothingHeld(const Ran &r, int instances)
    {
        size_t closing = 0;
        for (size_t at = r.err.find("picture(s) held"); at != std::string::npos; at = r.err.find("picture(s) held", at + 1))
            ++closing;
        EXPECT_EQ(closing, size_t(instances)) << r.err;
        EXPECT_EQ(r.err.find("still held"), std::string::npos) << r.err;
        for (size_t at = r.err.find("picture(s) held"); at != std::string::npos; at = r.err.find("picture(s) held", at + 1))
            EXPECT_EQ(r.err.compare(at - 3, 3, " 0 "), 0) << r.err.substr(at - 40, 60);
    }
};

void expectSameFrames(const std::vector<std::string> &got, size_t gotFirst, const std::vector<std::string> &want,
                      const std::string &what)
{
    ASSERT_FALSE(want.empty()) << what;
    ASSERT_GE(got.size(), gotFirst + want.size()) << what;
    for (size_t i = 0; i < want.size(); ++i)
        EXPECT_TRUE(got[gotFirst + i] == want[i]) << what << ": frame " << gotFirst + i << " differs";
}

TEST_F(Melt, QueryListsTheSixServices)
{
    Ran t = runShell(dir_, env_ + "melt -query transitions");
    Ran f = runShell(dir_, env_ + "melt -query filters");
    for (const char *id : {"zenvarth", "quorvel"}) EXPECT_NE(t.out.find("- " + std::string(id) + "\n"), std::string::npos) << id;
    for (const char *id : {"tolmic", "vashrel", "plindor", "dremwick"})
        EXPECT_NE(f.out.find("- " + std::string(id) + "\n"), std::string::npos) << id;
    Ran meta = runShell(dir_, env_ + "melt -query transition=zenvarth");
    EXPECT_NE(meta.out.find("colorTolerance"), std::string::npos) << meta.out;
}

TEST_F(Melt, PassesA422ClipThroughUnchanged)
{
    Ran r = melt("bg.y4m", "out.y4m");
    ASSERT_EQ(r.status, 0) << r.err;
    expectSameFrames(frames("out.y4m"), 0, frames("bg.y4m"), "pass-through");
}

struct Case {
    const char *name;
    const char *meltArgs;     // after the clips
    const char *ophostArgs;   // operator, inputs and settings
    bool twoTracks;
    int first, end;           // frames compared: melt's [first, end) against ophost's output
    // The operator samples its picture at the first render of a run; each
    // frame in MLT is a run of its own, as ophost's --frames K:K+1 is.
    bool runPerFrame = false;
};

TEST_F(Melt, FramesEqualOphostRender)
{
    ASSERT_EQ(runShell(dir_, "'" + testsupport::programPath("zvpreset") +
                                 "' new shadow.zvp && '" + testsupport::programPath("zvpreset") +
                                 "' set shadow.zvp effectType=2 shadowDistance=6 shadowDirection=3 colorTolerance=35")
                  .status,
              0);
    const Case cases[] = {
        {"zenvarth keyer 1", "-transition zenvarth in=0 out=9 a_track=0 b_track=1 keyerType=1",
         "Zenvarth --in0 bg.y4m --in1 fg.y4m --set keyerType=1", true, 0, 10},
        {"zenvarth preset and shadow", "-transition zenvarth in=0 out=9 a_track=0 b_track=1 settings=shadow.zvp shadowSoftness=3",
         "Zenvarth --in0 bg.y4m --in1 fg.y4m --settings shadow.zvp --set shadowSoftness=3", true, 0, 10},
        // The section is the transition's in-to-out length: fades span it.
        {"zenvarth fades across the transition",
         "-transition zenvarth in=2 out=7 a_track=0 b_track=1 keyerType=1 fadeInFrames=3 fadeOutFrames=2",
         "Zenvarth --in0 bg.y4m --in1 fg.y4m --set keyerType=1 --set fadeInFrames=3 --set fadeOutFrames=2 --frames 2:8",
         true, 2, 8},
        {"quorvel inside the clip", "-transition quorvel in=2 out=7 a_track=0 b_track=1",
         "Quorvel --in0 bg.y4m --in1 fg.y4m --frames 2:8", true, 2, 8},
        {"tolmic", "-filter tolmic sampleArea=8,4,16,8 tolerance=60 farChroma=120",
         "Tolmic --in0 bg.y4m --set sampleArea=8,4,16,8 --set tolerance=60 --set farChroma=120", false, 0, 10, true},
        {"vashrel", "-filter vashrel sampleArea=30,10,16,8 targetcolour=#20C040 luma=1",
         "Vashrel --in0 bg.y4m --set sampleArea=30,10,16,8 --set targetcolour=#20C040 --set luma=1", false, 0, 10, true},
        {"plindor", "-filter plindor sourceRectangle=8,4,16,8 fillColour=0x50A06080",
         "Plindor --in0 bg.y4m --set sourceRectangle=8,4,16,8 --set fillColour=0x50A06080", false, 0, 10},
        // Colours as Kdenlive's pickers write them, to the NAME.rgba twins.
        {"vashrel picked colour", "-filter vashrel sampleArea=30,10,16,8 targetcolour.rgba=0x20c040ff luma=1",
         "Vashrel --in0 bg.y4m --set sampleArea=30,10,16,8 --set targetcolour=#20C040 --set luma=1", false, 0, 10, true},
        {"zenvarth picked key and glow", "-transition zenvarth in=0 out=9 a_track=0 b_track=1 keyColor.rgba=0x2438d0ff "
         "colorTolerance=40 effectType=1 glowColor.rgba=0xF0E01080",
         "Zenvarth --in0 bg.y4m --in1 fg.y4m --set keyColor=#2438D0 --set colorTolerance=40 --set effectType=1 "
         "--set glowColor=#F0E01080", true, 0, 10},
        {"plindor picked fill", "-filter plindor sourceRectangle=8,4,16,8 fillColour.rgba=#C08040",
         "Plindor --in0 bg.y4m --set sourceRectangle=8,4,16,8 --set fillColour=#C08040", false, 0, 10},
        {"dremwick", "-filter dremwick maskSide=1 maskRegion=10,6,24,12",
         "Dremwick --in0 bg.y4m --set maskSide=1 --set maskRegion=10,6,24,12", false, 0, 10},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        std::string tracks = c.twoTracks ? "bg.y4m -track fg.y4m " : "bg.y4m ";
        Ran m = melt(tracks + c.meltArgs, "melt.y4m");
        ASSERT_EQ(m.status, 0) << m.err;
        expectNothingHeld(m, 1);
        std::vector<std::string> want;
        for (int k = c.first; k < c.end; k += c.runPerFrame ? 1 : c.end) {
            std::string range = c.runPerFrame ? " --frames " + std::to_string(k) + ":" + std::to_string(k + 1) +
                                                    " --section " + std::to_string(c.first) + ":" + std::to_string(c.end)
                                              : "";
            Ran o = ophost(std::string(c.ophostArgs) + range + " -o want.y4m");
            ASSERT_EQ(o.status, 0) << o.err;
            for (std::string &f : frames("want.y4m")) want.push_back(std::move(f));
        }
        expectSameFrames(frames("melt.y4m"), size_t(c.first), want, c.name);
    }
}

TEST_F(Melt, InterlacedClipsKeepTheirFieldOrder)
{
    writeProfile("pal", 720, 576, false);
    for (const char *order : {"t", "b"}) {
        SCOPED_TRACE(order);
        writeClip(dir_ + "/ibg.y4m", {720, 576, order}, 3, 0, 1);
        writeClip(dir_ + "/ifg.y4m", {720, 576, order}, 3, 1, 100);
        // The consumer keeps the clip's field order (else MLT moves the picture a line).
        Ran m = melt("ibg.y4m -track ifg.y4m -transition zenvarth in=0 out=2 a_track=0 b_track=1 keyerType=1", "melt.y4m",
                     "pal", "-1", std::string("top_field_first=") + (*order == 't' ? "1" : "0"));
        ASSERT_EQ(m.status, 0) << m.err;
        Ran o = ophost("Zenvarth --in0 ibg.y4m --in1 ifg.y4m --set keyerType=1 -o want.y4m");
        ASSERT_EQ(o.status, 0) << o.err;
        expectSameFrames(frames("melt.y4m"), 0, frames("want.y4m"), std::string("interlaced ") + order);
    }
}

// Two keyers with different settings on two tracks, one after the other,
// each as it renders alone; the same with two rendering threads.
TEST_F(Melt, TwoInstancesAndTwoThreads)
{
    ASSERT_EQ(ophost("Zenvarth --in0 bg.y4m --in1 fg.y4m --set colorTolerance=20 -o mid.y4m").status, 0);
    Ran o = ophost("Zenvarth --in0 mid.y4m --in1 fg2.y4m --set keyerType=2 --set effectType=1 -o want.y4m");
    ASSERT_EQ(o.status, 0) << o.err;
    for (const char *realTime : {"-1", "-2", "1"}) {
        SCOPED_TRACE(realTime);
        Ran m = melt("bg.y4m -track fg.y4m -track fg2.y4m "
                     "-transition zenvarth in=0 out=9 a_track=0 b_track=1 colorTolerance=20 "
                     "-transition zenvarth in=0 out=9 a_track=0 b_track=2 keyerType=2 effectType=1",
                     "melt.y4m", "p64", realTime);
        ASSERT_EQ(m.status, 0) << m.err;
        expectNothingHeld(m, 2);
        expectSameFrames(frames("melt.y4m"), 0, frames("want.y4m"), std::string("real_time=") + realTime);
    }
}

// A rectangle one filter sets is that filter's: another instance of the
// same operator, with the default sample area (off this small picture),
// is not checked as if it had set it.
TEST_F(Melt, ASetRectangleStaysWithItsFilter)
{
    Ran m = melt("bg.y4m -filter tolmic sampleArea=0,0,8,4 -filter tolmic", "melt.y4m");
    ASSERT_EQ(m.status, 0) << m.err;
    EXPECT_EQ(m.err.find("refused"), std::string::npos) << m.err;
    EXPECT_EQ(frames("melt.y4m").size(), 10u);
}

TEST_F(Melt, KeyframedToleranceMatchesEachValue)
{
    writeClip(dir_ + "/lbg.y4m", {64, 48, "p"}, 28, 0, 3);
    writeClip(dir_ + "/lfg.y4m", {64, 48, "p"}, 28, 1, 0);
    Ran m = melt("lbg.y4m -track lfg.y4m -transition zenvarth in=0 out=27 a_track=0 b_track=1 "
                 "colorTolerance=\"0=10;24=10;25=40\"",
                 "melt.y4m");
    ASSERT_EQ(m.status, 0) << m.err;
    ASSERT_EQ(ophost("Zenvarth --in0 lbg.y4m --in1 lfg.y4m --set colorTolerance=10 --frames 0:25 --section 0:28 "
                     "-o ten.y4m").status, 0);
    ASSERT_EQ(ophost("Zenvarth --in0 lbg.y4m --in1 lfg.y4m --set colorTolerance=40 --frames 25:28 --section 0:28 "
                     "-o forty.y4m").status, 0);
    const std::vector<std::string> got = frames("melt.y4m");
    expectSameFrames(got, 0, frames("ten.y4m"), "tolerance 10");
    expectSameFrames(got, 25, frames("forty.y4m"), "tolerance 40");
    // The two values key differently here, or the test shows nothing.
    ASSERT_EQ(ophost("Zenvarth --in0 lbg.y4m --in1 lfg.y4m --set colorTolerance=40 --frames 0:1 --section 0:28 "
                     "-o forty0.y4m").status, 0);
    EXPECT_NE(frames("forty0.y4m").at(0), frames("ten.y4m").at(0));
}

// The key becomes the master's alpha: a consumer that asks for RGBA writes
// the same alpha plane as ophost render --pix 444alpha, exactly through
// FFV1 and as decoded through ProRes 4444 (the README's master).
TEST_F(Melt, KeyBecomesTheMastersAlpha)
{
    if (std::system("command -v ffmpeg > /dev/null 2>&1") != 0) GTEST_SKIP() << "ffmpeg is not installed";
    // A key with more than one value, or the comparison shows little.
    const std::string keyer = "keyerType=2 keyArea=8,6,30,14 ";
    struct Master {
        const char *file;
        const char *consumer;
        const char *alphaFormat;   // as ffmpeg extracts it
    };
    const Master masters[] = {
        {"master.mkv", "vcodec=ffv1 pix_fmt=yuva444p", "gray"},
        {"master.mov", "vcodec=prores_ks vprofile=4 pix_fmt=yuva444p10le", "gray16le"},
    };
    for (const Master &master : masters) {
        SCOPED_TRACE(master.file);
        Ran m = meltTo("bg.y4m -track fg.y4m -transition zenvarth in=0 out=9 a_track=0 b_track=1 " + keyer,
                       std::string("avformat:melt_") + master.file + " " + master.consumer + " mlt_image_format=rgba an=1");
        ASSERT_EQ(m.status, 0) << m.err;
        std::string set;
        for (size_t at = 0; at < keyer.size();) {
            const size_t end = keyer.find(' ', at);
            set += " --set " + keyer.substr(at, end - at);
            at = end + 1;
        }
        Ran o = runShell(dir_, "'" + testsupport::programPath("ophost") + "' render -q Zenvarth --in0 bg.y4m --in1 fg.y4m" +
                                   set + " --pix 444alpha -o want_" + master.file);
        ASSERT_EQ(o.status, 0) << o.err;
        for (const char *which : {"melt_", "want_"}) {
            Ran x = runShell(dir_, std::string("ffmpeg -nostdin -loglevel error -y -i ") + which + master.file +
                                       " -vf alphaextract -f rawvideo -pix_fmt " + master.alphaFormat + " " + which +
                                       "alpha.raw");
            ASSERT_EQ(x.status, 0) << x.err;
        }
        const std::string got = slurp(dir_ + "/melt_alpha.raw"), want = slurp(dir_ + "/want_alpha.raw");
        const size_t planes = size_t(64) * 48 * (std::string(master.alphaFormat) == "gray" ? 1 : 2);
        ASSERT_EQ(want.size(), planes * 10);
        EXPECT_TRUE(got == want) << "the alpha planes differ";
        // Not one value everywhere (an opaque plane would be).
        const std::set<char> values(want.begin(), want.end());
        EXPECT_GT(values.size(), 1u);
    }
}

// Kdenlive sets every parameter its description lists, at its default when
// the user leaves it: the colour pickers' defaults must leave each colour as
// it stands (its default, or a preset's), byte for byte.
TEST_F(Melt, KdenliveColourDefaultsChangeNothing)
{
    const std::string zvpreset = "'" + testsupport::programPath("zvpreset") + "'";
    ASSERT_EQ(runShell(dir_, zvpreset + " new blue.zvp && " + zvpreset +
                                 " set blue.zvp keyColor=#2438D0 colorTolerance=40 effectType=1 glowColor=0xC0508080")
                  .status,
              0);
    struct Service {
        const char *description;   // under build/mlt/kdenlive
        const char *meltArgs;      // the service, before the colours
        const char *ophostArgs;
        bool twoTracks;
        bool runPerFrame;
    };
    const Service services[] = {
        {"transitions/zenvarth.xml", "-transition zenvarth in=0 out=9 a_track=0 b_track=1 settings=blue.zvp",
         "Zenvarth --in0 bg.y4m --in1 fg.y4m --settings blue.zvp", true, false},
        {"effects/vashrel.xml", "-filter vashrel sampleArea=30,10,16,8", "Vashrel --in0 bg.y4m --set sampleArea=30,10,16,8",
         false, true},
        {"effects/plindor.xml", "-filter plindor sourceRectangle=8,4,16,8",
         "Plindor --in0 bg.y4m --set sourceRectangle=8,4,16,8", false, false},
    };
    for (const Service &svc : services) {
        SCOPED_TRACE(svc.description);
        std::string colours;
        size_t count = 0;
        for (const auto &attrs : readDescription(slurp(std::string(OPS_BUILD_DIR "/mlt/kdenlive/") + svc.description)).params) {
            std::map<std::string, std::string> a(attrs.begin(), attrs.end());
            if (a["type"] != "color") continue;
            ++count;
            // The picker's own form, on the RGB twin of the property.
            EXPECT_GT(a["name"].size(), 5u);
            EXPECT_EQ(a["name"].substr(a["name"].size() - 5), ".rgba") << a["name"];
            EXPECT_EQ(a["default"].size(), 10u) << a["default"];
            EXPECT_EQ(a["default"].find_first_not_of("0123456789abcdef", 2), std::string::npos) << a["default"];
            EXPECT_EQ(a["default"].compare(0, 2, "0x"), 0) << a["default"];
            colours += " " + a["name"] + "=" + a["default"];
        }
        EXPECT_GT(count, 0u);
        Ran m = melt(std::string(svc.twoTracks ? "bg.y4m -track fg.y4m " : "bg.y4m ") + svc.meltArgs + colours, "melt.y4m");
        ASSERT_EQ(m.status, 0) << m.err;
        EXPECT_EQ(m.err.find("refused"), std::string::npos) << m.err;
        std::vector<std::string> want;
        for (int k = 0; k < 10; k += svc.runPerFrame ? 1 : 10) {
            Ran o = ophost(std::string(svc.ophostArgs) +
                           (svc.runPerFrame ? " --frames " + std::to_string(k) + ":" + std::to_string(k + 1) + " --section 0:10"
                                            : "") +
                           " -o want.y4m");
            ASSERT_EQ(o.status, 0) << o.err;
            for (std::string &f : frames("want.y4m")) want.push_back(std::move(f));
        }
        expectSameFrames(frames("melt.y4m"), 0, want, svc.description);
    }
}

// A refused value is logged with its reason; the frame passes through as it
// came, with a warning, and melt finishes.
TEST_F(Melt, BadValuesAreRefusedAndFramesPassThrough)
{
    struct Bad {
        const char *args;
        const char *reason;
        bool twoTracks;
    };
    const Bad bad[] = {
        {"-transition zenvarth in=0 out=9 a_track=0 b_track=1 colorTolerance=500", "500", true},
        {"-transition zenvarth in=0 out=9 a_track=0 b_track=1 keyColor=blue", "blue", true},
        {"-transition zenvarth in=0 out=9 a_track=0 b_track=1 settings=missing.zvp", "missing.zvp", true},
        {"-transition zenvarth in=0 out=9 a_track=0 b_track=1 keyerType=x1", "x1", true},
        {"-filter tolmic nearChroma=-1", "-1", false},
        {"-filter dremwick maskRegion=1,2,3", "1,2,3", false},
        {"-transition zenvarth in=0 out=9 a_track=0 b_track=1 keyColor.rgba=#FF00FF00", "#FF00FF00", true},
        {"-transition zenvarth in=0 out=9 a_track=0 b_track=1 keyColor.rgba=\"0=0x102030ff;5=blue\"", "blue", true},
        {"-transition zenvarth in=0 out=9 a_track=0 b_track=1 colorTolerance.rgba=0x102030ff", "not a colour", true},
    };
    const std::vector<std::string> background = frames("bg.y4m");
    for (const Bad &b : bad) {
        SCOPED_TRACE(b.args);
        Ran m = melt(std::string(b.twoTracks ? "bg.y4m -track fg.y4m " : "bg.y4m ") + b.args, "melt.y4m");
        ASSERT_EQ(m.status, 0) << m.err;
        EXPECT_NE(m.err.find("refused"), std::string::npos) << m.err;
        EXPECT_NE(m.err.find(b.reason), std::string::npos) << m.err;
        EXPECT_NE(m.err.find("passed through unchanged"), std::string::npos) << m.err;
        expectSameFrames(frames("melt.y4m"), 0, background, "passed through");
    }
}

} // namespace

namespace {

// Our effect and composition descriptions use only the elements, parameter
// types and attributes Kdenlive's own installed descriptions use, and every
// list names as many entries as it offers values.
TEST(KdenliveDescriptions, FollowTheFormatOfKdenlivesOwn)
{
    std::map<std::string, std::set<std::string>> known;   // type -> attributes seen with it
    for (const char *folder : {"effects", "transitions"}) {
        Ran ls = runShell("/", std::string("ls /usr/share/kdenlive/") + folder + "/*.xml");
        ASSERT_EQ(ls.status, 0) << "Kdenlive's descriptions are missing: install kdenlive-data";
        std::istringstream files(ls.out);
        for (std::string file; std::getline(files, file);)
            for (const auto &attrs : readDescription(slurp(file)).params) {
                std::string type;
                for (const auto &a : attrs)
                    if (a.first == "type") type = a.second;
                for (const auto &a : attrs) known[type].insert(a.first);
            }
    }
    struct Ours {
        const char *path;
        const char *root;
        const char *mustHave;
    };
    const Ours ours[] = {
        {"transitions/zenvarth.xml", "transition", "name=\"keyerType\""},
        {"transitions/quorvel.xml", "transition", ""},
        {"effects/tolmic.xml", "effect", "name=\"Tolerance\""},
        {"effects/vashrel.xml", "effect", "type=\"color\""},
        {"effects/plindor.xml", "effect", ""},
        {"effects/dremwick.xml", "effect", "type=\"list\""},
    };
    for (const Ours &o : ours) {
        SCOPED_TRACE(o.path);
        const std::string text = slurp(std::string(OPS_BUILD_DIR "/mlt/kdenlive/") + o.path);
        ASSERT_FALSE(text.empty());
        const Described d = readDescription(text);
        EXPECT_EQ(d.root, o.root);
        EXPECT_NE(text.find(o.mustHave), std::string::npos);
        EXPECT_EQ(d.lists, d.listDisplays);
        for (const auto &attrs : d.params) {
            std::string type;
            for (const auto &a : attrs)
                if (a.first == "type") type = a.second;
            ASSERT_TRUE(known.count(type)) << "type " << type;
            for (const auto &a : attrs) EXPECT_TRUE(known[type].count(a.first)) << type << " with " << a.first;
        }
    }
    // Zenvarth's keyer list names the modes, not their numbers alone.
    const std::string zv = slurp(OPS_BUILD_DIR "/mlt/kdenlive/transitions/zenvarth.xml");
    size_t keyer = zv.find("name=\"keyerType\"");
    ASSERT_NE(keyer, std::string::npos);
    const std::string display = zv.substr(zv.find("<paramlistdisplay>", keyer), 200);
    EXPECT_EQ(std::count(display.begin(), display.begin() + display.find("</"), ','), 10) << display;
}

} // namespace

namespace {

// The forms NAME.rgba takes: Kdenlive's 0xRRGGBBAA and #RRGGBB, alone or as
// every value of keyframes; #RRGGBBAA is refused, since MLT reads eight
// digits after '#' as #AARRGGBB and ophost as #RRGGBBAA.
TEST(RgbaColours, FormsTakenAndRefused)
{
    struct Case {
        const char *text;
        bool ok;
        uint32_t rgba;   // when one colour
    };
    const Case cases[] = {
        {"0x20c040ff", true, 0x20C040FF}, {"0X20C04080", true, 0x20C04080}, {"#20C040", true, 0x20C040FF},
        {"0x00000000", true, 0},          {"0xffffffff", true, 0xFFFFFFFF}, {"#20C04080", false, 0},
        {"0x20C040", false, 0},           {"0x20C040FF0", false, 0},        {"0xG0C040FF", false, 0},
        {"20C040FF", false, 0},           {"#", false, 0},                  {"", false, 0},
        {"blue", false, 0},               {"0x", false, 0},                 {" 0x20C040FF", false, 0},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.text);
        uint32_t rgba = 0;
        std::string why;
        EXPECT_EQ(opsmlt::parseRgba(c.text, rgba, why), c.ok);
        if (c.ok) EXPECT_EQ(rgba, c.rgba);
        else EXPECT_NE(why.find(c.text), std::string::npos) << why;
        EXPECT_EQ(opsmlt::checkRgbaValue(c.text).empty(), c.ok);
    }
    const std::pair<const char *, bool> keyframes[] = {
        {"0=0xff0000ff;50=#00ff00", true}, {"0=0xff0000ff;50~=0x0000ffff;99|=#102030", true},
        {"0=0xff0000ff;50=red", false},    {"0=0xff0000ff;", false},
        {"0=;50=0x0000ffff", false},       {"0=0xff0000ff;;50=0x0000ffff", false},
    };
    for (const auto &k : keyframes) EXPECT_EQ(opsmlt::checkRgbaValue(k.first).empty(), k.second) << k.first;
    EXPECT_EQ(opsmlt::rgbaBase("keyColor.rgba"), "keyColor");
    EXPECT_EQ(opsmlt::rgbaBase(".rgba"), "");
    EXPECT_EQ(opsmlt::rgbaBase("keyColor"), "");
    EXPECT_EQ(opsmlt::rgbaBase("keyColor.rgb"), "");
}

// The default's RGB leaves the property alone; any other colour is handed
// on in ophost's #RRGGBBAA form.
TEST(RgbaColours, DefaultLeavesThePropertyAsItStands)
{
    opsmlt::PropertyInfo info;
    info.name = "keyColor";
    info.kind = opsmlt::PropertyInfo::Color;
    info.colorDefault = 0x39F06EFF;   // a saturated blue in Y'CbCr
    const uint32_t def = opsmlt::rgbaDefault(info);
    EXPECT_EQ(def & 0xFF, 0xFFu);
    EXPECT_GT(def >> 8 & 0xFF, def >> 24) << std::hex << def;   // blue above red
    EXPECT_EQ(opsmlt::rgbaAssignment(info, def), "");
    EXPECT_EQ(opsmlt::rgbaAssignment(info, def ^ 0x100), "keyColor=#" + [&] {
        char b[16];
        std::snprintf(b, sizeof b, "%08X", def ^ 0x100);
        return std::string(b);
    }());
    EXPECT_EQ(opsmlt::rgbaAssignment(info, def & ~0xFFu), "keyColor=#" + [&] {
        char b[16];
        std::snprintf(b, sizeof b, "%08X", def & ~0xFFu);
        return std::string(b);
    }());
}

} // namespace
