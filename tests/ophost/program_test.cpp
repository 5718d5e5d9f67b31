// The ophost program end to end: renders compared with driving the
// operator directly, outputs, and every error path.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <dirent.h>
#include <unistd.h>

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <map>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "media/png_io.h"
#include "media/y4m.h"
#include "ophost/fields.h"
#include "ophost/run.h"
#include "testsupport.h"
#include "y4m_files.h"

namespace {

const std::string OPHOST = testsupport::programPath("ophost");
using testsupport::Ran;
using testsupport::slurp;

bool exists(const std::string &path)
{
    struct stat st;
    return stat(path.c_str(), &st) == 0;
}

class Program : public testing::Test {
protected:
    void SetUp() override
    {
        dir_ = testing::TempDir() + "ophost_" + std::to_string(getpid()) + "_" +
               testing::UnitTest::GetInstance()->current_test_info()->name();
        std::system(("rm -rf '" + dir_ + "' && mkdir -p '" + dir_ + "'").c_str());
    }
    void TearDown() override { std::system(("rm -rf '" + dir_ + "'").c_str()); }

    std::string path(const std::string &name) const { return dir_ + "/" + name; }

    // Runs a shell command line in the test folder, capturing both streams.
    Ran shell(const std::string &line) { return testsupport::runShell(dir_, line); }
    Ran ophost(const std::string &args) { return shell("'" + OPHOST + "' " + args); }

    // Names in the folder other than the capture files.
    // Every name in the folder with the bytes of each regular file.
    std::map<std::string, std::string> contents() const
    {
        std::map<std::string, std::string> files;
        for (const std::string &name : listing()) {
            struct stat st;
            const bool regular = lstat(path(name).c_str(), &st) == 0 && S_ISREG(st.st_mode);
            files[name] = regular ? slurp(path(name)) : "(not a regular file)";
        }
        return files;
    }

    std::vector<std::string> listing() const
    {
        std::vector<std::string> names;
        DIR *d = opendir(dir_.c_str());
        while (dirent *e = readdir(d)) {
            std::string n = e->d_name;
            if (n != "." && n != ".." && n != ".out" && n != ".err") names.push_back(n);
        }
        closedir(d);
        std::sort(names.begin(), names.end());
        return names;
    }

    std::string dir_;
};

std::vector<media::VideoFrame> randomFrames(int w, int h, int count, uint32_t seed)
{
    std::mt19937 rng(seed);
    std::vector<media::VideoFrame> frames;
    frames.resize(size_t(count));
    for (auto &f : frames) {
        f.resize(w, h);
        for (Pixel &p : f.pixels) {
            uint32_t r = rng();
            // Keep some pixels near the blue so both of Tolmic's scales show.
            p = (r & 3) == 0 ? Pixel{uint8_t(r >> 8), uint8_t(110 + (r >> 16) % 5), uint8_t(238 + (r >> 20) % 5), uint8_t(57)}
                             : pixelFromWord(r * 2654435761u);
        }
    }
    return frames;
}

std::vector<media::VideoFrame> readY4m(const std::string &file, media::Y4mHeader *header = nullptr)
{
    media::Y4mReader reader;
    std::string error;
    std::vector<media::VideoFrame> frames;
    EXPECT_TRUE(reader.open(file, error)) << error;
    if (!error.empty()) return frames;
    if (header) *header = reader.header();
    media::VideoFrame f;
    while (reader.next(f, error)) frames.push_back(f);
    EXPECT_EQ(error, "");
    return frames;
}

// Tolmic driven field by field through the runtime, without ophost's run.
std::vector<media::VideoFrame> tolmicDirect(const std::vector<media::VideoFrame> &frames, bool bottomFirst,
                                            const std::vector<std::pair<unsigned, std::string>> &rects,
                                            const std::vector<std::pair<unsigned, int32_t>> &sliders,
                                            const hostrt::VisibleArea *visible = nullptr)
{
    hostrt::resetSession();
    hostrt::LoadedOperator op;
    testsupport::loadOperator("Tolmic", op);
    for (auto &[index, text] : rects) {
        auto &r = testsupport::param<RectParam>(op, index);
        std::sscanf(text.c_str(), "%hd,%hd,%hd,%hd", &r.x, &r.y, &r.width, &r.height);
    }
    for (auto &[index, value] : sliders) testsupport::param<SliderParam>(op, index).value = value;
    std::vector<hostrt::FieldImage> fields;
    for (const auto &f : frames) {
        for (int k = 0; k < 2; ++k) {
            hostrt::FieldImage field;
            ophost::splitField(f, ophost::fieldParity(k, bottomFirst), field);
            fields.push_back(field);
        }
    }
    const uint32_t count = uint32_t(fields.size());
    hostrt::setInputFields(0, fields);
    hostrt::setVisibleArea(visible ? *visible
                                   : hostrt::VisibleArea{0, 0, int16_t(frames[0].width), int16_t(frames[0].height)});
    testsupport::callAction(op, OPACT_INIT, 0, count);
    for (uint32_t k = 0; k < count; ++k) EXPECT_NE(testsupport::callAction(op, OPACT_RENDER, int32_t(k), count), -1);
    testsupport::callAction(op, OPACT_RELEASE, 0, count);
    std::vector<media::VideoFrame> out = frames;
    const auto &put = hostrt::putFields();
    EXPECT_EQ(put.size(), count);
    for (uint32_t k = 0; k < count && k < put.size(); ++k)
        ophost::weaveField(put[k], ophost::fieldParity(int(k), bottomFirst), out[k / 2]);
    hostrt::resetSession();
    return out;
}

void expectSameFrames(const std::vector<media::VideoFrame> &got, const std::vector<media::VideoFrame> &want)
{
    ASSERT_EQ(got.size(), want.size());
    for (size_t k = 0; k < got.size(); ++k) {
        ASSERT_EQ(got[k].width, want[k].width);
        ASSERT_EQ(got[k].height, want[k].height);
        size_t differ = 0;
        for (size_t i = 0; i < got[k].pixels.size(); ++i) differ += pixelWord(got[k].pixels[i]) != pixelWord(want[k].pixels[i]);
        EXPECT_EQ(differ, 0u) << "frame " << k;
    }
}

} // namespace

// ---------------------------------------------------------------- renders

TEST_F(Program, TolmicRenderMatchesDrivingItDirectly)
{
    for (bool bottomFirst : {false, true}) {
        auto frames = randomFrames(24, 12, 4, bottomFirst ? 7 : 3);
        writeY4m(path("in.y4m"), 24, 12, media::Chroma::C444alpha,
                 bottomFirst ? media::Interlace::BottomFirst : media::Interlace::TopFirst, frames);
        Ran r = ophost("render Tolmic --in0 in.y4m -o out.y4m --set 0=2,1,8,3 --set 1=50 --set=3=150 --quiet");
        ASSERT_EQ(r.status, 0) << r.err;
        EXPECT_EQ(r.err, "") << "--quiet: no progress, no summary";
        media::Y4mHeader header;
        auto got = readY4m(path("out.y4m"), &header);
        EXPECT_EQ(header.chroma, media::Chroma::C444alpha) << "the output keeps input 0's layout";
        EXPECT_EQ(header.interlace, bottomFirst ? media::Interlace::BottomFirst : media::Interlace::TopFirst);
        auto want = tolmicDirect(frames, bottomFirst, {{0, "2,1,8,3"}}, {{1, 50}, {3, 150}});
        expectSameFrames(got, want);
        // The render changed something, or the comparison proves little.
        size_t changed = 0;
        for (size_t k = 0; k < got.size(); ++k)
            for (size_t i = 0; i < got[k].pixels.size(); ++i)
                changed += pixelWord(got[k].pixels[i]) != pixelWord(frames[k].pixels[i]);
        EXPECT_GT(changed, 100u);
    }
}

