// The editor's presets, requesters and area tools, driven headless by
// scripts: "check NAME" lines call back here between two events.
#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <string>
#include <unistd.h>
#include <vector>

#include "EditorState.h"
#include "PresetFile.h"
#include "SettingsTable.h"
#include "hostrt/gui_session.h"
#include "hostrt/session.h"
#include "testsupport.h"

#if defined(__SANITIZE_ADDRESS__)
// A context read after the host call that owned it returned shows up as a
// stack use after return.
extern "C" const char *__asan_default_options() { return "detect_stack_use_after_return=1"; }
#endif

namespace zv = zenvarth;
namespace fs = std::filesystem;
using Bytes = std::vector<uint8_t>;

namespace {

constexpr uint32_t FIELD_COUNT = 20;   // ten frames
constexpr int FIELD_W = 64, FIELD_H = 32;
constexpr int32_t LINE_NOT_SAVED = 5310;
constexpr int32_t LINE_REFUSED = 5305;

int32_t editorEntry(OperatorContext *ctx) { return zv::runAction(ctx); }

Bytes settingsBytes()
{
    const auto *p = reinterpret_cast<const uint8_t *>(&zv::settings);
    return Bytes(p, p + sizeof zv::settings);
}

void setSettingsBytes(const Bytes &b)
{
    ASSERT_EQ(b.size(), sizeof zv::settings);
    std::memcpy(&zv::settings, b.data(), b.size());
}

Bytes defaultBytes()
{
    ZenvarthSettings s{};
    zv::applyDefaultSettings(s);
    const auto *p = reinterpret_cast<const uint8_t *>(&s);
    return Bytes(p, p + sizeof s);
}

// Every preview drawing hides the pointer first.
size_t drawings()
{
    size_t n = 0;
    for (int32_t mode : hostrt::gui::pointerState().attrCalls) n += mode == 2;
    return n;
}

std::vector<Pixel> overlay(hostrt::gui::SurfaceId surface)
{
    const auto &gs = hostrt::gui::guiSettings();
    const bool screen = surface == hostrt::gui::SurfaceId::Screen;
    const int w = screen ? gs.screenWidth : gs.monitorWidth, h = screen ? gs.screenHeight : gs.monitorHeight;
    std::vector<Pixel> out;
    out.reserve(size_t(w) * size_t(h));
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) out.push_back(hostrt::gui::overlayPixel(surface, x, y));
    return out;
}

bool samePixels(const std::vector<Pixel> &a, const std::vector<Pixel> &b)
{
    return a.size() == b.size() && std::memcmp(a.data(), b.data(), a.size() * sizeof(Pixel)) == 0;
}

bool logged(int32_t line)
{
    for (const hostrt::LogLine &l : hostrt::logLines())
        if (l.line == line) return true;
    return false;
}

Bytes fileBytes(const fs::path &path)
{
    std::ifstream in(path, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(in), {});
}

void writeFile(const fs::path &path, const Bytes &b)
{
    std::ofstream out(path, std::ios::binary);
    out.write(reinterpret_cast<const char *>(b.data()), std::streamsize(b.size()));
}

// Field i of input 1 is one colour: Y 10 + 10 i, U 100 + i, V 50 + i.
hostrt::FieldImage plainField(uint32_t i)
{
    return hostrt::makeField(FIELD_W, FIELD_H, testsupport::px(uint8_t(10 + 10 * i), uint8_t(100 + i), uint8_t(50 + i)));
}

class EditorPresets : public ::testing::Test {
protected:
    fs::path home, folder;
    std::map<std::string, std::function<void()>> checks;
    std::vector<hostrt::FieldImage> foreground, background;
    hostrt::FieldProvider foregroundProvider;
    int32_t connectedMonitors = 2;

    void SetUp() override
    {
        home = fs::path(::testing::TempDir()) / ("zv_presets_" + std::to_string(::getpid()));
        fs::remove_all(home);
        folder = home / "programs" / "zenvarth";
        fs::create_directories(folder);
        setenv("QVHOME", home.c_str(), 1);
        for (uint32_t i = 0; i < FIELD_COUNT; ++i) {
            foreground.push_back(testsupport::randomField(FIELD_W, FIELD_H, 100 + i));
            background.push_back(testsupport::randomField(FIELD_W, FIELD_H, 900 + i));
        }
        setSettingsBytes(defaultBytes());
    }

