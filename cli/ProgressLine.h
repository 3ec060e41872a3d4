#pragma once
// The one-line progress display on a terminal: how many rows or lines,
// how fast, and how long so far; redrawn in place and cleared before any
// other text is printed, so the two never mix.

#include <chrono>
#include <cstdint>
#include <string>

namespace qarn::cli {

class ProgressLine {
public:
    // `unit`: "rows" or "lines".  Shown only when standard error is a terminal.
    ProgressLine(std::string unit, bool enabled);
    ~ProgressLine() { Clear(); }

    // `share`: thousandths of the work done, or -1 when unknown.
    void Show(int64_t count, int32_t share);
    // Removes the line, if one is shown.
    void Clear();

    // The text of the line, for a count and share after `seconds`.
    static std::string Text(int64_t count, int32_t share, double seconds, const std::string& unit);

private:
    std::string unit_;
    bool enabled_;
    bool shown_ = false;
    std::chrono::steady_clock::time_point start_ = std::chrono::steady_clock::now();
};

}  // namespace qarn::cli