// --visible is what tgGetVisibleAreaMonitor answers: Tolmic's rectangle
// moves by left and by top / 2.
TEST_F(Program, VisibleAreaReachesTheOperator)
{
    auto frames = randomFrames(24, 12, 2, 17);
    writeY4m(path("in.y4m"), 24, 12, media::Chroma::C444alpha, media::Interlace::TopFirst, frames);
    Ran r = ophost("render Tolmic --in0 in.y4m -o out.y4m --set 0=6,2,8,3 --set 1=60 --visible 4,2,20,10 --quiet");
    ASSERT_EQ(r.status, 0) << r.err;
    const hostrt::VisibleArea visible{4, 2, 20, 10};
    auto got = readY4m(path("out.y4m"));
    expectSameFrames(got, tolmicDirect(frames, false, {{0, "6,2,8,3"}}, {{1, 60}}, &visible));
    ASSERT_EQ(ophost("render Tolmic --in0 in.y4m -o plain.y4m --set 0=6,2,8,3 --set 1=60 --quiet").status, 0);
    EXPECT_NE(slurp(path("out.y4m")), slurp(path("plain.y4m"))) << "the visible area moved the sample";
}

TEST_F(Program, StandardInputAndOutputGiveTheSameBytesAsFiles)
{
    auto frames = randomFrames(16, 8, 3, 11);
    writeY4m(path("in.y4m"), 16, 8, media::Chroma::C420, media::Interlace::TopFirst, frames);
    ASSERT_EQ(ophost("render Tolmic --in0 in.y4m -o file.y4m").status, 0);
    Ran r = shell("cat in.y4m | '" + OPHOST + "' render Tolmic --in0 - -o - > piped.y4m");
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(slurp(path("piped.y4m")), slurp(path("file.y4m")));
    EXPECT_NE(r.err.find("Tolmic: 6 fields in"), std::string::npos) << "summary line: " << r.err;
    r = shell("cat in.y4m | '" + OPHOST + "' render Tolmic --in0 - -o - --frames 1:3 > part.y4m");
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(readY4m(path("part.y4m")).size(), 2u);
}

TEST_F(Program, PngFramesStillsAndChromaChoice)
{
    auto frames = randomFrames(8, 4, 5, 5);
    writeY4m(path("in.y4m"), 8, 4, media::Chroma::C444, media::Interlace::Progressive, frames);
    Ran r = ophost("render Tolmic --in0 in.y4m -o 'f%04d.png' --frames 1:3 --pix 444alpha --quiet");
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(listing(), (std::vector<std::string>{"f0001.png", "f0002.png", "in.y4m"}));
    // A still stands for every frame; one frame by default.
    r = ophost("render Tolmic --in0 f0001.png -o still.y4m --pix 422 --quiet");
    ASSERT_EQ(r.status, 0) << r.err;
    media::Y4mHeader header;
    auto still = readY4m(path("still.y4m"), &header);
    EXPECT_EQ(still.size(), 1u);
    EXPECT_EQ(header.chroma, media::Chroma::C422);
    EXPECT_EQ(header.interlace, media::Interlace::Progressive);
    r = ophost("render Tolmic --in0 f0001.png -o three.y4m --frames 0:3 --quiet");
    ASSERT_EQ(r.status, 0) << r.err;
    auto three = readY4m(path("three.y4m"));
    ASSERT_EQ(three.size(), 3u);
    // A name without %d takes one frame only.
    r = ophost("render Tolmic --in0 in.y4m -o one.png --quiet");
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("%d"), std::string::npos) << r.err;
    EXPECT_FALSE(exists(path("one.png")));
}

TEST_F(Program, PreviewRendersScaledFields)
{
    auto frames = randomFrames(40, 20, 2, 9);
    writeY4m(path("in.y4m"), 40, 20, media::Chroma::C444, media::Interlace::TopFirst, frames);
    Ran r = ophost("render Tolmic --in0 in.y4m -o p.y4m --preview 1/2 --permille 500 --quiet");
    ASSERT_EQ(r.status, 0) << r.err;
    media::Y4mHeader header;
    auto got = readY4m(path("p.y4m"), &header);
    EXPECT_EQ(header.width, 20);
    EXPECT_EQ(header.height, 10);   // fields of 5 lines
    EXPECT_EQ(got.size(), 2u);
}

TEST_F(Program, ClipReadsAnyFrameByNumber)
{
    auto frames = randomFrames(6, 4, 8, 21);
    writeY4m(path("in.y4m"), 6, 4, media::Chroma::C444alpha, media::Interlace::TopFirst, frames);
    std::string error;
    auto clip = ophost::openClip(path("in.y4m"), error);
    ASSERT_TRUE(clip) << error;
    EXPECT_EQ(clip->frameCount(error), 8);
    media::VideoFrame f;
    for (int index : {6, 2, 7, 0, 2}) {
        ASSERT_TRUE(clip->frame(index, f, error)) << error;
        expectSameFrames({f}, {frames[size_t(index)]});
    }
    EXPECT_FALSE(clip->frame(8, f, error));
    EXPECT_EQ(error, "");
    // One field by number, any order: field 2k+1 is frame k's bottom field.
    hostrt::FieldImage field;
    for (int32_t n : {13, 4, 15, 1}) {
        ASSERT_TRUE(ophost::readField(*clip, 0, n, field, error)) << error;
        hostrt::FieldImage want;
        ophost::splitField(frames[size_t(n / 2)], n % 2, want);
        EXPECT_EQ(field.pixels.size(), want.pixels.size());
        EXPECT_TRUE(std::equal(field.pixels.begin(), field.pixels.end(), want.pixels.begin(),
                               [](Pixel a, Pixel b) { return pixelWord(a) == pixelWord(b); }))
            << "field " << n;
    }
    EXPECT_TRUE(ophost::readField(*clip, 2, 11, field, error)) << "frame 7, bottom field";
    EXPECT_FALSE(ophost::readField(*clip, 2, 12, field, error));
    EXPECT_EQ(error, "");
}

TEST_F(Program, RunThroughTheCoreHoldsNoPictures)
{
    auto frames = randomFrames(12, 6, 3, 2);
    auto clip = ophost::memoryClip(frames);
    hostrt::resetSession();
    hostrt::LoadedOperator op;
    testsupport::loadOperator("Tolmic", op);
    ophost::MemorySink sink;
    ophost::RunOptions options;
    std::vector<uint32_t> progress;
    options.progress = [&](uint32_t done, uint32_t total) {
        progress.push_back(done);
        EXPECT_EQ(total, 6u);
    };
    ophost::RunResult result = ophost::runRender(op, *clip, nullptr, sink, options);
    ASSERT_TRUE(result.ok) << result.error;
    EXPECT_EQ(result.fields, 6u);
    EXPECT_EQ(result.leaked, 0u);
    EXPECT_EQ(sink.frames.size(), 3u);
    EXPECT_EQ(progress, (std::vector<uint32_t>{1, 2, 3, 4, 5, 6}));
    expectSameFrames(sink.frames, tolmicDirect(frames, false, {}, {}));
}

// ---------------------------------------------------------------- commands

