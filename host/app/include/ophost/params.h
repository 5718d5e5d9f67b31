// Setting an operator's parameters from text, as a host does after a user's
// edit: the value goes into the live record, then action 4 with its index.
#pragma once

#include <cstdint>
#include <string>

#include "hostrt/loader.h"

namespace ophost {

// A parameter's current value as text, in the form parseParamValue accepts
// (choice/slider: integer; colour: 0xYYUUVVAA; rectangle: x,y,w,h;
// button: empty).
std::string formatParamValue(const hostrt::ParamInfo &param);

// Writes `text` into the record of `param`. A slider or choice takes an
// integer; a colour 0xYYUUVVAA or y,u,v,a; a rectangle x,y,w,h, its size
// within the record's minimum and maximum (which are left alone). Returns
// an empty string or the fault.
std::string setParamValue(const hostrt::ParamInfo &param, const std::string &text);

// "N=VALUE": sets parameter N of `op` and calls action 4 with paramIndex N.
// Returns an empty string or the fault.
std::string applySetting(hostrt::LoadedOperator &op, const std::string &assignment);

// Copies the file's bytes into the operator's settings record; refuses an
// operator without one and a file of another size.
std::string loadSettingsFile(hostrt::LoadedOperator &op, const std::string &path);

// Every rectangle set by setParamValue must overlap a field of width x
// fieldHeight (partly off is the operator's to clip). Returns an empty string or the fault.
std::string checkSetRectangles(const hostrt::LoadedOperator &op, int width, int fieldHeight);

// Parses a 32-bit signed decimal (or 0x hex) integer; false on anything else.
bool parseInt32(const std::string &text, int32_t &value);

} // namespace ophost
