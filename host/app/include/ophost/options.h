// Command-line options as tables: each command lists its options (name,
// argument, help text, what takes the value), one parser reads argv
// against the table, and the option list of `--help` is printed from it.
//
// To add an option to a command, add one row to that command's table; an
// option several commands take is declared once below (sharedOptions).
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "ophost/sample_key.h"

namespace ophost {

struct Option {
    std::string name;                 // "--in0", "-o"
    std::string alias;                // another spelling ("-q"), or empty
    std::string argument;             // "FILE"; empty for a flag
    // Help lines (joined by '\n'), printed beside the label; empty: the
    // option is not listed on its own (another row names it too).
    std::string help;
    // The help column when it is not "name argument"; '\n' starts a line
    // of its own beside the next help line.
    std::string label;
    // Takes the value (a flag gets ""): returns "" or what was wrong with
    // the value, which the parser words as "NAME 'VALUE': <fault>".
    std::function<std::string(const std::string &value)> take;
};

using OptionTable = std::vector<Option>;

// What a command takes besides options: up to `most` operands (words that
// are not options; "-" is one).
struct Operands {
    std::vector<std::string> *into = nullptr;   // null: the command takes none
    size_t most = 0;
};

enum class Parsed { Run, Help, Usage };

// Reads argv[1..argc) against `table`: "--name=value" or "--name value"
// ("-o value" for a short name), and `--help`/`-h`. An unknown option, a
// missing value, a value the option refuses and an operand too many are
// each reported as "ophost COMMAND: ..." on standard error (Usage).
Parsed parseOptions(const std::string &command, int argc, char **argv, const OptionTable &table,
                    Operands operands = {});

// A command's `--help`: `head`, the option list from `column` on, `tail`.
struct CommandHelp {
    std::string head;
    std::string tail;
    size_t column = 26;
};

// parseOptions with its outcomes handled: on `--help` prints the help and
// gives the success status, on a usage fault gives the usage status, and
// gives nothing when the command is to run.
std::optional<int> parseCommand(const std::string &command, int argc, char **argv, const OptionTable &table,
                                const CommandHelp &help, Operands operands = {});

// The option list of `--help`: one row per listed option, its label and
// then its help text from `column` on (on a line of its own under a label
// too long for the column).
std::string optionHelp(const OptionTable &table, size_t column = 26);

// Prints a usage fault as "ophost COMMAND: message" and returns the usage
// exit status.
int usageFault(const std::string &command, const std::string &message);

// ---- value parsers to build rows with

Option flag(const std::string &name, bool &into, const std::string &help, const std::string &alias = "");
Option text(const std::string &name, const std::string &argument, std::string &into, const std::string &help);
// Refuses an empty value.
Option nonEmptyText(const std::string &name, const std::string &argument, std::string &into,
                    const std::string &help);
Option textList(const std::string &name, const std::string &argument, std::vector<std::string> &into,
                const std::string &help);
// An integer in lo..hi; `expected` words the range when "lo..hi" would not.
Option integer(const std::string &name, const std::string &argument, int &into, int lo, int hi,
               const std::string &help, const std::string &expected = "");

// WxH with each side in 1..maxWidth and 1..maxHeight. False on anything else.
bool parseSize(const std::string &text, int maxWidth, int maxHeight, int &width, int &height);
// "expected WxH, ..." for the limits.
std::string sizeFault(int maxWidth, int maxHeight);

// A frame range option's value: frames first..end-1.
struct FrameRange {
    int first = 0, end = -1;
    bool set = false;
};

// The options several commands take, declared once. Each row binds to the
// command's own variables; a command may reword a row's help.
namespace shared {
Option in0(std::string &into);
Option in1(std::string &into);
Option frames(FrameRange &into);
Option section(FrameRange &into);
Option set(std::vector<std::string> &into);
Option settings(std::string &into);
Option force(bool &into);
Option sampleKey(KeySampleArea &into, bool &given);
Option defaultMonitor(int &into);
Option quiet(bool &into, const std::string &help);
} // namespace shared

} // namespace ophost
