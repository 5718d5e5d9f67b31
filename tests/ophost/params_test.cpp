// Parameter values from text, and --set through a real operator.
#include <gtest/gtest.h>

#include "ophost/params.h"
#include "testsupport.h"

namespace {

hostrt::ParamInfo infoFor(void *record, uint16_t kind, unsigned index = 0)
{
    hostrt::ParamInfo p;
    p.index = index;
    p.kind = kind;
    p.record = record;
    return p;
}

} // namespace

TEST(ParamText, SliderTakesAnIntegerInItsRange)
{
    SliderParam s{{PARAM_SLIDER, 1, 0}, 750, 0, 0, 100, 5};
    auto p = infoFor(&s, PARAM_SLIDER);
    EXPECT_EQ(ophost::setParamValue(p, "100"), "");
    EXPECT_EQ(s.value, 100);
    EXPECT_EQ(ophost::setParamValue(p, "0"), "");
    EXPECT_EQ(s.value, 0);
    EXPECT_EQ(ophost::setParamValue(p, "0x20"), "");
    EXPECT_EQ(s.value, 32);
    for (const char *bad : {"101", "-1", "abc", "", "1.5", "12 ", " 12", "2147483648", "99999999999999999999", "0x"}) {
        EXPECT_NE(ophost::setParamValue(p, bad), "") << bad;
        EXPECT_EQ(s.value, 32) << "a refused value leaves the record alone: " << bad;
    }
    EXPECT_EQ(ophost::formatParamValue(p), "32");
}

TEST(ParamText, ThirtyTwoBitRange)
{
    int32_t v = 0;
    EXPECT_TRUE(ophost::parseInt32("2147483647", v));
    EXPECT_EQ(v, INT32_MAX);
    EXPECT_TRUE(ophost::parseInt32("-2147483648", v));
    EXPECT_EQ(v, INT32_MIN);
    EXPECT_FALSE(ophost::parseInt32("2147483648", v));
    EXPECT_FALSE(ophost::parseInt32("-2147483649", v));
    EXPECT_FALSE(ophost::parseInt32("0x80000000", v));
    EXPECT_TRUE(ophost::parseInt32("010", v));
    EXPECT_EQ(v, 10) << "a leading zero is not octal";
}

TEST(ParamText, ColourAsWordOrComponents)
{
    ColorParam c{{PARAM_COLOR, 1, 1}, Pixel{0, 0, 0, 0}};
    auto p = infoFor(&c, PARAM_COLOR);
    EXPECT_EQ(ophost::setParamValue(p, "0x39F06EFF"), "");
    EXPECT_EQ(pixelWord(c.color), BLUE_DEFAULT);
    EXPECT_EQ(c.color.y, 57);
    EXPECT_EQ(c.color.u, 240);
    EXPECT_EQ(c.color.v, 110);
    EXPECT_EQ(c.color.alpha, 255);
    EXPECT_EQ(ophost::setParamValue(p, "16,128,129,7"), "");
    EXPECT_EQ(pixelWord(c.color), 0x10808107u);
    EXPECT_EQ(ophost::formatParamValue(p), "0x10808107");
    for (const char *bad : {"0x1FFFFFFFF", "39F06EFF", "0xZZ", "1,2,3", "1,2,3,256", "1,2,-1,4", "1,2,3,4,5", "a,b,c,d"})
        EXPECT_NE(ophost::setParamValue(p, bad), "") << bad;
    EXPECT_EQ(pixelWord(c.color), 0x10808107u);
}

TEST(ParamText, RectangleSetsPositionAndSizeOnly)
{
    RectParam r{{PARAM_RECT, 1, 0}, 1, 2, 300, 200, 0, 0, 10, 10};
    auto p = infoFor(&r, PARAM_RECT);
    EXPECT_EQ(ophost::setParamValue(p, "-5,7,300,200"), "");
    EXPECT_EQ(r.x, -5);
    EXPECT_EQ(r.y, 7);
    EXPECT_EQ(r.width, 300);
    EXPECT_EQ(r.height, 200);
    EXPECT_EQ(r.minWidth, 1);
    EXPECT_EQ(r.minHeight, 2);
    EXPECT_EQ(r.maxWidth, 300);
    EXPECT_EQ(r.maxHeight, 200);
    // The size stays within the minimum and maximum, as info shows them.
    for (const char *bad : {"1", "1,2,3", "1,2,3,32768", "1,,3,4", "x,y,w,h", "1,2,3,4,5", "0,0,640,32", "0,0,0,2",
                            "0,0,1,1", "0,0,301,200", "0,0,300,201"})
        EXPECT_NE(ophost::setParamValue(p, bad), "") << bad;
    EXPECT_EQ(ophost::setParamValue(p, "0,0,1,2"), "");
}

