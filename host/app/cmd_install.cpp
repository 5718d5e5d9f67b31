// ophost install OP: the operator's install action (prepares its data
// folder under QVHOME).
#include <sys/stat.h>
#include <unistd.h>

#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "command.h"
#include "ophost/options.h"
#include "hostrt/session.h"
#include "ophost/operators.h"
#include "ophost/run.h"

namespace {

int runInstall(int argc, char **argv)
{
    std::string name;
    std::vector<std::string> operands;
    const ophost::CommandHelp help = {"usage: ophost install OP\n\n"
                                      "Calls OP's install action, which prepares its data folder under the\n"
                                      "folder named by the environment variable QVHOME.\n"};
    if (auto stop = ophost::parseCommand("install", argc, argv, {}, help, {&operands, 1})) return *stop;
    if (!operands.empty()) name = operands[0];
    if (name.empty()) {
        std::fprintf(stderr, "ophost install: no operator given (usage: ophost install OP)\n");
        return ophost::EXIT_USAGE;
    }
    const char *home = std::getenv("QVHOME");
    if (!home || !*home) {
        std::fprintf(stderr, "ophost install: QVHOME is not set (it names the folder the operator installs under)\n");
        return ophost::EXIT_USAGE;
    }
    hostrt::LoadedOperator op;
    std::string error;
    if (auto stop = ophost::openOperator("install", name, op)) return *stop;
    hostrt::setLogListener([](const hostrt::LogLine &line) { std::fprintf(stderr, "%s\n", ophost::formatLogLine(line).c_str()); });
    OperatorContext ctx = hostrt::makeContext(OPACT_INSTALL);
    int32_t result = hostrt::callOperator(op.info().action, ctx);
    hostrt::setLogListener(nullptr);
    if (result != 0) {
        std::fprintf(stderr, "ophost install: %s: the install action answered %d\n", op.info().name.c_str(), result);
        return ophost::EXIT_FAILURE_STATUS;
    }
    // The action answers nothing when it cannot make the folder: look.
    std::string folder = std::string(home) + "/programs/";
    for (char c : op.info().name) folder += char(std::tolower(static_cast<unsigned char>(c)));
    struct stat st;
    if (stat(folder.c_str(), &st) == 0 && S_ISDIR(st.st_mode)) {
        std::fprintf(stderr, "ophost install: %s installed under %s\n", op.info().name.c_str(), folder.c_str());
        return ophost::EXIT_OK;
    }
    if (stat(home, &st) != 0 || !S_ISDIR(st.st_mode)) {
        std::fprintf(stderr, "ophost install: %s: QVHOME %s\n", home,
                     stat(home, &st) != 0 ? (std::string("cannot be used: ") + std::strerror(errno)).c_str()
                                          : "is not a folder");
        return ophost::EXIT_FAILURE_STATUS;
    }
    if (!op.info().settings) {
        // An operator without a settings record keeps no data.
        std::fprintf(stderr, "ophost install: %s keeps no data; nothing to install\n", op.info().name.c_str());
        return ophost::EXIT_OK;
    }
    // Name the first folder on the way that is missing and why it is.
    std::string reason = "it was not created";
    for (size_t slash = std::strlen(home); slash != std::string::npos; slash = folder.find('/', slash + 1)) {
        std::string part = folder.substr(0, slash);
        if (stat(part.c_str(), &st) != 0) break;
        if (!S_ISDIR(st.st_mode)) {
            reason = part + " is not a folder";
            break;
        }
        if (access(part.c_str(), W_OK) != 0) {
            reason = part + ": " + std::strerror(errno);
            break;
        }
    }
    std::fprintf(stderr, "ophost install: %s: its data folder %s could not be made: %s\n", op.info().name.c_str(),
                 folder.c_str(), reason.c_str());
    return ophost::EXIT_FAILURE_STATUS;
}

} // namespace

const ophost::Command ophost::INSTALL_COMMAND = {
    "install", "run an operator's install action (uses QVHOME)", runInstall};