TEST_F(Program, ListInfoAndHelp)
{
    Ran r = ophost("list");
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.out.find("Tolmic     1.0   chroma isolation"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("Zenvarth   1.0   chroma-key compositor"), std::string::npos) << r.out;
    r = ophost("list --paths");
    EXPECT_NE(r.out.find("$Id: Tolmic"), std::string::npos) << r.out;
    // Every help that names the inputs names the containers too.
    for (const char *help : {"--help", "edit --help", "render --help"}) {
        r = ophost(help);
        EXPECT_EQ(r.status, 0) << help;
        EXPECT_NE(r.out.find("any video file FFmpeg's libraries"), std::string::npos) << help << "\n" << r.out;
        EXPECT_NE(r.out.find("read (.mov, .mp4, .mkv, .mxf, ..., or an"), std::string::npos) << help << "\n" << r.out;
    }
    r = ophost("--version");
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out.compare(0, 7, "ophost "), 0) << r.out;
    r = ophost("info zenvarth");
    ASSERT_EQ(r.status, 0) << r.err;
    for (const char *how : {"--set FIELD=VALUE", "zvpreset", "ophost edit"})
        EXPECT_NE(r.out.find(how), std::string::npos) << how;
    r = ophost("info Zenvart");
    EXPECT_EQ(r.status, 2);
    EXPECT_NE(r.err.find("did you mean Zenvarth?"), std::string::npos) << r.err;
    r = ophost("info Tolmic --json");
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.out.find("\"labelId\": 1610"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("\"kind\": \"slider\""), std::string::npos);
    EXPECT_NE(r.out.find("\"settingsSize\": null"), std::string::npos);
    r = ophost("info Plindor");
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.out.find("colour"), std::string::npos);
    for (const char *cmd : {"list", "info", "render", "install", "bench"}) {
        r = ophost(std::string(cmd) + " --help");
        EXPECT_EQ(r.status, 0) << cmd;
        EXPECT_NE(r.out.find("usage: ophost"), std::string::npos) << cmd;
    }
    r = ophost("--help");
    EXPECT_EQ(r.status, 0);
    EXPECT_NE(r.out.find("render"), std::string::npos);
    EXPECT_EQ(ophost("").status, 2);
    EXPECT_EQ(ophost("frobnicate").status, 2);
}

// Every operator built renders through the program, whatever its inputs
// and parameters, and its description is well-formed JSON.
TEST_F(Program, EveryOperatorFoundRendersAndDescribesItself)
{
    writeY4m(path("a.y4m"), 64, 32, media::Chroma::C444alpha, media::Interlace::TopFirst, randomFrames(64, 32, 2, 4));
    writeY4m(path("b.y4m"), 64, 32, media::Chroma::C420, media::Interlace::TopFirst, randomFrames(64, 32, 2, 5));
    Ran listed = ophost("list");
    ASSERT_EQ(listed.status, 0);
    std::istringstream lines(listed.out);
    std::string line;
    int operators = 0;
    const bool haveJsonChecker = std::system("command -v python3 > /dev/null 2>&1") == 0;
    while (std::getline(lines, line)) {
        std::string name = line.substr(0, line.find(' '));
        ++operators;
        Ran r = ophost("render " + name + " --in0 a.y4m --in1 b.y4m -o out_" + name + ".y4m");
        EXPECT_EQ(r.status, 0) << name << ": " << r.err;
        EXPECT_EQ(r.err.find("still held"), std::string::npos) << name << ": " << r.err;
        EXPECT_EQ(readY4m(path("out_" + name + ".y4m")).size(), 2u) << name;
        if (haveJsonChecker) {
            r = shell("'" + OPHOST + "' info " + name + " --json | python3 -m json.tool > /dev/null");
            EXPECT_EQ(r.status, 0) << name << ": " << r.err;
        }
    }
    EXPECT_GE(operators, 3);
}

TEST_F(Program, PluginPathFindsOperatorsElsewhere)
{
    std::system(("mkdir -p '" + path("plugins") + "' && cp '" + testsupport::operatorPath("Tolmic") + "' '" +
                 path("plugins/Tolcopy.so") + "'")
                    .c_str());
    Ran r = shell("OPHOST_PLUGIN_PATH='" + path("plugins") + "' '" + OPHOST + "' list");
    EXPECT_NE(r.out.find("Tolcopy"), std::string::npos) << r.out;
    // A library the loader refuses is named with its fault.
    std::ofstream(path("plugins/Junk.so")) << "not a library";
    r = shell("OPHOST_PLUGIN_PATH='" + path("plugins") + "' '" + OPHOST + "' info Junk");
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("Junk.so"), std::string::npos) << r.err;
}

TEST_F(Program, InstallNeedsQvhome)
{
    Ran r = shell("env -u QVHOME '" + OPHOST + "' install Tolmic");
    EXPECT_EQ(r.status, 2);
    EXPECT_NE(r.err.find("QVHOME"), std::string::npos);
    r = shell("QVHOME='" + dir_ + "' '" + OPHOST + "' install Tolmic");
    EXPECT_EQ(r.status, 0) << r.err;
}

TEST_F(Program, BenchPrintsTheRatioToTheCopyFloor)
{
    Ran r = ophost("bench Tolmic --size 64x32 --fields 4");
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.out.find("Tolmic 64x32 fields: 4 fields"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("copy floor"), std::string::npos);
    EXPECT_NE(r.out.find("ratio"), std::string::npos);
    EXPECT_EQ(ophost("bench Tolmic --size 64").status, 2);
}

// ---------------------------------------------------------------- errors

TEST_F(Program, UsageErrorsExitTwo)
{
    auto frames = randomFrames(8, 4, 2, 1);
    writeY4m(path("in.y4m"), 8, 4, media::Chroma::C444, media::Interlace::TopFirst, frames);
    struct Case {
        const char *args;
        const char *says;
    } cases[] = {
        {"render Nobody --in0 in.y4m -o out.y4m", "unknown operator 'Nobody'"},
        {"render Tolmic -o out.y4m", "--in0"},
        {"render Tolmic --in0 in.y4m", "-o"},
        {"render Tolmic --in0 in.y4m -o out.y4m --bogus", "--bogus"},
        {"render Tolmic --in0 in.y4m -o out.y4m --set 4=1", "no parameter 4"},
        {"render Tolmic --in0 in.y4m -o out.y4m --set 1=abc", "'abc'"},
        {"render Tolmic --in0 in.y4m -o out.y4m --set 1=4294967296", "32-bit"},
        {"render Tolmic --in0 in.y4m -o out.y4m --set 0=1,2,3", "x,y,w,h"},
        // Rectangles: the sizes info shows (unless forced); a sample area on the picture.
        {"render Tolmic --in0 in.y4m -o out.y4m --set 0=0,0,0,2", "size 0x2 is outside 1x1..320x200"},
        {"render Tolmic --in0 in.y4m -o out.y4m --set 0=0,0,321,2", "size 321x2 is outside 1x1..320x200"},
        {"render Tolmic --in0 in.y4m -o out.y4m --set 0=-4,0,4,2", "-4,0,4,2 lies wholly off the 8x2 field"},
        {"render Tolmic --in0 in.y4m -o out.y4m --set 0=8,0,4,2", "8,0,4,2 lies wholly off the 8x2 field"},
        {"render Tolmic --in0 in.y4m -o out.y4m --set 0=0,2,4,2", "0,2,4,2 lies wholly off the 8x2 field"},
        {"render Tolmic --in0 in.y4m -o out.y4m --set 0=0,2", "0,2,64,32 lies wholly off the 8x2 field"},
        {"render Tolmic --in0 in.y4m -o out.y4m --set 1=101", "101 is outside 0..100 (--force takes it)"},
        {"render Tolmic --in0 in.y4m -o out.y4m --visible 6,0,2,4", "empty or inverted"},
        {"render Tolmic --in0 in.y4m -o out.y4m --visible 0,2,8,2", "empty or inverted"},
        {"render Tolmic --in0 in.y4m -o out.y4m --visible 0,0,8,40000", "16-bit"},
        {"render Tolmic --in0 in.y4m -o out.y4m --set 1", "N=VALUE"},
        {"render Tolmic --in0 in.y4m -o out.y4m --frames 3:1", "--frames"},
        {"render Tolmic --in0 in.y4m -o out.y4m --preview 0/1", "--preview"},
        {"render Tolmic --in0 in.y4m -o out.y4m --visible 1,2,3", "--visible"},
        {"render Tolmic --in0 in.y4m -o out.y4m --pix 411", "--pix"},
        {"render Quorvel --in0 in.y4m -o out.y4m", "--in1"},
    };
    for (const Case &c : cases) {
        Ran r = ophost(c.args);
        EXPECT_EQ(r.status, 2) << c.args << "\n" << r.err;
        EXPECT_NE(r.err.find(c.says), std::string::npos) << c.args << "\n" << r.err;
        EXPECT_FALSE(exists(path("out.y4m"))) << c.args;
    }
}

