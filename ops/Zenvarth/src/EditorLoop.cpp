// The interactive editor: its opening, the event loop that carries out each
// gadget event on the settings record and renders the preview again, and
// its closing. Everything it obtains in the opening is given back in the
// closing, on every path.
#include <cstring>

#include "EditorPanels.h"
#include "EditorRequests.h"
#include "EditorState.h"
#include "SettingsTable.h"

namespace zenvarth {

namespace {

constexpr int32_t LINE_NO_OUTPUT_AT_OPENING = 865;
// The host answered a default picture the layout cannot divide by.
constexpr int32_t LINE_NO_DEFAULT_SIZE = 858;

constexpr uint32_t STRING_TITLE = 2100;
constexpr uint32_t STRING_EMPTY_CLIP = 2702;
constexpr uint32_t STRING_INFO = 2704;

constexpr uint32_t REQUEST_FLAGS_EMBEDDED = 0x1021C0;
constexpr uint32_t REQUEST_FLAGS_OVERLAY = 0x102041;

// What the loop does after a gadget's row.
enum class RowOutcome {
    NoRow,      // the handle matches no row: nothing happens
    Render,     // render the preview again
    NoRender,   // the row says no render (or rendered itself)
};

void showInformation(uint32_t stringId)
{
    TextRequest request{};
    request.text = resGetString(stringSet, stringId);
    request.kind = TEXT_INFO;
    treqTextRequest(&request);
}

// The frame and the fades as the section allows them.
void clampFrameAndFades()
{
    const uint32_t frames = sectionFrames();
    if (settings.editorFrame >= frames) settings.editorFrame = 0;
    renderFieldNumber = 2 * settings.editorFrame;
    if (settings.fadeInFrames > frames) settings.fadeInFrames = uint16_t(frames);
    if (uint32_t(settings.fadeInFrames) + settings.fadeOutFrames >= frames)
        settings.fadeOutFrames = uint16_t(frames - settings.fadeInFrames);
}

void allocateOutput(int32_t failureLine)
{
    outputPicture = opAllocImage(-1, -1, 1, 0);
    if (!outputPicture) logEditorFailure(failureLine);
}

// Carries out the row of the gadget `element`; rows are tried in a fixed
// order and the first that matches is the one carried out.
RowOutcome runGadgetRow(TgHandle element, int32_t value)
{
    if (element == infoButton) {
        showInformation(STRING_INFO);
        return RowOutcome::NoRender;
    }
    if (element == panelPlaceButton) {
        togglePanelPlace();
        return RowOutcome::Render;
    }
    if (element == compactButton) {
        toggleCompactLayout();
        return RowOutcome::Render;
    }
    if (element == previewButton) {
        runHostPreview();
        return RowOutcome::Render;
    }
    if (element == patternButton) {
        choosePattern();
        return RowOutcome::Render;
    }
    if (element == fadeInSlider) {
        setFadeIn(value);
        return RowOutcome::Render;
    }
    if (element == fadeOutSlider) {
        setFadeOut(value);
        return RowOutcome::Render;
    }
    if (element == glowColorButton)
        return requestColor(settings.glowColor, element) ? RowOutcome::Render : RowOutcome::NoRender;
    if (element == wipeEdgeColorButton)
        return requestColor(settings.wipeEdgeColor, element) ? RowOutcome::Render : RowOutcome::NoRender;
    if (element == shadowColorButton)
        return requestColor(settings.shadowColor, element) ? RowOutcome::Render : RowOutcome::NoRender;
    if (element == wholePictureBox) {
        setWholePicture(value & 0xFF);
        return RowOutcome::Render;
    }
    if (element == presetsButton) {
        runPresetRequester();
        buildModePanel();
        markBusy();
        return RowOutcome::Render;
    }
    if (element == resetButton) return resetToDefaults() ? RowOutcome::Render : RowOutcome::NoRender;
    for (uint8_t page = 0; page < 6; ++page) {
        if (element != pageButton[page]) continue;
        settings.settingsPage = page;
        buildModePanel();
        return RowOutcome::NoRender;
    }
    if (element == frameSlider) {
        markBusy();
        settings.editorFrame = uint32_t(value);
        renderFieldNumber = 2 * uint32_t(value);
        fetchPictures(int32_t(2 * uint32_t(value)));
        return RowOutcome::Render;
    }
    if (element == modePopup) {
        // Renders itself where the mode changes the picture.
        chooseMode(value & 0xFF);
        return RowOutcome::NoRender;
    }
    if (setKeyerByte(element, value)) return RowOutcome::Render;
    for (TgHandle sample : sampleButton) {
        if (element != sample) continue;
        pickKeyColor();
        return RowOutcome::Render;
    }
    if (element == keyAreaButton) {
        requestAreaOf(settings.keyArea);
        return RowOutcome::Render;
    }
    if (element == matteAreaButton) {
        requestAreaOf(settings.matteArea);
        matteDone = false;
        return RowOutcome::Render;
    }
    if (element == holeAreaButton) {
        requestAreaOf(settings.holeArea);
        matteDone = false;
        return RowOutcome::Render;
    }
    if (element == maskEnabledBox) {
        setMaskEnabled(value & 0xFF);
        return RowOutcome::Render;
    }
    if (element == moveEnabledBox) {
        setMoveEnabled(value & 0xFF);
        return RowOutcome::Render;
    }
    if (element == maskAreaButton) {
        requestAreaOf(settings.maskArea);
        return RowOutcome::Render;
    }
    if (element == moveAreaButton) {
        requestMoveArea();
        return RowOutcome::Render;
    }
    if (element == moveTargetButton) {
        requestMoveTarget();
        return RowOutcome::Render;
    }
    if (setOtherByte(element, value)) return RowOutcome::Render;
    return RowOutcome::NoRow;
}

void runEventLoop()
{
    for (;;) {
        EditorMessage message{};
        const int32_t received = tgMsgQReceive(&message, -1);
        if (message.kind == MSG_CLOSE) return;
        // A receive that fails without an end message would otherwise
        // leave the editor spinning on a queue that no longer answers.
        if (received != 0) return;
        if (message.kind != MSG_GADGET) continue;
        const bool done = message.element == closeButton;
        if (runGadgetRow(message.element, message.value) == RowOutcome::Render) renderPreview();
        if (done) return;
    }
}

// Closing from step 4 on: what every opening obtained before its screen.
void freeResources()
{
    resFreeImages(imageSet);
    resFreeStrings(stringSet);
    imageSet = 0;
    stringSet = 0;
    releasePictures();
}

void closeEditor()
{
    removePanels();
    if (embeddedLayout && !dualMonitor) tgColorBarOn();
    treqDeleteRequest(&editorRequest);
    freeResources();
}

} // namespace

uint32_t sectionFrames() { return renderFieldCount / 2; }

void markBusy()
{
    if (busyShown) return;
    tgBusyPointer();
    busyShown = true;
}

void removePanels()
{
    TgHandle *panels[] = {&pagePanel,     &layoutPanel, &modePanel,     &settingsPanel,
                          &framePanel,    &actionPanel, &backdropPanel, &previewFramePanel};
    for (TgHandle *panel : panels)
        if (*panel != 0) tgRemovePanel(*panel);
    for (TgHandle *panel : panels) *panel = 0;
}

void openEditor()
{
    const OperatorContext *ctx = renderContext;
    stringSet = resLoadStrings("zv_ops");
    imageSet = resLoadImages("zv_ops");

    TgHandle *panels[] = {&backdropPanel, &pagePanel,   &layoutPanel, &modePanel,
                          &settingsPanel, &framePanel,  &actionPanel, &previewFramePanel};
    for (TgHandle *panel : panels) *panel = 0;
    // Pictures of an earlier call are the host's again; the pattern buffer
    // is ours and is freed rather than forgotten.
    foregroundPicture = nullptr;
    backgroundPicture = nullptr;
    outputPicture = nullptr;
    freePattern();
    compactLayout = 0;
    busyShown = false;
    pixelAspect = ctx ? ctx->verticalPermille : 1000;
    renderFieldCount = ctx ? ctx->fieldCount : 0;

    if (renderFieldCount == 0) {
        showInformation(STRING_EMPTY_CLIP);
        freeResources();
        return;
    }

    matteDone = false;
    screenWidth = tgGetScreenWidth();
    screenHeight = tgGetScreenHeight();
    tgGetVisibleAreaMonitor(&monitorVisibleLeft, &monitorVisibleTop, &monitorVisibleRight, &monitorVisibleBottom,
                            2);
    monitorWidth = tgGetScreenWidthMonitor(2);
    monitorHeight = tgGetScreenHeightMonitor(2);
    defaultMonitor = tgGetDefaultMonitor();
    embeddedLayout = defaultMonitor == 1;
    if (embeddedLayout) dualMonitor = tgGetConnectedMonitors() == 2;

    computeBaseLayout();

    std::memset(&editorRequest, 0, sizeof editorRequest);
    editorRequest.width = screenWidth;
    editorRequest.height = screenHeight;
    editorRequest.flags = embeddedLayout ? REQUEST_FLAGS_EMBEDDED : REQUEST_FLAGS_OVERLAY;
    editorRequest.title = resGetString(stringSet, STRING_TITLE);
    messageQueue = msgQCreate(10, MSG_SIZE, 0);
    editorRequest.messageQueue = messageQueue;

    Picture *standard = opAllocImage(0, 0, 1, 0);
    videoWidth = standard ? standard->bufferWidth : 0;
    videoHeight = standard ? standard->bufferHeight : 0;
    if (standard) opFreeImage(standard);
    // The layout and the preview divide by these.
    if (videoWidth <= 0 || videoHeight <= 0 || pixelAspect == 0) {
        logEditorFailure(LINE_NO_DEFAULT_SIZE);
        freeResources();
        return;
    }

    finishLayout();
    clampFrameAndFades();

    if (treqCreateRequest(&editorRequest) != 0) {
        freeResources();
        return;
    }
    guiMode = tgGetGuiMode();
    tgSetColorYUV(tgGetGuiColorYUV(10));
    buildPanels();
    allocateOutput(LINE_NO_OUTPUT_AT_OPENING);
    markBusy();
    if (embeddedLayout && !dualMonitor) tgColorBarOff();
    fetchPictures(int32_t(2 * settings.editorFrame));
    loadPattern();
    renderPreview();

    runEventLoop();
    closeEditor();
}

} // namespace zenvarth
