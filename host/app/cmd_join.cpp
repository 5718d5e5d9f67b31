// ophost join -o OUT PART...: the parts of a chunked render into one output.
#include <cstdio>
#include <string>
#include <vector>

#include "command.h"
#include "ophost/options.h"
#include "ophost/chunks.h"

namespace {

const char *const JOIN_USAGE =
    "usage: ophost join [--audio-from FILE] -o OUT PART...\n"
    "\n"
    "Joins the parts that chunks of one render wrote (ophost render ... --chunks N\n"
    "--plan prints the commands) into OUT, the output a single run writes.\n"
    "The parts must agree (size, rate, chroma format, field order, codec) and\n"
    "hold consecutive frames of one section, in the order given: a gap, an\n"
    "overlap or a mismatch is refused, naming the part, before OUT is touched.\n"
    "\n";

const char *const JOIN_EXIT = "\nExit status: 0 done, 1 failure (a part refused or unreadable), 2 usage error.\n";

int runJoin(int argc, char **argv)
{
    std::string out, audio;
    std::vector<std::string> parts;
    bool quiet = false, removeParts = false;
    auto usage = [](const std::string &message) { return ophost::usageFault("join", message); };
    const ophost::OptionTable table = {
        ophost::nonEmptyText("-o", "OUT", out,
                             ".y4m (or - for standard output): the parts' frames\n"
                             "byte for byte under one header; .mov, .mkv, .mp4, ...:\n"
                             "the parts' video streams copied, never encoded again;\n"
                             "name%04d.png: the parts' frames renamed into place"),
        ophost::nonEmptyText("--audio-from", "FILE", audio,
                             "copy FILE's audio into OUT, cut to the frames joined\n"
                             "(input 0 of the render)"),
        ophost::flag("--remove-parts", removeParts, "remove the parts once OUT is written"),
        ophost::shared::quiet(quiet, "no notes on standard error"),
    };
    if (auto stop = ophost::parseCommand("join", argc, argv, table, {JOIN_USAGE, JOIN_EXIT, 21}, {&parts, SIZE_MAX}))
        return *stop;
    if (out.empty()) return usage("no output: give -o OUT");
    if (parts.empty()) return usage("no parts to join");
    std::vector<std::string> notes;
    const std::string fault = ophost::joinParts(parts, out, audio, notes);
    if (!quiet)
        for (const std::string &n : notes) std::fprintf(stderr, "ophost join: note: %s\n", n.c_str());
    if (!fault.empty()) {
        std::fprintf(stderr, "ophost join: %s\n", fault.c_str());
        return ophost::EXIT_FAILURE_STATUS;
    }
    // A PNG sequence's parts were renamed into place: nothing is left.
    if (removeParts)
        for (const std::string &p : parts)
            if (p.find('%') == std::string::npos && std::remove(p.c_str()) != 0)
                std::fprintf(stderr, "ophost join: warning: cannot remove %s\n", p.c_str());
    return ophost::EXIT_OK;
}

} // namespace

const ophost::Command ophost::JOIN_COMMAND = {"join", "join the parts of a chunked render into one output", runJoin};
