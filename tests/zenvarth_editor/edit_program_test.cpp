// ophost edit end to end: headless from a script on the demo clip and on
// files, its exit status, and the settings record it saves.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

#include "testsupport.h"

namespace {

const std::string OPHOST = testsupport::programPath("ophost");
using testsupport::Ran;
using testsupport::slurp;

std::string hexOf(const std::string &bytes)
{
    static const char digits[] = "0123456789abcdef";
    std::string s;
    for (unsigned char c : bytes) {
        s += digits[c >> 4];
        s += digits[c & 15];
    }
    return s;
}

class EditProgram : public testsupport::FolderTest {
protected:
    void SetUp() override
    {
        FolderTest::SetUp();
        std::system(("mkdir -p '" + dir_ + "/home'").c_str());
    }

    void write(const std::string &name, const std::string &text)
    {
        std::ofstream(path(name), std::ios::binary) << text;
    }

    // Runs ophost edit with QVHOME in the test folder and no display.
    Ran edit(const std::string &args)
    {
        return shell("env -u DISPLAY -u WAYLAND_DISPLAY QVHOME='" + dir_ + "/home' '" + OPHOST + "' edit " + args);
    }
};

TEST_F(EditProgram, DemoSavesTheRecordItShowsAndKeepsUnchangedBytes)
{
    // A run with no events saves the bytes it loaded.
    Ran r = edit("--demo --headless --save-settings first.zvs");
    ASSERT_EQ(r.status, 0) << r.err;
    const std::string first = slurp(path("first.zvs"));
    ASSERT_EQ(first.size(), 224u);
    r = edit("--demo --headless --settings first.zvs --save-settings second.zvs");
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(slurp(path("second.zvs")), first);
    EXPECT_NE(r.err.find("settings saved to second.zvs"), std::string::npos) << r.err;

    // The frame slider moves the editor's frame; the record saved is the
    // record the editor ended with, byte for byte.
    write("frame.script", "check before\nset-slider \"\" 0\nkey shift+t\ncheck after\nclose\n");
    r = edit("--demo --headless --settings first.zvs --script frame.script --save-settings third.zvs "
             "--screenshot screen.png --monitor-overlay monitor.y4m");
    EXPECT_EQ(r.status, 0) << r.err;
    const std::string third = slurp(path("third.zvs"));
    ASSERT_EQ(third.size(), 224u);
    EXPECT_NE(r.out.find("check before: " + hexOf(first)), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("check after: " + hexOf(third)), std::string::npos) << r.out;
    EXPECT_EQ(slurp(path("screen.png")).substr(1, 3), "PNG");
    // One 444alpha frame of the monitor's 640x360 overlay.
    const std::string overlay = slurp(path("monitor.y4m"));
    EXPECT_EQ(overlay.compare(0, 9, "YUV4MPEG2"), 0);
    EXPECT_NE(overlay.find("C444alpha"), std::string::npos);
    EXPECT_EQ(overlay.size() - overlay.find("FRAME\n") - 6, size_t(640) * 360 * 4);
}

TEST_F(EditProgram, ChangedRecordWithoutSaveSaysSoAndFaultsFail)
{
    // A frame beyond the section is reset on opening: the record changed.
    std::string record(224, '\0');
    record[128] = char(0xFF);
    write("far.zvs", record);
    Ran r = edit("--demo --headless --settings far.zvs");
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.err.find("nothing was saved"), std::string::npos) << r.err;

    // Script faults, missing inputs and bad options.
    write("bad.script", "frobnicate 1 2\n");
    EXPECT_EQ(edit("--demo --headless --script bad.script").status, 1);
    EXPECT_EQ(edit("Zenvarth --in0 missing.y4m --in1 missing.y4m").status, 1);
    EXPECT_EQ(edit("Zenvarth --in1 x.y4m").status, 2);
    EXPECT_EQ(edit("--demo --monitors 3").status, 2);
    EXPECT_EQ(edit("--demo --frames 5:5").status, 2);
    EXPECT_EQ(edit("--help").status, 0);
}

TEST_F(EditProgram, UsesADataFolderWhenQvhomeIsUnset)
{
    const Ran r = shell(
        "env -u DISPLAY -u QVHOME XDG_DATA_HOME='" + dir_ + "/data' '" + OPHOST + "' edit --demo --headless");
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.err.find(dir_ + "/data/ophost"), std::string::npos) << r.err;
    EXPECT_EQ(std::system(("test -d '" + dir_ + "/data/ophost/programs/zenvarth'").c_str()), 0);
}

