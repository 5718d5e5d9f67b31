#include "media/video.h"

namespace media {

const char *chromaName(Chroma chroma)
{
    switch (chroma) {
    case Chroma::C444alpha: return "444alpha";
    case Chroma::C444: return "444";
    case Chroma::C422: return "422";
    case Chroma::C420: return "420";
    }
    return "?";
}

bool parseChromaName(const std::string &text, Chroma &chroma)
{
    if (text == "444alpha") chroma = Chroma::C444alpha;
    else if (text == "444") chroma = Chroma::C444;
    else if (text == "422") chroma = Chroma::C422;
    else if (text == "420") chroma = Chroma::C420;
    else return false;
    return true;
}

} // namespace media
