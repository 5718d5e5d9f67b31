// The host GUI driven headless from scripts: gadgets, messages, keys,
// panels, overlay, queries, resources and the sample screen's checksum.
#include <gtest/gtest.h>

#include <cstring>
#include <fstream>
#include <set>
#include <string>

#include "contract/gui_calls.h"
#include "contract/host_calls.h"
#include "gui_layout.cpp"
#include "hostgui/types.h"   // the colour conversion only
#include "hostrt/gui_session.h"
#include "hostrt/session.h"
#include "media/png_io.h"
#include "testsupport.h"

using namespace hostrt::gui;

namespace {

struct Msg {
    uint16_t kind = 0;
    uint32_t handle = 0;
    int32_t value = 0;
};

// One message read the way the editor reads it: raw bytes at 0, 12, 20.
Msg receive()
{
    uint8_t buf[44];
    std::memset(buf, 0xAB, sizeof buf);
    tgMsgQReceive(buf, -1);
    Msg m;
    std::memcpy(&m.kind, buf, 2);
    std::memcpy(&m.handle, buf + 12, 4);
    std::memcpy(&m.value, buf + 20, 4);
    return m;
}

void expectMsg(uint32_t handle, int32_t value)
{
    Msg m = receive();
    EXPECT_EQ(m.kind, MSG_GADGET);
    EXPECT_EQ(m.handle, handle);
    EXPECT_EQ(m.value, value);
}

void expectClose() { EXPECT_EQ(receive().kind, MSG_CLOSE); }

class GuiTest : public ::testing::Test {
protected:
    GalleryHandles h;
    void SetUp() override
    {
        hostrt::resetSession();
        resetGui();
    }
    void open(const std::string &script)
    {
        setScript(script, "test script");
        ASSERT_TRUE(openGallery(h));
    }
    void TearDown() override
    {
        closeGallery(h);
        EXPECT_TRUE(scriptErrors().empty()) << scriptErrors().front();
        resetGui();
    }
};

uint64_t fnv1a(const std::vector<uint8_t> &bytes)
{
    uint64_t hash = 1469598103934665603ull;
    for (uint8_t b : bytes) hash = (hash ^ b) * 1099511628211ull;
    return hash;
}

} // namespace

TEST_F(GuiTest, MouseOnEveryGadgetKindSendsItsValue)
{
    open("");
    setScript("click-text \"Press me\"\n"
              "click-text \"Disabled\"\n"
              "set-slider \"Level\" 75\n"
              "pick \"Keyer\" \"Hue key\"\n"
              "click-text \"Enabled\"\n"
              "click-text \"Enabled\"\n"
              "click-handle " + std::to_string(h.imageButtons[3]) + "\n"
              "click-handle " + std::to_string(h.palette) + "\n"
              "set-slider \"Frame\" 0\n"
              "click-text \"Every gadget kind\"\n"
              "close\n",
              "test script");
    expectMsg(h.textButton, 1);
    // The disabled button sent nothing: the slider drag is next.
    expectMsg(h.slider, 75);
    EXPECT_EQ(gadgetInfo(h.slider).value, 75);
    EXPECT_EQ(gadgetInfo(h.slider).shown, "75%");
    expectMsg(h.popup, 2);
    EXPECT_EQ(gadgetInfo(h.popup).shown, "Hue key");
    expectMsg(h.checkBox, 0);
    expectMsg(h.checkBox, 1);
    expectMsg(h.imageButtons[3], 1);
    expectMsg(h.palette, 1);
    expectMsg(h.frameSlider, 0);
    // The box text takes no input; the close comes next.
    expectClose();
}

TEST_F(GuiTest, KeysWithQualifiersReachTheirGadgets)
{
    open("");
    setScript("key b\nkey c\nkey alt+c\nkey p\nkey 1\nkey shift+t\nkey Right\nkey PageUp\nkey Left\n"
              "key 0\nkey Down\nkey Return\nkey shift+Delete\nkey Escape\nclose\n");
    expectMsg(h.imageButtons[0], 1);
    // "c" alone is not the close key (alt+c is).
    expectMsg(h.imageButtons[6], 1);
    expectMsg(h.textButton, 1);
    expectMsg(h.checkBox, 0);
    expectMsg(h.frameSlider, 51);
    expectMsg(h.frameSlider, 75);   // a tenth of 0..249, 24 up
    expectMsg(h.frameSlider, 74);
    expectMsg(h.popup, 2);
    expectMsg(h.question, 1);
    expectClose();
}

