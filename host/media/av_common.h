// Pieces shared by the FFmpeg-library reader and writer.
#pragma once

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/imgutils.h>
#include <libavutil/pixdesc.h>
#include <libswscale/swscale.h>
}

#include <string>

namespace media::av {

// The libraries' own messages are not printed: the last error-level one
// is kept, to be added to ours ("" when none). Call before any other use.
void quietLibraries();
std::string takeLibraryMessage();

// "Invalid data found when processing input", with the libraries' last
// message after it when it says more.
std::string describe(int averror);

} // namespace media::av

namespace media {

// The metadata key under which a chunk's part records its frames.
const char *chunkMetadataKey();

} // namespace media
