// Whole renders of the demo clip through the Zenvarth library, one checksum
// per field, compared with the checksums kept in golden/<run>.txt. With
// ZV_GOLDEN_WRITE=1 in the environment the files are written instead (only
// after the pass-level tests agree with the hand-worked values).
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "ZenvarthSettings.h"
#include "demo_clip.h"
#include "testsupport.h"

namespace fs = std::filesystem;
using hostrt::FieldImage;

namespace {

constexpr demo::ClipSize CLIP{320, 180, 24};

struct RenderRun {
    const char *name;
    uint8_t effect;
    uint16_t fadeIn, fadeOut;
    uint8_t edgeShrink = 0, keyOpacity = 100;
    int previewDen = 0;   // 0: full render; else fields scaled by 1/previewDen
};

const RenderRun RUNS[] = {
    {"plain", 0, 4, 4},
    {"glow", 1, 4, 4},
    {"shadow", 2, 4, 4},
    {"tint", 3, 4, 4},
    {"wipe", 4, 4, 4},
    {"edge", 0, 0, 0, 3, 90},
    {"demo", 2, 12, 0},
    {"glow_preview", 1, 4, 0, 0, 100, 2},
    {"shadow_preview", 2, 0, 4, 0, 100, 2},
};

FieldImage splitField(const media::VideoFrame &frame, int parity)
{
    FieldImage f = hostrt::makeField(frame.width, frame.height / 2);
    for (int y = 0; y < f.bufferHeight; ++y)
        for (int x = 0; x < f.bufferWidth; ++x) f.at(x, y) = frame.at(x, 2 * y + parity);
    return f;
}

// The host's preview scaling: (x, y) reads (x * den, y * den).
FieldImage shrink(const FieldImage &in, int den)
{
    FieldImage f = hostrt::makeField(in.bufferWidth / den, in.bufferHeight / den);
    for (int y = 0; y < f.bufferHeight; ++y)
        for (int x = 0; x < f.bufferWidth; ++x) f.at(x, y) = in.at(x * den, y * den);
    return f;
}

uint64_t checksum(const FieldImage &f)
{
    uint64_t h = 1469598103934665603ull;
    for (const Pixel &p : f.pixels)
        for (uint8_t b : {p.alpha, p.v, p.u, p.y}) {
            h ^= b;
            h *= 1099511628211ull;
        }
    return h;
}

std::string goldenPath(const char *name)
{
    return std::string(OPS_SOURCE_DIR) + "/tests/zenvarth_compositor/golden/" + name + ".txt";
}

class Golden : public ::testing::TestWithParam<RenderRun> {
protected:
    static std::vector<FieldImage> foreground, background;
    hostrt::LoadedOperator op;
    fs::path folder;

    static void SetUpTestSuite()
    {
        for (int k = 0; k < CLIP.frames; ++k) {
            media::VideoFrame fg = demo::foregroundFrame(CLIP, k), bg = demo::backgroundFrame(CLIP, k);
            for (int parity = 0; parity < 2; ++parity) {
                foreground.push_back(splitField(fg, parity));
                background.push_back(splitField(bg, parity));
            }
        }
    }

    void SetUp() override
    {
        hostrt::resetSession();
        testsupport::loadOperator("Zenvarth", op);
        folder = fs::temp_directory_path() / ("zv_golden_" + std::string(GetParam().name));
        fs::create_directories(folder);
    }
    void TearDown() override
    {
        hostrt::resetSession();
        fs::remove_all(folder);
    }

    ZenvarthSettings &settings() { return *static_cast<ZenvarthSettings *>(op.info().settings->block); }

    // A PGM of the clip's frame size; the operator scales it to the fields.
    std::string writePattern()
    {
        std::vector<uint8_t> grey = demo::wipePattern(CLIP.width, CLIP.height);
        fs::path p = folder / "pattern.pgm";
        std::ofstream out(p, std::ios::binary);
        out << "P5\n" << CLIP.width << " " << CLIP.height << "\n255\n";
        out.write(reinterpret_cast<const char *>(grey.data()), std::streamsize(grey.size()));
        return p.string();
    }
};

std::vector<FieldImage> Golden::foreground, Golden::background;

} // namespace

TEST_P(Golden, EveryFieldMatchesItsChecksum)
{
    const RenderRun &run = GetParam();
    ZenvarthSettings &s = settings();
    s.effectType = run.effect;
    s.fadeInFrames = run.fadeIn;
    s.fadeOutFrames = run.fadeOut;
    s.edgeShrink = run.edgeShrink;
    s.keyOpacity = run.keyOpacity;
    if (run.effect == 4) {
        std::string path = writePattern();
        ASSERT_LT(path.size(), sizeof s.patternName);
        std::snprintf(s.patternName, sizeof s.patternName, "%s", path.c_str());
    }
    std::vector<FieldImage> fg = foreground, bg = background;
    if (run.previewDen) {
        for (auto *fields : {&fg, &bg})
            for (FieldImage &f : *fields) f = shrink(f, run.previewDen);
    }
    hostrt::setInputFields(1, fg);
    hostrt::setInputFields(0, bg);
    const uint32_t count = uint32_t(fg.size());

    std::ostringstream sums;
    ASSERT_EQ(testsupport::callAction(op, OPACT_INIT, 0, count), 0);
    for (uint32_t k = 0; k < count; ++k) {
        OperatorContext ctx = hostrt::makeContext(OPACT_RENDER, int32_t(k), count);
        if (run.previewDen) {
            ctx.flags |= CTX_PREVIEW;
            ctx.previewScaleDen = int16_t(run.previewDen);
        }
        ASSERT_EQ(testsupport::call(op, ctx), 0) << "field " << k;
        ASSERT_EQ(hostrt::putFields().size(), size_t(k + 1));
        char line[40];
        std::snprintf(line, sizeof line, "%u %016llx\n", k,
                      static_cast<unsigned long long>(checksum(hostrt::putFields().back())));
        sums << line;
    }
    ASSERT_EQ(testsupport::callAction(op, OPACT_RELEASE, 0, count), 0);
    EXPECT_TRUE(hostrt::logLines().empty()) << "line " << hostrt::logLines().front().line;

    const std::string path = goldenPath(run.name);
    const char *write = std::getenv("ZV_GOLDEN_WRITE");
    if (write && std::string(write) == "1") {
        fs::create_directories(fs::path(path).parent_path());
        std::ofstream(path) << sums.str();
        GTEST_SKIP() << "wrote " << path;
    }
    std::ifstream in(path);
    ASSERT_TRUE(in) << "no golden file " << path;
    std::stringstream kept;
    kept << in.rdbuf();
    EXPECT_EQ(sums.str(), kept.str()) << run.name;
}

INSTANTIATE_TEST_SUITE_P(Demo, Golden, ::testing::ValuesIn(RUNS),
                         [](const ::testing::TestParamInfo<RenderRun> &info) { return std::string(info.param.name); });