// Every command answers a usage error with status 2 and a line that says
// what was wrong; a file at fault is a failure (1) that says what is wrong
// with it.
TEST_F(Program, EveryCommandExitsTwoOnUsageErrors)
{
    writeY4m(path("in.y4m"), 8, 4, media::Chroma::C444, media::Interlace::TopFirst, randomFrames(8, 4, 1, 1));
    std::system(("mkdir '" + path("folder") + "'").c_str());
    struct Case {
        const char *args;
        const char *says;
        int status;
    } cases[] = {
        {"bench Nobody", "unknown operator 'Nobody'", 2},
        {"bench Tolmic --bogus", "--bogus", 2},
        {"demo --bogus", "--bogus", 2},
        {"edit Nobody --in0 in.y4m", "unknown operator 'Nobody'", 2},
        {"edit Tolmic --in0 in.y4m --default-monitor 9", "--default-monitor '9': expected 1, 2 or 3", 2},
        {"edit Tolmic --in0 in.y4m --default-monitor 0", "--default-monitor '0'", 2},
        {"edit Tolmic --bogus", "--bogus", 2},
        {"gallery --default-monitor 9", "--default-monitor '9': expected 1, 2 or 3", 2},
        {"gallery --bogus", "--bogus", 2},
        {"info Nobody", "unknown operator 'Nobody'", 2},
        {"info", "no operator", 2},
        {"info Tolmic --bogus", "--bogus", 2},
        {"install Nobody", "unknown operator 'Nobody'", 2},
        {"list --bogus", "--bogus", 2},
        {"render Nobody --in0 in.y4m -o out.y4m", "unknown operator 'Nobody'", 2},
        {"render Tolmic --in0 in.y4m -o out.xyz", "out.xyz: unknown output type", 2},
        {"render Tolmic --in0 in.y4m -o out.y4m --bogus", "--bogus", 2},
        {"nosuch", "unknown command 'nosuch'", 2},
        {"render Zenvarth --in0 in.y4m --in1 in.y4m -o out.y4m --settings folder", "folder: is a folder", 1},
    };
    for (const Case &c : cases) {
        Ran r = shell("QVHOME='" + path("home") + "' timeout 60 '" + OPHOST + "' " + c.args + " < /dev/null");
        EXPECT_EQ(r.status, c.status) << c.args << "\n" << r.err;
        EXPECT_NE(r.err.find(c.says), std::string::npos) << c.args << "\n" << r.err;
    }
    EXPECT_EQ(listing(), (std::vector<std::string>{"folder", "in.y4m"}));
}

// A named pipe is read as itself, whether or not standard input carries
// frames too: counted by copying it, and rendered as a file would be.
TEST_F(Program, NamedPipeInputIsReadFromThePipe)
{
    auto frames = randomFrames(8, 4, 3, 21);
    writeY4m(path("in.y4m"), 8, 4, media::Chroma::C444, media::Interlace::TopFirst, frames);
    writeY4m(path("other.y4m"), 8, 4, media::Chroma::C444, media::Interlace::TopFirst, randomFrames(8, 4, 5, 22));
    ASSERT_EQ(ophost("render Quorvel --in0 in.y4m --in1 in.y4m -o file.y4m --set 0=0,0,4,4 --set 1=4,1 --quiet").status, 0);
    ASSERT_EQ(ophost("render Tolmic --in0 in.y4m -o tolmic.y4m --set 0=0,0,4,2 --quiet").status, 0);
    struct Case {
        const char *what, *args, *same;
    } cases[] = {
        {"input 0", "Tolmic --in0 pipe.y4m --set 0=0,0,4,2", "tolmic.y4m"},
        {"input 1", "Quorvel --in0 in.y4m --in1 pipe.y4m --set 0=0,0,4,4 --set 1=4,1", "file.y4m"},
    };
    for (const Case &c : cases) {
        std::remove(path("pipe.y4m").c_str());
        ASSERT_EQ(mkfifo(path("pipe.y4m").c_str(), 0600), 0);
        Ran r = shell("(cat in.y4m > pipe.y4m &) ; timeout 60 '" + OPHOST + "' render " + c.args +
                      " -o out.y4m --quiet < other.y4m");
        ASSERT_EQ(r.status, 0) << c.what << "\n" << r.err;
        EXPECT_NE(r.err.find("pipe.y4m: copying it to a temporary file"), std::string::npos) << c.what << "\n" << r.err;
        EXPECT_EQ(slurp(path("out.y4m")), slurp(path(c.same))) << c.what;
    }
}

// --sample-key x,y,w,h wholly off input 1 is refused as a sample area is;
// auto on a shot with no backing in its border says so and names the
// colour it took.
TEST_F(Program, SampleKeyOffThePictureOrWithoutBacking)
{
    if (!exists(testsupport::operatorPath("Zenvarth"))) GTEST_SKIP() << "Zenvarth is not built";
    writeY4m(path("chart.y4m"), 32, 16, media::Chroma::C444, media::Interlace::TopFirst, randomFrames(32, 16, 1, 5));
    auto blue = randomFrames(32, 16, 1, 6);
    for (int y = 0; y < 16; ++y)
        for (int x = 0; x < 32; ++x)
            if (x < 4 || x >= 28 || y < 2 || y >= 14) blue[0].at(x, y) = Pixel{255, 110, 240, 40};
    writeY4m(path("blue.y4m"), 32, 16, media::Chroma::C444, media::Interlace::TopFirst, blue);
    const std::string base = "render Zenvarth --in0 chart.y4m -o out.y4m --in1 ";
    Ran r = ophost(base + "chart.y4m --sample-key 40,0,4,4");
    EXPECT_EQ(r.status, 2) << r.err;
    EXPECT_NE(r.err.find("--sample-key 40,0,4,4 lies wholly off the 32x8 field"), std::string::npos) << r.err;
    r = ophost(base + "chart.y4m --sample-key 0,-9,4,4");
    EXPECT_EQ(r.status, 2) << r.err;
    r = ophost(base + "chart.y4m --sample-key auto");
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.err.find("warning: chart.y4m: no backing found"), std::string::npos) << r.err;
    EXPECT_NE(r.err.find(": keyColor=0x"), std::string::npos) << r.err;
    r = ophost(base + "blue.y4m --sample-key auto");
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.err.find("no backing found"), std::string::npos) << r.err;
    EXPECT_NE(r.err.find("--set keyColor=0x28F06EFF"), std::string::npos) << r.err;
}

