// --sample-key as render and edit take it: the key colour read from input 1
// and set as the user's own --set keyColor would be.
#pragma once

#include <string>

#include "hostrt/loader.h"
#include "ophost/run.h"
#include "ophost/sample_key.h"

namespace ophost {

// Takes keyColor from `in1`'s first field of the section starting at
// `firstFrame` and writes it through applySetting, so that it is checked
// and stored as --set keyColor would be. A pipe is copied first when
// `countPipe` (the run counts it anyway). Lines for the user go to standard
// error as "ophost COMMAND: ..." (the summary unless `quiet`); `chosen`
// gets the colour word. Returns an empty string or the fault.
std::string applySampledKey(hostrt::LoadedOperator &op, Clip &in1, int firstFrame, bool countPipe,
                            const KeySampleArea &area, bool force, bool quiet, const std::string &command,
                            std::string &chosen);

} // namespace ophost
