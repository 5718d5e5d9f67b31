// The editor's main panels: the page, layout, frame and action panels with
// their gadgets, the mode panel, and the popup entry lists every popup is
// built from. The settings panel is in EditorSettingsPanel.cpp.
#include <cstdlib>
#include <cstring>
#include <iterator>

#include "EditorPanels.h"
#include "EditorRequests.h"

namespace zenvarth {

ListHeader *choiceList = nullptr;
ChoiceEntry *choiceEntries[MAX_CHOICES] = {};
void *(*choiceAllocator)(size_t bytes) = std::malloc;

namespace {

constexpr uint32_t PAGE_BUTTON_STATE = 0x20000;
constexpr uint16_t PAGE_BUTTON_NUMBER = 100;
constexpr uint32_t SLIDER_FLAGS = 0x130000;
constexpr uint32_t BOX_TEXT_FLAGS = 18;
constexpr int32_t NEW_GUI_COLOR = 1001;
constexpr int32_t GUI_MODE_NARROW = 3;
// The host version from which the host preview exists.
constexpr int32_t HOST_PREVIEW_VERSION = 4;

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

// The frame slider runs over the frames of the section; a section of one
// field has frame 0 only.
int32_t lastFrame()
{
    const uint32_t frames = sectionFrames();
    return frames == 0 ? 0 : int32_t(frames - 1);
}

// ---------------------------------------------------------------- main gadgets

enum class Look : uint8_t { OwnImage, GuiImage, Text, FrameSlider, ModePopup };
// The extension a gadget is created with; consecutive gadgets share one.
enum class Extension : uint8_t { None, PageNumber, FramesTime };
// Which layouts have the gadget: every one with the full panels, only the
// overlay layouts on monitor 2, or only with the host preview or a GUI
// mode's close button.
enum class Shown : uint8_t { Always, OnMonitor2, HostPreview, NarrowGui, WideGui };

// One gadget of the page, layout, frame, action or mode panel: where it
// stands, what it shows, its key and help text, and what its event does.
struct MainGadget {
    TgHandle *panel;
    TgHandle *handle;
    Look look;
    uint32_t picture;   // image or text id
    int16_t x, row, width;
    Extension extension;
    Shown shown;
    uint32_t key;
    uint32_t help;   // 0: none
    GadgetOutcome (*action)(int32_t value);
};

GadgetOutcome rendered(void (*act)())
{
    act();
    return GadgetOutcome::Render;
}

template <uint8_t Page>
GadgetOutcome choosePage(int32_t)
{
    settings.settingsPage = Page;
    buildModePanel();
    return GadgetOutcome::NoRender;
}

// Two buttons a row, three rows; the current page's button looks pressed.
template <uint8_t Page>
constexpr MainGadget pageGadget(uint32_t key)
{
    return {&pagePanel, &pageButton[Page], Look::OwnImage, IMAGE_PAGES[Page], Page % 2 ? 42 : 8, Page / 2 + 1,
            32, Extension::PageNumber, Shown::Always, key, STRING_HELP_PAGES[Page], choosePage<Page>};
}

// In the order they are created.
const MainGadget MAIN_GADGETS[] = {
    pageGadget<0>('b'),
    pageGadget<1>('a'),
    pageGadget<2>('s'),
    pageGadget<3>('w'),
    pageGadget<4>('f'),
    pageGadget<5>('m'),
    {&layoutPanel, &compactButton, Look::GuiImage, GUI_IMAGE_COMPACT, 8, 1, 32, Extension::None, Shown::OnMonitor2,
     'x', STRING_HELP_COMPACT, [](int32_t) { return rendered(toggleCompactLayout); }},
    {&layoutPanel, &panelPlaceButton, Look::GuiImage, GUI_IMAGE_PANEL_PLACE, 8, 2, 32, Extension::None,
     Shown::OnMonitor2, 'y', STRING_HELP_PANEL_PLACE, [](int32_t) { return rendered(togglePanelPlace); }},
    {&actionPanel, &previewButton, Look::Text, STRING_PREVIEW, 8, 1, 134, Extension::None, Shown::HostPreview,
     KEY_F1, 0, [](int32_t) { return rendered(runHostPreview); }},
    {&actionPanel, &presetsButton, Look::Text, STRING_PRESETS, 8, 2, 134, Extension::None, Shown::Always, 'r', 0,
     [](int32_t) {
         runPresetRequester();
         buildModePanel();
         markBusy();
         return GadgetOutcome::Render;
     }},
    {&actionPanel, &resetButton, Look::Text, STRING_RESET, 8, 3, 134, Extension::None, Shown::Always,
     KEY_SHIFT | KEY_DELETE, 0,
     [](int32_t) { return resetToDefaults() ? GadgetOutcome::Render : GadgetOutcome::NoRender; }},
    {&framePanel, &frameSlider, Look::FrameSlider, 0, 8, 1, 134, Extension::FramesTime, Shown::Always,
     KEY_SHIFT | 't', 0,
     [](int32_t value) {
         markBusy();
         settings.editorFrame = uint32_t(value);
         renderFieldNumber = 2 * uint32_t(value);
         fetchPictures(int32_t(2 * uint32_t(value)));
         return GadgetOutcome::Render;
     }},
    {&actionPanel, &closeButton, Look::GuiImage, GUI_IMAGE_NARROW_CLOSE, 110, 4, 32, Extension::None,
     Shown::NarrowGui, KEY_ALT | 'c', STRING_HELP_CLOSE, [](int32_t) { return GadgetOutcome::Close; }},
    {&actionPanel, &closeButton, Look::OwnImage, IMAGE_CLOSE, 102, 4, 40, Extension::None, Shown::WideGui,
     KEY_ALT | 'c', STRING_HELP_CLOSE, [](int32_t) { return GadgetOutcome::Close; }},
    {&actionPanel, &infoButton, Look::GuiImage, GUI_IMAGE_INFO, 8, 4, 32, Extension::None, Shown::Always, 'i', 0,
     [](int32_t) {
         showInformation(STRING_INFO);
         return GadgetOutcome::NoRender;
     }},
    // Built with the mode panel; renders itself where the mode changes the
    // picture.
    {&modePanel, &modePopup, Look::ModePopup, 0, 0, 0, 0, Extension::None, Shown::Always, '0', 0,
     [](int32_t value) {
         chooseMode(value & 0xFF);
         return GadgetOutcome::NoRender;
     }},
};

uint32_t keyOf(const TgHandle *handle)
{
    for (const MainGadget &g : MAIN_GADGETS)
        if (g.handle == handle) return g.key;
    return 0;
}

bool builtNow(const MainGadget &g, bool compact)
{
    if (g.look == Look::ModePopup) return false;
    if (compact) return g.panel == &layoutPanel;
    switch (g.shown) {
    case Shown::Always: return true;
    case Shown::OnMonitor2: return defaultMonitor == 2;
    case Shown::HostPreview: return opVersion(0) >= HOST_PREVIEW_VERSION;
    case Shown::NarrowGui: return guiMode == GUI_MODE_NARROW;
    case Shown::WideGui: return guiMode != GUI_MODE_NARROW;
    }
    return false;
}

TgHandle createMainGadget(const MainGadget &g, const GadgetExtension *ext)
{
    const TgHandle panel = *g.panel;
    const uint16_t x = u16(g.x), y = rowY(g.row), w = u16(g.width);
    switch (g.look) {
    case Look::OwnImage:
    case Look::GuiImage: {
        const Picture *picture = g.look == Look::OwnImage ? ownImage(g.picture) : hostGuiImage(g.picture);
        uint32_t state = 0;
        if (g.extension == Extension::PageNumber)
            state = PAGE_BUTTON_STATE | (g.handle - pageButton == settings.settingsPage ? IMAGE_PRESSED : 0);
        return tgAddImageButton(panel, x, y, w, gadgetHeight(), picture, state, ext);
    }
    case Look::Text: return tgAddTextButton(panel, x, y, w, gadgetHeight(), editorText(g.picture), 0, 0);
    case Look::FrameSlider:
        return tgAddSlider(panel, x, y, w, gadgetHeight(), 0, lastFrame(), int32_t(settings.editorFrame), nullptr,
                           nullptr, SLIDER_FLAGS, ext);
    case Look::ModePopup: break;
    }
    return 0;
}

// Creates the gadgets of the panels built now, in the table's order, then
// gives them their keys and help texts.
void buildMainGadgets(bool compact)
{
    Extension current = Extension::None;
    GadgetExtension *ext = nullptr;
    for (const MainGadget &g : MAIN_GADGETS) {
        if (!builtNow(g, compact)) continue;
        if (g.extension != current) {
            freeExtension(ext);
            current = g.extension;
            ext = current == Extension::PageNumber   ? pageButtonExtension()
                  : current == Extension::FramesTime ? framesTimeExtension()
                                                     : nullptr;
        }
        *g.handle = createMainGadget(g, ext);
    }
    freeExtension(ext);
    for (const MainGadget &g : MAIN_GADGETS)
        if (builtNow(g, compact)) setGadgetKey(*g.panel, *g.handle, g.key);
    for (const MainGadget &g : MAIN_GADGETS)
        if (builtNow(g, compact) && g.help) attachHelp(*g.panel, *g.handle, g.help);
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
    buildMainGadgets(true);
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

void addModePopup(uint32_t kind, const uint32_t *ids, size_t count, uint32_t selected,
                  uint32_t titleId)
{
    const void *labels[MAX_CHOICES];
    for (size_t i = 0; i < count; ++i) labels[i] = editorText(ids[i]);
    buildChoiceList(kind, labels, count);
    modePopup = tgAddPopup(modePanel, 178, 8, 202, gadgetHeight(), choiceList, selected,
                           editorText(titleId), 0, 0);
    setGadgetKey(modePanel, modePopup, keyOf(&modePopup));
    freeChoiceList();
}

} // namespace

void showInformation(uint32_t stringId)
{
    TextRequest request{};
    request.text = resGetString(stringSet, stringId);
    request.kind = TEXT_INFO;
    treqTextRequest(&request);
}

GadgetOutcome runMainGadget(TgHandle element, int32_t value)
{
    for (const MainGadget &g : MAIN_GADGETS)
        if (*g.handle != 0 && element == *g.handle) return g.action(value);
    return GadgetOutcome::NoGadget;
}

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
    buildMainGadgets(false);
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