// What the output cannot carry is said: audio left out of YUV4MPEG2 and
// PNG outputs, and a display rotation the pictures are not turned by.
TEST_F(Program, AudioLeftOutAndRotationAreNamed)
{
    if (std::system("command -v ffmpeg > /dev/null 2>&1") != 0) GTEST_SKIP() << "ffmpeg is not installed";
    Ran r = shell("ffmpeg -loglevel error -f lavfi -i testsrc=size=32x16:rate=25 -f lavfi -i sine=r=48000 "
                  "-frames:v 2 -t 0.08 -c:v ffv1 -c:a pcm_s16le plain.mov && ffmpeg -loglevel error -i plain.mov "
                  "-map 0 -c copy -metadata:s:v:0 rotate=90 sound.mov");
    ASSERT_EQ(r.status, 0) << r.err;
    for (const char *out : {"out.y4m", "out%02d.png"}) {
        r = ophost(std::string("render Tolmic --in0 sound.mov --quiet -o ") + out);
        EXPECT_EQ(r.status, 0) << out << "\n" << r.err;
        EXPECT_NE(r.err.find("note: " + std::string(out) + ": the audio stream 1 (pcm_s16le) of sound.mov is left out"),
                  std::string::npos)
            << out << "\n" << r.err;
        EXPECT_NE(r.err.find("warning: sound.mov carries a display rotation of 90 degrees"), std::string::npos)
            << out << "\n" << r.err;
        r = ophost(std::string("render Tolmic --in0 sound.mov --quiet --no-audio -o ") + out);
        EXPECT_EQ(r.err.find("audio"), std::string::npos) << out << "\n" << r.err;
    }
}

TEST_F(Program, FailuresExitOneAndLeaveNothingBehind)
{
    auto frames = randomFrames(8, 4, 3, 1);
    writeY4m(path("in.y4m"), 8, 4, media::Chroma::C444, media::Interlace::TopFirst, frames);
    writeY4m(path("odd.y4m"), 8, 3, media::Chroma::C444, media::Interlace::TopFirst, randomFrames(8, 3, 1, 2));
    writeY4m(path("small.y4m"), 6, 4, media::Chroma::C444, media::Interlace::TopFirst, randomFrames(6, 4, 3, 2));
    // A stream cut in the middle of frame 2.
    std::string whole = slurp(path("in.y4m"));
    std::ofstream(path("cut.y4m"), std::ios::binary) << whole.substr(0, whole.size() - 40);
    std::ofstream(path("junk.y4m"), std::ios::binary) << "P6\n8 4\n255\n";
    std::ofstream(path("settings.bin"), std::ios::binary) << "1234";
    struct Case {
        const char *args;
        std::vector<const char *> says;
    } cases[] = {
        {"render Tolmic --in0 cut.y4m -o out.y4m", {"cut.y4m", "frame 2", "truncated"}},
        {"render Tolmic --in0 junk.y4m -o out.y4m", {"junk.y4m", "not a YUV4MPEG2"}},
        {"render Tolmic --in0 odd.y4m -o out.y4m", {"odd.y4m", "odd"}},
        {"render Tolmic --in0 missing.y4m -o out.y4m", {"missing.y4m", "cannot open"}},
        {"render Tolmic --in0 in.y4m -o nowhere/out.y4m", {"nowhere/out.y4m", "cannot write"}},
        {"render Tolmic --in0 in.y4m -o out.y4m --settings settings.bin", {"no settings record"}},
        {"render Quorvel --in0 in.y4m --in1 small.y4m -o out.y4m", {"different sizes", "small.y4m"}},
        // Past the end of input 0 the field is unavailable: Tolmic's own
        // failure shows in the log, and the run stops there.
        {"render Tolmic --in0 in.y4m -o out.y4m --frames 1:5", {"in.y4m: has 3 frames; the section needs frames 1 to 4"}},
    };
    for (const Case &c : cases) {
        Ran r = ophost(c.args);
        EXPECT_EQ(r.status, 1) << c.args << "\n" << r.err;
        for (const char *text : c.says) EXPECT_NE(r.err.find(text), std::string::npos) << c.args << "\n" << r.err;
        auto left = listing();
        EXPECT_EQ(std::count_if(left.begin(), left.end(), [](const std::string &n) { return n.rfind("out", 0) == 0 || n[0] == '.'; }), 0)
            << c.args << ": something was left under the output name";
    }
}

TEST_F(Program, SettingsFileOfTheWrongSizeIsRefused)
{
    if (!exists(testsupport::operatorPath("Zenvarth"))) GTEST_SKIP() << "Zenvarth is not built";
    auto frames = randomFrames(8, 4, 1, 1);
    writeY4m(path("in.y4m"), 8, 4, media::Chroma::C444, media::Interlace::TopFirst, frames);
    std::ofstream(path("short.bin"), std::ios::binary) << std::string(223, '\0');
    Ran r = ophost("render Zenvarth --in0 in.y4m --in1 in.y4m -o out.y4m --settings short.bin");
    EXPECT_EQ(r.status, 1) << r.err;
    EXPECT_NE(r.err.find("224"), std::string::npos) << r.err;
    EXPECT_FALSE(exists(path("out.y4m")));
}

TEST_F(Program, InputsOfDifferentRatesOrLengthsAreNamedInAWarning)
{
    writeY4m(path("a.y4m"), 8, 4, media::Chroma::C444, media::Interlace::TopFirst, randomFrames(8, 4, 3, 1));
    writeY4m(path("b.y4m"), 8, 4, media::Chroma::C444, media::Interlace::TopFirst, randomFrames(8, 4, 2, 2));
    // The same frames, relabelled 30000/1001 frames a second.
    std::string c = slurp(path("a.y4m"));
    c.replace(c.find("F25:1"), 5, "F30000:1001");
    std::ofstream(path("c.y4m"), std::ios::binary) << c;
    Ran r = ophost("render Quorvel --in0 a.y4m --in1 b.y4m -o out.y4m --frames 0:2");
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.err.find("warning"), std::string::npos) << "lengths are not counted for a section: " << r.err;
    r = ophost("render Quorvel --in0 a.y4m --in1 b.y4m -o out.y4m");
    EXPECT_NE(r.err.find("warning: inputs of different lengths: a.y4m has 3 frames, b.y4m has 2"), std::string::npos)
        << r.err;
    r = ophost("render Quorvel --in0 a.y4m --in1 c.y4m -o out.y4m");
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.err.find("warning: inputs of different frame rates: a.y4m is 25/1 fps, c.y4m is 30000/1001 fps"),
              std::string::npos)
        << r.err;
    EXPECT_EQ(r.err.find("lengths"), std::string::npos) << r.err;
}

// ---------------------------------------------------------------- ffmpeg

TEST_F(Program, FfmpegPipesThroughOphostAndBack)
{
    if (std::system("command -v ffmpeg > /dev/null 2>&1") != 0) GTEST_SKIP() << "ffmpeg is not installed";
    Ran r = shell("ffmpeg -loglevel error -f lavfi -i testsrc=size=64x48:rate=25 -frames:v 5 -pix_fmt yuv420p "
                  "-f yuv4mpegpipe - | '" + OPHOST + "' render Tolmic --in0 - -o - --quiet | "
                  "ffmpeg -loglevel error -f yuv4mpegpipe -i - -f framemd5 - > sums.txt");
    ASSERT_EQ(r.status, 0) << r.err;
    std::string sums = slurp(path("sums.txt"));
    int frames = 0;
    for (size_t at = 0; (at = sums.find("\n0,", at)) != std::string::npos; ++at) ++frames;
    EXPECT_EQ(frames, 5) << sums;
    // 4:4:4 through ffmpeg and back is exact: no Tolmic change on grey.
    r = shell("ffmpeg -loglevel error -f lavfi -i color=c=gray:size=32x16:rate=25 -frames:v 2 -pix_fmt yuv444p "
              "-f yuv4mpegpipe grey.y4m && '" + OPHOST + "' render Tolmic --in0 grey.y4m -o - --quiet | "
              "ffmpeg -loglevel error -y -f yuv4mpegpipe -i - -pix_fmt yuv444p -f yuv4mpegpipe back.y4m");
    ASSERT_EQ(r.status, 0) << r.err;
    auto back = readY4m(path("back.y4m"));
    ASSERT_EQ(back.size(), 2u);
    EXPECT_EQ(back[0].width, 32);
}

