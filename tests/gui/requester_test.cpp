// The requesters answered from scripts: the records they fill, their
// cancels, and their behaviour at the end of input or on a close.
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>

#include "contract/gui_calls.h"
#include "contract/host_calls.h"
#include "hostrt/gui_session.h"
#include "hostrt/session.h"
#include "testsupport.h"

using namespace hostrt::gui;
namespace fs = std::filesystem;

namespace {

class RequesterTest : public ::testing::Test {
protected:
    EditorRequest screen{};
    fs::path dir;

    void SetUp() override
    {
        hostrt::resetSession();
        resetGui();
        screen.width = 1024;
        screen.height = 768;
        screen.messageQueue = msgQCreate(10, 44, 0);
        screen.title = "requesters";
        ASSERT_EQ(treqCreateRequest(&screen), 0);
        dir = fs::path(::testing::TempDir()) / ("gui_req_" + std::to_string(::getpid()));
        fs::remove_all(dir);
        fs::create_directories(dir / "programs" / "zenvarth");
        for (const char *name : {"alpha.preset", "beta.preset"}) std::ofstream(dir / "programs" / "zenvarth" / name) << "x";
        std::ofstream(dir / "pattern.png") << "not really";
        std::ofstream(dir / "notes.txt") << "x";
        setenv("QVHOME", dir.c_str(), 1);
    }

    void TearDown() override
    {
        unsetenv("QVHOME");
        EXPECT_TRUE(scriptErrors().empty()) << scriptErrors().front();
        resetGui();
        fs::remove_all(dir);
    }

    uint32_t ask(uint32_t kind, const std::string &script)
    {
        setScript(script);
        TextRequest t{};
        t.text = "Restore all settings to their defaults?";
        t.kind = kind;
        t.answer = 77;
        EXPECT_EQ(treqTextRequest(&t), 0);
        return t.answer;
    }
};

struct FileCall {
    char path[256];
    char host[1024];
    FileRequest req{};
    FileCall(uint32_t purpose, const char *folder, uint16_t pathSize = 256)
    {
        std::memset(path, 0, sizeof path);
        std::memset(host, 0, sizeof host);
        req.directory = folder;
        req.purpose = purpose;
        req.path = path;
        req.pathSize = pathSize;
        req.hostBuffer = host;
        req.hostBufferSize = sizeof host;
        req.status = 9;
    }
};

} // namespace

TEST_F(RequesterTest, TextAndQuestionAnswers)
{
    EXPECT_EQ(ask(TEXT_YESNO, "click-text \"Yes\"\n"), 1u);
    EXPECT_EQ(ask(TEXT_YESNO, "click-text \"No\"\n"), 0u);
    EXPECT_EQ(ask(TEXT_YESNO, "key Return\n"), 1u);
    EXPECT_EQ(ask(TEXT_YESNO, "key Escape\n"), 0u);
    EXPECT_EQ(ask(TEXT_INFO, "click-text \"OK\"\n"), 1u);
    // The end of input cancels instead of waiting for ever.
    EXPECT_EQ(ask(TEXT_YESNO, ""), 0u);
    TextRequest noText{};
    noText.kind = TEXT_INFO;
    setScript("key Return\n");
    EXPECT_EQ(treqTextRequest(&noText), 0);
    EXPECT_EQ(treqTextRequest(nullptr), -1);
}

TEST_F(RequesterTest, PaletteChoosesOverYUVAndKeepsTheKeyByte)
{
    setScript("set-slider \"Y\" 100\nset-slider \"U\" 50\nset-slider \"V\" 200\nclick-text \"OK\"\n");
    PaletteRequest p{0, 1, BLUE_DEFAULT, 0x6400, 0, 0};
    EXPECT_EQ(treqPaletteRequest(&p), 0);
    EXPECT_EQ(p.status, 1u);
    Pixel c = pixelFromWord(p.color);
    EXPECT_EQ(c.y, 100);
    EXPECT_EQ(c.u, 50);
    EXPECT_EQ(c.v, 200);
    EXPECT_EQ(c.alpha, 255);

    setScript("set-slider \"Y\" 10\nclick-text \"Cancel\"\n");
    PaletteRequest q{0, 1, 0x12345678u, 0x6400, 0, 7};
    EXPECT_EQ(treqPaletteRequest(&q), 0);
    EXPECT_EQ(q.status, 0u);
    EXPECT_EQ(q.color, 0x12345678u);

    // The key byte is offered too (glow and shadow strength live there).
    setScript("set-slider \"Key\" 40\nclick-text \"OK\"\n");
    PaletteRequest k{0, 1, 0x10808010u, 0x6400, 0, 0};
    EXPECT_EQ(treqPaletteRequest(&k), 0);
    EXPECT_EQ(k.status, 1u);
    EXPECT_EQ(k.color, 0x10808028u);
}

