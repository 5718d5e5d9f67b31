// notary: the host log keeps every line.
#include "contract/host_calls.h"
#include "state.h"

using namespace hostrt;
using namespace hostrt::detail;

extern "C" void notaryMessage(int32_t severity, int32_t line, const char *sourceName,
                              uint32_t moduleCode, const char *text)
try {
    LogLine entry{severity, line, sourceName ? sourceName : "", moduleCode, text ? text : ""};
    state().log.push_back(entry);
    if (state().logListener) state().logListener(entry);
} catch (...) {}
