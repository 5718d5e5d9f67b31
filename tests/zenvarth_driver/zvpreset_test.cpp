// zvpreset: round trips through settings files and the refusals.
#include <algorithm>
#include <cstring>
#include <dirent.h>
#include <fstream>
#include <iterator>
#include <string>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

#include "SettingsTable.h"
#include "testsupport.h"

namespace {

using Bytes = std::vector<uint8_t>;

class Zvpreset : public ::testing::Test {
protected:
    std::string dir;
    std::string file;
    std::string out, err;

    void SetUp() override
    {
        char pattern[] = "/tmp/zvpresetXXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        dir = pattern;
        file = dir + "/settings.zv";
    }
    void TearDown() override { std::system(("rm -rf '" + dir + "'").c_str()); }

    static std::string quote(const std::string &s)
    {
        std::string q = "'";
        for (char c : s) q += c == '\'' ? std::string("'\\''") : std::string(1, c);
        return q + "'";
    }
    // Runs zvpreset with the arguments; returns its exit status.
    int run(const std::vector<std::string> &args)
    {
        std::string cmd = ZVPRESET_PATH;
        for (const std::string &a : args) {
            cmd += ' ';
            cmd += quote(a);
        }
        cmd += " >" + dir + "/out.txt 2>" + dir + "/err.txt";
        int status = std::system(cmd.c_str());
        out = slurp(dir + "/out.txt");
        err = slurp(dir + "/err.txt");
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }
    static std::string slurp(const std::string &path)
    {
        std::ifstream in(path, std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), {});
    }
    Bytes bytes() const
    {
        std::string s = slurp(file);
        return Bytes(s.begin(), s.end());
    }
    void writeBytes(const Bytes &b) const
    {
        std::ofstream o(file, std::ios::binary);
        o.write(reinterpret_cast<const char *>(b.data()), std::streamsize(b.size()));
    }
    std::vector<std::string> folderEntries() const
    {
        std::vector<std::string> names;
        if (DIR *d = opendir(dir.c_str())) {
            while (dirent *e = readdir(d)) {
                std::string n = e->d_name;
                if (n != "." && n != ".." && n != "out.txt" && n != "err.txt") names.push_back(n);
            }
            closedir(d);
        }
        return names;
    }
};

Bytes recordBytes(const ZenvarthSettings &s)
{
    const auto *p = reinterpret_cast<const uint8_t *>(&s);
    return Bytes(p, p + sizeof s);
}

ZenvarthSettings defaultRecord()
{
    ZenvarthSettings s = {};
    zenvarth::applyDefaultSettings(s);
    return s;
}

TEST_F(Zvpreset, NewWritesTheDefaultsAndShowNamesEveryField)
{
    ASSERT_EQ(run({"new", file}), 0) << err;
    EXPECT_EQ(bytes(), recordBytes(defaultRecord()));
    EXPECT_EQ(folderEntries(), std::vector<std::string>{"settings.zv"});

    ASSERT_EQ(run({"show", file}), 0) << err;
    for (const auto &f : zenvarth::settingsFields())
        EXPECT_NE(out.find(std::string(f.name) + "="), std::string::npos) << f.name;
    EXPECT_NE(out.find("keyColor=0x39F06EFF (#1313FF)\n"), std::string::npos) << out;
    EXPECT_NE(out.find("shadowColor=0x10808080 (#00000080)\n"), std::string::npos) << out;
    EXPECT_NE(out.find("matteArea=0,0,999,999\n"), std::string::npos);
    EXPECT_NE(out.find("moveTarget=200,100\n"), std::string::npos);
    EXPECT_NE(out.find("keyerType=1\n"), std::string::npos);

    ASSERT_EQ(run({"show", file, "--json"}), 0) << err;
    EXPECT_EQ(out.front(), '{');
    EXPECT_NE(out.find("\"keyColor\": {\"y\": 57, \"u\": 240, \"v\": 110, \"alpha\": 255, \"rgb\": \"#1313FF\"}"),
              std::string::npos);
    EXPECT_NE(out.find("\"maskArea\": {\"x\": 100, \"y\": 40, \"width\": 500, \"height\": 400}"),
              std::string::npos);
    EXPECT_NE(out.find("\"patternName\": \"\""), std::string::npos);
    EXPECT_NE(out.find("\"reserved\": 0\n}"), std::string::npos);
}

