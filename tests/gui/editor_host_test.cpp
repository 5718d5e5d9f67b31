// What the host GUI does for an editor: panels above the overlay, signed
// panel positions, a script that calls back between events, and the view
// kept from just before the screen closed.
#include <gtest/gtest.h>

#include <array>
#include <cstring>
#include <vector>

#include "contract/gui_calls.h"
#include "contract/host_calls.h"
#include "hostrt/gui_session.h"
#include "hostrt/session.h"
#include "testsupport.h"

using namespace hostrt::gui;

namespace {

class EditorHost : public ::testing::Test {
protected:
    EditorRequest request{};
    void SetUp() override
    {
        hostrt::resetSession();
        resetGui();
    }
    void TearDown() override { resetGui(); }
    TgHandle openScreen(const std::string &script)
    {
        setScript(script, "test script");
        request.width = 200;
        request.height = 100;
        request.messageQueue = msgQCreate(10, 44, 0);
        EXPECT_EQ(treqCreateRequest(&request), 0);
        return request.screen;
    }
};

std::array<int, 3> rgbAt(const Framebuffer &f, int x, int y)
{
    const uint8_t *p = &f.rgba[(size_t(y) * size_t(f.width) + size_t(x)) * 4];
    return {p[0], p[1], p[2]};
}

void fillOverlay(Pixel p, int w, int h)
{
    std::vector<Pixel> block(size_t(w) * size_t(h), p);
    tgmxYUVAtoOvl(block.data(), 0, w * 4, 0, 0, uint16_t(w), uint16_t(h));
}

TEST_F(EditorHost, PanelsLieAboveTheOverlayAndMayStartOutside)
{
    TgHandle screen = openScreen("");
    const Framebuffer empty = capture(SurfaceId::Screen);
    // A panel asked at y = -8 (passed as 16-bit 65528) starts above the
    // screen: its lower part is drawn from row 0.
    TgHandle panel = tgCreatePanel(screen, 20, uint16_t(-8), 40, 30, PANEL_NORMAL, 0, 0);
    ASSERT_NE(panel, 0u);
    const Framebuffer withPanel = capture(SurfaceId::Screen);
    EXPECT_NE(rgbAt(withPanel, 40, 10), rgbAt(empty, 40, 10)) << "the panel shows at the top";
    EXPECT_EQ(rgbAt(withPanel, 40, 40), rgbAt(empty, 40, 40)) << "nothing below its bottom at 22";

    // Preview pixels drawn everywhere stay below the panel, and an overlay
    // pixel with key 0 but colour is shown (only all-zero shows through).
    fillOverlay(Pixel{0, 240, 90, 81}, 200, 100);
    const Framebuffer covered = capture(SurfaceId::Screen);
    EXPECT_EQ(rgbAt(covered, 40, 10), rgbAt(withPanel, 40, 10));
    EXPECT_NE(rgbAt(covered, 100, 60), rgbAt(empty, 100, 60));
    fillOverlay(Pixel{0, 0, 0, 0}, 200, 100);
    EXPECT_EQ(rgbAt(capture(SurfaceId::Screen), 100, 60), rgbAt(empty, 100, 60));
    treqDeleteRequest(&request);
}

TEST_F(EditorHost, CheckLinesRunBetweenEventsAndTheClosedViewIsKept)
{
    std::vector<std::string> seen;
    uint32_t queued = 0;
    TgHandle screen = openScreen("check first\nclose\n");
    setCheckHandler([&](const std::string &name) {
        seen.push_back(name);
        queued = uint32_t(hostrt::gui::postedMessages().size());
    });
    TgHandle panel = tgCreatePanel(screen, 10, 10, 50, 30, PANEL_NORMAL, 0, 0);
    fillOverlay(Pixel{255, 128, 128, 235}, 200, 100);
    const Framebuffer shown = capture(SurfaceId::Screen);

    EditorMessage m{};
    ASSERT_EQ(tgMsgQReceive(&m, -1), 0);
    EXPECT_EQ(m.kind, MSG_CLOSE);
    ASSERT_EQ(seen.size(), 1u);
    EXPECT_EQ(seen[0], "first");
    EXPECT_EQ(queued, 0u) << "the check ran before the close was posted";

    // Closing as the editor does: panels first, then the screen.
    tgRemovePanel(panel);
    fillOverlay(Pixel{0, 0, 0, 0}, 200, 100);
    treqDeleteRequest(&request);
    Framebuffer closed;
    ASSERT_TRUE(closedCapture(SurfaceId::Screen, closed));
    EXPECT_EQ(closed.rgba, shown.rgba);
    std::vector<Pixel> overlay;
    int w = 0, h = 0;
    ASSERT_TRUE(closedOverlay(SurfaceId::Screen, overlay, w, h));
    EXPECT_EQ(w, 200);
    EXPECT_EQ(h, 100);
    EXPECT_TRUE(testsupport::samePixel(overlay[5 * 200 + 5], Pixel{255, 128, 128, 235}));

    // A check line without a handler is a script fault.
    resetGui();
    setScript("check nobody\n", "test script");
    request = EditorRequest{};
    request.width = 20;
    request.height = 20;
    request.messageQueue = msgQCreate(10, 44, 0);
    ASSERT_EQ(treqCreateRequest(&request), 0);
    tgMsgQReceive(&m, -1);
    EXPECT_EQ(scriptErrors().size(), 1u);
    treqDeleteRequest(&request);
}

TEST_F(EditorHost, StandardSizeComesFromTheClips)
{
    hostrt::setInputFields(0, {hostrt::makeField(12, 7)});
    Picture *p = opAllocImage(0, 0, 1, 0);
    ASSERT_NE(p, nullptr);
    EXPECT_EQ(p->bufferWidth, 12);
    EXPECT_EQ(p->bufferHeight, 7);
    opFreeImage(p);
    hostrt::setStandardSize(30, 20);
    p = opAllocImage(-1, -1, 1, 0);
    ASSERT_NE(p, nullptr);
    EXPECT_EQ(p->bufferWidth, 30);
    opFreeImage(p);
}

} // namespace
