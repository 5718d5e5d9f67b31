#include "ophost/operators.h"

#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstdlib>

#include "hostrt/gui_session.h"

namespace ophost {

std::string programFolder()
{
    char buf[4096];
    ssize_t n = readlink("/proc/self/exe", buf, sizeof buf - 1);
    if (n <= 0) return ".";
    std::string path(buf, size_t(n));
    size_t slash = path.find_last_of('/');
    return slash == std::string::npos ? "." : path.substr(0, slash);
}

std::vector<std::string> pluginFolders()
{
    std::vector<std::string> folders;
    if (const char *env = std::getenv("OPHOST_PLUGIN_PATH")) {
        std::string list = env;
        size_t start = 0;
        while (start <= list.size()) {
            size_t colon = list.find(':', start);
            if (colon == std::string::npos) colon = list.size();
            if (colon > start) folders.push_back(list.substr(start, colon - start));
            start = colon + 1;
        }
    }
    folders.push_back(programFolder());
    return folders;
}

static bool isFile(const std::string &path)
{
    struct stat st;
    return stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

std::vector<FoundOperator> findOperators()
{
    std::vector<FoundOperator> found;
    for (const std::string &folder : pluginFolders()) {
        DIR *dir = opendir(folder.c_str());
        if (!dir) continue;
        while (dirent *entry = readdir(dir)) {
            std::string file = entry->d_name;
            if (file.size() <= 3 || file.compare(file.size() - 3, 3, ".so") != 0) continue;
            std::string name = file.substr(0, file.size() - 3);
            // The runtime library lives beside the operators but is none.
            if (name.compare(0, 3, "lib") == 0) continue;
            std::string path = folder + "/" + file;
            if (!isFile(path)) continue;
            bool seen = std::any_of(found.begin(), found.end(), [&](const FoundOperator &f) { return f.name == name; });
            if (!seen) found.push_back({name, path});
        }
        closedir(dir);
    }
    std::sort(found.begin(), found.end(), [](const FoundOperator &a, const FoundOperator &b) { return a.name < b.name; });
    return found;
}

std::string operatorLibraryPath(const std::string &name)
{
    if (name.empty()) return {};
    bool isPath = name.find('/') != std::string::npos ||
                  (name.size() > 3 && name.compare(name.size() - 3, 3, ".so") == 0);
    if (isPath) return isFile(name) ? name : std::string();
    for (const std::string &folder : pluginFolders()) {
        std::string path = folder + "/" + name + ".so";
        if (isFile(path)) return path;
    }
    return caseInsensitiveOperatorPath(name);
}

namespace {

std::string lowerCase(const std::string &s)
{
    std::string out = s;
    for (char &c : out) c = char(std::tolower(static_cast<unsigned char>(c)));
    return out;
}

// Edits (insert, delete, replace) between two names.
size_t editDistance(const std::string &a, const std::string &b)
{
    std::vector<size_t> row(b.size() + 1);
    for (size_t j = 0; j <= b.size(); ++j) row[j] = j;
    for (size_t i = 1; i <= a.size(); ++i) {
        size_t diagonal = row[0];
        row[0] = i;
        for (size_t j = 1; j <= b.size(); ++j) {
            size_t up = row[j];
            row[j] = std::min({row[j] + 1, row[j - 1] + 1, diagonal + (a[i - 1] == b[j - 1] ? 0 : 1)});
            diagonal = up;
        }
    }
    return row[b.size()];
}

} // namespace

std::string caseInsensitiveOperatorPath(const std::string &name)
{
    const std::string lower = lowerCase(name);
    for (const FoundOperator &f : findOperators())
        if (lowerCase(f.name) == lower) return f.path;
    return {};
}

std::string nearestOperatorName(const std::string &name)
{
    const std::string lower = lowerCase(name);
    std::string best;
    size_t bestDistance = 0;
    for (const FoundOperator &f : findOperators()) {
        size_t d = editDistance(lower, lowerCase(f.name));
        if (best.empty() || d < bestDistance) {
            best = f.name;
            bestDistance = d;
        }
    }
    // Only a near miss is worth suggesting: at most a third of the name wrong.
    if (best.empty() || bestDistance > std::max<size_t>(2, best.size() / 3)) return {};
    return best;
}

std::string unknownOperatorMessage(const std::string &name)
{
    std::string nearest = nearestOperatorName(name);
    if (nearest.empty()) return "unknown operator '" + name + "' (see ophost list)";
    return "unknown operator '" + name + "': did you mean " + nearest + "? (see ophost list)";
}

bool loadOperator(const std::string &name, hostrt::LoadedOperator &op, std::string &error)
{
    std::string path = operatorLibraryPath(name);
    if (path.empty()) {
        error = unknownOperatorMessage(name);
        return false;
    }
    if (!op.open(path)) {
        error = op.error();
        return false;
    }
    return true;
}

std::optional<int> openOperator(const std::string &command, const std::string &name, hostrt::LoadedOperator &op)
{
    std::string error;
    const bool known = !operatorLibraryPath(name).empty();
    if (known && loadOperator(name, op, error)) return std::nullopt;
    std::fprintf(stderr, "ophost %s: %s\n", command.c_str(), known ? error.c_str() : unknownOperatorMessage(name).c_str());
    return known ? 1 : 2;
}

static std::function<std::string(uint32_t)> &labelSource()
{
    static std::function<std::string(uint32_t)> source;
    return source;
}

std::string hostLabelText(uint32_t id)
{
    // Without a source of its own, the host's resource tables answer.
    const auto &source = labelSource();
    return source ? source(id) : hostrt::gui::hostLabel(id);
}

void setHostLabelSource(std::function<std::string(uint32_t)> source) { labelSource() = std::move(source); }

} // namespace ophost
