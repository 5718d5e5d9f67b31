// The host's resource sets: string tables and icons, compiled into the
// library from host/resources and the operators' resources folders.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "contract/contract.h"

namespace hostgui {

struct EmbeddedFile {
    const char *path;
    const char *text;
};
extern const EmbeddedFile embeddedResources[];

// A picture of the resource set: a host Picture over pixels it owns.
struct Icon {
    std::vector<Pixel> pixels;
    Picture picture{};
};

using StringTable = std::map<uint32_t, std::string>;

// The string table `name` ("zv_ops", "host"); false when there is none.
bool loadStringTable(const std::string &name, StringTable &table);
// The icons of image set `name` ("zv_ops", "host_gui"); false when none.
bool loadIconSet(const std::string &name, std::map<uint32_t, Icon> &icons);

// Parses one table or icon text; on a fault returns false and names it.
bool parseStringTable(const std::string &text, StringTable &table, std::string &error);
bool parseIcon(const std::string &text, Icon &icon, std::string &error);

// The host's label text of a parameter label id, or "" when it has none.
const std::string &hostLabel(uint32_t id);

} // namespace hostgui