TEST_F(RequesterTest, FileRequesterLoadsSavesAndDeletesUnderTheHome)
{
    const std::string folder = (dir / "programs" / "zenvarth").string();
    FileCall load(FILE_LOAD, "/programs/zenvarth/");
    setScript("click-text \"beta.preset\"\nclick-text \"Load\"\n");
    EXPECT_EQ(treqFileRequest(&load.req), 0);
    EXPECT_EQ(load.req.status, 1u);
    EXPECT_EQ(std::string(load.path), folder + "/beta.preset");
    EXPECT_STREQ(load.host, "beta.preset");

    FileCall save(FILE_SAVE, "/programs/zenvarth/");
    setScript("type my new\nkey Backspace\ntype w.preset\nkey Return\n");
    EXPECT_EQ(treqFileRequest(&save.req), 0);
    EXPECT_EQ(save.req.status, 1u);
    EXPECT_EQ(std::string(save.path), folder + "/my new.preset");

    // Loading a name that is not there, or a name with a folder, is refused.
    FileCall bad(FILE_SAVE, "/programs/zenvarth/");
    setScript("type ../escape\nkey Return\nclick-text \"Cancel\"\n");
    EXPECT_EQ(treqFileRequest(&bad.req), 0);
    EXPECT_EQ(bad.req.status, 0u);
    EXPECT_EQ(bad.path[0], 0);

    // A path longer than the caller's buffer is not cut: it is refused.
    FileCall tooLong(FILE_LOAD, "/programs/zenvarth/", 16);
    setScript("click-text \"alpha.preset\"\nclick-text \"Load\"\nkey Escape\n");
    EXPECT_EQ(treqFileRequest(&tooLong.req), 0);
    EXPECT_EQ(tooLong.req.status, 0u);
    EXPECT_EQ(std::string(tooLong.path, 16), std::string(16, '\0'));

    FileCall del(FILE_DELETE, "/programs/zenvarth/");
    setScript("key Down\nkey Down\nclick-text \"Delete\"\n");
    EXPECT_EQ(treqFileRequest(&del.req), 0);
    EXPECT_EQ(del.req.status, 1u);
    EXPECT_EQ(std::string(del.path), folder + "/beta.preset");

    FileCall cancelled(FILE_DELETE, "/programs/zenvarth/");
    setScript("click-text \"alpha.preset\"\nclick-text \"Cancel\"\n");
    EXPECT_EQ(treqFileRequest(&cancelled.req), 0);
    EXPECT_EQ(cancelled.req.status, 0u);
    EXPECT_TRUE(fs::exists(dir / "programs" / "zenvarth" / "alpha.preset"));

    // Up to the parent folder and down into a subfolder again; the path
    // names the file in the folder where it was chosen.
    fs::create_directories(dir / "programs" / "other");
    std::ofstream(dir / "programs" / "other" / "gamma.preset") << "x";
    FileCall moved(FILE_LOAD, "/programs/zenvarth/");
    setScript("click-text \"Up\"\nclick-text \"other/\"\nkey Return\nclick-text \"gamma.preset\"\n"
              "click-text \"Load\"\n");
    EXPECT_EQ(treqFileRequest(&moved.req), 0);
    EXPECT_EQ(moved.req.status, 1u);
    EXPECT_EQ(std::string(moved.path), (dir / "programs" / "other" / "gamma.preset").string());

    FileCall noBuffer(FILE_LOAD, "/");
    noBuffer.req.path = nullptr;
    EXPECT_EQ(treqFileRequest(&noBuffer.req), -1);
}

TEST_F(RequesterTest, ArchivesAnswerLoadSaveDelete)
{
    const char *buttons[4] = {"Load", "Save", "Delete", "Cancel"};
    const uint32_t answers[4] = {ARCHIVE_LOAD, ARCHIVE_SAVE, ARCHIVE_DELETE, 0};
    for (int i = 0; i < 4; ++i) {
        setScript(std::string("click-text \"") + buttons[i] + "\"\n");
        ArchiveRequest a{"Presets", 99};
        EXPECT_EQ(treqArchivesRequest(&a), 0);
        EXPECT_EQ(a.answer, answers[i]) << buttons[i];
    }
}

