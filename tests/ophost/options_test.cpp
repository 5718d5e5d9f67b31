// The option tables' parser and the --help rows printed from a table.
#include <gtest/gtest.h>

#include <sstream>

#include "ophost/options.h"

namespace {

struct Bound {
    std::string in0, out;
    std::vector<std::string> sets, operands;
    bool force = false, quiet = false;
    int jobs = 1;
    ophost::FrameRange frames;

    ophost::OptionTable table()
    {
        ophost::OptionTable t = {
            ophost::shared::in0(in0),
            ophost::text("-o", "FILE", out, "output"),
            ophost::shared::set(sets),
            ophost::shared::force(force),
            ophost::shared::quiet(quiet, "quiet"),
            ophost::integer("--jobs", "N", jobs, 1, 256, "jobs"),
            ophost::shared::frames(frames),
        };
        return t;
    }
};

struct Outcome {
    ophost::Parsed parsed;
    std::string err;
};

Outcome parse(Bound &b, const std::string &line, size_t operands = 1)
{
    std::vector<std::string> words{"cmd"};
    std::istringstream in(line);
    for (std::string w; in >> w;) words.push_back(w == "''" ? "" : w);
    std::vector<char *> argv;
    for (std::string &w : words) argv.push_back(w.data());
    testing::internal::CaptureStderr();
    const ophost::OptionTable table = b.table();
    ophost::Parsed p = ophost::parseOptions("cmd", int(argv.size()), argv.data(), table, {&b.operands, operands});
    return {p, testing::internal::GetCapturedStderr()};
}

} // namespace

// Each way of writing a value, and each fault named with its option.
TEST(OptionTable, ParsesAndRefusesAsTheRowsSay)
{
    using ophost::Parsed;
    struct Case {
        const char *line;
        Parsed parsed;
        const char *err;   // the whole message, or "" when none
    } cases[] = {
        {"OP --in0 a.y4m -o b.y4m", Parsed::Run, ""},
        {"--in0=a=b.y4m OP", Parsed::Run, ""},
        {"OP --in0 --frames", Parsed::Run, ""},   // a value may look like an option
        {"OP -q --force --set 1=2 --set=x=3", Parsed::Run, ""},
        {"OP - ", Parsed::Usage, "ophost cmd: unexpected argument '-'\n"},
        {"OP OTHER", Parsed::Usage, "ophost cmd: unexpected argument 'OTHER'\n"},
        {"OP --bogus", Parsed::Usage, "ophost cmd: unknown option '--bogus' (see ophost cmd --help)\n"},
        {"OP --bogus=1", Parsed::Usage, "ophost cmd: unknown option '--bogus' (see ophost cmd --help)\n"},
        {"OP -o", Parsed::Usage, "ophost cmd: -o needs a value\n"},
        {"OP --force=yes", Parsed::Usage, "ophost cmd: --force takes no value\n"},
        {"OP --jobs 0", Parsed::Usage, "ophost cmd: --jobs '0': expected 1..256\n"},
        {"OP --jobs=257", Parsed::Usage, "ophost cmd: --jobs '257': expected 1..256\n"},
        {"OP --jobs ''", Parsed::Usage, "ophost cmd: --jobs '': expected 1..256\n"},
        {"OP --frames 3:3", Parsed::Usage, "ophost cmd: --frames '3:3': expected A:B with 0 <= A < B\n"},
        {"OP --bogus --help", Parsed::Usage, "ophost cmd: unknown option '--bogus' (see ophost cmd --help)\n"},
        {"OP --jobs 3 -h --bogus", Parsed::Help, ""},
    };
    for (const Case &c : cases) {
        Bound b;
        Outcome o = parse(b, c.line);
        EXPECT_EQ(o.parsed, c.parsed) << c.line;
        EXPECT_EQ(o.err, c.err) << c.line;
    }
    Bound b;
    ASSERT_EQ(parse(b, "--set=x=3 OP --in0=a=b -q --set 1=2 --jobs 0x10 --frames 2:5 --force").parsed, Parsed::Run);
    EXPECT_EQ(b.operands, std::vector<std::string>{"OP"});
    EXPECT_EQ(b.in0, "a=b");
    EXPECT_EQ(b.sets, (std::vector<std::string>{"x=3", "1=2"}));
    EXPECT_TRUE(b.quiet && b.force);
    EXPECT_EQ(b.jobs, 16);
    EXPECT_TRUE(b.frames.set);
    EXPECT_EQ(b.frames.first, 2);
    EXPECT_EQ(b.frames.end, 5);
    Bound none;
    EXPECT_EQ(parse(none, "a b", 0).err, "ophost cmd: unexpected argument 'a'\n");
}

// WxH within the limits given, nothing else.
TEST(OptionTable, SizesKeepToTheirLimits)
{
    struct Case {
        const char *text;
        bool ok;
    } cases[] = {{"1x1", true},     {"8192x4096", true}, {"8193x1", false}, {"1x4097", false}, {"0x5", false},
                 {"5x", false},     {"x5", false},       {"5*5", false},    {"-5x5", false},   {"5x5x5", false},
                 {"0x10x4", false}, {"", false}};
    for (const Case &c : cases) {
        int w = -1, h = -1;
        EXPECT_EQ(ophost::parseSize(c.text, 8192, 4096, w, h), c.ok) << c.text;
        if (!c.ok) {
            EXPECT_EQ(w, -1) << c.text;
        }
    }
}

// Labels short enough share the line with the help; longer ones stand
// alone; a row without help is left out; labels of several lines pair with
// the help's lines.
TEST(OptionTable, HelpRowsAlignAtTheColumn)
{
    std::string a, b;
    bool f = false;
    ophost::Option twoLabels = ophost::text("--pair", "X", a, "first\nsecond\nthird");
    twoLabels.label = "--pair X\n--pair Y";
    const ophost::OptionTable table = {
        ophost::text("--short", "FILE", a, "one\ntwo"),
        ophost::text("--a-rather-long-option", "FILE", b, "alone"),
        ophost::flag("--hidden", f, ""),
        twoLabels,
    };
    EXPECT_EQ(ophost::optionHelp(table, 16), "  --short FILE  one\n"
                                             "                two\n"
                                             "  --a-rather-long-option FILE\n"
                                             "                alone\n"
                                             "  --pair X      first\n"
                                             "  --pair Y      second\n"
                                             "                third\n");
}
