// Writing outputs safely: what may be replaced, what is refused and left as
// it was, and what a finished or abandoned write leaves behind.
#include <gtest/gtest.h>

#include <dirent.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>
#include <thread>
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
    };
    std::vector<Case> cases = {{path("folder"), "is a folder"}, {path("fifo"), "is a pipe"},
                               {path("locked"), "is read-only"}, {path("nowhere/file"), "cannot write in its folder"}};
    // A null device of the test's own, so that a writer that replaced
    // devices would not take the system's /dev/null with it (needs root).
    const bool device = ::mknod(path("device").c_str(), S_IFCHR | 0666, makedev(1, 3)) == 0;
    if (device) cases.push_back({path("device"), "is a device"});
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
    EXPECT_TRUE(!device || (stat(path("device").c_str(), &st) == 0 && S_ISCHR(st.st_mode)));
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

// The whole-file writer every settings record and preset goes through:
// the same refusals, the permissions kept, a link to a file followed, and a
// name planted where its temporary would go never followed.
TEST_F(OutputFileTest, WholeFilesAreWrittenOnlyWhereTheyMay)
{
    std::system(("mkdir '" + path("folder") + "' && mkfifo '" + path("fifo") + "' && printf old > '" + path("locked") +
                 "' && chmod 444 '" + path("locked") + "' && printf kept > '" + path("victim") + "' && printf old > '" +
                 path("shared") + "' && chmod 640 '" + path("shared") + "' && ln -s shared '" + path("link") +
                 "' && ln -s nowhere '" + path("dangling") + "'")
                    .c_str());
    struct Case {
        std::string name;
        const char *says;   // null: written
    } cases[] = {
        {"folder", "is a folder"}, {"fifo", "is a pipe"}, {"locked", "is read-only"},
        {"missing/file", "cannot write in its folder"}, {"link", nullptr}, {"dangling", nullptr},
        {std::string(240, 'n'), nullptr}, {"new", nullptr},
    };
    for (const Case &c : cases) {
        // Links to the victim at the next names a temporary could take.
        const std::string beside = path(c.name == "link" ? "shared" : c.name);
        const unsigned next = safefile::nextSerial() + 1;
        for (unsigned k = 0; k < 8 && !c.says; ++k)
            ASSERT_EQ(symlink(path("victim").c_str(), safefile::temporaryName(beside, next + k).c_str()), 0) << c.name;
        const std::string fault = safefile::writeWhole(path(c.name), "record", 6, &media::outputHooks());
        if (c.says) {
            EXPECT_NE(fault.find(path(c.name)), std::string::npos) << fault;
            EXPECT_NE(fault.find(c.says), std::string::npos) << fault;
        } else {
            EXPECT_EQ(fault, "") << c.name;
            EXPECT_EQ(slurp(c.name), "record") << c.name;
        }
        EXPECT_EQ(slurp("victim"), "kept") << c.name;
        for (unsigned k = 0; k < 8 && !c.says; ++k) ::unlink(safefile::temporaryName(beside, next + k).c_str());
    }
    EXPECT_EQ(slurp("locked"), "old");
    struct stat st;
    ASSERT_EQ(lstat(path("link").c_str(), &st), 0);
    EXPECT_TRUE(S_ISLNK(st.st_mode));
    ASSERT_EQ(stat(path("shared").c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0640u);
    EXPECT_EQ(listing(), (std::vector<std::string>{"dangling", "fifo", "folder", "link", "locked", "new",
                                                   std::string(240, 'n'), "shared", "victim"}));
    if (::mknod(path("device").c_str(), S_IFCHR | 0666, makedev(1, 3)) == 0) {
        EXPECT_NE(safefile::writeWhole(path("device"), "x", 1).find("is a device"), std::string::npos);
        EXPECT_TRUE(stat(path("device").c_str(), &st) == 0 && S_ISCHR(st.st_mode));
    }
}

// SIGINT while a thread creates temporaries one after another (a PNG
// sequence being rendered): the handler and the creating thread agree, so
// that nothing is left on disk whenever the signal comes.
TEST_F(OutputFileTest, InterruptedCreationLeavesNoTemporary)
{
    for (int run = 0; run < 30; ++run) {
        const pid_t pid = fork();
        ASSERT_GE(pid, 0);
        if (pid == 0) {
            std::signal(SIGINT, SIG_DFL);
            media::installOutputSignalCleanup();
            std::thread writer([this] {
                std::vector<std::unique_ptr<media::OutputFile>> pending;
                for (int k = 0;; ++k) {
                    auto out = std::make_unique<media::OutputFile>();
                    std::string error;
                    std::string name = "f";   // built in steps: GCC 12 warns wrongly on "f" + ...
                    name += std::to_string(k % 400);
                    name += ".png";
                    if (!out->open(path(name), error)) continue;
                    std::fputs("frame", out->file());
                    if (out->close(error)) pending.push_back(std::move(out));
                    if (pending.size() >= 400) pending.clear();
                }
            });
            writer.detach();
            for (;;) ::pause();
        }
        ::usleep(useconds_t(2000 + (run * 3371) % 20000));
        ::kill(pid, SIGINT);
        int status = 0;
        ASSERT_EQ(waitpid(pid, &status, 0), pid);
        EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGINT) << status;
        const auto left = listing();
        EXPECT_TRUE(left.empty()) << "run " << run << ": " << left.size() << " left, such as " << left.front();
        std::system(("rm -rf '" + dir_ + "' && mkdir -p '" + dir_ + "'").c_str());
    }
}

} // namespace