// Files the editor is given that it must not trust: each refused with its
// name and the fault before the editor opens (no "check" line is printed),
// and nothing on disk changed.
TEST_F(EditProgram, HostileFilesAreRefusedBeforeTheSession)
{
    write("check.script", "check opened\nclose\n");
    write("locked.zvs", std::string(224, 'L'));
    write("victim", "kept");
    write("long.script", std::string(4097, 'k') + "\n");
    std::system(("cd '" + dir_ + "' && chmod 444 locked.zvs && mkdir folder.zvs scripts && mkfifo fifo.zvs")
                    .c_str());
    struct Case {
        const char *what;
        std::string args;
        std::vector<std::string> says;
    } cases[] = {
        {"a folder to save into", "--save-settings folder.zvs --script check.script", {"folder.zvs", "is a folder"}},
        {"a pipe to save into", "--save-settings fifo.zvs --script check.script", {"fifo.zvs", "is a pipe"}},
        {"a read-only preset to save into", "--save-settings locked.zvs --script check.script",
         {"locked.zvs", "read-only"}},
        {"a folder as the script", "--script scripts", {"scripts: is a folder, not a script file"}},
        {"a device as the script", "--script /dev/zero", {"/dev/zero: is a device, not a script file"}},
        {"an endless script line", "--script long.script", {"long.script: line 1 is longer than 4096 bytes"}},
    };
    std::vector<Case> all(std::begin(cases), std::end(cases));
    // A null device of the test's own, never the system's (needs root).
    if (::mknod(path("device").c_str(), S_IFCHR | 0666, makedev(1, 3)) == 0)
        all.push_back({"a device to save into", "--save-settings device --script check.script", {"device", "is a device"}});
    for (const Case &c : all) {
        Ran r = edit("--demo --headless " + c.args);
        EXPECT_EQ(r.status, 1) << c.what << "\n" << r.err;
        for (const std::string &text : c.says) EXPECT_NE(r.err.find(text), std::string::npos) << c.what << "\n" << r.err;
        EXPECT_EQ(r.out.find("check opened"), std::string::npos) << c.what;
    }
    EXPECT_EQ(slurp(path("locked.zvs")), std::string(224, 'L'));
    struct stat st;
    if (all.size() > std::size(cases)) {
        EXPECT_TRUE(stat(path("device").c_str(), &st) == 0 && S_ISCHR(st.st_mode));
    }
    ASSERT_EQ(stat(path("locked.zvs").c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0444u);

    // A name planted where a temporary might go is never followed, a link
    // to a preset is followed (the preset replaced, the link kept), and a
    // name as long as the file system allows is written.
    ASSERT_EQ(symlink("victim", path("saved.zvs.part").c_str()), 0);
    Ran r = edit("--demo --headless --save-settings saved.zvs");
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(slurp(path("saved.zvs")).size(), 224u);
    write("preset.zvs", std::string(224, 'p'));
    std::system(("cd '" + dir_ + "' && chmod 600 preset.zvs && ln -s preset.zvs linked.zvs").c_str());
    r = edit("--demo --headless --save-settings linked.zvs");
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(slurp(path("preset.zvs")), slurp(path("saved.zvs")));
    ASSERT_EQ(lstat(path("linked.zvs").c_str(), &st), 0);
    EXPECT_TRUE(S_ISLNK(st.st_mode));
    ASSERT_EQ(stat(path("preset.zvs").c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0600u);
    const std::string longName(240, 'z');
    r = edit("--demo --headless --save-settings " + longName);
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(slurp(path(longName)), slurp(path("saved.zvs")));
    EXPECT_EQ(slurp(path("victim")), "kept");
    const std::string names = testsupport::runShell(dir_, "ls -A").out;
    EXPECT_EQ(names.find(".tmp"), std::string::npos) << names;
}

// With QVHOME naming a folder that has no preset folder yet, the editor
// makes it through the install action, so a preset can be saved at once.
TEST_F(EditProgram, MakesThePresetFolderUnderQvhome)
{
    Ran r = edit("--demo --headless");
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(std::system(("test -d '" + dir_ + "/home/programs/zenvarth'").c_str()), 0) << r.err;
}

} // namespace
