// The modal requesters: each runs until it is answered (or input ends,
// which cancels it) and fills its record.
#pragma once

#include <cstdint>
#include <string>

#include "contract/gui_calls.h"

namespace hostgui {

int32_t runTextRequest(TextRequest &request);
int32_t runPaletteRequest(PaletteRequest &request);
int32_t runFileRequest(FileRequest &request);
int32_t runArchivesRequest(ArchiveRequest &request);
// Chooses a picture file; `path` in: the current name, out: the choice.
bool runPictureRequest(std::string &path, int32_t types);
int32_t runAreaRequest(RectParam &rect);

// Resolves a requester folder: relative to QVHOME when it is set.
std::string hostPath(const std::string &folder);

} // namespace hostgui
