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

#include "media/png_io.h"
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

// A 4:4:4 YUV4MPEG2 file of `frames` grey frames at `rate`.
std::string greyY4m(int width, int height, int frames, const std::string &rate)
{
    std::string text = "YUV4MPEG2 W" + std::to_string(width) + " H" + std::to_string(height) + " F" + rate +
                       " Ip A1:1 C444\n";
    for (int f = 0; f < frames; ++f) text += "FRAME\n" + std::string(size_t(width) * height * 3, char(100 + f));
    return text;
}

// At opening: the section cut to the shorter input with the lengths and
// rates warned about, a mistyped operator named, and the key colour taken
// from input 1 when asked.
TEST_F(EditProgram, OpeningChecksTheInputsAsRenderDoes)
{
    write("long.y4m", greyY4m(16, 8, 6, "25:1"));
    write("short.y4m", greyY4m(16, 8, 3, "30:1"));
    write("check.script", "check opened\nclose\n");
    struct Case {
        const char *args;
        int status;
        std::vector<std::string> says;
    } cases[] = {
        {"Zenvarth --in0 long.y4m --in1 short.y4m",
         0,
         {"warning: inputs of different lengths: long.y4m has 6 frames, short.y4m has 3",
          "warning: inputs of different frame rates: long.y4m is 25/1 fps, short.y4m is 30/1 fps",
          "warning: the section is cut to frames 0 to 2: short.y4m has 3 frames"}},
        {"Zenvarth --in0 short.y4m --in1 long.y4m --frames 1:5",
         0,
         {"warning: the section is cut to frames 1 to 2: short.y4m has 3 frames"}},
        {"Zenvarth --in0 long.y4m --in1 short.y4m --frames 3:5", 1, {"short.y4m: has 3 frames; the section starting at frame 3 is empty"}},
        {"Zenvart --in0 long.y4m --in1 short.y4m", 2, {"unknown operator 'Zenvart': did you mean Zenvarth?"}},
        {"Zenvarth --in0 long.y4m --in1 short.y4m --sample-key 99,0,2,2", 2, {"--sample-key 99,0,2,2 lies wholly off"}},
        {"Tolmic --in0 long.y4m --sample-key auto", 2, {"--sample-key sets Zenvarth's keyColor; Tolmic has none"}},
    };
    for (const Case &c : cases) {
        Ran r = edit(std::string(c.args) + " --headless --script check.script");
        EXPECT_EQ(r.status, c.status) << c.args << "\n" << r.err;
        for (const std::string &text : c.says) EXPECT_NE(r.err.find(text), std::string::npos) << c.args << "\n" << r.err;
        EXPECT_EQ(r.out.find("check opened") != std::string::npos, c.status == 0) << c.args;
    }
    // The same lengths and rates open without a warning.
    Ran r = edit("Zenvarth --in0 long.y4m --in1 long.y4m --headless --script check.script");
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.err.find("warning"), std::string::npos) << r.err;

    // --sample-key: the record the editor opens on already holds the colour.
    const std::string files = "Zenvarth --in0 long.y4m --in1 long.y4m --headless --script check.script";
    const std::string plain = edit(files).out;
    r = edit(files + " --sample-key 0,0,4,4");
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.err.find("--sample-key area: --set keyColor=0x646464FF"), std::string::npos) << r.err;
    ASSERT_NE(r.out.find("check opened: "), std::string::npos) << r.out;
    EXPECT_NE(r.out, plain);
}