    void TearDown() override
    {
        zv::presetWriteCall = ::write;
        unsetenv("QVHOME");
        fs::remove_all(home);
    }

    // Opens the editor on the clip and runs the script until it ends.
    void run(const std::string &script)
    {
        hostrt::resetSession();
        hostrt::gui::resetGui();
        hostrt::setInputFields(0, background);
        hostrt::setInputFields(1, foreground);
        if (foregroundProvider) hostrt::setInput(1, foregroundProvider);
        hostrt::setStandardSize(FIELD_W, FIELD_H);
        hostrt::gui::GuiSettings gs;
        gs.defaultMonitor = 1;
        gs.connectedMonitors = connectedMonitors;
        hostrt::gui::setGuiSettings(gs);
        hostrt::gui::setScript(script, "presets test");
        std::vector<std::string> missing;
        hostrt::gui::setCheckHandler([this, &missing](const std::string &name) {
            auto it = checks.find(name);
            if (it == checks.end()) missing.push_back(name);
            else it->second();
        });
        OperatorContext ctx = hostrt::makeContext(OPACT_PARAMETER, 0, FIELD_COUNT);
        ctx.paramIndex = 0;
        EXPECT_EQ(hostrt::callOperator(editorEntry, ctx), 0);
        EXPECT_EQ(hostrt::lastCallHeld(), 0u);
        hostrt::gui::setCheckHandler(nullptr);
        EXPECT_TRUE(missing.empty()) << "no check " << missing.front();
        EXPECT_TRUE(hostrt::gui::scriptErrors().empty()) << hostrt::gui::scriptErrors().front();
    }

    std::vector<std::string> folderNames() const
    {
        std::vector<std::string> names;
        for (const auto &e : fs::directory_iterator(folder)) names.push_back(e.path().filename().string());
        std::sort(names.begin(), names.end());
        return names;
    }
};

// The save requester's name field starts empty; the backspaces would clear
// a name offered there.
std::string saveAs(const std::string &name)
{
    std::string script = "key r\nclick-text \"Save\"\n";
    for (int i = 0; i < 40; ++i) script += "key Backspace\n";
    return script + "type " + name + "\nkey Return\n";
}
std::string load(const std::string &name)
{
    return "key r\nclick-text \"Load\"\nclick-text \"" + name + "\"\nkey Return\n";
}

} // namespace

TEST_F(EditorPresets, SaveThenLoadRestoresEveryByte)
{
    // A record unlike the defaults in every kind of field, a name filling
    // all 112 bytes without a NUL, and the reserved last byte set.
    Bytes saved = defaultBytes();
    std::memset(saved.data(), 'n', 112);
    saved[189] = 4;      // keyerType
    saved[193] = 77;     // dominanceLevel
    saved[116] = 0x12;   // wipeEdgeColor alpha
    saved[144] = 3;      // keyArea.x
    saved[188] = 2;      // settingsPage
    saved[223] = 0xA5;
    setSettingsBytes(saved);
    Bytes onDisk, afterLoad;
    checks["saved"] = [&] {
        onDisk = fileBytes(folder / "mine.preset");
        setSettingsBytes(defaultBytes());
    };
    checks["loaded"] = [&] { afterLoad = settingsBytes(); };
    run(saveAs("mine.preset") + "check saved\n" + load("mine.preset") + "check loaded\n");
    EXPECT_EQ(onDisk, saved);
    EXPECT_EQ(afterLoad, saved);
    EXPECT_EQ(folderNames(), std::vector<std::string>{"mine.preset"});
}

TEST_F(EditorPresets, FilesOfTheWrongSizeAreRefusedAndChangeNothing)
{
    for (size_t size : {size_t(223), size_t(225), size_t(0)}) {
        SCOPED_TRACE(size);
        Bytes other = defaultBytes();
        other.resize(size, 0x33);
        if (size) other[189] = 7;
        writeFile(folder / "odd.preset", other);
        Bytes before, after;
        checks["before"] = [&] { before = settingsBytes(); };
        checks["after"] = [&] { after = settingsBytes(); };
        // The user is told (an information text to dismiss).
        run("check before\n" + load("odd.preset") + "click-text \"OK\"\ncheck after\n");
        EXPECT_EQ(after, before);
        EXPECT_TRUE(logged(LINE_REFUSED));
    }
}

