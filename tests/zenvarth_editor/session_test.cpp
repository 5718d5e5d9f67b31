// The editor as a whole, opened through action 4 on random clips and driven
// headless by scripts; "check" lines look at the session between events.
#include <cstdlib>
#include <cstring>
#include <functional>
#include <map>
#include <vector>

#include "EditorState.h"
#include "SettingsTable.h"
#include "hostrt/gui_session.h"
#include "testsupport.h"

namespace zv = zenvarth;
using hostrt::gui::SurfaceId;

namespace {

constexpr int FIELD_W = 48;
constexpr int FIELD_H = 20;
constexpr uint32_t FRAMES = 4;

int32_t zenvarthAction(OperatorContext *ctx) { return zv::runAction(ctx); }

class EditorSession : public testing::Test {
protected:
    std::vector<hostrt::FieldImage> foreground, background;
    std::map<std::string, std::function<void()>> checks;
    std::vector<std::string> checked;

    void SetUp() override
    {
        hostrt::resetSession();
        hostrt::gui::resetGui();
        foreground.clear();
        background.clear();
        checks.clear();
        checked.clear();
        zv::applyDefaultSettings();
        zv::settings.editorFrame = 0;
        zv::settings.fadeInFrames = zv::settings.fadeOutFrames = 0;
        for (uint32_t f = 0; f < 2 * FRAMES; ++f) {
            // A blue-ish backing with random detail, so the keyers have
            // something to key.
            hostrt::FieldImage fg = testsupport::randomField(FIELD_W, FIELD_H, 100 + f);
            for (size_t i = 0; i < fg.pixels.size(); i += 3) fg.pixels[i] = testsupport::px(41, 240, 110);
            foreground.push_back(fg);
            background.push_back(testsupport::randomField(FIELD_W, FIELD_H, 200 + f));
        }
        hostrt::setInputFields(0, background);
        hostrt::setInputFields(1, foreground);
        hostrt::gui::GuiSettings gui;
        gui.monitorWidth = FIELD_W;
        gui.monitorHeight = 2 * FIELD_H;
        gui.defaultMonitor = 1;
        gui.connectedMonitors = 1;
        hostrt::gui::setGuiSettings(gui);
        hostrt::gui::setCheckHandler([this](const std::string &name) {
            checked.push_back(name);
            auto it = checks.find(name);
            if (it != checks.end()) it->second();
        });
    }
    void TearDown() override
    {
        hostrt::gui::resetGui();
        hostrt::resetSession();
    }

    // Opens the editor on the script; returns the pictures it still held.
    size_t edit(const std::string &script, uint32_t fieldCount = 2 * FRAMES, int16_t permille = 1000)
    {
        hostrt::gui::setScript(script, "editor script");
        OperatorContext ctx = hostrt::makeContext(OPACT_PARAMETER, 0, fieldCount);
        ctx.paramIndex = 0;
        ctx.verticalPermille = permille;
        EXPECT_EQ(hostrt::callOperator(zenvarthAction, ctx), 0);
        EXPECT_TRUE(hostrt::gui::scriptErrors().empty()) << hostrt::gui::scriptErrors().front();
        return hostrt::lastCallHeld();
    }

    static void post(uint16_t kind, TgHandle element, int32_t value)
    {
        EditorMessage m{};
        m.kind = kind;
        m.element = element;
        m.value = value;
        ASSERT_EQ(msgQSend(zv::messageQueue, &m), 0);
    }

    static void expectClosed()
    {
        EXPECT_EQ(zv::foregroundPicture, nullptr);
        EXPECT_EQ(zv::backgroundPicture, nullptr);
        EXPECT_EQ(zv::outputPicture, nullptr);
        EXPECT_EQ(zv::patternBuffer, nullptr);
        for (TgHandle p : {zv::backdropPanel, zv::pagePanel, zv::layoutPanel, zv::modePanel, zv::settingsPanel,
                           zv::framePanel, zv::actionPanel, zv::previewFramePanel})
            EXPECT_EQ(p, 0u);
    }

    static bool monitorEmpty()
    {
        for (int y = 0; y < 2 * FIELD_H; ++y)
            for (int x = 0; x < FIELD_W; ++x)
                if (!testsupport::samePixel(hostrt::gui::overlayPixel(SurfaceId::Monitor, x, y), Pixel{0, 0, 0, 0}))
                    return false;
        return true;
    }