// Changes nobody saves are asked about at close: the script's answer saves
// them (a bare name into the preset folder), discards them, or goes back
// to the editor; a script that ends unanswered discards.
TEST_F(EditProgram, ClosingWithUnsavedChangesAsks)
{
    // A frame beyond the section is reset on opening: the record changed.
    std::string record(224, '\0');
    record[128] = char(0xFF);
    write("far.zvs", record);
    const std::string presets = dir_ + "/home/programs/zenvarth/";
    struct Case {
        const char *what, *script;
        int status;
        std::string says, saved;   // saved: the file that must hold the record
        int opened;                // times "check opened" is printed
    } cases[] = {
        {"ends unanswered", "check opened\nclose\n", 0, "nothing was saved", "", 1},
        {"discard", "check opened\nclose\nanswer discard\n", 0, "nothing was saved", "", 1},
        {"save a bare name", "check opened\nclose\n# asked\n\nanswer save kept.zvs\n", 0, "settings saved to",
         presets + "kept.zvs", 1},
        {"save a path", "check opened\nclose\nanswer save ./here.zvs\n", 0, "settings saved to ./here.zvs",
         "here.zvs", 1},
        {"back, then save", "check opened\nclose\nanswer back\ncheck opened\nclose\nanswer save again.zvs\n", 0,
         "settings saved to", presets + "again.zvs", 2},
        {"back, then the script ends", "check opened\nclose\nanswer back\ncheck opened\n", 0, "nothing was saved", "", 2},
        {"an event instead", "check opened\nclose\nclick 1 1\n", 1, "the host asks a question here: answer it first", "",
         1},
        {"no such answer", "check opened\nclose\nanswer maybe\n", 1,
         "answer maybe: expected answer save FILE, answer discard or answer back", "", 1},
        {"an answer unasked", "answer discard\ncheck opened\nclose\n", 1, "answer: no question is asked here", "", 0},
    };
    for (const Case &c : cases) {
        write("close.script", c.script);
        Ran r = edit("--demo --headless --settings far.zvs --script close.script");
        EXPECT_EQ(r.status, c.status) << c.what << "\n" << r.err;
        EXPECT_NE(r.err.find(c.says), std::string::npos) << c.what << "\n" << r.err;
        size_t opened = 0;
        for (size_t at = r.out.find("check opened"); at != std::string::npos; at = r.out.find("check opened", at + 1))
            ++opened;
        EXPECT_EQ(opened, size_t(c.opened)) << c.what << "\n" << r.out;
        if (!c.saved.empty()) {
            const std::string saved = slurp(c.saved[0] == '/' ? c.saved : path(c.saved));
            ASSERT_EQ(saved.size(), 224u) << c.what;
            EXPECT_NE(r.out.find("check opened: " + hexOf(saved)), std::string::npos) << c.what;
            std::remove((c.saved[0] == '/' ? c.saved : path(c.saved)).c_str());
        }
    }
    // Unchanged, or saved by --save-settings: nothing is asked.
    write("close.script", "close\nanswer maybe\n");
    EXPECT_EQ(edit("--demo --headless --script close.script").status, 0);
    EXPECT_EQ(edit("--demo --headless --settings far.zvs --script close.script --save-settings s.zvs").status, 0);
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

TEST_F(EditProgram, KeyViewShowsTheKeyTheRenderWrites)
{
    // A red band in front of a green backing that shades from row to row,
    // over grey stripes: a key with 0, 255 and values between in it. The
    // editor's preview is drawn from the first field, scaled to the frame's
    // height: its even rows are that field's rows as they are, and each odd
    // row lies between the rows above and below it.
    constexpr int W = 64, H = 32;
    media::RgbaImage fg, bg;
    fg.width = bg.width = W;
    fg.height = bg.height = H;
    fg.rgba.resize(W * H * 4);
    bg.rgba.resize(W * H * 4);
    for (int y = 0; y < H; ++y)
        for (int x = 0; x < W; ++x) {
            uint8_t *f = &fg.rgba[size_t(y * W + x) * 4], *b = &bg.rgba[size_t(y * W + x) * 4];
            const bool band = x >= 20 && x < 44;
            f[0] = band ? uint8_t(200 + x) : uint8_t(20 + x * 2);
            f[1] = band ? 40 : 200;
            f[2] = band ? 30 : uint8_t(40 + x + 5 * y);
            b[0] = b[1] = b[2] = uint8_t(x * 4);
            f[3] = b[3] = 255;
        }
    std::string error;
    ASSERT_TRUE(media::writePng(path("fg.png"), fg, false, error)) << error;
    ASSERT_TRUE(media::writePng(path("bg.png"), bg, false, error)) << error;
    const std::string inputs = "Zenvarth --in0 bg.png --in1 fg.png --sample-key 0,0,16,8";

    Ran r = shell("'" + OPHOST + "' render " + inputs + " -o keyed.y4m --pix 444alpha --quiet");
    ASSERT_EQ(r.status, 0) << r.err;
    const std::string keyed = slurp(path("keyed.y4m"));
    const size_t frame = keyed.find("FRAME\n");
    ASSERT_NE(frame, std::string::npos);
    ASSERT_GE(keyed.size(), frame + 6 + size_t(W * H * 4));
    // Planes Y, U, V, then the key.
    const std::string key = keyed.substr(frame + 6 + size_t(W * H * 3), size_t(W * H));

    for (const char *view : {"key", "composite", "foreground"}) {
        SCOPED_TRACE(view);
        r = edit(inputs + " --headless --monitor-view " + view + " --monitor-screenshot " + view + ".png");
        ASSERT_EQ(r.status, 0) << r.err;
        media::RgbaImage shot;
        ASSERT_TRUE(media::readPng(path(std::string(view) + ".png"), shot, error)) << error;
        ASSERT_EQ(shot.width, W);
        ASSERT_EQ(shot.height, H);
        size_t same = 0;
        for (size_t i = 0; i < size_t(W * H); ++i) {
            const uint8_t *p = &shot.rgba[i * 4];
            if (std::string(view) == "key") {
                const size_t row = i / W;
                if (row % 2 == 0) {
                    ASSERT_EQ(p[0], uint8_t(key[i])) << "pixel " << i;
                } else {
                    const uint8_t above = uint8_t(key[i - W]);
                    const uint8_t below = row + 1 < H ? uint8_t(key[i + W]) : above;
                    ASSERT_GE(p[0], std::min(above, below)) << "pixel " << i;
                    ASSERT_LE(p[0], std::max(above, below)) << "pixel " << i;
                }
                ASSERT_EQ(p[1], p[0]);
                ASSERT_EQ(p[2], p[0]);
            }
            same += p[0] == uint8_t(key[i]) && p[1] == p[0] && p[2] == p[0];
        }
        if (std::string(view) != "key") {
            EXPECT_LT(same, size_t(W * H / 2)) << "the other views are not the key";
        }
    }
    // The key has both ends and something between in it.
    EXPECT_NE(key.find(char(0)), std::string::npos);
    EXPECT_NE(key.find(char(255)), std::string::npos);
    EXPECT_NE(key.substr(0, W), key.substr(size_t(H - 2) * W, W)) << "the key changes from row to row";

    r = edit(inputs + " --headless --monitor-view matte");
    EXPECT_EQ(r.status, 2);
    EXPECT_NE(r.err.find("--monitor-view 'matte'"), std::string::npos) << r.err;
}
