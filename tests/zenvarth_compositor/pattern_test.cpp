// The wipe pattern: scaling, loading through the host's transfer library,
// the log lines of its failures and reloading for pictures of another size.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <numeric>

#include "Pattern.h"
#include "contract/host_calls.h"
#include "hostrt/session.h"
#include "media/png_io.h"
#include "passes.h"

namespace fs = std::filesystem;

namespace {

class Pattern : public ::testing::Test {
protected:
    fs::path folder;

    void SetUp() override
    {
        passes::resetEngine();
        hostrt::resetSession();
        folder = fs::temp_directory_path() /
                 ("zv_pattern_" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()) + "_" +
                  ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::create_directories(folder);
    }
    void TearDown() override
    {
        passes::resetEngine();
        EXPECT_EQ(hostrt::heldPictureCount(), 0u) << "pattern picture not released";
        hostrt::resetSession();
        fs::remove_all(folder);
    }

    std::string writeFile(const std::string &name, const std::string &bytes)
    {
        fs::path p = folder / name;
        std::ofstream(p, std::ios::binary) << bytes;
        return p.string();
    }

    std::string writePgm(const std::string &name, int w, int h, const std::vector<uint8_t> &samples,
                         int maximum = 255)
    {
        std::string header = "P5\n# pattern\n" + std::to_string(w) + " " + std::to_string(h) + "\n" +
                             std::to_string(maximum) + "\n";
        return writeFile(name, header + std::string(samples.begin(), samples.end()));
    }

    void usePattern(const std::string &path)
    {
        zenvarth::settings.effectType = 4;
        std::memset(zenvarth::settings.patternName, 0, sizeof zenvarth::settings.patternName);
        std::strncpy(zenvarth::settings.patternName, path.c_str(), sizeof zenvarth::settings.patternName - 1);
    }

    static std::vector<uint8_t> buffer()
    {
        size_t n = size_t(zenvarth::patternWidth) * size_t(zenvarth::patternHeight);
        return std::vector<uint8_t>(zenvarth::patternBuffer, zenvarth::patternBuffer + n);
    }

    static int loggedLine()
    {
        const auto &log = hostrt::logLines();
        if (log.empty()) return 0;
        EXPECT_EQ(log.back().severity, 4);
        EXPECT_EQ(log.back().source, "src\\Zenvarth");
        EXPECT_EQ(log.back().moduleCode, 0x0BBD0000u);
        EXPECT_EQ(log.back().text, " ");
        return log.back().line;
    }
};

std::vector<uint8_t> ramp(size_t n)
{
    std::vector<uint8_t> v(n);
    for (size_t i = 0; i < n; ++i) v[i] = uint8_t(i * 7 + i / 13);
    return v;
}

void scaleTo(const std::vector<uint8_t> &source, uint32_t sw, uint32_t sh, int32_t dw, int32_t dh)
{
    zenvarth::freePattern();
    zenvarth::pictureWidth = dw;
    zenvarth::pictureHeight = dh;
    zenvarth::patternBuffer = static_cast<uint8_t *>(std::malloc(size_t(dw) * size_t(dh)));
    zenvarth::scalePattern(source.data(), sw, sh);
}

} // namespace

TEST_F(Pattern, HalvingTheHeightTakesEverySecondRow)
{
    std::vector<uint8_t> source = ramp(720 * 576);
    scaleTo(source, 720, 576, 720, 288);
    ASSERT_EQ(zenvarth::patternWidth, 720);
    ASSERT_EQ(zenvarth::patternHeight, 288);
    for (int y = 0; y < 288; ++y)
        ASSERT_EQ(0, std::memcmp(zenvarth::patternBuffer + y * 720, &source[size_t(2 * y) * 720], 720)) << y;
}

TEST_F(Pattern, SameSizeCopiesAndUpscalingRepeats)
{
    std::vector<uint8_t> source = ramp(5 * 3);
    scaleTo(source, 5, 3, 5, 3);
    EXPECT_EQ(buffer(), source);

    scaleTo(source, 5, 3, 10, 6);
    std::vector<uint8_t> got = buffer();
    for (int y = 0; y < 6; ++y)
        for (int x = 0; x < 10; ++x) ASSERT_EQ(got[size_t(y) * 10 + x], source[size_t(y / 2) * 5 + x / 2]);

    // 3 rows onto 9: the step 21845 is truncated, so row 3 still reads row 0.
    scaleTo({1, 2, 3}, 1, 3, 1, 9);
    EXPECT_EQ(buffer(), (std::vector<uint8_t>{1, 1, 1, 1, 2, 2, 2, 3, 3}));

    // 3 columns onto 7: step 3 * 65536 / 7 = 28086, column i reads i * 28086 >> 16.
    scaleTo({10, 20, 30}, 3, 1, 7, 1);
    EXPECT_EQ(buffer(), (std::vector<uint8_t>{10, 10, 10, 20, 20, 30, 30}));
}

