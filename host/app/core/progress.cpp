#include "ophost/progress.h"

#include <unistd.h>

#include <cstdio>

namespace ophost {

namespace {

std::string clock(double seconds)
{
    if (seconds < 0) seconds = 0;
    const long s = long(seconds + 0.5);
    char text[32];
    if (s >= 3600) std::snprintf(text, sizeof text, "%ld:%02ld:%02ld", s / 3600, s / 60 % 60, s % 60);
    else std::snprintf(text, sizeof text, "%ld:%02ld", s / 60, s % 60);
    return text;
}

} // namespace

ProgressLine::ProgressLine(std::string label, bool enabled)
    : label_(std::move(label)), enabled_(enabled && isatty(STDERR_FILENO)), started_(std::chrono::steady_clock::now())
{
}

std::string ProgressLine::text(const std::string &label, uint32_t done, uint32_t total, double seconds)
{
    const double rate = seconds > 0 ? done / seconds : 0;
    std::string s = label + ": frame " + std::to_string(done / 2) + " of " + std::to_string(total / 2);
    char buf[64];
    std::snprintf(buf, sizeof buf, ", %.1f fields/s, ", rate);
    s += buf;
    s += clock(seconds) + " elapsed, ";
    s += rate > 0 ? clock((total - done) / rate) + " left" : std::string("?:?? left");
    return s;
}

void ProgressLine::update(uint32_t done, uint32_t total)
{
    if (!enabled_) return;
    const auto now = std::chrono::steady_clock::now();
    if (first_) {
        first_ = false;
    } else if (done != total && now - last_ < std::chrono::milliseconds(250)) {
        return;
    }
    last_ = now;
    std::string line = text(label_, done, total, std::chrono::duration<double>(now - started_).count());
    const size_t width = line.size();
    if (width < shownWidth_) line.append(shownWidth_ - width, ' ');
    std::fprintf(stderr, "\r%s", line.c_str());
    std::fflush(stderr);
    shownWidth_ = width;
}

void ProgressLine::clear()
{
    if (!enabled_ || shownWidth_ == 0) return;
    std::fprintf(stderr, "\r%*s\r", int(shownWidth_), "");
    std::fflush(stderr);
    shownWidth_ = 0;
}

} // namespace ophost
