// The interactive editor: its opening, the event loop that carries out each
// gadget event on the settings record and renders the preview again, and
// its closing. Everything it obtains in the opening is given back in the
// closing, on every path.
#include <cstring>

#include "EditorPanels.h"
#include "EditorRequests.h"
#include "EditorState.h"
#include "SettingsTable.h"
#include "contract/helpers.h"

namespace zenvarth {

namespace {

constexpr uint32_t REQUEST_FLAGS_EMBEDDED = 0x1021C0;
constexpr uint32_t REQUEST_FLAGS_OVERLAY = 0x102041;

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
        GadgetOutcome outcome = runMainGadget(message.element, message.value);
        if (outcome == GadgetOutcome::NoGadget) outcome = runSettingsGadget(message.element, message.value);
        if (outcome == GadgetOutcome::Close) return;
        if (outcome == GadgetOutcome::Render) renderPreview();
    }
}

// Closing from step 4 on: what every opening obtained before its screen
// (the held pictures go when the opening's holder does).
void freeResources()
{
    resFreeImages(imageSet);
    resFreeStrings(stringSet);
    imageSet = 0;
    stringSet = 0;
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
    const HeldPictures pictures;
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

    {
        const PictureHandle standard(opAllocImage(0, 0, 1, 0));
        videoWidth = standard ? standard->bufferWidth : 0;
        videoHeight = standard ? standard->bufferHeight : 0;
    }
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