TEST_F(Pattern, LoadsBinaryPgmAtThePictureSize)
{
    usePattern(writePgm("p.pgm", 4, 2, {0, 10, 20, 30, 40, 50, 60, 70}));
    zenvarth::pictureWidth = 8;
    zenvarth::pictureHeight = 2;
    zenvarth::loadPattern();
    ASSERT_NE(zenvarth::patternBuffer, nullptr);
    EXPECT_TRUE(zenvarth::patternFitsPictures());
    EXPECT_EQ(buffer(), (std::vector<uint8_t>{0, 0, 10, 10, 20, 20, 30, 30, 40, 40, 50, 50, 60, 60, 70, 70}));
    EXPECT_TRUE(hostrt::logLines().empty());
}

TEST_F(Pattern, WideSamplesAndSmallMaximumAreScaledToBytes)
{
    usePattern(writePgm("wide.pgm", 3, 1, {0x00, 0x00, 0x80, 0x00, 0xFF, 0xFF}, 65535));
    zenvarth::pictureWidth = 3;
    zenvarth::pictureHeight = 1;
    zenvarth::loadPattern();
    EXPECT_EQ(buffer(), (std::vector<uint8_t>{0, 128, 255}));

    usePattern(writePgm("small.pgm", 3, 1, {0, 1, 3}, 3));
    zenvarth::loadPattern();
    EXPECT_EQ(buffer(), (std::vector<uint8_t>{0, 85, 255}));
}

TEST_F(Pattern, PngGreyKeepsItsValuesAndColourGivesLuma)
{
    media::RgbaImage image;
    image.width = 3;
    image.height = 1;
    image.rgba = {7, 7, 7, 255, 200, 200, 200, 255, 255, 0, 0, 255};
    std::string error;
    std::string path = (folder / "p.png").string();
    ASSERT_TRUE(media::writePng(path, image, true, error)) << error;
    usePattern(path);
    zenvarth::pictureWidth = 3;
    zenvarth::pictureHeight = 1;
    zenvarth::loadPattern();
    EXPECT_EQ(buffer(), (std::vector<uint8_t>{7, 200, 76}));
}

TEST_F(Pattern, MissingOrBadPictureKeepsTheOldPatternAndLogs4291)
{
    usePattern(writePgm("p.pgm", 2, 1, {9, 99}));
    zenvarth::pictureWidth = 2;
    zenvarth::pictureHeight = 1;
    zenvarth::loadPattern();
    ASSERT_EQ(buffer(), (std::vector<uint8_t>{9, 99}));

    const std::string bad[] = {
        (folder / "none.pgm").string(),
        writeFile("text.pgm", "hello"),
        writeFile("short.pgm", "P5 4 4 255\n\x01\x02"),
        writeFile("zero.pgm", "P5 0 4 255\n"),
        writeFile("huge.pgm", "P5 40000 1 255\n"),
        writeFile("max.pgm", "P5 1 1 0\n\x01"),
        writeFile("cut.png", std::string("\x89PNG\r\n\x1a\n\0\0\0\rIHDR", 16)),
        "",
    };
    for (const std::string &path : bad) {
        hostrt::clearLog();
        usePattern(path);
        zenvarth::loadPattern();
        EXPECT_EQ(loggedLine(), 4291) << path;
        EXPECT_EQ(buffer(), (std::vector<uint8_t>{9, 99})) << path;
    }
}

TEST_F(Pattern, NameFillingTheWholeFieldIsNotReadPastItsEnd)
{
    zenvarth::settings.effectType = 4;
    std::memset(zenvarth::settings.patternName, 'a', sizeof zenvarth::settings.patternName);
    zenvarth::settings.keyColor = Pixel{0, 0, 0, 0};   // the bytes after the name: no NUL either
    zenvarth::pictureWidth = 2;
    zenvarth::pictureHeight = 1;
    zenvarth::loadPattern();
    EXPECT_EQ(loggedLine(), 4291);
    EXPECT_EQ(zenvarth::patternBuffer, nullptr);
}