// ---------------------------------------------------------------- hostile files

// Hostile and broken files through ophost render: each run fails with
// status 1 and a message naming the file and the fault, leaves no output
// (nor a temporary) when there was none, and leaves an existing output as
// it was.
TEST_F(Program, HostileFilesFailCleanlyAndTouchNothing)
{
    auto frames = randomFrames(8, 4, 2, 3);
    writeY4m(path("in.y4m"), 8, 4, media::Chroma::C444, media::Interlace::TopFirst, frames);
    writeY4m(path("one.y4m"), 8, 4, media::Chroma::C444, media::Interlace::TopFirst, randomFrames(8, 4, 1, 4));
    std::string bomb = slurp(std::string(OPS_SOURCE_DIR) + "/fuzz/regressions/png/size-bomb-32768x32768");
    ASSERT_EQ(bomb.size(), 68u);
    std::ofstream(path("bomb.png"), std::ios::binary) << bomb;
    std::ofstream(path("huge.y4m"), std::ios::binary) << "YUV4MPEG2 W20000 H2 C444\nFRAME\n";
    std::ofstream(path("text.y4m"), std::ios::binary) << "hello\n";
    std::string whole = slurp(path("in.y4m"));
    std::ofstream(path("cut.y4m"), std::ios::binary) << whole.substr(0, whole.size() - 10);
    std::system(("mkdir '" + path("folder.y4m") + "' '" + path("outdir.y4m") + "' '" + path("shots.png") + "' && mkfifo '" + path("fifo.y4m") +
                 "' && printf keep > '" + path("locked.y4m") + "' && chmod 444 '" + path("locked.y4m") + "'")
                    .c_str());
    media::RgbaImage odd;
    odd.width = 64;
    odd.height = 47;
    odd.rgba.assign(size_t(64) * 47 * 4, 200);
    std::string error;
    ASSERT_TRUE(media::writePng(path("odd.png"), odd, false, error)) << error;
    std::ofstream(path("damaged.png"), std::ios::binary) << slurp(path("odd.png")).substr(0, 45) << "garbage";
    // Inputs an output might name again, by another spelling or a link.
    writeY4m(path("two.y4m"), 8, 4, media::Chroma::C444, media::Interlace::TopFirst, randomFrames(8, 4, 2, 5));
    ASSERT_EQ(symlink("in.y4m", path("link.y4m").c_str()), 0);
    media::RgbaImage still;
    still.width = 8;
    still.height = 4;
    still.rgba.assign(size_t(8) * 4 * 4, 90);
    for (const char *name : {"still.png", "seq0000.png", "seq0001.png", "shot0.png"})
        ASSERT_TRUE(media::writePng(path(name), still, false, error)) << error;
    std::ofstream(path("set.y4m"), std::ios::binary) << "a settings file";
    ASSERT_EQ(mkdir(path("shot1.png").c_str(), 0755), 0);

    struct Case {
        const char *what;
        std::string args;   // after "render"; OUT stands for the output name
        std::vector<std::string> says;
        bool ownOutput;     // the output named is itself the hostile target
        int status = 1;
    } cases[] = {
        {"size bomb PNG", "Tolmic --in0 bomb.png -o OUT", {"bomb.png", "too large"}, false},
        {"damaged PNG", "Tolmic --in0 damaged.png -o OUT", {"damaged.png", "damaged PNG"}, false},
        {"odd height PNG", "Tolmic --in0 odd.png -o OUT", {"odd.png", "frame height 47 is odd"}, false},
        {"odd height PNG as input 1", "Quorvel --in0 in.y4m --in1 odd.png -o OUT", {"odd.png", "frame height 47 is odd"}, false},
        {"huge Y4M header", "Tolmic --in0 huge.y4m -o OUT", {"huge.y4m", "too large"}, false},
        {"not a Y4M", "Tolmic --in0 text.y4m -o OUT", {"text.y4m", "not a YUV4MPEG2"}, false},
        {"cut Y4M", "Tolmic --in0 cut.y4m -o OUT", {"cut.y4m", "frame 1", "truncated"}, false},
        {"folder as input", "Tolmic --in0 folder.y4m -o OUT", {"folder.y4m", "folder"}, false},
        {"section past the end", "Tolmic --in0 in.y4m -o OUT --frames 1:5", {"in.y4m", "has 2 frames", "1 to 4"}, false},
        {"input 1 too short", "Quorvel --in0 in.y4m --in1 one.y4m -o OUT", {"one.y4m", "has 1 frame;", "0 to 1"}, false},
        {"settings file is a folder", "Zenvarth --in0 in.y4m --in1 in.y4m -o OUT --settings folder.y4m",
         {"folder.y4m", "is a folder"}, false},
        {"settings file is a pipe with too much", "Zenvarth --in0 in.y4m --in1 in.y4m -o OUT --settings /dev/zero",
         {"/dev/zero", "more than the 224 bytes"}, false},
        {"output is a folder", "Tolmic --in0 in.y4m -o outdir.y4m", {"outdir.y4m", "folder"}, true},
        {"output is a pipe", "Tolmic --in0 in.y4m -o fifo.y4m", {"fifo.y4m", "pipe"}, true},
        {"output is read-only", "Tolmic --in0 in.y4m -o locked.y4m", {"locked.y4m", "read-only"}, true},
        {"PNG output is a folder", "Tolmic --in0 in.y4m --frames 0:1 -o shots.png", {"shots.png", "folder"}, true},
        {"a later frame's target is a folder", "Tolmic --in0 in.y4m -o shot%d.png", {"shot1.png", "folder"}, true},
        {"output is input 1", "Quorvel --in0 in.y4m --in1 two.y4m -o two.y4m",
         {"-o two.y4m is the same file as --in1 two.y4m"}, true, 2},
        {"output is input 0 spelt otherwise", "Tolmic --in0 in.y4m -o ./in.y4m",
         {"-o ./in.y4m is the same file as --in0 in.y4m"}, true, 2},
        {"output is a link to input 0", "Tolmic --in0 in.y4m -o link.y4m",
         {"-o link.y4m is the same file as --in0 in.y4m"}, true, 2},
        {"output is the PNG still read", "Tolmic --in0 still.png --frames 0:1 -o still.png",
         {"-o still.png is the same file as --in0 still.png"}, true, 2},
        {"output is the sequence read", "Tolmic --in0 seq%04d.png -o seq%04d.png",
         {"is the same file as --in0 seq%04d.png"}, true, 2},
        {"output is a frame of the sequence read", "Tolmic --in0 seq%04d.png --frames 0:1 -o seq0001.png",
         {"-o seq0001.png is the same file as --in0 seq%04d.png (seq0001.png)"}, true, 2},
        {"output is the settings file", "Tolmic --in0 in.y4m --settings set.y4m -o set.y4m",
         {"-o set.y4m is the same file as --settings set.y4m"}, true, 2},
        {"output is the pattern picture", "Zenvarth --in0 in.y4m --in1 two.y4m --set patternName=still.png -o still.png",
         {"-o still.png is the same file as the pattern picture still.png"}, true, 2},
    };
    const std::string precious = "an earlier result\n";
    for (const Case &c : cases) {
        for (bool existing : {false, true}) {
            if (c.ownOutput && existing) continue;
            std::remove(path("out.y4m").c_str());
            if (existing) std::ofstream(path("out.y4m"), std::ios::binary) << precious;
            auto before = contents();
            std::string args = c.args;
            if (size_t at = args.find("OUT"); at != std::string::npos) args.replace(at, 3, "out.y4m");
            Ran r = shell("timeout 60 '" + OPHOST + "' render " + args);
            const std::string label = std::string(c.what) + (existing ? " (existing output)" : "");
            EXPECT_EQ(r.status, c.status) << label << "\n" << r.err;
            for (const std::string &text : c.says)
                EXPECT_NE(r.err.find(text), std::string::npos) << label << "\n" << r.err;
            EXPECT_EQ(contents(), before) << label << ": a file was left, removed or changed";
            if (existing) {
                EXPECT_EQ(slurp(path("out.y4m")), precious) << label;
            }
        }
    }
    EXPECT_EQ(slurp(path("locked.y4m")), "keep");
}

