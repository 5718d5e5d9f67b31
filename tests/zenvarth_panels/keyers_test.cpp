// Keying the demo clip's blue backing from the editor alone: each keyer is
// chosen and set up through its popup, sliders and area buttons, and the preview that
// answers the last event must let the background through on the backing
// and keep the lit side of the ball.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "demo_clip.h"
#include "editor_script.h"

using namespace editortest;
namespace zv = zenvarth;

namespace {

constexpr demo::ClipSize CLIP{160, 120, 2};

hostrt::FieldImage splitField(const media::VideoFrame &frame, int parity)
{
    hostrt::FieldImage f = hostrt::makeField(frame.width, frame.height / 2);
    for (int row = 0; row < f.bufferHeight; ++row)
        for (int x = 0; x < frame.width; ++x) f.at(x, row) = frame.at(x, 2 * row + parity);
    return f;
}

// Output key of the preview's last render at (x, field row).
int keyAt(int x, int row)
{
    if (!zv::outputPicture) return -1;
    const Picture &out = *zv::outputPicture;
    return out.pixels[size_t(row) * size_t(out.bufferWidth) + size_t(x)].alpha;
}

struct KeyerSetup {
    const char *name;      // the keyer's entry in the mode popup
    const char *lines;     // what the user sets after choosing it
};

TEST(EditorKeyers, EachKeyerKeysTheDemoBackingFromThePanels)
{
    const KeyerSetup setups[] = {
        {"Colour key", ""},
        {"Dominance key", "set-slider \"Threshold\" 10"},
        {"Chroma key", ""},
        {"Hue key", ""},
        {"Hue and luma key", ""},
        {"Luma band key", "set-slider \"Luma centre\" 20\nset-slider \"Width\" 5"},
        {"Luma threshold key", "set-slider \"Level\" 30"},
        {"Saturation band key", "set-slider \"Saturation centre\" 100\nset-slider \"Width\" 15"},
        {"Saturation threshold key", "set-slider \"Level\" 70\npick \"Key when\" \"Above level\""},
    };
    defaultEditorSettings();
    Editor editor;
    for (int k = 0; k < CLIP.frames; ++k) {
        media::VideoFrame fg = demo::foregroundFrame(CLIP, k), bg = demo::backgroundFrame(CLIP, k);
        for (int parity = 0; parity < 2; ++parity) {
            editor.foreground.push_back(splitField(fg, parity));
            editor.background.push_back(splitField(bg, parity));
        }
    }
    editor.fieldCount = uint32_t(2 * CLIP.frames);

    // Frame 0: the ball's centre at (32, 81) with radius 20, lit from the
    // upper left; the backing fills the top right.
    const demo::Ball ball = demo::ballAt(CLIP, 0);
    const int litX = ball.cx / 4 - ball.r / 8, litRow = (ball.cy / 4 - ball.r / 8) / 2;
    const int backingX = CLIP.width - 10, backingRow = 5;

    std::string script;
    for (size_t i = 0; i < std::size(setups); ++i) {
        const std::string n = std::to_string(i);
        // Matte only first, so that each check sees the keyer's own render.
        editor.checks["through" + n] = [&] { EXPECT_EQ(keyAt(backingX, backingRow), 255); };
        editor.checks["keyed" + n] = [&, i] {
            SCOPED_TRACE(setups[i].name);
            EXPECT_EQ(keyAt(backingX, backingRow), 0) << "backing";
            EXPECT_EQ(keyAt(litX, litRow), 255) << "ball";
        };
        script += "pick \"Keyer\" \"Matte only\"\ncheck through" + n + "\npick \"Keyer\" \"" +
                  setups[i].name + "\"\n" + setups[i].lines + "\ncheck keyed" + n + "\n";
    }
    // The area key: the key area drawn over the right half of the field.
    editor.checks["area"] = [&] {
        EXPECT_EQ(keyAt(backingX, backingRow), 0) << "backing";
        EXPECT_EQ(keyAt(litX, litRow), 255) << "ball";
    };
    script += "pick \"Keyer\" \"Area key\"\nclick-text \"Sample area\"\narea 80 0 80 60\n"
              "key Return\ncheck area\n";
    // Matte only and the dark neutral key: a starting matte round the ball
    // takes the backing away.
    for (const char *keyer : {"matteOnly", "darkNeutral"}) {
        editor.checks[keyer] = [&, keyer] {
            SCOPED_TRACE(keyer);
            EXPECT_EQ(keyAt(backingX, backingRow), 0) << "backing";
            EXPECT_EQ(keyAt(litX, litRow), 255) << "ball";
        };
    }
    script += "key a\nkey 1\nclick-text \"Matte area\"\narea 0 20 60 40\nkey Return\nkey b\n"
              "pick \"Keyer\" \"Matte only\"\ncheck matteOnly\n"
              "pick \"Keyer\" \"Dark neutral key\"\ncheck darkNeutral\n";
    editor.run(script);
    EXPECT_EQ(editor.checksRun.size(), 2 * std::size(setups) + 3);
}

} // namespace
