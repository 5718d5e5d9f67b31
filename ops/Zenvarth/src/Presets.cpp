// Preset files from the editor: the load/save/delete dialogue, the choice of
// a file in the preset folder, and the yes/no questions the editor asks
// before it restores the defaults or replaces a preset.
#include <cstdio>
#include <cstring>
#include <sys/stat.h>

#include "EditorState.h"
#include "PresetFile.h"
#include "Presets.h"

namespace zenvarth {

namespace {

constexpr uint16_t PRESET_PATH_SIZE = 256;
constexpr uint16_t HOST_BUFFER_SIZE = 1024;

const char PRESET_FOLDER[] = "/programs/zenvarth/";

char presetPath[PRESET_PATH_SIZE];
char hostBuffer[HOST_BUFFER_SIZE];
// The dialogue's own string set, loaded while runPresetRequester runs.
TgHandle presetStrings = 0;

// Shows `stringId`'s text, followed by `detail` when there is one, as an
// information text.
void inform(uint32_t stringId, const char *detail)
{
    const char *text = resGetString(presetStrings, stringId);
    char message[PRESET_REASON_SIZE + 256];
    std::snprintf(message, sizeof message, "%s%s%s", text ? text : "", detail && *detail ? "\n\n" : "",
                  detail ? detail : "");
    TextRequest request{};
    request.text = message;
    request.kind = TEXT_INFO;
    treqTextRequest(&request);
}

} // namespace

FileRequest PresetFileRequest{};

const char *choosePresetFile(uint32_t purpose)
{
    std::memset(&PresetFileRequest, 0, sizeof PresetFileRequest);
    PresetFileRequest.directory = PRESET_FOLDER;
    PresetFileRequest.purpose = purpose;
    PresetFileRequest.path = presetPath;
    PresetFileRequest.pathSize = PRESET_PATH_SIZE;
    PresetFileRequest.hostBuffer = hostBuffer;
    PresetFileRequest.hostBufferSize = HOST_BUFFER_SIZE;
    PresetFileRequest.status = 0;
    if (treqFileRequest(&PresetFileRequest) != 0 || PresetFileRequest.status != 1) return nullptr;
    // The host fills the buffer; whatever it wrote, the path ends inside it.
    presetPath[PRESET_PATH_SIZE - 1] = '\0';
    return presetPath;
}

// The fades as the opening clamps them, for a record that came from a file.
void clampLoadedFades()
{
    const uint32_t frames = sectionFrames();
    if (settings.fadeInFrames > frames) settings.fadeInFrames = uint16_t(frames);
    if (uint32_t(settings.fadeInFrames) + settings.fadeOutFrames >= frames)
        settings.fadeOutFrames = uint16_t(frames - settings.fadeInFrames);
}

void loadPreset()
{
    const char *path = choosePresetFile(FILE_LOAD);
    if (!path) return;
    // Read apart from the settings: a file that is not exactly one record
    // changes nothing.
    uint8_t record[PRESET_FILE_SIZE];
    char reason[PRESET_REASON_SIZE];
    if (!readPresetFile(path, record, reason, sizeof reason)) {
        logEditorFailure(LINE_PRESET_REFUSED);
        inform(STRING_NOT_A_PRESET, reason);
        return;
    }
    std::memcpy(&settings, record, PRESET_FILE_SIZE);
    // The preview starts again from the loaded settings: a new starting
    // matte, the loaded pattern, and fades that fit the section. The frame
    // shown stays until the frame slider moves.
    matteDone = false;
    clampLoadedFades();
    loadPattern();
}

void savePreset()
{
    // A new name is typed from scratch; the last one is offered to load.
    hostBuffer[0] = '\0';
    const char *path = choosePresetFile(FILE_SAVE);
    if (!path) return;
    struct stat st;
    const bool existed = ::lstat(path, &st) == 0;
    if (existed && !askQuestion(resGetString(presetStrings, STRING_REPLACE_QUESTION), TEXT_YESNO)) return;
    char reason[PRESET_REASON_SIZE];
    if (writePresetFile(path, reinterpret_cast<const uint8_t *>(&settings), reason, sizeof reason)) return;
    logEditorFailure(LINE_PRESET_NOT_SAVED);
    inform(existed ? STRING_SAVE_FAILED_KEPT : STRING_SAVE_FAILED, reason);
}

void deletePreset()
{
    const char *path = choosePresetFile(FILE_DELETE);
    if (path) std::remove(path);
}

void runPresetRequester()
{
    presetStrings = resLoadStrings("zv_ops");
    ArchiveRequest request{};
    request.title = resGetString(presetStrings, STRING_PRESETS);
    request.answer = 0;
    if (treqArchivesRequest(&request) == 0) {
        switch (request.answer) {
        case ARCHIVE_LOAD:
            loadPreset();
            break;
        case ARCHIVE_SAVE:
            savePreset();
            break;
        case ARCHIVE_DELETE:
            deletePreset();
            break;
        default:
            break;
        }
    }
    resFreeStrings(presetStrings);
    presetStrings = 0;
}

bool askQuestion(const char *text, uint32_t kind)
{
    TextRequest request{};
    request.text = text;
    request.kind = kind;
    request.answer = 0;
    treqTextRequest(&request);
    return request.answer == 1;
}

} // namespace zenvarth
