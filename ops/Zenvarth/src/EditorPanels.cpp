// The editor's main panels: the page, layout, frame and action panels with
// their gadgets, the mode panel, and the popup entry lists every popup is
// built from. The settings panel is in EditorSettingsPanel.cpp.
#include <cstdlib>
#include <cstring>
#include <iterator>

#include "EditorPanels.h"

namespace zenvarth {

ListHeader *choiceList = nullptr;
ChoiceEntry *choiceEntries[MAX_CHOICES] = {};
void *(*choiceAllocator)(size_t bytes) = std::malloc;

namespace {

// Page button images, help texts and keys, for pages 0 to 5.
constexpr uint32_t PAGE_IMAGES[6] = {2101, 2102, 2103, 2104, 2105, 2106};
constexpr uint32_t PAGE_HELP[6] = {2800, 2801, 2802, 2803, 2804, 2805};
constexpr uint32_t PAGE_KEYS[6] = {'b', 'a', 's', 'w', 'f', 'm'};

constexpr uint32_t IMAGE_CLOSE = 2107;
constexpr uint32_t GUI_IMAGE_COMPACT = 43;
constexpr uint32_t GUI_IMAGE_PANEL_PLACE = 20;
constexpr uint32_t GUI_IMAGE_NARROW_CLOSE = 50;
constexpr uint32_t GUI_IMAGE_INFO = 69;

constexpr uint32_t KEY_PREVIEW = KEY_F1;
constexpr uint32_t KEY_PRESETS = 'r';
constexpr uint32_t KEY_RESET = KEY_SHIFT | KEY_DELETE;
constexpr uint32_t KEY_FRAME = KEY_SHIFT | 't';
constexpr uint32_t KEY_CLOSE = KEY_ALT | 'c';
constexpr uint32_t KEY_INFO = 'i';
constexpr uint32_t KEY_MODE = '0';
constexpr uint32_t KEY_COMPACT = 'x';
constexpr uint32_t KEY_PANEL_PLACE = 'y';

constexpr uint32_t PAGE_BUTTON_STATE = 0x20000;
constexpr uint16_t PAGE_BUTTON_NUMBER = 100;
constexpr uint32_t SLIDER_FLAGS = 0x130000;
constexpr uint32_t BOX_TEXT_FLAGS = 18;
constexpr int32_t NEW_GUI_COLOR = 1001;
constexpr int32_t GUI_MODE_NARROW = 3;
// The host version from which the host preview exists.
constexpr int32_t HOST_PREVIEW_VERSION = 4;

// Mode popups: entry i stands for the value i of the page's mode field.
constexpr uint32_t KEYER_NAMES[] = {2210, 2211, 2220, 2230, 2240, 2250,
                                    2270, 2260, 2265, 2280, 2285, 2290};
constexpr uint32_t EFFECT_NAMES[] = {2410, 2420, 2430, 2440, 2450};
// The move tool is value 0, so its text comes first.
constexpr uint32_t TOOL_NAMES[] = {2520, 2510};

constexpr uint32_t PAGE_TEXTS[3] = {2300, 2310, 2320};   // pages 1 to 3

constexpr uint16_t u16(int32_t v) { return uint16_t(v); }

int32_t roundUpTo4(int32_t v) { return (v + 3) & ~3; }
int32_t roundUpToEven(int32_t v) { return (v + 1) & ~1; }

// Extension for the page buttons: all fields 0 but the number.
GadgetExtension *pageButtonExtension()
{
    GadgetExtension *ext = tgAllocGadExt();
    if (ext) *ext = GadgetExtension{0, 0, nullptr, 0, nullptr, PAGE_BUTTON_NUMBER, 0, 0};
    return ext;
}

GadgetExtension *framesTimeExtension()
{
    GadgetExtension *ext = tgAllocGadExt();
    if (ext) *ext = GadgetExtension{0, 0, nullptr, 0, &tgSliderCallbackFramesTime, 0, 0, 0};
    return ext;
}

void freeExtension(GadgetExtension *ext)
{
    if (ext) tgFreeGadExt(ext);
}

TgHandle addImageButton(TgHandle panel, int32_t x, int32_t row, int32_t width,
                        const Picture *picture, uint32_t state, const GadgetExtension *ext)
{
    return tgAddImageButton(panel, u16(x), rowY(row), u16(width), gadgetHeight(), picture, state,
                            ext);
}

TgHandle addActionButton(int32_t row, uint32_t textId)
{
    return tgAddTextButton(actionPanel, 8, rowY(row), 134, gadgetHeight(), editorText(textId), 0,
                           0);
}

void addLayoutButtons()
{
    compactButton = addImageButton(layoutPanel, 8, 1, 32, hostGuiImage(GUI_IMAGE_COMPACT), 0,
                                   nullptr);
    panelPlaceButton = addImageButton(layoutPanel, 8, 2, 32,
                                      hostGuiImage(GUI_IMAGE_PANEL_PLACE), 0, nullptr);
}

void keyLayoutButtons()
{
    setGadgetKey(layoutPanel, compactButton, KEY_COMPACT);
    setGadgetKey(layoutPanel, panelPlaceButton, KEY_PANEL_PLACE);
}

void helpLayoutButtons()
{
    attachHelp(layoutPanel, compactButton, STRING_HELP_COMPACT);
    attachHelp(layoutPanel, panelPlaceButton, STRING_HELP_PANEL_PLACE);
}

// The compact layout: a small backdrop with the two layout buttons only,
// at the left of the visible area, above or below.
void buildCompactPanels()
{
    const EditorRect &page = panelRect[PAGE_SLOT];
    const EditorRect &layout = panelRect[LAYOUT_SLOT];
    const int32_t w = layout.width + 16;
    const int32_t h = layout.height + 16;
    const int32_t x = roundUpTo4(monitorVisibleLeft - 8);
    const int32_t y = roundUpToEven(
        (settings.panelAtTop ? monitorVisibleTop : monitorVisibleBottom - h) - 8);
    backdropRect = EditorRect{x, y, w, h};
    backdropPanel = tgCreatePanel(editorRequest.screen, u16(x), u16(y), u16(w), u16(h),
                                  PANEL_BACKDROP, 0, 0);
    // The layout panel takes the page panel's place at the top.
    EditorRect at = layout;
    at.y -= page.height + 10;
    layoutPanel = createPanel(backdropPanel, at, PANEL_NORMAL);
    tgSetColorYUV(tgGetNewGuiColorYUV(NEW_GUI_COLOR));
    addLayoutButtons();
    keyLayoutButtons();
    helpLayoutButtons();
}

// The backdrop of the full overlay layout, centred in the visible area,
// 8 pixels above its top or beyond its bottom.
void buildOverlayBackdrop()
{
    const int32_t w = panelRect[PAGE_SLOT].width + 36 + panelRect[MODE_SLOT].width +
                      panelRect[FRAME_SLOT].width;
    const int32_t h = panelRect[LAYOUT_SLOT].height + 26 + panelRect[PAGE_SLOT].height;
    const int32_t left = monitorVisibleLeft;
    const int32_t x = roundUpTo4(left + (monitorVisibleRight - left - w) / 2);
    const int32_t y =
        roundUpToEven(settings.panelAtTop ? monitorVisibleTop - 8 : monitorVisibleBottom - h + 8);
    backdropRect = EditorRect{x, y, w, h};
    backdropPanel = tgCreatePanel(editorRequest.screen, u16(x), u16(y), u16(w), u16(h),
                                  PANEL_BACKDROP, 0, 0);
}

// The frame slider runs over the frames of the section; a section of one
// field has frame 0 only.
int32_t lastFrame()
{
    const uint32_t frames = sectionFrames();
    return frames == 0 ? 0 : int32_t(frames - 1);
}

void addModePopup(uint32_t kind, const uint32_t *ids, size_t count, uint32_t selected,
                  uint32_t titleId)
{
    const void *labels[MAX_CHOICES];
    for (size_t i = 0; i < count; ++i) labels[i] = editorText(ids[i]);
    buildChoiceList(kind, labels, count);
    modePopup = tgAddPopup(modePanel, 178, 8, 202, gadgetHeight(), choiceList, selected,
                           editorText(titleId), 0, 0);
    setGadgetKey(modePanel, modePopup, KEY_MODE);
    freeChoiceList();
}

} // namespace

// ---------------------------------------------------------------- popup lists

void freeChoiceList()
{
    std::free(choiceList);
    choiceList = nullptr;
    for (ChoiceEntry *&entry : choiceEntries) {
        std::free(entry);
        entry = nullptr;
    }
}

bool buildChoiceList(uint32_t kind, const void *const *labels, size_t count)
{
    freeChoiceList();
    if (count > MAX_CHOICES) count = MAX_CHOICES;
    choiceList = static_cast<ListHeader *>(choiceAllocator(sizeof(ListHeader)));
    bool complete = choiceList != nullptr;
    for (size_t i = 0; complete && i < count; ++i) {
        choiceEntries[i] = static_cast<ChoiceEntry *>(choiceAllocator(sizeof(ChoiceEntry)));
        complete = choiceEntries[i] != nullptr;
    }
    if (!complete) {
        freeChoiceList();
        logEditorFailure(LINE_NO_CHOICE_LIST);
        return false;
    }
    std::memset(choiceList, 0, sizeof(ListHeader));
    lstInitList(choiceList);
    for (size_t i = 0; i < count; ++i) {
        ChoiceEntry *entry = choiceEntries[i];
        std::memset(entry, 0, sizeof(ChoiceEntry));
        entry->kind = kind;
        entry->label = labels[i];
        lstAppendNode(choiceList, &entry->node);
    }
    return true;
}

// ---------------------------------------------------------------- metric and helpers

int32_t rowMetric()
{
    return int16_t(tgGetFontHeightMonitor(tgGetDefaultMonitor()) + tgGetAddHeight());
}

uint16_t rowY(int32_t row)
{
    return u16(8 + (row - 1) * (rowMetric() + 8));
}

uint16_t gadgetHeight() { return u16(rowMetric() + 4); }

TgHandle panelParent() { return defaultMonitor == 2 ? backdropPanel : editorRequest.screen; }

TgHandle createPanel(TgHandle parent, const EditorRect &r, uint32_t flags)
{
    return tgCreatePanel(parent, u16(r.x), u16(r.y), u16(r.width), u16(r.height), flags, 0, 0);
}

const char *editorText(uint32_t id) { return resGetString(stringSet, id); }
const Picture *ownImage(uint32_t id) { return resGetImage(imageSet, id); }
const Picture *hostGuiImage(uint32_t id) { return resGetImage(tgGetGuiResource(), id); }

void setGadgetKey(TgHandle panel, TgHandle gadget, uint32_t key)
{
    tgChangeElement(panel, gadget, TAG_KEY, key, 0);
}

void attachHelp(TgHandle panel, TgHandle gadget, uint32_t id)
{
    if (!panel || !gadget) return;
    tgChangeElement(panel, gadget, TAG_HELP_SET, stringSet, 0);
    tgChangeElement(panel, gadget, TAG_HELP_ID, id, 0);
}

// ---------------------------------------------------------------- builders

void buildPanels()
{
    const bool onMonitor2 = defaultMonitor == 2;
    if (onMonitor2 && compactLayout) {
        buildCompactPanels();
        return;
    }

    TgHandle parent = editorRequest.screen;
    if (onMonitor2) {
        buildOverlayBackdrop();
        parent = backdropPanel;
        layoutPanel = createPanel(parent, panelRect[LAYOUT_SLOT], PANEL_NORMAL);
    } else if (embeddedLayout) {
        previewFramePanel = createPanel(parent, previewFrame, PANEL_FRAME);
    }
    pagePanel = createPanel(parent, panelRect[PAGE_SLOT], PANEL_NORMAL);
    framePanel = createPanel(parent, panelRect[FRAME_SLOT], PANEL_NORMAL);
    actionPanel = createPanel(parent, panelRect[ACTION_SLOT], PANEL_NORMAL);

    tgSetColorYUV(tgGetNewGuiColorYUV(NEW_GUI_COLOR));

    // Two buttons a row, three rows; the current page's button looks pressed.
    GadgetExtension *ext = pageButtonExtension();
    for (int32_t i = 0; i < 6; ++i) {
        const uint32_t state = PAGE_BUTTON_STATE | (settings.settingsPage == i ? IMAGE_PRESSED : 0);
        pageButton[i] = addImageButton(pagePanel, i % 2 ? 42 : 8, i / 2 + 1, 32,
                                       ownImage(PAGE_IMAGES[i]), state, ext);
    }
    freeExtension(ext);

    if (onMonitor2) addLayoutButtons();

    const bool hostPreview = opVersion(0) >= HOST_PREVIEW_VERSION;
    if (hostPreview) previewButton = addActionButton(1, STRING_PREVIEW);
    presetsButton = addActionButton(2, STRING_PRESETS);
    resetButton = addActionButton(3, STRING_RESET);

    for (int32_t i = 0; i < 6; ++i) setGadgetKey(pagePanel, pageButton[i], PAGE_KEYS[i]);
    if (onMonitor2) keyLayoutButtons();
    if (hostPreview) setGadgetKey(actionPanel, previewButton, KEY_PREVIEW);
    setGadgetKey(actionPanel, presetsButton, KEY_PRESETS);
    setGadgetKey(actionPanel, resetButton, KEY_RESET);

    ext = framesTimeExtension();
    frameSlider = tgAddSlider(framePanel, 8, rowY(1), 134, gadgetHeight(), 0, lastFrame(),
                              int32_t(settings.editorFrame), nullptr, nullptr, SLIDER_FLAGS, ext);
    setGadgetKey(framePanel, frameSlider, KEY_FRAME);
    freeExtension(ext);

    if (guiMode == GUI_MODE_NARROW)
        closeButton = addImageButton(actionPanel, 110, 4, 32,
                                     hostGuiImage(GUI_IMAGE_NARROW_CLOSE), 0, nullptr);
    else
        closeButton = addImageButton(actionPanel, 102, 4, 40, ownImage(IMAGE_CLOSE), 0, nullptr);
    infoButton = addImageButton(actionPanel, 8, 4, 32, hostGuiImage(GUI_IMAGE_INFO), 0, nullptr);
    setGadgetKey(actionPanel, closeButton, KEY_CLOSE);
    setGadgetKey(actionPanel, infoButton, KEY_INFO);

    for (int32_t i = 0; i < 6; ++i) attachHelp(pagePanel, pageButton[i], PAGE_HELP[i]);
    attachHelp(actionPanel, closeButton, STRING_HELP_CLOSE);
    if (onMonitor2) helpLayoutButtons();

    buildModePanel();
}

void buildModePanel()
{
    if (modePanel) {
        tgRemovePanel(modePanel);
        modePanel = 0;
    }
    modePanel = createPanel(panelParent(), panelRect[MODE_SLOT], PANEL_NORMAL);
    switch (settings.settingsPage) {
    case 0:
        addModePopup(CHOICE_TEXT, KEYER_NAMES, std::size(KEYER_NAMES), settings.keyerType,
                     STRING_KEYER_TITLE);
        break;
    case 1:
    case 2:
    case 3:
        tgBoxText(modePanel, editorText(PAGE_TEXTS[settings.settingsPage - 1]), 8, rowY(1), 340,
                  gadgetHeight(), BOX_TEXT_FLAGS);
        break;
    case 4:
        addModePopup(CHOICE_TEXT, EFFECT_NAMES, std::size(EFFECT_NAMES), settings.effectType,
                     STRING_EFFECT_TITLE);
        break;
    case 5:
        addModePopup(CHOICE_TEXT, TOOL_NAMES, std::size(TOOL_NAMES), settings.rectTool,
                     STRING_TOOL_TITLE);
        break;
    default:
        return;
    }
    buildSettingsPanel();
}

// ---------------------------------------------------------------- loop actions

void moveToLayoutButton(int32_t rowTop)
{
    const int32_t r = rowMetric();
    int32_t panelY = panelRect[LAYOUT_SLOT].y;
    if (compactLayout) panelY -= panelRect[PAGE_SLOT].height + 10;
    const int16_t x = int16_t(backdropRect.x + panelRect[LAYOUT_SLOT].x + 24);
    const int16_t y = int16_t(backdropRect.y + panelY + rowTop + (r + 4) / 2);
    tgMovePointer(x, y);
}

void togglePanelPlace()
{
    settings.panelAtTop = !settings.panelAtTop;
    removePanels();
    buildPanels();
    moveToLayoutButton(rowMetric() + 16);
}

void toggleCompactLayout()
{
    compactLayout = !compactLayout;
    removePanels();
    buildPanels();
    moveToLayoutButton(8);
}

} // namespace zenvarth
