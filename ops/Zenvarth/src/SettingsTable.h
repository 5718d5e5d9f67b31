// The one description of the settings record's fields: name, offset, width,
// default and the range the settings panel offers. The defaults routine, the
// layout checks, the preset tool and the tests all read this table.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

#include "ZenvarthSettings.h"

namespace zenvarth {

enum class FieldKind : uint8_t {
    Text,       // NUL-terminated text filling the field
    Color,      // one Pixel: alpha, V, U, Y
    Unsigned,   // little-endian unsigned integer of `size` bytes
    Rect,       // SettingsRect: four signed 16-bit values x, y, width, height
    Point,      // two signed 16-bit values x, y
    Reserved,   // never read or written
};

struct SettingsField {
    const char *name;
    uint16_t offset;
    uint16_t size;
    FieldKind kind;
    bool hasDefault;        // false: the defaults routine leaves the field alone
    uint32_t defaultValue;  // Unsigned: the value; Color: the pixel word
    SettingsRect defaultRect;   // Rect; Point uses x and y
    bool hasPanelRange;     // Unsigned only
    uint32_t panelMin;
    uint32_t panelMax;
};

std::span<const SettingsField> settingsFields();
const SettingsField *findSettingsField(const char *name);

// Largest value an Unsigned field can hold.
constexpr uint64_t fieldMaxValue(const SettingsField &f)
{
    return f.size >= 8 ? ~uint64_t(0) : (uint64_t(1) << (8 * f.size)) - 1;
}

// Field access on a raw 224-byte record, little-endian whatever the host.
uint32_t readUnsigned(const uint8_t *record, const SettingsField &f);
void writeUnsigned(uint8_t *record, const SettingsField &f, uint32_t value);
// Rect and Point fields: four values (a Point fills x and y only).
SettingsRect readRect(const uint8_t *record, const SettingsField &f);
void writeRect(uint8_t *record, const SettingsField &f, SettingsRect value);

// Writes every field's default; patternName, dominanceThreshold, panelAtTop
// and the reserved last byte keep their values.
void applyDefaultSettings(ZenvarthSettings &record);
// The same on the operator's own record.
void applyDefaultSettings();

} // namespace zenvarth
