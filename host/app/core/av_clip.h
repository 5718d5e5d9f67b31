// Clips read through FFmpeg's libraries (any container openClip does not
// read itself).
#pragma once

#include <memory>
#include <string>

#include "ophost/run.h"

namespace ophost {

std::unique_ptr<Clip> openAvClip(const std::string &path, std::string &error);

} // namespace ophost
