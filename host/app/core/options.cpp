// Command-line pieces the commands share: the option tables' parser and
// help, the rows several commands take, and --settings/--set applied to an
// operator, so every command reads the same options the same way.
#include <cstdio>

#include "ophost/options.h"
#include "ophost/params.h"

namespace ophost {

bool parseFrameRange(const std::string &text, int &first, int &end)
{
    const size_t colon = text.find(':');
    if (colon == std::string::npos) return false;
    int32_t a = 0, b = 0;
    if (!parseInt32(text.substr(0, colon), a) || !parseInt32(text.substr(colon + 1), b)) return false;
    if (a < 0 || b <= a) return false;
    first = a;
    end = b;
    return true;
}

std::string applyParameterOptions(hostrt::LoadedOperator &op, const std::string &settingsFile,
                                  const std::vector<std::string> &sets, bool &usageFault, bool force,
                                  std::vector<std::string> *notes)
{
    usageFault = false;
    // Settings record first (it follows GetOperatorInfo), then each --set.
    if (!settingsFile.empty()) {
        std::string fault = loadSettingsFile(op, settingsFile);
        if (!fault.empty()) return fault;
    }
    for (const std::string &set : sets) {
        std::string fault = applySetting(op, set, force, notes);
        if (!fault.empty()) {
            usageFault = true;
            return fault;
        }
    }
    return {};
}

} // namespace ophost

// ---------------------------------------------------------------- option tables

