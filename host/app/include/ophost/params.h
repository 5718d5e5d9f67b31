// Setting an operator's parameters from text, as a host does after a user's
// edit: the value goes into the live record, then action 4 with its index.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "SettingsTable.h"
#include "hostrt/loader.h"

namespace ophost {

// A parameter's current value as text, in the form parseParamValue accepts
// (choice/slider: integer; colour: 0xYYUUVVAA; rectangle: x,y,w,h;
// button: empty).
std::string formatParamValue(const hostrt::ParamInfo &param);

// Writes `text` into the record of `param`. A slider or choice takes an
// integer; a colour 0xYYUUVVAA, y,u,v,a, #RRGGBB, #RRGGBBAA or rgb(R,G,B);
// a rectangle x,y (keeping its size) or x,y,w,h. Sliders, choices and the
// size of a resizable rectangle stay within what the record offers unless
// `force`; a rectangle whose minimum is its maximum takes only the position,
// and `note` (when given) says so if another size was asked for. Returns an
// empty string or the fault.
std::string setParamValue(const hostrt::ParamInfo &param, const std::string &text, bool force = false,
                          std::string *note = nullptr);

// What a --set name stands for: a parameter (by index or label) or, for
// Zenvarth, a field of its settings record.
struct SettingTarget {
    enum Kind { Parameter, Field } kind = Parameter;
    unsigned index = 0;                                  // Parameter
    const zenvarth::SettingsField *field = nullptr;      // Field
    std::string name;                                    // label or field name
};

// A name as users may write it: letters and digits, lower case ("Near
// chroma", "near-chroma" and "NEARCHROMA" are all "nearchroma").
std::string looseName(const std::string &name);

// True when `op` is Zenvarth with its 224-byte settings record.
bool hasZenvarthRecord(const hostrt::LoadedOperator &op);

// Resolves `key`: a parameter index, else a parameter label or (Zenvarth) a
// settings field, compared as looseName; an exact match wins, else a unique
// prefix. Unknown or ambiguous names are refused with the candidates listed.
std::string resolveSettingName(const hostrt::LoadedOperator &op, const std::string &key, SettingTarget &target);

// "KEY=VALUE": sets the parameter KEY names (see resolveSettingName) and
// calls action 4 with its index; or writes the Zenvarth settings field KEY
// names, within the range zvpreset set allows. `force` lets any parameter
// or field outside its range; lines for the user (a size not taken) go to
// `notes`. Returns an empty string or the fault.
std::string applySetting(hostrt::LoadedOperator &op, const std::string &assignment, bool force,
                         std::vector<std::string> *notes = nullptr);
std::string applySetting(hostrt::LoadedOperator &op, const std::string &assignment);

// Copies the file's bytes into the operator's settings record; refuses an
// operator without one and a file of another size.
std::string loadSettingsFile(hostrt::LoadedOperator &op, const std::string &path);

// Rectangles the `assignments` ("KEY=VALUE", as applySetting took them)
// set that lie wholly off a field of width x fieldHeight: a sample area
// (flags 0) is refused, as there is nothing to average there (the fault is
// returned); any other gets a line in `warnings`, as the operators define
// what it does.
std::string checkSetRectangles(const hostrt::LoadedOperator &op, const std::vector<std::string> &assignments,
                               int width, int fieldHeight, std::vector<std::string> &warnings);

// Parses a 32-bit signed decimal (or 0x hex) integer; false on anything else.
bool parseInt32(const std::string &text, int32_t &value);

// --frames A:B: frames A to B-1, 0 <= A < B.
bool parseFrameRange(const std::string &text, int &first, int &end);

// --settings FILE (when not empty), then each --set in order. Returns an
// empty string or the fault; `usageFault` is set when a --set was at fault
// (a usage error) rather than the settings file.
std::string applyParameterOptions(hostrt::LoadedOperator &op, const std::string &settingsFile,
                                  const std::vector<std::string> &sets, bool &usageFault,
                                  bool force = false, std::vector<std::string> *notes = nullptr);

} // namespace ophost
