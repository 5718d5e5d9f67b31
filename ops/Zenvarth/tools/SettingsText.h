// Settings-record fields as text: NAME=VALUE assignments checked against the
// field table, and what each field means. Shared by zvpreset and by ophost's
// --set for Zenvarth, so both accept the same values within the same ranges.
#pragma once

#include <cstdint>
#include <span>
#include <string>

#include "SettingsTable.h"

namespace zenvarth {

// Writes `value` into field `f` of a raw 224-byte record. Numbers are
// decimal or 0x hex; colours 0xYYUUVVAA, y,u,v,a, #RRGGBB, #RRGGBBAA or
// rgb(R,G,B); rectangles x,y,w,h; points x,y; the pattern name as text.
// A value outside the field's width is always refused; one outside the
// panel range unless `force`. Returns an empty string or the reason (which
// names the field); a refused value leaves the record alone.
std::string assignSettingsField(uint8_t *record, const SettingsField &f, const std::string &value, bool force);

// "NAME=VALUE" with NAME exactly as the field table spells it.
std::string assignSettingsText(uint8_t *record, const std::string &assignment, bool force);

// What a field is for, in one line, and which keyer modes or effects read
// it (empty when the whole engine or the editor does).
struct FieldHelp {
    const char *name;
    const char *meaning;
    const char *usedBy;
};
std::span<const FieldHelp> fieldHelpTable();
const FieldHelp *fieldHelp(const char *name);

// The field's type as `zvpreset fields` shows it ("u8", "colour", ...), its
// range ("1..11", "-32768..32767 each") and its default as text.
std::string fieldTypeText(const SettingsField &f);
std::string fieldRangeText(const SettingsField &f);
std::string fieldDefaultText(const SettingsField &f);

// The twelve keyer modes and the five effects, one line each.
struct ModeHelp {
    int value;
    const char *name;
    const char *keysOn;
    const char *fields;
};
std::span<const ModeHelp> keyerModeHelp();
std::span<const ModeHelp> effectHelp();

} // namespace zenvarth
