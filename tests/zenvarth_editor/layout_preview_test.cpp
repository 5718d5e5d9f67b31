// The editor's geometry and drawing, on the engine's statics directly:
// panel layouts worked out by hand, the bilinear scaler against the plain
// float formula, the full-size drawing on monitor 2 and around the panels,
// and the mean colour of a rectangle.
#include <cstring>
#include <random>

#include "EditorState.h"
#include "hostrt/gui_session.h"
#include "testsupport.h"

namespace zv = zenvarth;
using hostrt::gui::SurfaceId;

namespace {

class EditorStatics : public testing::Test {
protected:
    void SetUp() override
    {
        hostrt::resetSession();
        hostrt::gui::resetGui();
    }
    void TearDown() override
    {
        zv::outputPicture = nullptr;
        zv::foregroundPicture = nullptr;
        zv::embeddedLayout = false;
        zv::dualMonitor = false;
        zv::backdropRect = {};
        hostrt::gui::resetGui();
    }
};

// ---------------------------------------------------------------- layout

struct LayoutCase {
    const char *name;
    int defaultMonitor;
    int16_t font, add;
    uint16_t screenW, screenH;
    int32_t video[3];                  // width, height, pixel aspect
    zv::EditorRect frame;              // embedded only
    zv::EditorRect rects[zv::PANEL_SLOTS];
};

// Worked out by hand from the layout rules (R = font + add).
const LayoutCase LAYOUTS[] = {
    {"embedded 1024x768, R 20", 1, 16, 4, 1024, 768, {720, 288, 1000}, {153, 6, 718, 576},
     {{192, 588, 82, 96}, {192, 694, 48, 68}, {284, 588, 388, 40},
      {284, 638, 388, 124}, {682, 588, 150, 40}, {682, 638, 150, 124}}},
    {"embedded 640x480, R 20", 1, 16, 4, 640, 480, {720, 288, 1000}, {141, 6, 358, 288},
     {{0, 300, 82, 96}, {0, 406, 48, 68}, {92, 300, 388, 40},
      {92, 350, 388, 124}, {490, 300, 150, 40}, {490, 350, 150, 124}}},
    // The preview would be wider than the screen: full width, block up by N.
    {"embedded 640x768, preview too wide", 1, 16, 4, 640, 768, {720, 288, 1000}, {0, 37, 640, 514},
     {{0, 557, 82, 96}, {0, 663, 48, 68}, {92, 557, 388, 40},
      {92, 607, 388, 124}, {490, 557, 150, 40}, {490, 607, 150, 124}}},
    // Pixels twice as tall: the frame is half as wide.
    {"embedded 1024x768, aspect 2000", 1, 16, 4, 1024, 768, {720, 288, 2000}, {330, 6, 364, 576},
     {{192, 588, 82, 96}, {192, 694, 48, 68}, {284, 588, 388, 40},
      {284, 638, 388, 124}, {682, 588, 150, 40}, {682, 638, 150, 124}}},
    // A screen too small for the block: negative x and a preview of
    // negative size, which the drawing must skip.
    {"embedded 320x190", 1, 16, 4, 320, 190, {720, 288, 1000}, {162, 6, -4, -2},
     {{-160, 10, 82, 96}, {-160, 116, 48, 68}, {-68, 10, 388, 40},
      {-68, 60, 388, 124}, {330, 10, 150, 40}, {330, 60, 150, 124}}},
    {"overlay R 20", 2, 16, 4, 720, 576, {720, 288, 1000}, {},
     {{8, 8, 82, 96}, {8, 114, 48, 68}, {100, 8, 388, 40},
      {100, 58, 388, 124}, {498, 8, 150, 40}, {498, 58, 150, 124}}},
    {"other monitor R 18", 3, 12, 6, 720, 576, {720, 288, 1000}, {},
     {{8, 8, 82, 90}, {8, 108, 48, 64}, {100, 8, 388, 38},
      {100, 56, 388, 116}, {498, 8, 150, 38}, {498, 56, 150, 116}}},
};

bool sameRect(const zv::EditorRect &a, const zv::EditorRect &b)
{
    return a.x == b.x && a.y == b.y && a.width == b.width && a.height == b.height;
}

std::string show(const zv::EditorRect &r)
{
    // Appended, not "{" + ...: GCC 12's -Wrestrict misreads that join in Release builds.
    std::string text = "{";
    text += std::to_string(r.x) + ", " + std::to_string(r.y) + ", " + std::to_string(r.width) + ", " +
            std::to_string(r.height) + "}";
    return text;
}

TEST_F(EditorStatics, LayoutsWorkedOutByHand)
{
    for (const LayoutCase &c : LAYOUTS) {
        SCOPED_TRACE(c.name);
        hostrt::gui::GuiSettings gui;
        gui.defaultMonitor = c.defaultMonitor;
        gui.fontHeight = c.font;
        gui.addHeight = c.add;
        hostrt::gui::setGuiSettings(gui);
        zv::screenWidth = c.screenW;
        zv::screenHeight = c.screenH;
        zv::embeddedLayout = c.defaultMonitor == 1;
        zv::videoWidth = c.video[0];
        zv::videoHeight = c.video[1];
        zv::pixelAspect = c.video[2];
        zv::computeBaseLayout();
        zv::finishLayout();
        for (int i = 0; i < zv::PANEL_SLOTS; ++i)
            EXPECT_TRUE(sameRect(zv::panelRect[i], c.rects[i])) << "panel " << i << ": " << show(zv::panelRect[i]);
        if (zv::embeddedLayout) {
            EXPECT_TRUE(sameRect(zv::previewFrame, c.frame)) << show(zv::previewFrame);
            EXPECT_EQ(zv::previewWidth, c.frame.width - 8);
            EXPECT_EQ(zv::previewHeight, c.frame.height - 8);
        }
    }
}

// ---------------------------------------------------------------- scaler

struct SourcePicture {
    std::vector<Pixel> pixels;
    Picture record{};
    SourcePicture(int w, int h, uint32_t seed) : pixels(size_t(w) * size_t(h))
    {
        std::mt19937 rng(seed);
        for (Pixel &p : pixels) p = Pixel{uint8_t(rng()), uint8_t(rng()), uint8_t(rng()), uint8_t(rng())};
        record.pixels = pixels.data();
        record.bufferWidth = int16_t(w);
        record.bufferHeight = int16_t(h);
        record.width = int16_t(w);
        record.height = int16_t(h);
    }
    const uint8_t *bytes(int x, int y) const
    {
        return reinterpret_cast<const uint8_t *>(&pixels[size_t(y) * size_t(record.bufferWidth) + size_t(x)]);
    }
};

// The scaler's rule, written plainly.
std::vector<Pixel> referenceScale(const SourcePicture &s, int sw, int sh, int dw, int dh)
{
    std::vector<Pixel> out(size_t(dw) * size_t(dh));
    const float stepX = float(sw) / float(dw), stepY = float(sh) / float(dh);
    auto cx = [&](int v) { return v < 0 ? 0 : v >= sw ? sw - 1 : v; };
    auto cy = [&](int v) { return v < 0 ? 0 : v >= sh ? sh - 1 : v; };
    float y = 0;
    for (int j = 0; j < dh; ++j) {
        float x = 0;
        for (int i = 0; i < dw; ++i) {
            int yi = int(y), xi = int(x);
            float fy = y - float(yi), fx = x - float(xi);
            uint8_t *d = reinterpret_cast<uint8_t *>(&out[size_t(j) * size_t(dw) + size_t(i)]);
            for (int k = 0; k < 4; ++k) {
                float p00 = s.bytes(cx(xi), cy(yi))[k], p01 = s.bytes(cx(xi + 1), cy(yi))[k];
                float p10 = s.bytes(cx(xi), cy(yi + 1))[k], p11 = s.bytes(cx(xi + 1), cy(yi + 1))[k];
                float top = (p01 - p00) * fx + p00;
                float bottom = (p11 - p10) * fx + p10;
                d[k] = uint8_t(int((bottom - top) * fy + top));
            }
            x += stepX;
        }
        y += stepY;
    }
    return out;
}

TEST_F(EditorStatics, ScalePreviewFollowsTheFloatFormula)
{
    const int sizes[][4] = {{37, 23, 37, 23}, {37, 23, 19, 11}, {37, 23, 80, 51}, {720, 288, 710, 568},
                            {5, 3, 1, 1},     {64, 32, 7, 200}};
    uint32_t seed = 1;
    for (const auto &s : sizes) {
        SCOPED_TRACE(std::to_string(s[0]) + "x" + std::to_string(s[1]) + " to " + std::to_string(s[2]) + "x" +
                     std::to_string(s[3]));
        SourcePicture source(s[0], s[1], seed++);
        zv::outputPicture = &source.record;
        std::vector<Pixel> got(size_t(s[2]) * size_t(s[3]));
        zv::scalePreview(s[0], s[1], got.data(), s[2], s[3]);
        std::vector<Pixel> want = referenceScale(source, s[0], s[1], s[2], s[3]);
        ASSERT_EQ(0, std::memcmp(got.data(), want.data(), got.size() * sizeof(Pixel)));
        if (s[0] == s[2] && s[1] == s[3]) {
            EXPECT_EQ(0, std::memcmp(got.data(), source.pixels.data(), got.size() * sizeof(Pixel))) << "identity";
        }
    }
}

TEST_F(EditorStatics, ScalePreviewRepeatsTheLastRowAndColumnWhenUpscaling)
{
    SourcePicture source(2, 2, 7);
    zv::outputPicture = &source.record;
    std::vector<Pixel> got(16);
    zv::scalePreview(2, 2, got.data(), 4, 4);
    // Columns 2 and 3 both sit on source column 1 and clamp its neighbour.
    for (int j : {2, 3})
        for (int i : {2, 3}) EXPECT_TRUE(testsupport::samePixel(got[size_t(j * 4 + i)], source.pixels[3])) << i << "," << j;
    // A destination of no pixels is left alone.
    Pixel untouched{1, 2, 3, 4};
    zv::scalePreview(2, 2, &untouched, 0, 1);
    zv::scalePreview(2, 2, &untouched, 1, -3);
    EXPECT_TRUE(testsupport::samePixel(untouched, Pixel{1, 2, 3, 4}));
}

// ---------------------------------------------------------------- full-size drawing

struct MonitorCase {
    const char *name;
    uint16_t monitorW, monitorH;
    int pictureW, pictureH;   // on the monitor after the aspect and fit
};

TEST_F(EditorStatics, FullPreviewIsCentredWithZeroFill)
{
    const MonitorCase cases[] = {
        {"exact fit: not rescaled", 36, 24, 36, 24},
        {"wider monitor: m is 1, centred across", 40, 24, 36, 24},
        {"narrower monitor: halved, centred down", 18, 24, 18, 12},
        {"taller monitor: fit across", 36, 30, 36, 24},
    };
    SourcePicture source(36, 12, 3);
    for (const MonitorCase &c : cases) {
        SCOPED_TRACE(c.name);
        hostrt::gui::resetGui();
        hostrt::gui::GuiSettings gui;
        gui.monitorWidth = c.monitorW;
        gui.monitorHeight = c.monitorH;
        gui.pixelAspect = 1000;
        hostrt::gui::setGuiSettings(gui);
        zv::monitorWidth = c.monitorW;
        zv::monitorHeight = c.monitorH;
        zv::videoWidth = 36;
        zv::videoHeight = 12;
        zv::pixelAspect = 1000;
        zv::outputPicture = &source.record;
        zv::showFullPreview(1);

        std::vector<Pixel> picture(size_t(c.pictureW) * size_t(c.pictureH));
        zv::scalePreview(36, 12, picture.data(), c.pictureW, c.pictureH);
        const int left = (c.monitorW - c.pictureW) / 2, top = (c.monitorH - c.pictureH) / 2;
        int wrong = 0;
        for (int y = 0; y < c.monitorH; ++y)
            for (int x = 0; x < c.monitorW; ++x) {
                Pixel got = hostrt::gui::overlayPixel(SurfaceId::Monitor, x, y);
                const bool inside = x >= left && x < left + c.pictureW && y >= top && y < top + c.pictureH;
                Pixel want = inside ? picture[size_t(y - top) * size_t(c.pictureW) + size_t(x - left)] : Pixel{0, 0, 0, 0};
                wrong += !testsupport::samePixel(got, want);
            }
        EXPECT_EQ(wrong, 0);
        // The pointer is kept out of the drawing.
        auto attrs = hostrt::gui::pointerState().attrCalls;
        ASSERT_EQ(attrs.size(), 2u);
        EXPECT_EQ(attrs[0], 2);
        EXPECT_EQ(attrs[1], 1);
    }
}

TEST_F(EditorStatics, FullPreviewAroundTheBackdropLeavesItsRectangleAlone)
{
    hostrt::gui::GuiSettings gui;
    gui.screenWidth = gui.monitorWidth = 40;
    gui.screenHeight = gui.monitorHeight = 24;
    hostrt::gui::setGuiSettings(gui);
    zv::monitorWidth = 40;
    zv::monitorHeight = 24;
    zv::videoWidth = 40;
    zv::videoHeight = 12;
    zv::pixelAspect = 1000;
    SourcePicture source(40, 12, 5);
    zv::outputPicture = &source.record;
    // A marker under everything, then the preview around a backdrop.
    const Pixel marker{9, 8, 7, 6};
    std::vector<Pixel> fill(40 * 24, marker);
    tgmxYUVAtoOvl(fill.data(), 0, 40 * 4, 0, 0, 40, 24);
    zv::backdropRect = {10, 6, 20, 8};
    zv::showFullPreview(0);
    std::vector<Pixel> picture(40 * 24);
    zv::scalePreview(40, 12, picture.data(), 40, 24);
    for (int y = 0; y < 24; ++y)
        for (int x = 0; x < 40; ++x) {
            const bool inBackdrop = x >= 10 && x < 30 && y >= 6 && y < 14;
            Pixel want = inBackdrop ? marker : picture[size_t(y) * 40 + size_t(x)];
            ASSERT_TRUE(testsupport::samePixel(hostrt::gui::overlayPixel(SurfaceId::Screen, x, y), want))
                << x << "," << y;
        }
}

TEST_F(EditorStatics, DrawingsOfNoSizeAreSkipped)
{
    SourcePicture source(36, 12, 3);
    zv::outputPicture = &source.record;
    zv::videoWidth = 36;
    zv::videoHeight = 12;
    zv::pixelAspect = 1000;
    zv::monitorWidth = 720;
    zv::monitorHeight = 576;
    auto nothingOnMonitor = [] {
        for (int y = 0; y < 576; y += 7)
            for (int x = 0; x < 720; x += 7)
                if (!testsupport::samePixel(hostrt::gui::overlayPixel(SurfaceId::Monitor, x, y), Pixel{0, 0, 0, 0}))
                    return false;
        return true;
    };
    // A monitor that reports no pixel aspect.
    hostrt::gui::GuiSettings gui;
    gui.pixelAspect = 0;
    hostrt::gui::setGuiSettings(gui);
    zv::showFullPreview(1);
    EXPECT_TRUE(nothingOnMonitor());

    // An embedded preview of negative size (a small screen) draws nothing
    // in the frame; with two monitors nothing goes to monitor 2 either.
    gui.pixelAspect = 1000;
    hostrt::gui::setGuiSettings(gui);
    zv::embeddedLayout = true;
    zv::dualMonitor = true;
    zv::previewFrame = {158, 6, 4, 4};
    zv::previewWidth = -4;
    zv::previewHeight = -4;
    const size_t attrCallsBefore = hostrt::gui::pointerState().attrCalls.size();
    zv::showPreview();
    EXPECT_TRUE(nothingOnMonitor());
    EXPECT_EQ(hostrt::gui::pointerState().attrCalls.size(), attrCallsBefore);

    // With one monitor the full-size copy is still drawn.
    zv::dualMonitor = false;
    zv::showPreview();
    EXPECT_FALSE(nothingOnMonitor());
}

// ---------------------------------------------------------------- mean colour

TEST_F(EditorStatics, MeanAreaColorClipsToThePicture)
{
    std::vector<Pixel> pixels(4 * 3);
    for (int i = 0; i < 12; ++i) pixels[size_t(i)] = Pixel{200, uint8_t(10 + i), uint8_t(100 + i), uint8_t(50 + 2 * i)};
    Picture picture{pixels.data(), 4, 3, 0, 0, 4, 3};
    zv::foregroundPicture = &picture;
    struct Case {
        const char *name;
        SettingsRect rect;
        Pixel want;
    };
    const Case cases[] = {
        {"one pixel", {1, 1, 1, 1}, Pixel{0, 15, 105, 60}},
        {"two pixels truncate", {0, 0, 2, 1}, Pixel{0, 10, 100, 51}},
        {"empty", {1, 1, 0, 3}, Pixel{0, 0, 0, 0}},
        {"negative size", {2, 2, -2, 1}, Pixel{0, 0, 0, 0}},
        // Only pixels (3,1) and (3,2) lie inside: their mean.
        {"reaching past the right and bottom", {3, 1, 10, 10}, Pixel{0, 19, 109, 68}},
        // Only pixel (0,0) lies inside.
        {"starting above and left", {-5, -5, 6, 6}, Pixel{0, 10, 100, 50}},
        {"wholly outside", {10, 10, 2, 2}, Pixel{0, 0, 0, 0}},
    };
    for (const Case &c : cases) {
        Pixel got{77, 77, 77, 77};
        zv::meanAreaColor(c.rect, got);
        EXPECT_TRUE(testsupport::samePixel(got, c.want))
            << c.name << ": " << int(got.alpha) << " " << int(got.v) << " " << int(got.u) << " " << int(got.y);
    }
    zv::foregroundPicture = nullptr;
    Pixel kept{1, 2, 3, 4};
    zv::meanAreaColor(SettingsRect{0, 0, 2, 2}, kept);
    EXPECT_TRUE(testsupport::samePixel(kept, Pixel{1, 2, 3, 4})) << "no foreground: the colour stays";
}

} // namespace
