// Subcommands of ophost.
//
// To add a command, create host/app/cmd_<name>.cpp (it is picked up by the
// glob in CMakeLists.txt) defining its entry, declare the entry below and
// list it in main.cpp's table:
//
//     #include "command.h"
//     static int runFoo(int argc, char **argv);   // argv[0] is "foo"
//     const ophost::Command ophost::FOO_COMMAND = {"foo", "one-line summary", runFoo};
//
// `run` gets the arguments that follow "ophost" (argv[0] is the command's
// name) and returns the exit status: 0 success, 1 failure, 2 usage error
// (ophost::EXIT_USAGE). Every command answers `--help` itself. Reusable
// pieces (loading operators, the rendering run, fields, --set) are in the
// ophost_core library, headers under include/ophost/.
#pragma once

#include <vector>

namespace ophost {

constexpr int EXIT_OK = 0;
constexpr int EXIT_FAILURE_STATUS = 1;
constexpr int EXIT_USAGE = 2;

struct Command {
    const char *name;
    const char *summary;
    int (*run)(int argc, char **argv);
};

// One per cmd_<name>.cpp.
extern const Command BENCH_COMMAND, DEMO_COMMAND, EDIT_COMMAND, GALLERY_COMMAND, INFO_COMMAND, INSTALL_COMMAND,
    JOIN_COMMAND, LIST_COMMAND, RENDER_COMMAND;

// Every command, sorted by name.
const std::vector<Command> &commands();
const Command *findCommand(const char *name);

} // namespace ophost
