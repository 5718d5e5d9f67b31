// Video files of other containers through ophost: each kind reads to the
// same frames as the same pictures through a YUV4MPEG2 pipe, outputs carry
// the key, the audio and the field order, chunks of a section concatenate
// to the whole, broken files fail cleanly, and the progress line shows only
// on a terminal.
#include <gtest/gtest.h>

#include <dirent.h>
#include <poll.h>
#include <pty.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "media/png_io.h"
#include "media/y4m.h"
#include "media/yuv_rgb.h"
#include "ophost/run.h"
#include "testsupport.h"

namespace {

using testsupport::slurp;

std::string q(const std::string &s) { return "'" + s + "'"; }

class Av : public testing::Test {
protected:
    void SetUp() override
    {
        if (std::system("command -v ffmpeg > /dev/null 2>&1 && command -v ffprobe > /dev/null 2>&1") != 0)
            GTEST_SKIP() << "ffmpeg is not installed";
        dir_ = testing::TempDir() + "av_" + std::to_string(getpid()) + "_" +
               testing::UnitTest::GetInstance()->current_test_info()->name();
        std::system(("rm -rf " + q(dir_) + " && mkdir -p " + q(dir_)).c_str());
    }
    void TearDown() override
    {
        if (!dir_.empty()) std::system(("rm -rf " + q(dir_)).c_str());
    }
    std::string path(const std::string &name) const { return dir_ + "/" + name; }

    // Runs a shell line in the test folder; standard error in `err`.
    int shell(const std::string &line, std::string *err = nullptr)
    {
        int raw = std::system(("cd " + q(dir_) + " && { " + line + " ; } 2> .err").c_str());
        if (err) *err = slurp(path(".err"));
        return WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
    }
    int ffmpeg(const std::string &args)
    {
        std::string err;
        int status = shell("ffmpeg -nostdin -loglevel error -y " + args, &err);
        EXPECT_EQ(status, 0) << args << "\n" << err;
        return status;
    }
    int ophost(const std::string &args, std::string *err = nullptr)
    {
        return shell(q(OPHOST_PATH) + " " + args, err);
    }
    std::string probe(const std::string &file, const std::string &entries, const std::string &streams = "v:0")
    {
        shell("ffprobe -v error -select_streams " + streams + " -show_entries " + entries +
              " -of default=noprint_wrappers=1 " + q(file) + " > .probe");
        return slurp(path(".probe"));
    }
    std::vector<std::string> listing() const
    {
        std::vector<std::string> names;
        DIR *d = opendir(dir_.c_str());
        while (dirent *e = readdir(d)) {
            std::string n = e->d_name;
            if (n != "." && n != ".." && n != ".err" && n != ".probe") names.push_back(n);
        }
        closedir(d);
        std::sort(names.begin(), names.end());
        return names;
    }

