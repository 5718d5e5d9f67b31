// What OperatorAction does for each action code.
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <sys/stat.h>

#include "EditorState.h"
#include "ZenvarthRender.h"

namespace zenvarth {

namespace {

constexpr const char DATA_DIRECTORY_SUFFIX[] = "/programs/zenvarth";
constexpr size_t DATA_PATH_SIZE = 260;

// mkdir for one folder; an existing folder is fine.
bool makeFolder(const char *path)
{
    return mkdir(path, 0777) == 0 || errno == EEXIST;
}

} // namespace

// Creates every missing folder of QVHOME/programs/zenvarth, so that presets
// can be saved even on a fresh home folder. Nothing is reported: an unset or
// empty QVHOME, or a path longer than the 259 bytes the host allows,
// creates nothing.
void installDataDirectory()
{
    const char *home = std::getenv("QVHOME");
    if (!home || !*home) return;
    size_t homeLength = std::strlen(home);
    if (homeLength + sizeof(DATA_DIRECTORY_SUFFIX) > DATA_PATH_SIZE) return;

    char path[DATA_PATH_SIZE];
    std::memcpy(path, home, homeLength);
    std::memcpy(path + homeLength, DATA_DIRECTORY_SUFFIX, sizeof(DATA_DIRECTORY_SUFFIX));
    for (char *p = path + 1; *p; ++p) {
        if (*p != '/') continue;
        *p = '\0';
        bool made = makeFolder(path);
        *p = '/';
        if (!made) return;
    }
    makeFolder(path);
}

int32_t runAction(OperatorContext *ctx)
{
    renderContext = ctx;
    if (!ctx) return 0;
    switch (ctx->action) {
    case OPACT_INIT:
        // A new run starts without a pattern. The old one is freed rather
        // than dropped, or every run after the first would leak it.
        freePattern();
        return 0;
    case OPACT_RELEASE:
        freePattern();
        return 0;
    case OPACT_RENDER:
        return renderField(ctx);
    case OPACT_PARAMETER:
        // paramIndex 0 is the editor button: the editor runs inside this
        // call and the call answers 0 when it closes.
        if (ctx->paramIndex == 0) openEditor();
        return 0;
    case OPACT_INSTALL:
        installDataDirectory();
        return 0;
    default:
        return 0;
    }
}

} // namespace zenvarth
