#include "testsupport.h"

#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>

#include <random>
#include <sstream>

namespace testsupport {

std::string operatorPath(const std::string &name)
{
    return std::string(OPS_BIN_DIR) + "/" + name + ".so";
}

std::vector<std::string> builtOperators()
{
    std::vector<std::string> names;
    std::stringstream ss(OPS_OPERATOR_NAMES);
    std::string name;
    while (std::getline(ss, name, ','))
        if (!name.empty()) names.push_back(name);
    return names;
}

void loadOperator(const std::string &name, hostrt::LoadedOperator &op)
{
    ASSERT_TRUE(op.open(operatorPath(name))) << op.error();
}

int32_t call(const hostrt::LoadedOperator &op, OperatorContext &ctx)
{
    int32_t result = hostrt::callOperator(op.info().action, ctx);
    EXPECT_EQ(hostrt::lastCallHeld(), 0u) << "pictures still held after action " << ctx.action;
    return result;
}

int32_t callAction(const hostrt::LoadedOperator &op, uint16_t action, int32_t fieldNumber,
                   uint32_t fieldCount)
{
    OperatorContext ctx = hostrt::makeContext(action, fieldNumber, fieldCount);
    return call(op, ctx);
}

hostrt::FieldImage randomField(int width, int height, uint32_t seed)
{
    std::mt19937 rng(seed);
    hostrt::FieldImage f = hostrt::makeField(width, height);
    for (Pixel &p : f.pixels) {
        uint32_t w = rng();
        p = pixelFromWord(w);
    }
    return f;
}

std::string programPath(const std::string &name) { return std::string(OPS_BIN_DIR) + "/" + name; }

Ran runShell(const std::string &folder, const std::string &line)
{
    Ran r;
    std::string cmd = "cd '" + folder + "' && { " + line + " ; } > .out 2> .err";
    int raw = std::system(cmd.c_str());
    r.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
    r.out = slurp(folder + "/.out");
    r.err = slurp(folder + "/.err");
    return r;
}

void FolderTest::SetUp()
{
    dir_ = testing::TempDir() + "ops_" + std::to_string(getpid()) + "_" +
           testing::UnitTest::GetInstance()->current_test_info()->test_suite_name() + "_" +
           testing::UnitTest::GetInstance()->current_test_info()->name();
    std::system(("rm -rf '" + dir_ + "' && mkdir -p '" + dir_ + "'").c_str());
}

void FolderTest::TearDown() { std::system(("rm -rf '" + dir_ + "'").c_str()); }

std::string slurp(const std::string &path)
{
    std::ifstream in(path, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

} // namespace testsupport
