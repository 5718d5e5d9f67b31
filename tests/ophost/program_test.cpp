// The ophost program end to end: renders compared with driving the
// operator directly, outputs, and every error path.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <dirent.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "media/y4m.h"
#include "ophost/fields.h"
#include "ophost/run.h"
#include "testsupport.h"

namespace {

const std::string OPHOST = std::string(OPS_BIN_DIR) + "/ophost";

struct Ran {
    int status = -1;
    std::string out, err;
};

std::string slurp(const std::string &path)
{
    std::ifstream in(path, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

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
    Ran shell(const std::string &line)
    {
        Ran r;
        std::string cmd = "cd '" + dir_ + "' && { " + line + " ; } > .out 2> .err";
        int raw = std::system(cmd.c_str());
        r.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
        r.out = slurp(path(".out"));
        r.err = slurp(path(".err"));
        return r;
    }
    Ran ophost(const std::string &args) { return shell("'" + OPHOST + "' " + args); }

    // Names in the folder other than the capture files.
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

void writeY4m(const std::string &file, int w, int h, media::Chroma chroma, media::Interlace order,
              const std::vector<media::VideoFrame> &frames)
{
    media::Y4mHeader header;
    header.width = w;
    header.height = h;
    header.chroma = chroma;
    header.interlace = order;
    FILE *f = std::fopen(file.c_str(), "wb");
    ASSERT_NE(f, nullptr);
    media::Y4mWriter writer;
    std::string error;
    ASSERT_TRUE(writer.open(f, file, header, error)) << error;
    for (const auto &frame : frames) ASSERT_TRUE(writer.write(frame, error)) << error;
    std::fclose(f);
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
    Ran r = ophost("render Tolmic --in0 in.y4m -o out.y4m --set 0=6,2,8,3 --set 1=60 --visible -4,-3,20,10 --quiet");
    ASSERT_EQ(r.status, 0) << r.err;
    const hostrt::VisibleArea visible{-4, -3, 20, 10};
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
    r = ophost("--version");
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out.compare(0, 7, "ophost "), 0) << r.out;
    r = ophost("info zenvarth");
    ASSERT_EQ(r.status, 0) << r.err;
    for (const char *how : {"--set FIELD=VALUE", "zvpreset", "ophost edit"})
        EXPECT_NE(r.out.find(how), std::string::npos) << how;
    r = ophost("info Zenvart");
    EXPECT_EQ(r.status, 1);
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
        {"render Tolmic --in0 in.y4m -o out.y4m --frames 1:5",
         {"log: severity 4, src\\Tolmic line 89, module 0x0B6F0000, \" \"", "field 4 (frame 3)", "failed"}},
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
