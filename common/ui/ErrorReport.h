#pragma once
// The text of an error report, shared by the library's database reports and
// the desktop program's own: the place, the number, the description and any
// extra text, one per line (CR LF), no line break after the last.

#include <cstdint>
#include <string>

namespace qarn {

inline std::string ErrorReportText(const std::string& source, int32_t number, const std::string& description,
                                   const std::string& extra) {
    std::string report = "The Following Error Occured in " + source + "\r\n" +
                         "Error Number: " + std::to_string(number) + "\r\n" + "Error: " + description;
    if (!extra.empty()) report += "\r\nExtra Info: " + extra;
    return report;
}

}  // namespace qarn