TEST_F(EditorPresets, AFailedSaveKeepsTheOldFileAndSaysSo)
{
    const Bytes old(224, 0x44);
    const auto failingWrite = [] {
        zv::presetWriteCall = [](int, const void *, size_t) -> ssize_t {
            errno = ENOSPC;
            return -1;
        };
    };
    struct Case {
        const char *name;
        bool somethingThere;   // asked before replacing, and kept
        std::function<void()> arrange;
    };
    const Case cases[] = {
        {"a folder", true, [&] { fs::create_directory(folder / "taken.preset"); }},
        {"a write error", true,
         [&] {
             writeFile(folder / "taken.preset", old);
             failingWrite();
         }},
        {"a short write", true,
         [&] {
             writeFile(folder / "taken.preset", old);
             zv::presetWriteCall = [](int fd, const void *data, size_t size) -> ssize_t {
                 return ::write(fd, data, std::min<size_t>(size, 100)) > 0 ? 0 : -1;
             };
         }},
        {"a write error on a new name", false, failingWrite},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        fs::remove_all(folder);
        fs::create_directories(folder);
        c.arrange();
        run(saveAs("taken.preset") + (c.somethingThere ? "click-text \"Yes\"\n" : "") + "click-text \"OK\"\n");
        zv::presetWriteCall = ::write;
        EXPECT_TRUE(logged(LINE_NOT_SAVED));
        if (!c.somethingThere) {
            EXPECT_EQ(folderNames(), std::vector<std::string>{}) << "no temporary file stays";
            continue;
        }
        EXPECT_EQ(folderNames(), std::vector<std::string>{"taken.preset"}) << "no temporary file stays";
        if (fs::is_regular_file(folder / "taken.preset")) EXPECT_EQ(fileBytes(folder / "taken.preset"), old);
        else EXPECT_TRUE(fs::is_directory(folder / "taken.preset"));
    }
    // A folder the user may not write to (root may write anywhere).
    if (geteuid() != 0) {
        fs::remove_all(folder);
        fs::create_directories(folder);
        writeFile(folder / "taken.preset", old);
        fs::permissions(folder, fs::perms::owner_read | fs::perms::owner_exec);
        run(saveAs("taken.preset") + "click-text \"Yes\"\nclick-text \"OK\"\n");
        fs::permissions(folder, fs::perms::owner_all);
        EXPECT_TRUE(logged(LINE_NOT_SAVED));
        EXPECT_EQ(fileBytes(folder / "taken.preset"), old);
    }
}

TEST_F(EditorPresets, CancellingAnyRequesterChangesNoFileAndNoSetting)
{
    writeFile(folder / "a.preset", defaultBytes());
    writeFile(folder / "b.preset", defaultBytes());
    struct Case {
        const char *name;
        std::string before;   // events before the request
        std::string cancel;   // the request and its cancel
        bool renders;         // the row renders after the cancel
    };
    const Case cases[] = {
        {"presets", "", "key r\nclick-text \"Cancel\"\n", true},
        {"load", "", "key r\nclick-text \"Load\"\nclick-text \"a.preset\"\nclick-text \"Cancel\"\n", true},
        {"save", "", "key r\nclick-text \"Save\"\ntype c.preset\nclick-text \"Cancel\"\n", true},
        {"delete", "", "key r\nclick-text \"Delete\"\nclick-text \"a.preset\"\nclick-text \"Cancel\"\n", true},
        {"defaults", "key 1\narea 1 2 30 20\nkey Return\n", "key shift+Delete\nclick-text \"No\"\n", false},
        {"palette", "key f\npick \"Effect\" \"Glow\"\n", "key 1\nset-slider \"Y\" 3\nclick-text \"Cancel\"\n", false},
        {"pattern", "key f\npick \"Effect\" \"Pattern wipe\"\n", "key 1\nclick-text \"Cancel\"\n", true},
        {"area", "", "key 1\narea 5 5 9 9\nkey Escape\n", true},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        Bytes before, after;
        size_t drawnBefore = 0, drawnAfter = 0;
        checks["before"] = [&] {
            before = settingsBytes();
            drawnBefore = drawings();
        };
        checks["after"] = [&] {
            after = settingsBytes();
            drawnAfter = drawings();
        };
        run(c.before + "check before\n" + c.cancel + "check after\n");
        EXPECT_EQ(after, before);
        EXPECT_EQ(drawnAfter > drawnBefore, c.renders);
        EXPECT_EQ(folderNames(), (std::vector<std::string>{"a.preset", "b.preset"}));
        EXPECT_EQ(fileBytes(folder / "a.preset"), defaultBytes());
    }
}

