// The host log, answering notary's call: the session keeps every line and
// hands each to the program's listener as it arrives.
#include "contract/host_calls.h"
#include "parts.h"

namespace hostrt::detail {

struct HostLog {
    std::vector<LogLine> lines;
    std::function<void(const LogLine &)> listener;
};

namespace {

HostLog &hostLog() { return parts().log.get(); }

} // namespace

void resetLog() { hostLog() = HostLog{}; }

} // namespace hostrt::detail

namespace hostrt {

const std::vector<LogLine> &logLines() { return detail::hostLog().lines; }
void clearLog() { detail::hostLog().lines.clear(); }
void setLogListener(std::function<void(const LogLine &)> listener)
{
    detail::hostLog().listener = std::move(listener);
}

} // namespace hostrt

extern "C" void notaryMessage(int32_t severity, int32_t line, const char *sourceName,
                              uint32_t moduleCode, const char *text)
try {
    hostrt::LogLine entry{severity, line, sourceName ? sourceName : "", moduleCode, text ? text : ""};
    hostrt::detail::HostLog &log = hostrt::detail::hostLog();
    log.lines.push_back(entry);
    if (log.listener) log.listener(entry);
} catch (...) {}
