// Preset files: raw copies of the 224-byte settings record. The editor and
// the zvpreset tool read and write them through these two functions only,
// so both refuse the same files and neither ever leaves a damaged one.
#pragma once

#include <cstddef>
#include <cstdint>
#include <sys/types.h>

#include "ZenvarthSettings.h"

namespace zenvarth {

constexpr size_t PRESET_FILE_SIZE = sizeof(ZenvarthSettings);
static_assert(PRESET_FILE_SIZE == 224);

// Room for a reason with a path of the requester's 256 bytes.
constexpr size_t PRESET_REASON_SIZE = 512;

// Reads a preset into `record`. Only a regular file of exactly 224 bytes is
// a preset; anything else is refused and `record` is left as it was. On
// failure `reason` (when given) says what is wrong, naming the path.
bool readPresetFile(const char *path, uint8_t *record, char *reason, size_t reasonSize);

// Writes the 224 bytes of `record` as the file `path`: into a new file in
// the same folder, every write, the flush and the close checked, then
// renamed over the old file. A target that exists must be a regular file
// that may be written (its permissions are kept); a folder, device, pipe or
// read-only file is refused and left untouched. On any failure the old file
// is as it was, no temporary file remains, and `reason` says why.
bool writePresetFile(const char *path, const uint8_t *record, char *reason, size_t reasonSize);

// The write call the writer uses; tests replace it to make writes fail.
extern ssize_t (*presetWriteCall)(int fd, const void *data, size_t size);

} // namespace zenvarth