TEST_F(GuiTest, DisabledGadgetsSendNothingUntilEnabled)
{
    open("");
    tgDisableElement(h.gadgetPanel, h.slider);
    tgDisableElement(h.gadgetPanel, h.checkBox);
    tgDisableElement(h.gadgetPanel, h.imageButtons[0]);
    EXPECT_FALSE(gadgetInfo(h.slider).enabled);
    setScript("set-slider \"Level\" 10\nclick-text \"Enabled\"\nkey 1\nkey b\nclick-text \"Press me\"\n"
              "click-text \"Disabled\"\nclose\n");
    expectMsg(h.textButton, 1);
    expectClose();
    EXPECT_EQ(gadgetInfo(h.slider).value, 40);
    EXPECT_EQ(gadgetInfo(h.checkBox).value, 1);

    tgEnableElement(h.gadgetPanel, h.slider);
    tgEnableElement(0, h.disabledButton);   // created disabled
    setScript("set-slider \"Level\" 10\nclick-text \"Disabled\"\n");
    expectMsg(h.slider, 10);
    expectMsg(h.disabledButton, 1);
    expectClose();   // the script has ended
}

TEST_F(GuiTest, PanelRemovalRemovesItsGadgetsAndChildPanels)
{
    open("");
    std::set<uint32_t> handles = {h.screen, h.queue, h.strings, h.images, h.gadgetPanel, h.requesterPanel, h.subPanel,
                                  h.textButton, h.disabledButton, h.slider, h.frameSlider, h.popup, h.picturePopup,
                                  h.checkBox, h.palette, h.boxText, h.closeButton};
    for (uint32_t b : h.imageButtons) handles.insert(b);
    EXPECT_EQ(handles.size(), 24u) << "handles are unique";
    EXPECT_EQ(handles.count(0), 0u);

    size_t before = gadgetCount();
    tgRemovePanel(h.requesterPanel);
    EXPECT_FALSE(panelExists(h.requesterPanel));
    EXPECT_FALSE(panelExists(h.subPanel));
    EXPECT_FALSE(gadgetInfo(h.frameSlider).exists);
    EXPECT_FALSE(gadgetInfo(h.closeButton).exists);
    EXPECT_TRUE(gadgetInfo(h.slider).exists);
    EXPECT_EQ(gadgetCount(), before - 9);
    // A removed gadget cannot be changed, clicked or keyed.
    EXPECT_EQ(tgChangeElement(0, h.frameSlider, TAG_VALUE, 3, 1), -1);
    tgRemovePanel(h.requesterPanel);   // twice: nothing happens
    setScript("key shift+t\nkey Right\nclick-text \"Text\"\n");
    expectClose();
    EXPECT_FALSE(scriptErrors().empty());   // "Text" is gone
    resetGui();
}

TEST_F(GuiTest, ChangeElementTags)
{
    open("");
    EXPECT_EQ(tgChangeElement(h.gadgetPanel, h.palette, TAG_COLOR, 0x10808010u, 1), 0);
    EXPECT_EQ(gadgetInfo(h.palette).color, 0x10808010u);
    EXPECT_EQ(tgChangeElement(h.gadgetPanel, h.slider, TAG_VALUE, 99, 1), 0);
    EXPECT_EQ(gadgetInfo(h.slider).value, 99);
    EXPECT_EQ(tgChangeElement(h.gadgetPanel, h.textButton, TAG_KEY, KEY_SHIFT | KEY_DELETE, 0), 0);
    EXPECT_EQ(gadgetInfo(h.textButton).key, KEY_SHIFT | KEY_DELETE);
    // Help texts through another panel's handle (the editor names one panel
    // for all of them).
    EXPECT_EQ(tgChangeElement(h.requesterPanel, h.slider, TAG_HELP_SET, h.strings, 0), 0);
    EXPECT_EQ(tgChangeElement(h.requesterPanel, h.slider, TAG_HELP_ID, 2807, 0), 0);
    EXPECT_EQ(gadgetInfo(h.slider).help, "Compact panels (x)");
    EXPECT_EQ(tgChangeElement(h.gadgetPanel, h.slider, 1234, 1, 0), -1);
    EXPECT_EQ(tgChangeElement(h.gadgetPanel, 0, TAG_VALUE, 1, 0), -1);

    setScript("hover-text \"Compact panels (x)\"\n");
    uint8_t buf[44];
    tgMsgQReceive(buf, 0);   // pumps nothing: a script waits for a wait
    EXPECT_EQ(helpShown(), "");
    // Hovering happens while the host waits; the help shows right away.
    setScript("hover-text \"Starting matte (a)\"\n");
    expectClose();
    EXPECT_EQ(helpShown(), "Starting matte (a)");
}

