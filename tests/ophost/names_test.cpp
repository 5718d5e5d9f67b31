// --set by label and field name, colours written as RGB, and the key colour
// taken from a field.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <unistd.h>

#include "SettingsTable.h"
#include "media/color_text.h"
#include "media/yuv_rgb.h"
#include "ophost/operators.h"
#include "ophost/params.h"
#include "ophost/sample_key.h"
#include "testsupport.h"

namespace {

std::vector<uint8_t> paramBytes(const hostrt::LoadedOperator &op)
{
    std::vector<uint8_t> bytes;
    for (const auto &p : op.info().params) {
        std::string value = ophost::formatParamValue(p);
        bytes.insert(bytes.end(), value.begin(), value.end());
        bytes.push_back(';');
    }
    return bytes;
}

const ZenvarthSettings &zenvarthRecord(const hostrt::LoadedOperator &op)
{
    return *static_cast<const ZenvarthSettings *>(op.info().settings->block);
}

} // namespace

// Labels in any case, with or without spaces, or a unique start, reach the
// same parameter as its index; RGB colours land as the PNG rule gives them.
TEST(SetByName, LabelsAndRgbGiveTheSameRecordAsIndicesAndYuv)
{
    hostrt::resetSession();
    const Pixel teal = media::rgbToPixel(0x00, 0x80, 0x80, 255);
    const Pixel tealHalf = media::rgbToPixel(0x00, 0x80, 0x80, 0x40);
    char yuv[32], yuvHalf[32];
    std::snprintf(yuv, sizeof yuv, "%u,%u,%u,255", teal.y, teal.u, teal.v);
    std::snprintf(yuvHalf, sizeof yuvHalf, "%u,%u,%u,64", tealHalf.y, tealHalf.u, tealHalf.v);
    struct Case {
        const char *op;
        std::vector<std::string> byIndex, byName;
    };
    const Case cases[] = {
        {"Vashrel", {"0=10,20,30,40", "1=55", "2=" + std::string(yuv), "3=1"},
         {"Sample area=10,20,30,40", "TOLERANCE=55", "target-colour=#008080", "luma=1"}},
        {"Vashrel", {"2=" + std::string(yuv)}, {"targetcolour=rgb(0, 128,128)"}},
        {"Vashrel", {"2=" + std::string(yuvHalf)}, {"Target colour=#00808040"}},
        {"Tolmic", {"1=12", "2=150", "3=40"}, {"tol=12", "Near_Chroma=150", "far chroma=40"}},
        {"Dremwick", {"0=1", "2=" + std::string(yuv)}, {"mask side=1", "maskcol=#008080"}},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.op);
        hostrt::LoadedOperator a, b;
        testsupport::loadOperator(c.op, a);
        for (const std::string &s : c.byIndex) ASSERT_EQ(ophost::applySetting(a, s), "") << s;
        const auto want = paramBytes(a);
        testsupport::loadOperator(c.op, b);   // GetOperatorInfo again: the records start over
        for (const std::string &s : c.byName) ASSERT_EQ(ophost::applySetting(b, s), "") << s;
        EXPECT_EQ(paramBytes(b), want);
    }
}

TEST(SetByName, UnknownAndAmbiguousNamesAreRefusedWithTheCandidates)
{
    hostrt::resetSession();
    hostrt::LoadedOperator vashrel;
    testsupport::loadOperator("Vashrel", vashrel);
    const auto before = paramBytes(vashrel);
    std::string fault = ophost::applySetting(vashrel, "t=5");   // Tolerance or Target colour
    EXPECT_NE(fault.find("ambiguous"), std::string::npos) << fault;
    EXPECT_NE(fault.find("1 \"Tolerance\""), std::string::npos) << fault;
    EXPECT_NE(fault.find("2 \"Target colour\""), std::string::npos) << fault;
    fault = ophost::applySetting(vashrel, "hue=5");
    EXPECT_NE(fault.find("no parameter 'hue'"), std::string::npos) << fault;
    EXPECT_NE(fault.find("0 \"Sample area\""), std::string::npos) << fault;
    EXPECT_NE(fault.find("3 \"Luma\""), std::string::npos) << fault;
    for (const char *bad : {"=5", "4=1", "Tolerance=101", "target colour=#12345", "target colour=rgb(1,2,256)",
                            "target colour=#GG0000", "target colour=rgb(1,2,3)x", "keyColor=#000000"})
        EXPECT_NE(ophost::applySetting(vashrel, bad), "") << bad;
    EXPECT_EQ(paramBytes(vashrel), before) << "a refused --set changes nothing";
}

