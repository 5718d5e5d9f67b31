// Command-line pieces that render and edit share, so both read the same
// options the same way.
#include <cstdio>

#include "ophost/params.h"

namespace ophost {

bool parseFrameRange(const std::string &text, int &first, int &end)
{
    const size_t colon = text.find(':');
    if (colon == std::string::npos) return false;
    int32_t a = 0, b = 0;
    if (!parseInt32(text.substr(0, colon), a) || !parseInt32(text.substr(colon + 1), b)) return false;
    if (a < 0 || b <= a) return false;
    first = a;
    end = b;
    return true;
}

std::string applyParameterOptions(hostrt::LoadedOperator &op, const std::string &settingsFile,
                                  const std::vector<std::string> &sets, bool &usageFault, bool force,
                                  std::vector<std::string> *notes)
{
    usageFault = false;
    // Settings record first (it follows GetOperatorInfo), then each --set.
    if (!settingsFile.empty()) {
        std::string fault = loadSettingsFile(op, settingsFile);
        if (!fault.empty()) return fault;
    }
    for (const std::string &set : sets) {
        std::string fault = applySetting(op, set, force, notes);
        if (!fault.empty()) {
            usageFault = true;
            return fault;
        }
    }
    return {};
}

} // namespace ophost