TEST_F(GuiTest, OverlayDrawsTheBlockExactlyWhereAsked)
{
    open("");
    // 3 x 2 pixels with 2 pixels of row padding; one pixel keyed out but
    // coloured, one all zero (the fill around a drawn picture).
    uint8_t block[2][5 * 4] = {};
    const Pixel a{255, 128, 128, 235}, b{255, 128, 128, 16}, c{0, 50, 60, 70};
    std::memcpy(&block[0][0], &a, 4);
    std::memcpy(&block[0][4], &b, 4);
    std::memcpy(&block[0][8], &c, 4);
    std::memcpy(&block[1][0], &b, 4);
    std::memcpy(&block[1][4], &a, 4);
    Framebuffer before = capture(SurfaceId::Screen);
    tgmxYUVAtoOvl(block, 0, 5 * 4, 900, 300, 3, 2);
    EXPECT_TRUE(testsupport::samePixel(overlayPixel(SurfaceId::Screen, 900, 300), a));
    EXPECT_TRUE(testsupport::samePixel(overlayPixel(SurfaceId::Screen, 901, 300), b));
    EXPECT_TRUE(testsupport::samePixel(overlayPixel(SurfaceId::Screen, 901, 301), a));
    EXPECT_EQ(overlayPixel(SurfaceId::Screen, 899, 300).alpha, 0);
    EXPECT_EQ(overlayPixel(SurfaceId::Screen, 903, 300).alpha, 0);
    EXPECT_EQ(overlayPixel(SurfaceId::Screen, 900, 302).alpha, 0);

    Framebuffer after = capture(SurfaceId::Screen);
    auto rgb = [&](const Framebuffer &f, int x, int y) {
        const uint8_t *p = &f.rgba[(size_t(y) * size_t(f.width) + size_t(x)) * 4];
        return std::array<int, 3>{p[0], p[1], p[2]};
    };
    EXPECT_EQ(rgb(after, 900, 300), (std::array<int, 3>{255, 255, 255}));   // Y 235 is white
    EXPECT_EQ(rgb(after, 901, 300), (std::array<int, 3>{0, 0, 0}));         // Y 16 is black
    const hostgui::Rgba keyedOut = hostgui::yuvToRgb(70, 60, 50);         // key 0 is still shown
    EXPECT_EQ(rgb(after, 902, 300), (std::array<int, 3>{keyedOut.r, keyedOut.g, keyedOut.b}));
    EXPECT_EQ(rgb(after, 902, 301), rgb(before, 902, 301));                 // all zero shows below
    EXPECT_EQ(rgb(after, 903, 300), rgb(before, 903, 300));
    EXPECT_EQ(rgb(after, 899, 301), rgb(before, 899, 301));

    // On monitor 2, and clipped at the edges without harm.
    tgmxYUVAtoOvlMonitor(block, 0, 5 * 4, -1, 575, 3, 2, 2);
    EXPECT_TRUE(testsupport::samePixel(overlayPixel(SurfaceId::Monitor, 0, 575), b));
    tgmxYUVAtoOvlMonitor(nullptr, 0, 20, 0, 0, 3, 2, 2);
    tgmxYUVAtoOvl(block, 0, 20, 30000, -30000, 3, 2);
}

