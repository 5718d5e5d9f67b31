// ophost list: the operators found: name, revision number, what each does.
#include <cctype>
#include <cstdio>
#include <cstring>

#include "command.h"
#include "ophost/options.h"
#include "ophost/operators.h"

namespace {

// What the operators this host knows do; an operator from elsewhere shows
// its library path instead.
struct Purpose {
    const char *name;
    const char *text;
};
constexpr Purpose PURPOSES[] = {
    {"Dremwick", "rectangle mask: lays a colour over the inside or outside of a rectangle"},
    {"Plindor", "rectangle move: moves a block of the picture, fills the hole with a colour"},
    {"Quorvel", "rectangle copy: copies a block of input 1 into input 0"},
    {"Tolmic", "chroma isolation: strengthens chroma near a sampled colour, weakens the rest (keys nothing)"},
    {"Vashrel", "chroma change: shifts colours near a sampled colour towards a target colour"},
    {"Zenvarth", "chroma-key compositor: keys input 1 over input 0 (twelve keyers, five effects)"},
};

// The revision number of an identification line ("$Id: Tolmic 1.0 ... $"
// gives "1.0"): its first word made of digits and dots.
std::string revisionNumber(const std::string &revision)
{
    size_t at = 0;
    while (at < revision.size()) {
        while (at < revision.size() && revision[at] == ' ') ++at;
        size_t end = revision.find(' ', at);
        if (end == std::string::npos) end = revision.size();
        std::string word = revision.substr(at, end - at);
        // An RCS line may write the revision as ",v 1.0" after the file name.
        bool digits = !word.empty() && std::isdigit(static_cast<unsigned char>(word[0])) &&
                      word.find('.') != std::string::npos &&
                      word.find_first_not_of("0123456789.") == std::string::npos;
        if (digits) return word;
        at = end;
    }
    return "?";
}

int runList(int argc, char **argv)
{
    bool paths = false;
    const ophost::OptionTable table = {
        ophost::flag("--paths", paths, "the library path and the whole revision line\ninstead of the purpose")};
    const ophost::CommandHelp help = {"usage: ophost list [--paths]\n\n"
                                      "Lists the operators found next to ophost and in the folders of\n"
                                      "OPHOST_PLUGIN_PATH (colon-separated, searched first), one line each:\n"
                                      "name, revision number and what it does.\n\n", "", 12};
    if (auto stop = ophost::parseCommand("list", argc, argv, table, help)) return *stop;
    auto found = ophost::findOperators();
    for (const auto &f : found) {
        hostrt::LoadedOperator op;
        if (!op.open(f.path)) {
            std::printf("%-10s %-5s (not loadable)  %s\n", f.name.c_str(), "-", f.path.c_str());
            std::fprintf(stderr, "ophost list: %s\n", op.error().c_str());
            continue;
        }
        const std::string &revision = op.info().revision;
        if (paths) {
            std::printf("%-10s %s  %s\n", f.name.c_str(), revision.c_str(), f.path.c_str());
            continue;
        }
        const char *purpose = nullptr;
        for (const Purpose &p : PURPOSES)
            if (f.name == p.name) purpose = p.text;
        std::printf("%-10s %-5s %s\n", f.name.c_str(), revisionNumber(revision).c_str(),
                    purpose ? purpose : f.path.c_str());
    }
    if (found.empty()) std::fprintf(stderr, "ophost list: no operators found\n");
    return ophost::EXIT_OK;
}

} // namespace

const ophost::Command ophost::LIST_COMMAND = {"list", "list the operators found: name, revision, purpose", runList};
