// The settings panel: one gadget a row for each setting the current page
// offers (and within the keyer, effect and tool pages, the chosen mode's),
// each showing its field's value; and what the events of these gadgets do
// to the settings and to the panel. The row tables below are the one place
// that says which field, range, text and action each gadget has.
#include <array>
#include <cstddef>
#include <iterator>

#include "EditorPanels.h"
#include "EditorRequests.h"
#include "SettingsTable.h"

namespace zenvarth {

namespace {

using S = ZenvarthSettings;

enum class Kind : uint8_t { None, TextButton, Slider, Popup, CheckBox, Palette };

// When a gadget is created disabled: its enabling box is off.
enum class Disabled : uint8_t { Never, WhenWholePicture, UnlessMoveEnabled, UnlessMaskEnabled };

struct SettingsGadget;
// What an event of the gadget does with its value; answers whether the
// preview is rendered again. None: the byte field takes the value's low byte.
using GadgetAction = bool (*)(const SettingsGadget &g, int32_t value);

struct SettingsGadget {
    Kind kind = Kind::None;
    TgHandle *handle = nullptr;
    uint32_t text = 0;   // button text, slider label, popup title, box text, palette label
    // The field shown: a byte, a 16-bit fade length or a colour.
    uint8_t S::*byteField = nullptr;
    uint16_t S::*wordField = nullptr;
    Pixel S::*colorField = nullptr;
    uint32_t unit = 0;
    const uint32_t *entries = nullptr;
    uint8_t entryCount = 0;
    bool pictureEntries = false;
    Disabled disabled = Disabled::Never;
    int16_t yShift = 0;
    GadgetAction action = nullptr;
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

constexpr SettingsGadget button(TgHandle *h, uint32_t text, GadgetAction action, Disabled d = Disabled::Never)
{
    SettingsGadget g = gadget(Kind::TextButton, h, text);
    g.disabled = d;
    g.action = action;
    return g;
}

// A byte slider; its range is the field's panel range in SettingsTable.
constexpr SettingsGadget slider(TgHandle *h, uint8_t S::*field, uint32_t label, uint32_t unit)
{
    SettingsGadget g = gadget(Kind::Slider, h, label);
    g.byteField = field;
    g.unit = unit;
    return g;
}

// A fade slider: its maximum is the section's frame count.
constexpr SettingsGadget fadeSlider(TgHandle *h, uint16_t S::*field, uint32_t label, GadgetAction action)
{
    SettingsGadget g = gadget(Kind::Slider, h, label);
    g.wordField = field;
    g.action = action;
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

constexpr SettingsGadget checkBox(TgHandle *h, uint8_t S::*field, uint32_t text, GadgetAction action)
{
    SettingsGadget g = gadget(Kind::CheckBox, h, text);
    g.byteField = field;
    g.action = action;
    return g;
}

// A colour button: an event asks for a new colour of the field.
constexpr SettingsGadget palette(TgHandle *h, Pixel S::*field, uint32_t label)
{
    SettingsGadget g = gadget(Kind::Palette, h, label);
    g.colorField = field;
    g.action = [](const SettingsGadget &p, int32_t) { return requestColor(settings.*p.colorField, *p.handle); };
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

constexpr uint32_t INSIDE_OUTSIDE[] = {511, 512};
constexpr uint32_t CHANNELS[] = {411, 412, 413};
constexpr uint32_t BELOW_ABOVE[] = {1131, 1132};
// Host GUI pictures of the eight shadow directions, for the values 0 to 7.
constexpr uint32_t DIRECTION_PICTURES[] = {21, 22, 23, 24, 25, 26, 27, 28};

// ---------------------------------------------------------------- actions

bool onPickColor(const SettingsGadget &, int32_t)
{
    pickKeyColor();
    return true;
}
bool onKeyArea(const SettingsGadget &, int32_t)
{
    requestAreaOf(settings.keyArea);
    return true;
}
bool onMatteArea(const SettingsGadget &, int32_t)
{
    requestAreaOf(settings.matteArea);
    matteDone = false;
    return true;
}
bool onHoleArea(const SettingsGadget &, int32_t)
{
    requestAreaOf(settings.holeArea);
    matteDone = false;
    return true;
}
bool onMaskArea(const SettingsGadget &, int32_t)
{
    requestAreaOf(settings.maskArea);
    return true;
}
bool onMoveArea(const SettingsGadget &, int32_t)
{
    requestMoveArea();
    return true;
}
bool onMoveTarget(const SettingsGadget &, int32_t)
{
    requestMoveTarget();
    return true;
}
bool onPattern(const SettingsGadget &, int32_t)
{
    choosePattern();
    return true;
}
bool onFadeIn(const SettingsGadget &, int32_t value)
{
    setFadeIn(value);
    return true;
}
bool onFadeOut(const SettingsGadget &, int32_t value)
{
    setFadeOut(value);
    return true;
}
bool onWholePicture(const SettingsGadget &, int32_t value)
{
    setWholePicture(value & 0xFF);
    return true;
}
bool onMaskBox(const SettingsGadget &, int32_t value)
{
    setMaskEnabled(value & 0xFF);
    return true;
}
bool onMoveBox(const SettingsGadget &, int32_t value)
{
    setMoveEnabled(value & 0xFF);
    return true;
}

// Page 0, by keyerType.
constexpr PageRows KEYER_ROWS[12] = {
    {},
    {button(&sampleButton[0], STRING_SAMPLE_AREA, onPickColor),
     slider(&colorTolerance, &S::colorTolerance, STRING_TOLERANCE, UNIT_PERCENT)},
    {button(&keyAreaButton, STRING_SAMPLE_AREA, onKeyArea),
     shifted(popup(&keyAreaInvert, &S::keyAreaInvert, INSIDE_OUTSIDE, STRING_SIDE), 2)},
    {popup(&dominantChannel, &S::dominantChannel, CHANNELS, 410),
     slider(&dominanceLevel, &S::dominanceLevel, STRING_TOLERANCE, UNIT_PERCENT),
     slider(&dominanceThreshold, &S::dominanceThreshold, 2600, UNIT_PERCENT)},
    {button(&sampleButton[1], STRING_SAMPLE_AREA, onPickColor),
     slider(&chromaTolerance, &S::chromaTolerance, STRING_TOLERANCE, UNIT_PERCENT)},
    {button(&sampleButton[2], STRING_SAMPLE_AREA, onPickColor),
     slider(&hueTolerance, &S::hueTolerance, STRING_TOLERANCE, UNIT_PERCENT)},
    {button(&sampleButton[3], 301, onPickColor),
     slider(&hueLumaHueTolerance, &S::hueLumaHueTolerance, 303, UNIT_PERCENT),
     slider(&hueLumaLumaTolerance, &S::hueLumaLumaTolerance, 304, UNIT_PERCENT)},
    {slider(&lumaCenter, &S::lumaCenter, 910, UNIT_PERCENT),
     slider(&lumaWidth, &S::lumaWidth, STRING_WIDTH, UNIT_PERCENT)},
    {slider(&lumaLevel, &S::lumaLevel, STRING_LEVEL, UNIT_PERCENT),
     popup(&lumaKeyAbove, &S::lumaKeyAbove, BELOW_ABOVE, STRING_KEY_WHEN)},
    {slider(&saturationCenter, &S::saturationCenter, 2281, UNIT_PERCENT),
     slider(&saturationWidth, &S::saturationWidth, STRING_WIDTH, UNIT_PERCENT)},
    {slider(&saturationLevel, &S::saturationLevel, STRING_LEVEL, UNIT_PERCENT),
     popup(&saturationKeyAbove, &S::saturationKeyAbove, BELOW_ABOVE, STRING_KEY_WHEN)},
    {slider(&blackLevel, &S::blackLevel, STRING_TOLERANCE, UNIT_PERCENT)},
};

// Pages 1 to 3.
constexpr PageRows MATTE_ROWS = {
    checkBox(&wholePictureBox, &S::wholePicture, 2701, onWholePicture),
    button(&matteAreaButton, 1221, onMatteArea, Disabled::WhenWholePicture),
    button(&holeAreaButton, 1222, onHoleArea, Disabled::WhenWholePicture),
};
constexpr PageRows EDGE_ROWS = {
    slider(&edgeShrink, &S::edgeShrink, 1030, UNIT_PIXELS),
    slider(&keyOpacity, &S::keyOpacity, 1040, UNIT_PERCENT),
};
constexpr PageRows FADE_ROWS = {
    fadeSlider(&fadeInSlider, &S::fadeInFrames, 1236, onFadeIn),
    fadeSlider(&fadeOutSlider, &S::fadeOutFrames, 1237, onFadeOut),
};

// Page 4, by effectType.
constexpr PageRows EFFECT_ROWS[5] = {
    {},
    {palette(&glowColorButton, &S::glowColor, STRING_COLOUR),
     slider(&glowSize, &S::glowSize, 1440, UNIT_PIXELS)},
    {palette(&shadowColorButton, &S::shadowColor, 1331),
     withPictures(popup(&shadowDirection, &S::shadowDirection, DIRECTION_PICTURES, 1332)),
     slider(&shadowDistance, &S::shadowDistance, 1333, UNIT_PERCENT),
     slider(&shadowSoftness, &S::shadowSoftness, 1334, UNIT_PIXELS)},
    {slider(&tintBrightness, &S::tintBrightness, 1930, UNIT_PERCENT)},
    {button(&patternButton, 1831, onPattern),
     palette(&wipeEdgeColorButton, &S::wipeEdgeColor, STRING_COLOUR),
     slider(&wipeEdgeWidth, &S::wipeEdgeWidth, 1833, UNIT_PIXELS)},
};

// Page 5, by rectTool.
constexpr PageRows TOOL_ROWS[2] = {
    {checkBox(&moveEnabledBox, &S::moveEnabled, STRING_ENABLED, onMoveBox),
     button(&moveAreaButton, 610, onMoveArea, Disabled::UnlessMoveEnabled),
     button(&moveTargetButton, 620, onMoveTarget, Disabled::UnlessMoveEnabled)},
    {checkBox(&maskEnabledBox, &S::maskEnabled, STRING_ENABLED, onMaskBox),
     popup(&maskOutside, &S::maskOutside, INSIDE_OUTSIDE, STRING_SIDE,
           Disabled::UnlessMaskEnabled),
     button(&maskAreaButton, 520, onMaskArea, Disabled::UnlessMaskEnabled)},
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

// A byte field's entry in SettingsTable, which holds its panel range.
const SettingsField &tableEntry(uint8_t S::*field)
{
    const auto offset = size_t(&(settings.*field) - reinterpret_cast<const uint8_t *>(&settings));
    const std::span<const SettingsField> fields = settingsFields();
    const SettingsField *entry = fields.data();
    while (entry->offset != offset) ++entry;   // the table covers every byte of the record
    return *entry;
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
        const int32_t minimum = g.wordField ? 0 : int32_t(tableEntry(g.byteField).panelMin);
        const int32_t maximum = g.wordField ? int32_t(sectionFrames()) : int32_t(tableEntry(g.byteField).panelMax);
        return tgAddSlider(settingsPanel, 178, y, 202, h, minimum, maximum, int32_t(shownValue(g)),
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

// The gadget of any page and mode whose handle is `element`.
const SettingsGadget *findGadget(TgHandle element)
{
    auto inRows = [element](const PageRows &rows) -> const SettingsGadget * {
        for (const SettingsGadget &g : rows)
            if (g.kind != Kind::None && *g.handle == element) return &g;
        return nullptr;
    };
    const SettingsGadget *found = nullptr;
    for (const PageRows &rows : KEYER_ROWS) found = found ? found : inRows(rows);
    for (const PageRows *rows : {&MATTE_ROWS, &EDGE_ROWS, &FADE_ROWS}) found = found ? found : inRows(*rows);
    for (const PageRows &rows : EFFECT_ROWS) found = found ? found : inRows(rows);
    for (const PageRows &rows : TOOL_ROWS) found = found ? found : inRows(rows);
    return found;
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

GadgetOutcome runSettingsGadget(TgHandle element, int32_t value)
{
    const SettingsGadget *g = findGadget(element);
    if (!g) return GadgetOutcome::NoGadget;
    if (!g->action) {
        settings.*g->byteField = uint8_t(value);
        return GadgetOutcome::Render;
    }
    return g->action(*g, value) ? GadgetOutcome::Render : GadgetOutcome::NoRender;
}

} // namespace zenvarth