TEST_F(GuiTest, SampleScreenMatchesItsStoredChecksum)
{
    open("");
    const std::string path = ::testing::TempDir() + "gallery_screen.png";
    std::string error;
    ASSERT_TRUE(saveScreenshot(SurfaceId::Screen, path, error)) << error;
    media::RgbaImage image;
    ASSERT_TRUE(media::readPng(path, image, error)) << error;
    ASSERT_EQ(image.width, 1024);
    ASSERT_EQ(image.height, 768);
    EXPECT_EQ(image.rgba, capture(SurfaceId::Screen).rgba);
    std::ifstream stored(std::string(GUI_TEST_DATA) + "/gallery_screen.fnv");
    std::string expected;
    stored >> expected;
    char actual[32];
    std::snprintf(actual, sizeof actual, "%016llx", (unsigned long long)fnv1a(image.rgba));
    EXPECT_EQ(expected, actual) << "the sample screen (" << path
                                << ") differs from the stored one; same DejaVuSans.ttf and FreeType expected";
}

TEST(GuiQueries, EveryAnswerComesFromTheSettings)
{
    resetGui();
    GuiSettings s;
    s.screenWidth = 800;
    s.screenHeight = 600;
    s.monitorWidth = 704;
    s.monitorHeight = 480;
    s.screenVisible = hostrt::VisibleArea{3, -5, 700, 590};
    s.defaultMonitor = 7;
    s.connectedMonitors = 1;
    s.fontHeight = 13;
    s.addHeight = 6;
    s.guiMode = 3;
    s.pixelAspect = 1094;
    s.colors[10] = 0x11223344u;
    setGuiSettings(s);
    EXPECT_EQ(tgGetScreenWidth(), 800);
    EXPECT_EQ(tgGetScreenHeight(), 600);
    EXPECT_EQ(tgGetScreenWidthMonitor(2), 704);
    EXPECT_EQ(tgGetScreenHeightMonitor(2), 480);
    int16_t l, t, r, b;
    tgGetVisibleArea(&l, &t, &r, &b);
    EXPECT_EQ(l, 3);
    EXPECT_EQ(t, -5);
    EXPECT_EQ(r, 700);
    EXPECT_EQ(b, 590);
    EXPECT_EQ(tgGetDefaultMonitor(), 7);
    EXPECT_EQ(tgGetConnectedMonitors(), 1);
    EXPECT_EQ(tgGetFontHeightMonitor(7), 13);
    EXPECT_EQ(tgGetAddHeight(), 6);
    EXPECT_EQ(tgGetGuiMode(), 3);
    EXPECT_EQ(gxGetPixelAspect(0, 2), 1094);
    EXPECT_EQ(tgGetGuiColorYUV(10), 0x11223344u);
    EXPECT_EQ(tgGetNewGuiColorYUV(1001), tgGetGuiColorYUV(1001));
    hostrt::setVisibleArea(hostrt::VisibleArea{10, 20, 30, 40});
    tgGetVisibleAreaMonitor(&l, &t, &r, &b, 2);
    EXPECT_EQ(t, 20);
    hostrt::setTgVersion(50);
    EXPECT_EQ(tgVersion(0), 50);

    tgColorBarOff();
    EXPECT_FALSE(colorBarShown());
    tgColorBarOn();
    EXPECT_TRUE(colorBarShown());
    tgBusyPointer();
    EXPECT_TRUE(pointerState().busy);
    tgStandardPointer();
    tgSetPointerAttrs(2, 0, 0, 0);
    EXPECT_TRUE(pointerState().hidden);
    tgSetPointerAttrs(1, 0, 0, 0);
    tgMovePointer(40, 50);
    PointerState p = pointerState();
    EXPECT_FALSE(p.busy);
    EXPECT_FALSE(p.hidden);
    EXPECT_EQ(p.x, 40);
    EXPECT_EQ(p.y, 50);
    EXPECT_EQ(p.attrCalls, (std::vector<int32_t>{2, 1}));
    hostrt::resetSession();
    resetGui();
}