TEST_F(EditorPresets, ASaveStartsFromAnEmptyNameAndAsksBeforeReplacing)
{
    const Bytes old(224, 0x44);
    Bytes saved = defaultBytes();
    saved[189] = 5;
    struct Case {
        const char *name;
        bool fileThere;
        const char *answer;   // to the question before replacing
        bool replaced;
    };
    const Case cases[] = {
        {"a new name", false, "", true},
        {"replace, yes", true, "click-text \"Yes\"\n", true},
        {"replace, no", true, "click-text \"No\"\n", false},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        fs::remove_all(folder);
        fs::create_directories(folder);
        if (c.fileThere) writeFile(folder / "fresh.preset", old);
        setSettingsBytes(saved);
        // A first save leaves its name behind; the second name is typed
        // without clearing anything.
        run(saveAs("first.preset") + "key r\nclick-text \"Save\"\ntype fresh.preset\nkey Return\n" + c.answer);
        EXPECT_EQ(folderNames(), (std::vector<std::string>{"first.preset", "fresh.preset"}));
        EXPECT_EQ(fileBytes(folder / "fresh.preset"), c.replaced ? saved : old);
        EXPECT_FALSE(logged(LINE_NOT_SAVED));
    }
}

TEST_F(EditorPresets, DeleteRemovesOnlyTheChosenFile)
{
    for (const char *name : {"a.preset", "b.preset", "c.preset"}) writeFile(folder / name, defaultBytes());
    Bytes before, after;
    checks["before"] = [&] { before = settingsBytes(); };
    checks["after"] = [&] { after = settingsBytes(); };
    run("check before\nkey r\nclick-text \"Delete\"\nclick-text \"b.preset\"\nkey Return\ncheck after\n");
    EXPECT_EQ(folderNames(), (std::vector<std::string>{"a.preset", "c.preset"}));
    EXPECT_EQ(after, before);
}

TEST_F(EditorPresets, ALoadedPresetShowsItsPageAndItsPreviewAtOnce)
{
    // Each preset previews at once exactly as an editor opened on it does:
    // a new starting matte, the loaded pattern, the fades of the section.
    const fs::path pattern = home / "wipe.pgm";
    {
        std::string pgm = "P5\n16 8\n255\n";
        for (int i = 0; i < 16 * 8; ++i) pgm += char(i * 2);
        std::ofstream(pattern, std::ios::binary) << pgm;
    }
    struct Case {
        const char *name;
        std::function<void(ZenvarthSettings &)> change;
    };
    const Case cases[] = {
        {"fade page", [](ZenvarthSettings &s) { s.settingsPage = 3; }},
        {"matte area",
         [](ZenvarthSettings &s) {
             s.wholePicture = 0;
             s.matteArea = SettingsRect{8, 4, 20, 10};
         }},
        {"pattern wipe",
         [&](ZenvarthSettings &s) {
             s.effectType = 4;
             s.fadeInFrames = 60000;   // more than the section: clamped to 10
             std::strcpy(s.patternName, pattern.c_str());
             s.settingsPage = 4;
         }},
    };
    connectedMonitors = 1;   // the preview is drawn in the editor's frame
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        ZenvarthSettings preset{};
        zv::applyDefaultSettings(preset);
        c.change(preset);
        const auto *raw = reinterpret_cast<const uint8_t *>(&preset);
        writeFile(folder / "p.preset", Bytes(raw, raw + sizeof preset));

        std::vector<Pixel> opened, loaded, plain;
        uint16_t fadeIn = 0;
        checks["shown"] = [&] { opened = overlay(hostrt::gui::SurfaceId::Screen); };
        setSettingsBytes(Bytes(raw, raw + sizeof preset));
        run("check shown\n");

        bool fadePage = false;
        checks["plain"] = [&] { plain = overlay(hostrt::gui::SurfaceId::Screen); };
        checks["loaded"] = [&] {
            loaded = overlay(hostrt::gui::SurfaceId::Screen);
            fadePage = hostrt::gui::gadgetInfo(zv::fadeInSlider).exists &&
                       hostrt::gui::gadgetInfo(zv::fadeInSlider).panel == zv::settingsPanel;
            fadeIn = zv::settings.fadeInFrames;
        };
        setSettingsBytes(defaultBytes());
        run("check plain\n" + load("p.preset") + "check loaded\n");
        EXPECT_TRUE(samePixels(loaded, opened));
        EXPECT_EQ(fadePage, preset.settingsPage == 3);
        if (preset.effectType == 4) {
            EXPECT_EQ(fadeIn, FIELD_COUNT / 2);
        }
        if (preset.settingsPage != 3) {
            EXPECT_FALSE(samePixels(loaded, plain)) << "the preview changed";
        }
    }
}

