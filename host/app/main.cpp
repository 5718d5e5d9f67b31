// ophost: the stand-in host's command-line program. Dispatches to the
// registered subcommands (see command.h).
#include <malloc.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <exception>
#include <new>
#include <string>

#include "command.h"

namespace ophost {

const std::vector<Command> &commands()
{
    static const std::vector<Command> list = {BENCH_COMMAND, DEMO_COMMAND,    EDIT_COMMAND, GALLERY_COMMAND,
                                              INFO_COMMAND,  INSTALL_COMMAND, JOIN_COMMAND, LIST_COMMAND,
                                              RENDER_COMMAND};
    return list;
}

const Command *findCommand(const char *name)
{
    for (const Command &c : commands())
        if (std::strcmp(c.name, name) == 0) return &c;
    return nullptr;
}

} // namespace ophost

static void printUsage(FILE *to)
{
    std::fprintf(to, "usage: ophost COMMAND [options]\n"
                     "       ophost COMMAND --help\n"
                     "       ophost --version\n\n"
                     "Runs video operators on video: YUV4MPEG2 files and pipes, PNG stills, and\n"
                     "any video file FFmpeg's libraries read (.mov, .mp4, .mkv, .mxf, ..., or an\n"
                     "image sequence such as shot%%04d.png); see ophost render --help.\n\ncommands:\n");
    size_t width = 0;
    for (const auto &c : ophost::commands()) width = std::max(width, std::strlen(c.name));
    for (const auto &c : ophost::commands())
        std::fprintf(to, "  %-*s  %s\n", int(width), c.name, c.summary);
    std::fprintf(to, "\nOperators are found next to ophost and in the folders of OPHOST_PLUGIN_PATH.\n");
}

int main(int argc, char **argv)
{
    // Every field is a fresh buffer of a few megabytes: keep freed memory in
    // the process instead of handing it back and faulting it in again.
    mallopt(M_MMAP_THRESHOLD, 64 << 20);
    mallopt(M_TRIM_THRESHOLD, 512 << 20);
    if (argc < 2) {
        printUsage(stderr);
        return ophost::EXIT_USAGE;
    }
    std::string first = argv[1];
    if (first == "--version" || first == "-V") {
        std::printf("ophost %s\n", OPHOST_VERSION);
        return ophost::EXIT_OK;
    }
    if (first == "--help" || first == "-h" || first == "help") {
        if (first == "help" && argc > 2) {
            if (const ophost::Command *c = ophost::findCommand(argv[2])) {
                char help[] = "--help";
                char *args[] = {argv[2], help, nullptr};
                return c->run(2, args);
            }
        }
        printUsage(stdout);
        return ophost::EXIT_OK;
    }
    const ophost::Command *command = ophost::findCommand(argv[1]);
    if (!command) {
        std::fprintf(stderr, "ophost: unknown command '%s' (see ophost --help)\n", argv[1]);
        return ophost::EXIT_USAGE;
    }
    // Out of memory (or any other fault thrown) ends the command with a
    // message and status 1; unwinding removes its temporary outputs.
    try {
        return command->run(argc - 1, argv + 1);
    } catch (const std::bad_alloc &) {
        std::fprintf(stderr, "ophost %s: out of memory\n", argv[1]);
    } catch (const std::exception &e) {
        std::fprintf(stderr, "ophost %s: %s\n", argv[1], e.what());
    }
    return ophost::EXIT_FAILURE_STATUS;
}