// An interrupted render removes its temporary output and dies of the
// signal, as an uninterrupted program would.
TEST_F(Program, SignalsRemoveTheTemporaryOutput)
{
    for (int sig : {SIGINT, SIGTERM, SIGHUP}) {
        int fds[2];
        ASSERT_EQ(pipe(fds), 0);
        pid_t pid = fork();
        ASSERT_GE(pid, 0);
        if (pid == 0) {
            dup2(fds[0], 0);
            ::close(fds[0]);
            ::close(fds[1]);
            for (int s : {SIGINT, SIGTERM, SIGHUP}) std::signal(s, SIG_DFL);
            if (chdir(dir_.c_str()) != 0) _exit(126);
            execl(OPHOST.c_str(), "ophost", "render", "Tolmic", "--in0", "-", "--frames", "0:2", "-o", "out.y4m",
                  "--quiet", static_cast<char *>(nullptr));
            _exit(127);
        }
        ::close(fds[0]);
        // The header only: ophost waits for frame 0 with its output open.
        const char header[] = "YUV4MPEG2 W8 H4 C444\n";
        ASSERT_EQ(write(fds[1], header, sizeof header - 1), ssize_t(sizeof header - 1));
        bool temporarySeen = false;
        for (int i = 0; i < 400 && !temporarySeen; ++i) {
            for (const std::string &name : listing())
                temporarySeen = temporarySeen || (name[0] == '.' && name.size() > 4 && name.substr(name.size() - 4) == ".tmp");
            if (!temporarySeen) usleep(25000);
        }
        EXPECT_TRUE(temporarySeen) << "signal " << sig;
        kill(pid, sig);
        int status = 0;
        ASSERT_EQ(waitpid(pid, &status, 0), pid);
        ::close(fds[1]);
        EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == sig) << "signal " << sig << ", status " << status;
        EXPECT_EQ(listing(), std::vector<std::string>{}) << "signal " << sig;
    }
}

// Standard input without --frames is copied to $TMPDIR to be counted: said
// once, and a full disk (here a file size limit) or a missing folder stops
// the run with the reason.
TEST_F(Program, StandardInputIsSpooledToTmpdirWithClearFaults)
{
    auto frames = randomFrames(64, 64, 20, 8);
    writeY4m(path("in.y4m"), 64, 64, media::Chroma::C444alpha, media::Interlace::TopFirst, frames);
    std::system(("mkdir '" + path("tmp") + "'").c_str());
    Ran r = shell("cat in.y4m | TMPDIR='" + path("tmp") + "' '" + OPHOST + "' render Tolmic --in0 - -o out.y4m --quiet");
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.err.find("standard input: copying it to a temporary file in " + path("tmp")), std::string::npos) << r.err;
    EXPECT_NE(r.err.find("--frames"), std::string::npos) << r.err;
    EXPECT_EQ(readY4m(path("out.y4m")).size(), 20u);
    std::remove(path("out.y4m").c_str());

    r = shell("cat in.y4m | TMPDIR='" + path("none") + "' '" + OPHOST + "' render Tolmic --in0 - -o out.y4m --quiet");
    EXPECT_EQ(r.status, 1) << r.err;
    EXPECT_NE(r.err.find(path("none")), std::string::npos) << r.err;
    // A file size limit stands in for a full disk.
    r = shell("trap '' XFSZ; ulimit -f 100; cat in.y4m | TMPDIR='" + path("tmp") + "' '" + OPHOST +
              "' render Tolmic --in0 - -o out.y4m --quiet");
    EXPECT_EQ(r.status, 1) << r.err;
    EXPECT_NE(r.err.find("standard input: cannot copy it to a temporary file in " + path("tmp") + ": File too large"),
              std::string::npos)
        << r.err;
    EXPECT_EQ(listing(), (std::vector<std::string>{"in.y4m", "tmp"}));
}

// A pipe that ends inside the section is named with the frame where it
// ended, before the operator's own log lines.
TEST_F(Program, PipeEndingInsideTheSectionIsNamed)
{
    writeY4m(path("in.y4m"), 8, 4, media::Chroma::C444, media::Interlace::TopFirst, randomFrames(8, 4, 2, 5));
    Ran r = shell("cat in.y4m | '" + OPHOST + "' render Tolmic --in0 - --frames 0:4 -o out.y4m --quiet");
    EXPECT_EQ(r.status, 1);
    size_t sentence = r.err.find("standard input: ended at frame 2; the section needs frames 0 to 3");
    EXPECT_NE(sentence, std::string::npos) << r.err;
    size_t log = r.err.find("log: ");
    EXPECT_NE(log, std::string::npos) << r.err;
    EXPECT_LT(sentence, log) << r.err;
    EXPECT_EQ(listing(), std::vector<std::string>{"in.y4m"});
}

// A stream that declares a 256 MB frame and then ends costs no more memory
// than it sent (the limit stands below either the frame's bytes or its
// output picture; ophost itself needs well under 100 MB of it).
TEST_F(Program, StreamHeaderAloneCostsNoFrameOfMemory)
{
#if defined(__SANITIZE_ADDRESS__)
    GTEST_SKIP() << "an address space limit does not suit the sanitizers";
#else
    Ran r = shell("printf 'YUV4MPEG2 W8192 H8192 C444alpha\\nFRAME\\nabc' | (ulimit -v 250000; '" + OPHOST +
                  "' render Tolmic --in0 - --frames 0:1 -o out.y4m --quiet)");
    EXPECT_EQ(r.status, 1) << r.err;
    EXPECT_NE(r.err.find("standard input: frame 0: truncated frame data (3 of"), std::string::npos) << r.err;
    EXPECT_EQ(listing(), std::vector<std::string>{});
#endif
}

