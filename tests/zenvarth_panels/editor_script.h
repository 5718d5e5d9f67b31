// Opens Zenvarth's editor headless on a clip and runs a script of events;
// "check NAME" lines of the script call back into the test between two
// events, where it can read the settings record, gadgets and pictures.
#pragma once

#include <gtest/gtest.h>

#include <functional>
#include <map>
#include <string>
#include <vector>

#include "EditorPanels.h"
#include "SettingsTable.h"
#include "hostrt/gui_session.h"
#include "hostrt/session.h"
#include "testsupport.h"

namespace editortest {

constexpr uint32_t FIELD_COUNT = 20;  // ten frames
constexpr int FIELD_W = 64, FIELD_H = 32;

inline int32_t editorEntry(OperatorContext *ctx) { return zenvarth::runAction(ctx); }

// Counts the preview drawings: every drawing hides the pointer first.
inline size_t drawings()
{
    size_t n = 0;
    for (int32_t mode : hostrt::gui::pointerState().attrCalls) n += mode == 2;
    return n;
}

struct Editor {
    std::map<std::string, std::function<void()>> checks;
    std::vector<std::string> checksRun;
    int defaultMonitor = 1;
    int guiMode = 1;
    uint32_t fieldCount = FIELD_COUNT;
    int32_t opVersion = 4;
    uint16_t screenHeight = 768;
    hostrt::VisibleArea visible{0, 0, 720, 576};   // monitor 2's
    // Inputs 1 and 0; random fields of FIELD_W x FIELD_H when empty.
    std::vector<hostrt::FieldImage> foreground, background;

    void run(const std::string &script)
    {
        hostrt::resetSession();
        hostrt::gui::resetGui();
        hostrt::setOpVersion(opVersion);
        std::vector<hostrt::FieldImage> fg = foreground, bg = background;
        for (uint32_t i = 0; fg.empty() && i < fieldCount; ++i) {
            fg.push_back(testsupport::randomField(FIELD_W, FIELD_H, 100 + i));
            bg.push_back(testsupport::randomField(FIELD_W, FIELD_H, 900 + i));
        }
        hostrt::setInputFields(0, bg);
        hostrt::setInputFields(1, fg);
        hostrt::gui::GuiSettings gs;
        gs.defaultMonitor = defaultMonitor;
        gs.guiMode = guiMode;
        gs.screenHeight = screenHeight;
        hostrt::gui::setGuiSettings(gs);
        hostrt::setVisibleArea(visible);
        hostrt::gui::setScript(script, "editor test");
        hostrt::gui::setCheckHandler([this](const std::string &name) {
            checksRun.push_back(name);
            auto it = checks.find(name);
            ASSERT_NE(it, checks.end()) << "no check " << name;
            it->second();
        });
        OperatorContext ctx = hostrt::makeContext(OPACT_PARAMETER, 0, fieldCount);
        ctx.paramIndex = 0;
        EXPECT_EQ(hostrt::callOperator(editorEntry, ctx), 0);
        EXPECT_EQ(hostrt::lastCallHeld(), 0u);
        EXPECT_TRUE(hostrt::gui::scriptErrors().empty()) << hostrt::gui::scriptErrors().front();
        hostrt::gui::setCheckHandler(nullptr);
    }
};

// Back to the defaults with the first page shown and the panels at the bottom.
inline void defaultEditorSettings()
{
    zenvarth::applyDefaultSettings();
    zenvarth::settings.settingsPage = 0;
    zenvarth::settings.panelAtTop = 0;
    zenvarth::settings.editorFrame = 0;
    zenvarth::settings.dominanceThreshold = 0;
}

} // namespace editortest
