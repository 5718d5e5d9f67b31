// The settings record's layout and defaults, the tag list and the actions
// that do not render.
#include <cstdlib>
#include <cstring>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

#include "SettingsTable.h"
#include "ZenvarthRender.h"
#include "testsupport.h"

using namespace hostrt;

namespace {

struct MemberLayout {
    const char *name;
    size_t offset;
    size_t size;
};

#define MEMBER(m) MemberLayout{#m, offsetof(ZenvarthSettings, m), sizeof(ZenvarthSettings::m)}

const MemberLayout MEMBERS[] = {
    MEMBER(patternName), MEMBER(keyColor), MEMBER(wipeEdgeColor), MEMBER(glowColor),
    MEMBER(shadowColor), MEMBER(editorFrame), MEMBER(fadeInFrames), MEMBER(fadeOutFrames),
    MEMBER(sampleArea), MEMBER(keyArea), MEMBER(matteArea), MEMBER(holeArea), MEMBER(moveArea),
    MEMBER(moveTarget), MEMBER(maskArea), MEMBER(settingsPage), MEMBER(keyerType),
    MEMBER(effectType), MEMBER(rectTool), MEMBER(dominantChannel), MEMBER(dominanceLevel),
    MEMBER(dominanceThreshold), MEMBER(hueTolerance), MEMBER(chromaTolerance),
    MEMBER(lumaCenter), MEMBER(lumaWidth), MEMBER(lumaLevel), MEMBER(lumaKeyAbove),
    MEMBER(hueLumaHueTolerance), MEMBER(hueLumaLumaTolerance), MEMBER(saturationCenter),
    MEMBER(saturationWidth), MEMBER(saturationLevel), MEMBER(saturationKeyAbove),
    MEMBER(blackLevel), MEMBER(edgeShrink), MEMBER(keyOpacity), MEMBER(glowSize),
    MEMBER(colorTolerance), MEMBER(shadowDirection), MEMBER(shadowDistance),
    MEMBER(shadowSoftness), MEMBER(tintBrightness), MEMBER(wipeEdgeWidth), MEMBER(maskOutside),
    MEMBER(keyAreaInvert), MEMBER(moveEnabled), MEMBER(maskEnabled), MEMBER(panelAtTop),
    MEMBER(wholePicture), MEMBER(reserved),
};

TEST(ZenvarthSettingsLayout, EveryTableFieldMatchesTheRecord)
{
    auto fields = zenvarth::settingsFields();
    ASSERT_EQ(fields.size(), std::size(MEMBERS));
    for (size_t i = 0; i < fields.size(); ++i) {
        SCOPED_TRACE(fields[i].name);
        EXPECT_STREQ(fields[i].name, MEMBERS[i].name);
        EXPECT_EQ(fields[i].offset, MEMBERS[i].offset);
        EXPECT_EQ(fields[i].size, MEMBERS[i].size);
        EXPECT_EQ(zenvarth::findSettingsField(MEMBERS[i].name), &fields[i]);
    }
    EXPECT_EQ(sizeof(ZenvarthSettings), 224u);
    EXPECT_EQ(zenvarth::findSettingsField("nonsense"), nullptr);
}

TEST(ZenvarthSettingsLayout, DefaultsWriteTheListedBytesAndKeepTheOthers)
{
    ZenvarthSettings record;
    std::memset(&record, 0xA5, sizeof record);
    zenvarth::applyDefaultSettings(record);
    const auto *bytes = reinterpret_cast<const uint8_t *>(&record);

    const uint8_t keyColor[] = {0xFF, 0x6E, 0xF0, 0x39};
    EXPECT_EQ(std::memcmp(bytes + 112, keyColor, 4), 0);
    const uint8_t page[] = {0x00, 0x01, 0x00, 0x00};
    EXPECT_EQ(std::memcmp(bytes + 188, page, 4), 0);

    // Untouched by the defaults.
    for (int i = 0; i < 112; ++i) EXPECT_EQ(bytes[i], 0xA5) << "patternName byte " << i;
    EXPECT_EQ(record.dominanceThreshold, 0xA5);
    EXPECT_EQ(record.panelAtTop, 0xA5);
    EXPECT_EQ(record.reserved, 0xA5);

    EXPECT_EQ(pixelWord(record.wipeEdgeColor), pixelWord(Pixel{255, 240, 90, 81}));
    EXPECT_EQ(pixelWord(record.glowColor), pixelWord(Pixel{255, 146, 16, 210}));
    EXPECT_EQ(pixelWord(record.shadowColor), pixelWord(Pixel{128, 128, 128, 16}));
    EXPECT_EQ(record.editorFrame, 0u);
    EXPECT_EQ(record.fadeInFrames, 0);
    EXPECT_EQ(record.moveTarget.x, 200);
    EXPECT_EQ(record.moveTarget.y, 100);
    EXPECT_EQ(record.maskArea.width, 500);
    EXPECT_EQ(record.maskArea.height, 400);
    EXPECT_EQ(record.matteArea.width, 999);
    EXPECT_EQ(record.tintBrightness, 50);
    EXPECT_EQ(record.maskOutside, 1);
    EXPECT_EQ(record.wholePicture, 1);
    // No default holds the fill byte, so every field with a default must
    // have lost it.
    for (const auto &f : zenvarth::settingsFields()) {
        if (!f.hasDefault) continue;
        bool allFill = true;
        for (unsigned i = 0; i < f.size; ++i) allFill = allFill && bytes[f.offset + i] == 0xA5;
        EXPECT_FALSE(allFill) << f.name << " was not written";
    }
}

// ---------------------------------------------------------------- entry points

class ZenvarthEntry : public ::testing::Test {
protected:
    LoadedOperator op;
    void SetUp() override
    {
        resetSession();
        testsupport::loadOperator("Zenvarth", op);
    }
    void TearDown() override { resetSession(); }
    ZenvarthSettings &settings() { return *static_cast<ZenvarthSettings *>(op.info().settings->block); }
};

TEST_F(ZenvarthEntry, TagListInOrderWithDescriptorAndButton)
{
    const OperatorInfo &info = op.info();
    const std::vector<TagWord> order = {OPE_ATTRIBUTES, OPE_ONEINPUT, OPE_ACTION, OPE_INTERFACE,
                                        OPE_REVISION,   OPE_SETTINGS, OPE_PARAM0};
    EXPECT_EQ(info.tagOrder, order);
    EXPECT_EQ(info.attributes, 0x20u);
    EXPECT_FALSE(info.oneInput);
    EXPECT_EQ(info.interface, 2u);
    EXPECT_NE(info.revision.find("Zenvarth"), std::string::npos);
    EXPECT_NE(info.revision.find("1.0 2014/03/27"), std::string::npos);
    ASSERT_NE(info.settings, nullptr);
    EXPECT_NE(info.settings->block, nullptr);
    EXPECT_EQ(info.settings->size, 224u);
    EXPECT_EQ(info.settings->zero, 0u);
    ASSERT_EQ(info.params.size(), 1u);
    EXPECT_EQ(info.params[0].kind, PARAM_BUTTON);
    EXPECT_EQ(info.params[0].labelId, 2101);
    EXPECT_EQ(info.params[0].flags, 2u);

    // Seven pairs, then the single end word.
    const TagWord *list = info.getInfo();
    EXPECT_EQ(list[14], OPE_END);
}

TEST_F(ZenvarthEntry, GetOperatorInfoResetsSettingsButKeepsThresholdAndPattern)
{
    ZenvarthSettings &s = settings();
    s.dominanceThreshold = 77;
    std::strcpy(s.patternName, "stripes");
    s.keyerType = 9;
    s.panelAtTop = 1;
    s.reserved = 3;
    s.sampleArea.x = -4;
    const TagWord *first = op.info().getInfo();
    const TagWord *second = op.info().getInfo();
    EXPECT_EQ(first, second);
    EXPECT_EQ(s.dominanceThreshold, 77);
    EXPECT_STREQ(s.patternName, "stripes");
    EXPECT_EQ(s.keyerType, 1);
    EXPECT_EQ(s.panelAtTop, 0);
    EXPECT_EQ(s.reserved, 3);
    EXPECT_EQ(s.sampleArea.x, 100);
}

TEST_F(ZenvarthEntry, UnusedActionsAndEditorIndexReturnZero)
{
    for (uint16_t action : {0, 5, 6, 8, 99}) EXPECT_EQ(testsupport::callAction(op, action), 0);
    OperatorContext ctx = makeContext(OPACT_PARAMETER);
    ctx.paramIndex = 1;
    EXPECT_EQ(testsupport::call(op, ctx), 0);
}

TEST_F(ZenvarthEntry, RendersThroughTheLoadedLibraryWithItsPasses)
{
    op.info().getInfo();
    settings().keyerType = 0;     // pass-through: the key is the starting matte
    settings().wholePicture = 0;
    settings().matteArea = {0, 0, 3, 4};
    setInputFields(1, {makeField(8, 4, Pixel{0, 128, 128, 200})});
    setInputFields(0, {makeField(8, 4, Pixel{255, 128, 128, 16})});
    EXPECT_EQ(testsupport::callAction(op, OPACT_INIT), 0);
    EXPECT_EQ(testsupport::callAction(op, OPACT_RENDER, 0, 2), 0);
    EXPECT_EQ(testsupport::callAction(op, OPACT_RELEASE), 0);
    ASSERT_EQ(putFields().size(), 1u);
    EXPECT_EQ(putFields()[0].at(0, 0).alpha, 255);
    EXPECT_EQ(putFields()[0].at(3, 0).alpha, 0);
    EXPECT_EQ(putFields()[0].at(0, 0).y, 200);    // the keyed foreground
    EXPECT_EQ(putFields()[0].at(7, 3).y, 200);    // outside the matte: the foreground too
    EXPECT_TRUE(logLines().empty());
}

std::string freshFolder()
{
    char pattern[] = "/tmp/zvinstallXXXXXX";
    const char *made = mkdtemp(pattern);
    return made ? made : "";
}

bool isFolder(const std::string &path)
{
    struct stat st;
    return stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

TEST_F(ZenvarthEntry, InstallCreatesTheDataFolderWithItsParents)
{
    std::string base = freshFolder();
    ASSERT_FALSE(base.empty());
    std::string home = base + "/fresh/home";
    setenv("QVHOME", home.c_str(), 1);
    EXPECT_EQ(testsupport::callAction(op, OPACT_INSTALL), 0);
    EXPECT_TRUE(isFolder(home + "/programs/zenvarth"));
    // A second install finds it there and is just as quiet.
    EXPECT_EQ(testsupport::callAction(op, OPACT_INSTALL), 0);
    EXPECT_TRUE(isFolder(home + "/programs/zenvarth"));
    unsetenv("QVHOME");
    std::system(("rm -rf " + base).c_str());
}

TEST_F(ZenvarthEntry, InstallCreatesNothingWithoutHomeOrWithATooLongPath)
{
    std::string base = freshFolder();
    ASSERT_FALSE(base.empty());
    unsetenv("QVHOME");
    EXPECT_EQ(testsupport::callAction(op, OPACT_INSTALL), 0);

    // The path with "/programs/zenvarth" must fit 259 bytes.
    std::string fits = base + "/" + std::string(259 - 18 - base.size() - 1, 'a');
    std::string tooLong = base + "/" + std::string(259 - 18 - base.size(), 'b');
    ASSERT_EQ(fits.size() + 18, 259u);
    setenv("QVHOME", tooLong.c_str(), 1);
    EXPECT_EQ(testsupport::callAction(op, OPACT_INSTALL), 0);
    EXPECT_FALSE(isFolder(tooLong));
    setenv("QVHOME", fits.c_str(), 1);
    EXPECT_EQ(testsupport::callAction(op, OPACT_INSTALL), 0);
    EXPECT_TRUE(isFolder(fits + "/programs/zenvarth"));
    unsetenv("QVHOME");
    std::system(("rm -rf " + base).c_str());
}

// The pattern buffer through the engine's own actions.
TEST(ZenvarthActions, ReleaseTwiceFreesThePatternOnceAndInitFreesItToo)
{
    zenvarth::patternBuffer = static_cast<uint8_t *>(std::malloc(64));
    OperatorContext ctx = makeContext(OPACT_RELEASE);
    EXPECT_EQ(zenvarth::runAction(&ctx), 0);
    EXPECT_EQ(zenvarth::patternBuffer, nullptr);
    EXPECT_EQ(zenvarth::runAction(&ctx), 0);   // a second free would abort here
    EXPECT_EQ(zenvarth::patternBuffer, nullptr);
    EXPECT_EQ(zenvarth::renderContext, &ctx);

    // A new run starts without the old pattern and does not leak it.
    zenvarth::patternBuffer = static_cast<uint8_t *>(std::malloc(64));
    OperatorContext init = makeContext(OPACT_INIT);
    EXPECT_EQ(zenvarth::runAction(&init), 0);
    EXPECT_EQ(zenvarth::patternBuffer, nullptr);
}

} // namespace