TEST_F(EditorPresets, APickTakesFieldZeroAndShowsTheFrameAgain)
{
    for (uint32_t i = 0; i < FIELD_COUNT; ++i) foreground[i] = plainField(i);
    struct Case {
        const char *name;
        bool fieldZeroMissing;
        Pixel want;
    };
    const Case cases[] = {
        {"field 0", false, Pixel{0, 50, 100, 10}},
        // Without the picture the key colour stays as it was.
        {"no field 0", true, pixelFromWord(BLUE_DEFAULT)},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        auto fields = foreground;
        foregroundProvider = [fields, &c](int32_t n, hostrt::FieldImage &out) {
            if ((n == 0 && c.fieldZeroMissing) || n < 0 || size_t(n) >= fields.size()) return false;
            out = fields[size_t(n)];
            return true;
        };
        setSettingsBytes(defaultBytes());
        zv::settings.editorFrame = 3;
        Pixel key{}, shown{};
        SettingsRect sample{};
        checks["picked"] = [&] {
            key = zv::settings.keyColor;
            sample = zv::settings.sampleArea;
            shown = zv::foregroundPicture ? zv::foregroundPicture->pixels[0] : Pixel{};
        };
        run("key 1\narea 2 3 8 4\nkey Return\ncheck picked\n");
        EXPECT_EQ(pixelWord(key), pixelWord(c.want));
        EXPECT_EQ(sample.x, 2);
        EXPECT_EQ(sample.width, 8);
        EXPECT_EQ(pixelWord(shown), pixelWord(plainField(6).pixels[0])) << "frame 3 is shown again";
    }
}

TEST_F(EditorPresets, PaletteAcceptUpdatesTheFieldAndTheGadget)
{
    Pixel glow{};
    uint32_t gadgetColor = 0;
    size_t drawnBefore = 0, drawnAfter = 0;
    checks["before"] = [&] { drawnBefore = drawings(); };
    checks["after"] = [&] {
        glow = zv::settings.glowColor;
        gadgetColor = hostrt::gui::gadgetInfo(zv::glowColorButton).color;
        drawnAfter = drawings();
    };
    run("key f\npick \"Effect\" \"Glow\"\ncheck before\nkey 1\nset-slider \"Y\" 100\nset-slider \"Key\" 40\n"
        "click-text \"OK\"\ncheck after\n");
    EXPECT_EQ(glow.y, 100);
    EXPECT_EQ(glow.alpha, 40);
    EXPECT_EQ(glow.u, 16) << "the bytes not moved stay";
    EXPECT_EQ(gadgetColor, pixelWord(glow));
    EXPECT_GT(drawnAfter, drawnBefore);
}