TEST(GuiQueue, MessagesAndTheEndOfInput)
{
    resetGui();
    // No screen: the receive answers an end message instead of waiting.
    uint8_t buf[44] = {};
    EXPECT_EQ(tgMsgQReceive(buf, -1), -1);
    EXPECT_EQ(buf[0], MSG_CLOSE);

    TgHandle q = msgQCreate(10, 44, 0);
    ASSERT_NE(q, 0u);
    EditorMessage m{};
    m.kind = 3;
    for (int i = 0; i < 10; ++i) EXPECT_EQ(msgQSend(q, &m), 0);
    EXPECT_EQ(msgQSend(q, &m), -1) << "the eleventh message does not fit";
    EXPECT_EQ(msgQCreate(0, 44, 0), 0u);

    TgHandle q2 = msgQCreate(10, 44, 0);
    EditorRequest req{};
    req.width = 640;
    req.height = 480;
    req.messageQueue = q2;
    req.title = "queue";
    ASSERT_EQ(treqCreateRequest(&req), 0);
    setScript("");
    EXPECT_EQ(receive().kind, MSG_CLOSE);
    EXPECT_EQ(receive().kind, MSG_CLOSE) << "after the input ends, every wait ends";
    EXPECT_EQ(treqDeleteRequest(&req), 0);
    EXPECT_EQ(treqDeleteRequest(&req), -1);
    EditorRequest bad{};
    EXPECT_EQ(treqCreateRequest(&bad), -1);
    EXPECT_EQ(treqCreateRequest(nullptr), -1);
    resetGui();
}

TEST(GuiResources, EveryEditorIdHasATextAndAnImage)
{
    resetGui();
    TgHandle strings = resLoadStrings("zv_ops");
    ASSERT_NE(strings, 0u);
    const uint32_t ids[] = {301,  303,  304,  410,  411,  412,  413,  420,  510,  511,  512,  520,  610,  620,
                            750,  752,  910,  920,  1030, 1040, 1110, 1130, 1131, 1132, 1221, 1222, 1236, 1237,
                            1331, 1332, 1333, 1334, 1440, 1831, 1832, 1833, 1930, 2100, 2110, 2111, 2112, 2200,
                            2210, 2211, 2220, 2221, 2230, 2240, 2250, 2260, 2265, 2270, 2280, 2281, 2285, 2290,
                            2300, 2310, 2320, 2400, 2410, 2420, 2430, 2440, 2450, 2500, 2510, 2520, 2600, 2700,
                            2701, 2702, 2703, 2704, 2800, 2801, 2802, 2803, 2804, 2805, 2806, 2807, 2808};
    for (uint32_t id : ids) {
        const char *s = resGetString(strings, id);
        EXPECT_TRUE(s && *s) << "string " << id;
    }
    EXPECT_EQ(resGetString(strings, 99999), nullptr);
    TgHandle images = resLoadImages("zv_ops");
    for (uint32_t id = 2101; id <= 2107; ++id) {
        const Picture *p = resGetImage(images, id);
        ASSERT_NE(p, nullptr) << "image " << id;
        EXPECT_GT(p->bufferWidth, 0);
        EXPECT_TRUE(p->pixels);
    }
    for (uint32_t id : {20u, 21u, 22u, 23u, 24u, 25u, 26u, 27u, 28u, 43u, 50u, 69u})
        EXPECT_NE(resGetImage(tgGetGuiResource(), id), nullptr) << "GUI image " << id;
    resFreeStrings(strings);
    EXPECT_EQ(resGetString(strings, 2100), nullptr);
    resFreeImages(images);
    EXPECT_EQ(resGetImage(images, 2101), nullptr);
    EXPECT_EQ(resLoadStrings("no such set"), 0u);
    EXPECT_EQ(resLoadStrings(nullptr), 0u);

    for (uint32_t id : {1610u, 1620u, 1630u, 1640u, 1510u, 1520u, 1530u, 1540u, 1541u, 1542u, 610u, 620u, 630u, 710u,
                        720u, 510u, 511u, 512u, 520u, 530u, 2101u})
        EXPECT_FALSE(hostLabel(id).empty()) << "host label " << id;
    EXPECT_TRUE(hostLabel(4).empty());
    resetGui();
}

