// Shared test helpers: loading built operators and driving them through the
// stand-in host.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "hostrt/loader.h"
#include "hostrt/session.h"

namespace testsupport {

std::string operatorPath(const std::string &name);
// The names of every operator this build makes.
std::vector<std::string> builtOperators();

// Loads a built operator; fails the test when it cannot.
void loadOperator(const std::string &name, hostrt::LoadedOperator &op);

template <typename T> T &param(const hostrt::LoadedOperator &op, unsigned index)
{
    return *static_cast<T *>(op.info().params.at(index).record);
}

// Runs one call through the runtime and checks that no picture stays held.
int32_t call(const hostrt::LoadedOperator &op, OperatorContext &ctx);
int32_t callAction(const hostrt::LoadedOperator &op, uint16_t action, int32_t fieldNumber = 0,
                   uint32_t fieldCount = 2);

inline Pixel px(uint8_t y, uint8_t u, uint8_t v, uint8_t a = 255) { return Pixel{a, v, u, y}; }
inline bool samePixel(Pixel a, Pixel b) { return pixelWord(a) == pixelWord(b); }

// A field of random pixels, deterministic from the seed.
hostrt::FieldImage randomField(int width, int height, uint32_t seed);

// ---- the built programs, run from a shell

// The path of a built program (ophost, zvpreset).
std::string programPath(const std::string &name);

struct Ran {
    int status = -1;   // the exit status; -1 when the shell did not exit
    std::string out, err;
};

// Runs a shell command line in `folder`, capturing both streams (through
// the files .out and .err there).
Ran runShell(const std::string &folder, const std::string &line);

// A whole file's bytes (empty when it cannot be read).
std::string slurp(const std::string &path);

// A test with a folder of its own, made empty before and removed after.
class FolderTest : public testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;
    std::string path(const std::string &name) const { return dir_ + "/" + name; }
    // Runs a shell command line in the folder, capturing both streams.
    Ran shell(const std::string &line) const { return runShell(dir_, line); }

    std::string dir_;
};

} // namespace testsupport