TEST_F(RequesterTest, PictureRequesterFillsTheName)
{
    char name[112] = {};
    std::snprintf(name, sizeof name, "%s/old.png", dir.c_str());
    TgHandle req = txAllocRequest(0);
    ASSERT_NE(req, 0u);
    txSetPrefs(req, name);
    txSetTypes(req, 4);
    setScript("click-text \"pattern.png\"\nclick-text \"Choose\"\n");
    EXPECT_EQ(txRequest(req, 0), 0);
    EXPECT_EQ(txGetStatus(req), 1);
    txGetPrefs(req, name, sizeof name);
    EXPECT_EQ(std::string(name), (dir / "pattern.png").string());
    // The text file is not offered.
    setScript("click-text \"notes.txt\"\n");
    EXPECT_EQ(txRequest(req, 0), 0);
    EXPECT_EQ(txGetStatus(req), 0);
    EXPECT_FALSE(scriptErrors().empty());
    setScript("");
    char small[8] = "keep";
    txGetPrefs(req, small, sizeof small);
    EXPECT_STREQ(small, "") << "a cut path would name another file";
    txFreeRequest(req);
    EXPECT_EQ(txRequest(req, 0), -1);
    EXPECT_EQ(txGetStatus(req), 0);
    resetGui();
}

TEST_F(RequesterTest, AreaRequestWithinTheRecordsLimits)
{
    RectParam r = {{PARAM_RECT, 2221, 3}, 2, 2, 999, 999, 100, 50, 120, 60};
    setScript("area 10 20 30 40\nkey Return\n");
    EXPECT_EQ(opAreaRequest(&r, 0), 0);
    EXPECT_EQ(r.x, 10);
    EXPECT_EQ(r.y, 20);
    EXPECT_EQ(r.width, 30);
    EXPECT_EQ(r.height, 40);

    setScript("area 5 5 1 1\nclick-text \"OK\"\n");
    EXPECT_EQ(opAreaRequest(&r, 0), 0);
    EXPECT_EQ(r.width, 2) << "the minimum size holds";
    EXPECT_EQ(r.height, 2);

    // A drag on monitor 2 inside the rectangle moves it; picture rows are
    // fields, so 20 lines down is 10 rows.
    r = RectParam{{PARAM_RECT, 2221, 3}, 2, 2, 999, 999, 100, 50, 120, 60};
    setScript("monitor drag 150 130 190 150\nkey Right\nclick-text \"OK\"\n");
    EXPECT_EQ(opAreaRequest(&r, 0), 0);
    EXPECT_EQ(r.x, 141);
    EXPECT_EQ(r.y, 60);
    EXPECT_EQ(r.width, 120);

    // A target move keeps the size: minimum = maximum.
    RectParam target = {{PARAM_RECT, 2221, 3}, 64, 32, 64, 32, 10, 10, 64, 32};
    setScript("area 300 200 500 500\nkey shift+Right\nkey Return\n");
    EXPECT_EQ(opAreaRequest(&target, 0), 0);
    EXPECT_EQ(target.x, 301) << "shift+Right moves a rectangle that cannot be resized";
    EXPECT_EQ(target.y, 200);
    EXPECT_EQ(target.width, 64);
    EXPECT_EQ(target.height, 32);

    // OK without a move or resize hands the rectangle back as it came, even
    // one reaching past the monitor; a click inside it moves nothing.
    RectParam outside = {{PARAM_RECT, 2221, 3}, 2, 2, 999, 999, 700, 500, 100, 60};
    setScript("monitor click 650 500\nclick-text \"OK\"\n");
    EXPECT_EQ(opAreaRequest(&outside, 0), 0);
    EXPECT_EQ(outside.x, 700);
    EXPECT_EQ(outside.y, 500);
    setScript("key Left\nclick-text \"OK\"\n");
    EXPECT_EQ(opAreaRequest(&outside, 0), 0);
    EXPECT_EQ(outside.x, 619) << "a move starts from the rectangle as shown on the monitor";
    EXPECT_EQ(outside.y, 228);

    // Cancel leaves the record as it was and answers non-zero.
    RectParam before = r;
    setScript("area 1 1 50 50\nkey Escape\n");
    EXPECT_NE(opAreaRequest(&r, 0), 0);
    EXPECT_EQ(std::memcmp(&r, &before, sizeof r), 0);
    EXPECT_EQ(opAreaRequest(nullptr, 0), -1);
}

TEST_F(RequesterTest, CloseDuringARequesterCancelsItAndEndsTheEditor)
{
    setScript("close\n");
    PaletteRequest p{0, 1, BLUE_DEFAULT, 0x6400, 0, 0};
    EXPECT_EQ(treqPaletteRequest(&p), 0);
    EXPECT_EQ(p.status, 0u);
    uint8_t buf[44];
    EXPECT_EQ(tgMsgQReceive(buf, -1), 0);
    EXPECT_EQ(buf[0], MSG_CLOSE);
}

