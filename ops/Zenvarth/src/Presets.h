// The editor's preset dialogue, beside runPresetRequester and askQuestion
// (declared with the editor's state): the file request record and the
// steps the dialogue is made of.
#pragma once

#include <cstdint>

#include "EditorState.h"

namespace zenvarth {

// Filled before every file request: the preset folder, the purpose, and the
// path buffer the host writes the choice into.
extern FileRequest PresetFileRequest;

// Asks for a file in the preset folder for `purpose` (FILE_LOAD, FILE_SAVE
// or FILE_DELETE); the chosen path, or null when none was chosen.
const char *choosePresetFile(uint32_t purpose);
// Loads a chosen preset into the settings; a file that is not exactly one
// record is refused with a message and changes nothing.
void loadPreset();
// Saves the settings as a chosen preset; when that fails the old file stays
// and the user is told.
void savePreset();

} // namespace zenvarth
