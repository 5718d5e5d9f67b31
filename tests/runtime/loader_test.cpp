#include <cstdio>
#include <set>
#include <sstream>

#include "testsupport.h"

using namespace hostrt;

namespace {

std::set<std::string> definedDynamicSymbols(const std::string &path)
{
    std::set<std::string> symbols;
    std::string cmd = "nm -D --defined-only '" + path + "' 2>/dev/null";
    FILE *pipe = popen(cmd.c_str(), "r");
    if (!pipe) return symbols;
    char line[512];
    while (std::fgets(line, sizeof line, pipe)) {
        std::istringstream in(line);
        std::vector<std::string> words;
        std::string w;
        while (in >> w) words.push_back(w);
        if (words.size() >= 2) symbols.insert(words.back());
    }
    pclose(pipe);
    return symbols;
}

} // namespace

TEST(Loader, EveryBuiltOperatorExportsExactlyTheTwoEntryPoints)
{
    auto names = testsupport::builtOperators();
    ASSERT_FALSE(names.empty());
    for (const auto &name : names) {
        auto symbols = definedDynamicSymbols(testsupport::operatorPath(name));
        EXPECT_EQ(symbols, (std::set<std::string>{"OperatorAction", "GetOperatorInfo"})) << name;
    }
}

TEST(Loader, ReadsEveryBuiltOperator)
{
    for (const auto &name : testsupport::builtOperators()) {
        LoadedOperator op;
        ASSERT_TRUE(op.open(testsupport::operatorPath(name))) << op.error();
        EXPECT_EQ(op.info().name, name);
        EXPECT_EQ(op.info().interface, 2u) << name;
        EXPECT_NE(op.info().revision.find("$Id: " + name + " 1.0 "), std::string::npos)
            << op.info().revision;
        EXPECT_FALSE(op.info().params.empty()) << name;
        // The action in the list is the exported one.
        EXPECT_NE(op.info().action, nullptr);
    }
}

TEST(Loader, RefusesBrokenLibrariesNamingTheFault)
{
    struct Case {
        const char *lib;
        const char *fault;
    } cases[] = {
        {"broken_noexports", "does not export OperatorAction"},
        {"broken_noaction", "no OPE_ACTION"},
        {"broken_badkind", "unknown kind 9"},
        {"broken_noend", "no OPE_END within 64"},
        {"no_such_library", "cannot load"},
    };
    for (const auto &c : cases) {
        LoadedOperator op;
        std::string path = std::string(BROKEN_LIB_DIR) + "/" + c.lib + ".so";
        EXPECT_FALSE(op.open(path)) << c.lib;
        EXPECT_NE(op.error().find(path), std::string::npos) << op.error();
        EXPECT_NE(op.error().find(c.fault), std::string::npos) << op.error();
    }
}

TEST(Loader, StopsAtTheEndWordWithoutReadingPastIt)
{
    // A list whose end word is the last word in memory that is ours to read.
    struct Guarded {
        TagWord words[3];
    };
    Guarded g{{OPE_ACTION, TagWord(+[](OperatorContext *) -> int32_t { return 0; }), OPE_END}};
    OperatorInfo info;
    EXPECT_EQ(readTagList(g.words, info), "");
    EXPECT_EQ(info.tagOrder, (std::vector<TagWord>{OPE_ACTION}));
}

TEST(Loader, RefusesParametersThatAreNotDense)
{
    static RectParam r = {{PARAM_RECT, 1, 0}, 1, 1, 9, 9, 0, 0, 4, 4};
    TagWord list[] = {OPE_ACTION, TagWord(+[](OperatorContext *) -> int32_t { return 0; }),
                      OPE_PARAM1, TagWord(&r), OPE_END};
    OperatorInfo info;
    EXPECT_NE(readTagList(list, info).find("not dense"), std::string::npos);
}