TEST_F(Zvpreset, SetChangesExactlyTheNamedFields)
{
    ASSERT_EQ(run({"new", file}), 0);
    ASSERT_EQ(run({"set", file, "keyerType=5", "keyColor=16,128,130,200", "glowColor=0x10203040",
                   "sampleArea=1,-2,3,4", "moveTarget=-5,6", "patternName=wipe \"one\".pgm",
                   "fadeInFrames=300", "editorFrame=0xFFFFFFFF", "tintBrightness=200"}),
              0)
        << err;
    ZenvarthSettings want = defaultRecord();
    want.keyerType = 5;
    want.keyColor = Pixel{200, 130, 128, 16};
    want.glowColor = pixelFromWord(0x10203040);
    want.sampleArea = {1, -2, 3, 4};
    want.moveTarget = {-5, 6};
    std::strcpy(want.patternName, "wipe \"one\".pgm");
    want.fadeInFrames = 300;
    want.editorFrame = 0xFFFFFFFFu;
    want.tintBrightness = 200;
    EXPECT_EQ(bytes(), recordBytes(want));
    EXPECT_EQ(folderEntries(), std::vector<std::string>{"settings.zv"});

    ASSERT_EQ(run({"show", file}), 0);
    EXPECT_NE(out.find("keyColor=0x108082C8 (#030000C8)\n"), std::string::npos) << out;
    EXPECT_NE(out.find("sampleArea=1,-2,3,4\n"), std::string::npos);
    EXPECT_NE(out.find("patternName=wipe \"one\".pgm\n"), std::string::npos);
    ASSERT_EQ(run({"show", "--json", file}), 0);
    EXPECT_NE(out.find("\"patternName\": \"wipe \\\"one\\\".pgm\""), std::string::npos);

    // A shorter name leaves no trace of the longer one.
    ASSERT_EQ(run({"set", file, "patternName=ab"}), 0);
    std::memset(want.patternName, 0, sizeof want.patternName);
    std::strcpy(want.patternName, "ab");
    EXPECT_EQ(bytes(), recordBytes(want));
}

TEST_F(Zvpreset, RefusalsLeaveTheFileAsItWas)
{
    ASSERT_EQ(run({"new", file}), 0);
    const Bytes before = bytes();
    const char *refused[] = {
        "foo=1",                    // unknown
        "keyerType",                // not NAME=VALUE
        "keyerType=256",            // wider than the field
        "keyerType=-1",
        "keyerType=12",             // outside the panel range
        "keyerType=0",
        "tintBrightness=201",
        "keyerType=abc",
        "keyerType=",
        "fadeInFrames=65536",
        "editorFrame=4294967296",
        "keyColor=1,2,3",
        "keyColor=256,0,0,0",
        "keyColor=0x1FFFFFFFF",
        "keyColor=blue",
        "sampleArea=1,2,3",
        "sampleArea=1,2,3,40000",
        "sampleArea=1,2,,4",
        "moveTarget=1,2,3,4",
        "reserved=1",
    };
    for (const char *a : refused) {
        EXPECT_EQ(run({"set", file, a}), 1) << a;
        EXPECT_NE(err.find(file), std::string::npos) << a << ": " << err;
        EXPECT_EQ(bytes(), before) << a;
    }
    EXPECT_NE((run({"set", file, "foo=1"}), err).find("unknown setting 'foo'"), std::string::npos);
    EXPECT_NE((run({"set", file, "keyerType=12"}), err).find("panel range 1 to 11"), std::string::npos);
    EXPECT_NE((run({"set", file, "keyerType=256"}), err).find("width"), std::string::npos);

    // One refusal keeps the valid assignments beside it from being written.
    EXPECT_EQ(run({"set", file, "keyerType=3", "blackLevel=99"}), 1);
    EXPECT_EQ(bytes(), before);
    std::string longName(112, 'n');
    EXPECT_EQ(run({"set", file, "patternName=" + longName}), 1);
    EXPECT_EQ(bytes(), before);
    EXPECT_EQ(folderEntries(), std::vector<std::string>{"settings.zv"});
}

TEST_F(Zvpreset, ForceStoresValuesOutsideThePanelRangeButNotOutsideTheWidth)
{
    ASSERT_EQ(run({"new", file}), 0);
    EXPECT_EQ(run({"set", file, "--force", "keyerType=12", "blackLevel=255"}), 0) << err;
    Bytes b = bytes();
    EXPECT_EQ(b[189], 12);
    EXPECT_EQ(b[207], 255);
    const Bytes before = bytes();
    EXPECT_EQ(run({"set", "--force", file, "keyerType=256"}), 1);
    EXPECT_EQ(bytes(), before);
}

