// Subcommands of ophost.
//
// To add a command, create host/app/cmd_<name>.cpp (it is picked up by the
// glob in CMakeLists.txt) and register it with one static object:
//
//     #include "command.h"
//     static int runFoo(int argc, char **argv);   // argv[0] is "foo"
//     static const ophost::RegisterCommand fooCommand({"foo", "one-line summary", runFoo});
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

// Every registered command, sorted by name.
const std::vector<Command> &commands();
const Command *findCommand(const char *name);

struct RegisterCommand {
    explicit RegisterCommand(Command command);
};

} // namespace ophost