// Zenvarth's fields by their zvpreset names, after --settings, within the
// ranges zvpreset set keeps, and outside them only with force.
TEST(SetByName, ZenvarthFieldsOverrideTheSettingsFile)
{
    hostrt::resetSession();
    hostrt::LoadedOperator zen;
    testsupport::loadOperator("Zenvarth", zen);
    ZenvarthSettings file = {};
    zenvarth::applyDefaultSettings(file);
    file.keyerType = 5;
    file.hueTolerance = 40;
    file.effectType = 2;
    char path[] = "/tmp/setbynameXXXXXX";
    int fd = mkstemp(path);
    ASSERT_GE(fd, 0);
    ASSERT_EQ(write(fd, &file, sizeof file), ssize_t(sizeof file));
    close(fd);
    ASSERT_EQ(ophost::loadSettingsFile(zen, path), "");
    std::remove(path);
    for (const char *s : {"keyerType=4", "KEYCOLOR=#0047BB", "chroma tolerance=35", "sampleArea=1,2,3,4"})
        ASSERT_EQ(ophost::applySetting(zen, s), "") << s;
    ZenvarthSettings want = file;
    want.keyerType = 4;
    want.keyColor = media::rgbToPixel(0x00, 0x47, 0xBB, 255);
    want.chromaTolerance = 35;
    want.sampleArea = {1, 2, 3, 4};
    EXPECT_EQ(std::memcmp(&zenvarthRecord(zen), &want, sizeof want), 0);
    EXPECT_EQ(zenvarthRecord(zen).hueTolerance, 40) << "fields not named keep the file's values";

    // The same refusals as zvpreset set, and --force alike.
    for (const char *bad : {"keyerType=0", "keyerType=12", "blackLevel=51", "keyerType=256", "reserved=1",
                            "keyColor=blue", "key=1", "hue=1"})
        EXPECT_NE(ophost::applySetting(zen, bad), "") << bad;
    std::string fault = ophost::applySetting(zen, "hue=1");
    EXPECT_NE(fault.find("hueTolerance"), std::string::npos) << fault;
    EXPECT_NE(fault.find("hueLumaHueTolerance"), std::string::npos) << fault;
    EXPECT_EQ(std::memcmp(&zenvarthRecord(zen), &want, sizeof want), 0);
    EXPECT_EQ(ophost::applySetting(zen, "keyerType=0", true), "");
    EXPECT_EQ(zenvarthRecord(zen).keyerType, 0);
    EXPECT_NE(ophost::applySetting(zen, "keyerType=256", true), "") << "never wider than the field";
    EXPECT_NE(ophost::applySetting(zen, "edit keyer=1").find("button cannot be set"), std::string::npos);
}

TEST(SetByName, OperatorNamesIgnoreCaseAndSuggestTheNearest)
{
    EXPECT_EQ(ophost::operatorLibraryPath("tolmic"), testsupport::operatorPath("Tolmic"));
    EXPECT_EQ(ophost::operatorLibraryPath("TOLMIC"), testsupport::operatorPath("Tolmic"));
    EXPECT_EQ(ophost::nearestOperatorName("Tolmik"), "Tolmic");
    EXPECT_EQ(ophost::nearestOperatorName("plindr"), "Plindor");
    EXPECT_EQ(ophost::nearestOperatorName("frobnicate"), "");
    EXPECT_NE(ophost::unknownOperatorMessage("Tolmik").find("did you mean Tolmic?"), std::string::npos);
}

TEST(ColorText, RgbFormsAndRefusals)
{
    Pixel p{};
    EXPECT_EQ(media::parseRgbColor("#0047BB", p), "");
    EXPECT_EQ(pixelWord(p), pixelWord(media::rgbToPixel(0, 0x47, 0xBB, 255)));
    EXPECT_EQ(p.y, 70);
    EXPECT_EQ(p.u, 189);
    EXPECT_EQ(p.v, 89);
    EXPECT_EQ(media::parseRgbColor("#0047bb80", p), "");
    EXPECT_EQ(p.alpha, 0x80);
    EXPECT_EQ(media::parseRgbColor("RGB(0,71,187)", p), "");
    EXPECT_EQ(pixelWord(p), pixelWord(media::rgbToPixel(0, 71, 187, 255)));
    for (const char *bad : {"#", "#0047B", "#0047BB8", "#0047BB800", "#00x7BB", "rgb(0,71)", "rgb(0,71,187",
                            "rgb(0,71,256)", "rgb(-1,0,0)", "rgb(,1,2)", "rgb(1,2,3) ", "0x39F06EFF"})
        EXPECT_NE(media::parseRgbColor(bad, p), "") << bad;
    EXPECT_EQ(media::formatRgbColor(pixelFromWord(BLUE_DEFAULT)), "#1313FF");
    EXPECT_EQ(media::formatRgbColor(Pixel{0x80, 128, 128, 16}), "#00000080");
}