TEST_F(Pattern, NoMemoryForTheBufferLogs4284AndLeavesNone)
{
    usePattern(writePgm("p.pgm", 2, 1, {9, 99}));
    zenvarth::pictureWidth = 2;
    zenvarth::pictureHeight = 1;
    zenvarth::loadPattern();
    ASSERT_NE(zenvarth::patternBuffer, nullptr);
    zenvarth::patternBufferAllocator = [](size_t) -> void * { return nullptr; };
    zenvarth::loadPattern();
    zenvarth::patternBufferAllocator = std::malloc;
    EXPECT_EQ(loggedLine(), 4284);
    EXPECT_EQ(zenvarth::patternBuffer, nullptr);
    EXPECT_FALSE(zenvarth::patternFitsPictures());
}

TEST_F(Pattern, OnlyTheWipeLoadsAPattern)
{
    usePattern(writePgm("p.pgm", 2, 1, {9, 99}));
    zenvarth::pictureWidth = 2;
    zenvarth::pictureHeight = 1;
    zenvarth::loadPattern();
    uint8_t *kept = zenvarth::patternBuffer;
    ASSERT_NE(kept, nullptr);
    zenvarth::settings.effectType = 1;
    zenvarth::loadPattern();
    EXPECT_EQ(zenvarth::patternBuffer, kept);
    EXPECT_TRUE(hostrt::logLines().empty());
}

TEST_F(Pattern, NoPicturesNoPattern)
{
    usePattern(writePgm("p.pgm", 2, 1, {9, 99}));
    zenvarth::pictureWidth = 2;
    zenvarth::pictureHeight = 1;
    zenvarth::loadPattern();
    ASSERT_NE(zenvarth::patternBuffer, nullptr);
    zenvarth::pictureWidth = 0;
    zenvarth::pictureHeight = 0;
    zenvarth::loadPattern();
    EXPECT_EQ(zenvarth::patternBuffer, nullptr);
    EXPECT_EQ(zenvarth::patternWidth, 0);
}

TEST_F(Pattern, CompositorReloadsForPicturesOfAnotherSize)
{
    // A 2 x 1 pattern: 0 left, 250 right.
    usePattern(writePgm("p.pgm", 2, 1, {0, 250}));
    zenvarth::settings.fadeInFrames = 10;
    zenvarth::settings.wipeEdgeWidth = 0;
    {
        passes::Scene full(8, 4, Pixel{255, 128, 128, 90}, Pixel{255, 128, 128, 20}, Pixel{255, 128, 128, 200});
        full.bind(10, 100);
        zenvarth::loadPattern();
        ASSERT_EQ(zenvarth::patternWidth, 8);
    }
    // A preview of a quarter of the size: the pattern follows it.
    passes::Scene preview(2, 1, Pixel{255, 128, 128, 90}, Pixel{255, 128, 128, 20}, Pixel{255, 128, 128, 200});
    preview.bind(10, 100, true);
    zenvarth::runCompositor();
    EXPECT_EQ(zenvarth::patternWidth, 2);
    EXPECT_EQ(zenvarth::patternHeight, 1);
    // Q = 127: the left half shows the foreground, the right the background.
    EXPECT_EQ(preview.out[0].y, 200);
    EXPECT_EQ(preview.out[1].y, 20);
    EXPECT_EQ(hostrt::heldPictureCount(), 0u);
}

TEST_F(Pattern, SizeMismatchWithoutPictureFallsBackToPlain)
{
    usePattern(writePgm("p.pgm", 2, 1, {0, 250}));
    zenvarth::settings.fadeInFrames = 10;
    zenvarth::pictureWidth = 8;
    zenvarth::pictureHeight = 4;
    zenvarth::loadPattern();
    ASSERT_EQ(zenvarth::patternWidth, 8);
    usePattern((folder / "gone.pgm").string());
    passes::Scene preview(2, 1, Pixel{255, 128, 128, 90}, Pixel{255, 128, 128, 20}, Pixel{255, 128, 128, 200});
    preview.bind(10, 100, true);
    zenvarth::runCompositor();
    EXPECT_EQ(loggedLine(), 4291);
    // The dissolve: K = 10 * 255 / 20 = 127 on both pixels.
    const uint8_t expected = uint8_t((200 * 127 + 20 * 128) / 255);
    EXPECT_EQ(preview.out[0].y, expected);
    EXPECT_EQ(preview.out[1].y, expected);
}
