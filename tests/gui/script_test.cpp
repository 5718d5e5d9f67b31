// The pieces under the toolkit: script faults, key names, resource files,
// folder mapping and the slider's position-value mapping.
#include <gtest/gtest.h>

#include <cstdlib>

#include "contract/gui_calls.h"
// The stateless helpers only; the session is reached through gui_session.h.
#include "hostgui/requesters.h"
#include "hostgui/resources.h"
#include "hostgui/types.h"
#include "hostrt/gui_session.h"

using namespace hostrt::gui;

TEST(GuiScript, AFaultyLineNamesItselfAndEndsTheInput)
{
    const std::pair<const char *, const char *> cases[] = {
        {"click 10\n", "probe:1: usage: click X Y"},
        {"# comment\n\njump 1 2\n", "probe:3: unknown command 'jump'"},
        {"key hyper+q\n", "probe:1: unknown key 'hyper+q'"},
        {"click-text \"Nothing here\n", "probe:1: unclosed quote"},
        {"click-text \"Nothing here\"\n", "probe:1: nothing shows the text \"Nothing here\""},
        {"set-slider \"None\" 4\n", "probe:1: no slider labelled \"None\""},
        {"save screen /no/such/folder/x.png\n", "probe:1: "},
        {"click 1e9 0\n", "probe:1: usage: click X Y"},
    };
    for (const auto &[script, message] : cases) {
        resetGui();
        setScript(std::string(script) + "key Return\n", "probe");
        TextRequest t{0, "Question?", 0, 0, 0, TEXT_YESNO, 0, 5};
        EXPECT_EQ(treqTextRequest(&t), 0);
        EXPECT_EQ(t.answer, 0u) << "the input ended before the Return: " << script;
        ASSERT_EQ(scriptErrors().size(), 1u) << script;
        EXPECT_EQ(scriptErrors()[0].rfind(message, 0), 0u) << scriptErrors()[0];
    }
    resetGui();
}

TEST(GuiScript, KeyNames)
{
    const std::pair<const char *, uint32_t> keys[] = {
        {"b", 'b'},           {"B", KEY_SHIFT | 'b'},         {"1", '1'},
        {"shift+t", KEY_SHIFT | 't'}, {"alt+c", KEY_ALT | 'c'}, {"ctrl+alt+x", KEY_CTRL | KEY_ALT | 'x'},
        {"Return", KEY_RETURN}, {"escape", KEY_ESCAPE},      {"shift+Delete", KEY_SHIFT | KEY_DELETE},
        {"F1", KEY_F1},       {"f12", KEY_F1 + 11},           {"PageUp", KEY_PAGEUP},
        {"+", '+'},           {"space", ' '},
    };
    for (const auto &[name, code] : keys) {
        bool ok = false;
        EXPECT_EQ(hostgui::parseKeyName(name, ok), code) << name;
        EXPECT_TRUE(ok) << name;
    }
    for (const char *bad : {"", "F13", "F0", "shift+", "nokey", "meta+a"}) {
        bool ok = true;
        hostgui::parseKeyName(bad, ok);
        EXPECT_FALSE(ok) << bad;
    }
}

TEST(GuiResources, FaultyFilesAreRefusedWithTheReason)
{
    hostgui::StringTable table;
    std::string error;
    EXPECT_TRUE(hostgui::parseStringTable("# c\n12\tTwelve\n\n7\tSeven\twith tab\n", table, error));
    EXPECT_EQ(table[12], "Twelve");
    EXPECT_EQ(table[7], "Seven\twith tab");
    for (const char *bad : {"12 Twelve\n", "x\tText\n", "\tText\n", "99999999999\tBig\n"}) {
        EXPECT_FALSE(hostgui::parseStringTable(bad, table, error)) << bad;
        EXPECT_NE(error.find("line 1"), std::string::npos) << error;
    }

    hostgui::Icon icon;
    EXPECT_TRUE(hostgui::parseIcon("size 2 1\ncolor a 235 128 128 255\ncolor . 16 128 128 0\na.\n", icon, error));
    EXPECT_EQ(icon.picture.bufferWidth, 2);
    EXPECT_EQ(icon.pixels[0].y, 235);
    EXPECT_EQ(icon.pixels[1].alpha, 0);
    EXPECT_FALSE(hostgui::parseIcon("size 2 1\ncolor a 1 2 3 4\nab\n", icon, error));
    EXPECT_EQ(error, "undefined colour 'b'");
    EXPECT_FALSE(hostgui::parseIcon("size 2 2\ncolor a 1 2 3 4\naa\n", icon, error));
    EXPECT_FALSE(hostgui::parseIcon("size 2 1\ncolor a 1 2 3 4\naaa\n", icon, error));
    EXPECT_FALSE(hostgui::parseIcon("size 0 1\n", icon, error));
    EXPECT_FALSE(hostgui::parseIcon("size 9999 1\n", icon, error));
}

TEST(GuiFolders, RequesterFoldersLieUnderTheHome)
{
    unsetenv("QVHOME");
    EXPECT_EQ(hostgui::hostPath("/programs/zenvarth/"), "/programs/zenvarth/");
    setenv("QVHOME", "/home/qv", 1);
    EXPECT_EQ(hostgui::hostPath("/programs/zenvarth/"), "/home/qv/programs/zenvarth/");
    EXPECT_EQ(hostgui::hostPath("presets"), "/home/qv/presets");
    EXPECT_EQ(hostgui::hostPath("/home/qv/programs"), "/home/qv/programs");
    unsetenv("QVHOME");
}

TEST(GuiSliderMapping, EveryValueHasItsOwnPositionWhenTheTrackIsWideEnough)
{
    hostgui::Gadget g;
    for (int32_t maximum : {1, 2, 30, 50, 100, 197}) {
        g.minimum = 0;
        g.maximum = maximum;
        hostgui::Rect track = hostgui::sliderTrack(hostgui::Rect{178, 8, 202, 24});
        for (int32_t v = 0; v <= maximum; ++v) {
            int x = hostgui::sliderXFor(g, track, v);
            EXPECT_EQ(hostgui::sliderValueAt(g, track, x), v) << "maximum " << maximum;
            // The plain formula: the value nearest to the position.
            double exact = double(x - track.x) * maximum / (track.w - 1);
            EXPECT_LE(std::abs(exact - v), 0.5) << "maximum " << maximum << " value " << v;
        }
        EXPECT_EQ(hostgui::sliderValueAt(g, track, track.x - 50), 0);
        EXPECT_EQ(hostgui::sliderValueAt(g, track, track.x + 500), maximum);
    }
    // A slider wider in range than in pixels still reaches both ends.
    g.maximum = 249;
    hostgui::Rect narrow{10, 0, 100, 20};
    EXPECT_EQ(hostgui::sliderValueAt(g, narrow, 10), 0);
    EXPECT_EQ(hostgui::sliderValueAt(g, narrow, 109), 249);
}