    std::string dir_;
};

std::vector<media::VideoFrame> readAll(ophost::Clip &clip)
{
    std::vector<media::VideoFrame> frames;
    media::VideoFrame f;
    std::string error;
    for (int i = 0; clip.frame(i, f, error); ++i) frames.push_back(f);
    EXPECT_EQ(error, "") << clip.name();
    return frames;
}

size_t differing(const media::VideoFrame &a, const media::VideoFrame &b)
{
    if (a.width != b.width || a.height != b.height) return SIZE_MAX;
    size_t n = 0;
    for (size_t i = 0; i < a.pixels.size(); ++i) n += pixelWord(a.pixels[i]) != pixelWord(b.pixels[i]);
    return n;
}

// Each kind of file reads to the frames of the same pictures sent through
// a YUV4MPEG2 pipe by ffmpeg (which decodes them with the same libraries),
// with the same field order and frame count; random access by frame number
// gives the same frames as reading in order.
TEST_F(Av, EveryKindReadsAsThroughAYuv4mpegPipe)
{
    const std::string src = "-f lavfi -i testsrc=size=64x32:rate=25 -frames:v 4 ";
    struct Kind {
        const char *file;
        std::string make;       // ffmpeg arguments that make it
        const char *pipeFormat; // the pipe's pixel format
        media::Chroma chroma;
        media::Interlace order;
    } kinds[] = {
        {"alpha4444.mov",
         "-f lavfi -i testsrc=size=64x32:rate=25 -frames:v 4 -vf \"format=rgba,geq=r='r(X,Y)':g='g(X,Y)':b='b(X,Y)':a='4*X+Y'\" "
         "-c:v prores_ks -profile:v 4 -pix_fmt yuva444p10le",
         "yuva444p", media::Chroma::C444alpha, media::Interlace::Progressive},
        {"interlaced422.mov",
         "-f lavfi -i testsrc=size=64x32:rate=50 -frames:v 4 -vf interlace=scan=tff:lowpass=0 -flags +ildct -c:v prores_ks "
         "-profile:v 3 -pix_fmt yuv422p10le",
         "yuv422p", media::Chroma::C422, media::Interlace::TopFirst},
        {"h264.mp4", src + "-c:v libx264 -pix_fmt yuv420p", "yuv420p", media::Chroma::C420,
         media::Interlace::Progressive},
        {"ffv1-10bit.mkv", src + "-c:v ffv1 -pix_fmt yuv420p10le", "yuv420p", media::Chroma::C420,
         media::Interlace::Progressive},
        {"bff.mkv", src + "-vf setfield=bff -c:v ffv1 -pix_fmt yuv422p -field_order bb", "yuv422p",
         media::Chroma::C422, media::Interlace::BottomFirst},
    };
    for (const Kind &k : kinds) {
        SCOPED_TRACE(k.file);
        ASSERT_EQ(ffmpeg(k.make + " " + k.file), 0);
        ASSERT_EQ(ffmpeg("-i " + std::string(k.file) + " -pix_fmt " + k.pipeFormat + " -strict -1 -f yuv4mpegpipe piped.y4m"), 0);
        std::string error;
        auto clip = ophost::openClip(path(k.file), error);
        ASSERT_TRUE(clip) << error;
        auto piped = ophost::openClip(path("piped.y4m"), error);
        ASSERT_TRUE(piped) << error;
        EXPECT_EQ(clip->chroma(), k.chroma);
        EXPECT_EQ(clip->bottomFirst(), k.order == media::Interlace::BottomFirst);
        EXPECT_EQ(clip->progressive(), k.order == media::Interlace::Progressive);
        EXPECT_EQ(clip->frameCount(error), 4) << error;
        ASSERT_NE(clip->traits(), nullptr);
        EXPECT_EQ(clip->traits()->rateNum * 1, 25 * clip->traits()->rateDen);
        auto want = readAll(*piped);
        ASSERT_EQ(want.size(), 4u);
        // Backwards first: the clip starts again where it must.
        media::VideoFrame f;
        for (int i : {3, 1, 2, 0, 3}) {
            ASSERT_TRUE(clip->frame(i, f, error)) << i << " " << error;
            EXPECT_EQ(differing(f, want[size_t(i)]), 0u) << "frame " << i;
        }
        EXPECT_FALSE(clip->frame(4, f, error));
        EXPECT_EQ(error, "");
    }
}

// Frames reached by jumping (backwards, forwards, across key frames, within
// a group of pictures) are the frames reached by reading from the start:
// intra-only ProRes, H.264 with long groups and B-frames, FFV1 with a key
// frame every few frames. A section rendered alone is the same frames of
// the whole render.
TEST_F(Av, JumpsReachTheFramesReadInOrder)
{
    const std::string src = "-f lavfi -i testsrc2=size=96x64:rate=25 -frames:v 300 ";
    struct Kind {
        const char *file;
        std::string make;
    } kinds[] = {
        {"prores.mov", src + "-c:v prores_ks -profile:v 3 -pix_fmt yuv422p10le"},
        {"long.mp4", src + "-c:v libx264 -preset veryfast -g 250 -keyint_min 250 -sc_threshold 0 -bf 3 -pix_fmt yuv420p"},
        {"ffv1.mkv", src + "-c:v ffv1 -g 12 -pix_fmt yuv420p"},
    };
    for (const Kind &k : kinds) {
        SCOPED_TRACE(k.file);
        ASSERT_EQ(ffmpeg(k.make + " " + k.file), 0);
        std::string error;
        auto inOrder = ophost::openClip(path(k.file), error);
        ASSERT_TRUE(inOrder) << error;
        const auto want = readAll(*inOrder);
        ASSERT_EQ(want.size(), 300u);
        auto jumping = ophost::openClip(path(k.file), error);
        ASSERT_TRUE(jumping) << error;
        // The edges of the groups, single steps both ways, then random jumps.
        std::vector<int> order = {299, 0, 250, 249, 248, 251, 12, 11, 13, 24, 23, 1, 298, 297, 296, 150, 151};
        std::mt19937 rng(7);
        for (int i = 0; i < 40; ++i) order.push_back(int(rng() % 300));
        media::VideoFrame f;
        for (int i : order) {
            ASSERT_TRUE(jumping->frame(i, f, error)) << i << " " << error;
            ASSERT_EQ(differing(f, want[size_t(i)]), 0u) << "frame " << i;
        }
        EXPECT_FALSE(jumping->frame(300, f, error));
        EXPECT_EQ(error, "");
        // Fields straight from the clip, as a run reads them.
        ophost::FieldPair pair, split;
        for (int i : {260, 3}) {
            ASSERT_TRUE(jumping->fields(i, pair, f, error)) << error;
            ophost::splitFrame(want[size_t(i)], split);
            for (int k = 0; k < 2; ++k) {
                ASSERT_EQ(pair.field[k].size(), split.field[k].size());
                EXPECT_EQ(std::memcmp(pair.field[k].data(), split.field[k].data(), split.field[k].size() * sizeof(Pixel)), 0)
                    << "frame " << i << " field " << k;
            }
        }
    }
    std::string err;
    ASSERT_EQ(ophost("render Tolmic --in0 long.mp4 --quiet -o whole.y4m", &err), 0) << err;
    ASSERT_EQ(ophost("render Tolmic --in0 long.mp4 --quiet --frames 270:280 -o part.y4m", &err), 0) << err;
    std::string error;
    auto whole = ophost::openClip(path("whole.y4m"), error);
    ASSERT_TRUE(whole) << error;
    auto part = ophost::openClip(path("part.y4m"), error);
    ASSERT_TRUE(part) << error;
    const auto all = readAll(*whole);
    const auto some = readAll(*part);
    ASSERT_EQ(all.size(), 300u);
    ASSERT_EQ(some.size(), 10u);
    for (size_t i = 0; i < some.size(); ++i) EXPECT_EQ(differing(some[i], all[270 + i]), 0u) << "frame " << 270 + i;
}

// An image sequence reads as its PNG files do one by one (the same RGB
// conversion as a PNG still); its length is counted.
TEST_F(Av, ImageSequenceReadsAsItsStills)
{
    ASSERT_EQ(ffmpeg("-f lavfi -i testsrc=size=32x16:rate=25 -frames:v 3 -pix_fmt rgb24 shot%04d.png"), 0);
    std::string error;
    auto clip = ophost::openClip(path("shot%04d.png"), error);
    ASSERT_TRUE(clip) << error;
    EXPECT_EQ(clip->frameCount(error), 3);
    for (int i = 0; i < 3; ++i) {
        char name[32];
        std::snprintf(name, sizeof name, "shot%04d.png", i + 1);
        auto still = ophost::openClip(path(name), error);
        ASSERT_TRUE(still) << error;
        EXPECT_TRUE(still->isStill());
        media::VideoFrame a, b;
        ASSERT_TRUE(clip->frame(i, a, error)) << error;
        ASSERT_TRUE(still->frame(0, b, error)) << error;
        EXPECT_EQ(differing(a, b), 0u) << name;
    }
}

// The README's one command with files: the ProRes 4444 master carries the
// key as its alpha, equal to the key of the same render to 444alpha Y4M;
// the audio of input 0 comes along, cut to the frames rendered; the same
// to .mp4 says that the key is dropped.
TEST_F(Av, KeyedMasterCarriesTheKeyAndTheAudio)
{
    ASSERT_EQ(ffmpeg("-f lavfi -i testsrc=size=64x32:rate=25 -f lavfi -i sine=frequency=440:sample_rate=48000 "
                     "-t 0.4 -c:v libx264 -pix_fmt yuv420p -c:a pcm_s16le background.mov"),
              0);
    ASSERT_EQ(ffmpeg("-f lavfi -i color=c=0x0047BB:size=64x32:rate=25 -f lavfi -i "
                     "color=c=0xE0AC69:size=16x16:rate=25 -filter_complex overlay=x=8+4*n:y=8:shortest=1 -t 0.4 "
                     "-c:v prores_ks -profile:v 3 -pix_fmt yuv422p10le greenscreen.mov"),
              0);
    const std::string keying = "render Zenvarth --in0 background.mov --in1 greenscreen.mov --set keyColor=#0047BB "
                               "--pix 444alpha --frames 2:8 --quiet -o ";
    std::string err;
    ASSERT_EQ(ophost(keying + "keyed.mov", &err), 0) << err;
    ASSERT_EQ(ophost(keying + "keyed.y4m", &err), 0) << err;
    EXPECT_NE(probe(path("keyed.mov"), "stream=codec_name,profile,pix_fmt").find("profile=4444"), std::string::npos);
    EXPECT_NE(probe(path("keyed.mov"), "stream=pix_fmt").find("pix_fmt=yuva444p"), std::string::npos);
    ASSERT_EQ(ffmpeg("-i keyed.mov -pix_fmt yuva444p -strict -1 -f yuv4mpegpipe back.y4m"), 0);
    std::string error;
    auto back = ophost::openClip(path("back.y4m"), error);
    auto want = ophost::openClip(path("keyed.y4m"), error);
    ASSERT_TRUE(back && want) << error;
    auto got = readAll(*back), expected = readAll(*want);
    ASSERT_EQ(got.size(), 6u);
    ASSERT_EQ(expected.size(), 6u);
    size_t keyed = 0, kept = 0;
    for (size_t i = 0; i < got.size(); ++i) {
        for (size_t p = 0; p < got[i].pixels.size(); ++p) {
            ASSERT_EQ(got[i].pixels[p].alpha, expected[i].pixels[p].alpha) << "frame " << i << " pixel " << p;
            keyed += expected[i].pixels[p].alpha == 0;
            kept += expected[i].pixels[p].alpha == 255;
        }
    }
    EXPECT_GT(keyed, 0u);
    EXPECT_GT(kept, 0u);
    // Six frames at 25 fps, and as much PCM audio.
    EXPECT_NE(probe(path("keyed.mov"), "stream=duration", "a:0").find("duration=0.240000"), std::string::npos)
        << probe(path("keyed.mov"), "stream=duration", "a:0");
    ASSERT_EQ(ophost(keying + "mute.mov --no-audio", &err), 0) << err;
    EXPECT_EQ(probe(path("mute.mov"), "stream=codec_type", "a"), "");
    ASSERT_EQ(ophost(keying + "keyed.mp4", &err), 1 - 1) << err;
    EXPECT_NE(err.find("the key is dropped"), std::string::npos) << err;
    EXPECT_NE(err.find("pcm_s16le"), std::string::npos) << err;   // audio the container cannot hold
    EXPECT_NE(probe(path("keyed.mp4"), "stream=pix_fmt").find("yuv420p"), std::string::npos);
}

// Interlaced clips stay interlaced, in their field order, through every
// container; --field-order replaces what the input says. The rate, pixel
// aspect, range and matrix of input 0 are carried too.
TEST_F(Av, FieldOrderSurvivesARoundTrip)
{
    ASSERT_EQ(ffmpeg("-f lavfi -i testsrc=size=64x32:rate=50 -frames:v 6 -vf interlace=scan=tff:lowpass=0,setsar=16/15 "
                     "-c:v ffv1 -pix_fmt yuv422p -field_order tt -color_range tv -colorspace bt709 "
                     "-color_primaries bt709 -color_trc bt709 tff.mkv"),
              0);
    struct Case {
        const char *extra, *out, *fieldOrder;
    } cases[] = {
        {"", "out.mov", "field_order=tt"},
        {"", "out.mkv", "field_order=tt"},
        {"", "out.mp4", "field_order=tt"},
        {"--field-order bff", "bff.mkv", "field_order=bb"},
        {"--field-order progressive", "prog.mov", "field_order=progressive"},
    };
    for (const Case &c : cases) {
        std::string err;
        ASSERT_EQ(ophost("render Tolmic --in0 tff.mkv --quiet " + std::string(c.extra) + " -o " + c.out, &err), 0)
            << c.out << err;
        EXPECT_NE(probe(path(c.out), "stream=field_order").find(c.fieldOrder), std::string::npos)
            << c.out << ": " << probe(path(c.out), "stream=field_order");
        EXPECT_EQ(probe(path(c.out), "stream=r_frame_rate,sample_aspect_ratio,color_range,color_space"),
                  "sample_aspect_ratio=16:15\ncolor_range=tv\ncolor_space=bt709\nr_frame_rate=25/1\n")
            << c.out;
        std::string error;
        auto clip = ophost::openClip(path(c.out), error);
        ASSERT_TRUE(clip) << error;
        EXPECT_EQ(clip->progressive(), std::string(c.fieldOrder) == "field_order=progressive") << c.out;
        EXPECT_EQ(clip->bottomFirst(), std::string(c.fieldOrder) == "field_order=bb") << c.out;
    }
}

// A section rendered in three chunks (--section beside --frames) and
// concatenated gives the same frames as one run, fades included; the
// chunks of ProRes files join with ffmpeg's concat demuxer.
TEST_F(Av, ChunksOfASectionConcatenateToTheWhole)
{
    ASSERT_EQ(ffmpeg("-f lavfi -i testsrc=size=32x16:rate=25 -frames:v 9 -pix_fmt yuv444p -f yuv4mpegpipe bg.y4m"), 0);
    ASSERT_EQ(ffmpeg("-f lavfi -i testsrc2=size=32x16:rate=25 -frames:v 9 -pix_fmt yuv444p -f yuv4mpegpipe fg.y4m"), 0);
    const std::string run = "render Zenvarth --in0 bg.y4m --in1 fg.y4m --set fadeInFrames=4 --set fadeOutFrames=3 "
                            "--set keyColor=#FFFFFF --quiet --pix 444alpha ";
    std::string err;
    ASSERT_EQ(ophost(run + "-o whole.y4m", &err), 0) << err;
    ASSERT_EQ(ophost(run + "-o whole.mov", &err), 0) << err;
    const char *chunks[] = {"0:3", "3:7", "7:9"};
    std::string list;
    std::vector<media::VideoFrame> joined;
    for (int i = 0; i < 3; ++i) {
        const std::string name = "part" + std::to_string(i);
        ASSERT_EQ(ophost(run + "--section 0:9 --frames " + chunks[i] + " -o " + name + ".y4m", &err), 0) << err;
        ASSERT_EQ(ophost(run + "--section 0:9 --frames " + chunks[i] + " -o " + name + ".mov", &err), 0) << err;
        std::string error;
        auto part = ophost::openClip(path(name + ".y4m"), error);
        ASSERT_TRUE(part) << error;
        for (auto &f : readAll(*part)) joined.push_back(f);
        list += "file '" + name + ".mov'\n";
    }
    std::string error;
    auto whole = ophost::openClip(path("whole.y4m"), error);
    ASSERT_TRUE(whole) << error;
    auto want = readAll(*whole);
    ASSERT_EQ(joined.size(), want.size());
    for (size_t i = 0; i < want.size(); ++i) EXPECT_EQ(differing(joined[i], want[i]), 0u) << "frame " << i;
    // Without --section each chunk is a section of its own: the fades differ.
    ASSERT_EQ(ophost(run + "--frames 3:7 -o alone.y4m", &err), 0) << err;
    auto alone = ophost::openClip(path("alone.y4m"), error);
    EXPECT_NE(differing(readAll(*alone)[0], want[3]), 0u);

    std::ofstream(path("list.txt")) << list;
    ASSERT_EQ(ffmpeg("-f concat -safe 0 -i list.txt -c copy joined.mov"), 0);
    shell("ffmpeg -nostdin -loglevel error -i whole.mov -f framemd5 - > whole.md5; "
          "ffmpeg -nostdin -loglevel error -i joined.mov -f framemd5 - > joined.md5");
    auto sums = [&](const std::string &file) {
        std::string all = slurp(path(file)), kept;
        std::istringstream lines(all);
        for (std::string line; std::getline(lines, line);)
            if (!line.empty() && line[0] != '#') kept += line.substr(line.rfind(',') + 1) + "\n";
        return kept;
    };
    const std::string whole9 = sums("whole.md5");
    EXPECT_EQ(std::count(whole9.begin(), whole9.end(), '\n'), 9);
    EXPECT_EQ(sums("joined.md5"), whole9);
}

// Broken and unsuitable files fail with status 1, a message naming the file
// and the fault, and leave no output (nor a temporary) behind.
TEST_F(Av, BrokenFilesFailCleanly)
{
    ASSERT_EQ(ffmpeg("-f lavfi -i testsrc=size=64x32:rate=25 -frames:v 10 -c:v libx264 -pix_fmt yuv420p good.mp4"), 0);
    ASSERT_EQ(ffmpeg("-f lavfi -i testsrc=size=64x32:rate=25 -frames:v 3 -c:v ffv1 good.mkv"), 0);
    ASSERT_EQ(ffmpeg("-f lavfi -i sine=sample_rate=8000 -t 0.2 sound.wav"), 0);
    std::string mp4 = slurp(path("good.mp4"));
    std::ofstream(path("truncated.mp4"), std::ios::binary) << mp4.substr(0, mp4.size() / 2);
    std::string damaged = mp4;
    for (size_t i = 0; i < damaged.size(); i += 7) damaged[i] = char(damaged[i] ^ 0x5A);
    std::ofstream(path("damaged.mp4"), std::ios::binary) << damaged;
    // A codec no decoder knows: the stream's four-character code changed.
    std::string mkv = slurp(path("good.mkv"));
    size_t at = mkv.find("FFV1");
    ASSERT_NE(at, std::string::npos);
    mkv.replace(at, 4, "QQQQ");
    std::ofstream(path("unknown.mkv"), std::ios::binary) << mkv;
    struct Case {
        std::string args;
        std::vector<const char *> says;
    } cases[] = {
        {"--in0 truncated.mp4 -o out.mov", {"truncated.mp4"}},
        {"--in0 damaged.mp4 -o out.mov", {"damaged.mp4"}},
        {"--in0 sound.wav -o out.mov", {"sound.wav", "no video stream"}},
        {"--in0 unknown.mkv -o out.mov", {"unknown.mkv", "unsupported video codec", "QQQQ"}},
        {"--in0 missing%03d.png -o out.mov", {"missing%03d.png", "cannot open"}},
        {"--in0 good.mp4 --frames 5:12 -o out.mov", {"good.mp4", "has 10 frames"}},
        {"--in0 good.mp4 -o out.mov --codec nosuchcodec", {"nosuchcodec"}},
        {"--in0 good.mp4 -o out.mkv --crf 20", {"out.mkv", "--crf"}},
    };
    for (const Case &c : cases) {
        auto before = listing();
        std::string err;
        EXPECT_EQ(ophost("render Tolmic " + c.args, &err), 1) << c.args << "\n" << err;
        for (const char *text : c.says) EXPECT_NE(err.find(text), std::string::npos) << c.args << "\n" << err;
        EXPECT_EQ(listing(), before) << c.args << ": a file was left behind";
    }
}

// Choosing the reader by content must not eat a pipe's first bytes: a
// named pipe (or a shell's <(...)) still reads as YUV4MPEG2.
TEST_F(Av, NamedPipeInputIsReadOnce)
{
    ASSERT_EQ(ffmpeg("-f lavfi -i testsrc=size=32x16:rate=25 -frames:v 3 -pix_fmt yuv444p -f yuv4mpegpipe in.y4m"), 0);
    std::string err;
    ASSERT_EQ(shell("mkfifo pipe && { cat in.y4m > pipe & } && " + q(OPHOST_PATH) +
                        " render Tolmic --in0 pipe --frames 0:3 --quiet -o piped.y4m && " + q(OPHOST_PATH) +
                        " render Tolmic --in0 in.y4m --quiet -o direct.y4m",
                    &err),
              0)
        << err;
    EXPECT_EQ(slurp(path("piped.y4m")), slurp(path("direct.y4m")));
    EXPECT_GT(slurp(path("direct.y4m")).size(), 3u * 32 * 16 * 3);
}

// Reads what a child writes on a pseudo-terminal until it ends.
std::string runOnTerminal(const std::string &line, int &status)
{
    int master = -1;
    pid_t child = forkpty(&master, nullptr, nullptr, nullptr);
    if (child == 0) {
        execl("/bin/sh", "sh", "-c", line.c_str(), static_cast<char *>(nullptr));
        _exit(127);
    }
    std::string seen;
    char buffer[4096];
    for (;;) {
        ssize_t n = read(master, buffer, sizeof buffer);
        if (n <= 0) break;   // EIO once the child has gone
        seen.append(buffer, size_t(n));
    }
    close(master);
    int raw = 0;
    waitpid(child, &raw, 0);
    status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
    return seen;
}

// On a terminal render shows its progress line; --quiet and a standard
// error that is not a terminal show none (the summary stays).
TEST_F(Av, ProgressLineOnlyOnATerminal)
{
    ASSERT_EQ(ffmpeg("-f lavfi -i testsrc=size=64x32:rate=25 -frames:v 6 -c:v ffv1 in.mkv"), 0);
    const std::string render = "cd " + q(dir_) + " && " + q(OPHOST_PATH) + " render Tolmic --in0 in.mkv -o out.mkv";
    int status = -1;
    std::string seen = runOnTerminal(render, status);
    EXPECT_EQ(status, 0) << seen;
    EXPECT_NE(seen.find("Tolmic: frame 6 of 6, "), std::string::npos) << seen;
    EXPECT_NE(seen.find("fields/s, 0:00 elapsed, 0:00 left"), std::string::npos) << seen;
    seen = runOnTerminal(render + " --quiet", status);
    EXPECT_EQ(status, 0) << seen;
    EXPECT_EQ(seen.find("frame 6 of 6"), std::string::npos) << seen;
    std::string err;
    ASSERT_EQ(shell(q(OPHOST_PATH) + " render Tolmic --in0 in.mkv -o out2.mkv", &err), 0) << err;
    EXPECT_EQ(err.find("frame 6 of 6"), std::string::npos) << err;
    EXPECT_NE(err.find("Tolmic: 12 fields in"), std::string::npos) << err;
}

} // namespace
