// Inputs that fit together but probably were not meant to: different frame
// rates or lengths. A run goes ahead; the user hears about it.
#pragma once

#include <string>
#include <vector>

#include "ophost/run.h"

namespace ophost {

// One line per mismatch, naming both inputs. Stills stand for every frame
// and have no rate of their own, so they are never compared. Lengths are
// compared only when `countLengths` (counting a pipe means copying it).
std::vector<std::string> inputWarnings(Clip &in0, Clip &in1, bool countLengths);

} // namespace ophost
