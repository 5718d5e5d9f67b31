// The one progress line render, demo and bench show on a terminal:
//   NAME: frame 12 of 50, 38.5 fields/s, 0:01 elapsed, 0:02 left
// on standard error, redrawn in place a few times a second. Nothing is
// shown when standard error is not a terminal or when it is turned off
// (--quiet).
#pragma once

#include <chrono>
#include <cstdint>
#include <string>

namespace ophost {

class ProgressLine {
public:
    ProgressLine(std::string label, bool enabled);
    ~ProgressLine() { clear(); }
    // Fields rendered so far of the fields to render (two per frame).
    void update(uint32_t fieldsDone, uint32_t fieldsTotal);
    // Removes the line, so that other messages start on a clean one.
    void clear();
    bool enabled() const { return enabled_; }

    // The text of the line (without the carriage return), for tests.
    static std::string text(const std::string &label, uint32_t fieldsDone, uint32_t fieldsTotal, double seconds);

private:
    std::string label_;
    bool enabled_;
    size_t shownWidth_ = 0;
    std::chrono::steady_clock::time_point started_, last_;
    bool first_ = true;
};

} // namespace ophost
