// ophost list: the operators found, with their revisions.
#include <cstdio>
#include <cstring>

#include "command.h"
#include "ophost/operators.h"

namespace {

int runList(int argc, char **argv)
{
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--help") == 0 || std::strcmp(argv[i], "-h") == 0) {
            std::printf("usage: ophost list\n\n"
                        "Lists the operators found next to ophost and in the folders of\n"
                        "OPHOST_PLUGIN_PATH (colon-separated, searched first), one line each:\n"
                        "name, revision, library path.\n");
            return ophost::EXIT_OK;
        }
        std::fprintf(stderr, "ophost list: unexpected argument '%s'\n", argv[i]);
        return ophost::EXIT_USAGE;
    }
    auto found = ophost::findOperators();
    int status = ophost::EXIT_OK;
    for (const auto &f : found) {
        hostrt::LoadedOperator op;
        if (op.open(f.path)) {
            std::printf("%-10s %s  %s\n", f.name.c_str(), op.info().revision.c_str(), f.path.c_str());
        } else {
            std::printf("%-10s (not loadable)  %s\n", f.name.c_str(), f.path.c_str());
            std::fprintf(stderr, "ophost list: %s\n", op.error().c_str());
        }
    }
    if (found.empty()) std::fprintf(stderr, "ophost list: no operators found\n");
    return status;
}

const ophost::RegisterCommand listCommand({"list", "list the operators found, with their revisions", runList});

} // namespace
