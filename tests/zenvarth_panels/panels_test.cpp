// Zenvarth's editor driven headless by scripts of keys, slider drags and
// popup picks: each event must change the settings field its gadget is
// bound to and nothing else, the panels of every layout must hold their
// gadgets, and rebuilding the panels must neither leak nor lose gadgets.
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "SettingsTable.h"
#include "editor_script.h"

using namespace hostrt::gui;
using namespace editortest;
namespace zv = zenvarth;

namespace {

constexpr int R = 20;   // font height 16 + extra height 4

class EditorPanelsTest : public ::testing::Test {
protected:
    void SetUp() override { defaultEditorSettings(); }
    void TearDown() override
    {
        setCheckHandler(nullptr);
        resetGui();
        hostrt::resetSession();
    }
};

std::vector<uint8_t> recordBytes()
{
    const auto *p = reinterpret_cast<const uint8_t *>(&zv::settings);
    return std::vector<uint8_t>(p, p + sizeof(zv::settings));
}

// One scripted event and the one field it must change.
struct FieldStep {
    std::string lines;
    const char *field;
    uint32_t expected;
};

// ---------------------------------------------------------------- fields

TEST_F(EditorPanelsTest, EveryGadgetWritesItsOwnFieldAndNoOther)
{
    const FieldStep steps[] = {
        // Keyer page and its twelve keyers.
        {"key f", "settingsPage", 4},
        {"key b", "settingsPage", 0},
        {"pick \"Keyer\" \"Colour key\"", "keyerType", 1},
        {"set-slider \"Tolerance\" 61", "colorTolerance", 61},
        {"pick \"Keyer\" \"Area key\"", "keyerType", 2},
        {"pick \"Area side\" \"Outside\"", "keyAreaInvert", 1},
        {"pick \"Keyer\" \"Dominance key\"", "keyerType", 3},
        {"pick \"Dominant channel\" \"Red\"", "dominantChannel", 2},
        {"set-slider \"Tolerance\" 44", "dominanceLevel", 44},
        {"set-slider \"Threshold\" 33", "dominanceThreshold", 33},
        {"pick \"Keyer\" \"Chroma key\"", "keyerType", 4},
        {"set-slider \"Tolerance\" 42", "chromaTolerance", 42},
        {"pick \"Keyer\" \"Hue key\"", "keyerType", 5},
        {"set-slider \"Tolerance\" 77", "hueTolerance", 77},
        {"pick \"Keyer\" \"Hue and luma key\"", "keyerType", 6},
        {"set-slider \"Hue tolerance\" 12", "hueLumaHueTolerance", 12},
        {"set-slider \"Luma tolerance\" 88", "hueLumaLumaTolerance", 88},
        {"pick \"Keyer\" \"Luma band key\"", "keyerType", 7},
        {"set-slider \"Luma centre\" 70", "lumaCenter", 70},
        {"set-slider \"Width\" 5", "lumaWidth", 5},
        {"pick \"Keyer\" \"Luma threshold key\"", "keyerType", 8},
        {"set-slider \"Level\" 64", "lumaLevel", 64},
        {"pick \"Key when\" \"Above level\"", "lumaKeyAbove", 1},
        {"pick \"Keyer\" \"Saturation band key\"", "keyerType", 9},
        {"set-slider \"Saturation centre\" 15", "saturationCenter", 15},
        {"set-slider \"Width\" 99", "saturationWidth", 99},
        {"pick \"Keyer\" \"Saturation threshold key\"", "keyerType", 10},
        {"set-slider \"Level\" 3", "saturationLevel", 3},
        {"pick \"Key when\" \"Above level\"", "saturationKeyAbove", 1},
        {"pick \"Keyer\" \"Dark neutral key\"", "keyerType", 11},
        {"set-slider \"Tolerance\" 50", "blackLevel", 50},
        {"pick \"Keyer\" \"Matte only\"", "keyerType", 0},
        // The row keys reach the rows: keyer 3's popup is row 1.
        {"pick \"Keyer\" \"Dominance key\"", "keyerType", 3},
        {"key 1\nkey Up\nkey Return", "dominantChannel", 1},
        // Key edge.
        {"key s", "settingsPage", 2},
        {"set-slider \"Edge shrink\" 30", "edgeShrink", 30},
        {"set-slider \"Key opacity\" 1", "keyOpacity", 1},
        // Effects; the shadow direction popup shows pictures only, so it is
        // worked by its row key.
        {"key f", "settingsPage", 4},
        {"pick \"Effect\" \"Glow\"", "effectType", 1},
        {"set-slider \"Glow size\" 17", "glowSize", 17},
        {"pick \"Effect\" \"Drop shadow\"", "effectType", 2},
        {"key 2\nkey Down\nkey Return", "shadowDirection", 4},
        {"set-slider \"Distance\" 90", "shadowDistance", 90},
        {"set-slider \"Softness\" 29", "shadowSoftness", 29},
        {"pick \"Effect\" \"Tint\"", "effectType", 3},
        {"set-slider \"Brightness\" 180", "tintBrightness", 180},
        {"pick \"Effect\" \"Pattern wipe\"", "effectType", 4},
        {"set-slider \"Edge width\" 2", "wipeEdgeWidth", 2},
        // Rectangle tools and the starting matte.
        {"key m", "settingsPage", 5},
        {"pick \"Tool\" \"Mask\"", "rectTool", 1},
        {"key 1", "maskEnabled", 1},
        {"pick \"Area side\" \"Inside\"", "maskOutside", 0},
        {"pick \"Tool\" \"Move\"", "rectTool", 0},
        {"key 1", "moveEnabled", 1},
        {"key a", "settingsPage", 1},
        {"key 1", "wholePicture", 0},
        // The frame slider's key gives it the arrow keys.
        {"key shift+t\nkey End", "editorFrame", FIELD_COUNT / 2 - 1},
        {"key Left", "editorFrame", FIELD_COUNT / 2 - 2},
    };

    Editor editor;
    std::string script;
    std::vector<uint8_t> before;
    editor.checks["start"] = [&] { before = recordBytes(); };
    script += "check start\n";
    for (size_t i = 0; i < std::size(steps); ++i) {
        const FieldStep &step = steps[i];
        const std::string name = "step" + std::to_string(i);
        editor.checks[name] = [&, i] {
            const FieldStep &s = steps[i];
            SCOPED_TRACE(s.lines);
            const zv::SettingsField *f = zv::findSettingsField(s.field);
            ASSERT_NE(f, nullptr) << s.field;
            std::vector<uint8_t> after = recordBytes();
            EXPECT_EQ(zv::readUnsigned(after.data(), *f), s.expected) << s.field;
            for (size_t b = 0; b < after.size(); ++b) {
                if (b >= f->offset && b < size_t(f->offset) + f->size) continue;
                EXPECT_EQ(after[b], before[b]) << "byte " << b << " changed by " << s.field;
            }
            before = after;
        };
        script += step.lines + "\ncheck " + name + "\n";
    }
    editor.run(script);
    EXPECT_EQ(editor.checksRun.size(), std::size(steps) + 1);
}

// ---------------------------------------------------------------- layouts

struct LayoutCase {
    const char *name;
    int defaultMonitor;
    bool compact;
    // Panels expected: backdrop, layout, page, mode, settings, frame, action, preview frame.
    bool panels[8];
};

TEST_F(EditorPanelsTest, EachLayoutBuildsItsPanelsAndGadgets)
{
    const LayoutCase cases[] = {
        {"embedded", 1, false, {false, false, true, true, true, true, true, true}},
        {"overlay", 2, false, {true, true, true, true, true, true, true, false}},
        {"compact", 2, true, {true, true, false, false, false, false, false, false}},
        {"other monitor", 3, false, {false, false, true, true, true, true, true, false}},
    };
    for (const LayoutCase &c : cases) {
        SCOPED_TRACE(c.name);
        SetUp();
        Editor editor;
        editor.defaultMonitor = c.defaultMonitor;
        bool checked = false;
        editor.checks["layout"] = [&] {
            checked = true;
            const TgHandle panels[8] = {zv::backdropPanel, zv::layoutPanel,   zv::pagePanel,
                                        zv::modePanel,     zv::settingsPanel, zv::framePanel,
                                        zv::actionPanel,   zv::previewFramePanel};
            for (int i = 0; i < 8; ++i) {
                EXPECT_EQ(panels[i] != 0, c.panels[i]) << "panel " << i;
                if (panels[i]) {
                    EXPECT_TRUE(panelExists(panels[i])) << "panel " << i;
                }
            }
            auto text = [](uint32_t id) { return std::string(resGetString(zv::stringSet, id)); };
            const bool layoutButtons = c.defaultMonitor == 2;
            const TgHandle layoutGadgets[2] = {zv::compactButton, zv::panelPlaceButton};
            for (int i = 0; i < 2; ++i) {
                GadgetInfo g = gadgetInfo(layoutGadgets[i]);
                EXPECT_EQ(g.exists, layoutButtons);
                if (!layoutButtons) continue;
                EXPECT_EQ(g.panel, zv::layoutPanel);
                EXPECT_EQ(g.help, text(2807 + i));
                EXPECT_EQ(g.key, uint32_t("xy"[i]));
            }
            if (c.compact) {
                // The layout panel takes the page panel's place at the top
                // of a backdrop just large enough for it.
                GadgetInfo g = gadgetInfo(zv::compactButton);
                EXPECT_EQ(g.y, zv::backdropRect.y + 8 + 8);
                EXPECT_EQ(zv::backdropRect.width, 64);
                EXPECT_EQ(zv::backdropRect.height, 2 * R + 44);
                EXPECT_FALSE(gadgetInfo(zv::closeButton).exists);
                return;
            }
            for (int i = 0; i < 6; ++i) {
                GadgetInfo g = gadgetInfo(zv::pageButton[i]);
                ASSERT_TRUE(g.exists) << "page button " << i;
                EXPECT_EQ(g.key, uint32_t("baswfm"[i])) << i;
                EXPECT_EQ(g.state, 0x20000u | (i == 0 ? 1u : 0u)) << i;
                EXPECT_EQ(g.help, text(2800 + i)) << i;
            }
            for (TgHandle h : {zv::previewButton, zv::presetsButton, zv::resetButton,
                               zv::frameSlider, zv::closeButton, zv::infoButton, zv::modePopup})
                EXPECT_TRUE(gadgetInfo(h).exists) << h;
            EXPECT_EQ(gadgetInfo(zv::closeButton).help, text(2806));
            EXPECT_EQ(gadgetInfo(zv::modePopup).entries.size(), 12u);
            // Keyer 1's rows: the sample button and its tolerance.
            EXPECT_TRUE(gadgetInfo(zv::sampleButton[0]).exists);
            EXPECT_EQ(gadgetInfo(zv::colorTolerance).key, uint32_t('2'));
        };
        editor.run(std::string(c.compact ? "key x\n" : "") + "check layout\n");
        EXPECT_TRUE(checked);
    }
}

TEST_F(EditorPanelsTest, ActionPanelFollowsHostVersionAndGuiMode)
{
    for (int32_t version : {3, 4}) {
        for (int mode : {1, 3}) {
            SCOPED_TRACE("version " + std::to_string(version) + " mode " + std::to_string(mode));
            SetUp();
            zv::previewButton = 0;
            Editor editor;
            editor.opVersion = version;
            editor.guiMode = mode;
            editor.checks["actions"] = [&] {
                const int top = gadgetInfo(zv::infoButton).y - (3 * R + 32);
                EXPECT_EQ(gadgetInfo(zv::previewButton).exists, version >= 4);
                EXPECT_EQ(gadgetInfo(zv::presetsButton).y - top, R + 16);
                EXPECT_EQ(gadgetInfo(zv::resetButton).y - top, 2 * R + 24);
                GadgetInfo close = gadgetInfo(zv::closeButton);
                GadgetInfo info = gadgetInfo(zv::infoButton);
                EXPECT_EQ(close.x - info.x, mode == 3 ? 102 : 94);
                EXPECT_EQ(close.width, mode == 3 ? 32 : 40);
                EXPECT_EQ(close.key, KEY_ALT | 'c');
            };
            editor.run("check actions\n");
        }
    }
}

// ---------------------------------------------------------------- gadgets

TEST_F(EditorPanelsTest, SliderRangesUnitsAndPopupEntries)
{
    // A byte slider offers its field's panel range.
    auto panelMax = [](const char *field) { return int32_t(zv::findSettingsField(field)->panelMax); };
    struct Range {
        const char *lines;
        TgHandle *gadget;
        int32_t maximum;
        const char *unit;
    };
    const Range ranges[] = {
        {"pick \"Keyer\" \"Dark neutral key\"", &zv::blackLevel, panelMax("blackLevel"), "%"},
        {"key s", &zv::edgeShrink, panelMax("edgeShrink"), "px"},
        {"key f\npick \"Effect\" \"Glow\"", &zv::glowSize, panelMax("glowSize"), "px"},
        {"pick \"Effect\" \"Drop shadow\"", &zv::shadowSoftness, panelMax("shadowSoftness"), "px"},
        {"pick \"Effect\" \"Pattern wipe\"", &zv::wipeEdgeWidth, panelMax("wipeEdgeWidth"), "px"},
        {"pick \"Effect\" \"Tint\"", &zv::tintBrightness, panelMax("tintBrightness"), "%"},
        {"key w", &zv::fadeInSlider, int32_t(FIELD_COUNT / 2), ""},
    };
    Editor editor;
    std::string script;
    for (size_t i = 0; i < std::size(ranges); ++i) {
        const std::string name = "range" + std::to_string(i);
        editor.checks[name] = [&, i] {
            const Range &r = ranges[i];
            SCOPED_TRACE(r.lines);
            GadgetInfo g = gadgetInfo(*r.gadget);
            ASSERT_TRUE(g.exists);
            EXPECT_EQ(g.maximum, r.maximum);
            EXPECT_EQ(g.unit, r.unit);
        };
        script += std::string(ranges[i].lines) + "\ncheck " + name + "\n";
    }
    editor.checks["frames"] = [] {
        // The fades may take the whole section, the frame one less.
        EXPECT_EQ(gadgetInfo(zv::frameSlider).maximum, int32_t(FIELD_COUNT / 2 - 1));
        EXPECT_EQ(gadgetInfo(zv::fadeOutSlider).maximum, int32_t(FIELD_COUNT / 2));
    };
    editor.checks["shadow"] = [] {
        GadgetInfo g = gadgetInfo(zv::shadowDirection);
        ASSERT_EQ(g.entries.size(), 8u);
        for (const std::string &e : g.entries) EXPECT_EQ(e, "<picture>");
        EXPECT_EQ(gadgetInfo(zv::shadowDistance).key, uint32_t('3'));
        EXPECT_EQ(gadgetInfo(zv::shadowSoftness).key, uint32_t('4'));
    };
    editor.checks["tools"] = [] {
        EXPECT_EQ(gadgetInfo(zv::modePopup).entries, (std::vector<std::string>{"Move", "Mask"}));
    };
    editor.checks["keyerNames"] = [] {
        const std::vector<std::string> names = gadgetInfo(zv::modePopup).entries;
        ASSERT_EQ(names.size(), 12u);
        // Entry i is keyerType i: 6 is hue and luma, 7 the luma band.
        EXPECT_EQ(names[6], "Hue and luma key");
        EXPECT_EQ(names[7], "Luma band key");
    };
    editor.run("check keyerNames\n" + script +
               "check frames\nkey f\npick \"Effect\" \"Drop shadow\"\ncheck shadow\n"
               "key m\ncheck tools\n");
    EXPECT_EQ(editor.checksRun.size(), std::size(ranges) + 4);
}

TEST_F(EditorPanelsTest, BoxesEnableAndDisableTheirGadgets)
{
    Editor editor;
    auto enabled = [](TgHandle h) { return gadgetInfo(h).enabled; };
    editor.checks["matteOn"] = [&] {
        // The defaults take the whole picture: no area buttons.
        EXPECT_FALSE(enabled(zv::matteAreaButton));
        EXPECT_FALSE(enabled(zv::holeAreaButton));
    };
    editor.checks["matteOff"] = [&] {
        EXPECT_TRUE(enabled(zv::matteAreaButton));
        EXPECT_TRUE(enabled(zv::holeAreaButton));
    };
    editor.checks["moveOff"] = [&] {
        EXPECT_FALSE(enabled(zv::moveAreaButton));
        EXPECT_FALSE(enabled(zv::moveTargetButton));
    };
    editor.checks["moveOn"] = [&] {
        EXPECT_TRUE(enabled(zv::moveAreaButton));
        EXPECT_TRUE(enabled(zv::moveTargetButton));
    };
    editor.checks["maskOff"] = [&] {
        EXPECT_FALSE(enabled(zv::maskOutside));
        EXPECT_FALSE(enabled(zv::maskAreaButton));
    };
    editor.checks["maskOn"] = [&] {
        EXPECT_TRUE(enabled(zv::maskOutside));
        EXPECT_TRUE(enabled(zv::maskAreaButton));
    };
    // Rebuilt panels show the boxes' states as their gadgets' states.
    editor.run("key a\ncheck matteOn\nkey 1\ncheck matteOff\nkey s\nkey a\ncheck matteOff\n"
               "key 1\ncheck matteOn\n"
               "key m\ncheck moveOff\nkey 1\ncheck moveOn\nkey b\nkey m\ncheck moveOn\n"
               "key 1\ncheck moveOff\n"
               "pick \"Tool\" \"Mask\"\ncheck maskOff\nkey 1\ncheck maskOn\n"
               "pick \"Tool\" \"Move\"\npick \"Tool\" \"Mask\"\ncheck maskOn\n"
               "key 1\ncheck maskOff\n");
    EXPECT_EQ(editor.checksRun.size(), 12u);
}

// ---------------------------------------------------------------- renders

TEST_F(EditorPanelsTest, PageButtonsAndToolPopupDoNotRender)
{
    struct RenderStep {
        const char *lines;
        size_t drawings;   // new drawings the lines cause (one per render)
    };
    const RenderStep steps[] = {
        {"key f", 0},
        {"key m", 0},
        {"pick \"Tool\" \"Mask\"", 0},
        {"key b", 0},
        {"pick \"Keyer\" \"Chroma key\"", 1},
        {"set-slider \"Tolerance\" 10", 1},
        {"key f", 0},
        {"pick \"Effect\" \"Tint\"", 1},
        {"key a", 0},
        {"key 1", 1},
        {"key s", 0},
        {"key w", 0},
    };
    Editor editor;
    size_t last = 0;
    std::string script = "check start\n";
    editor.checks["start"] = [&] { last = drawings(); };
    for (size_t i = 0; i < std::size(steps); ++i) {
        const std::string name = "render" + std::to_string(i);
        editor.checks[name] = [&, i] {
            SCOPED_TRACE(steps[i].lines);
            const size_t now = drawings();
            EXPECT_EQ(now - last, steps[i].drawings);
            last = now;
        };
        script += std::string(steps[i].lines) + "\ncheck " + name + "\n";
    }
    editor.run(script);
    EXPECT_EQ(editor.checksRun.size(), std::size(steps) + 1);
}

// ---------------------------------------------------------------- fades

TEST_F(EditorPanelsTest, FadesShareTheSection)
{
    constexpr uint16_t H = FIELD_COUNT / 2;
    Editor editor;
    editor.checks["sumH"] = [&] {
        EXPECT_EQ(zv::settings.fadeInFrames, 4);
        EXPECT_EQ(zv::settings.fadeOutFrames, 6);
    };
    editor.checks["sumH1"] = [&] {
        // One more frame out takes one frame from the fade in, and its
        // slider shows it.
        EXPECT_EQ(zv::settings.fadeOutFrames, 7);
        EXPECT_EQ(zv::settings.fadeInFrames, 3);
        EXPECT_EQ(gadgetInfo(zv::fadeInSlider).value, 3);
    };
    editor.checks["fadeInAll"] = [&] {
        EXPECT_EQ(zv::settings.fadeInFrames, H);
        EXPECT_EQ(zv::settings.fadeOutFrames, 0);
        EXPECT_EQ(gadgetInfo(zv::fadeOutSlider).value, 0);
    };
    editor.checks["beyondH"] = [&] {
        // A value past the section (a record kept from a longer clip) is
        // held to H rather than wrapping the other fade round.
        zv::setFadeOut(H + 5);
        EXPECT_EQ(zv::settings.fadeOutFrames, H);
        EXPECT_EQ(zv::settings.fadeInFrames, 0);
        zv::setFadeIn(-3);
        EXPECT_EQ(zv::settings.fadeInFrames, 0);
        EXPECT_EQ(zv::settings.fadeOutFrames, H);
    };
    editor.run("key w\nset-slider \"Fade in\" 4\nset-slider \"Fade out\" 6\ncheck sumH\n"
               "set-slider \"Fade out\" 7\ncheck sumH1\n"
               "key 1\nkey End\ncheck fadeInAll\ncheck beyondH\n");
    EXPECT_EQ(editor.checksRun.size(), 4u);
}

TEST_F(EditorPanelsTest, OneFieldClipHasFrameZeroOnly)
{
    Editor editor;
    editor.fieldCount = 1;
    editor.checks["slider"] = [] {
        EXPECT_EQ(gadgetInfo(zv::frameSlider).maximum, 0);
        EXPECT_EQ(gadgetInfo(zv::fadeInSlider).maximum, 0);
    };
    editor.run("key w\ncheck slider\nkey shift+t\nkey End\nkey Right\n");
    EXPECT_EQ(zv::settings.editorFrame, 0u);
}

// ---------------------------------------------------------------- layout toggles

TEST_F(EditorPanelsTest, LayoutTogglesPutThePointerOnTheButton)
{
    Editor editor;
    editor.defaultMonitor = 2;
    auto onCentre = [](TgHandle button) {
        GadgetInfo g = gadgetInfo(button);
        ASSERT_TRUE(g.exists);
        PointerState p = pointerState();
        EXPECT_EQ(p.x, g.x + g.width / 2);
        EXPECT_EQ(p.y, g.y + g.height / 2);
    };
    int32_t bottomY = 0;
    editor.checks["bottom"] = [&] { bottomY = zv::backdropRect.y; };
    editor.checks["top"] = [&] {
        EXPECT_EQ(zv::settings.panelAtTop, 1);
        EXPECT_EQ(zv::backdropRect.y, -8);
        EXPECT_GT(bottomY, zv::backdropRect.y);
        onCentre(zv::panelPlaceButton);
    };
    editor.checks["compact"] = [&] {
        EXPECT_EQ(zv::compactLayout, 1);
        EXPECT_EQ(zv::pagePanel, 0u);
        onCentre(zv::compactButton);
    };
    editor.checks["compactBottom"] = [&] {
        EXPECT_EQ(zv::settings.panelAtTop, 0);
        EXPECT_EQ(zv::backdropRect.y, 576 - (2 * R + 44) - 8);
        onCentre(zv::panelPlaceButton);
    };
    editor.checks["full"] = [&] {
        EXPECT_EQ(zv::compactLayout, 0);
        EXPECT_TRUE(panelExists(zv::pagePanel));
        EXPECT_EQ(zv::backdropRect.y, bottomY);
        onCentre(zv::compactButton);
    };
    editor.run("check bottom\nkey y\ncheck top\nkey x\ncheck compact\nkey y\ncheck compactBottom\n"
               "key x\ncheck full\n");
    EXPECT_EQ(editor.checksRun.size(), 5u);
}

TEST_F(EditorPanelsTest, FiftyLayoutTogglesKeepTheGadgetCount)
{
    Editor editor;
    editor.defaultMonitor = 2;
    size_t full = 0, compact = 0;
    editor.checks["full0"] = [&] { full = gadgetCount(); };
    editor.checks["compact0"] = [&] { compact = gadgetCount(); };
    editor.checks["full50"] = [&] {
        EXPECT_EQ(gadgetCount(), full);
        EXPECT_EQ(zv::choiceList, nullptr);
        for (ChoiceEntry *e : zv::choiceEntries) EXPECT_EQ(e, nullptr);
    };
    editor.checks["compact50"] = [&] { EXPECT_EQ(gadgetCount(), compact); };
    std::string script = "check full0\nkey x\ncheck compact0\nkey x\n";
    for (int i = 0; i < 25; ++i) script += "key x\nkey y\nkey x\nkey y\n";
    script += "check full50\nkey x\ncheck compact50\n";
    editor.run(script);
    EXPECT_EQ(editor.checksRun.size(), 4u);
    EXPECT_LT(compact, full);
}

// On a low screen the panels' popups open over the pointer: the click that
// opens one must not also choose the entry it lands on.
TEST_F(EditorPanelsTest, PopupOpeningOverThePointerWaitsForTheChoice)
{
    Editor editor;
    editor.defaultMonitor = 2;
    editor.screenHeight = 400;
    editor.visible = hostrt::VisibleArea{0, 0, 720, 400};
    editor.checks["dominance"] = [] { EXPECT_EQ(zv::settings.keyerType, 3); };
    editor.checks["red"] = [] { EXPECT_EQ(zv::settings.dominantChannel, 2); };
    editor.run("pick \"Keyer\" \"Dominance key\"\ncheck dominance\n"
               "pick \"Dominant channel\" \"Red\"\ncheck red\n");
    EXPECT_EQ(editor.checksRun.size(), 2u);
}

// ---------------------------------------------------------------- popup lists

void *noMemory(size_t) { return nullptr; }

TEST_F(EditorPanelsTest, PopupWithoutMemoryHasNoEntriesAndLogsOnce)
{
    Editor editor;
    editor.checks["fail"] = [] {
        hostrt::clearLog();
        zv::choiceAllocator = noMemory;
    };
    editor.checks["failed"] = [] {
        zv::choiceAllocator = std::malloc;
        EXPECT_TRUE(gadgetInfo(zv::modePopup).exists);
        EXPECT_TRUE(gadgetInfo(zv::modePopup).entries.empty());
        size_t lines = 0;
        for (const hostrt::LogLine &l : hostrt::logLines())
            lines += l.line == zv::LINE_NO_CHOICE_LIST && l.severity == 4;
        EXPECT_EQ(lines, 1u);
        EXPECT_EQ(zv::choiceList, nullptr);
    };
    editor.checks["again"] = [] { EXPECT_EQ(gadgetInfo(zv::modePopup).entries.size(), 5u); };
    editor.run("check fail\nkey f\ncheck failed\nkey s\nkey f\ncheck again\n");
    zv::choiceAllocator = std::malloc;
    EXPECT_EQ(editor.checksRun.size(), 3u);
}

// The list is allocated at the size of our own records, whatever the
// pointer width, and every entry stands for its value.
TEST(EditorChoiceList, EntriesInOrderAndFreedWhole)
{
    size_t sizes[2] = {0, 0};
    static size_t *seen;
    seen = sizes;
    zv::choiceAllocator = [](size_t n) -> void * {
        (n == sizeof(ListHeader) ? seen[0] : seen[1]) = n;
        return std::malloc(n);
    };
    const char *labels[3] = {"a", "b", "c"};
    ASSERT_TRUE(zv::buildChoiceList(CHOICE_TEXT, reinterpret_cast<const void *const *>(labels), 3));
    zv::choiceAllocator = std::malloc;
    EXPECT_EQ(sizes[0], sizeof(ListHeader));
    EXPECT_EQ(sizes[1], sizeof(ChoiceEntry));
    ASSERT_NE(zv::choiceList, nullptr);
    EXPECT_EQ(zv::choiceList->count, 3u);
    const ListNode *node = zv::choiceList->head;
    for (int i = 0; i < 3; ++i, node = node->next) {
        ASSERT_EQ(node, &zv::choiceEntries[i]->node);
        EXPECT_EQ(zv::choiceEntries[i]->kind, CHOICE_TEXT);
        EXPECT_EQ(zv::choiceEntries[i]->label, labels[i]);
    }
    EXPECT_EQ(zv::choiceEntries[3], nullptr);
    zv::freeChoiceList();
    EXPECT_EQ(zv::choiceList, nullptr);
    for (ChoiceEntry *e : zv::choiceEntries) EXPECT_EQ(e, nullptr);
}

// ---------------------------------------------------------------- close

TEST_F(EditorPanelsTest, CloseKeyEndsTheEditorWithoutAnotherRender)
{
    Editor editor;
    size_t before = 0;
    editor.checks["open"] = [&] { before = drawings(); };
    editor.checks["after"] = [] { ADD_FAILURE() << "the editor went on after its close key"; };
    editor.run("check open\nkey alt+c\ncheck after\n");
    EXPECT_EQ(drawings(), before);
    EXPECT_EQ(zv::settingsPanel, 0u);
    EXPECT_EQ(zv::pagePanel, 0u);
}

} // namespace
