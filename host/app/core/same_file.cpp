#include "ophost/same_file.h"

#include <dirent.h>
#include <sys/stat.h>

#include <cctype>
#include <cstdio>
#include <utility>

namespace ophost {

namespace {

using FileId = std::pair<dev_t, ino_t>;

struct Found {
    FileId id;
    std::string name;
};

// The position and length of the one %d (or %0Nd) in `name`'s last part;
// false when it has none.
bool numberConversion(const std::string &name, size_t from, size_t &at, size_t &length)
{
    for (size_t i = from; i < name.size(); ++i) {
        if (name[i] != '%') continue;
        if (i + 1 < name.size() && name[i + 1] == '%') {
            ++i;
            continue;
        }
        size_t j = i + 1;
        while (j < name.size() && std::isdigit(static_cast<unsigned char>(name[j]))) ++j;
        if (j < name.size() && name[j] == 'd') {
            at = i;
            length = j + 1 - i;
            return true;
        }
    }
    return false;
}

// Every existing file `path` names: itself, or each file of the sequence.
std::vector<Found> filesNamed(const std::string &path)
{
    std::vector<Found> files;
    struct stat st;
    const size_t slash = path.find_last_of('/');
    const size_t baseAt = slash == std::string::npos ? 0 : slash + 1;
    size_t at = 0, length = 0;
    if (!numberConversion(path, baseAt, at, length)) {
        if (::stat(path.c_str(), &st) == 0) files.push_back({{st.st_dev, st.st_ino}, path});
        return files;
    }
    const std::string folder = path.substr(0, baseAt);
    // The pattern with %ld, so that the number can be put back and the
    // result compared with the name found.
    const size_t letter = at + length - 1;   // the 'd'
    const std::string pattern = path.substr(baseAt, letter - baseAt) + "l" + path.substr(letter);
    DIR *dir = ::opendir(folder.empty() ? "." : folder.c_str());
    if (!dir) return files;
    while (const dirent *entry = ::readdir(dir)) {
        const std::string name = entry->d_name;
        for (size_t start = 0; start < name.size(); ++start) {
            if (!std::isdigit(static_cast<unsigned char>(name[start]))) continue;
            if (start > 0 && std::isdigit(static_cast<unsigned char>(name[start - 1]))) continue;
            size_t end = start;
            while (end < name.size() && std::isdigit(static_cast<unsigned char>(name[end])) && end - start < 18) ++end;
            const long number = std::stol(name.substr(start, end - start));
            if (numberedName(pattern, number) != name) continue;
            const std::string full = folder + name;
            if (::stat(full.c_str(), &st) == 0) files.push_back({{st.st_dev, st.st_ino}, full});
            break;
        }
    }
    ::closedir(dir);
    return files;
}

} // namespace

std::string sameFileFault(const std::string &outputOption, const std::string &output,
                          const std::vector<ReadFile> &reads)
{
    if (output.empty() || output == "-") return {};
    const std::vector<Found> written = filesNamed(output);
    if (written.empty()) return {};
    for (const ReadFile &read : reads) {
        if (read.path.empty() || read.path == "-") continue;
        for (const Found &in : filesNamed(read.path)) {
            for (const Found &out : written) {
                if (in.id != out.id) continue;
                std::string fault = outputOption + " " + output;
                if (out.name != output) fault += " (" + out.name + ")";
                fault += " is the same file as " + read.option + " " + read.path;
                if (in.name != read.path) fault += " (" + in.name + ")";
                return fault + "; refusing to write over it";
            }
        }
    }
    return {};
}

std::string numberedName(const std::string &pattern, long number)
{
    char buf[4096];
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wformat-nonliteral"
    std::snprintf(buf, sizeof buf, pattern.c_str(), number);
#pragma GCC diagnostic pop
    return buf;
}

} // namespace ophost
