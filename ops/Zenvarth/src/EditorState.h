// The interactive editor's process-wide state: the handles it holds between
// opening and closing, the layout of its panels and preview, and every
// gadget handle the panel builders store and the event loop compares with
// the element of each gadget event. The render statics it shares with the
// passes (pictures, picture size, field number and count, matteDone) are in
// ZenvarthRender.h.
#pragma once

#include <cstdint>

#include "EditorIds.h"
#include "ZenvarthRender.h"
#include "contract/gui_calls.h"
#include "contract/helpers.h"
#include "contract/host_calls.h"

namespace zenvarth {

// ---------------------------------------------------------------- handles

extern TgHandle stringSet;          // resLoadStrings("zv_ops")
extern TgHandle imageSet;           // resLoadImages("zv_ops")
extern EditorRequest editorRequest; // the editor screen; .screen is the panels' parent
extern TgHandle messageQueue;       // msgQCreate(10, 44, 0)

// The eight panels; 0 = not built.
extern TgHandle backdropPanel;
extern TgHandle pagePanel;
extern TgHandle layoutPanel;
extern TgHandle modePanel;
extern TgHandle settingsPanel;
extern TgHandle framePanel;
extern TgHandle actionPanel;
extern TgHandle previewFramePanel;

// ---------------------------------------------------------------- layout

struct EditorRect {
    int32_t x;
    int32_t y;
    int32_t width;
    int32_t height;
};

// Index of each panel's rectangle in panelRect.
enum PanelSlot : int32_t {
    PAGE_SLOT = 0,
    LAYOUT_SLOT = 1,
    MODE_SLOT = 2,
    SETTINGS_SLOT = 3,
    FRAME_SLOT = 4,
    ACTION_SLOT = 5,
    PANEL_SLOTS = 6,
};

extern EditorRect panelRect[PANEL_SLOTS];
extern EditorRect previewFrame;     // previewFramePanel (embedded layout only)
extern int32_t previewWidth;        // drawn preview: frame size less 8
extern int32_t previewHeight;
extern EditorRect backdropRect;     // backdropPanel as buildPanels last placed it

extern bool busyShown;
extern int32_t compactLayout;       // 0/1; not saved, 0 at every opening
extern bool embeddedLayout;         // default monitor 1
extern bool dualMonitor;            // embedded layout with two monitors connected
extern int32_t defaultMonitor;      // tgGetDefaultMonitor() as read at opening
extern int32_t guiMode;             // tgGetGuiMode(), for the panel builders
extern uint16_t screenWidth;
extern uint16_t screenHeight;
extern uint16_t monitorWidth;       // monitor 2
extern uint16_t monitorHeight;
extern int16_t monitorVisibleLeft;  // monitor 2's visible area
extern int16_t monitorVisibleTop;
extern int16_t monitorVisibleRight;
extern int16_t monitorVisibleBottom;
extern int32_t videoWidth;          // a default-size host picture, read at opening
extern int32_t videoHeight;
extern int32_t pixelAspect;         // OperatorContext.verticalPermille; 1000 until opened

// ---------------------------------------------------------------- gadgets
// One handle per gadget, stored by the panel builders; never cleared, so a
// gadget that is not built keeps an old value (0 at load).

// Page, layout, frame and action panels; mode panel.
extern TgHandle pageButton[6];
extern TgHandle compactButton;
extern TgHandle panelPlaceButton;
extern TgHandle previewButton;
extern TgHandle presetsButton;
extern TgHandle resetButton;
extern TgHandle frameSlider;
extern TgHandle closeButton;
extern TgHandle infoButton;
extern TgHandle modePopup;

// Settings panel: buttons, boxes and colour buttons.
extern TgHandle sampleButton[4];    // keyers 1, 4, 5 and 6
extern TgHandle keyAreaButton;
extern TgHandle matteAreaButton;
extern TgHandle holeAreaButton;
extern TgHandle maskAreaButton;
extern TgHandle moveAreaButton;
extern TgHandle moveTargetButton;
extern TgHandle patternButton;
extern TgHandle wholePictureBox;
extern TgHandle maskEnabledBox;
extern TgHandle moveEnabledBox;
extern TgHandle glowColorButton;
extern TgHandle wipeEdgeColorButton;
extern TgHandle shadowColorButton;
extern TgHandle fadeInSlider;
extern TgHandle fadeOutSlider;

// Settings panel: gadgets bound to one byte of the settings, named after
// their field.
extern TgHandle colorTolerance;
extern TgHandle dominantChannel;
extern TgHandle dominanceLevel;
extern TgHandle dominanceThreshold;
extern TgHandle chromaTolerance;
extern TgHandle hueTolerance;
extern TgHandle lumaCenter;
extern TgHandle lumaWidth;
extern TgHandle lumaLevel;
extern TgHandle lumaKeyAbove;
extern TgHandle keyAreaInvert;
extern TgHandle hueLumaHueTolerance;
extern TgHandle hueLumaLumaTolerance;
extern TgHandle saturationCenter;
extern TgHandle saturationWidth;
extern TgHandle saturationLevel;
extern TgHandle saturationKeyAbove;
extern TgHandle blackLevel;
extern TgHandle edgeShrink;
extern TgHandle keyOpacity;
extern TgHandle glowSize;
extern TgHandle shadowDirection;
extern TgHandle shadowDistance;
extern TgHandle shadowSoftness;
extern TgHandle tintBrightness;
extern TgHandle wipeEdgeWidth;
extern TgHandle maskOutside;

// ---------------------------------------------------------------- operations

// Layout (EditorLayout.cpp).
void computeBaseLayout();
void finishLayout();

// Pictures (EditorPictures.cpp).

// The pictures the editor holds from one event to the next, owned for the
// one call that runs the editor: whatever path that call leaves by, they
// are released (with the pattern buffer) when this goes. While it lives,
// the render statics point at its pictures for the preview's passes.
struct HeldPictures {
    PictureHandle foreground, background, output;
    HeldPictures();
    ~HeldPictures();
    HeldPictures(const HeldPictures &) = delete;
    HeldPictures &operator=(const HeldPictures &) = delete;
};

int32_t fetchPictures(int32_t fieldNumber);
int32_t fetchForeground(int32_t fieldNumber);
// A new output picture of the field's size; when there is none the failure
// is logged at `failureLine`.
void allocateOutput(int32_t failureLine);
// Releases the held pictures and the pattern buffer.
void releasePictures();
void meanAreaColor(const SettingsRect &rect, Pixel &destination);
int32_t requestArea(RectParam *record);

// Preview (EditorPreview.cpp).
void renderPreview();
void showPreview();
void showFullPreview(int32_t toMonitor);
void scalePreview(int32_t sourceWidth, int32_t sourceHeight, Pixel *destination,
                  int32_t destinationWidth, int32_t destinationHeight);

// Opening, loop and closing (EditorLoop.cpp).
void openEditor();
void removePanels();
// Shows the busy pointer unless it already shows; the next renderPreview
// turns it back.
void markBusy();
// H: the number of frames of the section (renderFieldCount / 2).
uint32_t sectionFrames();
// Logs one editor failure (severity 4, the given line, Zenvarth's name and
// module code).
void logEditorFailure(int32_t line);

// Panel builders (EditorPanels*.cpp).
void buildPanels();
void buildModePanel();
void buildSettingsPanel();

// Presets and questions (Presets*.cpp).
void runPresetRequester();
// Asks `text` in the host's text requester with the kind word `kind`; true
// exactly when the answer word is 1 (yes).
bool askQuestion(const char *text, uint32_t kind);

} // namespace zenvarth