// The clipped mean of a rectangle: truncated per component, over the pixels
// inside only, and the colour kept when none is inside.
TEST(SampleKey, MeanOfTheClippedRectangle)
{
    hostrt::FieldImage f;
    f.bufferWidth = f.width = 4;
    f.bufferHeight = f.height = 2;
    f.pixels = {testsupport::px(10, 100, 200), testsupport::px(11, 101, 201), testsupport::px(50, 50, 50),
                testsupport::px(50, 50, 50),   testsupport::px(20, 110, 210), testsupport::px(20, 110, 211),
                testsupport::px(50, 50, 50),   testsupport::px(50, 50, 50)};
    const Pixel keep = testsupport::px(1, 2, 3, 77);
    // -3,-5 .. 2,2 clips to columns 0-1, rows 0-1: Y (10+11+20+20)/4 = 15.
    Pixel m = ophost::meanAreaColor(f, -3, -5, 5, 7, keep);
    EXPECT_TRUE(testsupport::samePixel(m, testsupport::px(15, 105, 205, 77))) << std::hex << pixelWord(m);
    EXPECT_TRUE(testsupport::samePixel(ophost::meanAreaColor(f, 4, 0, 5, 5, keep), keep));
    EXPECT_TRUE(testsupport::samePixel(ophost::meanAreaColor(f, -10, 0, 10, 5, keep), keep));
    EXPECT_TRUE(testsupport::samePixel(ophost::meanAreaColor(f, 3, 1, 100, 100, keep), testsupport::px(50, 50, 50, 77)));

    ophost::KeySampleArea area;
    EXPECT_TRUE(ophost::parseKeySampleArea("auto", area));
    EXPECT_TRUE(area.automatic);
    EXPECT_TRUE(ophost::parseKeySampleArea("-4,5,6,7", area));
    EXPECT_FALSE(area.automatic);
    EXPECT_EQ(area.x, -4);
    EXPECT_EQ(area.height, 7);
    for (const char *bad : {"", "Auto", "1,2,3", "1,2,3,0", "1,2,-3,4", "1,2,3,4,5", "1,2,3,40000"})
        EXPECT_FALSE(ophost::parseKeySampleArea(bad, area)) << bad;
}

// The backing is the commonest chroma of the border band, refined by the
// mean of the band's pixels near it; the middle of the picture has no say.
TEST(SampleKey, BackingFoundInTheBorderBand)
{
    hostrt::FieldImage f;
    f.bufferWidth = f.width = 100;
    f.bufferHeight = f.height = 60;
    f.pixels.assign(100 * 60, testsupport::px(200, 128, 128));   // a grey subject filling the middle
    uint64_t sumY = 0, sumU = 0, sumV = 0, n = 0;
    for (int y = 0; y < 60; ++y)
        for (int x = 0; x < 100; ++x) {
            const bool band = x < 5 || x >= 95 || y < 3 || y >= 57;
            if (!band) continue;
            Pixel p = testsupport::px(uint8_t(60 + (x + y) % 7), uint8_t(185 + x % 5), uint8_t(88 + y % 4));
            if (x == 97 && y > 10) p = testsupport::px(16, 40, 230);   // a strip of another colour
            f.at(x, y) = p;
            if (p.u > 100) {
                sumY += p.y;
                sumU += p.u;
                sumV += p.v;
                ++n;
            }
        }
    Pixel found{};
    ASSERT_TRUE(ophost::findBackingColor(f, found));
    const Pixel want{255, uint8_t((sumV + n / 2) / n), uint8_t((sumU + n / 2) / n), uint8_t((sumY + n / 2) / n)};
    EXPECT_TRUE(testsupport::samePixel(found, want)) << std::hex << pixelWord(found) << " " << pixelWord(want);
    hostrt::FieldImage empty;
    EXPECT_FALSE(ophost::findBackingColor(empty, found));
}