TEST(GuiLists, NodesAppendInOrderAndPopupsCopyThem)
{
    ListHeader list;
    std::memset(&list, 0x5A, sizeof list);
    lstInitList(&list);
    EXPECT_EQ(list.head, nullptr);
    ChoiceEntry e[3] = {};
    const char *texts[3] = {"one", "two", "three"};
    for (int i = 0; i < 3; ++i) {
        e[i].kind = CHOICE_TEXT;
        e[i].label = texts[i];
        lstAppendNode(&list, &e[i].node);
    }
    EXPECT_EQ(list.count, 3u);
    EXPECT_EQ(list.head, &e[0].node);
    EXPECT_EQ(e[0].node.next, &e[1].node);
    EXPECT_EQ(e[2].node.prev, &e[1].node);
    EXPECT_EQ(list.tail, &e[2].node);
    lstAppendNode(nullptr, &e[0].node);

    resetGui();
    EditorRequest req{0, 0, 320, 200, msgQCreate(10, 44, 0), 0, "lists", 0, 0, 0};
    ASSERT_EQ(treqCreateRequest(&req), 0);
    TgHandle panel = tgCreatePanel(req.screen, 0, 0, 300, 100, PANEL_NORMAL, 0, 0);
    TgHandle popup = tgAddPopup(panel, 100, 8, 150, 24, &list, 1, "Title", 0, 0);
    std::memset(e, 0, sizeof e);   // the list only lives for the call
    GadgetInfo info = gadgetInfo(popup);
    EXPECT_EQ(info.entries, (std::vector<std::string>{"one", "two", "three"}));
    EXPECT_EQ(info.shown, "two");
    EXPECT_EQ(tgCreatePanel(0xDEAD, 0, 0, 10, 10, 0, 0, 0), 0u);
    EXPECT_EQ(tgAddTextButton(0xDEAD, 0, 0, 10, 10, "x", 0, 0), 0u);
    resetGui();
}

TEST(GuiFormatter, FramesAndTime)
{
    resetGui();
    char text[64];
    EXPECT_EQ(tgSliderCallbackFramesTime(50, text, sizeof text), 0);
    EXPECT_STREQ(text, "50  0:02:00");
    EXPECT_EQ(tgSliderCallbackFramesTime(25 * 61 + 3, text, sizeof text), 0);
    EXPECT_STREQ(text, "1528  1:01:03");
    char small[4];
    tgSliderCallbackFramesTime(1528, small, sizeof small);
    EXPECT_STREQ(small, "152");
    EXPECT_EQ(tgSliderCallbackFramesTime(1, nullptr, 10), -1);
}

TEST(GuiSliders, RangesTheEditorCanPass)
{
    resetGui();
    EditorRequest req{0, 0, 640, 200, msgQCreate(10, 44, 0), 0, "sliders", 0, 0, 0};
    ASSERT_EQ(treqCreateRequest(&req), 0);
    TgHandle panel = tgCreatePanel(req.screen, 0, 0, 600, 100, PANEL_NORMAL, 0, 0);
    // A clip of one field gives the frame slider the maximum 0 - 1 (unsigned).
    TgHandle empty = tgAddSlider(panel, 100, 8, 200, 24, 0, int32_t(0u - 1u), 0, "Empty", nullptr, 0x130000, nullptr);
    // A stored value above the maximum is shown as it is until moved.
    TgHandle over = tgAddSlider(panel, 100, 40, 200, 24, 0, 30, 45, "Over", "px", 0x130000, nullptr);
    EXPECT_EQ(gadgetInfo(over).shown, "45 px");
    setScript("drag 120 20 290 20\nset-slider \"Over\" 30\nset-slider \"Over\" 0\nclose\n");
    Msg m = receive();
    EXPECT_EQ(m.handle, over) << "the empty slider cannot move";
    EXPECT_EQ(m.value, 30);
    expectMsg(over, 0);
    expectClose();
    EXPECT_EQ(gadgetInfo(empty).value, 0);
    resetGui();
}

TEST_F(GuiTest, PicturePopupByKeysAndScreenDeletion)
{
    open("");
    EXPECT_EQ(gadgetInfo(h.picturePopup).entries.size(), 8u);
    setScript("click-handle " + std::to_string(h.picturePopup) + "\nkey Down\nkey Return\n" +
              "click-handle " + std::to_string(h.picturePopup) + "\nkey Up\nkey Escape\nclose\n");
    expectMsg(h.picturePopup, 3);
    expectClose();   // Escape closed the menu without a choice
    EXPECT_EQ(gadgetInfo(h.picturePopup).value, 3);

    EditorRequest request{};
    request.screen = h.screen;
    EXPECT_EQ(treqDeleteRequest(&request), 0);
    EXPECT_FALSE(panelExists(h.gadgetPanel));
    EXPECT_FALSE(panelExists(h.subPanel));
    EXPECT_EQ(gadgetCount(), 0u);
    // Deleting the screen again, or its panels, does nothing.
    EXPECT_EQ(treqDeleteRequest(&request), -1);
}
