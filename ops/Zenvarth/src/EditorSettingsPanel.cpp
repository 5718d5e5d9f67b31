// The settings panel: one gadget a row for each setting the current page
// offers (and within the keyer, effect and tool pages, the chosen mode's),
// each showing its field's value; and what the events of these gadgets do
// to the settings and to the panel.
#include <array>
#include <cstddef>
#include <iterator>

#include "EditorPanels.h"

namespace zenvarth {

namespace {

using S = ZenvarthSettings;

enum class Kind : uint8_t { None, TextButton, Slider, Popup, CheckBox, Palette };

// When a gadget is created disabled: its enabling box is off.
enum class Disabled : uint8_t { Never, WhenWholePicture, UnlessMoveEnabled, UnlessMaskEnabled };

// A slider whose maximum is the section's frame count.
constexpr int32_t MAX_SECTION_FRAMES = -1;

struct SettingsGadget {
    Kind kind = Kind::None;
    TgHandle *handle = nullptr;
    uint32_t text = 0;   // button text, slider label, popup title, box text, palette label
    // The field shown: a byte, a 16-bit fade length or a colour.
    uint8_t S::*byteField = nullptr;
    uint16_t S::*wordField = nullptr;
    Pixel S::*colorField = nullptr;
    int32_t maximum = 0;
    uint32_t unit = 0;
    const uint32_t *entries = nullptr;
    uint8_t entryCount = 0;
    bool pictureEntries = false;
    Disabled disabled = Disabled::Never;
    int16_t yShift = 0;
};

using PageRows = std::array<SettingsGadget, 4>;

constexpr uint32_t UNIT_PERCENT = 750;
constexpr uint32_t UNIT_PIXELS = 752;
constexpr uint32_t SLIDER_FLAGS = 0x130000;

// A gadget of `kind` on handle `h` with its text; the builders below add
// what each kind shows.
constexpr SettingsGadget gadget(Kind kind, TgHandle *h, uint32_t text)
{
    SettingsGadget g;
    g.kind = kind;
    g.handle = h;
    g.text = text;
    return g;
}

constexpr SettingsGadget button(TgHandle *h, uint32_t text, Disabled d = Disabled::Never)
{
    SettingsGadget g = gadget(Kind::TextButton, h, text);
    g.disabled = d;
    return g;
}

constexpr SettingsGadget slider(TgHandle *h, uint8_t S::*field, int32_t maximum, uint32_t label,
                                uint32_t unit)
{
    SettingsGadget g = gadget(Kind::Slider, h, label);
    g.byteField = field;
    g.maximum = maximum;
    g.unit = unit;
    return g;
}

constexpr SettingsGadget fadeSlider(TgHandle *h, uint16_t S::*field, uint32_t label)
{
    SettingsGadget g = gadget(Kind::Slider, h, label);
    g.wordField = field;
    g.maximum = MAX_SECTION_FRAMES;
    return g;
}

template <size_t N>
constexpr SettingsGadget popup(TgHandle *h, uint8_t S::*field, const uint32_t (&entries)[N],
                               uint32_t title, Disabled d = Disabled::Never)
{
    static_assert(N <= MAX_CHOICES);
    SettingsGadget g = gadget(Kind::Popup, h, title);
    g.byteField = field;
    g.entries = entries;
    g.entryCount = uint8_t(N);
    g.disabled = d;
    return g;
}

constexpr SettingsGadget checkBox(TgHandle *h, uint8_t S::*field, uint32_t text)
{
    SettingsGadget g = gadget(Kind::CheckBox, h, text);
    g.byteField = field;
    return g;
}

constexpr SettingsGadget palette(TgHandle *h, Pixel S::*field, uint32_t label)
{
    SettingsGadget g = gadget(Kind::Palette, h, label);
    g.colorField = field;
    return g;
}

constexpr SettingsGadget shifted(SettingsGadget g, int16_t dy)
{
    g.yShift = dy;
    return g;
}

constexpr SettingsGadget withPictures(SettingsGadget g)
{
    g.pictureEntries = true;
    return g;
}

constexpr uint32_t SAMPLE_AREA_TEXT = 2221;
constexpr uint32_t TOLERANCE_LABEL = 420;
constexpr uint32_t INSIDE_OUTSIDE[] = {511, 512};
constexpr uint32_t SIDE_TITLE = 510;
constexpr uint32_t CHANNELS[] = {411, 412, 413};
constexpr uint32_t BELOW_ABOVE[] = {1131, 1132};
constexpr uint32_t KEY_WHEN_TITLE = 1130;
constexpr uint32_t LEVEL_LABEL = 1110;
constexpr uint32_t WIDTH_LABEL = 920;
constexpr uint32_t COLOUR_LABEL = 1832;
constexpr uint32_t ENABLED_TEXT = 2700;
// Host GUI pictures of the eight shadow directions, for the values 0 to 7.
constexpr uint32_t DIRECTION_PICTURES[] = {21, 22, 23, 24, 25, 26, 27, 28};

// Page 0, by keyerType.
constexpr PageRows KEYER_ROWS[12] = {
    {},
    {button(&sampleButton[0], SAMPLE_AREA_TEXT),
     slider(&colorTolerance, &S::colorTolerance, 100, TOLERANCE_LABEL, UNIT_PERCENT)},
    {button(&keyAreaButton, SAMPLE_AREA_TEXT),
     shifted(popup(&keyAreaInvert, &S::keyAreaInvert, INSIDE_OUTSIDE, SIDE_TITLE), 2)},
    {popup(&dominantChannel, &S::dominantChannel, CHANNELS, 410),
     slider(&dominanceLevel, &S::dominanceLevel, 100, TOLERANCE_LABEL, UNIT_PERCENT),
     slider(&dominanceThreshold, &S::dominanceThreshold, 100, 2600, UNIT_PERCENT)},
    {button(&sampleButton[1], SAMPLE_AREA_TEXT),
     slider(&chromaTolerance, &S::chromaTolerance, 100, TOLERANCE_LABEL, UNIT_PERCENT)},
    {button(&sampleButton[2], SAMPLE_AREA_TEXT),
     slider(&hueTolerance, &S::hueTolerance, 100, TOLERANCE_LABEL, UNIT_PERCENT)},
    {button(&sampleButton[3], 301),
     slider(&hueLumaHueTolerance, &S::hueLumaHueTolerance, 100, 303, UNIT_PERCENT),
     slider(&hueLumaLumaTolerance, &S::hueLumaLumaTolerance, 100, 304, UNIT_PERCENT)},
    {slider(&lumaCenter, &S::lumaCenter, 100, 910, UNIT_PERCENT),
     slider(&lumaWidth, &S::lumaWidth, 100, WIDTH_LABEL, UNIT_PERCENT)},
    {slider(&lumaLevel, &S::lumaLevel, 100, LEVEL_LABEL, UNIT_PERCENT),
     popup(&lumaKeyAbove, &S::lumaKeyAbove, BELOW_ABOVE, KEY_WHEN_TITLE)},
    {slider(&saturationCenter, &S::saturationCenter, 100, 2281, UNIT_PERCENT),
     slider(&saturationWidth, &S::saturationWidth, 100, WIDTH_LABEL, UNIT_PERCENT)},
    {slider(&saturationLevel, &S::saturationLevel, 100, LEVEL_LABEL, UNIT_PERCENT),
     popup(&saturationKeyAbove, &S::saturationKeyAbove, BELOW_ABOVE, KEY_WHEN_TITLE)},
    {slider(&blackLevel, &S::blackLevel, 50, TOLERANCE_LABEL, UNIT_PERCENT)},
};

// Pages 1 to 3.
constexpr PageRows MATTE_ROWS = {
    checkBox(&wholePictureBox, &S::wholePicture, 2701),
    button(&matteAreaButton, 1221, Disabled::WhenWholePicture),
    button(&holeAreaButton, 1222, Disabled::WhenWholePicture),
};
constexpr PageRows EDGE_ROWS = {
    slider(&edgeShrink, &S::edgeShrink, 30, 1030, UNIT_PIXELS),
    slider(&keyOpacity, &S::keyOpacity, 100, 1040, UNIT_PERCENT),
};
constexpr PageRows FADE_ROWS = {
    fadeSlider(&fadeInSlider, &S::fadeInFrames, 1236),
    fadeSlider(&fadeOutSlider, &S::fadeOutFrames, 1237),
};

// Page 4, by effectType.
constexpr PageRows EFFECT_ROWS[5] = {
    {},
    {palette(&glowColorButton, &S::glowColor, COLOUR_LABEL),
     slider(&glowSize, &S::glowSize, 30, 1440, UNIT_PIXELS)},
    {palette(&shadowColorButton, &S::shadowColor, 1331),
     withPictures(popup(&shadowDirection, &S::shadowDirection, DIRECTION_PICTURES, 1332)),
     slider(&shadowDistance, &S::shadowDistance, 100, 1333, UNIT_PERCENT),
     slider(&shadowSoftness, &S::shadowSoftness, 30, 1334, UNIT_PIXELS)},
    {slider(&tintBrightness, &S::tintBrightness, 200, 1930, UNIT_PERCENT)},
    {button(&patternButton, 1831),
     palette(&wipeEdgeColorButton, &S::wipeEdgeColor, COLOUR_LABEL),
     slider(&wipeEdgeWidth, &S::wipeEdgeWidth, 30, 1833, UNIT_PIXELS)},
};

// Page 5, by rectTool.
constexpr PageRows TOOL_ROWS[2] = {
    {checkBox(&moveEnabledBox, &S::moveEnabled, ENABLED_TEXT),
     button(&moveAreaButton, 610, Disabled::UnlessMoveEnabled),
     button(&moveTargetButton, 620, Disabled::UnlessMoveEnabled)},
    {checkBox(&maskEnabledBox, &S::maskEnabled, ENABLED_TEXT),
     popup(&maskOutside, &S::maskOutside, INSIDE_OUTSIDE, SIDE_TITLE,
           Disabled::UnlessMaskEnabled),
     button(&maskAreaButton, 520, Disabled::UnlessMaskEnabled)},
};

// The rows of the current page and mode; null for a page or mode without
// gadgets.
const PageRows *currentRows()
{
    switch (settings.settingsPage) {
    case 0:
        return settings.keyerType < std::size(KEYER_ROWS) ? &KEYER_ROWS[settings.keyerType]
                                                           : nullptr;
    case 1: return &MATTE_ROWS;
    case 2: return &EDGE_ROWS;
    case 3: return &FADE_ROWS;
    case 4:
        return settings.effectType < std::size(EFFECT_ROWS) ? &EFFECT_ROWS[settings.effectType]
                                                             : nullptr;
    case 5:
        return settings.rectTool < std::size(TOOL_ROWS) ? &TOOL_ROWS[settings.rectTool] : nullptr;
    default: return nullptr;
    }
}

bool createdDisabled(Disabled d)
{
    switch (d) {
    case Disabled::WhenWholePicture: return settings.wholePicture != 0;
    case Disabled::UnlessMoveEnabled: return settings.moveEnabled == 0;
    case Disabled::UnlessMaskEnabled: return settings.maskEnabled == 0;
    case Disabled::Never: break;
    }
    return false;
}

uint32_t shownValue(const SettingsGadget &g)
{
    if (g.byteField) return settings.*g.byteField;
    if (g.wordField) return settings.*g.wordField;
    if (g.colorField) return pixelWord(settings.*g.colorField);
    return 0;
}

// The one extension of a page: the check box's text, or the fade sliders'
// frames-and-time formatter. All its other fields are 0.
GadgetExtension *pageExtension(const PageRows &rows)
{
    for (const SettingsGadget &g : rows) {
        const bool checkBoxText = g.kind == Kind::CheckBox;
        const bool framesTime = g.kind == Kind::Slider && g.wordField;
        if (!checkBoxText && !framesTime) continue;
        GadgetExtension *ext = tgAllocGadExt();
        if (ext)
            *ext = GadgetExtension{0, 0, checkBoxText ? editorText(g.text) : nullptr, 0,
                                   framesTime ? &tgSliderCallbackFramesTime : nullptr, 0, 0, 0};
        return ext;
    }
    return nullptr;
}

bool buildRowList(const PageRows &rows)
{
    for (const SettingsGadget &g : rows) {
        if (g.kind != Kind::Popup) continue;
        const void *labels[MAX_CHOICES];
        for (size_t i = 0; i < g.entryCount; ++i)
            labels[i] = g.pictureEntries ? static_cast<const void *>(hostGuiImage(g.entries[i]))
                                         : static_cast<const void *>(editorText(g.entries[i]));
        buildChoiceList(g.pictureEntries ? CHOICE_PICTURE : CHOICE_TEXT, labels, g.entryCount);
        return true;
    }
    return false;
}

TgHandle createGadget(const SettingsGadget &g, int32_t row, const GadgetExtension *ext)
{
    const uint16_t y = uint16_t(rowY(row) + g.yShift);
    const uint16_t h = gadgetHeight();
    const uint32_t flags = createdDisabled(g.disabled) ? GADGET_DISABLED : 0;
    switch (g.kind) {
    case Kind::TextButton:
        return tgAddTextButton(settingsPanel, 8, y, 372, h, editorText(g.text), flags, 0);
    case Kind::Slider: {
        const int32_t maximum =
            g.maximum == MAX_SECTION_FRAMES ? int32_t(sectionFrames()) : g.maximum;
        return tgAddSlider(settingsPanel, 178, y, 202, h, 0, maximum, int32_t(shownValue(g)),
                           editorText(g.text), g.unit ? editorText(g.unit) : nullptr, SLIDER_FLAGS,
                           g.wordField ? ext : nullptr);
    }
    case Kind::Popup:
        return tgAddPopup(settingsPanel, 178, y, 202, h, choiceList, shownValue(g),
                          editorText(g.text), flags, 0);
    case Kind::CheckBox:
        return tgAddCheckBox(settingsPanel, 178, y, 32, h, shownValue(g), 0, ext);
    case Kind::Palette:
        return tgAddPaletteButton(settingsPanel, 178, y, 66, h, editorText(g.text), shownValue(g),
                                  0, 0);
    case Kind::None: break;
    }
    return 0;
}

// The gadgets bound to one byte of the settings, in the order the event
// loop tries them.
struct ByteGadget {
    TgHandle *handle;
    uint8_t S::*field;
};

constexpr ByteGadget KEYER_BYTES[] = {
    {&colorTolerance, &S::colorTolerance},   {&dominantChannel, &S::dominantChannel},
    {&dominanceLevel, &S::dominanceLevel},   {&dominanceThreshold, &S::dominanceThreshold},
    {&chromaTolerance, &S::chromaTolerance}, {&hueTolerance, &S::hueTolerance},
    {&lumaCenter, &S::lumaCenter},           {&lumaWidth, &S::lumaWidth},
    {&lumaLevel, &S::lumaLevel},             {&lumaKeyAbove, &S::lumaKeyAbove},
};

constexpr ByteGadget OTHER_BYTES[] = {
    {&keyAreaInvert, &S::keyAreaInvert},
    {&hueLumaHueTolerance, &S::hueLumaHueTolerance},
    {&hueLumaLumaTolerance, &S::hueLumaLumaTolerance},
    {&saturationCenter, &S::saturationCenter},
    {&saturationWidth, &S::saturationWidth},
    {&saturationLevel, &S::saturationLevel},
    {&saturationKeyAbove, &S::saturationKeyAbove},
    {&blackLevel, &S::blackLevel},
    {&edgeShrink, &S::edgeShrink},
    {&keyOpacity, &S::keyOpacity},
    {&glowSize, &S::glowSize},
    {&shadowDirection, &S::shadowDirection},
    {&shadowDistance, &S::shadowDistance},
    {&shadowSoftness, &S::shadowSoftness},
    {&tintBrightness, &S::tintBrightness},
    {&wipeEdgeWidth, &S::wipeEdgeWidth},
    {&maskOutside, &S::maskOutside},
};

template <size_t N>
bool setBoundByte(const ByteGadget (&table)[N], TgHandle element, int32_t value)
{
    for (const ByteGadget &b : table) {
        if (element != *b.handle) continue;
        settings.*b.field = uint8_t(value);
        return true;
    }
    return false;
}

// Both fades fit in the section: the one that moved is held to 0..H (and
// to its 16 bits), and the other gives way when the sum passes H.
void setFade(uint16_t &moved, uint16_t &other, TgHandle otherSlider, int32_t value)
{
    const uint32_t frames = sectionFrames();
    uint32_t v = value < 0 ? 0 : uint32_t(value);
    if (v > frames) v = frames;
    if (v > 0xFFFF) v = 0xFFFF;
    moved = uint16_t(v);
    if (uint32_t(moved) + other > frames) {
        other = uint16_t(frames - v);
        tgChangeElement(settingsPanel, otherSlider, TAG_VALUE, other, 1);
    }
}

void enableBoth(bool enable, TgHandle first, TgHandle second)
{
    if (enable) {
        tgEnableElement(settingsPanel, first);
        tgEnableElement(settingsPanel, second);
    } else {
        tgDisableElement(settingsPanel, first);
        tgDisableElement(settingsPanel, second);
    }
}

} // namespace

void buildSettingsPanel()
{
    if (settingsPanel) {
        tgRemovePanel(settingsPanel);
        settingsPanel = 0;
    }
    settingsPanel = createPanel(panelParent(), panelRect[SETTINGS_SLOT], PANEL_NORMAL);
    const PageRows *rows = currentRows();
    if (!rows) return;

    const bool listBuilt = buildRowList(*rows);
    GadgetExtension *ext = pageExtension(*rows);
    int32_t row = 0;
    for (const SettingsGadget &g : *rows) {
        ++row;
        if (g.kind != Kind::None) *g.handle = createGadget(g, row, ext);
    }
    row = 0;
    for (const SettingsGadget &g : *rows) {
        ++row;
        if (g.kind != Kind::None) setGadgetKey(settingsPanel, *g.handle, uint32_t('0' + row));
    }
    if (ext) tgFreeGadExt(ext);
    if (listBuilt) freeChoiceList();
}

void setFadeIn(int32_t value)
{
    setFade(settings.fadeInFrames, settings.fadeOutFrames, fadeOutSlider, value);
}

void setFadeOut(int32_t value)
{
    setFade(settings.fadeOutFrames, settings.fadeInFrames, fadeInSlider, value);
}

void setWholePicture(int32_t value)
{
    settings.wholePicture = uint8_t(value);
    enableBoth(settings.wholePicture != 1, matteAreaButton, holeAreaButton);
    matteDone = false;
}

void setMaskEnabled(int32_t value)
{
    settings.maskEnabled = uint8_t(value);
    enableBoth(settings.maskEnabled != 0, maskOutside, maskAreaButton);
}

void setMoveEnabled(int32_t value)
{
    settings.moveEnabled = uint8_t(value);
    enableBoth(settings.moveEnabled != 0, moveAreaButton, moveTargetButton);
}

void chooseMode(int32_t value)
{
    switch (settings.settingsPage) {
    case 0:
        settings.keyerType = uint8_t(value);
        renderPreview();
        break;
    case 4:
        settings.effectType = uint8_t(value);
        renderPreview();
        break;
    case 5: settings.rectTool = uint8_t(value); break;
    case 1:
    case 2:
    case 3: break;
    default: return;
    }
    buildSettingsPanel();
}

bool setKeyerByte(TgHandle element, int32_t value)
{
    return setBoundByte(KEYER_BYTES, element, value);
}

bool setOtherByte(TgHandle element, int32_t value)
{
    return setBoundByte(OTHER_BYTES, element, value);
}

} // namespace zenvarth
