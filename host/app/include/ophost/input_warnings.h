// Inputs that fit together but probably were not meant to (different frame
// rates or lengths), or that ask for what ophost does not do (a rotation).
// A run goes ahead; the user hears about it.
#pragma once

#include <string>
#include <vector>

#include "ophost/run.h"

namespace ophost {

// One line per mismatch, naming both inputs. Stills stand for every frame
// and have no rate of their own, so they are never compared. Lengths are
// compared only when `countLengths` (counting a pipe means copying it).
std::vector<std::string> inputWarnings(Clip &in0, Clip &in1, bool countLengths);

// What one input says that ophost does not follow: a display rotation (the
// pictures are used as stored, so they come out turned).
std::vector<std::string> inputWarnings(const Clip &clip);

} // namespace ophost
