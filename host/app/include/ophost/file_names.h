// File names as the host reads them to pick a reader or writer.
#pragma once

#include <cctype>
#include <cstring>
#include <string>

namespace ophost {

// True when `s` ends with `suffix` (given in lower case), the letters of `s`
// compared in either case: "CLIP.Y4M" ends with ".y4m".
inline bool endsWith(const std::string &s, const char *suffix)
{
    size_t n = std::strlen(suffix);
    if (s.size() < n) return false;
    for (size_t i = 0; i < n; ++i)
        if (std::tolower(static_cast<unsigned char>(s[s.size() - n + i])) != suffix[i]) return false;
    return true;
}

} // namespace ophost