// x,y moves any rectangle; a rectangle whose size cannot change takes only
// the position (with a note when another size was asked for); a resizable
// one takes a size outside its range only when forced.
TEST(ParamText, RectangleSizeRulesByKind)
{
    struct Case {
        bool fixedSize;
        const char *text;
        bool force;
        const char *fault;    // empty: taken
        int x, y, w, h;       // the record afterwards
        bool noted;
    } cases[] = {
        {false, "3,4", false, "", 3, 4, 10, 10, false},
        {false, "3,4,1,2", false, "", 3, 4, 1, 2, false},
        {false, "3,4,0,2", false, "size 0x2 is outside 1x2..300x200 (--force takes it)", 0, 0, 10, 10, false},
        {false, "3,4,0,2", true, "", 3, 4, 0, 2, false},
        {false, "3,4,-7,999", true, "", 3, 4, -7, 999, false},
        {false, "3,4,40000,2", true, "'40000' in '3,4,40000,2' is not a 16-bit integer", 0, 0, 10, 10, false},
        {true, "3,4", false, "", 3, 4, 10, 10, false},
        {true, "-30,4,10,10", false, "", -30, 4, 10, 10, false},
        {true, "3,4,5,5", false, "", 3, 4, 10, 10, true},
        {true, "3,4,5,5", true, "", 3, 4, 10, 10, true},
        {true, "3", false, "is not x,y or x,y,w,h", 0, 0, 10, 10, false},
    };
    for (const Case &c : cases) {
        RectParam r = c.fixedSize ? RectParam{{PARAM_RECT, 1, 2}, 999, 999, 999, 999, 0, 0, 10, 10}
                                  : RectParam{{PARAM_RECT, 1, 2}, 1, 2, 300, 200, 0, 0, 10, 10};
        std::string note;
        const std::string fault = ophost::setParamValue(infoFor(&r, PARAM_RECT), c.text, c.force, &note);
        if (*c.fault) EXPECT_NE(fault.find(c.fault), std::string::npos) << c.text << ": " << fault;
        else EXPECT_EQ(fault, "") << c.text;
        EXPECT_EQ(r.x, c.x) << c.text;
        EXPECT_EQ(r.y, c.y) << c.text;
        EXPECT_EQ(r.width, c.w) << c.text;
        EXPECT_EQ(r.height, c.h) << c.text;
        EXPECT_EQ(note.find("size 5x5 not taken; the size follows the operator (10x10 now)") != std::string::npos,
                  c.noted)
            << c.text << ": " << note;
    }
}

TEST(ParamText, ChoiceWithinItsEntriesAndButtonsRefused)
{
    static const uint32_t entries[] = {501, 502, 0};
    ChoiceParam c{{PARAM_CHOICE, 1, 0}, entries, 0};
    auto p = infoFor(&c, PARAM_CHOICE);
    p.choiceEntries = {501, 502};
    EXPECT_EQ(ophost::setParamValue(p, "1"), "");
    EXPECT_EQ(c.value, 1u);
    EXPECT_NE(ophost::setParamValue(p, "2"), "");
    EXPECT_NE(ophost::setParamValue(p, "-1"), "");
    ButtonParam b{{PARAM_BUTTON, 1, 2}};
    EXPECT_NE(ophost::setParamValue(infoFor(&b, PARAM_BUTTON), "1").find("button"), std::string::npos);
}

// Each --set is followed by action 4 for its index: Plindor's destination
// then follows its source.
TEST(ApplySetting, ActionFourFollowsEachValue)
{
    hostrt::resetSession();
    hostrt::LoadedOperator op;
    testsupport::loadOperator("Plindor", op);
    ASSERT_EQ(ophost::applySetting(op, "0=10,20,100,50"), "");
    EXPECT_EQ(hostrt::lastCallHeld(), 0u);
    const auto &dest = testsupport::param<RectParam>(op, 1);
    EXPECT_EQ(dest.x, 10);
    EXPECT_EQ(dest.y, 20);
    EXPECT_EQ(dest.width, 100);
    EXPECT_EQ(dest.height, 50);
    EXPECT_EQ(dest.minWidth, 100);
    EXPECT_EQ(dest.maxHeight, 50);

    EXPECT_NE(ophost::applySetting(op, "3=1"), "");     // Plindor has 3 parameters
    EXPECT_NE(ophost::applySetting(op, "a=1"), "");
    EXPECT_NE(ophost::applySetting(op, "-1=1"), "");
    EXPECT_NE(ophost::applySetting(op, "0"), "");
    EXPECT_NE(ophost::applySetting(op, "0=1,2,3"), "");
    EXPECT_EQ(ophost::applySetting(op, "2=57,240,110,255"), "");
    EXPECT_EQ(pixelWord(testsupport::param<ColorParam>(op, 2).color), BLUE_DEFAULT);
}

TEST(ApplySetting, SettingsFileNeedsARecordOfItsSize)
{
    hostrt::LoadedOperator tolmic;
    testsupport::loadOperator("Tolmic", tolmic);
    std::string fault = ophost::loadSettingsFile(tolmic, "/nonexistent");
    EXPECT_NE(fault.find("no settings record"), std::string::npos) << fault;
}
