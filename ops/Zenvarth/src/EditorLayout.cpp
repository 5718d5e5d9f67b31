// The editor's panel geometry: six panels in three columns, placed either
// under a preview frame on the editor's own screen (embedded layout) or
// over the full-size preview (overlay layouts).
#include "EditorState.h"

namespace zenvarth {

namespace {

// Height of one gadget row: the font of the default monitor and the extra
// height the GUI adds, both 16-bit.
int32_t rowMetric()
{
    return int16_t(tgGetFontHeightMonitor(tgGetDefaultMonitor()) + tgGetAddHeight());
}

constexpr int32_t BLOCK_WIDTH = 640;

int32_t evenFloor(int32_t v) { return v & ~int32_t(1); }

// 32-bit products that wrap like the machine words of the rule instead of
// overflowing into undefined behaviour.
int32_t mul32(int32_t a, int32_t b) { return int32_t(uint32_t(int64_t(a) * int64_t(b))); }
int32_t div32(int32_t a, int32_t b) { return b == 0 ? 0 : int32_t(int64_t(a) / b); }

} // namespace

void computeBaseLayout()
{
    const int32_t r = rowMetric();
    panelRect[PAGE_SLOT] = {0, 0, 82, 3 * r + 36};
    panelRect[LAYOUT_SLOT] = {0, 3 * r + 46, 48, 2 * r + 28};
    panelRect[MODE_SLOT] = {92, 0, 388, r + 20};
    panelRect[SETTINGS_SLOT] = {92, r + 30, 388, 4 * r + 44};
    panelRect[FRAME_SLOT] = {490, 0, 150, r + 20};
    panelRect[ACTION_SLOT] = {490, r + 30, 150, 4 * r + 44};
}

// Needs videoWidth, videoHeight and pixelAspect non-zero in the embedded
// layout; the opening checks them before it gets here.
void finishLayout()
{
    if (!embeddedLayout) {
        for (EditorRect &rect : panelRect) {
            rect.x += 8;
            rect.y += 8;
        }
        previewFrame = {};
        previewWidth = 0;
        previewHeight = 0;
        return;
    }
    const int32_t r = rowMetric();
    const int32_t sw = screenWidth;
    const int32_t sh = screenHeight;
    const int32_t x0 = (sw - BLOCK_WIDTH) / 2;
    int32_t offset = sh - (4 * r + 44) - (r + 20) - 16;

    int32_t frameHeight = evenFloor(offset - 11);
    int32_t frameY = 6;
    int32_t frameWidth = 0;
    if (videoWidth != 0 && videoHeight != 0 && pixelAspect != 0) {
        frameWidth = evenFloor(
            div32(mul32(div32(mul32(frameHeight - 8, videoWidth), mul32(2, videoHeight)), 1000), pixelAspect) + 9);
        if (frameWidth >= sw) {
            frameWidth = sw;
            frameHeight = evenFloor(
                div32(mul32(div32(mul32(mul32(frameWidth - 8, videoHeight), 2), videoWidth), pixelAspect), 1000) + 9);
            const int32_t n = (offset - frameHeight - 12) / 2;
            frameY = n + 6;
            offset -= n;
        }
    }
    previewFrame = {(sw - frameWidth) / 2, frameY, frameWidth, frameHeight};
    previewWidth = frameWidth - 8;
    previewHeight = frameHeight - 8;
    for (EditorRect &rect : panelRect) {
        rect.x += x0;
        rect.y += offset;
    }
}

} // namespace zenvarth