namespace ophost {

int usageFault(const std::string &command, const std::string &message)
{
    std::fprintf(stderr, "ophost %s: %s\n", command.c_str(), message.c_str());
    return 2;   // the usage status of every command
}

namespace {

const Option *findOption(const OptionTable &table, const std::string &name)
{
    for (const Option &o : table)
        if (o.name == name || (!o.alias.empty() && o.alias == name)) return &o;
    return nullptr;
}

std::vector<std::string> splitLines(const std::string &text)
{
    std::vector<std::string> lines;
    size_t start = 0;
    while (start <= text.size()) {
        size_t stop = text.find('\n', start);
        if (stop == std::string::npos) stop = text.size();
        lines.push_back(text.substr(start, stop - start));
        start = stop + 1;
    }
    return lines;
}

} // namespace

Parsed parseOptions(const std::string &command, int argc, char **argv, const OptionTable &table, Operands operands)
{
    auto fault = [&command](const std::string &message) {
        usageFault(command, message);
        return Parsed::Usage;
    };
    for (int i = 1; i < argc; ++i) {
        std::string word = argv[i];
        if (word == "--help" || word == "-h") return Parsed::Help;
        if (word.size() < 2 || word[0] != '-') {
            if (!operands.into || operands.into->size() >= operands.most)
                return fault("unexpected argument '" + word + "'");
            operands.into->push_back(word);
            continue;
        }
        std::string name = word, value;
        bool inlined = false;
        if (word.compare(0, 2, "--") == 0) {
            if (const size_t eq = word.find('='); eq != std::string::npos) {
                name = word.substr(0, eq);
                value = word.substr(eq + 1);
                inlined = true;
            }
        }
        const Option *option = findOption(table, name);
        if (!option) return fault("unknown option '" + name + "' (see ophost " + command + " --help)");
        if (option->argument.empty()) {
            if (inlined) return fault(name + " takes no value");
        } else if (!inlined) {
            if (i + 1 >= argc) return fault(name + " needs a value");
            value = argv[++i];
        }
        if (std::string why = option->take(value); !why.empty()) {
            if (option->argument.empty()) return fault(name + ": " + why);
            return fault(name + " '" + value + "': " + why);
        }
    }
    return Parsed::Run;
}

std::optional<int> parseCommand(const std::string &command, int argc, char **argv, const OptionTable &table,
                                const CommandHelp &help, Operands operands)
{
    switch (parseOptions(command, argc, argv, table, operands)) {
    case Parsed::Help:
        std::fputs((help.head + optionHelp(table, help.column) + help.tail).c_str(), stdout);
        return 0;
    case Parsed::Usage: return 2;   // already reported
    case Parsed::Run: break;
    }
    return std::nullopt;
}

std::string optionHelp(const OptionTable &table, size_t column)
{
    std::string out;
    for (const Option &o : table) {
        if (o.help.empty()) continue;
        std::vector<std::string> labels =
            splitLines(!o.label.empty() ? o.label : o.argument.empty() ? o.name : o.name + " " + o.argument);
        std::vector<std::string> help = splitLines(o.help);
        size_t h = 0;
        for (const std::string &label : labels) {
            out += "  " + label;
            if (2 + label.size() + 2 > column || h >= help.size()) {
                out += "\n";
                continue;
            }
            out += std::string(column - 2 - label.size(), ' ') + help[h++] + "\n";
        }
        for (; h < help.size(); ++h) out += std::string(column, ' ') + help[h] + "\n";
    }
    return out;
}

// ---- rows

Option flag(const std::string &name, bool &into, const std::string &help, const std::string &alias)
{
    return {name, alias, "", help, "", [&into](const std::string &) {
                into = true;
                return std::string();
            }};
}

Option text(const std::string &name, const std::string &argument, std::string &into, const std::string &help)
{
    return {name, "", argument, help, "", [&into](const std::string &v) {
                into = v;
                return std::string();
            }};
}

Option nonEmptyText(const std::string &name, const std::string &argument, std::string &into,
                    const std::string &help)
{
    return {name, "", argument, help, "", [&into, argument](const std::string &v) {
                if (v.empty()) return "expected " + argument + ", not nothing";
                into = v;
                return std::string();
            }};
}

Option textList(const std::string &name, const std::string &argument, std::vector<std::string> &into,
                const std::string &help)
{
    return {name, "", argument, help, "", [&into](const std::string &v) {
                into.push_back(v);
                return std::string();
            }};
}

Option integer(const std::string &name, const std::string &argument, int &into, int lo, int hi,
               const std::string &help, const std::string &expected)
{
    const std::string why =
        "expected " + (expected.empty() ? std::to_string(lo) + ".." + std::to_string(hi) : expected);
    return {name, "", argument, help, "", [&into, lo, hi, why](const std::string &v) {
                int32_t n = 0;
                if (!parseInt32(v, n) || n < lo || n > hi) return why;
                into = n;
                return std::string();
            }};
}

bool parseSize(const std::string &text, int maxWidth, int maxHeight, int &width, int &height)
{
    const size_t x = text.find('x');
    int32_t w = 0, h = 0;
    if (x == std::string::npos || !parseInt32(text.substr(0, x), w) || !parseInt32(text.substr(x + 1), h)) return false;
    if (w < 1 || h < 1 || w > maxWidth || h > maxHeight) return false;
    width = w;
    height = h;
    return true;
}

std::string sizeFault(int maxWidth, int maxHeight)
{
    return "expected WxH, up to " + std::to_string(maxWidth) + "x" + std::to_string(maxHeight);
}

namespace shared {

Option in0(std::string &into)
{
    Option o = text("--in0", "FILE", into,
                    "inputs 0 and 1: a YUV4MPEG2 file, - for YUV4MPEG2\n"
                    "on standard input, a PNG still that stands for\n"
                    "every frame, or any video file FFmpeg's libraries\n"
                    "read (.mov, .mp4, .mkv, .mxf, ..., or an image\n"
                    "sequence such as shot%04d.png); an operator with\n"
                    "two inputs needs both");
    o.label = "--in0 FILE, --in1 FILE";
    return o;
}

// Listed with --in0.
Option in1(std::string &into) { return text("--in1", "FILE", into, ""); }

Option frames(FrameRange &into)
{
    return {"--frames", "", "A:B",
            "frames A to B-1 (default: the section, else all of\n"
            "input 0, or one frame when every input is a still)",
            "", [&into](const std::string &v) {
                if (!parseFrameRange(v, into.first, into.end)) return std::string("expected A:B with 0 <= A < B");
                into.set = true;
                return std::string();
            }};
}

Option section(FrameRange &into)
{
    Option o = frames(into);
    o.name = "--section";
    o.help = "the section the operator is told (its length and\n"
             "each field's number in it, which fades follow),\n"
             "when --frames renders only part of it: chunks of\n"
             "one section concatenate to the same frames as one\n"
             "run (default: the frames rendered)";
    return o;
}

Option set(std::vector<std::string> &into)
{
    Option o = textList("--set", "NAME=VALUE", into,
                        "set a parameter by its label or index (see ophost\n"
                        "info OP; case and spaces do not matter, a unique\n"
                        "start of the label will do), in the order given;\n"
                        "each is followed by action 4 for it.\n"
                        "slider, choice: integer; colour: 0xYYUUVVAA,\n"
                        "y,u,v,a, #RRGGBB, #RRGGBBAA or rgb(R,G,B);\n"
                        "rectangle: x,y (moved, same size) or x,y,w,h\n"
                        "(y and h in field lines); a rectangle whose size\n"
                        "follows the operator takes only x,y.\n"
                        "Zenvarth: any settings field by its name\n"
                        "(zvpreset fields lists them), e.g. --set\n"
                        "keyerType=5 --set keyColor=#00B140");
    o.label = "--set NAME=VALUE\n--set N=VALUE";
    return o;
}

Option settings(std::string &into)
{
    return text("--settings", "FILE", into,
                "copy FILE into the operator's settings record\n"
                "(its size must be the record's); --set fields\n"
                "are applied after it");
}

Option force(bool &into)
{
    return flag("--force", into,
                "take --set values outside the range the operator\n"
                "offers (sliders, choices, rectangle sizes, and\n"
                "Zenvarth fields as zvpreset set --force)");
}

Option sampleKey(KeySampleArea &into, bool &given)
{
    return {"--sample-key", "", "x,y,w,h",
            "Zenvarth: keyColor = the mean of that rectangle\n"
            "of input 1's first field (y, h in field lines)\n"
            "Zenvarth: find the backing in the border of input\n"
            "1's first field and print the colour chosen\n"
            "(either form replaces any --set keyColor)",
            "--sample-key x,y,w,h\n\n--sample-key auto", [&into, &given](const std::string &v) {
                if (!parseKeySampleArea(v, into)) return std::string("expected auto or x,y,w,h (w, h > 0)");
                given = true;
                return std::string();
            }};
}

Option defaultMonitor(int &into)
{
    return integer("--default-monitor", "N", into, 1, 3,
                   "1: panels and a reduced preview share the editor\n"
                   "screen (default); 2: panels over the full-size\n"
                   "preview; 3: the same without backdrop",
                   "1, 2 or 3");
}

Option quiet(bool &into, const std::string &help) { return flag("--quiet", into, help, "-q"); }

} // namespace shared

} // namespace ophost
