// The editor's request gadgets (see EditorRequests.h): each hands one field
// of the settings to a host requester and takes back what the user chose.
#include <cstring>

#include "EditorRequests.h"
#include "SettingsTable.h"

namespace zenvarth {

namespace {

constexpr uint32_t AREA_FLAGS = 3;
constexpr int16_t AREA_MIN_SIZE = 2;
constexpr int16_t AREA_MAX_SIZE = 999;

constexpr int32_t PATTERN_TYPES = 4;
constexpr uint32_t PALETTE_WORD12 = 0x6400;

constexpr size_t PATTERN_NAME_SIZE = sizeof settings.patternName;

RectParam areaRecord(int16_t x, int16_t y, int16_t width, int16_t height, int16_t minWidth, int16_t minHeight,
                     int16_t maxWidth, int16_t maxHeight)
{
    RectParam record{};
    record.header.kind = PARAM_RECT;
    record.header.labelId = uint16_t(STRING_SAMPLE_AREA);
    record.header.flags = AREA_FLAGS;
    record.minWidth = minWidth;
    record.minHeight = minHeight;
    record.maxWidth = maxWidth;
    record.maxHeight = maxHeight;
    record.x = x;
    record.y = y;
    record.width = width;
    record.height = height;
    return record;
}

int32_t shownField() { return int32_t(2 * settings.editorFrame); }

} // namespace

void runHostPreview()
{
    // The host renders the operator meanwhile, through the same statics:
    // it stores its own context (gone once opPreview returns) and its own
    // section, so the editor's are kept aside and put back.
    OperatorContext *const editorContext = renderContext;
    const uint32_t editorFieldCount = renderFieldCount;
    releasePictures();
    if (embeddedLayout) tgColorBarOn();
    opPreview(0);
    renderContext = editorContext;
    renderFieldCount = editorFieldCount;
    markBusy();
    if (embeddedLayout && !dualMonitor) tgColorBarOff();
    releasePictures();
    renderFieldNumber = 2 * settings.editorFrame;
    allocateOutput(LINE_NO_OUTPUT_AFTER_PREVIEW);
    fetchPictures(shownField());
    loadPattern();
}

void choosePattern()
{
    const TgHandle request = txAllocRequest(0);
    if (request) {
        // A preset may fill the whole name without its final NUL.
        char current[PATTERN_NAME_SIZE + 1];
        std::memcpy(current, settings.patternName, PATTERN_NAME_SIZE);
        current[PATTERN_NAME_SIZE] = '\0';
        txSetPrefs(request, current);
        txSetTypes(request, PATTERN_TYPES);
        if (txRequest(request, 0) == 0 && txGetStatus(request) == 1) {
            char chosen[PATTERN_NAME_SIZE] = {};
            txGetPrefs(request, chosen, int32_t(PATTERN_NAME_SIZE));
            // An empty answer (the host had no name, or one too long for the
            // field) keeps the pattern there was; so does an unterminated one.
            if (chosen[0] && std::memchr(chosen, 0, PATTERN_NAME_SIZE)) {
                std::memset(settings.patternName, 0, PATTERN_NAME_SIZE);
                std::memcpy(settings.patternName, chosen, std::strlen(chosen));
            }
        }
        txFreeRequest(request);
    }
    markBusy();
    loadPattern();
}

bool requestColor(Pixel &color, TgHandle gadget)
{
    PaletteRequest record{};
    record.word0 = 0;
    record.word4 = 1;
    record.color = pixelWord(color);
    record.word12 = PALETTE_WORD12;
    record.word14 = 0;
    record.status = 0;
    if (treqPaletteRequest(&record) != 0 || record.status != 1) return false;
    color = pixelFromWord(record.color);
    tgChangeElement(settingsPanel, gadget, TAG_COLOR, record.color, 1);
    return true;
}

void requestAreaOf(SettingsRect &area)
{
    RectParam record = areaRecord(area.x, area.y, area.width, area.height, AREA_MIN_SIZE, AREA_MIN_SIZE,
                                  AREA_MAX_SIZE, AREA_MAX_SIZE);
    requestArea(&record);
    area.x = record.x;
    area.y = record.y;
    area.width = record.width;
    area.height = record.height;
}

void pickKeyColor()
{
    requestAreaOf(settings.sampleArea);
    markBusy();
    // The key colour comes from the clip's first field, whatever frame is
    // shown; without that picture the key colour stays.
    if (fetchForeground(0) == 0) meanAreaColor(settings.sampleArea, settings.keyColor);
    fetchForeground(shownField());
}

void requestMoveArea()
{
    requestAreaOf(settings.moveArea);
    SettingsPoint &target = settings.moveTarget;
    const SettingsRect &area = settings.moveArea;
    // Without a picture (size 0) there is no edge to pull the target to.
    if (pictureWidth > 0 && int32_t(target.x) + area.width > pictureWidth)
        target.x = int16_t(pictureWidth - area.width);
    if (pictureHeight > 0 && int32_t(target.y) + area.height > pictureHeight)
        target.y = int16_t(pictureHeight - area.height);
}

void requestMoveTarget()
{
    const SettingsRect &area = settings.moveArea;
    RectParam record = areaRecord(settings.moveTarget.x, settings.moveTarget.y, area.width, area.height, area.width,
                                  area.height, area.width, area.height);
    requestArea(&record);
    settings.moveTarget.x = record.x;
    settings.moveTarget.y = record.y;
}

bool resetToDefaults()
{
    if (!askQuestion(resGetString(stringSet, STRING_RESET_QUESTION), TEXT_YESNO)) return false;
    applyDefaultSettings();
    tgChangeElement(framePanel, frameSlider, TAG_VALUE, settings.editorFrame, 1);
    buildModePanel();
    markBusy();
    // The fades are worked out for the field shown, which is now the
    // default frame's.
    renderFieldNumber = 2 * settings.editorFrame;
    fetchPictures(shownField());
    return true;
}

} // namespace zenvarth