    std::vector<Pixel> renderField(int32_t field)
    {
        hostrt::clearPutFields();
        OperatorContext ctx = hostrt::makeContext(OPACT_INIT, 0, 2 * FRAMES);
        hostrt::callOperator(zenvarthAction, ctx);
        ctx = hostrt::makeContext(OPACT_RENDER, field, 2 * FRAMES);
        EXPECT_EQ(hostrt::callOperator(zenvarthAction, ctx), 0);
        EXPECT_EQ(hostrt::lastCallHeld(), 0u);
        ctx = hostrt::makeContext(OPACT_RELEASE, 0, 2 * FRAMES);
        hostrt::callOperator(zenvarthAction, ctx);
        if (hostrt::putFields().size() != 1) return {};
        return hostrt::putFields()[0].pixels;
    }
};

// The preview's output is the render of the same field, and monitor 2 shows
// it scaled to the frame (aspect 1000: twice the field height).
TEST_F(EditorSession, PreviewEqualsTheRenderOfItsField)
{
    struct Case {
        uint8_t keyer, effect;
    };
    const Case cases[] = {{0, 0}, {1, 0}, {2, 1}, {3, 2}, {4, 3}, {5, 0}, {6, 1},
                          {7, 2}, {8, 3}, {9, 0}, {10, 2}, {11, 1}, {1, 4}};
    for (const Case &c : cases) {
        SCOPED_TRACE("keyer " + std::to_string(c.keyer) + ", effect " + std::to_string(c.effect));
        hostrt::gui::resetGui();
        SetUp();
        zv::settings.keyerType = c.keyer;
        zv::settings.effectType = c.effect;
        zv::settings.editorFrame = 2;
        zv::settings.fadeInFrames = 3;
        zv::settings.keyArea = SettingsRect{4, 2, 30, 12};
        zv::settings.maskEnabled = 1;
        zv::settings.maskArea = SettingsRect{2, 1, 40, 16};
        zv::settings.moveEnabled = c.keyer % 2;
        zv::settings.moveArea = SettingsRect{1, 1, 10, 6};
        zv::settings.moveTarget = SettingsPoint{20, 10};
        std::vector<Pixel> preview, shown, expectedShown(size_t(FIELD_W) * 2 * FIELD_H);
        checks["look"] = [&] {
            ASSERT_NE(zv::outputPicture, nullptr);
            preview.assign(zv::outputPicture->pixels, zv::outputPicture->pixels + FIELD_W * FIELD_H);
            zv::scalePreview(FIELD_W, FIELD_H, expectedShown.data(), FIELD_W, 2 * FIELD_H);
            for (int y = 0; y < 2 * FIELD_H; ++y)
                for (int x = 0; x < FIELD_W; ++x) shown.push_back(hostrt::gui::overlayPixel(SurfaceId::Monitor, x, y));
        };
        EXPECT_EQ(edit("check look\n"), 0u);
        ASSERT_EQ(checked.size(), 1u);
        std::vector<Pixel> rendered = renderField(4);
        ASSERT_EQ(rendered.size(), preview.size());
        EXPECT_EQ(0, std::memcmp(rendered.data(), preview.data(), preview.size() * sizeof(Pixel)));
        EXPECT_EQ(0, std::memcmp(shown.data(), expectedShown.data(), shown.size() * sizeof(Pixel)));
    }
}

// Frame slider, ignored kinds, and the close button: the loop carries out
// each, and a closed editor holds nothing.
TEST_F(EditorSession, FrameSliderThenCloseLeavesNothingHeld)
{
    size_t drawingsAtLastCheck = 0;
    checks["opened"] = [&] {
        EXPECT_EQ(zv::renderFieldNumber, 0u);
        EXPECT_FALSE(monitorEmpty());
        EXPECT_FALSE(hostrt::gui::pointerState().busy) << "the busy pointer ends with the render";
        post(3, zv::frameSlider, 1);   // not a gadget event: ignored
        post(MSG_GADGET, zv::frameSlider, 3);
    };
    checks["moved"] = [&] {
        EXPECT_EQ(zv::settings.editorFrame, 3u);
        EXPECT_EQ(zv::renderFieldNumber, 6u);
        ASSERT_NE(zv::foregroundPicture, nullptr);
        // The starting matte rewrites the foreground's key bytes: compare
        // the colours.
        int differ = 0;
        for (size_t i = 0; i < foreground[6].pixels.size(); ++i) {
            const Pixel a = zv::foregroundPicture->pixels[i], b = foreground[6].pixels[i];
            differ += a.v != b.v || a.u != b.u || a.y != b.y;
        }
        EXPECT_EQ(differ, 0);
        EXPECT_EQ(0, std::memcmp(zv::backgroundPicture->pixels, background[6].pixels.data(),
                                 background[6].pixels.size() * sizeof(Pixel)));
        EXPECT_FALSE(hostrt::gui::pointerState().busy);
        drawingsAtLastCheck = hostrt::gui::pointerState().attrCalls.size();
        post(MSG_GADGET, zv::closeButton, 0);
        post(MSG_GADGET, zv::frameSlider, 1);   // after the close: never read
    };
    // "move" lines give the loop an event to wake for after each check.
    EXPECT_EQ(edit("check opened\nmove 1 1\ncheck moved\nmove 2 2\ncheck never\n"), 0u);
    EXPECT_EQ(checked, (std::vector<std::string>{"opened", "moved"}));
    EXPECT_EQ(zv::settings.editorFrame, 3u);
    EXPECT_EQ(hostrt::gui::pointerState().attrCalls.size(), drawingsAtLastCheck) << "closing renders nothing";
    EXPECT_TRUE(hostrt::gui::colorBarShown());
    expectClosed();
    EXPECT_EQ(hostrt::totalLeaked(), 0u);
}

// A message of kind 7 ends the editor without a gadget event.
TEST_F(EditorSession, EndMessageClosesTheEditor)
{
    checks["opened"] = [] { post(MSG_CLOSE, 0, 0); };
    EXPECT_EQ(edit("check opened\nmove 1 1\ncheck never\n"), 0u);
    EXPECT_EQ(checked.size(), 1u);
    expectClosed();
}

// The frame and the fades as the opening clamps them to the section.
TEST_F(EditorSession, OpeningClampsFrameAndFades)
{
    struct Case {
        const char *name;
        uint32_t fieldCount, frame;
        uint16_t fadeIn, fadeOut;
        uint32_t wantFrame;
        uint16_t wantIn, wantOut;
    };
    const Case cases[] = {
        {"one field: H is 0", 1, 3, 5, 6, 0, 0, 0},
        {"frame at H", 8, 4, 0, 0, 0, 0, 0},
        {"frame at H - 1", 8, 3, 0, 0, 3, 0, 0},
        {"fade-in above H", 8, 0, 9, 2, 0, 4, 0},
        {"sum equal to H", 8, 0, 1, 3, 0, 1, 3},
        {"sum above H", 8, 0, 1, 5, 0, 1, 3},
        {"frame far beyond (unsigned)", 8, 0xFFFFFFFFu, 0, 0, 0, 0, 0},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        zv::settings.editorFrame = c.frame;
        zv::settings.fadeInFrames = c.fadeIn;
        zv::settings.fadeOutFrames = c.fadeOut;
        EXPECT_EQ(edit("", c.fieldCount), 0u);
        EXPECT_EQ(zv::settings.editorFrame, c.wantFrame);
        EXPECT_EQ(zv::settings.fadeInFrames, c.wantIn);
        EXPECT_EQ(zv::settings.fadeOutFrames, c.wantOut);
        expectClosed();
    }
}

TEST_F(EditorSession, EmptyClipShowsItsTextAndBuildsNothing)
{
    zv::settings.editorFrame = 2;
    EXPECT_EQ(edit("", 0), 0u);
    EXPECT_EQ(zv::settings.editorFrame, 2u) << "nothing is clamped";
    EXPECT_EQ(hostrt::gui::gadgetCount(), 0u);
    expectClosed();
}

// Hosts that answer sizes the editor cannot divide by, and pictures it
// cannot get: the editor logs and ends or carries on, and never crashes.
TEST_F(EditorSession, FailuresAreLoggedAndNothingIsHeld)
{
    // No default picture size.
    hostrt::setStandardSize(0, 0);
    EXPECT_EQ(edit(""), 0u);
    ASSERT_EQ(hostrt::logLines().size(), 1u);
    EXPECT_EQ(hostrt::logLines()[0].line, 858);
    EXPECT_EQ(hostrt::gui::gadgetCount(), 0u);
    expectClosed();

    // No pixel aspect.
    hostrt::clearLog();
    hostrt::setStandardSize(FIELD_W, FIELD_H);
    EXPECT_EQ(edit("", 2 * FRAMES, 0), 0u);
    ASSERT_EQ(hostrt::logLines().size(), 1u);
    EXPECT_EQ(hostrt::logLines()[0].line, 858);
    expectClosed();

    // No output picture: logged, no preview drawn, the editor runs on.
    hostrt::clearLog();
    hostrt::failAllocation(1);
    checks["running"] = [] { EXPECT_NE(zv::frameSlider, 0u); };
    EXPECT_EQ(edit("check running\n"), 0u);
    ASSERT_EQ(hostrt::logLines().size(), 1u);
    EXPECT_EQ(hostrt::logLines()[0].line, 865);
    EXPECT_TRUE(monitorEmpty());
    expectClosed();

    // Fields of another size than the standard one: the passes would walk
    // past the smaller pictures, so nothing is run or drawn.
    hostrt::clearLog();
    hostrt::failAllocation(-1);
    hostrt::setStandardSize(FIELD_W + 8, FIELD_H);
    EXPECT_EQ(edit("check running\n"), 0u);
    EXPECT_TRUE(hostrt::logLines().empty());
    EXPECT_TRUE(monitorEmpty());
    expectClosed();

    // A missing field: logged, pictures size 0, nothing drawn.
    hostrt::setStandardSize(FIELD_W, FIELD_H);
    hostrt::setInputFields(0, {});
    EXPECT_EQ(edit(""), 0u);
    ASSERT_EQ(hostrt::logLines().size(), 1u);
    EXPECT_EQ(hostrt::logLines()[0].line, 2366);
    EXPECT_TRUE(monitorEmpty());
    expectClosed();
    EXPECT_EQ(hostrt::totalLeaked(), 0u);
}

// The pattern buffer left by a render is freed when the editor opens (the
// sanitizer build reports it otherwise) and none is left when it closes.
TEST_F(EditorSession, OpeningAndClosingFreeThePatternBuffer)
{
    zv::patternBuffer = static_cast<uint8_t *>(std::malloc(64));
    checks["opened"] = [] { EXPECT_EQ(zv::patternBuffer, nullptr); };
    EXPECT_EQ(edit("check opened\n"), 0u);
    expectClosed();
}

// Each opening makes a message queue; closing the editor's screen frees it,
// so opening and closing again and again leaves none behind.
TEST_F(EditorSession, ClosingFreesTheMessageQueue)
{
    std::vector<TgHandle> queues;
    for (int k = 0; k < 4; ++k) {
        checks["opened"] = [&queues] { queues.push_back(zv::messageQueue); };
        EXPECT_EQ(edit("check opened\n"), 0u);
    }
    ASSERT_EQ(queues.size(), 4u);
    EditorMessage m{};
    for (TgHandle queue : queues) {
        EXPECT_NE(queue, 0u);
        EXPECT_EQ(msgQSend(queue, &m), -1) << "queue " << queue << " is still there";
    }
}

// Embedded with two monitors: the preview goes into the frame of the
// editor screen only, and the colour bar stays on.
TEST_F(EditorSession, DualMonitorDrawsNothingOnMonitorTwo)
{
    hostrt::gui::GuiSettings gui = hostrt::gui::guiSettings();
    gui.connectedMonitors = 2;
    hostrt::gui::setGuiSettings(gui);
    checks["opened"] = [] {
        EXPECT_TRUE(zv::dualMonitor);
        EXPECT_TRUE(monitorEmpty());
        EXPECT_TRUE(hostrt::gui::colorBarShown());
        const int x = zv::previewFrame.x + 4, y = zv::previewFrame.y + 4;
        EXPECT_FALSE(testsupport::samePixel(hostrt::gui::overlayPixel(SurfaceId::Screen, x, y), Pixel{0, 0, 0, 0}));
    };
    EXPECT_EQ(edit("check opened\n"), 0u);
    EXPECT_EQ(checked.size(), 1u);
    zv::dualMonitor = false;
}

} // namespace