// A still PNG in and a PNG out: no alpha unless asked; 4:2:0 interlaced
// input keeps its siting and field order tags, and each field its colour.
TEST_F(Program, OutputsKeepWhatTheInputSaysAndNoMore)
{
    auto frames = randomFrames(8, 4, 1, 6);
    for (auto &p : frames[0].pixels) p.alpha = 0;
    writeY4m(path("in.y4m"), 8, 4, media::Chroma::C444alpha, media::Interlace::Progressive, frames);
    ASSERT_EQ(ophost("render Tolmic --in0 in.y4m -o still.png --pix 444alpha --quiet").status, 0);
    ASSERT_EQ(ophost("render Tolmic --in0 still.png -o plain.png --quiet").status, 0);
    ASSERT_EQ(ophost("render Tolmic --in0 still.png -o keyed.png --pix 444alpha --quiet").status, 0);
    auto colourType = [&](const std::string &name) { return int(uint8_t(slurp(path(name)).at(25))); };
    EXPECT_EQ(colourType("still.png"), 6) << "RGBA when asked";
    EXPECT_EQ(colourType("plain.png"), 2) << "RGB by default";
    EXPECT_EQ(colourType("keyed.png"), 6);

    // Top field one colour, bottom field another.
    std::vector<media::VideoFrame> fields(2);
    for (auto &f : fields) {
        f.resize(16, 8);
        for (int y = 0; y < 8; ++y)
            for (int x = 0; x < 16; ++x) f.at(x, y) = y % 2 ? Pixel{255, 200, 60, 80} : Pixel{255, 60, 220, 120};
    }
    for (const char *order : {"It", "Ib", "Im"}) {
        media::Y4mHeader h;
        h.width = 16;
        h.height = 8;
        h.chroma = media::Chroma::C420;
        h.colourTag = "420mpeg2";
        h.interlace = order[1] == 't' ? media::Interlace::TopFirst
                      : order[1] == 'b' ? media::Interlace::BottomFirst : media::Interlace::Mixed;
        FILE *f = std::fopen(path("fields.y4m").c_str(), "wb");
        media::Y4mWriter writer;
        std::string error;
        ASSERT_TRUE(writer.open(f, "fields.y4m", h, error));
        for (const auto &frame : fields) ASSERT_TRUE(writer.write(frame, error)) << error;
        std::fclose(f);
        Ran r = ophost("render Tolmic --in0 fields.y4m -o out.y4m --quiet");
        ASSERT_EQ(r.status, 0) << r.err;
        std::string out = slurp(path("out.y4m"));
        std::string line = out.substr(0, out.find('\n'));
        EXPECT_NE(line.find(std::string(" ") + order + " "), std::string::npos) << line;
        EXPECT_NE(line.find(" C420mpeg2"), std::string::npos) << line;
        media::Y4mHeader got;
        auto back = readY4m(path("out.y4m"), &got);
        ASSERT_EQ(back.size(), 2u);
        // Tolmic maps each colour to one colour: every line of a field
        // matches the field's first line, and the fields differ.
        for (int y = 2; y < 8; ++y)
            for (int x = 0; x < 16; ++x) {
                EXPECT_EQ(back[1].at(x, y).u, back[1].at(0, y % 2).u) << order << " line " << y;
                EXPECT_EQ(back[1].at(x, y).v, back[1].at(0, y % 2).v) << order << " line " << y;
            }
        EXPECT_NE(back[1].at(0, 0).u, back[1].at(0, 1).u) << order;
    }
}

// A wipe pattern that cannot be read (a folder, a picture too large) gives
// the operator a failure answer: it logs its line and fades plainly. The
// file is read and reported once per run, not on every field.
TEST_F(Program, UnreadablePatternFailsTheCallNotTheProgram)
{
    if (!exists(testsupport::operatorPath("Zenvarth"))) GTEST_SKIP() << "Zenvarth is not built";
    const std::string zvpreset = std::string(OPS_BIN_DIR) + "/zvpreset";
    writeY4m(path("in.y4m"), 8, 4, media::Chroma::C444, media::Interlace::TopFirst, randomFrames(8, 4, 3, 9));
    std::system(("mkdir '" + path("patterns") + "'").c_str());
    std::ofstream(path("bomb.png"), std::ios::binary)
        << slurp(std::string(OPS_SOURCE_DIR) + "/fuzz/regressions/png/size-bomb-32768x32768");
    for (const char *pattern : {"patterns", "bomb.png"}) {
        Ran r = shell("'" + zvpreset + "' new key.zvp && '" + zvpreset + "' set key.zvp effectType=4 patternName=" +
                      path(pattern));
        ASSERT_EQ(r.status, 0) << r.err;
        r = ophost("render Zenvarth --settings key.zvp --in0 in.y4m --in1 in.y4m -o out.y4m --quiet");
        EXPECT_EQ(r.status, 0) << pattern << "\n" << r.err;
        EXPECT_NE(r.err.find("line 4291"), std::string::npos) << pattern << "\n" << r.err;
        size_t reports = 0;
        for (size_t at = 0; (at = r.err.find("ferrylib: " + path(pattern), at)) != std::string::npos; ++at) ++reports;
        EXPECT_EQ(reports, 1u) << pattern << "\n" << r.err;
        EXPECT_EQ(readY4m(path("out.y4m")).size(), 3u);
    }
}

// install checks that the operator's data folder exists afterwards.
TEST_F(Program, InstallReportsAFolderItCouldNotMake)
{
    if (!exists(testsupport::operatorPath("Zenvarth"))) GTEST_SKIP() << "Zenvarth is not built";
    std::ofstream(path("plainfile"), std::ios::binary) << "x";
    std::system(("mkdir -p '" + path("home2") + "' && printf x > '" + path("home2/programs") + "'").c_str());
    struct Case {
        std::string home;
        int status;
        const char *says;
    } cases[] = {
        {path("plainfile"), 1, "is not a folder"},
        {path("home2"), 1, "programs is not a folder"},
        {path("missing"), 0, "installed under"},
        {path("home3"), 0, "installed under"},
    };
    for (const Case &c : cases) {
        Ran r = shell("QVHOME='" + c.home + "' '" + OPHOST + "' install Zenvarth");
        EXPECT_EQ(r.status, c.status) << c.home << "\n" << r.err;
        EXPECT_NE(r.err.find(c.says), std::string::npos) << c.home << "\n" << r.err;
        if (c.status == 0) {
            EXPECT_TRUE(exists(c.home + "/programs/zenvarth")) << c.home;
        }
    }
    Ran r = shell("QVHOME='" + path("plainfile") + "' '" + OPHOST + "' install Tolmic");
    EXPECT_EQ(r.status, 1) << r.err;
}

// gallery: a window without a display fails at once; a screenshot is
// written by temporary and rename, so a failed write keeps the old one and
// a folder or a pipe in its place is refused.
TEST_F(Program, GalleryWindowAndScreenshotsAreSafe)
{
    const std::string noDisplay = "env -u DISPLAY -u WAYLAND_DISPLAY -u SDL_VIDEODRIVER timeout 20 '" + OPHOST + "' gallery ";
    Ran r = shell(noDisplay + "--window");
    EXPECT_EQ(r.status, 1) << r.err;
    EXPECT_NE(r.err.find("needs a display"), std::string::npos) << r.err;
    std::ofstream(path("empty.script")) << "";
    r = shell(noDisplay + "--window --script empty.script --screenshot shot.png");
    EXPECT_EQ(r.status, 0) << r.err;
    ASSERT_TRUE(exists(path("shot.png")));
    const std::string shot = slurp(path("shot.png"));

    r = shell("trap '' XFSZ; ulimit -f 1; " + noDisplay + "--headless --screenshot shot.png");
    EXPECT_EQ(r.status, 1) << r.err;
    EXPECT_NE(r.err.find("shot.png"), std::string::npos) << r.err;
    EXPECT_EQ(slurp(path("shot.png")), shot) << "a failed write keeps the old screenshot";
    std::system(("mkdir '" + path("dir.png") + "' && mkfifo '" + path("fifo.png") + "'").c_str());
    for (const char *target : {"dir.png", "fifo.png"}) {
        r = shell(noDisplay + "--headless --screenshot " + target);
        EXPECT_EQ(r.status, 1) << target << "\n" << r.err;
        EXPECT_NE(r.err.find(std::string(target) + ": is a"), std::string::npos) << r.err;
    }
    struct stat st;
    EXPECT_TRUE(stat(path("fifo.png").c_str(), &st) == 0 && S_ISFIFO(st.st_mode));
    auto left = listing();
    EXPECT_EQ(left, (std::vector<std::string>{"dir.png", "empty.script", "fifo.png", "shot.png"}));
}
