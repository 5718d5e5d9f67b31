// Writing outputs safely: what may be replaced, what is refused and left as
// it was, and what a finished or abandoned write leaves behind.
#include <gtest/gtest.h>

#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "media/output_file.h"

namespace {

class OutputFileTest : public testing::Test {
protected:
    void SetUp() override
    {
        dir_ = testing::TempDir() + "outfile_" + std::to_string(getpid()) + "_" +
               testing::UnitTest::GetInstance()->current_test_info()->name();
        std::system(("rm -rf '" + dir_ + "' && mkdir -p '" + dir_ + "'").c_str());
    }
    void TearDown() override { std::system(("rm -rf '" + dir_ + "'").c_str()); }
    std::string path(const std::string &name) const { return dir_ + "/" + name; }
    std::string slurp(const std::string &name) const
    {
        std::ifstream in(path(name), std::ios::binary);
        std::stringstream s;
        s << in.rdbuf();
        return s.str();
    }
    std::vector<std::string> listing() const
    {
        std::vector<std::string> names;
        DIR *d = opendir(dir_.c_str());
        while (dirent *e = readdir(d)) {
            std::string n = e->d_name;
            if (n != "." && n != "..") names.push_back(n);
        }
        closedir(d);
        std::sort(names.begin(), names.end());
        return names;
    }
    bool write(const std::string &target, const std::string &text, std::string &error, bool commit = true)
    {
        media::OutputFile out;
        if (!out.open(target, error)) return false;
        std::fputs(text.c_str(), out.file());
        return !commit || out.commit(error);
    }
    std::string dir_;
};

TEST_F(OutputFileTest, RefusesWhatIsNotARegularFileItMayWrite)
{
    std::system(("mkdir '" + path("folder") + "' && mkfifo '" + path("fifo") + "' && printf old > '" + path("locked") +
                 "' && chmod 444 '" + path("locked") + "'")
                    .c_str());
    struct Case {
        std::string target;
        const char *says;
    } cases[] = {{path("folder"), "is a folder"}, {path("fifo"), "is a pipe"}, {"/dev/null", "is a device"},
                 {path("locked"), "is read-only"}, {path("nowhere/file"), "cannot write in its folder"}};
    const auto before = listing();
    for (const Case &c : cases) {
        std::string error;
        EXPECT_FALSE(write(c.target, "new", error)) << c.target;
        EXPECT_NE(error.find(c.target), std::string::npos) << error;
        EXPECT_NE(error.find(c.says), std::string::npos) << error;
    }
    EXPECT_EQ(listing(), before);
    EXPECT_EQ(slurp("locked"), "old");
    struct stat st;
    EXPECT_TRUE(stat("/dev/null", &st) == 0 && S_ISCHR(st.st_mode));
}

TEST_F(OutputFileTest, ReplacesWholeOrNotAtAll)
{
    std::string error;
    ASSERT_TRUE(write(path("out"), "first", error)) << error;
    EXPECT_EQ(slurp("out"), "first");
    ::chmod(path("out").c_str(), 0640);
    // Abandoned (a failed run): the old file stays and no temporary is left.
    EXPECT_TRUE(write(path("out"), "second", error, false));
    EXPECT_EQ(slurp("out"), "first");
    EXPECT_EQ(listing(), std::vector<std::string>{"out"});
    // Replaced: same mode; through a link the file changes, the link stays.
    ASSERT_TRUE(write(path("out"), "third", error)) << error;
    struct stat st;
    ASSERT_EQ(stat(path("out").c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0640u);
    ASSERT_EQ(symlink("out", path("link").c_str()), 0);
    ASSERT_TRUE(write(path("link"), "fourth", error)) << error;
    EXPECT_EQ(slurp("out"), "fourth");
    ASSERT_EQ(lstat(path("link").c_str(), &st), 0);
    EXPECT_TRUE(S_ISLNK(st.st_mode));
    EXPECT_EQ(listing(), (std::vector<std::string>{"link", "out"}));
}

TEST_F(OutputFileTest, TargetTurnedIntoAFolderMeanwhileIsNotReplaced)
{
    media::OutputFile out;
    std::string error;
    ASSERT_TRUE(out.open(path("out"), error)) << error;
    std::fputs("text", out.file());
    ASSERT_EQ(mkdir(path("out").c_str(), 0755), 0);
    EXPECT_FALSE(out.commit(error));
    EXPECT_NE(error.find("is a folder"), std::string::npos) << error;
    EXPECT_EQ(listing(), std::vector<std::string>{"out"});
}

} // namespace
