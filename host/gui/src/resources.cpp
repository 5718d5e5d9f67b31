// Reading the embedded string tables and icons.
#include "hostgui/resources.h"

#include <cstdio>
#include <cstring>
#include <sstream>

namespace hostgui {

static const char *findFile(const std::string &path)
{
    for (const EmbeddedFile *f = embeddedResources; f->path; ++f)
        if (path == f->path) return f->text;
    return nullptr;
}

bool parseStringTable(const std::string &text, StringTable &table, std::string &error)
{
    std::istringstream in(text);
    std::string line;
    int lineNo = 0;
    while (std::getline(in, line)) {
        ++lineNo;
        if (line.empty() || line[0] == '#') continue;
        size_t tab = line.find('\t');
        char *end = nullptr;
        unsigned long id = std::strtoul(line.c_str(), &end, 10);
        if (tab == std::string::npos || end != line.c_str() + tab || tab == 0 || id > 0xFFFFFFFFul) {
            error = "line " + std::to_string(lineNo) + ": expected \"id<TAB>text\"";
            return false;
        }
        table[uint32_t(id)] = line.substr(tab + 1);
    }
    return true;
}

bool parseIcon(const std::string &text, Icon &icon, std::string &error)
{
    std::istringstream in(text);
    std::string line;
    int width = 0, height = 0;
    std::map<char, Pixel> colors;
    std::vector<std::string> rows;
    while (std::getline(in, line)) {
        if (line.empty() || line[0] == '#') continue;
        if (line.rfind("size ", 0) == 0) {
            if (std::sscanf(line.c_str() + 5, "%d %d", &width, &height) != 2 || width <= 0 ||
                height <= 0 || width > 256 || height > 256) {
                error = "bad size line";
                return false;
            }
        } else if (line.rfind("color ", 0) == 0 && line.size() > 7) {
            int y, u, v, a;
            if (std::sscanf(line.c_str() + 8, "%d %d %d %d", &y, &u, &v, &a) != 4) {
                error = "bad color line: " + line;
                return false;
            }
            colors[line[6]] = Pixel{uint8_t(a), uint8_t(v), uint8_t(u), uint8_t(y)};
        } else {
            rows.push_back(line);
        }
    }
    if (width == 0 || int(rows.size()) != height) {
        error = "expected " + std::to_string(height) + " rows of pixels";
        return false;
    }
    icon.pixels.resize(size_t(width) * size_t(height));
    for (int r = 0; r < height; ++r) {
        if (int(rows[size_t(r)].size()) != width) {
            error = "row " + std::to_string(r) + " is not " + std::to_string(width) + " wide";
            return false;
        }
        for (int c = 0; c < width; ++c) {
            auto it = colors.find(rows[size_t(r)][size_t(c)]);
            if (it == colors.end()) {
                error = std::string("undefined colour '") + rows[size_t(r)][size_t(c)] + "'";
                return false;
            }
            icon.pixels[size_t(r) * size_t(width) + size_t(c)] = it->second;
        }
    }
    icon.picture = Picture{icon.pixels.data(), int16_t(width), int16_t(height), 0, 0, int16_t(width),
                           int16_t(height)};
    return true;
}

bool loadStringTable(const std::string &name, StringTable &table)
{
    const char *text = findFile(name + ".strings");
    if (!text) return false;
    std::string error;
    if (!parseStringTable(text, table, error)) {
        std::fprintf(stderr, "host resources: %s.strings: %s\n", name.c_str(), error.c_str());
        return false;
    }
    return true;
}

bool loadIconSet(const std::string &name, std::map<uint32_t, Icon> &icons)
{
    std::string prefix = "images/" + name + "/";
    bool any = false;
    for (const EmbeddedFile *f = embeddedResources; f->path; ++f) {
        std::string path = f->path;
        if (path.rfind(prefix, 0) != 0) continue;
        std::string file = path.substr(prefix.size());
        uint32_t id = uint32_t(std::strtoul(file.c_str(), nullptr, 10));
        std::string error;
        Icon &icon = icons[id];
        if (!parseIcon(f->text, icon, error)) {
            std::fprintf(stderr, "host resources: %s: %s\n", path.c_str(), error.c_str());
            icons.erase(id);
            continue;
        }
        // The picture points into the vector held by the map entry.
        icon.picture.pixels = icon.pixels.data();
        any = true;
    }
    return any;
}

const std::string &hostLabel(uint32_t id)
{
    static const StringTable table = [] {
        StringTable t;
        loadStringTable("host", t);
        return t;
    }();
    static const std::string none;
    auto it = table.find(id);
    return it == table.end() ? none : it->second;
}

} // namespace hostgui
