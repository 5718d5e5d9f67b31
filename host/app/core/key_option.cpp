#include "ophost/key_option.h"

#include <cstdio>

#include "media/color_text.h"
#include "ophost/params.h"

namespace ophost {

std::string applySampledKey(hostrt::LoadedOperator &op, Clip &in1, int firstFrame, bool countPipe,
                            const KeySampleArea &area, bool force, bool quiet, const std::string &command,
                            std::string &chosen)
{
    auto *record = static_cast<const ZenvarthSettings *>(op.info().settings->block);
    Pixel color = record->keyColor;
    std::string fault;
    // A pipe the run will count must be copied before its first frame is read.
    if (in1.streamed() && countPipe && in1.frameCount(fault) < 0) return fault;
    std::string warning;
    fault = sampleKeyColor(in1, firstFrame, area, color, &warning);
    if (!fault.empty()) return fault;
    char word[16];
    std::snprintf(word, sizeof word, "0x%08X", pixelWord(color));
    chosen = word;
    if (!warning.empty())
        std::fprintf(stderr, "ophost %s: warning: %s: keyColor=%s (%s)\n", command.c_str(), warning.c_str(), word,
                     media::formatRgbColor(color).c_str());
    fault = applySetting(op, std::string("keyColor=") + word, force);
    if (!fault.empty()) return fault;
    if (!quiet)
        std::fprintf(stderr, "ophost %s: --sample-key %s: --set keyColor=%s (%s)\n", command.c_str(),
                     area.automatic ? "auto" : "area", word, media::formatRgbColor(color).c_str());
    return {};
}

} // namespace ophost
