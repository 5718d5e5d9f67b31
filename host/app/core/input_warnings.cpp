#include "ophost/input_warnings.h"

namespace ophost {

std::vector<std::string> inputWarnings(Clip &in0, Clip &in1, bool countLengths)
{
    std::vector<std::string> warnings;
    if (in0.isStill() || in1.isStill()) return warnings;
    // Compared as fractions: 50/2 is 25/1.
    if (int64_t(in0.rateNum()) * in1.rateDen() != int64_t(in1.rateNum()) * in0.rateDen()) {
        warnings.push_back("inputs of different frame rates: " + in0.name() + " is " + std::to_string(in0.rateNum()) +
                           "/" + std::to_string(in0.rateDen()) + " fps, " + in1.name() + " is " +
                           std::to_string(in1.rateNum()) + "/" + std::to_string(in1.rateDen()) +
                           " fps (frames are paired by number)");
    }
    if (countLengths) {
        std::string fault0, fault1;
        int n0 = in0.frameCount(fault0), n1 = in1.frameCount(fault1);
        if (n0 >= 0 && n1 >= 0 && n0 != n1)
            warnings.push_back("inputs of different lengths: " + in0.name() + " has " + std::to_string(n0) +
                               " frames, " + in1.name() + " has " + std::to_string(n1));
    }
    return warnings;
}

std::vector<std::string> inputWarnings(const Clip &clip)
{
    std::vector<std::string> warnings;
    const media::VideoTraits *t = clip.traits();
    if (t && t->rotation != 0)
        warnings.push_back(clip.name() + " carries a display rotation of " + std::to_string(t->rotation) +
                           " degrees; its pictures are used as stored, so the output is not rotated");
    return warnings;
}

} // namespace ophost
