// Setting an operator's parameters from text, as a host does after a user's
// edit: the value goes into the live record, then action 4 with its index.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "hostrt/loader.h"

namespace ophost {

// A parameter's current value as text, in the form parseParamValue accepts
// (choice/slider: integer; colour: 0xYYUUVVAA; rectangle: x,y,w,h;
// button: empty).
std::string formatParamValue(const hostrt::ParamInfo &param);

// Writes `text` into the record of `param`. A slider or choice takes an
// integer; a colour 0xYYUUVVAA or y,u,v,a; a rectangle x,y,w,h (its minimum
// and maximum are left alone). Returns an empty string or the fault.
std::string setParamValue(const hostrt::ParamInfo &param, const std::string &text);

// "N=VALUE": sets parameter N of `op` and calls action 4 with paramIndex N.
// Returns an empty string or the fault.
std::string applySetting(hostrt::LoadedOperator &op, const std::string &assignment);

// Copies the file's bytes into the operator's settings record; refuses an
// operator without one and a file of another size.
std::string loadSettingsFile(hostrt::LoadedOperator &op, const std::string &path);

// Parses a 32-bit signed decimal (or 0x hex) integer; false on anything else.
bool parseInt32(const std::string &text, int32_t &value);

// --frames A:B: frames A to B-1, 0 <= A < B.
bool parseFrameRange(const std::string &text, int &first, int &end);

// --settings FILE (when not empty), then each --set in order. Returns an
// empty string or the fault; `usageFault` is set when a --set was at fault
// (a usage error) rather than the settings file.
std::string applyParameterOptions(hostrt::LoadedOperator &op, const std::string &settingsFile,
                                  const std::vector<std::string> &sets, bool &usageFault);

} // namespace ophost