TEST_F(EditorPresets, HostPreviewLeavesTheEditorsPreviewAsItWas)
{
    connectedMonitors = 1;
    zv::settings.editorFrame = 2;
    std::vector<Pixel> before, after;
    const OperatorContext *contextBefore = nullptr, *contextAfter = nullptr;
    uint32_t countAfter = 0, fieldAfter = 0;
    checks["before"] = [&] {
        before = overlay(hostrt::gui::SurfaceId::Screen);
        contextBefore = zv::renderContext;
    };
    checks["after"] = [&] {
        after = overlay(hostrt::gui::SurfaceId::Screen);
        contextAfter = zv::renderContext;
        countAfter = zv::renderFieldCount;
        fieldAfter = zv::renderFieldNumber;
    };
    // A frame-slider step afterwards renders through the restored context.
    run("check before\nkey F1\ncheck after\nkey shift+t\nkey Right\n");
    EXPECT_TRUE(samePixels(after, before));
    EXPECT_EQ(contextAfter, contextBefore);
    EXPECT_EQ(countAfter, FIELD_COUNT);
    EXPECT_EQ(fieldAfter, 4u);
    EXPECT_EQ(zv::settings.editorFrame, 3u);
}

TEST_F(EditorPresets, MovingTheMoveAreaPullsTheTargetBackOnlyWithAPicture)
{
    struct Case {
        const char *name;
        bool noPictures;
        SettingsPoint target;
    };
    const Case cases[] = {
        {"picture", false, SettingsPoint{FIELD_W - 30, FIELD_H - 20}},
        {"no picture", true, SettingsPoint{200, 100}},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        foregroundProvider = c.noPictures ? hostrt::FieldProvider([](int32_t, hostrt::FieldImage &) { return false; })
                                          : hostrt::FieldProvider();
        setSettingsBytes(defaultBytes());
        SettingsPoint target{}, placed{};
        SettingsRect area{};
        checks["moved"] = [&] {
            target = zv::settings.moveTarget;
            area = zv::settings.moveArea;
        };
        checks["placed"] = [&] { placed = zv::settings.moveTarget; };
        run("key m\nkey 1\nkey 2\narea 40 10 30 20\nkey Return\ncheck moved\nkey 3\narea 5 6 99 99\nkey Return\n"
            "check placed\n");
        EXPECT_EQ(area.x, 40);
        EXPECT_EQ(area.width, 30);
        EXPECT_EQ(target.x, c.target.x);
        EXPECT_EQ(target.y, c.target.y);
        EXPECT_EQ(placed.x, 5);
        EXPECT_EQ(placed.y, 6);
        EXPECT_EQ(zv::settings.moveArea.width, 30) << "the target keeps the area's size";
    }
}

TEST_F(EditorPresets, DefaultsAfterTheQuestionShowTheDefaultFrame)
{
    zv::settings.editorFrame = 3;
    zv::settings.keyerType = 9;
    std::memcpy(zv::settings.patternName, "kept", 5);
    uint32_t field = 99;
    checks["reset"] = [&] { field = zv::renderFieldNumber; };
    run("key shift+Delete\nclick-text \"Yes\"\ncheck reset\n");
    Bytes want = defaultBytes();
    std::memcpy(want.data(), "kept", 5);
    EXPECT_EQ(settingsBytes(), want);
    EXPECT_EQ(field, 0u);
}

TEST_F(EditorPresets, APatternChoiceThatDoesNotFitKeepsTheName)
{
    const std::string longName = std::string(120, 'w') + ".pgm";
    std::ofstream(home / longName) << "P5\n1 1\n255\n";
    std::ofstream(home / "short.pgm") << "P5\n1 1\n255\n";
    const std::string old = (home / "old.pgm").string();
    struct Case {
        std::string choice;
        std::string want;
    };
    const Case cases[] = {
        {longName, old},
        {"short.pgm", (home / "short.pgm").string()},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.choice);
        setSettingsBytes(defaultBytes());
        std::memset(zv::settings.patternName, 0, sizeof zv::settings.patternName);
        std::memcpy(zv::settings.patternName, old.c_str(), old.size());
        std::string name;
        checks["chosen"] = [&] {
            name.assign(zv::settings.patternName, strnlen(zv::settings.patternName, 112));
        };
        run("key f\npick \"Effect\" \"Pattern wipe\"\nkey 1\nclick-text \"" + c.choice +
            "\"\nclick-text \"Choose\"\ncheck chosen\n");
        EXPECT_EQ(name, c.want);
        EXPECT_EQ(zv::settings.patternName[111], 0);
    }
}
