#include "ProgressLine.h"

#include <cstdio>

namespace qarn::cli {

namespace {
// 1234567 -> "1,234,567": long counts are read at a glance.
std::string Grouped(int64_t n) {
    std::string digits = std::to_string(n < 0 ? -n : n), out;
    for (size_t i = 0; i < digits.size(); ++i) {
        if (i && (digits.size() - i) % 3 == 0) out += ',';
        out += digits[i];
    }
    return n < 0 ? "-" + out : out;
}
}  // namespace

ProgressLine::ProgressLine(std::string unit, bool enabled) : unit_(std::move(unit)), enabled_(enabled) {}

std::string ProgressLine::Text(int64_t count, int32_t share, double seconds, const std::string& unit) {
    std::string text = Grouped(count) + " " + unit;
    if (share >= 0) text += "  " + std::to_string(share / 10) + "%";
    if (seconds > 0)
        text += "  " + Grouped(static_cast<int64_t>(static_cast<double>(count) / seconds)) + " " + unit + "/s";
    const int64_t whole = static_cast<int64_t>(seconds);
    char elapsed[32];
    std::snprintf(elapsed, sizeof elapsed, "  %lld:%02lld", static_cast<long long>(whole / 60),
                  static_cast<long long>(whole % 60));
    return text + elapsed;
}

void ProgressLine::Show(int64_t count, int32_t share) {
    if (!enabled_) return;
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start_).count();
    std::fprintf(stderr, "\r%s\033[K", Text(count, share, seconds, unit_).c_str());
    std::fflush(stderr);
    shown_ = true;
}

void ProgressLine::Clear() {
    if (!shown_) return;
    std::fputs("\r\033[K", stderr);
    std::fflush(stderr);
    shown_ = false;
}

}  // namespace qarn::cli
