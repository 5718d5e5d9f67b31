#include "media/color_text.h"

#include <cctype>
#include <cstdio>

#include "media/yuv_rgb.h"

namespace media {

namespace {

int hexDigit(char c)
{
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

bool startsWithRgb(const std::string &text)
{
    return text.size() >= 4 && std::tolower(static_cast<unsigned char>(text[0])) == 'r' &&
           std::tolower(static_cast<unsigned char>(text[1])) == 'g' &&
           std::tolower(static_cast<unsigned char>(text[2])) == 'b' && text[3] == '(';
}

// One decimal component 0..255 at `at`, spaces around it allowed.
bool component(const std::string &text, size_t &at, int &value)
{
    while (at < text.size() && text[at] == ' ') ++at;
    size_t start = at;
    value = 0;
    while (at < text.size() && std::isdigit(static_cast<unsigned char>(text[at])) && at - start < 4)
        value = value * 10 + (text[at++] - '0');
    if (at == start || value > 255) return false;
    while (at < text.size() && text[at] == ' ') ++at;
    return true;
}

} // namespace

bool looksLikeRgbColor(const std::string &text) { return (!text.empty() && text[0] == '#') || startsWithRgb(text); }

std::string parseRgbColor(const std::string &text, Pixel &pixel)
{
    int rgba[4] = {0, 0, 0, 255};
    if (!text.empty() && text[0] == '#') {
        size_t digits = text.size() - 1;
        if (digits != 6 && digits != 8) return "'" + text + "' is not #RRGGBB or #RRGGBBAA";
        for (size_t i = 0; i < digits / 2; ++i) {
            int hi = hexDigit(text[1 + 2 * i]), lo = hexDigit(text[2 + 2 * i]);
            if (hi < 0 || lo < 0) return "'" + text + "' is not #RRGGBB or #RRGGBBAA (hex digits)";
            rgba[i] = hi * 16 + lo;
        }
    } else if (startsWithRgb(text)) {
        size_t at = 4;
        for (int i = 0; i < 3; ++i) {
            if (!component(text, at, rgba[i])) return "'" + text + "' is not rgb(R,G,B) with each 0 to 255";
            char expected = i < 2 ? ',' : ')';
            if (at >= text.size() || text[at] != expected) return "'" + text + "' is not rgb(R,G,B)";
            ++at;
        }
        if (at != text.size()) return "'" + text + "' is not rgb(R,G,B) (text after the ')')";
    } else {
        return "'" + text + "' is not #RRGGBB, #RRGGBBAA or rgb(R,G,B)";
    }
    pixel = rgbToPixel(uint8_t(rgba[0]), uint8_t(rgba[1]), uint8_t(rgba[2]), uint8_t(rgba[3]));
    return {};
}

std::string formatRgbColor(Pixel pixel)
{
    uint8_t r = 0, g = 0, b = 0;
    pixelToRgb(pixel, r, g, b);
    char buf[16];
    if (pixel.alpha == 255) std::snprintf(buf, sizeof buf, "#%02X%02X%02X", r, g, b);
    else std::snprintf(buf, sizeof buf, "#%02X%02X%02X%02X", r, g, b, pixel.alpha);
    return buf;
}

} // namespace media
