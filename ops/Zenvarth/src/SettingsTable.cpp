// The settings field table and the routines driven by it.
#include "SettingsTable.h"

#include <array>
#include <cstring>

namespace zenvarth {

namespace {

constexpr SettingsField text(const char *name, uint16_t offset, uint16_t size)
{
    return {name, offset, size, FieldKind::Text, false, 0, {}, false, 0, 0};
}
constexpr SettingsField color(const char *name, uint16_t offset, uint32_t word)
{
    return {name, offset, 4, FieldKind::Color, true, word, {}, false, 0, 0};
}
// An unsigned field whose panel range depends on the clip (frames).
constexpr SettingsField count(const char *name, uint16_t offset, uint16_t size, uint32_t def)
{
    return {name, offset, size, FieldKind::Unsigned, true, def, {}, false, 0, 0};
}
constexpr SettingsField byte(const char *name, uint16_t offset, uint32_t def, uint32_t lo,
                             uint32_t hi)
{
    return {name, offset, 1, FieldKind::Unsigned, true, def, {}, true, lo, hi};
}
// A byte that the defaults routine leaves alone.
constexpr SettingsField keptByte(const char *name, uint16_t offset, uint32_t lo, uint32_t hi)
{
    return {name, offset, 1, FieldKind::Unsigned, false, 0, {}, true, lo, hi};
}
constexpr SettingsField rect(const char *name, uint16_t offset, SettingsRect def)
{
    return {name, offset, 8, FieldKind::Rect, true, 0, def, false, 0, 0};
}
constexpr SettingsField point(const char *name, uint16_t offset, int16_t x, int16_t y)
{
    return {name, offset, 4, FieldKind::Point, true, 0, {x, y, 0, 0}, false, 0, 0};
}

constexpr std::array FIELDS = {
    text("patternName", 0, 112),
    color("keyColor", 112, BLUE_DEFAULT),
    color("wipeEdgeColor", 116, WIPE_EDGE_DEFAULT),
    color("glowColor", 120, GLOW_DEFAULT),
    color("shadowColor", 124, SHADOW_DEFAULT),
    count("editorFrame", 128, 4, 0),
    count("fadeInFrames", 132, 2, 0),
    count("fadeOutFrames", 134, 2, 0),
    rect("sampleArea", 136, {100, 50, 100, 50}),
    rect("keyArea", 144, {100, 50, 200, 100}),
    rect("matteArea", 152, {0, 0, 999, 999}),
    rect("holeArea", 160, {0, 0, 2, 2}),
    rect("moveArea", 168, {100, 50, 200, 100}),
    point("moveTarget", 176, 200, 100),
    rect("maskArea", 180, {100, 40, 500, 400}),
    byte("settingsPage", 188, 0, 0, 5),
    byte("keyerType", 189, 1, 1, 11),
    byte("effectType", 190, 0, 0, 4),
    byte("rectTool", 191, 0, 0, 1),
    byte("dominantChannel", 192, 0, 0, 2),
    byte("dominanceLevel", 193, 50, 0, 100),
    keptByte("dominanceThreshold", 194, 0, 100),
    byte("hueTolerance", 195, 20, 0, 100),
    byte("chromaTolerance", 196, 20, 0, 100),
    byte("lumaCenter", 197, 10, 0, 100),
    byte("lumaWidth", 198, 25, 0, 100),
    byte("lumaLevel", 199, 50, 0, 100),
    byte("lumaKeyAbove", 200, 0, 0, 1),
    byte("hueLumaHueTolerance", 201, 30, 0, 100),
    byte("hueLumaLumaTolerance", 202, 20, 0, 100),
    byte("saturationCenter", 203, 50, 0, 100),
    byte("saturationWidth", 204, 25, 0, 100),
    byte("saturationLevel", 205, 50, 0, 100),
    byte("saturationKeyAbove", 206, 0, 0, 1),
    byte("blackLevel", 207, 20, 0, 50),
    byte("edgeShrink", 208, 0, 0, 30),
    byte("keyOpacity", 209, 100, 0, 100),
    byte("glowSize", 210, 10, 0, 30),
    byte("colorTolerance", 211, 30, 0, 100),
    byte("shadowDirection", 212, 3, 0, 7),
    byte("shadowDistance", 213, 25, 0, 100),
    byte("shadowSoftness", 214, 5, 0, 30),
    byte("tintBrightness", 215, 50, 0, 200),
    byte("wipeEdgeWidth", 216, 10, 0, 30),
    byte("maskOutside", 217, 1, 0, 1),
    byte("keyAreaInvert", 218, 0, 0, 1),
    byte("moveEnabled", 219, 0, 0, 1),
    byte("maskEnabled", 220, 0, 0, 1),
    keptByte("panelAtTop", 221, 0, 1),
    byte("wholePicture", 222, 1, 0, 1),
    SettingsField{"reserved", 223, 1, FieldKind::Reserved, false, 0, {}, false, 0, 0},
};

// The table covers the record end to end, in order, without gaps or overlaps.
constexpr bool tableCoversRecord()
{
    size_t next = 0;
    for (const SettingsField &f : FIELDS) {
        if (f.offset != next) return false;
        next += f.size;
    }
    return next == sizeof(ZenvarthSettings);
}
static_assert(tableCoversRecord());

uint16_t get16(const uint8_t *p) { return uint16_t(p[0] | p[1] << 8); }
void put16(uint8_t *p, uint16_t v)
{
    p[0] = uint8_t(v);
    p[1] = uint8_t(v >> 8);
}

} // namespace

std::span<const SettingsField> settingsFields() { return FIELDS; }

const SettingsField *findSettingsField(const char *name)
{
    for (const SettingsField &f : FIELDS)
        if (std::strcmp(f.name, name) == 0) return &f;
    return nullptr;
}

uint32_t readUnsigned(const uint8_t *record, const SettingsField &f)
{
    uint32_t value = 0;
    for (unsigned i = f.size > 4 ? 4 : f.size; i-- > 0;)
        value = value << 8 | record[f.offset + i];
    return value;
}

void writeUnsigned(uint8_t *record, const SettingsField &f, uint32_t value)
{
    for (unsigned i = 0; i < f.size && i < 4; ++i)
        record[f.offset + i] = uint8_t(value >> (8 * i));
}

SettingsRect readRect(const uint8_t *record, const SettingsField &f)
{
    const uint8_t *p = record + f.offset;
    SettingsRect r{int16_t(get16(p)), int16_t(get16(p + 2)), 0, 0};
    if (f.kind == FieldKind::Rect) {
        r.width = int16_t(get16(p + 4));
        r.height = int16_t(get16(p + 6));
    }
    return r;
}

void writeRect(uint8_t *record, const SettingsField &f, SettingsRect value)
{
    uint8_t *p = record + f.offset;
    put16(p, uint16_t(value.x));
    put16(p + 2, uint16_t(value.y));
    if (f.kind == FieldKind::Rect) {
        put16(p + 4, uint16_t(value.width));
        put16(p + 6, uint16_t(value.height));
    }
}

void applyDefaultSettings(ZenvarthSettings &record)
{
    auto *bytes = reinterpret_cast<uint8_t *>(&record);
    for (const SettingsField &f : FIELDS) {
        if (!f.hasDefault) continue;
        switch (f.kind) {
        case FieldKind::Color:
        case FieldKind::Unsigned:
            writeUnsigned(bytes, f, f.defaultValue);
            break;
        case FieldKind::Rect:
        case FieldKind::Point:
            writeRect(bytes, f, f.defaultRect);
            break;
        case FieldKind::Text:
        case FieldKind::Reserved:
            break;
        }
    }
}

} // namespace zenvarth