TEST_F(Zvpreset, FilesOfTheWrongSizeAreRefused)
{
    for (size_t size : {size_t(0), size_t(100), size_t(223), size_t(225), size_t(300)}) {
        SCOPED_TRACE(size);
        Bytes b(size, 0x11);
        writeBytes(b);
        EXPECT_EQ(run({"show", file}), 1);
        EXPECT_NE(err.find("not a settings file"), std::string::npos) << err;
        EXPECT_NE(err.find("224"), std::string::npos) << err;
        EXPECT_TRUE(out.empty());
        EXPECT_EQ(run({"set", file, "keyerType=2"}), 1);
        EXPECT_EQ(bytes(), b);
    }
    EXPECT_EQ(run({"show", dir + "/missing.zv"}), 1);
    EXPECT_NE(err.find("cannot open"), std::string::npos);
    EXPECT_EQ(run({"show", dir}), 1);
    EXPECT_NE(err.find(dir), std::string::npos);
    EXPECT_EQ(run({"new", dir + "/no/such/folder.zv"}), 1);
    EXPECT_NE(err.find("cannot"), std::string::npos);
}

TEST_F(Zvpreset, WritesOnlyRegularFilesItMayWrite)
{
    // A device is never replaced, whoever runs the tool.
    struct stat before {};
    ASSERT_EQ(stat("/dev/full", &before), 0);
    EXPECT_EQ(run({"new", "/dev/full"}), 1);
    EXPECT_NE(err.find("device"), std::string::npos) << err;
    struct stat after {};
    ASSERT_EQ(stat("/dev/full", &after), 0);
    EXPECT_TRUE(S_ISCHR(after.st_mode));
    EXPECT_EQ(after.st_rdev, before.st_rdev);
    EXPECT_EQ(after.st_ino, before.st_ino);

    const std::string folder = dir + "/sub", pipe = dir + "/pipe";
    ASSERT_EQ(mkdir(folder.c_str(), 0755), 0);
    ASSERT_EQ(mkfifo(pipe.c_str(), 0644), 0);
    EXPECT_EQ(run({"new", folder}), 1);
    EXPECT_NE(err.find("folder"), std::string::npos) << err;
    EXPECT_EQ(run({"new", pipe}), 1);
    EXPECT_NE(err.find("pipe"), std::string::npos) << err;
    EXPECT_EQ(run({"show", pipe}), 1) << "a pipe is not waited on";
    struct stat st {};
    ASSERT_EQ(lstat(pipe.c_str(), &st), 0);
    EXPECT_TRUE(S_ISFIFO(st.st_mode));

    // A read-only preset is neither set nor replaced (the permission bits
    // decide, also for root).
    ASSERT_EQ(run({"new", file}), 0);
    const Bytes original = bytes();
    ASSERT_EQ(chmod(file.c_str(), 0444), 0);
    EXPECT_EQ(run({"set", file, "keyerType=2"}), 1);
    EXPECT_NE(err.find("read-only"), std::string::npos) << err;
    EXPECT_EQ(run({"new", file}), 1);
    EXPECT_EQ(bytes(), original);
    ASSERT_EQ(lstat(file.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0444u);

    // A writable one keeps its permissions; a link to it stays a link.
    ASSERT_EQ(chmod(file.c_str(), 0640), 0);
    const std::string link = dir + "/link.zv";
    ASSERT_EQ(symlink("settings.zv", link.c_str()), 0);
    EXPECT_EQ(run({"set", link, "keyerType=2"}), 0) << err;
    EXPECT_EQ(bytes()[189], 2);
    ASSERT_EQ(lstat(link.c_str(), &st), 0);
    EXPECT_TRUE(S_ISLNK(st.st_mode));
    ASSERT_EQ(lstat(file.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0640u);

    std::vector<std::string> names = folderEntries();
    std::sort(names.begin(), names.end());
    EXPECT_EQ(names, (std::vector<std::string>{"link.zv", "pipe", "settings.zv", "sub"}))
        << "no temporary file is left behind";
}

TEST_F(Zvpreset, AnyStoredBytesAreShownWithoutHarm)
{
    // A preset file from anywhere: a name without its NUL, odd bytes.
    Bytes b(224);
    for (size_t i = 0; i < b.size(); ++i) b[i] = uint8_t(i * 37 + 1);
    writeBytes(b);
    EXPECT_EQ(run({"show", file}), 0) << err;
    EXPECT_EQ(run({"show", file, "--json"}), 0) << err;
    for (unsigned char c : out) EXPECT_TRUE(c >= 0x20 || c == '\n') << int(c);
    EXPECT_EQ(run({"set", file, "reserved=0"}), 1);
    EXPECT_EQ(run({"set", file, "keyerType=2"}), 0);
    b[189] = 2;
    EXPECT_EQ(bytes(), b);
}

// RGB colours are stored as the PNG rule converts them: #0047BB is Y 70,
// U 189, V 89 (worked by hand from the integer rule).
TEST_F(Zvpreset, RgbColoursGiveTheSameRecordAsYuv)
{
    ASSERT_EQ(run({"new", file}), 0);
    ASSERT_EQ(run({"set", file, "keyColor=70,189,89,255", "glowColor=70,189,89,128", "shadowColor=16,128,128,255"}), 0)
        << err;
    const Bytes yuv = bytes();
    ASSERT_EQ(run({"new", file}), 0);
    ASSERT_EQ(run({"set", file, "keyColor=#0047BB", "glowColor=#0047bb80", "shadowColor=rgb(0, 0, 0)"}), 0) << err;
    EXPECT_EQ(bytes(), yuv);
    ASSERT_EQ(run({"show", file}), 0);
    EXPECT_NE(out.find("keyColor=0x46BD59FF (#0147BA)\n"), std::string::npos)
        << "shown back by the PNG writing rule, which need not give the same RGB: " << out;
    const Bytes before = bytes();
    for (const char *bad : {"keyColor=#0047B", "keyColor=#0047BBFF00", "keyColor=rgb(0,71)", "keyColor=rgb(0,71,300)",
                            "keyColor=#zz47BB"}) {
        EXPECT_EQ(run({"set", file, bad}), 1) << bad;
        EXPECT_NE(err.find("keyColor"), std::string::npos) << err;
    }
    EXPECT_EQ(bytes(), before);
}

// Every field of the record exactly once, in the table's order, each with
// its type, range, default and meaning; the JSON is checked by a parser.
TEST_F(Zvpreset, FieldsListsEveryFieldOnce)
{
    if (std::system("command -v python3 > /dev/null 2>&1") != 0) GTEST_SKIP() << "python3 is not installed";
    ASSERT_EQ(run({"fields"}), 0) << err;
    for (const auto &f : zenvarth::settingsFields()) EXPECT_NE(out.find(std::string("\n") + f.name + " "), std::string::npos) << f.name;
    for (const char *mode : {"colour distance with spill removal", "dark neutral", "pattern wipe"})
        EXPECT_NE(out.find(mode), std::string::npos) << mode;

    const std::string json = dir + "/fields.json";
    ASSERT_EQ(std::system((std::string(ZVPRESET_PATH) + " fields --json > " + json).c_str()), 0);
    // One line per field: name, type, range, whether it has a meaning.
    const std::string script =
        "import json,sys\n"
        "for f in json.load(open(sys.argv[1])):\n"
        "    print(f['name'], f['offset'], f['size'], f['type'], f['range'], f['default'] != '', f['meaning'] != '')\n";
    std::ofstream(dir + "/check.py") << script;
    ASSERT_EQ(std::system(("python3 " + dir + "/check.py " + json + " > " + dir + "/names.txt").c_str()), 0);
    std::ifstream names(dir + "/names.txt");
    std::vector<std::string> lines;
    for (std::string line; std::getline(names, line);) lines.push_back(line);
    const auto fields = zenvarth::settingsFields();
    ASSERT_EQ(lines.size(), fields.size());
    for (size_t i = 0; i < fields.size(); ++i) {
        const auto &f = fields[i];
        EXPECT_EQ(lines[i].substr(0, lines[i].find(' ')), f.name);
        EXPECT_NE(lines[i].find(" " + std::to_string(f.offset) + " " + std::to_string(f.size) + " "), std::string::npos)
            << lines[i];
        EXPECT_NE(lines[i].find("True True"), std::string::npos) << lines[i];
        if (f.hasPanelRange) {
            EXPECT_NE(lines[i].find(std::to_string(f.panelMin) + ".." + std::to_string(f.panelMax)), std::string::npos)
                << lines[i];
        }
    }
    EXPECT_EQ(run({"fields", "--xml"}), 2);
}

TEST_F(Zvpreset, UsageErrors)
{
    EXPECT_EQ(run({}), 2);
    EXPECT_EQ(run({"frobnicate"}), 2);
    EXPECT_EQ(run({"new"}), 2);
    EXPECT_EQ(run({"set", file}), 2);
    EXPECT_EQ(run({"show", file, "--xml"}), 2);
    EXPECT_EQ(run({"--help"}), 0);
    EXPECT_NE(out.find("usage: zvpreset"), std::string::npos);
    EXPECT_EQ(run({"set", "--help"}), 0);
}

} // namespace
