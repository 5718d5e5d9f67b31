#include "rgba.h"

#include <cstdio>
#include <cstring>

#include "media/yuv_rgb.h"

namespace opsmlt {

std::string rgbaBase(const std::string &name)
{
    const size_t n = std::strlen(RGBA_SUFFIX);
    if (name.size() <= n || name.compare(name.size() - n, n, RGBA_SUFFIX) != 0) return {};
    return name.substr(0, name.size() - n);
}

namespace {

bool hexDigits(const std::string &text, size_t from, size_t count, uint32_t &value)
{
    if (text.size() != from + count) return false;
    value = 0;
    for (size_t i = from; i < text.size(); ++i) {
        const char c = text[i];
        int d = c >= '0' && c <= '9' ? c - '0' : c >= 'a' && c <= 'f' ? c - 'a' + 10 : c >= 'A' && c <= 'F' ? c - 'A' + 10 : -1;
        if (d < 0) return false;
        value = value << 4 | uint32_t(d);
    }
    return true;
}

} // namespace

bool parseRgba(const std::string &text, uint32_t &rgba, std::string &why)
{
    uint32_t v = 0;
    if (text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X') && hexDigits(text, 2, 8, v)) {
        rgba = v;
        return true;
    }
    if (!text.empty() && text[0] == '#' && hexDigits(text, 1, 6, v)) {
        rgba = v << 8 | 0xFF;
        return true;
    }
    why = "'" + text + "' is not 0xRRGGBBAA or #RRGGBB";
    return false;
}

std::string checkRgbaValue(const std::string &text)
{
    if (text.empty()) return "no colour given (0xRRGGBBAA or #RRGGBB)";
    size_t start = 0;
    for (;;) {
        const size_t end = text.find(';', start);
        std::string item = text.substr(start, end == std::string::npos ? std::string::npos : end - start);
        // A keyframe is TIME=VALUE (TIME with its interpolation mark); a colour has no '='.
        const size_t eq = item.find('=');
        if (eq != std::string::npos) item.erase(0, eq + 1);
        uint32_t rgba = 0;
        std::string why;
        if (!parseRgba(item, rgba, why)) return why;
        if (end == std::string::npos) return {};
        start = end + 1;
    }
}

uint32_t rgbaDefault(const PropertyInfo &info)
{
    const Pixel p = pixelFromWord(info.colorDefault);
    uint8_t r = 0, g = 0, b = 0;
    media::pixelToRgb(p, r, g, b);
    return uint32_t(r) << 24 | uint32_t(g) << 16 | uint32_t(b) << 8 | p.alpha;
}

std::string rgbaAssignment(const PropertyInfo &info, uint32_t rgba)
{
    if (rgba == rgbaDefault(info)) return {};
    char buf[16];
    std::snprintf(buf, sizeof buf, "#%08X", rgba);
    return info.name + "=" + buf;
}

} // namespace opsmlt
