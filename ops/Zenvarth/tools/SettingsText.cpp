#include "SettingsText.h"

#include <array>
#include <cinttypes>
#include <cstdio>
#include <cstring>
#include <vector>

#include "media/color_text.h"

namespace zenvarth {

namespace {

// A whole decimal or 0x-hex number, optionally signed; false on anything else.
bool parseInteger(const std::string &text, int64_t &value)
{
    if (text.empty() || text.size() > 24) return false;
    const char *s = text.c_str();
    bool negative = false;
    if (*s == '-' || *s == '+') {
        negative = *s == '-';
        ++s;
    }
    int base = 10;
    if (s[0] == '0' && (s[1] == 'x' || s[1] == 'X')) {
        base = 16;
        s += 2;
    }
    if (!*s) return false;
    uint64_t v = 0;
    for (; *s; ++s) {
        int digit;
        if (*s >= '0' && *s <= '9') digit = *s - '0';
        else if (base == 16 && *s >= 'a' && *s <= 'f') digit = *s - 'a' + 10;
        else if (base == 16 && *s >= 'A' && *s <= 'F') digit = *s - 'A' + 10;
        else return false;
        v = v * uint64_t(base) + uint64_t(digit);
        if (v > (uint64_t(1) << 40)) return false;
    }
    value = negative ? -int64_t(v) : int64_t(v);
    return true;
}

bool parseList(const std::string &text, size_t count, std::vector<int64_t> &values)
{
    values.clear();
    size_t start = 0;
    while (true) {
        size_t comma = text.find(',', start);
        int64_t v;
        if (!parseInteger(text.substr(start, comma - start), v)) return false;
        values.push_back(v);
        if (comma == std::string::npos) break;
        start = comma + 1;
    }
    return values.size() == count;
}

const char COLOUR_FORMS[] = "0xYYUUVVAA, y,u,v,a, #RRGGBB, #RRGGBBAA or rgb(R,G,B)";

std::string assignColor(uint8_t *record, const SettingsField &f, const std::string &value)
{
    const std::string name = f.name;
    if (media::looksLikeRgbColor(value)) {
        Pixel p{};
        std::string why = media::parseRgbColor(value, p);
        if (!why.empty()) return name + ": " + why;
        writeUnsigned(record, f, pixelWord(p));
        return {};
    }
    std::vector<int64_t> parts;
    int64_t word;
    if (value.find(',') != std::string::npos) {
        if (!parseList(value, 4, parts)) return name + ": '" + value + "' is not a colour (" + COLOUR_FORMS + ")";
        for (int64_t p : parts)
            if (p < 0 || p > 255) return name + ": each of y,u,v,a must be 0 to 255";
        word = parts[0] << 24 | parts[1] << 16 | parts[2] << 8 | parts[3];
    } else {
        if (!parseInteger(value, word)) return name + ": '" + value + "' is not a colour (" + COLOUR_FORMS + ")";
        if (word < 0 || word > 0xFFFFFFFFll) return name + ": '" + value + "' does not fit the field's 4 bytes";
    }
    writeUnsigned(record, f, uint32_t(word));
    return {};
}

} // namespace

std::string assignSettingsField(uint8_t *record, const SettingsField &f, const std::string &value, bool force)
{
    const std::string name = f.name;
    char why[256];
    switch (f.kind) {
    case FieldKind::Reserved:
        return "'" + name + "' is reserved and never written";
    case FieldKind::Text:
        if (value.size() >= f.size) {
            std::snprintf(why, sizeof why, "%s: %zu bytes is too long (at most %u)", f.name, value.size(),
                          f.size - 1u);
            return why;
        }
        if (value.find('\0') != std::string::npos) return name + ": the text holds a NUL byte";
        std::memset(record + f.offset, 0, f.size);
        std::memcpy(record + f.offset, value.data(), value.size());
        return {};
    case FieldKind::Color:
        return assignColor(record, f, value);
    case FieldKind::Unsigned: {
        int64_t v;
        if (!parseInteger(value, v)) return name + ": '" + value + "' is not a number";
        if (v < 0 || uint64_t(v) > fieldMaxValue(f)) {
            std::snprintf(why, sizeof why, "%s: %s is outside the field's width (0 to %" PRIu64 ")", f.name,
                          value.c_str(), fieldMaxValue(f));
            return why;
        }
        if (f.hasPanelRange && !force && (v < f.panelMin || v > f.panelMax)) {
            std::snprintf(why, sizeof why, "%s: %s is outside the panel range %u to %u (--force stores it anyway)",
                          f.name, value.c_str(), f.panelMin, f.panelMax);
            return why;
        }
        writeUnsigned(record, f, uint32_t(v));
        return {};
    }
    case FieldKind::Rect:
    case FieldKind::Point: {
        bool isRect = f.kind == FieldKind::Rect;
        std::vector<int64_t> parts;
        if (!parseList(value, isRect ? 4 : 2, parts))
            return name + ": '" + value + "' is not " + (isRect ? "x,y,w,h" : "x,y");
        for (int64_t p : parts)
            if (p < INT16_MIN || p > INT16_MAX) return name + ": each value must fit 16 bits (-32768 to 32767)";
        SettingsRect r{int16_t(parts[0]), int16_t(parts[1]), 0, 0};
        if (isRect) {
            r.width = int16_t(parts[2]);
            r.height = int16_t(parts[3]);
        }
        writeRect(record, f, r);
        return {};
    }
    }
    return "unhandled field kind";
}

std::string assignSettingsText(uint8_t *record, const std::string &assignment, bool force)
{
    size_t eq = assignment.find('=');
    if (eq == std::string::npos) return "'" + assignment + "' is not NAME=VALUE";
    std::string name = assignment.substr(0, eq);
    const SettingsField *field = findSettingsField(name.c_str());
    if (!field) return "unknown setting '" + name + "' (zvpreset fields lists them)";
    return assignSettingsField(record, *field, assignment.substr(eq + 1), force);
}

// ---------------------------------------------------------------- help

namespace {

constexpr std::array FIELD_HELP = {
    FieldHelp{"patternName", "picture whose grey levels order the pattern wipe", "effect 4"},
    FieldHelp{"keyColor", "backing colour to remove; --sample-key takes it from the footage", "keyers 1, 4, 5, 6"},
    FieldHelp{"wipeEdgeColor", "colour laid on the soft edge of the pattern wipe", "effect 4"},
    FieldHelp{"glowColor", "glow colour; its alpha byte is the glow strength", "effect 1"},
    FieldHelp{"shadowColor", "shadow colour; its alpha byte is the shadow strength", "effect 2"},
    FieldHelp{"editorFrame", "frame the editor shows", "editor"},
    FieldHelp{"fadeInFrames", "fade-in length in frames, 0 = none", "every effect"},
    FieldHelp{"fadeOutFrames", "fade-out length in frames, 0 = none", "every effect"},
    FieldHelp{"sampleArea", "rectangle the editor averages to pick keyColor (y in field lines)", "editor"},
    FieldHelp{"keyArea", "rectangle that is keyed out (y in field lines)", "keyer 2"},
    FieldHelp{"matteArea", "keying area when wholePicture is 0; outside it the foreground passes", "every keyer"},
    FieldHelp{"holeArea", "area excluded from keying; exactly 0,0,2,2 means no hole", "every keyer"},
    FieldHelp{"moveArea", "region the move pass relocates (moveEnabled 1)", "move pass"},
    FieldHelp{"moveTarget", "top-left corner the move region is moved to", "move pass"},
    FieldHelp{"maskArea", "rectangle of the mask pass (maskEnabled 1)", "mask pass"},
    FieldHelp{"settingsPage", "page the editor's settings panel shows", "editor"},
    FieldHelp{"keyerType", "keyer mode 0..11 (0 passes the matte through; needs --force)", ""},
    FieldHelp{"effectType", "compositing effect: 0 none, 1 glow, 2 shadow, 3 tint, 4 pattern wipe", ""},
    FieldHelp{"rectTool", "rectangle tool the editor shows: 0 move, 1 mask", "editor"},
    FieldHelp{"dominantChannel", "primary that must dominate: 0 blue, 1 green, 2 red", "keyer 3"},
    FieldHelp{"dominanceLevel", "how much of the strongest backing counts as full key, percent", "keyer 3"},
    FieldHelp{"dominanceThreshold", "dominance below which a pixel is kept whole", "keyer 3"},
    FieldHelp{"hueTolerance", "hue difference keyed out: 0..100 spans 0..255 degrees", "keyer 5"},
    FieldHelp{"chromaTolerance", "chroma distance keyed out, percent of 255", "keyer 4"},
    FieldHelp{"lumaCenter", "centre of the luma band keyed out, percent", "keyer 7"},
    FieldHelp{"lumaWidth", "half width of the luma band, percent", "keyer 7"},
    FieldHelp{"lumaLevel", "luma threshold, percent", "keyer 8"},
    FieldHelp{"lumaKeyAbove", "0 keys out luma at or below the level, 1 at or above", "keyer 8"},
    FieldHelp{"hueLumaHueTolerance", "hue difference keyed out (as hueTolerance)", "keyer 6"},
    FieldHelp{"hueLumaLumaTolerance", "luma difference from keyColor keyed out, percent", "keyer 6"},
    FieldHelp{"saturationCenter", "centre of the saturation band keyed out, percent", "keyer 9"},
    FieldHelp{"saturationWidth", "half width of the saturation band, percent", "keyer 9"},
    FieldHelp{"saturationLevel", "saturation threshold, percent", "keyer 10"},
    FieldHelp{"saturationKeyAbove", "0 keys out saturation at or below the level, 1 at or above", "keyer 10"},
    FieldHelp{"blackLevel", "luma at or below which near-neutral pixels are keyed out", "keyer 11"},
    FieldHelp{"edgeShrink", "width of the key-edge pass that eats into the key's edge, 0 = off", "edge pass"},
    FieldHelp{"keyOpacity", "opacity of the keyed foreground, percent", "edge pass"},
    FieldHelp{"glowSize", "glow blur size", "effect 1"},
    FieldHelp{"colorTolerance", "how far from keyColor is still keyed out; higher keys more", "keyer 1"},
    FieldHelp{"shadowDirection", "0 above, 1 above right, 2 right, ... 7 above left", "effect 2"},
    FieldHelp{"shadowDistance", "shadow offset in field lines; columns count double", "effect 2"},
    FieldHelp{"shadowSoftness", "shadow blur size", "effect 2"},
    FieldHelp{"tintBrightness", "brightness of the background seen through the foreground, percent", "effect 3"},
    FieldHelp{"wipeEdgeWidth", "width of the pattern wipe's coloured edge", "effect 4"},
    FieldHelp{"maskOutside", "1 clears the key outside maskArea, 0 inside it", "mask pass"},
    FieldHelp{"keyAreaInvert", "1 keeps keyArea and keys out the rest", "keyer 2"},
    FieldHelp{"moveEnabled", "1 runs the move pass", "move pass"},
    FieldHelp{"maskEnabled", "1 runs the mask pass", "mask pass"},
    FieldHelp{"panelAtTop", "editor's main panel at the top of the screen (reset on load)", "editor"},
    FieldHelp{"wholePicture", "1 keys the whole picture; 0 only matteArea, without holeArea", "every keyer"},
    FieldHelp{"reserved", "last byte, never read or written", ""},
};

constexpr std::array KEYER_MODES = {
    ModeHelp{0, "matte pass-through", "nothing: everything inside the keying area is kept", "(needs --force)"},
    ModeHelp{1, "colour distance with spill removal", "distance of Y, U, V from keyColor; removes the backing's tint",
             "keyColor, colorTolerance"},
    ModeHelp{2, "rectangle", "a rectangle of the picture", "keyArea, keyAreaInvert"},
    ModeHelp{3, "primary dominance", "how far blue (green, red) exceeds the other two primaries",
             "dominantChannel, dominanceLevel, dominanceThreshold"},
    ModeHelp{4, "chroma distance", "distance of U, V from keyColor's (luma ignored)", "keyColor, chromaTolerance"},
    ModeHelp{5, "hue", "hue angle difference from keyColor's", "keyColor, hueTolerance"},
    ModeHelp{6, "hue and luma", "hue difference and luma difference from keyColor",
             "keyColor, hueLumaHueTolerance, hueLumaLumaTolerance"},
    ModeHelp{7, "luma band", "luma inside a band", "lumaCenter, lumaWidth"},
    ModeHelp{8, "luma threshold", "luma below (or above) a level", "lumaLevel, lumaKeyAbove"},
    ModeHelp{9, "saturation band", "saturation inside a band", "saturationCenter, saturationWidth"},
    ModeHelp{10, "saturation threshold", "saturation below (or above) a level", "saturationLevel, saturationKeyAbove"},
    ModeHelp{11, "dark neutral", "dark pixels of almost no chroma", "blackLevel"},
};

constexpr std::array EFFECTS = {
    ModeHelp{0, "plain composite", "foreground over background by the key", "fadeInFrames, fadeOutFrames"},
    ModeHelp{1, "glow", "a blurred, doubled key in glowColor around the foreground", "glowColor, glowSize"},
    ModeHelp{2, "drop shadow", "the blurred key in shadowColor, offset", "shadowColor, shadowDirection, shadowDistance, shadowSoftness"},
    ModeHelp{3, "tint", "the foreground's shape shows the background brightened or darkened", "tintBrightness"},
    ModeHelp{4, "pattern wipe", "the fades wipe along a picture's grey levels", "patternName, wipeEdgeColor, wipeEdgeWidth"},
};

} // namespace

std::span<const FieldHelp> fieldHelpTable() { return FIELD_HELP; }

const FieldHelp *fieldHelp(const char *name)
{
    for (const FieldHelp &h : FIELD_HELP)
        if (std::strcmp(h.name, name) == 0) return &h;
    return nullptr;
}

std::span<const ModeHelp> keyerModeHelp() { return KEYER_MODES; }
std::span<const ModeHelp> effectHelp() { return EFFECTS; }

std::string fieldTypeText(const SettingsField &f)
{
    switch (f.kind) {
    case FieldKind::Text: return "text";
    case FieldKind::Color: return "colour";
    case FieldKind::Unsigned: {
        // Built in two steps: GCC 12's Release build misreads "u" + string
        // as an overlapping copy (-Wrestrict).
        std::string text = "u";
        text += std::to_string(8 * f.size);
        return text;
    }
    case FieldKind::Rect: return "rect";
    case FieldKind::Point: return "point";
    case FieldKind::Reserved: return "reserved";
    }
    return "?";
}

std::string fieldRangeText(const SettingsField &f)
{
    switch (f.kind) {
    case FieldKind::Text: return "up to " + std::to_string(f.size - 1) + " bytes";
    case FieldKind::Color: return "any colour";
    case FieldKind::Unsigned:
        if (f.hasPanelRange) return std::to_string(f.panelMin) + ".." + std::to_string(f.panelMax);
        return "0.." + std::to_string(fieldMaxValue(f));
    case FieldKind::Rect:
    case FieldKind::Point: return "-32768..32767 each";
    case FieldKind::Reserved: return "-";
    }
    return "?";
}

std::string fieldDefaultText(const SettingsField &f)
{
    if (!f.hasDefault) return f.kind == FieldKind::Text ? "empty, kept" : "0, kept";
    char buf[48];
    switch (f.kind) {
    case FieldKind::Color:
        std::snprintf(buf, sizeof buf, "0x%08" PRIX32 " (%s)", f.defaultValue,
                      media::formatRgbColor(pixelFromWord(f.defaultValue)).c_str());
        return buf;
    case FieldKind::Unsigned: return std::to_string(f.defaultValue);
    case FieldKind::Rect:
        std::snprintf(buf, sizeof buf, "%d,%d,%d,%d", f.defaultRect.x, f.defaultRect.y, f.defaultRect.width,
                      f.defaultRect.height);
        return buf;
    case FieldKind::Point:
        std::snprintf(buf, sizeof buf, "%d,%d", f.defaultRect.x, f.defaultRect.y);
        return buf;
    case FieldKind::Text:
    case FieldKind::Reserved: break;
    }
    return "-";
}

} // namespace zenvarth