namespace {

int32_t passThrough(OperatorContext *ctx)
{
    if (ctx->action != OPACT_RENDER) return 0;
    Picture *p = opGetField(0, ctx->fieldNumber);
    if (!p) return -1;
    return opPutField(p);
}

} // namespace

TEST_F(RequesterTest, HostPreviewPlaysTheSectionOnMonitorTwo)
{
    std::vector<hostrt::FieldImage> fields;
    for (int i = 0; i < 4; ++i) fields.push_back(hostrt::makeField(8, 4, testsupport::px(uint8_t(20 + i * 10), 100, 150)));
    hostrt::setInputFields(0, fields);
    OperatorContext ctx = hostrt::makeContext(OPACT_PARAMETER, 0, 4);
    setPreviewOperator(passThrough, ctx);
    EXPECT_EQ(opPreview(0), 0);
    EXPECT_EQ(hostrt::heldPictureCount(), 0u);
    // The last frame (fields 2 and 3) woven and centred on 720 x 576.
    Pixel top = overlayPixel(SurfaceId::Monitor, 356, 284), bottom = overlayPixel(SurfaceId::Monitor, 356, 285);
    EXPECT_EQ(top.y, 40);
    EXPECT_EQ(bottom.y, 50);
    EXPECT_EQ(top.alpha, 255);
    EXPECT_EQ(overlayPixel(SurfaceId::Monitor, 355, 284).alpha, 0);
    setPreviewOperator(nullptr, ctx);
    EXPECT_EQ(opPreview(0), -1);
}

namespace {

std::vector<int32_t> previewActions;

// An operator whose button asks the host for its preview.
int32_t previewingOperator(OperatorContext *ctx)
{
    previewActions.push_back(ctx->action == OPACT_RENDER ? 100 + ctx->fieldNumber : ctx->action);
    if (ctx->action == OPACT_PARAMETER) return opPreview(0);
    return passThrough(ctx);
}

} // namespace

TEST_F(RequesterTest, HostPreviewPlaysTheSectionOfTheCallInProgress)
{
    std::vector<hostrt::FieldImage> fields;
    for (int i = 0; i < 6; ++i) fields.push_back(hostrt::makeField(8, 4, testsupport::px(uint8_t(20 + i * 10), 100, 150)));
    hostrt::setInputFields(0, fields);
    previewActions.clear();
    // Without a running operator there is nothing to play.
    EXPECT_EQ(opPreview(0), -1);
    OperatorContext ctx = hostrt::makeContext(OPACT_PARAMETER, 0, 6);
    EXPECT_EQ(hostrt::callOperator(previewingOperator, ctx), 0);
    EXPECT_EQ(previewActions,
              (std::vector<int32_t>{OPACT_PARAMETER, OPACT_INIT, 100, 101, 102, 103, 104, 105, OPACT_RELEASE}));
    EXPECT_EQ(hostrt::lastCallHeld(), 0u);
    EXPECT_EQ(overlayPixel(SurfaceId::Monitor, 356, 284).y, 60) << "the last frame stays on monitor 2";
    EXPECT_EQ(overlayPixel(SurfaceId::Monitor, 356, 285).y, 70);
    EXPECT_EQ(opPreview(0), -1) << "the call has ended";
}

TEST(AreaOnTheScreen, OverlayLayoutPlacesTheRectangleOnTheGuiScreen)
{
    hostrt::resetSession();
    resetGui();
    GuiSettings s;
    s.defaultMonitor = 2;   // the GUI shows on the video monitor
    s.screenWidth = 720;
    s.screenHeight = 576;
    setGuiSettings(s);
    EditorRequest screen{0, 0, 720, 576, msgQCreate(10, 44, 0), 0x102041, "overlay", 0, 0, 0};
    ASSERT_EQ(treqCreateRequest(&screen), 0);
    RectParam r = {{PARAM_RECT, 2221, 3}, 2, 2, 999, 999, 10, 10, 40, 20};
    // Drawing outside the rectangle starts a new one; monitor events miss it.
    setScript("monitor drag 300 300 400 400\ndrag 100 100 180 160\nclick-text \"OK\"\n");
    EXPECT_EQ(opAreaRequest(&r, 0), 0);
    EXPECT_EQ(r.x, 100);
    EXPECT_EQ(r.y, 50);
    EXPECT_EQ(r.width, 80);
    EXPECT_EQ(r.height, 30);
    EXPECT_TRUE(scriptErrors().empty());
    resetGui();
}
